#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QObject>
#include <QStringList>

class comm;

// Everything a transport tells the world, in order: events are "up" and "down" for
// connIsEstablished(true/false) and "log:" + text for each debugMsg (its colour in colours, one
// per log line); packets are the delivered packets. Log lines must carry a time stamp and no
// blank line before them, as every transport line does; a line that does not is recorded with
// the prefix "badlog:".
class TransportLog : public QObject
{
    Q_OBJECT
public:
    explicit TransportLog(comm *transport);

    QStringList events;
    QList<QColor> colours;
    QList<QByteArray> packets;
};
