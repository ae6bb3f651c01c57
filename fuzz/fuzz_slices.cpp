// Energy slice records of both series: every row has the columns of its table and no cell
// reads past its record. The input is one record as the engine hands it over; its size and
// count replies are read from it too.
#include "core/recorddecoders.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray record(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const MeterSeries s :
         {MeterSeries::SinglePhase, MeterSeries::ThreePhase, MeterSeries::Unrecognised}) {
        if (records::sliceRow(s, record).size() != records::sliceHeader(s).size())
            __builtin_trap();
    }
    if (const std::optional<int> n = records::listCount(record);
        n && (*n < 0 || *n > 0xffff || records::readableRecords(*n) > 255))
        __builtin_trap();
    return 0;
}
