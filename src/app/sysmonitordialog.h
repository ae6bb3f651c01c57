#pragma once

#include "session/sessionparameters.h"

#include <QColor>
#include <QDialog>
#include <QString>

namespace Ui {
class SysMonitorDialog;
}
class progressDialog;
class AuthDialog;

// The main window: log, console, and owner of every long-lived object of the program.
class SysMonitorDialog : public QDialog
{
    Q_OBJECT
public:
    explicit SysMonitorDialog(bool developerMode, QWidget *parent = nullptr);
    ~SysMonitorDialog() override;

    void enableConsole(bool on);
    void showAuthDialog();
    void saveLogFile();

    bool developerMode() const { return m_developerMode; }
    progressDialog *progress() const { return m_progress; }
    AuthDialog *authDialog() const { return m_auth; }
    // The parameters of the current or last session; what the exit writes to "session.cfg".
    const SessionParameters &sessionParameters() const { return m_params; }

public slots:
    // "Открыть сессию": takes the dialog's record.
    void initConnection();
    void log(QString str, QColor clr, bool timeStamp, bool newLine);
    void log(QString str, QColor clr, bool timeStamp);
    void log(QString str, QColor clr);
    void html_line(QString str);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void writeWelcome();
    void loadSessionParameters();

    Ui::SysMonitorDialog *ui;
    AuthDialog *m_auth;
    progressDialog *m_progress;
    SessionParameters m_params;
    bool m_developerMode;
};
