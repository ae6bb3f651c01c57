#include "metersim/faultplan.h"
#include "metersim/frameassembler.h"
#include "metersim/manualclock.h"
#include "metersim/simframe.h"
#include "metersim/simline.h"
#include "metersim/simmeter.h"
#include "metersim/simwire.h"

#include <QtTest>
#include <cmath>
#include <memory>

namespace
{
// A Tuesday afternoon.
const QDateTime kStart(QDate(2024, 3, 5), QTime(13, 30, 10));

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

const QByteArray kUser = hex("0800e1e1e1e1e1e1");
const QByteArray kAdmin = hex("0801e1e1e1e1e1e1");
const QByteArray kDeveloper = hex("08023c91e4075bd2");

MeterConfig config(const char *text)
{
    MeterConfig c;
    QString error;
    if (!applyMeterText(QString::fromLatin1(text), &c, &error))
        qFatal("%s", qPrintable(error));
    return c;
}

// A line with one meter (address 1 unless its description says otherwise) on a manual clock.
struct Bench {
    explicit Bench(const char *text = "210.1,serial=000000001234567")
    {
        meter = line.addMeter(std::make_unique<SimMeter>(config(text), &clock, 7));
    }
    // The reply payload to `payload` at the meter's address, empty for silence.
    QByteArray ask(const QByteArray &payload)
    {
        const QList<SimLine::Chunk> out =
            line.handleFrame(simframe::make(meter->address(), 1, payload));
        QByteArray all;
        for (const SimLine::Chunk &c : out)
            all += c.bytes;
        if (all.isEmpty())
            return all;
        if (!simframe::crcMatches(all) || all[0] != char(meter->address()))
            return QByteArray("bad frame");
        return all.mid(1, all.size() - 3);
    }
    ManualClock clock{kStart};
    FaultPlan faults;
    SimLine line{&faults};
    SimMeter *meter = nullptr;
};
} // namespace

class TestMeterSimCore : public QObject
{
    Q_OBJECT
private slots:
    void frames_data();
    void frames();
    void bcdSwapped_data();
    void bcdSwapped();
    void littleEndian_data();
    void littleEndian();
    void dateTimeRecord();
    void badDateTimes_data();
    void badDateTimes();
    void errorReplies_data();
    void errorReplies();
    void addressing_data();
    void addressing();
    void sessionHoldTime();
    void wrongPasswordClosesSession();
    void writesShowInReads_data();
    void writesShowInReads();
    void addressChangeTakesEffectAfterReply();
    void clockRunsFromSetTime();
    void tariffInForce_data();
    void tariffInForce();
    void periodicRecordsFollowTheClock();
    void resetsClearReadings();
    void calibrationBringsReadingsToReference();
    void faultTexts_data();
    void faultTexts();
    void faultScopes();
    void faultsOnTheLine();
    void assembler();
};

void TestMeterSimCore::frames_data()
{
    QTest::addColumn<uint>("address");
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<uint>("crc");
    QTest::addColumn<QByteArray>("frame");
    // The check value of CRC-16/MODBUS: "123456789" gives 0x4b37, sent 37 4b.
    QTest::newRow("check value, one-byte form")
        << 0x31u << 1 << QByteArray("23456789") << 0x4b37u << hex("31323334353637383937 4b");
    QTest::newRow("check value, four-byte form")
        << 0x34333231u << 4 << QByteArray("56789") << 0x4b37u << hex("31323334353637383937 4b");
    QTest::newRow("serial-line guide example")
        << 1u << 1 << hex("0300000001") << 0x0a84u << hex("010300000001840a");
    QTest::newRow("version read") << 1u << 1 << hex("0121") << 0x88e1u << hex("010121e188");
    QTest::newRow("serial 123456789")
        << 123456789u << 4 << hex("0121") << 0x634cu << hex("15cd5b070121 4c63");
    QTest::newRow("low 8 bits of the address")
        << 300u << 1 << hex("0121") << 0x8171u << hex("2c01217181");
    QTest::newRow("no payload") << 1u << 1 << QByteArray() << 0x807eu << hex("017e80");
}

void TestMeterSimCore::frames()
{
    QFETCH(uint, address);
    QFETCH(int, size);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, frame);
    QCOMPARE(simframe::make(address, size, payload).toHex(' '), frame.toHex(' '));
    QTEST(uint(simframe::crc(frame.chopped(2))), "crc");
    QVERIFY(simframe::crcMatches(frame));
    QByteArray swapped = frame;
    std::swap(swapped[swapped.size() - 1], swapped[swapped.size() - 2]);
    QVERIFY(!simframe::crcMatches(swapped));
    QByteArray flipped = frame;
    flipped[0] = char(flipped[0] ^ 0x80);
    QVERIFY(!simframe::crcMatches(flipped));
    QVERIFY(!simframe::crcMatches(frame.chopped(1)));
}

void TestMeterSimCore::bcdSwapped_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("563412.00 kWh") << qint64(56341200) << hex("00214365");
    QTest::newRow("12") << qint64(12) << hex("21000000");
    QTest::newRow("largest") << qint64(99999999) << hex("99999999");
    QTest::newRow("keeps eight digits") << qint64(123456789) << hex("98765432");
    QTest::newRow("negative as 0") << qint64(-5) << hex("00000000");
}

void TestMeterSimCore::bcdSwapped()
{
    QFETCH(qint64, value);
    QFETCH(QByteArray, bytes);
    QCOMPARE(simwire::bcdSwapped(value).toHex(' '), bytes.toHex(' '));
}

void TestMeterSimCore::littleEndian_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("-1000 in two") << qint64(-1000) << 2 << hex("18fc");
    QTest::newRow("195500 in three") << qint64(195500) << 3 << hex("acfb02");
    QTest::newRow("-1 in four") << qint64(-1) << 4 << hex("ffffffff");
    QTest::newRow("16384 in four") << qint64(16384) << 4 << hex("00400000");
}

void TestMeterSimCore::littleEndian()
{
    QFETCH(qint64, value);
    QFETCH(int, size);
    QFETCH(QByteArray, bytes);
    QCOMPARE(simwire::littleEndian(value, size).toHex(' '), bytes.toHex(' '));
    QCOMPARE(simwire::readLittleEndian(bytes, 0, size, true), value);
}

void TestMeterSimCore::dateTimeRecord()
{
    const QDateTime t(QDate(2099, 12, 31), QTime(23, 59, 59)); // a Thursday
    const QByteArray record = simwire::dateTime(t);
    QCOMPARE(record.toHex(' '), QByteArray("3b 3b 17 05 1f 0c 63"));
    QCOMPARE(simwire::parseDateTime(record), t);
}

void TestMeterSimCore::badDateTimes_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::newRow("60 seconds") << hex("3c0000020101") + hex("18");
    QTest::newRow("hour 24") << hex("00001802010118");
    QTest::newRow("31 February") << hex("0000000a1f0218");
    QTest::newRow("day of week 0") << hex("00000000010118");
    QTest::newRow("year 100") << hex("00000002010164");
    QTest::newRow("short") << hex("000000020101");
}

void TestMeterSimCore::badDateTimes()
{
    QFETCH(QByteArray, record);
    QVERIFY(!simwire::parseDateTime(record).isValid());
}

void TestMeterSimCore::errorReplies_data()
{
    QTest::addColumn<QByteArray>("session");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    const QByteArray none;
    QTest::newRow("probe without session") << none << hex("013e") << hex("013e02412d");
    QTest::newRow("read without session") << none << hex("010e") << hex("8108");
    QTest::newRow("close without session") << none << hex("0901") << hex("8908");
    QTest::newRow("wrong password") << none << hex("0800e1e1e1e1e1e2") << hex("880d");
    QTest::newRow("user password at developer level")
        << none << hex("0802e1e1e1e1e1e1") << hex("880d");
    QTest::newRow("level 3") << none << hex("0803e1e1e1e1e1e1") << hex("8803");
    QTest::newRow("short password") << none << hex("0800e1e1") << hex("8803");
    QTest::newRow("session opened") << none << kAdmin << hex("080100");
    QTest::newRow("unknown function") << kUser << hex("0301") << hex("8301");
    QTest::newRow("function alone") << kUser << hex("01") << hex("810b");
    QTest::newRow("unknown object") << kUser << hex("0199") << hex("8102");
    QTest::newRow("three-phase object") << kUser << hex("0164") << hex("8102");
    QTest::newRow("read-only object") << kDeveloper << hex("022131") << hex("8202");
    QTest::newRow("user writes") << kUser << hex("022301") << hex("8209");
    QTest::newRow("user clears") << kUser << hex("0512") << hex("8509");
    QTest::newRow("user sets the clock") << kUser << hex("0a0e00000003050318") << hex("8a09");
    QTest::newRow("administrator calibrates") << kAdmin << hex("02220000") << hex("8209");
    QTest::newRow("administrator reads developer password") << kAdmin << hex("012c") << hex("8109");
    QTest::newRow("user reads administrator password") << kUser << hex("012b") << hex("8109");
    QTest::newRow("user reads own password") << kUser << hex("012a") << hex("012a06e1e1e1e1e1e1");
    QTest::newRow("user prepares battery reading") << kUser << hex("020d06") << hex("020d00");
    QTest::newRow("flag out of range") << kAdmin << hex("022305") << hex("8203");
    QTest::newRow("holidays short") << kAdmin << hex("020f0101") << hex("8203");
    QTest::newRow("holiday 32nd") << kAdmin << hex("020f20") + QByteArray(39, '\x01')
                                  << hex("8203");
    QTest::newRow("archive period 7") << kAdmin << hex("023d07") << hex("8203");
    QTest::newRow("unknown service") << kDeveloper << hex("020d0a") << hex("8203");
    QTest::newRow("model of another series")
        << kDeveloper << hex("0220") + QByteArray("450.22R").leftJustified(32, '\0') << hex("8203");
    QTest::newRow("bad clock") << kAdmin << hex("0a0e3c0000030503") + hex("18") << hex("8a03");
    QTest::newRow("clock, wrong object") << kAdmin << hex("0a0f00000003050318") << hex("8a02");
    QTest::newRow("record past the end") << kUser << hex("0b12ff00") << hex("8b03");
    QTest::newRow("record without index") << kUser << hex("0b12") << hex("8b03");
    QTest::newRow("slice of an event list") << kUser << hex("0c1200") << hex("8c02");
    QTest::newRow("size of no list") << kUser << hex("0644") << hex("8602");
    QTest::newRow("close, wrong object") << kUser << hex("0902") << hex("8902");
}

void TestMeterSimCore::errorReplies()
{
    QFETCH(QByteArray, session);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    Bench b;
    if (!session.isEmpty())
        QCOMPARE(b.ask(session).toHex(' '), (session.left(2) + '\0').toHex(' '));
    QCOMPARE(b.ask(request).toHex(' '), reply.toHex(' '));
}

void TestMeterSimCore::addressing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("otherAddress"); // of a three-phase meter beside it
    QTest::addColumn<int>("switched"); // stand positions switched in (1 and 2), -1 off the stand
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("reply"); // empty: silence
    // The probe 01 3e, answered with the software identifier: 2d41 single-phase, 5e37 three-phase.
    // Serial 123456789 goes out as 15 cd 5b 07.
    const QString modern = QStringLiteral("210.1,addr=22,serial=000000123456789");
    const QString old = QStringLiteral("210.1,addr=22,serial=000000123456789,version=1.08");
    const QString stand = QStringLiteral("210.1,addr=255");
    const QByteArray byAddress = hex("16013e 1044");
    const QByteArray bySerial = hex("15cd5b07013e 0dab");
    const QByteArray none;
    QTest::newRow("own address") << modern << 99 << -1 << byAddress << hex("16013e02412d 6348");
    QTest::newRow("serial number")
        << modern << 99 << -1 << bySerial << hex("15cd5b07013e02412d bf7e");
    QTest::newRow("serial number over another meter's address")
        << modern << 0x15 << -1 << bySerial << hex("15cd5b07013e02412d bf7e");
    QTest::newRow("foreign address") << modern << 99 << -1 << hex("17013e 4184") << none;
    QTest::newRow("foreign serial") << modern << 99 << -1 << hex("14cd5b07013e 0c7a") << none;
    QTest::newRow("bad CRC") << modern << 99 << -1 << hex("16013e 1045") << none;
    QTest::newRow("CRC high byte first") << modern << 99 << -1 << hex("16013e 4410") << none;
    QTest::newRow("serial, CRC high byte first")
        << modern << 99 << -1 << hex("15cd5b07013e ab0d") << none;
    QTest::newRow("address alone") << modern << 99 << -1 << hex("163e8e") << none;
    QTest::newRow("FF FF alone") << stand << 99 << -1 << hex("ffff") << none;
    QTest::newRow("no serial number below 1.09") << old << 99 << -1 << bySerial << none;
    QTest::newRow("old meter still has its address")
        << old << 99 << -1 << byAddress << hex("16013e02412d 6348");
    QTest::newRow("version 1.08a reads as no number")
        << QStringLiteral("210.1,addr=22,serial=000000123456789,version=1.08a") << 99 << -1
        << bySerial << none;
    QTest::newRow("serial of zeros is none") << QStringLiteral("210.1,addr=22,serial=000000000")
                                             << 99 << -1 << hex("00000000013e 805b") << none;
    QTest::newRow("serial beyond 32 bits is none")
        << QStringLiteral("210.1,addr=22,serial=123456789012345") << 99 << -1
        << hex("00000000013e 805b") << none;
    const QByteArray standProbe = hex("ff013e c1b0");
    QTest::newRow("stand, first switched in")
        << stand << 255 << 1 << standProbe << hex("ff013e02412d 75b1");
    QTest::newRow("stand, second switched in")
        << stand << 255 << 2 << standProbe << hex("ff013e02375e 1234");
    QTest::newRow("stand, both: the lower position")
        << stand << 255 << 3 << standProbe << hex("ff013e02412d 75b1");
    QTest::newRow("stand, none switched in") << stand << 255 << 0 << standProbe << none;
}

void TestMeterSimCore::addressing()
{
    QFETCH(QString, text);
    QFETCH(int, otherAddress);
    QFETCH(int, switched);
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, reply);
    ManualClock clock(kStart);
    SimLine line;
    line.addMeter(std::make_unique<SimMeter>(config(qPrintable(text)), &clock, 1), 1);
    MeterConfig other = config("450.22R");
    other.address = otherAddress;
    line.addMeter(std::make_unique<SimMeter>(other, &clock, 2), 2);
    if (switched >= 0)
        line.setSwitch([switched] { return quint32(switched); });
    QByteArray all;
    for (const SimLine::Chunk &c : line.handleFrame(frame))
        all += c.bytes;
    QCOMPARE(all.toHex(' '), reply.toHex(' '));
}

void TestMeterSimCore::sessionHoldTime()
{
    Bench b("210.1,hold=2");
    QCOMPARE(b.ask(kUser), hex("080000"));
    b.clock.advance(119000); // traffic within the hold time keeps the session
    QCOMPARE(b.ask(hex("0123")), hex("01230101"));
    b.clock.advance(119000);
    QCOMPARE(b.ask(hex("0123")), hex("01230101"));
    QCOMPARE(b.meter->sessionLevel(), 0);
    b.clock.advance(120001);
    QCOMPARE(b.meter->sessionLevel(), -1);
    QCOMPARE(b.ask(hex("0123")), hex("8108"));

    // A fixed hold time overrides the link parameter; a hold byte of 0 counts as 10 minutes.
    Bench zero("210.1,hold=0");
    QCOMPARE(zero.ask(kUser), hex("080000"));
    zero.clock.advance(599000);
    QCOMPARE(zero.meter->sessionLevel(), 0);
    zero.meter->setHoldOverrideMs(500);
    zero.clock.advance(501);
    QCOMPARE(zero.ask(hex("0123")), hex("8108"));
}

void TestMeterSimCore::wrongPasswordClosesSession()
{
    Bench b;
    QCOMPARE(b.ask(kDeveloper), hex("080200"));
    QCOMPARE(b.ask(hex("0800000000000000")), hex("880d"));
    QCOMPARE(b.ask(hex("0123")), hex("8108"));
    QCOMPARE(b.ask(kUser), hex("080000"));
    QCOMPARE(b.ask(hex("0901")), hex("090100"));
    QCOMPARE(b.ask(hex("0123")), hex("8108"));
}

void TestMeterSimCore::writesShowInReads_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("write");
    QTest::addColumn<QByteArray>("read");
    QTest::addColumn<QByteArray>("data");
    const QString single = QStringLiteral("210.1,serial=000000001234567");
    const QString three = QStringLiteral("450.22R");
    auto row = [](const char *name, const QString &text, const char *object, const QByteArray &d,
                  const char *readObject = nullptr) {
        const QByteArray o = hex(object);
        QTest::newRow(name) << text << hex("02") + o + d
                            << hex("01") + hex(readObject ? readObject : object) << d;
    };
    row("display", single, "0b", hex("05e103"));
    row("three-phase display", three, "0b", hex("026460"));
    row("calibration", single, "0c", hex("00400000004000000000000000000000") + QByteArray(12, 0));
    QByteArray block(136, 0);
    block[60] = block[64] = block[68] = char(0x80);
    row("three-phase calibration", three, "88", block);
    QByteArray holidays(40, char(0xff));
    holidays[0] = 31, holidays[1] = 2;
    row("holidays", single, "0f", holidays);
    row("tariff count", single, "13", hex("01"));
    row("three-phase tariff count", three, "13", hex("07"));
    // Zones at 07:00 and 12:30.
    const QByteArray month = hex("07000123") + hex("0c1e3210") + QByteArray(24, char(0xff));
    row("June schedule", single, "19", month);
    QByteArray month3 = hex("07007654") + hex("170c0123") + QByteArray(56, char(0xff));
    row("three-phase December schedule", three, "94", month3);
    row("model", three, "20", QByteArray("450.42R").leftJustified(32, '\0'));
    row("clock coefficient", single, "22", hex("feff"));
    row("daylight saving off", single, "23", hex("00"));
    row("lower voltage limit", single, "24", hex("acfb02"));
    row("upper voltage limit", single, "25", hex("b0f903"));
    row("power limit", single, "28", hex("40787d01"));
    row("relay", single, "40", hex("01"));
    row("load threshold", single, "41", hex("e803"));
    row("link", single, "29", hex("0102030a1e"));
    row("user password", single, "2a", QByteArray("secret"));
    row("administrator password", single, "2b", QByteArray("admin1"));
    row("developer password", single, "2c", hex("000102030405"));
    row("archive period", single, "3d", hex("0a"));
    row("pulse mode", single, "3f", hex("06"));
    row("serial number", single, "44", QByteArray("123").leftJustified(15, '\0'));
}

void TestMeterSimCore::writesShowInReads()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, write);
    QFETCH(QByteArray, read);
    QFETCH(QByteArray, data);
    Bench b(qPrintable(text));
    QCOMPARE(b.ask(kDeveloper), hex("080200"));
    QCOMPARE(b.ask(write).toHex(' '), (write.left(2) + '\0').toHex(' '));
    QCOMPARE(b.ask(read).toHex(' '), (read + char(data.size()) + data).toHex(' '));
}

void TestMeterSimCore::addressChangeTakesEffectAfterReply()
{
    Bench b("210.1,addr=7");
    QCOMPARE(b.ask(kAdmin), hex("080100"));
    const QList<SimLine::Chunk> out =
        b.line.handleFrame(simframe::make(7, 1, hex("0229") + hex("2a03050a1e")));
    QCOMPARE(out.size(), 1);
    QCOMPARE(out[0].bytes.left(4).toHex(' '), QByteArray("07 02 29 00"));
    QVERIFY(b.line.handleFrame(simframe::make(7, 1, hex("013e"))).isEmpty());
    QCOMPARE(b.line.handleFrame(simframe::make(42, 1, hex("013e"))).size(), 1);
    // Address changes are logged in the message list.
    QCOMPARE(b.ask(hex("063b")), hex("063b020500"));
}

void TestMeterSimCore::clockRunsFromSetTime()
{
    Bench b;
    QCOMPARE(b.ask(kAdmin), hex("080100"));
    QCOMPARE(b.ask(hex("010e")), hex("010e07") + simwire::dateTime(b.clock.localNow()));
    // Thursday 31 December 2099 23:59:59, then five seconds pass.
    QCOMPARE(b.ask(hex("0a0e3b3b17051f0c63")), hex("0a0e00"));
    b.clock.advance(5000);
    const QDateTime expected(QDate(2100, 1, 1), QTime(0, 0, 4));
    QCOMPARE(b.meter->meterNow(), expected);
    QCOMPARE(b.ask(hex("010e")).mid(3, 6), simwire::dateTime(expected).left(6));
}

void TestMeterSimCore::tariffInForce_data()
{
    QTest::addColumn<QDateTime>("at");
    QTest::addColumn<int>("tariff");
    // Zones: 07:00 working 1 / holiday 2 / Saturday 3 / Sunday 4; 23:00 all 2.
    QTest::newRow("Tuesday noon") << QDateTime(QDate(2024, 3, 5), QTime(12, 0)) << 0;
    QTest::newRow("Tuesday 06:59, night zone of the day before")
        << QDateTime(QDate(2024, 3, 5), QTime(6, 59)) << 1;
    QTest::newRow("Tuesday 23:00") << QDateTime(QDate(2024, 3, 5), QTime(23, 0)) << 1;
    QTest::newRow("Saturday noon") << QDateTime(QDate(2024, 3, 9), QTime(12, 0)) << 2;
    QTest::newRow("Sunday noon") << QDateTime(QDate(2024, 3, 10), QTime(12, 0)) << 3;
    QTest::newRow("8 March, a Friday holiday") << QDateTime(QDate(2024, 3, 8), QTime(12, 0)) << 1;
}

void TestMeterSimCore::tariffInForce()
{
    QFETCH(QDateTime, at);
    QFETCH(int, tariff);
    Bench b;
    QCOMPARE(b.ask(kAdmin), hex("080100"));
    const QByteArray march = hex("07000123") + hex("17001111") + QByteArray(24, char(0xff));
    QCOMPARE(b.ask(hex("0216") + march), hex("021600"));
    QCOMPARE(b.meter->tariffInForce(at), tariff);
}

void TestMeterSimCore::periodicRecordsFollowTheClock()
{
    Bench b;
    QCOMPARE(b.ask(kAdmin), hex("080100"));
    // History at start: 48 archive periods, 10 days, 6 months.
    QCOMPARE(b.ask(hex("0610")), hex("06100230") + QByteArray(1, 0));
    QCOMPARE(b.ask(hex("0642")), hex("0642020a00"));
    QCOMPARE(b.ask(hex("0643")), hex("0643020600"));

    // Newest archive record: 13:30 on 5 March 2024, about 0.5 kWh in 30 min at 5000 per kWh.
    const QByteArray last = b.ask(hex("07102f00"));
    QCOMPARE(last.left(8).toHex(' '), QByteArray("07 10 07 1e 0d 05 03 18"));
    const int units = int(simwire::readLittleEndian(last, 8, 2, false));
    QVERIFY2(units > 2400 && units < 2800, qPrintable(QString::number(units)));

    // Cleared, then the clock passes one boundary of a 10-minute period.
    QCOMPARE(b.ask(hex("023d0a")), hex("023d00"));
    QCOMPARE(b.ask(hex("0510")), hex("051000"));
    QCOMPARE(b.ask(hex("0610")), hex("0610020000"));
    b.clock.advance(10 * 60 * 1000);
    QCOMPARE(b.ask(hex("0610")), hex("0610020100"));
    QCOMPARE(b.ask(hex("07100000")).left(8).toHex(' '), QByteArray("07 10 07 28 0d 05 03 18"));

    // Past midnight: a daily slice at 00:00 of 6 March whose total is the register then.
    QCOMPARE(b.ask(hex("0542")), hex("054200"));
    b.clock.advance(11 * 3600 * 1000);
    QCOMPARE(b.ask(hex("0642")), hex("8608")); // the session has long run out
    QCOMPARE(b.ask(kAdmin), hex("080100"));
    QCOMPARE(b.ask(hex("0642")), hex("0642020100"));
    const QByteArray slice = b.ask(hex("0c420000"));
    QCOMPARE(slice.size(), 3 + 26);
    QCOMPARE(slice.mid(3, 6).toHex(' '), QByteArray("00 00 00 06 03 18"));

    // The clock set years ahead writes no more than a full list.
    QCOMPARE(b.ask(hex("0a0e00000004010120")), hex("0a0e00"));
    QCOMPARE(b.ask(hex("0642")), hex("0642022d00"));
    QCOMPARE(b.ask(hex("0643")), hex("0643021800"));
}

void TestMeterSimCore::resetsClearReadings()
{
    Bench b;
    QCOMPARE(b.ask(kDeveloper), hex("080200"));
    QCOMPARE(b.ask(hex("0213") + hex("00")), hex("021300"));
    QCOMPARE(b.ask(hex("020d03")), hex("020d00"));
    QCOMPARE(b.ask(hex("0104")), hex("01040400000000"));
    QCOMPARE(b.ask(hex("0613")).left(2), hex("8602")); // no such list
    QCOMPARE(b.ask(hex("0113")), hex("01130102"));     // settings back to factory
    QCOMPARE(b.ask(hex("0610")), hex("0610020000"));
    // Factory initialisation also empties the event lists, then logs itself, and takes a while.
    const QList<SimLine::Chunk> init = b.line.handleFrame(simframe::make(1, 1, hex("020d07")));
    QCOMPARE(init.size(), 1);
    QVERIFY(init[0].delayMs >= 1000);
    QCOMPARE(b.ask(hex("0612")), hex("0612020000"));
    QCOMPARE(b.ask(hex("063b")), hex("063b020100"));
    QCOMPARE(b.ask(hex("0b3b0000")).mid(9), hex("0080"));
}

void TestMeterSimCore::calibrationBringsReadingsToReference()
{
    // Single-phase voltage step: initial block, average reading X, c = (230 - X) / 230 x 16384
    // + 16384; afterwards the meter reads the reference.
    Bench single;
    QCOMPARE(single.ask(kDeveloper), hex("080200"));
    QByteArray initial = hex("0040000000400000") + QByteArray(20, 0);
    QCOMPARE(single.ask(hex("020c") + initial), hex("020c00"));
    auto average = [](Bench &b, const QByteArray &read, double scale) {
        double sum = 0;
        for (int i = 0; i < 20; ++i)
            sum += double(simwire::readLittleEndian(b.ask(read), 3, 4, true)) / scale;
        return sum / 20;
    };
    const double before = average(single, hex("0101"), 1000);
    QVERIFY2(qAbs(before - 230) < 7.5, qPrintable(QString::number(before)));
    const qint32 c1 = qint32((230 - before) / 230 * 16384 + 16384);
    initial.replace(0, 4, simwire::littleEndian(c1, 4));
    QCOMPARE(single.ask(hex("020c") + initial), hex("020c00"));
    QVERIFY(qAbs(average(single, hex("0101"), 1000) - 230) < 0.5);

    // Three-phase current step, variant 2 (10 A): c = (I - X) / X x 195 per phase.
    Bench three("450.22R");
    three.meter->setLoad({10.0, 0.0});
    QCOMPARE(three.ask(kDeveloper), hex("080200"));
    QByteArray block(136, 0);
    block[60] = block[64] = block[68] = char(0x80);
    QCOMPARE(three.ask(hex("0288") + block), hex("028800"));
    for (int phase = 0; phase < 3; ++phase) {
        const QByteArray read = hex("01") + char(0x67 + phase);
        const double x = average(three, read, 1000);
        const qint32 c = qint32((10 - x) / x * 195);
        block.replace(12 + 4 * phase, 4, simwire::littleEndian(c, 4));
    }
    QCOMPARE(three.ask(hex("0288") + block), hex("028800"));
    for (int phase = 0; phase < 3; ++phase)
        QVERIFY(qAbs(average(three, hex("01") + char(0x67 + phase), 1000) - 10) < 0.1);
}

void TestMeterSimCore::faultTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("argument");
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("object");
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("count");
    QTest::newRow("drop") << "drop" << true << int(FaultPlan::Drop) << 0 << -1 << -1 << 100 << -1;
    QTest::newRow("late default") << "late" << true << int(FaultPlan::Late) << 3000 << -1 << -1
                                  << 100 << -1;
    QTest::newRow("scoped error") << "error:6@fn=01,obj=0E,count=2" << true << int(FaultPlan::Error)
                                  << 6 << 1 << 14 << 100 << 2;
    QTest::newRow("share") << "crc@30%" << true << int(FaultPlan::Crc) << 0 << -1 << -1 << 30 << -1;
    QTest::newRow("stale") << "stale:6000@fn=0c" << true << int(FaultPlan::Stale) << 6000 << 12
                           << -1 << 100 << -1;
    QTest::newRow("split") << "split:250@all" << true << int(FaultPlan::Split) << 250 << -1 << -1
                           << 100 << -1;
    QTest::newRow("reply") << "reply:09a1b2@obj=21" << true << int(FaultPlan::Reply) << 0 << -1
                           << 0x21 << 100 << -1;
    QTest::newRow("reply without bytes") << "reply" << false << 0 << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("reply odd digits") << "reply:091" << false << 0 << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("unknown kind") << "explode" << false << 0 << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("argument on drop") << "drop:5" << false << 0 << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("share over 100") << "echo@150%" << false << 0 << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("bad object") << "echo@obj=zz" << false << 0 << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("unknown scope") << "echo@sometimes" << false << 0 << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("count 0") << "drop@count=0" << false << 0 << 0 << 0 << 0 << 0 << 0;
}

void TestMeterSimCore::faultTexts()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    FaultPlan::Fault f;
    QString error;
    QCOMPARE(FaultPlan::parse(text, &f, &error), valid);
    if (!valid) {
        QVERIFY(error.contains(text));
        return;
    }
    QTEST(int(f.kind), "kind");
    QTEST(f.argument, "argument");
    QTEST(f.function, "function");
    QTEST(f.object, "object");
    QTEST(f.percent, "percent");
    QTEST(f.count, "count");
}

void TestMeterSimCore::faultScopes()
{
    FaultPlan plan(3);
    FaultPlan::Fault f;
    QVERIFY(FaultPlan::parse(QStringLiteral("drop@obj=0e,count=2"), &f, nullptr));
    plan.add(f);
    QVERIFY(FaultPlan::parse(QStringLiteral("crc@fn=01"), &f, nullptr));
    plan.add(f);
    QCOMPARE(plan.pick(0x01, 0x0e)->kind, FaultPlan::Drop);
    QVERIFY(!plan.pick(0x02, 0x20)); // neither scope takes it
    QCOMPARE(plan.pick(0x0a, 0x0e)->kind, FaultPlan::Drop);
    QCOMPARE(plan.pick(0x01, 0x0e)->kind, FaultPlan::Crc); // the drop is used up
    plan.clear();
    QVERIFY(plan.isEmpty());

    // One meter of the line, by its address (decimal).
    QVERIFY(FaultPlan::parse(QStringLiteral("error:4@addr=12"), &f, nullptr));
    plan.add(f);
    QVERIFY(!plan.pick(0x08, 0x00, 11));
    QVERIFY(!plan.pick(0x08, 0x00, 0x12));
    QCOMPARE(plan.pick(0x08, 0x00, 12)->argument, 4);
    QVERIFY(!FaultPlan::parse(QStringLiteral("drop@addr=256"), &f, nullptr));
    plan.clear();

    QVERIFY(FaultPlan::parse(QStringLiteral("echo@40%"), &f, nullptr));
    plan.add(f);
    int hits = 0;
    for (int i = 0; i < 1000; ++i)
        hits += plan.pick(1, 1).has_value();
    QVERIFY2(hits > 300 && hits < 500, qPrintable(QString::number(hits)));
}

void TestMeterSimCore::faultsOnTheLine()
{
    Bench b;
    QCOMPARE(b.ask(kUser), hex("080000"));
    const QByteArray request = simframe::make(1, 1, hex("0123"));
    auto add = [&b](const char *text) {
        FaultPlan::Fault f;
        QVERIFY(FaultPlan::parse(QString::fromLatin1(text), &f, nullptr));
        b.faults.add(f);
    };
    add("drop@count=1");
    QVERIFY(b.line.handleFrame(request).isEmpty());
    add("echo@count=1");
    QCOMPARE(b.line.handleFrame(request).value(0).bytes, request);
    add("crc@count=1");
    const QByteArray broken = b.line.handleFrame(request).value(0).bytes;
    QVERIFY(!simframe::crcMatches(broken));
    QCOMPARE(broken.left(4), hex("01012301"));
    add("late:700@count=1");
    QCOMPARE(b.line.handleFrame(request).value(0).delayMs, 700);
    QVERIFY(!b.line.handleFrame(request).value(0).apart);
    add("stale:900@count=1");
    const SimLine::Chunk stale = b.line.handleFrame(request).value(0);
    QVERIFY(stale.delayMs == 900 && stale.apart);
    add("split:40@count=1");
    const QList<SimLine::Chunk> parts = b.line.handleFrame(request);
    QCOMPARE(parts.size(), 2);
    QCOMPARE(parts[1].delayMs, 40);
    QVERIFY(simframe::crcMatches(parts[0].bytes + parts[1].bytes));
    add("error:6@count=1");
    QCOMPARE(b.ask(hex("0123")), hex("8106"));
    add("reply:012005@count=1");
    QCOMPARE(b.ask(hex("0123")), hex("012005"));
    // Faults that stand for a lost request leave the meter untouched.
    add("drop@count=1");
    QVERIFY(b.ask(hex("0901")).isEmpty());
    QCOMPARE(b.ask(hex("0123")), hex("01230101"));
}

void TestMeterSimCore::assembler()
{
    FrameAssembler a;
    const QByteArray frame = simframe::make(3, 1, hex("0b3b0500"));
    QVERIFY(a.feed(frame.left(3)).isEmpty());
    QVERIFY(!a.isEmpty());
    QCOMPARE(a.feed(frame.mid(3)), frame);
    QVERIFY(a.isEmpty());

    QByteArray bad = frame;
    bad[2] = char(bad[2] ^ 0x40);
    QVERIFY(a.feed(bad).isEmpty());
    QCOMPARE(a.discard(), bad); // the line went quiet
    QCOMPARE(a.feed(frame), frame);

    QVERIFY(a.feed(QByteArray(FrameAssembler::kMaxFrame + 1, 'x')).isEmpty());
    QVERIFY(a.isEmpty()); // noise does not pile up
    // Two bytes that happen to be their own CRC (FF FF after nothing) are no request.
    QVERIFY(a.feed(hex("ffff")).isEmpty());
}

QTEST_GUILESS_MAIN(TestMeterSimCore)
#include "tst_metersimcore.moc"
