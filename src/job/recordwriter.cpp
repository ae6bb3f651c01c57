#include "job/recordwriter.h"

#include "core/csvtable.h"
#include "core/recorddecoders.h"

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

// A number as the configurator's CSV export writes it: decimal comma, never exponent notation.
// The tables' other cells (dates, codes, "corrupted") stay as they are.
QString csvNumber(const QString &cell)
{
    bool ok = false;
    const double v = cell.toDouble(&ok);
    if (!ok || !(cell.contains(QLatin1Char('.')) || cell.contains(QLatin1Char('e'))))
        return cell;
    return records::decimalComma(v, 6);
}

QJsonObject typed(const JobValue &v)
{
    QJsonObject o;
    if (v.quantity == QLatin1String("event")) {
        o.insert(QStringLiteral("event"), v.list);
        o.insert(QStringLiteral("code"), v.code);
        o.insert(QStringLiteral("text"), v.text);
    } else {
        o.insert(QStringLiteral("quantity"), v.quantity);
        o.insert(QStringLiteral("value"), v.value ? QJsonValue(*v.value) : QJsonValue());
        o.insert(QStringLiteral("unit"), v.unit.isEmpty() ? QJsonValue() : QJsonValue(v.unit));
    }
    if (v.tariff > 0)
        o.insert(QStringLiteral("tariff"), v.tariff);
    if (v.time.isValid())
        o.insert(QStringLiteral("time"), records::meterTimeText(v.time));
    if (v.record >= 0)
        o.insert(QStringLiteral("record"), v.record);
    if (v.period > 0)
        o.insert(QStringLiteral("period_minutes"), v.period);
    return o;
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
    QStringList identity{
        QString::number(m.address),
        QString::fromLatin1(m.serialNumber),
        m.standMode ? QString::number(m.standAddr) : QString(),
        m.version,
        jobrecord::operationName(record.operation),
        jobrecord::statusName(record.status),
        record.reason,
    };
    QStringList names = kIdentity;
    if (m_withLine) {
        identity.prepend(record.line);
        names.prepend(QStringLiteral("line"));
    }
    QString text;
    // A line without cells fits under any header.
    const bool newColumns = !record.rows.isEmpty() && record.columns != m_header;
    if (!m_headerWritten || newColumns) {
        const QStringList columns = record.rows.isEmpty() ? QStringList() : record.columns;
        text += csvLine(names + columns);
        m_header = columns;
        m_headerWritten = true;
    }
    if (record.rows.isEmpty())
        text += csvLine(identity);
    QList<QStringList> rows = record.rows;
    for (const JobValue &v : record.values)
        if (v.row >= 0 && v.row < rows.size() && v.column >= 0 && v.column < rows[v.row].size())
            rows[v.row][v.column] = csvNumber(rows[v.row][v.column]);
    for (const QStringList &row : std::as_const(rows))
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
    QJsonArray values;
    for (const JobValue &v : record.values)
        values.append(typed(v));
    const QByteArray serial = jobrecord::serialOf(record);
    const QString series = jobrecord::seriesName(meterSeriesOf(m.version));
    const QJsonObject meter{
        {QStringLiteral("address"), m.address},
        {QStringLiteral("serial"),
         serial.isEmpty() ? QJsonValue() : QJsonValue(QString::fromLatin1(serial))},
        {QStringLiteral("position"), m.standMode ? QJsonValue(m.standAddr) : QJsonValue()},
        {QStringLiteral("series"), series.isEmpty() ? QJsonValue() : QJsonValue(series)},
        {QStringLiteral("model"), m.version == QLatin1String("-") ? QJsonValue() : m.version},
    };
    QJsonObject o{
        {QStringLiteral("meter"), meter},
        {QStringLiteral("values"), values},
        {QStringLiteral("read_at"),
         record.readAt.isValid()
             ? QJsonValue(record.readAt.toOffsetFromUtc(record.readAt.offsetFromUtc())
                              .toString(Qt::ISODate))
             : QJsonValue()},
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
    if (!record.line.isEmpty())
        o.insert(QStringLiteral("line"), record.line);
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}
