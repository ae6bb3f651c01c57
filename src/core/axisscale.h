#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// Axes of the small charts: round steps for values and for time, where their ticks fall and how
// they are labelled. Plain arithmetic, no painting.
namespace axisscale {

// The smallest 1, 2 or 5 times a power of ten not below `raw`: 0.37 is 0.5, 3 is 5, 12 is 20.
// 1 for anything not above 0 (or not a number).
double niceStep(double raw);

// A value axis from 0 to at least `max` in at most `maxTicks` round steps (at least one).
struct ValueAxis
{
    double top = 1;
    double step = 1;
    QList<double> ticks; // 0, step, ..., top
};
ValueAxis valueAxis(double max, int maxTicks);

// A time axis over [from, to] (seconds): the step is the shortest of 5, 10, 15, 30 minutes, 1, 2,
// 3, 6, 12 hours, 1, 2, 7, 14, 28 days that gives at most `maxTicks` ticks; the ticks are the
// multiples of the step from midnight that fall inside.
struct TimeAxis
{
    qint64 step = 0;
    QList<qint64> ticks;
};
TimeAxis timeAxis(qint64 from, qint64 to, int maxTicks);

// A tick's label: "hh:mm", or "dd.MM" at midnight and for steps of a day or more.
QString timeLabel(qint64 at, qint64 step);

// The usual distance between neighbouring times of an ascending list: the median of the
// positive gaps, or `fallback` when there is none.
qint64 typicalStep(const QList<qint64> &times, qint64 fallback);

// Where a chart's points fall in pixels: times from..to across the plot area, values 0..top up
// it (y grows downwards on the screen).
struct Mapping
{
    double left = 0, top = 0, width = 1, height = 1; // the plot area
    qint64 from = 0, to = 1;
    double valueTop = 1;

    double x(qint64 at) const;
    double y(double value) const;
};

} // namespace axisscale
