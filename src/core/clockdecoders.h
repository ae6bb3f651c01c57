#pragma once

#include "core/meterseries.h"
#include "core/replycheck.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The meter clock: the date-time record of "01 0e" and "0a 0e", how far the meter is from the
// time written, the daylight-saving flag and the clock calibration coefficient. Replies are as
// the engine hands them over (function, object, data length N, data); nothing here reads past
// a reply, and a refused reply leaves the output alone.
namespace meterclock {

// Data bytes 0..6: seconds, minutes, hours, day of week (ignored), day, month, year - 2000, as
// local time. Short when fewer than 7; BadValue when they are no date and time.
ReplyCheck decodeTime(const QByteArray &reply, QDateTime *time);

// Sunday 1, Monday 2 ... Saturday 7.
int dayOfWeekByte(const QDate &date);

// "0a 0e " + seconds, minutes, hours, day of week, day, month, year byte, each plain lower-case
// hex (09:05:30 on Monday 7 December 2026: "0a 0e 1e 5 9 2 7 c 1a"). The year byte is year - 2000,
// or 0 for 2000 and before.
QString timeWrite(const QDateTime &time);

// How far the meter's clock `device` is from the time written, `written`: "+" when the meter is
// ahead (or equal), "-" behind, the whole days, a blank, then "hh:mm:ss" ("+0 00:00:05").
// Across midnight the time part borrows a day against 86399999 ms when the meter is ahead and
// 86400001 ms when it is behind, so such a difference can be a second off the exact one.
QString differenceText(const QDateTime &device, const QDateTime &written);

// Data byte 0 not 0. Short without a data byte.
ReplyCheck decodeTimeMode(const QByteArray &reply, bool *automatic);
// "02 23 01" when automatic, else "02 23 00".
QString timeModeWrite(bool automatic);

// The signed little-endian number of the N data bytes (N 1 to 4), sign-extended from N bytes.
// Short when the reply holds fewer than N; BadValue when N is 0 or above 4.
ReplyCheck decodeCoefficient(const QByteArray &reply, qint32 *value);
// "02 22 " + low + " " + high byte of `value` taken as signed 16 bits: 300 is "02 22 2c 1".
QString coefficientWrite(int value);

// The coefficient that corrects a clock gaining `secondsPerDay`: single-phase 1440 / d truncated
// (0 for d = 0 or outside -32768..32767), three-phase (1 - 4095.5 / 4096 x (1 + d / 86400)) x
// 1048576 truncated, 0 for an unrecognised series.
int coefficientFromError(MeterSeries series, double secondsPerDay);

} // namespace meterclock
