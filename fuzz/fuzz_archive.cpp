// Archive records read for each kind of meter: every row has the table's columns, the energies
// are there or not a number, and the parameters' replies give a selectable period. The input is
// one record as the engine hands it over.
#include "core/recorddecoders.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray record(reinterpret_cast<const char *>(data), qsizetype(size));
    using E = records::ArchiveEnergy;
    for (const E e : {E::SinglePhase, E::ThreePhase, E::ThreePhase42, E::NotThreePhase}) {
        const records::ArchiveRecord r = records::archiveRecord(e, record, 65535);
        if (r.cells.size() != records::archiveHeader(e != E::SinglePhase).size())
            __builtin_trap();
        if (std::isfinite(r.active) && (r.active < 0 || r.active > 65535 / 100.0))
            __builtin_trap();
    }
    if (const std::optional<int> p = records::archivePeriodIndex(record); p && (*p < 0 || *p > 4))
        __builtin_trap();
    (void)records::archiveSize(record);
    return 0;
}
