#pragma once

#include "support/metersimprocess.h"
#include "support/workdir.h"

#include "core/sessionparameters.h"
#include "mainwindow/sysmonitordialog.h"

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class deviceListItem;

// The real main window in a fresh working folder, next to the virtual meter line, with sessions
// opened through the session dialog as a user opens them. It records what the engine reports.
class SessionRig
{
public:
    struct Outcome
    {
        int type;
        QList<QByteArray> replies;
        int status;
    };
    struct LogLine
    {
        QString text; // without the time stamp
        QColor colour;
    };

    SessionRig();
    ~SessionRig();

    // metersim with `arguments`; "--pty" also links its line as ports/COM1 of the working folder,
    // "--stand" the stand's line as ports/COM2.
    bool startLine(QStringList arguments = {});
    // Builds the window (once) and waits for its session dialog.
    SysMonitorDialog &window();
    // Ends the program's window as an exit does: its log goes to the working folder's log/.
    void closeWindow() { m_window.reset(); }

    // Fills the session dialog with `params` and presses "Открыть сессию". A stand session calls
    // the line's switching block at its port.
    bool startSession(const SessionParameters &params);
    // The same, true once "Сессия открыта" has been logged.
    bool open(const SessionParameters &params);
    // At `level` (0 user, 1 admin, 2 developer) with that level's factory password.
    bool openTcp(int level = 0);
    bool openPty();
    // The session dialog's default record, with the factory user password.
    static SessionParameters defaults();

    // A meter row of the configurator's list.
    deviceListItem *addMeter(int address, const QByteArray &serial = QByteArray());
    // True once the configurator has no batch running (within `ms`).
    bool batchesDone(int ms = 30000);
    // Adds the meter, opens its session with a double click; true once it is open.
    bool openMeter(int address);

    // A widget of the main window by object name.
    template <typename T> T *find(const char *name)
    {
        return window().findChild<T *>(QLatin1String(name));
    }

    QList<LogLine> log() const;
    // Lines whose text starts with `prefix`.
    QList<LogLine> lines(const QString &prefix) const;
    bool hasLine(const QString &text, const QColor &colour) const;
    // Waits until a line `text` has been logged (`count` of them).
    bool waitLine(const QString &text, int count = 1, int timeoutMs = 15000) const;

    WorkDir work;
    MeterSimProcess line;
    // Offers the developer level in the session dialog; set before the window is built.
    bool developerMode = false;
    QList<Outcome> outcomes;
    QList<int> unknown;

private:
    std::unique_ptr<SysMonitorDialog> m_window;
};
