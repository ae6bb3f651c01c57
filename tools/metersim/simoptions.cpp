#include "metersim/simoptions.h"

#include "metersim/textnumber.h"

#include <QCommandLineParser>
#include <QHostAddress>

namespace {
const char kDefaultStandModel[] = "210.1";
// Each line holds a listening socket and a connection: well within the usual 1024 descriptors.
const int kMaxTcpLines = 400;

struct Parser
{
    QCommandLineParser p;
    Parser()
    {
        p.setApplicationDescription(QStringLiteral(
            "The virtual meter line: meters that answer the program's frames over TCP, a\n"
            "pseudo-terminal line, a GSM modem and the factory stand. When ready it prints one\n"
            "line per endpoint (\"tcp HOST:PORT\" for each gateway, \"pty PATH\", \"link PATH\",\n"
            "\"modem PATH\", \"modemlink PATH\", \"stand ADDR:PORT PATH\") and then \"ready\".\n"
            "It stops on SIGINT or SIGTERM. Lines on stdin: \"fault FAULT\" adds a fault,\n"
            "\"faults off\" removes them all, \"modem ...\" steers the modem (below),\n"
            "\"reading ADDR OBJ VALUE\" pins what object OBJ (hex) of the meter at ADDR of the\n"
            "first line reads (\"off\" for VALUE, or \"reading ADDR off\", frees it); each is\n"
            "answered \"ok\" or \"error ...\"."));
        p.addOptions({
            {QStringLiteral("help"), QStringLiteral("Show this help.")},
            {QStringLiteral("meter"),
             QStringLiteral("A meter of the line (repeatable; see METER below). Default: "
                            "a single-phase 210.1 at address 1 and a three-phase 450.22R at "
                            "address 2."),
             QStringLiteral("METER")},
            {QStringLiteral("tcp"),
             QStringLiteral("Serve the line over TCP (default 127.0.0.1:14001; port 0 picks a "
                            "free port)."),
             QStringLiteral("HOST:PORT")},
            {QStringLiteral("tcp-lines"),
             QStringLiteral("Serve N gateways, each its own line with its own copy of the "
                            "meters, on the port of --tcp and the N-1 after it (port 0: a free "
                            "port each; default 1)."),
             QStringLiteral("N")},
            {QStringLiteral("no-tcp"), QStringLiteral("No TCP server.")},
            {QStringLiteral("pty"), QStringLiteral("Serve the line on a new pseudo-terminal.")},
            {QStringLiteral("link-com"),
             QStringLiteral("Link DIR/ports/COMN to the pseudo-terminal (needs --pty)."),
             QStringLiteral("N")},
            {QStringLiteral("workdir"),
             QStringLiteral("The folder of --link-com (default: the current directory)."),
             QStringLiteral("DIR")},
            {QStringLiteral("modem"),
             QStringLiteral("A GSM modem on a new pseudo-terminal; its data calls reach the "
                            "meters of the line (see the modem settings below).")},
            {QStringLiteral("modem-link-com"),
             QStringLiteral("Link DIR/ports/COMN (--workdir) to the modem's pseudo-terminal "
                            "(needs --modem)."),
             QStringLiteral("N")},
            {QStringLiteral("modem-echo"), QStringLiteral("Modem echo: on (default) or off."),
             QStringLiteral("on|off")},
            {QStringLiteral("modem-sim"),
             QStringLiteral("SIM state: ready (default) or pin (waits for its PIN)."),
             QStringLiteral("ready|pin")},
            {QStringLiteral("modem-pin"),
             QStringLiteral("The PIN that unlocks the SIM (default 0000)."),
             QStringLiteral("CODE")},
            {QStringLiteral("modem-creg"),
             QStringLiteral("Registration state STAT of \"+CREG: N,STAT\": 1 home (default), "
                            "5 roaming, 0 not registered."),
             QStringLiteral("STAT")},
            {QStringLiteral("modem-dial"),
             QStringLiteral("Outcome of ATD: connect, connect9600 (default), busy, nocarrier, "
                            "silent."),
             QStringLiteral("OUTCOME")},
            {QStringLiteral("modem-dial-ms"),
             QStringLiteral("Time from ATD to its outcome in ms (default 1000)."),
             QStringLiteral("MS")},
            {QStringLiteral("modem-guard-ms"),
             QStringLiteral("Silence before and after \"+++\" for the modem to leave data "
                            "mode, in ms (default 1000)."),
             QStringLiteral("MS")},
            {QStringLiteral("modem-register-ms"),
             QStringLiteral("\"+CREG: N,2\" (searching) for MS after start-up and after the "
                            "PIN (default 0)."),
             QStringLiteral("MS")},
            {QStringLiteral("modem-dtr"),
             QStringLiteral("What the program closing its port (DTR dropping) does: ignore, "
                            "command or hangup (default)."),
             QStringLiteral("MODE")},
            {QStringLiteral("modem-pause"),
             QStringLiteral("Each reply through the call stops for MS after its third byte "
                            "(default 0)."),
             QStringLiteral("MS")},
            {QStringLiteral("modem-error"),
             QStringLiteral("Answer the command line CMD (e.g. AT) with ERROR (repeatable)."),
             QStringLiteral("CMD")},
            {QStringLiteral("stand"),
             QStringLiteral("Run the factory stand: 24 positions on a new pseudo-terminal and a "
                            "Modbus/TCP switching block (24 coils, unit 1) on port 502.")},
            {QStringLiteral("stand-ip"),
             QStringLiteral("Address of the switching block (default: the first free "
                            "127.0.0.x). Port 502 needs root or CAP_NET_BIND_SERVICE."),
             QStringLiteral("ADDR")},
            {QStringLiteral("stand-port"),
             QStringLiteral("Port of the switching block (default 502; 0 picks a free one, as "
                            "any user may bind)."),
             QStringLiteral("PORT")},
            {QStringLiteral("stand-model"),
             QStringLiteral("Device name of the stand's meters (default 210.1); they start at "
                            "address 255 without a serial number."),
             QStringLiteral("NAME")},
            {QStringLiteral("stand-meter"),
             QStringLiteral("The meter at stand position POS (1..24), a METER applied over the "
                            "stand's default (repeatable)."),
             QStringLiteral("POS:METER")},
            {QStringLiteral("fault"),
             QStringLiteral("A fault on the replies (repeatable; see FAULT below)."),
             QStringLiteral("FAULT")},
            {QStringLiteral("seed"),
             QStringLiteral("Seed of the measurement noise and of fault shares (default 1)."),
             QStringLiteral("N")},
            {QStringLiteral("pace"),
             QStringLiteral("Take requests and send replies at the wire time of BAUD (11 bits a byte)."),
             QStringLiteral("BAUD")},
            {QStringLiteral("hold-ms"),
             QStringLiteral("Session hold time of every meter in ms, instead of its link "
                            "parameter (minutes)."),
             QStringLiteral("MS")},
            {QStringLiteral("load"),
             QStringLiteral("Reference load on every phase: current in amperes and phase angle "
                            "in degrees (default 5:20)."),
             QStringLiteral("AMPS[:DEG]")},
            {QStringLiteral("trace"), QStringLiteral("Write every frame to stderr.")},
        });
    }
};
} // namespace

QString SimOptions::helpText()
{
    Parser parser;
    return parser.p.helpText() + QLatin1Char('\n') + meterTextHelp() + QLatin1Char('\n') +
           FaultPlan::help() + QLatin1Char('\n') + ModemConfig::help();
}

SimOptions::Outcome SimOptions::parse(const QStringList &arguments, SimOptions *options,
                                      QString *error)
{
    Parser parser;
    QCommandLineParser &p = parser.p;
    if (!p.parse(arguments)) {
        *error = p.errorText();
        return Failed;
    }
    if (p.isSet(QStringLiteral("help")))
        return Help;
    if (!p.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument \"%1\"").arg(p.positionalArguments().first());
        return Failed;
    }
    SimOptions o;
    auto fail = [&](const QString &why) {
        *error = why;
        return Failed;
    };

    const QStringList meters = p.values(QStringLiteral("meter"));
    const QStringList texts = meters.isEmpty()
                                  ? QStringList{QStringLiteral("210.1,serial=000000001234567"),
                                                QStringLiteral("450.22R,serial=000000007654321")}
                                  : meters;
    for (int i = 0; i < texts.size(); ++i) {
        MeterConfig c;
        c.address = i + 1;
        if (!applyMeterText(texts[i], &c, error))
            return Failed;
        o.meters.append(c);
    }

    if (p.isSet(QStringLiteral("no-tcp")))
        o.tcp = false;
    if (p.isSet(QStringLiteral("tcp"))) {
        const QString v = p.value(QStringLiteral("tcp"));
        const int colon = v.lastIndexOf(QLatin1Char(':'));
        qint64 port = 0;
        if (colon <= 0 || QHostAddress(v.left(colon)).isNull() ||
            !textnumber::toBounded(v.mid(colon + 1), 10, 0, 65535, &port))
            return fail(
                QStringLiteral("--tcp wants HOST:PORT with a numeric address, not \"%1\"").arg(v));
        o.tcp = true;
        o.tcpHost = v.left(colon);
        o.tcpPort = quint16(port);
    }

    if (p.isSet(QStringLiteral("tcp-lines"))) {
        qint64 n = 0;
        if (!textnumber::toBounded(p.value(QStringLiteral("tcp-lines")), 10, 1, kMaxTcpLines, &n))
            return fail(
                QStringLiteral("--tcp-lines wants a number of lines 1..%1").arg(kMaxTcpLines));
        if (!o.tcp)
            return fail(QStringLiteral("--tcp-lines needs TCP (not --no-tcp)"));
        if (o.tcpPort != 0 && o.tcpPort + n - 1 > 65535)
            return fail(QStringLiteral("--tcp-lines %1 from port %2 runs past port 65535")
                            .arg(n)
                            .arg(o.tcpPort));
        o.tcpLines = int(n);
    }

    o.pty = p.isSet(QStringLiteral("pty"));
    if (p.isSet(QStringLiteral("link-com"))) {
        qint64 n = 0;
        if (!textnumber::toBounded(p.value(QStringLiteral("link-com")), 10, 1, 20, &n))
            return fail(QStringLiteral("--link-com wants a port number 1..20"));
        if (!o.pty)
            return fail(QStringLiteral("--link-com needs --pty"));
        o.linkCom = int(n);
    }
    o.workDir = p.value(QStringLiteral("workdir"));

    o.modem = p.isSet(QStringLiteral("modem"));
    if (p.isSet(QStringLiteral("modem-link-com"))) {
        qint64 n = 0;
        if (!textnumber::toBounded(p.value(QStringLiteral("modem-link-com")), 10, 1, 20, &n))
            return fail(QStringLiteral("--modem-link-com wants a port number 1..20"));
        if (!o.modem)
            return fail(QStringLiteral("--modem-link-com needs --modem"));
        if (n == o.linkCom)
            return fail(QStringLiteral("--modem-link-com and --link-com name the same port"));
        o.modemLinkCom = int(n);
    }
    for (const QString &name : ModemConfig::names()) {
        const QString option = QStringLiteral("modem-") + name;
        for (const QString &value : p.values(option))
            if (!o.modemConfig.apply(name, value, error))
                return Failed;
    }

    o.stand = p.isSet(QStringLiteral("stand"));
    if (p.isSet(QStringLiteral("stand-ip"))) {
        o.standIp = p.value(QStringLiteral("stand-ip"));
        if (QHostAddress(o.standIp).protocol() != QAbstractSocket::IPv4Protocol)
            return fail(
                QStringLiteral("--stand-ip wants an IPv4 address, not \"%1\"").arg(o.standIp));
    }
    if (p.isSet(QStringLiteral("stand-port"))) {
        qint64 port = 0;
        if (!textnumber::toBounded(p.value(QStringLiteral("stand-port")), 10, 0, 65535, &port))
            return fail(QStringLiteral("--stand-port wants a port number 0..65535"));
        o.standPort = quint16(port);
    }
    MeterConfig standDefault;
    standDefault.name = p.isSet(QStringLiteral("stand-model"))
                            ? p.value(QStringLiteral("stand-model")).toLatin1()
                            : QByteArray(kDefaultStandModel);
    standDefault.address = 255;
    if (standDefault.name.isEmpty() || standDefault.name.size() > 32)
        return fail(QStringLiteral("--stand-model wants a name of 1..32 characters"));
    o.standMeters.fill(standDefault);
    for (const QString &v : p.values(QStringLiteral("stand-meter"))) {
        const int colon = v.indexOf(QLatin1Char(':'));
        qint64 position = 0;
        if (colon <= 0 || !textnumber::toBounded(v.left(colon), 10, 1, 24, &position))
            return fail(
                QStringLiteral("--stand-meter wants POS:METER with POS 1..24, not \"%1\"").arg(v));
        if (!applyMeterText(v.mid(colon + 1), &o.standMeters[size_t(position - 1)], error))
            return Failed;
    }

    for (const QString &v : p.values(QStringLiteral("fault"))) {
        FaultPlan::Fault f;
        if (!FaultPlan::parse(v, &f, error))
            return Failed;
        o.faults.append(f);
    }

    qint64 v = 0;
    if (p.isSet(QStringLiteral("seed"))) {
        if (!textnumber::toBounded(p.value(QStringLiteral("seed")), 10, 0, 0xffffffffll, &v))
            return fail(QStringLiteral("--seed wants a number"));
        o.seed = quint32(v);
    }
    if (p.isSet(QStringLiteral("pace"))) {
        if (!textnumber::toBounded(p.value(QStringLiteral("pace")), 10, 50, 4000000, &v))
            return fail(QStringLiteral("--pace wants a baud rate 50..4000000"));
        o.paceBaud = int(v);
    }
    if (p.isSet(QStringLiteral("hold-ms"))) {
        if (!textnumber::toBounded(p.value(QStringLiteral("hold-ms")), 10, 1, qint64(1) << 40, &v))
            return fail(QStringLiteral("--hold-ms wants a positive number of ms"));
        o.holdMs = v;
    }
    if (p.isSet(QStringLiteral("load"))) {
        const QStringList parts = p.value(QStringLiteral("load")).split(QLatin1Char(':'));
        bool okAmps = false, okDeg = true;
        o.load.amps = parts.value(0).toDouble(&okAmps);
        if (parts.size() > 1)
            o.load.degrees = parts[1].toDouble(&okDeg);
        if (!okAmps || !okDeg || parts.size() > 2 || o.load.amps < 0 || o.load.amps > 1000 ||
            o.load.degrees < -180 || o.load.degrees > 180)
            return fail(QStringLiteral("--load wants AMPS[:DEGREES], 0..1000 A, -180..180 deg"));
    }
    o.trace = p.isSet(QStringLiteral("trace"));
    if (!o.tcp && !o.pty && !o.modem && !o.stand)
        return fail(QStringLiteral("nothing to serve: give --tcp, --pty, --modem or --stand"));
    *options = o;
    return Run;
}
