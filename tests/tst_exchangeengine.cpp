// The exchange engine on its own, without any window, against a scripted peer on loopback TCP:
// what a window-less caller sees of a batch, a session that ends under a batch, and a batch
// stopped once the request on the wire is answered.
#include "core/sessionparameters.h"
#include "link/exchangeengine.h"

#include <QHostAddress>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

// A meter gateway that answers each request frame from a table (frames as hex, address and CRC
// included) and hangs up after `closeAfter` requests (0: never).
class ScriptedPeer : public QObject
{
public:
    ScriptedPeer(const QHash<QByteArray, QByteArray> &replies, int closeAfter = 0)
        : m_replies(replies), m_closeAfter(closeAfter)
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            m_socket = m_server.nextPendingConnection();
            connect(m_socket, &QTcpSocket::readyRead, this, &ScriptedPeer::answer);
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    QList<QByteArray> requests;

private:
    void answer()
    {
        const QByteArray frame = m_socket->readAll().toHex(' ');
        requests << frame;
        if (m_closeAfter && requests.size() >= m_closeAfter) {
            m_socket->close();
            return;
        }
        m_socket->write(QByteArray::fromHex(m_replies.value(frame)));
    }

    QTcpServer m_server;
    QTcpSocket *m_socket = nullptr;
    QHash<QByteArray, QByteArray> m_replies;
    int m_closeAfter;
};

const QHash<QByteArray, QByteArray> kMeter5{
    {"05 08 00 e1 e1 e1 e1 e1 e1 71 b3", "05 08 00 00 81 2a"},
    {"05 01 21 a0 49", "05 01 21 04 31 2e 31 30 1c f4"},
    {"05 01 20 61 89", "05 01 20 03 31 32 30 30 68 b3"},
};
const QStringList kBatch{"08 00 e1 e1 e1 e1 e1 e1", "01 21", "01 20"};
const exchangerules::Address kAddress5{5, 1};

SessionParameters tcp(quint16 port)
{
    SessionParameters p;
    p.connectionType = Channel::TcpIp;
    p.ethernetIp = QStringLiteral("127.0.0.1");
    p.ethernetPort = port;
    return p;
}

struct Line
{
    QString text;
    QColor colour;
};

} // namespace

class TestExchangeEngine : public QObject
{
    Q_OBJECT
private slots:
    void batchWithoutWindow();
    void sessionEndsUnderBatch();
    void stopAfterExchange();
};

void TestExchangeEngine::batchWithoutWindow()
{
    ScriptedPeer peer(kMeter5);
    ExchangeEngine engine;
    QList<Line> log;
    connect(&engine, &ExchangeEngine::log, this, [&](const QString &text, const QColor &colour) {
        log.append({text, colour});
    });
    QStringList progress;
    connect(&engine, &ExchangeEngine::progressShown, this,
            [&](const QString &title) { progress << title; });
    connect(&engine, &ExchangeEngine::progressChanged, this,
            [&](int value) { progress << QString::number(value); });
    connect(&engine, &ExchangeEngine::progressHidden, this, [&] { progress << "hidden"; });
    QSignalSpy active(&engine, &ExchangeEngine::meterActive);
    QList<QList<QByteArray>> finished;
    QList<int> statuses;
    // The receiver starts the next batch from inside the report of the first.
    connect(&engine, &ExchangeEngine::loadComplate, this,
            [&](int type, const QList<QByteArray> &replies, int status) {
                finished << replies;
                statuses << type << status;
                if (finished.size() == 1)
                    QVERIFY(engine.load_from_device(kAddress5, 8, {"01 20"}, 0));
            });
    QSignalSpy up(&engine, &ExchangeEngine::connIsEstablished);
    engine.initConnection(tcp(peer.port()));
    QVERIFY(up.wait(5000));
    QCOMPARE(up.first().first().toBool(), true);

    QVERIFY(engine.load_from_device(kAddress5, 7, kBatch, 0));
    QVERIFY(!engine.load_from_device(kAddress5, 9, {"01 20"}, 0));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 10000);

    QCOMPARE(statuses, (QList<int>{7, 0, 8, 0}));
    QCOMPARE(finished[0], (QList<QByteArray>{QByteArray::fromHex("08 00 00"),
                                             QByteArray::fromHex("01 21 04 31 2e 31 30"),
                                             QByteArray::fromHex("01 20 03 31 32 30 30")}));
    QCOMPARE(finished[1], QList<QByteArray>{QByteArray::fromHex("01 20 03 31 32 30 30")});
    QCOMPARE(progress, (QStringList{"Получение данных", "33", "66", "hidden", "hidden"}));
    QCOMPARE(active.size(), 2);
    QCOMPARE(peer.requests, (QList<QByteArray>{"05 08 00 e1 e1 e1 e1 e1 e1 71 b3", "05 01 21 a0 49",
                                               "05 01 20 61 89", "05 01 20 61 89"}));
    QStringList lines;
    for (const Line &l : log)
        if (l.text.startsWith("TX: 05 01 21") || l.text.startsWith("RX: 05 01 21") ||
            l.text.startsWith("Версия") || l.text.startsWith("Ошибка") ||
            l.text == "Успешно завершено")
            lines << l.text + " " + l.colour.name();
    QCOMPARE(lines, (QStringList{
                        "Ошибка: обмен со счетчиком уже идет, новый запрос отклонен #ff3232",
                        "TX: 05 01 21 a0 49  #323232", "RX: 05 01 21 04 31 2e 31 30 1c f4  #00aae6",
                        "Версия устройства считана как: 1.10 #ff7f28", "Успешно завершено #28aa46",
                        "Успешно завершено #28aa46"}));
}

void TestExchangeEngine::sessionEndsUnderBatch()
{
    // The gateway goes away with the batch's second request unanswered.
    ScriptedPeer peer(kMeter5, 2);
    ExchangeEngine engine;
    QSignalSpy state(&engine, &ExchangeEngine::connIsEstablished);
    QSignalSpy finished(&engine, &ExchangeEngine::loadComplate);
    QSignalSpy unknown(&engine, &ExchangeEngine::unknownLoadComplate);
    engine.initConnection(tcp(peer.port()));
    QVERIFY(state.wait(5000));
    QVERIFY(engine.load_from_device(kAddress5, 7, kBatch, 0));
    QTRY_COMPARE_WITH_TIMEOUT(state.size(), 2, 10000);
    QCOMPARE(state.last().first().toBool(), false);
    // The batch ends without a report, and no time-out of its request follows.
    QVERIFY(!engine.exchangeBusy());
    QVERIFY(!engine.codec().replyTimer.isActive());
    QVERIFY(finished.isEmpty() && unknown.isEmpty());
    // The engine is free for the next session's batches.
    QVERIFY(engine.load_from_device(kAddress5, 7, {"01 21"}, 0));
}

void TestExchangeEngine::stopAfterExchange()
{
    ScriptedPeer peer(kMeter5);
    ExchangeEngine engine;
    QSignalSpy state(&engine, &ExchangeEngine::connIsEstablished);
    QSignalSpy finished(&engine, &ExchangeEngine::loadComplate);
    engine.initConnection(tcp(peer.port()));
    QVERIFY(state.wait(5000));
    // Idle, a stop is nothing to remember.
    engine.stopAfterExchange();
    QVERIFY(engine.load_from_device(kAddress5, 7, {"01 21"}, 0));
    QVERIFY(finished.wait(5000));
    // The first request of this one is on the wire: its reply is kept, nothing more is asked.
    QVERIFY(engine.load_from_device(kAddress5, 8, kBatch, 0));
    engine.stopAfterExchange();
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished[0][2].toInt(), 0);
    QCOMPARE(finished[1][0].toInt(), 8);
    QCOMPARE(finished[1][1].value<QList<QByteArray>>(),
             (QList<QByteArray>{QByteArray::fromHex("08 00 00"), QByteArray(), QByteArray()}));
    QCOMPARE(finished[1][2].toInt(), 1);
    QCOMPARE(peer.requests.size(), 2);
    QVERIFY(!engine.exchangeBusy());
    // The next batch runs whole.
    QVERIFY(engine.load_from_device(kAddress5, 9, {"01 20"}, 0));
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished[2][2].toInt(), 0);
}

QTEST_MAIN(TestExchangeEngine)
#include "tst_exchangeengine.moc"
