#pragma once

#include <QAbstractScrollArea>
#include <QStringList>
#include <QTextCharFormat>
#include <QTextCursor>

#include <memory>
#include <unordered_map>

class QTextDocument;

// The log: every line of the run (HTML, or plain text), one paragraph each, drawn as a list of
// lines of which only those on screen are ever laid out, so a long day costs no more per line
// than a short one. Text can be selected with the mouse and copied; the view follows new lines
// while it is scrolled to its end and stays put while the user has scrolled up.
class LogView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit LogView(QWidget *parent = nullptr);
    ~LogView() override;

    // Appends each line as a paragraph of its own.
    void appendLines(const QStringList &lines);
    int lineCount() const { return int(m_lines.size()); }

    // The whole log as one rich-text document, each line a paragraph exactly as
    // QTextEdit::append() would make it: what the day's log file stores. Built when first asked
    // for and kept up with the lines from then on; never laid out.
    QTextDocument *document();

    QString selectedText() const;
    void selectAll();
    void copy() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // A place in the text: a line and a position in that line's own document.
    struct Spot
    {
        int line = 0;
        int pos = 0;
        bool operator<(const Spot &o) const
        {
            return line < o.line || (line == o.line && pos < o.pos);
        }
        bool operator==(const Spot &o) const { return line == o.line && pos == o.pos; }
    };
    struct Shown
    {
        int line;
        int top;
    };

    QTextDocument *lineDocument(int line);
    int lineHeight(int line);
    // The lines on screen with the top of each, in viewport coordinates.
    QList<Shown> shownLines();
    void updateRange();
    Spot spotAt(const QPoint &p);
    bool atEnd() const;
    void appendToDocument(const QStringList &lines);
    void dropFarDocuments(int first, int last);

    QStringList m_lines;
    // Laid-out documents of the lines lately on screen, by line.
    std::unordered_map<int, std::unique_ptr<QTextDocument>> m_shown;
    std::unique_ptr<QTextDocument> m_document;
    QTextCursor m_documentCursor;
    Spot m_anchor;
    Spot m_cursor;
    bool m_selecting = false;
};
