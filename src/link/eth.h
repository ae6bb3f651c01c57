#pragma once

#include "link/comm.h"
#include "link/connectlimit.h"

#include <QString>

class QTcpSocket;

// A TCP connection to a meter's network adapter or a serial-to-network converter. Converters
// often pass a reply on in pieces a few milliseconds apart, so the bytes read (kMaxPacket at a
// time) gather into one packet: it goes on at once when it holds a frame with a good CRC, and
// otherwise when the line has been quiet for kGapMs.
class eth : public comm
{
    Q_OBJECT
public:
    explicit eth(QObject *parent = nullptr);
    ~eth() override;

    // Filled in by the engine before open().
    int ethernetPort = 0;
    QString ethernetIp;

    QTcpSocket *socket;

    static constexpr int kConnectLimitMs = 1000;
    static constexpr int kMaxPacket = 180;
    static constexpr int kGapMs = 20;
    // Bytes that never make a frame are passed on at this size at the latest.
    static constexpr int kMaxGathered = 65536;

public slots:
    // Logs the attempt and returns at once; "TCP-IP соединение установлено" and
    // connIsEstablished(true) follow on success, "Время ожидания подключения истекло" and
    // connIsEstablished(false) on refusal or after kConnectLimitMs.
    bool open() override;
    void close() override;
    int write(const char *data, int len) override;
    void readyRead();
    void disconnectedSl();
    // pollTimer: the line has been quiet for kGapMs; what has gathered is one packet.
    void receive_slot();

private slots:
    void attemptFinished(bool connected);

private:
    void deliver();

    ConnectLimit m_attempt;
    bool m_up = false;
};
