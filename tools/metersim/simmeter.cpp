#include "metersim/simmeter.h"

#include "metersim/simclock.h"
#include "metersim/simwire.h"

#include <cmath>
#include <limits>

namespace {
enum Function : quint8 {
    Read = 0x01,
    Write = 0x02,
    Clear = 0x05,
    Size = 0x06,
    Archive = 0x07,
    Open = 0x08,
    Close = 0x09,
    SetClock = 0x0a,
    EventRecord = 0x0b,
    SliceRecord = 0x0c,
};

const quint8 kArchiveList = 0x10, kErrorList = 0x12, kMessageList = 0x3b, kWarningList = 0x3c,
             kDailyList = 0x42, kMonthlyList = 0x43;

// Factory initialisation takes the meter a while (the program allows 3000 ms for it).
const int kFactoryInitMs = 1000;
// Repeated writes of one kind within this time log one event.
const qint64 kEventMergeSecs = 60;

qint64 scaled(double value, double factor)
{
    return qint64(std::llround(value * factor));
}

// The version as the program reads it: letters, digits and points, as a number (0 if none).
double versionNumber(const QByteArray &text)
{
    QByteArray kept;
    for (const char c : text)
        if (QChar::isLetterOrNumber(uchar(c)) || c == '.')
            kept.append(c);
    bool ok = false;
    const float v = QString::fromLatin1(kept).toFloat(&ok);
    return ok ? v : 0.0;
}
} // namespace

SimMeter::SimMeter(const MeterConfig &config, const SimClock *clock, quint32 seed)
    : m_clock(clock), m_settings(MeterSettings::factory(config)), m_measurements(config.name, seed),
      m_records(seed ^ 0x5eed), m_version(config.version), m_identifier(config.identifier)
{
    if (m_identifier == 0)
        m_identifier = isThreePhase(m_settings.series) ? 0x5e37 : 0x2d41;
    m_settings.calibration = m_measurements.calibratedBlock();
    m_settings.savedCalibration = m_settings.calibration;
    const QDateTime now = meterNow();
    m_records.startHistory(now, 10, 6, 48);
    const bool three = isThreePhase(m_settings.series);
    const QDateTime installed = now.addDays(-40);
    m_records.addEvent(MeterRecords::Messages, installed, 0x8000);
    m_records.addEvent(MeterRecords::Messages, installed.addSecs(600), 0x4000);
    m_records.addEvent(MeterRecords::Messages, installed.addSecs(660), 0x2000);
    m_records.addEvent(MeterRecords::Messages, now.addDays(-3), three ? 0x0400 : 0x0004);
    m_records.addEvent(MeterRecords::Errors, now.addDays(-20), 0x2000);
    if (three) {
        m_records.addEvent(MeterRecords::Warnings, now.addDays(-5).addSecs(-7200), 0x8000);
        m_records.addEvent(MeterRecords::Warnings, now.addDays(-5), 0x4000);
    } else {
        m_records.addEvent(MeterRecords::Warnings, now.addDays(-15), 0x0080);
    }
    m_measurements.advance(m_clock->monotonicMs(), tariffInForce(now));
}

QDateTime SimMeter::meterNow() const
{
    return m_clock->localNow().addMSecs(m_clockOffsetMs);
}

bool SimMeter::supportsSerialNumber() const
{
    return versionNumber(m_version) >= 1.09 - 1e-6;
}

bool SimMeter::serialAddress(quint32 *value) const
{
    const QByteArray text = m_settings.serialText();
    if (!supportsSerialNumber() || text.isEmpty() || text.count('0') == text.size())
        return false;
    bool ok = false;
    const int v = QString::fromLatin1(text.right(10)).toInt(&ok, 10);
    if (!ok)
        return false;
    *value = quint32(v);
    return true;
}

qint64 SimMeter::holdMs() const
{
    if (m_holdOverrideMs > 0)
        return m_holdOverrideMs;
    return qint64(m_settings.holdMinutes ? m_settings.holdMinutes : 10) * 60000;
}

int SimMeter::sessionLevel() const
{
    if (m_level >= 0 && m_clock->monotonicMs() - m_lastTraffic > holdMs())
        return -1;
    return m_level;
}

void SimMeter::expireSession()
{
    m_level = sessionLevel();
}

int SimMeter::tariffInForce(const QDateTime &t) const
{
    const QByteArray month = m_settings.schedule.value(t.date().month() - 1);
    bool holiday = false;
    for (int i = 0; i + 1 < m_settings.holidays.size(); i += 2)
        holiday |= quint8(m_settings.holidays[i]) == t.date().day() &&
                   quint8(m_settings.holidays[i + 1]) == t.date().month();
    // Where the zone keeps the tariff of this day type: byte 2 high nibble working days, low
    // nibble holidays; byte 3 high nibble Saturdays, low nibble Sundays.
    const int dow = simwire::meterDayOfWeek(t.date());
    const int byte = holiday ? 2 : (dow == 7 || dow == 1) ? 3 : 2;
    const bool high = !holiday && dow != 1;
    const int now = t.time().hour() * 60 + t.time().minute();
    int found = -1, foundStart = -1, latest = -1, latestStart = -1;
    for (int z = 0; z * 4 + 3 < month.size(); ++z) {
        const int hour = quint8(month[z * 4]), minute = quint8(month[z * 4 + 1]);
        if (hour > 23 || minute > 59)
            continue;
        const int start = hour * 60 + minute;
        if (start <= now && start > foundStart)
            found = z, foundStart = start;
        if (start > latestStart)
            latest = z, latestStart = start;
    }
    // Before the first zone of the day the last zone of the day before still holds.
    const int zone = found >= 0 ? found : latest;
    if (zone < 0)
        return 0;
    const quint8 b = quint8(month[zone * 4 + byte]);
    const int tariff = high ? b >> 4 : b & 0x0f;
    return tariff < m_settings.tariffCount() ? tariff : 0;
}

void SimMeter::update()
{
    m_measurements.advance(m_clock->monotonicMs(), tariffInForce(meterNow()));
}

QList<qint64> SimMeter::registers() const
{
    QList<qint64> r;
    auto group = [&r](const QList<double> &kwh) {
        double sum = 0;
        for (double e : kwh)
            sum += e;
        r.append(scaled(sum, 100));
        for (double e : kwh)
            r.append(scaled(e, 100));
    };
    group(m_measurements.active());
    if (isThreePhase(m_settings.series))
        group(m_measurements.reactive());
    return r;
}

MeterRecords::Source SimMeter::recordSource() const
{
    MeterRecords::Source s;
    s.registers = registers();
    s.activeCount = m_settings.tariffCount() + 1;
    s.kw = m_measurements.referenceKw();
    s.kvar = m_measurements.referenceKvar();
    if (!isThreePhase(m_settings.series))
        s.archiveUnits = 5000;
    else
        s.archiveUnits = m_settings.nameText().contains(".42") ? 1000 : 100;
    return s;
}

void SimMeter::addMessage(quint16 singlePhaseCode, quint16 threePhaseCode)
{
    const quint16 code = isThreePhase(m_settings.series) ? threePhaseCode : singlePhaseCode;
    if (code == 0)
        return;
    const QDateTime now = meterNow();
    const auto &list = m_records.events(MeterRecords::Messages);
    if (!list.isEmpty() && list.last().code == code &&
        qAbs(list.last().at.secsTo(now)) < kEventMergeSecs)
        return;
    m_records.addEvent(MeterRecords::Messages, now, code);
}

SimMeter::Answer SimMeter::handle(const QByteArray &payload)
{
    if (payload.isEmpty())
        return {};
    const quint8 function = quint8(payload[0]);
    expireSession();
    m_lastTraffic = m_clock->monotonicMs();
    update();

    switch (function) {
    case Read:
    case Write:
    case Clear:
    case Size:
    case Archive:
    case Open:
    case Close:
    case SetClock:
    case EventRecord:
    case SliceRecord:
        break;
    default:
        return {simwire::errorReply(function, UnknownFunction)};
    }
    if (payload.size() < 2)
        return {simwire::errorReply(function, BadFrame)};
    const quint8 object = quint8(payload[1]);
    const QByteArray data = payload.mid(2);

    // The search probe is answered without a session.
    if (function == Read && object == 0x3e)
        return read(object, data);
    if (function == Open)
        return openSession(object, data);
    if (m_level < 0)
        return {simwire::errorReply(function, NoSession)};

    switch (function) {
    case Read:
        return read(object, data);
    case Write:
        return write(object, data);
    case Close:
        if (object != 0x01)
            return {simwire::errorReply(function, UnknownObject)};
        m_level = -1;
        return {simwire::reply(function, object)};
    case SetClock:
        if (object != 0x0e)
            return {simwire::errorReply(function, UnknownObject)};
        if (m_level < 1)
            return {simwire::errorReply(function, LevelTooLow)};
        return setClock(data);
    default:
        return listFunction(function, object, data);
    }
}

SimMeter::Answer SimMeter::openSession(quint8 level, const QByteArray &password)
{
    if (level > 2 || password.size() != 6)
        return {simwire::errorReply(Open, BadData)};
    if (password != m_settings.passwords[level]) {
        m_level = -1;
        return {simwire::errorReply(Open, WrongPassword)};
    }
    m_level = level;
    return {simwire::reply(Open, level)};
}

SimMeter::Answer SimMeter::setClock(const QByteArray &data)
{
    const QDateTime t = simwire::parseDateTime(data);
    if (!t.isValid())
        return {simwire::errorReply(SetClock, BadData)};
    m_clockOffsetMs = m_clock->localNow().msecsTo(t);
    addMessage(0x0004, 0);
    return {simwire::reply(SetClock, 0x0e)};
}

SimMeter::Answer SimMeter::read(quint8 object, const QByteArray &)
{
    // Passwords of a level above the session's stay hidden.
    if (object >= 0x2a && object <= 0x2c && m_level < object - 0x2a)
        return {simwire::errorReply(Read, LevelTooLow)};
    QByteArray data;
    if (!readData(object, &data))
        return {simwire::errorReply(Read, UnknownObject)};
    return {simwire::reply(Read, object, data)};
}

bool SimMeter::pinReading(quint8 object, qint64 raw)
{
    const bool reading = isThreePhase(m_settings.series)
                             ? object >= 0x64 && object <= 0x75
                             : (object >= 0x01 && object <= 0x03) || object == 0x3a;
    if (!reading || raw < std::numeric_limits<qint32>::min() ||
        raw > std::numeric_limits<qint32>::max())
        return false;
    m_pinned.insert(object, raw);
    return true;
}

bool SimMeter::isScheduleObject(quint8 object) const
{
    if (isThreePhase(m_settings.series))
        return object >= 0x89 && object <= 0x94;
    return object >= 0x14 && object <= 0x1f;
}

bool SimMeter::readData(quint8 object, QByteArray *out)
{
    using simwire::littleEndian;
    const bool three = isThreePhase(m_settings.series);
    const MeterSettings &s = m_settings;
    QByteArray &d = *out;

    if (isScheduleObject(object)) {
        d = s.schedule.value(object - (three ? 0x89 : 0x14));
        return true;
    }
    if (m_pinned.contains(object)) {
        d = littleEndian(m_pinned.value(object), 4);
        return true;
    }
    if (!three && object >= 0x01 && object <= 0x03) {
        const Measurements::Reading r = m_measurements.phase(0, s.calibration);
        const double v[3] = {r.volts, r.amps, r.watts};
        d = littleEndian(scaled(v[object - 1], 1000), 4);
        return true;
    }
    if (!three && object >= 0x04 && object <= 0x08) {
        d = simwire::bcdSwapped(registers().value(object - 0x04));
        return true;
    }
    if (three && object >= 0x64 && object <= 0x75) {
        const int index = object - 0x64;
        if (index < 6) { // voltages, currents x 1000
            const Measurements::Reading r = m_measurements.phase(index % 3, s.calibration);
            d = littleEndian(scaled(index < 3 ? r.volts : r.amps, 1000), 4);
            return true;
        }
        // Powers x 100: per group phases A, B, C and their sum.
        const int group = (index - 6) / 4, which = (index - 6) % 4;
        double sum = 0;
        for (int p = 0; p < 3; ++p) {
            if (which != 3 && p != which)
                continue;
            const Measurements::Reading r = m_measurements.phase(p, s.calibration);
            sum += group == 0 ? r.watts : group == 1 ? r.vars : r.voltAmps;
        }
        d = littleEndian(scaled(sum, 100), 4);
        return true;
    }
    if (three && object >= 0x76 && object <= 0x87) {
        d = simwire::bcdSwapped(registers().value(object - 0x76));
        return true;
    }
    switch (object) {
    case 0x0a:
        d = littleEndian(tariffInForce(meterNow()) + 1, 1);
        return true;
    case 0x0b:
        d = s.display;
        return true;
    case 0x0c:
    case 0x88:
        if ((object == 0x88) != three)
            return false;
        for (const qint32 c : s.calibration)
            d += littleEndian(c, 4);
        return true;
    case 0x0e:
        d = simwire::dateTime(meterNow());
        return true;
    case 0x0f:
        d = s.holidays;
        return true;
    case 0x13:
        d = littleEndian(s.tariffIndex, 1);
        return true;
    case 0x20:
        d = s.name;
        return true;
    case 0x21:
        d = m_version;
        return true;
    case 0x22:
        d = littleEndian(s.clockCoefficient, 2);
        return true;
    case 0x23:
        d = littleEndian(s.daylightSaving, 1);
        return true;
    case 0x24:
        d = littleEndian(s.voltageLowMilli, 3);
        return true;
    case 0x25:
        d = littleEndian(s.voltageHighMilli, 3);
        return true;
    case 0x28:
        d = littleEndian(s.powerLimitMilli, 4);
        return true;
    case 0x29:
        d = QByteArray(1, char(s.address)) + char(s.openAttempts) + char(s.baudIndex) +
            char(s.holdMinutes) + char(s.blockMinutes);
        return true;
    case 0x2a:
    case 0x2b:
    case 0x2c:
        d = s.passwords[size_t(object - 0x2a)];
        return true;
    case 0x39:
        // Three-phase meters report the battery in 16 bits.
        d = littleEndian(scaled(m_measurements.batteryVolts(), 1000), three ? 2 : 4);
        return true;
    case 0x3a:
        if (three)
            return false;
        d = littleEndian(m_measurements.startCurrentRaw(), 4);
        return true;
    case 0x3d:
        d = littleEndian(s.archivePeriod, 1);
        return true;
    case 0x3e:
        d = littleEndian(m_identifier, 2);
        return true;
    case 0x3f:
        d = littleEndian(s.pulseMode, 1);
        return true;
    case 0x40:
        d = littleEndian(s.relayClosed, 1);
        return true;
    case 0x41:
        d = littleEndian(s.loadThreshold, 2);
        return true;
    case 0x44:
        if (!supportsSerialNumber())
            return false;
        d = s.serial;
        return true;
    default:
        return false;
    }
}

int SimMeter::writeLevel(quint8 object, const QByteArray &data) const
{
    const bool three = isThreePhase(m_settings.series);
    if (isScheduleObject(object))
        return 1;
    switch (object) {
    case 0x0b:
    case 0x0f:
    case 0x13:
    case 0x23:
    case 0x24:
    case 0x25:
    case 0x28:
    case 0x29:
    case 0x2a:
    case 0x2b:
    case 0x3d:
    case 0x3f:
    case 0x40:
    case 0x41:
        return 1;
    case 0x20:
    case 0x22:
    case 0x2c:
        return 2;
    case 0x0c:
        return three ? -1 : 2;
    case 0x88:
        return three ? 2 : -1;
    case 0x44:
        return supportsSerialNumber() ? 1 : -1;
    case 0x0d:
        switch (data.isEmpty() ? 0 : quint8(data[0])) {
        case 0x06:
        case 0x08:
            return 0; // part of reading, and showing the address
        case 0x03:
        case 0x05:
            return 1;
        default:
            return 2; // 04, 07, 09 and unknown sub-commands (refused as bad data)
        }
    default:
        return -1;
    }
}

SimMeter::Answer SimMeter::write(quint8 object, const QByteArray &data)
{
    const int level = writeLevel(object, data);
    if (level < 0)
        return {simwire::errorReply(Write, UnknownObject)};
    if (m_level < level)
        return {simwire::errorReply(Write, LevelTooLow)};
    if (object == 0x0d)
        return data.size() == 1 ? service(quint8(data[0]))
                                : Answer{simwire::errorReply(Write, BadData)};
    if (!store(object, data))
        return {simwire::errorReply(Write, BadData)};
    return {simwire::reply(Write, object)};
}

bool SimMeter::validMonth(const QByteArray &month) const
{
    if (month.size() != m_settings.zones() * 4)
        return false;
    const int top = m_settings.tariffCount() - 1;
    for (int z = 0; z < m_settings.zones(); ++z) {
        const int hour = quint8(month[z * 4]), minute = quint8(month[z * 4 + 1]);
        if (!(hour == 255 && minute == 255) && (hour > 23 || minute > 59))
            return false;
        for (int b = 2; b < 4; ++b)
            for (const int nibble : {quint8(month[z * 4 + b]) >> 4, quint8(month[z * 4 + b]) & 15})
                if (nibble > top && nibble != 15)
                    return false;
    }
    return true;
}

bool SimMeter::store(quint8 object, const QByteArray &data)
{
    using simwire::readLittleEndian;
    MeterSettings &s = m_settings;
    const bool three = isThreePhase(s.series);
    auto unsignedValue = [&](int bytes) {
        return quint32(readLittleEndian(data, 0, bytes, false));
    };

    if (isScheduleObject(object)) {
        if (!validMonth(data))
            return false;
        s.schedule[object - (three ? 0x89 : 0x14)] = data;
        addMessage(0x4000, 0x4000);
        return true;
    }
    switch (object) {
    case 0x0b:
        if (data.size() != 3)
            return false;
        s.display = data;
        return true;
    case 0x0c:
    case 0x88:
        if (data.size() != s.calibrationCount() * 4)
            return false;
        for (int i = 0; i < s.calibrationCount(); ++i)
            s.calibration[i] = qint32(readLittleEndian(data, i * 4, 4, true));
        return true;
    case 0x0f:
        if (data.size() != 40)
            return false;
        for (int i = 0; i < 40; i += 2) {
            const int day = quint8(data[i]), month = quint8(data[i + 1]);
            if ((day != 255 && (day < 1 || day > 31)) ||
                (month != 255 && (month < 1 || month > 12)))
                return false;
        }
        s.holidays = data;
        addMessage(0x2000, 0x2000);
        return true;
    case 0x13:
        if (data.size() != 1 || quint8(data[0]) >= (three ? 8 : 3))
            return false;
        s.tariffIndex = quint8(data[0]);
        return true;
    case 0x20: {
        if (data.size() != 32)
            return false;
        const int zero = data.indexOf('\0');
        const QByteArray text = zero < 0 ? data : data.left(zero);
        // The model can change within the series, never the series itself.
        if (text.isEmpty() || seriesOf(text) != s.series)
            return false;
        s.name = data;
        return true;
    }
    case 0x22:
        if (data.size() != 2)
            return false;
        s.clockCoefficient = qint16(readLittleEndian(data, 0, 2, true));
        return true;
    case 0x23:
        if (data.size() != 1 || quint8(data[0]) > 1)
            return false;
        s.daylightSaving = quint8(data[0]);
        return true;
    case 0x24:
    case 0x25:
        if (data.size() != 3)
            return false;
        (object == 0x24 ? s.voltageLowMilli : s.voltageHighMilli) = unsignedValue(3);
        return true;
    case 0x28:
        if (data.size() != 4)
            return false;
        s.powerLimitMilli = unsignedValue(4);
        return true;
    case 0x29: {
        if (data.size() != 5 || quint8(data[0]) == 0 || quint8(data[2]) > 5)
            return false;
        const quint8 address = quint8(data[0]);
        if (address != s.address)
            addMessage(0x0400, 0x0200);
        s.address = address;
        s.openAttempts = quint8(data[1]);
        s.baudIndex = quint8(data[2]);
        s.holdMinutes = quint8(data[3]);
        s.blockMinutes = quint8(data[4]);
        return true;
    }
    case 0x2a:
    case 0x2b:
    case 0x2c: {
        // A shorter password is padded with zero bytes, as the session command sends it.
        if (data.isEmpty() || data.size() > 6)
            return false;
        const int level = object - 0x2a;
        s.passwords[size_t(level)] = MeterSettings::padded(data, 6);
        const quint16 single[3] = {0x0200, 0x0100, 0x0080}, triple[3] = {0x0100, 0x0080, 0x0040};
        addMessage(single[level], triple[level]);
        return true;
    }
    case 0x3d: {
        const int minutes = data.size() == 1 ? quint8(data[0]) : 0;
        if (minutes != 5 && minutes != 10 && minutes != 15 && minutes != 20 && minutes != 30)
            return false;
        m_records.catchUp(meterNow(), recordSource());
        s.archivePeriod = quint8(minutes);
        m_records.setArchivePeriod(minutes, meterNow());
        addMessage(0x0800, 0x0800);
        return true;
    }
    case 0x3f:
        if (data.size() != 1 || quint8(data[0]) > 6)
            return false;
        s.pulseMode = quint8(data[0]);
        return true;
    case 0x40:
        if (data.size() != 1 || quint8(data[0]) > 1)
            return false;
        s.relayClosed = quint8(data[0]);
        return true;
    case 0x41:
        if (data.size() != 2)
            return false;
        s.loadThreshold = quint16(unsignedValue(2));
        return true;
    case 0x44:
        if (data.size() != 15)
            return false;
        s.serial = data;
        return true;
    default:
        return false;
    }
}

void SimMeter::resetReadings(bool factory)
{
    const QDateTime now = meterNow();
    m_settings.restoreDefaults();
    m_measurements.clearEnergy();
    m_records.setArchivePeriod(m_settings.archivePeriod, now);
    m_records.clearArchive(now);
    m_records.clearSlices(MeterRecords::Daily, now);
    m_records.clearSlices(MeterRecords::Monthly, now);
    if (factory) {
        for (auto list : {MeterRecords::Errors, MeterRecords::Messages, MeterRecords::Warnings})
            m_records.clearEvents(list);
        addMessage(0x8000, 0x8000);
    } else {
        addMessage(0x1000, 0x1000);
    }
}

SimMeter::Answer SimMeter::service(quint8 sub)
{
    switch (sub) {
    case 0x03:
        resetReadings(false);
        break;
    case 0x07:
        resetReadings(true);
        return {simwire::reply(Write, 0x0d), kFactoryInitMs};
    case 0x04:
        // Written coefficients are a working copy until saved.
        m_settings.savedCalibration = m_settings.calibration;
        break;
    case 0x05:
    case 0x06:
    case 0x08:
    case 0x09:
        break; // acknowledged; nothing the program can read changes
    default:
        return {simwire::errorReply(Write, BadData)};
    }
    return {simwire::reply(Write, 0x0d)};
}

void SimMeter::restart()
{
    m_level = -1;
    m_settings.calibration = m_settings.savedCalibration;
}

SimMeter::Answer SimMeter::listFunction(quint8 function, quint8 object, const QByteArray &data)
{
    using simwire::littleEndian;
    const bool three = isThreePhase(m_settings.series);
    const QDateTime now = meterNow();
    m_records.catchUp(now, recordSource());

    int count = -1;
    switch (object) {
    case kArchiveList:
        count = int(m_records.archive().size());
        break;
    case kErrorList:
        count = int(m_records.events(MeterRecords::Errors).size());
        break;
    case kMessageList:
        count = int(m_records.events(MeterRecords::Messages).size());
        break;
    case kWarningList:
        count = int(m_records.events(MeterRecords::Warnings).size());
        break;
    case kDailyList:
        count = int(m_records.slices(MeterRecords::Daily).size());
        break;
    case kMonthlyList:
        count = int(m_records.slices(MeterRecords::Monthly).size());
        break;
    }
    const bool eventList = object == kErrorList || object == kMessageList || object == kWarningList;
    const bool sliceList = object == kDailyList || object == kMonthlyList;
    if (count < 0 || (function == Archive && object != kArchiveList) ||
        (function == EventRecord && !eventList) || (function == SliceRecord && !sliceList))
        return {simwire::errorReply(function, UnknownObject)};

    const MeterRecords::EventList events = object == kErrorList     ? MeterRecords::Errors
                                           : object == kMessageList ? MeterRecords::Messages
                                                                    : MeterRecords::Warnings;
    if (function == Size)
        return {simwire::reply(function, object, littleEndian(count, 2))};
    if (function == Clear) {
        if (m_level < 1)
            return {simwire::errorReply(function, LevelTooLow)};
        if (object == kArchiveList)
            m_records.clearArchive(now);
        else if (eventList)
            m_records.clearEvents(events);
        else
            m_records.clearSlices(
                object == kDailyList ? MeterRecords::Daily : MeterRecords::Monthly, now);
        return {simwire::reply(function, object)};
    }

    // One record: the index is a byte followed by a zero byte (a 16-bit number for the
    // archive), read here as one 16-bit number either way.
    if (data.isEmpty())
        return {simwire::errorReply(function, BadData)};
    const int index = int(simwire::readLittleEndian(data, 0, qMin(2, int(data.size())), false));
    if (index >= count)
        return {simwire::errorReply(function, BadData)};

    QByteArray d;
    auto stamp = [&d](const QDateTime &t, bool seconds) {
        if (seconds)
            d.append(char(t.time().second()));
        d.append(char(t.time().minute()));
        d.append(char(t.time().hour()));
        d.append(char(t.date().day()));
        d.append(char(t.date().month()));
        d.append(char(qBound(0, t.date().year() - 2000, 255)));
    };
    if (function == Archive) {
        const MeterRecords::ArchiveEntry &e = m_records.archive()[index];
        stamp(e.at, false);
        d += littleEndian(e.active, 2);
        if (three)
            d += littleEndian(e.reactive, 2);
    } else if (function == EventRecord) {
        const MeterRecords::Event &e = m_records.events(events)[index];
        stamp(e.at, true);
        d += littleEndian(e.code, 2);
    } else {
        const MeterRecords::Slice &s = m_records.slices(
            object == kDailyList ? MeterRecords::Daily : MeterRecords::Monthly)[index];
        d.append('\0'); // not used
        stamp(s.at, false);
        for (const qint64 r : s.registers)
            d += simwire::bcdSwapped(r);
    }
    return {simwire::reply(function, object, d)};
}
