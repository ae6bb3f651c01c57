#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

// The virtual meter line (tools/metersim) as a child process. start() runs the built binary and
// waits until it has announced its endpoints and "ready"; stop() and the destructor always end
// it (SIGTERM, then SIGKILL), and it dies with the test process in any case. Unless
// the arguments choose otherwise, it serves TCP on a free loopback port (--tcp 127.0.0.1:0);
// pass "--pty" for a fresh pseudo-terminal line, "--modem" for the GSM modem and "--stand" for the
// factory stand, whose switching block then listens on a free port (--stand-port 0), so that no
// test needs the privilege to bind 502.
class MeterSimProcess
{
public:
    MeterSimProcess() = default;
    ~MeterSimProcess();
    MeterSimProcess(const MeterSimProcess &) = delete;
    MeterSimProcess &operator=(const MeterSimProcess &) = delete;

    // The metersim binary of this build.
    static QString program();

    bool start(const QStringList &arguments = {}, int timeoutMs = 20000);
    void stop();
    bool isRunning() const;
    // Its process id while running (0 otherwise), for reading its CPU time in /proc.
    qint64 processId() const { return m_process ? m_process->processId() : 0; }

    // Why start() or command() failed, with metersim's stderr.
    QString errorString() const { return m_error; }
    // start() failed because the stand's port needs privileges this process lacks.
    bool permissionDenied() const { return m_permissionDenied; }

    // Endpoints as announced; empty (0) for a channel that is not served. With --tcp-lines,
    // tcpPort() is the first gateway's and tcpPorts() lists every one in order.
    QString tcpHost() const { return m_tcpHost; }
    quint16 tcpPort() const { return m_tcpPorts.value(0); }
    QList<quint16> tcpPorts() const { return m_tcpPorts; }
    QString ptyPath() const { return m_ptyPath; }
    QString linkPath() const { return m_linkPath; }
    // The GSM modem (--modem) and its ports/COMn link (--modem-link-com).
    QString modemPath() const { return m_modemPath; }
    QString modemLinkPath() const { return m_modemLinkPath; }
    QString standAddress() const { return m_standAddress; }
    quint16 standPort() const { return m_standPort; }
    QString standPtyPath() const { return m_standPtyPath; }

    // Sends a control line ("fault drop@obj=0e", "faults off") and waits for its answer; true
    // for "ok".
    bool command(const QString &line, int timeoutMs = 5000);
    // Sends a control line and returns its answer ("call none" for "modem call"); empty when none
    // came within timeoutMs.
    QString ask(const QString &line, int timeoutMs = 5000);

    // What metersim has written to stderr so far.
    QString standardError();

private:
    // The next line of stdout, or an empty string after timeoutMs.
    QString readLine(int timeoutMs);

    QProcess *m_process = nullptr;
    QString m_error;
    bool m_permissionDenied = false;
    QByteArray m_stderr;
    QString m_tcpHost;
    QList<quint16> m_tcpPorts;
    QString m_ptyPath;
    QString m_linkPath;
    QString m_modemPath;
    QString m_modemLinkPath;
    QString m_standAddress;
    quint16 m_standPort = 0;
    QString m_standPtyPath;
};
