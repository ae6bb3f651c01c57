#include "link/eth.h"

#include "core/wireframe.h"
#include "link/logcolours.h"

#include <QTcpSocket>

#include <utility>

eth::eth(QObject *parent) : comm(parent), socket(new QTcpSocket(this)), m_attempt(socket)
{
    connect(socket, &QTcpSocket::readyRead, this, &eth::readyRead);
    connect(socket, &QTcpSocket::disconnected, this, &eth::disconnectedSl);
    connect(&m_attempt, &ConnectLimit::finished, this, &eth::attemptFinished);
    pollTimer.setSingleShot(true);
    pollTimer.setInterval(kGapMs);
    connect(&pollTimer, &QTimer::timeout, this, &eth::receive_slot);
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
    while (socket->bytesAvailable() > 0) {
        const QByteArray chunk = socket->read(kMaxPacket);
        if (chunk.isEmpty())
            break;
        rxBuffer += chunk;
    }
    if (rxBuffer.isEmpty())
        return;
    // A whole frame waits for nothing; a piece of one waits for the rest.
    if (wireframe::crcMatches(rxBuffer) || rxBuffer.size() >= kMaxGathered)
        deliver();
    else
        pollTimer.start();
}

void eth::receive_slot()
{
    deliver();
}

void eth::deliver()
{
    pollTimer.stop();
    if (rxBuffer.isEmpty())
        return;
    emit receivePaket(std::exchange(rxBuffer, {}));
}

void eth::disconnectedSl()
{
    if (!m_up)
        return;
    m_up = false;
    // A reply cut off by the close belongs to no session.
    pollTimer.stop();
    rxBuffer.clear();
    emit debugMsg(tr("TCP-IP соединение закрыто"), logcolour::info, true, false);
    emit connIsEstablished(false);
}
