#pragma once

#include <QByteArray>
#include <QString>

// Command texts: requests written as hex byte values separated by blanks, "02 0D 05". The engine,
// the console, the configurator and the password views all read them with parse().
namespace commandtext {

// Pieces split at blanks (runs of blanks are one separator, outer blanks ignored); each piece
// read as a hex number gives one byte, its low 8 bits; a piece that is not a number gives 00.
QByteArray parse(const QString &text);

// What the console accepts: not empty once trimmed, and only hex digits of either case and
// blanks.
bool isValidConsoleText(const QString &text);

// "08 " + level as two hex digits + " " + six password bytes, each as two hex digits and a blank
// (a shorter password is padded with zero bytes): the session-opening request.
QString sessionOpen(int accessLevel, const QByteArray &password);

} // namespace commandtext
