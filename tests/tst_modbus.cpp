#include "link/comport.h"
#include "link/modbus.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <limits>

namespace
{
const QByteArray kFrame = QByteArray::fromHex("050121a049");
const QByteArray kGoodReply = QByteArray::fromHex("050121a049"); // its CRC is right
} // namespace

class TestModbus : public QObject
{
    Q_OBJECT
private slots:
    void replyTime_data();
    void replyTime();
    void zeroAllowanceWaitsExtraTime();
    void noReplyAwaitedKeepsRunningTimer();
    void noReplyAwaitedLeavesIdleTimer();
    void packetStopsTimer();
    void packetAfterTimeoutIsDelivered();
    void shortPackets_data();
    void shortPackets();
    void transportGoneOrReplaced();
};

void TestModbus::replyTime_data()
{
    QTest::addColumn<int>("allowance");
    QTest::addColumn<int>("extraTime");
    QTest::addColumn<int>("interval");
    QTest::newRow("serial base") << 0 << 2000 << 2000;
    QTest::newRow("search probe over TCP") << 1 << 5000 << 5001;
    QTest::newRow("modem") << 300 << 7000 << 7300;
    QTest::newRow("no overflow") << std::numeric_limits<int>::max() << 7000
                                 << std::numeric_limits<int>::max();
    QTest::newRow("negative sum") << -5000 << 2000 << 0;
}

void TestModbus::replyTime()
{
    QFETCH(int, allowance);
    QFETCH(int, extraTime);
    QFETCH(int, interval);
    modbus codec; // no transport: the timer runs all the same
    codec.extraTime = extraTime;
    codec.sendFrame(kFrame, allowance);
    QVERIFY(codec.replyTimer.isActive());
    QCOMPARE(codec.replyTimer.interval(), interval);
    // A second request restarts the running timer with its own time.
    codec.sendFrame(kFrame, 10);
    QCOMPARE(codec.replyTimer.interval(), extraTime + 10);
}

void TestModbus::zeroAllowanceWaitsExtraTime()
{
    modbus codec;
    codec.extraTime = 150;
    QSignalSpy timeouts(&codec, &modbus::deviceTimeout);
    QElapsedTimer clock;
    clock.start();
    codec.sendFrame(kFrame, 0);
    QVERIFY(timeouts.wait(5000));
    // Coarse timers may fire up to 5 % early; never much sooner than the base time.
    QVERIFY2(clock.elapsed() >= 140, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(timeouts.size(), 1);
    QVERIFY(!codec.replyTimer.isActive());
}

void TestModbus::noReplyAwaitedKeepsRunningTimer()
{
    modbus codec;
    codec.sendFrame(kFrame, 1000);
    const int before = codec.replyTimer.remainingTime();
    codec.sendFrame(kFrame, -1);
    QVERIFY(codec.replyTimer.isActive());
    QCOMPARE(codec.replyTimer.interval(), 3000);
    QVERIFY(codec.replyTimer.remainingTime() <= before);
}

void TestModbus::noReplyAwaitedLeavesIdleTimer()
{
    modbus codec;
    codec.sendFrame(kFrame, -1);
    QVERIFY(!codec.replyTimer.isActive());
}

void TestModbus::packetStopsTimer()
{
    modbus codec;
    QSignalSpy packets(&codec, &modbus::receivePaket);
    codec.sendFrame(kFrame, 0);
    codec.receive(kGoodReply);
    QVERIFY(!codec.replyTimer.isActive());
    QCOMPARE(packets.size(), 1);
    QCOMPARE(packets.at(0).at(0).toByteArray(), kGoodReply);
    QCOMPARE(packets.at(0).at(1).toBool(), true);

    // Unasked for: delivered, the idle timer stays idle.
    codec.receive(kGoodReply);
    QCOMPARE(packets.size(), 2);
    QVERIFY(!codec.replyTimer.isActive());
}

void TestModbus::packetAfterTimeoutIsDelivered()
{
    modbus codec;
    codec.extraTime = 10;
    QSignalSpy timeouts(&codec, &modbus::deviceTimeout);
    QSignalSpy packets(&codec, &modbus::receivePaket);
    codec.sendFrame(kFrame, 0);
    QVERIFY(timeouts.wait(5000));
    codec.receive(kGoodReply);
    QCOMPARE(packets.size(), 1);
    QCOMPARE(packets.at(0).at(1).toBool(), true);
    QCOMPARE(timeouts.size(), 1);
}

void TestModbus::shortPackets_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<bool>("crcStatus");
    QTest::newRow("0 bytes") << QByteArray() << false;
    QTest::newRow("1 byte") << QByteArray(1, char(0xff)) << false;
    QTest::newRow("2 bytes FF FF") << QByteArray(2, char(0xff)) << true;
    QTest::newRow("2 other bytes") << QByteArray::fromHex("ff00") << false;
}

void TestModbus::shortPackets()
{
    QFETCH(QByteArray, packet);
    QFETCH(bool, crcStatus);
    modbus codec;
    QSignalSpy packets(&codec, &modbus::receivePaket);
    codec.receive(QByteArray(packet.constData(), packet.size()));
    QCOMPARE(packets.size(), 1);
    QCOMPARE(packets.at(0).at(0).toByteArray(), packet);
    QCOMPARE(packets.at(0).at(1).toBool(), crcStatus);
}

void TestModbus::transportGoneOrReplaced()
{
    modbus codec;
    QSignalSpy packets(&codec, &modbus::receivePaket);
    auto *first = new comport;
    comport second;
    codec.setTransport(first);
    codec.setTransport(&second);
    emit first->receivePaket(kGoodReply); // let go: not delivered
    QCOMPARE(packets.size(), 0);
    emit second.receivePaket(kGoodReply);
    QCOMPARE(packets.size(), 1);

    codec.setTransport(first);
    delete first; // the engine deletes transports behind the codec's back
    QVERIFY(!codec.transport);
    codec.sendFrame(kFrame, 0);
    QVERIFY(codec.replyTimer.isActive());
}

QTEST_GUILESS_MAIN(TestModbus)
#include "tst_modbus.moc"
