#pragma once

#include <QObject>
#include <QString>
#include <QTcpServer>

class SimLine;

// The line behind a TCP gateway: every connection is a way into the same meters, as a
// serial-to-network converter gives. Several connections may be open at once.
class TcpChannel : public QObject
{
    Q_OBJECT
public:
    TcpChannel(SimLine *line, int paceBaud, bool trace, QObject *parent = nullptr);

    // Port 0 picks a free port. False with a message when the address cannot be served.
    bool listen(const QString &host, quint16 port, QString *error);
    // "HOST:PORT" as served.
    QString endpoint() const;

private:
    void accept();

    SimLine *m_line;
    int m_paceBaud;
    bool m_trace;
    int m_connections = 0;
    QTcpServer m_server;
};
