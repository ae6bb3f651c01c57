#include "metersim/tcpchannel.h"

#include "metersim/lineport.h"

#include <QTcpSocket>

TcpChannel::TcpChannel(SimLine *line, int paceBaud, bool trace, QObject *parent)
    : QObject(parent), m_line(line), m_paceBaud(paceBaud), m_trace(trace)
{
    connect(&m_server, &QTcpServer::newConnection, this, &TcpChannel::accept);
}

bool TcpChannel::listen(const QString &host, quint16 port, QString *error)
{
    if (m_server.listen(QHostAddress(host), port))
        return true;
    *error = QStringLiteral("cannot listen on %1:%2: %3")
                 .arg(host)
                 .arg(port)
                 .arg(m_server.errorString());
    return false;
}

QString TcpChannel::endpoint() const
{
    return m_server.serverAddress().toString() + QLatin1Char(':') +
           QString::number(m_server.serverPort());
}

void TcpChannel::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto sink = [socket](const QByteArray &bytes) -> qint64 {
            if (socket->state() != QAbstractSocket::ConnectedState)
                return -1;
            const qint64 n = socket->write(bytes);
            socket->flush();
            return n;
        };
        auto *port = new LinePort(m_line, sink, m_paceBaud,
                                  QStringLiteral("tcp#%1").arg(++m_connections), socket);
        port->setTrace(m_trace);
        // A gateway forwards what its serial side has received, not a packet a byte; with
        // hundreds of lines paced, a write a byte would make this process the limit.
        port->setWholeReplies(true);
        connect(socket, &QTcpSocket::readyRead, port,
                [socket, port] { port->receive(socket->readAll()); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}
