#pragma once

#include "core/modemanswer.h"
#include "link/comport.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QTimer>

// A GSM modem on a serial port (always 9600 bit/s) that dials the meter's modem. open() opens the
// port and walks the modem through its AT dialogue (modemanswer.h); connIsEstablished(true) comes
// only with CONNECT, after which meter frames pass both ways as on a plain serial line. close()
// leaves data mode with "+++" and hangs up with "ATH". Every failure, time-out and the end of the
// call logs its line, closes the port ("Порт закрыт") and reports connIsEstablished(false).
//
// Standard modems take "+++" as the escape only after a second of silence before and after it
// (their guard time), so nothing is written for kGuardMs before "+++", and "ATH" waits as long
// after it. Once the dial has gone out, a failure does not simply close the port: a call that is
// up is left and hung up like at close(), a dial still running is aborted, and only when that
// fails does the log ask for a hang-up by hand. DTR is raised while the port is open and dropped
// on close, so a modem set to hang up on DTR (&D2) does so as well.
class csd : public comport
{
    Q_OBJECT
public:
    explicit csd(QObject *parent = nullptr);
    ~csd() override;

    // 0 idle, 1..6 and 10 start-up, 7 online, 8 leaving data mode, 9 "ATH" sent, 11 aborting the
    // dial (modemanswer.h).
    int modemState = 0;
    QTimer answerTimer;
    // Filled in by the engine before open(), with white space trimmed.
    QByteArray pin;
    QByteArray phoneNumber;
    bool pinEnabled = false;

    // How long the modem may take to answer a command, and to report the call up after dialling.
    int answerMs = 5000;
    int connectMs = 80000;

    // Silence around "+++": a little over the usual one second.
    static constexpr int kGuardMs = 1100;
    // A modem still searching the network is asked every kRegistrationPollMs, for up to
    // kRegistrationLimitMs.
    static constexpr int kRegistrationPollMs = 2000;
    static constexpr int kRegistrationLimitMs = 30000;
    // Online, a reply without a good CRC gathers until the line has been quiet this long: a
    // radio link may pause in the middle of a reply.
    static constexpr int kOnlineGapMs = 500;

    // Frames go out only while online; nothing is written while the call is being left.
    bool closing() const override;
    bool callMayBeUp() const override;

public slots:
    bool open() override;
    // Online: the escape and "ATH"; while dialling: the dial is aborted; before the dial: the
    // port is closed. Nothing when the port is closed or the call is already being ended.
    void close() override;
    int write(const char *data, int len) override;
    // answerTimer: the modem has not answered in time.
    void modem_timeot();

protected:
    void packetReceived(const QByteArray &packet) override;
    void lineFailed() override;

private:
    enum class Pause { None, Escape, HangUp, AskRegistration };

    void send(const QByteArray &command);
    int writeLine(const char *data, int len);
    void proceed();
    bool asksAgain(const modemanswer::Step &step);
    void leaveCall();
    void abortDial();
    void pauseOver();
    void lineQuiet();
    void shutdown();
    void log(const QString &text, const QColor &colour, bool newLine = false);
    qint64 sinceStart() const { return m_clock.elapsed(); }

    // What the modem has sent since the current state began, not yet decided on.
    QByteArray m_answer;
    QTimer m_pauseTimer;
    Pause m_pause = Pause::None;
    QTimer m_gapTimer;
    QElapsedTimer m_clock;
    // When the last byte written has left the line at 9600 bit/s, and when "+++" went out.
    qint64 m_lineFreeAt = 0;
    qint64 m_escapeAt = 0;
    // Since the first answer that the network is still being searched.
    QElapsedTimer m_searching;
};
