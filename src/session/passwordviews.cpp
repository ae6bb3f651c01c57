#include "session/passwordviews.h"

#include "core/passwordtext.h"

#include <QLineEdit>
#include <QValidator>

#include <algorithm>

namespace passwordviews {

namespace {
// Refuses an edit that brings in a character out of range. Text the program put there (a record
// read from a file) may hold such characters already: it can still be edited, and they deleted.
class RangeValidator : public QValidator
{
public:
    RangeValidator(QLineEdit *view, bool (*inRange)(QChar))
        : QValidator(view), m_inRange(inRange), m_before(view->text())
    {
        // What the view held before the edit being judged: an edit is judged before the view
        // reports it, and text the program sets is not judged at all.
        connect(view, &QLineEdit::textChanged, this, [this](const QString &t) { m_before = t; });
    }
    State validate(QString &input, int &) const override
    {
        const qsizetype outside = outOfRange(input);
        if (outside == 0)
            return Acceptable;
        return outside <= outOfRange(m_before) ? Intermediate : Invalid;
    }

private:
    qsizetype outOfRange(const QString &text) const
    {
        return std::count_if(text.cbegin(), text.cend(), [this](QChar c) { return !m_inRange(c); });
    }
    bool (*m_inRange)(QChar);
    QString m_before;
};
} // namespace

void acceptBytes(QLineEdit *view)
{
    view->setValidator(new RangeValidator(view, [](QChar c) { return c.unicode() <= 0xff; }));
}

void acceptDigits(QLineEdit *view)
{
    view->setValidator(new RangeValidator(
        view, [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }));
}

void acceptAscii(QLineEdit *view)
{
    view->setValidator(new RangeValidator(
        view, [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7f; }));
}

void hexEdited(const QLineEdit *hexView, QLineEdit *textView)
{
    textView->setText(passwordtext::hexToText(hexView->text()));
}

void textEdited(const QLineEdit *textView, QLineEdit *hexView)
{
    hexView->setText(passwordtext::textToHex(textView->text(), hexView->maxLength()));
}

} // namespace passwordviews
