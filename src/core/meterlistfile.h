#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QIODevice;

// Meter-list files ("*.txt"): the serial numbers of a group of meters, one to a line.
namespace meterlistfile {

constexpr int kSerialLength = 15;
// Characters of a line that are looked at; a longer line ends the list like any other length.
constexpr int kMaxLine = 25;

// The serial numbers in file order: every line of exactly 15 characters (its "\n" or "\r\n" not
// counted) is one, taken as it stands; the first line of any other length, or the end of the
// input, ends the list. Reads no further than the list goes.
QList<QByteArray> parse(QIODevice *in);
QList<QByteArray> parse(const QByteArray &bytes);

// parse() of the file at `path`. False, with the reason in `error`, when it cannot be opened.
bool read(const QString &path, QList<QByteArray> *serials, QString *error);

} // namespace meterlistfile
