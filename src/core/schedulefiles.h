#pragma once

#include "core/tariffschedule.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The files of the tariff page: a tariff schedule table (".ztf", binary) and the holidays table
// (".hcf", text). Both readers take whatever bytes a file holds.
namespace schedulefiles {

// ".ztf": "ZT", version 1, zones per month Z (8 or 16), then twelve months of Z zone records of
// six bytes: hour, minute, working-day, holiday, Saturday and Sunday tariff, as the store holds
// them. 580 bytes with 8 zones, 1156 with 16.
enum class ZtfCheck {
    Ok,
    NotSchedule, // shorter than the header, or no "ZT"
    Version,     // a version other than 1
    Zones,       // a zone count other than 8 or 16
    Truncated,   // shorter than its zone count needs
};
int ztfSize(int zones);
// The file of a table; empty for a zone count of no table or a table not of twelve months of
// `zones` zones.
QByteArray encodeZtf(int zones, const tariff::Table &table);
// The table of a file and its zone count; on anything but Ok both are left alone. Bytes after the
// last month are ignored.
ZtfCheck decodeZtf(const QByteArray &file, int *zones, tariff::Table *table);
// Why a file was refused, naming what it holds ("" for Ok).
QString ztfReason(ZtfCheck check, const QByteArray &file);

// ".hcf": the 40 cell texts of the holidays table (day, month of each row), one a line, each
// ended by a line feed.
QByteArray encodeHcf(const QStringList &cells);
// Always 40 texts: the first 40 lines, each cut to 7 characters (a carriage return before the
// line feed dropped); cells of missing lines are empty.
QStringList decodeHcf(const QByteArray &file);

// At most `limit` bytes of a file; false, with the reason, when it cannot be opened or read.
bool readFile(const QString &path, qint64 limit, QByteArray *bytes, QString *reason);
// Writes a file whole or not at all (what was there stays); false, with the reason, on failure.
bool writeFile(const QString &path, const QByteArray &bytes, QString *reason);

} // namespace schedulefiles
