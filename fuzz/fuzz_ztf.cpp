// Tariff schedule files: the reader takes a whole table or nothing, and what it took writes back
// as the bytes it came from.
#include "core/schedulefiles.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray file(reinterpret_cast<const char *>(data), qsizetype(size));
    int zones = -1;
    tariff::Table table;
    const schedulefiles::ZtfCheck check = schedulefiles::decodeZtf(file, &zones, &table);
    if (check != schedulefiles::ZtfCheck::Ok) {
        if (zones != -1 || !table.isEmpty() || schedulefiles::ztfReason(check, file).isEmpty())
            __builtin_trap();
        return 0;
    }
    if (!tariff::validZones(zones) || table.size() != tariff::kMonths)
        __builtin_trap();
    if (schedulefiles::encodeZtf(zones, table) != file.left(schedulefiles::ztfSize(zones)))
        __builtin_trap();
    for (int m = 0; m < tariff::kMonths; ++m)
        (void)tariff::monthWrite(zones, m, table[m]);
    return 0;
}
