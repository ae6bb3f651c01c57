// Group work in the real main window against the virtual meter line: over TCP with a meter that
// fails, and on the factory stand with its switching block.
#include "support/gridwords.h"
#include "support/sessionrig.h"
#include "support/standblock.h"

#include "config/controlpaneldialog.h"
#include "link/exchangeengine.h"
#include "link/stend.h"
#include "meters/addresschanger.h"
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"
#include "widgets/progressdialog.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QtTest>

namespace {
const QString kStart = QStringLiteral("Инициализация групповой работы");
const QString kEnd = QStringLiteral("Завершение групповой работы");
const QString kInterrupted = QStringLiteral("Групповая работа прервана пользователем");
const QColor kGrey(50, 50, 50);
const QColor kGreen(40, 170, 70);
const QColor kRed(255, 50, 50);


QStringList repeated(const QString &word, int n)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << word;
    return out;
}

void setChangerText(ControlPanelDialog *config, const QString &text)
{
    config->addressChanger()
        ->findChild<QPlainTextEdit *>(QStringLiteral("teList"))
        ->setPlainText(text);
}

QString changerText(ControlPanelDialog *config)
{
    return config->addressChanger()
        ->findChild<QPlainTextEdit *>(QStringLiteral("teList"))
        ->toPlainText();
}

struct Group
{
    // A session over TCP to the single-phase meters 1, 2, 3 and the meters of `extra`, listed
    // in that order (extra metersim arguments first), administrator or developer.
    bool startTcp(const QStringList &extra = {}, int level = 1, const QList<int> &more = {})
    {
        QStringList args = extra;
        for (int a = 1; a <= 3; ++a)
            args << QStringLiteral("--meter") << QStringLiteral("210.1,addr=%1").arg(a);
        if (!rig.startLine(args))
            return false;
        rig.developerMode = level == 2;
        SessionParameters p = SessionRig::defaults();
        p.connectionType = 3;
        p.ethernetIp = rig.line.tcpHost();
        p.ethernetPort = rig.line.tcpPort();
        p.accessLevel = level;
        p.passwords[2] = QByteArray::fromHex("3c91e4075bd2");
        if (!rig.open(p))
            return false;
        config = rig.window().configurator();
        for (int a = 1; a <= 3; ++a)
            rig.addMeter(a);
        for (int a : more)
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
    // A stand session whose switching block answers as the test tells it.
    bool openBehindBlock(StandBlock &block, int positions)
    {
        if (!block.start(QString(), 0)) {
            qWarning("%s", qPrintable(block.errorString()));
            return false;
        }
        if (!rig.startLine({"--no-tcp", "--pty", "--meter", "210.1,addr=255"}))
            return false;
        rig.window().engine()->standLink()->port = block.port();
        SessionParameters p = SessionRig::defaults();
        p.portNumber = 1;
        p.standIp = block.address();
        return openStand(p, positions);
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
    void stand_data();
    void stand();
    void standWrongAcknowledgement();
    void listSizes_data();
    void listSizes();
    void coefficientLists();
    void addressList();
    void serialList();
    void mixedScheduleWrite();
    void clicksWhileSwitching();
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

// Interrupting a meter's batch ends the work there: red line, then the grid of the meters worked
// so far (the interrupted one ERR), no further meter.
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
    QCOMPARE(grid.size(), 1);
    QCOMPARE(words(grid.takeFirst().at(0).toString()), QStringList({"ERR"}));
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

// A wrong acknowledgement of the block ends the work with its red line and the grid so far.
void TestGroupSim::standWrongAcknowledgement()
{
    Group g;
    StandBlock block;
    QVERIFY(g.openBehindBlock(block, 2));
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
    QCOMPARE(grid.size(), 1);
    QCOMPARE(words(grid.takeFirst().at(0).toString()), QStringList({"OK", "ERR"}));

    // A block that never answers ends the work after its time-out, that meter ERR; the stop
    // control ends it at once while it waits. (After each run the selected meter is switched in
    // again first.)
    auto *timeAll = g.config->findChild<QAbstractButton *>(QStringLiteral("pbSaveTimeAll"));
    auto *stop = g.config->findChild<QPushButton *>(QStringLiteral("pbGroupStop"));
    for (int round = 0; round < 3; ++round) {
        QTRY_VERIFY_WITH_TIMEOUT(timeAll->isEnabled(), 10000);
        const int asked = block.requestCount();
        block.injectReply(QByteArray());
        timeAll->click();
        QTRY_COMPARE_WITH_TIMEOUT(block.requestCount(), asked + 1, 10000);
        QVERIFY(g.config->groupWorkRunning());
        QVERIFY(!stop->isHidden());
        if (round == 0) {
            QVERIFY(g.rig.waitLine(QStringLiteral("Ошибка: коммутационный блок не ответил")));
            QCOMPARE(words(grid.takeFirst().at(0).toString()), QStringList({"ERR"}));
        } else if (round == 1) {
            QTest::mouseClick(stop, Qt::LeftButton);
            QVERIFY(g.rig.hasLine(kInterrupted, kRed));
            QCOMPARE(words(grid.takeFirst().at(0).toString()), QStringList());
        } else {
            break; // the session ends while the run waits on the block
        }
        QVERIFY(!g.config->groupWorkRunning());
        QVERIFY(stop->isHidden());
    }
    QCOMPARE(g.rig.lines(QStringLiteral("TX: ff 0a 0e ")).size(), 1);
    g.config->close();
    SessionParameters p = SessionRig::defaults();
    p.portNumber = 1;
    p.standIp = block.address();
    QVERIFY(g.rig.open(p));
    QVERIFY(!g.config->groupWorkRunning());
}

void TestGroupSim::stand_data()
{
    QTest::addColumn<int>("positions");
    QTest::addColumn<bool>("openFirst");
    QTest::newRow("3 positions, time") << 3 << false;
    QTest::newRow("24 positions, open all then time") << 24 << true;
}

// On the stand each position is switched in before its meter's batch; the cells are named by
// stand position, not by the address 255 the meters share.
void TestGroupSim::stand()
{
    QFETCH(int, positions);
    QFETCH(bool, openFirst);
    Group g;
    const bool started = g.rig.startLine({"--no-tcp", "--stand"});
    if (!started && g.rig.line.permissionDenied())
        QSKIP("the stand's block needs a port this user may bind");
    QVERIFY(started);
    SessionParameters p = SessionRig::defaults();
    p.portNumber = 2;
    p.standIp = g.rig.line.standAddress();
    QVERIFY(g.openStand(p, positions));
    QSignalSpy grid(g.config, &ControlPanelDialog::html_line);
    g.tickAll();
    QList<int> switched;
    for (int position = 1; position <= positions; ++position)
        switched << position;
    if (openFirst) {
        g.menu("actOpenAll");
        QVERIFY(g.waitEnd(1, 120000));
        for (int i = 0; i < positions; ++i)
            QVERIFY(g.list()->itemAt(i)->record().sessionOpen);
        switched += switched;
    }
    g.press("pbSaveTimeAll");
    QVERIFY(g.waitEnd(openFirst ? 2 : 1, 120000));
    QCOMPARE(g.switchedBeforeOpen(), switched);
    QCOMPARE(g.rig.lines(QStringLiteral("TX: ff 0a 0e ")).size(), positions);
    QCOMPARE(grid.size(), openFirst ? 2 : 1);
    for (const QList<QVariant> &emitted : grid) {
        const QString html = emitted.at(0).toString();
        QCOMPARE(words(html), repeated(QStringLiteral("OK"), positions));
        QCOMPARE(html.count(QStringLiteral("<table border='0'>")), positions / 12 + 1);
        for (int position = 1; position <= positions; ++position)
            QVERIFY(html.contains(QStringLiteral("<td width='35' bgcolor='#bbffbb'><div "
                                                 "align='center'>%1</div></td>")
                                      .arg(position)));
        QVERIFY(!html.contains(QStringLiteral(">255<")));
    }
}

void TestGroupSim::listSizes_data()
{
    QTest::addColumn<QString>("slot");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("serial numbers")
        << "saveListSN"
        << "000000000000011\n\n000000000000012\n000000000000013"
        << "Размер списка выбранных счетчиков (4) отличается от списка серийных номеров (3)";
    QTest::newRow("addresses") << "saveListAddr"
                               << "7\n8\n9\n10\n11"
                               << "Размер списка выбранных счетчиков (4) отличается от списка "
                                  "адресов (5)";
    QTest::newRow("coefficients")
        << "saveListCC"
        << "16384 16384 0 0 0 0"
        << "Размер списка выбранных счетчиков (4) отличается от списка КК (1)";
}

// A list that does not give each checked meter a line is refused before anything is sent.
void TestGroupSim::listSizes()
{
    QFETCH(QString, slot);
    QFETCH(QString, text);
    QFETCH(QString, message);
    ControlPanelDialog config;
    QList<QPair<QString, QColor>> logged;
    connect(&config, &ControlPanelDialog::log, &config,
            [&logged](const QString &str, const QColor &clr, bool, bool) {
                logged.append({str, clr});
            });
    for (int a = 1; a <= 5; ++a) {
        DeviceRecord r;
        r.address = a;
        r.ticked = a != 3;
        config.meterList()->addItem(r);
    }
    setChangerText(&config, text);
    QVERIFY(QMetaObject::invokeMethod(&config, slot.toLatin1().constData()));
    QCOMPARE(logged.size(), 1);
    QCOMPARE(logged[0].first, message);
    QCOMPARE(logged[0].second, kRed);
    QVERIFY(!config.groupWorkRunning());
}

// Coefficient lines written to the checked meters and read back into the list; equal lines are
// reported. A three-phase meter is read but has no line: it counts as skipped.
void TestGroupSim::coefficientLists()
{
    Group g;
    QVERIFY(g.startTcp({"--meter", "450.22R,addr=4"}, 2, {4}));
    QSignalSpy grid(g.config, &ControlPanelDialog::html_line);
    // Opened first: the series decides what is read and written.
    g.tickAll();
    g.menu("actOpenAll");
    QVERIFY(g.waitEnd());
    QCOMPARE(words(grid.takeFirst().at(0).toString()), QStringList({"OK", "OK", "OK", "OK"}));

    g.list()->itemAt(3)->record().ticked = false;
    const QString same = QStringLiteral("16000 16500 -1000 100000 40000 -5");
    const QString other = QStringLiteral("16100 16400 -900 90000 35000 7");
    setChangerText(g.config, same + "\n" + same + "\n" + other);
    g.config->addressChanger()->pbWriteCCClick();
    QVERIFY(g.waitEnd(2));
    QCOMPARE(words(grid.takeFirst().at(0).toString()), QStringList({"OK", "OK", "OK"}));
    // 16000 = 80 3e, 16500 = 74 40, -1000 = 18 fc ff ff, 100000 = a0 86 01; clock -5 = fb ff.
    QCOMPARE(g.rig.lines("TX: 01 02 0c 80 3e 00 00 74 40 00 00 18 fc ff ff a0 86 01 00 ").size(),
             1);
    QCOMPARE(g.rig.lines(QStringLiteral("TX: 01 02 0d 04 ")).size(), 1);
    QCOMPARE(g.rig.lines(QStringLiteral("TX: 02 02 22 fb ff ")).size(), 1);
    QCOMPARE(g.rig.lines(QStringLiteral("TX: 03 02 22 07 00 ")).size(), 1);

    g.list()->itemAt(3)->record().ticked = true;
    g.config->addressChanger()->pbReadCCClick();
    QVERIFY(g.waitEnd(3));
    QCOMPARE(words(grid.takeFirst().at(0).toString()), QStringList({"OK", "OK", "OK", "SKIP"}));
    QCOMPARE(changerText(g.config), same + "\n" + same + "\n" + other);
    const QString duplicates = QStringLiteral("Внимание! Найдены дубликаты в записях КК!");
    QVERIFY(g.rig.hasLine(duplicates, QColor(255, 127, 40)));
    QCOMPARE(g.rig.lines(QStringLiteral("Загружены КК часов: ")).size(), 3);

    // Distinct lines: without a warning only when every meter gave its line.
    g.list()->itemAt(1)->record().ticked = false;
    g.config->addressChanger()->pbReadCCClick();
    QVERIFY(g.waitEnd(4));
    QCOMPARE(changerText(g.config), same + "\n" + other);
    QVERIFY(g.rig.hasLine(
        QStringLiteral("Записи КК считаны не со всех счетчиков: в списке недостает 1"),
        QColor(255, 127, 40)));
    g.list()->itemAt(3)->record().ticked = false;
    g.config->addressChanger()->pbReadCCClick();
    QVERIFY(g.waitEnd(5));
    QVERIFY(g.rig.hasLine(QStringLiteral("Записи КК считаны без ошибок"), kGreen));
    QCOMPARE(g.rig.lines(duplicates).size(), 1);
}

// Addresses from the list: each meter is written the last two digits of its line with the
// standard 3, 5, 10, 30, whatever the page shows, and its entry takes the address only once the
// meter has taken it. A line not ending in a number is refused.
void TestGroupSim::addressList()
{
    Group g;
    QVERIFY(g.startTcp());
    QSignalSpy grid(g.config, &ControlPanelDialog::html_line);
    g.config->findChild<QSpinBox *>(QStringLiteral("sbOpenIteration"))->setValue(7);
    g.config->findChild<QComboBox *>(QStringLiteral("cbBaud"))->setCurrentIndex(2);
    g.config->findChild<QSpinBox *>(QStringLiteral("sbSessionTime"))->setValue(25);
    g.config->findChild<QSpinBox *>(QStringLiteral("sbBlockTime"))->setValue(40);
    QVERIFY(g.rig.line.command(QStringLiteral("fault error:4@addr=3")));
    g.tickAll();
    setChangerText(g.config, QStringLiteral("000000000000117\n00000000000010a\n000000000000119"));
    g.config->addressChanger()->pbWriteAddrClick();
    QVERIFY(g.waitEnd());
    const QString html = grid.takeFirst().at(0).toString();
    QCOMPARE(words(html), QStringList({"OK", "SKIP", "ERR"}));
    QVERIFY(html.contains(QStringLiteral("<div align='center'>17</div>")));
    QCOMPARE(g.rig.lines(QStringLiteral("TX: 01 02 29 11 03 05 0a 1e ")).size(), 1);
    QVERIFY(g.rig.lines(QStringLiteral("TX: 02 02 29 ")).isEmpty());
    QVERIFY(g.rig.hasLine(QStringLiteral("Ошибка: адрес из списка некорректен: 00000000000010a"),
                          kRed));
    QList<int> addresses;
    for (int i = 0; i < 3; ++i) {
        addresses << g.list()->itemAt(i)->record().address;
        if (addresses.last() == 17)
            QCOMPARE(g.list()->itemAt(i)->record().sessionTimeout, 10);
    }
    QCOMPARE(addresses, QList<int>({2, 3, 17}));
    // The new address answers.
    QVERIFY(g.rig.line.command(QStringLiteral("faults off")));
    g.menu("actOpenAll");
    QVERIFY(g.waitEnd(2));
    QCOMPARE(words(grid.takeFirst().at(0).toString()), QStringList({"OK", "OK", "OK"}));
}

// Serial numbers from the list; a line longer than the meter's 15 bytes is refused, not cut.
void TestGroupSim::serialList()
{
    Group g;
    QVERIFY(g.startTcp());
    QSignalSpy grid(g.config, &ControlPanelDialog::html_line);
    g.tickAll();
    setChangerText(g.config, QStringLiteral("000000000000111\n0000000000001112\n123"));
    g.config->addressChanger()->pbWriteSNClick();
    QVERIFY(g.waitEnd());
    QCOMPARE(words(grid.takeFirst().at(0).toString()), QStringList({"OK", "SKIP", "OK"}));
    QCOMPARE(g.rig.lines("TX: 01 02 44 30 30 30 30 30 30 30 30 30 30 30 30 31 31 31 ").size(), 1);
    QVERIFY(g.rig.lines(QStringLiteral("TX: 02 02 44 ")).isEmpty());
    QVERIFY(g.rig.hasLine(
        QStringLiteral("Ошибка: серийный номер из списка некорректен: 0000000000001112"), kRed));
    QCOMPARE(g.rig.lines("TX: 03 02 44 31 32 33 00 00 00 00 00 00 00 00 00 00 00 00 ").size(), 1);
}

// The schedule shown when the run starts goes to every single-phase meter; the three-phase one
// is skipped with a red line, not written another table.
void TestGroupSim::mixedScheduleWrite()
{
    Group g;
    QVERIFY(g.startTcp({"--meter", "450.22R,addr=4"}, 2, {4}));
    QSignalSpy grid(g.config, &ControlPanelDialog::html_line);
    g.tickAll();
    g.menu("actOpenAll");
    QVERIFY(g.waitEnd());
    QCOMPARE(words(grid.takeFirst().at(0).toString()), QStringList({"OK", "OK", "OK", "OK"}));
    QVERIFY(g.select());
    QAbstractItemModel *calendar =
        g.config->findChild<QTableView *>(QStringLiteral("tableCalendar"))->model();
    QCOMPARE(calendar->rowCount(), 8);
    const QStringList zone{"07:30", "2", "2", "3", "1"};
    for (int c = 0; c < zone.size(); ++c)
        calendar->setData(calendar->index(0, c + 1), zone[c]);
    g.press("pbSaveCalendarAll");
    QVERIFY(g.waitEnd(2));
    QCOMPARE(words(grid.takeFirst().at(0).toString()), QStringList({"OK", "OK", "OK", "SKIP"}));
    QVERIFY(g.rig.hasLine(QStringLiteral("Попытка записи тарифного рассписания несоответствующей "
                                         "модели, отменено."),
                          kRed));
    // 07:30, working day and holiday tariff 2 (11), Saturday 3 and Sunday 1 (20).
    QStringList january;
    for (int a = 1; a <= 3; ++a) {
        const QList<SessionRig::LogLine> sent =
            g.rig.lines(QStringLiteral("TX: 0%1 02 14 ").arg(a));
        QCOMPARE(sent.size(), 1);
        QVERIFY2(sent[0].text.startsWith(QStringLiteral("TX: 0%1 02 14 07 1e 11 20 ").arg(a)),
                 qPrintable(sent[0].text));
        january << sent[0].text.mid(7, 3 * 34);
    }
    QCOMPARE(january.count(january[0]), 3);
    QVERIFY(g.rig.lines(QStringLiteral("TX: 04 02 ")).isEmpty());

    // The three-phase table shown, using tariff 5 alone: the single-phase meters are skipped,
    // and the three-phase one ends the run with its red line and the grid.
    QTest::mouseClick(g.list()->itemAt(3), Qt::LeftButton);
    QTRY_COMPARE(calendar->rowCount(), 16);
    for (int r = 0; r < 16; ++r)
        for (int c = 2; c <= 5; ++c)
            calendar->setData(calendar->index(r, c), QStringLiteral("5"));
    g.config->findChild<QAction *>(QStringLiteral("actCopyToAllMonths"))->trigger();
    g.press("pbSaveCalendarAll");
    const QString refused = QStringLiteral("Тарифное рассписание некорректно! Запись отменена.");
    QVERIFY(g.rig.waitLine(refused));
    QTRY_COMPARE(grid.size(), 1);
    QCOMPARE(words(grid.takeFirst().at(0).toString()),
             QStringList({"SKIP", "SKIP", "SKIP", "SKIP"}));
    QVERIFY(!g.config->groupWorkRunning());
    QCOMPARE(g.rig.lines(kEnd).size(), 2);
    QVERIFY(g.rig.lines(QStringLiteral("TX: 04 02 ")).isEmpty());
}

// On the stand: a row clicked and a page button pressed while the stand switches the group's
// meter in change nothing, and a position outside 1..24 is skipped before anything is sent.
void TestGroupSim::clicksWhileSwitching()
{
    Group g;
    StandBlock block;
    QVERIFY(g.openBehindBlock(block, 2));
    DeviceRecord far;
    far.standMode = true;
    far.standAddr = 30;
    far.password = g.list()->itemAt(0)->record().password;
    QVERIFY(g.list()->addItem(far));
    g.list()->itemAt(0)->record().ticked = true;
    g.list()->itemAt(2)->record().ticked = true;
    QSignalSpy grid(g.config, &ControlPanelDialog::html_line);
    const int asked = block.requestCount();
    block.injectReply(QByteArray());
    g.menu("actOpenAll");
    QTRY_COMPARE_WITH_TIMEOUT(block.requestCount(), asked + 1, 10000);
    QTest::mouseClick(g.list()->itemAt(1), Qt::LeftButton);
    QTest::mouseClick(g.config->findChild<QPushButton *>(QStringLiteral("pbLoadLink")),
                      Qt::LeftButton);
    QCOMPARE(block.requestCount(), asked + 1);
    // The block's answer comes late.
    emit g.rig.window().engine()->stendSelectAccept(true);
    QVERIFY(g.waitEnd());
    QCOMPARE(words(grid.takeFirst().at(0).toString()), QStringList({"OK", "SKIP"}));
    QVERIFY(g.list()->itemAt(0)->record().sessionOpen);
    QVERIFY(!g.list()->itemAt(1)->record().sessionOpen);
    QVERIFY(!g.list()->itemAt(2)->record().sessionOpen);
    QCOMPARE(g.rig.lines(QStringLiteral("TX: ff 08 ")).size(), 1);
    QVERIFY(g.rig.lines(QStringLiteral("Получение параметров связи")).isEmpty());
    QVERIFY(g.rig.hasLine(
        QStringLiteral("Ошибка: позиция на стенде 30 вне 1..24, счетчик пропущен"), kRed));
    // The selected meter is switched in again afterwards.
    QTRY_COMPARE_WITH_TIMEOUT(block.requestCount(), asked + 2, 10000);
}

QTEST_MAIN(TestGroupSim)
#include "tst_groupsim.moc"
