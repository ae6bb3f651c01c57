#pragma once

#include "core/devicerecord.h"

#include <QMetaType>

// A meter-list record for tests: address, optional serial number and stand position.
inline DeviceRecord meterRecord(int address, const QByteArray &serial = QByteArray(),
                                int standAddr = 0, bool standMode = false)
{
    DeviceRecord r;
    r.address = address;
    r.serialNumber = serial;
    r.standAddr = standAddr;
    r.standMode = standMode;
    return r;
}

Q_DECLARE_METATYPE(DeviceRecord)
