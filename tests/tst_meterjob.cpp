// meterjob, the program without windows, run as a user runs it: a child process with a command
// line, against the virtual meter line, its records read from standard output, its exit status,
// summary and log file checked. Its tables must be the configurator's, cell for cell.
#include "support/jobprocess.h"
#include "support/logfile.h"
#include "support/sessionrig.h"
#include "support/standblock.h"

#include "config/controlpaneldialog.h"
#include "core/meterlistfile.h"
#include "job/recordwriter.h"
#include "meters/devicelistitem.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTcpServer>
#include <QtTest>

#include <csignal>
#include <ctime>

namespace {


QStringList lines(const QByteArray &out)
{
    return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

int indexStarting(const QStringList &list, const QString &prefix, int from = 0)
{
    for (int i = from; i < list.size(); ++i)
        if (list[i].startsWith(prefix))
            return i;
    return -1;
}

const QStringList kLine{"--meter", "210.1,addr=1,serial=000000001234567",
                        "--meter", "450.22R,addr=2,serial=000000007654321",
                        "--meter", "ZZ9,addr=4"};

} // namespace

class TestMeterJob : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void listFile_data();
    void listFile();
    void writer_data();
    void writer();
    void usage_data();
    void usage();
    void help();
    void channels_data();
    void channels();
    void channelRefused_data();
    void channelRefused();
    void lineLost();
    void partialRead_data();
    void partialRead();
    void failures_data();
    void failures();
    void archiveJson_data();
    void archiveJson();
    void sameCellsAsConfigurator();
    void standClock();
    void standError();
    void stop_data();
    void stop();

private:
    QString tcp() const
    {
        return m_line.tcpHost() + QLatin1Char(':') + QString::number(m_line.tcpPort());
    }

    MeterSimProcess m_line;
    QTemporaryDir m_dir;
};

void TestMeterJob::initTestCase()
{
    // Meter times carry the offset of the computer's zone: one without summer time, for
    // literals, and inherited by every job and meter line started here.
    qputenv("TZ", "Europe/Moscow");
    tzset();
    QVERIFY(m_dir.isValid());
    QVERIFY2(m_line.start(kLine), qPrintable(m_line.errorString()));
    // A list as the configurator reads it, from Windows: it ends at the 14-character line.
    QFile list(m_dir.filePath(QStringLiteral("meters.txt")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("000000001234567\r\n00000000765432\r\n000000007654321\r\n");
    list.close();
    QFile bad(m_dir.filePath(QStringLiteral("bad.txt")));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("000000001234567\n00000000123456X\n");
}

void TestMeterJob::listFile_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<QByteArray>>("serials");
    const QByteArray a("000000001234567"), b("000000007654321");
    QTest::newRow("two lines") << a + '\n' + b + '\n' << QList<QByteArray>{a, b};
    QTest::newRow("Windows line ends") << a + "\r\n" + b + "\r\n" << QList<QByteArray>{a, b};
    QTest::newRow("last line without its end") << a + '\n' + b << QList<QByteArray>{a, b};
    QTest::newRow("an empty line ends it") << a + "\n\n" + b << QList<QByteArray>{a};
    QTest::newRow("14 characters first") << a.left(14) + '\n' + b << QList<QByteArray>{};
    QTest::newRow("16 characters") << a + "7\n" + b << QList<QByteArray>{};
    QTest::newRow("a line of 42 ends it")
        << b + '\n' + a + "123456789012345678901234567\n" + a << QList<QByteArray>{b};
    QTest::newRow("two ends in one line") << a + "\r\r\n" + b << QList<QByteArray>{};
}

void TestMeterJob::listFile()
{
    QFETCH(QByteArray, file);
    QFETCH(QList<QByteArray>, serials);
    QCOMPARE(meterlistfile::parse(file), serials);
}

void TestMeterJob::writer_data()
{
    QTest::addColumn<bool>("json");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("csv") << false
                         << QByteArray("address;serial;position;name;operation;status;reason;\n"
                                       "3;;;-;info;failed;Ошибка: неверный пароль;\n"
                                       "address;serial;position;name;operation;status;reason;A;B;\n"
                                       "255;000000001234567;7;210.1;events;ok;;'=1+2;\"x;y\";\n"
                                       "255;000000001234567;7;210.1;events;ok;;-1,5;-;\n"
                                       "255;000000001234567;7;210.1;archive;ok;;\n"
                                       "255;000000001234567;7;210.1;events;ok;;'@x;'@x;\n"
                                       "address;serial;position;name;operation;status;reason;C;\n"
                                       "255;000000001234567;7;210.1;archive;interrupted;stop;12,5;\n"
                                       "255;000000001234567;7;210.1;archive;interrupted;stop;"
                                       "1000000;\n"
                                       "255;000000001234567;7;210.1;archive;interrupted;stop;"
                                       "1.5;\n");
    QTest::newRow("json lines")
        << true
        << QByteArray(
               "{\"address\":3,\"columns\":[],\"meter\":{\"address\":3,\"model\":null,"
               "\"position\":null,\"serial\":null,\"series\":null},\"name\":\"-\","
               "\"operation\":\"info\",\"position\":null,\"read_at\":null,"
               "\"reason\":\"Ошибка: неверный пароль\",\"rows\":[],\"serial\":\"\","
               "\"status\":\"failed\",\"values\":[]}\n"
               "{\"address\":255,\"columns\":[\"A\",\"B\"],\"meter\":{\"address\":255,"
               "\"model\":\"210.1\",\"position\":7,\"serial\":\"000000001234567\","
               "\"series\":\"single-phase\"},\"name\":\"210.1\",\"operation\":\"events\","
               "\"position\":7,\"read_at\":\"2024-03-05T14:00:00+03:00\",\"reason\":\"\","
               "\"rows\":[[\"=1+2\",\"x;y\"],[\"-1,5\",\"-\"]],"
               "\"serial\":\"000000001234567\",\"status\":\"ok\",\"values\":["
               "{\"period_minutes\":30,\"quantity\":\"energy_active\",\"record\":4,"
               "\"tariff\":2,\"time\":\"2024-03-05T13:30:00+03:00\",\"unit\":\"kWh\","
               "\"value\":1.5},"
               "{\"quantity\":\"voltage\",\"unit\":\"V\",\"value\":null},"
               "{\"code\":16388,\"event\":\"message\",\"record\":0,\"text\":\"Сброс\","
               "\"time\":\"2023-12-31T23:59:58+03:00\"}]}\n");
}

void TestMeterJob::writer()
{
    QFETCH(bool, json);
    QFETCH(QByteArray, text);
    JobRecord failed;
    failed.meter.address = 3;
    failed.status = JobRecord::Status::Failed;
    failed.reason = QStringLiteral("Ошибка: неверный пароль");
    JobRecord table;
    table.meter.standMode = true;
    table.meter.standAddr = 7;
    table.meter.serialNumber = "000000001234567";
    table.meter.version = QStringLiteral("210.1");
    table.operation = JobOperation::Events;
    table.columns = QStringList{"A", "B"};
    table.rows = {{"=1+2", "x;y"}, {"-1,5", "-"}};
    table.readAt = QDateTime(QDate(2024, 3, 5), QTime(14, 0), Qt::OffsetFromUTC, 3 * 3600);
    JobValue energy;
    energy.quantity = "energy_active";
    energy.unit = "kWh";
    energy.tariff = 2;
    energy.value = 1.5;
    energy.time = QDateTime(QDate(2024, 3, 5), QTime(13, 30), Qt::UTC);
    energy.record = 4;
    energy.period = 30;
    JobValue missing;
    missing.quantity = "voltage";
    missing.unit = "V";
    JobValue event;
    event.quantity = "event";
    event.list = "message";
    event.code = 0x4004;
    event.text = "Сброс";
    event.record = 0;
    event.time = QDateTime(QDate(2023, 12, 31), QTime(23, 59, 58), Qt::UTC);
    table.values = {energy, missing, event};
    JobRecord empty = table;
    empty.operation = JobOperation::Archive;
    empty.rows.clear();
    JobRecord same = table;
    same.rows = {{"@x", "'@x"}};
    JobRecord other = empty;
    other.status = JobRecord::Status::Interrupted;
    other.reason = QStringLiteral("stop");
    other.columns = QStringList{"C"};
    // Numbers take the decimal comma; a cell that shows no value stays as it is.
    other.rows = {{"12.5"}, {"1e+06"}, {"1.5"}};
    other.values.clear();
    for (int row : {0, 1}) {
        JobValue v;
        v.row = row;
        v.column = 0;
        other.values << v;
    }

    RecordWriter w(json ? RecordWriter::Format::Json : RecordWriter::Format::Csv);
    QByteArray out;
    for (const JobRecord &r : json ? QList<JobRecord>{failed, table}
                                   : QList<JobRecord>{failed, table, empty, same, other})
        out += w.write(r);
    QCOMPARE(lines(out), lines(text));
}

void TestMeterJob::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("says");
    const QStringList meter{"--tcp", "127.0.0.1", "--address", "1"};
    QTest::newRow("unknown option") << meter + QStringList{"--info", "--bogus"} << "bogus";
    QTest::newRow("stray argument")
        << meter + QStringList{"--info", "energy"} << "unexpected argument 'energy'";
    QTest::newRow("no channel") << QStringList{"--address", "1", "--info"} << "no channel";
    QTest::newRow("two channels") << meter + QStringList{"--com", "1", "--info"}
                                  << "choose one channel";
    QTest::newRow("no meter") << QStringList{"--tcp", "127.0.0.1", "--info"} << "no meters";
    QTest::newRow("no operation") << meter << "nothing to do";
    QTest::newRow("address 0") << QStringList{"--tcp", "h", "--address", "0-3", "--info"}
                               << "--address wants numbers 1..255";
    QTest::newRow("address range backwards")
        << QStringList{"--tcp", "h", "--address", "9-3", "--info"} << "--address wants";
    QTest::newRow("position off the stand")
        << QStringList{"--tcp", "h", "--position", "1", "--info"} << "--position goes with --stand";
    QTest::newRow("stand port 0") << QStringList{"--com",      "2", "--stand", "h:0",
                                                 "--position", "1", "--info"}
                                  << "--stand wants ADDRESS or ADDRESS:PORT";
    QTest::newRow("serial beyond four bytes")
        << QStringList{"--tcp", "h", "--serial", "999999999999999", "--info"} << "--serial wants";
    QTest::newRow("serial of zeros")
        << QStringList{"--tcp", "h", "--serial", "0", "--info"} << "--serial wants";
    QTest::newRow("empty archive range")
        << meter + QStringList{"--archive-range", "5:5"} << "--archive-range wants";
    QTest::newRow("hour shift alone") << meter + QStringList{"--info", "--hour-shift", "2"}
                                      << "--hour-shift goes with --set-clock";
    QTest::newRow("hour shift 24")
        << meter + QStringList{"--set-clock", "--hour-shift", "24"} << "--hour-shift wants";
    QTest::newRow("dial text with a command")
        << QStringList{"--com", "2", "--gsm", "123;H", "--address", "1", "--info"}
        << "--gsm wants a phone number";
    QTest::newRow("pin off GSM") << meter + QStringList{"--info", "--pin", "1234"}
                                 << "--pin goes with --gsm";
    QTest::newRow("password of 7")
        << meter + QStringList{"--info", "--password", "1234567"} << "--password wants";
    QTest::newRow("password hex of 5")
        << meter + QStringList{"--info", "--password-hex", "e1e1e1e1e1"} << "--password-hex wants";
    QTest::newRow("password file missing")
        << meter + QStringList{"--info", "--password-file", "none.txt"}
        << "cannot read the password file none.txt";
    QTest::newRow("password twice")
        << meter + QStringList{"--info", "--password", "abc", "--password-file", "bad.txt"}
        << "give the password once";
    QTest::newRow("password file of serial numbers")
        << meter + QStringList{"--info", "--password-file", "bad.txt"}
        << "the password file bad.txt wants 1 to 6 Latin-1 characters";
    QTest::newRow("speed 1000") << QStringList{"--com",     "1", "--speed", "1000",
                                               "--address", "1", "--info"}
                                << "--speed wants";
    QTest::newRow("format xml") << meter + QStringList{"--info", "--format", "xml"}
                                << "--format wants csv or json";
    QTest::newRow("list missing") << QStringList{"--tcp", "h", "--list", "none.txt", "--info"}
                                  << "cannot read the meter list none.txt";
    QTest::newRow("list with a bad serial")
        << QStringList{"--tcp", "h", "--list", "bad.txt", "--info"}
        << "bad.txt:2: '00000000123456X'";
}

void TestMeterJob::usage()
{
    QFETCH(QStringList, args);
    QFETCH(QString, says);
    const Job job = runJob(args, m_dir.path());
    QCOMPARE(job.status, 2);
    QVERIFY(job.out.isEmpty());
    QVERIFY2(job.err.contains(says), qPrintable(job.err));
    QVERIFY2(job.err.contains(QStringLiteral("\nUsage: meterjob ")), qPrintable(job.err));
    QVERIFY(!QDir(m_dir.filePath(QStringLiteral("log"))).exists());
}

void TestMeterJob::help()
{
    const Job job = runJob({"--help"}, m_dir.path());
    QCOMPARE(job.status, 0);
    const QString text = QString::fromUtf8(job.out);
    for (const char *option :
         {"--tcp HOST[:PORT]",  "--com N",        "--gsm NUMBER",   "--pin CODE",
          "--stand ADDRESS",    "--speed BAUD",   "--level LEVEL",  "--password TEXT",
          "--password-hex HEX", "--address LIST", "--serial LIST",  "--position LIST",
          "--list FILE",        "--info",         "--energy",       "--instant",
          "--day-slices",       "--month-slices", "--archive ",     "--archive-range START:END",
          "--events",           "--set-clock",    "--hour-shift H", "--format FORMAT",
          "--no-log",           "--help",         "--version",      "--password-file FILE",
          "--store sqlite:PATH", "--store postgresql://USER@HOST[:PORT]/DB", "--new-only",
          "other users of the\n                         computer can see a command line"})
        QVERIFY2(text.contains(QLatin1String(option)), option);
    // An example for each channel.
    for (const char *example : {"  meterjob --tcp ", "  meterjob --com 1 --list ",
                                "  meterjob --com 2 --gsm ", "  meterjob --com 3 --stand "})
        QVERIFY2(text.contains(QLatin1String(example)), example);
}

void TestMeterJob::channels_data()
{
    QTest::addColumn<QStringList>("channel");
    QTest::addColumn<QString>("logged");
    QTest::newRow("TCP-IP") << QStringList{"--tcp", "TCP"} << "Подлючение: TCP-IP";
    QTest::newRow("COM port at 2400 baud")
        << QStringList{"--com", "1", "--speed", "2400"} << "Порт: COM1, скорость: 2400 бод";
    QTest::newRow("GSM/CSD") << QStringList{"--com", "2", "--gsm", "+79001234567"}
                             << "Подлючение: GSM/CSD";
}

void TestMeterJob::channels()
{
    QFETCH(QStringList, channel);
    QFETCH(QString, logged);
    QTemporaryDir dir;
    MeterSimProcess line;
    QVERIFY2(
        line.start({"--meter", "210.1,addr=1", "--pty", "--link-com", "1", "--modem",
                    "--modem-link-com", "2", "--workdir", dir.path(), "--modem-dial-ms", "50"}),
        qPrintable(line.errorString()));
    channel.replaceInStrings("TCP", line.tcpHost() + ':' + QString::number(line.tcpPort()));
    const Job job = runJob(channel + QStringList{"--address", "1", "--info"}, dir.path());
    QCOMPARE(job.status, 0);
    QCOMPARE(lines(job.out).mid(1),
             (QStringList{"1;;;210.1;info;ok;;Имя устройства;210.1;",
                          "1;;;210.1;info;ok;;Версия программного обеспечения;1.10;",
                          "1;;;210.1;info;ok;;Цифровой идентификатор ПО;2d41;"}));
    const QStringList log = logFileLines(dir.path());
    QVERIFY(log.contains(logged));
    QVERIFY(log.contains(QStringLiteral("Сессия открыта")));
    QVERIFY(log.contains(QStringLiteral("Сессия закрыта")));
}

void TestMeterJob::channelRefused_data()
{
    QTest::addColumn<QStringList>("channel");
    QTest::addColumn<QString>("says");
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString port = QString::number(closed.serverPort());
    closed.close();
    QTest::newRow("nobody at the TCP port")
        << QStringList{"--tcp", "127.0.0.1:" + port} << "Время ожидания подключения истекло";
    QTest::newRow("serial device missing")
        << QStringList{"--com", "5"} << "COM5 (/nonexistent/ttyJOB) cannot be opened";
    // Outside the 127.0.0.x that metersim's stands take.
    QTest::newRow("stand block absent")
        << QStringList{"--com", "5", "--stand", "127.0.1.254", "--position", "1"}
        << "невозможно установить соединение с заводским стендом";
}

void TestMeterJob::channelRefused()
{
    QFETCH(QStringList, channel);
    QFETCH(QString, says);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ports")));
    QFile map(dir.filePath(QStringLiteral("ports/COM5")));
    QVERIFY(map.open(QIODevice::WriteOnly));
    map.write("/nonexistent/ttyJOB\n");
    map.close();
    const Job job = runJob(channel + QStringList{"--address", "1", "--info"}, dir.path());
    QCOMPARE(job.status, 3);
    QVERIFY(job.out.isEmpty());
    QVERIFY2(job.err.contains(QStringLiteral("meterjob: the channel could not be opened: ")) &&
                 job.err.contains(says),
             qPrintable(job.err));
    // The attempt is in the log all the same.
    QVERIFY(logFileLines(dir.path()).contains(QStringLiteral("Попытка открытия сессии")));
}

void TestMeterJob::lineLost()
{
    // The gateway goes away under the first meter's archive: what is left fails, with the reason.
    MeterSimProcess gateway;
    QVERIFY(gateway.start({"--meter", "210.1,addr=1", "--fault", "late:200@fn=07"}));
    QTemporaryDir dir;
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral(METERJOB_BIN),
            {"--tcp", gateway.tcpHost() + ':' + QString::number(gateway.tcpPort()), "--address",
             "1,2", "--info", "--archive"});
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += p.readAllStandardOutput()).contains(";info;ok;"), 20000);
    gateway.stop();
    QVERIFY(p.waitForFinished(20000));
    out += p.readAllStandardOutput();
    QCOMPARE(p.exitCode(), 1);
    const QStringList got = lines(out);
    QCOMPARE(got.mid(got.size() - 3), (QStringList{"1;;;210.1;archive;failed;Сессия закрыта;",
                                                   "2;;;-;info;failed;Сессия закрыта;",
                                                   "2;;;-;archive;failed;Сессия закрыта;"}));
    QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains("1 ok, 3 failed"));
}

void TestMeterJob::partialRead_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("fault"); // a size the meter does not hold
    QTest::addColumn<QStringList>("firstCells");
    QTest::addColumn<QString>("count");
    // The meter holds four messages, one error and one warning; reading message 4 is refused.
    QTest::newRow("events, 6 messages said")
        << "--events" << "reply:063b020600@fn=06,obj=3b" << QStringList{"M0", "M1", "M2", "M3"}
        << "Прочитано 4 из 8 записей";
    // Six monthly slices held, sixteen said.
    QTest::newRow("monthly slices, 16 said")
        << "--month-slices" << "reply:0643021000@fn=06,obj=43" << QStringList(6, QString())
        << "Прочитано 6 из 16 записей";
}

void TestMeterJob::partialRead()
{
    QFETCH(QString, operation);
    QFETCH(QString, fault);
    QFETCH(QStringList, firstCells);
    QFETCH(QString, count);
    MeterSimProcess gateway;
    QVERIFY(gateway.start({"--meter", "210.1,addr=1", "--fault", fault}));
    QTemporaryDir dir;
    const Job job = runJob({"--tcp", gateway.tcpHost() + ':' + QString::number(gateway.tcpPort()),
                            "--address", "1", operation},
                           dir.path());
    QCOMPARE(job.status, 1);
    const QStringList out = lines(job.out);
    QCOMPARE(out.size(), 1 + firstCells.size());
    const QString identity = QStringLiteral("1;;;210.1;%1;failed;Ошибка: некорректное значение "
                                            "данных. %2;")
                                 .arg(operation.mid(2), count);
    for (int i = 0; i < firstCells.size(); ++i) {
        QVERIFY2(out[1 + i].startsWith(identity), qPrintable(out[1 + i]));
        const QStringList cells = out[1 + i].mid(identity.size()).split(';');
        if (operation == "--events")
            QCOMPARE(cells.value(2), firstCells[i]);
        else
            QVERIFY(QDate::fromString(cells.value(0), QStringLiteral("dd.MM.yyyy")).isValid());
    }
    QVERIFY2(job.err.contains(count), qPrintable(job.err));
    QVERIFY(logFileLines(dir.path()).contains(count));
}

void TestMeterJob::failures_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    QTest::newRow("a silent meter, the other read")
        << QStringList{"--address", "1,3", "--info"} << 1
        << QStringList{"3;;;-;info;failed;Ошибка: превышен интервал времени ожидания;",
                       "1;;;210.1;info;ok;;Имя устройства;210.1;",
                       "1;;;210.1;info;ok;;Цифровой идентификатор ПО;2d41;"}
        << QStringList{};
    QTest::newRow("wrong password")
        << QStringList{"--address", "2", "--password", "abc", "--energy", "--info"} << 1
        << QStringList{"2;;;-;energy;failed;Ошибка: неверный пароль;",
                       "2;;;-;info;failed;Ошибка: неверный пароль;"}
        << QStringList{";ok;"};
    QTest::newRow("unknown series: no layout, no read")
        << QStringList{"--address", "4", "--info", "--energy"} << 1
        << QStringList{"4;;;ZZ9;info;ok;;Имя устройства;ZZ9;",
                       "4;;;ZZ9;energy;failed;Ошибка: серия счетчика не распознана: ZZ9;"}
        << QStringList{};
    QTest::newRow("the clock at the user level")
        << QStringList{"--address", "1", "--set-clock"} << 1
        << QStringList{"1;;;210.1;set-clock;failed;Ошибка: доступ с указанным уровнем запрещён;"}
        << QStringList{};
    QTest::newRow("a list file up to its short line")
        << QStringList{"--list", "meters.txt", "--info", "--no-log"} << 0
        << QStringList{"1;000000001234567;;210.1;info;ok;;Версия программного обеспечения;1.10;"}
        << QStringList{"7654321", "765432;"};
}

void TestMeterJob::failures()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    QTemporaryDir dir;
    args.replaceInStrings(QStringLiteral("meters.txt"),
                          m_dir.filePath(QStringLiteral("meters.txt")));
    const Job job = runJob(QStringList{"--tcp", tcp()} + args, dir.path());
    QCOMPARE(job.status, status);
    const QStringList out = lines(job.out);
    QCOMPARE(out.value(0), QStringLiteral("address;serial;position;name;operation;status;reason;") +
                               (out.value(1).contains(QLatin1String(";ok;"))
                                    ? QStringLiteral("Параметр;Значение;")
                                    : QString()));
    for (const QString &line : present)
        QVERIFY2(out.contains(line), qPrintable(line + "\n---\n" + out.join('\n')));
    for (const QString &text : absent)
        QVERIFY2(!job.out.contains(text.toUtf8()), qPrintable(text));
    // Each failure again in the summary, with its reason.
    for (const QString &line : present)
        if (line.contains(QLatin1String(";failed;")))
            QVERIFY2(job.err.contains(line.section(';', 4, 4) + ": " + line.section(';', 6, 6)),
                     qPrintable(job.err));
    QVERIFY(job.err.contains(QStringLiteral("%1 failed").arg(present.filter(";failed;").size())));
}

void TestMeterJob::archiveJson_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count"); // -1: the whole archive
    QTest::addColumn<QStringList>("columns");
    const QStringList single{"Дата", "Время", "Номер", "Энергия, кВт/ч"};
    QTest::newRow("records 10 to 12")
        << QStringList{"--address", "1", "--archive-range", "10:13"} << 10 << 3 << single;
    QTest::newRow("whole archive, no log")
        << QStringList{"--address", "1", "--archive", "--no-log"} << 0 << -1 << single;
    QTest::newRow("three-phase, from 45 on")
        << QStringList{"--address", "2", "--archive-range", "45:"} << 45 << -1
        << QStringList{"Дата", "Время", "Номер", "Акт.энер., кВт/ч", "Реакт.энер., кВт/ч"};
}

void TestMeterJob::archiveJson()
{
    QFETCH(QStringList, args);
    QFETCH(int, first);
    QFETCH(int, count);
    QFETCH(QStringList, columns);
    QTemporaryDir dir;
    const Job job = runJob(QStringList{"--tcp", tcp(), "--format", "json"} + args, dir.path());
    QCOMPARE(job.status, 0);
    const QStringList out = lines(job.out);
    QCOMPARE(out.size(), 1);
    const QJsonObject o = QJsonDocument::fromJson(out[0].toUtf8()).object();
    QCOMPARE(o.value("operation").toString(), QStringLiteral("archive"));
    QCOMPARE(o.value("status").toString(), QStringLiteral("ok"));
    QCOMPARE(o.value("address").toInt(), args[1].toInt());
    QVERIFY(o.value("position").isNull());
    QCOMPARE(o.value("name").toString(), args[1] == "1" ? "210.1" : "450.22R");
    QCOMPARE(o.value("columns").toVariant().toStringList(), columns);
    const QJsonArray rows = o.value("rows").toArray();
    // The meters start with 48 records and add one every 30 minutes.
    QVERIFY2(count < 0 ? rows.size() >= 48 - first : rows.size() == count,
             qPrintable(QString::number(rows.size())));
    const QRegularExpression energy(QStringLiteral("^\\d+(,\\d+)?$"));
    for (int i = 0; i < rows.size(); ++i) {
        const QStringList cells = rows[i].toVariant().toStringList();
        QCOMPARE(cells.size(), columns.size());
        QVERIFY(QDate::fromString(cells[0], QStringLiteral("dd.MM.yyyy")).isValid());
        QVERIFY(QTime::fromString(cells[1], QStringLiteral("hh:mm")).isValid());
        QCOMPARE(cells[2], QString::number(first + i));
        for (int c = 3; c < cells.size(); ++c)
            QVERIFY2(energy.match(cells[c]).hasMatch(), qPrintable(cells[c]));
        // The typed values: kWh of the period as the cell shows it, the period's end in the
        // meter's time with the zone's offset.
        const int perRow = int(columns.size()) - 3;
        for (int c = 0; c < perRow; ++c) {
            const QJsonObject v = o["values"].toArray()[i * perRow + c].toObject();
            QCOMPARE(v["quantity"].toString(), c == 0 ? "energy_active" : "energy_reactive");
            QCOMPARE(v["unit"].toString(), c == 0 ? "kWh" : "kvarh");
            QCOMPARE(QString::number(v["value"].toDouble(), 'g', perRow == 1 ? 6 : 3)
                         .replace('.', ','),
                     cells[3 + c]);
            QCOMPARE(v["record"].toInt(), first + i);
            QCOMPARE(v["period_minutes"].toInt(), 30);
            const QDateTime end = QDateTime::fromString(cells[0] + ' ' + cells[1],
                                                        QStringLiteral("dd.MM.yyyy hh:mm"));
            QCOMPARE(v["time"].toString(),
                     end.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + "+03:00");
        }
    }
    QCOMPARE(o["values"].toArray().size(), rows.size() * (columns.size() - 3));
    QCOMPARE(QDir(dir.filePath(QStringLiteral("log"))).exists(), !args.contains("--no-log"));
}

void TestMeterJob::sameCellsAsConfigurator()
{
    // No load: the energies stand still and currents and powers read 0; the readings that still
    // move (voltages, battery, tariff in force) answer fixed bytes.
    SessionRig rig;
    QVERIFY(rig.startLine(
        {"--meter", "210.1,addr=1,serial=000000001111111", "--meter",
         "450.22R,addr=2,serial=000000002222222", "--load", "0", "--fault",
         "reply:010104eb820300@fn=01,obj=01", "--fault", "reply:013904c40b0000@fn=01,obj=39",
         "--fault", "reply:010a0102@fn=01,obj=0a", "--fault", "reply:0164047c800300@fn=01,obj=64",
         "--fault", "reply:0165046a830300@fn=01,obj=65", "--fault",
         "reply:01660458860300@fn=01,obj=66"}));
    QVERIFY(rig.openTcp());
    ControlPanelDialog *config = rig.window().configurator();
    const struct
    {
        const char *operation;
        const char *button;
        const char *table;
    } reads[] = {{"info", "pbLoadDeviceInfo", "tableDeviceInfo"},
                 {"energy", "pbLoadMeasures", "tableMeasures"},
                 {"instant", "pbLoadNowMeasures", "tableNowMeasures"}};
    QMap<QString, QStringList> shown; // "address;operation" -> "label;value" rows
    for (int address : {1, 2}) {
        deviceListItem *row = rig.addMeter(address);
        QTest::mouseClick(row, Qt::LeftButton);
        QTest::mouseDClick(row, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!config->batchRunning() && row->record().sessionOpen, 20000);
        for (const auto &r : reads) {
            QTest::mouseClick(config->findChild<QPushButton *>(QLatin1String(r.button)),
                              Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!config->batchRunning(), 20000);
            QAbstractItemModel *m =
                config->findChild<QTableView *>(QLatin1String(r.table))->model();
            QStringList &cells = shown[QString::number(address) + ';' + r.operation];
            for (int i = 0; i < m->rowCount(); ++i)
                cells << m->index(i, 0).data().toString() + ';' + m->index(i, 1).data().toString();
        }
    }

    const QString endpoint = rig.line.tcpHost() + ':' + QString::number(rig.line.tcpPort());
    const QStringList args{"--tcp", endpoint, "--address", "1,2", "--info", "--energy", "--instant"};
    const Job job = runJob(args, rig.work.path());
    QCOMPARE(job.status, 0);
    QMap<QString, QStringList> written;
    const QStringList out = lines(job.out);
    QCOMPARE(
        out.value(0),
        QStringLiteral("address;serial;position;name;operation;status;reason;Параметр;Значение;"));
    for (const QString &line : out.mid(1)) {
        const QStringList c = line.split(';');
        QCOMPARE(c.size(), 10); // seven of identity, two cells, the empty piece after the last ";"
        QCOMPARE(c[5], QStringLiteral("ok"));
        written[c[0] + ';' + c[4]] << c[7] + ';' + c[8];
    }
    QCOMPARE(written.keys(), shown.keys());
    // The CSV's numbers have the export's decimal comma; the version "1.10" is no number.
    for (const QString &key : shown.keys())
        for (int i = 0; i < shown[key].size(); ++i) {
            QString value = shown[key][i].section(';', 1);
            if (!key.endsWith(QLatin1String("info")))
                value.replace(QLatin1Char('.'), QLatin1Char(','));
            QCOMPARE(written[key].value(i), shown[key][i].section(';', 0, 0) + ';' + value);
        }
    const QStringList &single = written["1;instant"];
    QCOMPARE(single.value(1), QStringLiteral("Напряжение, В;230,123"));
    QCOMPARE(written["2;info"].value(1), QStringLiteral("Версия программного обеспечения;1.10"));

    // The JSON lines: the cells as shown, and beside them each row's number in its unit.
    const Job json = runJob(args + QStringList{"--format", "json", "--no-log"}, rig.work.path());
    QCOMPARE(json.status, 0);
    QMap<QString, QStringList> cells;
    QMap<QString, QJsonArray> values;
    for (const QString &line : lines(json.out)) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        const QString key = QString::number(o["address"].toInt()) + ';' + o["operation"].toString();
        for (const QJsonValue &row : o["rows"].toArray())
            cells[key] << row[0].toString() + ';' + row[1].toString();
        values[key] = o["values"].toArray();
        const QJsonObject meter = o["meter"].toObject();
        QCOMPARE(meter["series"].toString(), o["address"].toInt() == 1 ? "single-phase" : "three-phase");
        QCOMPARE(meter["model"].toString(), o["address"].toInt() == 1 ? "210.1" : "450.22R");
        // Reached by address, it named itself by its serial number.
        QCOMPARE(meter["serial"].toString(),
                 o["address"].toInt() == 1 ? "000000001111111" : "000000002222222");
    }
    QCOMPARE(cells, shown);
    for (const char *key : {"1;energy", "2;energy", "1;instant", "2;instant"}) {
        QCOMPARE(values[key].size(), shown[key].size());
        for (int i = 0; i < shown[key].size(); ++i) {
            const QJsonObject v = values[key][i].toObject();
            QCOMPARE(QString::number(v["value"].toDouble(), 'g', 6), shown[key][i].section(';', 1));
        }
    }
    const auto value = [&](const QString &key, int row) {
        const QJsonObject v = values[key][row].toObject();
        return v["quantity"].toString() + ' ' + v["unit"].toString() + ' ' +
               QString::number(v["tariff"].toInt()) + ' ' + QString::number(v["value"].toDouble());
    };
    QCOMPARE(value("1;instant", 1), QStringLiteral("voltage V 0 230.123"));
    QCOMPARE(value("1;instant", 4), QStringLiteral("tariff_in_force  0 2"));
    QCOMPARE(value("2;instant", 1), QStringLiteral("voltage_b V 0 230.25"));
    QCOMPARE(value("2;instant", 9), QStringLiteral("power_active_total W 0 0"));
    QCOMPARE(value("2;instant", 18), QStringLiteral("battery_voltage V 0 3.012"));
    QCOMPARE(value("2;energy", 0).section(' ', 0, 2), QStringLiteral("energy_active_total kWh 0"));
    QCOMPARE(value("2;energy", 17).section(' ', 0, 2), QStringLiteral("energy_reactive kvarh 8"));
    QCOMPARE(value("1;energy", 3).section(' ', 0, 2), QStringLiteral("energy_active kWh 3"));
    QVERIFY(values["1;info"].isEmpty());
}

void TestMeterJob::standClock()
{
    WorkDir work;
    MeterSimProcess stand;
    QVERIFY2(stand.start({"--no-tcp", "--stand"}), qPrintable(stand.errorString()));
    QVERIFY(QDir(work.path()).mkdir(QStringLiteral("ports")));
    QVERIFY(QFile::link(stand.standPtyPath(), work.filePath(QStringLiteral("ports/COM2"))));
    const QStringList channel{"--com", "2", "--stand",
                              stand.standAddress() + ':' + QString::number(stand.standPort())};

    const int hourBefore = QDateTime::currentDateTime().addSecs(3 * 3600).time().hour();
    const Job job = runJob(channel + QStringList{"--position", "1-3", "--level", "admin",
                                                 "--set-clock", "--hour-shift", "3"},
                           work.path());
    const int hourAfter = QDateTime::currentDateTime().addSecs(3 * 3600).time().hour();
    QCOMPARE(job.status, 0);
    const QStringList out = lines(job.out);
    QCOMPARE(out.size(), 4);
    QCOMPARE(out[0], QStringLiteral("address;serial;position;name;operation;status;reason;"
                                    "Текущее;Смещение времени;"));
    const QStringList log = logFileLines(work.path());
    int at = 0;
    for (int p = 1; p <= 3; ++p) {
        QVERIFY2(out[p].startsWith(QStringLiteral("255;;%1;210.1;set-clock;ok;;").arg(p)),
                 qPrintable(out[p]));
        QVERIFY(out[p].endsWith(QStringLiteral(";3;")));
        // Switched in and acknowledged before its clock is written.
        at = indexStarting(log, QStringLiteral("Выбор счетчика на стенде: 0%1").arg(p), at);
        QVERIFY(at >= 0);
        const int write = indexStarting(log, QStringLiteral("TX: ff 0a 0e "), at);
        const int ack = indexStarting(log, QStringLiteral("Выполнено!"), at);
        QVERIFY(ack > at && write > ack);
        QVERIFY(indexStarting(log, QStringLiteral("Выбор счетчика на стенде: "), at + 1) > write ||
                p == 3);
        const int hour = log[write].split(' ').value(6).toInt(nullptr, 16);
        QVERIFY2(hour == hourBefore || hour == hourAfter, qPrintable(log[write]));
    }

    // The meter at position 2 noted the new time in its messages, by its own clock.
    const Job events =
        runJob(channel + QStringList{"--position", "2", "--events", "--format", "json", "--no-log"},
               work.path());
    QCOMPARE(events.status, 0);
    QDateTime noted;
    const QJsonObject o = QJsonDocument::fromJson(events.out).object();
    QHash<QChar, int> counted; // each list numbers its rows from 0
    for (const QJsonValue &row : o.value("rows").toArray()) {
        const QStringList c = row.toVariant().toStringList();
        const QChar list = c.value(2).front();
        QCOMPARE(c[2], list + QString::number(counted[list]++));
        if (c.value(4) == QStringLiteral("Установка даты/времени"))
            noted = QDateTime::fromString(c[0] + ' ' + c[1], QStringLiteral("d.M.yyyy hh:mm:ss"));
    }
    const qint64 off = noted.secsTo(QDateTime::currentDateTime().addSecs(3 * 3600));
    QVERIFY2(noted.isValid() && qAbs(off) < 120, qPrintable(noted.toString()));
}

// A wrong answer of the switching block ends the run as in the configurator: the meters after it
// are reported failed with the stand's red line, and nothing more is switched or sent.
void TestMeterJob::standError()
{
    WorkDir work;
    StandBlock block;
    QVERIFY2(block.start(QString(), 0), qPrintable(block.errorString()));
    MeterSimProcess line;
    QVERIFY(line.start({"--no-tcp", "--pty", "--meter", "210.1,addr=255"}));
    QVERIFY(QDir(work.path()).mkdir(QStringLiteral("ports")));
    QVERIFY(QFile::link(line.ptyPath(), work.filePath(QStringLiteral("ports/COM1"))));
    block.injectReply(QByteArray::fromHex("000000000006010f00000018"));
    block.injectReply(QByteArray::fromHex("000000000003018f02"));
    const Job job =
        runJob({"--com", "1", "--stand", block.address() + ':' + QString::number(block.port()),
                "--position", "1-3", "--info"},
               work.path());
    QCOMPARE(job.status, 1);
    const QStringList out = lines(job.out);
    // The header, the three rows of position 1's table, one line each for positions 2 and 3.
    QVERIFY2(out.size() == 6, job.out.constData());
    QVERIFY2(out[1].startsWith(QStringLiteral("255;;1;210.1;info;ok;;")), qPrintable(out[1]));
    const QString why = QStringLiteral("Работа с группой прекращена из-за некорректного выбор "
                                       "адреса на стенде или аппаратной ошибки стенда");
    for (int p = 2; p <= 3; ++p)
        QVERIFY2(out[p + 2].startsWith(QStringLiteral("255;;%1;-;info;failed;%2;").arg(p).arg(why)),
                 qPrintable(out[p + 2]));
    QCOMPARE(block.requestCount(), 2);
    const QStringList log = logFileLines(work.path());
    const int second = indexStarting(log, QStringLiteral("Выбор счетчика на стенде: 02"));
    QVERIFY(second > indexStarting(log, QStringLiteral("TX: ff 08 ")));
    QCOMPARE(indexStarting(log, QStringLiteral("TX: "), second), -1);
}

void TestMeterJob::stop_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
}

void TestMeterJob::stop()
{
    QFETCH(int, signal);
    // Each archive record takes its time, so the stop comes while one is on its way.
    MeterSimProcess slow;
    QVERIFY(slow.start({"--meter", "210.1,addr=1", "--fault", "late:150@fn=07"}));
    QTemporaryDir dir;
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QStringLiteral(METERJOB_BIN),
            {"--tcp", slow.tcpHost() + ':' + QString::number(slow.tcpPort()), "--address", "1",
             "--info", "--archive"});
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += p.readAllStandardOutput()).contains(";info;ok;"), 20000);
    ::kill(pid_t(p.processId()), signal);
    QVERIFY(p.waitForFinished(20000));
    out += p.readAllStandardOutput();
    QCOMPARE(p.exitCode(), 128 + signal);

    const QString stopped = QStringLiteral("Работа прервана сигналом %1").arg(signal);
    QVERIFY2(out.contains((";archive;interrupted;" + stopped + ';').toUtf8()), out.constData());
    // The archive was under way, so it counts as interrupted, not as undone.
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("stopped by signal %1; 0 operation(s) left undone")
                              .arg(signal)),
             qPrintable(err));
    // The request on the wire got its reply; nothing was sent after.
    const QStringList log = logFileLines(dir.path());
    const int at = log.indexOf(stopped);
    QVERIFY(at > 0);
    const QStringList after = log.mid(at + 1);
    QVERIFY(indexStarting(after, QStringLiteral("RX: 01 07 10 ")) >= 0);
    QCOMPARE(indexStarting(after, QStringLiteral("TX: ")), -1);
    QVERIFY(after.contains(QStringLiteral("Сессия закрыта")));
}

QTEST_MAIN(TestMeterJob)
#include "tst_meterjob.moc"
