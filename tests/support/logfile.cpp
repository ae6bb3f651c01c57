#include "support/logfile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

QStringList logFileLines(const QString &dir)
{
    QStringList out;
    QDir logDir(dir + QStringLiteral("/log"));
    for (const QString &name : logDir.entryList(QDir::Files)) {
        QFile f(logDir.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        for (QString line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
            line.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
            line.remove(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d - ")));
            if (!line.isEmpty())
                out << line;
        }
    }
    return out;
}
