#include "metersim/lineport.h"

#include "metersim/simline.h"

#include <cstdio>

LinePort::LinePort(SimLine *line, PacedWriter::Sink sink, int paceBaud, const QString &name,
                   QObject *parent)
    : QObject(parent), m_line(line), m_writer(std::move(sink), paceBaud, this), m_name(name)
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(kQuietMs);
    connect(&m_quiet, &QTimer::timeout, this, &LinePort::quiet);
}

void LinePort::receive(const QByteArray &bytes)
{
    const QByteArray frame = m_assembler.feed(bytes);
    if (frame.isEmpty()) {
        if (!m_assembler.isEmpty())
            m_quiet.start();
        return;
    }
    m_quiet.stop();
    trace(QStringLiteral("rx"), frame);
    if (m_hearingDelayMs > 0)
        QTimer::singleShot(m_hearingDelayMs, this, [this, frame] { answer(frame); });
    else
        answer(frame);
}

void LinePort::answer(const QByteArray &frame)
{
    const QList<SimLine::Chunk> reply = m_line->handleFrame(frame);
    for (const SimLine::Chunk &c : reply)
        trace(c.delayMs ? QStringLiteral("tx +%1 ms").arg(c.delayMs) : QStringLiteral("tx"),
              c.bytes);
    m_writer.send(reply);
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
