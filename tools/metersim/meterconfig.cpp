#include "metersim/meterconfig.h"

#include "metersim/textnumber.h"

#include <QRegularExpression>
#include <QStringList>

Series seriesOf(const QByteArray &deviceName)
{
    if (deviceName.contains("210"))
        return Series::Single;
    if (deviceName.contains("450") || deviceName.contains("430"))
        return Series::Three;
    return Series::Unknown;
}

MeterConfig::MeterConfig()
{
    passwords[0] = QByteArray(6, char(0xe1));
    passwords[1] = QByteArray(6, char(0xe1));
    passwords[2] = QByteArray::fromHex("3c91e4075bd2");
}

namespace
{
bool parsePassword(QString text, QByteArray *out)
{
    text.remove(QRegularExpression(QStringLiteral("[\\s:.-]")));
    static const QRegularExpression hex(QStringLiteral("^[0-9a-fA-F]{12}$"));
    if (!hex.match(text).hasMatch())
        return false;
    *out = QByteArray::fromHex(text.toLatin1());
    return true;
}

bool printableLatin1(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0xff)
            return false;
    return true;
}
} // namespace

bool applyMeterText(const QString &text, MeterConfig *config, QString *error)
{
    MeterConfig c = *config;
    const QStringList pieces = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (int i = 0; i < pieces.size(); ++i) {
        const QString piece = pieces[i].trimmed();
        const int eq = piece.indexOf(QLatin1Char('='));
        const QString key = eq < 0 ? (i == 0 ? QStringLiteral("name") : piece) : piece.left(eq);
        const QString value = eq < 0 ? piece : piece.mid(eq + 1);
        bool ok = true;
        if (eq < 0 && i != 0) {
            ok = false;
        } else if (key == QLatin1String("name")) {
            ok = !value.isEmpty() && value.size() <= 32 && printableLatin1(value);
            c.name = value.toLatin1();
        } else if (key == QLatin1String("addr")) {
            ok = textnumber::toBounded(value, 10, 1, 255, &c.address);
        } else if (key == QLatin1String("serial")) {
            ok = value.size() <= 15 && printableLatin1(value);
            c.serial = value.toLatin1();
        } else if (key.size() == 4 && key.startsWith(QLatin1String("pwd")) && key[3] >= u'0' &&
                   key[3] <= u'2') {
            ok = parsePassword(value, &c.passwords[size_t(key[3].unicode() - u'0')]);
        } else if (key == QLatin1String("version")) {
            ok = !value.isEmpty() && value.size() <= 16 && printableLatin1(value);
            c.version = value.toLatin1();
        } else if (key == QLatin1String("id")) {
            int id = 0;
            ok = textnumber::toBounded(value, 16, 0, 0xffff, &id);
            c.identifier = quint16(id);
        } else if (key == QLatin1String("hold")) {
            ok = textnumber::toBounded(value, 10, 0, 255, &c.holdMinutes);
        } else {
            if (error)
                *error = QStringLiteral("unknown key \"%1\" in meter \"%2\"").arg(key, text);
            return false;
        }
        if (!ok) {
            if (error)
                *error =
                    QStringLiteral("bad value \"%1\" for %2 in meter \"%3\"").arg(value, key, text);
            return false;
        }
    }
    *config = c;
    return true;
}

QString meterTextHelp()
{
    return QStringLiteral(
        "A meter (METER of --meter and --stand-meter): comma-separated KEY=VALUE pairs; a first\n"
        "piece without '=' is the name.\n"
        "  name=TEXT     device name: containing 210 single-phase, 450 or 430 three-phase\n"
        "                (for example 210.1, 450.21R, 450.22R, 450.42R)\n"
        "  addr=N        one-byte address 1..255\n"
        "  serial=TEXT   serial number, up to 15 characters (empty: none)\n"
        "  pwd0=HEX, pwd1=HEX, pwd2=HEX\n"
        "                passwords of the user, administrator and developer levels, twelve hex\n"
        "                digits (defaults e1e1e1e1e1e1, e1e1e1e1e1e1, 3c91e4075bd2)\n"
        "  version=TEXT  software version (default 1.10; below 1.09 the meter has no serial\n"
        "                number)\n"
        "  id=HEX        software identifier (default by series)\n"
        "  hold=MIN      session hold time in minutes (default 10; 0 counts as 10)\n");
}
