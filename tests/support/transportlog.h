#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QObject>
#include <QStringList>

class comm;

// Everything a transport tells the world, in order: events are "up" and "down" for
// connIsEstablished(true/false) and "log:" + text for each debugMsg (its colour in colours, one
// per log line); packets are the delivered packets. Log lines must carry a time stamp: those
// with a blank line before them are recorded as "nlog:" + text, those without a time stamp as
// "badlog:" + text.
class TransportLog : public QObject
{
    Q_OBJECT
public:
    explicit TransportLog(comm *transport);

    QStringList events;
    QList<QColor> colours;
    QList<QByteArray> packets;
};
