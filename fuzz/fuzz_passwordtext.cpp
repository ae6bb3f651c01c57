// Typed password views: any text converts both ways without overflow.
#include "core/passwordtext.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString typed = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = passwordtext::hexToText(typed);
    const QString hex = passwordtext::textToHex(text);
    if (hex.size() > passwordtext::kHexViewLength)
        __builtin_trap();
    const QByteArray stored = passwordtext::toBytes(text);
    if (stored.size() != passwordtext::kBytes)
        __builtin_trap();
    (void)passwordtext::fromBytes(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
