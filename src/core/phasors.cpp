#include "core/phasors.h"

#include "core/axisscale.h"

#include <QCoreApplication>
#include <QtMath>

#include <cmath>

namespace phasors {

namespace {
// Stands in for a zero voltage, which the current divides by.
constexpr double kZeroVolts = 0.001;
constexpr double kCurrentScale = 10.0;

double length(const Vector &v)
{
    return std::hypot(v.tip.x() - v.origin.x(), v.tip.y() - v.origin.y());
}

QList<double> lines(double min, double max, double step)
{
    QList<double> out;
    if (!(step > 0) || !(max >= min))
        return out;
    // Multiples of the step rather than a running sum, so that 0 is exactly 0.
    const int n = qRound((max - min) / step);
    for (int i = 0; i <= n; ++i)
        out << min + i * step;
    return out;
}
} // namespace

QPointF rotate(const QPointF &point, double degrees)
{
    const double a = qDegreesToRadians(degrees);
    const double c = qCos(a);
    const double s = qSin(a);
    return {point.x() * c - point.y() * s, point.x() * s + point.y() * c};
}

Vectors compute(const double u[3], const double p[3], const double q[3])
{
    Vectors v;
    for (int k = 0; k < 3; ++k) {
        const double volts = u[k] == 0 ? kZeroVolts : u[k];
        const QPointF voltage(volts, 0);
        const QPointF current(p[k] / volts * kCurrentScale, q[k] / volts * kCurrentScale);
        v.voltage[k] = {QPointF(), rotate(voltage, kPhaseDegrees[k])};
        v.current[k] = {QPointF(), rotate(current, kPhaseDegrees[k])};
    }
    return v;
}

double amperesPerDivision(const Vectors &v)
{
    double volts = 0;
    double amperes = 0;
    for (int k = 0; k < 3; ++k) {
        volts = qMax(volts, length(v.voltage[k]));
        amperes = qMax(amperes, length(v.current[k]));
    }
    if (!(amperes > 0) || !std::isfinite(amperes))
        return 1;
    const double reach = volts >= kDivision ? volts : Plot().xMax;
    return axisscale::niceStep(amperes / (reach / kDivision));
}

Vector drawnCurrent(const Vector &current, double amperesPerDivision)
{
    const double k = kDivision / amperesPerDivision;
    return {current.origin * k, current.tip * k};
}

QString scaleText(double amperesPerDivision)
{
    return QCoreApplication::translate("phasors", "U: 1 деление = %1 В, I: 1 деление = %2 А")
        .arg(QString::number(kDivision))
        .arg(QString::number(amperesPerDivision, 'g', 6)
                 .replace(QLatin1Char('.'), QLatin1Char(',')));
}

QPointF Plot::toPixel(const QPointF &world, const QSizeF &image) const
{
    const double sx = (image.width() - left - right) / (xMax - xMin);
    const double sy = (image.height() - top - bottom) / (yMax - yMin);
    return {(world.x() - xMin) * sx + left, image.height() - bottom - (world.y() - yMin) * sy};
}

QRectF Plot::area(const QSizeF &image) const
{
    return QRectF(QPointF(left, top), QPointF(image.width() - right, image.height() - bottom));
}

QList<double> Plot::majorLines(double min, double max) const
{
    return lines(min, max, majorStep);
}

QList<double> Plot::minorLines(double min, double max) const
{
    return lines(min, max, majorStep / minorPerMajor);
}

QString gridLabel(double value)
{
    return QString::number(value, 'g', 2);
}

} // namespace phasors
