#pragma once

#include <QString>
#include <QStringList>

// The request kinds of the configurator: what each batch is, which page frame it holds disabled
// while it runs, what it logs, and the commands of the kinds whose commands never change. The
// window binds a decoder to each kind; this table is the rest.
namespace requestkinds {

enum Kind {
    Measures = 0,
    NowMeasures = 11,
    DeviceInfo = 12,
    EventRecords = 19,
    SliceDayRecords = 32,
    SliceMonthRecords = 34,
    SessionOpen = 43,
    FactoryInit = 48,
    Measures3 = 53,
    NowMeasures3 = 54,
    VectorDiagram = 61,
    LastKind = 63,
};

struct KindInfo
{
    int kind;
    // Object name of the page frame disabled while the batch runs; nullptr for none.
    const char *frame;
    // Logged when the batch starts; nullptr when the starting page logs a title of its own.
    const char *title;
    // The group-work controller may run the kind for every checked meter.
    bool group;
    // Built from list sizes: no session-open command, entry 0 is already a read.
    bool followUp;
    // Reply allowance handed to the engine; 0 for its default.
    int ackTimeOut;
    // The commands after the session-open command when they never change: a list, or the
    // function that gives it; neither when the starting page builds them from its data.
    const char *const *commands;
    int commandCount;
    QStringList (*build)();
};

// The entry of `kind`, or nullptr for a number that is no kind.
const KindInfo *find(int kind);

// The fixed commands of `kind` (empty when its page builds them).
QStringList fixedCommands(int kind);

} // namespace requestkinds
