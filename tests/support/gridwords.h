#pragma once

#include <QRegularExpression>
#include <QStringList>

// The words of a status grid, in order.
inline QStringList words(const QString &grid)
{
    static const QRegularExpression word(QStringLiteral("<div align='center'>([A-Z]+)</div>"));
    QStringList out;
    for (const QRegularExpressionMatch &m : word.globalMatch(grid))
        out << m.captured(1);
    return out;
}
