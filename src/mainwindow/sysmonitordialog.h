#pragma once

#include "core/sessionparameters.h"
#include "widgets/questions.h"

#include <QByteArray>
#include <QColor>
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace Ui {
class SysMonitorDialog;
}
class progressDialog;
class AuthDialog;
class ControlPanelDialog;
class ExchangeEngine;
class deviceListItem;
class QMenu;

// The main window: log, console, and owner of every long-lived object of the program. The
// exchange with the meters is the engine's (link/exchangeengine.h); the window keeps the named
// seam the rest of the program talks to, renders the engine's log lines and progress, and ties a
// session's life to the session dialog and the configurator.
class SysMonitorDialog : public QDialog
{
    Q_OBJECT
public:
    explicit SysMonitorDialog(bool developerMode, QWidget *parent = nullptr);
    ~SysMonitorDialog() override;

    void enableConsole(bool on);
    void showAuthDialog();
    void saveLogFile();
    // Draws the lines logged since the view was last drawn. The view takes them at most every
    // kLogRedrawMs, so a fast exchange never waits for text layout; whoever reads the view
    // calls this first.
    void flushLog();
    static constexpr int kLogRedrawMs = 50;

    bool developerMode() const { return m_developerMode; }
    progressDialog *progress() const { return m_progress; }
    AuthDialog *authDialog() const { return m_auth; }
    ControlPanelDialog *configurator() const { return m_config; }
    ExchangeEngine *engine() const { return m_engine; }
    // The parameters of the current or last session; what the exit writes to "session.cfg".
    const SessionParameters &sessionParameters() const;

    // A batch or a search is running, or the channel is being let go: load_from_device() would
    // refuse a new batch.
    bool exchangeBusy() const;

    // Logs the frame as "TX: " + its bytes and writes it; ackTimeOut -1 awaits no reply.
    void transmit(QByteArray frame, int ackTimeOut);
    // Ends a failed batch: status 2.
    void abortExchange();

    // Asks an integer (title, label, default, minimum, maximum); nothing when cancelled. The
    // search asks its range through it; tests answer it instead of a modal dialog.
    using IntQuestion = questions::IntQuestion;
    IntQuestion askInt;

signals:
    // End of a batch: one reply per command (those not answered empty) and its status: 0 every
    // command answered, 1 interrupted, 2 failed.
    void loadComplate(int type, QList<QByteArray> replies, int status);
    void unknownLoadComplate(int st);

public slots:
    void initConnection();
    void pbSendClick();
    void inputCmd();
    void paketReceive(QByteArray paket, bool crcStatus);
    void timeoutError();
    void inputFastCmd1();
    void inputFastCmd2();
    void inputFastCmd3();
    void inputFastCmd4();
    void inputFastCmd5();
    void inputFastCmd6();
    void showFastMenu();
    void logoutClick();
    void interruptLoadClick();
    void searchStart();
    void listSelectedItemClick(deviceListItem *item);
    void stendSelect(int pos);
    // Starts a batch of command texts for `item`, addressed as its record says now. Refused
    // (false, nothing emitted) without an item or commands, or while another batch or a search
    // runs.
    bool load_from_device(deviceListItem *item, int type, QStringList cmd, int ackTimeOut);
    void log(QString str, QColor clr, bool timeStamp, bool newLine);
    void log(QString str, QColor clr, bool timeStamp);
    void log(QString str, QColor clr);
    void sendTextCmd(deviceListItem *item, QString str, int ackTimeOut);
    void stendSelectAccept(bool st);
    void html_line(QString str);
    void connIsEstablished(bool st);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void writeWelcome();
    void loadSessionParameters();
    void createFastMenu();
    void setCommandLine(const QString &text);
    void showProgress(const QString &title);

    Ui::SysMonitorDialog *ui;
    AuthDialog *m_auth;
    ControlPanelDialog *m_config;
    ExchangeEngine *m_engine;
    progressDialog *m_progress;
    QMenu *m_fastMenu = nullptr;
    bool m_developerMode;

    // Log lines, as HTML with their time stamps, not yet in the view.
    QStringList m_pendingLog;
    QTimer m_logRedraw;

    // The program's end, waiting for a GSM call to be hung up (at most kExitLimitMs: the modem's
    // guard times and two answers).
    static constexpr int kExitLimitMs = 20000;
    std::function<void()> m_leave;
    QTimer m_exitLimit;

    // The meter last selected in the list; the meter of the running batch.
    QPointer<deviceListItem> targetItem;
    QPointer<deviceListItem> m_batchItem;

    // The user asked for the session's end; the last error line since the session's last good
    // batch (a log line as HTML), which is why a session ends when the user did not end it.
    bool m_logoutAsked = false;
    bool m_lineUp = false;
    QString m_sessionError;
};
