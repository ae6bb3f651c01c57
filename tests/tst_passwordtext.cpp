#include "core/passwordtext.h"
#include "session/passwordviews.h"

#include <QLineEdit>
#include <QtTest>

class TestPasswordText : public QObject
{
    Q_OBJECT
private slots:
    void hexToText_data();
    void hexToText();
    void textToHex_data();
    void textToHex();
    void storedForm();
    void factoryDefaults();
    void viewsInStep();
};

void TestPasswordText::hexToText_data()
{
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("latin1Hex"); // expected text, as hex of its Latin-1 codes
    QTest::newRow("two pieces") << "12 34" << "1234";
    QTest::newRow("four digits run together: low 8 bits") << "1234" << "34";
    QTest::newRow("1FF") << "1FF" << "ff";
    QTest::newRow("several blanks") << "  e1   E1 " << "e1e1";
    QTest::newRow("not a number gives zero") << "zz 41" << "0041";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("huge piece") << "123456789abcdef01" << "00";
}

void TestPasswordText::hexToText()
{
    QFETCH(QString, hex);
    QFETCH(QString, latin1Hex);
    QCOMPARE(passwordtext::hexToText(hex).toLatin1().toHex(), latin1Hex.toLatin1());
}

void TestPasswordText::textToHex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("hex");
    QTest::newRow("six characters: 17, no trailing blank") << "abcdef" << "61 62 63 64 65 66";
    QTest::newRow("three keep the blank") << "abc" << "61 62 63 ";
    QTest::newRow("padding and low bits") << QString(QChar(0x0a)) + QChar(0x1e1) << "0a e1 ";
    QTest::newRow("empty") << "" << "";
}

void TestPasswordText::textToHex()
{
    QFETCH(QString, text);
    QFETCH(QString, hex);
    QCOMPARE(passwordtext::textToHex(text), hex);
}

void TestPasswordText::storedForm()
{
    QCOMPARE(passwordtext::toBytes(QStringLiteral("abc")), QByteArray("abc\0\0\0", 6));
    QCOMPARE(passwordtext::toBytes(QStringLiteral("abcdefgh")), QByteArray("abcdef"));
    QCOMPARE(passwordtext::fromBytes(QByteArray("ab\0cd\0", 6)), QStringLiteral("ab"));
    QCOMPARE(passwordtext::fromBytes(QByteArray("      ")), QStringLiteral("      "));
    QCOMPARE(passwordtext::fromBytes(QByteArray()), QString());
    const QByteArray high = QByteArray::fromHex("e1ff80");
    QCOMPARE(passwordtext::toBytes(passwordtext::fromBytes(high)), high + QByteArray(3, '\0'));
}

void TestPasswordText::factoryDefaults()
{
    QCOMPARE(passwordtext::factoryDefaultHex(0), QStringLiteral("e1 e1 e1 e1 e1 e1"));
    QCOMPARE(passwordtext::factoryDefaultHex(1), QStringLiteral("e1 e1 e1 e1 e1 e1"));
    QCOMPARE(passwordtext::factoryDefaultHex(2), QStringLiteral("3c 91 e4 07 5b d2"));
}

void TestPasswordText::viewsInStep()
{
    QLineEdit text, hex;
    text.setMaxLength(6);
    hex.setMaxLength(17);
    hex.setText(QStringLiteral("41 42  43"));
    passwordviews::hexEdited(&hex, &text);
    QCOMPARE(text.text(), QStringLiteral("ABC"));
    text.setText(QStringLiteral("qwerty"));
    passwordviews::textEdited(&text, &hex);
    QCOMPARE(hex.text(), QStringLiteral("71 77 65 72 74 79"));
    QCOMPARE(hex.text().size(), 17);
}

QTEST_MAIN(TestPasswordText)
#include "tst_passwordtext.moc"
