#include "link/eth.h"
#include "support/logpalette.h"
#include "support/silentpeer.h"
#include "support/transportlog.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {
const int kWait = 5000;
const QString kUp = QStringLiteral("log:TCP-IP соединение установлено");
const QString kTimeout = QStringLiteral("log:Время ожидания подключения истекло");
const QString kClosed = QStringLiteral("log:TCP-IP соединение закрыто");

QString attemptLine(quint16 port)
{
    return QStringLiteral("log:Попытка установки соединения: 127.0.0.1:%1").arg(port);
}

void aim(eth &link, quint16 port)
{
    link.ethernetIp = QStringLiteral("127.0.0.1");
    link.ethernetPort = port;
}

quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        return 0;
    return probe.serverPort(); // closed again when probe goes
}
} // namespace

class TestEth : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void connects();
    void refused();
    void silentPeerTimesOut();
    void giveUpWhileConnecting();
    void gathering_data();
    void gathering();
    void writeReachesPeer();
    void peerDrops();
    void localClose();
    void destructionCloses();

private:
    // Connects `link` to `server` and returns the server's side of the connection.
    QTcpSocket *connectLink(eth &link, TransportLog &rec);

    QTcpServer *server = nullptr;
};

void TestEth::init()
{
    server = new QTcpServer;
    QVERIFY(server->listen(QHostAddress::LocalHost));
}

void TestEth::cleanup()
{
    delete server;
    server = nullptr;
}

QTcpSocket *TestEth::connectLink(eth &link, TransportLog &rec)
{
    aim(link, server->serverPort());
    if (!link.open())
        return nullptr;
    if (!QTest::qWaitFor([&] { return rec.events.contains(QStringLiteral("up")); }, kWait))
        return nullptr;
    if (!server->hasPendingConnections() && !server->waitForNewConnection(kWait))
        return nullptr;
    return server->nextPendingConnection();
}

void TestEth::connects()
{
    eth link;
    TransportLog rec(&link);
    aim(link, server->serverPort());
    QVERIFY(link.open());
    // open() returns before the outcome: the window keeps running meanwhile.
    QCOMPARE(rec.events, QStringList{attemptLine(server->serverPort())});
    QTRY_COMPARE_WITH_TIMEOUT(rec.events.size(), 3, kWait);
    QCOMPARE(rec.events, (QStringList{attemptLine(server->serverPort()), kUp, "up"}));
    QCOMPARE(rec.colours, (QList<QColor>{palette::grey, palette::grey}));
}

void TestEth::refused()
{
    // A refusal is seen when it comes, not left to the time limit: an attempt at a silent peer,
    // started first, must still be waiting for its limit when the refusal has been reported.
    SilentPeer peer;
    QVERIFY(peer.start());
    eth slow;
    aim(slow, peer.port());
    const quint16 port = freePort();
    QVERIFY(port != 0);
    eth link;
    TransportLog rec(&link);
    aim(link, port);
    QStringList outcomes;
    connect(&slow, &comm::connIsEstablished, this, [&] { outcomes << "time limit"; });
    connect(&link, &comm::connIsEstablished, this, [&] { outcomes << "refused"; });
    slow.open();
    link.open();
    QTRY_COMPARE_WITH_TIMEOUT(outcomes.size(), 2, kWait);
    QCOMPARE(outcomes, (QStringList{"refused", "time limit"}));
    QCOMPARE(rec.events, (QStringList{attemptLine(port), kTimeout, "down"}));
    QCOMPARE(rec.colours.value(1), palette::red);
    QCOMPARE(link.write("x", 1), -1);
}

void TestEth::silentPeerTimesOut()
{
    SilentPeer peer;
    QVERIFY(peer.start());
    eth link;
    TransportLog rec(&link);
    aim(link, peer.port());
    QElapsedTimer clock;
    clock.start();
    link.open();
    // Events keep flowing while the connection is awaited.
    bool ticked = false;
    QTimer::singleShot(50, this, [&] { ticked = true; });
    QTRY_COMPARE_WITH_TIMEOUT(rec.events.size(), 3, kWait);
    QVERIFY(ticked);
    QCOMPARE(rec.events, (QStringList{attemptLine(peer.port()), kTimeout, "down"}));
    QVERIFY2(clock.elapsed() >= 900, qPrintable(QString::number(clock.elapsed())));
}

void TestEth::giveUpWhileConnecting()
{
    SilentPeer peer;
    QVERIFY(peer.start());
    eth link;
    TransportLog rec(&link);
    aim(link, peer.port());
    link.open();
    link.close();
    QCOMPARE(rec.events, (QStringList{attemptLine(peer.port()), "down"}));
    // The abandoned attempt reports nothing more, not even at its time limit.
    QVERIFY(!QTest::qWaitFor([&] { return rec.events.size() > 2; }, 1500));
}

void TestEth::gathering_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("split"); // first piece's length; 0: sent whole
    QTest::addColumn<int>("gapMs"); // the quiet gap of the link
    // A real reply: meter 1's software version "1.10".
    const QByteArray reply = QByteArray::fromHex("0101210431 2e31301d07");
    QTest::newRow("whole reply, no wait") << reply << 0 << 60000;
    for (int k = 1; k < reply.size(); ++k)
        QTest::addRow("split after byte %d", k) << reply << k << 60000;
    QByteArray noise;
    for (int i = 0; i < 200; ++i)
        noise.append(char(i));
    QTest::newRow("200 bytes that make no frame, after the gap") << noise << 0 << 20;
}

// Pieces of a reply make one packet as soon as they make a frame; bytes that never do go on
// whole after the quiet gap.
void TestEth::gathering()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, split);
    QFETCH(int, gapMs);
    eth link;
    link.pollTimer.setInterval(gapMs);
    TransportLog rec(&link);
    QTcpSocket *peer = connectLink(link, rec);
    QVERIFY(peer);
    if (split > 0) {
        peer->write(bytes.left(split));
        QTRY_COMPARE_WITH_TIMEOUT(link.rxBuffer.size(), qsizetype(split), kWait);
        QVERIFY(rec.packets.isEmpty());
        peer->write(bytes.mid(split));
    } else {
        peer->write(bytes);
    }
    QTRY_COMPARE_WITH_TIMEOUT(rec.packets.size(), 1, kWait);
    QCOMPARE(rec.packets.at(0), bytes);
    QVERIFY(link.rxBuffer.isEmpty());
}

void TestEth::writeReachesPeer()
{
    eth link;
    TransportLog rec(&link);
    QTcpSocket *peer = connectLink(link, rec);
    QVERIFY(peer);
    const QByteArray frame = QByteArray::fromHex("050121a049");
    QCOMPARE(link.write(frame.constData(), int(frame.size())), int(frame.size()));
    QTRY_COMPARE_WITH_TIMEOUT(peer->bytesAvailable(), frame.size(), kWait);
    QCOMPARE(peer->readAll(), frame);
}

void TestEth::peerDrops()
{
    eth link;
    TransportLog rec(&link);
    QTcpSocket *peer = connectLink(link, rec);
    QVERIFY(peer);
    peer->close();
    QTRY_COMPARE_WITH_TIMEOUT(rec.events.size(), 5, kWait);
    QCOMPARE(rec.events.mid(3), (QStringList{kClosed, "down"}));
    QCOMPARE(rec.colours.value(2), palette::grey);
    QCOMPARE(link.write("x", 1), -1);
}

void TestEth::localClose()
{
    eth link;
    TransportLog rec(&link);
    QTcpSocket *peer = connectLink(link, rec);
    QVERIFY(peer);
    link.close();
    QTRY_COMPARE_WITH_TIMEOUT(rec.events.size(), 5, kWait);
    QCOMPARE(rec.events.mid(3), (QStringList{kClosed, "down"}));
    link.close(); // closed already: silent
    QCOMPARE(rec.events.size(), 5);
}

void TestEth::destructionCloses()
{
    QStringList events;
    {
        eth link;
        TransportLog rec(&link);
        QVERIFY(connectLink(link, rec));
        connect(&link, &comm::connIsEstablished, this,
                [&](bool st) { events << (st ? "up" : "down"); });
        connect(&link, &comm::debugMsg, this, [&](const QString &s) { events << "log:" + s; });
    }
    QCOMPARE(events, (QStringList{kClosed, "down"}));
}

QTEST_GUILESS_MAIN(TestEth)
#include "tst_eth.moc"
