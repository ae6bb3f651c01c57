#include "widgets/profilechart.h"

#include "core/axisscale.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kLeft = 48;
constexpr int kRight = 12;
constexpr int kTop = 26;
constexpr int kBottom = 32;
constexpr int kTick = 4;
// Room a tick label needs, so that the labels never crowd each other.
constexpr int kXLabelPixels = 64;
constexpr int kYLabelPixels = 28;
constexpr qint64 kFallbackStep = 30 * 60; // the meter's default period
const QColor kGrid(225, 225, 225);
const QColor kFrame(50, 50, 50);
const QColor kActive(70, 130, 200);
const QColor kReactive(230, 120, 40);

QString valueLabel(double value)
{
    return QString::number(value, 'g', 4).replace(QLatin1Char('.'), QLatin1Char(','));
}
} // namespace

ProfileChart::ProfileChart(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ProfileChart::setProfile(const QList<Sample> &samples, bool reactive)
{
    m_samples = samples;
    std::stable_sort(m_samples.begin(), m_samples.end(),
                     [](const Sample &a, const Sample &b) { return a.end < b.end; });
    m_reactive = reactive;
    update();
}

void ProfileChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    QFont small = font();
    small.setPixelSize(10);
    painter.setFont(small);
    const QFontMetrics metrics(small);

    const QRect area(kLeft, kTop, qMax(1, width() - kLeft - kRight),
                     qMax(1, height() - kTop - kBottom));
    painter.setPen(kFrame);
    painter.drawText(QRect(kLeft, 0, area.width(), kTop), Qt::AlignLeft | Qt::AlignVCenter,
                     tr("Профиль мощности, кВт·ч за период"));
    if (m_reactive) {
        // Legend, right-aligned in the title row.
        const QString active = tr("акт.");
        const QString reactive = tr("реакт.");
        int x = area.right() - metrics.horizontalAdvance(reactive);
        painter.drawText(QPoint(x, kTop / 2 + metrics.ascent() / 2), reactive);
        painter.fillRect(QRect(x - 14, kTop / 2 - 1, 10, 3), kReactive);
        x -= 22 + metrics.horizontalAdvance(active);
        painter.drawText(QPoint(x, kTop / 2 + metrics.ascent() / 2), active);
        painter.fillRect(QRect(x - 14, kTop / 2 - 4, 10, 8), kActive);
    }

    QList<qint64> times;
    double maxValue = 0;
    for (const Sample &s : std::as_const(m_samples)) {
        times << s.end;
        if (std::isfinite(s.active))
            maxValue = qMax(maxValue, s.active);
        if (m_reactive && std::isfinite(s.reactive))
            maxValue = qMax(maxValue, s.reactive);
    }
    if (m_samples.isEmpty()) {
        painter.setPen(kFrame);
        painter.drawRect(area);
        painter.setPen(Qt::gray);
        painter.drawText(area, Qt::AlignCenter, tr("Нет записей"));
        return;
    }
    const qint64 step = axisscale::typicalStep(times, kFallbackStep);

    axisscale::Mapping map;
    map.left = area.left();
    map.top = area.top();
    map.width = area.width();
    map.height = area.height();
    map.from = times.first() - step;
    map.to = times.last();
    const axisscale::ValueAxis values =
        axisscale::valueAxis(maxValue, qMax(1, area.height() / kYLabelPixels));
    map.valueTop = values.top;
    const axisscale::TimeAxis time =
        axisscale::timeAxis(map.from, map.to, qMax(1, area.width() / kXLabelPixels));

    // Grid and labels.
    for (const double v : values.ticks) {
        const double y = map.y(v);
        painter.setPen(kGrid);
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        painter.setPen(Qt::black);
        painter.drawLine(QPointF(area.left() - kTick, y), QPointF(area.left(), y));
        painter.drawText(QRectF(0, y - 8, kLeft - kTick - 2, 16), Qt::AlignRight | Qt::AlignVCenter,
                         valueLabel(v));
    }
    for (const qint64 t : time.ticks) {
        const double x = map.x(t);
        painter.setPen(kGrid);
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        painter.setPen(Qt::black);
        painter.drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() + kTick));
        painter.drawText(QRectF(x - kXLabelPixels / 2.0, area.bottom() + kTick, kXLabelPixels, 16),
                         Qt::AlignHCenter | Qt::AlignTop, axisscale::timeLabel(t, time.step));
    }

    // Active energy: a bar over each period.
    painter.setPen(Qt::NoPen);
    for (const Sample &s : std::as_const(m_samples)) {
        if (!std::isfinite(s.active))
            continue;
        const double x0 = map.x(s.end - step);
        const double x1 = map.x(s.end);
        const double w = qMax(1.0, x1 - x0 - (x1 - x0 > 4 ? 1 : 0));
        painter.fillRect(QRectF(x0, map.y(s.active), w, map.y(0) - map.y(s.active)), kActive);
    }
    // Reactive energy: a line through the middle of each period.
    if (m_reactive) {
        QPainterPath path;
        bool drawing = false;
        for (const Sample &s : std::as_const(m_samples)) {
            if (!std::isfinite(s.reactive)) {
                drawing = false;
                continue;
            }
            const QPointF p(map.x(s.end - step / 2), map.y(s.reactive));
            if (drawing)
                path.lineTo(p);
            else
                path.moveTo(p);
            drawing = true;
        }
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(kReactive, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
        painter.setRenderHint(QPainter::Antialiasing, false);
    }
    painter.setPen(kFrame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area);
}
