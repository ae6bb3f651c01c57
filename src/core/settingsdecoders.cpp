#include "core/settingsdecoders.h"

#include "core/catalogue.h"
#include "core/hextext.h"

#include <cmath>

namespace settings {

namespace {
constexpr int kObjectDisplay = 0x0b;
constexpr int kObjectModel = 0x20;
constexpr int kObjectLink = 0x29;
constexpr int kObjectPassword = 0x2a; // 2a, 2b, 2c by level
constexpr int kObjectPulse = 0x3f;
constexpr int kObjectSerial = 0x44;
constexpr int kLevels = 3;
constexpr int kLinkBytes = 5;
constexpr int kDisplayBytes = 3;
constexpr int kDisplayItems1 = 11;
constexpr int kDisplayItems3 = 8;
constexpr int kPasswordBytes = 6;
constexpr int kHeader = 3;
constexpr double kMilli = 1000.0;

QString write(int object)
{
    return catalogue::command(catalogue::Write, object);
}

// `value` as `bytes` little-endian bytes, each plain hex after a blank.
QString valueBytes(quint32 value, int bytes)
{
    QString out;
    for (int i = 0; i < bytes; ++i)
        out += QLatin1Char(' ') + catalogue::hexValue(int((value >> (8 * i)) & 0xff));
    return out;
}

// Thousandths of `value`, held to what `bytes` bytes carry.
quint32 thousandths(double value, int bytes)
{
    const double top = bytes >= 4 ? 4294967295.0 : double((quint32(1) << (8 * bytes)) - 1);
    const double v = std::round(value * kMilli);
    if (!(v > 0))
        return 0;
    return v >= top ? quint32(top) : quint32(v);
}

bool bit(int byte, int n)
{
    return (byte >> n) & 1;
}

int mask(const QList<bool> &items, int from, int count)
{
    int m = 0;
    for (int i = 0; i < count; ++i)
        if (items.value(from + i))
            m |= 1 << i;
    return m;
}

// An unsigned reply of 1 to 4 bytes.
ReplyCheck unsignedReply(const QByteArray &reply, quint32 *value)
{
    if (reply.size() < kHeader)
        return ReplyCheck::Short;
    const int n = quint8(reply[2]);
    if (n > 4)
        return ReplyCheck::BadValue;
    QByteArray d;
    if (n < 1 || !replycheck::dataBytes(reply, n, &d))
        return ReplyCheck::Short;
    *value = replycheck::unsignedLE(d);
    return ReplyCheck::Ok;
}
} // namespace

Link standardLink()
{
    return Link();
}

ReplyCheck decodeLink(const QByteArray &reply, Link *link)
{
    QByteArray d;
    if (!replycheck::dataBytes(reply, kLinkBytes, &d))
        return ReplyCheck::Short;
    if (quint8(d[2]) >= kBaudItems)
        return ReplyCheck::BadValue;
    link->address = quint8(d[0]);
    link->attempts = quint8(d[1]);
    link->baudIndex = quint8(d[2]);
    link->holdMinutes = quint8(d[3]);
    link->blockMinutes = quint8(d[4]);
    return ReplyCheck::Ok;
}

QStringList linkWrite(const Link &link)
{
    QString data;
    for (int v : {link.address, link.attempts, link.baudIndex, link.holdMinutes, link.blockMinutes})
        data += valueBytes(quint32(v), 1);
    return {catalogue::serviceCommand(catalogue::LinkWritePrepare), write(kObjectLink) + data};
}

int displayItems(MeterSeries series)
{
    switch (series) {
    case MeterSeries::SinglePhase:
        return kDisplayItems1;
    case MeterSeries::ThreePhase:
        return kDisplayItems3;
    case MeterSeries::Unrecognised:
        break;
    }
    return 0;
}

Display standardDisplay()
{
    Display d;
    d.seconds = 10;
    // total, tariffs 1 and 2, (3 and 4 off), power, voltage, current, date, time, (battery off)
    d.items = {true, true, true, false, false, true, true, true, true, true, false};
    return d;
}

ReplyCheck decodeDisplay(MeterSeries series, const QByteArray &reply, Display *display)
{
    if (series == MeterSeries::Unrecognised)
        return ReplyCheck::BadValue;
    QByteArray d;
    if (!replycheck::dataBytes(reply, kDisplayBytes, &d))
        return ReplyCheck::Short;
    const int b0 = quint8(d[0]), b1 = quint8(d[1]), b2 = quint8(d[2]);
    Display out;
    out.seconds = b0;
    if (series == MeterSeries::SinglePhase) {
        for (int i = 0; i < 8; ++i)
            out.items << bit(b1, i);
        for (int i = 0; i < kDisplayItems1 - 8; ++i)
            out.items << bit(b2, i);
    } else {
        out.menuDelay = b1;
        for (int i = 0; i < kDisplayItems3; ++i)
            out.items << bit(b2, i);
    }
    *display = out;
    return ReplyCheck::Ok;
}

QString displayWrite(MeterSeries series, const Display &display)
{
    int b1 = 0, b2 = 0;
    switch (series) {
    case MeterSeries::SinglePhase:
        b1 = mask(display.items, 0, 8);
        b2 = mask(display.items, 8, kDisplayItems1 - 8);
        break;
    case MeterSeries::ThreePhase:
        b1 = display.menuDelay;
        b2 = mask(display.items, 0, kDisplayItems3);
        break;
    case MeterSeries::Unrecognised:
        return QString();
    }
    return write(kObjectDisplay) + valueBytes(quint32(display.seconds), 1) +
           valueBytes(quint32(b1), 1) + valueBytes(quint32(b2), 1);
}

Limits standardLimits()
{
    return Limits();
}

ReplyCheck decodeLimits(const QByteArray *replies, int count, Limits *limits)
{
    constexpr int kReplies = 5;
    if (!replies || count < kReplies)
        return ReplyCheck::Short;
    quint32 v[kReplies] = {};
    for (int i = 0; i < kReplies; ++i)
        if (const ReplyCheck c = unsignedReply(replies[i], &v[i]); c != ReplyCheck::Ok)
            return c;
    limits->voltageLow = v[0] / kMilli;
    limits->voltageHigh = v[1] / kMilli;
    limits->power = v[2] / kMilli;
    limits->relayClosed = (v[3] & 0xff) != 0;
    limits->loadThreshold = int(v[4] & 0xffff);
    return ReplyCheck::Ok;
}

QStringList limitsWrite(const Limits &limits)
{
    const int threshold = qBound(0, limits.loadThreshold, 0xffff);
    return {write(0x24) + valueBytes(thousandths(limits.voltageLow, 3), 3),
            write(0x25) + valueBytes(thousandths(limits.voltageHigh, 3), 3),
            write(0x28) + valueBytes(thousandths(limits.power, 4), 4),
            write(0x40) + valueBytes(limits.relayClosed ? 1 : 0, 1),
            write(0x41) + valueBytes(quint32(threshold), 2)};
}

ReplyCheck decodePulseMode(const QByteArray &reply, int *index)
{
    QByteArray d;
    if (!replycheck::dataBytes(reply, 1, &d))
        return ReplyCheck::Short;
    if (quint8(d[0]) >= kPulseModes)
        return ReplyCheck::BadValue;
    *index = quint8(d[0]);
    return ReplyCheck::Ok;
}

QString pulseModeWrite(int index)
{
    return write(kObjectPulse) + valueBytes(quint32(index), 1);
}

QString passwordRead(int level)
{
    if (level < 0 || level >= kLevels)
        return QString();
    return catalogue::command(catalogue::Read, kObjectPassword + level);
}

ReplyCheck decodePassword(const QByteArray &reply, QByteArray *password)
{
    QByteArray d;
    if (!replycheck::dataBytes(reply, kPasswordBytes, &d))
        return ReplyCheck::Short;
    *password = d;
    return ReplyCheck::Ok;
}

QString passwordWrite(int level, const QByteArray &password)
{
    if (level < 0 || level >= kLevels)
        return QString();
    return write(kObjectPassword + level) + QLatin1Char(' ') + hextext::fromBytes(password);
}

ReplyCheck decodeSerial(const QByteArray &reply, QByteArray *serial)
{
    QByteArray d;
    if (!replycheck::dataBytes(reply, kSerialBytes, &d))
        return ReplyCheck::Short;
    const qsizetype zero = d.indexOf('\0');
    *serial = zero < 0 ? d : d.left(zero);
    return ReplyCheck::Ok;
}

QString serialWrite(const QByteArray &serial)
{
    QByteArray bytes = serial.left(kSerialBytes);
    bytes.append(QByteArray(kSerialBytes - bytes.size(), '\0'));
    return write(kObjectSerial) + QLatin1Char(' ') + hextext::fromBytes(bytes).trimmed();
}

QString modelWrite(const QByteArray &model)
{
    const QByteArray text = model.left(kModelBytes);
    QString out = write(kObjectModel);
    for (const char c : text)
        out += QLatin1Char(' ') + catalogue::hexValue(quint8(c));
    for (qsizetype i = text.size(); i < kModelBytes; ++i)
        out += QStringLiteral(" 0");
    return out;
}

} // namespace settings
