#include "app/appentry.h"

#include "app/unixsignals.h"

#include <QCoreApplication>

#include <csignal>

bool isDeveloperMode(const QStringList &arguments)
{
    return arguments.size() >= 2 && arguments.at(1) == QLatin1String("dev");
}

void endProgram()
{
    QCoreApplication::exit(0);
}

UnixSignalWatcher *watchStopSignals(QObject *parent)
{
    auto *watcher = new UnixSignalWatcher({SIGINT, SIGTERM, SIGHUP}, parent);
    QObject::connect(watcher, &UnixSignalWatcher::caught, watcher, [] { endProgram(); });
    return watcher;
}
