#include "core/appentry.h"
#include "mainwindow/sysmonitordialog.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    loadRussianQtTexts(&app);
    const bool developerMode = isDeveloperMode(app.arguments());

    auto *window = new SysMonitorDialog(developerMode);
    watchStopSignals(&app);

    window->show();
    const int rc = app.exec();
    delete window;
    return rc;
}
