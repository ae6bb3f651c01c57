// A batch of replies for the measurements page (and a session open's): every decoder and table must
// stay inside each reply and give one value per row. The input is a run of replies, each a length
// byte and that many bytes (the last one cut short by the end of the input).
#include "core/batchrules.h"
#include "core/measuredecoders.h"
#include "core/phasors.h"
#include "replies.h"

#include <QList>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> replies = fuzzReplies(data, size);
    const int count = int(replies.size());

    for (const QByteArray &r : replies) {
        QByteArray d;
        (void)measures::dataBytes(r, &d);
        if (d.size() > qMax<qsizetype>(0, r.size() - 3))
            __builtin_trap();
        qint32 v = 0;
        (void)measures::decodeBcdSwapped(r, &v);
        if (measures::decodeSignedLE(r, &v))
            (void)measures::formatG6(v / 1000.0);
        if (measures::deviceText(r).size() > r.size())
            __builtin_trap();
        const qsizetype id = measures::identifierText(r).size();
        if (id < 4 || id > 8)
            __builtin_trap();
    }
    for (const MeterSeries s :
         {MeterSeries::SinglePhase, MeterSeries::ThreePhase, MeterSeries::Unrecognised}) {
        if (measures::energyValues(s, replies.constData(), count).size() !=
                measures::energyLabels(s).size() ||
            measures::instantValues(s, replies.constData(), count).size() !=
                measures::instantLabels(s).size())
            __builtin_trap();
    }
    if (measures::deviceInfoValues(replies.constData(), count).size() != 3)
        __builtin_trap();

    // A session open's replies, as the configurator and meterjob read them.
    const batchrules::SessionReplies opened = batchrules::sessionReplies(replies);
    if (opened.linkRead && (opened.address > 255 || opened.holdMinutes < 1))
        __builtin_trap();
    if (batchrules::ownReplies(43, replies).size() != qMax(0, count - 1))
        __builtin_trap();

    double values[9] = {};
    if (measures::diagramValues(replies.constData(), count, values))
        (void)phasors::compute(values, values + 3, values + 6);
    return 0;
}
