// What the screen shows is the current meter's: reading pages cleared when another meter becomes
// current, the caption that names whose data a page holds, errors shown where the user looks
// (the configurator's status line, the session dialog's reason), and fields that take only what
// they can send.
#include "support/sessionrig.h"

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

// The configurator with the test playing the engine, and two single-phase meters: address 1, and
// address 2 reached by its serial number.
struct Window
{
    Window()
    {
        w.setSession(0, 1, QByteArray(6, '\xe1'));
        QObject::connect(&w, &ControlPanelDialog::init_exchange_device, &w,
                         [this](deviceListItem *, int kind, QStringList commands, int) {
                             sent << kind;
                             sessionFirst << commands.value(0).startsWith(QLatin1String("08 "));
                             return true;
                         });
        for (const QByteArray &serial : {QByteArray(), QByteArray("000000007654321")}) {
            DeviceRecord r;
            r.address = serial.isEmpty() ? 1 : 2;
            r.serialNumber = serial;
            r.version = QStringLiteral("210.1");
            w.meterList()->addItem(r);
        }
    }
    void select(int row)
    {
        deviceListItem *item = w.meterList()->itemAt(row);
        item->record().current = true;
        w.meterList()->selected(item);
    }
    void finish(QList<QByteArray> replies)
    {
        if (sessionFirst.last())
            replies.prepend(QByteArray::fromHex("080100"));
        w.loadComplate(sent.last(), replies, 0);
    }
    QStringList column(const QString &table, int c)
    {
        QStringList out;
        const QAbstractItemModel *m = w.findChild<QTableView *>(table)->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->index(r, c).data().toString();
        return out;
    }
    // The caption of the page that holds `table`.
    QString caption(const QString &table)
    {
        QWidget *page = w.findChild<QTableView *>(table);
        while (page && !page->findChild<QLabel *>(QStringLiteral("lbReadingOwner"),
                                                  Qt::FindDirectChildrenOnly))
            page = page->parentWidget();
        return page ? page->findChild<QLabel *>(QStringLiteral("lbReadingOwner"))->text()
                    : QStringLiteral("(no caption)");
    }

    ControlPanelDialog w;
    QList<int> sent;
    QList<bool> sessionFirst;
};

// One step of a read: the button pressed ("" for the follow-up the last batch started) and the
// replies its batch gets.
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
    QTest::addColumn<int>("column");    // a column that shows "-" or nothing unless read
    QTest::addColumn<QString>("leave"); // how the data stops being the current meter's
    QTest::addColumn<bool>("cleared");
    const Steps info{
        {"pbLoadDeviceInfo",
         {reply("0120", "3231302e31"), reply("0121", "312e3130"), reply("013e", "2c")}}};
    const Steps energy{{"pbLoadMeasures",
                        {reply("0104", "00214365"), reply("0105", "00"), reply("0106", "00"),
                         reply("0107", "00"), reply("0108", "00")}}};
    const Steps slices{{"pbLoadSliceDay", {reply("0642", "0100")}},
                       {"", {reply("0c42", "001e0d05031865432100")}}};
    const Steps archive{{"pbLoadArchive", {reply("013d", "1e"), reply("0610", "0100")}},
                        {"pbArchiveRead", {reply("0710", "1e0d0503183e00")}}};
    const Steps events{
        {"pbLoadList", {reply("0612", "0000"), reply("063c", "0000"), reply("063b", "0100")}},
        {"", {reply("0b3b", "071e0d0503180440")}}};
    QTest::newRow("device info, other meter") << info << "tableDeviceInfo" << 1 << "other" << true;
    QTest::newRow("energies, other meter") << energy << "tableMeasures" << 1 << "other" << true;
    QTest::newRow("slices, other meter") << slices << "tableSlice" << 0 << "other" << true;
    QTest::newRow("archive, other meter") << archive << "tableArchive" << 0 << "other" << true;
    QTest::newRow("events, other meter") << events << "tableRecords" << 0 << "other" << true;
    QTest::newRow("events, list cleared") << events << "tableRecords" << 0 << "clear" << true;
    QTest::newRow("slices, meter removed") << slices << "tableSlice" << 0 << "remove" << true;
    QTest::newRow("archive, same meter again") << archive << "tableArchive" << 0 << "same" << false;
    QTest::newRow("info, none current") << info << "tableDeviceInfo" << 1 << "none" << false;
}

void TestWhoseData::readingsFollowTheMeter()
{
    QFETCH(Steps, steps);
    QFETCH(QString, table);
    QFETCH(int, column);
    QFETCH(QString, leave);
    QFETCH(bool, cleared);
    Window t;
    t.select(1);
    for (const auto &step : steps) {
        if (!step.first.isEmpty())
            t.w.findChild<QPushButton *>(step.first)->click();
        t.finish(step.second);
    }
    const QStringList read = t.column(table, column);
    QVERIFY(!read.isEmpty() && read != QStringList(read.size(), QStringLiteral("-")));
    QVERIFY2(
        QRegularExpression(QStringLiteral("^Счетчик 2, 000000007654321, \\d\\d:\\d\\d:\\d\\d$"))
            .match(t.caption(table))
            .hasMatch(),
        qPrintable(t.caption(table)));
    auto *chart = t.w.findChild<ProfileChart *>(QStringLiteral("chartArchive"));

    if (leave == QLatin1String("other"))
        t.select(0);
    else if (leave == QLatin1String("same"))
        t.select(1);
    else if (leave == QLatin1String("clear"))
        t.w.clearLictClick();
    else if (leave == QLatin1String("remove"))
        t.w.meterList()->remoteSelected();
    else
        t.w.meterList()->deselectAll();

    const QStringList now = t.column(table, column);
    if (!cleared) {
        QCOMPARE(now, read);
        QVERIFY(t.caption(table).startsWith(QStringLiteral("Счетчик 2, ")));
        return;
    }
    // Measurement rows stay with "-", record tables lose their rows.
    QCOMPARE(now, QStringList(now.size(), QStringLiteral("-")));
    QCOMPARE(t.caption(table), QString());
    QVERIFY(chart->samples().isEmpty());
}

void TestWhoseData::errorsWhereTheUserLooks_data()
{
    QTest::addColumn<bool>("pty");
    QTest::addColumn<QString>("end"); // "line" stopped, or the user's "logout"
    QTest::addColumn<QString>("reason");
    QTest::newRow("serial line lost") << true << "line"
                                      << "Ошибка чтения COM";
    QTest::newRow("TCP peer gone") << false << "line"
                                   << "Соединение разорвано";
    QTest::newRow("user logs out") << false << "logout"
                                   << "";
}

void TestWhoseData::errorsWhereTheUserLooks()
{
    QFETCH(bool, pty);
    QFETCH(QString, end);
    QFETCH(QString, reason);
    SessionRig rig;
    QVERIFY(rig.startLine(pty ? QStringList{"--pty", "--meter", "210.1,addr=1"}
                              : QStringList{"--meter", "210.1,addr=1"}));
    QVERIFY(pty ? rig.openPty() : rig.openTcp());
    ControlPanelDialog *config = rig.window().configurator();
    auto *status = config->findChild<QLabel *>(QStringLiteral("lbStatusLine"));
    auto *button = config->findChild<QPushButton *>(QStringLiteral("pbLoadDeviceInfo"));
    // Nobody answers at 9: the time-out stays under the pages, in red.
    QTest::mouseClick(rig.addMeter(9), Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(rig.batchesDone());
    QVERIFY(status->isVisible());
    QVERIFY2(status->text().contains(QStringLiteral("Ошибка: превышен интервал времени ожидания")),
             qPrintable(status->text()));
    QVERIFY(status->text().contains(QLatin1String("ff3232")));
    // The next success clears it.
    QTest::mouseClick(rig.addMeter(1), Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(rig.batchesDone());
    QCOMPARE(status->text(), QString());

    if (end == QLatin1String("line"))
        rig.line.stop();
    else
        config->close();
    AuthDialog *auth = rig.window().authDialog();
    QTRY_VERIFY_WITH_TIMEOUT(auth->isVisible(), 15000);
    auto *label = auth->findChild<QLabel *>(QStringLiteral("lbSessionEnd"));
    QVERIFY2(label->text().contains(reason), qPrintable(label->text()));
    QCOMPARE(label->isVisible(), !reason.isEmpty());
    QCOMPARE(auth->height(), reason.isEmpty() ? 161 : 201);
}

void TestWhoseData::byteFieldsRefuse_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("hex"); // the hex view's text, "" for a field without one
    QTest::newRow("session password") << "auth"
                                      << "lePwd"
                                      << "aЖé"
                                      << "aé"
                                      << "61 e9 ";
    QTest::newRow("PIN takes digits") << "auth"
                                      << "lePin"
                                      << "1a2Ж"
                                      << "12"
                                      << "";
    QTest::newRow("number, ASCII") << "auth"
                                   << "leNumber"
                                   << "+7 9Ё1é"
                                   << "+7 91"
                                   << "";
    QTest::newRow("editor password") << "editor"
                                     << "lePwd"
                                     << "€x"
                                     << "x"
                                     << "78 ";
    QTest::newRow("meter password") << "config"
                                    << "lePwd"
                                    << "Ω1"
                                    << "1"
                                    << "31 ";
    QTest::newRow("serial number") << "config"
                                   << "leDeviceID"
                                   << "12Я3"
                                   << "123"
                                   << "31 32 33 ";
}

void TestWhoseData::byteFieldsRefuse()
{
    QFETCH(QString, window);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QFETCH(QString, hex);
    AuthDialog auth;
    itemEditDialog editor;
    ControlPanelDialog config;
    config.setSession(0, 2, QByteArray(6, '\xe1'));
    QWidget *w = window == QLatin1String("auth")     ? static_cast<QWidget *>(&auth)
                 : window == QLatin1String("editor") ? static_cast<QWidget *>(&editor)
                                                     : static_cast<QWidget *>(&config);
    auto *edit = w->findChild<QLineEdit *>(field);
    edit->setEnabled(true);
    edit->clear();
    edit->setFocus();
    // As a keyboard types them: QTest::keyClicks() would pass only Latin-1 on.
    for (const QChar c : typed) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
    }
    QCOMPARE(edit->text(), kept);
    if (!hex.isEmpty())
        QCOMPARE(w->findChild<QLineEdit *>(field + QLatin1String("Hex"))->text(), hex);
}

QTEST_MAIN(TestWhoseData)
#include "tst_whosedata.moc"
