#pragma once

#include <QByteArray>
#include <QColor>
#include <QDialog>
#include <QPointer>
#include <QString>

namespace Ui {
class ControlPanelDialog;
}
class deviceList;
class deviceListItem;

// The configurator ("Конфигуратор"): the meter list and, through the main window's exchange
// engine, every read and write of meter data. The main window shows it while a session is open.
class ControlPanelDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ControlPanelDialog(QWidget *parent = nullptr);
    ~ControlPanelDialog() override;

    deviceList *meterList() const;
    deviceListItem *currentItem() const { return m_currentItem; }

    // The session the main window has opened: channel (0 COM, 1 GSM/CSD, 2 stand, 3 TCP-IP),
    // access level (0 user, 1 administrator, 2 developer) and that level's password.
    void setSession(int channel, int accessLevel, const QByteArray &password);
    int channel() const { return m_channel; }
    int accessLevel() const { return m_accessLevel; }
    QByteArray sessionPassword() const { return m_password; }

    // The stand has switched the selected meter onto the line.
    void enableMeterControls();

signals:
    void logout();
    void searchStart();
    void html_line(QString str);
    void listSelectedItemClick(deviceListItem *item);
    void init_exchange_device(deviceListItem *item, int type, QString *cmd, QByteArray *buf,
                              int len, int ackTimeOut);
    void log(QString str, QColor clr, bool timeStamp, bool newLine);
    void sendTextCmd(deviceListItem *item, QString str, int ackTimeOut);
    void stendSelectAddr(int pos);

public slots:
    void searchClick();
    void listSelectedItem(deviceListItem *item);
    void loadComplate(int type, QByteArray *buf, int len, int status);
    void unknownLoadComplate(int st);
    void stendAck(bool st);

protected:
    // Closing ends the session.
    void closeEvent(QCloseEvent *event) override;
    // Escape would hide the window and leave the session open with no way back to it.
    void reject() override {}

private:
    Ui::ControlPanelDialog *ui;
    QPointer<deviceListItem> m_currentItem;
    int m_channel = 0;
    int m_accessLevel = 0;
    QByteArray m_password;
};
