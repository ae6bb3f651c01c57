// Replies for the clock page: the time, daylight-saving and clock-coefficient decoders must stay
// inside each reply and leave their output alone when they refuse one. The input is a run of
// replies, each a length byte and that many bytes (the last one cut short by the end of the
// input).
#include "core/clockdecoders.h"
#include "replies.h"

#include <QList>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> replies = fuzzReplies(data, size);
    const QDateTime untouched(QDate(2001, 2, 3), QTime(4, 5, 6));
    for (const QByteArray &r : replies) {
        QDateTime t = untouched;
        const ReplyCheck time = meterclock::decodeTime(r, &t);
        if (time == ReplyCheck::Ok) {
            if (!t.isValid() || t.date().year() < 2000 || t.date().year() > 2255)
                __builtin_trap();
            (void)meterclock::differenceText(t, untouched);
            (void)meterclock::timeWrite(t);
        } else if (t != untouched) {
            __builtin_trap();
        }

        bool automatic = false;
        if (meterclock::decodeTimeMode(r, &automatic) != ReplyCheck::Ok && automatic)
            __builtin_trap();

        qint32 value = 12345;
        const ReplyCheck c = meterclock::decodeCoefficient(r, &value);
        if (c != ReplyCheck::Ok && value != 12345)
            __builtin_trap();
        if (c == ReplyCheck::Ok && meterclock::coefficientWrite(value).size() > 11)
            __builtin_trap();
    }
    return 0;
}
