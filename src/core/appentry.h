#pragma once

#include <QStringList>

#include <functional>

class QCoreApplication;
class QObject;
class UnixSignalWatcher;

// Developer mode is asked for with a first argument of exactly "dev".
// `arguments` is the whole command line, program name first.
bool isDeveloperMode(const QStringList &arguments);

// Leaves every running event loop at once, a modal question's included. QCoreApplication::quit()
// would first ask each window to close, and the configurator closing hands the user back to the
// session dialog instead of ending the program. With an exit delay set, that goes first.
void endProgram();

// What has to end before the program does (a GSM call that costs until it is hung up). Given the
// way out, it returns true when it has started ending and will take the way out once done, false
// when there is nothing to wait for. A second endProgram() while it runs leaves at once. An empty
// function removes it.
using ExitDelay = std::function<bool(std::function<void()> leave)>;
void setExitDelay(ExitDelay delay);

// SIGINT, SIGTERM and SIGHUP end the program through endProgram(), so a stop from outside stores
// the log and the session parameters like a closed window does.
UnixSignalWatcher *watchStopSignals(QObject *parent);

// Qt's own dialogs (questions, message boxes) get their button texts in Russian like the rest of
// the interface. False when the translation is not installed: those buttons then stay English.
bool loadRussianQtTexts(QCoreApplication *app);
