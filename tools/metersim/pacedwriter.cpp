#include "metersim/pacedwriter.h"

namespace {
// A channel that takes nothing is tried again after this long.
const int kRetryMs = 5;
const qint64 kBitsPerByte = 11;
} // namespace

PacedWriter::PacedWriter(Sink sink, int baud, QObject *parent)
    : QObject(parent), m_sink(std::move(sink)), m_baud(baud)
{
    m_clock.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &PacedWriter::pump);
}

void PacedWriter::send(const QList<SimLine::Chunk> &chunks, qint64 startNs)
{
    if (startNs > 0)
        m_notBeforeNs = qMax(m_notBeforeNs, m_clock.nsecsElapsed() + startNs);
    for (const SimLine::Chunk &c : chunks) {
        if (c.bytes.isEmpty())
            continue;
        if (c.apart) {
            // A reply held up on the way: when its time comes it goes out whole, ahead of a reply
            // that is only waiting for its own delay, after one already on the wire.
            QTimer::singleShot(c.delayMs, this, [this, bytes = c.bytes] {
                qint64 taken = 0;
                if (m_current.isEmpty() || m_sent == 0)
                    taken = m_sink(bytes);
                if (taken < 0)
                    return;
                if (taken < bytes.size())
                    m_queue.prepend({bytes.mid(taken), 0});
                if (!m_timer.isActive())
                    pump();
            });
            continue;
        }
        m_queue.append(c);
    }
    if (!m_timer.isActive())
        pump();
}

void PacedWriter::pump()
{
    for (;;) {
        const qint64 now = m_clock.nsecsElapsed();
        if (m_current.isEmpty()) {
            if (m_queue.isEmpty())
                return;
            const SimLine::Chunk next = m_queue.takeFirst();
            m_current = next.bytes;
            m_sent = 0;
            m_startNs = qMax(now, m_notBeforeNs) + qint64(next.delayMs) * 1000000;
        }
        // Paced, the next write is due when the next byte (whole: the last one) is in.
        const qint64 size = m_current.size();
        const qint64 nextDueNs =
            m_startNs + (m_whole ? size : m_sent + 1) * kBitsPerByte * 1000000000 / qMax(1, m_baud);
        if (now < m_startNs) {
            m_timer.start(int(((m_baud > 0 ? nextDueNs : m_startNs) - now + 999999) / 1000000));
            return;
        }
        qint64 due = size;
        if (m_baud > 0) {
            due = qMin(due, (now - m_startNs) * m_baud / (kBitsPerByte * 1000000000));
            if (m_whole && due < size)
                due = m_sent;
        }
        if (due > m_sent) {
            const qint64 taken = m_sink(m_current.mid(m_sent, due - m_sent));
            if (taken < 0) { // the channel is gone: so is everything queued for it
                m_current.clear();
                m_queue.clear();
                return;
            }
            m_sent += taken;
            if (m_sent < due) {
                m_timer.start(kRetryMs);
                return;
            }
        }
        if (m_sent < size) {
            m_timer.start(int(qMax<qint64>(0, (nextDueNs - now + 999999) / 1000000)));
            return;
        }
        m_current.clear(); // the next chunk's delay counts from here
    }
}
