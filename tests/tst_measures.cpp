// The measurements page's decoders and tables, the command catalogue and the phasor arithmetic.
#include "core/catalogue.h"
#include "core/measuredecoders.h"
#include "core/meterseries.h"
#include "core/phasors.h"

#include <QSet>
#include <QtTest>

Q_DECLARE_METATYPE(MeterSeries)

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// A read reply of `object` with `data`, its length byte as long as the data.
QByteArray reply(int object, const QByteArray &data)
{
    return QByteArray(1, 0x01) + char(object) + char(data.size()) + data;
}

QByteArray le32(qint32 v)
{
    QByteArray d(4, '\0');
    for (int i = 0; i < 4; ++i)
        d[i] = char(quint32(v) >> (8 * i));
    return d;
}

enum class Table { Energy, Instant, DeviceInfo };

} // namespace
Q_DECLARE_METATYPE(Table)

class TestMeasures : public QObject
{
    Q_OBJECT
private slots:
    void numbers_data();
    void numbers();
    void formatG6_data();
    void formatG6();
    void texts_data();
    void texts();
    void tables_data();
    void tables();
    void diagramValues();
    void series_data();
    void series();
    void commands_data();
    void commands();
    void catalogueTables();
    void vectors();
    void plot();
};

void TestMeasures::numbers_data()
{
    QTest::addColumn<bool>("bcd");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("bcd: 00 21 43 65") << true << hex("01040400214365") << true << 56341200;
    QTest::newRow("bcd: high nibble a") << true << hex("010401a0") << false << 0;
    QTest::newRow("bcd: low nibble a") << true << hex("0104010a") << false << 0;
    QTest::newRow("bcd: shorter than its length") << true << hex("0104040021") << false << 0;
    QTest::newRow("bcd: no data") << true << hex("010400") << true << 0;
    QTest::newRow("bcd: bytes past N unread") << true << hex("01040121ff") << true << 12;
    QTest::newRow("bcd: beyond 32 bits") << true << hex("0104059999999999") << false << 0;
    QTest::newRow("signed: 18 fc") << false << hex("01010218fc") << true << -1000;
    QTest::newRow("signed: one byte ff") << false << hex("010101ff") << true << -1;
    QTest::newRow("signed: three bytes, top bit")
        << false << hex("010103000080") << true << -8388608;
    QTest::newRow("signed: five bytes kept in 32 bits")
        << false << hex("0101050100000001") << true << 1;
    QTest::newRow("signed: no data") << false << hex("010100") << true << 0;
    QTest::newRow("signed: shorter than its length") << false << hex("01010418fc") << false << 0;
}

void TestMeasures::numbers()
{
    QFETCH(bool, bcd);
    QFETCH(QByteArray, reply);
    QFETCH(bool, ok);
    QFETCH(int, value);
    qint32 v = 0;
    QCOMPARE(bcd ? measures::decodeBcdSwapped(reply, &v) : measures::decodeSignedLE(reply, &v), ok);
    if (ok)
        QCOMPARE(v, value);
}

void TestMeasures::formatG6_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("energy") << 563412.0 << "563412";
    QTest::newRow("rounded to 6 digits") << 229.98765 << "229.988";
    QTest::newRow("negative") << -1.0 << "-1";
    QTest::newRow("one million") << 1e6 << "1e+06";
    QTest::newRow("smallest fixed") << 0.0001 << "0.0001";
    QTest::newRow("below 0.0001") << 0.00001234 << "1.234e-05";
}

void TestMeasures::formatG6()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(measures::formatG6(value), text);
}

void TestMeasures::texts_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("identifier");
    QTest::newRow("identifier 2c") << hex("013e012c") << ""
                                   << "002c";
    QTest::newRow("five bytes: the first four") << hex("013e057856341201") << "xV4"
                                                << "12345678";
    QTest::newRow("no data") << hex("013e00") << ""
                             << "0000";
    QTest::newRow("blanks, dashes, control bytes")
        << reply(0x20, QByteArray("450 -.22R\x01\x7f\0\0", 13)) << "450.22R"
        << "20303534";
    QTest::newRow("short: what is there") << hex("012008") + "210.1"
                                          << "210.1"
                                          << "2e303132";
}

void TestMeasures::texts()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, name);
    QFETCH(QString, identifier);
    QCOMPARE(measures::deviceText(reply), name);
    QCOMPARE(measures::identifierText(reply), identifier);
}

void TestMeasures::tables_data()
{
    QTest::addColumn<Table>("table");
    QTest::addColumn<MeterSeries>("series");
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<QStringList>("values");

    const auto bcd = [](int object, const char *digits) { return reply(object, hex(digits)); };
    const QByteArray cut = hex("0104040021"); // claims four bytes, has two

    QList<QByteArray> energy1{bcd(4, "00214365"), bcd(5, "50000000"), bcd(6, "a0000000"), cut,
                              bcd(8, "00000000")};
    QTest::newRow("energy, single-phase")
        << Table::Energy << MeterSeries::SinglePhase << energy1
        << QStringList{"563412", "0.05", "corrupted", "corrupted", "0"};
    QTest::newRow("energy, single-phase, a reply missing")
        << Table::Energy << MeterSeries::SinglePhase << energy1.mid(0, 4)
        << QStringList{"563412", "0.05", "corrupted", "corrupted", "-"};
    QList<QByteArray> energy3;
    QStringList values3;
    for (int i = 0; i < 18; ++i) {
        // 0.01 kWh times the row number, 2-digit rows as swapped pairs
        energy3 << reply(0x76 + i, QByteArray(1, char(((i + 1) % 10) << 4 | (i + 1) / 10)) +
                                       QByteArray(3, '\0'));
        values3 << QString::number((i + 1) / 100.0);
    }
    energy3[17] = cut;
    values3[17] = "corrupted";
    QTest::newRow("energy, three-phase")
        << Table::Energy << MeterSeries::ThreePhase << energy3 << values3;
    QTest::newRow("energy, unrecognised: no rows")
        << Table::Energy << MeterSeries::Unrecognised << energy1 << QStringList();

    const QList<QByteArray> instant1{reply(3, le32(1080600)), reply(1, hex("18fc")), hex("010204"),
                                     reply(0x39, le32(3050)), hex("010a")};
    QTest::newRow("instant, single-phase, two truncated")
        << Table::Instant << MeterSeries::SinglePhase << instant1
        << QStringList{"1080.6", "-1", "-", "3.05", "-"};

    QList<QByteArray> instant3;
    QStringList instantValues3;
    for (int i = 0; i < 18; ++i) {
        instant3 << reply(0x64 + i, le32(-123456 - i));
        instantValues3 << QString::number((-123456 - i) / (i < 6 ? 1000.0 : 100.0), 'g', 6);
    }
    instant3[7] = hex("0165");
    instantValues3[7] = "-";
    // Battery: 16 bits of a longer reply; the service command's reply is not shown.
    instant3 << hex("020d00") << reply(0x39, hex("b80bff7f")) << hex("010a01");
    instantValues3 << "3"
                   << "-";
    QTest::newRow("instant, three-phase, two truncated")
        << Table::Instant << MeterSeries::ThreePhase << instant3 << instantValues3;
    QTest::newRow("instant, three-phase, battery below zero")
        << Table::Instant << MeterSeries::ThreePhase
        << (QList<QByteArray>(18, hex("0164"))
            << hex("020d00") << reply(0x39, hex("18fc")) << reply(0x0a, hex("02")))
        << (QStringList(18, "-") << "-1"
                                 << "2");

    const QList<QByteArray> info{reply(0x20, "210.1 " + QByteArray(26, '\0')), reply(0x21, "1.10"),
                                 hex("013e02412d")};
    QTest::newRow("device information") << Table::DeviceInfo << MeterSeries::Unrecognised << info
                                        << QStringList{"210.1", "1.10", "2d41"};
    QTest::newRow("device information, truncated")
        << Table::DeviceInfo << MeterSeries::Unrecognised
        << QList<QByteArray>{hex("012005") + "210", reply(0x21, "1.10"), hex("013e0241")}
        << QStringList{"-", "1.10", "-"};
}

void TestMeasures::tables()
{
    QFETCH(Table, table);
    QFETCH(MeterSeries, series);
    QFETCH(QList<QByteArray>, replies);
    QFETCH(QStringList, values);
    const int n = int(replies.size());
    switch (table) {
    case Table::Energy:
        QCOMPARE(measures::energyLabels(series).size(), values.size());
        QCOMPARE(measures::energyCommands(series).size(), values.size());
        QCOMPARE(measures::energyValues(series, replies.constData(), n), values);
        break;
    case Table::Instant:
        QCOMPARE(measures::instantLabels(series).size(), values.size());
        QCOMPARE(measures::instantValues(series, replies.constData(), n), values);
        break;
    case Table::DeviceInfo:
        QCOMPARE(measures::deviceInfoLabels().size(), values.size());
        QCOMPARE(measures::deviceInfoValues(replies.constData(), n), values);
        break;
    }
}

void TestMeasures::diagramValues()
{
    const QStringList commands = measures::diagramCommands();
    QCOMPARE(commands.join(','), QStringLiteral("01 64,01 65,01 66,01 6a,01 6b,01 6c,01 6d,"
                                                "01 6e,01 6f,01 70,01 71"));
    QList<QByteArray> replies;
    for (int i = 0; i < commands.size(); ++i)
        replies << reply(commands[i].mid(3).toInt(nullptr, 16), le32((i + 1) * 1000));
    double v[9] = {};
    QVERIFY(measures::diagramValues(replies.constData(), 11, v));
    // The sums (replies 7 and 11) are skipped.
    const double want[9] = {1, 2, 3, 4, 5, 6, 8, 9, 10};
    for (int k = 0; k < 9; ++k)
        QCOMPARE(v[k], want[k]);

    replies[9] = hex("017004");
    double untouched[9] = {7, 7, 7, 7, 7, 7, 7, 7, 7};
    QVERIFY(!measures::diagramValues(replies.constData(), 11, untouched));
    QVERIFY(!measures::diagramValues(replies.constData(), 10, untouched));
    QCOMPARE(untouched[0], 7.0);
}

void TestMeasures::series_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<MeterSeries>("series");
    QTest::addColumn<int>("variant");
    QTest::newRow("210 wins over 450") << "450.210" << MeterSeries::SinglePhase << 21;
    QTest::newRow("450.42R") << "450.42R" << MeterSeries::ThreePhase << 42;
    QTest::newRow(".42 before .21") << "450.21.42" << MeterSeries::ThreePhase << 42;
    QTest::newRow("unrecognised") << "-" << MeterSeries::Unrecognised << 0;
}

void TestMeasures::series()
{
    QFETCH(QString, name);
    QFETCH(MeterSeries, series);
    QFETCH(int, variant);
    QCOMPARE(meterSeriesOf(name), series);
    QCOMPARE(threePhaseVariant(name), variant);
}

void TestMeasures::commands_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    using namespace catalogue;
    QTest::newRow("message 11") << eventRecordRead(0x3b, 11) << "0b 3b b 00";
    QTest::newRow("error 300: low, high") << eventRecordRead(0x12, 300) << "0b 12 2c 1";
    QTest::newRow("daily slice 20") << sliceRecordRead(0x42, 20) << "0c 42 14 00";
    QTest::newRow("archive 300") << archiveRecordRead(300) << "07 10 2c 1";
    QTest::newRow("period 20") << archivePeriodWrite(20) << "02 3d 14";
    QTest::newRow("period 5") << archivePeriodWrite(5) << "02 3d 5";
    QTest::newRow("service 07") << serviceCommand(7) << "02 0d 07";
    QTest::newRow("read title in a run")
        << readTitle(0x8f) << "Получение тарифного рассписания трехфазного счетчика";
    QTest::newRow("read without title") << readTitle(0x3e) << "";
    QTest::newRow("write title") << writeTitle(0x3d) << "Инициализация архива";
    QTest::newRow("write title of a split run") << writeTitle(0x41) << "Сохранение пределов";
    QTest::newRow("service title") << serviceTitle(0x07) << "Заводская инициализация";
    QTest::newRow("instant, three-phase")
        << measures::instantCommands(MeterSeries::ThreePhase).mid(16).join(',')
        << "01 74,01 75,02 0d 06,01 39,01 0a";
}

void TestMeasures::commands()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(text, expected);
}

void TestMeasures::catalogueTables()
{
    // Object runs ascend without overlapping, so each object has one meaning and one title.
    for (const auto table : {catalogue::objectsRead(), catalogue::objectsWritten()}) {
        int previous = -1;
        for (const catalogue::ObjectEntry &e : table) {
            QVERIFY2(e.first > previous && e.last >= e.first, e.meaning);
            previous = e.last;
        }
    }
    QSet<int> functions;
    for (const catalogue::FunctionEntry &f : catalogue::functions())
        functions << f.code;
    for (const catalogue::ListEntry &l : catalogue::lists())
        QVERIFY2(functions.contains(l.recordFunction), l.meaning);
}

void TestMeasures::vectors()
{
    // Phase B: 200 V, 100 active, 50 reactive (meter integers / 1000); others zero.
    const double u[3] = {0, 200, 0}, p[3] = {0, 100, 0}, q[3] = {0, 50, 0};
    const phasors::Vectors v = phasors::compute(u, p, q);
    const auto near = [](const QPointF &a, const QPointF &b) {
        return qAbs(a.x() - b.x()) < 1e-3 && qAbs(a.y() - b.y()) < 1e-3;
    };
    QVERIFY(near(v.voltage[1].origin, QPointF()));
    // 200 V at 130 degrees: up and to the left.
    QVERIFY(near(v.voltage[1].tip, QPointF(-128.558, 153.209)));
    // (5 A, 2.5 A) turned by 130 degrees.
    QVERIFY(near(v.current[1].tip, QPointF(-5.1292, 2.2233)));
    // A zero voltage stands at 0.001 and its current, of zero powers, has no length.
    QVERIFY(near(v.voltage[0].tip, QPointF(0.000985, 0.000174)));
    QVERIFY(near(v.voltage[2].tip, QPointF(-0.000342, -0.000940)));
    QCOMPARE(v.current[2].tip, QPointF());
}

void TestMeasures::plot()
{
    const phasors::Plot plot;
    const QSizeF image(321, 240);
    QCOMPARE(plot.toPixel({-220, -220}, image), QPointF(50, 200));
    QCOMPARE(plot.toPixel({220, 220}, image), QPointF(301, 20));
    QCOMPARE(plot.toPixel({0, 0}, image), QPointF(175.5, 110));
    QCOMPARE(plot.area(image), QRectF(50, 20, 251, 180));

    QStringList labels;
    for (const double x : plot.majorLines(plot.xMin, plot.xMax))
        labels << phasors::gridLabel(x);
    QCOMPARE(labels, (QStringList{"-2.2e+02", "-1.1e+02", "0", "1.1e+02", "2.2e+02"}));
    const QList<double> minor = plot.minorLines(plot.yMin, plot.yMax);
    QCOMPARE(minor.size(), 21);
    QCOMPARE(minor[10], 0.0);
    QCOMPARE(minor.last(), 220.0);
}

QTEST_GUILESS_MAIN(TestMeasures)
#include "tst_measures.moc"
