#include "core/requestkinds.h"

#include "core/catalogue.h"
#include "core/measuredecoders.h"

#include <initializer_list>
#include <iterator>

namespace requestkinds {

namespace {

using namespace catalogue;

QStringList reads(std::initializer_list<int> objects)
{
    QStringList out;
    for (int object : objects)
        out << command(Read, object);
    return out;
}

QStringList readRange(int first, int last)
{
    QStringList out;
    for (int object = first; object <= last; ++object)
        out << command(Read, object);
    return out;
}

#define TITLE(expr) [] { return QString(expr); }
#define COMMANDS(expr) [] { return QStringList(expr); }
#define NONE nullptr

// clang-format off
// kind, group, follow-up, ackTimeOut, title, commands
const KindInfo kKinds[] = {
    {Measures, false, false, 0, TITLE(readTitle(0x04)),
     COMMANDS(measures::energyCommands(MeterSeries::SinglePhase))},
    {Holidays, false, false, 0, TITLE(readTitle(0x0f)), COMMANDS(reads({0x0f}))},
    {Calendar, false, false, 0, TITLE(readTitle(0x14)), COMMANDS(readRange(0x14, 0x1f))},
    {Tarif, false, false, 0, TITLE(readTitle(0x13)), COMMANDS(reads({0x13}))},
    {Time, false, false, 0, TITLE(readTitle(0x0e)), COMMANDS(reads({0x0e}))},
    {TimeMode, false, false, 0, TITLE(readTitle(0x23)), COMMANDS(reads({0x23}))},
    {Link, false, false, 0, TITLE(readTitle(0x29)), COMMANDS(reads({0x29}))},
    {Display, false, false, 0, TITLE(readTitle(0x0b)), COMMANDS(reads({0x0b}))},
    {Limit, false, false, 0, TITLE(readTitle(0x24)),
     COMMANDS(reads({0x24, 0x25, 0x28, 0x40, 0x41}))},
    {PulseSpec, false, false, 0, TITLE(readTitle(0x3f)), COMMANDS(reads({0x3f}))},
    {Archive, false, false, 0, TITLE(readTitle(0x3d)),
     COMMANDS(reads({0x3d}) << listSizeRead(ArchiveList))},
    {NowMeasures, false, false, 0, TITLE(readTitle(0x01)),
     COMMANDS(measures::instantCommands(MeterSeries::SinglePhase))},
    {DeviceInfo, false, false, 0, TITLE(readTitle(0x20)),
     COMMANDS(measures::deviceInfoCommands())},
    {ClockCC, false, false, 0, TITLE(readTitle(0x22)), COMMANDS(reads({0x22}))},
    {CC, true, false, 0, TITLE(readTitle(0x0c)), COMMANDS(reads({0x0c}))},
    {ListSizes, false, false, 0, TITLE(listSizeTitle(ErrorList)),
     COMMANDS(QStringList({listSizeRead(ErrorList), listSizeRead(WarningList),
                           listSizeRead(MessageList)}))},
    {ClearMessages, false, false, 0, TITLE(listClearTitle(MessageList)),
     COMMANDS(listClear(MessageList))},
    {ClearErrors, false, false, 0, TITLE(listClearTitle(ErrorList)),
     COMMANDS(listClear(ErrorList))},
    {ClearWarnings, false, false, 0, TITLE(listClearTitle(WarningList)),
     COMMANDS(listClear(WarningList))},
    {EventRecords, false, true, 0, TITLE(listRecordTitle(MessageList)), NONE},
    {ArchiveRead, false, false, 0, TITLE(listRecordTitle(ArchiveList)), NONE},
    {ArchiveInit, false, false, 0, TITLE(writeTitle(0x3d)), NONE},
    {SaveTimeMode, false, false, 0, TITLE(writeTitle(0x23)), NONE},
    {SaveTarif, true, false, 0, TITLE(writeTitle(0x13)), NONE},
    {SaveTime, true, false, 0, TITLE(operationTitle(Operation::SetClock)), NONE},
    {SavePulseSpec, true, false, 0, TITLE(writeTitle(0x3f)), NONE},
    {SaveLimit, false, false, 0, TITLE(writeTitle(0x24)), NONE},
    {SaveLink, true, false, 0, TITLE(writeTitle(0x29)), NONE},
    {SaveDisplay, true, false, 0, TITLE(writeTitle(0x0b)), NONE},
    {SaveClockCC, false, false, 0, TITLE(writeTitle(0x22)), NONE},
    {SaveCC, true, false, 0, TITLE(writeTitle(0x0c)), NONE},
    {SliceDaySize, false, false, 0, TITLE(listSizeTitle(DaySliceList)),
     COMMANDS(listSizeRead(DaySliceList))},
    {SliceDayRecords, false, true, 0, TITLE(listRecordTitle(DaySliceList)), NONE},
    {SliceMonthSize, false, false, 0, TITLE(listSizeTitle(MonthSliceList)),
     COMMANDS(listSizeRead(MonthSliceList))},
    {SliceMonthRecords, false, true, 0, TITLE(listRecordTitle(MonthSliceList)), NONE},
    {ClearSliceDay, false, false, 0, TITLE(listClearTitle(DaySliceList)),
     COMMANDS(listClear(DaySliceList))},
    {ClearSliceMonth, false, false, 0, TITLE(listClearTitle(MonthSliceList)),
     COMMANDS(listClear(MonthSliceList))},
    {Calibration1, true, false, 0, TITLE(operationTitle(Operation::CalibrateVoltage)), NONE},
    {Calibration2, true, false, 0, TITLE(operationTitle(Operation::CalibratePower)), NONE},
    {Calibration3, true, false, 0, TITLE(operationTitle(Operation::CalibratePhase)), NONE},
    {Calibration4, true, false, 0, TITLE(operationTitle(Operation::CalibratePowerOffset)), NONE},
    {Calibration5, true, false, 0, TITLE(readTitle(0x3a)), NONE},
    // Readings first, then the lists from the newest kind of record to the oldest.
    {ResetLists, true, false, 0, TITLE(serviceTitle(ResetReadings)),
     COMMANDS(QStringList({serviceCommand(ResetReadings), listClear(DaySliceList),
                           listClear(MonthSliceList), listClear(ArchiveList),
                           listClear(WarningList), listClear(ErrorList),
                           listClear(MessageList)}))},
    {SessionOpen, true, false, 0, TITLE(operationTitle(Operation::OpenSession)),
     COMMANDS(reads({0x20, 0x29, 0x21}))},
    {SaveHolidays, false, false, 0, TITLE(writeTitle(0x0f)), NONE},
    {SaveCalendar, true, false, 0, TITLE(writeTitle(0x14)), NONE},
    {LoadPwd, false, false, 0, TITLE(readTitle(0x2a)), NONE},
    {SavePwd, false, false, 0, TITLE(writeTitle(0x2a)), NONE},
    {FactoryInit, true, false, 3000, TITLE(serviceTitle(FactoryInitialisation)),
     COMMANDS(serviceCommand(FactoryInitialisation))},
    {DeviceID, false, false, 0, TITLE(readTitle(0x44)), COMMANDS(reads({0x44}))},
    {SaveDeviceID, true, false, 0, TITLE(writeTitle(0x44)), NONE},
    {ConformityTest, true, false, 0, TITLE(serviceTitle(catalogue::ConformityTest)),
     COMMANDS(reads({0x21}) << serviceCommand(catalogue::ConformityTest))},
    {CC3, true, false, 0, TITLE(readTitle(0x88)), COMMANDS(reads({0x88}))},
    {Measures3, false, false, 0, TITLE(readTitle(0x76)),
     COMMANDS(measures::energyCommands(MeterSeries::ThreePhase))},
    {NowMeasures3, false, false, 0, TITLE(readTitle(0x64)),
     COMMANDS(measures::instantCommands(MeterSeries::ThreePhase))},
    {Display3, false, false, 0, TITLE(readTitle(0x0b)), COMMANDS(reads({0x0b}))},
    {SaveDisplay3, true, false, 0, TITLE(writeTitle(0x0b)), NONE},
    // Written at the end of a three-phase procedure, it finishes that procedure's group step.
    {SaveCC3, true, false, 0, NONE, NONE},
    {InitCalibration3, true, false, 0, NONE, NONE},
    {Calendar3, false, false, 0, TITLE(readTitle(0x89)), COMMANDS(readRange(0x89, 0x94))},
    {ArchiveRead3, false, false, 0, TITLE(listRecordTitle(ArchiveList)), NONE},
    {VectorDiagram, false, false, 0, TITLE(operationTitle(Operation::VectorDiagram)),
     COMMANDS(measures::diagramCommands())},
    {SaveModel, true, false, 0, TITLE(writeTitle(0x20)), NONE},
    {DeviceIDSpec, false, false, 0, TITLE(readTitle(0x44)),
     COMMANDS(reads({0x44}) << sessionClose())},
};
// clang-format on
#undef TITLE
#undef COMMANDS
#undef NONE

static_assert(std::size(kKinds) == LastKind + 1, "one entry per kind");

} // namespace

const KindInfo *find(int kind)
{
    if (kind < 0 || kind > LastKind)
        return nullptr;
    return &kKinds[kind];
}

QString title(int kind)
{
    const KindInfo *info = find(kind);
    return info && info->title ? info->title() : QString();
}

QStringList fixedCommands(int kind)
{
    const KindInfo *info = find(kind);
    return info && info->commands ? info->commands() : QStringList();
}

} // namespace requestkinds
