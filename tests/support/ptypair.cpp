#include "support/ptypair.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    m_slavePath = QFile::decodeName(name);
    termios t{};
    if (::tcgetattr(m_slave, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(m_slave, TCSANOW, &t);
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PtyPair::mapAs(int portNumber, const QString &workDir) const
{
    QDir dir(workDir.isEmpty() ? QDir::currentPath() : workDir);
    if (!dir.mkpath(QStringLiteral("ports")))
        return false;
    const QString entry = dir.filePath(QStringLiteral("ports/COM%1").arg(portNumber));
    QFile::remove(entry);
    return QFile::link(m_slavePath, entry);
}

bool PtyPair::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{m_master, POLLOUT, 0};
            if (::poll(&p, 1, 5000) <= 0)
                return false;
        } else if (n < 0 && errno != EINTR) {
            return false;
        }
    }
    return m_master >= 0;
}

QByteArray PtyPair::read(int count, int timeoutMs)
{
    QByteArray got;
    auto drain = [&] {
        char buf[4096];
        ssize_t n;
        while (m_master >= 0 && (n = ::read(m_master, buf, sizeof buf)) > 0)
            got.append(buf, n);
        return got.size() >= count;
    };
    [[maybe_unused]] const bool enough = QTest::qWaitFor(drain, timeoutMs);
    return got;
}

void PtyPair::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

bool mapRemainingPortsAway(const QString &workDir)
{
    QDir dir(workDir.isEmpty() ? QDir::currentPath() : workDir);
    if (!dir.mkpath(QStringLiteral("ports")))
        return false;
    for (int n = 1; n <= 20; ++n) {
        const QString entry = dir.filePath(QStringLiteral("ports/COM%1").arg(n));
        if (QFileInfo(entry).isSymLink() || QFileInfo::exists(entry))
            continue;
        QFile f(entry);
        if (!f.open(QIODevice::WriteOnly) || f.write("/nonexistent/tty\n") < 0)
            return false;
    }
    return true;
}
