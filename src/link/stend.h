#pragma once

#include "core/standframe.h"
#include "link/connectlimit.h"

#include <QObject>
#include <QString>
#include <QTimer>

class QTcpSocket;

// The factory stand's switching block (Modbus/TCP, port 502): switches one stand position, or
// none, onto the RS-485 line. The meters themselves are reached through a comport.
class stend : public QObject
{
    Q_OBJECT
public:
    explicit stend(QObject *parent = nullptr);
    ~stend() override;

    QTcpSocket *socket;
    // The block's TCP port. The stand's block listens on 502; a block started by a user without
    // the privilege to bind 502 (the tests' one) listens elsewhere.
    quint16 port = standframe::kPort;

    static constexpr int kConnectLimitMs = 1000;
    static constexpr int kSettleMs = 200;
    static constexpr int kMaxRead = 100;

    // Connects to `address`, `port`, within kConnectLimitMs, then lets the block settle for up
    // to kSettleMs (anything it sends meanwhile is dropped). Returns at once; the outcome comes
    // as standConnected(). A new call abandons any earlier connection or attempt.
    void connectToStand(QString address);
    // Switches position p (1..24) onto the line and every other off; any other p switches every
    // meter off. The block's answer comes as acceptSelection(). Nothing is sent while
    // unconnected.
    void selectPosition(int p);
    // Closes the connection; an attempt in progress is abandoned without standConnected().
    void closeStand();

    bool isConnected() const;

signals:
    void acceptSelection(bool status);
    void standConnected(bool ok);

public slots:
    void readData();

private slots:
    void attemptFinished(bool connected);

private:
    enum class Phase { Idle, Connecting, Settling, Ready };
    void settled(bool ok);

    ConnectLimit m_attempt;
    QTimer m_settle;
    Phase m_phase = Phase::Idle;
};
