#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

// The vector diagram's arithmetic, apart from any painting: the phase vectors from the meter's
// readings and the plot's world-to-pixel mapping.
namespace phasors {

struct Vector
{
    QPointF origin;
    QPointF tip;
};

// Phase angles of A, B and C, degrees.
constexpr double kPhaseDegrees[3] = {10.0, 130.0, 250.0};

// Voltage and current of phases A, B, C. For phase k with u = U[k] (0.001 when U[k] is 0): the
// voltage runs from the origin to (u, 0), the current to (P[k] / u * 10, Q[k] / u * 10), both
// turned by the phase angle. With the meter's integers / 1000 for U, P and Q the current comes
// out in amperes (P is W x 100 on the wire).
struct Vectors
{
    Vector voltage[3];
    Vector current[3];
};
Vectors compute(const double u[3], const double p[3], const double q[3]);

// The currents are a few amperes against hundreds of volts: drawn on the voltages' scale they
// would be invisible. They get a scale of their own, amperes per grid division (22 world units),
// a 1, 2 or 5 step rounded up so that the longest current reaches about as far as the longest
// voltage (as far as 220 when there is no voltage). 1 when every current is 0.
constexpr double kDivision = 22.0;
double amperesPerDivision(const Vectors &v);
// The current scaled for drawing: world units = amperes / amperesPerDivision * kDivision.
Vector drawnCurrent(const Vector &current, double amperesPerDivision);
// "U: 1 деление = 22 В, I: 1 деление = 0,5 А".
QString scaleText(double amperesPerDivision);

// The point turned about the origin by `degrees`, counter-clockwise.
QPointF rotate(const QPointF &point, double degrees);

// Where the world square -220..220 lands in an image: margins left 50, right 20, top 20,
// bottom 40 pixels, y growing upwards.
struct Plot
{
    double xMin = -220, xMax = 220, yMin = -220, yMax = 220;
    double left = 50, right = 20, top = 20, bottom = 40;
    double majorStep = 110;
    int minorPerMajor = 5;

    QPointF toPixel(const QPointF &world, const QSizeF &image) const;
    // The plot area in pixels.
    QRectF area(const QSizeF &image) const;
    // World values of the grid lines from min to max, both ends included.
    QList<double> majorLines(double min, double max) const;
    QList<double> minorLines(double min, double max) const;
};

// Label of a grid line: general format with 2 significant digits ("1.1e+02", "0", "-2.2e+02").
QString gridLabel(double value);

} // namespace phasors
