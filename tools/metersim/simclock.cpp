#include "metersim/simclock.h"

SimClock::SimClock()
{
    m_started.start();
}

SimClock::~SimClock() = default;

qint64 SimClock::monotonicMs() const
{
    return m_started.elapsed();
}

QDateTime SimClock::localNow() const
{
    return QDateTime::currentDateTime();
}
