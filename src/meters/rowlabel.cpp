#include "meters/rowlabel.h"

#include <QPainter>

rowLabel::rowLabel(QWidget *parent) : QWidget(parent)
{
    m_text.setTextFormat(Qt::RichText);
    // One line, cut at the row's end like a label; a rich text is otherwise wrapped to a width
    // of its own choosing.
    QTextOption option(Qt::AlignLeft | Qt::AlignVCenter);
    option.setWrapMode(QTextOption::NoWrap);
    m_text.setTextOption(option);
}

void rowLabel::setText(const QString &richText)
{
    if (richText == m_text.text())
        return;
    m_text.setText(richText);
    update();
}

void rowLabel::setColour(const QColor &colour)
{
    if (colour == m_colour)
        return;
    m_colour = colour;
    update();
}

void rowLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setPen(m_colour);
    const qreal y = (height() - m_text.size().height()) / 2;
    p.drawStaticText(QPointF(0, y), m_text);
}
