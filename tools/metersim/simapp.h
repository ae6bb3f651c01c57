#pragma once

#include "metersim/faultplan.h"
#include "metersim/simclock.h"
#include "metersim/simoptions.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <memory>
#include <vector>

class PtyChannel;
class QSocketNotifier;
class SimLine;
class SimModem;
class StandSwitch;
class TcpChannel;

// The metersim process: builds the lines and channels of the options, announces the endpoints
// on stdout and takes control lines on stdin.
class SimApp : public QObject
{
    Q_OBJECT
public:
    // Exit codes of start().
    enum Exit { Ok = 0, Usage = 1, ChannelFailed = 2, StandNeedsPrivilege = 77 };

    explicit SimApp(const SimOptions &options, QObject *parent = nullptr);
    ~SimApp() override;

    // Opens every channel and prints "tcp ..." (one for each gateway), "pty ...", "link ...",
    // "modem ...", "modemlink ...", "stand ..." and "ready". Anything but Ok: a message is on
    // stderr and nothing stays open.
    int start();

private:
    void controlReadable();
    void control(const QString &line);
    void modemControl(const QString &line);
    void readingControl(const QString &line);
    static void say(const QString &line);
    SimLine *makeLine(const QString &name);

    SimOptions m_options;
    SimClock m_clock;
    FaultPlan m_faults;
    // The line of the first gateway, the pty and the modem; then the lines of the other
    // gateways of --tcp-lines.
    std::unique_ptr<SimLine> m_line;
    std::vector<std::unique_ptr<SimLine>> m_moreLines;
    std::unique_ptr<SimLine> m_standLine;
    std::unique_ptr<StandSwitch> m_switch;
    QList<TcpChannel *> m_tcp;
    PtyChannel *m_pty = nullptr;
    PtyChannel *m_standPty = nullptr;
    PtyChannel *m_modemPty = nullptr;
    SimModem *m_modem = nullptr;
    QSocketNotifier *m_control = nullptr;
    QByteArray m_controlBuffer;
};
