#pragma once

#include "metersim/modemconfig.h"
#include "metersim/pacedwriter.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class LinePort;
class ModemDtr;
class SimLine;

// A GSM modem that the program drives with AT commands and that, once its data call is up,
// carries meter frames to the meters of a line and their replies back, like the pty line. It is
// as strict as a standard modem: "+++" leaves data mode only with guardMs of silence before and
// after it (otherwise the pluses are data for the meter), "ATH" ends the call, an unlocked SIM
// refuses a PIN, the network is searched for a while after power-up and after the PIN, and the
// program closing its port drops DTR (ModemDtr). The far side can hang up (hangUp()) and the
// modem can report whatever unsolicited line (report()).
class SimModem : public QObject
{
    Q_OBJECT
public:
    SimModem(SimLine *line, const ModemConfig &config, PacedWriter::Sink sink, int paceBaud,
             bool trace, QObject *parent = nullptr);

    // Bytes from the program.
    void receive(const QByteArray &bytes);
    // Watches the port at `path` (the pty's slave) for the program's closes: DTR.
    bool watchPort(const QString &path, QString *error);

    ModemConfig &config() { return m_config; }
    // Ends the call from the far side: "NO CARRIER". False when there is no call.
    bool hangUp();
    // Sends "\r\n" + text + "\r\n" at once, whatever the modem is doing.
    void report(const QByteArray &text);
    // "none", "dialling", "data" or "command" (the call up, command mode after "+++").
    QString callState() const;

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
    void dtrDropped();
    void endCall();
    int registration() const;
    void startSearch();
    void searchOver();
    qint64 fromLine(const QByteArray &bytes);
    void pauseOver();
    void answer(const QByteArray &text);
    void send(const QByteArray &bytes);
    void trace(const char *what, const QByteArray &bytes) const;

    ModemConfig m_config;
    PacedWriter::Sink m_sink;
    LinePort *m_port;
    ModemDtr *m_dtr = nullptr;
    bool m_trace;
    Mode m_mode = Command;
    int m_cregMode = 0;
    QByteArray m_commandLine;
    QByteArray m_pluses; // a possible escape held back from the line
    QTimer m_dialTimer;
    QTimer m_guardTimer;
    // Since the program last sent anything.
    QElapsedTimer m_silence;
    // The network search after power-up or the PIN.
    QElapsedTimer m_searchSince;
    QTimer m_searchTimer;
    // The reply through the call: bytes passed so far, and those held by a pause.
    int m_replyBytes = 0;
    QByteArray m_held;
    QTimer m_pauseTimer;
};
