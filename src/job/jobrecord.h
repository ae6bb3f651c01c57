#pragma once

#include "core/devicerecord.h"
#include "core/meterseries.h"

#include <QDateTime>
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

// One number (or event) of a record, typed for a database: what it is, its value in its unit, the
// meter's time of the record it belongs to, and the table cell that shows it.
struct JobValue
{
    // "energy_active_total", "voltage_a", ...; "event" for an event.
    QString quantity;
    // "kWh", "V", ...; empty when the value has none.
    QString unit;
    // The tariff of a tariff register, 0 otherwise.
    int tariff = 0;
    // None where the cell shows "-" or "corrupted".
    std::optional<double> value;
    // The meter's time of the record (its wall clock, carried as UTC); invalid when none.
    QDateTime time;
    // The record's place: list index or archive number; -1 for a plain reading.
    int record = -1;
    // Minutes of the archive's period, 0 elsewhere.
    int period = 0;
    // Events: "message", "error" or "warning", the code and its text.
    QString list;
    int code = -1;
    QString text;
    // The cell that shows the value (row, column of `rows`); -1 when none does.
    int row = -1;
    int column = -1;
};

// The outcome of one operation on one meter: who the meter is, what came of it, and the table the
// configurator would show for it.
struct JobRecord
{
    enum class Status { Ok, Failed, Interrupted };

    // Address (as the meter reported it once its session was open), serial number, stand
    // position (standMode) and device name (`version`, "-" until a session was opened).
    DeviceRecord meter;
    // The channel the meter was reached on, as the store names it: "tcp 127.0.0.1:14001".
    QString line;
    JobOperation operation = JobOperation::Info;
    Status status = Status::Ok;
    // Why it failed or stopped: the log's last error line.
    QString reason;
    QStringList columns;
    QList<QStringList> rows;
    QList<JobValue> values;
    // When the job made the record (the computer's time).
    QDateTime readAt;
    // The serial number the meter gave when it was reached by address; empty when not asked or
    // not given.
    QByteArray serialRead;
};

namespace jobrecord {

// "info", "energy", "instant", "day-slices", "month-slices", "archive", "events", "set-clock".
QString operationName(JobOperation operation);
std::optional<JobOperation> operationNamed(const QString &name);
// "ok", "failed", "interrupted".
QString statusName(JobRecord::Status status);
// How a person names the meter: "position 3", "serial 000000001234567" or "address 1".
QString meterName(const DeviceRecord &meter);
// "single-phase", "three-phase", or empty when not recognised.
QString seriesName(MeterSeries series);
// The serial number the record knows the meter by: the one it was addressed with, else the one
// it gave.
QByteArray serialOf(const JobRecord &record);

} // namespace jobrecord
