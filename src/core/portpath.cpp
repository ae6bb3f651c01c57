#include "core/portpath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace portpath
{
namespace
{
// A path is short; a huge or binary "first line" is not a device name.
constexpr qint64 kMaxLine = 4096;
} // namespace

QString portName(int n)
{
    return QStringLiteral("COM") + QString::number(n);
}

QString defaultDevice(int n)
{
    if (n >= 1 && n <= 8)
        return QStringLiteral("/dev/ttyUSB%1").arg(n - 1);
    if (n >= 9 && n <= 12)
        return QStringLiteral("/dev/ttyACM%1").arg(n - 9);
    if (n >= 13 && n <= 20)
        return QStringLiteral("/dev/ttyS%1").arg(n - 13);
    return QString();
}

QString mappedDevice(int n, const QString &workDir)
{
    const QDir ports(
        QDir(workDir.isEmpty() ? QDir::currentPath() : workDir).filePath(QStringLiteral("ports")));
    const QFileInfo entry(ports.filePath(portName(n)));
    if (entry.isSymLink())
        return entry.symLinkTarget();
    if (!entry.isFile())
        return QString();

    QFile f(entry.filePath());
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QString line = QFile::decodeName(f.readLine(kMaxLine)).trimmed();
    if (line.isEmpty() || line.contains(QChar(0)))
        return QString();
    return QDir::cleanPath(ports.absoluteFilePath(line));
}

QString device(int n, const QString &workDir)
{
    const QString mapped = mappedDevice(n, workDir);
    return mapped.isEmpty() ? defaultDevice(n) : mapped;
}

} // namespace portpath
