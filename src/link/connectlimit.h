#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class QTcpSocket;

// One connection attempt of a socket with a time limit, without blocking the event loop: ends
// with exactly one finished(), true when connected, false on refusal, error or the limit (the
// socket is then aborted). Both TCP links connect this way.
class ConnectLimit : public QObject
{
    Q_OBJECT
public:
    explicit ConnectLimit(QTcpSocket *socket, QObject *parent = nullptr);

    // Aborts whatever the socket was doing and starts an attempt.
    void start(const QString &host, quint16 port, int limitMs);
    // Ends a running attempt silently (no finished()).
    void cancel();
    bool isRunning() const { return m_running; }

signals:
    void finished(bool connected);

private:
    void finish(bool connected);

    QTcpSocket *m_socket;
    QTimer m_timer;
    bool m_running = false;
};
