#pragma once

#include "core/sessionparameters.h"

#include <QDialog>

namespace Ui {
class AuthDialog;
}

// "Параметры сессии": channel, port, speed, access level and password, and the channel's own
// settings. "Открыть сессию" hides it and emits initConnection(); the record is then params().
// Closing it or "Выход" ends the program.
class AuthDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AuthDialog(QWidget *parent = nullptr);
    ~AuthDialog() override;

    // Record into the controls. The port is left to the next scan.
    void setParams(const SessionParameters &params);
    // Controls into the record. A remembered port that the last scan did not find (an adapter
    // unplugged) stays in the record until the user picks another one.
    void readParams();
    const SessionParameters &params() const { return m_params; }
    // The record with the port the dialog shows: what a session started now runs on.
    SessionParameters sessionParams() const;

    // Drops the developer level unless `developerMode` (for the rest of the run), scans the
    // ports and shows the dialog. Returns whether a serial port was found.
    bool showAuth(bool developerMode);

    static void defaultParams(SessionParameters &params);

    // Why the last session ended, when it was not the user's logout: one log line (HTML, in its
    // colour), shown under the buttons. Empty: nothing shown.
    void showSessionEnd(const QString &reason);
    QString sessionEnd() const;

signals:
    void initConnection();

public slots:
    void pbConnectClick();
    void inputPwdHex();
    void inputPwd();
    void selectConnectionType();
    void selectAccessType();
    void loadDefaultPwd();
    // Returns the number of ports found.
    int updateAvaliblePorts();
    void pinStCheck();

protected:
    void closeEvent(QCloseEvent *event) override;
    // Escape would hide the dialog and leave no way back to it.
    void reject() override {}

private:
    void updateConnectEnabled();
    // The password the views show, as the record keeps it for `level`.
    QByteArray shownPassword(int level) const;
    // Shows `level`'s remember flag and password.
    void showLevel(int level);

    Ui::AuthDialog *ui;
    SessionParameters m_params;
    bool m_settingParams = false;
    // The record's port was not among those the last scan found, and the user has not chosen
    // one since.
    bool m_portMissing = false;
};
