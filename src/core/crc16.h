#pragma once

#include <QByteArray>
#include <QtGlobal>

// CRC-16/MODBUS (reflected 0xA001, initial 0xFFFF, no final inversion), table-driven. The low
// byte of the result goes on the wire first.
namespace crc16
{

quint16 modbus(const char *data, qsizetype len);
inline quint16 modbus(const QByteArray &data)
{
    return modbus(data.constData(), data.size());
}

} // namespace crc16
