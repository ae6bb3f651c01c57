#include "core/recorddecoders.h"

#include "core/catalogue.h"
#include "core/eventtexts.h"
#include "core/measuredecoders.h"

#include <QCoreApplication>
#include <QtMath>

#include <cmath>
#include <iterator>

namespace records {

namespace {

constexpr int kHeader = 3; // function, object, data length
constexpr int kRegisters1 = 5;
constexpr int kRegisters3 = 18;
constexpr int kTariffs3 = 8;
constexpr double kRegisterScale = 100.0; // kWh x 100
constexpr int kSliceDigits = 6;
constexpr double kArchiveUnits1 = 5000.0;
constexpr double kArchiveUnits3 = 100.0;
constexpr double kArchiveUnits42 = 1000.0;
constexpr int kArchiveDigits1 = 6;
constexpr int kArchiveDigits3 = 3;
constexpr int kYearBase = 2000;
constexpr int kPeriods[] = {5, 10, 15, 20, 30};
constexpr int kPeriodCount = int(std::size(kPeriods));

// Slice record: minutes, hours, day, month, year at 4..8, registers from 9.
constexpr int kSliceTime = 4;
constexpr int kSliceDate = 6;
constexpr int kSliceRegisters = 9;
// Archive record: minutes, hours, day, month, year at 3..7, energies at 8 and 10.
constexpr int kArchiveTime = 3;
constexpr int kArchiveDate = 5;
constexpr int kArchiveActive = 8;
constexpr int kArchiveReactive = 10;
// Event record: seconds, minutes, hours, day, month, year at 3..8, the code at 9.
constexpr int kEventTime = 3;
constexpr int kEventDate = 6;
constexpr int kEventCode = 9;

const QString kNone = QStringLiteral("-");

QString tr(const char *text)
{
    return QCoreApplication::translate("records", text);
}

// The bytes of one record: the header and the N data bytes it claims, as far as they came.
class Record
{
public:
    explicit Record(const QByteArray &reply)
        : m_reply(reply),
          m_size(reply.size() < kHeader
                     ? 0
                     : int(qMin<qsizetype>(reply.size(), kHeader + quint8(reply[2]))))
    {
    }
    bool has(int offset, int count) const { return offset >= kHeader && offset + count <= m_size; }
    // Call has() first.
    int at(int offset) const { return quint8(m_reply[offset]); }
    int word(int offset) const { return at(offset) | at(offset + 1) << 8; }
    QByteArray bytes(int offset, int count) const { return m_reply.mid(offset, count); }

private:
    const QByteArray &m_reply;
    int m_size;
};

QString two(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// Day, month, year at `offset`: "05.03.2024", or "5.3.2024" without the padding.
QString date(const Record &r, int offset, bool padded)
{
    if (!r.has(offset, 3))
        return kNone;
    const int year = kYearBase + r.at(offset + 2);
    if (padded)
        return two(r.at(offset)) + QLatin1Char('.') + two(r.at(offset + 1)) + QLatin1Char('.') +
               QString::number(year);
    return QStringLiteral("%1.%2.%3").arg(r.at(offset)).arg(r.at(offset + 1)).arg(year);
}

// Minutes then hours at `offset`: "13:30".
QString hoursMinutes(const Record &r, int offset)
{
    if (!r.has(offset, 2))
        return kNone;
    return two(r.at(offset + 1)) + QLatin1Char(':') + two(r.at(offset));
}

QString registerCell(const Record &r, int k, std::optional<double> *kwh)
{
    const int offset = kSliceRegisters + 4 * k;
    if (!r.has(offset, 4))
        return kNone;
    qint32 v = 0;
    if (!measures::decodeBcdSwappedDigits(r.bytes(offset, 4), &v))
        return QStringLiteral("corrupted");
    *kwh = v / kRegisterScale;
    return decimalComma(**kwh, kSliceDigits);
}

// Day, month, year at `date` and the time from `time` on (seconds when `seconds`, then minutes,
// hours), the meter's own reading; invalid when missing or impossible.
QDateTime wallTime(const Record &r, int date, int time, bool seconds)
{
    const int fields = seconds ? 3 : 2;
    if (!r.has(date, 3) || !r.has(time, fields))
        return {};
    const QDate day(kYearBase + r.at(date + 2), r.at(date + 1), r.at(date));
    const int s = seconds ? r.at(time) : 0;
    const int m = r.at(time + fields - 2);
    const int h = r.at(time + fields - 1);
    const QTime clock(h, m, s);
    if (!day.isValid() || !clock.isValid())
        return {};
    return QDateTime(day, clock, Qt::UTC);
}

} // namespace

QString decimalComma(double value, int digits)
{
    QString text = QString::number(value, 'g', digits);
    if (text.contains(QLatin1Char('e'))) {
        // 999999.5 rounds to "1e+06" with 6 digits; the register means 1000000.
        const int magnitude = value == 0 ? 0 : int(std::floor(std::log10(std::abs(value))));
        text = QString::number(value, 'f', qMax(0, digits - 1 - magnitude));
        if (text.contains(QLatin1Char('.'))) {
            while (text.endsWith(QLatin1Char('0')))
                text.chop(1);
            if (text.endsWith(QLatin1Char('.')))
                text.chop(1);
        }
    }
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

std::optional<int> listCount(const QByteArray &reply)
{
    const Record r(reply);
    if (!r.has(kHeader, 1))
        return std::nullopt;
    return r.has(kHeader, 2) ? r.word(kHeader) : r.at(kHeader);
}

int readableRecords(int count)
{
    return qBound(0, count, kReadableRecords);
}

QString unreadRecordsNotice(int count)
{
    if (count <= kReadableRecords)
        return QString();
    return tr("Внимание! Счетчик хранит %1 записей, прочитаны будут первые %2")
        .arg(count)
        .arg(kReadableRecords);
}

QString partialReadNotice(int read, int requested)
{
    return tr("Прочитано %1 из %2 записей").arg(read).arg(requested);
}

QList<QByteArray> answeredRecords(const QList<QByteArray> &replies)
{
    QList<QByteArray> out;
    for (const QByteArray &r : replies) {
        if (r.isEmpty())
            break;
        out.append(r);
    }
    return out;
}

std::optional<quint32> archiveSize(const QByteArray &reply)
{
    QByteArray d;
    if (!measures::dataBytes(reply, &d) || d.isEmpty())
        return std::nullopt;
    quint32 v = 0;
    for (int i = 0; i < qMin<qsizetype>(d.size(), 4); ++i)
        v |= quint32(quint8(d[i])) << (8 * i);
    return v;
}

std::optional<int> archivePeriodIndex(const QByteArray &reply)
{
    const Record r(reply);
    if (!r.has(kHeader, 1))
        return std::nullopt;
    const int minutes = r.at(kHeader);
    for (int i = 0; i < kPeriodCount - 1; ++i)
        if (kPeriods[i] == minutes)
            return i;
    return kPeriodCount - 1;
}

int archivePeriodMinutes(int index)
{
    return index >= 0 && index < kPeriodCount ? kPeriods[index] : kPeriods[kPeriodCount - 1];
}

QStringList sliceCommands(int list, int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << catalogue::sliceRecordRead(list, i);
    return out;
}

QStringList archiveCommands(int start, int end)
{
    QStringList out;
    for (int record = start; record < end; ++record)
        out << catalogue::archiveRecordRead(record);
    return out;
}

QList<int> eventLists(int messages, int errors, int warnings)
{
    QList<int> out;
    out.fill(catalogue::MessageList, qMax(0, messages));
    out.append(QList<int>(qMax(0, errors), catalogue::ErrorList));
    out.append(QList<int>(qMax(0, warnings), catalogue::WarningList));
    return out;
}

QStringList eventCommands(int messages, int errors, int warnings)
{
    QStringList out;
    int index = 0;
    int previous = -1;
    for (const int list : eventLists(messages, errors, warnings)) {
        index = list == previous ? index + 1 : 0;
        previous = list;
        out << catalogue::eventRecordRead(list, index);
    }
    return out;
}

QStringList sliceHeader(MeterSeries series)
{
    QStringList out{tr("Дата"), tr("Время")};
    switch (series) {
    case MeterSeries::SinglePhase:
        out << tr("Сумма");
        for (int t = 1; t <= 4; ++t)
            out << tr("Тариф %1").arg(t);
        return out;
    case MeterSeries::ThreePhase:
        out << tr("Акт. сумма");
        for (int t = 1; t <= kTariffs3; ++t)
            out << tr("Т%1").arg(t);
        out << tr("Реакт. сумма");
        for (int t = 1; t <= kTariffs3; ++t)
            out << tr("Т%1").arg(t);
        return out;
    case MeterSeries::Unrecognised:
        break;
    }
    return {};
}

QStringList sliceRow(MeterSeries series, const QByteArray &reply)
{
    return sliceRecord(series, reply).cells;
}

SliceRecord sliceRecord(MeterSeries series, const QByteArray &reply)
{
    SliceRecord out;
    if (series == MeterSeries::Unrecognised)
        return out;
    const Record r(reply);
    out.cells = QStringList{date(r, kSliceDate, true), hoursMinutes(r, kSliceTime)};
    out.time = wallTime(r, kSliceDate, kSliceTime, false);
    const int registers = series == MeterSeries::SinglePhase ? kRegisters1 : kRegisters3;
    for (int k = 0; k < registers; ++k) {
        std::optional<double> kwh;
        out.cells << registerCell(r, k, &kwh);
        out.registers << kwh;
    }
    return out;
}

QString meterTimeText(const QDateTime &wall)
{
    if (!wall.isValid())
        return QString();
    const QDateTime local(wall.date(), wall.time(), Qt::LocalTime);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

ArchiveEnergy archiveEnergy(bool threePhaseRead, const QString &deviceName)
{
    if (!threePhaseRead)
        return ArchiveEnergy::SinglePhase;
    if (meterSeriesOf(deviceName) != MeterSeries::ThreePhase)
        return ArchiveEnergy::NotThreePhase;
    return deviceName.contains(QLatin1String(".42")) ? ArchiveEnergy::ThreePhase42
                                                     : ArchiveEnergy::ThreePhase;
}

QStringList archiveHeader(bool threePhase)
{
    QStringList out{tr("Дата"), tr("Время"), tr("Номер")};
    if (threePhase)
        out << tr("Акт.энер., кВт/ч") << tr("Реакт.энер., кВт/ч");
    else
        out << tr("Энергия, кВт/ч");
    return out;
}

ArchiveRecord archiveRecord(ArchiveEnergy energy, const QByteArray &reply, int number)
{
    const Record r(reply);
    ArchiveRecord out;
    out.active = qQNaN();
    out.reactive = qQNaN();
    out.cells << date(r, kArchiveDate, true) << hoursMinutes(r, kArchiveTime)
              << QString::number(number);
    out.end = wallTime(r, kArchiveDate, kArchiveTime, false);
    const auto cell = [&](int offset, double units, int digits, double *kwh) {
        if (!r.has(offset, 2))
            return kNone;
        *kwh = r.word(offset) / units;
        return decimalComma(*kwh, digits);
    };
    switch (energy) {
    case ArchiveEnergy::SinglePhase:
        out.cells << cell(kArchiveActive, kArchiveUnits1, kArchiveDigits1, &out.active);
        break;
    case ArchiveEnergy::ThreePhase:
    case ArchiveEnergy::ThreePhase42: {
        const double units =
            energy == ArchiveEnergy::ThreePhase42 ? kArchiveUnits42 : kArchiveUnits3;
        out.cells << cell(kArchiveActive, units, kArchiveDigits3, &out.active)
                  << cell(kArchiveReactive, units, kArchiveDigits3, &out.reactive);
        break;
    }
    case ArchiveEnergy::NotThreePhase:
        out.cells << kNone << kNone;
        break;
    }
    return out;
}

QStringList eventHeader()
{
    return {tr("Дата"), tr("Время"), tr("Номер"), tr("Код"), tr("Сообщения")};
}

QStringList eventRow(int list, MeterSeries series, const QByteArray &reply, int counter)
{
    return eventRecord(list, series, reply, counter).cells;
}

EventRecord eventRecord(int list, MeterSeries series, const QByteArray &reply, int counter)
{
    EventRecord out;
    const Record r(reply);
    out.time = wallTime(r, kEventDate, kEventTime, true);
    QString time = kNone;
    if (r.has(kEventTime, 3))
        time = two(r.at(kEventTime + 2)) + QLatin1Char(':') + two(r.at(kEventTime + 1)) +
               QLatin1Char(':') + two(r.at(kEventTime));
    QString prefix;
    switch (list) {
    case catalogue::MessageList:
        prefix = QStringLiteral("M");
        break;
    case catalogue::ErrorList:
        prefix = QStringLiteral("E");
        break;
    case catalogue::WarningList:
        prefix = QStringLiteral("W");
        break;
    default:
        prefix = QStringLiteral("?");
        break;
    }
    QString code = kNone;
    QString text = kNone;
    if (r.has(kEventCode, 2)) {
        const quint16 value = quint16(r.word(kEventCode));
        code = QStringLiteral("%1").arg(value, 16, 2, QLatin1Char('0'));
        text = eventtexts::text(list, series, value);
        out.code = value;
    }
    out.cells = {date(r, kEventDate, false), time, prefix + QString::number(counter), code, text};
    return out;
}

} // namespace records
