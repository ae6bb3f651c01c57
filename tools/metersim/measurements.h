#pragma once

#include "metersim/meterconfig.h"

#include <QList>
#include <QRandomGenerator>
#include <array>

// What a meter measures. The load is a reference source (as on a test stand): nominal voltage
// of the model, a given current and phase angle on every phase. Each reading adds a little noise
// and passes through the meter's own gain error and its calibration coefficients, so that the
// program's calibration formulas bring the readings back to the reference. Energy is integrated
// from the reference power over real time into the register of the tariff in force.
class Measurements
{
public:
    Measurements(const QByteArray &deviceName, quint32 seed);

    struct Load {
        double amps = 5.0;
        double degrees = 20.0;
    };
    void setLoad(const Load &load) { m_load = load; }
    double nominalVolts() const { return m_nominalVolts; }

    // One phase as read now (phase 0 for single-phase meters), in volts, amperes, watts, vars
    // and volt-amperes.
    struct Reading {
        double volts = 0, amps = 0, watts = 0, vars = 0, voltAmps = 0;
    };
    Reading phase(int phase, const QList<qint32> &calibration);
    // Backup battery in volts; raw starting-current reading.
    double batteryVolts();
    qint64 startCurrentRaw();

    // The calibration block that makes this meter read the reference exactly (its factory
    // calibration).
    QList<qint32> calibratedBlock() const;
    // The initial (uncalibrated) block of the series.
    static QList<qint32> initialBlock(Series series);

    // Reference power of the whole meter, kW and kvar.
    double referenceKw() const;
    double referenceKvar() const;

    // Integrates energy up to `nowMs` into register `tariff` (0-based).
    void advance(qint64 nowMs, int tariff);
    // Registers in kWh: active per tariff, then (three-phase) reactive per tariff.
    const QList<double> &active() const { return m_active; }
    const QList<double> &reactive() const { return m_reactive; }
    void clearEnergy();

private:
    double noise(double relative);

    Series m_series;
    int m_variant; // three-phase: 1 ".42", 2 ".22", 3 ".21"
    double m_nominalVolts;
    Load m_load;
    QRandomGenerator m_random;
    // Per-meter gain errors: [quantity][phase], quantities U, I, P, Q, S.
    std::array<std::array<double, 3>, 5> m_gain{};
    double m_battery;
    qint64 m_startCurrent;
    QList<double> m_active;
    QList<double> m_reactive;
    qint64 m_lastMs = -1;
};
