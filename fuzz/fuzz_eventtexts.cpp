// The words of an event code: list byte, series byte, then the code (least significant byte
// first). Every selected text is one of the tables' own, joined by ", ".
#include "core/eventtexts.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    const MeterSeries series = MeterSeries(data[1] % 3);
    const quint16 code = quint16(data[2] | data[3] << 8);
    const QString text = eventtexts::text(data[0], series, code);
    if (code == 0 && text != QLatin1String("-"))
        __builtin_trap();
    // At most sixteen texts of some forty characters.
    if (text.size() > 16 * 64)
        __builtin_trap();
    return 0;
}
