#pragma once

#include "job/joboptions.h"
#include "job/jobrecord.h"
#include "job/jobrunner.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class RecordStore;

// A job over its lines: one JobRunner a line (each with its own engine and channel), at most
// --parallel of them at once, the next started as one ends. A stop goes to every line under way;
// lines not yet started are not started. It sums the lines up in one exit status and one
// summary, keeps one progress line for the whole job, stores each line's log under a heading
// naming the line, and lets the lines share one connection to the store. A job of one channel
// is its one JobRunner, unchanged.
class JobLines : public QObject
{
    Q_OBJECT
public:
    explicit JobLines(const JobOptions &options, QObject *parent = nullptr);
    ~JobLines() override;

    void start();
    void stop(int signalNumber);

    // As JobRunner's; for many lines 3 only when no line's channel could be opened.
    int exitStatus() const;
    QStringList summary() const;

signals:
    void record(const JobRecord &record);
    void progress(const QString &text);
    void finished(int exitStatus);

private:
    struct Line
    {
        JobRunner *runner = nullptr;
        bool done = false;
        int metersDone = 0;
        JobRunner::Tally tally;
    };

    bool many() const { return !m_options.lines.isEmpty(); }
    void startLines();
    void lineFinished(int index);
    void storeLog(int index, const QStringList &paragraphs);
    void progressText();
    void finish();

    JobOptions m_options;
    // The job of one channel.
    JobRunner *m_single = nullptr;

    QList<Line> m_lines;
    int m_next = 0;
    int m_running = 0;
    int m_signal = 0;
    bool m_finished = false;
    std::unique_ptr<RecordStore> m_store;
    bool m_storeUnusable = false;
    QString m_storeError;
    bool m_logStored = true;
    // For the progress line: counted as they come, for thousands of lines.
    int m_linesDone = 0;
    qsizetype m_metersDone = 0;
    qsizetype m_meters = 0;
    // "line index/meter name" of every meter with a failed record.
    QSet<QString> m_failedMeters;
};
