#pragma once

#include "config/configpage.h"
#include "link/grouprun.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class ControlPanelDialog;
class deviceListItem;

// The configurator's group work: a GroupRun over the checked meters, each captured with its list
// line when the run starts, and the operation of a page run for each in turn. While it runs the
// meter list and every page control that sends something are locked, and the stop control is
// shown. Pages talk to it for the meter being worked and its outcome.
class GroupWork : public QObject, public GroupHost
{
    Q_OBJECT
public:
    explicit GroupWork(ControlPanelDialog *window);

    GroupRun *run() { return &m_run; }
    bool running() const override { return m_run.running(); }

    // Runs `step` (the operation `kind` for the meter being worked) over the checked meters; while
    // a run goes on, `step` is the current meter's. Nothing when no meter is checked.
    void work(int kind, const std::function<void()> &step) override;
    // Starts a run of `kind` over the checked meters, `listMode` when it takes or gives the
    // address changer's lines. False, with nothing logged, for no meter or while one runs.
    bool start(int kind, const std::function<void()> &step, bool listMode = false);
    int checkedCount() const override;

    // The list entry of the meter being worked (null outside a run, or once it has left the list)
    // and the meter as captured.
    deviceListItem *item() const;
    const GroupMeter *meter() const { return m_run.currentMeter(); }

    void mark(int status) override;
    void noteAddress(int address) override;
    // A refusal that ends the whole run (its red line already logged): the grid so far follows.
    void stopAll() override;

    bool listMode() const override { return running() && m_listMode; }
    QString listLine() const override;
    void appendListLine(const QString &line) override;

    // From the window: a batch of the current meter went out (its commands after the session
    // open), a batch of a group kind finished, the answer (or time-out) of a "09 01", the stand's
    // answer, and the stop control.
    void batchSent(const QStringList &commands);
    void report(int status);
    bool closeAnswered(int st);
    void standAnswer(bool accepted);
    void stop();
    // The session ended: whatever was awaited will not come.
    void sessionEnded();

    // The address changer's buttons and the function menu's group entries.
    void saveListSN();
    void saveListAddr();
    void saveListCC();
    void loadListCC();
    void openAll();
    void closeAll();

signals:
    void log(QString str, QColor clr, bool timeStamp, bool newLine);
    void html_line(QString str);
    void stendSelectAddr(int pos);

private:
    bool startOver(int kind, const std::function<void()> &step, bool listMode,
                   const QList<deviceListItem *> &items, const QStringList &lines = {});
    void stepMeter(const GroupMeter &meter);
    void ended(const QList<GroupResult> &results);
    // Whether the changer's list has a line per checked meter; the red line when not.
    bool listFits(const QString &listName);
    void lock(bool on);

    ControlPanelDialog *m_window;
    GroupRun m_run;
    int m_kind = -1;
    std::function<void()> m_step;
    QList<QPointer<deviceListItem>> m_items;
    bool m_listMode = false;
    int m_linesAppended = 0;
    bool m_awaitingReport = false;
    bool m_awaitingClose = false;
    GroupOutcome m_outcome;
};
