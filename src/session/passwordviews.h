#pragma once

class QLineEdit;

// The text and hex views of one password, kept in step. Each window calls these from its own
// inputPwdHex()/inputPwd() slots, connected to the views' textEdited signals.
namespace passwordviews {
void hexEdited(const QLineEdit *hexView, QLineEdit *textView);
void textEdited(const QLineEdit *textView, QLineEdit *hexView);

// Fields whose text goes out as bytes refuse, as they are typed or pasted, what they cannot
// send: a character outside Latin-1 would show one byte in the hex view and go out as "?".
void acceptBytes(QLineEdit *view);
// A SIM PIN: digits only.
void acceptDigits(QLineEdit *view);
// Text for the modem's AT commands (the number dialled): printable ASCII.
void acceptAscii(QLineEdit *view);
} // namespace passwordviews
