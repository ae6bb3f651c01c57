#include "core/appentry.h"

#include "core/unixsignals.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

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

bool loadRussianQtTexts(QCoreApplication *app)
{
    auto *translator = new QTranslator(app);
    if (!translator->load(QStringLiteral("qtbase_ru"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
