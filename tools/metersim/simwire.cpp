#include "metersim/simwire.h"

namespace simwire
{

QByteArray reply(quint8 function, quint8 object, const QByteArray &data)
{
    QByteArray r;
    r.reserve(3 + data.size());
    r.append(char(function));
    r.append(char(object));
    r.append(char(quint8(data.size())));
    r.append(data);
    return r;
}

QByteArray errorReply(quint8 function, quint8 code)
{
    QByteArray r;
    r.append(char(function | 0x80));
    r.append(char(code));
    return r;
}

QByteArray bcdSwapped(qint64 value)
{
    quint64 v = value < 0 ? 0 : quint64(value) % 100000000ull;
    QByteArray r;
    for (int i = 0; i < 4; ++i) {
        const int pair = int(v % 100);
        v /= 100;
        r.append(char((pair / 10) | ((pair % 10) << 4)));
    }
    return r;
}

QByteArray littleEndian(qint64 value, int bytes)
{
    QByteArray r;
    const quint64 v = quint64(value);
    for (int i = 0; i < bytes; ++i)
        r.append(char((v >> (8 * i)) & 0xff));
    return r;
}

qint64 readLittleEndian(const QByteArray &data, int offset, int bytes, bool isSigned)
{
    quint64 v = 0;
    for (int i = 0; i < bytes && i < 8; ++i) {
        const int at = offset + i;
        const quint64 b = (at >= 0 && at < data.size()) ? quint8(data[at]) : 0;
        v |= b << (8 * i);
    }
    if (isSigned && bytes > 0 && bytes < 8 && (v >> (8 * bytes - 1)) & 1)
        v |= ~quint64(0) << (8 * bytes);
    return qint64(v);
}

int meterDayOfWeek(const QDate &d)
{
    return d.dayOfWeek() % 7 + 1;
}

QByteArray dateTime(const QDateTime &t)
{
    const QDate d = t.date();
    const QTime tm = t.time();
    QByteArray r;
    r.append(char(tm.second()));
    r.append(char(tm.minute()));
    r.append(char(tm.hour()));
    r.append(char(meterDayOfWeek(d)));
    r.append(char(d.day()));
    r.append(char(d.month()));
    r.append(char(qBound(0, d.year() - 2000, 255)));
    return r;
}

QDateTime parseDateTime(const QByteArray &record)
{
    if (record.size() != 7)
        return QDateTime();
    auto at = [&](int i) { return int(quint8(record[i])); };
    const QTime time(at(2), at(1), at(0));
    const QDate date(2000 + at(6), at(5), at(4));
    // The day of week is taken as given: the meter derives its own from the date.
    if (!time.isValid() || !date.isValid() || at(6) > 99 || at(3) < 1 || at(3) > 7)
        return QDateTime();
    return QDateTime(date, time);
}

} // namespace simwire
