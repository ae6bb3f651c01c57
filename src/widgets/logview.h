#pragma once

#include <QStringList>

class QTextEdit;

// The log view's drawing of new lines.
namespace logview {

// Appends each of `lines` (HTML, or plain text) as a paragraph of its own, exactly as
// QTextEdit::append() would one after another, but in one edit: the view lays out the new lines
// and scrolls to the end (when it was there) once for all of them.
void appendLines(QTextEdit *view, const QStringList &lines);

} // namespace logview
