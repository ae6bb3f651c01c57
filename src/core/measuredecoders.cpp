#include "core/measuredecoders.h"

#include "core/catalogue.h"
#include "core/exchangerules.h"

#include <QCoreApplication>

#include <algorithm>
#include <limits>

namespace measures {

namespace {

constexpr int kHeader = 3; // function, object, data length
constexpr int kTariffs1 = 4;
constexpr int kTariffs3 = 8;
constexpr double kEnergyScale = 100.0; // kWh x 100
constexpr double kMilli = 1000.0;      // V, A, W x 1000 (and the diagram's values)
constexpr double kPowerScale3 = 100.0; // three-phase powers x 100
constexpr int kInstantPhaseReads = 6;  // 64..69: voltages and currents
constexpr int kInstantReads3 = 18;     // 64..75
constexpr int kDiagramReplies = 11;

const QString kNone = QStringLiteral("-");
const QString kCorrupted = QStringLiteral("corrupted");

QString tr(const char *text)
{
    return QCoreApplication::translate("measures", text);
}

// Reply i of the batch, or null when the batch has no such entry.
const QByteArray *replyAt(const QByteArray *replies, int count, int i)
{
    return replies && i >= 0 && i < count ? &replies[i] : nullptr;
}

// A row's number as decoded, before it is shown.
struct Number
{
    enum Got { Value, Missing, Corrupted } got = Missing;
    double value = 0;
};

QString shown(const Number &n)
{
    switch (n.got) {
    case Number::Value:
        return formatG6(n.value);
    case Number::Corrupted:
        return kCorrupted;
    case Number::Missing:
        break;
    }
    return kNone;
}

Number signedNumber(const QByteArray *reply, double scale)
{
    qint32 v = 0;
    if (!reply || !decodeSignedLE(*reply, &v))
        return {};
    return {Number::Value, v / scale};
}

Number energyNumber(const QByteArray *reply)
{
    if (!reply)
        return {};
    qint32 v = 0;
    if (!decodeBcdSwapped(*reply, &v))
        return {Number::Corrupted, 0};
    return {Number::Value, v / kEnergyScale};
}

// The three-phase battery reading: a 16-bit signed value in data bytes 0 and 1.
Number battery16Number(const QByteArray *reply)
{
    QByteArray d;
    if (!reply || !dataBytes(*reply, &d) || d.size() < 2)
        return {};
    const qint16 v = qint16(quint16(quint8(d[0]) | quint8(d[1]) << 8));
    return {Number::Value, v / kMilli};
}

QList<Number> energyNumbers(MeterSeries s, const QByteArray *replies, int count)
{
    QList<Number> out;
    const int rows = int(energyLabels(s).size());
    for (int i = 0; i < rows; ++i)
        out << energyNumber(replyAt(replies, count, i));
    return out;
}

QList<Number> instantNumbers(MeterSeries s, const QByteArray *replies, int count)
{
    QList<Number> out;
    switch (s) {
    case MeterSeries::SinglePhase:
        for (int i = 0; i < 4; ++i)
            out << signedNumber(replyAt(replies, count, i), kMilli);
        out << signedNumber(replyAt(replies, count, 4), 1);
        break;
    case MeterSeries::ThreePhase:
        for (int i = 0; i < kInstantReads3; ++i)
            out << signedNumber(replyAt(replies, count, i),
                                i < kInstantPhaseReads ? kMilli : kPowerScale3);
        // Reply 18 answers the service command that comes before the battery read.
        out << battery16Number(replyAt(replies, count, kInstantReads3 + 1));
        out << signedNumber(replyAt(replies, count, kInstantReads3 + 2), 1);
        break;
    case MeterSeries::Unrecognised:
        break;
    }
    return out;
}

QList<Reading> readings(const QList<Number> &numbers, const QList<Reading> &names)
{
    QList<Reading> out = names.mid(0, numbers.size());
    for (int i = 0; i < out.size(); ++i)
        if (numbers[i].got == Number::Value)
            out[i].value = numbers[i].value;
    return out;
}

Reading named(const QString &quantity, const char *unit, int tariff = 0)
{
    Reading r;
    r.quantity = quantity;
    r.unit = QLatin1String(unit);
    r.tariff = tariff;
    return r;
}

QList<Reading> energyNames(MeterSeries s)
{
    if (s == MeterSeries::Unrecognised)
        return {};
    const int tariffs = s == MeterSeries::SinglePhase ? kTariffs1 : kTariffs3;
    QList<Reading> out{named(QStringLiteral("energy_active_total"), "kWh")};
    for (int t = 1; t <= tariffs; ++t)
        out << named(QStringLiteral("energy_active"), "kWh", t);
    if (s == MeterSeries::ThreePhase) {
        out << named(QStringLiteral("energy_reactive_total"), "kvarh");
        for (int t = 1; t <= tariffs; ++t)
            out << named(QStringLiteral("energy_reactive"), "kvarh", t);
    }
    return out;
}

QList<Reading> instantNames(MeterSeries s)
{
    const auto r = [](const char *quantity, const char *unit) {
        return named(QLatin1String(quantity), unit);
    };
    switch (s) {
    case MeterSeries::SinglePhase:
        return {r("power_active", "W"), r("voltage", "V"), r("current", "A"),
                r("battery_voltage", "V"), r("tariff_in_force", "")};
    case MeterSeries::ThreePhase: {
        QList<Reading> out;
        const auto phases = [&](const char *quantity, const char *unit, bool total) {
            for (const char *part : {"a", "b", "c", "total"})
                if (total || part[0] != 't')
                    out << named(QLatin1String(quantity) + QLatin1String(part), unit);
        };
        phases("voltage_", "V", false);
        phases("current_", "A", false);
        phases("power_active_", "W", true);
        phases("power_reactive_", "var", true);
        phases("power_apparent_", "VA", true);
        out << r("battery_voltage", "V") << r("tariff_in_force", "");
        return out;
    }
    case MeterSeries::Unrecognised:
        break;
    }
    return {};
}

QStringList reads(int first, int last)
{
    QStringList out;
    for (int object = first; object <= last; ++object)
        out << catalogue::command(catalogue::Read, object);
    return out;
}

} // namespace

bool dataBytes(const QByteArray &reply, QByteArray *data)
{
    const int n = reply.size() >= kHeader ? quint8(reply[2]) : 0;
    const qsizetype present = qMax<qsizetype>(0, reply.size() - kHeader);
    data->clear();
    if (present > 0)
        *data = reply.mid(kHeader, qMin<qsizetype>(n, present));
    return reply.size() >= kHeader && present >= n;
}

bool decodeBcdSwapped(const QByteArray &reply, qint32 *value)
{
    QByteArray d;
    return dataBytes(reply, &d) && decodeBcdSwappedDigits(d, value);
}

bool decodeBcdSwappedDigits(const QByteArray &d, qint32 *value)
{
    qint64 v = 0;
    for (qsizetype i = d.size() - 1; i >= 0; --i) {
        const int tens = quint8(d[i]) & 0x0f;
        const int units = quint8(d[i]) >> 4;
        if (tens > 9 || units > 9)
            return false;
        v = v * 100 + tens * 10 + units;
        if (v > std::numeric_limits<qint32>::max())
            return false;
    }
    *value = qint32(v);
    return true;
}

bool decodeSignedLE(const QByteArray &reply, qint32 *value)
{
    QByteArray d;
    if (!dataBytes(reply, &d))
        return false;
    const int n = int(qMin<qsizetype>(d.size(), 4));
    quint32 v = 0;
    for (int i = 0; i < n; ++i)
        v |= quint32(quint8(d[i])) << (8 * i);
    if (n > 0 && n < 4 && (v >> (8 * n - 1)) & 1)
        v |= ~quint32(0) << (8 * n);
    *value = qint32(v);
    return true;
}

QString formatG6(double value)
{
    return QString::number(value, 'g', 6);
}

QString deviceText(const QByteArray &reply)
{
    return exchangerules::versionText(reply);
}

QString identifierText(const QByteArray &reply)
{
    QByteArray d;
    dataBytes(reply, &d);
    quint32 v = 0;
    for (int i = 0; i < qMin<qsizetype>(d.size(), 4); ++i)
        v |= quint32(quint8(d[i])) << (8 * i);
    return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0'));
}

QStringList energyCommands(MeterSeries s)
{
    switch (s) {
    case MeterSeries::SinglePhase:
        return reads(0x04, 0x08);
    case MeterSeries::ThreePhase:
        return reads(0x76, 0x87);
    case MeterSeries::Unrecognised:
        break;
    }
    return {};
}

QStringList instantCommands(MeterSeries s)
{
    using catalogue::command;
    using catalogue::Read;
    switch (s) {
    case MeterSeries::SinglePhase:
        return {command(Read, 0x03), command(Read, 0x01), command(Read, 0x02), command(Read, 0x39),
                command(Read, 0x0a)};
    case MeterSeries::ThreePhase:
        return reads(0x64, 0x75) << catalogue::serviceCommand(0x06) << command(Read, 0x39)
                                 << command(Read, 0x0a);
    case MeterSeries::Unrecognised:
        break;
    }
    return {};
}

QStringList deviceInfoCommands()
{
    return {catalogue::command(catalogue::Read, 0x20), catalogue::command(catalogue::Read, 0x21),
            catalogue::command(catalogue::Read, 0x3e)};
}

QStringList diagramCommands()
{
    return reads(0x64, 0x66) << reads(0x6a, 0x71);
}

QStringList energyLabels(MeterSeries s)
{
    if (s == MeterSeries::Unrecognised)
        return {};
    const int tariffs = s == MeterSeries::SinglePhase ? kTariffs1 : kTariffs3;
    QStringList out{tr("Энергия активная суммарная, кВт/ч")};
    for (int t = 1; t <= tariffs; ++t)
        out << tr("Энергия активная по тарифу %1, кВт/ч").arg(t);
    if (s == MeterSeries::ThreePhase) {
        out << tr("Энергия реактивная суммарная, кВт/ч");
        for (int t = 1; t <= tariffs; ++t)
            out << tr("Энергия реактивная по тарифу %1, кВт/ч").arg(t);
    }
    return out;
}

QStringList instantLabels(MeterSeries s)
{
    switch (s) {
    case MeterSeries::SinglePhase:
        return {tr("Мощность активная, Вт"), tr("Напряжение, В"), tr("Ток, А"),
                tr("Напряжение батареи резервного питания, В"), tr("Текущий активный тариф")};
    case MeterSeries::ThreePhase:
        return {tr("Напряжение. Фаза А"),
                tr("Напряжение. Фаза В"),
                tr("Напряжение. Фаза С"),
                tr("Ток. Фаза А"),
                tr("Ток. Фаза В"),
                tr("Ток. Фаза С"),
                tr("Активная мощность. Фаза А"),
                tr("Активная мощность. Фаза В"),
                tr("Активная мощность. Фаза С"),
                tr("Активная мощность. Сумма"),
                tr("Реактивная мощность. Фаза А"),
                tr("Реактивная мощность. Фаза В"),
                tr("Реактивная мощность. Фаза С"),
                tr("Реактивная мощность. Сумма"),
                tr("Полная мощность. Фаза А"),
                tr("Полная мощность. Фаза В"),
                tr("Полная мощность. Фаза С"),
                tr("Полная мощность. Сумма"),
                tr("Напряжение батареи резервного питания"),
                tr("Текущий активный тариф")};
    case MeterSeries::Unrecognised:
        break;
    }
    return {};
}

QStringList deviceInfoLabels()
{
    return {tr("Имя устройства"), tr("Версия программного обеспечения"),
            tr("Цифровой идентификатор ПО")};
}

QStringList energyValues(MeterSeries s, const QByteArray *replies, int count)
{
    QStringList out;
    for (const Number &n : energyNumbers(s, replies, count))
        out << shown(n);
    return out;
}

QStringList instantValues(MeterSeries s, const QByteArray *replies, int count)
{
    QStringList out;
    for (const Number &n : instantNumbers(s, replies, count))
        out << shown(n);
    return out;
}

QList<Reading> energyReadings(MeterSeries s, const QByteArray *replies, int count)
{
    return readings(energyNumbers(s, replies, count), energyNames(s));
}

QList<Reading> instantReadings(MeterSeries s, const QByteArray *replies, int count)
{
    return readings(instantNumbers(s, replies, count), instantNames(s));
}

QStringList deviceInfoValues(const QByteArray *replies, int count)
{
    QStringList out;
    QByteArray d;
    for (int i = 0; i < 3; ++i) {
        const QByteArray *r = replyAt(replies, count, i);
        if (!r || !dataBytes(*r, &d))
            out << kNone;
        else
            out << (i < 2 ? deviceText(*r) : identifierText(*r));
    }
    return out;
}

bool diagramValues(const QByteArray *replies, int count, double values[9])
{
    // Replies of 64..66, 6a..6c, 6e..70; 6d and 71 are the sums.
    static const int used[9] = {0, 1, 2, 3, 4, 5, 7, 8, 9};
    if (!replies || count < kDiagramReplies)
        return false;
    double out[9];
    for (int k = 0; k < 9; ++k) {
        qint32 v = 0;
        if (!decodeSignedLE(replies[used[k]], &v))
            return false;
        out[k] = v / kMilli;
    }
    std::copy(out, out + 9, values);
    return true;
}

} // namespace measures
