// Any meter-list file: the reader stays inside the input, and every serial number it gives is one
// whole 15-character line.
#include "core/meterlistfile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray file(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<QByteArray> serials = meterlistfile::parse(file);
    // Each serial number takes its 15 characters and a line end, but the last's.
    if (serials.size() * qsizetype(meterlistfile::kSerialLength + 1) > file.size() + 1)
        __builtin_trap();
    qsizetype at = 0;
    for (const QByteArray &s : serials) {
        if (s.size() != meterlistfile::kSerialLength || s.contains('\n') ||
            file.indexOf(s, at) != at)
            __builtin_trap();
        at += s.size();
        at += file.mid(at, 2) == "\r\n" ? 2 : 1;
    }
    return 0;
}
