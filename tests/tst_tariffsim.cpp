// The tariff page in the real main window against the virtual meter line: a schedule, holidays
// and the number of tariffs written and read back for both series, and a schedule saved from
// one meter's reading, loaded and written to a second meter.
#include "support/sessionrig.h"

#include "config/controlpaneldialog.h"
#include "meters/devicelistitem.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

namespace {
const QStringList kLine{"--meter", "210.1,addr=1", "--meter", "450.22R,addr=2",
                        "--meter", "210.1,addr=3", "--meter", "450.42R,addr=4"};

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
        config->askSaveFile = [this](const QString &, const QString &, const QString &) {
            return fileName;
        };
        config->askOpenFile = config->askSaveFile;
        calendar = config->findChild<QTableView *>(QStringLiteral("tableCalendar"))->model();
        holidays = config->findChild<QTableView *>(QStringLiteral("tableHolidays"))->model();
        months = config->findChild<QComboBox *>(QStringLiteral("cbCalendar"));
        return true;
    }
    bool meter(int address) { return rig.openMeter(address); }
    bool finished() { return rig.batchesDone(20000); }
    bool run(const char *button)
    {
        auto *b = config->findChild<QPushButton *>(QLatin1String(button));
        const qsizetype before = rig.outcomes.size();
        b->click();
        return finished() && rig.outcomes.size() > before && rig.outcomes.last().status == 0;
    }
    void trigger(const char *action)
    {
        config->findChild<QAction *>(QLatin1String(action))->trigger();
    }
    void type(QAbstractItemModel *m, int row, const QStringList &cells)
    {
        for (int c = 0; c < cells.size(); ++c)
            m->setData(m->index(row, c + 1), cells[c]);
    }
    QStringList rowOf(QAbstractItemModel *m, int row)
    {
        QStringList out;
        for (int c = 1; c < m->columnCount(); ++c)
            out << m->index(row, c).data().toString();
        return out;
    }
    // Every cell of every month, as shown.
    QStringList schedule()
    {
        const int shown = months->currentIndex();
        QStringList out;
        for (int m = 0; m < 12; ++m) {
            months->setCurrentIndex(m);
            for (int r = 0; r < calendar->rowCount(); ++r)
                out << rowOf(calendar, r);
        }
        months->setCurrentIndex(shown);
        return out;
    }
    // A "TX: " line carries `payload` after the one-byte address.
    bool sent(const QString &payload)
    {
        for (const SessionRig::LogLine &l : rig.log())
            if (l.text.startsWith(QStringLiteral("TX: ")) && l.text.mid(7).startsWith(payload))
                return true;
        return false;
    }
    QByteArray file()
    {
        QFile f(fileName);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    SessionRig rig;
    ControlPanelDialog *config = nullptr;
    QAbstractItemModel *calendar = nullptr;
    QAbstractItemModel *holidays = nullptr;
    QComboBox *months = nullptr;
    QString fileName;
};
} // namespace

class TestTariffSim : public QObject
{
    Q_OBJECT
private slots:
    void readEditWriteReadBack_data();
    void readEditWriteReadBack();
    void scheduleToSecondMeter_data();
    void scheduleToSecondMeter();
};

void TestTariffSim::readEditWriteReadBack_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("zones");
    QTest::addColumn<QString>("countBox");
    QTest::addColumn<int>("countIndex");
    QTest::addColumn<QString>("tariff"); // the highest of that count
    QTest::addColumn<QString>("march");  // the frame of March, its first zones
    QTest::addColumn<QString>("display");
    QTest::newRow("single-phase, 2 tariffs")
        << 1 << 8 << "cbTarif" << 1 << "2"
        << "02 16 07 00 00 00 17 00 11 11 0c 1e 1f f0 ff ff ff ff "
        << "02 0b 0a e7 03 ";
    QTest::newRow("three-phase, 8 tariffs")
        << 2 << 16 << "cbTarif3" << 7 << "8"
        << "02 8b 07 00 00 00 17 00 11 11 0c 1e 7f f0 ff ff ff ff "
        << "02 0b 02 64 e7 ";
}

void TestTariffSim::readEditWriteReadBack()
{
    QFETCH(int, address);
    QFETCH(int, zones);
    QFETCH(QString, countBox);
    QFETCH(int, countIndex);
    QFETCH(QString, tariff);
    QFETCH(QString, march);
    QFETCH(QString, display);
    Rig t;
    QVERIFY(t.start());
    QVERIFY(t.meter(address));

    // The meter's factory schedule: tariff 1 from 07:00, tariff 2 from 23:00.
    QVERIFY(t.run("pbLoadCalendar"));
    QCOMPARE(t.calendar->rowCount(), zones);
    QCOMPARE(t.rowOf(t.calendar, 0), (QStringList{"07:00", "1", "1", "1", "1"}));
    QCOMPARE(t.rowOf(t.calendar, 1), (QStringList{"23:00", "2", "2", "2", "2"}));
    QCOMPARE(t.rowOf(t.calendar, zones - 1), (QStringList{"-", "-", "-", "-", "-"}));

    // The number of tariffs, in the box of the meter's series.
    auto *count = t.config->findChild<QComboBox *>(countBox);
    QVERIFY(!count->isHidden());
    count->setCurrentIndex(countIndex);
    QVERIFY(t.run("pbSaveTarif"));
    count->setCurrentIndex(0);
    QVERIFY(t.run("pbLoadTarif"));
    QCOMPARE(count->currentIndex(), countIndex);

    // A zone in March, the spring made of it, and the display set from the schedule.
    t.months->setCurrentIndex(2);
    t.type(t.calendar, 2, {"12:30", tariff, "-", "", "1"});
    t.trigger("actCopyToSeason");
    const QStringList written = t.schedule();
    t.config->findChild<QCheckBox *>(QStringLiteral("cbDisplayAuto"))->setChecked(true);
    QVERIFY(t.run("pbSaveCalendar"));
    QVERIFY(t.sent(march));
    QVERIFY(t.sent(display));

    // Changed here, read back from the meter.
    t.type(t.calendar, 2, {"1:00"});
    t.trigger("actCopyToAllMonths");
    QVERIFY(t.schedule() != written);
    QVERIFY(t.run("pbLoadCalendar"));
    QCOMPARE(t.schedule(), written);
    t.months->setCurrentIndex(4);
    QCOMPARE(t.rowOf(t.calendar, 2), (QStringList{"12:30", tariff, "-", "-", "1"}));
    t.months->setCurrentIndex(5);
    QCOMPARE(t.rowOf(t.calendar, 2), (QStringList{"-", "-", "-", "-", "-"}));

    // Holidays: 31 February goes out as 1f 2 and comes back.
    QVERIFY(t.run("pbLoadHolidays"));
    QCOMPARE(t.rowOf(t.holidays, 8), (QStringList{"23", "2"}));
    t.type(t.holidays, 0, {"31", "2"});
    t.type(t.holidays, 19, {"4", "11"});
    QVERIFY(t.run("pbSaveHolidays"));
    QVERIFY(t.sent(QStringLiteral("02 0f 1f 02 02 01 ")));
    t.type(t.holidays, 0, {"1", "-"});
    QVERIFY(t.run("pbLoadHolidays"));
    QCOMPARE(t.rowOf(t.holidays, 0), (QStringList{"31", "2"}));
    QCOMPARE(t.rowOf(t.holidays, 19), (QStringList{"4", "11"}));
}

void TestTariffSim::scheduleToSecondMeter_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::newRow("single-phase") << 1 << 3;
    QTest::newRow("three-phase") << 2 << 4;
}

void TestTariffSim::scheduleToSecondMeter()
{
    QFETCH(int, first);
    QFETCH(int, second);
    Rig t;
    QVERIFY(t.start());
    t.fileName = t.rig.work.filePath(QStringLiteral("made once.ztf"));

    // Made once from the first meter's schedule, for every month, and saved.
    QVERIFY(t.meter(first));
    QVERIFY(t.run("pbLoadCalendar"));
    t.type(t.calendar, 3, {"6:45", "2", "3", "4", "1"});
    t.trigger("actCopyToAllMonths");
    t.trigger("actSaveCalendarFile");
    const QByteArray made = t.file();
    QVERIFY(!made.isEmpty());

    // The second meter still has the factory schedule.
    QVERIFY(t.meter(second));
    QVERIFY(t.run("pbLoadCalendar"));
    QCOMPARE(t.rowOf(t.calendar, 3), (QStringList{"-", "-", "-", "-", "-"}));
    t.trigger("actLoadCalendarFile");
    QVERIFY(t.run("pbSaveCalendar"));
    t.type(t.calendar, 3, {"-"});
    QVERIFY(t.run("pbLoadCalendar"));
    t.months->setCurrentIndex(8);
    QCOMPARE(t.rowOf(t.calendar, 3), (QStringList{"06:45", "2", "3", "4", "1"}));
    t.fileName = t.rig.work.filePath(QStringLiteral("read back.ztf"));
    t.trigger("actSaveCalendarFile");
    QCOMPARE(t.file(), made);
}

QTEST_MAIN(TestTariffSim)
#include "tst_tariffsim.moc"
