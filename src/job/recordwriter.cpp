#include "job/recordwriter.h"

#include "core/csvtable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringEncoder>

namespace {
const QStringList kIdentity{QStringLiteral("address"),   QStringLiteral("serial"),
                            QStringLiteral("position"),  QStringLiteral("name"),
                            QStringLiteral("operation"), QStringLiteral("status"),
                            QStringLiteral("reason")};

QString csvLine(const QStringList &cells)
{
    QString line;
    for (const QString &c : cells)
        line += csvtable::cell(c) + QLatin1Char(';');
    return line + QLatin1Char('\n');
}

QJsonArray strings(const QStringList &list)
{
    QJsonArray a;
    for (const QString &s : list)
        a.append(s);
    return a;
}
} // namespace

QByteArray RecordWriter::write(const JobRecord &record)
{
    return m_format == Format::Csv ? csv(record) : json(record);
}

QByteArray RecordWriter::csv(const JobRecord &record)
{
    const DeviceRecord &m = record.meter;
    const QStringList identity{
        QString::number(m.address),
        QString::fromLatin1(m.serialNumber),
        m.standMode ? QString::number(m.standAddr) : QString(),
        m.version,
        jobrecord::operationName(record.operation),
        jobrecord::statusName(record.status),
        record.reason,
    };
    QString text;
    // A line without cells fits under any header.
    const bool newColumns = !record.rows.isEmpty() && record.columns != m_header;
    if (!m_headerWritten || newColumns) {
        const QStringList columns = record.rows.isEmpty() ? QStringList() : record.columns;
        text += csvLine(kIdentity + columns);
        m_header = columns;
        m_headerWritten = true;
    }
    if (record.rows.isEmpty())
        text += csvLine(identity);
    for (const QStringList &row : record.rows)
        text += csvLine(identity + row);
    QStringEncoder encode(QStringConverter::System);
    return encode(text);
}

QByteArray RecordWriter::json(const JobRecord &record)
{
    const DeviceRecord &m = record.meter;
    QJsonArray rows;
    for (const QStringList &row : record.rows)
        rows.append(strings(row));
    const QJsonObject o{
        {QStringLiteral("address"), m.address},
        {QStringLiteral("serial"), QString::fromLatin1(m.serialNumber)},
        {QStringLiteral("position"), m.standMode ? QJsonValue(m.standAddr) : QJsonValue()},
        {QStringLiteral("name"), m.version},
        {QStringLiteral("operation"), jobrecord::operationName(record.operation)},
        {QStringLiteral("status"), jobrecord::statusName(record.status)},
        {QStringLiteral("reason"), record.reason},
        {QStringLiteral("columns"), strings(record.columns)},
        {QStringLiteral("rows"), rows},
    };
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}
