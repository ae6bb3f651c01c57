// A reply from the line against the request it came in for: the engine's rules must stay inside
// both buffers and agree with each other. Byte 0 is the address size, byte 1 the length of the
// request text that follows; the rest is the packet.
#include "core/commandtext.h"
#include "core/exchangerules.h"
#include "core/hextext.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int addressSize = (data[0] & 1) ? 4 : 1;
    const size_t textLength = qMin<size_t>(data[1], size - 2);
    const QString text =
        QString::fromLatin1(reinterpret_cast<const char *>(data + 2), qsizetype(textLength));
    const QByteArray packet(reinterpret_cast<const char *>(data + 2 + textLength),
                            qsizetype(size - 2 - textLength));

    const QByteArray request = commandtext::parse(text);
    if (request.size() > text.size())
        __builtin_trap();
    if (commandtext::isValidConsoleText(text) && request.isEmpty())
        __builtin_trap();

    const QByteArray reply = exchangerules::stripFrame(packet, addressSize);
    if (reply.size() > packet.size())
        __builtin_trap();
    const exchangerules::Verdict verdict = exchangerules::judge(reply, request);
    if (verdict == exchangerules::Verdict::ErrorReply)
        (void)exchangerules::errorMessage(exchangerules::errorCode(reply));
    if (verdict == exchangerules::Verdict::Echo && reply != request)
        __builtin_trap();
    for (const QByteArray &bytes : {reply, packet}) {
        if (!exchangerules::isVersionReply(bytes))
            continue;
        const QString version = exchangerules::versionText(bytes);
        if (version.size() > bytes.size())
            __builtin_trap();
        (void)exchangerules::versionLacksSerialNumbers(version);
    }
    (void)hextext::fromBytes(packet);
    return 0;
}
