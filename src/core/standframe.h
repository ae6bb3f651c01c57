#pragma once

#include <QByteArray>
#include <QtGlobal>

// The stand's switching block: a Modbus/TCP server with one coil per stand position, switched by
// Write Multiple Coils (big-endian fields, transaction 0, unit 1).
namespace standframe
{

constexpr int kPositions = 24;
constexpr quint16 kPort = 502;

// Coil states for a position: bit p-1 for p in 1..24, no bit at all (every meter off the line)
// for any other value.
quint32 positionMask(int position);

// The 16-byte request that sets all 24 coils to positionMask(position).
QByteArray selectRequest(int position);

// The block's 12-byte acknowledgement of that request.
QByteArray acknowledgement();

// Whether a read is exactly one acknowledgement; anything shorter, longer or different is not.
bool isAcknowledgement(const QByteArray &reply);

} // namespace standframe
