#pragma once

#include "core/devicerecord.h"
#include "core/groupgrid.h"
#include "core/meterseries.h"
#include "core/replycheck.h"
#include "link/logcolours.h"

#include <QAbstractButton>
#include <QByteArray>
#include <QColor>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QWidget>

#include <functional>

class deviceListItem;
class QLabel;
class QTableView;

// What a finished batch of one kind does with its replies: `replies` are those after the
// session-open command (from entry 0 for follow-up kinds). A decoder runs on success only; a
// completion runs whatever the status and returns the status that goes on to group work, or
// kFollowedUp when it has started a batch of a group kind that carries the work on and reports
// in its place.
using Decoder = std::function<void(const QList<QByteArray> &replies)>;
using Completion = std::function<int(const QList<QByteArray> &replies, int status)>;
constexpr int kFollowedUp = -1;

// What a configurator page needs of its window: the meter being worked, and the batches.
class PageHost
{
public:
    virtual ~PageHost() = default;
    virtual deviceListItem *currentItem() const = 0;
    // The series of the current meter, from its device name as it is now.
    virtual MeterSeries meterSeries() const = 0;
    // Starts a batch of `kind` for the current meter: its frame disabled, the session-open
    // command first (not for follow-up kinds), `commands` after it, the title logged (`title`, or
    // the kind's own), then `values` in light blue without time when given. False, with nothing
    // changed, without a meter or commands, or while an exchange runs (that is logged).
    virtual bool sendBatch(int kind, const QStringList &commands, const QString &title = QString(),
                           const QColor &titleColour = logcolour::info,
                           const QString &values = QString()) = 0;
    // A page tells the window which frame a kind holds disabled while it runs, and what its
    // finished batch does.
    virtual void addRoute(int kind, QWidget *frame, Completion run, bool anyStatus) = 0;
    // File names asked through the window's seams (title, starting folder, filter); "" when
    // cancelled.
    virtual QString saveFileName(const QString &title, const QString &folder,
                                 const QString &filter) = 0;
    virtual QString openFileName(const QString &title, const QString &folder,
                                 const QString &filter) = 0;
    // The meter whose batch is being decoded (null once it has left the list).
    virtual deviceListItem *batchItem() const = 0;
    // A page changed what the list shows of `item` (address, serial number, name, session).
    virtual void meterChanged(deviceListItem *item) = 0;

    // The meter list's entries: locked while calibration coefficients are written.
    virtual void setMeterEntriesEnabled(bool on) = 0;
    // "Калибровать все отмеченные" on the calibration page: procedures go to group work.
    virtual bool calibrateSelected() const = 0;
    // A Yes or No question through the window's seam; true for Yes.
    virtual bool confirm(const QString &title, const QString &text) = 0;
};

// What a page asks of group work: the operation run for every checked meter in turn, and what
// the page says of the meter being worked.
class GroupHost
{
public:
    virtual ~GroupHost() = default;
    // Runs `step` (the operation `kind` for the meter being worked) over the checked meters; while
    // a run goes on, `step` is the current meter's. A step that starts no batch is a refusal.
    virtual void work(int kind, const std::function<void()> &step) = 0;
    virtual bool running() const = 0;
    // How many meters of the list are checked: what a run would work.
    virtual int checkedCount() const = 0;
    // The outcome of the meter being worked beyond its exchange's (groupgrid::Status), and the
    // address it answers to after a write it took. Nothing outside a run.
    virtual void mark(int status) = 0;
    virtual void noteAddress(int address) = 0;
    void skipMeter() { mark(groupgrid::Skip); }
    // A refusal that ends the whole run, its red line already logged.
    virtual void stopAll() = 0;
    // A run over the address changer's list: whether it runs, the line of the meter being
    // worked ("" for none), and where a coefficient read puts its meter's line.
    virtual bool listMode() const = 0;
    virtual QString listLine() const = 0;
    virtual void appendListLine(const QString &line) = 0;
};

// One page of the configurator's tabs: its form, the request kinds it starts with the frame each
// holds disabled and the decoder of its replies, the controls that talk to the meter, and which
// of its controls each access level and meter series shows.
class ConfigPage : public QWidget
{
    Q_OBJECT
public:
    explicit ConfigPage(PageHost *host, QWidget *parent = nullptr);

    // Shows and hides the page's controls for an access level (0 user, 1 administrator,
    // 2 developer); sends nothing.
    virtual void applyAccessLevel(int level);
    // Shows the controls of a meter series; an unrecognised series changes nothing.
    virtual void applySeries(MeterSeries series);

    // Where the page's group operations go; set by the window once, before any is run.
    void setGroupWork(GroupHost *group) { m_group = group; }

    // Enables or disables every control of the page that sends something to the meter. Buttons
    // of work not built yet stay disabled either way.
    virtual void setMeterControlsEnabled(bool on);
    // Called once the page is wired: a push button nothing was connected to stays disabled, so
    // nothing looks as if it worked when it does not.
    void lockUnbuilt();

    // Reading pages hold one meter's data at a time: the kinds that fill their tables, the meter
    // they were read from (null once it has left the list), whether they hold anything.
    bool readsInto(int kind) const { return m_readingKinds.contains(kind); }
    deviceListItem *readingOwner() const;
    bool holdsReading() const { return m_holdsReading; }
    // A batch of `item` filled the tables: the caption names it and the time.
    void readingShown(deviceListItem *item);
    // Empties the tables (and charts) and the caption.
    void clearReading();

signals:
    void log(QString str, QColor clr, bool timeStamp, bool newLine);

protected:
    PageHost *host() const { return m_host; }
    // Without a group host a page's group operation runs once, for the current meter.
    GroupHost *group() const;
    // Gives every table of the page the look of the reading tables.
    void setupTables();
    // Makes this a reading page: the batches of `kinds` fill its tables and `clear` empties them.
    // A caption at the top (lbReadingOwner) says whose data they hold.
    void setReading(const QList<int> &kinds, std::function<void()> clear);
    // The page's control called `name` (nullptr when the form has none).
    QWidget *control(const char *name) const;

    void route(int kind, QWidget *frame, Decoder decoder = Decoder());
    void routeCompletion(int kind, QWidget *frame, Completion completion);
    // A batch of list records: `fill` gets every reply on success; after a failure or an
    // interruption it gets those read before it, and the log says how many of how many.
    void routeRecords(int kind, QWidget *frame, Decoder fill);

    // Connects a page button to what it does.
    template <typename Page> void wire(QAbstractButton *button, void (Page::*slot)())
    {
        connect(button, &QAbstractButton::clicked, static_cast<Page *>(this), slot);
        m_wired.insert(button);
    }
    void markWired(QAbstractButton *button) { m_wired.insert(button); }
    // Enables a control unless it is a button of work not built yet.
    void setControlEnabled(QWidget *control, bool on);

    // The controls that talk to the meter: locked while no meter is selected, or while the
    // selected one waits on the stand.
    void setMeterControls(const QStringList &names) { m_meterControls = names; }
    // Shown at every level first; then hidden in a user session, or in an administrator one.
    struct LevelRules
    {
        QStringList shown;
        QStringList userHidden;
        QStringList administratorHidden;
    };
    void setLevelRules(const LevelRules &rules) { m_levels = rules; }
    // Of these two, only the one of the current meter's series is shown.
    void setSeriesControls(QWidget *singlePhase, QWidget *threePhase);
    // Shows or hides controls together with the captions that name them.
    void setShown(const QStringList &names, bool shown);
    // The red line of a reply a decoder refused; true when it was not refused.
    bool accepted(ReplyCheck check);

    // The kind's fixed commands for the current meter.
    bool sendKind(int kind);
    // sendKind() of the current meter's series; nothing for an unrecognised series, whose reply
    // layouts are not known.
    void sendBySeries(int singlePhaseKind, int threePhaseKind);

    // The Yes/No question of an operation that deletes something, titled "Внимание!".
    bool confirmDeletion(const QString &text);
    // Saves what `table` shows as a CSV file the user names (nothing when cancelled), and logs
    // the outcome; the file is written whole or not at all.
    void exportTable(const QTableView *table);

private:
    PageHost *m_host;
    GroupHost *m_group = nullptr;
    QSet<const QAbstractButton *> m_wired;
    QSet<const QWidget *> m_unbuilt;
    QStringList m_meterControls;
    LevelRules m_levels;
    QWidget *m_singlePhase = nullptr;
    QWidget *m_threePhase = nullptr;
    QSet<int> m_readingKinds;
    std::function<void()> m_clearReading;
    QLabel *m_readingCaption = nullptr;
    QPointer<deviceListItem> m_readingOwner;
    bool m_holdsReading = false;
};

// "Счетчик 2, 000000007654321, 14:07:09": the meter a reading page's data came from (its stand
// position on the stand, its serial number when it is addressed by one) and when it was read.
QString readingCaption(const DeviceRecord &meter, const QTime &readAt);
