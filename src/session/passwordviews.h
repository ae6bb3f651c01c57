#pragma once

class QLineEdit;

// The text and hex views of one password, kept in step. Each window calls these from its own
// inputPwdHex()/inputPwd() slots, connected to the views' textEdited signals.
namespace passwordviews {
void hexEdited(const QLineEdit *hexView, QLineEdit *textView);
void textEdited(const QLineEdit *textView, QLineEdit *hexView);
} // namespace passwordviews
