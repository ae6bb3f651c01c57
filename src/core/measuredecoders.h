#pragma once

#include "core/meterseries.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The measurements page's replies: number decoders, the rows of its three tables and of the
// vector diagram read. Replies are as the engine hands them over: function, object, data length
// N, then the data. Nothing here reads past a reply; a reply shorter than its byte 2 claims is
// not ok.
namespace measures {

// The N data bytes (fewer when the reply is short, and then false).
bool dataBytes(const QByteArray &reply, QByteArray *data);

// Decimal digits two to a byte, units in the high nibble and tens in the low one, least
// significant pair first: 00 21 43 65 is 56341200. False when a nibble is above 9, the reply is
// short, or the number does not fit 32 bits.
bool decodeBcdSwapped(const QByteArray &reply, qint32 *value);
// The same over bare digit bytes, without the reply's header.
bool decodeBcdSwappedDigits(const QByteArray &digits, qint32 *value);

// Little-endian, kept in 32 bits; sign-extended from 8N bits when N is 1 to 3; N = 0 is 0.
// False when the reply is short.
bool decodeSignedLE(const QByteArray &reply, qint32 *value);

// General format with 6 significant digits: the shorter of fixed and exponent notation, trailing
// zeros dropped ("563412", "-1", "1e+06", "1e-05").
QString formatG6(double value);

// Letters, digits and '.' of the data bytes (those present), in order; the rest dropped.
QString deviceText(const QByteArray &reply);
// The data bytes (the first four at most) as a little-endian number in lower-case hex, at least
// four digits: 2c is "002c".
QString identifierText(const QByteArray &reply);

// Commands of each read after the session-open command, in the order the rows decode them.
// An unrecognised series has none.
QStringList energyCommands(MeterSeries s);
QStringList instantCommands(MeterSeries s);
QStringList deviceInfoCommands();
QStringList diagramCommands();

// Row labels of the three tables: 5 or 18, 5 or 20, 3; none for an unrecognised series.
QStringList energyLabels(MeterSeries s);
QStringList instantLabels(MeterSeries s);
QStringList deviceInfoLabels();

// Row values from the replies of those commands (`count` of them from `replies`). A short or
// corrupt reply gives "corrupted" (energies) or "-" in its row, a missing reply "-". As many
// values as labels.
QStringList energyValues(MeterSeries s, const QByteArray *replies, int count);
QStringList instantValues(MeterSeries s, const QByteArray *replies, int count);
QStringList deviceInfoValues(const QByteArray *replies, int count);

// One row of a table as a number for a database: a stable English name ("energy_active_total",
// "voltage_a"), the unit ("kWh", "V", ...; empty for the tariff in force), the tariff of a
// tariff register (0 otherwise) and the value in that unit; no value where the row shows "-" or
// "corrupted".
struct Reading
{
    QString quantity;
    QString unit;
    int tariff = 0;
    std::optional<double> value;
};
// The rows of energyValues() and instantValues() as readings, one per row, in the same order.
QList<Reading> energyReadings(MeterSeries s, const QByteArray *replies, int count);
QList<Reading> instantReadings(MeterSeries s, const QByteArray *replies, int count);

// The diagram's nine values from the replies of diagramCommands(): voltages A, B, C, active
// powers A, B, C, reactive powers A, B, C, each decodeSignedLE / 1000 (the sums are not used).
// False, leaving `values` alone, when a reply is missing or short.
bool diagramValues(const QByteArray *replies, int count, double values[9]);

} // namespace measures
