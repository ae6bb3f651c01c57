#include "metersim/meterrecords.h"

#include <cmath>

namespace
{
enum Kind { DailyKind, MonthlyKind, ArchiveKind };
const int kCapacity[3] = {MeterRecords::kDailyCapacity, MeterRecords::kMonthlyCapacity,
                          MeterRecords::kArchiveCapacity};

template <typename T> void appendCapped(QList<T> &list, const T &item, int capacity)
{
    list.append(item);
    while (list.size() > capacity)
        list.removeFirst();
}
} // namespace

MeterRecords::MeterRecords(quint32 seed) : m_random(seed) {}

QDateTime MeterRecords::nextBoundary(int kind, const QDateTime &after) const
{
    switch (kind) {
    case DailyKind:
        return QDateTime(after.date().addDays(1), QTime(0, 0));
    case MonthlyKind: {
        const QDate first(after.date().year(), after.date().month(), 1);
        return QDateTime(first.addMonths(1), QTime(0, 0));
    }
    default: {
        const QDateTime start = lastBoundary(ArchiveKind, after);
        return start.addSecs(qint64(m_period) * 60);
    }
    }
}

QDateTime MeterRecords::lastBoundary(int kind, const QDateTime &now) const
{
    switch (kind) {
    case DailyKind:
        return QDateTime(now.date(), QTime(0, 0));
    case MonthlyKind:
        return QDateTime(QDate(now.date().year(), now.date().month(), 1), QTime(0, 0));
    default: {
        const int minutes = now.time().hour() * 60 + now.time().minute();
        const int start = minutes - minutes % m_period;
        return QDateTime(now.date(), QTime(start / 60, start % 60));
    }
    }
}

void MeterRecords::startHistory(const QDateTime &now, int daily, int monthly, int archive)
{
    m_last[DailyKind] = lastBoundary(DailyKind, now).addDays(-daily);
    m_last[MonthlyKind] = lastBoundary(MonthlyKind, now).addMonths(-monthly);
    m_last[ArchiveKind] = lastBoundary(ArchiveKind, now).addSecs(-qint64(archive) * m_period * 60);
}

MeterRecords::Slice MeterRecords::sliceAt(const QDateTime &at, const QDateTime &now,
                                          const Source &source) const
{
    // Registers at `at`, taken back from today's by the energy of the time between.
    const double hours = qMax<qint64>(0, at.secsTo(now)) / 3600.0;
    Slice s;
    s.at = at;
    const int n = int(source.registers.size());
    const int groups[2][2] = {{0, source.activeCount}, {source.activeCount, n}};
    for (int g = 0; g < 2; ++g) {
        const auto [from, to] = groups[g];
        if (from >= to)
            continue;
        const double total = double(source.registers.value(from));
        const double spent = (g == 0 ? source.kw : source.kvar) * hours * 100;
        const double ratio = total > 0 ? qMax(0.0, 1.0 - spent / total) : 0.0;
        for (int i = from; i < to; ++i)
            s.registers.append(qint64(std::floor(double(source.registers[i]) * ratio)));
    }
    return s;
}

void MeterRecords::catchUp(const QDateTime &now, const Source &source)
{
    for (int kind = DailyKind; kind <= ArchiveKind; ++kind) {
        QDateTime &last = m_last[size_t(kind)];
        if (!last.isValid())
            last = lastBoundary(kind, now);
        // A clock set far ahead writes at most one full list, ending now.
        const qint64 stepSecs = kind == DailyKind     ? 86400
                                : kind == MonthlyKind ? 31 * 86400
                                                      : qint64(m_period) * 60;
        if (last.secsTo(now) / stepSecs > kCapacity[kind] + 1) {
            last = lastBoundary(kind, now);
            for (int i = 0; i < kCapacity[kind]; ++i)
                last = kind == DailyKind     ? last.addDays(-1)
                       : kind == MonthlyKind ? last.addMonths(-1)
                                             : last.addSecs(-stepSecs);
        }
        for (QDateTime next = nextBoundary(kind, last); next <= now;
             next = nextBoundary(kind, last)) {
            last = next;
            if (kind == ArchiveKind) {
                const double hours = m_period / 60.0;
                auto units = [&](double power) {
                    const double jitter = 0.98 + 0.04 * m_random.generateDouble();
                    return quint16(qBound(
                        0.0, std::round(power * hours * source.archiveUnits * jitter), 65535.0));
                };
                appendCapped(m_archive, {next, units(source.kw), units(qAbs(source.kvar))},
                             kArchiveCapacity);
            } else {
                appendCapped(m_slices[size_t(kind)], sliceAt(next, now, source), kCapacity[kind]);
            }
        }
    }
}

void MeterRecords::addEvent(EventList list, const QDateTime &at, quint16 code)
{
    appendCapped(m_events[size_t(list)], {at, code}, kEventCapacity);
}

void MeterRecords::clearEvents(EventList list)
{
    m_events[size_t(list)].clear();
}

void MeterRecords::clearSlices(SliceList list, const QDateTime &now)
{
    m_slices[size_t(list)].clear();
    m_last[size_t(list == Daily ? DailyKind : MonthlyKind)] =
        lastBoundary(list == Daily ? DailyKind : MonthlyKind, now);
}

void MeterRecords::clearArchive(const QDateTime &now)
{
    m_archive.clear();
    m_last[ArchiveKind] = lastBoundary(ArchiveKind, now);
}

void MeterRecords::setArchivePeriod(int minutes, const QDateTime &now)
{
    m_period = minutes;
    m_last[ArchiveKind] = lastBoundary(ArchiveKind, now);
}
