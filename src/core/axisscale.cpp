#include "core/axisscale.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace axisscale {

namespace {
constexpr qint64 kMinute = 60;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;
constexpr qint64 kTimeSteps[] = {5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute, kHour,
                                 2 * kHour,   3 * kHour,    6 * kHour,    12 * kHour,   kDay,
                                 2 * kDay,    7 * kDay,     14 * kDay,    28 * kDay};

// The first multiple of `step` not before `at`, for negative times too.
qint64 ceilTo(qint64 at, qint64 step)
{
    const qint64 q = at / step;
    const qint64 down = (at % step != 0 && at < 0) ? q - 1 : q;
    return down * step == at ? at : (down + 1) * step;
}
} // namespace

double niceStep(double raw)
{
    if (!(raw > 0) || !std::isfinite(raw))
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    // A little slack, so that a raw step that is already round stays as it is.
    for (const double m : {1.0, 2.0, 5.0, 10.0})
        if (raw <= m * power * (1 + 1e-9))
            return m * power;
    return 10 * power;
}

ValueAxis valueAxis(double max, int maxTicks)
{
    ValueAxis axis;
    const int steps = qMax(1, maxTicks);
    axis.step = niceStep(max > 0 ? max / steps : 0);
    const int n = qMax(1, int(std::ceil(max / axis.step - 1e-9)));
    axis.top = n * axis.step;
    for (int i = 0; i <= n; ++i)
        axis.ticks << i * axis.step;
    return axis;
}

TimeAxis timeAxis(qint64 from, qint64 to, int maxTicks)
{
    TimeAxis axis;
    if (to < from)
        return axis;
    const qint64 span = to - from;
    axis.step = kTimeSteps[std::size(kTimeSteps) - 1];
    for (const qint64 step : kTimeSteps)
        if (span / step + 1 <= qMax(1, maxTicks)) {
            axis.step = step;
            break;
        }
    // Ticks of a long step still fall on round times of day; a step that still gives too many
    // ticks (a span of years) is thinned to every k-th.
    const qint64 k = qMax<qint64>(1, (span / axis.step + 1 + maxTicks - 1) / qMax(1, maxTicks));
    axis.step *= k;
    for (qint64 t = ceilTo(from, axis.step); t <= to; t += axis.step)
        axis.ticks << t;
    return axis;
}

QString timeLabel(qint64 at, qint64 step)
{
    const QDateTime t = QDateTime::fromSecsSinceEpoch(at, Qt::UTC);
    const bool midnight = t.time() == QTime(0, 0);
    return t.toString(step >= kDay || midnight ? QStringLiteral("dd.MM") : QStringLiteral("hh:mm"));
}

qint64 typicalStep(const QList<qint64> &times, qint64 fallback)
{
    QList<qint64> gaps;
    for (qsizetype i = 1; i < times.size(); ++i)
        if (times[i] > times[i - 1])
            gaps << times[i] - times[i - 1];
    if (gaps.isEmpty())
        return fallback;
    std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
    return gaps[gaps.size() / 2];
}

double Mapping::x(qint64 at) const
{
    const double span = to > from ? double(to - from) : 1.0;
    return left + double(at - from) / span * width;
}

double Mapping::y(double value) const
{
    const double span = valueTop > 0 ? valueTop : 1.0;
    return top + height - value / span * height;
}

} // namespace axisscale
