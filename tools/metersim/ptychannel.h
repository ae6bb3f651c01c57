#pragma once

#include "metersim/pacedwriter.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class LinePort;
class QSocketNotifier;
class SimLine;

// The line on a pseudo-terminal: the program opens the slave side as its serial port, the line
// sits on the master side. A slave descriptor of our own stays open, so the line survives the
// program closing and reopening its port. An optional "ports/COMn" link to the slave is removed
// again when the channel goes, if it still points there.
class PtyChannel : public QObject
{
    Q_OBJECT
public:
    PtyChannel(SimLine *line, int paceBaud, bool trace, const QString &name,
               QObject *parent = nullptr);
    // A pseudo-terminal whose incoming bytes go to `handler` instead of a line (the modem).
    using Handler = std::function<void(const QByteArray &)>;
    PtyChannel(Handler handler, const QString &name, QObject *parent = nullptr);
    ~PtyChannel() override;

    bool open(QString *error);
    QString slavePath() const { return m_slavePath; }
    // Writes to the program's side (after open()); see PacedWriter::Sink.
    PacedWriter::Sink sink() const;
    // Makes `workDir`/ports/COM`n` a symbolic link to the slave; the link's path in `path`.
    bool linkAs(int n, const QString &workDir, QString *path, QString *error);
    // See LinePort::setHearingDelay; set before open().
    void setHearingDelay(int ms) { m_hearingDelayMs = ms; }

private:
    void readable();

    SimLine *m_line = nullptr;
    Handler m_handler;
    int m_paceBaud = 0;
    bool m_trace = false;
    int m_hearingDelayMs = 0;
    QString m_name;
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_link;
    QSocketNotifier *m_notifier = nullptr;
    LinePort *m_port = nullptr;
};
