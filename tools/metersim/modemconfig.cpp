#include "metersim/modemconfig.h"

#include "metersim/textnumber.h"

#include <QRegularExpression>
#include <QStringList>

bool ModemConfig::apply(const QString &name, const QString &value, QString *error)
{
    auto fail = [&](const QString &wants) {
        *error = QStringLiteral("modem %1 wants %2, not \"%3\"").arg(name, wants, value);
        return false;
    };
    const QString v = value.trimmed();
    if (name == QLatin1String("echo")) {
        if (v != QLatin1String("on") && v != QLatin1String("off"))
            return fail(QStringLiteral("on or off"));
        echo = v == QLatin1String("on");
    } else if (name == QLatin1String("sim")) {
        if (v != QLatin1String("ready") && v != QLatin1String("pin"))
            return fail(QStringLiteral("ready or pin"));
        simReady = v == QLatin1String("ready");
    } else if (name == QLatin1String("pin")) {
        if (!QRegularExpression(QStringLiteral("^[0-9]{1,8}$")).match(v).hasMatch())
            return fail(QStringLiteral("1 to 8 digits"));
        pinCode = v.toLatin1();
    } else if (name == QLatin1String("creg")) {
        if (!textnumber::toBounded(v, 10, 0, 5, &registration))
            return fail(QStringLiteral("a registration state 0..5"));
    } else if (name == QLatin1String("dial")) {
        const QStringList outcomes = {QStringLiteral("connect"), QStringLiteral("connect9600"),
                                      QStringLiteral("busy"), QStringLiteral("nocarrier"),
                                      QStringLiteral("silent")};
        const int i = int(outcomes.indexOf(v));
        if (i < 0)
            return fail(outcomes.join(QStringLiteral(", ")));
        dial = Dial(i);
    } else if (name == QLatin1String("dial-ms")) {
        if (!textnumber::toBounded(v, 10, 0, 600000, &dialMs))
            return fail(QStringLiteral("0..600000 ms"));
    } else if (name == QLatin1String("guard-ms")) {
        if (!textnumber::toBounded(v, 10, 0, 10000, &guardMs))
            return fail(QStringLiteral("0..10000 ms"));
    } else if (name == QLatin1String("register-ms")) {
        if (!textnumber::toBounded(v, 10, 0, 600000, &registerMs))
            return fail(QStringLiteral("0..600000 ms"));
    } else if (name == QLatin1String("pause")) {
        if (!textnumber::toBounded(v, 10, 0, 10000, &pauseMs))
            return fail(QStringLiteral("0..10000 ms"));
    } else if (name == QLatin1String("dtr")) {
        const QStringList modes = {QStringLiteral("ignore"), QStringLiteral("command"),
                                   QStringLiteral("hangup")};
        const int i = int(modes.indexOf(v));
        if (i < 0)
            return fail(modes.join(QStringLiteral(", ")));
        dtr = Dtr(i);
    } else if (name == QLatin1String("error")) {
        if (v == QLatin1String("off"))
            errorCommands.clear();
        else if (v.isEmpty() || v.size() > 64)
            return fail(QStringLiteral("a command line or off"));
        else
            errorCommands.append(v.toUpper().toLatin1());
    } else {
        *error = QStringLiteral("no modem setting \"%1\"").arg(name);
        return false;
    }
    return true;
}

QStringList ModemConfig::names()
{
    return {QStringLiteral("echo"),     QStringLiteral("sim"),   QStringLiteral("pin"),
            QStringLiteral("creg"),     QStringLiteral("dial"),  QStringLiteral("dial-ms"),
            QStringLiteral("guard-ms"), QStringLiteral("error"), QStringLiteral("register-ms"),
            QStringLiteral("dtr"),      QStringLiteral("pause")};
}

QString ModemConfig::help()
{
    return QStringLiteral(
        "The GSM modem (--modem): a standard AT modem with verbose answers (\"\\r\\nOK\\r\\n\"),\n"
        "then a data call to the meters of the line. Settings, as --modem-NAME VALUE or as the\n"
        "control line \"modem NAME VALUE\":\n"
        "  echo on|off        echo of command characters (default on)\n"
        "  sim ready|pin      SIM state: READY, or waiting for its PIN (default ready)\n"
        "  pin CODE           the PIN that AT+CPIN= accepts (default 0000)\n"
        "  creg STAT          registration state in \"+CREG: N,STAT\": 1 home (default),\n"
        "                     5 roaming, 0 not registered\n"
        "  dial OUTCOME       what ATD ends in: connect (\"CONNECT\"), connect9600 (default,\n"
        "                     \"CONNECT 9600\"), busy, nocarrier, silent (no answer at all)\n"
        "  dial-ms MS         time from ATD to its outcome (default 1000)\n"
        "  guard-ms MS        silence before and after \"+++\" for it to leave data mode\n"
        "                     (default 1000); \"+++\" without it is data for the meter\n"
        "  register-ms MS     \"+CREG: N,2\" (searching) for MS after start-up and after the\n"
        "                     PIN (default 0)\n"
        "  dtr MODE           when the program closes its port (DTR drops): ignore (&D0),\n"
        "                     command (&D1: command mode, the call stays), hangup (&D2,\n"
        "                     default)\n"
        "  pause MS           each reply through the call stops for MS after its third\n"
        "                     byte, a fade in the radio link (default 0)\n"
        "  error CMD|off      answer the command line CMD (e.g. AT, AT+CREG=1) with ERROR\n"
        "                     (repeatable); off: no more such errors\n"
        "Control lines while running: \"modem hangup\" ends the call from the far side (NO\n"
        "CARRIER); \"modem urc TEXT\" sends TEXT as an unsolicited line, e.g. \"modem urc\n"
        "+CREG: 0\" (registration lost), \"modem urc +CREG: 1,1\", \"modem urc RING\";\n"
        "\"modem call\" is answered \"call none|dialling|data|command\" (command: the call\n"
        "is up, the modem in command mode after \"+++\").\n");
}
