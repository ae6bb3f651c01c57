#pragma once

#include <QStringList>

class QCoreApplication;
class QObject;
class UnixSignalWatcher;

// Developer mode is asked for with a first argument of exactly "dev".
// `arguments` is the whole command line, program name first.
bool isDeveloperMode(const QStringList &arguments);

// Leaves every running event loop at once, a modal question's included. QCoreApplication::quit()
// would first ask each window to close, and the configurator closing hands the user back to the
// session dialog instead of ending the program.
void endProgram();

// SIGINT, SIGTERM and SIGHUP end the program through endProgram(), so a stop from outside stores
// the log and the session parameters like a closed window does.
UnixSignalWatcher *watchStopSignals(QObject *parent);

// Qt's own dialogs (questions, message boxes) get their button texts in Russian like the rest of
// the interface. False when the translation is not installed: those buttons then stay English.
bool loadRussianQtTexts(QCoreApplication *app);
