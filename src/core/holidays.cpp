#include "core/holidays.h"

#include "core/catalogue.h"

namespace holidays {

namespace {
constexpr quint8 kObject = 0x0f;
constexpr int kEmpty = 255;

// The cell's number when it is a day (1..31) or a month (1..12), otherwise 255.
int value(const QString &text, bool month)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok && v >= 1 && v <= (month ? 12 : 31) ? v : kEmpty;
}
} // namespace

ReplyCheck decode(const QByteArray &reply, QStringList *cells)
{
    QByteArray data;
    if (!replycheck::dataBytes(reply, kCells, &data))
        return ReplyCheck::Short;
    QStringList out;
    for (char b : std::as_const(data))
        out << (quint8(b) == kEmpty ? QStringLiteral("-") : QString::number(quint8(b)));
    *cells = out;
    return ReplyCheck::Ok;
}

QString write(const QStringList &cells)
{
    QString out = catalogue::command(catalogue::Write, kObject);
    for (int i = 0; i < kCells; ++i)
        out += QLatin1Char(' ') + catalogue::hexValue(value(cells.value(i), i % 2 == 1));
    return out;
}

QString normalised(const QString &text, bool month)
{
    const int v = value(text, month);
    return v == kEmpty ? QStringLiteral("-") : QString::number(v);
}

} // namespace holidays
