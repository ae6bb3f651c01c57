#include "app/appentry.h"
#include "app/sysmonitordialog.h"
#include "app/unixsignals.h"

#include <QApplication>

#include <csignal>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const bool developerMode = isDeveloperMode(app.arguments());

    auto *window = new SysMonitorDialog(developerMode);
    // A stop from outside leaves through quit() like a closed window, so the log and the
    // session parameters are stored.
    UnixSignalWatcher watcher({SIGINT, SIGTERM, SIGHUP});
    QObject::connect(&watcher, &UnixSignalWatcher::caught, &app, &QCoreApplication::quit);

    window->show();
    const int rc = app.exec();
    delete window;
    return rc;
}
