#pragma once

#include "core/meterseries.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The meter's stored lists as table rows: energy slices ("0c 42", "0c 43"), the archive
// ("07 10") and the event lists ("0b"), and the batches that read them. A record is one reply as
// the engine hands it over: function, object, data length N, data. Only the record's own bytes
// are read (the N data bytes, fewer when the reply is shorter); a field whose bytes are not there
// shows "-", so a short record still gives a full row.
namespace records {

// `value` with `digits` significant digits and a "," for the decimal point: 1234.56 with 6 is
// "1234,56". Every character that is not a digit becomes ","; never in exponent notation.
QString decimalComma(double value, int digits);

// A record's time as the meter keeps it (its own wall clock, set from a computer's local time)
// in ISO 8601 with the offset this computer's zone has at that time: "2024-03-05T13:30:00+03:00".
// Empty for an invalid time.
QString meterTimeText(const QDateTime &wall);

// ---- Sizes and parameters

// The record count of a list from its "06" reply: data bytes 0 and 1, least significant first
// (byte 0 alone when only one came). Nothing when the reply has no data byte.
std::optional<int> listCount(const QByteArray &reply);
// The records of a list that can be read: a slice or event record is named by one byte, so
// no more than 255 of a longer list.
constexpr int kReadableRecords = 255;
int readableRecords(int count);
// The orange line of a list longer than can be read, with the meter's count; empty for a list
// that is read whole.
QString unreadRecordsNotice(int count);
// The orange line of a list read that ended early: `read` records of `requested`.
QString partialReadNotice(int read, int requested);
// The records a batch got before it ended: the replies in front of the first one missing.
QList<QByteArray> answeredRecords(const QList<QByteArray> &replies);
// The archive's size from its "06 10" reply: the data bytes (four at most) as an unsigned
// number, least significant first. Nothing when the reply is short or has no data.
std::optional<quint32> archiveSize(const QByteArray &reply);
// The period selector's index from the "01 3d" reply: 5, 10, 15, 20 minutes are 0 to 3, any
// other value 4 (30 minutes). Nothing when the reply has no data byte.
std::optional<int> archivePeriodIndex(const QByteArray &reply);
// Minutes of the period selector's index 0 to 4 (5, 10, 15, 20, 30); 30 for any other index.
int archivePeriodMinutes(int index);

// ---- Batches

// "0c 42 0 00" ... for records 0 to count-1 (list 42 daily, 43 monthly).
QStringList sliceCommands(int list, int count);
// "07 10 lo hi" for records start to end-1; none when end <= start.
QStringList archiveCommands(int start, int end);
// Messages 0 to m-1, then errors 0 to e-1, then warnings 0 to w-1 ("0b 3b 0 00", ...).
QStringList eventCommands(int messages, int errors, int warnings);
// The list of each command of eventCommands(), in the same order.
QList<int> eventLists(int messages, int errors, int warnings);

// ---- Energy slices

// Columns: 7 single-phase ("Дата", "Время", "Сумма", "Тариф 1" to "Тариф 4"), 20 three-phase
// (active and reactive sums and tariffs "Т1" to "Т8"); none for an unrecognised series.
QStringList sliceHeader(MeterSeries series);
// "dd.MM.yyyy", "hh:mm", then 5 or 18 registers of 4 swapped decimal digits as kWh with 6
// significant digits and a decimal comma; a register with a digit above 9 is "corrupted". As
// many cells as sliceHeader().
QStringList sliceRow(MeterSeries series, const QByteArray &reply);

struct SliceRecord
{
    QStringList cells;
    // The meter's date and time of the slice (zone-less, carried as UTC); invalid when missing.
    QDateTime time;
    // kWh of each register; none where the cell is "-" or "corrupted".
    QList<std::optional<double>> registers;
};
// sliceRow() with its numbers.
SliceRecord sliceRecord(MeterSeries series, const QByteArray &reply);

// ---- Archive (power profile)

// How a record's energies read: units per kWh and the reading's series.
enum class ArchiveEnergy {
    SinglePhase,   // 1/5000 kWh, 6 significant digits
    ThreePhase,    // 1/100 kWh, 3 significant digits, active and reactive
    ThreePhase42,  // 1/1000 kWh, models ".42"
    NotThreePhase, // a three-phase read for a meter that no longer is one: both energies "-"
};
// The energies of a three-phase read (kind 60) or a single-phase one (kind 20), judged from the
// device name as it is now.
ArchiveEnergy archiveEnergy(bool threePhaseRead, const QString &deviceName);
// Columns: "Дата", "Время", "Номер" and one energy (single-phase) or two.
QStringList archiveHeader(bool threePhase);

struct ArchiveRecord
{
    QStringList cells;
    // End of the period (the meter's time, carried as UTC); invalid when the time stamp is
    // missing or no real date.
    QDateTime end;
    // kWh of the period; NaN when not there.
    double active;
    double reactive;
};
// Record `number`: "dd.MM.yyyy", "hh:mm", the number, the energies (0,0124 for 62 single-phase).
ArchiveRecord archiveRecord(ArchiveEnergy energy, const QByteArray &reply, int number);

// ---- Events

// "Дата", "Время", "Номер", "Код", "Сообщения".
QStringList eventHeader();
// Record `counter` of `list` (3b messages, 12 errors, 3c warnings): "d.M.yyyy" without leading
// zeros, "hh:mm:ss", "M"/"E"/"W" + counter, the code as 16 binary digits, its texts for the
// series.
QStringList eventRow(int list, MeterSeries series, const QByteArray &reply, int counter);

struct EventRecord
{
    QStringList cells;
    // The meter's time of the event (carried as UTC); invalid when missing or no real date.
    QDateTime time;
    std::optional<quint16> code;
};
// eventRow() with its time and code.
EventRecord eventRecord(int list, MeterSeries series, const QByteArray &reply, int counter);

} // namespace records
