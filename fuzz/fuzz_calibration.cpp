// Replies of the calibration page: the coefficient blocks, the measurement readings and the
// version must be read inside each reply, leave their output alone when refused, and give the
// formulas nothing they cannot take. The input is a run of replies, each a length byte and that
// many bytes (the last one cut short by the end of the input).
#include "core/calibration.h"
#include "core/measuredecoders.h"
#include "core/meterseries.h"
#include "replies.h"

#include <QList>

#include <cmath>
#include <cstddef>
#include <cstdint>

using calibration::Step;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> replies = fuzzReplies(data, size);
    for (const QByteArray &r : replies) {
        for (const int count : {calibration::kSingleCount, calibration::kThreeCount}) {
            QList<qint32> block{42};
            if (calibration::decodeBlock(r, count, &block) != ReplyCheck::Ok) {
                if (block != QList<qint32>{42})
                    __builtin_trap();
            } else if (block.size() != count ||
                       (count == calibration::kSingleCount
                            ? calibration::singleWrite(block).size() != 2
                            : calibration::threeWrite(block).size() != 2)) {
                __builtin_trap();
            }
        }
        qint32 value = 12345;
        if (calibration::decodeValue(r, &value) != ReplyCheck::Ok && value != 12345)
            __builtin_trap();
        if (!std::isfinite(calibration::versionNumber(measures::deviceText(r))))
            __builtin_trap();
    }

    const int count = int(replies.size());
    for (const Step step :
         {Step::Voltage, Step::Power, Step::Phase, Step::PowerOffset, Step::StartCurrent}) {
        float average = -7.0f;
        if (calibration::singleAverage(step, replies.constData(), count, &average) !=
            ReplyCheck::Ok) {
            if (average != -7.0f)
                __builtin_trap();
            continue;
        }
        if (!std::isfinite(average))
            __builtin_trap();
        (void)calibration::singleCoefficient(step, average);
        (void)calibration::plausible(average, calibration::singleWindow(step));
    }
    float averages[3] = {-7.0f, -7.0f, -7.0f};
    bool zero[3] = {false, false, false};
    if (calibration::phaseAverages(replies.constData(), count - count % 3, averages, zero) ==
        ReplyCheck::Ok) {
        for (int p = 0; p < 3; ++p) {
            const float x = averages[p];
            // Readings are whole numbers: finite, and 0 has become 0.01.
            if (x == 0.0f || !std::isfinite(x) || (zero[p] && x != 0.01f))
                __builtin_trap();
            for (const int variant : {42, 22, 21, 0})
                for (int procedure = 0; procedure <= 15; ++procedure) {
                    const calibration::Nominal n = calibration::nominal(variant);
                    (void)calibration::threeCoefficient(procedure, n, x);
                    (void)calibration::plausible(calibration::procedureQuantity(procedure, x),
                                                 calibration::procedureWindow(procedure, n));
                }
        }
    } else if (averages[0] != -7.0f || averages[1] != -7.0f || averages[2] != -7.0f) {
        __builtin_trap();
    }
    return 0;
}
