#pragma once

#include <QByteArray>
#include <QString>

// The GSM modem's AT dialogue, apart from any port or timer: given the state of the dialogue and
// the bytes the modem has sent since that state began, what happens next. The transport feeds
// every packet, keeps what a step leaves unconsumed for the next state, and does the sending,
// timing and logging.
//
// States: 0 idle, 1 "AT" sent, 2 SIM state ("AT+CPIN?") awaited, 3 "AT+CREG=1" sent, 4
// registration state awaited, 5 echo of the dial command awaited, 6 CONNECT awaited, 7 online
// (meter frames pass), 8 leaving data mode ("+++"), 9 "ATH" sent, 10 the PIN's answer awaited,
// 11 a command sent to abort the dial, its answer awaited.
//
// The PIN is entered only when the SIM asks for it ("+CPIN: SIM PIN" with the PIN option on): a
// SIM already unlocked refuses it. A modem still searching the network ("+CREG: n,2" or "n,0")
// is asked again (Again); how often and how long is the transport's.
//
// Command states (1-6, 8-11) decide on complete lines: a line ends at CR or LF (CR LF is one
// end), and an answer is complete with its final result line ("OK", "ERROR", "+CME ERROR: ...",
// "CONNECT ...", "BUSY", "NO CARRIER", ...; in state 5 also the echo line holding "ATD"). Until
// then the answer is NeedMore. "RING" and "+CREG: ..." lines are modem reports, not answers: they
// are skipped, except that in state 4 the last "+CREG:" line before the final line is the answer.
// A final line that does not come within kMaxAnswer bytes fails the state. The decision itself
// keeps the modem's literal rules ("contains OK and not ERROR", ...) over the answer's lines; after
// the PIN itself has been sent, a bare "OK" suffices (READY is required only of the answer to
// "AT+CPIN?"). In state 9 a "NO CARRIER" before the final line reports the call that "ATH" ends.
// A failure after the dial that saw "CONNECT" (echo off) leaves the call up (callUp); any
// answer to the abort of a dial ends it, unless the call came up first ("CONNECT").
//
// Online (state 7) bytes are the meter's binary frames, gathered over packets: "NO CARRIER" ends
// the call, a "+CREG: " report is held until its line ends, and anything else waits (NeedMore)
// until it is a frame with a good CRC, which goes on at once, or until the line has been quiet
// for the transport's gap (quiet()). Line ends are data like any byte; only line ends alone,
// when the line goes quiet, are dropped.
namespace modemanswer {

// Longest answer awaited before it counts as garbage.
constexpr int kMaxAnswer = 1024;
// Online bytes that never make a frame go on at this size at the latest.
constexpr int kMaxGathered = 65536;

// What the dialogue needs from the session parameters.
struct Settings
{
    QByteArray pin;
    QByteArray phoneNumber;
    bool pinEnabled = false;
};

enum class Action {
    NeedMore,  // not decided: keep the bytes and wait for more (the answer timer keeps running)
    Next,      // go to nextState, send command (when not empty), start the answer timer; to 8:
               // leave data mode and hang up (the call came up after all)
    Again,     // state 4, the network still being searched: send command again after a pause
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
    bool callUp = false;       // Fail: the call is up: leave data mode and hang up first
    bool showReceived = false; // online: show the consumed bytes in the log first
    int consumed = 0;          // bytes used; the rest belongs to nextState
};

// The step for `received` (everything since `state` began; empty: NeedMore).
Step judge(int state, const QByteArray &received, const Settings &settings);
// Online, the line has been quiet: what has gathered goes on as Data, or is dropped (Ignore)
// when it is only line ends; empty: NeedMore.
Step quiet(const QByteArray &received);

// Commands the transport sends on its own.
QByteArray startCommand();  // "AT" + CR
QByteArray escapeCommand(); // "+++", no CR
QByteArray hangUpCommand(); // "ATH" + CR
QByteArray abortCommand();  // "AT" + CR: any character stops a dial, and a modem that no longer
                            // dials answers it

// Modem bytes as log text: Latin-1, HTML special characters escaped, control characters other
// than CR, LF and tab shown as ".".
QString logText(const QByteArray &bytes);

} // namespace modemanswer
