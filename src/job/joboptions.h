#pragma once

#include "core/devicerecord.h"
#include "core/sessionparameters.h"
#include "job/jobrecord.h"
#include "job/recordstore.h"
#include "job/recordwriter.h"

#include <QList>
#include <QString>
#include <QStringList>

// One line of a job of many (--line, --lines): its channel and its meters, and where it was
// given ("lines.txt:3", "--line 2") for the messages that name it.
struct JobLine
{
    QString where;
    SessionParameters session;
    quint16 standPort = 502;
    QList<DeviceRecord> meters;
};

// What a job is to do, from its command line: the session (channel, access level, password), the
// meters in the order they are worked, the operations in the order given, and the output.
struct JobOptions
{
    SessionParameters session;
    // The stand's switching block listens here (502 unless --stand names another port).
    quint16 standPort = 502;
    QList<DeviceRecord> meters;
    QList<JobOperation> operations;
    // Archive records start .. end-1; end -1 reads to the end of the archive.
    int archiveStart = 0;
    int archiveEnd = -1;
    // Hours added to the computer's time that the clock write sends.
    int hourShift = 0;
    RecordWriter::Format format = RecordWriter::Format::Csv;
    bool writeLog = true;
    // Ask a meter reached by address for its serial number: typed records name it.
    bool readSerial = false;
    // Where the typed records are stored too; none without --store.
    std::optional<StoreAddress> store;
    // Archive, slices and events: only the records newer than the newest one stored.
    bool newOnly = false;
    // A job of many lines: their channels and meters stand for the session's channel and the
    // meters above. Empty for a job of one channel.
    QList<JobLine> lines;
    // At most this many lines at once; 0: every line at once.
    int parallel = 0;
    // This is one line of a job of many: the job writes the log and the summary.
    bool oneOfMany = false;
};

namespace joboptions {

enum class Outcome { Run, Help, Version, Usage };

// Reads the command line (program name first) into `options`. Usage: `message` says what is wrong
// (a missing or unreadable meter-list file too); nothing is half taken then.
Outcome parse(const QStringList &arguments, JobOptions *options, QString *message);

// How records and the store name a channel: "tcp 127.0.0.1:14001", "com 3", "gsm +79001234567",
// "stand 127.0.0.5:502".
QString channelText(const SessionParameters &session, quint16 standPort);

// The job of line `index` of a job of many: the job's options with the line's channel and meters.
JobOptions lineJob(const JobOptions &job, int index);

// The whole --help text, with an example per channel.
QString helpText();
// "Usage: ..." and where to read more, for a bad command line.
QString usageLine();

} // namespace joboptions
