// How fast the program talks to meters, measured side by side with what the wire allows:
//   - a long batch over TCP loopback against a minimal blocking request/reply loop sending the
//     same frames to the same virtual meters;
//   - a short batch over a pseudo-terminal whose meter takes requests and sends replies at the
//     wire time of 9600 baud, against the wire time of both and the end-of-packet gaps;
//   - what an open session costs while nothing is sent.
//
//   bench_exchange [tcp commands] [serial commands] [idle seconds]
#include "support/metersimprocess.h"
#include "support/ptypair.h"
#include "support/workdir.h"

#include "config/controlpaneldialog.h"
#include "core/passwordtext.h"
#include "core/sessionparameters.h"
#include "core/wireframe.h"
#include "mainwindow/sysmonitordialog.h"
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"
#include "session/authdialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

const QString kProbe = QStringLiteral("01 3e");

void fail(const char *what)
{
    std::fprintf(stderr, "bench_exchange: %s\n", what);
    std::exit(1);
}

// The real main window, working in `dir`, with a session open as a user opens it.
struct Session
{
    Session(const QString &dir, const SessionParameters &p)
    {
        mapRemainingPortsAway(dir);
        window = std::make_unique<SysMonitorDialog>(false);
        window->show();
        if (!QTest::qWaitFor([&] { return window->authDialog()->isVisible(); }, 10000))
            fail("no session dialog");
        window->authDialog()->setParams(p);
        QTest::mouseClick(window->authDialog()->findChild<QPushButton *>("pbConnect"),
                          Qt::LeftButton);
        if (!QTest::qWaitFor([&] { return window->configurator()->isVisible(); }, 15000))
            fail("no session");
        DeviceRecord r;
        r.address = 1;
        deviceList *list = window->configurator()->meterList();
        list->addItem(r);
        meter = list->itemAt(0);
        QObject::connect(window.get(), &SysMonitorDialog::loadComplate, window.get(),
                         [this](int, const QList<QByteArray> &, int status) {
                             ok = status == 0;
                             loop.quit();
                         });
    }
    // Milliseconds from the start of a batch of `n` probes to its report. The event loop runs
    // undisturbed meanwhile (a polling wait would add its own sleeps to every exchange).
    double batch(int n)
    {
        ok = false;
        QElapsedTimer t;
        t.start();
        if (!window->load_from_device(meter, 12, QStringList(n, kProbe), 0))
            fail("batch refused");
        loop.exec();
        if (!ok)
            fail("batch failed");
        return t.nsecsElapsed() / 1e6;
    }

    std::unique_ptr<SysMonitorDialog> window;
    deviceListItem *meter = nullptr;
    QEventLoop loop;
    bool ok = false;
};

SessionParameters defaults()
{
    SessionParameters p;
    for (int level = 0; level < SessionParameters::kLevels; ++level)
        p.passwords[size_t(level)] = passwordtext::factoryDefault(level);
    p.portNumber = 1;
    return p;
}

// The least a program can do: write a frame, block until its whole reply is in, repeat.
double rawLoop(const QString &host, quint16 port, int n)
{
    QTcpSocket s;
    s.connectToHost(host, port);
    if (!s.waitForConnected(5000))
        fail("raw loop: no connection");
    const QByteArray frame = wireframe::make(1, 1, QByteArray::fromHex("013e"));
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < n; ++i) {
        s.write(frame);
        QByteArray reply;
        // Address, function, object, length N, N data bytes, two CRC bytes.
        while (reply.size() < 4 || reply.size() < 4 + quint8(reply[3]) + 2) {
            if (!s.waitForReadyRead(5000))
                fail("raw loop: no reply");
            reply += s.readAll();
        }
    }
    return t.nsecsElapsed() / 1e6;
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Times the program gave up the processor of its own accord: each is a wake-up that follows.
long wakeUps()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_nvcsw;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int tcpCommands = argc > 1 ? std::max(10, atoi(argv[1])) : 1000;
    const int serialCommands = argc > 2 ? std::max(1, atoi(argv[2])) : 20;
    const int idleSeconds = argc > 3 ? std::max(1, atoi(argv[3])) : 30;

    {
        WorkDir work;
        MeterSimProcess line;
        if (!line.start({"--meter", "210.1,addr=1"}))
            fail(qPrintable(line.errorString()));
        SessionParameters p = defaults();
        p.connectionType = Channel::TcpIp;
        p.ethernetIp = line.tcpHost();
        p.ethernetPort = line.tcpPort();
        Session session(work.path(), p);
        QList<double> engine, raw;
        for (int round = 0; round < 5; ++round) {
            engine << session.batch(tcpCommands);
            raw << rawLoop(line.tcpHost(), line.tcpPort(), tcpCommands);
        }
        // The best of each side is what the code costs; other work on the machine only adds to
        // it, and unevenly, so the medians are shown beside.
        const double e = *std::min_element(engine.begin(), engine.end());
        const double r = *std::min_element(raw.begin(), raw.end());
        std::printf("[speed] TCP loopback, %d commands: engine %.1f ms (%.3f ms/exchange), raw "
                    "loop %.1f ms "
                    "(%.3f ms/exchange): ratio %.2f (target <= 1.3; medians %.2f)\n",
                    tcpCommands, e, e / tcpCommands, r, r / tcpCommands, e / r,
                    median(engine) / median(raw));

        // Idle: the session stays open and nothing is sent.
        const double cpu0 = cpuSeconds();
        const long wake0 = wakeUps();
        QElapsedTimer t;
        t.start();
        QEventLoop idle;
        QTimer::singleShot(idleSeconds * 1000, &idle, &QEventLoop::quit);
        idle.exec();
        const double wall = t.nsecsElapsed() / 1e9;
        const double cpu = cpuSeconds() - cpu0;
        std::printf("idle session, %.0f s: CPU %.3f s = %.3f %% of a core, %.1f wake-ups/s "
                    "(target < 0.2 %%)\n",
                    wall, cpu, 100 * cpu / wall, double(wakeUps() - wake0) / wall);
    }
    {
        // The line's pty is COM1 of the working folder.
        WorkDir work;
        MeterSimProcess line;
        if (!line.start({"--no-tcp", "--pty", "--link-com", "1", "--workdir", work.path(), "--pace",
                         "9600", "--meter", "210.1,addr=1"}))
            fail(qPrintable(line.errorString()));
        SessionParameters p = defaults();
        p.connectionType = Channel::Serial;
        Session session(work.path(), p);
        QList<double> measured;
        for (int round = 0; round < 3; ++round)
            measured << session.batch(serialCommands);
        // Request 5 bytes, reply 8 bytes (01 3e with two data bytes), 11 bits each at 9600 baud,
        // and the 20 ms quiet gap that ends each reply: the line carries nothing faster, so a
        // ratio below 1 means the measurement (or the virtual line) is wrong.
        const double limit = serialCommands * ((5 + 8) * 11 * 1000.0 / 9600 + 20);
        const double m = median(measured);
        std::printf("[speed] serial at 9600 baud, %d commands: %.1f ms against the wire limit "
                    "(request + reply + 20 ms gap) of %.1f ms: ratio %.3f (target <= 1.05, "
                    "never below 1)%s\n",
                    serialCommands, m, limit, m / limit,
                    m < limit ? " BELOW THE WIRE LIMIT: a measuring error" : "");
    }
    return 0;
}
