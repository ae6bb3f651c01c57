#include "core/csvtable.h"

#include <QSaveFile>
#include <QStringEncoder>

namespace csvtable {

namespace {
const QString kSeparator = QStringLiteral(";");

bool isNumber(QString text)
{
    bool ok = false;
    text.replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    return ok;
}
} // namespace

QString cell(const QString &text)
{
    QString out = text;
    const bool sign = !out.isEmpty() && QStringLiteral("=+-@").contains(out.front());
    // A lone "-" is the tables' mark of a missing value, which no spreadsheet runs.
    if (sign && out != QLatin1String("-") && !isNumber(out))
        out.prepend(QLatin1Char('\''));
    if (out.contains(QLatin1Char(';')) || out.contains(QLatin1Char('"')) ||
        out.contains(QLatin1Char('\n')) || out.contains(QLatin1Char('\r')))
        out = QLatin1Char('"') + out.replace(QLatin1Char('"'), QLatin1String("\"\"")) +
              QLatin1Char('"');
    return out;
}

QString text(const QStringList &header, const QList<QStringList> &rows)
{
    QString out;
    const auto line = [&out](const QStringList &cells) {
        for (const QString &c : cells)
            out += cell(c) + kSeparator;
        out += QLatin1Char('\n');
    };
    line(header);
    for (const QStringList &row : rows)
        line(row);
    return out;
}

bool write(const QString &path, const QString &text, QString *error)
{
    QStringEncoder encode(QStringConverter::System);
    const QByteArray bytes = encode(text);
    // Text mode gives the platform's line ends. Unbuffered, because a buffered write that the
    // disk cuts short is flushed without an error and would be committed half-written.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Unbuffered) ||
        file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

} // namespace csvtable
