#include "core/commandtext.h"
#include "core/exchangerules.h"
#include "core/devicerecord.h"
#include "support/devicerecords.h"

#include <QtTest>

using exchangerules::Verdict;
Q_DECLARE_METATYPE(Verdict)

class TestExchangeRules : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void consoleText_data();
    void consoleText();
    void sessionOpen();
    void address_data();
    void address();
    void judge_data();
    void judge();
    void errorMessages_data();
    void errorMessages();
    void version_data();
    void version();
    void progress();
};

void TestExchangeRules::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("pairs") << "02 0D 05" << QByteArray::fromHex("020d05");
    QTest::newRow("outer and repeated blanks") << "  02   0d " << QByteArray::fromHex("020d");
    QTest::newRow("three digits: low 8 bits") << "123" << QByteArray::fromHex("23");
    QTest::newRow("one digit") << "8 0" << QByteArray::fromHex("0800");
    QTest::newRow("not a number gives 00") << "01 zz 21" << QByteArray::fromHex("010021");
    QTest::newRow("empty") << "" << QByteArray();
    QTest::newRow("blanks only") << "   " << QByteArray();
}

void TestExchangeRules::parse()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(commandtext::parse(text), bytes);
}

void TestExchangeRules::consoleText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "03 00 00 00 01" << true;
    QTest::newRow("outer blanks, mixed case") << "  02 0d 0A  " << true;
    QTest::newRow("several blanks inside") << "02   0D" << true;
    QTest::newRow("letter G") << "02 0G" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blanks only") << "   " << false;
    QTest::newRow("tab inside") << "02\t0d" << false;
    QTest::newRow("0x prefix") << "0x02" << false;
}

void TestExchangeRules::consoleText()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(commandtext::isValidConsoleText(text), valid);
}

void TestExchangeRules::sessionOpen()
{
    QCOMPARE(commandtext::sessionOpen(1, QByteArray::fromHex("e1e1e1e1e1e1")),
             QStringLiteral("08 01 e1 e1 e1 e1 e1 e1 "));
    // Bytes below 16 keep their leading zero; a short password is padded with zero bytes.
    QCOMPARE(commandtext::sessionOpen(2, QByteArray::fromHex("0a0b")),
             QStringLiteral("08 02 0a 0b 00 00 00 00 "));
    QCOMPARE(commandtext::parse(commandtext::sessionOpen(0, "abcdefgh")),
             QByteArray::fromHex("0800616263646566"));
}

void TestExchangeRules::address_data()
{
    QTest::addColumn<DeviceRecord>("meter");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("size");
    QTest::newRow("no serial number") << meterRecord(17) << 17 << 1;
    QTest::newRow("serial of zeros") << meterRecord(17, "000000000000000") << 17 << 1;
    QTest::newRow("serial number") << meterRecord(17, "000000001234567") << 1234567 << 4;
    QTest::newRow("serial too large for 32 bits") << meterRecord(17, "000009999999999") << 0 << 4;
}

void TestExchangeRules::address()
{
    QFETCH(DeviceRecord, meter);
    QFETCH(int, value);
    QFETCH(int, size);
    const exchangerules::Address a = exchangerules::addressOf(meter);
    QCOMPARE(a.value, value);
    QCOMPARE(int(a.size), size);
}

void TestExchangeRules::judge_data()
{
    QTest::addColumn<QByteArray>("packet"); // address and CRC bytes included
    QTest::addColumn<int>("addressSize");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<Verdict>("verdict");
    QTest::addColumn<QByteArray>("reply");
    const QByteArray crc("\xaa\xbb", 2);
    const QByteArray serial = QByteArray::fromHex("87d61200");
    QTest::newRow("serial address stripped")
        << serial + QByteArray::fromHex("0821") + crc << 4 << QByteArray::fromHex("0821")
        << Verdict::Accepted << QByteArray::fromHex("0821");
    QTest::newRow("one byte left") << "\x01\x01" + crc << 1 << QByteArray::fromHex("0121")
                                   << Verdict::TooShort << QByteArray::fromHex("01");
    QTest::newRow("shorter than address and CRC")
        << QByteArray::fromHex("0102") << 4 << QByteArray::fromHex("0121") << Verdict::TooShort
        << QByteArray();
    QTest::newRow("echo of four bytes")
        << "\x01" + QByteArray::fromHex("020d0501") + crc << 1 << QByteArray::fromHex("020d0501")
        << Verdict::Echo << QByteArray::fromHex("020d0501");
    QTest::newRow("object differs")
        << "\x01" + QByteArray::fromHex("012005") + crc << 1 << QByteArray::fromHex("0121")
        << Verdict::Mismatch << QByteArray::fromHex("012005");
    QTest::newRow("request without object")
        << "\x01" + QByteArray::fromHex("0100") + crc << 1 << QByteArray::fromHex("01")
        << Verdict::Mismatch << QByteArray::fromHex("0100");
}

void TestExchangeRules::judge()
{
    QFETCH(QByteArray, packet);
    QFETCH(int, addressSize);
    QFETCH(QByteArray, request);
    QFETCH(Verdict, verdict);
    QFETCH(QByteArray, reply);
    const QByteArray stripped = exchangerules::stripFrame(packet, addressSize);
    QCOMPARE(stripped, reply);
    QCOMPARE(exchangerules::judge(stripped, request), verdict);
}

void TestExchangeRules::errorMessages_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("message");
    QTest::newRow("0") << QByteArray::fromHex("8100") << "Ошибка: неопознанный ответ";
    QTest::newRow("13, the last") << QByteArray::fromHex("810d") << "Ошибка: неверный пароль";
    QTest::newRow("14") << QByteArray::fromHex("810e") << "Неизвестная ошибка";
}

void TestExchangeRules::errorMessages()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, message);
    QCOMPARE(exchangerules::errorMessage(exchangerules::errorCode(reply)), message);
}

void TestExchangeRules::version_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("warns");
    // 01 21, the length byte, then the data.
    auto reply = [](int n, const QByteArray &data) {
        return "\x01\x21" + QByteArray(1, char(n)) + data;
    };
    QTest::newRow("1.08") << reply(4, "1.08") << "1.08" << true;
    QTest::newRow("other bytes dropped") << reply(6, QByteArray("1 .1\x00"
                                                                "0",
                                                                6))
                                         << "1.10" << false;
    QTest::newRow("length beyond the reply") << reply(255, "2.0") << "2.0" << false;
    QTest::newRow("no length") << QByteArray("\x01\x21") << "" << true;
}

void TestExchangeRules::version()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, text);
    QFETCH(bool, warns);
    QVERIFY(exchangerules::isVersionReply(reply));
    QCOMPARE(exchangerules::versionText(reply), text);
    QCOMPARE(exchangerules::versionLacksSerialNumbers(text), warns);
}

void TestExchangeRules::progress()
{
    QCOMPARE(exchangerules::searchProgress(1, 1, 255), 0);
    QCOMPARE(exchangerules::searchProgress(4, 1, 5), 75);
    QCOMPARE(exchangerules::searchProgress(2, 1, 4), 33); // truncated
    QCOMPARE(exchangerules::searchProgress(10, 10, 10), 100);
    QCOMPARE(exchangerules::batchProgress(2, 3), 66);
    QCOMPARE(exchangerules::batchProgress(0, 0), 0);
}

QTEST_GUILESS_MAIN(TestExchangeRules)
#include "tst_exchangerules.moc"
