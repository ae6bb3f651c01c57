#pragma once

#include "config/configpage.h"
#include "core/devicerecord.h"
#include "core/meterseries.h"
#include "widgets/questions.h"

#include <QByteArray>
#include <QColor>
#include <QDialog>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTime>

#include <functional>

namespace Ui {
class ControlPanelDialog;
}
class AddressChanger;
class GroupWork;
class deviceList;
class deviceListItem;
class itemEditDialog;
class CalibrationPage;
class ClockPage;
class MeasuresPage;
class ParamsPage;
class QAction;
class QMenu;
class QPoint;

// The configurator ("Конфигуратор"): the meter list with its function menu, and one page per
// group of meter functions. The main window shows it while a session is open.
//
// Every operation is a batch of command texts of one request kind (core/requestkinds.h) that a
// page starts through sendBatch(): the frame the page named for the kind is disabled, the
// session-open command goes first, and the finished batch comes back through loadComplate(),
// which re-enables the frame and hands the replies to what the page registered for the kind.
class ControlPanelDialog : public QDialog, public PageHost
{
    Q_OBJECT
public:
    explicit ControlPanelDialog(QWidget *parent = nullptr);
    ~ControlPanelDialog() override;

    deviceList *meterList() const;
    // The address changer: a window of its own, shown beside this one by pbShowAddressChanger().
    AddressChanger *addressChanger() const { return m_addressChanger; }
    // The meter being worked: the group's while group work runs, the selected one otherwise.
    deviceListItem *currentItem() const override;

    // The session the main window has opened: channel (0 COM, 1 GSM/CSD, 2 stand, 3 TCP-IP),
    // access level (0 user, 1 administrator, 2 developer) and that level's password. A session
    // that ended cut off its batch without a report, so no batch is running after this.
    void setSession(int channel, int accessLevel, const QByteArray &password);
    int channel() const { return m_channel; }
    int accessLevel() const { return m_accessLevel; }
    QByteArray sessionPassword() const { return m_password; }

    MeterSeries meterSeries() const override;

    // Shows, hides and enables the page controls for an access level; sends nothing.
    void applyAccessLevel(int level);

    // Every line of the log: an error line stays in the status line under the pages until a
    // success line follows.
    void noteLogLine(const QString &text, const QColor &colour, const QTime &stamp);
    QString statusLine() const;

    // The stand has switched the selected meter onto the line.
    void enableMeterControls();

    // "08 0" + level + the six password bytes (the session password, or the meter's own one
    // when it does not use the standard password), each as two hex digits and a blank.
    QString sessionOpenCommand() const;

    bool sendBatch(int kind, const QStringList &commands, const QString &title = QString(),
                   const QColor &titleColour = logcolour::info,
                   const QString &values = QString()) override;
    void addRoute(int kind, QWidget *frame, Completion run, bool anyStatus) override;
    QString saveFileName(const QString &title, const QString &folder,
                         const QString &filter) override;
    QString openFileName(const QString &title, const QString &folder,
                         const QString &filter) override;
    deviceListItem *batchItem() const override { return m_batchItem; }
    void meterChanged(deviceListItem *item) override;
    void setMeterEntriesEnabled(bool on) override;
    bool calibrateSelected() const override;
    bool confirm(const QString &title, const QString &text) override;
    // Group work over the checked meters (its run, its meters, its outcome).
    GroupWork *groupWork() const { return m_group; }
    bool groupWorkRunning() const;
    // A batch this window started has not come back yet.
    bool batchRunning() const { return m_batchKind >= 0; }
    // The frame that a batch of `kind` holds disabled; nullptr for none.
    QWidget *frameOf(int kind) const;
    // Replaces what a finished batch of `kind` does on success.
    void setDecoder(int kind, Decoder decoder);

    // Whether the engine is busy with a batch or a search; the main window answers it.
    std::function<bool()> exchangeBusy;
    // Cuts the running batch short (status 1), as the progress dialog's "Прервать" does.
    std::function<void()> interruptExchange;
    // Seams for the modal dialogs and the sound cue; tests replace them.
    questions::IntQuestion askInt;
    questions::Notice inform;
    questions::YesNo askYesNo;
    questions::SaveFileName askSaveFile;
    questions::OpenFileName askOpenFile;
    std::function<void(const QString &relativePath)> playSound;

signals:
    void logout();
    void searchStart();
    void html_line(QString str);
    void listSelectedItemClick(deviceListItem *item);
    // The engine's answer is whether it took the batch.
    bool init_exchange_device(deviceListItem *item, int type, QStringList cmd, int ackTimeOut);
    void log(QString str, QColor clr, bool timeStamp, bool newLine);
    void sendTextCmd(deviceListItem *item, QString str, int ackTimeOut);
    void stendSelectAddr(int pos);

public slots:
    void addClick();
    void editClick();
    void initAddClick();
    void addGroupClick();
    void clearLictClick();
    void mnCheckAllClick();
    void mnUncheckAllClick();
    void listSelectedItem(deviceListItem *item);
    void listDoubleClickItem(deviceListItem *item);
    void listRightClickItem(deviceListItem *item, QPoint pos);
    void showFuncMenu();
    void searchClick();
    void openSessionClick();
    void closeSessionClick();
    // Opens, or closes, the session of every checked, or of every open, meter in turn.
    void mnOpenAll();
    void mnCloseAll();
    // The address changer's lists, the i-th line for the i-th checked meter: serial numbers,
    // addresses and coefficient lines written, or the checked meters' coefficients read into it.
    // A list whose size is not the number of checked meters is refused with a red line.
    void saveListSN();
    void saveListAddr();
    void saveListCC();
    void loadListCC();
    void connectionTest();
    void tuneInterface();
    void loadComplate(int type, QList<QByteArray> replies, int status);
    void unknownLoadComplate(int st);
    void stendAck(bool st);
    // Shows the address changer 20 pixels right of this window, at its top, 240 pixels wide and
    // as high as this window.
    void pbShowAddressChanger();
    // Adds a meter for each serial number of a ".txt" file the user picks: address 255, off the
    // stand, name "-". Meters already listed are skipped.
    void mnLoadDevListFromFileClick();

protected:
    // Closing ends the session.
    void closeEvent(QCloseEvent *event) override;
    // The address changer's buttons work on this window's session: it goes when the session does.
    void hideEvent(QHideEvent *event) override;
    // Escape would hide the window and leave the session open with no way back to it.
    void reject() override {}

private:
    friend class GroupWork;
    struct Route
    {
        QWidget *frame = nullptr;
        Completion run;
        bool anyStatus = false;
    };

    void buildFuncMenu();
    // Enables or disables every page control that sends something to the meter.
    void setMeterControlsEnabled(bool on);
    void updateDiagramAction();
    // A stand switch went out (the user's selection or the group's): its answer is due.
    void noteStandSwitch(int pos);
    void enableAllFrames();
    // What the reading pages hold of a meter other than `current`, or of one gone from the list,
    // is cleared: no table shows one meter's data while another is worked.
    void forgetOtherReadings(deviceListItem *current);
    int sessionOpened(const QList<QByteArray> &replies, int status);

    Ui::ControlPanelDialog *ui;
    MeasuresPage *m_measuresPage;
    ClockPage *m_clockPage;
    ParamsPage *m_paramsPage;
    CalibrationPage *m_calibrationPage;
    QList<ConfigPage *> m_pages;
    QHash<int, Route> m_routes;

    QPointer<deviceListItem> m_currentItem;
    int m_channel = 0;
    int m_accessLevel = 0;
    QByteArray m_password;

    // The batch this window has handed to the engine.
    int m_batchKind = -1;
    QPointer<deviceListItem> m_batchItem;

    GroupWork *m_group;
    // Stand answers due: one that comes while an earlier switch is still unanswered is that
    // switch's, not the last one's.
    int m_standAnswersDue = 0;

    itemEditDialog *m_editor;
    // Without a parent, so it is a window beside this one rather than inside it; deleted here.
    AddressChanger *m_addressChanger;
    DeviceRecord m_template;
    bool m_editMode = false;
    QPointer<deviceListItem> m_edited;

    QMenu *m_funcMenu;
    QAction *m_actEdit = nullptr;
    QAction *m_actDiagram = nullptr;
    bool m_meterControlsOn = false;
};
