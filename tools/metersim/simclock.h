#pragma once

#include <QDateTime>
#include <QElapsedTimer>

// Time as the meters see it: a monotonic count for session hold times and energy integration,
// and the computer's local date and time that each meter's clock runs from. Tests replace it
// with a clock they move by hand.
class SimClock
{
public:
    SimClock();
    virtual ~SimClock();
    SimClock(const SimClock &) = delete;
    SimClock &operator=(const SimClock &) = delete;

    virtual qint64 monotonicMs() const;
    virtual QDateTime localNow() const;

private:
    QElapsedTimer m_started;
};
