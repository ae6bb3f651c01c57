#include "core/appentry.h"

#include "core/unixsignals.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <csignal>
#include <utility>

bool isDeveloperMode(const QStringList &arguments)
{
    return arguments.size() >= 2 && arguments.at(1) == QLatin1String("dev");
}

namespace {
ExitDelay g_exitDelay;
bool g_delaying = false;

void leave()
{
    g_delaying = false;
    QCoreApplication::exit(0);
}
} // namespace

void endProgram()
{
    if (g_exitDelay && !g_delaying) {
        g_delaying = true;
        if (g_exitDelay(leave))
            return;
    }
    leave();
}

void setExitDelay(ExitDelay delay)
{
    g_exitDelay = std::move(delay);
    g_delaying = false;
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
