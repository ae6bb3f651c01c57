#include "core/passwordtext.h"

#include "core/commandtext.h"
#include "core/hextext.h"

namespace passwordtext {

QString hexToText(const QString &hexView)
{
    return QString::fromLatin1(commandtext::parse(hexView));
}

QString textToHex(const QString &text, int maxLength)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const QChar c : text)
        bytes.append(char(c.unicode() & 0xff));
    return hextext::fromBytes(bytes).left(maxLength);
}

QByteArray toBytes(const QString &text)
{
    QByteArray b = text.toLatin1().left(kBytes);
    b.append(QByteArray(kBytes - b.size(), '\0'));
    return b;
}

QString fromBytes(const QByteArray &bytes)
{
    const int zero = bytes.indexOf('\0');
    return QString::fromLatin1(zero < 0 ? bytes : bytes.left(zero));
}

QByteArray fromView(const QString &shown, const QByteArray &stored)
{
    return toBytes(shown == fromBytes(stored) ? QString::fromLatin1(stored) : shown);
}

QByteArray factoryDefault(int accessLevel)
{
    if (accessLevel == 2)
        return QByteArray::fromHex("3c91e4075bd2");
    return QByteArray(kBytes, char(0xe1));
}

QString factoryDefaultHex(int accessLevel)
{
    return textToHex(QString::fromLatin1(factoryDefault(accessLevel)));
}

} // namespace passwordtext
