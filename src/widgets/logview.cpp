#include "widgets/logview.h"

#include <QHash>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace logview {

namespace {

// A line as logline::span() writes it: one coloured span of text that holds no markup and no
// white space that HTML would fold. Such a line is drawn without parsing it: its text goes in
// with the format that parsing its span gives, which is the same for every line of a colour.
const QLatin1String kSpanHead("<span style='font-size: 10px; color:#");
const QLatin1String kSpanTail("</span>");
constexpr int kColourLength = 6;

bool plainSpan(const QString &line, QString *colour, QString *text)
{
    const int textStart = kSpanHead.size() + kColourLength + 2; // "'>"
    if (!line.startsWith(kSpanHead) || !line.endsWith(kSpanTail) || line.size() < textStart ||
        line.mid(kSpanHead.size() + kColourLength, 2) != QLatin1String("'>"))
        return false;
    *colour = line.mid(kSpanHead.size(), kColourLength);
    *text = line.mid(textStart, line.size() - textStart - kSpanTail.size());
    if (text->isEmpty() || text->front().isSpace())
        return false;
    QChar previous;
    for (const QChar c : *text) {
        if (c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('&') ||
            (c.isSpace() && (c != QLatin1Char(' ') || previous == QLatin1Char(' '))))
            return false;
        previous = c;
    }
    return true;
}

QTextCharFormat spanFormat(const QString &colour)
{
    static QHash<QString, QTextCharFormat> formats;
    auto it = formats.find(colour);
    if (it == formats.end()) {
        QTextDocument scratch;
        QTextCursor c(&scratch);
        c.insertHtml(kSpanHead + colour + QLatin1String("'>x") + kSpanTail);
        it = formats.insert(colour, c.charFormat());
    }
    return *it;
}

} // namespace

void appendLines(QTextEdit *view, const QStringList &lines)
{
    if (lines.isEmpty())
        return;
    QScrollBar *bar = view->verticalScrollBar();
    const bool atBottom = bar->value() >= bar->maximum();
    QTextDocument *doc = view->document();
    const QTextCursor viewCursor = view->textCursor();
    // append() holds the view's own cursor at the format it had before: every line starts from it.
    const QTextCharFormat charFormat = viewCursor.charFormat();
    QTextCursor edit(doc);
    edit.beginEditBlock();
    for (const QString &line : lines) {
        QTextCursor end(doc);
        end.movePosition(QTextCursor::End);
        if (!doc->isEmpty())
            end.insertBlock(viewCursor.blockFormat(), charFormat);
        else
            end.setCharFormat(charFormat);
        QString colour, text;
        if (plainSpan(line, &colour, &text))
            end.insertText(text, spanFormat(colour));
        else if (Qt::mightBeRichText(line))
            end.insertHtml(line);
        else
            end.insertText(line);
    }
    view->setCurrentCharFormat(charFormat);
    edit.endEditBlock();
    if (atBottom)
        bar->setValue(bar->maximum());
}

} // namespace logview
