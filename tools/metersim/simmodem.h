#pragma once

#include "metersim/modemconfig.h"
#include "metersim/pacedwriter.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

class LinePort;
class SimLine;

// A GSM modem that the program drives with AT commands and that, once its data call is up,
// carries meter frames to the meters of a line and their replies back, like the pty line. It
// leaves data mode on "+++" followed by guardMs of silence ("OK"), and "ATH" ends the call. The
// far side can hang up (hangUp()) and the modem can report whatever unsolicited line (report()).
class SimModem : public QObject
{
    Q_OBJECT
public:
    SimModem(SimLine *line, const ModemConfig &config, PacedWriter::Sink sink, int paceBaud,
             bool trace, QObject *parent = nullptr);

    // Bytes from the program.
    void receive(const QByteArray &bytes);

    ModemConfig &config() { return m_config; }
    // Ends the call from the far side: "NO CARRIER". False when there is no call.
    bool hangUp();
    // Sends "\r\n" + text + "\r\n" at once, whatever the modem is doing.
    void report(const QByteArray &text);

private:
    enum Mode {
        Command,       // AT commands, no call
        Dialling,      // ATD given, outcome pending
        Data,          // call up, bytes go to the line
        OnlineCommand, // call up, AT commands after "+++"
    };

    void command(const QByteArray &line);
    void dialled();
    void guardPassed();
    void answer(const QByteArray &text);
    void send(const QByteArray &bytes);
    void trace(const char *what, const QByteArray &bytes) const;

    ModemConfig m_config;
    PacedWriter::Sink m_sink;
    LinePort *m_port;
    bool m_trace;
    Mode m_mode = Command;
    int m_cregMode = 0;
    QByteArray m_commandLine;
    QByteArray m_pluses; // a possible escape held back from the line
    QTimer m_dialTimer;
    QTimer m_guardTimer;
};
