#pragma once

#include "core/meterseries.h"
#include "core/replycheck.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The meter settings pages: link, display, limits, pulse output, passwords, serial number and
// model. Decoders take replies as the engine hands them over (function, object, data length N,
// data), read nothing past a reply and leave their output alone when they refuse one; builders
// give the command texts, data bytes in plain lower-case hex unless said otherwise.
namespace settings {

// Communication settings, in the order of the "01 29" reply.
struct Link
{
    int address = 255;
    int attempts = 3;
    int baudIndex = 5; // 300, 600, 1200, 2400, 4800, 9600
    int holdMinutes = 10;
    int blockMinutes = 30;
};
constexpr int kBaudItems = 6;
// Address 255, 3 attempts, 9600 baud, 10 minutes hold, 30 minutes block.
Link standardLink();
// Short below 5 data bytes; BadValue for a baud index above 5.
ReplyCheck decodeLink(const QByteArray &reply, Link *link);
// "02 0d 05", which readies the meter for new link settings, then "02 29" + the five bytes.
QStringList linkWrite(const Link &link);

// Display settings, three bytes. Single-phase: seconds per item, then items 0..7 in the bits of
// byte 1 and items 8..10 in bits 0..2 of byte 2. Three-phase: switching period, menu delay, items
// 0..7 in the bits of byte 2.
struct Display
{
    int seconds = 0;
    int menuDelay = 0; // three-phase
    QList<bool> items; // missing items count as off
};
// 11 single-phase, 8 three-phase, 0 unrecognised.
int displayItems(MeterSeries series);
// Single-phase: 10 s; total energy, tariffs 1 and 2, power, voltage, current, date and time.
Display standardDisplay();
// Short below 3 data bytes; BadValue for an unrecognised series.
ReplyCheck decodeDisplay(MeterSeries series, const QByteArray &reply, Display *display);
// "02 0b " + the three bytes ("02 0b a e7 3"); "" for an unrecognised series.
QString displayWrite(MeterSeries series, const Display &display);

// Volts, volts, watts with three decimals; the load threshold in whole watts.
struct Limits
{
    double voltageLow = 180;
    double voltageHigh = 260;
    double power = 22500;
    bool relayClosed = false; // "выход замкнут, светодиод погашен"
    int loadThreshold = 22500;
};
Limits standardLimits();
// The replies of "01 24", "01 25", "01 28", "01 40", "01 41" in that order (`count` of them):
// unsigned little-endian thousandths, the relay byte, the threshold. Short when one is missing or
// holds fewer bytes than it claims, or none; BadValue when one claims more than 4.
ReplyCheck decodeLimits(const QByteArray *replies, int count, Limits *limits);
// "02 24 " + 3 bytes, "02 25 " + 3 bytes, "02 28 " + 4 bytes of the thousandths, "02 40 " + 1 or
// 0, "02 41 " + 2 bytes. Values are rounded to the thousandth the boxes show (195.5 V is
// "02 24 ac fb 2") and held to what their bytes can carry.
QStringList limitsWrite(const Limits &limits);

// Pulse output mode: the index of its seven items.
constexpr int kPulseModes = 7;
// Short without a data byte; BadValue above 6.
ReplyCheck decodePulseMode(const QByteArray &reply, int *index);
QString pulseModeWrite(int index);

// Passwords of levels 0, 1, 2: "01 2a", "01 2b", "01 2c"; "" for another level.
QString passwordRead(int level);
// The six data bytes. Short below 6.
ReplyCheck decodePassword(const QByteArray &reply, QByteArray *password);
// "02 2a " + each byte as two hex digits and a blank; "" for another level.
QString passwordWrite(int level, const QByteArray &password);

// Serial number: 15 bytes. The text up to the first zero byte. Short below 15.
constexpr int kSerialBytes = 15;
ReplyCheck decodeSerial(const QByteArray &reply, QByteArray *serial);
// "02 44 " + the first 15 bytes as two-digit pairs, then "00" up to 15.
QString serialWrite(const QByteArray &serial);

// Model name of a three-phase meter: "02 20" + " " and the plain hex code of each of the first
// 32 characters, then " 0" up to 32 bytes.
constexpr int kModelBytes = 32;
QString modelWrite(const QByteArray &model);

} // namespace settings
