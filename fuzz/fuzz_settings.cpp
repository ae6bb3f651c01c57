// Replies for the parameters and limits pages: link, display, limits, pulse mode, password and
// serial-number decoders must stay inside each reply, give only values the pages can show, and
// leave their output alone when they refuse a reply. The input is a run of replies, each a length
// byte and that many bytes (the last one cut short by the end of the input).
#include "core/settingsdecoders.h"
#include "replies.h"

#include <QList>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> replies = fuzzReplies(data, size);
    for (const QByteArray &r : replies) {
        settings::Link link;
        link.address = -1;
        const ReplyCheck l = settings::decodeLink(r, &link);
        if (l == ReplyCheck::Ok ? link.baudIndex < 0 || link.baudIndex >= settings::kBaudItems
                                : link.address != -1)
            __builtin_trap();
        if (l == ReplyCheck::Ok && settings::linkWrite(link).size() != 2)
            __builtin_trap();

        for (const MeterSeries s :
             {MeterSeries::SinglePhase, MeterSeries::ThreePhase, MeterSeries::Unrecognised}) {
            settings::Display d;
            const ReplyCheck c = settings::decodeDisplay(s, r, &d);
            if (c == ReplyCheck::Ok ? d.items.size() != settings::displayItems(s)
                                    : !d.items.isEmpty())
                __builtin_trap();
            if (c == ReplyCheck::Ok && settings::displayWrite(s, d).split(' ').size() != 5)
                __builtin_trap();
        }

        int index = -1;
        const ReplyCheck p = settings::decodePulseMode(r, &index);
        if (p == ReplyCheck::Ok ? index < 0 || index >= settings::kPulseModes : index != -1)
            __builtin_trap();

        QByteArray pwd = "kept";
        const ReplyCheck w = settings::decodePassword(r, &pwd);
        if (w == ReplyCheck::Ok ? pwd.size() != 6 : pwd != "kept")
            __builtin_trap();

        QByteArray serial = "kept";
        const ReplyCheck n = settings::decodeSerial(r, &serial);
        if (n == ReplyCheck::Ok ? serial.size() > settings::kSerialBytes || serial.contains('\0')
                                : serial != "kept")
            __builtin_trap();
        if (n == ReplyCheck::Ok && settings::serialWrite(serial).split(' ').size() != 17)
            __builtin_trap();
    }

    settings::Limits limits;
    limits.voltageLow = -1;
    const ReplyCheck c = settings::decodeLimits(replies.constData(), int(replies.size()), &limits);
    if (c == ReplyCheck::Ok) {
        if (limits.voltageLow < 0 || limits.loadThreshold < 0 || limits.loadThreshold > 0xffff)
            __builtin_trap();
        if (settings::limitsWrite(limits).size() != 5)
            __builtin_trap();
    } else if (limits.voltageLow != -1) {
        __builtin_trap();
    }
    return 0;
}
