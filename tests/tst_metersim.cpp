#include "link/comport.h"
#include "link/eth.h"
#include "link/modbus.h"
#include "link/stend.h"
#include "support/metersimprocess.h"
#include "support/workdir.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

namespace
{
const int kWait = 10000;

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

const QByteArray kOpenUser = hex("0800e1e1e1e1e1e1");
const QByteArray kOpenAdmin = hex("0801e1e1e1e1e1e1");
const QByteArray kOpenDeveloper = hex("08023c91e4075bd2");

// The test's own reading of the layouts, independent of metersim's encoders.
qint64 signedLE(const QByteArray &d, int from, int n)
{
    qint64 v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v * 256 + quint8(d[from + i]);
    if (n < 8 && (v >> (8 * n - 1)) & 1)
        v -= qint64(1) << (8 * n);
    return v;
}

// Eight digits, least significant pair first, tens in the low nibble; -1 when a nibble is
// above 9.
qint64 bcdSwapped(const QByteArray &d, int from)
{
    qint64 v = 0;
    for (int i = 3; i >= 0; --i) {
        const int b = quint8(d[from + i]);
        if ((b & 15) > 9 || (b >> 4) > 9)
            return -1;
        v = v * 100 + (b & 15) * 10 + (b >> 4);
    }
    return v;
}

QString filteredText(const QByteArray &d)
{
    QString s;
    for (const char c : d)
        if (QChar::isLetterOrNumber(uchar(c)) || c == '.')
            s += QLatin1Char(c);
    return s;
}

// The program's side of a channel: its frame codec over one of its transports.
class Client
{
public:
    struct Reply {
        bool answered = false;
        QByteArray packet;
        bool crcOk = false;
        qint64 ms = 0;
    };

    explicit Client(int extraTime = 3000) { codec.extraTime = extraTime; }

    bool openTcp(const MeterSimProcess &sim, quint16 port = 0)
    {
        auto *link = new eth;
        link->ethernetIp = sim.tcpHost();
        link->ethernetPort = port ? port : sim.tcpPort();
        return attach(link);
    }
    bool openCom(int port)
    {
        auto *serial = new comport;
        serial->portNumber = port;
        serial->baudIndex = 5;
        return attach(serial);
    }

    Reply ask(const QByteArray &frame)
    {
        QSignalSpy rx(&codec, &modbus::receivePaket);
        QSignalSpy timeout(&codec, &modbus::deviceTimeout);
        QElapsedTimer t;
        t.start();
        codec.sendFrame(frame, 0);
        Reply r;
        if (!QTest::qWaitFor([&] { return !rx.isEmpty() || !timeout.isEmpty(); },
                             codec.extraTime + kWait))
            return r;
        r.ms = t.elapsed();
        if (!rx.isEmpty()) {
            r.answered = true;
            r.packet = rx[0][0].toByteArray();
            r.crcOk = rx[0][1].toBool();
        }
        return r;
    }

    // The reply payload (address and CRC removed) to `payload`; empty for silence or a bad CRC.
    QByteArray call(quint32 address, const QByteArray &payload, int addressSize = 1)
    {
        const Reply r = ask(modbus::makeFrame(int(address), char(addressSize), payload));
        if (!r.answered || !r.crcOk || r.packet.size() < addressSize + 2)
            return QByteArray();
        return r.packet.mid(addressSize, r.packet.size() - addressSize - 2);
    }

    modbus codec;
    std::unique_ptr<comm> transport;

private:
    bool attach(comm *t)
    {
        transport.reset(t);
        codec.setTransport(t);
        QSignalSpy up(t, &comm::connIsEstablished);
        t->open();
        if (up.isEmpty() && !up.wait(kWait))
            return false;
        return up.last().at(0).toBool();
    }
};

// What a read reply must look like.
enum class Layout {
    Volts,
    Amps,
    Watts,
    PhasePower,
    SumPower,
    Energy,
    Tariff,
    Battery,
    Battery16,
    StartCurrent,
    Display,
    SingleCalibration,
    ThreeCalibration,
    Clock,
    Holidays,
    TariffIndex,
    SingleSchedule,
    ThreeSchedule,
    Name,
    Version,
    ClockCoefficient,
    Flag,
    VoltageLimit,
    PowerLimit,
    LoadThreshold,
    Link,
    Password,
    ArchivePeriod,
    Identifier,
    PulseMode,
    Serial,
    ListSize,
    EventRecord,
    SingleSlice,
    ThreeSlice,
    SingleArchive,
    ThreeArchive,
};
} // namespace
Q_DECLARE_METATYPE(Layout)

class TestMeterSim : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void sessionLevels_data();
    void sessionLevels();
    void silence_data();
    void silence();
    void readEveryGroup_data();
    void readEveryGroup();
    void energyTotalsAddUp();
    void writesThenReads();
    void serialNumberOverPty();
    void faults_data();
    void faults();
    void shareOfFrames();
    void splitOverSerialLine();
    void pacing();
    void standSwitchesMeters();
    void manyTcpLines();
    void commandLine();

private:
    MeterSimProcess *shared = nullptr; // meter 1: 210.1, meter 2: 450.42R
    Client *client = nullptr;
};

void TestMeterSim::initTestCase()
{
    shared = new MeterSimProcess;
    QVERIFY2(shared->start({"--meter", "210.1,serial=000000001234567", "--meter",
                            "450.42R,addr=2,serial=000000007654321"}),
             qPrintable(shared->errorString()));
    QVERIFY(shared->tcpPort() != 0);
    QCOMPARE(shared->tcpHost(), QStringLiteral("127.0.0.1"));
    client = new Client;
    QVERIFY(client->openTcp(*shared));
}

void TestMeterSim::cleanupTestCase()
{
    delete client;
    delete shared;
}

void TestMeterSim::sessionLevels_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<QByteArray>("open");
    QTest::addColumn<QByteArray>("opened");
    QTest::addColumn<QByteArray>("written"); // reply to a write of the daylight-saving flag
    QTest::newRow("user") << 1 << kOpenUser << hex("080000") << hex("8209");
    QTest::newRow("administrator") << 1 << kOpenAdmin << hex("080100") << hex("022300");
    QTest::newRow("developer, three-phase")
        << 2 << kOpenDeveloper << hex("080200") << hex("022300");
    QTest::newRow("wrong password") << 1 << hex("0801e1e1e1e1e1e0") << hex("880d") << hex("8208");
    QTest::newRow("user password at developer level")
        << 2 << hex("0802e1e1e1e1e1e1") << hex("880d") << hex("8208");
}

void TestMeterSim::sessionLevels()
{
    QFETCH(int, address);
    QFETCH(QByteArray, open);
    QFETCH(QByteArray, opened);
    QFETCH(QByteArray, written);
    QCOMPARE(client->call(address, open).toHex(' '), opened.toHex(' '));
    QCOMPARE(client->call(address, hex("022301")).toHex(' '), written.toHex(' '));
    // Closing ends the session: reads need a new one.
    client->call(address, hex("0901"));
    QCOMPARE(client->call(address, hex("0123")).toHex(' '), QByteArray("81 08"));
    // The search probe needs none.
    QCOMPARE(client->call(address, hex("013e")).left(3).toHex(' '), QByteArray("01 3e 02"));
}

void TestMeterSim::silence_data()
{
    QTest::addColumn<QByteArray>("frame");
    QByteArray broken = modbus::makeFrame(1, 1, hex("013e"));
    broken[1] = char(0x02);
    QTest::newRow("bad CRC") << broken;
    QTest::newRow("foreign address") << modbus::makeFrame(3, 1, hex("013e"));
    QTest::newRow("foreign serial number") << modbus::makeFrame(1234568, 4, hex("013e"));
    QTest::newRow("address only") << modbus::makeFrame(1, 1, QByteArray());
}

void TestMeterSim::silence()
{
    QFETCH(QByteArray, frame);
    Client quick(400);
    QVERIFY(quick.openTcp(*shared));
    const Client::Reply r = quick.ask(frame);
    QVERIFY2(!r.answered, r.packet.toHex(' ').constData());
    // The line is still fine.
    QCOMPARE(quick.call(1, hex("013e")).left(2), hex("013e"));
}

void TestMeterSim::readEveryGroup_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<Layout>("layout");
    auto row = [](const char *name, int address, const char *request, Layout layout) {
        QTest::newRow(name) << address << hex(request) << layout;
    };
    row("voltage", 1, "0101", Layout::Volts);
    row("current", 1, "0102", Layout::Amps);
    row("power", 1, "0103", Layout::Watts);
    row("energy total", 1, "0104", Layout::Energy);
    row("energy tariff 4", 1, "0108", Layout::Energy);
    row("tariff", 1, "010a", Layout::Tariff);
    row("display", 1, "010b", Layout::Display);
    row("calibration", 1, "010c", Layout::SingleCalibration);
    row("clock", 1, "010e", Layout::Clock);
    row("holidays", 1, "010f", Layout::Holidays);
    row("number of tariffs", 1, "0113", Layout::TariffIndex);
    row("schedule January", 1, "0114", Layout::SingleSchedule);
    row("schedule December", 1, "011f", Layout::SingleSchedule);
    row("name", 1, "0120", Layout::Name);
    row("version", 1, "0121", Layout::Version);
    row("clock coefficient", 1, "0122", Layout::ClockCoefficient);
    row("daylight saving", 1, "0123", Layout::Flag);
    row("lower voltage limit", 1, "0124", Layout::VoltageLimit);
    row("upper voltage limit", 1, "0125", Layout::VoltageLimit);
    row("power limit", 1, "0128", Layout::PowerLimit);
    row("link", 1, "0129", Layout::Link);
    row("user password", 1, "012a", Layout::Password);
    row("developer password", 1, "012c", Layout::Password);
    row("battery", 1, "0139", Layout::Battery);
    row("starting current", 1, "013a", Layout::StartCurrent);
    row("archive period", 1, "013d", Layout::ArchivePeriod);
    row("identifier", 1, "013e", Layout::Identifier);
    row("pulse mode", 1, "013f", Layout::PulseMode);
    row("relay", 1, "0140", Layout::Flag);
    row("load threshold", 1, "0141", Layout::LoadThreshold);
    row("serial number", 1, "0144", Layout::Serial);
    row("archive size", 1, "0610", Layout::ListSize);
    row("error list size", 1, "0612", Layout::ListSize);
    row("message", 1, "0b3b0000", Layout::EventRecord);
    row("warning", 1, "0b3c0000", Layout::EventRecord);
    row("daily slice", 1, "0c420000", Layout::SingleSlice);
    row("monthly slice", 1, "0c430100", Layout::SingleSlice);
    row("archive record 1", 1, "07100100", Layout::SingleArchive);
    row("3: voltage C", 2, "0166", Layout::Volts);
    row("3: current A", 2, "0167", Layout::Amps);
    row("3: active power B", 2, "016b", Layout::PhasePower);
    row("3: active power sum", 2, "016d", Layout::SumPower);
    row("3: reactive power A", 2, "016e", Layout::PhasePower);
    row("3: apparent power sum", 2, "0175", Layout::SumPower);
    row("3: battery", 2, "0139", Layout::Battery16);
    row("3: active energy", 2, "0176", Layout::Energy);
    row("3: reactive energy tariff 8", 2, "0187", Layout::Energy);
    row("3: calibration", 2, "0188", Layout::ThreeCalibration);
    row("3: schedule January", 2, "0189", Layout::ThreeSchedule);
    row("3: schedule December", 2, "0194", Layout::ThreeSchedule);
    row("3: name", 2, "0120", Layout::Name);
    row("3: daily slice", 2, "0c420200", Layout::ThreeSlice);
    row("3: archive record 0", 2, "07100000", Layout::ThreeArchive);
    row("3: message", 2, "0b3b0100", Layout::EventRecord);
}

void TestMeterSim::readEveryGroup()
{
    QFETCH(int, address);
    QFETCH(QByteArray, request);
    QFETCH(Layout, layout);
    QCOMPARE(client->call(address, kOpenDeveloper).toHex(' '), QByteArray("08 02 00"));
    const QByteArray r = client->call(address, request);
    QVERIFY2(r.size() >= 3, r.toHex(' ').constData());
    QCOMPARE(r.left(2).toHex(' '), request.left(2).toHex(' '));
    const QByteArray d = r.mid(3);
    QCOMPARE(int(quint8(r[2])), int(d.size()));
    const int n = int(d.size());
    auto value = [&] { return signedLE(d, 0, n); };
    auto stampValid = [&](int at, bool seconds) {
        const int s = seconds ? quint8(d[at++]) : 0;
        const QTime t(quint8(d[at + 1]), quint8(d[at]), s);
        const QDate date(2000 + quint8(d[at + 4]), quint8(d[at + 3]), quint8(d[at + 2]));
        return t.isValid() && date.isValid() && date <= QDate::currentDate().addDays(1);
    };
    const QByteArray info = d.toHex(' ');
    const char *why = info.constData();
    switch (layout) {
    case Layout::Volts:
        QCOMPARE(n, 4);
        QVERIFY2(qAbs(value() / 1000.0 - 230) < 10, why);
        break;
    case Layout::Amps:
        QCOMPARE(n, 4);
        QVERIFY2(qAbs(value() / 1000.0 - 5) < 0.3, why);
        break;
    case Layout::Watts: // W x 1000, 5 A at 20 degrees
        QCOMPARE(n, 4);
        QVERIFY2(qAbs(value() / 1000.0 - 1080) < 60, why);
        break;
    case Layout::PhasePower: // W x 100
        QCOMPARE(n, 4);
        QVERIFY2(value() / 100.0 > 300 && value() / 100.0 < 1250, why);
        break;
    case Layout::SumPower:
        QCOMPARE(n, 4);
        QVERIFY2(value() / 100.0 > 1000 && value() / 100.0 < 3700, why);
        break;
    case Layout::Energy:
        QCOMPARE(n, 4);
        QVERIFY2(bcdSwapped(d, 0) >= 0, why);
        break;
    case Layout::Tariff:
        QCOMPARE(n, 1);
        QVERIFY2(value() >= 1 && value() <= 4, why);
        break;
    case Layout::Battery:
        QCOMPARE(n, 4);
        QVERIFY2(value() >= 2900 && value() <= 3200, why);
        break;
    case Layout::Battery16:
        QCOMPARE(n, 2);
        QVERIFY2(value() >= 2900 && value() <= 3200, why);
        break;
    case Layout::StartCurrent:
        QCOMPARE(n, 4);
        QVERIFY2(value() >= 30000 && value() <= 50000, why);
        break;
    case Layout::Display:
        QCOMPARE(info, QByteArray("0a e7 03"));
        break;
    case Layout::SingleCalibration: {
        QCOMPARE(n, 28);
        // A factory-calibrated meter passes the program's dimension check.
        const qint64 c[7] = {signedLE(d, 0, 4),  signedLE(d, 4, 4),  signedLE(d, 8, 4),
                             signedLE(d, 12, 4), signedLE(d, 16, 4), signedLE(d, 20, 4),
                             signedLE(d, 24, 4)};
        QVERIFY2(c[0] >= 15000 && c[0] <= 17500 && c[1] >= 14000 && c[1] <= 18500, why);
        QVERIFY2(c[2] >= -2000 && c[2] <= -800 && c[3] >= 60000 && c[3] <= 170000, why);
        QVERIFY2(c[4] == 0 && c[5] >= 30000 && c[5] <= 50000 && c[6] == 0, why);
        break;
    }
    case Layout::ThreeCalibration:
        QCOMPARE(n, 136);
        for (int i = 15; i < 18; ++i)
            QVERIFY2(qAbs(signedLE(d, i * 4, 4) - 128) < 40, why);
        QCOMPARE(signedLE(d, 33 * 4, 4), qint64(350)); // start-current limit of ".42"
        break;
    case Layout::Clock: {
        QCOMPARE(n, 7);
        const QDateTime t(QDate(2000 + quint8(d[6]), quint8(d[5]), quint8(d[4])),
                          QTime(quint8(d[2]), quint8(d[1]), quint8(d[0])));
        QVERIFY2(qAbs(t.secsTo(QDateTime::currentDateTime())) < 60, why);
        QCOMPARE(int(quint8(d[3])), t.date().dayOfWeek() % 7 + 1);
        break;
    }
    case Layout::Holidays:
        QCOMPARE(n, 40);
        QCOMPARE(d.left(4).toHex(' '), QByteArray("01 01 02 01"));
        QCOMPARE(int(quint8(d[39])), 255);
        break;
    case Layout::TariffIndex:
        QCOMPARE(info, QByteArray("02"));
        break;
    case Layout::SingleSchedule:
    case Layout::ThreeSchedule:
        QCOMPARE(n, layout == Layout::SingleSchedule ? 32 : 64);
        QCOMPARE(d.left(8).toHex(' '), QByteArray("07 00 00 00 17 00 11 11"));
        QCOMPARE(int(quint8(d[8])), 255);
        break;
    case Layout::Name:
        QCOMPARE(n, 32);
        QCOMPARE(filteredText(d),
                 address == 1 ? QStringLiteral("210.1") : QStringLiteral("450.42R"));
        break;
    case Layout::Version:
        QCOMPARE(d, QByteArray("1.10"));
        break;
    case Layout::ClockCoefficient:
        QCOMPARE(info, QByteArray("00 00"));
        break;
    case Layout::Flag:
        QCOMPARE(n, 1);
        QVERIFY(value() == 0 || value() == 1);
        break;
    case Layout::VoltageLimit:
        QCOMPARE(n, 3);
        QVERIFY2(value() == 180000 || value() == 260000, why);
        break;
    case Layout::PowerLimit:
        QCOMPARE(n, 4);
        QCOMPARE(value(), qint64(22500000));
        break;
    case Layout::LoadThreshold:
        QCOMPARE(n, 2);
        QCOMPARE(value(), qint64(22500));
        break;
    case Layout::Link:
        QCOMPARE(n, 5);
        QCOMPARE(int(quint8(d[0])), address);
        QCOMPARE(d.mid(1).toHex(' '), QByteArray("03 05 0a 1e"));
        break;
    case Layout::Password:
        QCOMPARE(n, 6);
        break;
    case Layout::ArchivePeriod:
        QCOMPARE(info, QByteArray("1e"));
        break;
    case Layout::Identifier:
        QCOMPARE(n, 2);
        break;
    case Layout::PulseMode:
        QCOMPARE(info, QByteArray("00"));
        break;
    case Layout::Serial:
        QCOMPARE(d, QByteArray("000000001234567"));
        break;
    case Layout::ListSize:
        QCOMPARE(n, 2);
        QVERIFY2(value() >= 1, why);
        break;
    case Layout::EventRecord:
        QCOMPARE(n, 8);
        QVERIFY2(stampValid(0, true), why);
        QVERIFY2(signedLE(d, 6, 2) != 0, why);
        break;
    case Layout::SingleSlice:
    case Layout::ThreeSlice: {
        const int registers = layout == Layout::SingleSlice ? 5 : 18;
        QCOMPARE(n, 6 + 4 * registers);
        QVERIFY2(stampValid(1, false), why);
        for (int k = 0; k < registers; ++k)
            QVERIFY2(bcdSwapped(d, 6 + 4 * k) >= 0, why);
        break;
    }
    case Layout::SingleArchive:
    case Layout::ThreeArchive:
        QCOMPARE(n, layout == Layout::SingleArchive ? 7 : 9);
        QVERIFY2(stampValid(0, false), why);
        QCOMPARE(int(quint8(d[0])) % 30, 0); // on the 30-minute period
        break;
    }
}

void TestMeterSim::energyTotalsAddUp()
{
    // The total is the sum of the tariff registers, read as swapped decimal digits.
    for (const auto &[address, first, tariffs] :
         {std::tuple{1, 0x04, 4}, std::tuple{2, 0x76, 8}, std::tuple{2, 0x7f, 8}}) {
        QCOMPARE(client->call(address, kOpenUser).toHex(' '), QByteArray("08 00 00"));
        qint64 total = -1, sum = 0;
        for (int k = 0; k <= tariffs; ++k) {
            const QByteArray r = client->call(address, hex("01") + char(first + k));
            QCOMPARE(r.size(), 7);
            const qint64 v = bcdSwapped(r, 3);
            QVERIFY(v >= 0);
            if (k == 0)
                total = v;
            else
                sum += v;
        }
        // Energy may move by a hundredth between the reads.
        QVERIFY2(qAbs(total - sum) <= 2, qPrintable(QStringLiteral("%1 %2").arg(total).arg(sum)));
        QVERIFY(total > 0);
    }
}

void TestMeterSim::writesThenReads()
{
    MeterSimProcess sim;
    QVERIFY2(sim.start({"--meter", "210.1", "--meter", "450.21R,addr=9"}),
             qPrintable(sim.errorString()));
    Client c;
    QVERIFY(c.openTcp(sim));
    QCOMPARE(c.call(1, kOpenAdmin), hex("080100"));

    // Clock: 09:05:30 on Monday 7 December 2026, as the program writes it.
    QCOMPARE(c.call(1, hex("0a0e1e050902070c1a")), hex("0a0e00"));
    const QByteArray clock = c.call(1, hex("010e"));
    QCOMPARE(clock.size(), 10);
    QVERIFY(quint8(clock[3]) >= 30 && quint8(clock[3]) <= 32); // it runs on
    QCOMPARE(clock.mid(4).toHex(' '), QByteArray("05 09 02 07 0c 1a"));

    // Number of tariffs, holidays, a month of the schedule, limits, the pulse mode.
    const QList<QPair<QByteArray, QByteArray>> writes = {
        {hex("0213"), hex("01")},
        {hex("020f"), hex("1f02") + QByteArray(38, char(0xff))},
        {hex("0215"), hex("06000123") + hex("1600ff32") + QByteArray(24, char(0xff))},
        {hex("0224"), hex("acfb02")},
        {hex("0241"), hex("e803")},
        {hex("023f"), hex("06")},
    };
    for (const auto &[command, data] : writes) {
        QCOMPARE(c.call(1, command + data).toHex(' '), (command + '\0').toHex(' '));
        const QByteArray read = hex("01") + command.mid(1);
        QCOMPARE(c.call(1, read).toHex(' '), (read + char(data.size()) + data).toHex(' '));
    }

    // A new user password: the old one is refused from then on.
    QCOMPARE(c.call(1, hex("022a") + QByteArray("abc")), hex("022a00"));
    QCOMPARE(c.call(1, kOpenUser), hex("880d"));
    QCOMPARE(c.call(1, hex("0800") + QByteArray("abc\0\0\0", 6)), hex("080000"));

    // The three-phase model within its series; the series itself stays.
    QCOMPARE(c.call(9, kOpenDeveloper), hex("080200"));
    const QByteArray model = QByteArray("450.22R").leftJustified(32, '\0');
    QCOMPARE(c.call(9, hex("0220") + model), hex("022000"));
    QCOMPARE(c.call(9, hex("0120")), hex("012020") + model);
    QCOMPARE(c.call(9, hex("0220") + QByteArray("210.1").leftJustified(32, '\0')), hex("8203"));

    // The link parameters: the meter answers at its new address, with the new hold time.
    QCOMPARE(c.call(9, hex("020d05")), hex("020d00"));
    QCOMPARE(c.call(9, hex("0229") + hex("0c03050f1e")), hex("022900"));
    QVERIFY(c.call(12, hex("0129")).endsWith(hex("0c03050f1e")));
}

void TestMeterSim::serialNumberOverPty()
{
    WorkDir work;
    QVERIFY(work.isValid());
    QString link;
    {
        MeterSimProcess sim;
        QVERIFY2(
            sim.start({"--no-tcp", "--pty", "--link-com", "5", "--workdir", work.path(), "--meter",
                       "210.1,addr=3,serial=000000000004321", "--meter", "450.22R,addr=4"}),
            qPrintable(sim.errorString()));
        QVERIFY(sim.ptyPath().startsWith(QStringLiteral("/dev/pts/")));
        link = sim.linkPath();
        QCOMPARE(link, work.filePath(QStringLiteral("ports/COM5")));
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim.ptyPath());

        Client c;
        QVERIFY(c.openCom(5)); // the program finds the line as COM5 in its working folder
        QCOMPARE(c.call(4321, kOpenAdmin, 4), hex("080100"));
        QCOMPARE(c.call(4321, hex("0144"), 4), hex("01440f") + QByteArray("000000000004321"));
        // Served by its address as well.
        QCOMPARE(c.call(3, hex("0144")).mid(3), QByteArray("000000000004321"));

        // A new serial number takes over the four-byte address once it is written.
        const QByteArray serial = QByteArray("77").leftJustified(15, '\0');
        QCOMPARE(c.call(4321, hex("0244") + serial, 4), hex("024400"));
        c.codec.extraTime = 300;
        QVERIFY(c.call(4321, hex("013e"), 4).isEmpty());
        QCOMPARE(c.call(77, hex("013e"), 4).left(3), hex("013e02"));
        // The three-phase meter of the line answers only its address.
        QCOMPARE(c.call(4, kOpenUser), hex("080000"));
    }
    QVERIFY2(!QFileInfo(link).isSymLink(), "the ports/COMn link outlives metersim");
}

void TestMeterSim::faults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("request"); // to meter 1, in a session
    QTest::addColumn<QString>("seen");
    QTest::newRow("drop") << "drop@count=1" << hex("0123") << "silence";
    QTest::newRow("crc") << "crc@count=1" << hex("0123") << "bad crc";
    QTest::newRow("echo") << "echo@count=1" << hex("020d0501") << "echo";
    QTest::newRow("late") << "late:1200@count=1" << hex("0123") << "late";
    QTest::newRow("split") << "split:300@count=1" << hex("0120") << "split";
    QTest::newRow("error") << "error:6@count=1" << hex("0123") << "error 81 06";
    QTest::newRow("one object only") << "error:4@obj=0e" << hex("010e") << "error 81 04";
    QTest::newRow("other objects pass") << "error:4@obj=0e" << hex("0123") << "ok";
    QTest::newRow("one function only") << "crc@fn=02" << hex("0123") << "ok";
}

void TestMeterSim::faults()
{
    QFETCH(QString, fault);
    QFETCH(QByteArray, request);
    QFETCH(QString, seen);
    Client c(seen == QLatin1String("silence") ? 500 : 3000);
    QVERIFY(c.openTcp(*shared));
    QCOMPARE(c.call(1, kOpenUser), hex("080000"));
    QVERIFY2(shared->command(QStringLiteral("fault ") + fault), qPrintable(shared->errorString()));

    const QByteArray frame = modbus::makeFrame(1, 1, request);
    if (seen == QLatin1String("split")) {
        QSignalSpy rx(&c.codec, &modbus::receivePaket);
        c.codec.sendFrame(frame, 0);
        QTRY_COMPARE_WITH_TIMEOUT(rx.size(), 2, kWait);
        QCOMPARE(rx[0][1].toBool(), false);
        const QByteArray whole = rx[0][0].toByteArray() + rx[1][0].toByteArray();
        QCOMPARE(whole.mid(1, 3).toHex(' '), QByteArray("01 20 20"));
        QVERIFY(modbus::makeFrame(1, 1, whole.mid(1, whole.size() - 3)) == whole);
    } else {
        const Client::Reply r = c.ask(frame);
        if (seen == QLatin1String("silence")) {
            QVERIFY(!r.answered);
        } else if (seen == QLatin1String("bad crc")) {
            QVERIFY(r.answered && !r.crcOk);
            QCOMPARE(r.packet.left(4).toHex(' '), QByteArray("01 01 23 01"));
        } else if (seen == QLatin1String("echo")) {
            QCOMPARE(r.packet, frame);
        } else if (seen == QLatin1String("late")) {
            QVERIFY(r.answered && r.crcOk);
            QVERIFY2(r.ms >= 1200, qPrintable(QString::number(r.ms)));
        } else if (seen.startsWith(QLatin1String("error"))) {
            QVERIFY(r.answered && r.crcOk);
            QCOMPARE(r.packet.mid(1, 2).toHex(' '), seen.mid(6).toLatin1());
        } else {
            QVERIFY(r.answered && r.crcOk);
            QCOMPARE(r.packet.mid(1, 2), request);
        }
    }
    QVERIFY(shared->command(QStringLiteral("faults off")));
    // Faults that lose or refuse the request leave the session as it was.
    QCOMPARE(c.call(1, hex("0123")), hex("01230101"));
}

void TestMeterSim::shareOfFrames()
{
    QVERIFY(shared->command(QStringLiteral("fault crc@50%")));
    QVERIFY(!shared->command(QStringLiteral("fault crc@150%")));
    QVERIFY(shared->errorString().startsWith(QStringLiteral("error bad fault")));
    QVERIFY(!shared->command(QStringLiteral("make coffee")));
    Client c;
    QVERIFY(c.openTcp(*shared));
    int good = 0, bad = 0;
    for (int i = 0; i < 40; ++i) {
        const Client::Reply r = c.ask(modbus::makeFrame(1, 1, hex("013e")));
        QVERIFY(r.answered);
        (r.crcOk ? good : bad)++;
    }
    QVERIFY(shared->command(QStringLiteral("faults off")));
    QVERIFY2(good >= 8 && bad >= 8,
             qPrintable(QStringLiteral("%1 good, %2 bad").arg(good).arg(bad)));
}

void TestMeterSim::splitOverSerialLine()
{
    // On a serial line a pause longer than the port's 20 ms gap makes two packets.
    WorkDir work;
    MeterSimProcess sim;
    QVERIFY2(sim.start({"--no-tcp", "--pty", "--link-com", "2", "--workdir", work.path(), "--fault",
                        "split:150@obj=3e"}),
             qPrintable(sim.errorString()));
    Client c;
    QVERIFY(c.openCom(2));
    QSignalSpy rx(&c.codec, &modbus::receivePaket);
    c.codec.sendFrame(modbus::makeFrame(1, 1, hex("013e")), 0);
    QTRY_COMPARE_WITH_TIMEOUT(rx.size(), 2, kWait);
    QVERIFY(!rx[0][1].toBool() && !rx[1][1].toBool());
    QCOMPARE((rx[0][0].toByteArray() + rx[1][0].toByteArray()).left(4), hex("01013e02"));
}

void TestMeterSim::pacing()
{
    WorkDir work;
    MeterSimProcess sim;
    QVERIFY2(sim.start({"--no-tcp", "--pty", "--link-com", "4", "--workdir", work.path(), "--pace",
                        "2400"}),
             qPrintable(sim.errorString()));
    Client c;
    QVERIFY(c.openCom(4));
    QSignalSpy rx(&c.codec, &modbus::receivePaket);
    QCOMPARE(c.call(1, kOpenUser), hex("080000"));
    // The request is 5 bytes on the wire and the name reply 38: at 2400 baud, 11 bits a byte,
    // the reply is complete no sooner than 197 ms after the request was handed over, and the
    // port's 20 ms gap ends it: still one packet (a byte every 4.6 ms).
    const Client::Reply r = c.ask(modbus::makeFrame(1, 1, hex("0120")));
    QVERIFY(r.answered && r.crcOk);
    QCOMPARE(r.packet.size(), 38);
    QVERIFY2(r.ms >= (5 + 38) * 11 * 1000 / 2400 + 20 - 2, qPrintable(QString::number(r.ms)));
    QCOMPARE(rx.size(), 2);
}

void TestMeterSim::standSwitchesMeters()
{
    WorkDir work;
    MeterSimProcess sim;
    QVERIFY2(sim.start({"--no-tcp", "--stand", "--stand-meter", "3:id=0303", "--stand-meter",
                        "5:450.42R,id=0505,serial=000000000000555"}),
             qPrintable(sim.errorString()));
    QVERIFY(sim.standAddress().startsWith(QStringLiteral("127.0.0.")));
    QVERIFY(sim.standPort() != 0);
    QVERIFY(QDir(work.path()).mkpath(QStringLiteral("ports")));
    QVERIFY(QFile::link(sim.standPtyPath(), work.filePath(QStringLiteral("ports/COM7"))));

    stend block;
    block.port = sim.standPort();
    QSignalSpy connected(&block, &stend::standConnected);
    block.connectToStand(sim.standAddress());
    QTRY_COMPARE_WITH_TIMEOUT(connected.size(), 1, kWait);
    QVERIFY(connected[0][0].toBool());
    QSignalSpy accepted(&block, &stend::acceptSelection);
    Client line(400);
    QVERIFY(line.openCom(7));
    const QByteArray probe = hex("013e");

    // Nothing is switched in at first: every meter sits at 255 and none hears.
    QVERIFY(line.call(255, probe).isEmpty());
    block.selectPosition(3);
    QTRY_COMPARE_WITH_TIMEOUT(accepted.size(), 1, kWait);
    QVERIFY(accepted[0][0].toBool());
    QCOMPARE(line.call(255, probe), hex("013e020303"));

    block.selectPosition(5);
    QTRY_COMPARE_WITH_TIMEOUT(accepted.size(), 2, kWait);
    QCOMPARE(line.call(255, probe), hex("013e020505"));
    QCOMPARE(line.call(555, kOpenUser, 4), hex("080000"));
    QCOMPARE(line.call(255, hex("0120")).left(10), hex("012020") + QByteArray("450.42R"));

    block.selectPosition(24);
    QTRY_COMPARE_WITH_TIMEOUT(accepted.size(), 3, kWait);
    QCOMPARE(line.call(255, probe).left(3), hex("013e02"));
    QVERIFY(line.call(555, probe, 4).isEmpty()); // meter 5 is off the line now

    // As the search does it: switch and probe at once, without waiting for the block.
    for (const int position : {3, 5, 3}) {
        block.selectPosition(position);
        QCOMPARE(line.call(255, probe).toHex(' '),
                 (hex("013e02") + char(position) + char(position)).toHex(' '));
    }
    QTRY_COMPARE_WITH_TIMEOUT(accepted.size(), 6, kWait);

    block.selectPosition(0);
    QTRY_COMPARE_WITH_TIMEOUT(accepted.size(), 7, kWait);
    QVERIFY(line.call(255, probe).isEmpty());
}

void TestMeterSim::manyTcpLines()
{
    // Two gateways, each its own line with its own copy of the meters, each paced on its own.
    MeterSimProcess sim;
    QVERIFY2(sim.start({"--tcp", "127.0.0.1:0", "--tcp-lines", "2", "--pace", "2400"}),
             qPrintable(sim.errorString()));
    const QList<quint16> ports = sim.tcpPorts();
    QCOMPARE(ports.size(), 2);
    QVERIFY(ports[0] != 0 && ports[1] != 0 && ports[0] != ports[1]);
    Client first, second;
    QVERIFY(first.openTcp(sim, ports[0]));
    QVERIFY(second.openTcp(sim, ports[1]));

    // A session opened on the first line is not open on the second.
    QCOMPARE(first.call(1, kOpenUser), hex("080000"));
    QCOMPARE(second.call(1, hex("0120")), hex("8108"));
    QCOMPARE(first.call(1, hex("0120")).left(8), hex("012020") + QByteArray("210.1"));
    // Both meters on both lines; a write on one line leaves the other's meter as it was.
    QCOMPARE(second.call(2, kOpenAdmin), hex("080100"));
    QCOMPARE(second.call(2, hex("023d0f")), hex("023d00"));
    QCOMPARE(second.call(2, hex("013d")), hex("013d010f"));
    QCOMPARE(first.call(2, kOpenUser), hex("080000"));
    QCOMPARE(first.call(2, hex("013d")), hex("013d011e"));
    // The second line's reply has its wire time: request 5 bytes, name reply 38, 11 bits each.
    const Client::Reply r = second.ask(modbus::makeFrame(2, 1, hex("0120")));
    QVERIFY(r.answered && r.crcOk);
    QCOMPARE(r.packet.size(), 38);
    QVERIFY2(r.ms >= (5 + 38) * 11 * 1000 / 2400 - 2, qPrintable(QString::number(r.ms)));

    const QList<QStringList> refused{
        {"--tcp-lines", "0"},
        {"--no-tcp", "--pty", "--tcp-lines", "2"},
        {"--tcp", "127.0.0.1:65535", "--tcp-lines", "2"},
    };
    for (const QStringList &args : refused) {
        QProcess bad;
        bad.start(MeterSimProcess::program(), args);
        QVERIFY(bad.waitForFinished(kWait));
        QVERIFY2(bad.exitCode() == 1 && bad.readAllStandardError().contains("--tcp-lines"),
                 qPrintable(args.join(QLatin1Char(' '))));
    }
}

void TestMeterSim::commandLine()
{
    QProcess help;
    help.start(MeterSimProcess::program(), {"--help"});
    QVERIFY(help.waitForFinished(kWait));
    QCOMPARE(help.exitCode(), 0);
    const QString text = QString::fromUtf8(help.readAllStandardOutput());
    for (const char *option :
         {"--meter", "--tcp", "--tcp-lines", "--no-tcp", "--pty", "--link-com", "--workdir",
          "--stand", "--stand-ip", "--stand-port", "--stand-model", "--stand-meter", "--fault",
          "--seed", "--pace", "--hold-ms", "--load", "--trace", "A meter (METER", "A fault (FAULT"})
        QVERIFY2(text.contains(QLatin1String(option)), option);

    QProcess bad;
    bad.start(MeterSimProcess::program(), {"--meter", "210.1,addr=300"});
    QVERIFY(bad.waitForFinished(kWait));
    QCOMPARE(bad.exitCode(), 1);
    QVERIFY(QString::fromLocal8Bit(bad.readAllStandardError()).contains(QLatin1String("addr")));

    // A port that is taken is reported, not silently replaced.
    MeterSimProcess second;
    const QString taken = QStringLiteral("127.0.0.1:%1").arg(shared->tcpPort());
    QVERIFY(!second.start({"--tcp", taken}));
    QVERIFY2(second.errorString().contains(QStringLiteral("cannot listen on ") + taken),
             qPrintable(second.errorString()));
    QVERIFY(!second.permissionDenied());
}

QTEST_GUILESS_MAIN(TestMeterSim)
#include "tst_metersim.moc"
