#include "link/csd.h"
#include "link/modbus.h"
#include "support/metersimprocess.h"
#include "support/ptypair.h"
#include "support/transportlog.h"
#include "support/workdir.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

namespace {
const int kWait = 10000;
const int kPort = 6;

const QString kClosed = QStringLiteral("log:Порт закрыт");
const QString kInit = QStringLiteral("nlog:Инициализация модема");
const QString kWaiting =
    QStringLiteral("log:Ожидание подтверждения установки соединения (до 80 сек)");
const QString kEnding = QStringLiteral("nlog:Завершение сесии GSM/CSD");
const QString kTimeout =
    QStringLiteral("nlog:Ошибка: превышен интервал времени ожидания ответа от модема");
const QString kManual =
    QStringLiteral("nlog:<strong>Внимание! Требуется ручное завершение вызова на модеме!</strong>");

// The log lines of `rec` other than the modem's own answers ("RX: ...").
QStringList withoutRx(const TransportLog &rec)
{
    QStringList out;
    for (const QString &e : rec.events)
        if (!e.startsWith(QLatin1String("log:RX: ")))
            out << e;
    return out;
}

// Everything the modem said in command mode, however it was cut into packets.
QString rxText(const TransportLog &rec)
{
    QString out;
    for (const QString &e : rec.events)
        if (e.startsWith(QLatin1String("log:RX: ")))
            out += e.mid(8);
    return out;
}

// Each kind of line in its colour: sent grey, received blue, notices orange, the closed port
// green, errors red.
void checkColours(const TransportLog &rec)
{
    int i = 0;
    for (const QString &e : rec.events) {
        if (e == QLatin1String("up") || e == QLatin1String("down"))
            continue;
        const QString text = e.mid(e.indexOf(QLatin1Char(':')) + 1);
        QColor want(255, 50, 50);
        if (text.startsWith(QLatin1String("TX: ")))
            want = QColor(50, 50, 50);
        else if (text.startsWith(QLatin1String("RX: ")) || text.startsWith(QLatin1String("\r\n")))
            want = QColor(0, 170, 230);
        else if (e == kInit || e == kWaiting || e == kEnding)
            want = QColor(255, 127, 40);
        else if (e == kClosed)
            want = QColor(40, 170, 70);
        QVERIFY2(rec.colours.value(i) == want, qPrintable(e));
        ++i;
    }
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}
} // namespace

class TestCsd : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void startFails_data();
    void startFails();
    void wholeSession();
    void onlineReports_data();
    void onlineReports();
    void closeFails_data();
    void closeFails();
    void openFails();
    void readFailure();

private:
    // Starts the modem with `args` and a transport on it; false when metersim did not start.
    bool startModem(const QStringList &args);
    // Walks the transport to CONNECT.
    void connectModem();
    // One request through the call and its reply, checked by the frame codec.
    void roundTrip(const QByteArray &payload, const QByteArray &replyStart);

    WorkDir *work = nullptr;
    MeterSimProcess *sim = nullptr;
    csd *modem = nullptr;
    TransportLog *rec = nullptr;
    modbus *codec = nullptr;
};

void TestCsd::init()
{
    work = new WorkDir;
    QVERIFY(work->isValid());
    sim = new MeterSimProcess;
}

void TestCsd::cleanup()
{
    delete codec;
    delete rec;
    delete modem;
    delete sim;
    delete work;
    codec = nullptr;
    rec = nullptr;
    modem = nullptr;
    sim = nullptr;
    work = nullptr;
}

bool TestCsd::startModem(const QStringList &args)
{
    const QStringList base = {
        "--no-tcp",         "--modem",    "--modem-link-com", QString::number(kPort),
        "--workdir",        work->path(), "--modem-dial-ms",  "50",
        "--modem-guard-ms", "100"};
    if (!sim->start(base + args)) {
        qWarning("%s", qPrintable(sim->errorString()));
        return false;
    }
    modem = new csd;
    modem->portNumber = kPort;
    modem->baudIndex = 2; // the modem runs at 9600 whatever the session says
    modem->phoneNumber = "89001234567";
    rec = new TransportLog(modem);
    return true;
}

void TestCsd::connectModem()
{
    QVERIFY(startModem({}));
    QVERIFY(modem->open());
    QTRY_VERIFY_WITH_TIMEOUT(rec->events.contains("up") || rec->events.contains("down"), kWait);
    QCOMPARE(rec->events.last(), QStringLiteral("up"));
    QCOMPARE(modem->modemState, 7);
    QVERIFY(!modem->answerTimer.isActive());
}

void TestCsd::roundTrip(const QByteArray &payload, const QByteArray &replyStart)
{
    if (!codec) {
        codec = new modbus;
        codec->setTransport(modem);
    }
    QSignalSpy replies(codec, &modbus::receivePaket);
    codec->sendFrame(modbus::makeFrame(1, 1, payload), 1000);
    QVERIFY(replies.wait(kWait));
    const QByteArray reply = replies.at(0).at(0).toByteArray();
    QVERIFY2(reply.startsWith(QByteArray(1, '\x01') + replyStart), reply.toHex().constData());
    QVERIFY(replies.at(0).at(1).toBool());
}

void TestCsd::startFails_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("pinEnabled");
    QTest::addColumn<QString>("last"); // the line before the port closes

    QTest::newRow("AT answered ERROR")
        << QStringList{"--modem-error", "AT"} << false << "log:Ошибка: некорректный ответ";
    QTest::newRow("SIM PIN, no PIN given")
        << QStringList{"--modem-sim", "pin"} << false << "log:Ошибка SIM-карты";
    QTest::newRow("wrong PIN") << QStringList{"--modem-sim", "pin", "--modem-pin", "4321"} << true
                               << "log:Ошибка SIM-карты";
    QTest::newRow("CREG=1 refused") << QStringList{"--modem-error", "AT+CREG=1"} << false
                                    << "log:Ошибка модема при регистрации в сети";
    QTest::newRow("roaming") << QStringList{"--modem-creg", "5"} << false
                             << "log:Ошибка: регистрация в сети недоступна";
    QTest::newRow("not registered")
        << QStringList{"--modem-creg", "0"} << false << "log:Ошибка: регистрация в сети недоступна";
    QTest::newRow("echo off") << QStringList{"--modem-echo", "off"} << false
                              << "log:Ошибка набора номера";
    QTest::newRow("busy") << QStringList{"--modem-dial", "busy"} << false << "log:Абонент занят";
    QTest::newRow("no carrier") << QStringList{"--modem-dial", "nocarrier"} << false
                                << "log:Ошибка: нет ответа";
    QTest::newRow("no CONNECT in time")
        << QStringList{"--modem-dial", "silent"} << false << kTimeout;
}

void TestCsd::startFails()
{
    QFETCH(QStringList, args);
    QFETCH(bool, pinEnabled);
    QFETCH(QString, last);
    QVERIFY(startModem(args));
    modem->pinEnabled = pinEnabled;
    modem->pin = "1234";
    modem->connectMs = 300;
    QVERIFY(modem->open());
    QCOMPARE(rec->events.value(0), kInit);
    QTRY_VERIFY_WITH_TIMEOUT(rec->events.contains("down"), kWait);
    const QStringList events = rec->events;
    QCOMPARE(events.mid(events.size() - 3), (QStringList{last, kClosed, "down"}));
    QVERIFY(!events.contains("up"));
    QVERIFY(!modem->isOpen());
    QCOMPARE(modem->modemState, 0);
    QVERIFY(!modem->answerTimer.isActive());
    checkColours(*rec);
}

void TestCsd::wholeSession()
{
    QVERIFY(startModem({"--modem-sim", "pin", "--modem-pin", "2468"}));
    modem->pinEnabled = true;
    modem->pin = " 2468 ";
    QVERIFY(modem->open());
    QTRY_VERIFY_WITH_TIMEOUT(rec->events.contains("up") || rec->events.contains("down"), kWait);
    QCOMPARE(rec->events.last(), QStringLiteral("up"));

    roundTrip(hex("0800e1e1e1e1e1e1"), hex("0800"));
    roundTrip(hex("0104"), hex("0104"));
    QCOMPARE(rec->packets.size(), 2);

    modem->close();
    QCOMPARE(modem->modemState, 8);
    QTRY_VERIFY_WITH_TIMEOUT(rec->events.contains("down"), kWait);
    QCOMPARE(withoutRx(*rec),
             (QStringList{kInit, "log:TX: AT\r", "log:TX: AT+CPIN=2468\r", "log:TX: AT+CREG=1\r",
                          "log:TX: AT+CREG?\r", "log:TX: ATD89001234567\r", kWaiting, "up", kEnding,
                          "log:TX: +++", "log:TX: ATH\r", kClosed, "down"}));
    QCOMPARE(rxText(*rec),
             QStringLiteral("AT\r\r\nOK\r\nAT+CPIN=2468\r\r\nOK\r\n"
                            "AT+CREG=1\r\r\nOK\r\nAT+CREG?\r\r\n+CREG: 1,1\r\n\r\nOK\r\n"
                            "ATD89001234567\r\r\nCONNECT 9600\r\n"
                            "\r\nOK\r\nATH\r\r\nOK\r\n"));
    QCOMPARE(modem->modemState, 0);
    QVERIFY(!modem->isOpen());
    checkColours(*rec);
    modem->close(); // closed: nothing more
    QCOMPARE(rec->events.last(), QStringLiteral("down"));
}

void TestCsd::onlineReports_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QStringList>("lines"); // what follows "up"; "down" last if the call ends

    QTest::newRow("+CREG: 1,1 only logged")
        << "modem urc +CREG: 1,1" << QStringList{"log:\r\n+CREG: 1,1\r\n"};
    QTest::newRow("+CREG: 0 ends the call")
        << "modem urc +CREG: 0"
        << QStringList{"log:\r\n+CREG: 0\r\n", "log:Проблема связи модема с оператором", kClosed,
                       "down"};
    QTest::newRow("remote hang-up")
        << "modem hangup"
        << QStringList{"log:\r\nNO CARRIER\r\n", "log:Соединение разорвано удаленным узлом",
                       kClosed, "down"};
}

void TestCsd::onlineReports()
{
    QFETCH(QString, control);
    QFETCH(QStringList, lines);
    connectModem();
    const int up = int(rec->events.size());
    QVERIFY2(sim->command(control), qPrintable(sim->errorString()));
    QTRY_COMPARE_WITH_TIMEOUT(rec->events.size(), up + lines.size(), kWait);
    QCOMPARE(rec->events.mid(up), lines);
    QVERIFY(rec->packets.isEmpty()); // no report reached the frame codec
    checkColours(*rec);
    if (lines.last() == QLatin1String("down")) {
        QCOMPARE(modem->modemState, 0);
        QVERIFY(!modem->isOpen());
    } else {
        roundTrip(hex("0800e1e1e1e1e1e1"), hex("0800")); // the call still carries frames
    }
}

void TestCsd::closeFails_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QStringList>("lines"); // after "TX: +++"

    QTest::newRow("no answer to +++")
        << "modem guard-ms 10000" << QStringList{kTimeout, kManual, kClosed, "down"};
    QTest::newRow("ATH refused") << "modem error ATH"
                                 << QStringList{"log:TX: ATH\r", "log:Ошибка разрыва соединения",
                                                kManual, kClosed, "down"};
}

void TestCsd::closeFails()
{
    QFETCH(QString, control);
    QFETCH(QStringList, lines);
    connectModem();
    QVERIFY2(sim->command(control), qPrintable(sim->errorString()));
    modem->answerMs = 300;
    modem->close();
    QTRY_VERIFY_WITH_TIMEOUT(rec->events.contains("down"), kWait);
    const QStringList events = withoutRx(*rec);
    const int escape = int(events.indexOf("log:TX: +++"));
    QVERIFY(escape > 0);
    QCOMPARE(events.mid(escape + 1), lines);
    QCOMPARE(modem->modemState, 0);
    checkColours(*rec);
}

void TestCsd::openFails()
{
    QVERIFY(startModem({}));
    QFile mapping(work->filePath(QStringLiteral("ports/COM%1").arg(kPort + 1)));
    QVERIFY(mapping.open(QIODevice::WriteOnly));
    mapping.write("/nonexistent/tty\n");
    mapping.close();
    modem->portNumber = kPort + 1; // no such device
    QVERIFY(!modem->open());
    QCOMPARE(rec->events, QStringList{"down"});
    modem->portNumber = kPort;
    QVERIFY(modem->open());
    QVERIFY(!modem->open()); // already open: refused, the first stays
    QVERIFY(modem->isOpen());
    QTRY_VERIFY_WITH_TIMEOUT(rec->events.contains("up"), kWait);
}

void TestCsd::readFailure()
{
    PtyPair line;
    QVERIFY(line.isValid());
    QVERIFY(line.mapAs(kPort));
    csd port;
    port.portNumber = kPort;
    TransportLog log(&port);
    QVERIFY(port.open());
    QCOMPARE(line.read(3), QByteArray("AT\r"));
    line.closeMaster(); // the adapter is pulled
    QTRY_VERIFY_WITH_TIMEOUT(log.events.contains("down"), kWait);
    QCOMPARE(log.events, (QStringList{kInit, "log:TX: AT\r",
                                      "log:Ошибка чтения COM. Соединение будет разорвано...",
                                      kClosed, "down"}));
    QCOMPARE(port.modemState, 0);
    QVERIFY(!port.answerTimer.isActive());
}

QTEST_GUILESS_MAIN(TestCsd)
#include "tst_csd.moc"
