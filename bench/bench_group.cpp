// Group work on a full factory stand, measured against what the line itself needs: 24 positions
// behind the virtual switching block, the line paced at 9600 baud both ways, "Открыть отмеченные"
// and then "Записать время на все" over every position. What the line needs is the wire time of
// each request and each reply, the 20 ms quiet gap that ends a reply, and the 20 ms the relays
// settle before a frame is heard.
//
//   bench_group [rounds]
#include "support/sessionrig.h"

#include "config/controlpaneldialog.h"
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kPositions = 24;
constexpr double kByteMs = 11 * 1000.0 / 9600; // 8N2 at 9600 baud
constexpr double kGapMs = 20;                  // end of a reply packet
constexpr double kSettleMs = 20;               // the stand's relays

void fail(const char *what)
{
    std::fprintf(stderr, "bench_group: %s\n", what);
    std::exit(1);
}

// Bytes of the "TX: " or "RX: " lines logged from `from` on.
struct Traffic
{
    int frames = 0;
    int bytes = 0;
};
Traffic traffic(const QList<SessionRig::LogLine> &log, qsizetype from, const char *prefix)
{
    Traffic t;
    for (qsizetype i = from; i < log.size(); ++i) {
        if (!log[i].text.startsWith(QLatin1String(prefix)))
            continue;
        ++t.frames;
        // "TX: ff 08 ..." with an optional remark after the bytes.
        for (const QString &piece : log[i].text.mid(4).split(QLatin1Char(' ')))
            if (piece.size() == 2)
                ++t.bytes;
            else
                break;
    }
    return t;
}

// Runs one group operation and returns its milliseconds, from the start to the status grid.
double timed(ControlPanelDialog *config, const std::function<void()> &start)
{
    QEventLoop loop;
    QString grid;
    const auto c =
        QObject::connect(config, &ControlPanelDialog::html_line, &loop, [&](const QString &html) {
            grid = html;
            loop.quit();
        });
    QElapsedTimer t;
    t.start();
    start();
    loop.exec();
    const double ms = t.nsecsElapsed() / 1e6;
    QObject::disconnect(c);
    if (grid.count(QStringLiteral(">OK<")) != kPositions)
        fail("a meter did not end OK");
    return ms;
}

// Prints one round's figure and returns its ratio to what the line needs.
double report(const char *what, double ms, const QList<SessionRig::LogLine> &log, qsizetype from)
{
    const Traffic tx = traffic(log, from, "TX: ");
    const Traffic rx = traffic(log, from, "RX: ");
    const double wire = (tx.bytes + rx.bytes) * kByteMs;
    const double line = wire + rx.frames * kGapMs + tx.frames * kSettleMs;
    std::printf("stand, %s, %d positions: %.0f ms; the line needs %.0f ms (%d requests "
                "and %d replies, %d bytes at 9600 baud %.0f ms, gaps %.0f ms, relay settling "
                "%.0f ms): ratio %.3f%s\n",
                what, kPositions, ms, line, tx.frames, rx.frames, tx.bytes + rx.bytes, wire,
                rx.frames * kGapMs, tx.frames * kSettleMs, ms / line,
                ms < line ? " BELOW THE LINE'S TIME: a measuring error" : "");
    return ms / line;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 1;

    QList<double> openRatios, timeRatios;
    for (int round = 0; round < rounds; ++round) {
        SessionRig rig;
        if (!rig.startLine({"--no-tcp", "--stand", "--pace", "9600"}))
            fail(qPrintable(rig.line.errorString()));
        SessionParameters p = SessionRig::defaults();
        p.connectionType = 2;
        p.portNumber = 2;
        p.accessLevel = 1;
        p.standIp = rig.line.standAddress();
        if (!rig.open(p))
            fail("no stand session");
        ControlPanelDialog *config = rig.window().configurator();
        QList<int> answers{1, kPositions};
        config->askInt = [&answers](const QString &, const QString &, int, int, int) {
            return std::optional<int>(answers.takeFirst());
        };
        config->addGroupClick();
        if (config->meterList()->count() != kPositions)
            fail("the stand's positions were not listed");
        config->mnCheckAllClick();
        // A chosen meter, switched in, so that the page's buttons work.
        QTest::mouseClick(config->meterList()->itemAt(0), Qt::LeftButton);
        auto *saveAll = config->findChild<QAbstractButton *>(QStringLiteral("pbSaveTimeAll"));
        if (!QTest::qWaitFor([saveAll] { return saveAll->isEnabled(); }, 10000))
            fail("the time write stays locked");

        qsizetype from = rig.log().size();
        const double open = timed(config, [config] { config->mnOpenAll(); });
        openRatios << report("open all", open, rig.log(), from);

        if (!QTest::qWaitFor([saveAll] { return saveAll->isEnabled(); }, 10000))
            fail("the time write stays locked");
        from = rig.log().size();
        const double time = timed(config, [saveAll] { saveAll->click(); });
        timeRatios << report("write time", time, rig.log(), from);
    }
    // The best round is what the program costs; other work on the machine only adds to it.
    std::printf("[speed] 24-position stand against the line's full time (requests, replies, "
                "gaps, relay settling), best of %d: open all %.3f, write time %.3f (target <= "
                "1.05, never below 1)\n",
                rounds, *std::min_element(openRatios.begin(), openRatios.end()),
                *std::min_element(timeRatios.begin(), timeRatios.end()));
    return 0;
}
