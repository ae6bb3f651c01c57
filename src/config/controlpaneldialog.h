#pragma once

#include "core/meterseries.h"
#include "core/devicerecord.h"
#include "widgets/questions.h"

#include <QByteArray>
#include <QColor>
#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QAbstractButton>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace Ui {
class ControlPanelDialog;
}
class Diagram;
class deviceList;
class deviceListItem;
class itemEditDialog;
class QAction;
class QMenu;
class QPoint;
class QStandardItemModel;
class QTableView;

// The configurator ("Конфигуратор"): the meter list and, through the main window's exchange
// engine, every read and write of meter data. The main window shows it while a session is open.
//
// Every operation is a batch of command texts of one request kind (config/requestkinds.h): the
// page frame of the kind is disabled, the session-open command goes first, and the finished
// batch comes back through loadComplate(), which re-enables the frame and hands the replies to
// the decoder bound to the kind.
class ControlPanelDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ControlPanelDialog(QWidget *parent = nullptr);
    ~ControlPanelDialog() override;

    deviceList *meterList() const;
    deviceListItem *currentItem() const { return m_currentItem; }

    // The session the main window has opened: channel (0 COM, 1 GSM/CSD, 2 stand, 3 TCP-IP),
    // access level (0 user, 1 administrator, 2 developer) and that level's password. A session
    // that ended cut off its batch without a report, so no batch is running after this.
    void setSession(int channel, int accessLevel, const QByteArray &password);
    int channel() const { return m_channel; }
    int accessLevel() const { return m_accessLevel; }
    QByteArray sessionPassword() const { return m_password; }

    // The series of the current meter, from its device name as it is now.
    MeterSeries meterSeries() const;

    // Shows, hides and enables the page controls for an access level; sends nothing.
    void applyAccessLevel(int level);

    // The stand has switched the selected meter onto the line.
    void enableMeterControls();

    // "08 0" + level + the six password bytes (the session password, or the meter's own one
    // when it does not use the standard password), each as two hex digits and a blank.
    QString sessionOpenCommand() const;

    // Starts a batch of `kind` for the current meter: its frame disabled, the session-open
    // command first (not for follow-up kinds), `commands` after it, the title logged. `title`
    // replaces the kind's own. False, with nothing changed, without a meter or commands, or
    // while another batch runs (that one is logged).
    bool sendBatch(int kind, const QStringList &commands, const QString &title = QString(),
                   const QColor &titleColour = QColor(50, 50, 50));
    // The same with the kind's fixed commands.
    bool sendKind(int kind);
    bool batchRunning() const { return m_batchRunning; }

    // What a finished batch of one kind does with its replies: `replies` are the replies after
    // the session-open command (from entry 0 for follow-up kinds), `count` of them. A decoder
    // runs on success only; a completion runs whatever the status and returns the status that
    // goes on to group work.
    using Decoder = std::function<void(const QByteArray *replies, int count)>;
    using Completion = std::function<int(const QByteArray *replies, int count, int status)>;
    void setDecoder(int kind, Decoder decoder);
    void setCompletion(int kind, Completion completion);

    // Seams for the modal dialogs and the sound cue; tests replace them.
    questions::IntQuestion askInt;
    questions::Notice inform;
    std::function<void(const QString &relativePath)> playSound;

signals:
    void logout();
    void searchStart();
    void html_line(QString str);
    void listSelectedItemClick(deviceListItem *item);
    // The engine's answer is whether it took the batch.
    bool init_exchange_device(deviceListItem *item, int type, QString *cmd, QByteArray *buf,
                              int len, int ackTimeOut);
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
    void connectionTest();
    void tuneInterface();
    void loadComplate(int type, QByteArray *buf, int len, int status);
    void unknownLoadComplate(int st);
    void stendAck(bool st);

    // Measurements page.
    void loadMeasuresClick();
    void loadNowMeasuresClick();
    void loadDeviceInfoClick();
    void loadDiagramClick();

protected:
    // Closing ends the session.
    void closeEvent(QCloseEvent *event) override;
    // Escape would hide the window and leave the session open with no way back to it.
    void reject() override {}

private:
    struct Handler
    {
        Completion run;
        bool anyStatus = false;
    };

    void buildFuncMenu();
    QWidget *widget(const char *name) const;
    // Connects a page button to what it does. Page buttons never wired belong to pages not built
    // yet and stay disabled, so nothing looks as if it worked when it does not.
    template <typename Slot> void wire(QAbstractButton *button, Slot slot)
    {
        connect(button, &QAbstractButton::clicked, this, slot);
        m_wiredButtons.insert(button);
    }
    void disableUnbuiltButtons();
    // Enables or disables every page control that sends something to the meter.
    void setMeterControlsEnabled(bool on);
    void updateDiagramAction();
    bool groupRunning() const { return m_groupSize != 0; }
    // Group work gets every finished batch of a group kind (nothing runs it yet).
    void groupReport(int kind, int status);

    // Batches.
    void allocateBatch(int n);
    // sendKind() of the kind of the current meter's series; nothing for an unknown series.
    void sendBySeries(int singlePhaseKind, int threePhaseKind);

    QWidget *frameOf(int kind) const;
    void enableAllFrames();
    int sessionOpened(const QByteArray *replies, int count, int status);

    // Measurements page.
    void setupMeasuresPage();
    void fillTable(QStandardItemModel *model, const QStringList &labels, const QStringList &values);

    Ui::ControlPanelDialog *ui;
    QPointer<deviceListItem> m_currentItem;
    int m_channel = 0;
    int m_accessLevel = 0;
    QByteArray m_password;

    // One batch at a time: the engine holds these arrays until loadComplate().
    std::vector<QString> m_commandBatch;
    std::vector<QByteArray> m_dataBatch;
    bool m_batchRunning = false;
    int m_batchKind = -1;
    QPointer<deviceListItem> m_batchItem;
    QHash<int, Handler> m_handlers;

    int m_groupSize = 0;

    itemEditDialog *m_editor;
    DeviceRecord m_template;
    bool m_editMode = false;
    QPointer<deviceListItem> m_edited;

    QMenu *m_funcMenu;
    QAction *m_actEdit = nullptr;
    QAction *m_actDiagram = nullptr;
    bool m_meterControlsOn = false;
    QSet<const QAbstractButton *> m_wiredButtons;
    QSet<const QWidget *> m_unbuilt;

    Diagram *m_diagram;
    QStandardItemModel *m_measures;
    QStandardItemModel *m_nowMeasures;
    QStandardItemModel *m_deviceInfo;
};
