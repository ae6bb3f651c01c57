// The real main window under faults of the line: hundreds of batches against a meter that drops,
// corrupts, splits, delays, echoes and refuses on purpose, each ending as its fault calls for; and
// the line going away in the middle of a batch, after which the session ends, the log is kept and
// the program stays quiet. METER_SOAK_ROUNDS sets the number of passes over the fault table
// (scripts/soak.sh runs many).
#include "support/sessionrig.h"

#include "config/controlpaneldialog.h"
#include "core/logline.h"
#include "mainwindow/sysmonitordialog.h"
#include "meters/devicelistitem.h"

#include <QDate>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QtTest>

#include <sys/resource.h>

namespace {
const QString kOpen = QStringLiteral("08 00 e1 e1 e1 e1 e1 e1");

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long residentKiB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return f.readAll().split(' ').value(1).toLong() * 4;
}

// Runs the event loop for `ms` undisturbed.
void idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Fault
{
    const char *plan; // metersim fault, "" for none
    int status;
    const char *last; // the batch's last line
};

// What each fault of the line does to a batch of the session opening, "01 20" and "01 21".
const Fault kFaults[] = {
    {"", 0, "Успешно завершено"},
    {"crc@obj=21,count=2", 0, "Успешно завершено"},
    {"crc@obj=21,count=3", 2, "Загрузка прекращена из-за ошибок CRC"},
    {"echo@obj=00,count=2", 0, "Успешно завершено"},
    {"echo@obj=00,count=3", 2, "Загрузка прекращена из-за ошибки эха"},
    {"reply:012100@obj=20,count=1", 0, "Успешно завершено"},
    {"reply:012100@obj=20,count=3", 2, "Загрузка прекращена из-за приема некорректных данных"},
    {"split:5@obj=20", 0, "Успешно завершено"},
    {"late:300@obj=21", 0, "Успешно завершено"},
    {"error:13@obj=20", 2, "Ошибка: неверный пароль"},
    {"error:6@obj=21", 2, "Ошибка: устройство занято"},
};
} // namespace

class TestFaults : public QObject
{
    Q_OBJECT
private slots:
    void soak_data();
    void soak();
    void lineGone_data();
    void lineGone();
};

void TestFaults::soak_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::newRow("TCP-IP") << true;
    QTest::newRow("pseudo-terminal") << false;
}

void TestFaults::soak()
{
    QFETCH(bool, tcp);
    const int rounds = qEnvironmentVariableIsSet("METER_SOAK_ROUNDS")
                           ? qMax(1, qEnvironmentVariableIntValue("METER_SOAK_ROUNDS"))
                           : 15;
    SessionRig rig;
    QVERIFY(rig.startLine(tcp ? QStringList() : QStringList{"--no-tcp", "--pty"}));
    QVERIFY(tcp ? rig.openTcp() : rig.openPty());
    SysMonitorDialog &w = rig.window();
    deviceListItem *meter = rig.addMeter(1);
    const QStringList batch{kOpen, QStringLiteral("01 20"), QStringLiteral("01 21")};
    const long startKiB = residentKiB();
    long warmKiB = 0;
    int batches = 0;
    for (int round = 0; round < rounds; ++round) {
        if (round == 1)
            warmKiB = residentKiB();
        for (const Fault &fault : kFaults) {
            QVERIFY(rig.line.command(QStringLiteral("faults off")));
            if (*fault.plan)
                QVERIFY2(rig.line.command(QStringLiteral("fault ") + QLatin1String(fault.plan)),
                         fault.plan);
            const int before = int(rig.outcomes.size());
            QVERIFY(w.load_from_device(meter, 7, batch, 0));
            QTRY_VERIFY2_WITH_TIMEOUT(rig.outcomes.size() > before, fault.plan, 30000);
            QCOMPARE(rig.outcomes.size(), before + 1);
            QVERIFY2(rig.outcomes.last().status == fault.status, fault.plan);
            const QList<SessionRig::LogLine> log = rig.log();
            QVERIFY2(
                log.last().text == QString::fromUtf8(fault.last),
                qPrintable(QLatin1String(fault.plan) + QStringLiteral(": ") + log.last().text));
            QVERIFY(!w.exchangeBusy());
            ++batches;
        }
        // The view holds a long day; the test's own copy of it need not.
        rig.outcomes.clear();
    }
    const long endKiB = residentKiB();
    qInfo("%d batches; resident %ld KiB at the start, %ld after the first pass, %ld at the end",
          batches, startKiB, warmKiB, endKiB);
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer holds freed blocks in quarantine (up to 256 MB), so resident size says
    // nothing there; its leak check at exit stands in.
    Q_UNUSED(warmKiB);
#else
    // Flat: the log view grows with its lines, nothing else may.
    QVERIFY2(endKiB - warmKiB < 64 * 1024, qPrintable(QString::number(endKiB - warmKiB)));
#endif
}

void TestFaults::lineGone_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("lastLine"); // logged when the line goes
    QTest::newRow("pseudo-terminal closed") << 0 << "Сессия закрыта";
    QTest::newRow("TCP-IP peer gone") << 3 << "Сессия закрыта";
    QTest::newRow("stand gone") << 2 << "Соединение со стендом разорвано";
}

// The line goes away under a batch: the session ends with its lines, the program then stays
// quiet, and its log is kept at exit.
void TestFaults::lineGone()
{
    QFETCH(int, channel);
    QFETCH(QString, lastLine);
    {
        SessionRig rig;
        // The meter answers late, so the batch is under way when the line goes.
        QStringList args{"--fault", "late:2000"};
        if (channel == 0)
            args << "--no-tcp"
                 << "--pty";
        if (channel == 2)
            args << "--no-tcp"
                 << "--stand";
        if (!rig.startLine(args) && rig.line.permissionDenied())
            QSKIP("the stand's port 502 needs root");
        SessionParameters p = SessionRig::defaults();
        p.connectionType = channel;
        p.portNumber = channel == 2 ? 2 : 1;
        p.ethernetIp = rig.line.tcpHost();
        p.ethernetPort = rig.line.tcpPort();
        p.standIp = rig.line.standAddress();
        QVERIFY(rig.open(p));
        deviceListItem *meter = rig.addMeter(channel == 2 ? 255 : 1);
        QVERIFY(rig.window().load_from_device(meter, 7, {kOpen, QStringLiteral("01 21")}, 0));
        // Under way: the session-open request is on the wire.
        const QString address = channel == 2 ? QStringLiteral("ff") : QStringLiteral("01");
        QTRY_VERIFY_WITH_TIMEOUT(!rig.lines("TX: " + address + " 08 00 ").isEmpty(), 10000);

        rig.line.stop();
        QVERIFY(rig.waitLine(lastLine));
        QVERIFY(rig.hasLine(QStringLiteral("Сессия закрыта"), QColor(40, 170, 70)));
        QVERIFY(!rig.window().exchangeBusy());
        QVERIFY(rig.window().authDialog());

        // Nothing spins once the line is gone.
        const double cpu0 = cpuSeconds();
        idle(5000);
        const double cpu = cpuSeconds() - cpu0;
        qInfo("CPU over 5 s after the line went: %.3f s", cpu);
        QVERIFY2(cpu < 0.25, qPrintable(QString::number(cpu)));
        QVERIFY(rig.outcomes.isEmpty());

        rig.closeWindow();
        QFile log(
            rig.work.filePath(QStringLiteral("log/") + logline::fileName(QDate::currentDate())));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(log.readAll()).contains(lastLine));
    }
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
