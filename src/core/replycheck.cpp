#include "core/replycheck.h"

#include <QCoreApplication>

namespace replycheck {

namespace {
constexpr int kHeader = 3; // function, object, data length
} // namespace

bool dataBytes(const QByteArray &reply, int needed, QByteArray *data)
{
    data->clear();
    if (reply.size() < kHeader)
        return false;
    const int n = quint8(reply[2]);
    if (n < needed || reply.size() - kHeader < n)
        return false;
    *data = reply.mid(kHeader, needed);
    return true;
}

quint32 unsignedLE(const QByteArray &bytes)
{
    quint32 v = 0;
    for (int i = 0; i < qMin<qsizetype>(bytes.size(), 4); ++i)
        v |= quint32(quint8(bytes[i])) << (8 * i);
    return v;
}

QString errorText(ReplyCheck check)
{
    switch (check) {
    case ReplyCheck::Ok:
        break;
    case ReplyCheck::Short:
        return QCoreApplication::translate("replycheck", "Ошибка: некорректный размер пакета");
    case ReplyCheck::BadValue:
        return QCoreApplication::translate("replycheck",
                                           "Ошибка: некорректные данные в ответе счетчика");
    }
    return QString();
}

} // namespace replycheck
