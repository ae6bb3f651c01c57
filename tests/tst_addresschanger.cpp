// The address changer: its list text (core), its window, and where the configurator shows it.
#include "support/workdir.h"

#include "config/controlpaneldialog.h"
#include "core/changerlist.h"
#include "meters/addresschanger.h"
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

class TestAddressChanger : public QObject
{
    Q_OBJECT
private slots:
    void split_data();
    void split();
    void listAddress_data();
    void listAddress();
    void coefficients_data();
    void coefficients();
    void modes_data();
    void modes();
    void buttons();
    void listOperations();
    void placement();
};

void TestAddressChanger::split_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("duplicates");
    QTest::newRow("empty") << "" << QStringList{} << false;
    QTest::newRow("empty line between")
        << "000000000000001\n\n000000000000002\n000000000000003"
        << QStringList{"000000000000001", "000000000000002", "000000000000003"} << false;
    QTest::newRow("two empty lines") << "7\n\n\n8" << QStringList{"7", "8"} << true;
    QTest::newRow("trailing line feed") << "7\n8\n" << QStringList{"7", "8"} << false;
    QTest::newRow("equal lines apart") << "5\n6\n5" << QStringList{"5", "6", "5"} << true;
    QTest::newRow("blanks make lines differ") << "5\n5 " << QStringList{"5", "5 "} << false;
    QTest::newRow("coefficient lines")
        << "16384 16384 0 0 0 0\n16384 16384 0 0 0 1"
        << QStringList{"16384 16384 0 0 0 0", "16384 16384 0 0 0 1"} << false;
}

void TestAddressChanger::split()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QFETCH(bool, duplicates);
    QCOMPARE(changerlist::split(text), lines);
    QCOMPARE(changerlist::hasDuplicates(text), duplicates);

    // The window splits its field the same way.
    AddressChanger changer;
    changer.findChild<QPlainTextEdit *>(QStringLiteral("teList"))->setPlainText(text);
    QCOMPARE(changer.loadList(), int(lines.size()));
    QCOMPARE(changer.lines(), lines);
    QCOMPARE(changer.hasDuplicates(), duplicates);
}

void TestAddressChanger::listAddress_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("address"); // -1: refused
    QTest::newRow("serial number line") << "000000000000117" << 17;
    QTest::newRow("above 2^31") << "9999999999" << 99;
    QTest::newRow("two digits") << "19" << 19;
    QTest::newRow("one digit") << "7" << 7;
    QTest::newRow("line end of a pasted file") << "000000000000105\r" << 5;
    QTest::newRow("ends in 00") << "000000000000100" << -1;
    QTest::newRow("letter last") << "00000000000011a" << -1;
    QTest::newRow("sign before the digit") << "-5" << -1;
}

// The address a list line gives its meter is its last two characters.
void TestAddressChanger::listAddress()
{
    QFETCH(QString, line);
    QFETCH(int, address);
    QCOMPARE(changerlist::listAddress(line).value_or(-1), address);
}

void TestAddressChanger::coefficients_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QList<int>>("values");
    QTest::newRow("standard") << "16384 16384 0 0 0 0" << true
                              << QList<int>{16384, 16384, 0, 0, 0, 0};
    QTest::newRow("signs and extremes") << "-2147483648 2147483647 -1200 +90000 40000 -3" << true
                                        << QList<int>{INT_MIN, INT_MAX, -1200, 90000, 40000, -3};
    QTest::newRow("tabs and runs of blanks") << "  15500\t17000  -900 100000 45000 12 " << true
                                             << QList<int>{15500, 17000, -900, 100000, 45000, 12};
    QTest::newRow("five values") << "16384 16384 0 0 0" << false << QList<int>{};
    QTest::newRow("seven values") << "16384 16384 0 0 0 0 0" << false << QList<int>{};
    QTest::newRow("above 32 bits") << "2147483648 0 0 0 0 0" << false << QList<int>{};
    QTest::newRow("fraction") << "16384.5 0 0 0 0 0" << false << QList<int>{};
    QTest::newRow("hex") << "0x4000 0 0 0 0 0" << false << QList<int>{};
    QTest::newRow("comma") << "16384,16384 0 0 0 0 0" << false << QList<int>{};
    QTest::newRow("trailing word") << "1 2 3 4 5 6x" << false << QList<int>{};
    QTest::newRow("serial number") << "000000000000123" << false << QList<int>{};
    QTest::newRow("empty") << "" << false << QList<int>{};
}

void TestAddressChanger::coefficients()
{
    QFETCH(QString, line);
    QFETCH(bool, ok);
    QFETCH(QList<int>, values);
    const QList<int> untouched{9, 9};
    QList<int> parsed = untouched;
    QCOMPARE(changerlist::parseCoefficients(line, &parsed), ok);
    QCOMPARE(parsed, ok ? values : untouched);
    if (!ok)
        return;
    // What a coefficient read writes into the list reads back as the same values.
    const QString written = changerlist::coefficientLine(values);
    QVERIFY(!written.contains(QLatin1String("  ")) && !written.startsWith(QLatin1Char(' ')));
    QList<int> again;
    QVERIFY(changerlist::parseCoefficients(written, &again));
    QCOMPARE(again, values);
}

void TestAddressChanger::modes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("coefficients");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("serial numbers") << "000000000000123\n000000000000124" << false;
    QTest::newRow("one blank") << " " << true;
    QTest::newRow("blank in the last line") << "12\n16384 16384 0 0 0 0" << true;
    QTest::newRow("tab") << "1\t2" << true;
}

void TestAddressChanger::modes()
{
    QFETCH(QString, text);
    QFETCH(bool, coefficients);
    AddressChanger changer;
    auto *list = changer.findChild<QPlainTextEdit *>(QStringLiteral("teList"));
    const auto enabled = [&](const char *name) {
        return changer.findChild<QPushButton *>(QLatin1String(name))->isEnabled();
    };
    const auto check = [&](bool cc) {
        QCOMPARE(enabled("pbWriteCCGroup"), cc);
        QCOMPARE(enabled("pbListWriteSN"), !cc);
        QCOMPARE(enabled("pbListWriteAddr"), !cc);
        QVERIFY(enabled("pbReadCCGroup"));
        QVERIFY(enabled("pbListClear"));
        QVERIFY(!enabled("pbListGen"));
    };
    check(false);
    // Typed as a user does, so the field's own signal switches the mode.
    list->setFocus();
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            QTest::keyClick(list, Qt::Key_Return);
        else if (c == QLatin1Char('\t'))
            QTest::keyClick(list, Qt::Key_Tab);
        else
            QTest::keyClicks(list, QString(c));
    }
    QCOMPARE(list->toPlainText(), text);
    check(coefficients);
    // Deleting the text again switches back.
    for (int i = 0; i < text.size(); ++i)
        QTest::keyClick(list, Qt::Key_Backspace);
    QCOMPARE(list->toPlainText(), QString());
    check(false);
}

void TestAddressChanger::buttons()
{
    AddressChanger changer;
    QSignalSpy sn(&changer, &AddressChanger::saveSNExec);
    QSignalSpy addr(&changer, &AddressChanger::saveAddrExec);
    QSignalSpy writeCC(&changer, &AddressChanger::saveCCExec);
    QSignalSpy readCC(&changer, &AddressChanger::loadCCExec);
    QList<QSignalSpy *> spies{&sn, &addr, &writeCC, &readCC};
    const auto counts = [&] {
        QList<int> c;
        for (QSignalSpy *s : spies)
            c << int(s->count());
        return c;
    };
    auto *list = changer.findChild<QPlainTextEdit *>(QStringLiteral("teList"));
    const auto click = [&](const char *name) {
        QTest::mouseClick(changer.findChild<QPushButton *>(QLatin1String(name)), Qt::LeftButton);
    };
    click("pbListWriteSN");
    QCOMPARE(counts(), (QList<int>{1, 0, 0, 0}));
    click("pbListWriteAddr");
    QCOMPARE(counts(), (QList<int>{1, 1, 0, 0}));
    click("pbReadCCGroup");
    QCOMPARE(counts(), (QList<int>{1, 1, 0, 1}));
    click("pbWriteCCGroup"); // disabled without a blank
    QCOMPARE(counts(), (QList<int>{1, 1, 0, 1}));
    list->setPlainText(QStringLiteral("1 2 3 4 5 6"));
    click("pbWriteCCGroup");
    click("pbListWriteSN"); // disabled with one
    QCOMPARE(counts(), (QList<int>{1, 1, 1, 1}));
    click("pbListGen");
    QCOMPARE(list->toPlainText(), QStringLiteral("1 2 3 4 5 6"));

    click("pbListClear");
    QCOMPARE(list->toPlainText(), QString());
    QCOMPARE(counts(), (QList<int>{1, 1, 1, 1}));
    QVERIFY(changer.findChild<QPushButton *>(QStringLiteral("pbListWriteSN"))->isEnabled());
}

void TestAddressChanger::listOperations()
{
    // A coefficient read clears the list and appends one line per meter.
    AddressChanger changer;
    auto *list = changer.findChild<QPlainTextEdit *>(QStringLiteral("teList"));
    list->setPlainText(QStringLiteral("old\nold"));
    changer.listClear();
    changer.appendLine(QStringLiteral("16384 16384 0 0 0 0"));
    changer.appendLine(QStringLiteral("16000 17000 -900 90000 40000 5"));
    QCOMPARE(list->toPlainText(),
             QStringLiteral("16384 16384 0 0 0 0\n16000 17000 -900 90000 40000 5"));
    QVERIFY(!changer.hasDuplicates());
    QVERIFY(changer.findChild<QPushButton *>(QStringLiteral("pbWriteCCGroup"))->isEnabled());
    changer.appendLine(QStringLiteral("16384 16384 0 0 0 0"));
    QVERIFY(changer.hasDuplicates());
    QCOMPARE(changer.loadList(), 3);
    QCOMPARE(changer.lines().at(2), QStringLiteral("16384 16384 0 0 0 0"));
}

void TestAddressChanger::placement()
{
    WorkDir work;
    ControlPanelDialog w;
    w.setGeometry(100, 80, 700, 500);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    AddressChanger *changer = w.addressChanger();
    QVERIFY(changer && !changer->isVisible());
    QCOMPARE(changer->parent(), nullptr);
    QCOMPARE(changer->windowTitle(), QStringLiteral("Серийный номер и адрес"));

    // Step 8 of the single-phase calibration opens it, once a meter is selected.
    w.setSession(0, 2, QByteArray(6, '\0'));
    DeviceRecord record;
    record.address = 4;
    record.version = QStringLiteral("210.1");
    QVERIFY(w.meterList()->addItem(record));
    deviceListItem *row = w.meterList()->itemAt(0);
    row->record().current = true;
    w.meterList()->selected(row);
    auto *step8 = w.findChild<QPushButton *>(QStringLiteral("pbAddrTableInput"));
    QVERIFY(step8->isEnabled());
    auto *tabs = w.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->widget(i)->isAncestorOf(step8))
            tabs->setCurrentIndex(i);
    QTest::mouseClick(step8, Qt::LeftButton);
    QTRY_VERIFY(changer->isVisible());
    const QRect outer = w.frameGeometry();
    QCOMPARE(changer->frameGeometry().left(), outer.right() + 1 + 20);
    QCOMPARE(changer->frameGeometry().top(), outer.top());
    QCOMPARE(changer->width(), 240);
    QCOMPARE(changer->height(), w.height());

    // Shown again after the configurator moved and grew, it follows.
    changer->hide();
    const int before = w.height();
    w.setGeometry(50, 40, w.width() + 100, before + 100);
    QCOMPARE(w.height(), before + 100);
    w.pbShowAddressChanger();
    QVERIFY(changer->isVisible());
    QCOMPARE(changer->frameGeometry().left(), w.frameGeometry().right() + 21);
    QCOMPARE(changer->frameGeometry().top(), w.frameGeometry().top());
    QCOMPARE(changer->height(), before + 100);

    // The session ends: the configurator is hidden, and the changer with it, keeping its text.
    changer->appendLine(QStringLiteral("000000000000123"));
    w.hide();
    QVERIFY(!changer->isVisible());
    w.show();
    w.pbShowAddressChanger();
    QCOMPARE(changer->findChild<QPlainTextEdit *>(QStringLiteral("teList"))->toPlainText(),
             QStringLiteral("000000000000123"));
}

QTEST_MAIN(TestAddressChanger)
#include "tst_addresschanger.moc"
