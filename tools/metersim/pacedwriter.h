#pragma once

#include "metersim/simline.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>
#include <functional>

// Writes the replies of a line to its channel in order, keeping each chunk's delay and, when a
// baud rate is set, the wire time of every byte (11 bits a byte at 8N2): byte k of a chunk goes
// out (k + 1) byte times after the chunk starts (or, setWhole(), all bytes at the last one's
// time). A chunk `apart` keeps to its own time instead.
class PacedWriter : public QObject
{
    Q_OBJECT
public:
    // Takes bytes for the channel; returns how many it took (0 when it cannot take any now,
    // -1 when the channel is gone).
    using Sink = std::function<qint64(const QByteArray &)>;

    PacedWriter(Sink sink, int baud, QObject *parent = nullptr);

    // Queues `chunks`; the first starts no sooner than `startNs` from now.
    void send(const QList<SimLine::Chunk> &chunks, qint64 startNs = 0);
    bool isIdle() const { return m_current.isEmpty() && m_queue.isEmpty(); }
    // Paced, each chunk goes out whole once its last byte has had its wire time, as a gateway
    // hands on what its serial side received: one write a reply instead of one a byte.
    void setWhole(bool on) { m_whole = on; }

private:
    void pump();

    Sink m_sink;
    int m_baud;
    bool m_whole = false;
    QList<SimLine::Chunk> m_queue;
    QByteArray m_current;
    qint64 m_sent = 0;
    qint64 m_startNs = 0;     // when the current chunk may start, on m_clock
    qint64 m_notBeforeNs = 0; // no chunk starts before this, on m_clock
    QElapsedTimer m_clock;
    QTimer m_timer;
};
