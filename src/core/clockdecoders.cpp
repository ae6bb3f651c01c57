#include "core/clockdecoders.h"

#include "core/catalogue.h"

#include <QStringList>

#include <cmath>

namespace meterclock {

namespace {
constexpr int kRecordBytes = 7;
constexpr int kMsPerDay = 86400000;
constexpr int kObjectTime = 0x0e;
constexpr int kObjectTimeMode = 0x23;
constexpr int kObjectCoefficient = 0x22;
constexpr int kHeader = 3;

QString twoDigits(qint64 v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}
} // namespace

ReplyCheck decodeTime(const QByteArray &reply, QDateTime *time)
{
    QByteArray d;
    if (!replycheck::dataBytes(reply, kRecordBytes, &d))
        return ReplyCheck::Short;
    auto at = [&d](int i) { return int(quint8(d[i])); };
    const QDate date(2000 + at(6), at(5), at(4));
    const QTime clock(at(2), at(1), at(0));
    if (!date.isValid() || !clock.isValid())
        return ReplyCheck::BadValue;
    *time = QDateTime(date, clock);
    return ReplyCheck::Ok;
}

int dayOfWeekByte(const QDate &date)
{
    const int byte = date.dayOfWeek() + 1;
    return byte == 8 ? 1 : byte;
}

QString timeWrite(const QDateTime &time)
{
    using catalogue::hexValue;
    const QDate d = time.date();
    const QTime t = time.time();
    const int year = d.year() > 2000 ? d.year() - 2000 : 0;
    const QStringList bytes{
        hexValue(t.second()), hexValue(t.minute()), hexValue(t.hour()), hexValue(dayOfWeekByte(d)),
        hexValue(d.day()),    hexValue(d.month()),  hexValue(year)};
    return catalogue::command(catalogue::SetClock, kObjectTime) + QLatin1Char(' ') +
           bytes.join(QLatin1Char(' '));
}

QString differenceText(const QDateTime &device, const QDateTime &written)
{
    qint64 t = written.time().msecsSinceStartOfDay() - device.time().msecsSinceStartOfDay();
    qint64 d = written.date().daysTo(device.date());
    const QChar sign = (d > 0 || (d == 0 && t <= 0)) ? QLatin1Char('+') : QLatin1Char('-');
    if (d > 0 && t > 0) {
        d -= 1;
        t = (kMsPerDay - 1) - t;
    } else if (d < 0 && t < 0) {
        d += 1;
        t += kMsPerDay + 1;
    }
    d = std::abs(d);
    t = std::abs(t);
    return sign + QString::number(d) + QLatin1Char(' ') + twoDigits(t / 3600000) +
           QLatin1Char(':') + twoDigits(t % 3600000 / 60000) + QLatin1Char(':') +
           twoDigits(t % 60000 / 1000);
}

ReplyCheck decodeTimeMode(const QByteArray &reply, bool *automatic)
{
    QByteArray d;
    if (!replycheck::dataBytes(reply, 1, &d))
        return ReplyCheck::Short;
    *automatic = d[0] != 0;
    return ReplyCheck::Ok;
}

QString timeModeWrite(bool automatic)
{
    return catalogue::command(catalogue::Write, kObjectTimeMode) +
           (automatic ? QStringLiteral(" 01") : QStringLiteral(" 00"));
}

ReplyCheck decodeCoefficient(const QByteArray &reply, qint32 *value)
{
    if (reply.size() < kHeader)
        return ReplyCheck::Short;
    const int n = quint8(reply[2]);
    if (n < 1 || n > 4)
        return ReplyCheck::BadValue;
    QByteArray d;
    if (!replycheck::dataBytes(reply, n, &d))
        return ReplyCheck::Short;
    quint32 v = replycheck::unsignedLE(d);
    if (n < 4 && (v >> (8 * n - 1)) & 1)
        v |= ~quint32(0) << (8 * n);
    *value = qint32(v);
    return ReplyCheck::Ok;
}

QString coefficientWrite(int value)
{
    const quint16 v = quint16(qint16(value));
    return catalogue::command(catalogue::Write, kObjectCoefficient) + QLatin1Char(' ') +
           catalogue::hexValue(v & 0xff) + QLatin1Char(' ') + catalogue::hexValue(v >> 8);
}

int coefficientFromError(MeterSeries series, double secondsPerDay)
{
    const double d = secondsPerDay;
    switch (series) {
    case MeterSeries::SinglePhase: {
        if (d == 0)
            return 0;
        const double c = 1440 / d;
        return c >= -32768 && c <= 32767 ? int(c) : 0;
    }
    case MeterSeries::ThreePhase: {
        const double c = (1 - (4095.5 / 4096) * (1 + d / 86400)) * 1048576;
        // Beyond any clock error a user types; kept from turning into an undefined conversion.
        return c > -2147483648.0 && c < 2147483647.0 ? int(c) : 0;
    }
    case MeterSeries::Unrecognised:
        break;
    }
    return 0;
}

} // namespace meterclock
