#include "core/devicerecord.h"

#include <limits>

bool DeviceRecord::usesSerialNumber() const
{
    for (const char c : serialNumber)
        if (c != '0')
            return true;
    return false;
}

qint32 DeviceRecord::serialAsNumber() const
{
    const QByteArray tail = serialNumber.right(10);
    if (tail.isEmpty())
        return 0;
    for (const char c : tail)
        if (c < '0' || c > '9')
            return 0;
    // Ten digits at most: always fits in 64 bits.
    const qint64 value = tail.toLongLong();
    if (value > std::numeric_limits<qint32>::max())
        return 0;
    return qint32(value);
}

QString DeviceRecord::rowText() const
{
    const QString addr = QStringLiteral("<strong>%1</strong>").arg(address);
    const QString name = version.toHtmlEscaped();
    if (standMode)
        return addr + QStringLiteral(" / %1 / ").arg(standAddr) + name;
    if (usesSerialNumber())
        return QString::fromLatin1(serialNumber).toHtmlEscaped() + QStringLiteral(" / ") + addr +
               QStringLiteral(" / ") + name;
    return addr + QStringLiteral(" / ") + name;
}

bool DeviceRecord::duplicates(const DeviceRecord &listed) const
{
    const bool samePlace =
        listed.address == address && (!standMode || listed.standAddr == standAddr);
    if (samePlace) {
        // Without a real serial number both are reached by the one-byte address alone, so an
        // empty serial number and one of zeros are the same meter.
        if (!usesSerialNumber() && !listed.usesSerialNumber())
            return true;
        return listed.serialNumber == serialNumber;
    }
    return listed.serialNumber == serialNumber && usesSerialNumber();
}

bool listOrderLess(const DeviceRecord &a, const DeviceRecord &b)
{
    if (a.address != b.address)
        return a.address < b.address;
    return a.standAddr < b.standAddr;
}
