// Holiday files: whatever a file holds, the reader gives the 40 cells of the table, none longer
// than 7 characters, and the write of the table stays one byte pair a row.
#include "core/holidays.h"
#include "core/schedulefiles.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray file(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList cells = schedulefiles::decodeHcf(file);
    if (cells.size() != holidays::kCells)
        __builtin_trap();
    for (const QString &c : cells)
        if (c.size() > 7 || c.contains(QLatin1Char('\n')))
            __builtin_trap();
    if (holidays::write(cells).split(' ').size() != 2 + holidays::kCells)
        __builtin_trap();
    for (int i = 0; i < cells.size(); ++i)
        (void)holidays::normalised(cells[i], i % 2 == 1);
    // What was read is saved as 40 lines.
    if (schedulefiles::encodeHcf(cells).count('\n') != holidays::kCells)
        __builtin_trap();
    return 0;
}
