// The command console and its fast commands in the real main window.
#include "support/logpalette.h"
#include "support/ptypair.h"
#include "support/sessionrig.h"

#include "mainwindow/sysmonitordialog.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

namespace {
const QString kBlack = QStringLiteral("QLineEdit { color: rgb(0, 0, 0) }");
const QString kRed = QStringLiteral("QLineEdit { color: rgb(255, 0, 0) }");
} // namespace

class TestConsole : public QObject
{
    Q_OBJECT
private slots:
    void preview_data();
    void preview();
    void send();
    void fastMenu();
};

void TestConsole::preview_data()
{
    QTest::addColumn<QString>("before"); // typed first
    QTest::addColumn<int>("address");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("crc");
    QTest::addColumn<QString>("style");
    QTest::newRow("frame 01 03 00 00 00 01") << "" << 1 << "03 00 00 00 01"
                                             << "84 0a " << kBlack;
    QTest::newRow("outer blanks, lower case") << "" << 0 << "  02 0d 05  "
                                              << "65 77 " << kBlack;
    QTest::newRow("several blanks are one") << "" << 1 << "01   3e"
                                            << "a0 40 " << kBlack;
    QTest::newRow("letter G") << "" << 0 << "02 0G"
                              << "?? ??" << kRed;
    QTest::newRow("emptied after red: stays red") << "0G" << 0 << ""
                                                  << "?? ??" << kRed;
    QTest::newRow("emptied after black: stays black") << "01" << 0 << "   "
                                                      << "?? ??" << kBlack;
}

void TestConsole::preview()
{
    QFETCH(QString, before);
    QFETCH(int, address);
    QFETCH(QString, text);
    QFETCH(QString, crc);
    QFETCH(QString, style);
    SessionRig rig;
    SysMonitorDialog &w = rig.window();
    auto *line = rig.find<QLineEdit>("leCmdLine");
    auto *crcView = rig.find<QLineEdit>("leCrc");
    auto *send = rig.find<QPushButton>("pbSend");
    // At start: nothing typed, nothing to send.
    QCOMPARE(crcView->text(), QStringLiteral("?? ??"));
    QVERIFY(!send->isEnabled());
    w.enableConsole(true);
    rig.find<QSpinBox>("sbLocalAddr")->setValue(address);
    QTest::keyClicks(line, before);
    line->clear();
    QTest::keyClicks(line, text);
    QCOMPARE(crcView->text(), crc);
    QCOMPARE(line->styleSheet(), style);
    QCOMPARE(send->isEnabled(), crc != QStringLiteral("?? ??"));
}

void TestConsole::send()
{
    SessionRig rig;
    QVERIFY(rig.startLine());
    QVERIFY(rig.openTcp());
    auto *line = rig.find<QLineEdit>("leCmdLine");
    auto *address = rig.find<QSpinBox>("sbLocalAddr");
    auto *crcView = rig.find<QLineEdit>("leCrc");
    auto *send = rig.find<QPushButton>("pbSend");
    QVERIFY(line->isEnabled());
    QVERIFY(!send->isEnabled()); // nothing typed yet

    // The address alone changes the CRC.
    QTest::keyClicks(line, QStringLiteral("01 3E"));
    address->setValue(2);
    QCOMPARE(crcView->text(), QStringLiteral("50 40 "));
    address->setValue(1);
    QCOMPARE(crcView->text(), QStringLiteral("a0 40 "));

    QTest::keyClick(line, Qt::Key_Return);
    const QList<SessionRig::LogLine> tx = rig.lines(QStringLiteral("TX: "));
    QCOMPARE(tx.size(), 1);
    QCOMPARE(tx[0].text, QStringLiteral("TX: 01 01 3e a0 40 "));
    QCOMPARE(tx[0].colour, palette::grey);
    QVERIFY(line->text().isEmpty());
    QCOMPARE(crcView->text(), QStringLiteral("?? ??"));
    QVERIFY(!send->isEnabled());
    // Nobody waits for the reply: it comes as a packet outside any batch.
    QTRY_COMPARE_WITH_TIMEOUT(rig.unknown, QList<int>{0}, 10000);
    QCOMPARE(rig.lines(QStringLiteral("RX: 01 01 3e ")).value(0).colour, palette::blue);

    // Enter on an invalid line sends nothing; the button sends a valid one.
    QTest::keyClicks(line, QStringLiteral("01 3x"));
    QTest::keyClick(line, Qt::Key_Return);
    QCOMPARE(rig.lines(QStringLiteral("TX: ")).size(), 1);
    line->clear();
    QTest::keyClicks(line, QStringLiteral("09 01"));
    QTest::mouseClick(send, Qt::LeftButton);
    QCOMPARE(rig.lines(QStringLiteral("TX: ")).size(), 2);
    QVERIFY(line->text().isEmpty());
}

void TestConsole::fastMenu()
{
    SessionRig rig;
    // The last session was an administrator's.
    SessionParameters last;
    last.accessLevel = 1;
    last.passwords[1] = QByteArray::fromHex("0a0b0c0d0e0f");
    QVERIFY(sessioncfg::save(sessioncfg::filePath(), last));
    SysMonitorDialog &w = rig.window();
    auto *menu = w.findChild<QMenu *>(QStringLiteral("fastMenu"));
    QVERIFY(menu);
    QStringList entries;
    for (QAction *a : menu->actions())
        entries << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(entries, (QStringList{"Отобразить адрес", "-", "Открыть сеанс", "Закрыть сеанс", "-",
                                   "Заводская инициализация", "Сброс показаний", "-",
                                   "Модем: смена режима"}));

    const QStringList filled{"02 0D 08", "",        "08 01 0a 0b 0c 0d 0e 0f ", "09 01", "",
                             "02 0D 07", "02 0D 03"};
    auto *line = rig.find<QLineEdit>("leCmdLine");
    for (int i = 0; i < filled.size(); ++i) {
        if (filled[i].isEmpty())
            continue;
        menu->actions()[i]->trigger();
        QCOMPARE(line->text(), filled[i]);
        QVERIFY(rig.find<QLineEdit>("leCrc")->text() != QStringLiteral("?? ??"));
    }
    QVERIFY(rig.lines(QStringLiteral("TX: ")).isEmpty());
    // The modem escape goes out at once and raw.
    menu->actions().last()->trigger();
    QCOMPARE(rig.lines(QStringLiteral("TX: ")).value(0).text, QStringLiteral("TX: 2b 2b 2b "));
}

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
