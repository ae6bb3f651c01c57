#pragma once

#include "metersim/frameassembler.h"
#include "metersim/pacedwriter.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class SimLine;

// One way into a line (a TCP connection, a pseudo-terminal): gathers request frames from the
// bytes that come in, hands them to the line and writes what comes back.
class LinePort : public QObject
{
    Q_OBJECT
public:
    // Bytes that do not make a frame within this time after the last one are dropped.
    static constexpr int kQuietMs = 100;

    LinePort(SimLine *line, PacedWriter::Sink sink, int paceBaud, const QString &name,
             QObject *parent = nullptr);

    void receive(const QByteArray &bytes);
    void setTrace(bool on) { m_trace = on; }
    // The line hears each frame this long after it is complete (0: at once); with pacing, after
    // its last byte would have arrived.
    void setHearingDelay(int ms) { m_hearingDelayMs = ms; }
    // Paced replies go out whole, at their last byte's time (see PacedWriter::setWhole).
    void setWholeReplies(bool on) { m_writer.setWhole(on); }
    QString name() const { return m_name; }

private:
    void quiet();
    // Answers `frame`, the reply starting no sooner than `startNs` from now.
    void answer(const QByteArray &frame, qint64 startNs = 0);
    void trace(const QString &what, const QByteArray &bytes) const;

    SimLine *m_line;
    int m_paceBaud;
    // When the bytes received so far would have finished arriving at the paced speed, on
    // m_clock: a program may hand a whole request over at once, a real line carries it bit by bit.
    QElapsedTimer m_clock;
    qint64 m_heardNs = 0;
    FrameAssembler m_assembler;
    PacedWriter m_writer;
    QTimer m_quiet;
    QString m_name;
    bool m_trace = false;
    int m_hearingDelayMs = 0;
};
