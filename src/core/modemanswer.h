#pragma once

#include <QByteArray>
#include <QString>

// The GSM modem's AT dialogue, apart from any port or timer: given the state of the dialogue and
// the bytes the modem has sent since that state began, what happens next. The transport feeds
// every packet, keeps what a step leaves unconsumed for the next state, and does the sending,
// timing and logging.
//
// States: 0 idle, 1 "AT" sent, 2 PIN answer awaited, 3 "AT+CREG=1" sent, 4 registration state
// awaited, 5 echo of the dial command awaited, 6 CONNECT awaited, 7 online (meter frames pass),
// 8 "+++" sent, 9 "ATH" sent.
//
// Command states (1-6, 8, 9) decide on complete lines: a line ends at CR or LF (CR LF is one
// end), and an answer is complete with its final result line ("OK", "ERROR", "+CME ERROR: ...",
// "CONNECT ...", "BUSY", "NO CARRIER", ...; in state 5 also the echo line holding "ATD"). Until
// then the answer is NeedMore. "RING" and "+CREG: ..." lines are modem reports, not answers: they
// are skipped, except that in state 4 the last "+CREG:" line before the final line is the answer.
// A final line that does not come within kMaxAnswer bytes fails the state. The decision itself
// keeps the modem's literal rules ("contains OK and not ERROR", ...) over the answer's lines; after
// the PIN itself has been sent, a bare "OK" suffices (READY is required only of the answer to
// "AT+CPIN?"). In state 9 a "NO CARRIER" before the final line reports the call that "ATH" ends.
//
// Online (state 7) bytes are the meter's binary frames, decided per packet: "NO CARRIER" ends the
// call, a "+CREG: " report is held until its line ends, line ends alone are dropped, and a
// packet that is only the start of one of those reports is held for the rest.
namespace modemanswer {

// Longest answer awaited before it counts as garbage.
constexpr int kMaxAnswer = 1024;

// What the dialogue needs from the session parameters.
struct Settings
{
    QByteArray pin;
    QByteArray phoneNumber;
    bool pinEnabled = false;
};

enum class Action {
    NeedMore,  // not decided: keep the bytes and wait for more (the answer timer keeps running)
    Next,      // go to nextState, send command (when not empty), start the answer timer
    Connected, // the call is up: state 7, the answer timer stays stopped
    Report,    // online: a modem report, shown in the log and otherwise ignored
    Ignore,    // online: line ends of a modem report; nothing to show
    Data,      // online: a packet for the frame codec (the consumed bytes)
    Fail,      // show message (and the manual hang-up warning when asked), shut down
    Done,      // the call is hung up: shut down
};

struct Step
{
    Action action = Action::NeedMore;
    int nextState = 0;
    QByteArray command;        // as sent, carriage return included
    bool waitsConnect = false; // Next: the long wait for CONNECT instead of the answer time
    QString message;           // Fail: the error line; Next: a notice, if any
    bool manualHangUp = false; // Fail: the call may still be up
    bool showReceived = false; // online: show the consumed bytes in the log first
    int consumed = 0;          // bytes used; the rest belongs to nextState
};

// The step for `received` (everything since `state` began; empty: NeedMore).
Step judge(int state, const QByteArray &received, const Settings &settings);

// Commands the transport sends on its own.
QByteArray startCommand();  // "AT" + CR
QByteArray escapeCommand(); // "+++", no CR
QByteArray hangUpCommand(); // "ATH" + CR

// Modem bytes as log text: Latin-1, HTML special characters escaped, control characters other
// than CR, LF and tab shown as ".".
QString logText(const QByteArray &bytes);

} // namespace modemanswer
