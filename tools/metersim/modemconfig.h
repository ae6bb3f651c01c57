#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// How the emulated GSM modem behaves. Each setting has a name that is both a command-line option
// ("--modem-" + name) and a control line ("modem " + name + " " + value).
struct ModemConfig
{
    enum Dial { Connect, Connect9600, Busy, NoCarrier, Silent };
    // What a drop of DTR (the program closing its port) does, as AT&D0, &D1, &D2 set it.
    enum Dtr { DtrIgnored, DtrCommandMode, DtrHangsUp };

    bool echo = true;
    bool simReady = true; // false: the SIM waits for its PIN ("+CPIN: SIM PIN")
    QByteArray pinCode = "0000";
    int registration = 1; // <stat> of "+CREG: <n>,<stat>": 1 home, 5 roaming, 0 none, ...
    Dial dial = Connect9600;
    int dialMs = 1000;               // from "ATD" to its outcome
    int guardMs = 1000;              // silence before and after "+++" for it to be the escape
    QList<QByteArray> errorCommands; // command lines (upper case) answered "ERROR"
    int registerMs = 0;              // "+CREG: N,2" (searching) this long after power-up or PIN
    Dtr dtr = DtrHangsUp;
    int pauseMs = 0; // each reply through the call stops this long after its third byte

    // Sets `name` (echo, sim, pin, creg, dial, dial-ms, guard-ms, error, register-ms, dtr,
    // pause) from `value`; "error off" clears the error commands. False with a reason in `error`
    // for anything else.
    bool apply(const QString &name, const QString &value, QString *error);
    static QStringList names();
    static QString help();
};
