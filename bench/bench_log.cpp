// How the log view copes with a long day: 100 000 lines logged the way an exchange logs them,
// the event loop running between lines as it does on the wire; the pace of the last lines
// against the first, the save at exit, the memory it takes. And how long the program takes to
// show its session dialog.
//
//   bench_log [lines]
#include "support/workdir.h"

#include "link/logcolours.h"
#include "mainwindow/sysmonitordialog.h"
#include "session/authdialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace {
long peakKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}
} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer start;
    start.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::max(20000, atoi(argv[1])) : 100000;
    const int tenth = lines / 10;

    WorkDir work;
    SysMonitorDialog w(false);
    w.show();
    if (!QTest::qWaitFor([&] { return w.authDialog()->isVisible(); }, 10000))
        return 1;
    const double startUp = start.nsecsElapsed() / 1e6;
    w.authDialog()->hide();

    const QString tx = QStringLiteral("TX: 01 01 3e 80 50 ");
    const QString rx = QStringLiteral("RX: 01 01 3e 02 37 5e 41 e9 ");
    // Lines logged as an exchange logs them, the event loop running between exchanges; a slice
    // is done when its lines are drawn.
    const auto slice = [&](int n) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < n; i += 2) {
            w.log(tx, logcolour::info, true, false);
            w.log(rx, logcolour::received, true, false);
            QCoreApplication::processEvents();
        }
        w.flushLog();
        QCoreApplication::processEvents();
        return t.nsecsElapsed() / 1e6;
    };
    const double first = slice(tenth);
    for (int done = tenth; done < lines - tenth; done += tenth)
        slice(tenth);
    const double last = slice(tenth);
    QElapsedTimer t;
    t.start();
    w.saveLogFile();
    const double save = t.nsecsElapsed() / 1e6;

    std::printf("start-up to the session dialog: %.0f ms (target <= 500)\n", startUp);
    std::printf("%d log lines: first %d in %.0f ms, last %d in %.0f ms: ratio %.2f "
                "(target <= 1.5)\n",
                lines, tenth, first, tenth, last, last / first);
    std::printf("log saved in %.0f ms (target <= 2000); peak memory %.0f MB (target <= 300)\n",
                save, peakKiB() / 1024.0);
    return 0;
}
