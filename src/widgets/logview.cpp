#include "widgets/logview.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHash>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <QtMath>

#include <algorithm>
#include <climits>

namespace {

// Room around the text, as a text browser leaves it.
constexpr int kMargin = 4;
// A place at the end of its line, however long the line is.
constexpr int kLineEnd = INT_MAX;
// Laid-out lines kept for scrolling back and forth; more than this and those far off go.
constexpr size_t kKeptDocuments = 400;

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

// Writes one line at `at` as QTextEdit::append() reads it: HTML when it looks like HTML.
void insertLine(QTextCursor &at, const QString &line)
{
    QString colour, text;
    if (plainSpan(line, &colour, &text))
        at.insertText(text, spanFormat(colour));
    else if (Qt::mightBeRichText(line))
        at.insertHtml(line);
    else
        at.insertText(line);
}

std::unique_ptr<QTextDocument> newDocument(const QFont &font)
{
    auto doc = std::make_unique<QTextDocument>();
    doc->setUndoRedoEnabled(false);
    doc->setDefaultFont(font);
    return doc;
}

int lineEndOf(const QTextDocument *doc)
{
    return doc->characterCount() - 1;
}

} // namespace

LogView::LogView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setCursor(Qt::IBeamCursor);
    verticalScrollBar()->setSingleStep(1);
}

LogView::~LogView() = default;

void LogView::appendLines(const QStringList &lines)
{
    if (lines.isEmpty())
        return;
    const bool follow = atEnd();
    m_lines += lines;
    if (m_document)
        appendToDocument(lines);
    updateRange();
    if (follow)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->update();
}

QTextDocument *LogView::document()
{
    if (!m_document) {
        m_document = newDocument(font());
        // A text browser's own cursor rests at the start; each appended line takes its format.
        m_documentCursor = QTextCursor(m_document.get());
        appendToDocument(m_lines);
    }
    return m_document.get();
}

void LogView::appendToDocument(const QStringList &lines)
{
    QTextDocument *doc = m_document.get();
    const QTextCharFormat charFormat = m_documentCursor.charFormat();
    const QTextBlockFormat blockFormat = m_documentCursor.blockFormat();
    // One cursor for all: a cursor made per line costs as much as the line.
    QTextCursor end(doc);
    end.beginEditBlock();
    for (const QString &line : lines) {
        end.movePosition(QTextCursor::End);
        if (!doc->isEmpty())
            end.insertBlock(blockFormat, charFormat);
        else
            end.setCharFormat(charFormat);
        insertLine(end, line);
    }
    m_documentCursor.setCharFormat(charFormat);
    end.endEditBlock();
}

QTextDocument *LogView::lineDocument(int line)
{
    auto it = m_shown.find(line);
    if (it != m_shown.end())
        return it->second.get();
    std::unique_ptr<QTextDocument> doc = newDocument(font());
    doc->setDocumentMargin(0);
    QTextCursor at(doc.get());
    insertLine(at, m_lines[line]);
    doc->setTextWidth(qMax(1, viewport()->width() - 2 * kMargin));
    return m_shown.emplace(line, std::move(doc)).first->second.get();
}

int LogView::lineHeight(int line)
{
    return qMax(1, qCeil(lineDocument(line)->size().height()));
}

bool LogView::atEnd() const
{
    return verticalScrollBar()->value() >= verticalScrollBar()->maximum();
}

void LogView::updateRange()
{
    // The bar counts lines; its end shows the last line at the bottom, so only the lines that
    // fit on screen there are laid out to know where that is.
    const int room = viewport()->height() - 2 * kMargin;
    const int n = lineCount();
    int fit = 0;
    for (int used = 0; fit < n; ++fit) {
        used += lineHeight(n - 1 - fit);
        if (used > room)
            break;
    }
    fit = qMax(1, fit);
    verticalScrollBar()->setPageStep(fit);
    verticalScrollBar()->setRange(0, qMax(0, n - fit));
    dropFarDocuments(verticalScrollBar()->value(), n - 1);
}

void LogView::dropFarDocuments(int first, int last)
{
    if (m_shown.size() <= kKeptDocuments)
        return;
    const int reach = int(kKeptDocuments / 4);
    for (auto it = m_shown.begin(); it != m_shown.end();) {
        const int line = it->first;
        const bool near = (line >= first - reach && line <= first + reach) || line >= last - reach;
        it = near ? std::next(it) : m_shown.erase(it);
    }
}

QList<LogView::Shown> LogView::shownLines()
{
    QList<Shown> out;
    const int n = lineCount();
    const int height = viewport()->height();
    if (n == 0)
        return out;
    if (atEnd()) {
        // At the end the last line sits at the bottom, as the log has always followed new lines.
        int bottom = height - kMargin;
        for (int line = n - 1; line >= 0 && bottom > 0; --line) {
            bottom -= lineHeight(line);
            out.prepend({line, bottom});
        }
        // A log shorter than the view starts at the top.
        if (out.first().line == 0 && out.first().top > kMargin) {
            const int shift = out.first().top - kMargin;
            for (Shown &s : out)
                s.top -= shift;
        }
        return out;
    }
    int top = kMargin;
    for (int line = verticalScrollBar()->value(); line < n && top < height; ++line) {
        out.append({line, top});
        top += lineHeight(line);
    }
    return out;
}

void LogView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    painter.setClipRect(event->rect());
    const auto [from, to] = std::minmax(m_anchor, m_cursor);
    const bool selection = !(from == to);
    const QList<Shown> shown = shownLines();
    for (const Shown &s : shown) {
        QTextDocument *doc = lineDocument(s.line);
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette = palette();
        if (selection && s.line >= from.line && s.line <= to.line) {
            QTextCursor c(doc);
            c.setPosition(s.line == from.line ? qMin(from.pos, lineEndOf(doc)) : 0);
            c.setPosition(s.line == to.line ? qMin(to.pos, lineEndOf(doc)) : lineEndOf(doc),
                          QTextCursor::KeepAnchor);
            QAbstractTextDocumentLayout::Selection sel;
            sel.cursor = c;
            sel.format.setBackground(palette().brush(QPalette::Highlight));
            sel.format.setForeground(palette().brush(QPalette::HighlightedText));
            context.selections.append(sel);
        }
        painter.save();
        painter.translate(kMargin, s.top);
        context.clip = QRectF(0, -s.top, viewport()->width(), viewport()->height());
        doc->documentLayout()->draw(&painter, context);
        painter.restore();
    }
    if (!shown.isEmpty())
        dropFarDocuments(shown.first().line, lineCount() - 1);
}

void LogView::resizeEvent(QResizeEvent *event)
{
    const bool follow = atEnd();
    QAbstractScrollArea::resizeEvent(event);
    const int width = qMax(1, viewport()->width() - 2 * kMargin);
    for (auto &[line, doc] : m_shown)
        doc->setTextWidth(width);
    updateRange();
    if (follow)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_shown.clear();
        updateRange();
        viewport()->update();
    }
}

LogView::Spot LogView::spotAt(const QPoint &p)
{
    const QList<Shown> shown = shownLines();
    if (shown.isEmpty())
        return {};
    if (p.y() < shown.first().top)
        return {shown.first().line, 0};
    for (const Shown &s : shown) {
        QTextDocument *doc = lineDocument(s.line);
        if (p.y() >= s.top + lineHeight(s.line))
            continue;
        const int pos =
            doc->documentLayout()->hitTest(QPointF(p.x() - kMargin, p.y() - s.top), Qt::FuzzyHit);
        return {s.line, qMax(0, pos)};
    }
    return {shown.last().line, kLineEnd};
}

QString LogView::selectedText() const
{
    const auto [from, to] = std::minmax(m_anchor, m_cursor);
    if (from == to || m_lines.isEmpty())
        return {};
    QStringList out;
    for (int line = from.line; line <= to.line && line < lineCount(); ++line) {
        // Lines off screen are read without laying them out.
        std::unique_ptr<QTextDocument> doc = newDocument(font());
        QTextCursor c(doc.get());
        insertLine(c, m_lines[line]);
        c.setPosition(line == from.line ? qMin(from.pos, lineEndOf(doc.get())) : 0);
        c.setPosition(line == to.line ? qMin(to.pos, lineEndOf(doc.get())) : lineEndOf(doc.get()),
                      QTextCursor::KeepAnchor);
        out << c.selection().toPlainText();
    }
    return out.join(QLatin1Char('\n'));
}

void LogView::selectAll()
{
    if (m_lines.isEmpty())
        return;
    m_anchor = {0, 0};
    m_cursor = {lineCount() - 1, kLineEnd};
    viewport()->update();
}

void LogView::copy() const
{
    const QString text = selectedText();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void LogView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    m_anchor = m_cursor = spotAt(event->position().toPoint());
    m_selecting = true;
    viewport()->update();
}

void LogView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_selecting)
        return;
    const QPoint p = event->position().toPoint();
    // Dragging past an edge scrolls a line at a time.
    if (p.y() < 0)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (p.y() > viewport()->height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    m_cursor = spotAt(p);
    viewport()->update();
}

void LogView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_selecting)
        return;
    m_selecting = false;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection() && !selectedText().isEmpty())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void LogView::keyPressEvent(QKeyEvent *event)
{
    QScrollBar *bar = verticalScrollBar();
    if (event->matches(QKeySequence::Copy))
        copy();
    else if (event->matches(QKeySequence::SelectAll))
        selectAll();
    else if (event->matches(QKeySequence::MoveToStartOfDocument))
        bar->setValue(0);
    else if (event->matches(QKeySequence::MoveToEndOfDocument))
        bar->setValue(bar->maximum());
    else
        QAbstractScrollArea::keyPressEvent(event);
}

void LogView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copyAction = menu.addAction(tr("&Копировать"), this, &LogView::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(!(m_anchor == m_cursor));
    QAction *all = menu.addAction(tr("Выделить всё"), this, &LogView::selectAll);
    all->setShortcut(QKeySequence::SelectAll);
    all->setEnabled(!m_lines.isEmpty());
    menu.exec(event->globalPos());
}
