#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Lines files of meterjob: one channel with its meters a line, in the words of the command line
// ("tcp 10.0.0.5:14001 --address 1-8"). Blank lines and lines whose first non-blank character is
// '#' are skipped; words split as a shell splits them: blanks between words, '...' taken as it
// stands, "..." with \" \\ \$ \` escaped, a backslash outside quotes escaping the next character.
namespace linesfile {

// Larger is not a list of channels someone wrote: 10,000 lines of 100 characters fit.
constexpr qsizetype kMaxBytes = 1 << 20;

struct Line
{
    int number = 0; // 1-based, in the file
    QStringList words;
};

// The words of one line of text. False, with the reason in `error`, for an unclosed quote.
bool splitWords(const QString &text, QStringList *words, QString *error);

// The lines of a file's bytes. False for text that is not UTF-8 text (NUL or other control
// bytes, bad sequences) or too large, and for a line that does not split; `errorLine` is the
// line number at fault (0 for the whole file) and `error` says why.
bool parse(const QByteArray &bytes, QList<Line> *lines, int *errorLine, QString *error);

} // namespace linesfile
