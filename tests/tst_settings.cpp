// The clock and settings pages' command texts and reply decoders.
#include "core/clockdecoders.h"
#include "core/settingsdecoders.h"

#include <QtTest>

Q_DECLARE_METATYPE(MeterSeries)
Q_DECLARE_METATYPE(ReplyCheck)

namespace {
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QDateTime at(const char *text)
{
    return QDateTime::fromString(QLatin1String(text), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QList<bool> bits(const char *ones)
{
    QList<bool> out;
    for (const char *c = ones; *c; ++c)
        out << (*c == '1');
    return out;
}
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void timeWrite_data();
    void timeWrite();
    void decodeTime_data();
    void decodeTime();
    void differenceText_data();
    void differenceText();
    void coefficient_data();
    void coefficient();
    void coefficientFromError_data();
    void coefficientFromError();
    void link();
    void display_data();
    void display();
    void limits_data();
    void limits();
    void decodeLimits();
    void smallReplies_data();
    void smallReplies();
    void byteTexts();
};

void TestSettings::timeWrite_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("text");
    QTest::newRow("Monday") << at("2026-12-07 09:05:30") << "0a 0e 1e 5 9 2 7 c 1a";
    QTest::newRow("Thursday, last second of 2099")
        << at("2099-12-31 23:59:59") << "0a 0e 3b 3b 17 5 1f c 63";
    QTest::newRow("Sunday is 1") << at("2025-01-05 12:00:00") << "0a 0e 0 0 c 1 5 1 19";
    QTest::newRow("Saturday is 7, year 2000 is 0")
        << at("2000-01-01 00:00:00") << "0a 0e 0 0 0 7 1 1 0";
    QTest::newRow("1999 is 0 too") << at("1999-12-31 23:00:00") << "0a 0e 0 0 17 6 1f c 0";
}

void TestSettings::timeWrite()
{
    QFETCH(QDateTime, time);
    QFETCH(QString, text);
    QCOMPARE(meterclock::timeWrite(time), text);
}

void TestSettings::decodeTime_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<ReplyCheck>("check");
    QTest::addColumn<QDateTime>("time"); // what the output holds afterwards
    const QDateTime before = at("2001-02-03 04:05:06");
    QTest::newRow("day of week ignored")
        << hex("010e071e050905070c1a") << ReplyCheck::Ok << at("2026-12-07 09:05:30");
    QTest::newRow("bytes past the record")
        << hex("010e083b3b17051f0c63ff") << ReplyCheck::Ok << at("2099-12-31 23:59:59");
    QTest::newRow("six data bytes") << hex("010e061e050902070c") << ReplyCheck::Short << before;
    QTest::newRow("cut short") << hex("010e071e050902070c") << ReplyCheck::Short << before;
    QTest::newRow("header only") << hex("010e") << ReplyCheck::Short << before;
    QTest::newRow("month 13") << hex("010e071e050902070d1a") << ReplyCheck::BadValue << before;
    QTest::newRow("hour 24") << hex("010e071e051802070c1a") << ReplyCheck::BadValue << before;
}

void TestSettings::decodeTime()
{
    QFETCH(QByteArray, reply);
    QFETCH(ReplyCheck, check);
    QFETCH(QDateTime, time);
    QDateTime out = at("2001-02-03 04:05:06");
    QCOMPARE(meterclock::decodeTime(reply, &out), check);
    QCOMPARE(out, time);
}

void TestSettings::differenceText_data()
{
    QTest::addColumn<QDateTime>("device");
    QTest::addColumn<QDateTime>("written");
    QTest::addColumn<QString>("text");
    QTest::newRow("5 s ahead") << at("2026-03-01 12:00:05") << at("2026-03-01 12:00:00")
                               << "+0 00:00:05";
    QTest::newRow("5 s behind") << at("2026-03-01 12:00:00") << at("2026-03-01 12:00:05")
                                << "-0 00:00:05";
    QTest::newRow("equal") << at("2026-03-01 12:00:00") << at("2026-03-01 12:00:00")
                           << "+0 00:00:00";
    QTest::newRow("30 min behind across midnight")
        << at("2026-03-01 23:45:00") << at("2026-03-02 00:15:00") << "-0 00:30:00";
    // Ahead across midnight the borrow is against 86399999 ms: a second less shows.
    QTest::newRow("30 min ahead across midnight")
        << at("2026-03-02 00:15:00") << at("2026-03-01 23:45:00") << "+0 00:29:59";
    QTest::newRow("a day and an hour ahead")
        << at("2026-03-03 13:00:00") << at("2026-03-02 12:00:00") << "+1 01:00:00";
    QTest::newRow("a day and 23 h behind")
        << at("2026-03-01 12:00:00") << at("2026-03-03 11:00:00") << "-1 23:00:00";
}

void TestSettings::differenceText()
{
    QFETCH(QDateTime, device);
    QFETCH(QDateTime, written);
    QFETCH(QString, text);
    QCOMPARE(meterclock::differenceText(device, written), text);
}

void TestSettings::coefficient_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<ReplyCheck>("check");
    QTest::addColumn<int>("value");
    QTest::newRow("one byte fe") << hex("012201fe") << ReplyCheck::Ok << -2;
    QTest::newRow("one byte 7f") << hex("0122017f") << ReplyCheck::Ok << 127;
    QTest::newRow("two bytes 2c 01") << hex("0122022c01") << ReplyCheck::Ok << 300;
    QTest::newRow("three bytes, top bit") << hex("012203000080") << ReplyCheck::Ok << -8388608;
    QTest::newRow("four bytes") << hex("01220400000080") << ReplyCheck::Ok << int(0x80000000);
    QTest::newRow("no value bytes") << hex("012200") << ReplyCheck::BadValue << 99;
    QTest::newRow("five bytes") << hex("0122050000000000") << ReplyCheck::BadValue << 99;
    QTest::newRow("cut short") << hex("0122022c") << ReplyCheck::Short << 99;
}

void TestSettings::coefficient()
{
    QFETCH(QByteArray, reply);
    QFETCH(ReplyCheck, check);
    QFETCH(int, value);
    qint32 out = 99;
    QCOMPARE(meterclock::decodeCoefficient(reply, &out), check);
    QCOMPARE(out, value);
}

void TestSettings::coefficientFromError_data()
{
    QTest::addColumn<MeterSeries>("series");
    QTest::addColumn<double>("secondsPerDay");
    QTest::addColumn<int>("coefficient");
    const MeterSeries one = MeterSeries::SinglePhase, three = MeterSeries::ThreePhase;
    QTest::newRow("single, 0") << one << 0.0 << 0;
    QTest::newRow("single, 0.5") << one << 0.5 << 2880;
    QTest::newRow("single, -7 truncated") << one << -7.0 << -205;
    QTest::newRow("single, 0.04: 36000 out of range") << one << 0.04 << 0;
    QTest::newRow("single, 0.01: 144000 out of range") << one << 0.01 << 0;
    QTest::newRow("three, 0") << three << 0.0 << 128;
    QTest::newRow("three, 1") << three << 1.0 << 115;
    QTest::newRow("three, -1") << three << -1.0 << 140;
    QTest::newRow("unrecognised") << MeterSeries::Unrecognised << 1.0 << 0;
}

void TestSettings::coefficientFromError()
{
    QFETCH(MeterSeries, series);
    QFETCH(double, secondsPerDay);
    QFETCH(int, coefficient);
    QCOMPARE(meterclock::coefficientFromError(series, secondsPerDay), coefficient);
}

void TestSettings::link()
{
    const settings::Link std = settings::standardLink();
    QCOMPARE(
        (QList<int>{std.address, std.attempts, std.baudIndex, std.holdMinutes, std.blockMinutes}),
        (QList<int>{255, 3, 5, 10, 30}));
    // The service command goes first.
    QCOMPARE(settings::linkWrite(std), (QStringList{"02 0d 05", "02 29 ff 3 5 a 1e"}));

    settings::Link l;
    QCOMPARE(settings::decodeLink(hex("012905070204001e"), &l), ReplyCheck::Ok);
    QCOMPARE((QList<int>{l.address, l.attempts, l.baudIndex, l.holdMinutes, l.blockMinutes}),
             (QList<int>{7, 2, 4, 0, 30}));
    settings::Link kept;
    QCOMPARE(settings::decodeLink(hex("01290407020400"), &kept), ReplyCheck::Short);
    QCOMPARE(settings::decodeLink(hex("0129050702040"), &kept), ReplyCheck::Short);
    QCOMPARE(settings::decodeLink(hex("012905070206001e"), &kept), ReplyCheck::BadValue);
    QCOMPARE(kept.address, 255);
}

void TestSettings::display_data()
{
    QTest::addColumn<MeterSeries>("series");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<int>("menuDelay");
    QTest::addColumn<QList<bool>>("items");
    QTest::addColumn<QString>("write");
    QTest::newRow("single: total, power, voltage, current, date, time")
        << MeterSeries::SinglePhase << hex("010b030ae103") << 10 << 0 << bits("10000111110")
        << "02 0b a e1 3";
    QTest::newRow("single: tariffs 3, 4 and battery")
        << MeterSeries::SinglePhase << hex("010b03ff1804") << 255 << 0 << bits("00011000001")
        << "02 0b ff 18 4";
    QTest::newRow("three: period, delay, mask") << MeterSeries::ThreePhase << hex("010b030a3ce1")
                                                << 10 << 60 << bits("10000111") << "02 0b a 3c e1";
}

void TestSettings::display()
{
    QFETCH(MeterSeries, series);
    QFETCH(QByteArray, reply);
    QFETCH(int, seconds);
    QFETCH(int, menuDelay);
    QFETCH(QList<bool>, items);
    QFETCH(QString, write);
    settings::Display d;
    QCOMPARE(settings::decodeDisplay(series, reply, &d), ReplyCheck::Ok);
    QCOMPARE(d.seconds, seconds);
    QCOMPARE(d.menuDelay, menuDelay);
    QCOMPARE(d.items, items);
    QCOMPARE(settings::displayWrite(series, d), write);

    settings::Display kept;
    QCOMPARE(settings::decodeDisplay(series, reply.left(5), &kept), ReplyCheck::Short);
    QVERIFY(kept.items.isEmpty());
    QCOMPARE(settings::decodeDisplay(MeterSeries::Unrecognised, reply, &kept),
             ReplyCheck::BadValue);
    QCOMPARE(settings::displayWrite(MeterSeries::SinglePhase, settings::standardDisplay()),
             QStringLiteral("02 0b a e7 3"));
}

void TestSettings::limits_data()
{
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<double>("power");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<int>("threshold");
    QTest::addColumn<QStringList>("commands");
    QTest::newRow("standard") << 180.0 << 260.0 << 22500.0 << false << 22500
                              << QStringList{"02 24 20 bf 2", "02 25 a0 f7 3", "02 28 a0 52 57 1",
                                             "02 40 0", "02 41 e4 57"};
    // 256.001 x 1000 is 256000.99999...: the thousandth shown is the one sent.
    QTest::newRow("195.5 V, 256.001 V, relay closed")
        << 195.5 << 256.001 << 0.001 << true << 5
        << QStringList{"02 24 ac fb 2", "02 25 1 e8 3", "02 28 1 0 0 0", "02 40 1", "02 41 5 0"};
    QTest::newRow("held to their bytes")
        << 20000.0 << -1.0 << 5e6 << false << 70000
        << QStringList{"02 24 ff ff ff", "02 25 0 0 0", "02 28 ff ff ff ff", "02 40 0",
                       "02 41 ff ff"};
}

void TestSettings::limits()
{
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(double, power);
    QFETCH(bool, closed);
    QFETCH(int, threshold);
    QFETCH(QStringList, commands);
    settings::Limits l;
    l.voltageLow = low;
    l.voltageHigh = high;
    l.power = power;
    l.relayClosed = closed;
    l.loadThreshold = threshold;
    QCOMPARE(settings::limitsWrite(l), commands);
}

void TestSettings::decodeLimits()
{
    const QList<QByteArray> replies{hex("01240320bf02"), hex("012503a0f703"), hex("012804a0525701"),
                                    hex("01400101"), hex("014102e457")};
    settings::Limits l;
    QCOMPARE(settings::decodeLimits(replies.constData(), 5, &l), ReplyCheck::Ok);
    QCOMPARE(l.voltageLow, 180.0);
    QCOMPARE(l.voltageHigh, 260.0);
    QCOMPARE(l.power, 22500.0);
    QVERIFY(l.relayClosed);
    QCOMPARE(l.loadThreshold, 22500);

    settings::Limits kept;
    kept.voltageLow = 1;
    QCOMPARE(settings::decodeLimits(replies.constData(), 4, &kept), ReplyCheck::Short);
    QList<QByteArray> bad = replies;
    bad[2] = hex("012804a05257");
    QCOMPARE(settings::decodeLimits(bad.constData(), 5, &kept), ReplyCheck::Short);
    bad[2] = hex("014000");
    QCOMPARE(settings::decodeLimits(bad.constData(), 5, &kept), ReplyCheck::Short);
    bad[2] = hex("012805a052570100");
    QCOMPARE(settings::decodeLimits(bad.constData(), 5, &kept), ReplyCheck::BadValue);
    QCOMPARE(kept.voltageLow, 1.0);
}

void TestSettings::smallReplies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<ReplyCheck>("timeMode");
    QTest::addColumn<ReplyCheck>("pulse");
    QTest::addColumn<ReplyCheck>("password");
    QTest::addColumn<ReplyCheck>("serial");
    const ReplyCheck ok = ReplyCheck::Ok, shortOne = ReplyCheck::Short;
    QTest::newRow("one byte 06") << hex("01ff0106") << ok << ok << shortOne << shortOne;
    QTest::newRow("one byte 07") << hex("01ff0107") << ok << ReplyCheck::BadValue << shortOne
                                 << shortOne;
    QTest::newRow("six bytes") << hex("01ff06313233000000") << ok << ReplyCheck::BadValue << ok
                               << shortOne;
    QTest::newRow("claims six, holds five")
        << hex("01ff063132330000") << shortOne << shortOne << shortOne << shortOne;
    QTest::newRow("fifteen bytes")
        << hex("01ff0f313233000000000000000000000000") << ok << ReplyCheck::BadValue << ok << ok;
    QTest::newRow("empty") << hex("01ff00") << shortOne << shortOne << shortOne << shortOne;
}

void TestSettings::smallReplies()
{
    QFETCH(QByteArray, reply);
    QFETCH(ReplyCheck, timeMode);
    QFETCH(ReplyCheck, pulse);
    QFETCH(ReplyCheck, password);
    QFETCH(ReplyCheck, serial);
    bool automatic = false;
    int index = -1;
    QByteArray pwd = "kept", sn = "kept";
    QCOMPARE(meterclock::decodeTimeMode(reply, &automatic), timeMode);
    QCOMPARE(settings::decodePulseMode(reply, &index), pulse);
    QCOMPARE(settings::decodePassword(reply, &pwd), password);
    QCOMPARE(settings::decodeSerial(reply, &sn), serial);
    QCOMPARE(automatic, timeMode == ReplyCheck::Ok);
    QCOMPARE(index, pulse == ReplyCheck::Ok ? int(quint8(reply[3])) : -1);
    QCOMPARE(pwd, password == ReplyCheck::Ok ? reply.mid(3, 6) : QByteArray("kept"));
    // The serial number ends at its first zero byte.
    QCOMPARE(sn, serial == ReplyCheck::Ok ? QByteArray("123") : QByteArray("kept"));
}

void TestSettings::byteTexts()
{
    QCOMPARE(meterclock::coefficientWrite(300), QStringLiteral("02 22 2c 1"));
    QCOMPARE(meterclock::coefficientWrite(-2), QStringLiteral("02 22 fe ff"));
    QCOMPARE(meterclock::coefficientWrite(-32768), QStringLiteral("02 22 0 80"));
    QCOMPARE(meterclock::timeModeWrite(true), QStringLiteral("02 23 01"));
    QCOMPARE(meterclock::timeModeWrite(false), QStringLiteral("02 23 00"));
    QCOMPARE(settings::pulseModeWrite(6), QStringLiteral("02 3f 6"));
    QCOMPARE((QStringList{settings::passwordRead(0), settings::passwordRead(1),
                          settings::passwordRead(2), settings::passwordRead(3)}),
             (QStringList{"01 2a", "01 2b", "01 2c", ""}));
    QCOMPARE(settings::passwordWrite(1, QByteArray("1\x0a"
                                                   "3\0\0\xff",
                                                   6)),
             QStringLiteral("02 2b 31 0a 33 00 00 ff "));
    QCOMPARE(settings::passwordWrite(3, "123456"), QString());
    QCOMPARE(settings::serialWrite("123"),
             QStringLiteral("02 44 31 32 33 00 00 00 00 00 00 00 00 00 00 00 00"));
    QCOMPARE(settings::serialWrite("0000000012345678"),
             QStringLiteral("02 44 30 30 30 30 30 30 30 30 31 32 33 34 35 36 37"));
    QCOMPARE(settings::modelWrite("450.21R"),
             QStringLiteral("02 20 34 35 30 2e 32 31 52") + QStringLiteral(" 0").repeated(25));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
