// How long the meter list takes with a whole stand shift's serial-number file (3000 meters):
// adding, re-sorting, selecting, refreshing and clearing, with the list on screen.
//
//   bench_devicelist [meters] [rounds]
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {
QByteArray serial(int i)
{
    return QByteArray::number(1000000 + i).rightJustified(15, '0');
}

// Records as the serial-number file gives them: address 255, one serial number per line.
QList<DeviceRecord> fromFile(int n)
{
    QList<DeviceRecord> out;
    for (int i = 0; i < n; ++i) {
        DeviceRecord r;
        r.serialNumber = serial(i);
        out << r;
    }
    return out;
}

// The worst order for a sorted list: random addresses, so most rows land in the middle.
QList<DeviceRecord> shuffledAddresses(int n)
{
    QRandomGenerator rng(2024);
    QList<DeviceRecord> out;
    for (int i = 0; i < n; ++i) {
        DeviceRecord r;
        r.address = int(rng.bounded(1, 256));
        r.serialNumber = serial(i);
        out << r;
    }
    return out;
}

double timed(const std::function<void()> &step)
{
    QElapsedTimer t;
    t.start();
    step();
    // Include the repaint the user waits for.
    QCoreApplication::processEvents();
    return t.nsecsElapsed() / 1e6;
}

struct Figures
{
    QList<double> ms;
    void print(const char *what, int n) const
    {
        QList<double> s = ms;
        std::sort(s.begin(), s.end());
        std::printf("%-44s median %8.1f ms  (min %.1f, max %.1f)  %.1f us/meter\n", what,
                    s[s.size() / 2], s.first(), s.last(), 1000.0 * s[s.size() / 2] / n);
    }
};
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::max(1, atoi(argv[1])) : 3000;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;

    Figures addFile, addShuffled, resort, select, sessions, tickAll, clear;
    for (int round = 0; round < rounds; ++round) {
        deviceList list;
        list.resize(260, 480);
        list.show();
        if (!QTest::qWaitForWindowExposed(&list))
            std::fprintf(stderr, "list window not exposed\n");

        const QList<DeviceRecord> file = fromFile(n);
        addFile.ms << timed([&] {
            for (const DeviceRecord &r : file)
                list.addItem(r);
        });
        if (list.count() != n)
            std::fprintf(stderr, "file: %d of %d added\n", list.count(), n);

        // Addresses read back from the meters change every record; one relayout re-sorts.
        for (int i = 0; i < list.count(); ++i)
            list.itemAt(i)->record().address = 255 - i % 255;
        resort.ms << timed([&] { list.relayout(); });

        select.ms << timed([&] {
            for (int i = 0; i < 50; ++i)
                QTest::mouseClick(list.itemAt((i * 61) % list.count()), Qt::LeftButton);
        });
        sessions.ms << timed([&] {
            for (int i = 0; i < list.count(); ++i)
                list.itemAt(i)->record().sessionOpen = true;
            list.closeAllSessions();
        });
        tickAll.ms << timed([&] { list.setAllTicked(true); });
        clear.ms << timed([&] {
            list.clearList();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        });

        const QList<DeviceRecord> shuffled = shuffledAddresses(n);
        addShuffled.ms << timed([&] {
            for (const DeviceRecord &r : shuffled)
                list.addItem(r);
        });
    }

    std::printf("%d meters, %d rounds, platform %s\n", n, rounds,
                qPrintable(QGuiApplication::platformName()));
    addFile.print("add, serial-number file order", n);
    addShuffled.print("add, random addresses", n);
    {
        QList<double> v = addShuffled.ms;
        std::sort(v.begin(), v.end());
        std::printf("[speed] %d meters added in random address order, sorted: median %.0f ms "
                    "(target <= 300)\n",
                    n, v[v.size() / 2]);
    }
    resort.print("relayout after every address changed", n);
    select.print("50 row selections", n);
    sessions.print("open all, closeAllSessions", n);
    tickAll.print("setAllTicked", n);
    clear.print("clearList, rows deleted", n);
    return 0;
}
