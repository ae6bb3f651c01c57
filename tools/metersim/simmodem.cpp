#include "metersim/simmodem.h"

#include "metersim/lineport.h"
#include "metersim/modemdtr.h"

#include <cstdio>
#include <utility>

namespace {
// A command line longer than this is noise.
const int kMaxCommandLine = 256;
// A fade in the radio link (pause) comes after this many bytes of a reply.
const int kPauseAfter = 3;
// <stat> of "+CREG: <n>,<stat>" while the network is searched.
const int kSearching = 2;
} // namespace

SimModem::SimModem(SimLine *line, const ModemConfig &config, PacedWriter::Sink sink, int paceBaud,
                   bool trace, QObject *parent)
    : QObject(parent), m_config(config), m_sink(sink), m_trace(trace)
{
    // The line's replies pass through the call, not straight to the program.
    m_port = new LinePort(
        line, [this](const QByteArray &bytes) { return fromLine(bytes); }, paceBaud,
        QStringLiteral("modem"), this);
    m_port->setTrace(trace);
    m_dialTimer.setSingleShot(true);
    m_guardTimer.setSingleShot(true);
    m_searchTimer.setSingleShot(true);
    m_pauseTimer.setSingleShot(true);
    connect(&m_dialTimer, &QTimer::timeout, this, &SimModem::dialled);
    connect(&m_guardTimer, &QTimer::timeout, this, &SimModem::guardPassed);
    connect(&m_searchTimer, &QTimer::timeout, this, &SimModem::searchOver);
    connect(&m_pauseTimer, &QTimer::timeout, this, &SimModem::pauseOver);
    m_silence.start();
    // Powered up now.
    startSearch();
}

bool SimModem::watchPort(const QString &path, QString *error)
{
    delete m_dtr;
    m_dtr = new ModemDtr(
        path, [this] { dtrDropped(); }, this);
    return m_dtr->start(error);
}

void SimModem::trace(const char *what, const QByteArray &bytes) const
{
    if (m_trace)
        std::fprintf(stderr, "modem %s: %s\n", what,
                     qPrintable(QString::fromLatin1(bytes).toHtmlEscaped()));
}

void SimModem::send(const QByteArray &bytes)
{
    if (m_sink)
        m_sink(bytes);
}

void SimModem::answer(const QByteArray &text)
{
    trace("tx", text);
    send(QByteArrayLiteral("\r\n") + text + QByteArrayLiteral("\r\n"));
}

void SimModem::report(const QByteArray &text)
{
    answer(text);
}

QString SimModem::callState() const
{
    switch (m_mode) {
    case Dialling:
        return QStringLiteral("dialling");
    case Data:
        return QStringLiteral("data");
    case OnlineCommand:
        return QStringLiteral("command");
    case Command:
        break;
    }
    return QStringLiteral("none");
}

void SimModem::receive(const QByteArray &bytes)
{
    const qint64 silentMs = m_silence.restart();
    switch (m_mode) {
    case Data: {
        // "+++" after a guard time of silence, then silence again, is the escape; anything else,
        // pluses straight after data included, is data.
        const QByteArray held = m_pluses + bytes;
        const bool escapeStarts = !m_pluses.isEmpty() || silentMs >= m_config.guardMs;
        if (escapeStarts && held.size() <= 3 && held.count('+') == held.size()) {
            m_pluses = held;
            m_guardTimer.start(m_config.guardMs);
            return;
        }
        m_guardTimer.stop();
        m_pluses.clear();
        // A new request: its reply may fade.
        m_replyBytes = 0;
        m_port->receive(held);
        return;
    }
    case Dialling:
        // Any character aborts the dialling, as on a real modem.
        m_dialTimer.stop();
        m_mode = Command;
        answer("NO CARRIER");
        return;
    case Command:
    case OnlineCommand:
        break;
    }
    if (m_config.echo)
        send(bytes);
    for (const char c : bytes) {
        if (c == '\r') {
            const QByteArray line = m_commandLine.trimmed();
            m_commandLine.clear();
            if (!line.isEmpty())
                command(line);
            if (m_mode == Dialling || m_mode == Data)
                return; // the rest of the bytes went nowhere on a real modem either
        } else if (c != '\n' && m_commandLine.size() < kMaxCommandLine) {
            m_commandLine.append(c);
        }
    }
}

void SimModem::command(const QByteArray &line)
{
    trace("rx", line);
    const QByteArray up = line.toUpper();
    if (!up.startsWith("AT"))
        return; // not a command: a modem says nothing
    if (m_config.errorCommands.contains(up))
        return answer("ERROR");
    const bool callUp = m_mode == OnlineCommand;
    if (up == "AT" || up == "ATZ" || up == "AT&F")
        return answer("OK");
    if (up == "ATE0" || up == "ATE1") {
        m_config.echo = up == "ATE1";
        return answer("OK");
    }
    if (up == "AT&D0" || up == "AT&D1" || up == "AT&D2") {
        m_config.dtr = ModemConfig::Dtr(up.back() - '0');
        return answer("OK");
    }
    if (up == "AT+CPIN?")
        return answer(m_config.simReady ? "+CPIN: READY\r\n\r\nOK" : "+CPIN: SIM PIN\r\n\r\nOK");
    if (up.startsWith("AT+CPIN=")) {
        QByteArray code = line.mid(8);
        if (code.size() >= 2 && code.startsWith('"') && code.endsWith('"'))
            code = code.mid(1, code.size() - 2);
        if (m_config.simReady)
            return answer("+CME ERROR: 3"); // operation not allowed: no PIN is asked for
        if (code != m_config.pinCode)
            return answer("+CME ERROR: 16"); // incorrect password
        m_config.simReady = true;
        startSearch();
        return answer("OK");
    }
    if (up == "AT+CREG=0" || up == "AT+CREG=1" || up == "AT+CREG=2") {
        m_cregMode = up.back() - '0';
        return answer("OK");
    }
    if (up == "AT+CREG?")
        return answer("+CREG: " + QByteArray::number(m_cregMode) + ',' +
                      QByteArray::number(registration()) + "\r\n\r\nOK");
    if (up == "ATH" || up == "ATH0") {
        endCall();
        return answer("OK");
    }
    if (up == "ATO" || up == "ATO0") {
        if (!callUp)
            return answer("NO CARRIER");
        m_mode = Data;
        return answer("CONNECT 9600");
    }
    if (up.startsWith("ATD") && !callUp) {
        if (up.size() == 3)
            return answer("ERROR");
        if (!m_config.simReady)
            return answer("+CME ERROR: 11"); // SIM PIN required
        m_mode = Dialling;
        m_dialTimer.start(m_config.dialMs);
        return;
    }
    answer("ERROR");
}

int SimModem::registration() const
{
    if (!m_config.simReady)
        return 0; // no network without the SIM
    if (m_searchTimer.isActive())
        return kSearching;
    return m_config.registration;
}

void SimModem::startSearch()
{
    if (m_config.registerMs > 0)
        m_searchTimer.start(m_config.registerMs);
}

void SimModem::searchOver()
{
    // With reports on (AT+CREG=1), a standard modem tells of the change at once.
    if (m_cregMode > 0 && m_mode == Command)
        answer("+CREG: " + QByteArray::number(registration()));
}

void SimModem::dialled()
{
    if (m_mode != Dialling)
        return;
    const int stat = registration();
    if (stat != 1 && stat != 5) {
        m_mode = Command;
        return answer("NO CARRIER");
    }
    switch (m_config.dial) {
    case ModemConfig::Connect:
    case ModemConfig::Connect9600:
        m_mode = Data;
        m_pluses.clear();
        return answer(m_config.dial == ModemConfig::Connect ? "CONNECT" : "CONNECT 9600");
    case ModemConfig::Busy:
        m_mode = Command;
        return answer("BUSY");
    case ModemConfig::NoCarrier:
        m_mode = Command;
        return answer("NO CARRIER");
    case ModemConfig::Silent:
        return; // rings for ever; any character from the program ends it
    }
}

void SimModem::guardPassed()
{
    if (m_mode != Data || m_pluses.isEmpty())
        return;
    const QByteArray held = m_pluses;
    m_pluses.clear();
    if (held.size() < 3) {
        m_port->receive(held);
        return;
    }
    m_mode = OnlineCommand;
    answer("OK");
}

void SimModem::endCall()
{
    m_dialTimer.stop();
    m_guardTimer.stop();
    m_pauseTimer.stop();
    m_pluses.clear();
    m_held.clear();
    m_mode = Command;
}

void SimModem::dtrDropped()
{
    m_commandLine.clear();
    switch (m_config.dtr) {
    case ModemConfig::DtrIgnored:
        return;
    case ModemConfig::DtrCommandMode:
        if (m_mode == Data) {
            m_guardTimer.stop();
            m_pluses.clear();
            m_mode = OnlineCommand;
        }
        return;
    case ModemConfig::DtrHangsUp:
        // Nobody listens: no result code goes out to wait for the next program.
        trace("dtr", m_mode == Command ? "dropped" : "dropped, call ended");
        endCall();
        return;
    }
}

bool SimModem::hangUp()
{
    if (m_mode == Command)
        return false;
    endCall();
    answer("NO CARRIER");
    return true;
}

qint64 SimModem::fromLine(const QByteArray &bytes)
{
    // Without a call in data mode the far side's bytes reach nobody.
    if (m_mode != Data)
        return bytes.size();
    if (m_config.pauseMs <= 0)
        return m_sink ? m_sink(bytes) : -1;
    if (m_pauseTimer.isActive() || !m_held.isEmpty()) {
        m_held += bytes;
        return bytes.size();
    }
    // Up to the fade as it comes, the rest of the reply after it.
    const qsizetype now = m_replyBytes < kPauseAfter
                              ? qMin<qsizetype>(kPauseAfter - m_replyBytes, bytes.size())
                              : bytes.size();
    const bool fades = m_replyBytes < kPauseAfter && m_replyBytes + now == kPauseAfter;
    m_replyBytes += int(now);
    send(bytes.left(now));
    if (fades) {
        trace("fade", QByteArray::number(m_config.pauseMs) + " ms");
        m_held = bytes.mid(now);
        m_pauseTimer.start(m_config.pauseMs);
    }
    return bytes.size();
}

void SimModem::pauseOver()
{
    // The rest of the reply, then nothing more until the next request.
    m_replyBytes = kPauseAfter + 1;
    send(std::exchange(m_held, {}));
}
