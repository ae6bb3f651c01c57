#include "core/devicerecord.h"
#include "support/devicerecords.h"

#include <QtTest>

class TestDeviceRecord : public QObject
{
    Q_OBJECT
private slots:
    void initialValues();
    void usesSerialNumber_data();
    void usesSerialNumber();
    void serialAsNumber_data();
    void serialAsNumber();
    void duplicates_data();
    void duplicates();
    void rowText_data();
    void rowText();
};

void TestDeviceRecord::initialValues()
{
    const DeviceRecord r;
    QCOMPARE(r.address, 255);
    QCOMPARE(r.standAddr, 0);
    QVERIFY(!r.sessionOpen && !r.ticked && !r.current && !r.standMode);
    QVERIFY(r.useStdPwd);
    QCOMPARE(r.version, QStringLiteral("-"));
    QVERIFY(r.password.isEmpty());
    QVERIFY(r.serialNumber.isEmpty());
    QVERIFY(r.sessionTimeout > 0);
}

void TestDeviceRecord::usesSerialNumber_data()
{
    QTest::addColumn<QByteArray>("serial");
    QTest::addColumn<bool>("uses");
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("fifteen zeros") << QByteArray("000000000000000") << false;
    QTest::newRow("one zero") << QByteArray("0") << false;
    QTest::newRow("trailing digit") << QByteArray("000000000000001") << true;
    QTest::newRow("leading digit") << QByteArray("100000000000000") << true;
    QTest::newRow("not a digit counts too") << QByteArray("00 ") << true;
}

void TestDeviceRecord::usesSerialNumber()
{
    QFETCH(QByteArray, serial);
    QFETCH(bool, uses);
    QCOMPARE(meterRecord(1, serial).usesSerialNumber(), uses);
}

void TestDeviceRecord::serialAsNumber_data()
{
    QTest::addColumn<QByteArray>("serial");
    QTest::addColumn<int>("number");
    QTest::newRow("int max") << QByteArray("000002147483647") << 2147483647;
    QTest::newRow("int max + 1") << QByteArray("000002147483648") << 0;
    QTest::newRow("ten nines") << QByteArray("9999999999") << 0;
    QTest::newRow("only last ten count") << QByteArray("987650000000123") << 123;
    QTest::newRow("fewer than ten") << QByteArray("4567") << 4567;
    QTest::newRow("one digit") << QByteArray("7") << 7;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("zeros") << QByteArray("000000000000000") << 0;
    QTest::newRow("letter in the tail") << QByteArray("00000000000012a") << 0;
    QTest::newRow("blank in the tail") << QByteArray("0000000000 1234") << 0;
    QTest::newRow("sign in the tail") << QByteArray("00000-000000123") << 0;
    QTest::newRow("junk before the tail") << QByteArray("xx-0000000000042") << 42;
}

void TestDeviceRecord::serialAsNumber()
{
    QFETCH(QByteArray, serial);
    QFETCH(int, number);
    QCOMPARE(meterRecord(1, serial).serialAsNumber(), number);
}

void TestDeviceRecord::duplicates_data()
{
    QTest::addColumn<DeviceRecord>("listed");
    QTest::addColumn<DeviceRecord>("candidate");
    QTest::addColumn<bool>("duplicate");

    const QByteArray sn123("000000000000123"), sn124("000000000000124");
    const QByteArray zeros("000000000000000");
    QTest::newRow("same address, no serial") << meterRecord(5) << meterRecord(5) << true;
    QTest::newRow("other address, no serial") << meterRecord(5) << meterRecord(6) << false;
    QTest::newRow("same address, other serials")
        << meterRecord(5, sn123) << meterRecord(5, sn124) << false;
    QTest::newRow("same address, same serial")
        << meterRecord(5, sn123) << meterRecord(5, sn123) << true;
    QTest::newRow("serial moved to other address")
        << meterRecord(5, sn123) << meterRecord(7, sn123) << true;
    QTest::newRow("zeros at other addresses")
        << meterRecord(5, zeros) << meterRecord(7, zeros) << false;
    QTest::newRow("zeros at the same address")
        << meterRecord(5, zeros) << meterRecord(5, zeros) << true;
    QTest::newRow("zeros and empty, same address")
        << meterRecord(5) << meterRecord(5, zeros) << true;
    QTest::newRow("empty and zeros, same address")
        << meterRecord(5, zeros) << meterRecord(5) << true;
    QTest::newRow("serial and none, same address")
        << meterRecord(5) << meterRecord(5, sn123) << false;
    QTest::newRow("stand: other positions")
        << meterRecord(255, {}, 1, true) << meterRecord(255, {}, 2, true) << false;
    QTest::newRow("stand: same position")
        << meterRecord(255, {}, 2, true) << meterRecord(255, {}, 2, true) << true;
    QTest::newRow("stand: same serial elsewhere")
        << meterRecord(255, sn123, 1, true) << meterRecord(255, sn123, 2, true) << true;
    QTest::newRow("off the stand positions do not count")
        << meterRecord(255, {}, 1) << meterRecord(255, {}, 2) << true;
}

void TestDeviceRecord::duplicates()
{
    QFETCH(DeviceRecord, listed);
    QFETCH(DeviceRecord, candidate);
    QFETCH(bool, duplicate);
    QCOMPARE(candidate.duplicates(listed), duplicate);
}

void TestDeviceRecord::rowText_data()
{
    QTest::addColumn<DeviceRecord>("record");
    QTest::addColumn<QString>("text");

    DeviceRecord plain = meterRecord(5);
    QTest::newRow("plain") << plain << "<strong>5</strong> / -";
    DeviceRecord zeros = meterRecord(5, "000000000000000");
    QTest::newRow("zeros shown as plain") << zeros << "<strong>5</strong> / -";
    DeviceRecord serial = meterRecord(5, "000000000000123");
    serial.version = QStringLiteral("210.1");
    QTest::newRow("serial first") << serial << "000000000000123 / <strong>5</strong> / 210.1";
    DeviceRecord stand = meterRecord(255, "000000000000123", 3, true);
    QTest::newRow("stand wins over serial") << stand << "<strong>255</strong> / 3 / -";
    DeviceRecord hostile = meterRecord(9, "<b>&x</b>");
    hostile.version = QStringLiteral("<img src=x>");
    QTest::newRow("file and meter text escaped")
        << hostile << "&lt;b&gt;&amp;x&lt;/b&gt; / <strong>9</strong> / &lt;img src=x&gt;";
}

void TestDeviceRecord::rowText()
{
    QFETCH(DeviceRecord, record);
    QFETCH(QString, text);
    QCOMPARE(record.rowText(), text);
}

QTEST_APPLESS_MAIN(TestDeviceRecord)
#include "tst_devicerecord.moc"
