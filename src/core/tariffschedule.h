#pragma once

#include "core/meterseries.h"
#include "core/replycheck.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <array>

// The tariff schedule: twelve months of tariff zones, each zone a start time and one tariff for
// each of four day types. Single-phase meters have 8 zones a month and tariffs 0..3, three-phase
// meters 16 zones and tariffs 0..7 (shown one higher). 255 marks an empty time or an unset tariff.
namespace tariff {

constexpr int kMonths = 12;
constexpr int kDayTypes = 4; // working day, holiday, Saturday, Sunday
constexpr quint8 kEmpty = 255;
// A tariff the meter is told to leave unset.
constexpr quint8 kUnsetNibble = 15;

struct Zone
{
    quint8 hour = 0;
    quint8 minute = 0;
    std::array<quint8, kDayTypes> tariffs{};
    bool operator==(const Zone &o) const
    {
        return hour == o.hour && minute == o.minute && tariffs == o.tariffs;
    }
    bool operator!=(const Zone &o) const { return !(*this == o); }
};
using Month = QList<Zone>;
using Table = QList<Month>; // twelve months

// 8 for a single-phase meter, 16 for a three-phase one, 0 for an unrecognised series.
int zonesOf(MeterSeries series);
// True for the two zone counts there are tables of.
bool validZones(int zones);
// The highest tariff of a table: 3 with 8 zones, 7 with 16.
int topTariff(int zones);
// A time the meter can hold: hour 0..23 and minute 0..59.
bool validTime(int hour, int minute);

// Both tables, zero-filled at the start (every zone 00:00, tariff 1 on every day type). Asked for
// a zone count that has no table, it gives and takes nothing.
class Schedule
{
public:
    Schedule();
    Table table(int zones) const;
    // Takes a whole table; false, with nothing changed, unless it has twelve months of `zones`
    // zones.
    bool setTable(int zones, const Table &table);
    Month month(int zones, int month) const;
    bool setMonth(int zones, int month, const Month &zonesOfMonth);

private:
    Table *find(int zones);
    Table m_single;
    Table m_three;
};

// A month of a "01 14".."01 1f" (8 zones) or "01 89".."01 94" (16 zones) reply: per zone hour,
// minute, working-day tariff << 4 | holiday tariff, Saturday << 4 | Sunday. A zone whose hour is
// above 23 or minute above 59 is empty: time and all four tariffs 255. Short, with `month` left
// alone, when the reply holds fewer than 4 bytes a zone; BadValue for a zone count of no table.
ReplyCheck decodeMonth(int zones, const QByteArray &reply, Month *month);

// The write command of month 0..11 ("02 14".."02 1f" with 8 zones, "02 89".."02 94" with 16),
// then per zone " " + hour + " " + minute + " " + A + " " + B in
// plain hex, an invalid time going out as ff ff, a tariff above the table's range as 15, A =
// working-day << 4 | holiday, B = Saturday << 4 | Sunday. "" for a zone count of no table.
QString monthWrite(int zones, int month, const Month &zonesOfMonth);
// Bits 1..4 set for tariffs 1..4 (stored 0..3) used on any day type of any zone.
int tariffUseMask(const Table &table);
// The display items a schedule needs: total energy, power, voltage and current (or date and
// time), and the tariffs in use.
int displayMask(int useMask);
// "02 0b a " + mask + " 3" single-phase, "02 0b 2 64 " + mask three-phase; "" otherwise.
QString standardDisplayWrite(MeterSeries series, int useMask);

// What a schedule cell shows: "07:05", or "-" for a time the meter cannot hold; the tariff plus
// one, or "-" for one above the table's range.
QString timeText(quint8 hour, quint8 minute);
QString tariffText(int zones, quint8 tariff);
// What a typed cell stores. A time is "%d:%d" (blanks before each number allowed, anything after
// the minute ignored); "-", other text, or a time the meter cannot hold give 255 for both. A
// tariff cell is its number minus one, 255 when that is outside the table's range.
void parseTime(const QString &text, quint8 *hour, quint8 *minute);
quint8 parseTariff(int zones, const QString &text);

// The two other months (0..11) of the season of `month`, and the season's name ("зима", "весна",
// "лето", "осень"); -1 and "" for a month outside 0..11.
std::array<int, 2> seasonMonths(int month);
QString seasonName(int month);

// The number of tariffs is kept by the meter as the index of its selector: items "1", "2", "4"
// single-phase, "1".."8" three-phase. Short without a data byte; BadValue for an index the
// series' selector has not, or an unrecognised series.
int tariffCountItems(MeterSeries series);
ReplyCheck decodeTariffCount(MeterSeries series, const QByteArray &reply, int *index);
// "02 13 " + the index in plain hex.
QString tariffCountWrite(int index);

} // namespace tariff
