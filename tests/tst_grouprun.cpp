// Group work without any window: GroupRun driving the exchange engine on the factory stand, with
// the virtual meter line and its switching block.
#include "support/gridwords.h"
#include "support/metersimprocess.h"
#include "support/standblock.h"
#include "support/workdir.h"

#include "core/batchrules.h"
#include "core/commandtext.h"
#include "core/exchangerules.h"
#include "core/passwordtext.h"
#include "core/requestkinds.h"
#include "link/exchangeengine.h"
#include "link/grouprun.h"
#include "link/stend.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

namespace {
const QString kStandError = QStringLiteral(
    "Работа с группой прекращена из-за некорректного выбор адреса на стенде или аппаратной "
    "ошибки стенда");
const QString kUserStop = QStringLiteral("Групповая работа прервана пользователем");
const QByteArray kAck = QByteArray::fromHex("000000000006010f00000018");


// The engine on a stand session, a run wired to it as the configurator and meterjob wire theirs:
// each meter's session is opened and its name read.
struct Rig
{
    bool open(const QString &standAddress, quint16 standPort, const QString &linePty)
    {
        if (!QDir().mkdir(QStringLiteral("ports")) ||
            !QFile::link(linePty, QStringLiteral("ports/COM1")))
            return false;
        QObject::connect(&engine, &ExchangeEngine::log, &engine,
                         [this](const QString &s, const QColor &c, bool, bool) {
                             logged.append({s, c});
                         });
        QObject::connect(&run, &GroupRun::log, &engine,
                         [this](const QString &s, const QColor &c, bool, bool) {
                             logged.append({s, c});
                         });
        QObject::connect(&run, &GroupRun::standSelect, &engine, &ExchangeEngine::stendSelect);
        QObject::connect(&engine, &ExchangeEngine::stendSelectAccept, &run, &GroupRun::standAnswer);
        QObject::connect(&run, &GroupRun::interruptRequested, &engine,
                         &ExchangeEngine::interruptLoadClick);
        QObject::connect(
            &engine, &ExchangeEngine::loadComplate, &run,
            [this](int type, const QList<QByteArray> &replies, int status) {
                names << batchrules::sessionReplies(batchrules::ownReplies(type, replies)).version;
                if (status == 1)
                    run.meterInterrupted();
                else
                    run.meterDone(status == 0 ? groupgrid::Ok : groupgrid::Error);
            });
        engine.standLink()->port = standPort;
        SessionParameters p;
        p.connectionType = 2;
        p.portNumber = 1;
        p.standIp = standAddress;
        p.accessLevel = 0;
        QSignalSpy up(&engine, &ExchangeEngine::connIsEstablished);
        engine.initConnection(p);
        return up.wait(10000) && up.first().first().toBool();
    }
    bool start(const QList<int> &positions)
    {
        QList<GroupMeter> meters;
        for (int pos : positions) {
            GroupMeter m;
            m.record.standMode = true;
            m.record.standAddr = pos;
            meters << m;
        }
        return run.start(meters, [this](const GroupMeter &m) {
            const int kind = requestkinds::SessionOpen;
            engine.load_from_device(
                exchangerules::addressOf(m.record), kind,
                batchrules::compose(kind,
                                    commandtext::sessionOpen(0, passwordtext::factoryDefault(0)),
                                    requestkinds::fixedCommands(kind)),
                0);
        });
    }
    int count(const QString &prefix) const
    {
        int n = 0;
        for (const auto &l : logged)
            n += l.first.startsWith(prefix);
        return n;
    }
    bool has(const QString &text, const QColor &colour) const
    {
        return logged.contains({text, colour});
    }

    WorkDir work;
    ExchangeEngine engine;
    GroupRun run;
    QList<QPair<QString, QColor>> logged;
    QStringList names;
};
} // namespace

// A meter on a pseudo-terminal behind a switching block that answers as the test tells it.
bool openBehindBlock(StandBlock &block, MeterSimProcess &line, Rig &rig)
{
    if (!block.start(QString(), 0)) {
        qWarning("%s", qPrintable(block.errorString()));
        return false;
    }
    return line.start({"--no-tcp", "--pty", "--meter", "210.1,addr=255"}) &&
           rig.open(block.address(), block.port(), line.ptyPath());
}

class TestGroupRun : public QObject
{
    Q_OBJECT
private slots:
    void standRun();
    void silentStand();
    void defaultStandTimeout();
};

// Each position is switched in and acknowledged before its meter is worked; position 30 is
// refused before anything goes out, and the run goes on. Results come by value.
void TestGroupRun::standRun()
{
    MeterSimProcess line;
    QVERIFY2(line.start({"--no-tcp", "--stand"}), qPrintable(line.errorString()));
    Rig rig;
    QVERIFY(rig.open(line.standAddress(), line.standPort(), line.standPtyPath()));
    QSignalSpy finished(&rig.run, &GroupRun::finished);
    QSignalSpy grid(&rig.run, &GroupRun::grid);
    QSignalSpy started(&rig.run, &GroupRun::meterStarted);
    QVERIFY(rig.start({2, 30, 24}));
    QVERIFY(!rig.run.start({GroupMeter()}, [](const GroupMeter &) {}));
    QVERIFY(finished.wait(30000));
    QCOMPARE(started.size(), 3);
    QCOMPARE(rig.count(QStringLiteral("Выбор счетчика на стенде: ")), 2);
    QCOMPARE(rig.count(QStringLiteral("TX: ff 08 ")), 2);
    QVERIFY(rig.has(QStringLiteral("Ошибка: позиция на стенде 30 вне 1..24, счетчик пропущен"),
                    QColor(255, 50, 50)));
    QVERIFY(rig.has(QStringLiteral("Завершение групповой работы"), QColor(40, 170, 70)));
    QCOMPARE(rig.names, QStringList({"210.1", "210.1"}));
    const QList<GroupResult> results = finished.first().first().value<QList<GroupResult>>();
    QCOMPARE(results.size(), 3);
    QCOMPARE(results[1].status, 1);
    QCOMPARE(results[2].position, 24);
    QCOMPARE(results[2].address, 255);
    QCOMPARE(results[2].status, 0);
    QVERIFY(results[2].time.isValid());
    QCOMPARE(words(grid.first().first().toString()), QStringList({"OK", "SKIP", "OK"}));
    QVERIFY(grid.first().first().toString().contains(">30</div>"));
    QVERIFY(!rig.run.running());
}

// A block that does not answer: the meter is ERR after one time-out and the run ends there with
// the grid so far; stop() while it waits ends the run at once, that meter left out.
void TestGroupRun::silentStand()
{
    StandBlock block;
    MeterSimProcess line;
    Rig rig;
    QVERIFY(openBehindBlock(block, line, rig));
    QSignalSpy stopped(&rig.run, &GroupRun::stopped);
    QSignalSpy grid(&rig.run, &GroupRun::grid);

    rig.run.setStandTimeout(300);
    block.injectReply(kAck);
    block.injectReply(QByteArray());
    QVERIFY(rig.start({1, 2, 3}));
    QVERIFY(stopped.wait(20000));
    QCOMPARE(words(grid.takeFirst().first().toString()), QStringList({"OK", "ERR"}));
    QVERIFY(rig.has(QStringLiteral("Ошибка: коммутационный блок не ответил"), QColor(255, 50, 50)));
    QVERIFY(rig.has(kStandError, QColor(255, 50, 50)));
    QCOMPARE(block.requestCount(), 2);
    QCOMPARE(rig.count(QStringLiteral("TX: ff 08 ")), 1);

    rig.run.setStandTimeout(60000);
    block.injectReply(kAck);
    block.injectReply(QByteArray());
    QVERIFY(rig.start({4, 5, 6}));
    QTRY_COMPARE_WITH_TIMEOUT(block.requestCount(), 4, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.names.size(), 2, 20000);
    rig.run.stop();
    QCOMPARE(stopped.size(), 2);
    QVERIFY(!rig.run.running());
    const QList<GroupResult> results = stopped.last().first().value<QList<GroupResult>>();
    QCOMPARE(results.size(), 1);
    QCOMPARE(results[0].position, 4);
    QCOMPARE(words(grid.takeFirst().first().toString()), QStringList({"OK"}));
    QVERIFY(rig.has(kUserStop, QColor(255, 50, 50)));
    // A late answer now is nobody's.
    rig.run.standAnswer(true);
    QCOMPARE(rig.count(QStringLiteral("TX: ff 08 ")), 2);
}

// The other cases shorten the stand's time-out; the operator's is seen once as it is: 5 s.
void TestGroupRun::defaultStandTimeout()
{
    StandBlock block;
    MeterSimProcess line;
    Rig rig;
    QVERIFY(openBehindBlock(block, line, rig));
    QSignalSpy stopped(&rig.run, &GroupRun::stopped);
    block.injectReply(QByteArray());
    QVERIFY(rig.start({1}));
    QVERIFY(!stopped.wait(4000));
    QVERIFY(stopped.wait(20000));
    QVERIFY(rig.has(QStringLiteral("Ошибка: коммутационный блок не ответил"), QColor(255, 50, 50)));
}

QTEST_MAIN(TestGroupRun)
#include "tst_grouprun.moc"
