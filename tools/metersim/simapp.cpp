#include "metersim/simapp.h"

#include "metersim/ptychannel.h"
#include "metersim/simline.h"
#include "metersim/simmodem.h"
#include "metersim/standswitch.h"
#include "metersim/tcpchannel.h"

#include <QSocketNotifier>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {
const int kRelaySettleMs = 20;
} // namespace

SimApp::SimApp(const SimOptions &options, QObject *parent)
    : QObject(parent), m_options(options), m_faults(options.seed)
{
    for (const FaultPlan::Fault &f : m_options.faults)
        m_faults.add(f);
}

SimApp::~SimApp()
{
    // Channels first: they write into the lines.
    qDeleteAll(m_tcp);
    delete m_pty;
    delete m_standPty;
    delete m_modem;
    delete m_modemPty;
    if (m_switch)
        m_switch->stop();
}

void SimApp::say(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

SimLine *SimApp::makeLine(const QString &name)
{
    auto *line = new SimLine(&m_faults);
    if (m_options.trace)
        line->setTrace([name](const QString &text) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(text));
        });
    return line;
}

int SimApp::start()
{
    auto fail = [](const QString &what, int code) {
        std::fprintf(stderr, "metersim: %s\n", qPrintable(what));
        return code;
    };
    quint32 seed = m_options.seed * 1000;
    auto addMeter = [&](SimLine *line, const MeterConfig &config, int position) {
        auto meter = std::make_unique<SimMeter>(config, &m_clock, ++seed);
        meter->setLoad(m_options.load);
        meter->setHoldOverrideMs(m_options.holdMs);
        line->addMeter(std::move(meter), position);
    };
    QString error;

    if (m_options.tcp || m_options.pty || m_options.modem) {
        m_line.reset(makeLine(QStringLiteral("line")));
        for (const MeterConfig &c : m_options.meters)
            addMeter(m_line.get(), c, 0);
    }
    if (m_options.tcp) {
        for (int i = 0; i < m_options.tcpLines; ++i) {
            SimLine *line = m_line.get();
            if (i > 0) {
                m_moreLines.emplace_back(makeLine(QStringLiteral("line%1").arg(i + 1)));
                line = m_moreLines.back().get();
                for (const MeterConfig &c : m_options.meters)
                    addMeter(line, c, 0);
            }
            auto *tcp = new TcpChannel(line, m_options.paceBaud, m_options.trace, this);
            m_tcp.append(tcp);
            const quint16 port = m_options.tcpPort ? quint16(m_options.tcpPort + i) : 0;
            if (!tcp->listen(m_options.tcpHost, port, &error))
                return fail(error, ChannelFailed);
        }
    }
    if (m_options.pty) {
        m_pty = new PtyChannel(m_line.get(), m_options.paceBaud, m_options.trace,
                               QStringLiteral("pty"), this);
        if (!m_pty->open(&error))
            return fail(error, ChannelFailed);
    }
    QString link;
    if (m_options.linkCom > 0 &&
        !m_pty->linkAs(m_options.linkCom, m_options.workDir, &link, &error))
        return fail(error, ChannelFailed);

    QString modemLink;
    if (m_options.modem) {
        m_modemPty = new PtyChannel(
            [this](const QByteArray &bytes) {
                if (m_modem)
                    m_modem->receive(bytes);
            },
            QStringLiteral("modem"), this);
        if (!m_modemPty->open(&error))
            return fail(error, ChannelFailed);
        m_modem = new SimModem(m_line.get(), m_options.modemConfig, m_modemPty->sink(),
                               m_options.paceBaud, m_options.trace, this);
        if (!m_modem->watchPort(m_modemPty->slavePath(), &error))
            return fail(error, ChannelFailed);
        if (m_options.modemLinkCom > 0 &&
            !m_modemPty->linkAs(m_options.modemLinkCom, m_options.workDir, &modemLink, &error))
            return fail(error, ChannelFailed);
    }

    if (m_options.stand) {
        m_switch = std::make_unique<StandSwitch>();
        if (!m_switch->start(m_options.standIp, m_options.standPort)) {
            const QString where =
                (m_options.standIp.isEmpty() ? QStringLiteral("127.0.0.x") : m_options.standIp) +
                QLatin1Char(':') + QString::number(m_options.standPort);
            if (m_switch->permissionDenied())
                return fail(QStringLiteral("stand: cannot listen on %1: %2 (port %3 needs root "
                                           "or CAP_NET_BIND_SERVICE; --stand-port 0 does not)")
                                .arg(where, m_switch->errorString())
                                .arg(m_options.standPort),
                            StandNeedsPrivilege);
            return fail(QStringLiteral("stand: cannot listen on %1: %2")
                            .arg(where, m_switch->errorString()),
                        ChannelFailed);
        }
        m_standLine.reset(makeLine(QStringLiteral("stand")));
        StandSwitch *block = m_switch.get();
        m_standLine->setSwitch([block] { return block->coils(); });
        for (int p = 0; p < int(m_options.standMeters.size()); ++p)
            addMeter(m_standLine.get(), m_options.standMeters[size_t(p)], p + 1);
        m_standPty = new PtyChannel(m_standLine.get(), m_options.paceBaud, m_options.trace,
                                    QStringLiteral("stand"), this);
        // The program switches a position and sends its frame at once, without waiting for
        // the block's answer; like real relays, the switch is given time to settle.
        m_standPty->setHearingDelay(kRelaySettleMs);
        if (!m_standPty->open(&error))
            return fail(error, ChannelFailed);
    }

    for (const TcpChannel *tcp : std::as_const(m_tcp))
        say(QStringLiteral("tcp ") + tcp->endpoint());
    if (m_pty)
        say(QStringLiteral("pty ") + m_pty->slavePath());
    if (!link.isEmpty())
        say(QStringLiteral("link ") + link);
    if (m_modemPty)
        say(QStringLiteral("modem ") + m_modemPty->slavePath());
    if (!modemLink.isEmpty())
        say(QStringLiteral("modemlink ") + modemLink);
    if (m_standPty)
        say(QStringLiteral("stand %1:%2 %3")
                .arg(m_switch->address())
                .arg(m_switch->port())
                .arg(m_standPty->slavePath()));

    if (::fcntl(STDIN_FILENO, F_GETFD) != -1) {
        m_control = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(m_control, &QSocketNotifier::activated, this, &SimApp::controlReadable);
    }
    say(QStringLiteral("ready"));
    return Ok;
}

void SimApp::controlReadable()
{
    char buf[1024];
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n <= 0) {
        // End of input (or no usable stdin): the line keeps running without control.
        m_control->setEnabled(false);
        return;
    }
    m_controlBuffer.append(buf, int(n));
    for (int eol; (eol = m_controlBuffer.indexOf('\n')) >= 0;) {
        const QString line = QString::fromUtf8(m_controlBuffer.left(eol)).trimmed();
        m_controlBuffer.remove(0, eol + 1);
        if (!line.isEmpty())
            control(line);
    }
    if (m_controlBuffer.size() > 4096)
        m_controlBuffer.clear();
}

void SimApp::control(const QString &line)
{
    if (line == QLatin1String("faults off")) {
        m_faults.clear();
        say(QStringLiteral("ok"));
        return;
    }
    if (line.startsWith(QLatin1String("fault "))) {
        FaultPlan::Fault f;
        QString error;
        if (!FaultPlan::parse(line.mid(6).trimmed(), &f, &error)) {
            say(QStringLiteral("error ") + error);
            return;
        }
        m_faults.add(f);
        say(QStringLiteral("ok"));
        return;
    }
    if (line.startsWith(QLatin1String("modem "))) {
        modemControl(line.mid(6).trimmed());
        return;
    }
    if (line.startsWith(QLatin1String("reading "))) {
        readingControl(line.mid(8).simplified());
        return;
    }
    if (line.startsWith(QLatin1String("restart "))) {
        // "restart ADDR": the meter at that address on the line loses its power a moment.
        bool ok = false;
        const int address = line.mid(8).trimmed().toInt(&ok);
        SimMeter *meter = ok && m_line ? m_line->meterAt(address) : nullptr;
        if (!meter) {
            say(QStringLiteral("error no meter at address \"%1\"").arg(line.mid(8).trimmed()));
            return;
        }
        meter->restart();
        say(QStringLiteral("ok"));
        return;
    }
    say(QStringLiteral("error unknown command \"%1\"").arg(line));
}

void SimApp::readingControl(const QString &line)
{
    // "ADDR OBJ VALUE", "ADDR OBJ off" or "ADDR off": the meters of the line (not the stand's).
    const QStringList parts = line.split(QLatin1Char(' '));
    bool okAddress = false;
    const int address = parts.value(0).toInt(&okAddress);
    SimMeter *meter = okAddress && m_line ? m_line->meterAt(address) : nullptr;
    if (!meter) {
        say(QStringLiteral("error no meter at address \"%1\"").arg(parts.value(0)));
        return;
    }
    if (parts.size() == 2 && parts[1] == QLatin1String("off")) {
        meter->unpinReadings();
        say(QStringLiteral("ok"));
        return;
    }
    bool okObject = false, okValue = false;
    const uint object = parts.value(1).toUInt(&okObject, 16);
    if (parts.size() != 3 || !okObject || object > 0xff) {
        say(QStringLiteral("error reading wants ADDR OBJ VALUE|off, or ADDR off"));
        return;
    }
    if (parts[2] == QLatin1String("off")) {
        meter->unpinReading(quint8(object));
        say(QStringLiteral("ok"));
        return;
    }
    const qint64 value = parts[2].toLongLong(&okValue);
    if (!okValue || !meter->pinReading(quint8(object), value)) {
        say(QStringLiteral("error object %1 cannot read %2").arg(parts[1], parts[2]));
        return;
    }
    say(QStringLiteral("ok"));
}

void SimApp::modemControl(const QString &line)
{
    if (!m_modem) {
        say(QStringLiteral("error no modem (start with --modem)"));
        return;
    }
    const QString name = line.section(QLatin1Char(' '), 0, 0);
    const QString value = line.section(QLatin1Char(' '), 1).trimmed();
    if (name == QLatin1String("hangup")) {
        say(m_modem->hangUp() ? QStringLiteral("ok") : QStringLiteral("error no call"));
        return;
    }
    if (name == QLatin1String("call")) {
        say(QStringLiteral("call ") + m_modem->callState());
        return;
    }
    if (name == QLatin1String("urc")) {
        if (value.isEmpty() || value.size() > 128) {
            say(QStringLiteral("error modem urc wants a text of 1..128 characters"));
            return;
        }
        m_modem->report(value.toLatin1());
        say(QStringLiteral("ok"));
        return;
    }
    QString error;
    if (!m_modem->config().apply(name, value, &error)) {
        say(QStringLiteral("error ") + error);
        return;
    }
    say(QStringLiteral("ok"));
}
