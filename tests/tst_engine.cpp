// The exchange engine of the real main window against the virtual meter line, over loopback TCP
// and over a pseudo-terminal.
#include "support/logpalette.h"
#include "support/sessionrig.h"

#include "config/controlpaneldialog.h"
#include "mainwindow/sysmonitordialog.h"
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"
#include "widgets/progressdialog.h"

#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <vector>

namespace {
const QString kOpen = QStringLiteral("08 00 e1 e1 e1 e1 e1 e1");

// One batch: its command texts.
struct Batch
{
    explicit Batch(const QStringList &commands) : cmds(commands) {}
    bool start(SysMonitorDialog &w, deviceListItem *item, int type = 7)
    {
        return w.load_from_device(item, type, cmds, 0);
    }
    QStringList cmds;
};

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}
} // namespace

class TestEngine : public QObject
{
    Q_OBJECT
private slots:
    void batch_data();
    void batch();
    void refused();
    void replies_data();
    void replies();
    void channelReplyTime_data();
    void channelReplyTime();
    void version_data();
    void version();
    void splitTcpReply();
    void outsideBatch();
    void interrupt();
    void meterRowDuringBatch_data();
    void meterRowDuringBatch();
};

void TestEngine::batch_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<QByteArray>("serial");
    QTest::addColumn<QStringList>("commands");
    const QStringList one{QStringLiteral("01 3e")};
    const QStringList five{kOpen, QStringLiteral("01 20"), QStringLiteral("01 21"),
                           QStringLiteral("01 0e"), QStringLiteral("09 01")};
    QTest::newRow("tcp, one") << true << QByteArray() << one;
    QTest::newRow("tcp, five") << true << QByteArray() << five;
    QTest::newRow("pty, one, serial number") << false << QByteArray("000000001234567") << one;
    QTest::newRow("pty, five, serial number") << false << QByteArray("000000001234567") << five;
}

void TestEngine::batch()
{
    QFETCH(bool, tcp);
    QFETCH(QByteArray, serial);
    QFETCH(QStringList, commands);
    SessionRig rig;
    QVERIFY(rig.startLine(tcp ? QStringList() : QStringList{"--no-tcp", "--pty"}));
    QVERIFY(tcp ? rig.openTcp() : rig.openPty());
    SysMonitorDialog &w = rig.window();
    deviceListItem *meter = rig.addMeter(1, serial);

    Batch b(commands);
    QVERIFY(b.start(w, meter, 12));
    QVERIFY(w.exchangeBusy());
    // Only a batch of several commands shows its progress.
    QCOMPARE(w.progress()->isVisible(), commands.size() > 1);
    if (commands.size() > 1)
        QCOMPARE(w.progress()->windowTitle(), QStringLiteral("Получение данных"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.outcomes.size(), 1, 20000);
    const SessionRig::Outcome o = rig.outcomes.first();
    QCOMPARE(o.type, 12);
    QCOMPARE(o.replies.size(), commands.size());
    QCOMPARE(o.status, 0);
    QVERIFY(!w.exchangeBusy());
    QVERIFY(!w.progress()->isVisible());
    QVERIFY(rig.hasLine(QStringLiteral("Успешно завершено"), palette::green));

    // Each slot holds its reply without address and CRC: function, object, length, data.
    for (int i = 0; i < commands.size(); ++i) {
        const QByteArray request = QByteArray::fromHex(commands[i].toLatin1());
        QCOMPARE(o.replies[i].left(2), request.left(2));
        QCOMPARE(o.replies[i].size(), 3 + quint8(o.replies[i].at(2)));
    }
    // The meter is reached by its serial number when it has one.
    const QString address =
        serial.isEmpty() ? QStringLiteral("01 ") : QStringLiteral("87 d6 12 00 ");
    const QList<SessionRig::LogLine> tx = rig.lines(QStringLiteral("TX: "));
    QCOMPARE(tx.size(), commands.size());
    for (const SessionRig::LogLine &l : tx) {
        QVERIFY2(l.text.startsWith(QStringLiteral("TX: ") + address), qPrintable(l.text));
        QVERIFY(l.text.endsWith(QLatin1Char(' ')));
        QCOMPARE(l.colour, palette::grey);
    }
    const QList<SessionRig::LogLine> rx = rig.lines(QStringLiteral("RX: "));
    QCOMPARE(rx.size(), commands.size());
    for (const SessionRig::LogLine &l : rx)
        QCOMPARE(l.colour, palette::blue);
}

void TestEngine::refused()
{
    SessionRig rig;
    QVERIFY(rig.startLine());
    QVERIFY(rig.openTcp());
    SysMonitorDialog &w = rig.window();
    deviceListItem *meter = rig.addMeter(1);

    QVERIFY(!w.load_from_device(nullptr, 1, {QStringLiteral("01 3e")}, 0));
    QVERIFY(!w.load_from_device(meter, 1, QStringList(), 0));
    QVERIFY(!w.exchangeBusy());
    QVERIFY(rig.lines(QStringLiteral("TX: ")).isEmpty());

    // A second batch while one runs is refused and leaves both alone.
    Batch first({kOpen, QStringLiteral("01 20"), QStringLiteral("01 21")});
    Batch second({QStringLiteral("01 3e")});
    QVERIFY(first.start(w, meter, 1));
    QVERIFY(!second.start(w, meter, 2));
    QVERIFY(
        rig.hasLine(QStringLiteral("Ошибка: обмен со счетчиком уже идет, новый запрос отклонен"),
                    palette::red));
    QTRY_COMPARE_WITH_TIMEOUT(rig.outcomes.size(), 1, 20000);
    QCOMPARE(rig.outcomes[0].type, 1);
    QCOMPARE(rig.outcomes[0].status, 0);
    QVERIFY(rig.outcomes[0].replies[2].startsWith(hex("0121")));
    QCOMPARE(rig.lines(QStringLiteral("TX: ")).size(), 3);
    QVERIFY(rig.unknown.isEmpty());
}

void TestEngine::replies_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("sends"); // of the command under test
    QTest::addColumn<int>("later"); // sends of the command after it
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("reply");
    const QString timeout = QStringLiteral("Ошибка: превышен интервал времени ожидания");
    QTest::newRow("three time-outs") << "drop@obj=20"
                                     << "01 20" << 2 << 3 << 0 << timeout << QByteArray();
    QTest::newRow("two time-outs, then a reply")
        << "drop@obj=20,count=2"
        << "01 20" << 0 << 3 << 1 << "Успешно завершено" << hex("0120");
    QTest::newRow("two failures of each command: a good reply starts a fresh count")
        << "crc@obj=20,count=2;crc@obj=0e,count=2"
        << "01 20" << 0 << 3 << 3 << "Успешно завершено" << hex("0120");
    QTest::newRow("time-out, bad CRC, mismatch: one count")
        << "drop@obj=20,count=1;crc@obj=20,count=1;reply:012100@obj=20"
        << "01 20" << 2 << 3 << 0 << "Загрузка прекращена из-за приема некорректных данных"
        << QByteArray();
    QTest::newRow("three bad CRCs")
        << "crc@obj=20"
        << "01 20" << 2 << 3 << 0 << "Загрузка прекращена из-за ошибок CRC" << QByteArray();
    QTest::newRow("echo") << "echo@obj=0d"
                          << "02 0D 05 01" << 2 << 3 << 0 << "Загрузка прекращена из-за ошибки эха"
                          << QByteArray();
    QTest::newRow("echo of two bytes is its reply")
        << "echo@obj=21"
        << "01 21" << 0 << 1 << 1 << "Успешно завершено" << hex("0121");
    QTest::newRow("09 answers any request")
        << "reply:090100@obj=21"
        << "01 21" << 0 << 1 << 1 << "Успешно завершено" << hex("090100");
    QTest::newRow("wrong password, at once")
        << "error:13@obj=20"
        << "01 20" << 2 << 1 << 0 << "Ошибка: неверный пароль" << QByteArray();
    QTest::newRow("error code 0x90")
        << "error:144@obj=20"
        << "01 20" << 2 << 1 << 0 << "Неизвестная ошибка" << QByteArray();
}

void TestEngine::replies()
{
    QFETCH(QString, fault);
    QFETCH(QString, command);
    QFETCH(int, status);
    QFETCH(int, sends);
    QFETCH(int, later);
    QFETCH(QString, message);
    QFETCH(QByteArray, reply);
    // The serial line: its time-outs are the shortest.
    SessionRig rig;
    QVERIFY(rig.startLine({"--no-tcp", "--pty"}));
    QVERIFY(rig.openPty());
    for (const QString &f : fault.split(QLatin1Char(';')))
        QVERIFY2(rig.line.command(QStringLiteral("fault ") + f),
                 qPrintable(rig.line.errorString()));
    SysMonitorDialog &w = rig.window();

    // A second command after the one under test shows that a good reply starts a fresh count.
    Batch b({kOpen, command, QStringLiteral("01 0e")});
    QVERIFY(b.start(w, rig.addMeter(1)));
    QTRY_COMPARE_WITH_TIMEOUT(rig.outcomes.size(), 1, 30000);
    QCOMPARE(rig.outcomes[0].status, status);
    // Sent to address 1, in lower case, each byte followed by a blank.
    QCOMPARE(rig.lines(QStringLiteral("TX: 01 ") + command.toLower() + QLatin1Char(' ')).size(),
             sends);
    QCOMPARE(rig.lines(QStringLiteral("TX: 01 01 0e ")).size(), later);
    const QColor colour = status == 0 ? palette::green : palette::red;
    QVERIFY2(rig.hasLine(message, colour), qPrintable(message));
    QVERIFY(!w.progress()->isVisible());
    const QList<QByteArray> &replies = rig.outcomes[0].replies;
    QCOMPARE(replies.size(), 3);
    if (status == 0) {
        QVERIFY(replies[1].startsWith(reply));
        QVERIFY(replies[2].startsWith(hex("010e")));
    } else {
        // Nothing after the failed command was stored.
        QVERIFY(replies[1].isEmpty() && replies[2].isEmpty());
    }
}

void TestEngine::channelReplyTime_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("lateMs");
    QTest::addColumn<int>("sends");
    // Each channel's base reply time lies between a reply late by a second less (taken) and one
    // late by a second more (the request is repeated first).
    QTest::newRow("COM, 2000 ms: 1000 ms late") << 0 << 1000 << 1;
    QTest::newRow("COM, 2000 ms: 3000 ms late") << 0 << 3000 << 2;
    QTest::newRow("TCP-IP, 5000 ms: 4000 ms late") << 3 << 4000 << 1;
    QTest::newRow("TCP-IP, 5000 ms: 6000 ms late") << 3 << 6000 << 2;
    QTest::newRow("GSM/CSD, 7000 ms: 6000 ms late") << 1 << 6000 << 1;
    QTest::newRow("GSM/CSD, 7000 ms: 8000 ms late") << 1 << 8000 << 2;
}

// Observed through a session, not read from the codec: a single request without an allowance of
// its own waits exactly the channel's base time.
void TestEngine::channelReplyTime()
{
    QFETCH(int, channel);
    QFETCH(int, lateMs);
    QFETCH(int, sends);
    SessionRig rig;
    // The first request is answered late; a repetition is lost, so that its reply cannot come
    // together with the late one.
    QStringList args{"--fault", QStringLiteral("late:%1@count=1").arg(lateMs), "--fault",
                     "drop@count=1"};
    SessionParameters p = SessionRig::defaults();
    p.connectionType = channel;
    if (channel == 0)
        args += QStringList{"--no-tcp", "--pty"};
    if (channel == 1) {
        args += QStringList{"--no-tcp",  "--modem",       "--modem-link-com", "1",
                            "--workdir", rig.work.path(), "--modem-dial-ms",  "50"};
        p.phoneNumber = "+79001234567";
    }
    QVERIFY(rig.startLine(args));
    p.ethernetIp = rig.line.tcpHost();
    p.ethernetPort = rig.line.tcpPort();
    QVERIFY(rig.open(p));
    Batch b({QStringLiteral("01 3e")});
    QVERIFY(b.start(rig.window(), rig.addMeter(1)));
    QTRY_COMPARE_WITH_TIMEOUT(rig.outcomes.size(), 1, 30000);
    // Too late, the first reply is taken as the answer to the repetition.
    QCOMPARE(rig.outcomes[0].status, 0);
    QCOMPARE(rig.lines(QStringLiteral("TX: 01 01 3e ")).size(), sends);
}

void TestEngine::version_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("warns");
    QTest::newRow("1.08a") << 1 << "1.08a" << true;
    QTest::newRow("1.09") << 2 << "1.09" << false;
    QTest::newRow("1.10") << 3 << "1.10" << false;
}

void TestEngine::version()
{
    QFETCH(int, address);
    QFETCH(QString, version);
    QFETCH(bool, warns);
    SessionRig rig;
    QVERIFY(rig.startLine({"--meter", "210.1,addr=1,version=1.08a", "--meter",
                           "210.1,addr=2,version=1.09", "--meter", "450.22R,addr=3,version=1.10"}));
    QVERIFY(rig.openTcp());
    Batch b({kOpen, QStringLiteral("01 21")});
    QVERIFY(b.start(rig.window(), rig.addMeter(address)));
    QTRY_COMPARE_WITH_TIMEOUT(rig.outcomes.size(), 1, 20000);
    QCOMPARE(rig.outcomes[0].status, 0);
    QVERIFY(
        rig.hasLine(QStringLiteral("Версия устройства считана как: ") + version, palette::orange));
    QCOMPARE(rig.hasLine(QStringLiteral("Внимание! В данной версии ПО не реализована поддержка "
                                        "серийных номеров."),
                         palette::orange),
             warns);
}

void TestEngine::splitTcpReply()
{
    // A converter passes the version reply on in two pieces 5 ms apart: judged once, whole.
    SessionRig rig;
    QVERIFY(rig.startLine({"--fault", "split:5@obj=21"}));
    QVERIFY(rig.openTcp());
    Batch b({kOpen, QStringLiteral("01 21")});
    QVERIFY(b.start(rig.window(), rig.addMeter(1)));
    QTRY_COMPARE_WITH_TIMEOUT(rig.outcomes.size(), 1, 20000);
    QCOMPARE(rig.outcomes[0].status, 0);
    QCOMPARE(rig.lines(QStringLiteral("TX: 01 01 21 ")).size(), 1);
    QCOMPARE(rig.lines(QStringLiteral("RX: ")).size(), 2);
    QVERIFY(rig.lines(QStringLiteral("Внимание")).isEmpty());
}

void TestEngine::outsideBatch()
{
    SessionRig rig;
    QVERIFY(rig.startLine({"--no-tcp", "--pty"}));
    QVERIFY(rig.openPty());
    ControlPanelDialog *config = rig.window().configurator();
    deviceListItem *meter = rig.addMeter(1);

    // A single request of the configurator: its reply comes as a packet nobody waited for.
    emit config->sendTextCmd(meter, QStringLiteral("01 3e"), 0);
    QTRY_COMPARE_WITH_TIMEOUT(rig.unknown, QList<int>{0}, 10000);
    QVERIFY(rig.lines(QStringLiteral("RX: 01 01 3e ")).value(0).colour == palette::blue);

    QVERIFY(rig.line.command(QStringLiteral("fault crc@count=1")));
    emit config->sendTextCmd(meter, QStringLiteral("01 3e"), 0);
    QTRY_COMPARE_WITH_TIMEOUT(rig.unknown, (QList<int>{0, 0}), 10000);
    QVERIFY(rig.lines(QStringLiteral("RX: ")).last().text.endsWith(QStringLiteral(" - bad CRC")));
    QCOMPARE(rig.lines(QStringLiteral("RX: ")).last().colour, palette::red);

    QVERIFY(rig.line.command(QStringLiteral("fault drop@count=1")));
    emit config->sendTextCmd(meter, QStringLiteral("01 3e"), 0);
    QTRY_COMPARE_WITH_TIMEOUT(rig.unknown, (QList<int>{0, 0, 3}), 10000);
    QVERIFY(rig.outcomes.isEmpty());
}

void TestEngine::interrupt()
{
    SessionRig rig;
    QVERIFY(rig.startLine({"--fault", "late:1500@obj=20"}));
    QVERIFY(rig.openTcp());
    SysMonitorDialog &w = rig.window();
    Batch b({kOpen, QStringLiteral("01 20"), QStringLiteral("01 21")});
    QVERIFY(b.start(w, rig.addMeter(1), 5));
    QTRY_VERIFY_WITH_TIMEOUT(!rig.lines(QStringLiteral("TX: 01 01 20 ")).isEmpty(), 10000);

    QTest::mouseClick(w.progress()->findChild<QPushButton *>(QStringLiteral("pbInterrupt")),
                      Qt::LeftButton);
    QVERIFY(!w.progress()->isVisible());
    QVERIFY(!w.exchangeBusy());
    QVERIFY(rig.hasLine(QStringLiteral("Процесс прерван пользователем"), palette::red));
    // A second interruption has no batch left to report.
    w.interruptLoadClick();
    QCOMPARE(rig.outcomes.size(), 1);
    QCOMPARE(rig.outcomes[0].type, 5);
    QCOMPARE(rig.outcomes[0].status, 1);
    // The late reply finds nobody waiting.
    QTRY_COMPARE_WITH_TIMEOUT(rig.unknown, QList<int>{0}, 10000);
    QCOMPARE(rig.outcomes.size(), 1);
    QVERIFY(rig.outcomes[0].replies[1].isEmpty());
}

void TestEngine::meterRowDuringBatch_data()
{
    QTest::addColumn<bool>("removed");
    QTest::newRow("another meter selected") << false;
    QTest::newRow("meter's row removed") << true;
}

void TestEngine::meterRowDuringBatch()
{
    QFETCH(bool, removed);
    SessionRig rig;
    QVERIFY(rig.startLine({"--no-tcp", "--pty", "--fault", "drop@count=1"}));
    QVERIFY(rig.openPty());
    SysMonitorDialog &w = rig.window();
    deviceListItem *first = rig.addMeter(1);
    deviceListItem *second = rig.addMeter(2);
    Batch b({QStringLiteral("01 3e")});
    QVERIFY(b.start(w, first));
    if (removed) {
        QPointer<deviceListItem> row(first);
        w.configurator()->meterList()->clearList();
        QTRY_VERIFY(row.isNull());
    } else {
        QTest::mouseClick(second, Qt::LeftButton);
        QCOMPARE(rig.find<QSpinBox>("sbLocalAddr")->value(), 2);
    }
    // The first request is lost; its repeat still goes to the batch's meter, or nowhere.
    QTRY_COMPARE_WITH_TIMEOUT(rig.outcomes.size(), 1, 15000);
    if (removed) {
        QCOMPARE(rig.outcomes[0].status, 2);
        QVERIFY(rig.hasLine(QStringLiteral("Ошибка: счетчик удален из списка, загрузка прекращена"),
                            palette::red));
        QCOMPARE(rig.lines(QStringLiteral("TX: ")).size(), 1);
    } else {
        QCOMPARE(rig.outcomes[0].status, 0);
        QCOMPARE(rig.lines(QStringLiteral("TX: 01 01 3e ")).size(), 2);
        QVERIFY(rig.lines(QStringLiteral("TX: 02 ")).isEmpty());
    }
}

QTEST_MAIN(TestEngine)
#include "tst_engine.moc"
