#include "link/modbus.h"

#include "link/comm.h"
#include "core/wireframe.h"

#include <limits>

modbus::modbus(QObject *parent) : QObject(parent)
{
    replyTimer.setInterval(2000);
    replyTimer.setSingleShot(true);
    connect(&replyTimer, &QTimer::timeout, this, &modbus::timeoutConnectionTick);
}

QByteArray modbus::makeFrame(int address, char addressSize, QByteArray payload)
{
    return wireframe::make(address, addressSize, payload);
}

void modbus::sendFrame(QByteArray frame, int allowance)
{
    if (transport)
        transport->write(frame.constData(), int(frame.size()));
    if (allowance == -1)
        return;
    // Without a transport the timer still runs, so the engine gets its time-out.
    const qint64 ms = qint64(allowance) + extraTime;
    replyTimer.start(int(qBound(qint64(0), ms, qint64(std::numeric_limits<int>::max()))));
}

void modbus::setTransport(comm *t)
{
    if (transport && transport != t)
        disconnect(transport, &comm::receivePaket, this, &modbus::receive);
    transport = t;
    if (t)
        connect(t, &comm::receivePaket, this, &modbus::receive, Qt::UniqueConnection);
}

void modbus::receive(QByteArray data)
{
    replyTimer.stop();
    emit receivePaket(data, wireframe::crcMatches(data));
}

void modbus::timeoutConnectionTick()
{
    replyTimer.stop();
    emit deviceTimeout();
}
