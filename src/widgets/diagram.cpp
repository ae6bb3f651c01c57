#include "widgets/diagram.h"

#include <QLabel>
#include <QLineF>
#include <QPainter>
#include <QPixmap>

const QColor Diagram::kPhaseColours[3] = {QColor(240, 100, 100), QColor(45, 215, 95),
                                          QColor(60, 60, 200)};

namespace {
const QColor kMinorGrid(225, 225, 225);
const QColor kMajorGrid(180, 180, 180);
const QColor kFrame(50, 50, 50);
constexpr int kTick = 5;
constexpr int kLabelGap = 20;
// Labels small enough, and the y labels close enough to the frame, that "-2.2e+02" fits the
// 50-pixel margin.
constexpr int kLabelPixels = 9;
constexpr int kYLabelGap = 6;
constexpr int kVoltageWidth = 2;
constexpr int kCurrentWidth = 1;
constexpr double kShortest = 0.5; // pixels
} // namespace

Diagram::Diagram(QWidget *parent) : QDialog(parent), m_label(new QLabel(this))
{
    setObjectName(QStringLiteral("Diagram"));
    setWindowTitle(QStringLiteral("Dialog"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    resize(321, 240);
    m_label->move(0, 0);
    const double zero[3] = {0, 0, 0};
    m_vectors = phasors::compute(zero, zero, zero);
}

void Diagram::setData(double uA, double uB, double uC, double pA, double pB, double pC, double qA,
                      double qB, double qC)
{
    const double u[3] = {uA, uB, uC};
    const double p[3] = {pA, pB, pC};
    const double q[3] = {qA, qB, qC};
    m_vectors = phasors::compute(u, p, q);
    m_dirty = true;
    update();
}

void Diagram::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    m_dirty = true;
    update();
}

void Diagram::paintEvent(QPaintEvent *event)
{
    // The label's new picture repaints this window once more; only a change redraws.
    if (m_dirty)
        redraw();
    QDialog::paintEvent(event);
}

void Diagram::redraw()
{
    m_dirty = false;
    m_label->resize(size());
    m_image = QImage(size(), QImage::Format_ARGB32);
    m_image.fill(Qt::transparent);
    const QSizeF imageSize = m_image.size();
    const QRectF area = m_plot.area(imageSize);

    QPainter painter(&m_image);
    painter.fillRect(m_image.rect(), Qt::white);
    const auto px = [&](double x, double y) { return m_plot.toPixel(QPointF(x, y), imageSize); };

    // Grid lines, each with a tick at the axis (the bottom and left edges of the plot).
    const auto gridLines = [&](const QList<double> &xs, const QList<double> &ys,
                               const QColor &colour) {
        for (const double x : xs) {
            const double at = px(x, 0).x();
            painter.setPen(colour);
            painter.drawLine(QPointF(at, area.top()), QPointF(at, area.bottom()));
            painter.setPen(Qt::black);
            painter.drawLine(QPointF(at, area.bottom()), QPointF(at, area.bottom() - kTick));
        }
        for (const double y : ys) {
            const double at = px(0, y).y();
            painter.setPen(colour);
            painter.drawLine(QPointF(area.left(), at), QPointF(area.right(), at));
            painter.setPen(Qt::black);
            painter.drawLine(QPointF(area.left(), at), QPointF(area.left() + kTick, at));
        }
    };
    gridLines(m_plot.minorLines(m_plot.xMin, m_plot.xMax),
              m_plot.minorLines(m_plot.yMin, m_plot.yMax), kMinorGrid);
    const QList<double> majorX = m_plot.majorLines(m_plot.xMin, m_plot.xMax);
    const QList<double> majorY = m_plot.majorLines(m_plot.yMin, m_plot.yMax);
    gridLines(majorX, majorY, kMajorGrid);

    painter.setPen(Qt::black);
    QFont labelFont = font();
    labelFont.setPixelSize(kLabelPixels);
    painter.setFont(labelFont);
    const QFontMetricsF metrics(labelFont);
    const double lineHeight = metrics.height();
    for (const double x : majorX) {
        const QString text = phasors::gridLabel(x);
        const double width = metrics.horizontalAdvance(text);
        const QPointF centre(px(x, 0).x(), area.bottom() + kLabelGap);
        painter.drawText(
            QRectF(centre.x() - width / 2, centre.y() - lineHeight / 2, width, lineHeight),
            Qt::AlignCenter, text);
    }
    for (const double y : majorY) {
        const QString text = phasors::gridLabel(y);
        const double width = metrics.horizontalAdvance(text);
        const double right = area.left() - kYLabelGap;
        painter.drawText(QRectF(right - width, px(0, y).y() - lineHeight / 2, width, lineHeight),
                         Qt::AlignRight | Qt::AlignVCenter, text);
    }
    painter.setPen(kFrame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area);

    // Vectors: voltages 2 pixels wide, then currents 1 pixel wide, in the colours of the phases.
    painter.setRenderHint(QPainter::Antialiasing);
    const auto line = [&](const phasors::Vector &v, const QColor &colour, int width) {
        const QPointF from = m_plot.toPixel(v.origin, imageSize);
        const QPointF to = m_plot.toPixel(v.tip, imageSize);
        // The painter would make a dot of a line without length (a zero reading).
        if (QLineF(from, to).length() < kShortest)
            return;
        painter.setPen(QPen(colour, width));
        painter.drawLine(from, to);
    };
    for (int k = 0; k < 3; ++k)
        line(m_vectors.voltage[k], kPhaseColours[k], kVoltageWidth);
    // Currents on a scale of their own, which the top margin states.
    const double perDivision = phasors::amperesPerDivision(m_vectors);
    for (int k = 0; k < 3; ++k)
        line(phasors::drawnCurrent(m_vectors.current[k], perDivision), kPhaseColours[k],
             kCurrentWidth);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(area.left(), 0, area.width(), area.top()),
                     Qt::AlignLeft | Qt::AlignVCenter, phasors::scaleText(perDivision));
    painter.end();

    m_label->setPixmap(QPixmap::fromImage(m_image));
}
