#pragma once

#include <QColor>
#include <QStaticText>
#include <QWidget>

// The text of one meter-list row: one line of simple rich text in one colour. A QLabel builds a
// whole text document for rich text at once; with thousands of rows that is most of the cost of
// filling the list. This lays the text out only when the row is first painted.
class rowLabel : public QWidget
{
    Q_OBJECT
public:
    explicit rowLabel(QWidget *parent = nullptr);

    void setText(const QString &richText);
    QString text() const { return m_text.text(); }
    void setColour(const QColor &colour);
    QColor colour() const { return m_colour; }
    QSizeF textSize() const { return m_text.size(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QStaticText m_text;
    QColor m_colour = Qt::black;
};
