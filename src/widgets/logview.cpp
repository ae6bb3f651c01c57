#include "widgets/logview.h"

#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace logview {

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
        if (Qt::mightBeRichText(line))
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
