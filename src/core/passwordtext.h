#pragma once

#include <QByteArray>
#include <QString>

// A meter password is six raw bytes, shown twice: as Latin-1 text and as hex byte pairs.
// These conversions keep the two views in step in every window that shows a password.
namespace passwordtext {

constexpr int kBytes = 6;
constexpr int kHexViewLength = 17; // "xx xx xx xx xx xx"

// Hex view -> text: pieces split at blanks (runs of blanks are one separator), each read as a
// hex number (0 when not a number), its low 8 bits one Latin-1 character.
QString hexToText(const QString &hexView);

// Text -> hex view: each character's low 8 bits as two lower-case digits and a blank, cut to
// `maxLength` characters (so six bytes give 17 characters, no trailing blank).
QString textToHex(const QString &text, int maxLength = kHexViewLength);

// The stored form: the first six Latin-1 bytes of the text, padded with zero bytes.
QByteArray toBytes(const QString &text);

// The shown form: the bytes up to the first zero byte, as Latin-1 text.
QString fromBytes(const QByteArray &bytes);

// The stored form of what a text view shows: while it still shows `stored` (as fromBytes() gave
// it), all six stored bytes, so none behind a zero byte is lost; otherwise toBytes(shown).
QByteArray fromView(const QString &shown, const QByteArray &stored);

// Factory password of an access level: e1 x6 for user and administrator, 3c 91 e4 07 5b d2 for
// the developer.
QByteArray factoryDefault(int accessLevel);
QString factoryDefaultHex(int accessLevel);

} // namespace passwordtext
