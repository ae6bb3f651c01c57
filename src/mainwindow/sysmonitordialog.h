#pragma once

#include "core/exchangerules.h"
#include "link/modbus.h"
#include "core/sessionparameters.h"
#include "widgets/questions.h"

#include <QByteArray>
#include <QColor>
#include <QDialog>
#include <QPointer>
#include <QString>
#include <QTimer>

namespace Ui {
class SysMonitorDialog;
}
class progressDialog;
class AuthDialog;
class ControlPanelDialog;
class comm;
class stend;
class deviceListItem;
class QMenu;

// The main window: log, console, and owner of every long-lived object of the program. It also
// carries the exchange with the meters: one request at a time, batches of them for the
// configurator, the meter search and the console's single frames.
class SysMonitorDialog : public QDialog
{
    Q_OBJECT
public:
    // Values of exchangeMode.
    enum { ModeIdle = 0, ModeSearch = 1, ModeLoad = 4 };

    explicit SysMonitorDialog(bool developerMode, QWidget *parent = nullptr);
    ~SysMonitorDialog() override;

    void enableConsole(bool on);
    void showAuthDialog();
    void saveLogFile();

    bool developerMode() const { return m_developerMode; }
    progressDialog *progress() const { return m_progress; }
    AuthDialog *authDialog() const { return m_auth; }
    ControlPanelDialog *configurator() const { return m_config; }
    // The parameters of the current or last session; what the exit writes to "session.cfg".
    const SessionParameters &sessionParameters() const { return m_params; }

    // A batch or a search is running: load_from_device() would refuse a new batch.
    bool exchangeBusy() const { return exchangeMode != ModeIdle; }

    // Logs the frame as "TX: " + its bytes and writes it; ackTimeOut -1 awaits no reply.
    void transmit(QByteArray frame, int ackTimeOut);
    // Ends a failed batch: status 2.
    void abortExchange();

    // Asks an integer (title, label, default, minimum, maximum); nothing when cancelled. The
    // search asks its range through it; tests answer it instead of a modal dialog.
    using IntQuestion = questions::IntQuestion;
    IntQuestion askInt;

signals:
    void loadComplate(int type, QByteArray *buf, int len, int status);
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
    void reemitSearch();
    void listSelectedItemClick(deviceListItem *item);
    void stendSelect(int pos);
    // Starts a batch of `len` command texts for `item`; the replies go to buf[0..len-1], which
    // must stay alive until loadComplate(). Refused (false, nothing emitted) without an item or
    // commands, or while another batch or a search runs.
    bool load_from_device(deviceListItem *item, int type, QString *cmd, QByteArray *buf, int len,
                          int ackTimeOut);
    void log(QString str, QColor clr, bool timeStamp, bool newLine);
    void log(QString str, QColor clr, bool timeStamp);
    void log(QString str, QColor clr);
    void sendTextCmd(deviceListItem *item, QString str, int ackTimeOut);
    void stendSelectAccept(bool st);
    void html_line(QString str);
    void connIsEstablished(bool st);

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    // The stand link's outcome of connecting, on the stand channel.
    void standLinkResult(bool ok);

private:
    void writeWelcome();
    void loadSessionParameters();
    void createFastMenu();
    void setCommandLine(const QString &text);

    // Session start after the stand link (if any) is up: transport, codec, open().
    void openTransport();
    void deleteTransport();

    // Batch steps.
    void batchPacket(const QByteArray &reply, bool crcStatus, exchangerules::Verdict verdict);
    void countFailure(const QString &finalMessage);
    void sendCurrentCommand(bool progressStep);
    void finishBatch(int status, const QString &message, const QColor &colour);
    int batchAddressSize() const;

    // Search steps.
    void searchPacket(const QByteArray &paket, bool crcStatus);
    void searchTimeout();
    void endSearch(const QColor &colour);

    Ui::SysMonitorDialog *ui;
    AuthDialog *m_auth;
    ControlPanelDialog *m_config;
    comm *m_transport = nullptr;
    modbus m_codec;
    stend *m_stand;
    progressDialog *m_progress;
    SessionParameters m_params;
    QMenu *m_fastMenu = nullptr;
    bool m_developerMode;
    bool m_standPending = false;

    // Exchange state.
    int exchangeMode = ModeIdle;
    QPointer<deviceListItem> targetItem;
    int loadType = 0;
    QString *loadCmds = nullptr;
    QByteArray *loadBufs = nullptr;
    int loadLen = 0;
    int loadIndex = 0;
    int loadRetries = 0;
    int loadAckTimeOut = 0;
    // Address field of the last batch frame, for its reply if the meter's row is gone meanwhile.
    int m_batchAddressSize = 1;

    // Search state.
    int searchMin = 0;
    int searchMax = 0;
    int searchAddress = 0;
    QTimer m_searchPause;
};
