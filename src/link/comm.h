#pragma once

#include <QByteArray>
#include <QColor>
#include <QObject>
#include <QString>
#include <QTimer>

// A channel to the meters: opens a connection, writes frames, and delivers received bytes grouped
// into packets. The engine creates one per session, fills in the channel's parameters, hands it
// to the frame codec and calls open(); the outcome of every open and close comes as
// connIsEstablished().
class comm : public QObject
{
    Q_OBJECT
public:
    explicit comm(QObject *parent = nullptr);
    ~comm() override;

    // Transports that group bytes by time restart it at each arrival; when it fires, rxBuffer is
    // one packet.
    QTimer pollTimer;
    QByteArray rxBuffer;

    // The connection is being let go: nothing more may be written, the session's end follows.
    virtual bool closing() const { return false; }
    // A call that costs until it is hung up may be up (or being dialled): close() ends it, and
    // connIsEstablished(false) follows once it has.
    virtual bool callMayBeUp() const { return false; }

public slots:
    // Starts the connection; the outcome is reported through connIsEstablished().
    virtual bool open() = 0;
    virtual void close() = 0;
    // Sends bytes; -1 when nothing can be sent.
    virtual int write(const char *data, int len) = 0;

signals:
    void receivePaket(QByteArray data);
    void connIsEstablished(bool st);
    void debugMsg(QString str, QColor clr, bool timeStamp, bool newLine);
};
