// What the screen shows is the current meter's: reading pages and their caption, errors where
// the user looks (status line, session dialog), byte fields that take only what they can send.
#include "support/sessionrig.h"

#include "config/configpage.h"
#include "config/controlpaneldialog.h"
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"
#include "meters/itemeditdialog.h"
#include "session/authdialog.h"
#include "widgets/profilechart.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QtTest>

namespace {
QByteArray reply(const QByteArray &head, const QByteArray &data)
{
    const QByteArray d = QByteArray::fromHex(data);
    return QByteArray::fromHex(head) + char(d.size()) + d;
}
// Buttons pressed ("" for the follow-up the last batch started), each batch's replies.
using Steps = QList<QPair<QString, QList<QByteArray>>>;
} // namespace

class TestWhoseData : public QObject
{
    Q_OBJECT
private slots:
    void readingsFollowTheMeter_data();
    void readingsFollowTheMeter();
    void errorsWhereTheUserLooks_data();
    void errorsWhereTheUserLooks();
    void byteFieldsRefuse_data();
    void byteFieldsRefuse();
};

void TestWhoseData::readingsFollowTheMeter_data()
{
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("column"); // shows "-" or nothing unless read
    QTest::addColumn<int>("leave");  // 0 other meter, 1 list cleared, 2 removed, 3 same, 4 none
    const Steps info{
        {"pbLoadDeviceInfo", {reply("0120", "3231"), reply("0121", "31"), reply("013e", "2c")}}};
    const Steps slices{{"pbLoadSliceDay", {reply("0642", "0100")}},
                       {"", {reply("0c42", "001e0d05031865432100")}}};
    const Steps archive{{"pbLoadArchive", {reply("013d", "1e"), reply("0610", "0100")}},
                        {"pbArchiveRead", {reply("0710", "1e0d0503183e00")}}};
    const Steps events{
        {"pbLoadList", {reply("0612", "0000"), reply("063c", "0000"), reply("063b", "0100")}},
        {"", {reply("0b3b", "071e0d0503180440")}}};
    QTest::newRow("device info, other meter") << info << "tableDeviceInfo" << 1 << 0;
    QTest::newRow("energies, other meter")
        << Steps{{"pbLoadMeasures", QList<QByteArray>(5, reply("0104", "00214365"))}}
        << "tableMeasures" << 1 << 0;
    QTest::newRow("slices, other meter") << slices << "tableSlice" << 0 << 0;
    QTest::newRow("archive and chart, other meter") << archive << "tableArchive" << 0 << 0;
    QTest::newRow("events, list cleared") << events << "tableRecords" << 0 << 1;
    QTest::newRow("slices, meter removed") << slices << "tableSlice" << 0 << 2;
    QTest::newRow("archive, same meter again") << archive << "tableArchive" << 0 << 3;
    QTest::newRow("info, none current") << info << "tableDeviceInfo" << 1 << 4;
}

void TestWhoseData::readingsFollowTheMeter()
{
    QFETCH(Steps, steps);
    QFETCH(QString, table);
    QFETCH(int, column);
    QFETCH(int, leave);
    ControlPanelDialog w;
    w.setSession(0, 1, QByteArray(6, '\xe1'));
    int kind = -1;
    QObject::connect(&w, &ControlPanelDialog::init_exchange_device, &w,
                     [&](deviceListItem *, int k, QStringList, int) { return kind = k, true; });
    for (const QByteArray &serial : {QByteArray(), QByteArray("000000007654321")}) {
        DeviceRecord r;
        r.address = serial.isEmpty() ? 1 : 2;
        r.serialNumber = serial;
        r.version = QStringLiteral("210.1");
        w.meterList()->addItem(r);
    }
    const auto select = [&](int row) {
        deviceListItem *item = w.meterList()->itemAt(row);
        item->record().current = true;
        w.meterList()->selected(item);
    };
    select(1);
    for (const auto &step : steps) {
        if (!step.first.isEmpty())
            w.findChild<QPushButton *>(step.first)->click();
        // Follow-ups have no session-open reply in front.
        w.loadComplate(
            kind,
            (step.first.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{""}) + step.second, 0);
    }
    auto *view = w.findChild<QTableView *>(table);
    const auto cells = [&] {
        QStringList out;
        for (int r = 0; r < view->model()->rowCount(); ++r)
            out << view->model()->index(r, column).data().toString();
        return out;
    };
    QWidget *page = view;
    while (!qobject_cast<ConfigPage *>(page))
        page = page->parentWidget();
    auto *caption = page->findChild<QLabel *>(QStringLiteral("lbReadingOwner"));
    const QStringList read = cells();
    QVERIFY(!read.isEmpty() && read != QStringList(read.size(), QStringLiteral("-")));
    QVERIFY2(caption->text().contains(QRegularExpression(
                 QStringLiteral("^Счетчик 2, 000000007654321, \\d\\d:\\d\\d:\\d\\d$"))),
             qPrintable(caption->text()));

    const std::function<void()> leaves[] = {
        [&] { select(0); }, [&] { w.clearLictClick(); }, [&] { w.meterList()->remoteSelected(); },
        [&] { select(1); }, [&] { w.meterList()->deselectAll(); }};
    const QString before = caption->text();
    leaves[leave]();
    if (leave >= 3) {
        QCOMPARE(cells(), read);
        QCOMPARE(caption->text(), before);
        return;
    }
    // Measurement rows stay with "-", record tables lose theirs.
    QCOMPARE(cells(), QStringList(cells().size(), QStringLiteral("-")));
    QCOMPARE(caption->text(), QString());
    QVERIFY(w.findChild<ProfileChart *>()->samples().isEmpty());
}

void TestWhoseData::errorsWhereTheUserLooks_data()
{
    QTest::addColumn<bool>("pty");
    QTest::addColumn<bool>("logout"); // the user ends the session, else the line goes
    QTest::addColumn<QString>("reason");
    QTest::newRow("serial line lost") << true << false << "Ошибка чтения COM";
    QTest::newRow("TCP peer gone") << false << false << "Соединение разорвано";
    QTest::newRow("user logs out") << false << true << "";
}

void TestWhoseData::errorsWhereTheUserLooks()
{
    QFETCH(bool, pty);
    QFETCH(bool, logout);
    QFETCH(QString, reason);
    SessionRig rig;
    QVERIFY(rig.startLine(QStringList{"--meter", "210.1,addr=1"} +
                          (pty ? QStringList{"--pty"} : QStringList())));
    QVERIFY(pty ? rig.openPty() : rig.openTcp());
    ControlPanelDialog *config = rig.window().configurator();
    auto *status = config->findChild<QLabel *>(QStringLiteral("lbStatusLine"));
    // Nobody answers at 9: the time-out stays under the pages, in red, until a success.
    for (int address : {9, 1}) {
        QTest::mouseClick(rig.addMeter(address), Qt::LeftButton);
        QTest::mouseClick(config->findChild<QPushButton *>(QStringLiteral("pbLoadDeviceInfo")),
                          Qt::LeftButton);
        QVERIFY(rig.batchesDone());
        if (address == 9)
            QVERIFY2(status->isVisible() &&
                         status->text().contains(
                             QStringLiteral("Ошибка: превышен интервал времени ожидания")) &&
                         status->text().contains(QLatin1String("ff3232")),
                     qPrintable(status->text()));
    }
    QCOMPARE(status->text(), QString());

    if (logout)
        config->close();
    else
        rig.line.stop();
    AuthDialog *auth = rig.window().authDialog();
    QTRY_VERIFY_WITH_TIMEOUT(auth->isVisible(), 15000);
    auto *label = auth->findChild<QLabel *>(QStringLiteral("lbSessionEnd"));
    QVERIFY2(label->text().contains(reason), qPrintable(label->text()));
    QCOMPARE(label->isVisible(), !reason.isEmpty());
    QCOMPARE(auth->height(), reason.isEmpty() ? 161 : 201);
}

void TestWhoseData::byteFieldsRefuse_data()
{
    QTest::addColumn<int>("window"); // 0 session dialog, 1 item editor, 2 configurator
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("hex"); // the hex view, "" for a field without one
    QTest::newRow("session password") << 0 << "lePwd"
                                      << "aЖé"
                                      << "aé"
                                      << "61 e9 ";
    QTest::newRow("PIN takes digits") << 0 << "lePin"
                                      << "1a2Ж"
                                      << "12"
                                      << "";
    QTest::newRow("number, ASCII") << 0 << "leNumber"
                                   << "+7 9Ё1é"
                                   << "+7 91"
                                   << "";
    QTest::newRow("editor password") << 1 << "lePwd"
                                     << "€x"
                                     << "x"
                                     << "78 ";
    QTest::newRow("meter password") << 2 << "lePwd"
                                    << "Ω1"
                                    << "1"
                                    << "31 ";
    QTest::newRow("serial number") << 2 << "leDeviceID"
                                   << "12Я3"
                                   << "123"
                                   << "31 32 33 ";
}

void TestWhoseData::byteFieldsRefuse()
{
    QFETCH(int, window);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QFETCH(QString, hex);
    AuthDialog auth;
    itemEditDialog editor;
    ControlPanelDialog config;
    QWidget *const windows[] = {&auth, &editor, &config};
    auto *edit = windows[window]->findChild<QLineEdit *>(field);
    edit->setEnabled(true);
    edit->clear();
    // As a keyboard types them: QTest::keyClicks() passes only Latin-1 on.
    for (const QChar c : typed) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
    }
    QCOMPARE(edit->text(), kept);
    if (!hex.isEmpty())
        QCOMPARE(windows[window]->findChild<QLineEdit *>(field + QLatin1String("Hex"))->text(),
                 hex);
}

QTEST_MAIN(TestWhoseData)
#include "tst_whosedata.moc"
