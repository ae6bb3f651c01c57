// The measurement reads through the real exchange engine against the virtual meter line: what
// the decoders make of the replies must agree with the state the meters are started with. The
// vector diagram is drawn from the three-phase meter's readings.
#include "support/sessionrig.h"

#include "core/commandtext.h"
#include "core/measuredecoders.h"
#include "core/passwordtext.h"
#include "meters/devicelistitem.h"
#include "widgets/diagram.h"

#include <QtMath>
#include <QtTest>

#include <memory>
#include <vector>

Q_DECLARE_METATYPE(MeterSeries)

namespace {
// The reference load of every phase, and what it gives at 230 V.
const QString kLoad = QStringLiteral("4:30");
constexpr double kVolts = 230.0;
constexpr double kAmps = 4.0;
const double kWatts = kVolts * kAmps * qCos(qDegreesToRadians(30.0));
const double kVars = kVolts * kAmps * qSin(qDegreesToRadians(30.0));
// Readings carry 0.1 % noise.
constexpr double kTolerance = 0.005;

bool near(double value, double expected)
{
    return qAbs(value - expected) <= qAbs(expected) * kTolerance;
}

double number(const QString &text)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok ? v : qQNaN();
}

double sum(const QStringList &values, int from, int count)
{
    double s = 0;
    for (int i = from; i < from + count; ++i)
        s += number(values[i]);
    return s;
}

bool isGrey(QRgb c)
{
    return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c);
}

// Whether a pixel near `at` has `channel` (0 red, 1 green, 2 blue) above the other two.
bool tinted(const QImage &image, QPointF at, int channel)
{
    for (int dx = -2; dx <= 2; ++dx)
        for (int dy = -2; dy <= 2; ++dy) {
            const QRgb c = image.pixel(int(at.x()) + dx, int(at.y()) + dy);
            const int v[3] = {qRed(c), qGreen(c), qBlue(c)};
            if (v[channel] > v[(channel + 1) % 3] + 40 && v[channel] > v[(channel + 2) % 3] + 40)
                return true;
        }
    return false;
}
} // namespace

class TestMeasureSim : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void readings_data();
    void readings();
    void diagram();
    void diagramOfZeros();

private:
    // Runs one batch (session-open command first) on `meter`; the replies after the first.
    QList<QByteArray> run(deviceListItem *meter, int kind, const QStringList &commands);

    std::unique_ptr<SessionRig> m_rig;
    deviceListItem *m_meters[2] = {};
};

void TestMeasureSim::initTestCase()
{
    m_rig = std::make_unique<SessionRig>();
    QVERIFY(m_rig->startLine(
        {"--meter", "210.1,addr=1,id=002c", "--meter", "450.22R,addr=2,id=5e37", "--load", kLoad}));
    QVERIFY(m_rig->openTcp());
    m_meters[0] = m_rig->addMeter(1);
    m_meters[1] = m_rig->addMeter(2);
    QVERIFY(m_meters[0] && m_meters[1]);
}

void TestMeasureSim::cleanupTestCase()
{
    m_rig.reset();
}

QList<QByteArray> TestMeasureSim::run(deviceListItem *meter, int kind, const QStringList &commands)
{
    const QStringList cmds =
        QStringList{commandtext::sessionOpen(0, passwordtext::factoryDefault(0))} + commands;
    const qsizetype before = m_rig->outcomes.size();
    if (!m_rig->window().load_from_device(meter, kind, cmds, 0))
        return {};
    if (!QTest::qWaitFor([&] { return m_rig->outcomes.size() > before; }, 30000) ||
        m_rig->outcomes.last().status != 0)
        return {};
    return m_rig->outcomes.last().replies.mid(1);
}

void TestMeasureSim::readings_data()
{
    QTest::addColumn<MeterSeries>("series");
    QTest::addColumn<QStringList>("deviceInfo");
    QTest::newRow("single-phase") << MeterSeries::SinglePhase
                                  << QStringList{"210.1", "1.10", "002c"};
    QTest::newRow("three-phase") << MeterSeries::ThreePhase
                                 << QStringList{"450.22R", "1.10", "5e37"};
}

void TestMeasureSim::readings()
{
    QFETCH(MeterSeries, series);
    QFETCH(QStringList, deviceInfo);
    const bool three = series == MeterSeries::ThreePhase;
    deviceListItem *meter = m_meters[three ? 1 : 0];

    const QList<QByteArray> info = run(meter, 12, measures::deviceInfoCommands());
    QCOMPARE(measures::deviceInfoValues(info.constData(), int(info.size())), deviceInfo);
    QCOMPARE(meterSeriesOf(deviceInfo[0]), series);

    // Energies: the totals are the sums of their tariff registers (each rounded to 0.01 kWh).
    const QList<QByteArray> e = run(meter, three ? 53 : 0, measures::energyCommands(series));
    const QStringList energy = measures::energyValues(series, e.constData(), int(e.size()));
    QCOMPARE(energy.size(), three ? 18 : 5);
    const int tariffs = three ? 8 : 4;
    QVERIFY2(number(energy[0]) > 0, qPrintable(energy.join(' ')));
    QVERIFY2(qAbs(number(energy[0]) - sum(energy, 1, tariffs)) < 0.1, qPrintable(energy.join(' ')));
    if (three)
        QVERIFY2(qAbs(number(energy[9]) - sum(energy, 10, tariffs)) < 0.1,
                 qPrintable(energy.join(' ')));

    const QList<QByteArray> n = run(meter, three ? 54 : 11, measures::instantCommands(series));
    const QStringList now = measures::instantValues(series, n.constData(), int(n.size()));
    const QByteArray shown = now.join(' ').toUtf8();
    if (!three) {
        QCOMPARE(now.size(), 5);
        QVERIFY2(near(number(now[0]), kWatts), shown);
        QVERIFY2(near(number(now[1]), kVolts), shown);
        // Single-phase current keeps the meter's gain error (0.97 to 1.03).
        QVERIFY2(qAbs(number(now[2]) - kAmps) < kAmps * 0.035, shown);
    } else {
        QCOMPARE(now.size(), 20);
        const double perPhase[] = {kVolts, kAmps, kWatts, kVars, kVolts * kAmps};
        for (int k = 0; k < 3; ++k) {
            for (int q = 0; q < 2; ++q)
                QVERIFY2(near(number(now[q * 3 + k]), perPhase[q]), shown);
            for (int q = 2; q < 5; ++q)
                QVERIFY2(near(number(now[6 + (q - 2) * 4 + k]), perPhase[q]), shown);
        }
        for (int q = 2; q < 5; ++q)
            QVERIFY2(near(number(now[6 + (q - 2) * 4 + 3]), 3 * perPhase[q]), shown);
    }
    const double battery = number(now[now.size() - 2]);
    QVERIFY2(battery >= 2.99 && battery <= 3.11, shown);
    const QString tariff = now.last();
    QVERIFY2(tariff == QLatin1String("1") || tariff == QLatin1String("2"), shown);
}

void TestMeasureSim::diagram()
{
    const QList<QByteArray> r = run(m_meters[1], 61, measures::diagramCommands());
    double v[9] = {};
    QVERIFY(measures::diagramValues(r.constData(), int(r.size()), v));
    // Powers come as W x 100, read / 1000: tenths of a watt.
    for (int k = 0; k < 3; ++k) {
        QVERIFY(near(v[k], kVolts));
        QVERIFY(near(v[3 + k], kWatts / 10));
        QVERIFY(near(v[6 + k], kVars / 10));
    }

    Diagram d;
    QCOMPARE(d.objectName(), QStringLiteral("Diagram"));
    QCOMPARE(d.size(), QSize(321, 240));
    d.setData(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
    // Phase B: the voltage at 130 degrees, the current of 4 A turned further by the load angle.
    const phasors::Vectors &vec = d.vectors();
    const QPointF u = vec.voltage[1].tip;
    const QPointF i = vec.current[1].tip;
    QVERIFY(near(qSqrt(u.x() * u.x() + u.y() * u.y()), kVolts));
    QVERIFY(qAbs(qRadiansToDegrees(qAtan2(u.y(), u.x())) - 130) < 0.01);
    QVERIFY(near(qSqrt(i.x() * i.x() + i.y() * i.y()), kAmps));
    QVERIFY(qAbs(qRadiansToDegrees(qAtan2(i.y(), i.x())) - 160) < 0.5);

    const QImage image = d.grab().toImage();
    QCOMPARE(d.image().size(), QSize(321, 240));
    if (const QString dir = qEnvironmentVariable("METER_SHOTS"); !dir.isEmpty())
        d.image().save(dir + QStringLiteral("/diagram.png"));
    // Each voltage in its phase's colour halfway along it: A red, B green up and to the left,
    // C blue down and to the left.
    const phasors::Plot plot;
    const QSizeF size = image.size();
    QVERIFY(tinted(image, plot.toPixel(vec.voltage[0].tip / 2, size), 0));
    QVERIFY(tinted(image, plot.toPixel(vec.voltage[1].tip / 2, size), 1));
    QVERIFY(tinted(image, plot.toPixel(vec.voltage[2].tip / 2, size), 2));
    QVERIFY(plot.toPixel(vec.voltage[1].tip / 2, size).x() < size.width() / 2);
}

void TestMeasureSim::diagramOfZeros()
{
    Diagram d;
    d.setData(0, 0, 0, 0, 0, 0, 0, 0, 0);
    const QImage image = d.grab().toImage();
    int grid = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            QVERIFY2(isGrey(image.pixel(x, y)), qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            grid += image.pixel(x, y) != qRgb(255, 255, 255);
        }
    // The grid, its labels and the frame are there.
    QVERIFY(grid > 1000);
}

QTEST_MAIN(TestMeasureSim)
#include "tst_measuresim.moc"
