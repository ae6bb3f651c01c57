#pragma once

#include "link/comm.h"
#include "link/connectlimit.h"

#include <QString>

class QTcpSocket;

// A TCP connection to a meter's network adapter or a serial-to-network converter. Whatever has
// arrived when the socket reports new data, up to kMaxPacket bytes, is one packet; bytes beyond
// that wait in the socket until more data arrives.
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

public slots:
    // Logs the attempt and returns at once; "TCP-IP соединение установлено" and
    // connIsEstablished(true) follow on success, "Время ожидания подключения истекло" and
    // connIsEstablished(false) on refusal or after kConnectLimitMs.
    bool open() override;
    void close() override;
    int write(const char *data, int len) override;
    void readyRead();
    void disconnectedSl();

private slots:
    void attemptFinished(bool connected);

private:
    ConnectLimit m_attempt;
    bool m_up = false;
};
