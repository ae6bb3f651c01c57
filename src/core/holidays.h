#pragma once

#include "core/replycheck.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The meter's holidays: 20 entries of a day (1..31) and a month (1..12), 255 for an empty one. The
// configurator keeps them only as the texts of its table: per row the day cell, then the month
// cell.
namespace holidays {

constexpr int kRows = 20;
constexpr int kCells = 2 * kRows;

// The 40 cell texts of a "01 0f" reply: each byte in decimal, "-" for 255. Short, with `cells`
// left alone, below 40 data bytes.
ReplyCheck decode(const QByteArray &reply, QStringList *cells);
// "02 0f" + per row " " + day + " " + month in plain hex; a day outside 1..31, a month outside
// 1..12, text that is no number and missing cells go out as ff. There is no calendar check.
QString write(const QStringList &cells);
// An edited cell: its number in decimal, or "-" when it is none or outside 1..31 (day) or 1..12
// (month).
QString normalised(const QString &text, bool month);

} // namespace holidays
