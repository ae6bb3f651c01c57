#pragma once

#include "core/devicerecord.h"
#include "core/exchangerules.h"
#include "core/sessionparameters.h"
#include "link/modbus.h"

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

class comm;
class stend;

// The exchange with the meters, apart from any window. It sets up each session's channel (it
// creates and owns the transport, and the stand link on the factory stand), keeps exactly one
// request on the wire, carries batches of command texts whose replies it checks, repeats and
// hands back by value, and runs the meter search. It reports everything by signals: log lines,
// progress, results.
//
// A meter is named by plain values taken from its record when a batch starts (its address or
// serial number), so the engine runs the same with or without a window.
class ExchangeEngine : public QObject
{
    Q_OBJECT
public:
    // Values of mode().
    enum Mode { ModeIdle = 0, ModeSearch = 1, ModeLoad = 4 };

    explicit ExchangeEngine(QObject *parent = nullptr);
    ~ExchangeEngine() override;

    // Session: logs the attempt, connects the stand link on the stand, creates the channel's
    // transport with its base reply time and opens it. The outcome comes as connIsEstablished(),
    // or as standRefused() when the stand's block cannot be reached.
    void initConnection(const SessionParameters &params);
    // Closes the transport; its connIsEstablished(false) ends the session.
    void logout();
    // For the program's end: starts ending a GSM call that may be up (or a dial that may run).
    // True when that is under way and connIsEstablished(false) will follow; false when nothing
    // needs waiting for.
    bool releaseCall();
    // The channel is being let go (the silence around a modem's escape): requests are refused.
    bool lineClosing() const;
    // "Соединение со стендом разорвано", then the stand link is closed.
    void closeStand();
    // The parameters of the current or last session; before the first one, those the program
    // remembered from its last run.
    const SessionParameters &sessionParameters() const { return m_params; }
    void setLastSession(const SessionParameters &params) { m_params = params; }
    comm *transport() const { return m_transport; }
    stend *standLink() const { return m_stand; }
    modbus &codec() { return m_codec; }

    int mode() const { return exchangeMode; }
    bool exchangeBusy() const { return exchangeMode != ModeIdle; }

    // Starts a batch of command texts for the meter at `meter`; each request allows ackTimeOut ms
    // besides the channel's base time. While `meterGuard` (if given) lives, the meter is there; a
    // batch whose meter has gone ends at its next request with status 2. Refused (false, nothing
    // emitted) without commands, or while another batch or a search runs or the channel is
    // being let go (that is logged).
    bool load_from_device(const exchangerules::Address &meter, int type, const QStringList &cmds,
                          int ackTimeOut, QObject *meterGuard = nullptr);
    // Builds the frame of one command text for `meter` and sends it, whatever runs.
    void sendTextCmd(const exchangerules::Address &meter, const QString &str, int ackTimeOut);
    // Logs the frame as "TX: " + its bytes and writes it; ackTimeOut -1 awaits no reply. Refused
    // (logged) while the channel is being let go.
    void transmit(const QByteArray &frame, int ackTimeOut);
    // Ends a failed batch: status 2.
    void abortExchange();
    // The user's interrupt: a batch ends with status 1, a search just stops.
    void interruptLoadClick();
    // Lets the request on the wire finish first: a running batch ends with status 1 at its next
    // reply or time-out instead of sending another request, a good last reply kept. Nothing
    // happens while no batch runs.
    void stopAfterExchange();

    // The highest address (or stand position) a search may reach on this session's channel.
    int lastSearchAddress() const;
    // Probes min..max for meters; each one that answers comes as meterFound(). Refused while an
    // exchange runs (that is logged).
    bool searchStart(int min, int max);

    // Switches stand position pos (1..24) onto the line, 0 switches every meter off; the block's
    // answer comes as stendSelectAccept().
    void stendSelect(int pos);

signals:
    void log(QString str, QColor clr, bool timeStamp, bool newLine);
    // The progress dialog: shown with a title and value 0, moved, hidden.
    void progressShown(QString title);
    void progressChanged(int value);
    void progressHidden();
    // The batch's meter answered, or is asked again: its session is alive.
    void meterActive();
    // End of a batch: one reply per command, those not answered empty; status 0 every command
    // answered, 1 interrupted, 2 failed.
    void loadComplate(int type, QList<QByteArray> replies, int status);
    // A packet (0) or a time-out (3) while no batch or search waited for it.
    void unknownLoadComplate(int st);
    void meterFound(DeviceRecord record);
    void connIsEstablished(bool st);
    // The stand's switching block could not be reached: no session was started.
    void standRefused();
    void stendSelectAccept(bool st);

public slots:
    void paketReceive(QByteArray paket, bool crcStatus);
    void timeoutError();

private slots:
    void standLinkResult(bool ok);
    void transportState(bool st);
    void standAnswer(bool st);
    void reemitSearch();

private:
    void openTransport();
    void deleteTransport();

    void batchPacket(const QByteArray &reply, bool crcStatus, exchangerules::Verdict verdict);
    void countFailure(const QString &finalMessage);
    void sendCurrentCommand(bool progressStep);
    // After a reply to a command that timed out before: the next command (or the batch's end)
    // waits until the replies still owed have come, or the line has been quiet for a reply time.
    void settle(int owed);
    void settled();
    bool settlePacket(const QByteArray &paket, bool crcStatus);
    void finishBatch(int status, const QString &message, const QColor &colour);

    void searchPacket(const QByteArray &paket, bool crcStatus);
    void searchTimeout();
    void endSearch(const QColor &colour);

    SessionParameters m_params;
    modbus m_codec;
    comm *m_transport = nullptr;
    stend *m_stand;
    bool m_standPending = false;
    int exchangeMode = ModeIdle;

    // The batch.
    exchangerules::Address targetMeter;
    QPointer<QObject> m_meterGuard;
    bool m_guarded = false;
    int loadType = 0;
    QStringList loadCmds;
    QList<QByteArray> loadBufs;
    int loadIndex = 0;
    int loadRetries = 0;
    int loadAckTimeOut = 0;
    bool m_stopAfterExchange = false;
    // Sends of the command in progress that timed out: each may still be answered.
    int m_unanswered = 0;
    // Replies still owed to a command already answered, and the quiet that ends the wait for them.
    int m_owed = 0;
    QTimer m_settle;

    // The search.
    int searchMin = 0;
    int searchMax = 0;
    int searchAddress = 0;
    QTimer m_searchPause;
};
