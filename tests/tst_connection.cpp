// Sessions on every channel, the meter search and the stand's switching, in the real main window
// against the virtual meter line.
#include "support/logpalette.h"
#include "support/ptypair.h"
#include "support/sessionrig.h"

#include "config/controlpaneldialog.h"
#include "core/appentry.h"
#include "link/exchangeengine.h"
#include "mainwindow/sysmonitordialog.h"
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"
#include "session/authdialog.h"
#include "widgets/progressdialog.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTcpServer>
#include <QtTest>

#include <csignal>

namespace {
struct Question
{
    QString title, label;
    int value, min, max;
};

// Answers the search's two questions with `answers` (nothing: cancelled) and records them.
void answerWith(SysMonitorDialog &w, QList<std::optional<int>> answers, QList<Question> *asked)
{
    w.askInt = [answers, asked](const QString &title, const QString &label, int value, int min,
                                int max) mutable -> std::optional<int> {
        asked->append({title, label, value, min, max});
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    };
}

QStringList texts(const QList<SessionRig::LogLine> &lines)
{
    QStringList out;
    for (const SessionRig::LogLine &l : lines)
        out << l.text;
    return out;
}

bool consoleEnabled(SessionRig &rig)
{
    return rig.find<QSpinBox>("sbLocalAddr")->isEnabled() &&
           rig.find<QLineEdit>("leCmdLine")->isEnabled();
}
} // namespace

class TestConnection : public QObject
{
    Q_OBJECT
private slots:
    void session_data();
    void session();
    void sessionFails_data();
    void sessionFails();
    void gsmSession();
    void search_data();
    void search();
    void stand();
    void endsDuringSession_data();
    void endsDuringSession();
};

void TestConnection::session_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<bool>("peerCloses");
    QTest::newRow("TCP-IP, logout") << true << false;
    QTest::newRow("TCP-IP, the peer closes") << true << true;
    QTest::newRow("COM, logout") << false << false;
}

void TestConnection::session()
{
    QFETCH(bool, tcp);
    QFETCH(bool, peerCloses);
    SessionRig rig;
    QVERIFY(rig.startLine(tcp ? QStringList() : QStringList{"--no-tcp", "--pty"}));
    SessionParameters p = SessionRig::defaults();
    p.accessLevel = 1;
    p.passwords[1] = QByteArray::fromHex("0a0b0c0d0e0f");
    p.connectionType = tcp ? 3 : 0;
    p.ethernetIp = rig.line.tcpHost();
    p.ethernetPort = rig.line.tcpPort();
    SysMonitorDialog &w = rig.window();
    const int before = rig.log().size();
    QVERIFY(rig.open(p));

    QStringList expected{QString(), "Попытка открытия сессии", "Права достура: Администратор"};
    if (tcp)
        expected << "Подлючение: TCP-IP";
    else
        expected << "Подлючение: COM (RS-485 / Оптопорт)"
                 << "Порт: COM1, скорость: 9600 бод";
    const QStringList logged = texts(rig.log().mid(before));
    QCOMPARE(logged.mid(0, expected.size()), expected);
    QCOMPARE(logged.mid(logged.size() - 2),
             (QStringList{QStringLiteral("Порт открыт"), QStringLiteral("Сессия открыта")}));
    QVERIFY(rig.hasLine(QStringLiteral("Сессия открыта"), palette::green));
    ControlPanelDialog *config = w.configurator();
    QVERIFY(config->isVisible());
    QCOMPARE(config->windowTitle(), QStringLiteral("Конфигуратор"));
    QCOMPARE(config->channel(), tcp ? 3 : 0);
    QCOMPARE(config->accessLevel(), 1);
    QCOMPARE(config->sessionPassword(), QByteArray::fromHex("0a0b0c0d0e0f"));
    QVERIFY(consoleEnabled(rig));
    QVERIFY(!w.authDialog()->isVisible());
    QTest::keyClick(config, Qt::Key_Escape);
    QVERIFY(config->isVisible()); // only closing it ends the session

    if (peerCloses)
        rig.line.stop();
    else
        config->close(); // the configurator's logout
    QVERIFY(rig.waitLine(QStringLiteral("Сессия закрыта")));
    QVERIFY(rig.hasLine(QStringLiteral("Сессия закрыта"), palette::green));
    QVERIFY(!config->isVisible());
    QVERIFY(w.authDialog()->isVisible());
    QVERIFY(!consoleEnabled(rig));
    if (peerCloses)
        return;
    // The next session gets a transport of its own.
    QVERIFY(rig.open(p));
    QCOMPARE(rig.lines(QStringLiteral("Сессия открыта")).size(), 2);
    QVERIFY(config->isVisible());
}

void TestConnection::sessionFails_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QStringList>("logged"); // after the access level: text and colour
    QTest::newRow("COM port gone")
        << 0
        << QStringList{"Подлючение: COM (RS-485 / Оптопорт) #323232",
                       "Порт: COM1, скорость: 9600 бод #323232", "Сессия закрыта #28aa46",
                       // the session dialog, shown again, finds no port either
                       "Ошибка: в системе не найден ни один достуный COM-порт #ff3232"};
    QTest::newRow("TCP-IP refused")
        << 3
        << QStringList{"Подлючение: TCP-IP #323232",
                       "Попытка установки соединения: 127.0.0.1:%1 #323232",
                       "Время ожидания подключения истекло #ff3232", "Сессия закрыта #28aa46"};
    QTest::newRow("GSM/CSD, no modem answers")
        << 1
        << QStringList{"Подлючение: GSM/CSD #323232",
                       "Порт: COM1, скорость: 9600 бод #323232",
                       "",
                       "Инициализация модема #ff7f28",
                       "TX: AT  #323232",
                       "",
                       "Ошибка: превышен интервал времени ожидания ответа от модема #ff3232",
                       "Порт закрыт #28aa46",
                       "Сессия закрыта #28aa46"};
    QTest::newRow("stand unreachable")
        << 2
        << QStringList{"Подлючение: Заводсвой стенд, IP: 127.77.0.1 #323232",
                       "Порт: COM1, скорость: 9600 бод #323232",
                       "Ошибка: невозможно установить соединение с заводским стендом #ff3232"};
}

void TestConnection::sessionFails()
{
    QFETCH(int, channel);
    QFETCH(QStringList, logged);
    SessionRig rig;
    PtyPair pty; // a port for the session dialog to offer
    QVERIFY(pty.mapAs(1, rig.work.path()) && mapRemainingPortsAway(rig.work.path()));
    SessionParameters p = SessionRig::defaults();
    p.connectionType = channel;
    // Nothing listens on the freed port, nor on the stand address (metersim uses 127.0.0.x).
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    p.ethernetIp = QStringLiteral("127.0.0.1");
    p.ethernetPort = server.serverPort();
    server.close();
    p.standIp = QStringLiteral("127.77.0.1");
    SysMonitorDialog &w = rig.window();
    if (channel == 0) {
        // The port was there when the dialog looked; it is gone when the session starts.
        QFile::remove(rig.work.filePath(QStringLiteral("ports/COM1")));
        QVERIFY(mapRemainingPortsAway(rig.work.path()));
    }
    logged.replaceInStrings(QStringLiteral("%1"), QString::number(p.ethernetPort));
    const int before = int(rig.log().size());
    QVERIFY(rig.startSession(p));
    // Everything after "Попытка открытия сессии" and the access level, each line its own colour.
    const auto tail = [&] {
        QStringList out;
        for (const SessionRig::LogLine &l : rig.log().mid(before + 3))
            out << (l.text.isEmpty() ? QString() : l.text + QLatin1Char(' ') + l.colour.name());
        return out;
    };
    QTRY_COMPARE_WITH_TIMEOUT(tail().size(), logged.size(), 15000);
    QCOMPARE(tail(), logged);
    QTRY_VERIFY(w.authDialog()->isVisible());
    QVERIFY(!w.configurator()->isVisible());
}

void TestConnection::gsmSession()
{
    // The emulated modem on COM1 dials the meters of the line.
    SessionRig rig;
    QVERIFY(rig.startLine({"--no-tcp", "--modem", "--modem-link-com", "1", "--workdir",
                           rig.work.path(), "--modem-dial-ms", "50"}));
    SessionParameters p = SessionRig::defaults();
    p.connectionType = 1;
    p.phoneNumber = " +79001234567 ";
    SysMonitorDialog &w = rig.window();
    QVERIFY(rig.open(p));
    QVERIFY(rig.hasLine(QStringLiteral("TX: ATD+79001234567\r"), palette::grey) ||
            !rig.lines(QStringLiteral("TX: ATD+79001234567")).isEmpty());

    // A meter is read through the call.
    ControlPanelDialog *config = w.configurator();
    deviceListItem *meter = rig.addMeter(1);
    QTest::mouseClick(meter, Qt::LeftButton);
    QTest::mouseDClick(meter, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!config->batchRunning(), 20000);
    QCOMPARE(meter->record().version, QStringLiteral("210.1"));
    QVERIFY(meter->record().sessionOpen);

    config->close();
    QVERIFY(rig.waitLine(QStringLiteral("Сессия закрыта")));
    QVERIFY(rig.hasLine(QStringLiteral("Порт закрыт"), palette::green));
    QVERIFY(rig.lines(QStringLiteral("Ошибка")).isEmpty());
    QVERIFY(w.authDialog()->isVisible());
}

void TestConnection::search_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<QList<int>>("found");
    QTest::addColumn<int>("probes");
    QTest::addColumn<bool>("timedOutLast");
    // Meters answer at 1, 2 and 4; the first probe of each search comes back with a bad CRC.
    QTest::newRow("1..5") << 1 << 5 << QList<int>{1, 2, 4} << 6 << true;
    QTest::newRow("10..10: one probe") << 10 << 10 << QList<int>{} << 1 << true;
    QTest::newRow("minimum above maximum: one probe") << 2 << 1 << QList<int>{2} << 1 << false;
}

void TestConnection::search()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(QList<int>, found);
    QFETCH(int, probes);
    QFETCH(bool, timedOutLast);
    SessionRig rig;
    QVERIFY(
        rig.startLine({"--no-tcp", "--pty", "--meter", "210.1,addr=1", "--meter", "210.1,addr=2",
                       "--meter", "450.22R,addr=4", "--fault", "crc@obj=3e,count=1"}));
    QVERIFY(rig.openPty());
    SysMonitorDialog &w = rig.window();
    deviceList *list = w.configurator()->meterList();
    rig.addMeter(77); // the search starts a new list

    QList<Question> asked;
    answerWith(w, {min, max}, &asked);
    QTest::mouseClick(w.configurator()->findChild<QPushButton *>(QStringLiteral("pbFind")),
                      Qt::LeftButton);
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked[0].title, QStringLiteral("Поиск"));
    QCOMPARE(asked[0].label, QStringLiteral("Минимальный адрес"));
    QCOMPARE(asked[1].label, QStringLiteral("Максимальный адрес"));
    QCOMPARE((QList<int>{asked[0].value, asked[0].min, asked[0].max}), (QList<int>{1, 1, 255}));
    QCOMPARE((QList<int>{asked[1].value, asked[1].min, asked[1].max}), (QList<int>{255, 1, 255}));
    QVERIFY(w.progress()->isVisible());
    QCOMPARE(w.progress()->windowTitle(), QStringLiteral("Поиск счетчиков"));
    QVERIFY(w.exchangeBusy());

    QVERIFY(rig.waitLine(QStringLiteral("Поиск завершен"), 1, 30000));
    QVERIFY(rig.hasLine(QStringLiteral("Поиск завершен"),
                        timedOutLast ? palette::green : palette::grey));
    QVERIFY(!w.progress()->isVisible());
    QVERIFY(!w.exchangeBusy());
    QCOMPARE(rig.lines(QStringLiteral("TX: ")).size(), probes);
    for (const SessionRig::LogLine &l : rig.lines(QStringLiteral("TX: ")))
        QVERIFY2(l.text.mid(7, 6) == QStringLiteral("01 3e "), qPrintable(l.text));
    QList<int> addresses;
    for (int i = 0; i < list->count(); ++i) {
        const DeviceRecord &r = list->itemAt(i)->record();
        addresses << r.address;
        QCOMPARE(r.version, QStringLiteral("-"));
        QCOMPARE(r.password, QByteArray(6, char(0xe1)));
        QVERIFY(r.serialNumber.isEmpty());
        QVERIFY(!r.standMode);
    }
    QCOMPARE(addresses, found);
    QVERIFY(rig.unknown.isEmpty() && rig.outcomes.isEmpty());

    // Cancelled: nothing is asked of the line and the list stays.
    answerWith(w, {1}, &asked);
    QTest::mouseClick(w.configurator()->findChild<QPushButton *>(QStringLiteral("pbFind")),
                      Qt::LeftButton);
    QCOMPARE(asked.size(), 4);
    QVERIFY(!w.exchangeBusy());
    QCOMPARE(rig.lines(QStringLiteral("TX: ")).size(), probes);
    QCOMPARE(list->count(), found.size());
}

void TestConnection::stand()
{
    SessionRig rig;
    QVERIFY2(rig.startLine({"--no-tcp", "--stand"}), qPrintable(rig.line.errorString()));
    QVERIFY(!rig.line.standAddress().isEmpty());
    SessionParameters p = SessionRig::defaults();
    p.connectionType = 2;
    p.portNumber = 2;
    p.standIp = rig.line.standAddress();
    QVERIFY(rig.open(p));
    SysMonitorDialog &w = rig.window();
    QVERIFY(rig.hasLine(QStringLiteral("Подлючение: Заводсвой стенд, IP: ") + p.standIp,
                        palette::grey));
    QVERIFY(rig.hasLine(QStringLiteral("Соединение со стендом установлено!"), palette::green));

    QList<Question> asked;
    answerWith(w, {1, 24}, &asked);
    emit w.configurator()->searchStart();
    QCOMPARE((QList<int>{asked[0].value, asked[0].min, asked[0].max}), (QList<int>{1, 1, 24}));
    QCOMPARE((QList<int>{asked[1].value, asked[1].min, asked[1].max}), (QList<int>{24, 1, 24}));
    QVERIFY(rig.waitLine(QStringLiteral("Поиск завершен"), 1, 60000));
    QVERIFY(rig.waitLine(QStringLiteral("Выполнено!"), 24));
    // Each position is switched in, then probed at 255.
    const QList<SessionRig::LogLine> all = rig.log();
    int position = 0;
    for (int i = 0; i + 1 < all.size(); ++i) {
        if (!all[i].text.startsWith(QStringLiteral("Выбор счетчика на стенде: ")))
            continue;
        ++position;
        QCOMPARE(all[i].text.mid(26), QStringLiteral("%1").arg(position, 2, 10, QLatin1Char('0')));
        QVERIFY2(all[i + 1].text.startsWith(QStringLiteral("TX: ff 01 3e ")),
                 qPrintable(all[i + 1].text));
    }
    QCOMPARE(position, 24);
    deviceList *list = w.configurator()->meterList();
    QCOMPARE(list->count(), 24);
    for (int i = 0; i < 24; ++i) {
        const DeviceRecord &r = list->itemAt(i)->record();
        QCOMPARE(r.address, 255);
        QCOMPARE(r.standAddr, i + 1);
        QVERIFY(r.standMode);
    }

    // Choosing a stand meter switches it in.
    QTest::mouseClick(list->itemAt(4), Qt::LeftButton);
    QVERIFY(rig.waitLine(QStringLiteral("Выбор счетчика на стенде: 05"), 2));
    QVERIFY(rig.waitLine(QStringLiteral("Выполнено!"), 25));
    QCOMPARE(rig.find<QSpinBox>("sbLocalAddr")->value(), 255);
    emit w.configurator()->stendSelectAddr(25);
    QVERIFY(rig.hasLine(QStringLiteral("Ошибка: 25 - некорректрый адрес счетчика"), palette::red));
    emit w.configurator()->stendSelectAddr(0);
    QVERIFY(rig.hasLine(QStringLiteral("Отключение всех счетчиков от RS-485"), palette::grey));
    QVERIFY(rig.waitLine(QStringLiteral("Выполнено!"), 26));

    w.configurator()->close();
    QVERIFY(rig.waitLine(QStringLiteral("Соединение со стендом разорвано")));
    QVERIFY(rig.hasLine(QStringLiteral("Сессия закрыта"), palette::green));
}

void TestConnection::endsDuringSession_data()
{
    QTest::addColumn<bool>("bySignal");
    QTest::newRow("main window closed") << false;
    QTest::newRow("SIGTERM") << true;
}

// With the configurator open, closing it hands back to the session dialog; ending the program
// must not stop there.
void TestConnection::endsDuringSession()
{
    QFETCH(bool, bySignal);
    SessionRig rig;
    QVERIFY(rig.startLine());
    SysMonitorDialog &w = rig.window();
    QVERIFY(rig.openTcp());
    QVERIFY(w.configurator()->isVisible());
    std::unique_ptr<QObject> watcherOwner(new QObject);
    if (bySignal)
        watchStopSignals(watcherOwner.get());
    QTimer::singleShot(0, &w, [&w, bySignal] {
        if (bySignal)
            ::raise(SIGTERM);
        else
            w.close();
    });
    QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(1); });
    QCOMPARE(qApp->exec(), 0);
}

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
