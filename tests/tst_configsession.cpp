// The configurator's batches in the real main window against the virtual meter line: sessions,
// the dispatcher and the measurements page.
#include "support/logpalette.h"
#include "support/sessionrig.h"

#include "config/controlpaneldialog.h"
#include "core/requestkinds.h"
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"
#include "widgets/diagram.h"

#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QtTest>

#include <cmath>

namespace {
// Meters of the line: a single-phase one by serial number with a hold time of 0, a three-phase one
// holding 7 minutes, and one of no known series.
const QStringList kLine{"--meter", "210.1,addr=1,serial=000000001234567,hold=0",
                        "--meter", "450.22R,addr=2,hold=7",
                        "--meter", "ZZ9,addr=3"};

struct Rig
{
    bool start()
    {
        if (!rig.startLine(kLine) || !rig.openTcp())
            return false;
        config = rig.window().configurator();
        return true;
    }
    deviceListItem *meter(int address, const QByteArray &serial = QByteArray())
    {
        deviceListItem *row = rig.addMeter(address, serial);
        QTest::mouseClick(row, Qt::LeftButton);
        return row;
    }
    bool finished()
    {
        return QTest::qWaitFor([this] { return !config->batchRunning(); }, 20000);
    }
    // Opens a session with a double click on the row.
    bool open(deviceListItem *row)
    {
        QTest::mouseDClick(row, Qt::LeftButton);
        return config->batchRunning() && finished();
    }
    void click(const char *button)
    {
        QTest::mouseClick(config->findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
    }
    QStringList column(const char *table, int column)
    {
        QStringList out;
        QAbstractItemModel *m = config->findChild<QTableView *>(QLatin1String(table))->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->index(r, column).data().toString();
        return out;
    }

    SessionRig rig;
    ControlPanelDialog *config = nullptr;
};
} // namespace

class TestConfigSession : public QObject
{
    Q_OBJECT
private slots:
    void openSession_data();
    void openSession();
    void closeSession();
    void measurements_data();
    void measurements();
    void failedBatch();
    void secondBatchRefused();
    void entryZero_data();
    void entryZero();
    void diagram();
};

void TestConfigSession::openSession_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<QByteArray>("serial");
    QTest::addColumn<QByteArray>("ownPassword"); // empty: the session's
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("newAddress");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("minutes");
    QTest::newRow("by serial number, hold 0 is 10 minutes")
        << 77 << QByteArray("000000001234567") << QByteArray() << true << 1 << "210.1" << 10;
    QTest::newRow("three-phase, 7 minutes")
        << 2 << QByteArray() << QByteArray() << true << 2 << "450.22R" << 7;
    QTest::newRow("unknown series stays open")
        << 3 << QByteArray() << QByteArray() << true << 3 << "ZZ9" << 10;
    QTest::newRow("wrong password")
        << 2 << QByteArray() << QByteArray("zzzzzz") << false << 2 << "-" << 10;
}

void TestConfigSession::openSession()
{
    QFETCH(int, address);
    QFETCH(QByteArray, serial);
    QFETCH(QByteArray, ownPassword);
    QFETCH(bool, open);
    QFETCH(int, newAddress);
    QFETCH(QString, name);
    QFETCH(int, minutes);
    Rig t;
    QVERIFY(t.start());
    deviceListItem *row = t.meter(address, serial);
    if (!ownPassword.isEmpty()) {
        row->record().useStdPwd = false;
        row->record().password = ownPassword;
        row->record().sessionOpen = true; // a stale mark goes
    }
    QVERIFY(t.open(row));
    QVERIFY(t.rig.hasLine(QStringLiteral("Открытие сеанса"), palette::green));
    const DeviceRecord &r = row->record();
    QCOMPARE(r.sessionOpen, open);
    QCOMPARE(r.address, newAddress);
    QCOMPARE(r.version, name);
    QCOMPARE(r.sessionTimeout, minutes);
    auto *timer = row->findChild<QTimer *>(QStringLiteral("sessionTimer"));
    QCOMPARE(timer->isActive(), open);
    if (open)
        QCOMPARE(timer->interval(), minutes * 60000);
}

void TestConfigSession::closeSession()
{
    Rig t;
    QVERIFY(t.start());
    deviceListItem *row = t.meter(2);
    QVERIFY(t.open(row));
    t.config->closeSessionClick();
    QVERIFY(t.rig.hasLine(QStringLiteral("Закрытие сесии"), palette::green));
    QVERIFY(!row->record().sessionOpen);
    QVERIFY(!row->findChild<QTimer *>(QStringLiteral("sessionTimer"))->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(t.rig.unknown, QList<int>{0}, 10000);
    QCOMPARE(t.rig.lines(QStringLiteral("TX: 02 09 01 ")).size(), 1);
}

void TestConfigSession::measurements_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("energyRows");
    QTest::addColumn<int>("instantRows");
    QTest::addColumn<QStringList>("info");
    QTest::newRow("single-phase") << 1 << 5 << 5 << QStringList{"210.1", "1.10", "2d41"};
    QTest::newRow("three-phase") << 2 << 18 << 20 << QStringList{"450.22R", "1.10", "5e37"};
}

void TestConfigSession::measurements()
{
    QFETCH(int, address);
    QFETCH(int, energyRows);
    QFETCH(int, instantRows);
    QFETCH(QStringList, info);
    Rig t;
    QVERIFY(t.start());
    QVERIFY(t.open(t.meter(address)));
    const struct
    {
        const char *button, *table;
        int rows;
    } reads[] = {{"pbLoadMeasures", "tableMeasures", energyRows},
                 {"pbLoadNowMeasures", "tableNowMeasures", instantRows},
                 {"pbLoadDeviceInfo", "tableDeviceInfo", 3}};
    for (const auto &read : reads) {
        t.click(read.button);
        QVERIFY(t.finished());
        const QStringList values = t.column(read.table, 1);
        QCOMPARE(values.size(), read.rows);
        QCOMPARE(t.column(read.table, 0).size(), read.rows);
        if (read.rows == 3) {
            QCOMPARE(values, info);
            continue;
        }
        for (const QString &v : values) {
            bool number = false;
            v.toDouble(&number);
            QVERIFY2(number, qPrintable(v));
        }
    }
    QCOMPARE(t.rig.outcomes.size(), 4);
    for (const SessionRig::Outcome &o : t.rig.outcomes)
        QCOMPARE(o.status, 0);
}

void TestConfigSession::failedBatch()
{
    Rig t;
    QVERIFY(t.start());
    QVERIFY(t.open(t.meter(1)));
    QAbstractItemModel *table = t.config->findChild<QTableView *>("tableDeviceInfo")->model();
    table->setData(table->index(0, 1), QStringLiteral("as before"));
    QVERIFY(t.rig.line.command(QStringLiteral("fault error:2@obj=21")));
    QWidget *frame = t.config->findChild<QWidget *>("frDeviceInfo");
    t.click("pbLoadDeviceInfo");
    QVERIFY(!frame->isEnabled());
    QVERIFY(t.finished());
    QCOMPARE(t.rig.outcomes.last().status, 2);
    QVERIFY(frame->isEnabled());
    QCOMPARE(t.column("tableDeviceInfo", 1), (QStringList{"as before", "-", "-"}));
}

void TestConfigSession::secondBatchRefused()
{
    Rig t;
    QVERIFY(t.start());
    QVERIFY(t.open(t.meter(2)));
    QVERIFY(t.rig.line.command(QStringLiteral("fault late:1000@obj=21")));
    t.click("pbLoadDeviceInfo");
    t.click("pbLoadMeasures");
    QVERIFY(
        t.rig.hasLine(QStringLiteral("Ошибка: обмен со счетчиком уже идет, новый запрос отклонен"),
                      palette::red));
    QVERIFY(t.config->findChild<QWidget *>("frMeasures")->isEnabled());
    QVERIFY(t.finished());
    // The running batch went on undisturbed.
    QCOMPARE(t.column("tableDeviceInfo", 1), (QStringList{"450.22R", "1.10", "5e37"}));
    QVERIFY(t.rig.lines(QStringLiteral("TX: 02 01 76 ")).isEmpty());
}

void TestConfigSession::entryZero_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("sessionOpens"); // "08" frames sent by the batch
    QTest::newRow("event records") << 19 << 0;
    QTest::newRow("daily slices") << 32 << 0;
    QTest::newRow("monthly slices") << 34 << 0;
    QTest::newRow("device information") << 12 << 1;
}

void TestConfigSession::entryZero()
{
    QFETCH(int, kind);
    QFETCH(int, sessionOpens);
    Rig t;
    QVERIFY(t.start());
    QVERIFY(t.open(t.meter(2)));
    QByteArray first;
    int count = -1;
    t.config->setDecoder(kind, [&](const QList<QByteArray> &replies) {
        count = int(replies.size());
        first = replies.value(0);
    });
    const int opens = t.rig.lines(QStringLiteral("TX: 02 08 ")).size();
    QVERIFY(t.config->sendBatch(kind, {QStringLiteral("01 20"), QStringLiteral("01 21")}));
    QVERIFY(t.finished());
    QCOMPARE(count, 2);
    QCOMPARE(first.left(2), QByteArray::fromHex("0120"));
    QCOMPARE(t.rig.lines(QStringLiteral("TX: 02 08 ")).size() - opens, sessionOpens);
}

void TestConfigSession::diagram()
{
    Rig t;
    QVERIFY(t.start());
    QVERIFY(t.open(t.meter(1)));
    t.config->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(t.config));
    // Not for a single-phase meter.
    QTest::keyClick(t.config, Qt::Key_D, Qt::ControlModifier);
    QVERIFY(!t.config->batchRunning());

    QVERIFY(t.open(t.meter(2)));
    t.config->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(t.config));
    QTest::keyClick(t.config, Qt::Key_D, Qt::ControlModifier);
    QVERIFY(t.config->batchRunning());
    QVERIFY(t.finished());
    QVERIFY(t.rig.hasLine(QStringLiteral("Получение данных для построения векторной диаграммы"),
                          palette::grey));
    auto *window = t.config->findChild<Diagram *>();
    QVERIFY(window && window->isVisible());
    // Phase B's voltage of about 230 V points at 130 degrees.
    const QPointF tip = window->vectors().voltage[1].tip;
    QVERIFY2(std::abs(std::hypot(tip.x(), tip.y()) - 230) < 15,
             qPrintable(QString::number(tip.x())));
    QVERIFY(std::abs(std::atan2(tip.y(), tip.x()) * 180 / M_PI - 130) < 0.01);
}

QTEST_MAIN(TestConfigSession)
#include "tst_configsession.moc"
