// Any "session.cfg", short, long or garbage: decoding stays inside the buffer and gives a record
// the dialog can show.
#include "core/sessionparameters.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray file(reinterpret_cast<const char *>(data), qsizetype(size));
    const SessionParameters p = sessioncfg::decode(file);
    if (p.level() < 0 || p.level() >= SessionParameters::kLevels)
        __builtin_trap();
    if (sessioncfg::encode(p).size() != sessioncfg::kRecordSize)
        __builtin_trap();
    return 0;
}
