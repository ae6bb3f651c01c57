#pragma once

#include "core/devicerecord.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What a job can do with each meter, in the words of its command line.
enum class JobOperation {
    Info,
    Energy,
    Instant,
    DaySlices,
    MonthSlices,
    Archive,
    Events,
    SetClock
};

// The outcome of one operation on one meter: who the meter is, what came of it, and the table the
// configurator would show for it.
struct JobRecord
{
    enum class Status { Ok, Failed, Interrupted };

    // Address (as the meter reported it once its session was open), serial number, stand
    // position (standMode) and device name (`version`, "-" until a session was opened).
    DeviceRecord meter;
    JobOperation operation = JobOperation::Info;
    Status status = Status::Ok;
    // Why it failed or stopped: the log's last error line.
    QString reason;
    QStringList columns;
    QList<QStringList> rows;
};

namespace jobrecord {

// "info", "energy", "instant", "day-slices", "month-slices", "archive", "events", "set-clock".
QString operationName(JobOperation operation);
std::optional<JobOperation> operationNamed(const QString &name);
// "ok", "failed", "interrupted".
QString statusName(JobRecord::Status status);
// How a person names the meter: "position 3", "serial 000000001234567" or "address 1".
QString meterName(const DeviceRecord &meter);

} // namespace jobrecord
