#include "core/logline.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

namespace logline {

static QString hex2(int v)
{
    return QString::number(v & 0xff, 16).rightJustified(2, QLatin1Char('0'));
}

QString colourHex(int red, int green, int blue)
{
    return hex2(red) + hex2(green) + hex2(blue);
}

QString span(const QString &text, const QString &colourHex, const QTime &time)
{
    QString s =
        QStringLiteral("<span style='font-size: 10px; color:#") + colourHex + QStringLiteral("'>");
    if (time.isValid()) {
        // Lines come by the thousand a second: the time is written once for all in that second.
        thread_local QTime lastTime;
        thread_local QString lastText;
        if (time != lastTime) {
            lastTime = time;
            lastText = time.toString(QStringLiteral("hh:mm:ss")) + QStringLiteral(" - ");
        }
        s += lastText;
    }
    return s + text + QStringLiteral("</span>");
}

QTime stampNow()
{
    static qint64 second = -1;
    static QTime time;
    const qint64 now = QDateTime::currentMSecsSinceEpoch() / 1000;
    if (now != second) {
        second = now;
        time = QDateTime::fromMSecsSinceEpoch(now * 1000).time();
    }
    return time;
}

QString fileName(const QDate &day)
{
    return day.toString(QStringLiteral("ddMMyyyy")) + QStringLiteral(".html");
}

QString document(const QStringList &paragraphs)
{
    QString html = QStringLiteral(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" "
        "\"http://www.w3.org/TR/REC-html40/strict.dtd\">\n"
        "<html><head><meta name=\"qrichtext\" content=\"1\" /><meta charset=\"utf-8\" />"
        "<style type=\"text/css\">\np, li { white-space: pre-wrap; }\n</style></head><body>\n");
    const QString open = QStringLiteral("<p style=\"margin-top:0px; margin-bottom:0px;\">");
    for (const QString &p : paragraphs)
        html += open + (p.isEmpty() ? QStringLiteral("<br />") : p) + QStringLiteral("</p>\n");
    return html + QStringLiteral("</body></html>\n");
}

bool appendDocument(const QString &dir, const QDate &day, const QString &html)
{
    // The log holds every frame, session passwords included: readable by its owner only.
    constexpr QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    QDir base(dir);
    // Another job in the same folder may make it at the same moment.
    if (!base.exists(QStringLiteral("log")) &&
        !base.mkdir(QStringLiteral("log"), ownerOnly | QFile::ExeOwner) &&
        !base.exists(QStringLiteral("log")))
        return false;
    QFile f(base.filePath(QStringLiteral("log/") + fileName(day)));
    if (!f.open(QIODevice::ReadWrite | QIODevice::Append, ownerOnly))
        return false;
    // UTF-8 whatever the locale; the document declares its charset itself.
    const QByteArray bytes = html.toUtf8();
    const bool ok = f.write(bytes) == bytes.size();
    f.close();
    return ok;
}

} // namespace logline
