#include "core/meterlistfile.h"

#include <QBuffer>
#include <QFile>

namespace meterlistfile {

QList<QByteArray> parse(QIODevice *in)
{
    QList<QByteArray> serials;
    // Room for a line of kMaxLine characters and its "\r\n": anything longer comes cut and is
    // no serial number either.
    constexpr qint64 chunk = kMaxLine + 2;
    while (!in->atEnd()) {
        QByteArray line = in->readLine(chunk + 1);
        if (line.endsWith('\n'))
            line.chop(1);
        // Files written on Windows keep their "\r" on this side.
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.size() != kSerialLength)
            break;
        serials.append(line);
    }
    return serials;
}

QList<QByteArray> parse(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return parse(&buffer);
}

bool read(const QString &path, QList<QByteArray> *serials, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    *serials = parse(&file);
    return true;
}

} // namespace meterlistfile
