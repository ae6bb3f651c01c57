#include "session/passwordviews.h"

#include "core/passwordtext.h"

#include <QLineEdit>

namespace passwordviews {

void hexEdited(const QLineEdit *hexView, QLineEdit *textView)
{
    textView->setText(passwordtext::hexToText(hexView->text()));
}

void textEdited(const QLineEdit *textView, QLineEdit *hexView)
{
    hexView->setText(passwordtext::textToHex(textView->text(), hexView->maxLength()));
}

} // namespace passwordviews
