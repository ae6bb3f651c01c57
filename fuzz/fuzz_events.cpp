// Event records of the three lists for both series: five cells, the code as sixteen binary
// digits or "-". The input is one record as the engine hands it over.
#include "core/catalogue.h"
#include "core/recorddecoders.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray record(reinterpret_cast<const char *>(data), qsizetype(size));
    const int lists[] = {catalogue::MessageList, catalogue::ErrorList, catalogue::WarningList,
                         record.size() > 1 ? quint8(record[1]) : 0};
    for (const int list : lists)
        for (const MeterSeries s :
             {MeterSeries::SinglePhase, MeterSeries::ThreePhase, MeterSeries::Unrecognised}) {
            const QStringList row = records::eventRow(list, s, record, 254);
            if (row.size() != 5 || (row[3].size() != 16 && row[3] != QLatin1String("-")))
                __builtin_trap();
        }
    return 0;
}
