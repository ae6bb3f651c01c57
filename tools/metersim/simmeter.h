#pragma once

#include "metersim/measurements.h"
#include "metersim/meterconfig.h"
#include "metersim/meterrecords.h"
#include "metersim/metersettings.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>

class SimClock;

// One virtual meter: takes a request payload (function, object, data) that is addressed to it
// and returns its reply payload, keeping its settings, clock, measurements, lists and session.
// Addressing, CRC and faults belong to the line (SimLine).
class SimMeter
{
public:
    // Error codes of the reply table that this meter uses.
    enum ErrorCode : quint8 {
        UnknownFunction = 1,
        UnknownObject = 2,
        BadData = 3,
        BadFrame = 11,
        NoSession = 8,
        LevelTooLow = 9,
        WrongPassword = 13,
    };

    SimMeter(const MeterConfig &config, const SimClock *clock, quint32 seed);

    // What the meter sends back: a reply payload (empty: nothing), and how long it works on the
    // request before answering.
    struct Answer
    {
        QByteArray payload;
        int delayMs = 0;
    };
    Answer handle(const QByteArray &payload);

    int address() const { return m_settings.address; }
    // The four-byte address: the last ten characters of the serial number as a signed 32-bit
    // decimal number, as the program forms it. False when the meter has none: no serial number,
    // one made only of "0", one that is not such a number, or a version below 1.09.
    bool serialAddress(quint32 *value) const;
    bool supportsSerialNumber() const;

    const MeterSettings &settings() const { return m_settings; }
    Series series() const { return m_settings.series; }
    QDateTime meterNow() const;
    // -1 while no session is open.
    int sessionLevel() const;

    void setLoad(const Measurements::Load &load) { m_measurements.setLoad(load); }
    // Pins what a measurement object reads to `raw`, the number as it goes out (V, A, W × 1000
    // single-phase, the powers × 100 three-phase, the start current raw), without noise or
    // calibration, so that a test knows the averages it causes. False for an object that is no
    // reading of this meter's series.
    bool pinReading(quint8 object, qint64 raw);
    // Lets the object, or every object, follow the load again.
    void unpinReading(quint8 object) { m_pinned.remove(object); }
    void unpinReadings() { m_pinned.clear(); }
    // Power off and on: the session closes and the calibration coefficients are the saved ones
    // again; everything else the meter keeps (its clock runs on its battery).
    void restart();
    // A fixed session hold time for every meter (tests); 0 or less: the link parameter.
    void setHoldOverrideMs(qint64 ms) { m_holdOverrideMs = ms; }

    // The tariff in force at meter time `t` (0-based), from the schedule and the holidays.
    int tariffInForce(const QDateTime &t) const;

private:
    Answer read(quint8 object, const QByteArray &data);
    Answer write(quint8 object, const QByteArray &data);
    Answer service(quint8 sub);
    Answer listFunction(quint8 function, quint8 object, const QByteArray &data);
    Answer openSession(quint8 level, const QByteArray &password);
    Answer setClock(const QByteArray &data);

    // The data of object `object` for function 01; false when the meter has no such object.
    bool readData(quint8 object, QByteArray *data);
    // Access level that writing `object` needs, -1 when it cannot be written.
    int writeLevel(quint8 object, const QByteArray &data) const;
    // Checks and stores a write; false for bad data.
    bool store(quint8 object, const QByteArray &data);

    bool isScheduleObject(quint8 object) const;
    bool validMonth(const QByteArray &month) const;
    qint64 holdMs() const;
    void update();
    void expireSession();
    MeterRecords::Source recordSource() const;
    QList<qint64> registers() const;
    void addMessage(quint16 singlePhaseCode, quint16 threePhaseCode);
    void resetReadings(bool factory);

    const SimClock *m_clock;
    MeterSettings m_settings;
    Measurements m_measurements;
    MeterRecords m_records;
    QByteArray m_version;
    quint16 m_identifier;
    qint64 m_clockOffsetMs = 0;
    int m_level = -1;
    qint64 m_lastTraffic = 0;
    qint64 m_holdOverrideMs = 0;
    QHash<quint8, qint64> m_pinned;
};
