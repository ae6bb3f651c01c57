// The tariff page's core: month replies, the schedule write, what cells show and store, holidays,
// and the schedule and holiday files.
#include "core/holidays.h"
#include "core/schedulefiles.h"
#include "core/tariffschedule.h"

#include <QtTest>

Q_DECLARE_METATYPE(MeterSeries)
Q_DECLARE_METATYPE(ReplyCheck)
Q_DECLARE_METATYPE(schedulefiles::ZtfCheck)

namespace {
QByteArray hex(const QByteArray &text)
{
    return QByteArray::fromHex(text);
}

// A month from zone records (hour, minute, four tariffs) in hex, zones after them zero-filled.
tariff::Month monthOf(int zones, const QByteArray &records)
{
    const QByteArray b = hex(records);
    tariff::Month m(zones);
    for (int z = 0; z < zones && (z + 1) * 6 <= b.size(); ++z) {
        m[z].hour = quint8(b[z * 6]);
        m[z].minute = quint8(b[z * 6 + 1]);
        for (int d = 0; d < 4; ++d)
            m[z].tariffs[d] = quint8(b[z * 6 + 2 + d]);
    }
    return m;
}

QByteArray recordsOf(const tariff::Month &m)
{
    QByteArray out;
    for (const tariff::Zone &z : m) {
        out += char(z.hour);
        out += char(z.minute);
        for (quint8 t : z.tariffs)
            out += char(t);
    }
    return out.toHex();
}

// Every zone of every month the same record.
tariff::Table tableOf(int zones, const QByteArray &record)
{
    return tariff::Table(12, monthOf(zones, record.repeated(zones)));
}
} // namespace

class TestTariff : public QObject
{
    Q_OBJECT
private slots:
    void decodeMonth_data();
    void decodeMonth();
    void monthWrite_data();
    void monthWrite();
    void displayWrite_data();
    void displayWrite();
    void cells_data();
    void cells();
    void tariffCount();
    void holidays_data();
    void holidays();
    void ztfWritten_data();
    void ztfWritten();
    void ztfRefused_data();
    void ztfRefused();
    void hcf_data();
    void hcf();
};

void TestTariff::decodeMonth_data()
{
    QTest::addColumn<int>("zones");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<ReplyCheck>("check");
    QTest::addColumn<QByteArray>("records"); // the first two zones afterwards
    const QByteArray rest = QByteArray("ffffffff").repeated(6);
    const QByteArray kept = "0102030405060708090a0b0c";
    QTest::newRow("nibbles to four tariffs") << 8
                                             << hex("011420"
                                                    "07051230"
                                                    "17001203" +
                                                    rest)
                                             << ReplyCheck::Ok
                                             << QByteArray("070501020300"
                                                           "170001020003");
    QTest::newRow("hour 24 empty whatever the tariffs") << 8
                                                        << hex("011420"
                                                               "18001230"
                                                               "173b0000" +
                                                               rest)
                                                        << ReplyCheck::Ok
                                                        << QByteArray("ffffffffffff"
                                                                      "173b00000000");
    QTest::newRow("minute 60 empty") << 8
                                     << hex("011420"
                                            "003c0000"
                                            "00000000" +
                                            rest)
                                     << ReplyCheck::Ok
                                     << QByteArray("ffffffffffff"
                                                   "000000000000");
    QTest::newRow("three-phase nibbles up to 7") << 16
                                                 << hex("018940"
                                                        "0c1e7654"
                                                        "0000ffff" +
                                                        QByteArray("ffffffff").repeated(14))
                                                 << ReplyCheck::Ok
                                                 << QByteArray("0c1e07060504"
                                                               "00000f0f0f0f");
    QTest::newRow("31 bytes") << 8
                              << hex("01141f"
                                     "07051230" +
                                     rest + "ffffff")
                              << ReplyCheck::Short << kept;
    QTest::newRow("length claims more than sent") << 8
                                                  << hex("011421"
                                                         "07051230" +
                                                         rest + "ffffffff")
                                                  << ReplyCheck::Short << kept;
    QTest::newRow("a single-phase month for 16 zones") << 16
                                                       << hex("011420"
                                                              "07051230" +
                                                              rest + "ffffffff")
                                                       << ReplyCheck::Short << kept;
}

void TestTariff::decodeMonth()
{
    QFETCH(int, zones);
    QFETCH(QByteArray, reply);
    QFETCH(ReplyCheck, check);
    QFETCH(QByteArray, records);
    tariff::Month m = monthOf(zones, "0102030405060708090a0b0c");
    QCOMPARE(tariff::decodeMonth(zones, reply, &m), check);
    QCOMPARE(m.size(), zones);
    QCOMPARE(recordsOf(m).left(24), records);
}

void TestTariff::monthWrite_data()
{
    QTest::addColumn<int>("zones");
    QTest::addColumn<int>("month");
    QTest::addColumn<QByteArray>("records");
    QTest::addColumn<QString>("text");
    const QString zeros = QStringLiteral(" 0 0 0 0").repeated(6);   // 8 zones, 2 set
    const QString zeros3 = QStringLiteral(" 0 0 0 0").repeated(15); // 16 zones, 1 set
    QTest::newRow("January, A and B nibbles") << 8 << 0
                                              << QByteArray("070501020300"
                                                            "170000000101")
                                              << "02 14 7 5 12 30 17 0 0 11" + zeros;
    QTest::newRow("December, empty zone all ff") << 8 << 11
                                                 << QByteArray("ffffffffffff"
                                                               "0c1effffffff")
                                                 << "02 1f ff ff ff ff c 1e ff ff" + zeros;
    QTest::newRow("hour 24 goes out empty, its tariffs kept")
        << 8 << 0
        << QByteArray("180001000000"
                      "173c00000000")
        << "02 14 ff ff 10 0 ff ff 0 0" + zeros;
    QTest::newRow("tariff 5 of a single-phase table is 15")
        << 8 << 5 << QByteArray("000004000700") << "02 19 0 0 f0 f0" + zeros + " 0 0 0 0";
    QTest::newRow("three-phase: tariff 8 kept, 9 is 15")
        << 16 << 0 << QByteArray("000007070708") << "02 89 0 0 77 7f" + zeros3;
    QTest::newRow("three-phase October")
        << 16 << 9 << QByteArray("010203000102") << "02 92 1 2 30 12" + zeros3;
    QTest::newRow("no table of 10 zones") << 10 << 0 << QByteArray() << QString();
}

void TestTariff::monthWrite()
{
    QFETCH(int, zones);
    QFETCH(int, month);
    QFETCH(QByteArray, records);
    QFETCH(QString, text);
    QCOMPARE(tariff::monthWrite(zones, month, monthOf(zones, records)), text);
}

void TestTariff::displayWrite_data()
{
    QTest::addColumn<int>("zones");
    QTest::addColumn<QByteArray>("record"); // of every zone
    QTest::addColumn<MeterSeries>("series");
    QTest::addColumn<int>("mask");
    QTest::addColumn<QString>("text");
    const MeterSeries one = MeterSeries::SinglePhase, three = MeterSeries::ThreePhase;
    QTest::newRow("tariff 1") << 8 << QByteArray("070000000000") << one << 0x02 << "02 0b a e3 3";
    QTest::newRow("tariff 4") << 8 << QByteArray("070003030303") << one << 0x10 << "02 0b a f1 3";
    QTest::newRow("nothing in use")
        << 8 << QByteArray("ffffffffffff") << one << 0 << "02 0b a e1 3";
    QTest::newRow("three-phase, tariffs 1-4")
        << 16 << QByteArray("070000010203") << three << 0x1e << "02 0b 2 64 ff";
    QTest::newRow("three-phase, only tariffs 5-8")
        << 16 << QByteArray("070004050607") << three << 0 << "02 0b 2 64 e1";
    QTest::newRow("unrecognised") << 8 << QByteArray("070000000000") << MeterSeries::Unrecognised
                                  << 0x02 << "";
}

void TestTariff::displayWrite()
{
    QFETCH(int, zones);
    QFETCH(QByteArray, record);
    QFETCH(MeterSeries, series);
    QFETCH(int, mask);
    QFETCH(QString, text);
    QCOMPARE(tariff::tariffUseMask(tableOf(zones, record)), mask);
    QCOMPARE(tariff::standardDisplayWrite(series, mask), text);
}

void TestTariff::cells_data()
{
    QTest::addColumn<int>("zones");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("timeShown");
    QTest::addColumn<QString>("tariff");
    QTest::addColumn<QString>("tariffShown");
    QTest::newRow("7:5, 4") << 8 << "7:5"
                            << "07:05"
                            << "4"
                            << "4";
    QTest::newRow("25:00, 5 single-phase") << 8 << "25:00"
                                           << "-"
                                           << "5"
                                           << "-";
    QTest::newRow("23:59, 8 three-phase") << 16 << "23:59"
                                          << "23:59"
                                          << "8"
                                          << "8";
    QTest::newRow("12:60, 9 three-phase") << 16 << "12:60"
                                          << "-"
                                          << "9"
                                          << "-";
    QTest::newRow("blanks before numbers") << 8 << " 7: 5"
                                           << "07:05"
                                           << " 2 "
                                           << "2";
    QTest::newRow("text after the minute") << 8 << "7:5 h"
                                           << "07:05"
                                           << "2x"
                                           << "-";
    QTest::newRow("no minute, tariff 0") << 8 << "7"
                                         << "-"
                                         << "0"
                                         << "-";
    QTest::newRow("negative hour, empty tariff") << 8 << "-1:5"
                                                 << "-"
                                                 << ""
                                                 << "-";
    QTest::newRow("dash") << 16 << "-"
                          << "-"
                          << "-"
                          << "-";
    QTest::newRow("huge hour") << 8 << "99999999999:0"
                               << "-"
                               << "1"
                               << "1";
}

void TestTariff::cells()
{
    QFETCH(int, zones);
    QFETCH(QString, time);
    QFETCH(QString, timeShown);
    QFETCH(QString, tariff);
    QFETCH(QString, tariffShown);
    quint8 hour = 1, minute = 1;
    tariff::parseTime(time, &hour, &minute);
    QCOMPARE(tariff::timeText(hour, minute), timeShown);
    if (timeShown == QLatin1String("-"))
        QCOMPARE((QList<int>{hour, minute}), (QList<int>{255, 255}));
    const quint8 stored = tariff::parseTariff(zones, tariff);
    QCOMPARE(tariff::tariffText(zones, stored), tariffShown);
    if (tariffShown == QLatin1String("-"))
        QCOMPARE(int(stored), 255);
}

void TestTariff::tariffCount()
{
    const MeterSeries one = MeterSeries::SinglePhase, three = MeterSeries::ThreePhase;
    int index = -1;
    QCOMPARE(tariff::decodeTariffCount(one, hex("01130102"), &index), ReplyCheck::Ok);
    QCOMPARE(index, 2);
    QCOMPARE(tariff::decodeTariffCount(three, hex("01130107"), &index), ReplyCheck::Ok);
    QCOMPARE(index, 7);
    // The single-phase box has three items.
    QCOMPARE(tariff::decodeTariffCount(one, hex("01130103"), &index), ReplyCheck::BadValue);
    QCOMPARE(tariff::decodeTariffCount(three, hex("01130108"), &index), ReplyCheck::BadValue);
    QCOMPARE(tariff::decodeTariffCount(MeterSeries::Unrecognised, hex("01130100"), &index),
             ReplyCheck::BadValue);
    QCOMPARE(tariff::decodeTariffCount(one, hex("011300"), &index), ReplyCheck::Short);
    QCOMPARE(index, 7);
    QCOMPARE(tariff::tariffCountWrite(7), QStringLiteral("02 13 7"));
}

void TestTariff::holidays_data()
{
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QString>("written");    // its first two rows
    QTest::addColumn<QStringList>("edited"); // its first four cells
    QTest::newRow("31 February, no calendar check")
        << QStringList{"31", "2", "1", "12"} << "02 0f 1f 2 1 c"
        << QStringList{"31", "2", "1", "12"};
    QTest::newRow("day 32, month 13") << QStringList{"32", "13", "0", "0"} << "02 0f ff ff ff ff"
                                      << QStringList{"-", "-", "-", "-"};
    QTest::newRow("dashes, blanks, text") << QStringList{"-", "", "x", " 7 "} << "02 0f ff ff ff 7"
                                          << QStringList{"-", "-", "-", "7"};
    QTest::newRow("leading zeros") << QStringList{"08", "03", "-1", "1"} << "02 0f 8 3 ff 1"
                                   << QStringList{"8", "3", "-", "1"};
}

void TestTariff::holidays()
{
    QFETCH(QStringList, cells);
    QFETCH(QString, written);
    QFETCH(QStringList, edited);
    // Rows 3 to 20 are missing: ff.
    QCOMPARE(holidays::write(cells), written + QStringLiteral(" ff").repeated(36));
    QStringList normalised;
    for (int i = 0; i < cells.size(); ++i)
        normalised << holidays::normalised(cells[i], i % 2 == 1);
    QCOMPARE(normalised, edited);

    QStringList shown{"kept"};
    QCOMPARE(holidays::decode(hex("010f27" + QByteArray("ff").repeated(39)), &shown),
             ReplyCheck::Short);
    QCOMPARE(shown, QStringList{"kept"});
    QCOMPARE(holidays::decode(hex("010f28"
                                  "1f02"
                                  "ff0c"
                                  "2000" +
                                  QByteArray("ff").repeated(34)),
                              &shown),
             ReplyCheck::Ok);
    QCOMPARE(shown.size(), 40);
    QCOMPARE(shown.mid(0, 7), (QStringList{"31", "2", "-", "12", "32", "0", "-"}));
}

void TestTariff::ztfWritten_data()
{
    QTest::addColumn<int>("zones");
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("header");
    QTest::newRow("8 zones") << 8 << 580 << hex("5a540108");
    QTest::newRow("16 zones") << 16 << 1156 << hex("5a540110");
}

void TestTariff::ztfWritten()
{
    QFETCH(int, zones);
    QFETCH(int, size);
    QFETCH(QByteArray, header);
    // Every month different, with empty zones and unset tariffs among them.
    tariff::Table table;
    for (int m = 0; m < 12; ++m) {
        tariff::Month month = monthOf(zones, "0700010203ff"
                                             "ffffffffffff");
        month[zones - 1].hour = quint8(m);
        month[zones - 1].tariffs[3] = quint8(m % 8);
        table << month;
    }
    const QByteArray file = schedulefiles::encodeZtf(zones, table);
    QCOMPARE(file.size(), size);
    QCOMPARE(file.left(4), header);
    QCOMPARE(file.mid(4, 12).toHex(), QByteArray("0700010203ff"
                                                 "ffffffffffff"));
    // December's last zone closes the file.
    QCOMPARE(file.right(6).toHex(), QByteArray("0b0000000003"));
    int readZones = 0;
    tariff::Table read;
    QCOMPARE(schedulefiles::decodeZtf(file, &readZones, &read), schedulefiles::ZtfCheck::Ok);
    QCOMPARE(readZones, zones);
    QVERIFY(read == table);
    // A trailing byte is not part of the schedule.
    QCOMPARE(schedulefiles::decodeZtf(file + '\x07', &readZones, &read),
             schedulefiles::ZtfCheck::Ok);
    QVERIFY(read == table);
    QVERIFY(schedulefiles::encodeZtf(12, table).isEmpty());
}

void TestTariff::ztfRefused_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<schedulefiles::ZtfCheck>("check");
    QTest::addColumn<QString>("reason");
    using C = schedulefiles::ZtfCheck;
    const QByteArray body8(576, '\0'), body16(1152, '\0');
    QTest::newRow("version 2") << hex("5a540208") + body8 << C::Version
                               << "неизвестная версия файла: 2";
    QTest::newRow("second magic letter") << hex("5a580108") + body8 << C::NotSchedule
                                         << "файл не является файлом тарифного расписания";
    QTest::newRow("lower-case magic") << hex("7a740108") + body8 << C::NotSchedule
                                      << "файл не является файлом тарифного расписания";
    QTest::newRow("9 zones") << hex("5a540109") + body16 << C::Zones
                             << "неверное число зон в файле: 9";
    QTest::newRow("a byte short") << hex("5a540108") + body8.left(575) << C::Truncated
                                  << "файл короче, чем указано в его заголовке (579 из 580 байт)";
    QTest::newRow("16 zones, 8 zones long")
        << hex("5a540110") + body8 << C::Truncated
        << "файл короче, чем указано в его заголовке (580 из 1156 байт)";
    QTest::newRow("header cut") << hex("5a5401") << C::NotSchedule
                                << "файл не является файлом тарифного расписания";
    QTest::newRow("empty") << QByteArray() << C::NotSchedule
                           << "файл не является файлом тарифного расписания";
}

void TestTariff::ztfRefused()
{
    QFETCH(QByteArray, file);
    QFETCH(schedulefiles::ZtfCheck, check);
    QFETCH(QString, reason);
    int zones = 3;
    const tariff::Table before = tableOf(8, "010203040506");
    tariff::Table table = before;
    QCOMPARE(schedulefiles::decodeZtf(file, &zones, &table), check);
    QCOMPARE(zones, 3);
    QVERIFY(table == before);
    QCOMPARE(schedulefiles::ztfReason(check, file), reason);
}

void TestTariff::hcf_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("first"); // the first four cells; the rest are empty
    QTest::newRow("3 lines") << QByteArray("1\n5\n7\n") << QStringList{"1", "5", "7", ""};
    QTest::newRow("no line feed at the end") << QByteArray("1\n5") << QStringList{"1", "5", "", ""};
    QTest::newRow("8 characters cut to 7, CR LF")
        << QByteArray("12345678\r\n-\r\n\r\n9") << QStringList{"1234567", "-", "", "9"};
    QTest::newRow("empty") << QByteArray() << QStringList{"", "", "", ""};
}

void TestTariff::hcf()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, first);
    const QStringList cells = schedulefiles::decodeHcf(file);
    QCOMPARE(cells.size(), 40);
    QCOMPARE(cells.mid(0, 4), first);
    QCOMPARE(cells.mid(4), QStringList(36, QString()));

    // 40 lines, empty ones too; the 41st line of a file is not read.
    QStringList written = QStringList(40, QStringLiteral("-"));
    written[0] = QStringLiteral("31");
    written[39] = QString();
    const QByteArray text = schedulefiles::encodeHcf(written);
    QCOMPARE(text, "31\n" + QByteArray("-\n").repeated(38) + "\n");
    QCOMPARE(schedulefiles::decodeHcf(text + "5\n"), written);
}

QTEST_MAIN(TestTariff)
#include "tst_tariff.moc"
