#pragma once

#include <QByteArray>
#include <QString>
#include <array>

// Which set of objects a meter has, decided from its device name as the program decides it:
// "210" single-phase, otherwise "450" or "430" three-phase. A meter with any other name answers
// as a single-phase one (the program calls its series unrecognised).
enum class Series { Single, Three, Unknown };
Series seriesOf(const QByteArray &deviceName);
inline bool isThreePhase(Series s)
{
    return s == Series::Three;
}

// What a meter is when the line starts: given on the command line, the rest of its state starts
// from factory values.
struct MeterConfig {
    QByteArray name = "210.1";
    int address = 1;
    // Up to 15 characters; empty (or all "0") means the meter answers only by address.
    QByteArray serial;
    // Six bytes per access level: user, administrator, developer.
    std::array<QByteArray, 3> passwords;
    QByteArray version = "1.10";
    // Software identifier; 0 picks the series' own.
    quint16 identifier = 0;
    // Session hold time in minutes (link parameter byte 3).
    int holdMinutes = 10;

    MeterConfig();
};

// Applies a meter description to `config`: comma-separated KEY=VALUE pairs, a first piece without
// "=" being the name. Keys: name, addr, serial, pwd0, pwd1, pwd2 (twelve hex digits), version, id
// (hex), hold (minutes). False with a message for anything it cannot take.
bool applyMeterText(const QString &text, MeterConfig *config, QString *error);

// The help text of the meter keys, for --help.
QString meterTextHelp();
