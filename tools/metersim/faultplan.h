#pragma once

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <optional>

// Faults put on the replies of the line on demand: each fault has a kind, a scope (every frame,
// one function and/or object, a share of the frames) and optionally a number of uses. The first
// fault whose scope takes a frame applies to it.
class FaultPlan
{
public:
    enum Kind {
        Drop,  // the request is lost: nothing happens, nothing comes back
        Crc,   // the reply comes with a broken CRC
        Echo,  // the line echoes the request; the meter does not hear it
        Late,  // the reply comes `argument` ms late; the replies after it wait for it
        Stale, // the reply comes `argument` ms late on its own: replies after it do not wait
        Split, // the reply comes in two parts, `argument` ms apart
        Error, // the meter refuses the request with error code `argument`
        Reply, // the meter acts; `payload` comes back instead of its own reply
    };
    struct Fault
    {
        Kind kind = Drop;
        int argument = 0;
        int function = -1; // -1: any
        int object = -1;   // -1: any
        int address = -1;  // the one-byte address of the meter that answers; -1: any
        int percent = 100;
        int count = -1; // -1: no limit
        QByteArray payload;
    };

    explicit FaultPlan(quint32 seed = 1);

    // KIND[:ARG][@SCOPE[,SCOPE...]]; kinds drop, crc, echo, late[:MS], split[:MS], error[:CODE],
    // reply:HEX;
    // scopes all, fn=HH, obj=HH, addr=N (one meter, by its address), N% (a share of the frames),
    // count=N (the first N frames only).
    static bool parse(const QString &text, Fault *fault, QString *error);
    static QString help();

    void add(const Fault &fault);
    void clear();
    bool isEmpty() const { return m_faults.isEmpty(); }

    // The fault for a request (object -1 when the request has none) to the meter at `address`;
    // uses it up once.
    std::optional<Fault> pick(int function, int object, int address = -1);

private:
    struct Entry
    {
        Fault fault;
        int used = 0;
    };
    QList<Entry> m_faults;
    QRandomGenerator m_random;
};
