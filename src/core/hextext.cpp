#include "core/hextext.h"

namespace hextext
{

QString fromBytes(const QByteArray &bytes)
{
    static const char digits[] = "0123456789abcdef";
    QString s(bytes.size() * 3, QLatin1Char(' '));
    QChar *out = s.data();
    for (const char c : bytes) {
        const quint8 b = quint8(c);
        *out++ = QLatin1Char(digits[b >> 4]);
        *out++ = QLatin1Char(digits[b & 0x0f]);
        ++out; // the blank is already there
    }
    return s;
}

} // namespace hextext
