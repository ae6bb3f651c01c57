#include "link/connectlimit.h"

#include <QTcpSocket>

ConnectLimit::ConnectLimit(QTcpSocket *socket, QObject *parent) : QObject(parent), m_socket(socket)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { finish(false); });
    connect(socket, &QAbstractSocket::connected, this, [this] { finish(true); });
    connect(socket, &QAbstractSocket::errorOccurred, this, [this] { finish(false); });
}

void ConnectLimit::start(const QString &host, quint16 port, int limitMs)
{
    cancel();
    m_socket->abort();
    // Running before connectToHost: it may report an error at once.
    m_running = true;
    m_timer.start(limitMs);
    m_socket->connectToHost(host, port, QIODevice::ReadWrite);
}

void ConnectLimit::cancel()
{
    if (!m_running)
        return;
    m_running = false;
    m_timer.stop();
    m_socket->abort();
}

void ConnectLimit::finish(bool connected)
{
    if (!m_running)
        return;
    m_running = false;
    m_timer.stop();
    if (!connected)
        m_socket->abort();
    emit finished(connected);
}
