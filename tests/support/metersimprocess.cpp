#include "support/metersimprocess.h"

#include <QDeadlineTimer>

#include <csignal>
#include <sys/prctl.h>

namespace {
// metersim's exit code when port 502 may not be bound.
const int kNeedsPrivilege = 77;
} // namespace

MeterSimProcess::~MeterSimProcess()
{
    stop();
}

QString MeterSimProcess::program()
{
    return QStringLiteral(METERSIM_BIN);
}

bool MeterSimProcess::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

void MeterSimProcess::stop()
{
    if (!m_process)
        return;
    // SIGTERM first, so that metersim removes its ports/COMn link; SIGKILL if it hangs.
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(3000)) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }
    delete m_process;
    m_process = nullptr;
}

QString MeterSimProcess::ask(const QString &line, int timeoutMs)
{
    if (!isRunning())
        return QString();
    m_process->write((line + QLatin1Char('\n')).toUtf8());
    m_process->waitForBytesWritten(timeoutMs);
    return readLine(timeoutMs);
}

QString MeterSimProcess::standardError()
{
    if (m_process)
        m_stderr += m_process->readAllStandardError();
    return QString::fromLocal8Bit(m_stderr);
}

QString MeterSimProcess::readLine(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (m_process && !m_process->canReadLine()) {
        if (m_process->state() == QProcess::NotRunning || deadline.hasExpired())
            return QString();
        m_process->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return m_process ? QString::fromUtf8(m_process->readLine()).trimmed() : QString();
}

bool MeterSimProcess::start(const QStringList &arguments, int timeoutMs)
{
    stop();
    m_error.clear();
    m_stderr.clear();
    m_permissionDenied = false;
    m_tcpHost.clear();
    m_tcpPorts.clear();
    m_ptyPath.clear();
    m_linkPath.clear();
    m_modemPath.clear();
    m_modemLinkPath.clear();
    m_standAddress.clear();
    m_standPort = 0;
    m_standPtyPath.clear();

    QStringList args = arguments;
    if (!args.contains(QStringLiteral("--tcp")) && !args.contains(QStringLiteral("--no-tcp")))
        args << QStringLiteral("--tcp") << QStringLiteral("127.0.0.1:0");
    if (args.contains(QStringLiteral("--stand")) && !args.contains(QStringLiteral("--stand-port")))
        args << QStringLiteral("--stand-port") << QStringLiteral("0");

    m_process = new QProcess;
    // Whatever happens to the test, the line does not outlive it.
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_process->start(program(), args);
    if (!m_process->waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(program(), m_process->errorString());
        stop();
        return false;
    }
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const QString line = readLine(int(qMax<qint64>(1, deadline.remainingTime())));
        if (line == QLatin1String("ready"))
            return true;
        const QString rest = line.section(QLatin1Char(' '), 1);
        if (line.startsWith(QLatin1String("tcp "))) {
            m_tcpHost = rest.section(QLatin1Char(':'), 0, 0);
            m_tcpPorts.append(quint16(rest.section(QLatin1Char(':'), 1).toUInt()));
        } else if (line.startsWith(QLatin1String("pty "))) {
            m_ptyPath = rest;
        } else if (line.startsWith(QLatin1String("link "))) {
            m_linkPath = rest;
        } else if (line.startsWith(QLatin1String("modem "))) {
            m_modemPath = rest;
        } else if (line.startsWith(QLatin1String("modemlink "))) {
            m_modemLinkPath = rest;
        } else if (line.startsWith(QLatin1String("stand "))) {
            const QString endpoint = rest.section(QLatin1Char(' '), 0, 0);
            m_standAddress = endpoint.section(QLatin1Char(':'), 0, 0);
            m_standPort = quint16(endpoint.section(QLatin1Char(':'), 1).toUInt());
            m_standPtyPath = rest.section(QLatin1Char(' '), 1);
        } else if (line.isEmpty()) {
            if (m_process->state() == QProcess::NotRunning)
                m_permissionDenied = m_process->exitStatus() == QProcess::NormalExit &&
                                     m_process->exitCode() == kNeedsPrivilege;
            else
                m_process->waitForFinished(0);
            m_error = QStringLiteral("metersim did not get ready: %1").arg(standardError());
            stop();
            return false;
        }
    }
}

bool MeterSimProcess::command(const QString &line, int timeoutMs)
{
    if (!isRunning()) {
        m_error = QStringLiteral("metersim is not running");
        return false;
    }
    const QString answer = ask(line, timeoutMs);
    if (answer == QLatin1String("ok"))
        return true;
    m_error = answer.isEmpty() ? QStringLiteral("no answer to \"%1\"").arg(line) : answer;
    return false;
}
