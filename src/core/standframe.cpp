#include "core/standframe.h"

namespace standframe
{
namespace
{
// MBAP header (transaction 0, protocol 0, length, unit 1), function 0F, first coil 0, 24 coils.
const char kAck[] = "\x00\x00\x00\x00\x00\x06\x01\x0f\x00\x00\x00\x18";
const char kRequestHead[] = "\x00\x00\x00\x00\x00\x0a\x01\x0f\x00\x00\x00\x18\x03";
} // namespace

quint32 positionMask(int position)
{
    if (position < 1 || position > kPositions)
        return 0;
    return quint32(1) << (position - 1);
}

QByteArray selectRequest(int position)
{
    QByteArray r(kRequestHead, sizeof kRequestHead - 1);
    const quint32 mask = positionMask(position);
    r.append(char(mask & 0xff));
    r.append(char((mask >> 8) & 0xff));
    r.append(char((mask >> 16) & 0xff));
    return r;
}

QByteArray acknowledgement()
{
    return QByteArray(kAck, sizeof kAck - 1);
}

bool isAcknowledgement(const QByteArray &reply)
{
    return reply == acknowledgement();
}

} // namespace standframe
