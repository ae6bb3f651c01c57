#pragma once

#include <QColor>
#include <QDialog>
#include <QString>

namespace Ui {
class SysMonitorDialog;
}
class progressDialog;

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

public slots:
    void log(QString str, QColor clr, bool timeStamp, bool newLine);
    void log(QString str, QColor clr, bool timeStamp);
    void log(QString str, QColor clr);
    void html_line(QString str);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void writeWelcome();

    Ui::SysMonitorDialog *ui;
    progressDialog *m_progress;
    bool m_developerMode;
};
