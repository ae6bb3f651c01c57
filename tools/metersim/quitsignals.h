#pragma once

#include <QList>

class QCoreApplication;

// Makes each of `signalNumbers` (SIGINT, SIGTERM) quit `app`'s event loop. The handler only writes
// to a pipe that the event loop watches, so the line stops through its usual path: channels
// closed, the COM link removed.
void quitOnSignals(const QList<int> &signalNumbers, QCoreApplication *app);
