#include "core/sessionparameters.h"
#include "support/workdir.h"

#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

#include <memory>
#include <sys/stat.h>

namespace {
// Every field away from its default.
SessionParameters sample()
{
    SessionParameters p;
    p.portNumber = 7;
    p.baudIndex = 3;
    p.refreshChecked = false;
    p.accessLevel = 1;
    p.passwords = {QByteArray("\x01\x02\x03\x04\x05\x06", 6), QByteArray("admin\xe1"),
                   QByteArray("dev\0\0\0", 6)};
    p.rememberPassword = {true, true, true};
    p.connectionType = 2;
    p.standIp = QStringLiteral("10.0.0.12");
    p.phoneNumber = QByteArray("+79991234567\0\0\0", 15);
    p.pin = "1234";
    p.pinEnabled = true;
    p.ethernetIp = QStringLiteral("192.168.1.5");
    p.ethernetPort = 40001;
    return p;
}

// sample() laid out by hand, offset by offset.
QByteArray sampleBytes()
{
    QByteArray r;
    r += QByteArray::fromHex("07000000"); // 0 port
    r += QByteArray::fromHex("03000000"); // 4 baud index
    r += QByteArray::fromHex("01000000"); // 8 access level
    r += QByteArray::fromHex("02000000"); // 12 channel
    r += QByteArray::fromHex("010203040506");
    r += QByteArray("admin\xe1");
    r += QByteArray("dev\0\0\0", 6);
    r += QByteArray("10.0.0.12") + QByteArray(6, '\0'); // 34 stand IP
    r += QByteArray::fromHex("010101");                 // 49 remember flags
    r += QByteArray::fromHex("00");                     // 52 refresh
    r += QByteArray::fromHex("01");                     // 53 PIN enabled
    r += QByteArray("1234");                            // 54 PIN
    r += QByteArray("+79991234567") + QByteArray(3, '\0');
    r += QByteArray("192.168.1.5") + QByteArray(4, '\0'); // 73 TCP address
    r += QByteArray::fromHex("419c0000");                 // 88 TCP port 40001
    return r;
}

// What a record cut after `length` bytes must give: sample()'s fields that end within it, the
// defaults for the rest.
SessionParameters heldUpTo(int length)
{
    const SessionParameters s = sample();
    SessionParameters p;
    auto take = [length](int end, auto &to, const auto &from) {
        if (end <= length)
            to = from;
    };
    take(4, p.portNumber, s.portNumber);
    take(8, p.baudIndex, s.baudIndex);
    take(12, p.accessLevel, s.accessLevel);
    take(16, p.connectionType, s.connectionType);
    for (int i = 0; i < 3; ++i) {
        take(22 + 6 * i, p.passwords[i], s.passwords[i]);
        take(50 + i, p.rememberPassword[i], s.rememberPassword[i]);
    }
    take(49, p.standIp, s.standIp);
    take(53, p.refreshChecked, s.refreshChecked);
    take(54, p.pinEnabled, s.pinEnabled);
    take(58, p.pin, s.pin);
    take(73, p.phoneNumber, s.phoneNumber);
    take(88, p.ethernetIp, s.ethernetIp);
    take(92, p.ethernetPort, s.ethernetPort);
    return p;
}

int fileMode(const QString &path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}
} // namespace

class TestSessionCfg : public QObject
{
    Q_OBJECT
private slots:
    void layout();
    void cutPaddedAndForgotten();
    void shortRecord_data();
    void shortRecord();
    void anyBytesDecode();
    void fileRoundTrip();
    void missingOrOddFile();
};

void TestSessionCfg::layout()
{
    QCOMPARE(sampleBytes().size(), sessioncfg::kRecordSize);
    QCOMPARE(sessioncfg::encode(sample()).toHex(' '), sampleBytes().toHex(' '));
    QVERIFY(sessioncfg::decode(sampleBytes()) == sample());
    // Bytes past the record do not matter.
    QVERIFY(sessioncfg::decode(sampleBytes() + "trailing") == sample());
}

void TestSessionCfg::cutPaddedAndForgotten()
{
    SessionParameters p = sample();
    p.rememberPassword = {false, true, false};
    p.standIp = QStringLiteral("192.168.100.200.7"); // 17 characters
    p.pin = "123456";
    p.phoneNumber = "+7999123456789012";
    p.ethernetIp = QStringLiteral("1.2.3.4");
    const QByteArray r = sessioncfg::encode(p);
    QCOMPARE(r.size(), 92);
    QCOMPARE(r.mid(16, 6), QByteArray("      "));
    QCOMPARE(r.mid(22, 6), QByteArray("admin\xe1"));
    QCOMPARE(r.mid(28, 6), QByteArray("      "));
    QCOMPARE(r.mid(49, 3), QByteArray::fromHex("000100"));
    QCOMPARE(r.mid(34, 15), QByteArray("192.168.100.200"));
    QCOMPARE(r.mid(54, 4), QByteArray("1234"));
    QCOMPARE(r.mid(58, 15), QByteArray("+79991234567890"));
    QCOMPARE(r.mid(73, 15), QByteArray("1.2.3.4") + QByteArray(8, '\0'));

    const SessionParameters back = sessioncfg::decode(r);
    QCOMPARE(back.passwords[0], QByteArray("      "));
    QCOMPARE(back.passwords[1], QByteArray("admin\xe1"));
    QCOMPARE(back.rememberPassword[0], false);
    QCOMPARE(back.standIp, QStringLiteral("192.168.100.200"));
    QCOMPARE(back.ethernetIp, QStringLiteral("1.2.3.4"));
}

void TestSessionCfg::shortRecord_data()
{
    QTest::addColumn<int>("length");
    for (int length : {0, 3, 12, 40, 52, 73, 87, 91})
        QTest::addRow("%d bytes", length) << length;
}

void TestSessionCfg::shortRecord()
{
    QFETCH(int, length);
    QVERIFY(sessioncfg::decode(sampleBytes().left(length)) == heldUpTo(length));
}

void TestSessionCfg::anyBytesDecode()
{
    // Each input sits in a heap block of exactly its size, so a sanitizer build catches any read
    // past it.
    QRandomGenerator rng(20240605);
    for (int length = 0; length <= 120; ++length) {
        for (int round = 0; round < 40; ++round) {
            std::unique_ptr<char[]> block(new char[size_t(qMax(length, 1))]);
            for (int i = 0; i < length; ++i)
                block[i] = char(round == 0 ? 0xff : round == 1 ? 0 : rng.bounded(256));
            const SessionParameters p =
                sessioncfg::decode(QByteArray::fromRawData(block.get(), length));
            QVERIFY(p.baudIndex >= 0 && p.baudIndex < 6);
            QVERIFY(p.accessLevel >= 0 && p.accessLevel < 3);
            QVERIFY(p.connectionType >= 0 && p.connectionType < 4);
            // What is written back reads back the same.
            const QByteArray once = sessioncfg::encode(p);
            QCOMPARE(once.size(), 92);
            QCOMPARE(sessioncfg::encode(sessioncfg::decode(once)), once);
        }
    }
}

void TestSessionCfg::fileRoundTrip()
{
    WorkDir wd;
    const QString path = sessioncfg::filePath();
    QCOMPARE(path, wd.filePath(QStringLiteral("session.cfg")));
    // An old, larger file readable by everyone is replaced as a whole and closed to others.
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(200, 'x'));
    old.close();
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                            QFile::ReadOther));

    QVERIFY(sessioncfg::save(path, sample()));
    QCOMPARE(fileMode(path), 0600);
    QCOMPARE(QFileInfo(path).size(), 92);
    SessionParameters p;
    QVERIFY(sessioncfg::load(path, &p));
    QVERIFY(p == sample());

    // A longer file: only the record is read.
    QVERIFY(old.open(QIODevice::Append));
    old.write("extra");
    old.close();
    SessionParameters q;
    QVERIFY(sessioncfg::load(path, &q));
    QVERIFY(q == sample());
}

void TestSessionCfg::missingOrOddFile()
{
    WorkDir wd;
    SessionParameters p = sample();
    QVERIFY(!sessioncfg::load(sessioncfg::filePath(), &p));
    QVERIFY(p == sample()); // untouched
    QVERIFY(!sessioncfg::save(wd.filePath(QStringLiteral("no/such/dir/session.cfg")), p));

    // A folder of that name is not a record, and cannot be replaced by one.
    QVERIFY(QDir(wd.path()).mkdir(QStringLiteral("session.cfg")));
    QVERIFY(!sessioncfg::load(sessioncfg::filePath(), &p));
    QVERIFY(!sessioncfg::save(sessioncfg::filePath(), p));

    // An empty file opens: every field takes its default.
    const QString empty = wd.filePath(QStringLiteral("empty.cfg"));
    QFile f(empty);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(sessioncfg::load(empty, &p));
    QVERIFY(p == SessionParameters());
}

QTEST_GUILESS_MAIN(TestSessionCfg)
#include "tst_sessioncfg.moc"
