// The stored lists as table rows: energy slices, archive records and event records with their
// texts; the batches that read them; CSV cells; the current scale of the vector diagram.
#include "core/csvtable.h"
#include "core/meterseries.h"
#include "core/phasors.h"
#include "core/recorddecoders.h"

#include <QtTest>

Q_DECLARE_METATYPE(MeterSeries)
Q_DECLARE_METATYPE(records::ArchiveEnergy)

namespace {

// A reply of function and object (two bytes of `head`) whose length byte claims `claimed` data
// bytes (-1: as many as there are).
QByteArray reply(const char *head, const char *data, int claimed = -1)
{
    const QByteArray d = QByteArray::fromHex(data);
    return QByteArray::fromHex(head) + char(claimed < 0 ? d.size() : claimed) + d;
}

// 13:30 on 5 March 2024 as a slice stores it: a spare byte, minutes, hours, day, month, year.
const char kSliceStamp[] = "001e0d050318";
// 1234.56 kWh in swapped decimal digits, and a register with a nibble above 9.
const char kReg123456[] = "65432100";
const char kRegBad[] = "6a432100";
const char kRegZero[] = "00000000";

QByteArray slice(int registers, const char *first)
{
    QByteArray data = QByteArray(kSliceStamp) + first;
    for (int k = 1; k < registers; ++k)
        data += kRegZero;
    return reply("0c42", data.constData());
}

} // namespace

class TestRecords : public QObject
{
    Q_OBJECT
private slots:
    void sliceRows_data();
    void sliceRows();
    void archiveRows_data();
    void archiveRows();
    void eventRows_data();
    void eventRows();
    void sizes();
    void commands_data();
    void commands();
    void csvCells_data();
    void csvCells();
    void currentScale_data();
    void currentScale();
};

void TestRecords::sliceRows_data()
{
    QTest::addColumn<MeterSeries>("series");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QStringList>("cells"); // the first ones
    QTest::addColumn<int>("count");
    const MeterSeries one = MeterSeries::SinglePhase;
    const MeterSeries three = MeterSeries::ThreePhase;
    QTest::newRow("decimal comma")
        << one << slice(5, kReg123456) << QStringList{"05.03.2024", "13:30", "1234,56", "0"} << 7;
    QTest::newRow("corrupt register, the row stays")
        << one << slice(5, kRegBad) << QStringList{"05.03.2024", "13:30", "corrupted", "0"} << 7;
    QTest::newRow("three-phase: 18 registers")
        << three << slice(18, kReg123456) << QStringList{"05.03.2024", "13:30", "1234,56"} << 20;
    QTest::newRow("cut short in the second register")
        << one << reply("0c42", "001e0d0503186543210000", 26)
        << QStringList{"05.03.2024", "13:30", "1234,56", "-", "-", "-", "-"} << 7;
    QTest::newRow("bytes past its length are not its own")
        << one << reply("0c42", "001e0d05031865432100", 2)
        << QStringList{"-", "-", "-", "-", "-", "-", "-"} << 7;
    QTest::newRow("header only") << one << reply("0c42", "")
                                 << QStringList{"-", "-", "-", "-", "-", "-", "-"} << 7;
    QTest::newRow("unrecognised series")
        << MeterSeries::Unrecognised << slice(5, kReg123456) << QStringList() << 0;
}

void TestRecords::sliceRows()
{
    QFETCH(MeterSeries, series);
    QFETCH(QByteArray, record);
    QFETCH(QStringList, cells);
    QFETCH(int, count);
    const QStringList row = records::sliceRow(series, record);
    QCOMPARE(row.size(), count);
    QCOMPARE(row.mid(0, cells.size()), cells);
    QCOMPARE(records::sliceHeader(series).size(), count);
}

void TestRecords::archiveRows_data()
{
    QTest::addColumn<records::ArchiveEnergy>("energy");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QStringList>("cells");
    using E = records::ArchiveEnergy;
    // 13:30 on 5 March 2024: minutes, hours, day, month, year.
    QTest::newRow("single-phase 62 is 0,0124")
        << E::SinglePhase << reply("0710", "1e0d0503183e00")
        << QStringList{"05.03.2024", "13:30", "12", "0,0124"};
    QTest::newRow("single-phase 65535, 6 digits")
        << E::SinglePhase << reply("0710", "1e0d050318ffff")
        << QStringList{"05.03.2024", "13:30", "12", "13,107"};
    QTest::newRow(".42: 1234 / 1000, 3 digits")
        << E::ThreePhase42 << reply("0710", "1e0d050318d2047b00")
        << QStringList{"05.03.2024", "13:30", "12", "1,23", "0,123"};
    QTest::newRow("other three-phase: 1234 / 100")
        << E::ThreePhase << reply("0710", "1e0d050318d2047b00")
        << QStringList{"05.03.2024", "13:30", "12", "12,3", "1,23"};
    QTest::newRow("no longer three-phase")
        << E::NotThreePhase << reply("0710", "1e0d050318d2047b00")
        << QStringList{"05.03.2024", "13:30", "12", "-", "-"};
    QTest::newRow("three-phase cut before the reactive energy")
        << E::ThreePhase << reply("0710", "1e0d050318d2047b", 9)
        << QStringList{"05.03.2024", "13:30", "12", "12,3", "-"};
    QTest::newRow("no data") << E::SinglePhase << reply("0710", "")
                             << QStringList{"-", "-", "12", "-"};
}

void TestRecords::archiveRows()
{
    QFETCH(records::ArchiveEnergy, energy);
    QFETCH(QByteArray, record);
    QFETCH(QStringList, cells);
    QCOMPARE(records::archiveRecord(energy, record, 12).cells, cells);
}

void TestRecords::eventRows_data()
{
    QTest::addColumn<int>("list");
    QTest::addColumn<MeterSeries>("series");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QStringList>("cells");
    const MeterSeries one = MeterSeries::SinglePhase;
    const MeterSeries three = MeterSeries::ThreePhase;
    // 13:30:07 on 5 March 2024, then the code, least significant byte first.
    QTest::newRow("single-phase message 0x4004")
        << 0x3b << one << reply("0b3b", "071e0d0503180440")
        << QStringList{"5.3.2024", "13:30:07", "M4", "0100000000000100",
                       "Изменение тарифного расписания, установка даты/времени"};
    QTest::newRow("three-phase message 0x0800")
        << 0x3b << three << reply("0b3b", "071e0d0503180008")
        << QStringList{"5.3.2024", "13:30:07", "M4", "0000100000000000",
                       "Инициализация профиля мощности"};
    QTest::newRow("three-phase error 0x3000 is no one error")
        << 0x12 << three << reply("0b12", "071e0d0503180030")
        << QStringList{"5.3.2024", "13:30:07", "E4", "0011000000000000", ""};
    QTest::newRow("three-phase error 0x1000")
        << 0x12 << three << reply("0b12", "071e0d0503180010")
        << QStringList{"5.3.2024", "13:30:07", "E4", "0001000000000000",
                       "Неверное тарифное расписание"};
    QTest::newRow("single-phase error 0x1000 is unknown")
        << 0x12 << one << reply("0b12", "071e0d0503180010")
        << QStringList{"5.3.2024", "13:30:07", "E4", "0001000000000000", ""};
    QTest::newRow("three-phase warning 0x2001")
        << 0x3c << three
        << reply("0b3c", "1f0b17140218"
                         "0120")
        << QStringList{"20.2.2024", "23:11:31", "W4", "0010000000000001",
                       "Реверсивное потребление энергии по фазе А, воздействие магнитным полем"};
    QTest::newRow("code 0") << 0x3c << one << reply("0b3c", "071e0d0503180000")
                            << QStringList{"5.3.2024", "13:30:07", "W4", "0000000000000000", "-"};
    QTest::newRow("unrecognised series")
        << 0x3b << MeterSeries::Unrecognised << reply("0b3b", "071e0d0503180440")
        << QStringList{"5.3.2024", "13:30:07", "M4", "0100000000000100", ""};
    QTest::newRow("cut before the code") << 0x3b << one << reply("0b3b", "071e0d05031804", 8)
                                         << QStringList{"5.3.2024", "13:30:07", "M4", "-", "-"};
}

void TestRecords::eventRows()
{
    QFETCH(int, list);
    QFETCH(MeterSeries, series);
    QFETCH(QByteArray, record);
    QFETCH(QStringList, cells);
    QCOMPARE(records::eventRow(list, series, record, 4), cells);
}

void TestRecords::sizes()
{
    // Two bytes, least significant first, or the one byte a meter sent.
    QCOMPARE(records::listCount(reply("0642", "0301")), std::optional<int>(259));
    QCOMPARE(records::listCount(reply("0642", "ffff")), std::optional<int>(65535));
    QCOMPARE(records::listCount(reply("0642", "05")), std::optional<int>(5));
    QCOMPARE(records::listCount(reply("0642", "0301", 1)), std::optional<int>(3));
    QCOMPARE(records::listCount(reply("0642", "")), std::nullopt);
    QCOMPARE(records::archiveSize(reply("0610", "0008")), std::optional<quint32>(2048));
    QCOMPARE(records::archiveSize(reply("0610", "00", 2)), std::nullopt);
    // Periods 5, 10, 15, 20 select themselves, anything else "30".
    const QStringList items{"5", "10", "15", "20", "30"};
    const struct
    {
        const char *data;
        const char *item;
    } periods[] = {{"05", "5"}, {"14", "20"}, {"07", "30"}, {"1e", "30"}};
    for (const auto &p : periods)
        QCOMPARE(items.value(records::archivePeriodIndex(reply("013d", p.data)).value_or(-1)),
                 QString::fromLatin1(p.item));
}

void TestRecords::commands_data()
{
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("archive 10 to 10 reads nothing")
        << records::archiveCommands(10, 10) << QStringList();
    QTest::newRow("archive 0 to 3 reads 0, 1, 2")
        << records::archiveCommands(0, 3) << QStringList{"07 10 0 0", "07 10 1 0", "07 10 2 0"};
    QTest::newRow("archive record 256: low 0, high 1")
        << records::archiveCommands(256, 257) << QStringList{"07 10 0 1"};
    QTest::newRow("monthly slices")
        << records::sliceCommands(0x43, 11).mid(9) << QStringList{"0c 43 9 00", "0c 43 a 00"};
    QTest::newRow("events: messages, errors, warnings")
        << records::eventCommands(2, 1, 1)
        << QStringList{"0b 3b 0 00", "0b 3b 1 00", "0b 12 0 00", "0b 3c 0 00"};
}

void TestRecords::commands()
{
    QFETCH(QStringList, commands);
    QFETCH(QStringList, expected);
    QCOMPARE(commands, expected);
}

void TestRecords::csvCells_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("written");
    QTest::newRow("formula") << "=1+2"
                             << "'=1+2";
    QTest::newRow("plus formula") << "+A1*2"
                                  << "'+A1*2";
    QTest::newRow("minus formula") << "-2+3"
                                   << "'-2+3";
    QTest::newRow("at") << "@SUM(A1:A2)"
                        << "'@SUM(A1:A2)";
    QTest::newRow("negative number") << "-1,5"
                                     << "-1,5";
    QTest::newRow("missing value") << "-"
                                   << "-";
    QTest::newRow("date") << "05.03.2024"
                          << "05.03.2024";
    QTest::newRow("decimal comma") << "0,0124"
                                   << "0,0124";
    QTest::newRow("separator inside") << "a;b"
                                      << "\"a;b\"";
    QTest::newRow("line break and quote") << "a\n\"b\""
                                          << "\"a\n\"\"b\"\"\"";
}

void TestRecords::csvCells()
{
    QFETCH(QString, cell);
    QFETCH(QString, written);
    QCOMPARE(csvtable::cell(cell), written);
    QCOMPARE(csvtable::text({"Дата"}, {{cell}}), "Дата;\n" + written + ";\n");
}

void TestRecords::currentScale_data()
{
    QTest::addColumn<double>("volts");
    QTest::addColumn<double>("amps");
    QTest::addColumn<double>("perDivision");
    QTest::addColumn<QString>("text");
    // 230 V reach 10.5 divisions of 22 V: 5 A need 0.48 A a division, rounded up to 0.5.
    QTest::newRow("230 V, 5 A") << 230.0 << 5.0 << 0.5
                                << "U: 1 деление = 22 В, I: 1 деление = 0,5 А";
    QTest::newRow("57.7 V, 5 A") << 57.7 << 5.0 << 2.0 << "U: 1 деление = 22 В, I: 1 деление = 2 А";
    QTest::newRow("no current stays a point")
        << 230.0 << 0.0 << 1.0 << "U: 1 деление = 22 В, I: 1 деление = 1 А";
}

void TestRecords::currentScale()
{
    QFETCH(double, volts);
    QFETCH(double, amps);
    QFETCH(double, perDivision);
    QFETCH(QString, text);
    // Powers as the diagram gets them: the meter's W x 100 / 1000; the load at 30 degrees.
    const double u[3] = {volts, volts, volts};
    const double p[3] = {volts * amps * std::cos(M_PI / 6) / 10, 0, 0};
    const double q[3] = {volts * amps * std::sin(M_PI / 6) / 10, 0, 0};
    const phasors::Vectors v = phasors::compute(u, p, q);
    const double scale = phasors::amperesPerDivision(v);
    QCOMPARE(scale, perDivision);
    QCOMPARE(phasors::scaleText(scale), text);
    const phasors::Vector drawn = phasors::drawnCurrent(v.current[0], scale);
    QCOMPARE(std::hypot(drawn.tip.x(), drawn.tip.y()), amps / perDivision * 22);
    // The other phases carry no current: points at the origin.
    QCOMPARE(phasors::drawnCurrent(v.current[1], scale).tip, QPointF(0, 0));
}

QTEST_MAIN(TestRecords)
#include "tst_records.moc"
