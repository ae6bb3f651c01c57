#include "metersim/simframe.h"

namespace simframe {

quint16 crc(const QByteArray &bytes)
{
    // Bit by bit rather than by table: slower, but nothing shared with the program's tables.
    quint16 c = 0xffff;
    for (const char byte : bytes) {
        c ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? quint16((c >> 1) ^ 0xa001) : quint16(c >> 1);
    }
    return c;
}

QByteArray make(quint32 address, int addressSize, const QByteArray &payload)
{
    const int fieldSize = addressSize == 4 ? 4 : 1;
    QByteArray f;
    f.reserve(fieldSize + payload.size() + 2);
    for (int i = 0; i < fieldSize; ++i)
        f.append(char((address >> (8 * i)) & 0xff));
    f.append(payload);
    const quint16 c = crc(f);
    f.append(char(c & 0xff));
    f.append(char(c >> 8));
    return f;
}

bool crcMatches(const QByteArray &frame)
{
    const qsizetype n = frame.size();
    if (n < 2)
        return false;
    const quint16 c = crc(frame.left(n - 2));
    return quint8(frame[n - 2]) == (c & 0xff) && quint8(frame[n - 1]) == (c >> 8);
}

} // namespace simframe
