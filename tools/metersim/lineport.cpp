#include "metersim/lineport.h"

#include "metersim/simline.h"

#include <cstdio>

namespace {
// 8N2: start bit, eight data bits, two stop bits.
constexpr qint64 kBitsPerByte = 11;
} // namespace

LinePort::LinePort(SimLine *line, PacedWriter::Sink sink, int paceBaud, const QString &name,
                   QObject *parent)
    : QObject(parent), m_line(line), m_paceBaud(paceBaud),
      m_writer(std::move(sink), paceBaud, this), m_name(name)
{
    m_clock.start();
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(kQuietMs);
    connect(&m_quiet, &QTimer::timeout, this, &LinePort::quiet);
}

void LinePort::receive(const QByteArray &bytes)
{
    const qint64 now = m_clock.nsecsElapsed();
    if (m_paceBaud > 0)
        m_heardNs = qMax(m_heardNs, now) + bytes.size() * kBitsPerByte * 1000000000 / m_paceBaud;
    const QByteArray frame = m_assembler.feed(bytes);
    if (frame.isEmpty()) {
        if (!m_assembler.isEmpty())
            m_quiet.start();
        return;
    }
    m_quiet.stop();
    trace(QStringLiteral("rx"), frame);
    const qint64 wireNs = qMax<qint64>(0, m_heardNs - now);
    if (m_hearingDelayMs > 0) {
        // Who hears the frame is decided once the relays have settled.
        const qint64 waitNs = wireNs + qint64(m_hearingDelayMs) * 1000000;
        QTimer::singleShot(int((waitNs + 999999) / 1000000), Qt::PreciseTimer, this,
                           [this, frame] { answer(frame); });
        return;
    }
    // The reply is made now and starts when the request's last byte is in, to the nanosecond
    // rather than at the next whole millisecond of a timer.
    answer(frame, wireNs);
}

void LinePort::answer(const QByteArray &frame, qint64 startNs)
{
    const QList<SimLine::Chunk> reply = m_line->handleFrame(frame);
    for (const SimLine::Chunk &c : reply)
        trace(c.delayMs ? QStringLiteral("tx +%1 ms").arg(c.delayMs) : QStringLiteral("tx"),
              c.bytes);
    m_writer.send(reply, startNs);
}

void LinePort::quiet()
{
    trace(QStringLiteral("rx, no frame (bad CRC or cut short), ignored"), m_assembler.discard());
}

void LinePort::trace(const QString &what, const QByteArray &bytes) const
{
    if (!m_trace)
        return;
    std::fprintf(stderr, "%s %s: %s\n", qPrintable(m_name), qPrintable(what),
                 (bytes.isEmpty() ? QByteArray() : bytes.toHex(' ') + ' ').constData());
}
