#include "metersim/quitsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_pipe[2] = {-1, -1};

void onSignal(int)
{
    const int saved = errno;
    const char b = 1;
    (void)!::write(g_pipe[1], &b, 1);
    errno = saved;
}
} // namespace

void quitOnSignals(const QList<int> &signalNumbers, QCoreApplication *app)
{
    if (g_pipe[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0)
            return;
        // A burst of signals must not block the handler.
        ::fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
    }
    auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [app] {
        char b = 0;
        if (::read(g_pipe[0], &b, 1) == 1)
            app->quit();
    });
    for (const int s : signalNumbers) {
        struct sigaction sa = {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        ::sigaction(s, &sa, nullptr);
    }
}
