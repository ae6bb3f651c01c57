#pragma once

#include <QByteArray>

// The meter wire frame: address field, payload, CRC-16/MODBUS low byte first.
namespace wireframe
{

// Address field by `addressSize`: 1 - the low 8 bits of `address`; 4 - the 32-bit value, least
// significant byte first (a meter's serial number); anything else - one zero byte.
QByteArray make(int address, char addressSize, const QByteArray &payload);

// Whether the last two bytes of `packet` are the CRC of the bytes before them. A packet of fewer
// than two bytes cannot carry a CRC and never matches; two bytes match only as FF FF.
bool crcMatches(const QByteArray &packet);

} // namespace wireframe
