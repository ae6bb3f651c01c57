#include "link/eth.h"

#include "link/logcolours.h"

#include <QTcpSocket>

eth::eth(QObject *parent) : comm(parent), socket(new QTcpSocket(this)), m_attempt(socket)
{
    connect(socket, &QTcpSocket::readyRead, this, &eth::readyRead);
    connect(socket, &QTcpSocket::disconnected, this, &eth::disconnectedSl);
    connect(&m_attempt, &ConnectLimit::finished, this, &eth::attemptFinished);
}

eth::~eth()
{
    close();
}

bool eth::open()
{
    if (m_attempt.isRunning() || m_up) {
        emit connIsEstablished(false);
        return false;
    }
    emit debugMsg(tr("Попытка установки соединения: ") + ethernetIp + QLatin1Char(':') +
                      QString::number(ethernetPort),
                  logcolour::info, true, false);
    m_attempt.start(ethernetIp, quint16(ethernetPort), kConnectLimitMs);
    return true;
}

void eth::attemptFinished(bool connected)
{
    if (connected) {
        m_up = true;
        emit debugMsg(tr("TCP-IP соединение установлено"), logcolour::info, true, false);
        emit connIsEstablished(true);
    } else {
        emit debugMsg(tr("Время ожидания подключения истекло"), logcolour::error, true, false);
        emit connIsEstablished(false);
    }
}

void eth::close()
{
    if (m_attempt.isRunning()) {
        // Given up before the connection came up: the attempt still ends with an outcome.
        m_attempt.cancel();
        emit connIsEstablished(false);
        return;
    }
    // A connected socket reports disconnected(), which ends the session in disconnectedSl().
    socket->close();
}

int eth::write(const char *data, int len)
{
    if (socket->state() != QAbstractSocket::ConnectedState || !data || len < 0)
        return -1;
    return int(socket->write(data, len));
}

void eth::readyRead()
{
    const QByteArray packet = socket->read(kMaxPacket);
    if (!packet.isEmpty())
        emit receivePaket(packet);
}

void eth::disconnectedSl()
{
    if (!m_up)
        return;
    m_up = false;
    emit debugMsg(tr("TCP-IP соединение закрыто"), logcolour::info, true, false);
    emit connIsEstablished(false);
}
