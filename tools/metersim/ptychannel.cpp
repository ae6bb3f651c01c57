#include "metersim/ptychannel.h"

#include "metersim/lineport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyChannel::PtyChannel(SimLine *line, int paceBaud, bool trace, const QString &name,
                       QObject *parent)
    : QObject(parent), m_line(line), m_paceBaud(paceBaud), m_trace(trace), m_name(name)
{
}

PtyChannel::PtyChannel(Handler handler, const QString &name, QObject *parent)
    : QObject(parent), m_handler(std::move(handler)), m_name(name)
{
}

PtyChannel::~PtyChannel()
{
    if (!m_link.isEmpty() && QFileInfo(m_link).symLinkTarget() == m_slavePath)
        QFile::remove(m_link);
    delete m_notifier;
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PtyChannel::open(QString *error)
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        *error = QStringLiteral("cannot open a pseudo-terminal: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        m_master = m_slave = -1;
        return false;
    }
    m_slavePath = QFile::decodeName(name);
    // Raw on both sides: the line carries bytes, not text.
    for (const int fd : {m_master, m_slave}) {
        termios t{};
        if (::tcgetattr(fd, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(fd, TCSANOW, &t);
        }
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);

    if (m_line) {
        m_port = new LinePort(m_line, sink(), m_paceBaud, m_name, this);
        m_port->setTrace(m_trace);
        m_port->setHearingDelay(m_hearingDelayMs);
    }
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyChannel::readable);
    return true;
}

PacedWriter::Sink PtyChannel::sink() const
{
    const int master = m_master;
    return [master](const QByteArray &bytes) -> qint64 {
        if (master < 0)
            return -1;
        const ssize_t n = ::write(master, bytes.constData(), size_t(bytes.size()));
        if (n >= 0)
            return n;
        return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
    };
}

void PtyChannel::readable()
{
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            const QByteArray bytes(buf, int(n));
            if (m_port)
                m_port->receive(bytes);
            else if (m_handler)
                m_handler(bytes);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return; // EAGAIN: all read
    }
}

bool PtyChannel::linkAs(int n, const QString &workDir, QString *path, QString *error)
{
    QDir dir(workDir.isEmpty() ? QDir::currentPath() : workDir);
    if (!dir.mkpath(QStringLiteral("ports"))) {
        *error = QStringLiteral("cannot create %1").arg(dir.filePath(QStringLiteral("ports")));
        return false;
    }
    const QString entry =
        QDir::cleanPath(dir.absoluteFilePath(QStringLiteral("ports/COM%1").arg(n)));
    QFile::remove(entry);
    if (!QFile::link(m_slavePath, entry)) {
        *error = QStringLiteral("cannot link %1 to %2").arg(entry, m_slavePath);
        return false;
    }
    m_link = entry;
    *path = entry;
    return true;
}
