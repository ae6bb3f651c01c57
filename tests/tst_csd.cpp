#include "link/csd.h"
#include "link/modbus.h"
#include "support/logfile.h"
#include "support/logpalette.h"
#include "support/metersimprocess.h"
#include "support/ptypair.h"
#include "support/sessionrig.h"
#include "support/transportlog.h"
#include "support/workdir.h"

#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>
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
const QString kSearching = QStringLiteral("log:Ожидание регистрации в сети");
const QString kAborting = QStringLiteral("log:Отмена набора номера");

// The log lines of `rec` other than the modem's own answers ("RX: ...").
QStringList withoutRx(const TransportLog &rec)
{
    QStringList out;
    for (const QString &e : rec.events)
        if (!e.startsWith(QLatin1String("log:RX: ")))
            out << e;
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
        else if (e == kInit || e == kWaiting || e == kEnding || e == kSearching || e == kAborting)
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

// Whether `want` occurs in `got` in its order, each entry the start of a line of its own.
bool inOrder(const QStringList &got, const QStringList &want)
{
    int at = 0;
    for (const QString &line : got)
        if (at < want.size() && line.startsWith(want[at]))
            ++at;
    return at == want.size();
}

// Log lines as the user reads them: without the "log:"/"nlog:" of TransportLog.
QStringList texts(const QStringList &events)
{
    QStringList out;
    for (const QString &e : events)
        out << e.mid(e.indexOf(QLatin1Char(':')) + 1);
    return out;
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
    void strictModem_data();
    void strictModem();
    void onlineReports_data();
    void onlineReports();
    void closeFails_data();
    void closeFails();
    void openFails();
    void readFailure();
    void defaultTimers();

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
    const QStringList base = {"--no-tcp",  "--modem",    "--modem-link-com", QString::number(kPort),
                              "--workdir", work->path(), "--modem-dial-ms",  "50"};
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
    QTest::newRow("registration denied")
        << QStringList{"--modem-creg", "3"} << false << "log:Ошибка: регистрация в сети недоступна";
    QTest::newRow("busy") << QStringList{"--modem-dial", "busy"} << false << "log:Абонент занят";
    QTest::newRow("no carrier") << QStringList{"--modem-dial", "nocarrier"} << false
                                << "log:Ошибка: нет ответа";
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

// The program against a modem as strict as a standard one, through the transport, the main
// window and meterjob alike. Every row ends with the modem's call gone, however it went.
void TestCsd::strictModem_data()
{
    QTest::addColumn<QStringList>("args");   // the modem's settings
    QTest::addColumn<QString>("driver");     // transport, window, job, job stopped
    QTest::addColumn<bool>("pinEnabled");    // the PIN option (PIN 2468)
    QTest::addColumn<QStringList>("logged"); // in this order, each the start of a line
    QTest::addColumn<QStringList>("absent"); // in no line

    // A modem that ignores DTR keeps a call the program fails to hang up itself.
    const QStringList noDtr{"--modem-dtr", "ignore"};
    const QString ending = QStringLiteral("Завершение сесии GSM/CSD");
    const QString escape = QStringLiteral("TX: +++");
    const QString hangUp = QStringLiteral("TX: ATH");
    const QString closed = QStringLiteral("Порт закрыт");
    const QString manual = QStringLiteral("Требуется ручное завершение вызова");
    const QString timeout = kTimeout.mid(5);
    const QString refused =
        QStringLiteral("Ошибка: обмен со счетчиком уже идет, новый запрос отклонен");

    QTest::newRow("a whole session: escape after the guard time, ATH answered")
        << noDtr << "transport" << false
        << QStringList{"up", ending, escape, hangUp, closed, "down"}
        << QStringList{manual, timeout};
    QTest::newRow("PIN asked for and entered")
        << QStringList{"--modem-sim", "pin", "--modem-pin", "2468"} << "transport" << true
        << QStringList{"TX: AT+CPIN?\r", "TX: AT+CPIN=2468\r", "TX: AT+CREG=1\r", "up"}
        << QStringList{"Ошибка"};
    QTest::newRow("PIN option on, the SIM already unlocked")
        << QStringList{} << "transport" << true
        << QStringList{"TX: AT+CPIN?\r", "TX: AT+CREG=1\r", "up"}
        << QStringList{"TX: AT+CPIN=", "Ошибка"};
    QTest::newRow("registered 5 s after power-up")
        << QStringList{"--modem-register-ms", "5000"} << "transport" << false
        << QStringList{"TX: AT+CREG?\r", "Ожидание регистрации в сети",
                       "TX: AT+CREG?\r", "TX: AT+CREG?\r",
                       "TX: ATD",        "up"}
        << QStringList{"Ошибка"};
    QTest::newRow("echo off: CONNECT taken for a dial error, the call hung up")
        << QStringList{"--modem-echo", "off"} + noDtr << "transport" << false
        << QStringList{"Ошибка набора номера", ending, escape, hangUp, closed, "down"}
        << QStringList{"up", manual};
    QTest::newRow("no CONNECT in time: the dial aborted")
        << QStringList{"--modem-dial", "silent"} + noDtr << "transport" << false
        << QStringList{"Ожидание подтверждения",
                       timeout,
                       "Отмена набора номера",
                       "TX: AT\r",
                       closed,
                       "down"}
        << QStringList{"up", manual};
    QTest::newRow("replies paused in the middle, each taken whole")
        << QStringList{"--modem-pause", "300"} << "transport" << false << QStringList{"up"}
        << QStringList{"Ошибка"};
    QTest::newRow("the program quit while online; a console line in the guard time refused")
        << noDtr << "window" << false
        << QStringList{"Сессия открыта", ending, refused, escape, hangUp, closed, "Сессия закрыта"}
        << QStringList{manual, "TX: 01 01 3e"};
    QTest::newRow("meterjob over GSM")
        << noDtr << "job" << false
        << QStringList{"Сессия открыта", "RX: 01 01 20", ending,          escape,
                       hangUp,           closed,         "Сессия закрыта"}
        << QStringList{manual};
    QTest::newRow("meterjob stopped by SIGTERM while online")
        << QStringList{"--fault", "late:300@fn=07"} + noDtr << "job stopped" << false
        << QStringList{"Работа прервана сигналом 15",
                       ending,
                       escape,
                       hangUp,
                       closed,
                       "Сессия закрыта"}
        << QStringList{manual};
}

void TestCsd::strictModem()
{
    QFETCH(QStringList, args);
    QFETCH(QString, driver);
    QFETCH(bool, pinEnabled);
    QFETCH(QStringList, logged);
    QFETCH(QStringList, absent);

    QStringList log;
    // The window's session dialog lists the ports of its own working folder.
    std::unique_ptr<SessionRig> rig;
    MeterSimProcess *line = sim;
    if (driver == QLatin1String("transport")) {
        QVERIFY(startModem(args));
        modem->pinEnabled = pinEnabled;
        modem->pin = "2468";
        modem->connectMs = 300;
        QVERIFY(modem->open());
        QTRY_VERIFY_WITH_TIMEOUT(rec->events.contains("up") || rec->events.contains("down"),
                                 2 * kWait);
        if (rec->events.contains("up")) {
            roundTrip(hex("0800e1e1e1e1e1e1"), hex("0800"));
            roundTrip(hex("0104"), hex("0104"));
            if (QTest::currentTestFailed())
                return;
            // Each reply whole, however the modem paused in it.
            QCOMPARE(rec->packets.size(), 2);
            if (logged.contains(kEnding.mid(5))) {
                modem->close();
                QTRY_VERIFY_WITH_TIMEOUT(rec->events.contains("down"), kWait);
            }
        }
        checkColours(*rec);
        log = texts(rec->events);
        // A session left open ends as the program's end ends it: the port closes.
        delete codec;
        codec = nullptr;
        delete modem;
        modem = nullptr;
    } else {
        if (driver == QLatin1String("window")) {
            rig = std::make_unique<SessionRig>();
            line = &rig->line;
        }
        const QString dir = rig ? rig->work.path() : work->path();
        const QStringList base = {
            "--no-tcp",  "--modem", "--modem-link-com", QString::number(kPort),
            "--workdir", dir,       "--modem-dial-ms",  "50"};
        QVERIFY2(rig ? rig->startLine(base + args) : sim->start(base + args),
                 qPrintable(line->errorString()));
    }
    if (rig) {
        SysMonitorDialog &w = rig->window();
        SessionParameters p = SessionRig::defaults();
        p.connectionType = 1;
        p.portNumber = kPort;
        p.phoneNumber = "+79001234567";
        QVERIFY(rig->open(p));
        QTimer::singleShot(0, &w, [&] {
            w.close();
            rig->find<QLineEdit>("leCmdLine")->setText(QStringLiteral("01 3e"));
            QTest::mouseClick(rig->find<QPushButton>("pbSend"), Qt::LeftButton);
        });
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
        limit.start(30000);
        QCOMPARE(qApp->exec(), 0);
        for (const SessionRig::LogLine &l : rig->log())
            log << l.text;
    } else if (driver.startsWith(QLatin1String("job"))) {
        QProcess job;
        job.setWorkingDirectory(work->path());
        QStringList jobArgs{
            "--com", QString::number(kPort), "--gsm", "+79001234567", "--address", "1", "--info"};
        const bool stopped = driver == QLatin1String("job stopped");
        if (stopped)
            jobArgs << QStringLiteral("--archive");
        job.start(QStringLiteral(METERJOB_BIN), jobArgs);
        if (stopped) {
            QByteArray out;
            QTRY_VERIFY_WITH_TIMEOUT((out += job.readAllStandardOutput()).contains(";info;ok;"),
                                     2 * kWait);
            ::kill(pid_t(job.processId()), SIGTERM);
        }
        QVERIFY(job.waitForFinished(60000));
        QCOMPARE(job.exitCode(), stopped ? 128 + SIGTERM : 0);
        log = logFileLines(work->path());
    }
    QVERIFY2(inOrder(log, logged), qPrintable(log.join(QLatin1Char('\n'))));
    for (const QString &entry : log)
        for (const QString &no : absent)
            QVERIFY2(!entry.contains(no), qPrintable(entry));
    QTRY_COMPARE_WITH_TIMEOUT(line->ask(QStringLiteral("modem call")), QStringLiteral("call none"),
                              kWait);
}

void TestCsd::onlineReports_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QStringList>("lines"); // what follows "up"; "down" last if the call ends

    QTest::newRow("+CREG: 1,1 only logged")
        << "modem urc +CREG: 1,1" << QStringList{"log:\r\n+CREG: 1,1\r\n"};
    // The network gone, the call may still be up: it is hung up.
    QTest::newRow("+CREG: 0 ends the call") << "modem urc +CREG: 0"
                                            << QStringList{"log:\r\n+CREG: 0\r\n",
                                                           "log:Проблема связи модема с оператором",
                                                           kEnding,
                                                           "log:TX: +++",
                                                           "log:TX: ATH\r",
                                                           kClosed,
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
    const int up = int(withoutRx(*rec).size());
    QVERIFY2(sim->command(control), qPrintable(sim->errorString()));
    const auto after = [&] { return withoutRx(*rec).mid(up); };
    QTRY_COMPARE_WITH_TIMEOUT(after().size(), lines.size(), kWait);
    QCOMPARE(after(), lines);
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
    QTest::addColumn<QStringList>("controls");
    QTest::addColumn<QStringList>("lines"); // after "TX: +++"
    QTest::addColumn<QString>("call");      // the modem's call afterwards

    // "+++" after less than 10 s of silence is data: no OK. Closing the port drops DTR.
    QTest::newRow("no answer to +++")
        << QStringList{"modem guard-ms 10000"} << QStringList{kTimeout, kManual, kClosed, "down"}
        << "call none";
    QTest::newRow("ATH refused") << QStringList{"modem error ATH"}
                                 << QStringList{"log:TX: ATH\r", "log:Ошибка разрыва соединения",
                                                kManual, kClosed, "down"}
                                 << "call none";
    // The warning is no false alarm: a modem that ignores DTR keeps the call.
    QTest::newRow("ATH refused, DTR ignored")
        << QStringList{"modem error ATH", "modem dtr ignore"}
        << QStringList{"log:TX: ATH\r", "log:Ошибка разрыва соединения", kManual, kClosed, "down"}
        << "call command";
}

void TestCsd::closeFails()
{
    QFETCH(QStringList, controls);
    QFETCH(QStringList, lines);
    QFETCH(QString, call);
    connectModem();
    for (const QString &control : controls)
        QVERIFY2(sim->command(control), qPrintable(sim->errorString()));
    // Over the modem's second of guard time, and short.
    modem->answerMs = 1500;
    modem->close();
    QTRY_VERIFY_WITH_TIMEOUT(rec->events.contains("down"), kWait);
    const QStringList events = withoutRx(*rec);
    const int escape = int(events.indexOf("log:TX: +++"));
    QVERIFY(escape > 0);
    QCOMPARE(events.mid(escape + 1), lines);
    QCOMPARE(modem->modemState, 0);
    checkColours(*rec);
    QTRY_COMPARE_WITH_TIMEOUT(sim->ask(QStringLiteral("modem call")), call, kWait);
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

// Every other case shortens the timers; the ones a user gets are seen once here, running.
void TestCsd::defaultTimers()
{
    QVERIFY(startModem({"--modem-dial", "silent"}));
    QVERIFY(modem->open());
    QVERIFY(modem->answerTimer.isActive());
    QCOMPARE(modem->answerTimer.interval(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(
        rec->events.contains("log:Ожидание подтверждения установки соединения (до 80 сек)"), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(modem->answerTimer.interval() == 80000, kWait);
    QVERIFY(modem->answerTimer.isActive());
    QVERIFY(modem->answerTimer.remainingTime() > 70000);
    modem->close();
    QTRY_VERIFY_WITH_TIMEOUT(rec->events.contains("down"), kWait);
}

QTEST_MAIN(TestCsd)
#include "tst_csd.moc"
