#pragma once

#include "metersim/simmeter.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class FaultPlan;

// A line of meters (an RS-485 bus, or the meters behind a TCP gateway): takes one request frame
// and returns what comes back on the line. A frame is for a meter when its CRC is good and it
// starts with the meter's four-byte serial address or, failing that, its one-byte address; only
// that meter answers, with the address field of the request in front of its reply. Anything else
// gets silence. On the factory stand only the meters switched onto the line hear it.
class SimLine
{
public:
    struct Chunk
    {
        QByteArray bytes;
        int delayMs = 0; // after the previous chunk has gone
        // Sent delayMs after it was made, whatever else goes out meanwhile; nothing waits for it.
        bool apart = false;
    };

    explicit SimLine(FaultPlan *faults = nullptr);
    ~SimLine();
    SimLine(const SimLine &) = delete;
    SimLine &operator=(const SimLine &) = delete;

    // Adds a meter; `position` is its stand position (1..24), 0 off the stand.
    SimMeter *addMeter(std::unique_ptr<SimMeter> meter, int position = 0);
    // For a stand line: the positions switched onto the line, bit p-1 for position p. Without
    // it every meter hears.
    void setSwitch(std::function<quint32()> positions) { m_switch = std::move(positions); }
    // Receives a short line on each decision that leads to silence or to a fault.
    void setTrace(std::function<void(const QString &)> trace) { m_trace = std::move(trace); }

    QList<Chunk> handleFrame(const QByteArray &frame);

    int meterCount() const { return int(m_meters.size()); }
    SimMeter *meter(int i) const { return m_meters[size_t(i)].meter.get(); }
    // The first meter listed with this one-byte address, or none.
    SimMeter *meterAt(int address) const;

private:
    struct Seat
    {
        std::unique_ptr<SimMeter> meter;
        int position = 0;
    };
    bool hears(const Seat &seat, quint32 switched) const;
    void note(const QString &text) const;

    std::vector<Seat> m_meters;
    FaultPlan *m_faults;
    std::function<quint32()> m_switch;
    std::function<void(const QString &)> m_trace;
};
