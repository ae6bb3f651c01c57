// Calibration: the arithmetic and byte texts of core, and the calibration page on a stand-in
// window that records its batches and answers them with chosen replies.
#include "config/calibrationpage.h"
#include "core/calibration.h"
#include "core/catalogue.h"
#include "meters/devicelistitem.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QtTest>

using calibration::Step;
Q_DECLARE_METATYPE(Step)

namespace {
QByteArray reply(int function, int object, const QByteArray &data)
{
    return QByteArray(1, char(function)) + char(object) + char(data.size()) + data;
}

QByteArray le(qint32 v)
{
    QByteArray d;
    for (int b = 0; b < 4; ++b)
        d += char((quint32(v) >> (8 * b)) & 0xff);
    return d;
}

QByteArray block(int object, const QList<qint32> &values)
{
    QByteArray d;
    for (const qint32 v : values)
        d += le(v);
    return reply(0x01, object, d);
}

// `n` readings of `object`, the values of `raws` in turn.
QList<QByteArray> readings(int object, const QList<int> &raws, int n)
{
    QList<QByteArray> out;
    for (int i = 0; i < n; ++i)
        out << reply(0x01, object, le(raws[i % raws.size()]));
    return out;
}

const QList<qint32> kInitial{16384, 16384, 0, 0, 0, 0, 0};
const QByteArray kWritten = reply(0x02, 0x0c, QByteArray());

// What the configurator is to a page, written down instead of sent.
struct Host : PageHost, GroupHost
{
    struct Batch
    {
        int kind;
        QStringList commands;
        QString title;
    };
    struct Route
    {
        Completion run;
        bool anyStatus;
    };
    deviceListItem *currentItem() const override { return item.get(); }
    MeterSeries meterSeries() const override
    {
        return item ? meterSeriesOf(item->record().version) : MeterSeries::Unrecognised;
    }
    bool sendBatch(int kind, const QStringList &commands, const QString &title, const QColor &,
                   const QString &) override
    {
        batches.append({kind, commands, title});
        return true;
    }
    void addRoute(int kind, QWidget *, Completion run, bool anyStatus) override
    {
        routes.insert(kind, {run, anyStatus});
    }
    deviceListItem *batchItem() const override { return item.get(); }
    void meterChanged(deviceListItem *) override {}
    void setMeterEntriesEnabled(bool on) override { entriesOn = on; }
    int checkedCount() const override { return checked; }
    void work(int, const std::function<void()> &step) override
    {
        ++groupRuns;
        step();
    }
    bool running() const override { return group; }
    bool calibrateSelected() const override { return false; }
    void mark(int status) override { marks << status; }
    void noteAddress(int) override {}
    bool listMode() const override { return listed; }
    QString listLine() const override { return line; }
    void appendListLine(const QString &l) override { appended << l; }
    bool confirm(const QString &title, const QString &text) override
    {
        questions << title + "|" + text;
        return yes;
    }
    QString saveFileName(const QString &, const QString &, const QString &) override
    {
        return QString();
    }
    QString openFileName(const QString &, const QString &, const QString &) override
    {
        return QString();
    }
    void stopAll() override {}

    // The last batch comes back with `replies` (after the session command).
    int answer(const QList<QByteArray> &replies, int status = 0)
    {
        const Route r = routes.value(batches.last().kind);
        return r.run && (status == 0 || r.anyStatus) ? r.run(replies, status) : status;
    }

    std::unique_ptr<deviceListItem> item;
    QList<Batch> batches;
    QHash<int, Route> routes;
    QList<int> marks;
    bool group = false;
    bool listed = false;
    QString line;
    QStringList appended;
    bool entriesOn = true;
    int checked = 0;
    int groupRuns = 0;
    QStringList questions; // "title|text"
    bool yes = true;
};

struct Page
{
    explicit Page(const QString &name = QStringLiteral("210.1"), int address = 5)
    {
        DeviceRecord r;
        r.version = name;
        r.address = address;
        host.item = std::make_unique<deviceListItem>(nullptr, r);
        page = std::make_unique<CalibrationPage>(&host);
        page->setGroupWork(&host);
        QObject::connect(page.get(), &ConfigPage::log, page.get(),
                         [this](const QString &text, const QColor &colour) {
                             log << QStringLiteral("%1|%2").arg(colour.name(), text);
                         });
        page->lockUnbuilt();
        page->setMeterControlsEnabled(true);
    }
    template <typename T = QWidget> T *find(const QString &name)
    {
        return page->findChild<T *>(name);
    }
    void click(const QString &button) { find<QAbstractButton>(button)->click(); }
    void setSingle(const QList<qint32> &values)
    {
        for (int i = 0; i < values.size(); ++i)
            find<QSpinBox>(QStringLiteral("sbC%1").arg(i + 1))->setValue(values[i]);
    }
    QList<int> three()
    {
        QList<int> out;
        for (int i = 1; i <= 34; ++i)
            out << find<QSpinBox>(QStringLiteral("sbCC3_%1").arg(i))->value();
        return out;
    }
    // Starts three-phase procedure `index` and answers its batch with `values` as the block read
    // (after the block written, when the batch starts with one) and `raw` for every reading.
    int procedure(int index, const QList<qint32> &values, int raw)
    {
        find<QComboBox>(QStringLiteral("cbHelpBlock3"))->setCurrentIndex(index);
        const qsizetype before = host.batches.size();
        click(QStringLiteral("pbInitCalibration3"));
        return before == host.batches.size() ? 0 : answerProcedure(values, raw);
    }
    int answerProcedure(const QList<qint32> &values, int raw)
    {
        const QStringList &commands = host.batches.last().commands;
        QList<QByteArray> replies;
        for (const QString &c : commands)
            replies << (c == "01 88"          ? block(0x88, values)
                        : c.startsWith("01 ") ? reply(1, c.mid(3).toInt(nullptr, 16), le(raw))
                                              : reply(2, c.mid(3, 2).toInt(nullptr, 16), {}));
        return host.answer(replies);
    }
    QStringList enabled(const QStringList &names)
    {
        QStringList out;
        for (const QString &n : names)
            if (find(n)->isEnabled())
                out << n;
        return out;
    }

    Host host;
    std::unique_ptr<CalibrationPage> page;
    QStringList log; // "#rrggbb|text"
};
} // namespace

class TestCalibration : public QObject
{
    Q_OBJECT
private slots:
    void singleSteps_data();
    void singleSteps();
    void procedures_data();
    void procedures();
    void byteTexts();
    void checks();
    void resetFrom_data();
    void resetFrom();
    void batches_data();
    void batches();
    void stepResults_data();
    void stepResults();
    void procedureOnPage();
    void procedureTable_data();
    void procedureTable();
    void procedureRefusals_data();
    void procedureRefusals();
    void erasingAsks_data();
    void erasingAsks();
    void writeToAnotherMeterAsks_data();
    void writeToAnotherMeterAsks();
    void stepControls_data();
    void stepControls();
    void procedureControls_data();
    void procedureControls();
};

void TestCalibration::singleSteps_data()
{
    QTest::addColumn<Step>("step");
    QTest::addColumn<QList<int>>("raws"); // 20 replies, these values in turn
    QTest::addColumn<int>("coefficient");
    QTest::newRow("voltage 230 V") << Step::Voltage << QList<int>{230000} << 16384;
    // 231 V kept; 225 and 235 V are noise: (230 - 231) / 230 × 16384 + 16384.
    QTest::newRow("voltage, noise at 225 and 235 V left out")
        << Step::Voltage << QList<int>{231000, 225000, 231000, 235000} << 16312;
    QTest::newRow("power 4600 W") << Step::Power << QList<int>{4600000} << 16384;
    QTest::newRow("power 4140 W") << Step::Power << QList<int>{4140000} << 18022;
    QTest::newRow("phase 2300 W") << Step::Phase << QList<int>{2300000} << 0;
    QTest::newRow("phase 2341 W, above 2300") << Step::Phase << QList<int>{2341000} << -1350;
    QTest::newRow("phase 2250 W, below 2300") << Step::Phase << QList<int>{2250000} << -1639;
    QTest::newRow("power offset 112 W") << Step::PowerOffset << QList<int>{112000} << 108428;
    QTest::newRow("power offset 116.5 W, toward zero")
        << Step::PowerOffset << QList<int>{116500} << -54214;
    QTest::newRow("start current raw, 40000.5")
        << Step::StartCurrent << QList<int>{40000, 40001} << 40000;
}

void TestCalibration::singleSteps()
{
    QFETCH(Step, step);
    QFETCH(QList<int>, raws);
    QFETCH(int, coefficient);
    const QList<QByteArray> replies = readings(0x01, raws, 20);
    float average = -1;
    QCOMPARE(calibration::singleAverage(step, replies.constData(), 20, &average), ReplyCheck::Ok);
    QCOMPARE(calibration::singleCoefficient(step, average), std::optional<qint32>(coefficient));
}

void TestCalibration::procedures_data()
{
    QTest::addColumn<int>("procedure");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<int>>("raws"); // phases A, B, C, the same in all 8 rounds
    QTest::addColumn<QList<int>>("coefficients");
    QTest::newRow("current, variant .22, 10 A is 0")
        << 4 << "450.22R" << QList<int>{10000, 9900, 10200} << QList<int>{0, 1, -3};
    QTest::newRow("voltage, variant .42, 0 V reads as 0.01")
        << 3 << "450.42R" << QList<int>{230000, 0, 229000} << QList<int>{0, 35924440, 6};
    QTest::newRow("phase shift, .22")
        << 10 << "450.22R" << QList<int>{115000, 114000, 115000} << QList<int>{128, 144, 128};
    QTest::newRow("phase shift at nominal, .21")
        << 10 << "450.21R" << QList<int>{28850, 28850, 28850} << QList<int>{128, 128, 128};
    QTest::newRow("active transfer, .42")
        << 5 << "450.42R" << QList<int>{920000, 910000, 930000} << QList<int>{0, 54, -53};
    QTest::newRow("current offset, .42, 0 A reads as 0.01")
        << 7 << "450.42R" << QList<int>{0, 0, 0} << QList<int>{490, 490, 490};
    QTest::newRow("active offset, .22")
        << 8 << "450.22R" << QList<int>{2200, 2300, 11400} << QList<int>{50, 0, -4550};
    QTest::newRow("apparent offset, .42 (× 100)")
        << 9 << "450.42R" << QList<int>{11400, 11500, 11500} << QList<int>{100, 0, 0};
    QTest::newRow("start limit, .42") << 13 << "450.42R" << QList<int>{} << QList<int>{350};
    QTest::newRow("start limit, .22") << 13 << "450.22R" << QList<int>{} << QList<int>{100};
    QTest::newRow("start limit, .21") << 13 << "450.21R" << QList<int>{} << QList<int>{20};
    QTest::newRow("no variant: nothing nominal") << 13 << "450.1" << QList<int>{} << QList<int>{0};
}

void TestCalibration::procedures()
{
    QFETCH(int, procedure);
    QFETCH(QString, name);
    QFETCH(QList<int>, raws);
    QFETCH(QList<int>, coefficients);
    const calibration::Nominal n = calibration::nominal(threePhaseVariant(name));
    float averages[3] = {0, 0, 0};
    if (!raws.isEmpty()) {
        QList<QByteArray> replies;
        for (int round = 0; round < 8; ++round)
            for (int p = 0; p < 3; ++p)
                replies << reply(0x01, 0x67 + p, le(raws[p]));
        QCOMPARE(calibration::phaseAverages(replies.constData(), 24, averages), ReplyCheck::Ok);
    }
    QList<int> got;
    for (int p = 0; p < coefficients.size(); ++p)
        got << calibration::threeCoefficient(procedure, n, averages[p]).value_or(-999);
    QCOMPARE(got, coefficients);
}

void TestCalibration::byteTexts()
{
    QCOMPARE(calibration::valueBytes(-1), QStringLiteral("ff ff ff ff"));
    QCOMPARE(calibration::valueBytes(16384), QStringLiteral("0 40 0 0"));
    QCOMPARE(calibration::singleWrite({-1, 16384, -1350, 108428, 0, 40000, 0}),
             (QStringList{"02 0c ff ff ff ff 0 40 0 0 ba fa ff ff 8c a7 1 0 0 0 0 0 40 9c 0 0 "
                          "0 0 0 0",
                          "02 0d 04"}));
    QCOMPARE(calibration::singleWrite({1, 2}), QStringList());
    QCOMPARE(calibration::singleInitialWrite(),
             QStringLiteral("02 0c 00 40 00 00 00 40 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                            "00 00 00 00 00 00 00 00"));
    QStringList pairs(136, QStringLiteral("00"));
    pairs[60] = pairs[64] = pairs[68] = QStringLiteral("80");
    QCOMPARE(calibration::threeInitialWrite(), "02 88 " + pairs.join(' '));
    QList<qint32> three(34, 0);
    three[0] = -2;
    three[33] = 350;
    const QStringList written = calibration::threeWrite(three);
    QCOMPARE(written.size(), 2);
    QVERIFY(written[0].startsWith(QStringLiteral("02 88 fe ff ff ff 0 0 0 0 ")));
    QVERIFY(written[0].endsWith(QStringLiteral(" 0 0 0 0 5e 1 0 0")));
    QCOMPARE(written[0].count(' '), 2 + 34 * 4 - 1);
    QCOMPARE(written[1], QStringLiteral("02 0d 04"));

    QList<qint32> values{1};
    QCOMPARE(calibration::decodeBlock(block(0x0c, kInitial).chopped(1), 7, &values),
             ReplyCheck::Short);
    QCOMPARE(values, QList<qint32>{1});
    QCOMPARE(calibration::decodeBlock(block(0x0c, {-1, 16384, 0, 0, 0, 0, 7}), 7, &values),
             ReplyCheck::Ok);
    QCOMPARE(values, (QList<qint32>{-1, 16384, 0, 0, 0, 0, 7}));
    // One-byte readings are sign-extended; a reading that cannot be read spoils the average.
    const QList<QByteArray> small{reply(1, 1, QByteArray(1, char(0xfe))), reply(1, 1, {})};
    float average = 7;
    QCOMPARE(calibration::singleAverage(Step::StartCurrent, small.constData(), 1, &average),
             ReplyCheck::Ok);
    QCOMPARE(average, -2.0f);
    QCOMPARE(calibration::singleAverage(Step::StartCurrent, small.constData(), 2, &average),
             ReplyCheck::BadValue);
    QCOMPARE(average, -2.0f);
    float three3[3] = {1, 2, 3};
    QCOMPARE(calibration::phaseAverages(small.constData(), 2, three3), ReplyCheck::Short);
    QCOMPARE(three3[2], 3.0f);
}

void TestCalibration::checks()
{
    const struct
    {
        int index;
        qint32 value;
        bool ok;
    } dimensions[] = {{0, 15000, true},   {0, 14999, false}, {0, 16384, true},  {1, 18500, true},
                      {1, 18501, false},  {2, 0, true},      {2, -800, true},   {2, -799, false},
                      {3, 170001, false}, {4, 1, false},     {5, 29999, false}, {5, 0, true},
                      {6, 0, true},       {7, 0, false}};
    for (const auto &d : dimensions)
        QVERIFY2(calibration::dimensionOk(d.index, d.value) == d.ok,
                 qPrintable(QStringLiteral("%1: %2").arg(d.index).arg(d.value)));

    QList<qint32> calibrated = kInitial;
    calibrated[0] = 16312;
    QVERIFY(!calibration::initialHeld(Step::Voltage, calibrated));
    QVERIFY(calibration::initialHeld(Step::Power, calibrated));
    calibrated[5] = 40000; // the start current, coefficient 5
    QVERIFY(!calibration::initialHeld(Step::PowerOffset, calibrated));
    calibrated[4] = 9; // the current offset is no step's
    calibrated[5] = 0;
    QVERIFY(calibration::initialHeld(Step::Power, calibrated));
    QVERIFY(!calibration::initialHeld(Step::StartCurrent, {0, 0}));

    QCOMPARE(calibration::versionNumber(QStringLiteral("1.10")) < 1.1, false);
    QCOMPARE(calibration::versionNumber(QStringLiteral("1.08")) < 1.1, true);
    QCOMPARE(calibration::versionNumber(QStringLiteral("v2")), 0.0);

    QCOMPARE(calibration::hintBlock(4),
             QStringLiteral(
                 "<html><body><p>Параметры калибровки<br>"
                 "<span style='color:#bbbbbb'>1: -</span><br/>"
                 "<span style='color:#bbbbbb'>2: -</span><br/>"
                 "<span style='color:#bbbbbb'>3: U = <strong>230 В</strong>, I = <strong>0 "
                 "А</strong>, φ = <strong>0</strong></span><br/>"
                 "<span>4: U = <strong>230 В</strong>, I = <strong>20 А</strong>, φ = "
                 "<strong>0</strong></span><br/>"
                 "<span style='color:#bbbbbb'>5: U = <strong>230 В</strong>, I = <strong>20 "
                 "А</strong>, φ = <strong>60°</strong></span><br/>"
                 "<span style='color:#bbbbbb'>6: U = <strong>230 В</strong>, I = <strong>0.5 "
                 "А</strong>, φ = <strong>0</strong></span><br/>"
                 "<span style='color:#bbbbbb'>7: U = <strong>230 В</strong>, I = <strong>13-15 "
                 "мА</strong>, φ = <strong>0</strong></span><br/>"
                 "<span style='color:#bbbbbb'>8: -</span><br/>"
                 "<span style='color:#bbbbbb'>9: -</span><br/>"
                 "<span style='color:#bbbbbb'>10: -</span></p></body></html>"));
    QCOMPARE(calibration::hintBlock(0).count(QStringLiteral("<span>")), 10);
}

void TestCalibration::resetFrom_data()
{
    QTest::addColumn<int>("procedure");
    QTest::addColumn<QList<int>>("reset"); // numbers 1..34 back to 0, or 128 for 16..18
    const QList<int> phase{16, 17, 18}, reactive{10, 11, 12, 28, 29, 30}, voltageOffset{19, 20, 21};
    QList<int> all;
    for (int i = 1; i <= 34; ++i)
        all << i;
    QTest::newRow("voltage: everything") << 3 << all;
    QTest::newRow("phase shift and later")
        << 10 << (phase + reactive + voltageOffset + QList<int>{34});
    QTest::newRow("start current: voltage offsets") << 13 << (voltageOffset + QList<int>{34});
    QTest::newRow("serial numbers: start limit") << 14 << QList<int>{34};
    QTest::newRow("factory initialisation: nothing") << 2 << QList<int>{};
    QTest::newRow("list reset: nothing") << 15 << QList<int>{};
}

void TestCalibration::resetFrom()
{
    QFETCH(int, procedure);
    QFETCH(QList<int>, reset);
    QList<qint32> values(34, 7);
    calibration::resetFrom(procedure, &values);
    for (int n = 1; n <= 34; ++n) {
        const int expected = !reset.contains(n) ? 7 : n >= 16 && n <= 18 ? 128 : 0;
        QVERIFY2(values[n - 1] == expected, qPrintable(QString::number(n)));
    }
}

void TestCalibration::batches_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("procedure"); // three-phase list index, or -1
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("commands"); // "N×text" for a run
    QTest::newRow("voltage step")
        << "210.1" << -1 << "pbCalibration1" << 37
        << QStringList{"02 0c 00 40 00 00 00 40 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                       "00 00 00 00 00 00",
                       "01 0c", "20×01 01"};
    QTest::newRow("start current step")
        << "210.1" << -1 << "pbCalibration5" << 41 << QStringList{"01 0c", "20×01 3a"};
    QTest::newRow("lists reset") << "210.1" << -1 << "pbOutReset" << 42
                                 << QStringList{"02 0d 03", "05 42", "05 43", "05 10",
                                                "05 3c",    "05 12", "05 3b"};
    QTest::newRow("conformity test")
        << "210.1" << -1 << "pbCalibration7" << 51 << QStringList{"01 21", "02 0d 09"};
    QTest::newRow("factory initialisation, three-phase")
        << "450.22R" << 2 << "pbMainInit3" << 48 << QStringList{"02 0d 07"};
    QTest::newRow("three-phase current") << "450.22R" << 4 << "pbInitCalibration3" << 58
                                         << QStringList{"01 88", "8×01 67", "8×01 68", "8×01 69"};
    QTest::newRow("three-phase start limit")
        << "450.42R" << 13 << "pbInitCalibration3" << 58 << QStringList{"01 88"};
    QTest::newRow("single-phase step on a three-phase meter")
        << "450.22R" << -1 << "pbCalibration2" << -1 << QStringList{};
    QTest::newRow("three-phase procedure without a variant")
        << "450.1" << 4 << "pbInitCalibration3" << -1 << QStringList{};
}

void TestCalibration::batches()
{
    QFETCH(QString, name);
    QFETCH(int, procedure);
    QFETCH(QString, button);
    QFETCH(int, kind);
    QFETCH(QStringList, commands);
    Page t(name);
    if (procedure >= 0)
        t.find<QComboBox>(QStringLiteral("cbHelpBlock3"))->setCurrentIndex(procedure);
    // Disabled buttons still start their slot when clicked from code.
    QMetaObject::invokeMethod(t.find<QAbstractButton>(button), "click");
    if (kind < 0) {
        QVERIFY(t.host.batches.isEmpty());
        // Refused for want of nominal values: not touched, and counted as skipped.
        QCOMPARE(t.host.marks, procedure >= 0 ? QList<int>{1} : QList<int>{});
        return;
    }
    QCOMPARE(t.host.batches.size(), 1);
    QCOMPARE(t.host.batches[0].kind, kind);
    QStringList expected;
    for (const QString &c : commands) {
        const int times = c.contains(u'×') ? c.section(u'×', 0, 0).toInt() : 1;
        for (int i = 0; i < times; ++i)
            expected << c.section(u'×', -1);
    }
    QStringList got = t.host.batches[0].commands;
    if (kind == 58 && procedure == 4) // rounds of A, B, C: sorted to compare the counts
        std::sort(got.begin() + 1, got.end());
    QCOMPARE(got, expected);
}

void TestCalibration::stepResults_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("group");
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QList<int>>("marks");
    QTest::addColumn<QString>("written"); // empty: nothing
    const QString red = QStringLiteral("#ff3232|"), orange = QStringLiteral("#ff7f28|");
    const QList<QByteArray> initialRead{kWritten, block(0x0c, kInitial)};
    QTest::newRow("voltage 220 V is all noise")
        << "pbCalibration1" << false << (initialRead + readings(1, {220000}, 20))
        << QStringList{red + "Ошибка: показания напряжения слишком зашумлены - невозможно "
                             "осуществить калибровку"}
        << QList<int>{10} << "";
    QTest::newRow("voltage 230 V")
        << "pbCalibration1" << false << (initialRead + readings(1, {230000}, 20))
        << QStringList{orange + "Рассчитанный КК по напряжению: 16384"} << QList<int>{}
        << "02 0c 0 40 0 0 0 40 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0";
    QTest::newRow("power again on a calibrated meter")
        << "pbCalibration2" << false
        << (QList<QByteArray>{block(0x0c, {16312, 18022, 0, 0, 0, 0, 0})} +
            readings(3, {4600000}, 20))
        << QStringList{red + "Ошибка: КК не соответствуют начальным (возможно повторный запуск "
                             "калибровки), сохранение отменено"}
        << QList<int>{1} << "";
    QTest::newRow("phase out of its range, written with a warning")
        << "pbCalibration3" << false
        << (QList<QByteArray>{block(0x0c, kInitial)} + readings(3, {2400000}, 20))
        << QStringList{orange + "Рассчитанный КК по фазе: -3306",
                       orange + "Внимание! Проверьте размерность КК!"}
        << QList<int>{} << "02 0c 0 40 0 0 0 40 0 0 16 f3 ff ff 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0";
    QTest::newRow("the same in group work: a WARN")
        << "pbCalibration3" << true
        << (QList<QByteArray>{block(0x0c, kInitial)} + readings(3, {2400000}, 20))
        << QStringList{orange + "Рассчитанный КК по фазе: -3306"} << QList<int>{2}
        << "02 0c 0 40 0 0 0 40 0 0 16 f3 ff ff 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0";
    QTest::newRow("start current")
        << "pbCalibration5" << false
        << (QList<QByteArray>{block(0x0c, kInitial)} + readings(0x3a, {40000}, 20))
        << QStringList{orange + "Рассчитанный КК стартового тока: 40000"} << QList<int>{}
        << "02 0c 0 40 0 0 0 40 0 0 0 0 0 0 0 0 0 0 0 0 0 0 40 9c 0 0 0 0 0 0";
    QTest::newRow("a reading cut short")
        << "pbCalibration4" << false
        << (QList<QByteArray>{block(0x0c, kInitial)} + readings(3, {112000}, 19) +
            QList<QByteArray>{QByteArray::fromHex("010304e0b4")})
        << QStringList{red + "Ошибка: некорректный размер пакета"} << QList<int>{10} << "";
    QTest::newRow("conformity test below 1.1")
        << "pbCalibration7" << false
        << QList<QByteArray>{reply(1, 0x21, "1.08"), reply(2, 0x0d, {})}
        << QStringList{orange +
                       "Адрес: 5, версия ПО: 1.08, данная процедура не реализована в этой версии"}
        << QList<int>{1} << "";
    QTest::newRow("conformity test at 1.10")
        << "pbCalibration7" << false
        << QList<QByteArray>{reply(1, 0x21, "1.10"), reply(2, 0x0d, {})} << QStringList{}
        << QList<int>{} << "";
    const QString cannot = " - невозможно осуществить калибровку, сохранение отменено";
    QTest::newRow("power reads nothing")
        << "pbCalibration2" << true
        << (QList<QByteArray>{block(0x0c, kInitial)} + readings(3, {0}, 20))
        << QStringList{red + "Ошибка: среднее показание равно 0" + cannot} << QList<int>{10} << "";
    QTest::newRow("power at half the load")
        << "pbCalibration2" << false
        << (QList<QByteArray>{block(0x0c, kInitial)} + readings(3, {2300000}, 20))
        << QStringList{red +
                       "Ошибка: среднее показание 2300 вне допустимых пределов (от 2300 до "
                       "9200)" +
                       cannot}
        << QList<int>{10} << "";
    QTest::newRow("phase at the apparent power")
        << "pbCalibration3" << false
        << (QList<QByteArray>{block(0x0c, kInitial)} + readings(3, {4600000}, 20))
        << QStringList{red +
                       "Ошибка: среднее показание 4600 вне допустимых пределов (от 1150 до "
                       "4600)" +
                       cannot}
        << QList<int>{10} << "";
    QTest::newRow("power offset off the load")
        << "pbCalibration4" << false
        << (QList<QByteArray>{block(0x0c, kInitial)} + readings(3, {300000}, 20))
        << QStringList{red +
                       "Ошибка: среднее показание 300 вне допустимых пределов (от 57.5 до "
                       "230)" +
                       cannot}
        << QList<int>{10} << "";
    QTest::newRow("start current below 0")
        << "pbCalibration5" << false
        << (QList<QByteArray>{block(0x0c, kInitial)} + readings(0x3a, {-5}, 20))
        << QStringList{red + "Ошибка: среднее показание -5 вне допустимых пределов (больше 0)" +
                       cannot}
        << QList<int>{10} << "";
    QTest::newRow("back to standard from the phase on")
        << "pbResetCC3" << false << QList<QByteArray>{} << QStringList{} << QList<int>{}
        << "02 0c 7 0 0 0 7 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0";
}

void TestCalibration::stepResults()
{
    QFETCH(QString, button);
    QFETCH(bool, group);
    QFETCH(QList<QByteArray>, replies);
    QFETCH(QStringList, log);
    QFETCH(QList<int>, marks);
    QFETCH(QString, written);
    Page t;
    t.host.group = group;
    t.setSingle({7, 7, 7, 7, 7, 7, 7});
    t.click(button);
    if (!replies.isEmpty()) {
        QCOMPARE(t.host.batches.size(), 1);
        const int status = t.host.answer(replies);
        // A step that writes hands its report to the write.
        QCOMPARE(status, written.isEmpty() ? 0 : kFollowedUp);
    }
    QCOMPARE(t.log, log);
    QCOMPARE(t.host.marks, marks);
    const Host::Batch last = t.host.batches.value(t.host.batches.size() - 1);
    QCOMPARE(last.kind == 30 ? last.commands.value(0) : QString(), written);
    // Saved, or the meter forgets the block when it restarts.
    QCOMPARE(last.kind == 30 ? last.commands.mid(1) : QStringList(),
             written.isEmpty() ? QStringList() : QStringList{"02 0d 04"});
    // The list is locked while the block is written, and free again whatever the outcome.
    QCOMPARE(t.host.entriesOn, written.isEmpty());
    if (!written.isEmpty()) {
        QCOMPARE(t.host.answer({}, 2), 2);
        QVERIFY(t.host.entriesOn);
    }
}

// A procedure is refused once its coefficients are no longer initial; "Сброс КК текущего этапа"
// lets it run again, and the reset reaches the meter before it measures.
void TestCalibration::procedureOnPage()
{
    Page t(QStringLiteral("450.22R"));
    QList<qint32> read = calibration::threeInitial();
    read[0] = 5; // the voltage, an earlier procedure, stays as the meter has it
    QCOMPARE(t.procedure(4, read, 10000), kFollowedUp);
    read[3] = read[4] = read[5] = 0;
    QCOMPARE(t.log, QStringList{"#ff7f28|Рассчитанные КК передачи по току: 0, 0, 0"});
    t.log.clear();
    read[4] = 1;
    read[6] = 55; // a later procedure done too
    QCOMPARE(t.procedure(4, read, 9000), 0);
    QCOMPARE(t.log, QStringList{"#ff3232|Ошибка: КК не соответствуют начальным (возможно "
                                "повторный запуск калибровки), сохранение отменено"});
    QCOMPARE(t.host.marks, QList<int>{1});
    QCOMPARE(t.host.batches.last().kind, 58);

    const qsizetype sent = t.host.batches.size();
    t.click(QStringLiteral("pbResetCCStage3"));
    QCOMPARE(t.host.batches.size(), sent);
    QCOMPARE(t.three().mid(0, 8), (QList<int>{5, 0, 0, 0, 0, 0, 0, 0}));
    // The run reads the meter's block, and writes it reset in front of the readings.
    t.click(QStringLiteral("pbInitCalibration3"));
    QCOMPARE(t.host.batches.last().commands, QStringList{"01 88"});
    QCOMPARE(t.answerProcedure(read, 0), kFollowedUp);
    QList<qint32> reset = calibration::threeInitial();
    reset[0] = 5;
    const QStringList commands = t.host.batches.last().commands;
    QCOMPARE(commands.mid(0, 3), calibration::threeWrite(reset) << "01 88");
    QCOMPARE(commands.size(), 3 + 24);
    QCOMPARE(t.answerProcedure(reset, 9000), kFollowedUp);
    reset[3] = reset[4] = reset[5] = 21;
    QCOMPARE(t.host.batches.last().commands, calibration::threeWrite(reset));
    // The reset was that run's.
    t.click(QStringLiteral("pbInitCalibration3"));
    QCOMPARE(t.host.batches.last().commands.size(), 1 + 24);
}

void TestCalibration::procedureTable_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("object"); // phase A's; 0 for none
    QTest::addColumn<QList<int>>("written");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("raw"); // 0.9 of the nominal of a .22 meter
    const QString voltage = "Запуск калибровки по напряжению",
                  current = "Запуск калибровки по току",
                  active = "Запуск калибровки по активной мощности",
                  apparent = "Запуск калибровки по полной мощности",
                  reactive = "Запуск калибровки по реактивной мощности";
    QTest::newRow("3") << 3 << "1 - Калибровка КП по напряжению" << 0x64 << QList<int>{1, 2, 3}
                       << voltage << "Рассчитанные КК передачи по напряжению: " << 207000;
    QTest::newRow("4") << 4 << "2 - Калибровка коэффициента передачи по току" << 0x67
                       << QList<int>{4, 5, 6} << current
                       << "Рассчитанные КК передачи по току: " << 9000;
    QTest::newRow("5") << 5 << "3 - Калибровка КП по активной мощности" << 0x6a
                       << QList<int>{7, 8, 9} << active
                       << "Рассчитанные КК передачи по активной мощности: " << 207000;
    QTest::newRow("6") << 6 << "4 - Калибровка КП по полной мощности" << 0x72
                       << QList<int>{13, 14, 15} << apparent
                       << "Рассчитанные КК передачи по полной мощности: " << 207000;
    QTest::newRow("7") << 7 << "5 - Калибровка смещения по току" << 0x67 << QList<int>{22, 23, 24}
                       << current << "Рассчитанные КК смещения по току: " << 90;
    QTest::newRow("8") << 8 << "6 - Калибровка смещения по активной мощности" << 0x6a
                       << QList<int>{25, 26, 27} << active
                       << "Рассчитанные КК по смещению активной мощности: " << 2070;
    QTest::newRow("9") << 9 << "7 - Калибровка смещения по полной мощности" << 0x72
                       << QList<int>{31, 32, 33} << apparent
                       << "Рассчитанные КК по смещению полной мощности: " << 2070;
    QTest::newRow("10") << 10 << "8 - Калибровка сдвига фазы" << 0x6a << QList<int>{16, 17, 18}
                        << "Запуск калибровки по фазе"
                        << "Рассчитанные КК по смещению полной мощности: " << 103500;
    QTest::newRow("11") << 11 << "9 - Калибровка КП по реактивной мощности" << 0x6e
                        << QList<int>{10, 11, 12} << reactive
                        << "Рассчитанные КК передачи по реактивной мощности: " << 207000;
    QTest::newRow("12") << 12 << "10 - Калибровка смещения по реактивной мощности" << 0x6e
                        << QList<int>{28, 29, 30} << reactive
                        << "Рассчитанные КК по смещению активной мощности: " << 2070;
    QTest::newRow("13") << 13 << "11 - Калибровка стартового тока" << 0 << QList<int>{34}
                        << "Запуск калибровки стартового тока"
                        << "" << 0;
}

// Each procedure of the list on the page: what it reads, under which title, which coefficients
// it writes and what it logs.
void TestCalibration::procedureTable()
{
    QFETCH(int, index);
    QFETCH(QString, item);
    QFETCH(int, object);
    QFETCH(QList<int>, written);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(int, raw);
    Page t(QStringLiteral("450.22R"));
    QCOMPARE(t.find<QComboBox>(QStringLiteral("cbHelpBlock3"))->itemText(index), item);
    const QList<qint32> initial = calibration::threeInitial();
    QCOMPARE(t.procedure(index, initial, raw), kFollowedUp);
    const Host::Batch run = t.host.batches.value(0);
    QCOMPARE(run.title, title);
    const QStringList reads = run.commands.mid(run.commands.indexOf("01 88") + 1);
    QCOMPARE(reads.size(), object ? 24 : 0);
    for (int i = 0; i < reads.size(); ++i)
        QCOMPARE(reads[i], catalogue::command(1, object + i % 3));
    QList<int> changed;
    const QList<int> now = t.three();
    for (int n = 1; n <= 34; ++n)
        if (now[n - 1] != initial[n - 1])
            changed << n;
    QCOMPARE(changed, written);
    QCOMPARE(t.host.batches.last().kind, 57);
    QCOMPARE(t.log.value(0).section('|', 1).left(text.size()), text);
}

void TestCalibration::procedureRefusals_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("index");
    QTest::addColumn<QList<int>>("changes"); // number, value: what differs from the initial block
    QTest::addColumn<QList<int>>("raws");    // phases A, B, C in every round
    QTest::addColumn<QString>("line");       // red; "" for none, and the block written
    QTest::addColumn<int>("mark");
    const QString cannot = " - невозможно осуществить калибровку, сохранение отменено";
    const QString again = "Ошибка: КК не соответствуют начальным (возможно повторный запуск "
                          "калибровки), сохранение отменено";
    QTest::newRow("dead phase B") << "450.42R" << 3 << QList<int>{} << QList<int>{230000, 0, 229000}
                                  << "Ошибка: среднее показание фазы B равно 0" + cannot << 10;
    QTest::newRow("current off the load")
        << "450.22R" << 4 << QList<int>{} << QList<int>{10000, 10000, 25000}
        << "Ошибка: среднее показание фазы C 25 вне допустимых пределов (от 5 до 20)" + cannot
        << 10;
    QTest::newRow("active power at half")
        << "450.22R" << 5 << QList<int>{} << QList<int>{115000, 230000, 230000}
        << "Ошибка: среднее показание фазы A 1150 вне допустимых пределов (от 1150 до 4600)" +
               cannot
        << 10;
    QTest::newRow("current again")
        << "450.22R" << 4 << QList<int>{5, 1} << QList<int>{10000, 10000, 10000} << again << 1;
    QTest::newRow("a later procedure done")
        << "450.22R" << 4 << QList<int>{13, 7} << QList<int>{10000, 10000, 10000} << again << 1;
    QTest::newRow("voltage offsets are the start limit's")
        << "450.42R" << 13 << QList<int>{20, 3} << QList<int>{} << again << 1;
    QTest::newRow("an earlier procedure done") << "450.22R" << 5 << QList<int>{4, 1, 6, -3}
                                               << QList<int>{230000, 230000, 230000} << "" << 0;
}

void TestCalibration::procedureRefusals()
{
    QFETCH(QString, name);
    QFETCH(int, index);
    QFETCH(QList<int>, changes);
    QFETCH(QList<int>, raws);
    QFETCH(QString, line);
    QFETCH(int, mark);
    Page t(name);
    QList<qint32> read = calibration::threeInitial();
    for (int i = 0; i + 1 < changes.size(); i += 2)
        read[changes[i] - 1] = changes[i + 1];
    t.find<QComboBox>(QStringLiteral("cbHelpBlock3"))->setCurrentIndex(index);
    t.click(QStringLiteral("pbInitCalibration3"));
    QList<QByteArray> replies;
    int n = 0;
    for (const QString &c : t.host.batches.value(0).commands)
        replies << (c == "01 88"          ? block(0x88, read)
                    : c.startsWith("01 ") ? reply(1, 0, le(raws.value(n++ % 3)))
                                          : reply(2, 0x88, {}));
    const int status = t.host.answer(replies);
    QCOMPARE(t.host.batches.last().kind, line.isEmpty() ? 57 : 58);
    QCOMPARE(status, line.isEmpty() ? kFollowedUp : 0);
    if (!line.isEmpty())
        QCOMPARE(t.log, QStringList{"#ff3232|" + line});
    QCOMPARE(t.host.marks, mark ? QList<int>{mark} : QList<int>{});
}

void TestCalibration::erasingAsks_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("checked"); // -1: for the current meter alone
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("question"); // "" for none
    QTest::addColumn<int>("kind");         // -1: nothing sent
    const QString init = "Внимание!|<p>Вы действительно хотите произвести заводскую инициализацию ";
    const QString reset = "Внимание!|<p>Вы действительно хотите сбросить списки и показания ";
    QTest::newRow("factory initialisation, No")
        << "210.1"
        << "pbMainInit" << -1 << false
        << init + "счетчика?<br>Его настройки будут сброшены к заводским." << -1;
    QTest::newRow("lists reset, Yes")
        << "210.1"
        << "pbOutReset" << -1 << true
        << reset + "счетчика?<br>Показания, архивы и списки событий будут удалены." << 42;
    QTest::newRow("factory initialisation of 24 checked, No")
        << "450.22R"
        << "pbMainInit3" << 24 << false
        << init + "отмеченных счетчиков (24)?<br>Их настройки будут сброшены к заводским." << -1;
    QTest::newRow("lists reset of 3 checked, Yes")
        << "450.22R"
        << "pbOutReset3" << 3 << true
        << reset + "отмеченных счетчиков (3)?<br>Их показания, архивы и списки событий будут "
                   "удалены."
        << 42;
    QTest::newRow("none checked") << "210.1"
                                  << "pbMainInit" << 0 << true << "" << -1;
}

void TestCalibration::erasingAsks()
{
    QFETCH(QString, name);
    QFETCH(QString, button);
    QFETCH(int, checked);
    QFETCH(bool, yes);
    QFETCH(QString, question);
    QFETCH(int, kind);
    Page t(name);
    t.host.yes = yes;
    t.host.checked = qMax(checked, 0);
    t.find<QAbstractButton>(QStringLiteral("cbCalibrateSelected"))->setChecked(checked >= 0);
    t.click(button);
    QCOMPARE(t.host.questions, question.isEmpty() ? QStringList() : QStringList{question});
    QCOMPARE(t.host.batches.size(), kind < 0 ? 0 : 1);
    QCOMPARE(t.host.batches.value(0).kind, kind < 0 ? 0 : kind);
    QCOMPARE(t.host.groupRuns, checked > 0 && yes ? 1 : 0);
}

void TestCalibration::writeToAnotherMeterAsks_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("readFrom"); // address the boxes were read from; 0: never read
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("written");
    QTest::newRow("to the meter read") << "210.1"
                                       << "pbSaveCC" << 7 << false << false << true;
    QTest::newRow("nothing read") << "210.1"
                                  << "pbSaveCC" << 0 << false << false << true;
    QTest::newRow("to another, No") << "210.1"
                                    << "pbSaveCC" << 5 << false << true << false;
    QTest::newRow("standard to another, Yes") << "210.1"
                                              << "pbStdCC" << 5 << true << true << true;
    QTest::newRow("reset to another, No") << "210.1"
                                          << "pbResetCC2" << 5 << false << true << false;
    QTest::newRow("three-phase to another, No") << "450.22R"
                                                << "pbSaveCC3" << 5 << false << true << false;
}

void TestCalibration::writeToAnotherMeterAsks()
{
    QFETCH(QString, name);
    QFETCH(QString, button);
    QFETCH(int, readFrom);
    QFETCH(bool, yes);
    QFETCH(bool, asked);
    QFETCH(bool, written);
    Page t(name);
    const bool three = name.startsWith("450");
    QList<qint32> values = three ? calibration::threeInitial() : kInitial;
    values[1] = 16000;
    if (readFrom) {
        t.host.item->record().address = readFrom;
        t.click(three ? QStringLiteral("pbLoadCC3") : QStringLiteral("pbLoadCC"));
        t.host.answer({block(three ? 0x88 : 0x0c, values)});
    }
    t.host.item->record().address = 7;
    t.host.yes = yes;
    t.click(button);
    QCOMPARE(t.host.questions,
             asked ? QStringList{"Внимание!|<p>Коэффициенты в полях считаны из счетчика (адрес "
                                 "5).<br>Записать их в выбранный счетчик (адрес 7)?"}
                   : QStringList());
    const int kind = t.host.batches.isEmpty() ? 0 : t.host.batches.last().kind;
    QCOMPARE(kind == 30 || kind == 57, written);
    // Refused, the boxes keep what was read.
    if (readFrom && !written)
        QCOMPARE(t.find<QSpinBox>(three ? "sbCC3_2" : "sbC2")->value(), 16000);
}

void TestCalibration::stepControls_data()
{
    QTest::addColumn<bool>("meterControls");
    QTest::addColumn<int>("step");
    QTest::addColumn<QStringList>("enabled");
    const QStringList all{"pbSaveRealTime", "pbMainInit",     "pbCalibration1", "pbCalibration2",
                          "pbCalibration3", "pbCalibration4", "pbCalibration5", "pbAddrTableInput",
                          "pbOutReset",     "pbCalibration7"};
    QTest::newRow("all steps") << true << 0 << all;
    QTest::newRow("step 4") << true << 4 << QStringList{"pbCalibration2"};
    QTest::newRow("step 8 is the address changer's")
        << true << 8 << QStringList{"pbAddrTableInput"};
    QTest::newRow("meter locked") << false << 4 << QStringList{};
}

void TestCalibration::stepControls()
{
    QFETCH(bool, meterControls);
    QFETCH(int, step);
    QFETCH(QStringList, enabled);
    Page t;
    t.page->setMeterControlsEnabled(meterControls);
    t.find<QComboBox>(QStringLiteral("cbHelpBlock"))->setCurrentIndex(step);
    QCOMPARE(t.enabled({"pbSaveRealTime", "pbMainInit", "pbCalibration1", "pbCalibration2",
                        "pbCalibration3", "pbCalibration4", "pbCalibration5", "pbAddrTableInput",
                        "pbOutReset", "pbCalibration7"}),
             enabled);
    QCOMPARE(t.find<QLabel>(QStringLiteral("lblCCList"))->text(), calibration::hintBlock(step));
    // Selection changes unlock the steps again only as far as the chosen one.
    t.page->setMeterControlsEnabled(true);
    QCOMPARE(t.find("pbCalibration3")->isEnabled(), step == 0 || step == 5);

    // The dimension warning follows the values.
    auto *power = t.find<QSpinBox>(QStringLiteral("sbC2"));
    power->setValue(18501);
    QVERIFY(!t.find<QLabel>(QStringLiteral("lblC2"))->pixmap().isNull());
    QVERIFY(t.find<QLabel>(QStringLiteral("lblC1"))->pixmap().isNull());
    power->setValue(18500);
    QVERIFY(t.find<QLabel>(QStringLiteral("lblC2"))->pixmap().isNull());
    t.click(QStringLiteral("cbCalibrateSelected"));
    QVERIFY(t.find<QAbstractButton>(QStringLiteral("cbCalibrateSelected3"))->isChecked());
}

void TestCalibration::procedureControls_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QList<int>>("boxes"); // coefficient numbers enabled
    QTest::addColumn<QStringList>("buttons");
    QList<int> all;
    for (int i = 1; i <= 34; ++i)
        all << i;
    QTest::newRow("show all") << 0 << all << QStringList{"pbInitCalibration3", "pbResetCCStage3",
                                                         "pbSaveRealTime3",    "pbMainInit3",
                                                         "pbAddrTableInput3",  "pbOutReset3",
                                                         "pbLoadCC3",          "pbSaveCC3"};
    QTest::newRow("time") << 1 << QList<int>{} << QStringList{"pbSaveRealTime3"};
    QTest::newRow("factory initialisation") << 2 << QList<int>{} << QStringList{"pbMainInit3"};
    QTest::newRow("voltage") << 3 << QList<int>{1, 2, 3}
                             << QStringList{"pbInitCalibration3", "pbResetCCStage3"};
    QTest::newRow("apparent transfer")
        << 6 << QList<int>{13, 14, 15} << QStringList{"pbInitCalibration3", "pbResetCCStage3"};
    QTest::newRow("phase shift") << 10 << QList<int>{16, 17, 18}
                                 << QStringList{"pbInitCalibration3", "pbResetCCStage3"};
    QTest::newRow("reactive offset")
        << 12 << QList<int>{28, 29, 30} << QStringList{"pbInitCalibration3", "pbResetCCStage3"};
    QTest::newRow("start current")
        << 13 << QList<int>{34} << QStringList{"pbInitCalibration3", "pbResetCCStage3"};
    QTest::newRow("serial numbers") << 14 << QList<int>{} << QStringList{"pbAddrTableInput3"};
    QTest::newRow("lists reset") << 15 << QList<int>{} << QStringList{"pbOutReset3"};
}

void TestCalibration::procedureControls()
{
    QFETCH(int, index);
    QFETCH(QList<int>, boxes);
    QFETCH(QStringList, buttons);
    Page t(QStringLiteral("450.42R"));
    t.find<QComboBox>(QStringLiteral("cbHelpBlock3"))->setCurrentIndex(index);
    QList<int> on;
    for (int i = 1; i <= 34; ++i)
        if (t.find(QStringLiteral("sbCC3_%1").arg(i))->isEnabled())
            on << i;
    QCOMPARE(on, boxes);
    const QStringList names{"pbInitCalibration3", "pbResetCCStage3",   "pbSaveRealTime3",
                            "pbMainInit3",        "pbAddrTableInput3", "pbOutReset3",
                            "pbLoadCC3",          "pbSaveCC3"};
    QCOMPARE(t.enabled(names), buttons);
    t.page->setMeterControlsEnabled(false);
    QCOMPARE(t.enabled(names), QStringList{});
}

QTEST_MAIN(TestCalibration)
#include "tst_calibration.moc"
