#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QtGlobal>

// The meter's own encoders of its reply layouts. They are written independently of the program's
// decoders on purpose: a decoder that misreads a layout then fails against them.
namespace simwire
{

// Reply payload: function, object, data length, data.
QByteArray reply(quint8 function, quint8 object, const QByteArray &data = QByteArray());
// Error reply: the function with its top bit set, then the error code.
QByteArray errorReply(quint8 function, quint8 code);

// Eight decimal digits in four bytes, least significant pair first; each byte holds the tens
// digit of its pair in the low nibble and the units digit in the high nibble (12 goes out as
// 0x21). Values of 10^8 or more keep their last eight digits; negative values are sent as 0.
QByteArray bcdSwapped(qint64 value);

// `bytes` bytes of `value`, least significant first (two's complement for negative values).
QByteArray littleEndian(qint64 value, int bytes);
// The number in `data` from `offset`, `bytes` bytes, least significant first; signed when asked.
// Bytes beyond the end of `data` read as zero.
qint64 readLittleEndian(const QByteArray &data, int offset, int bytes, bool isSigned);

// Date-time record: seconds, minutes, hours, day of week (1 Sunday .. 7 Saturday), day, month,
// year - 2000.
QByteArray dateTime(const QDateTime &t);
// Day of week as the meter counts it: 1 Sunday, 2 Monday .. 7 Saturday.
int meterDayOfWeek(const QDate &d);
// The record read back; invalid when a field is out of range or the date does not exist.
QDateTime parseDateTime(const QByteArray &record);

} // namespace simwire
