#pragma once

#include "metersim/simclock.h"

// A clock that moves only when told: for tests and fuzzers that drive session hold times,
// energy and the periodic records without waiting.
class ManualClock : public SimClock
{
public:
    explicit ManualClock(const QDateTime &start) : m_start(start) {}

    qint64 monotonicMs() const override { return m_ms; }
    QDateTime localNow() const override { return m_start.addMSecs(m_ms); }

    void advance(qint64 ms) { m_ms += ms; }

private:
    QDateTime m_start;
    qint64 m_ms = 0;
};
