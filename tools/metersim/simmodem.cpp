#include "metersim/simmodem.h"

#include "metersim/lineport.h"

#include <cstdio>

namespace {
// A command line longer than this is noise.
const int kMaxCommandLine = 256;
} // namespace

SimModem::SimModem(SimLine *line, const ModemConfig &config, PacedWriter::Sink sink, int paceBaud,
                   bool trace, QObject *parent)
    : QObject(parent), m_config(config), m_sink(sink),
      m_port(new LinePort(line, sink, paceBaud, QStringLiteral("modem"), this)), m_trace(trace)
{
    m_port->setTrace(trace);
    m_dialTimer.setSingleShot(true);
    m_guardTimer.setSingleShot(true);
    connect(&m_dialTimer, &QTimer::timeout, this, &SimModem::dialled);
    connect(&m_guardTimer, &QTimer::timeout, this, &SimModem::guardPassed);
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

void SimModem::receive(const QByteArray &bytes)
{
    switch (m_mode) {
    case Data: {
        // "+++" alone, then silence, is the escape; anything else, pluses included, is data.
        const QByteArray held = m_pluses + bytes;
        if (held.size() <= 3 && held.count('+') == held.size()) {
            m_pluses = held;
            m_guardTimer.start(m_config.guardMs);
            return;
        }
        m_guardTimer.stop();
        m_pluses.clear();
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
        return answer("OK");
    }
    if (up == "AT+CREG=0" || up == "AT+CREG=1" || up == "AT+CREG=2") {
        m_cregMode = up.back() - '0';
        return answer("OK");
    }
    if (up == "AT+CREG?")
        return answer("+CREG: " + QByteArray::number(m_cregMode) + ',' +
                      QByteArray::number(m_config.registration) + "\r\n\r\nOK");
    if (up == "ATH" || up == "ATH0") {
        m_mode = Command;
        m_pluses.clear();
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

void SimModem::dialled()
{
    if (m_mode != Dialling)
        return;
    const bool registered = m_config.registration == 1 || m_config.registration == 5;
    if (!registered) {
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

bool SimModem::hangUp()
{
    if (m_mode == Command)
        return false;
    m_dialTimer.stop();
    m_guardTimer.stop();
    m_pluses.clear();
    m_mode = Command;
    answer("NO CARRIER");
    return true;
}
