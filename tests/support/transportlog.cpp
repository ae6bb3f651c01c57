#include "support/transportlog.h"

#include "link/comm.h"

TransportLog::TransportLog(comm *transport)
{
    connect(transport, &comm::connIsEstablished, this,
            [this](bool st) { events << QString::fromLatin1(st ? "up" : "down"); });
    connect(
        transport, &comm::debugMsg, this,
        [this](const QString &s, const QColor &clr, bool timeStamp, bool newLine) {
            events << QString::fromLatin1(!timeStamp ? "badlog:" : newLine ? "nlog:" : "log:") + s;
            colours << clr;
        });
    connect(transport, &comm::receivePaket, this, [this](const QByteArray &p) { packets << p; });
}
