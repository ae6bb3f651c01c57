#pragma once

#include "core/modemanswer.h"
#include "link/comport.h"

#include <QByteArray>
#include <QTimer>

// A GSM modem on a serial port (always 9600 bit/s) that dials the meter's modem. open() opens the
// port and walks the modem through its AT dialogue (modemanswer.h); connIsEstablished(true) comes
// only with CONNECT, after which meter frames pass both ways as on a plain serial line. close()
// leaves data mode with "+++" and hangs up with "ATH". Every failure, time-out and the end of the
// call logs its line, closes the port ("Порт закрыт") and reports connIsEstablished(false).
class csd : public comport
{
    Q_OBJECT
public:
    explicit csd(QObject *parent = nullptr);
    ~csd() override;

    // 0 idle, 1..6 start-up, 7 online, 8 "+++" sent, 9 "ATH" sent (modemanswer.h).
    int modemState = 0;
    QTimer answerTimer;
    // Filled in by the engine before open(), with white space trimmed.
    QByteArray pin;
    QByteArray phoneNumber;
    bool pinEnabled = false;

    // How long the modem may take to answer a command, and to report the call up after dialling.
    int answerMs = 5000;
    int connectMs = 80000;

public slots:
    bool open() override;
    // Nothing when the port is closed or the call is already being ended.
    void close() override;
    // answerTimer: the modem has not answered in time.
    void modem_timeot();

protected:
    void packetReceived(const QByteArray &packet) override;
    void lineFailed() override;

private:
    void send(const QByteArray &command);
    void proceed();
    void shutdown();
    void log(const QString &text, const QColor &colour, bool newLine = false);

    // What the modem has sent since the current state began, not yet decided on.
    QByteArray m_answer;
};
