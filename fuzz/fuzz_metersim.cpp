// Feeds arbitrary request sequences to a line of two virtual meters (one per series) with open
// developer sessions. Input: records of [length][selector][payload of `length` bytes]; selector
// bit 0 picks the meter, bit 1 the four-byte serial address, bit 2 breaks the CRC, bits 3-7 move
// the clock on by that many minutes first.
#include "metersim/faultplan.h"
#include "metersim/manualclock.h"
#include "metersim/simframe.h"
#include "metersim/simline.h"
#include "metersim/simmeter.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace
{
MeterConfig meter(const char *name, int address, const char *serial)
{
    MeterConfig c;
    c.name = name;
    c.address = address;
    c.serial = serial;
    return c;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ManualClock clock(QDateTime(QDate(2024, 2, 28), QTime(23, 50)));
    SimLine line;
    SimMeter *meters[2] = {
        line.addMeter(std::make_unique<SimMeter>(meter("210.1", 1, "000000000000011"), &clock, 1)),
        line.addMeter(
            std::make_unique<SimMeter>(meter("450.42R", 2, "000000000000022"), &clock, 2)),
    };
    const quint32 serials[2] = {11, 22};
    for (SimMeter *m : meters)
        m->handle(QByteArray::fromHex("08023c91e4075bd2"));

    size_t at = 0;
    while (at + 2 <= size) {
        const size_t length = data[at];
        const uint8_t selector = data[at + 1];
        at += 2;
        const size_t n = length < size - at ? length : size - at;
        const QByteArray payload(reinterpret_cast<const char *>(data + at), int(n));
        at += n;
        clock.advance(qint64(selector >> 3) * 60000);
        const int which = selector & 1;
        QByteArray frame = (selector & 2) ? simframe::make(serials[which], 4, payload)
                                          : simframe::make(meters[which]->address(), 1, payload);
        if (selector & 4)
            frame[frame.size() - 1] = char(frame[frame.size() - 1] ^ 0x01);
        for (const SimLine::Chunk &c : line.handleFrame(frame))
            if (c.bytes.size() > 300 || c.delayMs < 0)
                __builtin_trap();
    }
    return 0;
}
