#include "core/crc16.h"
#include "core/hextext.h"
#include "core/portpath.h"
#include "core/standframe.h"
#include "core/wireframe.h"
#include "support/workdir.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace
{
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Bit by bit, straight from the polynomial: the reference the tables must agree with.
quint16 crcBitwise(const QByteArray &data)
{
    quint16 crc = 0xffff;
    for (const char c : data) {
        crc ^= quint8(c);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xa001) : quint16(crc >> 1);
    }
    return crc;
}
} // namespace

class TestLinkCodec : public QObject
{
    Q_OBJECT
private slots:
    void crc_data();
    void crc();
    void crcTablesMatchPolynomial();
    void makeFrame_data();
    void makeFrame();
    void crcMatches_data();
    void crcMatches();
    void hexText_data();
    void hexText();
    void defaultTable_data();
    void defaultTable();
    void mappedPorts();
    void standRequest_data();
    void standRequest();
    void standAcknowledgement_data();
    void standAcknowledgement();
};

void TestLinkCodec::crc_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("crc");
    QTest::newRow("read holding register") << hex("010300000001") << 0x0a84;
    QTest::newRow("check string") << QByteArray("123456789") << 0x4b37;
    QTest::newRow("nothing") << QByteArray() << 0xffff;
    QTest::newRow("its own CRC appended gives zero") << hex("010300000001840a") << 0x0000;
}

void TestLinkCodec::crc()
{
    QFETCH(QByteArray, data);
    QFETCH(int, crc);
    QCOMPARE(int(crc16::modbus(data)), crc);
}

void TestLinkCodec::crcTablesMatchPolynomial()
{
    // Every table entry is reached by some one-byte message after some preceding state; one and
    // two byte messages over all values exercise all 512 entries in both positions.
    for (int a = 0; a < 256; ++a) {
        const QByteArray one(1, char(a));
        QCOMPARE(crc16::modbus(one), crcBitwise(one));
        for (int b = 0; b < 256; b += 17) {
            const QByteArray two = one + char(b);
            QCOMPARE(crc16::modbus(two), crcBitwise(two));
        }
    }
}

void TestLinkCodec::makeFrame_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("addressSize");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("frame"); // the CRC's low byte first
    QTest::newRow("one-byte address") << 5 << 1 << hex("0121") << hex("050121a049");
    QTest::newRow("serial number, little-endian")
        << 123456789 << 4 << hex("0121") << hex("15cd5b0701214c63");
    QTest::newRow("address 300 keeps its low byte") << 300 << 1 << hex("0121")
                                                    << hex("2c012171"
                                                           "81");
    QTest::newRow("negative address, four bytes") << -2 << 4 << hex("01") << hex("feffffff018dc0");
    QTest::newRow("address size 2 gives a zero byte") << 5 << 2 << hex("0121") << hex("000121b048");
    QTest::newRow("address size 0 gives a zero byte")
        << 77 << 0 << hex("0121") << hex("000121b048");
    QTest::newRow("empty payload") << 5 << 1 << QByteArray() << hex("057f43");
    QTest::newRow("empty payload, serial number") << 1 << 4 << QByteArray() << hex("0100000001d8");
}

void TestLinkCodec::makeFrame()
{
    QFETCH(int, address);
    QFETCH(int, addressSize);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, frame);
    QCOMPARE(wireframe::make(address, char(addressSize), payload).toHex(' '), frame.toHex(' '));
    QVERIFY(wireframe::crcMatches(frame));
}

void TestLinkCodec::crcMatches_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<bool>("matches");
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("one byte") << hex("ff") << false;
    QTest::newRow("two bytes FF FF: CRC of nothing") << hex("ffff") << true;
    QTest::newRow("two other bytes") << hex("0000") << false;
    QTest::newRow("good") << hex("010300000001840a") << true;
    QTest::newRow("CRC bytes swapped") << hex("0103000000010a84") << false;
    QTest::newRow("data bit flipped") << hex("010300000101840a") << false;
    QTest::newRow("truncated") << hex("010300000001840") << false;
    QTest::newRow("one byte too many") << hex("010300000001840a55") << false;
}

void TestLinkCodec::crcMatches()
{
    QFETCH(QByteArray, packet);
    QFETCH(bool, matches);
    // A detached copy of exactly the packet's size, so a read past its end is caught under ASan.
    const QByteArray exact(packet.constData(), packet.size());
    QCOMPARE(wireframe::crcMatches(exact), matches);
}

void TestLinkCodec::hexText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("frame") << hex("050121a049") << "05 01 21 a0 49 ";
    QTest::newRow("extremes") << hex("00ff0f") << "00 ff 0f ";
    QTest::newRow("nothing") << QByteArray() << "";
}

void TestLinkCodec::hexText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(hextext::fromBytes(bytes), text);
}

void TestLinkCodec::defaultTable_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");
    QTest::newRow("COM1") << 1 << "/dev/ttyUSB0";
    QTest::newRow("COM8") << 8 << "/dev/ttyUSB7";
    QTest::newRow("COM9") << 9 << "/dev/ttyACM0";
    QTest::newRow("COM10") << 10 << "/dev/ttyACM1";
    QTest::newRow("COM12") << 12 << "/dev/ttyACM3";
    QTest::newRow("COM13") << 13 << "/dev/ttyS0";
    QTest::newRow("COM20") << 20 << "/dev/ttyS7";
    QTest::newRow("COM0") << 0 << "";
    QTest::newRow("COM21") << 21 << "";
    QTest::newRow("negative") << -1 << "";
}

void TestLinkCodec::defaultTable()
{
    QFETCH(int, port);
    QFETCH(QString, device);
    WorkDir work; // no "ports" folder here
    QVERIFY(work.isValid());
    QCOMPARE(portpath::defaultDevice(port), device);
    QCOMPARE(portpath::device(port), device);
    QVERIFY(portpath::mappedDevice(port).isEmpty());
}

void TestLinkCodec::mappedPorts()
{
    WorkDir work;
    QVERIFY(work.isValid());
    QDir dir(work.path());
    QVERIFY(dir.mkdir(QStringLiteral("ports")));
    auto writeEntry = [&](const char *name, const QByteArray &content) {
        QFile f(dir.filePath(QStringLiteral("ports/") + QLatin1String(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    };
    QVERIFY(QFile::link(QStringLiteral("/dev/pts/7"), dir.filePath(QStringLiteral("ports/COM1"))));
    writeEntry("COM2", "  /dev/serial/by-id/usb-adapter  \r\nsecond line\n");
    writeEntry("COM3", "");
    writeEntry("COM4", "local/tty\n");
    writeEntry("COM5", QByteArray("/dev/tty\0USB0\n", 14));
    QVERIFY(dir.mkdir(QStringLiteral("ports/COM6")));
    writeEntry("COM21", "/dev/ttyUSB9\n");

    QCOMPARE(portpath::device(1), QStringLiteral("/dev/pts/7"));
    QCOMPARE(portpath::device(2), QStringLiteral("/dev/serial/by-id/usb-adapter"));
    QCOMPARE(portpath::device(3), QStringLiteral("/dev/ttyUSB2")); // empty file: the table
    QCOMPARE(portpath::device(4), dir.filePath(QStringLiteral("ports/local/tty")));
    QCOMPARE(portpath::device(5), QStringLiteral("/dev/ttyUSB4")); // not a path
    QCOMPARE(portpath::device(6), QStringLiteral("/dev/ttyUSB5")); // a folder is no entry
    QCOMPARE(portpath::device(7), QStringLiteral("/dev/ttyUSB6"));
    QCOMPARE(portpath::device(21), QStringLiteral("/dev/ttyUSB9")); // beyond the table

    // Another folder than the current one.
    WorkDir other;
    QCOMPARE(portpath::device(2, work.path()), QStringLiteral("/dev/serial/by-id/usb-adapter"));
    QCOMPARE(portpath::device(2), QStringLiteral("/dev/ttyUSB1"));
}

void TestLinkCodec::standRequest_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QByteArray>("mask");
    QTest::newRow("1") << 1 << hex("010000");
    QTest::newRow("8") << 8 << hex("800000");
    QTest::newRow("9") << 9 << hex("000100");
    QTest::newRow("17") << 17 << hex("000001");
    QTest::newRow("24") << 24 << hex("000080");
    QTest::newRow("0: all off") << 0 << hex("000000");
    QTest::newRow("25: all off") << 25 << hex("000000");
    QTest::newRow("-1: all off") << -1 << hex("000000");
    QTest::newRow("33: no wrap-around") << 33 << hex("000000");
}

void TestLinkCodec::standRequest()
{
    QFETCH(int, position);
    QFETCH(QByteArray, mask);
    QCOMPARE(standframe::selectRequest(position).toHex(' '),
             (hex("00000000000a010f0000001803") + mask).toHex(' '));
}

void TestLinkCodec::standAcknowledgement_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("accepted");
    const QByteArray ack = hex("000000000006010f00000018");
    QTest::newRow("acknowledgement") << ack << true;
    QTest::newRow("exception 8f") << hex("000000000003018f02") << false;
    QTest::newRow("two at once") << ack + ack << false;
    QTest::newRow("short") << ack.left(11) << false;
    QTest::newRow("other coil count") << hex("000000000006010f00000017") << false;
    QTest::newRow("other transaction") << hex("000100000006010f00000018") << false;
    QTest::newRow("nothing") << QByteArray() << false;
}

void TestLinkCodec::standAcknowledgement()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, accepted);
    QCOMPARE(standframe::isAcknowledgement(reply), accepted);
    QCOMPARE(standframe::acknowledgement(), hex("000000000006010f00000018"));
}

QTEST_GUILESS_MAIN(TestLinkCodec)
#include "tst_linkcodec.moc"
