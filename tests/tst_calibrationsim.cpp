// Calibration in the real main window against the virtual meter line, whose readings the test
// pins: what the steps compute is written to the meter, and a later read shows it.
#include "support/sessionrig.h"

#include "config/controlpaneldialog.h"
#include "core/requestkinds.h"
#include "link/logcolours.h"
#include "meters/devicelistitem.h"

#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

namespace {
const QStringList kLine{"--meter", "210.1,addr=1", "--meter", "450.22R,addr=2"};

struct Rig
{
    bool start()
    {
        rig.developerMode = true;
        if (!rig.startLine(kLine))
            return false;
        if (!rig.openTcp(2))
            return false;
        config = rig.window().configurator();
        return true;
    }
    bool meter(int address) { return rig.openMeter(address); }
    bool finished() { return rig.batchesDone(30000); }
    template <typename T = QWidget> T *find(const QString &name)
    {
        return config->findChild<T *>(name);
    }
    // Presses a button and waits for every batch it leads to: the kinds that came back.
    QList<int> run(const QString &button)
    {
        const qsizetype before = rig.outcomes.size();
        find<QPushButton>(button)->click();
        QList<int> kinds;
        if (!finished())
            return kinds;
        for (qsizetype i = before; i < rig.outcomes.size(); ++i)
            kinds << (rig.outcomes[i].status == 0 ? rig.outcomes[i].type : -1);
        return kinds;
    }
    QList<int> values(const QString &pattern, int count)
    {
        QList<int> out;
        for (int i = 1; i <= count; ++i)
            out << find<QSpinBox>(pattern.arg(i))->value();
        return out;
    }

    SessionRig rig;
    ControlPanelDialog *config = nullptr;
};
} // namespace

class TestCalibrationSim : public QObject
{
    Q_OBJECT
private slots:
    void singlePhaseSequence();
    void threePhaseProcedures();
};

void TestCalibrationSim::singlePhaseSequence()
{
    Rig t;
    QVERIFY(t.start());
    QVERIFY(t.meter(1));
    const struct
    {
        const char *button;
        const char *pin; // "OBJ VALUE" for the meter at address 1
        int kind;
        const char *line;
    } steps[] = {
        {"pbCalibration1", "01 231000", 37, "Рассчитанный КК по напряжению: 16312"},
        {"pbCalibration2", "03 4140000", 38, "Рассчитанный КК по мощности: 18022"},
        {"pbCalibration3", "03 2341000", 39, "Рассчитанный КК по фазе: -1350"},
        {"pbCalibration4", "03 112000", 40, "Рассчитанный КК по смещению мощности: 108428"},
        {"pbCalibration5", "3a 40000", 41, "Рассчитанный КК стартового тока: 40000"},
    };
    for (const auto &s : steps) {
        QVERIFY(t.rig.line.command(QStringLiteral("reading 1 ") + QLatin1String(s.pin)));
        QCOMPARE(t.run(QLatin1String(s.button)), (QList<int>{s.kind, requestkinds::SaveCC}));
        QVERIFY2(t.rig.hasLine(QString::fromUtf8(s.line), logcolour::notice), s.line);
    }
    const QList<int> calibrated{16312, 18022, -1350, 108428, 0, 40000, 0};
    QCOMPARE(t.values(QStringLiteral("sbC%1"), 7), calibrated);
    for (int i = 1; i <= 7; ++i)
        t.find<QSpinBox>(QStringLiteral("sbC%1").arg(i))->setValue(1);
    QCOMPARE(t.run(QStringLiteral("pbLoadCC")), QList<int>{requestkinds::CC});
    QCOMPARE(t.values(QStringLiteral("sbC%1"), 7), calibrated);
    QVERIFY(t.rig.hasLine(QStringLiteral("Загружены КК: 16312, 18022, -1350, 108428, 40000"),
                          logcolour::listing));

    // Saved with "02 0d 04", the block outlives a restart of the meter; a write whose save is
    // refused lasts only until then.
    QVERIFY(t.rig.line.command(QStringLiteral("restart 1")));
    QCOMPARE(t.run(QStringLiteral("pbLoadCC")), QList<int>{requestkinds::CC});
    QCOMPARE(t.values(QStringLiteral("sbC%1"), 7), calibrated);
    t.find<QSpinBox>(QStringLiteral("sbC2"))->setValue(17000);
    QVERIFY(t.rig.line.command(QStringLiteral("fault error@obj=0d")));
    QCOMPARE(t.run(QStringLiteral("pbSaveCC")), QList<int>{-1});
    QVERIFY(t.rig.line.command(QStringLiteral("faults off")));
    QCOMPARE(t.run(QStringLiteral("pbLoadCC")), QList<int>{requestkinds::CC});
    QCOMPARE(t.find<QSpinBox>(QStringLiteral("sbC2"))->value(), 17000);
    QVERIFY(t.rig.line.command(QStringLiteral("restart 1")));
    QCOMPARE(t.run(QStringLiteral("pbLoadCC")), QList<int>{requestkinds::CC});
    QCOMPARE(t.values(QStringLiteral("sbC%1"), 7), calibrated);

    // A second power step finds the meter calibrated and leaves it so; the voltage step starts
    // over from the initial block and is never refused that way.
    const QString refused = QStringLiteral("Ошибка: КК не соответствуют начальным (возможно "
                                           "повторный запуск калибровки), сохранение отменено");
    QCOMPARE(t.run(QStringLiteral("pbCalibration2")), QList<int>{38});
    QVERIFY(t.rig.hasLine(refused, logcolour::error));
    QVERIFY(t.rig.line.command(QStringLiteral("reading 1 01 230000")));
    QCOMPARE(t.run(QStringLiteral("pbCalibration1")), (QList<int>{37, requestkinds::SaveCC}));
    QCOMPARE(t.rig.lines(refused).size(), 1);
    QCOMPARE(t.run(QStringLiteral("pbLoadCC")), QList<int>{requestkinds::CC});
    QCOMPARE(t.values(QStringLiteral("sbC%1"), 7), (QList<int>{16384, 16384, 0, 0, 0, 0, 0}));
}

void TestCalibrationSim::threePhaseProcedures()
{
    Rig t;
    QVERIFY(t.start());
    QVERIFY(t.meter(2));
    auto *procedure = t.find<QComboBox>(QStringLiteral("cbHelpBlock3"));
    // Voltage first: it writes the initial block, then the three voltage coefficients.
    for (const char *pin :
         {"64 230000", "65 229000", "66 231000", "67 10000", "68 9900", "69 10200"})
        QVERIFY(t.rig.line.command(QStringLiteral("reading 2 ") + QLatin1String(pin)));
    procedure->setCurrentIndex(3);
    QCOMPARE(t.run(QStringLiteral("pbInitCalibration3")),
             (QList<int>{requestkinds::InitCalibration3, requestkinds::SaveCC3}));
    QVERIFY(t.rig.hasLine(QStringLiteral("Рассчитанные КК передачи по напряжению: 0, 6, -6"),
                          logcolour::notice));
    procedure->setCurrentIndex(4);
    const QList<int> calibrated{requestkinds::InitCalibration3, requestkinds::SaveCC3};
    QCOMPARE(t.run(QStringLiteral("pbInitCalibration3")), calibrated);

    // Run again, it is refused. Reset, it writes the reset to the meter before it measures, and
    // a dead phase is refused then; live again, it calibrates.
    QCOMPARE(t.run(QStringLiteral("pbInitCalibration3")),
             QList<int>{requestkinds::InitCalibration3});
    QVERIFY(t.rig.hasLine(QStringLiteral("Ошибка: КК не соответствуют начальным (возможно "
                                         "повторный запуск калибровки), сохранение отменено"),
                          logcolour::error));
    t.find<QPushButton>(QStringLiteral("pbResetCCStage3"))->click();
    QVERIFY(t.rig.line.command(QStringLiteral("reading 2 68 0")));
    QCOMPARE(t.run(QStringLiteral("pbInitCalibration3")),
             (QList<int>{requestkinds::InitCalibration3, requestkinds::InitCalibration3}));
    QVERIFY(t.rig.hasLine(QStringLiteral("Ошибка: среднее показание фазы B равно 0 - невозможно "
                                         "осуществить калибровку, сохранение отменено"),
                          logcolour::error));
    procedure->setCurrentIndex(0);
    QCOMPARE(t.run(QStringLiteral("pbLoadCC3")), QList<int>{requestkinds::CC3});
    QCOMPARE(t.values(QStringLiteral("sbCC3_%1"), 6), (QList<int>{0, 6, -6, 0, 0, 0}));
    QVERIFY(t.rig.line.command(QStringLiteral("reading 2 68 9900")));
    procedure->setCurrentIndex(4);
    QCOMPARE(t.run(QStringLiteral("pbInitCalibration3")), calibrated);
    procedure->setCurrentIndex(13);
    QCOMPARE(t.run(QStringLiteral("pbInitCalibration3")),
             (QList<int>{requestkinds::InitCalibration3, requestkinds::SaveCC3}));

    procedure->setCurrentIndex(0);
    for (int i = 1; i <= 34; ++i)
        t.find<QSpinBox>(QStringLiteral("sbCC3_%1").arg(i))->setValue(-9);
    QCOMPARE(t.run(QStringLiteral("pbLoadCC3")), QList<int>{requestkinds::CC3});
    QList<int> expected(34, 0);
    expected[1] = 6;
    expected[2] = -6;
    expected[4] = 1;
    expected[5] = -3;
    expected[15] = expected[16] = expected[17] = 128;
    expected[33] = 100;
    QCOMPARE(t.values(QStringLiteral("sbCC3_%1"), 34), expected);
}

QTEST_MAIN(TestCalibrationSim)
#include "tst_calibrationsim.moc"
