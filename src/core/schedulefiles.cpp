#include "core/schedulefiles.h"

#include "core/holidays.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

namespace schedulefiles {

namespace {
constexpr char kMagic[] = "ZT";
constexpr quint8 kVersion = 1;
constexpr int kHeader = 4;
constexpr int kRecord = 2 + tariff::kDayTypes;
constexpr int kHcfCharacters = 7;

// Byte `i` of the file, 0 past its end.
int byteAt(const QByteArray &file, int i)
{
    return i < file.size() ? quint8(file[i]) : 0;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("schedulefiles", text);
}
} // namespace

// ---- Tariff schedule

int ztfSize(int zones)
{
    return kHeader + tariff::kMonths * zones * kRecord;
}

QByteArray encodeZtf(int zones, const tariff::Table &table)
{
    if (!tariff::validZones(zones) || table.size() != tariff::kMonths)
        return QByteArray();
    QByteArray out;
    out.reserve(ztfSize(zones));
    out.append(kMagic, 2);
    out.append(char(kVersion));
    out.append(char(zones));
    for (const tariff::Month &month : table) {
        if (month.size() != zones)
            return QByteArray();
        for (const tariff::Zone &z : month) {
            out.append(char(z.hour));
            out.append(char(z.minute));
            for (quint8 t : z.tariffs)
                out.append(char(t));
        }
    }
    return out;
}

ZtfCheck decodeZtf(const QByteArray &file, int *zones, tariff::Table *table)
{
    if (file.size() < kHeader || !file.startsWith(kMagic))
        return ZtfCheck::NotSchedule;
    if (quint8(file[2]) != kVersion)
        return ZtfCheck::Version;
    const int z = quint8(file[3]);
    if (!tariff::validZones(z))
        return ZtfCheck::Zones;
    if (file.size() < ztfSize(z))
        return ZtfCheck::Truncated;
    tariff::Table out(tariff::kMonths, tariff::Month(z));
    const char *p = file.constData() + kHeader;
    for (tariff::Month &month : out) {
        for (tariff::Zone &zone : month) {
            zone.hour = quint8(*p++);
            zone.minute = quint8(*p++);
            for (quint8 &t : zone.tariffs)
                t = quint8(*p++);
        }
    }
    *zones = z;
    *table = out;
    return ZtfCheck::Ok;
}

QString ztfReason(ZtfCheck check, const QByteArray &file)
{
    switch (check) {
    case ZtfCheck::Ok:
        break;
    case ZtfCheck::NotSchedule:
        return tr("файл не является файлом тарифного расписания");
    case ZtfCheck::Version:
        return tr("неизвестная версия файла: ") + QString::number(byteAt(file, 2));
    case ZtfCheck::Zones:
        return tr("неверное число зон в файле: ") + QString::number(byteAt(file, 3));
    case ZtfCheck::Truncated:
        return tr("файл короче, чем указано в его заголовке (") + QString::number(file.size()) +
               tr(" из ") + QString::number(ztfSize(byteAt(file, 3))) + tr(" байт)");
    }
    return QString();
}

// ---- Holidays

QByteArray encodeHcf(const QStringList &cells)
{
    QByteArray out;
    for (int i = 0; i < holidays::kCells; ++i)
        out += cells.value(i).toUtf8() + '\n';
    return out;
}

QStringList decodeHcf(const QByteArray &file)
{
    QStringList cells;
    qsizetype at = 0;
    while (cells.size() < holidays::kCells && at < file.size()) {
        qsizetype end = file.indexOf('\n', at);
        if (end < 0)
            end = file.size();
        QByteArray line = file.mid(at, end - at);
        if (line.endsWith('\r'))
            line.chop(1);
        cells << QString::fromUtf8(line).left(kHcfCharacters);
        at = end + 1;
    }
    while (cells.size() < holidays::kCells)
        cells << QString();
    return cells;
}

// ---- Files

bool readFile(const QString &path, qint64 limit, QByteArray *bytes, QString *reason)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *reason = f.errorString();
        return false;
    }
    const QByteArray read = f.read(limit);
    if (f.error() != QFileDevice::NoError) {
        *reason = f.errorString();
        return false;
    }
    *bytes = read;
    return true;
}

bool writeFile(const QString &path, const QByteArray &bytes, QString *reason)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        *reason = f.errorString();
        return false;
    }
    return true;
}

} // namespace schedulefiles
