#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>

class comm;

// Frame codec: puts address and CRC around a request payload, writes it to the current transport
// and waits for the answer. Every packet the transport delivers is passed on with the result of
// its CRC check; silence for the reply time is a time-out. One object lives as long as the main
// window; the transport under it changes at every session start.
class modbus : public QObject
{
    Q_OBJECT
public:
    explicit modbus(QObject *parent = nullptr);

    QTimer replyTimer;
    // Not owned: the engine deletes transports, which clears this pointer.
    QPointer<comm> transport;
    // The channel's base reply time in ms, added to each request's own allowance.
    int extraTime = 2000;

    // Address field (addressSize 1: one byte; 4: 32-bit little-endian; other: a zero byte), the
    // payload and the CRC, low byte first.
    static QByteArray makeFrame(int address, char addressSize, QByteArray payload);

    // Writes the frame to the transport (if any) and, unless allowance is -1 (no reply awaited),
    // (re)starts the reply timer for allowance + extraTime ms.
    void sendFrame(QByteArray frame, int allowance);

    // Packets of `t` come to receive(); a previous transport is let go.
    void setTransport(comm *t);

public slots:
    void receive(QByteArray data);
    void timeoutConnectionTick();

signals:
    void receivePaket(QByteArray paket, bool crcStatus);
    void deviceTimeout();
};
