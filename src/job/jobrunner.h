#pragma once

#include "core/measuredecoders.h"
#include "core/meterseries.h"
#include "job/joboptions.h"
#include "job/jobrecord.h"
#include "job/recordstore.h"
#include "link/grouprun.h"

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

class ExchangeEngine;

// Works a job without any window: opens the session on the job's channel through the exchange
// engine, then, meter after meter (each switched in first when it sits on the stand), opens the
// meter's session, runs every operation with the batches and decoders the configurator uses,
// closes the meter's session and reports one record per meter and operation. A meter that fails
// is reported and the work goes on with the next. It keeps the log of the run as the program
// does and stores it in log/DDMMYYYY.html when it ends.
class JobRunner : public QObject
{
    Q_OBJECT
public:
    explicit JobRunner(const JobOptions &options, QObject *parent = nullptr);
    ~JobRunner() override;

    // Opens the channel and starts the work; finished() comes at the end, also when the channel
    // cannot be opened.
    void start();
    // A stop from outside (the signal's number): the exchange on the wire is let finish, what was
    // read is reported, the channel is closed and the log stored. A second stop does not wait
    // for the exchange.
    void stop(int signalNumber);

    // 0 every meter and operation succeeded, 1 some failed, 3 the channel could not be opened,
    // 4 the store could not be opened or written, 128 + the signal's number after a stop.
    int exitStatus() const;
    // Lines for standard error: the counts, each failure with its reason, how the job ended.
    QStringList summary() const;
    // The summary's last lines, one job or many: what a stop left undone, a log not stored.
    static QStringList summaryEnd(int signalNumber, qsizetype undone, bool logLost);

    // What the job did, for a job of many lines to sum up.
    struct Tally
    {
        int ok = 0;
        int failed = 0;
        int interrupted = 0;
        // Each failure: "address 1: info: reason".
        QStringList failures;
        bool channelFailed = false;
        QString channelError;
        QString storeError;
    };
    Tally tally() const;
    // The log's paragraphs so far, for a job of many lines to store under the line's heading.
    QStringList paragraphs() const { return m_paragraphs; }
    // The store to use instead of opening one of its own: a job of many lines shares one
    // connection. Before start().
    void setStore(std::unique_ptr<RecordStore> store);
    // The channel's name in records and the store.
    QString channelText() const;

    // One result per meter worked so far (position, serial number, address, what was written,
    // status, time), as the run's meterFinished() gave them.
    QList<GroupResult> meterResults() const;

signals:
    void record(const JobRecord &record);
    void meterFinished(const GroupResult &result);
    // What is being done, for a progress line.
    void progress(const QString &text);
    void finished(int exitStatus);

private:
    using Next = std::function<void(const QList<QByteArray> &replies, int status)>;

    void log(const QString &text, const QColor &colour, bool timeStamp, bool newLine);
    void connection(bool up);
    void standRefused();
    void batchDone(int type, QList<QByteArray> replies, int status);

    // Starts a batch of `kind` for the current meter (the session-open command first unless the
    // kind follows up another); `next` gets the replies after that command.
    void send(int kind, const QStringList &commands, Next next,
              const QColor &titleColour = QColor(50, 50, 50));
    void batch(int kind, const QStringList &batch, Next next);
    // The last error line of the log since the batch started, as the reason of a failure.
    QString reason() const;
    QString stopReason() const;

    // The meters go through a GroupRun: switched in on the stand, one status each.
    void startRun();
    void meterStarted(int index);
    // The current meter is done with: the run goes on with the next (or ends after a stop).
    void meterEnd();
    void openSession();
    void sessionOpened(const QList<QByteArray> &replies, int status);
    void nextOperation();
    void runOperation(JobOperation operation);
    void closeSession();

    void readTable(int kind, const QStringList &labels,
                   std::function<QStringList(const QList<QByteArray> &)> values,
                   std::function<QList<measures::Reading>(const QList<QByteArray> &)> typed);
    void readSlices(int list, int sizeKind, int recordsKind);
    void readArchive();
    void readEvents();
    void readEventList(QList<QPair<int, int>> lists, int requested);
    void concludeEvents(int status, int requested);

    // Records of a list with their place in it.
    using Indexed = QList<QPair<int, QByteArray>>;
    // Reads records first..end-1 of a list as batches of `kind`; with `newest` (--new-only) only
    // those newer than it, asking first for it again at its place to see whether the list has
    // moved since. `done` gets the records read, the status and how many were asked for.
    void readNew(int kind, const std::function<QString(int)> &command, int first, int end,
                 const std::optional<RecordStore::Newest> &newest,
                 const std::function<QDateTime(const QByteArray &)> &timeOf,
                 const std::function<void(const Indexed &, int, int)> &done);
    // The newest stored record of `kind` for the current meter, with --new-only.
    std::optional<RecordStore::Newest> newestStored(const QString &kind);
    void setClock();

    // The outcome of the current operation: its record, then the next operation (or the end,
    // after a stop).
    void conclude(int status, const QStringList &columns = {}, const QList<QStringList> &rows = {});
    // The same for a read of `requested` list records, of which `rows` were read: after a failure
    // those rows are reported too, with their count.
    void concludeRecords(int status, const QStringList &columns, const QList<QStringList> &rows,
                         int requested);
    void report(JobOperation operation, JobRecord::Status status, const QString &reason,
                const QStringList &columns = {}, const QList<QStringList> &rows = {});
    // Reports every operation not yet done of the current meter (and of the meters after it when
    // `allMeters`) as failed.
    void failRest(const QString &reason, bool allMeters);
    void progressText(const QString &what);

    void finish();
    void closeChannel();
    void done();

    // The store's name of a meter without a serial number: the channel and its place on it.
    QString meterKey(const DeviceRecord &meter) const;
    void storeRecord(const JobRecord &record);

    JobOptions m_options;
    ExchangeEngine *m_engine;
    QStringList m_paragraphs;
    QString m_lastError;
    QString m_channelError;

    enum class Phase { Idle, Connecting, Working, Finishing, Done };
    Phase m_phase = Phase::Idle;
    bool m_connected = false;
    bool m_channelFailed = false;
    bool m_standLinked = false;
    int m_signal = 0;
    bool m_logStored = true;

    int m_meterIndex = -1;
    int m_operationIndex = -1;
    DeviceRecord m_meter;
    MeterSeries m_series = MeterSeries::Unrecognised;
    bool m_meterFailed = false;
    QString m_written;
    GroupRun *m_run;
    QTimer m_closeTimer;
    Next m_next;
    // What a follow-up batch needs of the batch before it.
    int m_archiveStart = 0;
    QList<int> m_eventLists;
    struct EventRead
    {
        int list;
        int index;
        QByteArray reply;
    };
    QList<EventRead> m_events;
    // The typed values of the operation under way, and the serial number the meter gave.
    QList<JobValue> m_values;
    QByteArray m_serialRead;

    std::unique_ptr<RecordStore> m_store;
    bool m_storeUnusable = false;
    QString m_storeError;

    int m_ok = 0;
    int m_failed = 0;
    int m_interrupted = 0;
    QStringList m_failures;
};
