// Many TCP lines at once, measured against one line: metersim serves N gateways, each with M
// meters on a line paced at 9600 baud (the wire time a real gateway's serial side needs), and one
// meterjob reads every meter's energies over all N lines at once (--lines). If the lines truly
// run side by side, N lines take about as long as one; one line after another would take N
// times as long. The CPU time of meterjob and of metersim shows what stops the growth.
//
//   bench_lines [meters] [lines ...]      (default: 8 meters, 1 8 64 256 lines)
#include "support/metersimprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

void fail(const QString &what)
{
    std::fprintf(stderr, "bench_lines: %s\n", qPrintable(what));
    std::exit(1);
}

double seconds(const timeval &t)
{
    return double(t.tv_sec) + t.tv_usec / 1e6;
}

// User and system time of a running process, from /proc; -1 when it cannot be read.
double processCpu(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // The command name is in parentheses and may hold spaces: count the fields after it.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    // utime and stime are fields 14 and 15 of the line, 12 and 13 after the name.
    return (fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

struct Run
{
    double wall = 0;        // s, meterjob's start to its end
    double jobCpu = 0;      // s, meterjob's user + system time
    double simCpu = 0;      // s, metersim's in the same time
    int status = -1;        // meterjob's exit status
    int ok = 0, failed = 0; // records
};

// Runs meterjob with `args`, its records into `out` and its messages into `err`.
Run runJob(const QStringList &args, const QString &out, const QString &err, qint64 simPid)
{
    QList<QByteArray> owned{QByteArray(METERJOB_BIN)};
    for (const QString &a : args)
        owned << a.toLocal8Bit();
    std::vector<char *> argv;
    for (QByteArray &a : owned)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, QFile::encodeName(out).constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, QFile::encodeName(err).constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    Run run;
    const double simBefore = processCpu(simPid);
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) != 0)
        fail(QStringLiteral("cannot start %1").arg(QLatin1String(METERJOB_BIN)));
    posix_spawn_file_actions_destroy(&files);
    int status = 0;
    rusage usage{};
    // wait4 gives this child's own times, which getrusage(RUSAGE_CHILDREN) would sum.
    if (wait4(pid, &status, 0, &usage) != pid)
        fail(QStringLiteral("lost meterjob"));
    run.wall = clock.nsecsElapsed() / 1e9;
    run.simCpu = processCpu(simPid) - simBefore;
    run.jobCpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);

    QFile records(out);
    if (records.open(QIODevice::ReadOnly))
        for (const QByteArray &line : records.readAll().split('\n')) {
            if (line.contains("\"status\":\"ok\""))
                ++run.ok;
            else if (line.contains("\"status\":"))
                ++run.failed;
        }
    return run;
}

Run measure(int lines, int meters, const QTemporaryDir &work)
{
    QStringList simArgs{"--tcp",  "127.0.0.1:0", "--tcp-lines", QString::number(lines),
                        "--pace", "9600"};
    // Single- and three-phase meters in turn, as a line of flats and a substation mix them.
    for (int a = 1; a <= meters; ++a)
        simArgs << "--meter"
                << QStringLiteral("%1,addr=%2").arg(a % 2 ? "210.1" : "450.22R").arg(a);
    MeterSimProcess sim;
    if (!sim.start(simArgs, 60000))
        fail(sim.errorString());
    if (sim.tcpPorts().size() != lines)
        fail(QStringLiteral("metersim announced %1 lines, not %2")
                 .arg(sim.tcpPorts().size())
                 .arg(lines));

    const QString linesFile = work.filePath(QStringLiteral("bench-%1.lines").arg(lines));
    QFile file(linesFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail(QStringLiteral("cannot write %1").arg(linesFile));
    for (const quint16 port : sim.tcpPorts())
        file.write(QStringLiteral("tcp %1:%2 --address 1-%3\n")
                       .arg(sim.tcpHost())
                       .arg(port)
                       .arg(meters)
                       .toUtf8());
    file.close();

    const Run run =
        runJob({"--lines", linesFile, "--energy", "--format", "json", "--no-log"},
               work.filePath(QStringLiteral("records-%1.jsonl").arg(lines)),
               work.filePath(QStringLiteral("messages-%1.txt").arg(lines)), sim.processId());
    if (run.ok + run.failed != lines * meters)
        fail(QStringLiteral("%1 lines: %2 records for %3 meters (status %4); see %5")
                 .arg(lines)
                 .arg(run.ok + run.failed)
                 .arg(lines * meters)
                 .arg(run.status)
                 .arg(work.filePath(QStringLiteral("messages-%1.txt").arg(lines))));
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int meters = argc > 1 ? std::max(1, atoi(argv[1])) : 8;
    QList<int> counts;
    for (int i = 2; i < argc; ++i)
        counts << std::max(1, atoi(argv[i]));
    if (counts.isEmpty())
        counts = {1, 8, 64, 256};
    if (!counts.contains(1))
        counts.prepend(1);
    std::sort(counts.begin(), counts.end());

    QTemporaryDir work;
    if (!work.isValid())
        fail(QStringLiteral("no temporary folder"));
    const int cores = QThread::idealThreadCount();
    double one = 0;
    QStringList ratios;
    for (const int n : counts) {
        const Run r = measure(n, meters, work);
        if (n == 1)
            one = r.wall;
        const double ratio = r.wall / one;
        // Share of the whole machine: the two processes' CPU over wall time and cores.
        const double busy = (r.jobCpu + r.simCpu) / (r.wall * cores);
        std::printf("%3d TCP lines x %d meters at 9600 baud, energies: %.2f s (one line after "
                    "another: %.2f s), %.3f x one line, %.0f meters/s; meterjob %.2f s CPU (%.0f "
                    "%% of a core), "
                    "metersim %.2f s (%.0f %%), machine %.0f %% busy of %d cores; %d records "
                    "ok, %d failed, status %d\n",
                    n, meters, r.wall, one * n, ratio, n * meters / r.wall, r.jobCpu,
                    100 * r.jobCpu / r.wall, r.simCpu, 100 * r.simCpu / r.wall, 100 * busy, cores,
                    r.ok, r.failed, r.status);
        std::fflush(stdout);
        if (n > 1)
            ratios << QStringLiteral("%1 lines %2").arg(n).arg(ratio, 0, 'f', 2);
    }
    std::printf("[speed] TCP lines at 9600 baud, %d meters each, energies, all at once against "
                "one line's %.2f s: %s (target <= 1.2)\n",
                meters, one, qPrintable(ratios.join(QStringLiteral(", "))));
    return 0;
}
