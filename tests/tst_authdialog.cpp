#include "session/authdialog.h"
#include "support/ptypair.h"
#include "support/workdir.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

namespace {
// The dialog's controls, found as the user sees them.
struct Dialog
{
    AuthDialog dlg;
    QComboBox *cbConnectionType = find<QComboBox>("cbConnectionType");
    QComboBox *cbPort = find<QComboBox>("cbPort");
    QComboBox *cbStendPort = find<QComboBox>("cbStendPort");
    QComboBox *cbBaud = find<QComboBox>("cbBaud");
    QComboBox *cbAccessLevel = find<QComboBox>("cbAccessLevel");
    QLineEdit *lePwd = find<QLineEdit>("lePwd");
    QLineEdit *lePwdHex = find<QLineEdit>("lePwdHex");
    QCheckBox *cbSavePwd = find<QCheckBox>("cbSavePwd");
    QCheckBox *cbPin = find<QCheckBox>("cbPin");
    QLineEdit *lePin = find<QLineEdit>("lePin");
    QPushButton *pbConnect = find<QPushButton>("pbConnect");
    QPushButton *pbRefresh = find<QPushButton>("pbRefresh");

    template <typename T> T *find(const char *name)
    {
        T *w = dlg.findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no %s", name);
        return w;
    }

    static void retype(QLineEdit *edit, const QString &text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    QByteArray shownBytes() const { return lePwd->text().toLatin1(); }
};

QByteArray pwd(const char *hex)
{
    return QByteArray::fromHex(hex);
}

// Distinct passwords and remember flags for the three levels.
SessionParameters levels(int accessLevel)
{
    SessionParameters p;
    p.accessLevel = accessLevel;
    p.passwords = {pwd("757365723031"), pwd("61646d696e31"), pwd("3c91e4075bd2")};
    p.rememberPassword = {true, false, true};
    return p;
}
} // namespace

class TestAuthDialog : public QObject
{
    Q_OBJECT
private slots:
    void form();
    void typedPassword_data();
    void typedPassword();
    void levelSwitchKeepsEachLevel();
    void developerLevelOnlyInDeveloperMode();
    void defaultPassword_data();
    void defaultPassword();
    void channels_data();
    void channels();
    void portScan();
    void unpluggedPortRemembered();
    void recordThroughControls();
};

void TestAuthDialog::form()
{
    WorkDir wd;
    PtyPair pty;
    QVERIFY(pty.mapAs(2) && mapRemainingPortsAway());
    Dialog d;
    QVERIFY(d.dlg.showAuth(false));
    QVERIFY(QTest::qWaitForWindowExposed(&d.dlg));
    QCOMPARE(d.dlg.windowTitle(), QStringLiteral("Параметры сессии"));
    QVERIFY(d.dlg.isModal());
    QCOMPARE(d.dlg.size(), QSize(389, 161));
    QCOMPARE(d.dlg.minimumSize(), d.dlg.maximumSize());
    QCOMPARE(d.dlg.focusWidget(), d.pbConnect);
    QVERIFY(!d.find<QFrame>("frStendPort")->isVisible());
    // Escape does not leave the program without its dialog.
    QTest::keyClick(&d.dlg, Qt::Key_Escape);
    QVERIFY(d.dlg.isVisible());
}

void TestAuthDialog::typedPassword_data()
{
    QTest::addColumn<bool>("inHex");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("text"); // Latin-1 codes of the text view
    QTest::addColumn<QString>("hex");
    QTest::newRow("two pieces") << true << "12 34" << pwd("1234") << "12 34";
    QTest::newRow("four digits run together") << true << "1234" << pwd("34") << "1234";
    QTest::newRow("1FF") << true << "1FF" << pwd("ff") << "1FF";
    QTest::newRow("several blanks") << true << "  e1   E1 e1" << pwd("e1e1e1") << "  e1   E1 e1";
    QTest::newRow("six characters: 17 in hex")
        << false << "Qwe1+z" << QByteArray("Qwe1+z") << "51 77 65 31 2b 7a";
}

void TestAuthDialog::typedPassword()
{
    QFETCH(bool, inHex);
    QFETCH(QString, typed);
    QFETCH(QByteArray, text);
    QFETCH(QString, hex);
    Dialog d;
    d.dlg.setParams(SessionParameters());
    d.dlg.show();
    Dialog::retype(inHex ? d.lePwdHex : d.lePwd, typed);
    QCOMPARE(d.shownBytes().toHex(), text.toHex());
    QCOMPARE(d.lePwdHex->text(), hex);
    d.dlg.readParams();
    QCOMPARE(d.dlg.params().passwords[0].toHex(),
             (text + QByteArray(6 - text.size(), '\0')).toHex());
}

void TestAuthDialog::levelSwitchKeepsEachLevel()
{
    Dialog d;
    d.dlg.setParams(levels(0));
    d.dlg.show();
    QCOMPARE(d.shownBytes(), QByteArray("user01"));
    QVERIFY(d.cbSavePwd->isChecked());
    Dialog::retype(d.lePwd, QStringLiteral("neu"));
    d.cbSavePwd->click();

    d.cbAccessLevel->setCurrentIndex(2);
    QCOMPARE(d.lePwdHex->text(), QStringLiteral("3c 91 e4 07 5b d2"));
    QVERIFY(d.cbSavePwd->isChecked());
    d.cbAccessLevel->setCurrentIndex(1);
    QCOMPARE(d.shownBytes(), QByteArray("admin1"));
    QVERIFY(!d.cbSavePwd->isChecked());
    d.cbAccessLevel->setCurrentIndex(0);
    QCOMPARE(d.shownBytes(), QByteArray("neu"));
    QVERIFY(!d.cbSavePwd->isChecked());

    d.dlg.readParams();
    const SessionParameters &p = d.dlg.params();
    QCOMPARE(p.accessLevel, 0);
    QCOMPARE(p.passwords[0], QByteArray("neu\0\0\0", 6));
    QCOMPARE(p.rememberPassword[0], false);
    QCOMPARE(p.passwords[1], pwd("61646d696e31"));
    QCOMPARE(p.passwords[2], pwd("3c91e4075bd2"));
}

void TestAuthDialog::developerLevelOnlyInDeveloperMode()
{
    WorkDir wd;
    QVERIFY(mapRemainingPortsAway());
    Dialog d;
    d.dlg.setParams(levels(2));
    QCOMPARE(d.cbAccessLevel->currentIndex(), 2);
    QVERIFY(!d.dlg.showAuth(false));
    QCOMPARE(d.cbAccessLevel->count(), 2);
    QCOMPARE(d.cbAccessLevel->currentText(), QStringLiteral("Администратор"));
    QCOMPARE(d.shownBytes(), QByteArray("admin1"));
    QVERIFY(!d.cbSavePwd->isChecked());

    d.dlg.hide();
    d.dlg.showAuth(true); // never added back during the run
    QCOMPARE(d.cbAccessLevel->count(), 2);
    // A record that still asks for the developer level shows the administrator.
    d.dlg.setParams(levels(2));
    QCOMPARE(d.cbAccessLevel->currentIndex(), 1);
    QCOMPARE(d.shownBytes(), QByteArray("admin1"));
    d.dlg.readParams();
    QCOMPARE(d.dlg.params().accessLevel, 1);
    QCOMPARE(d.dlg.params().passwords[2], pwd("3c91e4075bd2"));
}

void TestAuthDialog::defaultPassword_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("hex");
    QTest::newRow("user") << 0 << "e1 e1 e1 e1 e1 e1";
    QTest::newRow("developer") << 2 << "3c 91 e4 07 5b d2";
}

void TestAuthDialog::defaultPassword()
{
    QFETCH(int, level);
    QFETCH(QString, hex);
    Dialog d;
    d.dlg.setParams(levels(level));
    d.dlg.show();
    QTest::mouseClick(d.find<QPushButton>("pbDefaultPwd"), Qt::LeftButton);
    QCOMPARE(d.lePwdHex->text(), hex);
    d.dlg.readParams();
    QCOMPARE(d.dlg.params().passwords[level], QByteArray::fromHex(hex.toLatin1()));
}

void TestAuthDialog::channels_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("shownFrames");
    QTest::addColumn<bool>("serial");
    QTest::newRow("COM") << 0 << "" << true;
    QTest::newRow("GSM/CSD") << 1 << "frPin frNumber" << true;
    QTest::newRow("factory stand") << 2 << "frStendIP" << true;
    QTest::newRow("TCP-IP") << 3 << "frEIP frEPort" << false;
}

void TestAuthDialog::channels()
{
    QFETCH(int, channel);
    QFETCH(QString, shownFrames);
    QFETCH(bool, serial);
    WorkDir wd;
    QVERIFY(mapRemainingPortsAway());
    Dialog d;
    SessionParameters p;
    p.connectionType = channel;
    d.dlg.setParams(p);
    QVERIFY(!d.dlg.showAuth(false));

    const QStringList shown = shownFrames.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const char *name : {"frStendIP", "frPin", "frNumber", "frEIP", "frEPort", "frStendPort"})
        QCOMPARE(d.find<QFrame>(name)->isVisible(), shown.contains(QLatin1String(name)));
    QCOMPARE(d.cbBaud->isEnabled(), serial);
    QCOMPARE(d.cbPort->isEnabled(), serial);
    QCOMPARE(d.pbRefresh->isEnabled(), serial);
    // Without any serial port only TCP-IP can start a session.
    QCOMPARE(d.pbConnect->isEnabled(), !serial);

    PtyPair pty;
    QVERIFY(pty.mapAs(5));
    d.dlg.updateAvaliblePorts();
    QVERIFY(d.pbConnect->isEnabled());
}

void TestAuthDialog::portScan()
{
    WorkDir wd;
    PtyPair com3, com7;
    QVERIFY(com3.mapAs(3) && com7.mapAs(7) && mapRemainingPortsAway());
    Dialog d;
    SessionParameters p;
    p.portNumber = 7;
    d.dlg.setParams(p);
    QVERIFY(d.dlg.showAuth(false));

    for (QComboBox *box : {d.cbPort, d.cbStendPort}) {
        QCOMPARE(box->count(), 2);
        QCOMPARE(box->itemText(0), QStringLiteral("COM3"));
        QCOMPARE(box->itemText(1), QStringLiteral("COM7"));
        QCOMPARE(box->itemData(0, Qt::ToolTipRole).toString(), com3.slavePath());
        QCOMPARE(box->itemData(1, Qt::ToolTipRole).toString(), com7.slavePath());
    }
    QCOMPARE(d.cbPort->currentText(), QStringLiteral("COM7"));
    QVERIFY(d.pbConnect->isEnabled());
    d.cbPort->setCurrentIndex(0);
    d.dlg.readParams();
    QCOMPARE(d.dlg.params().portNumber, 3);

    // A port taken away: the refreshed list is empty and the chosen number is kept.
    QFile::remove(QStringLiteral("ports/COM3"));
    QFile::remove(QStringLiteral("ports/COM7"));
    QVERIFY(mapRemainingPortsAway());
    QTest::mouseClick(d.pbRefresh, Qt::LeftButton);
    QCOMPARE(d.cbPort->count(), 0);
    QVERIFY(!d.pbConnect->isEnabled());
    d.dlg.readParams();
    QCOMPARE(d.dlg.params().portNumber, 3);
}

void TestAuthDialog::unpluggedPortRemembered()
{
    // COM7 was remembered; its adapter is not plugged in this time.
    WorkDir wd;
    PtyPair com3, com5;
    QVERIFY(com3.mapAs(3) && com5.mapAs(5) && mapRemainingPortsAway());
    Dialog d;
    SessionParameters p;
    p.portNumber = 7;
    d.dlg.setParams(p);
    QVERIFY(d.dlg.showAuth(false));
    QCOMPARE(d.cbPort->currentText(), QStringLiteral("COM3"));
    d.dlg.readParams();
    QCOMPARE(d.dlg.params().portNumber, 7);
    // A session started now runs on the port shown.
    QCOMPARE(d.dlg.sessionParams().portNumber, 3);
    // A port picked by hand is the one remembered.
    d.cbPort->setFocus();
    QTest::keyClick(d.cbPort, Qt::Key_Down);
    QCOMPARE(d.cbPort->currentText(), QStringLiteral("COM5"));
    d.dlg.readParams();
    QCOMPARE(d.dlg.params().portNumber, 5);
}

void TestAuthDialog::recordThroughControls()
{
    WorkDir wd;
    QVERIFY(mapRemainingPortsAway());
    SessionParameters p = levels(1);
    p.portNumber = 11;
    p.baudIndex = 2;
    p.refreshChecked = false; // the refresh button is never checkable
    p.connectionType = 1;
    p.standIp = QStringLiteral("10.1.2.3");
    p.phoneNumber = "+79001112233";
    p.pin = "0000";
    p.pinEnabled = true;
    p.ethernetIp = QStringLiteral("127.0.0.5");
    p.ethernetPort = 50000;
    Dialog d;
    d.dlg.setParams(p);
    d.dlg.showAuth(false);
    QVERIFY(d.lePin->isEnabled());
    d.dlg.readParams();
    QVERIFY(d.dlg.params() == p);

    d.cbPin->click();
    QVERIFY(!d.lePin->isEnabled());
    // Bytes behind a zero byte are shown up to it, and kept while left alone.
    p.pinEnabled = false;
    p.passwords[1] = pwd("610062000000");
    d.dlg.setParams(p);
    QCOMPARE(d.shownBytes(), QByteArray("a"));
    d.dlg.readParams();
    QVERIFY(d.dlg.params() == p);
}

QTEST_MAIN(TestAuthDialog)
#include "tst_authdialog.moc"
