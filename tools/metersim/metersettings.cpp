#include "metersim/metersettings.h"

namespace
{
// Factory holidays: New Year week, 23.02, 08.03, 01.05, 09.05, 12.06, 04.11.
const quint8 kHolidays[][2] = {{1, 1}, {2, 1},  {3, 1}, {4, 1}, {5, 1}, {6, 1},  {7, 1},
                               {8, 1}, {23, 2}, {8, 3}, {1, 5}, {9, 5}, {12, 6}, {4, 11}};

// Two zones a day: tariff 1 from 07:00, tariff 2 from 23:00, the same on every day type.
QByteArray factoryMonth(int zones)
{
    QByteArray m(zones * 4, char(0xff));
    const quint8 day[4] = {7, 0, 0x00, 0x00};
    const quint8 night[4] = {23, 0, 0x11, 0x11};
    for (int i = 0; i < 4; ++i) {
        m[i] = char(day[i]);
        m[4 + i] = char(night[i]);
    }
    return m;
}
} // namespace

QByteArray MeterSettings::padded(const QByteArray &text, int size)
{
    QByteArray r = text.left(size);
    r.append(QByteArray(size - r.size(), '\0'));
    return r;
}

QByteArray MeterSettings::serialText() const
{
    const int zero = serial.indexOf('\0');
    return zero < 0 ? serial : serial.left(zero);
}

QByteArray MeterSettings::nameText() const
{
    const int zero = name.indexOf('\0');
    return zero < 0 ? name : name.left(zero);
}

MeterSettings MeterSettings::factory(const MeterConfig &config)
{
    MeterSettings s;
    s.series = seriesOf(config.name);
    s.address = quint8(config.address);
    s.holdMinutes = quint8(config.holdMinutes);
    s.passwords = config.passwords;
    s.serial = padded(config.serial, 15);
    s.name = padded(config.name, 32);
    s.restoreDefaults();
    return s;
}

void MeterSettings::restoreDefaults()
{
    openAttempts = 3;
    baudIndex = 5;
    blockMinutes = 30;
    if (isThreePhase(series)) {
        display = QByteArray::fromHex("0a3ce1");
        tariffIndex = 3; // four tariffs
    } else {
        display = QByteArray::fromHex("0ae703");
        tariffIndex = 2; // four tariffs
    }
    voltageLowMilli = 180000;
    voltageHighMilli = 260000;
    powerLimitMilli = 22500000;
    relayClosed = 0;
    loadThreshold = 22500;
    pulseMode = 0;
    schedule.clear();
    for (int m = 0; m < 12; ++m)
        schedule.append(factoryMonth(zones()));
    holidays = QByteArray(40, char(0xff));
    int i = 0;
    for (const auto &h : kHolidays) {
        holidays[i++] = char(h[0]);
        holidays[i++] = char(h[1]);
    }
    daylightSaving = 1;
    archivePeriod = 30;
}
