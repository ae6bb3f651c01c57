// Replies for the tariff page: the month, holiday and tariff-count decoders must stay inside each
// reply, give only what the tables can show and the writes can send, and leave their output alone
// when they refuse a reply. The input is a run of replies, each a length byte and that many bytes
// (the last one cut short by the end of the input).
#include "core/holidays.h"
#include "core/tariffschedule.h"
#include "replies.h"

#include <QList>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> replies = fuzzReplies(data, size);
    for (const QByteArray &r : replies) {
        for (const int zones : {8, 16}) {
            tariff::Month month(3);
            if (tariff::decodeMonth(zones, r, &month) != ReplyCheck::Ok) {
                if (month.size() != 3)
                    __builtin_trap();
                continue;
            }
            if (month.size() != zones)
                __builtin_trap();
            for (const tariff::Zone &z : month) {
                const bool empty = z.hour == 255 && z.minute == 255;
                if (!empty && !tariff::validTime(z.hour, z.minute))
                    __builtin_trap();
                for (quint8 t : z.tariffs)
                    if (empty ? t != 255 : t > 15)
                        __builtin_trap();
            }
            // Two tokens of the command, four a zone.
            if (tariff::monthWrite(zones, 0, month).split(' ').size() != 2 + 4 * zones)
                __builtin_trap();
        }

        QStringList cells{"kept"};
        if (holidays::decode(r, &cells) == ReplyCheck::Ok) {
            if (cells.size() != holidays::kCells)
                __builtin_trap();
            if (holidays::write(cells).split(' ').size() != 2 + holidays::kCells)
                __builtin_trap();
        } else if (cells != QStringList{"kept"}) {
            __builtin_trap();
        }

        for (const MeterSeries s :
             {MeterSeries::SinglePhase, MeterSeries::ThreePhase, MeterSeries::Unrecognised}) {
            int index = -1;
            const ReplyCheck c = tariff::decodeTariffCount(s, r, &index);
            if (c == ReplyCheck::Ok ? index < 0 || index >= tariff::tariffCountItems(s)
                                    : index != -1)
                __builtin_trap();
        }
    }
    return 0;
}
