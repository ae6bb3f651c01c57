// Any received packet: the CRC check and its log rendering must stay inside the buffer.
#include "core/hextext.h"
#include "core/wireframe.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray packet(reinterpret_cast<const char *>(data), qsizetype(size));
    const bool ok = wireframe::crcMatches(packet);
    const QString text = hextext::fromBytes(packet);
    if (text.size() != packet.size() * 3)
        __builtin_trap();
    if (size >= 1) {
        // A frame built from the packet's payload always checks.
        const QByteArray frame = wireframe::make(data[0], char(size % 5), packet.mid(1));
        if (!wireframe::crcMatches(frame))
            __builtin_trap();
    }
    (void)ok;
    return 0;
}
