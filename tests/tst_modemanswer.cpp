#include "core/modemanswer.h"

#include <QtTest>

using modemanswer::Action;

Q_DECLARE_METATYPE(modemanswer::Action)

class TestModemAnswer : public QObject
{
    Q_OBJECT
private slots:
    void answers_data();
    void answers();
    void quiet();
    void logText();
};

void TestModemAnswer::answers_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("pinEnabled");
    // Packets as they arrive; every one but the last leaves the answer undecided.
    QTest::addColumn<QByteArrayList>("packets");
    QTest::addColumn<Action>("action");
    QTest::addColumn<int>("nextState");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("consumed"); // -1: all

    const QString badAnswer = QStringLiteral("Ошибка: некорректный ответ");
    const QString simError = QStringLiteral("Ошибка SIM-карты");
    const QString noNetwork = QStringLiteral("Ошибка: регистрация в сети недоступна");

    QTest::newRow("AT: bare OK") << 1 << false << QByteArrayList{"\r\nOK\r\n"} << Action::Next << 2
                                 << QByteArray("AT+CPIN?\r") << QString() << -1;
    QTest::newRow("AT: echo, split inside OK")
        << 1 << false << QByteArrayList{"AT\r", "\r\nO", "K\r\n"} << Action::Next << 2
        << QByteArray("AT+CPIN?\r") << QString() << -1;
    QTest::newRow("AT: RING in front, the SIM asked before any PIN")
        << 1 << true << QByteArrayList{"\r\nRING\r\n", "\r\nOK\r\n"} << Action::Next << 2
        << QByteArray("AT+CPIN?\r") << QString() << -1;
    QTest::newRow("AT: ERROR") << 1 << false << QByteArrayList{"AT\r\r\nERROR\r\n"} << Action::Fail
                               << 0 << QByteArray() << badAnswer << -1;
    QTest::newRow("CPIN?: READY, then OK apart")
        << 2 << false << QByteArrayList{"\r\n+CPIN: READY\r\n", "\r\nOK\r\n"} << Action::Next << 3
        << QByteArray("AT+CREG=1\r") << QString() << -1;
    QTest::newRow("CPIN?: SIM PIN")
        << 2 << false << QByteArrayList{"\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n"} << Action::Fail << 0
        << QByteArray() << simError << -1;
    QTest::newRow("CPIN?: READY, the PIN option on: no PIN")
        << 2 << true << QByteArrayList{"AT+CPIN?\r\r\n+CPIN: READY\r\n\r\nOK\r\n"} << Action::Next
        << 3 << QByteArray("AT+CREG=1\r") << QString() << -1;
    QTest::newRow("CPIN?: SIM PIN, the PIN option on")
        << 2 << true << QByteArrayList{"\r\n+CPIN: SIM PIN\r\n", "\r\nOK\r\n"} << Action::Next << 10
        << QByteArray("AT+CPIN=0000\r") << QString() << -1;
    QTest::newRow("CPIN?: SIM PIN2 is not the PIN asked")
        << 2 << true << QByteArrayList{"\r\n+CPIN: SIM PIN2\r\n\r\nOK\r\n"} << Action::Fail << 0
        << QByteArray() << simError << -1;
    QTest::newRow("CPIN=: bare OK")
        << 10 << true << QByteArrayList{"AT+CPIN=0000\r\r\nOK\r\n"} << Action::Next << 3
        << QByteArray("AT+CREG=1\r") << QString() << -1;
    QTest::newRow("CPIN=: wrong PIN") << 10 << true << QByteArrayList{"\r\n+CME ERROR: 16\r\n"}
                                      << Action::Fail << 0 << QByteArray() << simError << -1;
    QTest::newRow("CREG?: stray 1,1 in front of roaming")
        << 4 << false << QByteArrayList{"\r\n+CREG: 1,1\r\n", "\r\n+CREG: 1,5\r\n\r\nOK\r\n"}
        << Action::Fail << 0 << QByteArray() << noNetwork << -1;
    QTest::newRow("CREG?: stray report in front of home")
        << 4 << false << QByteArrayList{"\r\n+CREG: 5\r\nAT+CREG?\r\r\n+CREG: 1,1\r\n\r\nOK\r\n"}
        << Action::Next << 5 << QByteArray("ATD123\r") << QString() << -1;
    QTest::newRow("CREG?: searching")
        << 4 << false << QByteArrayList{"AT+CREG?\r\r\n+CREG: 1,2\r\n", "\r\nOK\r\n"}
        << Action::Again << 4 << QByteArray("AT+CREG?\r")
        << QStringLiteral("Ожидание регистрации в сети") << -1;
    QTest::newRow("CREG?: not registered, asked again")
        << 4 << false << QByteArrayList{"\r\n+CREG: 1, 0\r\n\r\nOK\r\n"} << Action::Again << 4
        << QByteArray("AT+CREG?\r") << QStringLiteral("Ожидание регистрации в сети") << -1;
    QTest::newRow("CREG?: registration denied")
        << 4 << false << QByteArrayList{"\r\n+CREG: 1,3\r\n\r\nOK\r\n"} << Action::Fail << 0
        << QByteArray() << noNetwork << -1;
    QTest::newRow("ATD: echo split, CONNECT left for the next state")
        << 5 << false << QByteArrayList{"AT", "D123\r\r\nCONNECT 9600\r\n"} << Action::Next << 6
        << QByteArray() << QStringLiteral("Ожидание подтверждения установки соединения (до 80 сек)")
        << 7;
    QTest::newRow("ATD: no echo") << 5 << false << QByteArrayList{"\r\nCONNECT 9600\r\n"}
                                  << Action::Fail << 0 << QByteArray()
                                  << QStringLiteral("Ошибка набора номера") << -1;
    QTest::newRow("dial: CONNECT 9600 split")
        << 6 << false << QByteArrayList{"\r\n+CREG: 1\r\n\r\nCONNECT 96", "00\r\n"}
        << Action::Connected << 7 << QByteArray() << QString() << -1;
    QTest::newRow("dial: BUSY") << 6 << false << QByteArrayList{"\r\nBUSY\r\n"} << Action::Fail << 0
                                << QByteArray() << QStringLiteral("Абонент занят") << -1;
    QTest::newRow("dial: NO CARRIER")
        << 6 << false << QByteArrayList{"\r\nNO CARRIER\r\n"} << Action::Fail << 0 << QByteArray()
        << QStringLiteral("Ошибка: нет ответа") << -1;
    QTest::newRow("dial: NO ANSWER")
        << 6 << false << QByteArrayList{"\r\nNO ANSWER\r\n"} << Action::Fail << 0 << QByteArray()
        << QStringLiteral("Ошибка соединения") << -1;
    QTest::newRow("online: +CREG: 0 split")
        << 7 << false << QByteArrayList{"\r\n+CRE", "G: 0", "\r\n"} << Action::Fail << 7
        << QByteArray() << QStringLiteral("Проблема связи модема с оператором") << -1;
    QTest::newRow("online: +CREG: 1,1") << 7 << false << QByteArrayList{"\r\n+CREG: 1,1\r\n"}
                                        << Action::Report << 7 << QByteArray() << QString() << -1;
    QTest::newRow("online: NO CARRIER split")
        << 7 << false << QByteArrayList{"\r\nNO CAR", "RIER\r\n"} << Action::Fail << 7
        << QByteArray() << QStringLiteral("Соединение разорвано удаленным узлом") << -1;
    QTest::newRow("online: meter 13 replies with CR LF in front")
        << 7 << false << QByteArrayList{QByteArray::fromHex("0d0a0e0026ea")} << Action::Data << 7
        << QByteArray() << QString() << -1;
    QTest::newRow("online: meter 13's reply paused after its CR LF")
        << 7 << false
        << QByteArrayList{"\r\n", QByteArray::fromHex("0e"), QByteArray::fromHex("0026ea")}
        << Action::Data << 7 << QByteArray() << QString() << -1;
    QTest::newRow("online: line ends, then a report")
        << 7 << false << QByteArrayList{"\r\n", "+CREG: 1,1\r\n"} << Action::Report << 7
        << QByteArray() << QString() << -1;
    QTest::newRow("+++: OK") << 8 << false << QByteArrayList{"\r\nOK\r\n"} << Action::Next << 9
                             << QByteArray("ATH\r") << QString() << -1;
    QTest::newRow("ATH: call end reported first")
        << 9 << false << QByteArrayList{"ATH\r\r\nNO CARRIER\r\n", "\r\nOK\r\n"} << Action::Done
        << 0 << QByteArray() << QString() << -1;
    QTest::newRow("ATH: ERROR") << 9 << false << QByteArrayList{"\r\nERROR\r\n"} << Action::Fail
                                << 0 << QByteArray() << QStringLiteral("Ошибка разрыва соединения")
                                << -1;
    QTest::newRow("dial aborted: NO CARRIER")
        << 11 << false << QByteArrayList{"\r\nNO CAR", "RIER\r\n"} << Action::Done << 0
        << QByteArray() << QString() << -1;
    QTest::newRow("dial aborted: already in command mode")
        << 11 << false << QByteArrayList{"AT\r\r\nOK\r\n"} << Action::Done << 0 << QByteArray()
        << QString() << -1;
    QTest::newRow("dial aborted: CONNECT came first")
        << 11 << false << QByteArrayList{"\r\nCONNECT 9600\r\n"} << Action::Next << 8
        << QByteArray() << QString() << -1;
    QTest::newRow("garbage without a line end")
        << 3 << false << QByteArrayList{QByteArray(1000, 'O'), QByteArray(30, 'K')} << Action::Fail
        << 0 << QByteArray() << QStringLiteral("Ошибка модема при регистрации в сети") << -1;
    QTest::newRow("idle") << 0 << false << QByteArrayList{"\r\nOK\r\n"} << Action::Fail << 0
                          << QByteArray()
                          << QStringLiteral("Ошибка конечного автомат модуля GSM/CSD") << -1;
}

void TestModemAnswer::answers()
{
    QFETCH(int, state);
    QFETCH(bool, pinEnabled);
    QFETCH(QByteArrayList, packets);
    QFETCH(Action, action);
    QFETCH(int, nextState);
    QFETCH(QByteArray, command);
    QFETCH(QString, message);
    QFETCH(int, consumed);

    const modemanswer::Settings settings{"0000", "123", pinEnabled};
    QByteArray received;
    modemanswer::Step step;
    for (int i = 0; i < packets.size(); ++i) {
        received += packets[i];
        step = modemanswer::judge(state, received, settings);
        if (i + 1 < packets.size()) {
            QCOMPARE(step.action, Action::NeedMore);
            QCOMPARE(step.consumed, 0);
        }
    }
    QCOMPARE(step.action, action);
    if (action != Action::Fail && action != Action::Done)
        QCOMPARE(step.nextState, nextState);
    QCOMPARE(step.command, command);
    QCOMPARE(step.message, message);
    QCOMPARE(step.consumed, consumed < 0 ? int(received.size()) : consumed);
    QCOMPARE(step.manualHangUp, action == Action::Fail && (state == 8 || state == 9));
    QCOMPARE(step.showReceived, state == 7 && (action == Action::Fail || action == Action::Report));
    QCOMPARE(step.waitsConnect, state == 5 && action == Action::Next);
    // Failures that leave the call up, to be hung up before the port closes.
    const QStringList callUp = {"ATD: no echo", "online: +CREG: 0 split"};
    QCOMPARE(step.callUp, callUp.contains(QLatin1String(QTest::currentDataTag())));

    // What a step leaves is the next state's: the echo's CONNECT is not lost.
    if (state == 5 && action == Action::Next)
        QCOMPARE(modemanswer::judge(6, received.mid(step.consumed), settings).action,
                 Action::Connected);
}

// Online, once the line has been quiet: a piece is handed on, line ends alone are dropped.
void TestModemAnswer::quiet()
{
    const QByteArray piece = QByteArray::fromHex("0d0a0e");
    QCOMPARE(modemanswer::quiet(piece).action, Action::Data);
    QCOMPARE(modemanswer::quiet(piece).consumed, 3);
    QCOMPARE(modemanswer::quiet("\r\n\n").action, Action::Ignore);
    QCOMPARE(modemanswer::quiet("\r\n\n").consumed, 3);
    QCOMPARE(modemanswer::quiet(QByteArray()).action, Action::NeedMore);
}

void TestModemAnswer::logText()
{
    QCOMPARE(modemanswer::logText(QByteArray("<b>\"OK\"&\r\n\x01\x7f\xe9", 13)),
             QStringLiteral("&lt;b&gt;&quot;OK&quot;&amp;\r\n..\u00e9"));
}

QTEST_GUILESS_MAIN(TestModemAnswer)
#include "tst_modemanswer.moc"
