// meterjob over many lines at once (--line, --lines, --parallel), run as a user runs it: real
// metersim lines and a gateway that never answers, records read from standard output.
#include "support/jobprocess.h"
#include "support/logfile.h"
#include "support/metersimprocess.h"
#include "support/ptypair.h"
#include "support/silentpeer.h"

#include "core/linesfile.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QtTest>

#include <csignal>

namespace {

QStringList outLines(const QByteArray &out)
{
    return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The line of each record, in output order: CSV's first column, JSON's "line".
QStringList lineOfEach(const QByteArray &out, bool json)
{
    QStringList got;
    for (const QString &l : outLines(out)) {
        if (json)
            got << QJsonDocument::fromJson(l.toUtf8()).object().value("line").toString("(none)");
        else if (!l.contains(QLatin1String(";address;serial;")))
            got << l.section(';', 0, 0);
    }
    return got;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The log file's lines under each line's heading.
QHash<QString, QStringList> logSections(const QString &dir)
{
    QHash<QString, QStringList> sections;
    QString current;
    for (const QString &l : logFileLines(dir)) {
        if (l.startsWith(QStringLiteral("Линия ")))
            current = l.mid(6);
        else if (!current.isEmpty())
            sections[current] << l;
    }
    return sections;
}

} // namespace

class TestJobLines : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void words_data();
    void words();
    void refused_data();
    void refused();
    void threeLines_data();
    void threeLines();
    void store();
    void noChannel_data();
    void noChannel();
    void progress();
    void oneChannel();
    void stop_data();
    void stop();

private:
    QString tcp(const MeterSimProcess &sim) const
    {
        return QStringLiteral("tcp 127.0.0.1:%1").arg(sim.tcpPort());
    }

    QTemporaryDir m_dir;
    MeterSimProcess m_a;
    MeterSimProcess m_b;
    SilentPeer m_silent;
};

void TestJobLines::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Every reply a little late: a line takes long enough for lines at once to overlap. A meter
    // at address 4 that is always busy.
    for (MeterSimProcess *sim : {&m_a, &m_b})
        QVERIFY2(sim->start({"--meter", "210.1,addr=1", "--meter", "210.1,addr=2", "--meter",
                             "210.1,addr=3", "--meter", "210.1,addr=4", "--fault", "error:6@addr=4",
                             "--fault", "late:60"}),
                 qPrintable(sim->errorString()));
    QVERIFY(m_silent.start());
}

void TestJobLines::words_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<QStringList>>("words");
    QTest::addColumn<QList<int>>("numbers");
    // 0: the file is read; else the line refused.
    QTest::addColumn<int>("badLine");
    QTest::addColumn<QString>("why");
    using W = QList<QStringList>;
    QTest::newRow("a line, a comment, blanks")
        << QByteArray("# gateways\n\n  tcp 10.0.0.5:14001 --address 1-8\n \t\n  # off\n")
        << W{{"tcp", "10.0.0.5:14001", "--address", "1-8"}} << QList<int>{3} << 0 << QString();
    QTest::newRow("Windows ends, tabs, no final end")
        << QByteArray("com 3\t--address 1,2\r\ncom 4 --gsm +79001234567 --address 2")
        << W{{"com", "3", "--address", "1,2"},
             {"com", "4", "--gsm", "+79001234567", "--address", "2"}}
        << QList<int>{1, 2} << 0 << QString();
    QTest::newRow("quotes as a shell takes them")
        << QByteArray("com 1 --list 'my meters.txt' --list \"a \\\"b\\\" \\\\c\" d\\ e '' x#y")
        << W{{"com", "1", "--list", "my meters.txt", "--list", "a \"b\" \\c", "d e", "", "x#y"}}
        << QList<int>{1} << 0 << QString();
    QTest::newRow("quotes join a word, a backslash in single quotes stays")
        << QByteArray("a'b c'\"d\"e 'x\\y' \"p\\q\"") << W{{"ab cde", "x\\y", "p\\q"}}
        << QList<int>{1} << 0 << QString();
    QTest::newRow("UTF-8 text") << QByteArray("com 1 --list 'счётчики.txt'")
                                << W{{"com", "1", "--list", "счётчики.txt"}} << QList<int>{1} << 0
                                << QString();
    QTest::newRow("unclosed single quote") << QByteArray("tcp h --address 1\ntcp 'h --address 1\n")
                                           << W{} << QList<int>{} << 2 << "a ' is not closed";
    QTest::newRow("unclosed double quote") << QByteArray("tcp \"h\\\" --address 1") << W{}
                                           << QList<int>{} << 1 << "a \" is not closed";
    QTest::newRow("NUL byte") << QByteArray("tcp h\n\ntcp\0h", 12) << W{} << QList<int>{} << 3
                              << "control byte 0x00";
    QTest::newRow("a lone carriage return")
        << QByteArray("tcp h\rcom 2") << W{} << QList<int>{} << 1 << "control byte 0x0d";
    QTest::newRow("not UTF-8, even in a comment")
        << QByteArray("tcp h\n# \xff\xfe\n") << W{} << QList<int>{} << 2 << "not UTF-8";
    QTest::newRow("one byte too large")
        << QByteArray(linesfile::kMaxBytes + 1, ' ') << W{} << QList<int>{} << 0 << "larger";
}

void TestJobLines::words()
{
    QFETCH(QByteArray, file);
    QFETCH(QList<QStringList>, words);
    QFETCH(QList<int>, numbers);
    QFETCH(int, badLine);
    QFETCH(QString, why);
    QList<linesfile::Line> lines;
    int at = -1;
    QString error;
    const bool ok = linesfile::parse(file, &lines, &at, &error);
    QCOMPARE(ok, why.isEmpty());
    QCOMPARE(at, badLine);
    QVERIFY2(error.contains(why), qPrintable(error));
    QList<QStringList> gotWords;
    QList<int> gotNumbers;
    for (const linesfile::Line &l : lines) {
        gotWords << l.words;
        gotNumbers << l.number;
    }
    QCOMPARE(gotWords, words);
    QCOMPARE(gotNumbers, numbers);
}

void TestJobLines::refused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("says");
    const QString ok = QStringLiteral("tcp 127.0.0.1:1 --address 1");
    QTest::newRow("bad channel")
        << QStringList{"--lines", "bad.lines"}
        << "meterjob: bad.lines:4: --tcp wants HOST or HOST:PORT, not 'x:y'\n";
    QTest::newRow("an operation inside a line")
        << QStringList{"--lines", "op.lines"}
        << "meterjob: op.lines:2: --energy is for the whole job";
    QTest::newRow("access inside a line")
        << QStringList{"--line", ok, "--line", "com 2 --address 1 --level admin"}
        << "meterjob: --line 2: --level is for the whole job";
    QTest::newRow("an unknown option inside a line")
        << QStringList{"--line", "tcp h --adress 1"}
        << "meterjob: --line 1: Unknown option 'adress'";
    QTest::newRow("the same gateway twice, its host in capitals")
        << QStringList{"--lines", "twice.lines"}
        << "meterjob: twice.lines:3: tcp h:5 is the channel of twice.lines:1 already";
    QTest::newRow("the same serial port, for the modem too")
        << QStringList{"--line", "com 2 --address 1", "--line", "com 2 --gsm 123 --address 1"}
        << "meterjob: --line 2: COM2 is the channel of --line 1 already";
    QTest::newRow("a file's line and a --line the same")
        << QStringList{"--line", "tcp h:5 --address 1", "--lines", "twice.lines"}
        << "meterjob: twice.lines:1: tcp h:5 is the channel of --line 1 already";
    QTest::newRow("unreadable file") << QStringList{"--lines", "none.lines"}
                                     << "meterjob: cannot read the lines file none.lines";
    QTest::newRow("a folder") << QStringList{"--lines", "."}
                              << "meterjob: cannot read the lines file .: ";
    QTest::newRow("not text") << QStringList{"--lines", "bin.lines"}
                              << "meterjob: bin.lines:2: control byte 0x00";
    QTest::newRow("only comments")
        << QStringList{"--lines", "empty.lines"} << "the lines file empty.lines holds no line";
    QTest::newRow("a line without meters")
        << QStringList{"--line", ok, "--line", "tcp h"} << "meterjob: --line 2: no meters";
    QTest::newRow("unclosed quote on --line")
        << QStringList{"--line", "tcp 'h --address 1"} << "meterjob: --line 1: a ' is not closed";
    QTest::newRow("a word that is no option") << QStringList{"--line", "tcp h 1 --address 1"}
                                              << "meterjob: --line 1: unexpected word '1'";
    QTest::newRow("a channel besides the lines")
        << QStringList{"--line", ok, "--tcp", "h"} << "meterjob: --tcp goes into a line";
    QTest::newRow("meters besides the lines")
        << QStringList{"--line", ok, "--address", "2"} << "meterjob: --address goes into a line";
    QTest::newRow("parallel 0") << QStringList{"--line", ok, "--parallel", "0"}
                                << "--parallel wants a number";
    QTest::newRow("parallel for one channel")
        << QStringList{"--tcp", "h", "--address", "1", "--parallel", "2"}
        << "--parallel goes with --line or --lines";
}

void TestJobLines::refused()
{
    QFETCH(QStringList, args);
    QFETCH(QString, says);
    const QDir d(m_dir.path());
    QVERIFY(writeFile(d.filePath("bad.lines"),
                      "# two gateways\n\ntcp 127.0.0.1:1 --address 1\ntcp x:y --address 1\n"));
    QVERIFY(writeFile(d.filePath("op.lines"), "tcp h --address 1\ntcp g --address 1 --energy\n"));
    QVERIFY(writeFile(d.filePath("twice.lines"),
                      "tcp h:5 --address 1\ncom 2 --address 1\n--tcp H:5 --address 2\n"));
    QVERIFY(writeFile(d.filePath("bin.lines"), QByteArray("tcp h --address 1\ntcp\0", 22)));
    QVERIFY(writeFile(d.filePath("empty.lines"), "# none yet\n\n"));
    const Job job = runJob(args + QStringList{"--info"}, m_dir.path());
    QCOMPARE(job.status, 2);
    QVERIFY(job.out.isEmpty());
    QVERIFY2(job.err.startsWith(QStringLiteral("meterjob: ")) && job.err.contains(says),
             qPrintable(job.err));
    QVERIFY(!d.exists(QStringLiteral("log")));
}

void TestJobLines::threeLines_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("json");
    QTest::addColumn<bool>("atOnce");
    QTest::newRow("csv, all at once") << QStringList{} << false << true;
    QTest::newRow("json, all at once") << QStringList{"--format", "json"} << true << true;
    QTest::newRow("one after another") << QStringList{"--parallel", "1"} << false << false;
}

void TestJobLines::threeLines()
{
    QFETCH(QStringList, options);
    QFETCH(bool, json);
    QFETCH(bool, atOnce);
    QTemporaryDir dir;
    const QString a = tcp(m_a), b = tcp(m_b);
    const QString silent = QStringLiteral("tcp 127.0.0.1:%1").arg(m_silent.port());
    // The gateway that does not answer last; the lines in the order given, --line and --lines.
    QVERIFY(writeFile(
        dir.filePath("job.lines"),
        ("# the plant\n" + a + " --address 1-3\n  \n--" + silent + " --address 1,2,3\n").toUtf8()));
    const Job job = runJob(
        QStringList{"--lines", "job.lines", "--line", b + " --address 1-3,4", "--info"} + options,
        dir.path());
    QCOMPARE(job.status, 1);
    const QStringList out = outLines(job.out);
    if (!json) {
        QVERIFY(out.value(0).startsWith(QStringLiteral("line;address;serial;position;name;"
                                                       "operation;status;reason;")));
        QVERIFY(out.contains(QStringLiteral("line;address;serial;position;name;operation;status;"
                                            "reason;Параметр;Значение;")));
        for (const QString &m : {a, b})
            for (const char *address : {"1", "2", "3"})
                QVERIFY2(
                    out.contains(m + ';' + address + ";;;210.1;info;ok;;Имя устройства;210.1;"),
                    qPrintable(m + ' ' + address));
        for (const char *address : {"1", "2", "3"})
            QVERIFY(out.contains(silent + ';' + address +
                                 ";;;-;info;failed;Время ожидания подключения истекло;"));
        QVERIFY(out.contains(b + ";4;;;-;info;failed;Ошибка: устройство занято;"));
    } else {
        int failed = 0;
        for (const QString &l : out) {
            const QJsonObject o = QJsonDocument::fromJson(l.toUtf8()).object();
            const bool dead = o.value("line") == silent;
            const bool absent = o.value("line") == b && o.value("address") == 4;
            QCOMPARE(o.value("status").toString(), dead || absent ? "failed" : "ok");
            if (dead || absent)
                QCOMPARE(o.value("reason").toString(),
                         dead ? "Время ожидания подключения истекло" : "Ошибка: устройство занято");
            failed += dead || absent;
        }
        QCOMPARE(failed, 4);
    }
    // Every record has its line: a record a meter, each read one in rows of three.
    const QStringList line = lineOfEach(job.out, json);
    QCOMPARE(line.count(a), json ? 3 : 9);
    QCOMPARE(line.count(b), json ? 4 : 10);
    QCOMPARE(line.count(silent), 3);
    QCOMPARE(line.size(), line.count(a) + line.count(b) + 3);
    // Lines at once: the two read lines' records overlap. One after another: in their order.
    const bool overlap =
        line.indexOf(a) < line.lastIndexOf(b) && line.indexOf(b) < line.lastIndexOf(a);
    QCOMPARE(overlap, atOnce);
    if (!atOnce)
        QVERIFY(line.lastIndexOf(a) < line.indexOf(silent) &&
                line.lastIndexOf(silent) < line.indexOf(b));

    // One summary, the dead line and the absent meter named with their line and reason.
    QCOMPARE(job.err.count(QStringLiteral(" line(s), ")), 1);
    QVERIFY2(job.err.startsWith(QStringLiteral("meterjob: 3 line(s), 10 meter(s), 1 operation(s) "
                                               "each: 6 ok, 4 failed, 0 interrupted\n")),
             qPrintable(job.err));
    QVERIFY2(job.err.contains(b + ": address 4: info: Ошибка: устройство занято\n"),
             qPrintable(job.err));
    QVERIFY2(job.err.contains(QStringLiteral("meterjob: %1: the channel could not be opened: "
                                             "Время ожидания подключения истекло\n")
                                  .arg(silent)),
             qPrintable(job.err));
    // Each line's log under its heading; only the dead line's says so.
    const QHash<QString, QStringList> log = logSections(dir.path());
    QCOMPARE(log.size(), 3);
    QVERIFY(log.value(silent).contains(QStringLiteral("Время ожидания подключения истекло")));
    for (const QString &m : {a, b}) {
        QVERIFY(!log.value(m).contains(QStringLiteral("Время ожидания подключения истекло")));
        QCOMPARE(log.value(m).count(QStringLiteral("Сессия открыта")), 1);
        QVERIFY(log.value(m).indexOf(QStringLiteral("Сессия открыта")) <
                log.value(m).indexOf(QStringLiteral("Сессия закрыта")));
    }
}

void TestJobLines::store()
{
    // Each line is a run of its own in the one store; a rerun stores no record twice.
    QTemporaryDir dir;
    const QString db = dir.filePath("meters.db");
    const QString a = tcp(m_a), b = tcp(m_b);
    for (int run = 0; run < 2; ++run) {
        const Job job = runJob({"--line", a + " --address 1,2", "--line", b + " --address 3",
                                "--energy", "--store", "sqlite:" + db, "--no-log"},
                               dir.path());
        QCOMPARE(job.status, 0);
    }
    QSqlDatabase sql = QSqlDatabase::addDatabase("QSQLITE", "check");
    sql.setDatabaseName(db);
    QVERIFY(sql.open());
    {
        QSqlQuery q(sql);
        QVERIFY(q.exec("SELECT channel, exit_status, (SELECT count(*) FROM results r WHERE "
                       "r.run_id = runs.id) FROM runs ORDER BY id"));
        QStringList runs;
        while (q.next())
            runs << QStringLiteral("%1 %2 %3")
                        .arg(q.value(0).toString())
                        .arg(q.value(1).toInt())
                        .arg(q.value(2).toInt());
        // Two results for each meter: the energy read and the meter's own row.
        const QStringList one{a + " 0 4", b + " 0 2"};
        QCOMPARE(runs.mid(0, 2), one);
        QCOMPARE(runs.mid(2), one);
        QVERIFY(q.exec("SELECT count(*), count(DISTINCT meter_id) FROM readings"));
        QVERIFY(q.next());
        QVERIFY(q.value(0).toInt() > 0);
        QCOMPARE(q.value(1).toInt(), 3);
        QVERIFY(q.exec("SELECT count(*) FROM meters"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 3);
    }
    sql.close();
}

void TestJobLines::noChannel_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("why");
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString port = QString::number(closed.serverPort());
    closed.close();
    QTest::newRow("nobody at the port") << "tcp 127.0.0.1:" + port << "tcp 127.0.0.1:" + port
                                        << "Время ожидания подключения истекло";
    QTest::newRow("serial device missing") << "com 5"
                                           << "com 5"
                                           << "COM5 (/nonexistent/ttyJOB) cannot be opened";
    QTest::newRow("stand block absent") << "com 6 --stand 127.0.1.254"
                                        << "stand 127.0.1.254:502"
                                        << "невозможно установить соединение с заводским стендом";
}

void TestJobLines::noChannel()
{
    // No line's channel opens: status 3, every meter of each line failed with its line's reason.
    QFETCH(QString, line);
    QFETCH(QString, name);
    QFETCH(QString, why);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ports")));
    QVERIFY(writeFile(dir.filePath("ports/COM5"), "/nonexistent/ttyJOB\n"));
    const QString silent = QStringLiteral("tcp 127.0.0.1:%1").arg(m_silent.port());
    const QString meters = line.contains("stand") ? " --position 1,2" : " --address 1,2";
    const Job job = runJob({"--line", silent + " --address 7", "--line", line + meters, "--info",
                            "--energy", "--format", "json"},
                           dir.path());
    QCOMPARE(job.status, 3);
    QStringList got;
    for (const QString &l : outLines(job.out)) {
        const QJsonObject o = QJsonDocument::fromJson(l.toUtf8()).object();
        QCOMPARE(o.value("status").toString(), "failed");
        const QString reason = o.value("reason").toString();
        QVERIFY2(o.value("line") == silent ? reason == "Время ожидания подключения истекло"
                                           : reason.contains(why),
                 qPrintable(reason));
        got << o.value("line").toString() + ' ' + o.value("operation").toString();
    }
    QStringList want{name + " energy", name + " energy",   name + " info",
                     name + " info",   silent + " energy", silent + " info"};
    got.sort();
    want.sort();
    QCOMPARE(got, want);
    QVERIFY2(job.err.contains("meterjob: 2 line(s), 3 meter(s), 2 operation(s) each: 0 ok, 6 "
                              "failed, 0 interrupted\nmeterjob: " +
                              silent +
                              ": the channel could not be opened: Время ожидания "
                              "подключения истекло\nmeterjob: " +
                              name + ": the channel could not be opened: "),
             qPrintable(job.err));
    // Each failed once in the summary: the channel, not its meters one by one.
    QCOMPARE(job.err.count("meterjob: "), 3);
}

void TestJobLines::progress()
{
    // A terminal gets one progress line for the whole job, from the start to the end; one line
    // after the other, for counts that come in a known order.
    PtyPair terminal;
    QVERIFY(terminal.isValid());
    QTemporaryDir dir;
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.setStandardErrorFile(terminal.slavePath());
    p.start(QStringLiteral(METERJOB_BIN),
            {"--line", tcp(m_a) + " --address 1-3", "--line",
             QStringLiteral("tcp 127.0.0.1:%1 --address 4,5").arg(m_silent.port()), "--info",
             "--no-log", "--parallel", "1"});
    QByteArray err;
    QDeadlineTimer limit(120000);
    while (!p.waitForFinished(10) && !limit.hasExpired())
        err += terminal.read(1 << 16, 10);
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
        QFAIL(("meterjob did not end in 120 s; it wrote: " + err).constData());
    }
    err += terminal.read(1 << 16, 100);
    QCOMPARE(p.exitCode(), 1);
    for (const char *shown : {"\r\033[Klines 0/2 done, meters 0/5 done, 0 failed",
                              "\r\033[Klines 0/2 done, meters 1/5 done, 0 failed",
                              "\r\033[Klines 1/2 done, meters 3/5 done, 0 failed",
                              "\r\033[Klines 2/2 done, meters 5/5 done, 2 failed\r\033[K"
                              "meterjob: 2 line(s), 5 meter(s)"})
        QVERIFY2(err.contains(shown), err.constData());
    // No line's own progress: that is for a job of one channel.
    QVERIFY(!err.contains("[1/3]"));
}

void TestJobLines::oneChannel()
{
    const QString help = QString::fromUtf8(runJob({"--help"}, m_dir.path()).out);
    for (const char *option : {"--line 'CHANNEL METERS'", "--lines FILE", "--parallel N",
                               "  meterjob --lines ", "  or:  meterjob --line "})
        QVERIFY2(help.contains(QLatin1String(option)), option);
    // One channel, as before: JSON names the line, CSV has no line column.
    for (const bool json : {true, false}) {
        const Job job = runJob({"--tcp", tcp(m_a).mid(4), "--address", "1,2", "--info", "--format",
                                json ? "json" : "csv", "--no-log"},
                               m_dir.path());
        QCOMPARE(job.status, 0);
        const QStringList got = outLines(job.out);
        QCOMPARE(got.size(), json ? 2 : 7);
        if (json)
            QCOMPARE(lineOfEach(job.out, true), QStringList(2, tcp(m_a)));
        else
            QVERIFY(got.first().startsWith(QStringLiteral("address;serial;")));
        QVERIFY2(job.err.startsWith(QStringLiteral("meterjob: 2 meter(s), 1 operation(s) each")),
                 qPrintable(job.err));
    }
}

void TestJobLines::stop_data()
{
    QTest::addColumn<int>("parallel");
    QTest::addColumn<int>("undone");
    QTest::newRow("every line under way") << 0 << 0;
    QTest::newRow("the third line not yet started") << 2 << 2;
}

void TestJobLines::stop()
{
    QFETCH(int, parallel);
    QFETCH(int, undone);
    // Each archive record takes its time, so the stop comes while one is on its way.
    MeterSimProcess sims[3];
    QStringList args;
    QStringList names;
    for (MeterSimProcess &sim : sims) {
        QVERIFY(sim.start({"--meter", "210.1,addr=1", "--fault", "late:150@fn=07"}));
        names << tcp(sim);
        args << "--line" << tcp(sim) + " --address 1";
    }
    args << "--info"
         << "--archive";
    if (parallel > 0)
        args << "--parallel" << QString::number(parallel);
    const int started = parallel > 0 ? parallel : 3;
    QTemporaryDir dir;
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral(METERJOB_BIN), args);
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += p.readAllStandardOutput()).count(";info;ok;") >= 3 * started,
                             20000);
    ::kill(pid_t(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished(20000));
    out += p.readAllStandardOutput();
    QCOMPARE(p.exitCode(), 128 + SIGTERM);
    const QString stopped = QStringLiteral("Работа прервана сигналом 15");
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("meterjob: stopped by signal 15; %1 operation(s) left "
                                         "undone")
                              .arg(undone)),
             qPrintable(err));
    const QHash<QString, QStringList> log = logSections(dir.path());
    QCOMPARE(log.size(), started);
    for (int i = 0; i < 3; ++i) {
        const QByteArray interrupted =
            (names[i] + ";1;;;210.1;archive;interrupted;" + stopped + ';').toUtf8();
        QCOMPARE(out.contains(interrupted), i < started);
        QCOMPARE(out.contains((names[i] + ';').toUtf8()), i < started);
        if (i >= started)
            continue;
        // The line's request on the wire got its reply; nothing was sent after.
        const QStringList section = log.value(names[i]);
        const QStringList after = section.mid(section.indexOf(stopped) + 1);
        QVERIFY(section.contains(stopped));
        QVERIFY(!after.filter(QRegularExpression("^RX: 01 07 10 ")).isEmpty());
        QVERIFY(after.filter(QRegularExpression("^TX: ")).isEmpty());
        QVERIFY(after.contains(QStringLiteral("Сессия закрыта")));
    }
}

QTEST_MAIN(TestJobLines)
#include "tst_joblines.moc"
