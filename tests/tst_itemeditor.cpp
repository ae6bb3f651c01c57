#include "config/controlpaneldialog.h"
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"
#include "meters/itemeditdialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

namespace {
// The editor's controls, found as the user sees them.
struct Editor
{
    itemEditDialog dlg;
    QSpinBox *sbAddr = dlg.findChild<QSpinBox *>(QStringLiteral("sbAddr"));
    QSpinBox *sbStendAddr = dlg.findChild<QSpinBox *>(QStringLiteral("sbStendAddr"));
    QLabel *lbStendAddrText = dlg.findChild<QLabel *>(QStringLiteral("lbStendAddrText"));
    QLineEdit *lePwd = dlg.findChild<QLineEdit *>(QStringLiteral("lePwd"));
    QLineEdit *lePwdHex = dlg.findChild<QLineEdit *>(QStringLiteral("lePwdHex"));
    QLineEdit *leSn = dlg.findChild<QLineEdit *>(QStringLiteral("leSn"));
    QCheckBox *cbStdPwd = dlg.findChild<QCheckBox *>(QStringLiteral("cbStdPwd"));
    QCheckBox *cbUseSn = dlg.findChild<QCheckBox *>(QStringLiteral("cbUseSn"));
    QPushButton *pbOk = dlg.findChild<QPushButton *>(QStringLiteral("pbOk"));
    QPushButton *pbEsc = dlg.findChild<QPushButton *>(QStringLiteral("pbEsc"));

    Editor() { dlg.show(); }

    // Presses "Добавить" and returns what the configurator would take.
    DeviceRecord ok()
    {
        QSignalSpy spy(&dlg, &itemEditDialog::clickOk);
        QTest::mouseClick(pbOk, Qt::LeftButton);
        [&] { QCOMPARE(spy.count(), 1); }();
        return dlg.record();
    }

    static void retype(QLineEdit *edit, const QString &text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
};

DeviceRecord meter(int address, const QByteArray &serial = QByteArray())
{
    DeviceRecord r;
    r.address = address;
    r.serialNumber = serial;
    r.useStdPwd = false;
    r.password = QByteArray("secret");
    return r;
}
} // namespace

class TestItemEditor : public QObject
{
    Q_OBJECT
private slots:
    void form();
    void standardPasswordKeepsPassword();
    void typedPassword_data();
    void typedPassword();
    void hiddenPasswordBytesKept();
    void untickingUseSnDropsSerial();
    void typedSerialNumber_data();
    void typedSerialNumber();
    void editShowsOwnValues();
    void standPosition_data();
    void standPosition();
    void okKeepsOtherFields();
    void cancelHides();
    void enterAddsTypedAddress();
};

void TestItemEditor::form()
{
    Editor e;
    QCOMPARE(e.dlg.windowTitle(), QStringLiteral("Добавить счетчик"));
    QCOMPARE(e.dlg.size(), QSize(329, 172));
    QCOMPARE(e.dlg.minimumSize(), e.dlg.maximumSize());
    QVERIFY(e.sbAddr && e.sbStendAddr && e.lbStendAddrText && e.lePwd && e.lePwdHex && e.leSn &&
            e.cbStdPwd && e.cbUseSn && e.pbOk && e.pbEsc);
    // A blank placeholder is the default, so the mask reads back without "; ".
    QCOMPARE(e.leSn->inputMask(), QStringLiteral("999999999999999"));
    QCOMPARE(e.leSn->text(), QStringLiteral("000000000000000"));
    QVERIFY(!e.leSn->isEnabled());
    QVERIFY(!e.pbOk->icon().isNull());
    QVERIFY(!e.pbEsc->icon().isNull());
    QVERIFY(!e.sbStendAddr->isVisible());
    QVERIFY(QTest::qWaitForWindowActive(&e.dlg));
    // Typing goes to the address; Enter is "Добавить".
    QCOMPARE(e.dlg.focusWidget(), e.sbAddr);
    QVERIFY(e.pbOk->isDefault());
}

void TestItemEditor::standardPasswordKeepsPassword()
{
    Editor e;
    DeviceRecord r = meter(5);
    r.useStdPwd = true;
    r.password = QByteArray("qwe\0\0\0", 6);
    e.dlg.setRecord(r);
    QVERIFY(e.cbStdPwd->isChecked());
    QVERIFY(!e.lePwd->isEnabled());
    QVERIFY(!e.lePwdHex->isEnabled());
    QCOMPARE(e.lePwd->text(), QStringLiteral("qwe"));
    QCOMPARE(e.lePwdHex->text(), QStringLiteral("71 77 65 "));
    const DeviceRecord out = e.ok();
    QVERIFY(out.useStdPwd);
    QCOMPARE(out.password, r.password);

    QTest::mouseClick(e.cbStdPwd, Qt::LeftButton);
    QVERIFY(e.lePwd->isEnabled() && e.lePwdHex->isEnabled());
    QVERIFY(!e.ok().useStdPwd);
}

void TestItemEditor::typedPassword_data()
{
    QTest::addColumn<bool>("intoHex");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("hexView");
    QTest::newRow("three characters")
        << false << "abc" << QByteArray("abc\0\0\0", 6) << "61 62 63 ";
    QTest::newRow("seven characters cut to six")
        << false << "abcdefg" << QByteArray("abcdef") << "61 62 63 64 65 66";
    QTest::newRow("hex bytes") << true << "41 42 E1" << QByteArray("AB\xe1\0\0\0", 6) << "41 42 E1";
    QTest::newRow("hex low 8 bits") << true << "1ff" << QByteArray("\xff\0\0\0\0\0", 6) << "1ff";
    QTest::newRow("empty") << false << "" << QByteArray(6, '\0') << "";
}

void TestItemEditor::typedPassword()
{
    QFETCH(bool, intoHex);
    QFETCH(QString, typed);
    QFETCH(QByteArray, stored);
    QFETCH(QString, hexView);
    Editor e;
    e.dlg.setRecord(meter(5));
    Editor::retype(intoHex ? e.lePwdHex : e.lePwd, typed);
    QCOMPARE(e.lePwdHex->text(), hexView);
    QCOMPARE(e.ok().password, stored);
}

void TestItemEditor::hiddenPasswordBytesKept()
{
    // The text view cannot show what follows a zero byte; an untouched password keeps it.
    Editor e;
    DeviceRecord r = meter(5);
    r.password = QByteArray("ab\0cd\1", 6);
    e.dlg.setRecord(r);
    QCOMPARE(e.lePwd->text(), QStringLiteral("ab"));
    QCOMPARE(e.ok().password, r.password);

    Editor::retype(e.lePwd, QStringLiteral("xy"));
    QCOMPARE(e.ok().password, QByteArray("xy\0\0\0\0", 6));

    r.password = QByteArray("abc"); // short stored forms come back as six bytes
    e.dlg.setRecord(r);
    QCOMPARE(e.ok().password, QByteArray("abc\0\0\0", 6));
}

void TestItemEditor::untickingUseSnDropsSerial()
{
    Editor e;
    e.dlg.setRecord(meter(5, "000000000000123"));
    QVERIFY(e.cbUseSn->isChecked());
    QVERIFY(e.leSn->isEnabled());
    QCOMPARE(e.leSn->text(), QStringLiteral("000000000000123"));
    QTest::mouseClick(e.cbUseSn, Qt::LeftButton);
    QVERIFY(!e.leSn->isEnabled());
    QCOMPARE(e.leSn->text(), QStringLiteral("000000000000123"));
    QCOMPARE(e.ok().serialNumber, QByteArray());
}

void TestItemEditor::typedSerialNumber_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("fifteen digits") << "123456789012345" << QByteArray("123456789012345");
    QTest::newRow("letters refused") << "12ab34" << QByteArray("1234");
    QTest::newRow("zeros") << "000000000000000" << QByteArray("000000000000000");
}

void TestItemEditor::typedSerialNumber()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, stored);
    Editor e;
    e.dlg.setRecord(meter(5));
    QVERIFY(!e.cbUseSn->isChecked());
    QTest::mouseClick(e.cbUseSn, Qt::LeftButton);
    QVERIFY(e.leSn->isEnabled());
    e.leSn->setFocus();
    e.leSn->selectAll();
    QTest::keyClick(e.leSn, Qt::Key_Delete);
    e.leSn->setCursorPosition(0);
    QTest::keyClicks(e.leSn, typed);
    QCOMPARE(e.ok().serialNumber, stored);
}

void TestItemEditor::editShowsOwnValues()
{
    Editor e;
    e.dlg.setRecord(meter(5, "000000000000123"));
    QCOMPARE(e.ok().address, 5);

    // The next meter opened for editing has no serial number and another address.
    e.dlg.setRecord(meter(9));
    QCOMPARE(e.sbAddr->value(), 9);
    QVERIFY(!e.cbUseSn->isChecked());
    QVERIFY(!e.leSn->isEnabled());
    DeviceRecord out = e.ok();
    QCOMPARE(out.address, 9);
    QCOMPARE(out.serialNumber, QByteArray());

    e.dlg.setRecord(meter(200, "987654321098765"));
    QCOMPARE(e.sbAddr->value(), 200);
    QVERIFY(e.cbUseSn->isChecked());
    QCOMPARE(e.leSn->text(), QStringLiteral("987654321098765"));
    out = e.ok();
    QCOMPARE(out.address, 200);
    QCOMPARE(out.serialNumber, QByteArray("987654321098765"));

    // Edits made in the boxes are what is stored.
    e.sbAddr->setValue(17);
    QCOMPARE(e.ok().address, 17);
}

void TestItemEditor::standPosition_data()
{
    QTest::addColumn<bool>("standMode");
    QTest::newRow("stand") << true;
    QTest::newRow("not on the stand") << false;
}

void TestItemEditor::standPosition()
{
    QFETCH(bool, standMode);
    Editor e;
    DeviceRecord r = meter(255);
    r.standAddr = 12;
    r.standMode = standMode;
    e.dlg.setRecord(r);
    QCOMPARE(e.sbStendAddr->isVisible(), standMode);
    QCOMPARE(e.lbStendAddrText->isVisible(), standMode);
    QCOMPARE(e.sbStendAddr->value(), 12);
    e.sbStendAddr->setValue(4);
    const DeviceRecord out = e.ok();
    QCOMPARE(out.standAddr, 4);
    QCOMPARE(out.standMode, standMode);
}

void TestItemEditor::okKeepsOtherFields()
{
    Editor e;
    DeviceRecord r = meter(5);
    r.sessionTimeout = 33;
    r.sessionOpen = true;
    r.ticked = true;
    r.current = true;
    r.version = QStringLiteral("450.42R");
    e.dlg.setRecord(r);
    const DeviceRecord out = e.ok();
    QCOMPARE(out.sessionTimeout, 33);
    QVERIFY(out.sessionOpen && out.ticked && out.current);
    QCOMPARE(out.version, r.version);
    QVERIFY(e.dlg.isVisible()); // the configurator hides it once it took the record
}

void TestItemEditor::cancelHides()
{
    Editor e;
    QSignalSpy spy(&e.dlg, &itemEditDialog::clickOk);
    QTest::mouseClick(e.pbEsc, Qt::LeftButton);
    QVERIFY(!e.dlg.isVisible());
    QCOMPARE(spy.count(), 0);
}

void TestItemEditor::enterAddsTypedAddress()
{
    ControlPanelDialog w;
    w.setSession(0, 1, QByteArray(6, '\xe1'));
    QStringList informed;
    w.inform = [&](const QString &, const QString &text) { informed << text; };
    auto *editor = w.findChild<itemEditDialog *>();
    // The second use types over what the first left in the box.
    for (const char *address : {"42", "7"}) {
        w.addClick();
        QVERIFY(QTest::qWaitForWindowActive(editor));
        QTest::keyClicks(editor->focusWidget(), QLatin1String(address));
        QTest::keyClick(editor->focusWidget(), Qt::Key_Return);
        QVERIFY(!editor->isVisible());
    }
    QCOMPARE(w.meterList()->count(), 2);
    QCOMPARE(w.meterList()->itemAt(0)->record().address, 7);
    QCOMPARE(w.meterList()->itemAt(1)->record().address, 42);
    QCOMPARE(informed, QStringList());
}

QTEST_MAIN(TestItemEditor)
#include "tst_itemeditor.moc"
