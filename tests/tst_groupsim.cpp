// Group work in the real main window against the virtual meter line: over TCP with a meter that
// fails, and on the factory stand with its switching block.
#include "support/sessionrig.h"
#include "support/standblock.h"

#include "config/controlpaneldialog.h"
#include "link/exchangeengine.h"
#include "link/stend.h"
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"
#include "widgets/progressdialog.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {
const QString kStart = QStringLiteral("Инициализация групповой работы");
const QString kEnd = QStringLiteral("Завершение групповой работы");
const QString kInterrupted = QStringLiteral("Групповая работа прервана пользователем");
const QColor kGrey(50, 50, 50);
const QColor kGreen(40, 170, 70);
const QColor kRed(255, 50, 50);

// The words of a status grid, in order.
QStringList words(const QString &grid)
{
    static const QRegularExpression word(QStringLiteral("<div align='center'>([A-Z]+)</div>"));
    QStringList out;
    for (const QRegularExpressionMatch &m : word.globalMatch(grid))
        out << m.captured(1);
    return out;
}

QStringList repeated(const QString &word, int n)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << word;
    return out;
}

struct Group
{
    // An administrator session over TCP to meters 1, 2, 3 (extra metersim arguments first).
    bool startTcp(const QStringList &extra = {})
    {
        QStringList args = extra;
        for (int a = 1; a <= 3; ++a)
            args << QStringLiteral("--meter") << QStringLiteral("210.1,addr=%1").arg(a);
        if (!rig.startLine(args))
            return false;
        SessionParameters p = SessionRig::defaults();
        p.connectionType = 3;
        p.ethernetIp = rig.line.tcpHost();
        p.ethernetPort = rig.line.tcpPort();
        p.accessLevel = 1;
        if (!rig.open(p))
            return false;
        config = rig.window().configurator();
        for (int a = 1; a <= 3; ++a)
            rig.addMeter(a);
        return select();
    }
    // The first meter chosen, so that the page buttons work (a stand meter once switched in).
    bool select()
    {
        QTest::mouseClick(list()->itemAt(0), Qt::LeftButton);
        auto *b = config->findChild<QAbstractButton *>(QStringLiteral("pbSaveTimeAll"));
        return QTest::qWaitFor([b] { return b->isEnabled(); }, 10000);
    }
    // An administrator session on the stand, `positions` listed through "Добавить интервал
    // адресов".
    bool openStand(const SessionParameters &base, int positions)
    {
        SessionParameters p = base;
        p.connectionType = 2;
        p.accessLevel = 1;
        if (!rig.open(p))
            return false;
        config = rig.window().configurator();
        QList<int> answers{1, positions};
        config->askInt = [answers](const QString &, const QString &, int, int, int) mutable {
            return std::optional<int>(answers.takeFirst());
        };
        config->addGroupClick();
        return list()->count() == positions && select();
    }
    deviceList *list() const { return config->meterList(); }
    void tickAll() { config->mnCheckAllClick(); }
    void press(const char *name)
    {
        auto *b = config->findChild<QAbstractButton *>(QLatin1String(name));
        QVERIFY2(b, name);
        // After group work on the stand the current meter is switched in again first.
        QTRY_VERIFY2_WITH_TIMEOUT(b->isEnabled(), name, 10000);
        b->click();
    }
    void menu(const char *name)
    {
        auto *a = config->findChild<QAction *>(QLatin1String(name));
        QVERIFY2(a && a->isEnabled(), name);
        a->trigger();
    }
    bool waitEnd(int count = 1, int timeoutMs = 60000)
    {
        return rig.waitLine(kEnd, count, timeoutMs);
    }
    // Positions switched in before each session-open request, in order.
    QList<int> switchedBeforeOpen() const
    {
        QList<int> out;
        int position = 0;
        for (const SessionRig::LogLine &l : rig.log()) {
            if (l.text.startsWith(QStringLiteral("Выбор счетчика на стенде: ")))
                position = l.text.mid(26).toInt();
            else if (l.text.startsWith(QStringLiteral("TX: ff 08 ")))
                out << position;
        }
        return out;
    }

    SessionRig rig;
    ControlPanelDialog *config = nullptr;
};
} // namespace

class TestGroupSim : public QObject
{
    Q_OBJECT
private slots:
    void nothingTicked();
    void failingMeterInTheMiddle();
    void interrupted();
    void closeAll();
    void standSwitchesEachIn();
    void standWrongAcknowledgement();
    void standOpenAllThenTime();
};

// Without a checked meter group work does not start: no line, no batch.
void TestGroupSim::nothingTicked()
{
    Group g;
    QVERIFY(g.startTcp());
    QSignalSpy grid(g.config, &ControlPanelDialog::html_line);
    const qsizetype lines = g.rig.log().size();
    g.menu("actOpenAll");
    g.press("pbSaveTimeAll");
    QVERIFY(!g.config->groupWorkRunning());
    QVERIFY(!g.config->batchRunning());
    QCOMPARE(g.rig.log().size(), lines);
    QVERIFY(grid.isEmpty());
}

// Meter 2 refuses everything: it ends ERR and loses its session mark, meter 3 is still worked.
void TestGroupSim::failingMeterInTheMiddle()
{
    Group g;
    QVERIFY(g.startTcp());
    QSignalSpy grid(g.config, &ControlPanelDialog::html_line);
    g.tickAll();
    g.menu("actOpenAll");
    QVERIFY(g.waitEnd());
    QVERIFY(g.rig.hasLine(kStart, kGrey));
    QVERIFY(g.rig.hasLine(kEnd, kGreen));
    QCOMPARE(grid.size(), 1);
    QCOMPARE(words(grid.takeFirst().at(0).toString()), QStringList({"OK", "OK", "OK"}));
    for (int i = 0; i < 3; ++i)
        QVERIFY(g.list()->itemAt(i)->record().sessionOpen);

    QVERIFY(g.rig.line.command(QStringLiteral("fault error:4@addr=2")));
    g.press("pbSaveTimeAll");
    QVERIFY(g.waitEnd(2));
    QCOMPARE(grid.size(), 1);
    const QString html = grid.takeFirst().at(0).toString();
    QCOMPARE(words(html), QStringList({"OK", "ERR", "OK"}));
    QVERIFY(html.contains(
        QStringLiteral("<td width='35' bgcolor='#ffaaaa'><div align='center'>2</div></td>")));
    QVERIFY(g.list()->itemAt(0)->record().sessionOpen);
    QVERIFY(!g.list()->itemAt(1)->record().sessionOpen);
    QVERIFY(g.list()->itemAt(2)->record().sessionOpen);
    // The third meter's clock was written after the second failed.
    QVERIFY(!g.rig.lines(QStringLiteral("TX: 03 0a 0e ")).isEmpty());
    QVERIFY(!g.config->groupWorkRunning());
}

// Interrupting a meter's batch ends the work there: red line, no grid, no further meter.
void TestGroupSim::interrupted()
{
    Group g;
    QVERIFY(g.startTcp({"--fault", "late:3000@fn=0a"}));
    QSignalSpy grid(g.config, &ControlPanelDialog::html_line);
    g.tickAll();
    g.press("pbSaveTimeAll");
    QTRY_VERIFY_WITH_TIMEOUT(!g.rig.lines(QStringLiteral("TX: 01 0a 0e ")).isEmpty(), 10000);
    auto *stop = g.rig.window().progress()->findChild<QPushButton *>(QStringLiteral("pbInterrupt"));
    QTRY_VERIFY_WITH_TIMEOUT(stop->isVisible(), 5000);
    QTest::mouseClick(stop, Qt::LeftButton);
    QVERIFY(g.rig.waitLine(kInterrupted));
    QVERIFY(g.rig.hasLine(kInterrupted, kRed));
    QVERIFY(!g.config->groupWorkRunning());
    QVERIFY(g.rig.lines(kEnd).isEmpty());
    QVERIFY(grid.isEmpty());
    QVERIFY(g.rig.lines(QStringLiteral("TX: 02 ")).isEmpty());
}

// "Закрыть все" closes the open sessions one after the other, and only those.
void TestGroupSim::closeAll()
{
    Group g;
    QVERIFY(g.startTcp());
    QSignalSpy grid(g.config, &ControlPanelDialog::html_line);
    g.list()->itemAt(0)->record().ticked = true;
    g.list()->itemAt(2)->record().ticked = true;
    g.menu("actOpenAll");
    QVERIFY(g.waitEnd());
    QCOMPARE(words(grid.takeFirst().at(0).toString()), QStringList({"OK", "OK"}));
    QVERIFY(!g.list()->itemAt(1)->record().sessionOpen);

    g.menu("actCloseAll");
    QVERIFY(g.waitEnd(2));
    QCOMPARE(words(grid.takeFirst().at(0).toString()), QStringList({"OK", "OK"}));
    for (int i = 0; i < 3; ++i)
        QVERIFY(!g.list()->itemAt(i)->record().sessionOpen);
    QCOMPARE(g.rig.lines(QStringLiteral("TX: 01 09 01 ")).size(), 1);
    QCOMPARE(g.rig.lines(QStringLiteral("TX: 02 09 01 ")).size(), 0);
    QCOMPARE(g.rig.lines(QStringLiteral("TX: 03 09 01 ")).size(), 1);
    // Each close was answered before the next went out.
    QCOMPARE(g.rig.lines(QStringLiteral("RX: 01 09 01 00 ")).size(), 1);
    QCOMPARE(g.rig.lines(QStringLiteral("RX: 03 09 01 00 ")).size(), 1);
}

// On the stand each position is switched in before its meter's batch.
void TestGroupSim::standSwitchesEachIn()
{
    Group g;
    const bool started = g.rig.startLine({"--no-tcp", "--stand"});
    if (!started && g.rig.line.permissionDenied())
        QSKIP("the stand's block needs a port this user may bind");
    QVERIFY(started);
    SessionParameters p = SessionRig::defaults();
    p.portNumber = 2;
    p.standIp = g.rig.line.standAddress();
    QVERIFY(g.openStand(p, 3));
    QSignalSpy grid(g.config, &ControlPanelDialog::html_line);
    g.tickAll();
    g.press("pbSaveTimeAll");
    QVERIFY(g.waitEnd());
    QCOMPARE(g.switchedBeforeOpen(), QList<int>({1, 2, 3}));
    QCOMPARE(g.rig.lines(QStringLiteral("TX: ff 0a 0e ")).size(), 3);
    QCOMPARE(grid.size(), 1);
    const QString html = grid.at(0).at(0).toString();
    QCOMPARE(words(html), QStringList({"OK", "OK", "OK"}));
    // Cells named by stand position, not by the address 255 they share.
    for (int position = 1; position <= 3; ++position)
        QVERIFY(html.contains(
            QStringLiteral("<td width='35' bgcolor='#bbffbb'><div align='center'>%1</div></td>")
                .arg(position)));
    QVERIFY(!html.contains(QStringLiteral(">255<")));
}

// A wrong acknowledgement of the block ends the work with its red line and without a grid.
void TestGroupSim::standWrongAcknowledgement()
{
    Group g;
    StandBlock block;
    QVERIFY2(block.start(QString(), 0), qPrintable(block.errorString()));
    QVERIFY(g.rig.startLine({"--no-tcp", "--pty", "--meter", "210.1,addr=255"}));
    g.rig.window().engine()->standLink()->port = block.port();
    SessionParameters p = SessionRig::defaults();
    p.portNumber = 1;
    p.standIp = block.address();
    QVERIFY(g.openStand(p, 2));
    QSignalSpy grid(g.config, &ControlPanelDialog::html_line);
    g.tickAll();
    const int before = block.requestCount();
    // The first position is acknowledged, the second gets an exception response.
    block.injectReply(QByteArray::fromHex("000000000006010f00000018"));
    block.injectReply(QByteArray::fromHex("000000000003018f02"));
    g.press("pbSaveTimeAll");
    const QString stopped = QStringLiteral("Работа с группой прекращена из-за некорректного выбор "
                                           "адреса на стенде или аппаратной ошибки стенда");
    QVERIFY(g.rig.waitLine(stopped));
    QVERIFY(g.rig.hasLine(stopped, kRed));
    QCOMPARE(block.requestCount() - before, 2);
    QCOMPARE(g.rig.lines(QStringLiteral("TX: ff 0a 0e ")).size(), 1);
    QVERIFY(!g.config->groupWorkRunning());
    QVERIFY(g.rig.lines(kEnd).isEmpty());
    QVERIFY(grid.isEmpty());
}

// The whole stand: every meter opened, then every clock written; 24 OK cells each time.
void TestGroupSim::standOpenAllThenTime()
{
    Group g;
    const bool started = g.rig.startLine({"--no-tcp", "--stand"});
    if (!started && g.rig.line.permissionDenied())
        QSKIP("the stand's block needs a port this user may bind");
    QVERIFY(started);
    SessionParameters p = SessionRig::defaults();
    p.portNumber = 2;
    p.standIp = g.rig.line.standAddress();
    QVERIFY(g.openStand(p, 24));
    QSignalSpy grid(g.config, &ControlPanelDialog::html_line);
    g.tickAll();
    g.menu("actOpenAll");
    QVERIFY(g.waitEnd(1, 120000));
    for (int i = 0; i < 24; ++i)
        QVERIFY(g.list()->itemAt(i)->record().sessionOpen);
    g.press("pbSaveTimeAll");
    QVERIFY(g.waitEnd(2, 120000));
    QCOMPARE(grid.size(), 2);
    for (const QList<QVariant> &emitted : grid) {
        const QString html = emitted.at(0).toString();
        QCOMPARE(words(html), repeated(QStringLiteral("OK"), 24));
        QCOMPARE(html.count(QStringLiteral("<table border='0'>")), 3);
    }
    QList<int> positions;
    for (int round = 0; round < 2; ++round)
        for (int position = 1; position <= 24; ++position)
            positions << position;
    QCOMPARE(g.switchedBeforeOpen(), positions);
}

QTEST_MAIN(TestGroupSim)
#include "tst_groupsim.moc"
