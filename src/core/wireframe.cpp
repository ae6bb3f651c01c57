#include "core/wireframe.h"

#include "core/crc16.h"

namespace wireframe
{

QByteArray make(int address, char addressSize, const QByteArray &payload)
{
    QByteArray f;
    f.reserve(4 + payload.size() + 2);
    const quint32 a = quint32(address);
    if (addressSize == 1) {
        f.append(char(a & 0xff));
    } else if (addressSize == 4) {
        for (int shift = 0; shift < 32; shift += 8)
            f.append(char((a >> shift) & 0xff));
    } else {
        f.append('\0');
    }
    f.append(payload);
    const quint16 crc = crc16::modbus(f);
    f.append(char(crc & 0xff));
    f.append(char(crc >> 8));
    return f;
}

bool crcMatches(const QByteArray &packet)
{
    const qsizetype n = packet.size();
    if (n < 2)
        return false;
    const quint16 crc = crc16::modbus(packet.constData(), n - 2);
    return quint8(packet[n - 2]) == (crc & 0xff) && quint8(packet[n - 1]) == (crc >> 8);
}

} // namespace wireframe
