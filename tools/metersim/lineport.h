#pragma once

#include "metersim/frameassembler.h"
#include "metersim/pacedwriter.h"

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
    // The line hears each frame this long after it is complete (0: at once).
    void setHearingDelay(int ms) { m_hearingDelayMs = ms; }
    QString name() const { return m_name; }

private:
    void quiet();
    void answer(const QByteArray &frame);
    void trace(const QString &what, const QByteArray &bytes) const;

    SimLine *m_line;
    FrameAssembler m_assembler;
    PacedWriter m_writer;
    QTimer m_quiet;
    QString m_name;
    bool m_trace = false;
    int m_hearingDelayMs = 0;
};
