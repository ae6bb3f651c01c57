#include "core/commandtext.h"

#include "core/hextext.h"

#include <QStringList>

namespace commandtext {

namespace {
constexpr int kPasswordBytes = 6;
} // namespace

QByteArray parse(const QString &text)
{
    QByteArray bytes;
    const QStringList pieces = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    bytes.reserve(pieces.size());
    for (const QString &piece : pieces) {
        bool ok = false;
        const qulonglong v = piece.toULongLong(&ok, 16);
        bytes.append(ok ? char(v & 0xff) : '\0');
    }
    return bytes;
}

bool isValidConsoleText(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    for (const QChar c : t) {
        const char16_t u = c.unicode();
        const bool hex = (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
        if (!hex && u != ' ')
            return false;
    }
    return true;
}

QString sessionOpen(int accessLevel, const QByteArray &password)
{
    QByteArray pwd = password.left(kPasswordBytes);
    pwd.append(QByteArray(kPasswordBytes - pwd.size(), '\0'));
    return QStringLiteral("08 ") + hextext::fromBytes(QByteArray(1, char(accessLevel))) +
           hextext::fromBytes(pwd);
}

} // namespace commandtext
