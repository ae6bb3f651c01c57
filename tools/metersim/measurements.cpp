#include "metersim/measurements.h"

#include <QtMath>
#include <cmath>

namespace
{
// Three-phase transfer coefficients scale a reading by (1 + c / k), k by quantity U, I, P, Q, S.
const double kTransferScale[5] = {1562, 195, 5000, 5000, 5000};
const int kStartLimit[4] = {0, 350, 100, 20};
const double kOne = 16384.0;

int variantOf(const QByteArray &name)
{
    if (name.contains(".42"))
        return 1;
    if (name.contains(".22"))
        return 2;
    if (name.contains(".21"))
        return 3;
    return 0;
}
} // namespace

Measurements::Measurements(const QByteArray &deviceName, quint32 seed)
    : m_series(seriesOf(deviceName)), m_variant(variantOf(deviceName)),
      m_nominalVolts(isThreePhase(m_series) && m_variant == 3 ? 57.7 : 230.0), m_random(seed)
{
    for (auto &quantity : m_gain)
        for (double &g : quantity)
            g = 0.97 + 0.06 * m_random.generateDouble();
    m_battery = 3.0 + 0.1 * m_random.generateDouble();
    m_startCurrent = 36000 + m_random.bounded(8000);
    const int tariffs = isThreePhase(m_series) ? 8 : 4;
    for (int t = 0; t < tariffs; ++t) {
        // The first two tariffs carry most of the history.
        const double base = t == 0 ? 8000 : t == 1 ? 3000 : 40;
        m_active.append(std::round((base + 2000 * m_random.generateDouble()) * 100) / 100);
        if (isThreePhase(m_series))
            m_reactive.append(std::round(m_active.last() * 30) / 100);
    }
}

double Measurements::noise(double relative)
{
    return 1.0 + relative * (2 * m_random.generateDouble() - 1);
}

Measurements::Reading Measurements::phase(int phase, const QList<qint32> &calibration)
{
    phase = qBound(0, phase, 2);
    const double rad = qDegreesToRadians(m_load.degrees);
    const double u = m_nominalVolts, i = m_load.amps;
    const double truth[5] = {u, i, u * i * std::cos(rad), u * i * std::sin(rad), u * i};
    double read[5];
    for (int q = 0; q < 5; ++q) {
        double factor = m_gain[size_t(q)][size_t(phase)];
        if (isThreePhase(m_series)) {
            const int c = calibration.value(q * 3 + phase, 0);
            factor *= 1.0 + c / kTransferScale[q];
        } else if (q == 0 || q == 2) {
            // Single-phase: coefficient 0 scales voltage, 1 power, as gain / (2 - c / 16384).
            const double c = calibration.value(q == 0 ? 0 : 1, 16384);
            factor /= qMax(0.01, 2.0 - c / kOne);
        }
        read[q] = truth[q] * factor * noise(0.001);
    }
    return {read[0], read[1], read[2], read[3], read[4]};
}

double Measurements::batteryVolts()
{
    return m_battery * noise(0.001);
}

qint64 Measurements::startCurrentRaw()
{
    return qint64(m_startCurrent * noise(0.002));
}

QList<qint32> Measurements::initialBlock(Series series)
{
    if (isThreePhase(series)) {
        QList<qint32> b(34, 0);
        b[15] = b[16] = b[17] = 128;
        return b;
    }
    return {16384, 16384, 0, 0, 0, 0, 0};
}

QList<qint32> Measurements::calibratedBlock() const
{
    QList<qint32> b = initialBlock(m_series);
    if (isThreePhase(m_series)) {
        for (int q = 0; q < 5; ++q)
            for (int p = 0; p < 3; ++p)
                b[q * 3 + p] = qint32(
                    std::lround(kTransferScale[q] * (1.0 / m_gain[size_t(q)][size_t(p)] - 1)));
        for (int p = 0; p < 3; ++p)
            b[15 + p] = 128 + qint32(std::lround(1000 * (m_gain[0][size_t(p)] - 1)));
        b[33] = kStartLimit[m_variant];
        return b;
    }
    b[0] = qint32(std::lround(kOne * (2 - m_gain[0][0])));
    b[1] = qint32(std::lround(kOne * (2 - m_gain[2][0])));
    b[2] = -1350;
    b[3] = 98000;
    b[5] = qint32(m_startCurrent);
    return b;
}

double Measurements::referenceKw() const
{
    const int phases = isThreePhase(m_series) ? 3 : 1;
    return phases * m_nominalVolts * m_load.amps * std::cos(qDegreesToRadians(m_load.degrees)) /
           1000.0;
}

double Measurements::referenceKvar() const
{
    const int phases = isThreePhase(m_series) ? 3 : 1;
    return phases * m_nominalVolts * m_load.amps * std::sin(qDegreesToRadians(m_load.degrees)) /
           1000.0;
}

void Measurements::advance(qint64 nowMs, int tariff)
{
    if (m_lastMs >= 0 && nowMs > m_lastMs) {
        const double hours = (nowMs - m_lastMs) / 3600000.0;
        const int t = qBound(0, tariff, int(m_active.size()) - 1);
        m_active[t] += qMax(0.0, referenceKw()) * hours;
        if (!m_reactive.isEmpty())
            m_reactive[t] += qAbs(referenceKvar()) * hours;
    }
    m_lastMs = nowMs;
}

void Measurements::clearEnergy()
{
    for (double &e : m_active)
        e = 0;
    for (double &e : m_reactive)
        e = 0;
}
