#pragma once

#include <QList>
#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM, SIGHUP into a Qt signal delivered through the event loop, so that a
// program stopped from outside leaves through the same path as a closed window.
class UnixSignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit UnixSignalWatcher(const QList<int> &signalNumbers, QObject *parent = nullptr);
    ~UnixSignalWatcher() override;

signals:
    void caught(int signalNumber);

private:
    void readPipe();
    QList<int> m_signals;
    QSocketNotifier *m_notifier = nullptr;
};
