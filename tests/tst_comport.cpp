#include "link/comport.h"
#include "link/modbus.h"
#include "support/logpalette.h"
#include "support/metersimprocess.h"
#include "support/ptypair.h"
#include "support/transportlog.h"
#include "support/workdir.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include <chrono>
#include <thread>
#include <unistd.h>

namespace
{
const int kWait = 5000;

const QString kClosed = QStringLiteral("log:Порт закрыт");
const QString kReadError = QStringLiteral("log:Ошибка чтения COM. Соединение будет разорвано...");

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Runs the event loop until `packets` together hold `size` bytes or nothing more comes.
QByteArray receive(const QList<QByteArray> &packets, QSignalSpy &arrivals, qsizetype size)
{
    while (packets.join().size() < size && arrivals.wait(kWait)) {
    }
    return packets.join();
}
} // namespace

class TestComport : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void openAndClose();
    void openTwice();
    void openFails_data();
    void openFails();
    void failedConfiguration();
    void baudTable_data();
    void baudTable();
    void writeReachesLine();
    void burstIsOnePacket();
    void gaps_data();
    void gaps();
    void pacedReplies_data();
    void pacedReplies();
    void hangUpIsReadFailure();
    void destructionCloses();
    void codecOverSerialLine();

private:
    WorkDir *work = nullptr;
    PtyPair *line = nullptr;
};

void TestComport::init()
{
    work = new WorkDir;
    QVERIFY(work->isValid());
    line = new PtyPair;
    QVERIFY2(line->isValid(), "openpty failed");
    QVERIFY(line->mapAs(3));
}

void TestComport::cleanup()
{
    delete line;
    delete work;
    line = nullptr;
    work = nullptr;
}

void TestComport::openAndClose()
{
    comport port;
    port.portNumber = 3;
    port.baudIndex = 5;
    TransportLog rec(&port);
    QVERIFY(port.open());
    QCOMPARE(rec.events, QStringList{"up"});
    QCOMPARE(port.deviceName(), line->slavePath());

    port.close();
    QCOMPARE(rec.events, (QStringList{"up", "down", kClosed}));
    QCOMPARE(rec.colours.value(0), palette::green);
    QVERIFY(!port.isOpen());

    port.close(); // already closed: silent
    QCOMPARE(rec.events.size(), 3);

    // The same object opens again.
    QVERIFY(port.open());
    QCOMPARE(rec.events.last(), QStringLiteral("up"));
}

void TestComport::openTwice()
{
    comport port;
    port.portNumber = 3;
    TransportLog rec(&port);
    QVERIFY(port.open());
    QVERIFY(!port.open());
    QCOMPARE(rec.events, (QStringList{"up", "down"}));
    QVERIFY(port.isOpen()); // the first connection stays
    QCOMPARE(port.write("\x01\x02", 2), 2);
    QCOMPARE(line->read(2), QByteArray("\x01\x02"));
}

void TestComport::openFails_data()
{
    QTest::addColumn<int>("portNumber");
    QTest::addColumn<QByteArray>("mapping"); // content of ports/COMn; empty: none
    QTest::addColumn<QString>("device");
    QTest::newRow("mapped to nothing")
        << 4 << QByteArray("/nonexistent/tty\n") << "/nonexistent/tty";
    QTest::newRow("not a serial device") << 4 << QByteArray("/dev/null\n") << "/dev/null";
    QTest::newRow("COM9 by the table") << 9 << QByteArray() << "/dev/ttyACM0";
    QTest::newRow("COM10 by the table") << 10 << QByteArray() << "/dev/ttyACM1";
    QTest::newRow("COM0: no device at all") << 0 << QByteArray() << "";
}

void TestComport::openFails()
{
    QFETCH(int, portNumber);
    QFETCH(QByteArray, mapping);
    QFETCH(QString, device);
    if (!device.isEmpty() && mapping.isEmpty() && QFile::exists(device))
        QSKIP("this machine has that device");
    if (!mapping.isEmpty()) {
        QFile f(work->filePath(QStringLiteral("ports/COM%1").arg(portNumber)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(mapping);
    }
    comport port;
    port.portNumber = portNumber;
    TransportLog rec(&port);
    QVERIFY(!port.open());
    // No log line of its own: the engine reports the session end.
    QCOMPARE(rec.events, QStringList{"down"});
    QCOMPARE(port.deviceName(), device);
    QCOMPARE(port.write("x", 1), -1);
}

void TestComport::failedConfiguration()
{
    comport port;
    port.portNumber = 3;
    port.baudIndex = 10; // beyond the table: the line cannot be set up
    TransportLog rec(&port);
    QVERIFY(!port.open());
    QCOMPARE(rec.events, (QStringList{"down", kClosed, "down"}));
    QVERIFY(!port.isOpen());
}

void TestComport::baudTable_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("rate");
    const int rates[] = {300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600};
    for (int i = 0; i < 10; ++i)
        QTest::addRow("%d", i) << i << rates[i];
    QTest::newRow("-1") << -1 << -1;
}

void TestComport::baudTable()
{
    QFETCH(int, index);
    QFETCH(int, rate);
    QCOMPARE(comport::baudRate(index), rate);
    if (rate < 0)
        return;
    comport port;
    port.portNumber = 3;
    port.baudIndex = index;
    QSignalSpy up(&port, &comm::connIsEstablished);
    QVERIFY(port.open());
    QCOMPARE(up.size(), 1);
    QCOMPARE(up.at(0).at(0).toBool(), true);
}

void TestComport::writeReachesLine()
{
    comport port;
    port.portNumber = 3;
    QCOMPARE(port.write("\x05", 1), -1); // closed: nothing is sent
    QVERIFY(port.open());
    const QByteArray frame = QByteArray::fromHex("050121a049");
    QCOMPARE(port.write(frame.constData(), int(frame.size())), int(frame.size()));
    QCOMPARE(line->read(int(frame.size())), frame);
}

void TestComport::burstIsOnePacket()
{
    comport port;
    port.portNumber = 3;
    TransportLog rec(&port);
    QVERIFY(port.open());
    QByteArray burst;
    for (int i = 0; i < 200; ++i)
        burst.append(char(i));
    QVERIFY(line->write(burst));
    QTRY_COMPARE_WITH_TIMEOUT(rec.packets.size(), 1, kWait);
    QCOMPARE(rec.packets.at(0), burst);
    QVERIFY(port.rxBuffer.isEmpty());
}

void TestComport::gaps_data()
{
    QTest::addColumn<int>("spacingMs");
    QTest::addColumn<bool>("onePacket");
    QTest::newRow("8 ms apart: one packet") << 8 << true;
    QTest::newRow("45 ms apart: a packet each") << 45 << false;
}

// A packet ends after 20 ms of quiet. The bytes go out from a thread of their own on fixed
// deadlines and arrive in a running event loop (not one that naps between passes, which would
// gather them whatever the gap); the counts leave room for a busy machine.
void TestComport::gaps()
{
    QFETCH(int, spacingMs);
    QFETCH(bool, onePacket);
    comport port;
    port.portNumber = 3;
    TransportLog rec(&port);
    QVERIFY(port.open());
    QSignalSpy arrivals(&port, &comm::receivePaket);
    const QByteArray bytes = hex("112233445566778899aabbcc");
    std::thread writer([fd = line->masterFd(), bytes, spacingMs] {
        auto due = std::chrono::steady_clock::now();
        for (const char c : bytes) {
            std::this_thread::sleep_until(due);
            [[maybe_unused]] const ssize_t n = ::write(fd, &c, 1);
            due += std::chrono::milliseconds(spacingMs);
        }
    });
    const QByteArray got = receive(rec.packets, arrivals, bytes.size());
    writer.join();
    QCOMPARE(got, bytes);
    const QString count = QString::number(rec.packets.size());
    if (onePacket)
        QVERIFY2(rec.packets.size() <= 3, qPrintable(count));
    else
        QVERIFY2(rec.packets.size() >= 9, qPrintable(count));
}

void TestComport::pacedReplies_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("whole"); // of seven replies, at least; a stall may cut a few
    QTest::newRow("9600 baud: a byte every 1.1 ms") << 9600 << 5;
    QTest::newRow("2400 baud: a byte every 4.6 ms") << 2400 << 2;
}

// A meter's reply at the wire speed never pauses long enough to end its packet.
void TestComport::pacedReplies()
{
    QFETCH(int, baud);
    QFETCH(int, whole);
    MeterSimProcess sim;
    QVERIFY2(sim.start({"--no-tcp", "--pty", "--pace", QString::number(baud)}),
             qPrintable(sim.errorString()));
    QVERIFY(QFile::remove(work->filePath(QStringLiteral("ports/COM3"))));
    QVERIFY(QFile::link(sim.ptyPath(), work->filePath(QStringLiteral("ports/COM3"))));
    comport port;
    port.portNumber = 3;
    port.baudIndex = 5;
    TransportLog rec(&port);
    QVERIFY(port.open());
    QSignalSpy arrivals(&port, &comm::receivePaket);

    // Sends a request and returns its reply; counts the replies that came as one packet.
    int onePacket = 0;
    const auto ask = [&](const QByteArray &request, qsizetype replySize) {
        const qsizetype packets = rec.packets.size();
        const qsizetype before = rec.packets.join().size();
        port.write(request.constData(), int(request.size()));
        const QByteArray reply = receive(rec.packets, arrivals, before + replySize).mid(before);
        onePacket += rec.packets.size() == packets + 1;
        return reply;
    };
    // A session at the user level, then the device name six times: 38 bytes each.
    QCOMPARE(ask(hex("010800e1e1e1e1e1e14373"), 6), hex("01080000801a"));
    const QByteArray name = hex("01012020") + "210.1" + QByteArray(27, '\0') + hex("7c11");
    for (int i = 0; i < 6; ++i)
        QCOMPARE(ask(hex("0101202048"), 38), name);
    // A stall of a busy machine may cut a reply now and then; a gap shorter than a byte's wire
    // time cuts every one.
    QVERIFY2(onePacket >= whole, qPrintable(QString::number(onePacket)));
}

void TestComport::hangUpIsReadFailure()
{
    comport port;
    port.portNumber = 3;
    TransportLog rec(&port);
    QVERIFY(port.open());
    line->closeMaster();
    QTRY_VERIFY_WITH_TIMEOUT(!port.isOpen(), kWait);
    QCOMPARE(rec.events, (QStringList{"up", kReadError, "down", kClosed}));
    QCOMPARE(rec.colours.value(0), palette::red);
    // A hung-up terminal stays readable; with the port closed nothing watches it any more.
    for (int i = 0; i < 50; ++i)
        QCoreApplication::processEvents();
    QCOMPARE(rec.events.size(), 4);
}

void TestComport::destructionCloses()
{
    QStringList events;
    {
        comport port;
        port.portNumber = 3;
        QVERIFY(port.open());
        connect(&port, &comm::connIsEstablished, this,
                [&](bool st) { events << (st ? "up" : "down"); });
        connect(&port, &comm::debugMsg, this, [&](const QString &s) { events << "log:" + s; });
    }
    QCOMPARE(events, (QStringList{"down", kClosed}));
}

void TestComport::codecOverSerialLine()
{
    comport port;
    port.portNumber = 3;
    modbus codec;
    codec.setTransport(&port);
    codec.setTransport(&port); // twice: still one delivery per packet
    QSignalSpy replies(&codec, &modbus::receivePaket);
    QVERIFY(port.open());

    const QByteArray request = hex("050121a049");
    codec.sendFrame(request, 100);
    QVERIFY(codec.replyTimer.isActive());
    QCOMPARE(line->read(int(request.size())), request);

    const QByteArray reply = hex("05012102aabba8a1");
    QVERIFY(line->write(reply));
    QVERIFY(replies.wait(kWait));
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies.at(0).at(0).toByteArray(), reply);
    QCOMPARE(replies.at(0).at(1).toBool(), true);
    QVERIFY(!codec.replyTimer.isActive());

    QByteArray corrupted = reply;
    corrupted[3] = char(corrupted[3] ^ 0x10);
    QVERIFY(line->write(corrupted));
    QVERIFY(replies.wait(kWait));
    QCOMPARE(replies.at(1).at(0).toByteArray(), corrupted);
    QCOMPARE(replies.at(1).at(1).toBool(), false);
}

QTEST_GUILESS_MAIN(TestComport)
#include "tst_comport.moc"
