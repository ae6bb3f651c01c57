#pragma once

#include "metersim/meterconfig.h"

#include <QByteArray>
#include <QList>
#include <array>

// Everything a meter keeps that the program can write, with its factory values.
struct MeterSettings
{
    // Link parameters, in the order of the 01 29 reply.
    quint8 address = 1;
    quint8 openAttempts = 3;
    quint8 baudIndex = 5;
    quint8 holdMinutes = 10;
    quint8 blockMinutes = 30;

    // Single-phase: item time, two item masks. Three-phase: switching period, menu delay, mask.
    QByteArray display;

    quint32 voltageLowMilli = 180000;
    quint32 voltageHighMilli = 260000;
    quint32 powerLimitMilli = 22500000;
    quint8 relayClosed = 0;
    quint16 loadThreshold = 22500;
    quint8 pulseMode = 0;

    std::array<QByteArray, 3> passwords;
    // 15 bytes, zero-padded.
    QByteArray serial;
    // 32 bytes, zero-padded.
    QByteArray name;

    // Index of the number-of-tariffs selector (single-phase items 1, 2, 4; three-phase 1..8).
    quint8 tariffIndex = 2;
    // Twelve months, each `zones()` zones of four bytes: hour, minute, working-day tariff << 4 |
    // holiday tariff, Saturday tariff << 4 | Sunday tariff; tariffs 0-based, 255/15 unset.
    QList<QByteArray> schedule;
    // Twenty (day, month) pairs, 255 empty.
    QByteArray holidays;
    quint8 daylightSaving = 1;
    qint16 clockCoefficient = 0;
    // Seven (single-phase) or 34 (three-phase) calibration coefficients: the working copy that
    // writes change and readings use, and the copy that "02 0d 04" saves and a restart goes back
    // to.
    QList<qint32> calibration;
    QList<qint32> savedCalibration;
    quint8 archivePeriod = 30;

    Series series = Series::Single;

    static MeterSettings factory(const MeterConfig &config);

    int zones() const { return isThreePhase(series) ? 16 : 8; }
    int tariffCount() const { return isThreePhase(series) ? 8 : 4; }
    int calibrationCount() const { return isThreePhase(series) ? 34 : 7; }
    // The text up to the first zero byte of `serial`.
    QByteArray serialText() const;
    QByteArray nameText() const;

    // The settings that a reset to defaults restores: display, limits, pulse mode, tariffs,
    // holidays, daylight saving, archive period and the link parameters other than the address.
    // Address, passwords, serial number, name and calibration stay.
    void restoreDefaults();

    // The fixed-width stored forms of a serial number and a name.
    static QByteArray padded(const QByteArray &text, int size);
};
