#include "job/jobrecord.h"

namespace jobrecord {

namespace {
const struct
{
    JobOperation operation;
    const char *name;
} kOperations[] = {
    {JobOperation::Info, "info"},
    {JobOperation::Energy, "energy"},
    {JobOperation::Instant, "instant"},
    {JobOperation::DaySlices, "day-slices"},
    {JobOperation::MonthSlices, "month-slices"},
    {JobOperation::Archive, "archive"},
    {JobOperation::Events, "events"},
    {JobOperation::SetClock, "set-clock"},
};
} // namespace

QString operationName(JobOperation operation)
{
    for (const auto &o : kOperations)
        if (o.operation == operation)
            return QLatin1String(o.name);
    return QString();
}

std::optional<JobOperation> operationNamed(const QString &name)
{
    for (const auto &o : kOperations)
        if (name == QLatin1String(o.name))
            return o.operation;
    return std::nullopt;
}

QString statusName(JobRecord::Status status)
{
    switch (status) {
    case JobRecord::Status::Ok:
        return QStringLiteral("ok");
    case JobRecord::Status::Failed:
        return QStringLiteral("failed");
    case JobRecord::Status::Interrupted:
        break;
    }
    return QStringLiteral("interrupted");
}

QString meterName(const DeviceRecord &meter)
{
    if (meter.standMode)
        return QStringLiteral("position %1").arg(meter.standAddr);
    if (meter.usesSerialNumber())
        return QStringLiteral("serial ") + QString::fromLatin1(meter.serialNumber);
    return QStringLiteral("address %1").arg(meter.address);
}

QString seriesName(MeterSeries series)
{
    switch (series) {
    case MeterSeries::SinglePhase:
        return QStringLiteral("single-phase");
    case MeterSeries::ThreePhase:
        return QStringLiteral("three-phase");
    case MeterSeries::Unrecognised:
        break;
    }
    return QString();
}

QByteArray serialOf(const JobRecord &record)
{
    return record.meter.usesSerialNumber() ? record.meter.serialNumber : record.serialRead;
}

} // namespace jobrecord
