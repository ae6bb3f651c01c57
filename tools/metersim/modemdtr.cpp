#include "metersim/modemdtr.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

ModemDtr::ModemDtr(const QString &path, std::function<void()> dropped, QObject *parent)
    : QObject(parent), m_path(path), m_dropped(std::move(dropped))
{
}

ModemDtr::~ModemDtr()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

bool ModemDtr::start(QString *error)
{
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0 || ::inotify_add_watch(m_fd, QFile::encodeName(m_path).constData(),
                                        IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        *error = QStringLiteral("cannot watch %1: %2")
                     .arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ModemDtr::readable);
    return true;
}

void ModemDtr::readable()
{
    alignas(inotify_event) char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buf + at);
            at += ssize_t(sizeof(inotify_event)) + event->len;
            if (event->mask & IN_OPEN)
                ++m_opens;
            // The channel's own descriptor, open from before the watch, closes uncounted.
            if ((event->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) && m_opens > 0 &&
                --m_opens == 0 && m_dropped)
                m_dropped();
        }
    }
}
