#include "core/changerlist.h"

#include <QRegularExpression>
#include <QSet>

namespace changerlist {

namespace {
constexpr int kCoefficients = 6;
const QChar kLineFeed = QLatin1Char('\n');

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}
} // namespace

QStringList split(const QString &text)
{
    return text.split(kLineFeed, Qt::SkipEmptyParts);
}

std::optional<int> listAddress(const QString &line)
{
    const QString tail = line.trimmed().right(2);
    if (tail.isEmpty())
        return std::nullopt;
    for (QChar c : tail)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    const int address = tail.toInt();
    if (address == 0)
        return std::nullopt;
    return address;
}

bool hasDuplicates(const QString &text)
{
    const QStringList lines = text.split(kLineFeed);
    QSet<QString> seen;
    for (const QString &line : lines) {
        if (seen.contains(line))
            return true;
        seen.insert(line);
    }
    return false;
}

bool isCoefficientText(const QString &text)
{
    for (const QChar c : text)
        if (isBlank(c))
            return true;
    return false;
}

QString coefficientLine(const QList<int> &values)
{
    QStringList parts;
    for (const int v : values)
        parts << QString::number(v);
    return parts.join(QLatin1Char(' '));
}

bool parseCoefficients(const QString &line, QList<int> *values)
{
    // A seventh value would be a whole block pasted by mistake, whose values sit one place off
    // from those of a list line: refused rather than cut short.
    static const QRegularExpression separators(QStringLiteral("[ \\t]+"));
    const QStringList parts = line.split(separators, Qt::SkipEmptyParts);
    if (parts.size() != kCoefficients)
        return false;
    QList<int> parsed;
    for (const QString &part : parts) {
        // toInt() takes a sign and decimal digits only, and fails out of the 32-bit range.
        bool ok = false;
        const int v = part.toInt(&ok, 10);
        if (!ok)
            return false;
        parsed << v;
    }
    *values = parsed;
    return true;
}

} // namespace changerlist
