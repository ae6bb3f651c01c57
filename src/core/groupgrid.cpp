#include "core/groupgrid.h"

namespace groupgrid {

namespace {
constexpr int kColumns = 12;

QString cell(int status, const QString &text)
{
    return QStringLiteral("<td width='35' bgcolor='") + colour(status) +
           QStringLiteral("'><div align='center'>") + text + QStringLiteral("</div></td>");
}
} // namespace

QString word(int status)
{
    switch (status) {
    case Ok:
        return QStringLiteral("OK");
    case Skip:
        return QStringLiteral("SKIP");
    case Warn:
        return QStringLiteral("WARN");
    default:
        return QStringLiteral("ERR");
    }
}

QString colour(int status)
{
    switch (status) {
    case Ok:
        return QStringLiteral("#bbffbb");
    case Skip:
        return QStringLiteral("#99dceb");
    case Warn:
        return QStringLiteral("#ffbf58");
    default:
        return QStringLiteral("#ffaaaa");
    }
}

QString html(const QList<Cell> &cells)
{
    QString out;
    // The last table holds the rest, which is none for a multiple of 12.
    const int tables = int(cells.size()) / kColumns + 1;
    for (int t = 0; t < tables; ++t) {
        const QList<Cell> row = cells.mid(t * kColumns, kColumns);
        out += QStringLiteral("<table border='0'><tr>");
        for (const Cell &c : row)
            out += cell(c.status, QString::number(c.label));
        out += QStringLiteral("</tr><tr>");
        for (const Cell &c : row)
            out += cell(c.status, word(c.status));
        out += QStringLiteral("</tr></table>");
    }
    return out;
}

} // namespace groupgrid
