#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The address changer's list text: one serial number, address or coefficient line per line. The
// text is the user's (or pasted), so nothing here trusts its shape.
namespace changerlist {

// The lines of `text` split at line feeds, empty lines dropped; each line as it stands.
QStringList split(const QString &text);

// True when two lines of `text`, split at line feeds with empty lines kept, are equal (two empty
// lines count as equal). A single line, or an empty text, has none.
bool hasDuplicates(const QString &text);

// The address a list line gives a meter: its last two characters (white space around the line
// dropped) as a decimal number, so a serial number line "000000000000117" gives 17. Nothing for
// a line whose last two characters are not both digits, or that gives 0.
std::optional<int> listAddress(const QString &line);

// A text holding a blank (space or tab) anywhere is a list of coefficient lines; without one it
// is a list of serial numbers or addresses.
bool isCoefficientText(const QString &text);

// The coefficient line of a meter: the values in decimal, separated by single blanks.
QString coefficientLine(const QList<int> &values);

// Reads a line "%d %d %d %d %d %d": exactly six signed 32-bit decimal integers separated by
// blanks or tabs, with blanks allowed around them. False, with `values` left alone, for fewer
// or more values, anything that is not such a number, or a value out of range.
bool parseCoefficients(const QString &line, QList<int> *values);

} // namespace changerlist
