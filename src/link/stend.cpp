#include "link/stend.h"

#include "core/standframe.h"

#include <QTcpSocket>

stend::stend(QObject *parent) : QObject(parent), socket(new QTcpSocket(this)), m_attempt(socket)
{
    m_settle.setSingleShot(true);
    connect(socket, &QTcpSocket::readyRead, this, &stend::readData);
    connect(socket, &QTcpSocket::disconnected, this, [this] {
        if (m_phase == Phase::Settling)
            settled(false);
        else if (m_phase == Phase::Ready)
            m_phase = Phase::Idle;
    });
    connect(&m_attempt, &ConnectLimit::finished, this, &stend::attemptFinished);
    connect(&m_settle, &QTimer::timeout, this, [this] { settled(true); });
}

stend::~stend()
{
    m_attempt.cancel();
    m_settle.stop();
    socket->disconnect(this);
    delete socket;
}

void stend::connectToStand(QString address)
{
    m_settle.stop();
    m_phase = Phase::Connecting;
    m_attempt.start(address, port, kConnectLimitMs);
}

void stend::attemptFinished(bool connected)
{
    if (!connected) {
        m_phase = Phase::Idle;
        emit standConnected(false);
        return;
    }
    // Nothing has been written yet, so there is nothing to wait for on the sending side.
    m_phase = Phase::Settling;
    m_settle.start(kSettleMs);
}

void stend::settled(bool ok)
{
    m_settle.stop();
    m_phase = ok ? Phase::Ready : Phase::Idle;
    emit standConnected(ok);
}

void stend::selectPosition(int p)
{
    if (socket->state() != QAbstractSocket::ConnectedState)
        return;
    socket->write(standframe::selectRequest(p));
}

void stend::closeStand()
{
    m_attempt.cancel();
    m_settle.stop();
    m_phase = Phase::Idle;
    socket->close();
}

bool stend::isConnected() const
{
    return m_phase == Phase::Ready && socket->state() == QAbstractSocket::ConnectedState;
}

void stend::readData()
{
    if (m_phase == Phase::Settling) {
        socket->readAll();
        settled(true);
        return;
    }
    const QByteArray reply = socket->read(kMaxRead);
    emit acceptSelection(standframe::isAcknowledgement(reply));
}
