#pragma once

#include <QByteArray>
#include <QtGlobal>

// The meter's own wire frame: address field, payload, CRC-16/MODBUS low byte first. Written apart
// from the program's frame code on purpose: a program that gets the CRC or the byte order wrong
// then meets a meter that refuses its frames, instead of one that shares the mistake.
namespace simframe {

// CRC-16/MODBUS (reflected polynomial 0xA001, initial 0xFFFF, no final inversion) of `bytes`.
quint16 crc(const QByteArray &bytes);

// Address field, `payload`, CRC low byte first. The address field is one byte (the low 8 bits of
// `address`) for `addressSize` 1, and the 32-bit value least significant byte first for 4 (a
// serial address); any other size is taken as 1.
QByteArray make(quint32 address, int addressSize, const QByteArray &payload);

// Whether the last two bytes of `frame` are the CRC of the bytes before them, low byte first.
// Fewer than two bytes never match; two bytes match only as FF FF (the CRC of nothing).
bool crcMatches(const QByteArray &frame);

} // namespace simframe
