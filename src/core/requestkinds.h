#pragma once

#include <QString>
#include <QStringList>

// The request kinds of the configurator: what each batch is, what it logs, whether group work may
// repeat it, and the commands of the kinds whose commands never change. Titles and commands come
// from the command catalogue. The page that starts a kind knows its frame and decodes its replies.
namespace requestkinds {

enum Kind {
    Measures = 0,
    Holidays = 1,
    Calendar = 2,
    Tarif = 3,
    Time = 4,
    TimeMode = 5,
    Link = 6,
    Display = 7,
    Limit = 8,
    PulseSpec = 9,
    Archive = 10,
    NowMeasures = 11,
    DeviceInfo = 12,
    ClockCC = 13,
    CC = 14,
    ListSizes = 15,
    ClearMessages = 16,
    ClearErrors = 17,
    ClearWarnings = 18,
    EventRecords = 19,
    ArchiveRead = 20,
    ArchiveInit = 21,
    SaveTimeMode = 22,
    SaveTarif = 23,
    SaveTime = 24,
    SavePulseSpec = 25,
    SaveLimit = 26,
    SaveLink = 27,
    SaveDisplay = 28,
    SaveClockCC = 29,
    SaveCC = 30,
    SliceDaySize = 31,
    SliceDayRecords = 32,
    SliceMonthSize = 33,
    SliceMonthRecords = 34,
    ClearSliceDay = 35,
    ClearSliceMonth = 36,
    Calibration1 = 37,
    Calibration2 = 38,
    Calibration3 = 39,
    Calibration4 = 40,
    Calibration5 = 41,
    ResetLists = 42,
    SessionOpen = 43,
    SaveHolidays = 44,
    SaveCalendar = 45,
    LoadPwd = 46,
    SavePwd = 47,
    FactoryInit = 48,
    DeviceID = 49,
    SaveDeviceID = 50,
    ConformityTest = 51,
    CC3 = 52,
    Measures3 = 53,
    NowMeasures3 = 54,
    Display3 = 55,
    SaveDisplay3 = 56,
    SaveCC3 = 57,
    InitCalibration3 = 58,
    Calendar3 = 59,
    ArchiveRead3 = 60,
    VectorDiagram = 61,
    SaveModel = 62,
    DeviceIDSpec = 63,
    LastKind = 63,
};

struct KindInfo
{
    int kind;
    // The group-work controller may run the kind for every checked meter.
    bool group;
    // Built from list sizes: no session-open command, entry 0 is already a read.
    bool followUp;
    // Reply allowance handed to the engine; 0 for its default.
    int ackTimeOut;
    // Logged when the batch starts; null when the starting page logs a title of its own.
    QString (*title)();
    // The commands after the session-open command when they never change; null when the starting
    // page builds them from its data.
    QStringList (*commands)();
};

// The entry of `kind`, or nullptr for a number that is no kind.
const KindInfo *find(int kind);

// The title of `kind` ("" when its page logs its own, or for no kind).
QString title(int kind);

// The fixed commands of `kind` (empty when its page builds them).
QStringList fixedCommands(int kind);

} // namespace requestkinds
