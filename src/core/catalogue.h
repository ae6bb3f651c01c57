#pragma once

#include <QString>
#include <QtGlobal>

// The meter's command vocabulary as data: functions, the objects read and written, the service
// sub-commands and the lists, with the log titles of the operations, and the builders of the
// command texts whose data the program generates. Generated values are lower-case hex without
// leading zeros ("a", "14"); fixed bytes are two-digit lower-case pairs.
namespace catalogue {

enum Function : quint8 {
    Read = 0x01,
    Write = 0x02,
    ClearList = 0x05,
    ListSize = 0x06,
    ArchiveRecord = 0x07,
    OpenSession = 0x08,
    CloseSession = 0x09,
    SetClock = 0x0a,
    EventRecord = 0x0b,
    SliceRecord = 0x0c,
};

// Function 02 object 0d: the service command, one sub-command byte.
constexpr quint8 kServiceObject = 0x0d;

enum Service : quint8 {
    ResetReadings = 0x03,
    CalibrationSaved = 0x04,
    LinkWritePrepare = 0x05,
    BatteryReadPrepare = 0x06,
    FactoryInitialisation = 0x07,
    ShowAddress = 0x08,
    ConformityTest = 0x09,
};

// The lists: their object with functions 05, 06 and the record reads.
enum List : quint8 {
    ArchiveList = 0x10,
    ErrorList = 0x12,
    MessageList = 0x3b,
    WarningList = 0x3c,
    DaySliceList = 0x42,
    MonthSliceList = 0x43,
};

// Operations made of several objects, or of a function without an object of its own, that log a
// title of their own.
enum class Operation {
    OpenSession,
    CloseSession,
    SetClock,
    VectorDiagram,
    CalibrateVoltage,
    CalibratePower,
    CalibratePhase,
    CalibratePowerOffset,
    CalibrateCurrent,
    CalibrateActivePower,
    CalibrateApparentPower,
    CalibrateReactivePower,
};

struct FunctionEntry
{
    quint8 code;
    const char *meaning;
};
// A run of objects first..last that share a meaning and a log title (title null when the
// operation has none of its own).
struct ObjectEntry
{
    quint8 first;
    quint8 last;
    const char *meaning;
    const char *title;
};
struct ServiceEntry
{
    quint8 subCommand;
    const char *meaning;
    const char *title;        // log title, null when none
    const char *consoleEntry; // fast command of the console, null when none
};
struct ListEntry
{
    quint8 object;
    const char *meaning;
    quint8 recordFunction; // 07 archive, 0b events, 0c energy slices
    // Log titles of reading the size, reading the records and clearing; null when none.
    const char *sizeTitle;
    const char *recordTitle;
    const char *clearTitle;
};
struct OperationEntry
{
    Operation operation;
    const char *title;
};

template <typename T> struct Table
{
    const T *first;
    int count;
    const T *begin() const { return first; }
    const T *end() const { return first + count; }
};

Table<FunctionEntry> functions();
Table<ObjectEntry> objectsRead();    // ascending, runs do not overlap
Table<ObjectEntry> objectsWritten(); // ascending, runs do not overlap
Table<ServiceEntry> serviceCommands();
Table<ListEntry> lists();
Table<OperationEntry> operations();

// Plain lower-case hex without leading zeros: 10 -> "a", 20 -> "14", 0 -> "0".
QString hexValue(int value);

// "01 0e": function and object as two-digit pairs.
QString command(int function, int object);
// "02 0d 07".
QString serviceCommand(int subCommand);
// "09 01": the end of a session.
QString sessionClose();
// "06 3b", "05 3b".
QString listSizeRead(int list);
QString listClear(int list);
// "0b 3b b 00": an event record by index. Indices above 255 go out as low and high byte, as the
// meter reads the two bytes.
QString eventRecordRead(int list, int index);
// "0c 42 b 00": an energy slice record by index, likewise.
QString sliceRecordRead(int list, int index);
// "07 10 2c 1": archive record 300, low byte then high byte.
QString archiveRecordRead(int record);
// "02 3d 14": the archive period of 20 minutes.
QString archivePeriodWrite(int minutes);

// Log titles of the operation that reads or writes an object, or of a service sub-command; ""
// when it has none.
QString readTitle(int object);
QString writeTitle(int object);
QString serviceTitle(int subCommand);
QString listSizeTitle(int list);
QString listRecordTitle(int list);
QString listClearTitle(int list);
QString operationTitle(Operation operation);

} // namespace catalogue
