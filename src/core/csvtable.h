#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A reading table as a CSV file for a spreadsheet: a line of column titles, then one line per
// row, every cell followed by ";". Cells go as they are shown (decimal commas included), except
// that nothing in a cell can make the spreadsheet run a formula or split the cell.
namespace csvtable {

// The cell as it is written. A cell that a spreadsheet would run as a formula (it starts with
// "=", "+", "-" or "@" and is no number) gets a "'" in front, so it shows as text; numbers
// ("-1,5"), dates and the "-" of a missing value stay. A cell holding ";", '"' or a line break is
// quoted, its quotes doubled.
QString cell(const QString &text);

// The whole file as text, lines ending in "\n".
QString text(const QStringList &header, const QList<QStringList> &rows);

// Writes `text` to `path` in the system's 8-bit encoding with the platform's line ends, whole
// or not at all: an existing file stays as it was when anything fails. False with the reason in
// `error` on failure.
bool write(const QString &path, const QString &text, QString *error);

} // namespace csvtable
