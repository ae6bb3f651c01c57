#include "link/stend.h"
#include "support/standblock.h"

#include <QSignalSpy>
#include <QtTest>

namespace
{
const int kWait = 5000;
const QByteArray kAck = QByteArray::fromHex("000000000006010f00000018");
} // namespace

class TestStend : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void positions_data();
    void positions();
    void badReplies_data();
    void badReplies();
    void unreachable();
    void nothingSentWhileUnconnected();
    void reconnect();

private:
    // Connects `s` to the block; false when the outcome is not a connection.
    bool connectStand(stend &s);

    StandBlock *block = nullptr;
};

void TestStend::init()
{
    block = new StandBlock;
    // A free port: binding 502 would need root.
    QVERIFY2(block->start(QString(), 0), qPrintable(block->errorString()));
}

void TestStend::cleanup()
{
    delete block;
    block = nullptr;
}

bool TestStend::connectStand(stend &s)
{
    QSignalSpy connected(&s, &stend::standConnected);
    s.port = block->port();
    s.connectToStand(block->address());
    if (!connected.isEmpty() || !connected.wait(kWait))
        return false; // decided before the event loop ran, or never
    return connected.size() == 1 && connected.at(0).at(0).toBool() && s.isConnected();
}

void TestStend::positions_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<quint32>("coils");
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("1") << 1 << 0x000001u << QByteArray::fromHex("00000000000a010f0000001803010000");
    QTest::newRow("9") << 9 << 0x000100u << QByteArray::fromHex("00000000000a010f0000001803000100");
    QTest::newRow("24") << 24 << 0x800000u
                        << QByteArray::fromHex("00000000000a010f0000001803000080");
    QTest::newRow("0: all off") << 0 << 0u
                                << QByteArray::fromHex("00000000000a010f0000001803000000");
    QTest::newRow("25: all off") << 25 << 0u
                                 << QByteArray::fromHex("00000000000a010f0000001803000000");
}

void TestStend::positions()
{
    QFETCH(int, position);
    QFETCH(quint32, coils);
    QFETCH(QByteArray, request);
    stend s;
    QVERIFY(connectStand(s));
    QSignalSpy accepted(&s, &stend::acceptSelection);

    // Start from another meter on the line, so that switching it off shows.
    s.selectPosition(5);
    QVERIFY(accepted.wait(kWait));
    QCOMPARE(block->coils(), 0x000010u);

    s.selectPosition(position);
    QVERIFY(accepted.wait(kWait));
    QCOMPARE(accepted.size(), 2);
    QCOMPARE(accepted.at(1).at(0).toBool(), true);
    QCOMPARE(block->coils(), coils);
    QCOMPARE(block->lastRequest().toHex(' '), request.toHex(' '));
}

void TestStend::badReplies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("exception 8f") << QByteArray::fromHex("000000000003018f02");
    QTest::newRow("two acknowledgements at once") << kAck + kAck;
}

void TestStend::badReplies()
{
    QFETCH(QByteArray, reply);
    stend s;
    QVERIFY(connectStand(s));
    QSignalSpy accepted(&s, &stend::acceptSelection);
    block->injectReply(reply);
    s.selectPosition(3);
    QVERIFY(accepted.wait(kWait));
    QCOMPARE(accepted.size(), 1);
    QCOMPARE(accepted.at(0).at(0).toBool(), false);

    // The block itself is still fine: the next selection is acknowledged.
    s.selectPosition(4);
    QTRY_COMPARE_WITH_TIMEOUT(accepted.size(), 2, kWait);
    QCOMPARE(accepted.at(1).at(0).toBool(), true);
    QCOMPARE(block->coils(), 0x000008u);
}

void TestStend::unreachable()
{
    const QString address = block->address();
    const quint16 port = block->port();
    block->stop();
    stend s;
    QCOMPARE(s.port, quint16(502)); // the stand's own block
    QSignalSpy connected(&s, &stend::standConnected);
    s.port = port;
    s.connectToStand(address);
    QTRY_COMPARE_WITH_TIMEOUT(connected.size(), 1, kWait);
    QCOMPARE(connected.at(0).at(0).toBool(), false);
    QVERIFY(!s.isConnected());
}

void TestStend::nothingSentWhileUnconnected()
{
    stend s;
    QSignalSpy accepted(&s, &stend::acceptSelection);
    s.selectPosition(1); // never connected
    QVERIFY(connectStand(s));
    s.closeStand();
    QVERIFY(!s.isConnected());
    s.selectPosition(2); // closed again
    // Connect once more to see what the block has received meanwhile.
    QVERIFY(connectStand(s));
    s.selectPosition(6);
    QVERIFY(accepted.wait(kWait));
    QCOMPARE(accepted.size(), 1);
    QCOMPARE(block->requestCount(), 1);
    QCOMPARE(block->coils(), 0x000020u);
}

void TestStend::reconnect()
{
    stend s;
    QVERIFY(connectStand(s));
    QVERIFY(connectStand(s)); // a second stand session without closing the first
    QSignalSpy accepted(&s, &stend::acceptSelection);
    s.selectPosition(12);
    QVERIFY(accepted.wait(kWait));
    QCOMPARE(accepted.at(0).at(0).toBool(), true);
    QCOMPARE(block->coils(), 0x000800u);
}

QTEST_GUILESS_MAIN(TestStend)
#include "tst_stend.moc"
