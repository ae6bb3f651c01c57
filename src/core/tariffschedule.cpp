#include "core/tariffschedule.h"

#include "core/catalogue.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace tariff {

namespace {
constexpr int kSingleZones = 8;
constexpr int kThreeZones = 16;
constexpr quint8 kFirstMonthSingle = 0x14;
constexpr quint8 kFirstMonthThree = 0x89;
constexpr quint8 kTariffCountObject = 0x13;
constexpr quint8 kDisplayObject = 0x0b;
// Display items a schedule write switches on besides the tariffs: total energy and bits 5..7.
constexpr int kDisplayBase = 0xe1;
constexpr int kBytesPerZone = 4;

Table zeroTable(int zones)
{
    return Table(kMonths, Month(zones));
}

quint8 byteOrUnset(quint8 tariff, int top)
{
    return tariff > top ? kUnsetNibble : tariff;
}
} // namespace

int zonesOf(MeterSeries series)
{
    switch (series) {
    case MeterSeries::SinglePhase:
        return kSingleZones;
    case MeterSeries::ThreePhase:
        return kThreeZones;
    default:
        return 0;
    }
}

bool validZones(int zones)
{
    return zones == kSingleZones || zones == kThreeZones;
}

int topTariff(int zones)
{
    return zones == kThreeZones ? 7 : 3;
}

bool validTime(int hour, int minute)
{
    return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59;
}

// ---- Store

Schedule::Schedule() : m_single(zeroTable(kSingleZones)), m_three(zeroTable(kThreeZones)) {}

Table *Schedule::find(int zones)
{
    return zones == kSingleZones ? &m_single : zones == kThreeZones ? &m_three : nullptr;
}

Table Schedule::table(int zones) const
{
    return zones == kSingleZones ? m_single : zones == kThreeZones ? m_three : Table();
}

bool Schedule::setTable(int zones, const Table &table)
{
    Table *t = find(zones);
    if (!t || table.size() != kMonths)
        return false;
    for (const Month &m : table)
        if (m.size() != zones)
            return false;
    *t = table;
    return true;
}

Month Schedule::month(int zones, int month) const
{
    return table(zones).value(month);
}

bool Schedule::setMonth(int zones, int month, const Month &zonesOfMonth)
{
    Table *t = find(zones);
    if (!t || month < 0 || month >= kMonths || zonesOfMonth.size() != zones)
        return false;
    (*t)[month] = zonesOfMonth;
    return true;
}

// ---- Meter replies and commands

ReplyCheck decodeMonth(int zones, const QByteArray &reply, Month *month)
{
    if (!validZones(zones))
        return ReplyCheck::BadValue;
    QByteArray data;
    if (!replycheck::dataBytes(reply, zones * kBytesPerZone, &data))
        return ReplyCheck::Short;
    Month out(zones);
    for (int z = 0; z < zones; ++z) {
        const char *b = data.constData() + z * kBytesPerZone;
        Zone &zone = out[z];
        if (!validTime(quint8(b[0]), quint8(b[1]))) {
            zone.hour = zone.minute = kEmpty;
            zone.tariffs.fill(kEmpty);
            continue;
        }
        zone.hour = quint8(b[0]);
        zone.minute = quint8(b[1]);
        zone.tariffs = {quint8(quint8(b[2]) >> 4), quint8(b[2] & 0x0f), quint8(quint8(b[3]) >> 4),
                        quint8(b[3] & 0x0f)};
    }
    *month = out;
    return ReplyCheck::Ok;
}

QString monthWrite(int zones, int month, const Month &zonesOfMonth)
{
    if (!validZones(zones) || month < 0 || month >= kMonths)
        return QString();
    const int first = zones == kSingleZones ? kFirstMonthSingle : kFirstMonthThree;
    const int top = topTariff(zones);
    QString out = catalogue::command(catalogue::Write, first + month);
    for (int z = 0; z < zones; ++z) {
        const Zone zone = zonesOfMonth.value(z);
        const bool valid = validTime(zone.hour, zone.minute);
        const int a = byteOrUnset(zone.tariffs[0], top) << 4 | byteOrUnset(zone.tariffs[1], top);
        const int b = byteOrUnset(zone.tariffs[2], top) << 4 | byteOrUnset(zone.tariffs[3], top);
        for (int v : {valid ? int(zone.hour) : kEmpty, valid ? int(zone.minute) : kEmpty, a, b})
            out += QLatin1Char(' ') + catalogue::hexValue(v);
    }
    return out;
}

int tariffUseMask(const Table &table)
{
    int mask = 0;
    for (const Month &m : table)
        for (const Zone &z : m)
            for (quint8 t : z.tariffs)
                if (t <= 3)
                    mask |= 1 << (t + 1);
    return mask;
}

int displayMask(int useMask)
{
    return useMask | kDisplayBase;
}

QString standardDisplayWrite(MeterSeries series, int useMask)
{
    const QString head = catalogue::command(catalogue::Write, kDisplayObject) + QLatin1Char(' ');
    const QString mask = catalogue::hexValue(displayMask(useMask));
    switch (series) {
    case MeterSeries::SinglePhase:
        // 10 s an item; date and time.
        return head + QStringLiteral("a ") + mask + QStringLiteral(" 3");
    case MeterSeries::ThreePhase:
        // Switching every 2 s, menu delay 100 s.
        return head + QStringLiteral("2 64 ") + mask;
    default:
        return QString();
    }
}

// ---- Cells

QString timeText(quint8 hour, quint8 minute)
{
    if (!validTime(hour, minute))
        return QStringLiteral("-");
    return QStringLiteral("%1:%2")
        .arg(hour, 2, 10, QLatin1Char('0'))
        .arg(minute, 2, 10, QLatin1Char('0'));
}

QString tariffText(int zones, quint8 tariff)
{
    return tariff > topTariff(zones) ? QStringLiteral("-") : QString::number(tariff + 1);
}

void parseTime(const QString &text, quint8 *hour, quint8 *minute)
{
    static const QRegularExpression form(QStringLiteral("^\\s*([+-]?\\d+):\\s*([+-]?\\d+)"));
    *hour = *minute = kEmpty;
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return;
    bool okHour = false, okMinute = false;
    const int h = m.captured(1).toInt(&okHour);
    const int min = m.captured(2).toInt(&okMinute);
    if (!okHour || !okMinute || !validTime(h, min))
        return;
    *hour = quint8(h);
    *minute = quint8(min);
}

quint8 parseTariff(int zones, const QString &text)
{
    bool ok = false;
    const int t = text.trimmed().toInt(&ok) - 1;
    return ok && t >= 0 && t <= topTariff(zones) ? quint8(t) : kEmpty;
}

// ---- Seasons

std::array<int, 2> seasonMonths(int month)
{
    static const std::array<int, 2> kOthers[kMonths] = {
        {11, 1}, {11, 0}, {3, 4},  {2, 4},  {2, 3}, {6, 7},
        {5, 7},  {5, 6},  {9, 10}, {8, 10}, {8, 9}, {0, 1},
    };
    return month >= 0 && month < kMonths ? kOthers[month] : std::array<int, 2>{-1, -1};
}

QString seasonName(int month)
{
    static const char *const kNames[] = {
        QT_TRANSLATE_NOOP("tariff", "зима"),
        QT_TRANSLATE_NOOP("tariff", "весна"),
        QT_TRANSLATE_NOOP("tariff", "лето"),
        QT_TRANSLATE_NOOP("tariff", "осень"),
    };
    if (month < 0 || month >= kMonths)
        return QString();
    // December starts the winter.
    return QCoreApplication::translate("tariff", kNames[((month + 1) % kMonths) / 3]);
}

// ---- Number of tariffs

int tariffCountItems(MeterSeries series)
{
    switch (series) {
    case MeterSeries::SinglePhase:
        return 3;
    case MeterSeries::ThreePhase:
        return 8;
    default:
        return 0;
    }
}

ReplyCheck decodeTariffCount(MeterSeries series, const QByteArray &reply, int *index)
{
    QByteArray data;
    if (!replycheck::dataBytes(reply, 1, &data))
        return ReplyCheck::Short;
    const int i = quint8(data[0]);
    if (i >= tariffCountItems(series))
        return ReplyCheck::BadValue;
    *index = i;
    return ReplyCheck::Ok;
}

QString tariffCountWrite(int index)
{
    return catalogue::command(catalogue::Write, kTariffCountObject) + QLatin1Char(' ') +
           catalogue::hexValue(index);
}

} // namespace tariff
