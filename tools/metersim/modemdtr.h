#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QSocketNotifier;

// The DTR line of the modem's port, as near as a pseudo-terminal shows it. A pty has no
// modem-control lines: the program's DTR can be neither set nor seen on it (the driver refuses
// TIOCMSET and TIOCMGET). What it does show is the program opening and closing its side, and on a
// real serial port the last close drops DTR (the driver does so, and the program drops it first).
// So the last close of the port, by whoever had it open, counts as DTR dropping. The opens and
// closes are seen through inotify on the pty's path.
class ModemDtr : public QObject
{
    Q_OBJECT
public:
    ModemDtr(const QString &path, std::function<void()> dropped, QObject *parent = nullptr);
    ~ModemDtr() override;

    bool start(QString *error);

private:
    void readable();

    QString m_path;
    std::function<void()> m_dropped;
    int m_fd = -1;
    int m_opens = 0;
    QSocketNotifier *m_notifier = nullptr;
};
