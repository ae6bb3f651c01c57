#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>

// Text of the log view and of the daily log files.
namespace logline {

// "rrggbb", lower case, each component padded to two digits.
QString colourHex(int red, int green, int blue);

// One log line: a span in the given colour, with "hh:mm:ss - " in front when `time` is valid.
QString span(const QString &text, const QString &colourHex, const QTime &time = QTime());

// The local time of day to the second, for stamping lines. Looking up the local time zone costs
// more than a log line, so it is done once a second, not for every line.
QTime stampNow();

// "DDMMYYYY.html"
QString fileName(const QDate &day);

// One whole HTML document of log paragraphs, one per entry (an empty entry is an empty line), for
// a program that keeps its log without a view to render it.
QString document(const QStringList &paragraphs);

// Appends one whole HTML document to `dir`/log/DDMMYYYY.html, creating the "log" folder (mode
// 0700) and the file (0600) when missing: the log holds passwords. Returns false (and writes
// nothing) when the folder or file cannot be made or opened.
bool appendDocument(const QString &dir, const QDate &day, const QString &html);

} // namespace logline
