#pragma once

#include "core/devicerecord.h"
#include "core/groupgrid.h"

#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// One meter of a group run, as it was when the run started: a click, a re-sort or an edit of the
// list afterwards changes nothing of it.
struct GroupMeter
{
    DeviceRecord record;
    // Its line of the address changer's list ("" when the run takes none).
    QString line;
};

// What became of one meter of a run.
struct GroupResult
{
    int index = -1;   // among the run's meters
    int position = 0; // stand position, 0 off the stand
    QByteArray serialNumber;
    int address = 0; // after the work: an address write changes it
    QString written; // what was written to it ("" for a read or nothing)
    int status = groupgrid::Ok;
    QDateTime time; // when its work ended
    QString reason; // the red line of a failure or refusal
    // The grid's label: stand position on the stand, address otherwise.
    int label() const { return position > 0 ? position : address; }
};

// What the operation reports of its meter.
struct GroupOutcome
{
    int status = groupgrid::Ok;
    QString written;
    QString reason;
    int address = -1; // the meter's new address; -1 unchanged
};

// Group work: one operation over a list of meters, one after the other, each switched in on the
// stand first when it sits there. No window: the configurator and meterjob both drive it.
//
// The run sends nothing to the meters itself. For each meter it calls the operation, which
// starts whatever batches it needs and reports once through meterDone() (or meterInterrupted()
// for a batch the user cut off). The stand is reached through standSelect() and answered through
// standAnswer(). A stand answer not awaited is ignored; one not given within standTimeoutMs counts
// as a stand error.
class GroupRun : public QObject
{
    Q_OBJECT
public:
    using Operation = std::function<void(const GroupMeter &meter)>;

    explicit GroupRun(QObject *parent = nullptr);

    // The stand switches meters in (a meter is switched in when it is marked as a stand meter).
    void setStand(bool on) { m_stand = on; }
    // The stand answers a switch at once; past this it is not going to.
    void setStandTimeout(int ms) { m_standTimeout.setInterval(ms); }
    int standTimeout() const { return m_standTimeout.interval(); }

    // Logs "Инициализация групповой работы" and steps into the first meter at once. False, with
    // nothing logged, for no meters or while a run goes on.
    bool start(const QList<GroupMeter> &meters, Operation operation);
    bool running() const { return m_phase != Phase::Idle; }
    // Stops the run: at once while it waits on the stand (that meter is left out), otherwise
    // once the meter being worked reports; interruptRequested() asks for its batch to be cut
    // short meanwhile. The run ends with the red line and the grid of the meters worked so far.
    void stop();
    // The same with `line` as the red line of the end ("" logs none).
    void stop(const QString &line);

    // The meter being worked (or switched in), and its place in the run; -1 for none.
    int currentIndex() const { return m_phase == Phase::Idle ? -1 : m_index; }
    const GroupMeter *currentMeter() const;
    // Waiting for the current meter's operation to report.
    bool awaitingMeter() const { return m_phase == Phase::Meter; }
    const QList<GroupMeter> &meters() const { return m_meters; }
    // One result per meter worked, in order; kept after the run has ended.
    QList<GroupResult> results() const { return m_results; }

    // The operation's outcome for the current meter; ignored unless one is awaited.
    void meterDone(const GroupOutcome &outcome);
    void meterDone(int status) { meterDone(GroupOutcome{status, {}, {}, -1}); }
    // The current meter's batch was interrupted by the user: that meter is ERR and the run ends.
    void meterInterrupted();

public slots:
    // The switching block's answer to the last switch.
    void standAnswer(bool accepted);

signals:
    void log(QString str, QColor clr, bool timeStamp, bool newLine);
    // Switch stand position `pos` onto the line; the answer is expected in standAnswer().
    void standSelect(int pos);
    void meterStarted(int index);
    void meterFinished(GroupResult result);
    // The status grid of the meters worked (also after an early end).
    void grid(QString html);
    void interruptRequested();
    // The run's end: every meter worked, or stopped early (stop, stand error, interrupt).
    void finished(QList<GroupResult> results);
    void stopped(QList<GroupResult> results);

private:
    enum class Phase { Idle, Stand, Meter, Between };
    void stepInto(int index);
    void standTimedOut();
    void standFailed(const QString &first);
    void record(const GroupOutcome &outcome);
    void endStopped();
    void end(bool early);

    bool m_stand = true;
    QTimer m_standTimeout;
    Phase m_phase = Phase::Idle;
    bool m_stopAsked = false;
    QString m_stopLine;
    QList<GroupMeter> m_meters;
    Operation m_operation;
    QList<GroupResult> m_results;
    int m_index = -1;
    // Bumped at every start and end, so that a queued step of an ended run does nothing.
    int m_generation = 0;
};
