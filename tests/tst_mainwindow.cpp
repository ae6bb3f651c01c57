#include "core/appentry.h"
#include "core/sessionparameters.h"
#include "mainwindow/sysmonitordialog.h"
#include "session/authdialog.h"
#include "support/ptypair.h"
#include "support/workdir.h"
#include "widgets/logview.h"
#include "widgets/progressdialog.h"
#include "widgets/soundcue.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QSoundEffect>
#include <QSpinBox>
#include <QTextBlock>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <csignal>

namespace {
// The log view, with every line logged so far drawn.
LogView *logView(SysMonitorDialog &w)
{
    w.flushLog();
    return w.findChild<LogView *>(QStringLiteral("tbLog"));
}

// Whether process `pid` has a handler installed for `sig` (its SigCgt mask in /proc).
bool catchesSignal(qint64 pid, int sig)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QString status = QString::fromLatin1(f.readAll());
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("SigCgt:\\s*([0-9a-f]+)")).match(status);
    if (!m.hasMatch())
        return false;
    const qulonglong mask = m.captured(1).toULongLong(nullptr, 16);
    return mask & (1ull << (sig - 1));
}

QStringList logBlocks(SysMonitorDialog &w)
{
    QStringList blocks;
    for (QTextBlock b = logView(w)->document()->begin(); b.isValid(); b = b.next())
        blocks << b.text();
    return blocks;
}

template <typename T> T *authControl(SysMonitorDialog &w, const char *name)
{
    return w.authDialog()->findChild<T *>(QLatin1String(name));
}
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void widgetsAndTitle();
    void welcomeText();
    void logLines();
    void htmlLine();
    void batchedView();
    void logViewScrolling();
    void logViewSelection();
    void consoleSwitch();
    void closingQuits();
    void logStoredOnDestruction();
    void startLines_data();
    void startLines();
    void sessionRemembered();
    void connectTakesParameters();
    void endsFromSessionDialog_data();
    void endsFromSessionDialog();
    void progressDialogForm();
    void progressInterrupt();
    void stopFromOutside_data();
    void stopFromOutside();
    void sessionCfgSurvivesKill();
    void soundCues();
    void qtDialogsSpeakRussian();
};

void TestMainWindow::widgetsAndTitle()
{
    WorkDir wd;
    SysMonitorDialog w(false);
    QCOMPARE(w.windowTitle(), QStringLiteral("Системный монитор"));
    QCOMPARE(w.size(), QSize(538, 291));
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    for (const char *name : {"verticalLayoutWidget", "tbLog", "sbLocalAddr", "leCmdLine", "leCrc",
                             "pbSend", "pbFastCmd"})
        QVERIFY2(w.findChild<QWidget *>(QLatin1String(name)), name);
    QVERIFY(w.findChild<QLayout *>(QStringLiteral("laVerContext")));
    QVERIFY(w.findChild<QLayout *>(QStringLiteral("laHorContext")));

    auto *tb = logView(w);
    const int lines = tb->lineCount();
    QTest::keyClicks(tb, QStringLiteral("x\b\r"));
    QCOMPARE(tb->lineCount(), lines); // read only
    QVERIFY(!tb->acceptDrops());
    QCOMPARE(tb->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    auto *sb = w.findChild<QSpinBox *>(QStringLiteral("sbLocalAddr"));
    QCOMPARE(sb->minimum(), 0);
    QCOMPARE(sb->maximum(), 255);
    QCOMPARE(sb->value(), 0);
    auto *crc = w.findChild<QLineEdit *>(QStringLiteral("leCrc"));
    QVERIFY(!crc->isEnabled());
    QCOMPARE(crc->focusPolicy(), Qt::NoFocus);
    QCOMPARE(w.findChild<QPushButton *>(QStringLiteral("pbSend"))->text(),
             QStringLiteral("Передать"));
    QCOMPARE(w.findChild<QPushButton *>(QStringLiteral("pbFastCmd"))->text(),
             QStringLiteral("Команда"));

    // No session yet: the console is off.
    for (const char *name : {"sbLocalAddr", "leCmdLine", "pbSend", "pbFastCmd"})
        QVERIFY2(!w.findChild<QWidget *>(QLatin1String(name))->isEnabled(), name);
}

void TestMainWindow::welcomeText()
{
    WorkDir wd;
    PtyPair pty; // a port, so that no error line follows the welcome
    QVERIFY(pty.mapAs(1));
    SysMonitorDialog w(false);
    QTextDocument *doc = logView(w)->document();
    const QStringList blocks = logBlocks(w);
    QCOMPARE(blocks.size(), 5);
    QVERIFY(blocks[0].startsWith(QStringLiteral("Добро пожаловать")));
    QVERIFY(blocks[0].endsWith(QStringLiteral("Велтон! v1.14")));
    QCOMPARE(blocks[1], QString());
    QVERIFY(blocks[2].startsWith(QStringLiteral("Данное программное обеспечение")));
    QCOMPARE(blocks[3], QString());
    QVERIFY(blocks[4].startsWith(QStringLiteral("С вопросами и предложениями обращайтесь: ")));
    QVERIFY(blocks[4].contains(QLatin1Char('@')));
    // Dark grey, no time stamp.
    QCOMPARE(doc->begin().begin().fragment().charFormat().foreground().color(), QColor(50, 50, 50));
    QVERIFY(!blocks[2].contains(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d - "))));
}

void TestMainWindow::logLines()
{
    WorkDir wd;
    SysMonitorDialog w(false);
    QTextDocument *doc = logView(w)->document();
    const int before = doc->blockCount();

    w.log(QStringLiteral("Порт открыт"), QColor(40, 170, 70), true, false);
    w.flushLog();
    QCOMPARE(doc->blockCount(), before + 1);
    QTextBlock last = doc->lastBlock();
    QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d - Порт открыт$"))
                .match(last.text())
                .hasMatch());
    QCOMPARE(last.begin().fragment().charFormat().foreground().color(), QColor(40, 170, 70));

    w.log(QStringLiteral("<strong>Сессия закрыта</strong>"), QColor(40, 170, 70), false, true);
    w.flushLog();
    QCOMPARE(doc->blockCount(), before + 3);
    QCOMPARE(doc->lastBlock().previous().text(), QString());
    QCOMPARE(doc->lastBlock().text(), QStringLiteral("Сессия закрыта"));
    QCOMPARE(doc->lastBlock().begin().fragment().charFormat().fontWeight(), int(QFont::Bold));

    // The two short forms: no new line; the shortest one stamps the time.
    w.log(QStringLiteral("a"), QColor(255, 50, 50), false);
    w.flushLog();
    QCOMPARE(doc->blockCount(), before + 4);
    QCOMPARE(doc->lastBlock().text(), QStringLiteral("a"));
    w.log(QStringLiteral("b"), QColor(255, 50, 50));
    w.flushLog();
    QCOMPARE(doc->blockCount(), before + 5);
    QVERIFY(doc->lastBlock().text().endsWith(QStringLiteral(" - b")));
}

void TestMainWindow::batchedView()
{
    // Lines drawn in batches hold exactly what QTextEdit::append() makes of them one by one.
    const QStringList lines{
        QStringLiteral("<span style='font-size: 10px; color:#323232'>Добро пожаловать</span>"),
        QString(),
        QStringLiteral("<span style='font-size: 10px; color:#323232'>12:00:00 - TX: 01 3e </span>"),
        QStringLiteral("<span style='font-size: 10px; color:#00aae6'>12:00:01 - RX: 01 3e 02 37 "
                       "5e 41 e9 </span>"),
        QStringLiteral("<span style='font-size: 10px; color:#ff3232'>Ошибка:  два пробела</span>"),
        QStringLiteral("<span style='font-size: 10px; color:#28aa46'> начало с пробела</span>"),
        QStringLiteral("<span style='font-size: 10px; color:#323232'></span>"),
        QString(),
        QStringLiteral("<span style='font-size: 10px; color:#00aae6'><strong>x</strong>  a &amp; "
                       "b</span>"),
        QStringLiteral("<table><tr><td>OK</td><td>ERR</td></tr></table>"),
        QStringLiteral("plain"),
    };
    QTextBrowser reference;
    for (const QString &line : lines)
        reference.append(line);
    // The document is built when asked for, or kept up with once it has been.
    for (int split = 0; split <= lines.size(); ++split) {
        LogView batched;
        batched.appendLines(lines.mid(0, split));
        if (split % 2)
            batched.document();
        batched.appendLines(lines.mid(split));
        QCOMPARE(batched.document()->toHtml(), reference.toHtml());
        QCOMPARE(batched.lineCount(), lines.size());
    }

    // The window draws what it logs within its redraw interval, unasked.
    WorkDir wd;
    SysMonitorDialog w(false);
    LogView *view = logView(w);
    const int before = view->lineCount();
    w.log(QStringLiteral("late"), QColor(50, 50, 50), false, false);
    QTRY_COMPARE_WITH_TIMEOUT(view->lineCount(), before + 1, 1000);
    QVERIFY(view->document()->toPlainText().endsWith(QStringLiteral("late")));
}

void TestMainWindow::logViewScrolling()
{
    const auto numbered = [](int from, int n) {
        QStringList out;
        for (int i = from; i < from + n; ++i)
            out << QStringLiteral("<span style='font-size: 10px; color:#323232'>line %1</span>")
                       .arg(i);
        return out;
    };
    LogView v;
    v.resize(300, 200);
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    QScrollBar *bar = v.verticalScrollBar();
    v.appendLines(numbered(0, 3));
    QCOMPARE(bar->maximum(), 0); // three lines fit
    v.appendLines(numbered(3, 5000));
    QVERIFY(bar->maximum() > 4900);
    QCOMPARE(bar->value(), bar->maximum()); // followed to the end
    QTest::keyClick(&v, Qt::Key_PageUp);
    QTest::keyClick(&v, Qt::Key_PageUp);
    const int up = bar->value();
    QVERIFY(up < bar->maximum());
    v.appendLines(numbered(5003, 100));
    QCOMPARE(bar->value(), up); // scrolled up: stays put
    QTest::keyClick(&v, Qt::Key_End, Qt::ControlModifier);
    v.appendLines(numbered(5103, 1));
    QCOMPARE(bar->value(), bar->maximum());
    // What is on screen at the end is the last line, drawn.
    v.selectAll();
    QVERIFY(v.selectedText().endsWith(QStringLiteral("line 5102\nline 5103")));
    QCOMPARE(v.lineCount(), 5104);
}

void TestMainWindow::logViewSelection()
{
    LogView v;
    v.resize(400, 200);
    v.appendLines(
        {QStringLiteral("<span style='font-size: 10px; color:#ff3232'>12:00:00 - Ошибка: "
                        "один</span>"),
         QString(),
         QStringLiteral("<span style='font-size: 10px; color:#00aae6'><strong>два</strong> "
                        "&amp; три</span>"),
         QStringLiteral("<table><tr><td>OK</td><td>ERR</td></tr></table>")});
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    // Each line is drawn in its own colour.
    const QImage shot = v.viewport()->grab().toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            colours.insert(shot.pixel(x, y) & 0xffffff);
    QVERIFY(colours.contains(0xff3232));
    QVERIFY(colours.contains(0x00aae6));

    QTest::keyClick(&v, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&v, Qt::Key_C, Qt::ControlModifier);
    const QString all = QGuiApplication::clipboard()->text();
    QVERIFY2(all.startsWith(QStringLiteral("12:00:00 - Ошибка: один\n\nдва & три\n")),
             qPrintable(all));
    QVERIFY(all.contains(QStringLiteral("OK")) && all.contains(QStringLiteral("ERR")));
    // A drag from the start of the first line into the third selects across the lines.
    QWidget *vp = v.viewport();
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(1, 6));
    QTest::mouseMove(vp, QPoint(vp->width() - 2, 6 + 2 * QFontMetrics(v.font()).height()));
    QTest::mouseRelease(vp, Qt::LeftButton, {},
                        QPoint(vp->width() - 2, 6 + 2 * QFontMetrics(v.font()).height()));
    QVERIFY2(v.selectedText().startsWith(QStringLiteral("12:00:00 - Ошибка: один\n\nдва")),
             qPrintable(v.selectedText()));
    QVERIFY(!v.selectedText().contains(QStringLiteral("OK")));
    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(1, 6));
    QCOMPARE(v.selectedText(), QString());
}

void TestMainWindow::htmlLine()
{
    WorkDir wd;
    SysMonitorDialog w(false);
    w.html_line(QStringLiteral("<table><tr><td>OK</td><td>ERR</td></tr></table>"));
    const QString plain = logView(w)->document()->toPlainText();
    QVERIFY(plain.contains(QStringLiteral("OK")));
    QVERIFY(plain.contains(QStringLiteral("ERR")));
    QVERIFY(!plain.contains(QStringLiteral("<td>")));
}

void TestMainWindow::consoleSwitch()
{
    WorkDir wd;
    SysMonitorDialog w(false);
    w.enableConsole(true);
    for (const char *name : {"sbLocalAddr", "leCmdLine", "pbSend", "pbFastCmd"})
        QVERIFY2(w.findChild<QWidget *>(QLatin1String(name))->isEnabled(), name);
    w.enableConsole(false);
    for (const char *name : {"sbLocalAddr", "leCmdLine", "pbSend", "pbFastCmd"})
        QVERIFY2(!w.findChild<QWidget *>(QLatin1String(name))->isEnabled(), name);
}

void TestMainWindow::closingQuits()
{
    WorkDir wd;
    SysMonitorDialog w(false);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTimer::singleShot(0, &w, [&w] { w.close(); });
    // If closing did not quit, the guard ends the loop with 1.
    QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(1); });
    QCOMPARE(qApp->exec(), 0);
    QVERIFY(w.isVisible()); // closed means quit, not hidden
}

void TestMainWindow::logStoredOnDestruction()
{
    WorkDir wd;
    {
        SysMonitorDialog w(false);
        w.log(QStringLiteral("маркер первого запуска"), QColor(255, 127, 40));
    }
    {
        SysMonitorDialog w(false);
        w.log(QStringLiteral("маркер второго запуска"), QColor(255, 127, 40));
    }
    QFile f(
        wd.filePath(QStringLiteral("log/") + QDate::currentDate().toString("ddMMyyyy") + ".html"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    QVERIFY(text.contains(QStringLiteral("charset=\"utf-8\""), Qt::CaseInsensitive) ||
            text.contains(QStringLiteral("charset=utf-8"), Qt::CaseInsensitive));
    const int first = text.indexOf(QStringLiteral("маркер первого запуска"));
    const int second = text.indexOf(QStringLiteral("маркер второго запуска"));
    QVERIFY(first > 0);
    QVERIFY(second > first);
    QCOMPARE(text.count(QStringLiteral("</html>")), 2);
}

void TestMainWindow::startLines_data()
{
    QTest::addColumn<bool>("withFile");
    QTest::addColumn<bool>("withPort");
    QTest::newRow("first start, no port") << false << false;
    QTest::newRow("session.cfg and a port") << true << true;
}

void TestMainWindow::startLines()
{
    QFETCH(bool, withFile);
    QFETCH(bool, withPort);
    WorkDir wd;
    PtyPair pty;
    if (withPort)
        QVERIFY(pty.mapAs(4));
    QVERIFY(mapRemainingPortsAway());
    if (withFile)
        QVERIFY(sessioncfg::save(sessioncfg::filePath(), SessionParameters()));
    SysMonitorDialog w(false);
    QTRY_VERIFY_WITH_TIMEOUT(w.authDialog()->isVisible(), 10000);
    const QStringList blocks = logBlocks(w);
    QCOMPARE(blocks.contains(QStringLiteral("Параметры прошлой сесиии загружены")), withFile);
    const QString noPort = QStringLiteral("Ошибка: в системе не найден ни один достуный COM-порт");
    QCOMPARE(blocks.last().endsWith(noPort), !withPort);
    if (!withPort) {
        const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d - "));
        QVERIFY(stamp.match(blocks.last()).hasMatch());
        const QTextBlock last = logView(w)->document()->lastBlock();
        QCOMPARE(last.begin().fragment().charFormat().foreground().color(), QColor(255, 50, 50));
    }
}

void TestMainWindow::sessionRemembered()
{
    WorkDir wd;
    PtyPair pty;
    QVERIFY(pty.mapAs(3) && mapRemainingPortsAway());
    {
        SysMonitorDialog w(false);
        QTRY_VERIFY_WITH_TIMEOUT(w.authDialog()->isVisible(), 10000);
        QCOMPARE(authControl<QComboBox>(w, "cbConnectionType")->currentIndex(), 0);
        QCOMPARE(authControl<QLineEdit>(w, "leEIp")->text(), QStringLiteral("127.0.0.1"));
        authControl<QComboBox>(w, "cbConnectionType")->setCurrentIndex(3);
        authControl<QLineEdit>(w, "leEIp")->setText(QStringLiteral("127.0.0.9"));
        authControl<QLineEdit>(w, "lePwd")->setText(QStringLiteral("secret"));
        authControl<QCheckBox>(w, "cbSavePwd")->setChecked(false);
    } // no session was opened: the exit still stores the dialog's choices

    QFile f(sessioncfg::filePath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray rec = f.readAll();
    QCOMPARE(rec.size(), 92);
    QCOMPARE(rec.mid(16, 6), QByteArray("      ")); // not remembered
    QVERIFY(!(f.permissions() & (QFile::ReadGroup | QFile::ReadOther)));

    SysMonitorDialog w(false);
    QVERIFY(logBlocks(w).contains(QStringLiteral("Параметры прошлой сесиии загружены")));
    QTRY_VERIFY_WITH_TIMEOUT(w.authDialog()->isVisible(), 10000);
    QCOMPARE(authControl<QComboBox>(w, "cbConnectionType")->currentIndex(), 3);
    QCOMPARE(authControl<QLineEdit>(w, "leEIp")->text(), QStringLiteral("127.0.0.9"));
    QCOMPARE(authControl<QComboBox>(w, "cbPort")->currentText(), QStringLiteral("COM3"));
    QVERIFY(!authControl<QCheckBox>(w, "cbSavePwd")->isChecked());
    QCOMPARE(authControl<QLineEdit>(w, "lePwd")->text(), QStringLiteral("      "));
}

void TestMainWindow::connectTakesParameters()
{
    WorkDir wd;
    QVERIFY(mapRemainingPortsAway());
    SysMonitorDialog w(false);
    QTRY_VERIFY_WITH_TIMEOUT(w.authDialog()->isVisible(), 10000);
    authControl<QComboBox>(w, "cbConnectionType")->setCurrentIndex(3);
    authControl<QLineEdit>(w, "leEIp")->setText(QStringLiteral("127.0.0.21"));
    QVERIFY(w.sessionParameters().ethernetIp != QStringLiteral("127.0.0.21"));
    QTest::mouseClick(authControl<QPushButton>(w, "pbConnect"), Qt::LeftButton);
    QVERIFY(!w.authDialog()->isVisible());
    QVERIFY(w.sessionParameters() == w.authDialog()->params());
    QCOMPARE(w.sessionParameters().connectionType, 3);
    QCOMPARE(w.sessionParameters().ethernetIp, QStringLiteral("127.0.0.21"));
}

void TestMainWindow::endsFromSessionDialog_data()
{
    QTest::addColumn<bool>("viaExitButton");
    QTest::newRow("Выход") << true;
    QTest::newRow("session dialog closed") << false;
}

void TestMainWindow::endsFromSessionDialog()
{
    QFETCH(bool, viaExitButton);
    WorkDir wd;
    QVERIFY(mapRemainingPortsAway());
    auto *w = new SysMonitorDialog(false);
    w->show();
    QTRY_VERIFY_WITH_TIMEOUT(w->authDialog()->isVisible(), 10000);
    QVERIFY(QTest::qWaitForWindowExposed(w->authDialog()));
    authControl<QSpinBox>(*w, "sbEPort")->setValue(4321);
    QTimer::singleShot(0, w, [w, viaExitButton] {
        if (viaExitButton)
            QTest::mouseClick(authControl<QPushButton>(*w, "pbExit"), Qt::LeftButton);
        else
            w->authDialog()->close();
    });
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    guard.start(10000);
    QCOMPARE(qApp->exec(), 0);
    QVERIFY(!QFile::exists(sessioncfg::filePath()));
    delete w; // what the program does when its loop has ended
    SessionParameters p;
    QVERIFY(sessioncfg::load(sessioncfg::filePath(), &p));
    QCOMPARE(p.ethernetPort, 4321);
}

void TestMainWindow::progressDialogForm()
{
    progressDialog d;
    QCOMPARE(d.windowTitle(), QStringLiteral("Dialog"));
    QVERIFY(d.isModal());
    QCOMPARE(d.size(), QSize(371, 78));
    QVERIFY(d.windowFlags() & Qt::MSWindowsFixedSizeDialogHint);
    auto *button = d.findChild<QPushButton *>(QStringLiteral("pbInterrupt"));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("Прервать"));
    QCOMPARE(button->geometry(), QRect(274, 40, 91, 31));
    auto *bar = d.findChild<QProgressBar *>(QStringLiteral("pbProg"));
    QVERIFY(bar);
    QCOMPARE(bar->geometry(), QRect(10, 10, 351, 23));
    QCOMPARE(bar->value(), 0);
    QCOMPARE(bar->alignment(), Qt::AlignCenter);
    d.setProgress(42);
    QCOMPARE(bar->value(), 42);
    // Values that come fast are drawn in turn; the last one stays, a new run starts at 0.
    for (int v = 43; v <= 60; ++v)
        d.setProgress(v);
    QTRY_COMPARE(bar->value(), 60);
    d.setProgress(0);
    QCOMPARE(bar->value(), 0);
}

void TestMainWindow::progressInterrupt()
{
    progressDialog d;
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QSignalSpy spy(&d, &progressDialog::interrupClick);
    auto *button = d.findChild<QPushButton *>(QStringLiteral("pbInterrupt"));
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(spy.count(), 2);
    QVERIFY(d.isVisible()); // only the engine hides it
}

void TestMainWindow::stopFromOutside_data()
{
    QTest::addColumn<int>("sig");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestMainWindow::stopFromOutside()
{
    QFETCH(int, sig);
    WorkDir wd;
    QProcess p;
    p.setWorkingDirectory(wd.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(METERTOOL_BIN), {});
    QVERIFY(p.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(catchesSignal(p.processId(), sig), 20000);
    ::kill(pid_t(p.processId()), sig);
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QFile f(
        wd.filePath(QStringLiteral("log/") + QDate::currentDate().toString("ddMMyyyy") + ".html"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(f.readAll()).contains(QStringLiteral("Добро пожаловать")));
    QCOMPARE(QFileInfo(wd.filePath(QStringLiteral("session.cfg"))).size(), 92);
}

void TestMainWindow::sessionCfgSurvivesKill()
{
    // Killed at any moment of its exit, the program leaves the record it started with or the one
    // it writes, never a torn one. Its own record first, from a clean stop; the record it then
    // starts from holds a developer password it is not to remember (bytes 28..33, the third
    // level's), which it writes back as six blanks.
    const auto runAndKill = [](const QString &dir, int killAfterUs) {
        QProcess p;
        p.setWorkingDirectory(dir);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(METERTOOL_BIN), {});
        QVERIFY(p.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(catchesSignal(p.processId(), SIGTERM), 20000);
        ::kill(pid_t(p.processId()), SIGTERM);
        if (killAfterUs >= 0) {
            // The kill lands anywhere from before the write to after it.
            QThread::usleep(ulong(killAfterUs));
            ::kill(pid_t(p.processId()), SIGKILL);
        }
        QVERIFY(p.waitForFinished(20000));
    };
    const auto record = [](const QString &dir) {
        QFile f(dir + QStringLiteral("/session.cfg"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    QByteArray written;
    {
        WorkDir wd;
        runAndKill(wd.path(), -1);
        written = record(wd.path());
    }
    QCOMPARE(written.size(), 92);
    QCOMPARE(written.mid(28, 6), QByteArray(6, ' '));
    QByteArray old = written;
    old.replace(28, 6, "secret");

    QSet<QString> seen;
    for (int round = 0; round < 24; ++round) {
        WorkDir wd;
        QFile cfg(wd.filePath(QStringLiteral("session.cfg")));
        QVERIFY(cfg.open(QIODevice::WriteOnly) && cfg.write(old) == 92);
        cfg.close();
        runAndKill(wd.path(), round * 12000);
        const QByteArray now = record(wd.path());
        QVERIFY2(now == old || now == written, qPrintable(now.toHex()));
        seen << QString::fromLatin1(now == old ? "old" : "new");
    }
    qInfo("records found after the kills: %s", qPrintable(QStringList(seen.values()).join(' ')));
}

void TestMainWindow::soundCues()
{
    WorkDir wd;
    QVERIFY(!soundcue::play(QLatin1String(soundcue::test)));
    QVERIFY(QDir(wd.path()).mkpath(QStringLiteral("snd")));
    // A tenth of a second of 8 kHz mono silence.
    QByteArray wav;
    QDataStream ds(&wav, QIODevice::WriteOnly);
    ds.setByteOrder(QDataStream::LittleEndian);
    const quint32 samples = 800;
    ds.writeRawData("RIFF", 4);
    ds << quint32(36 + samples);
    ds.writeRawData("WAVEfmt ", 8);
    ds << quint32(16) << quint16(1) << quint16(1) << quint32(8000) << quint32(8000) << quint16(1)
       << quint16(8);
    ds.writeRawData("data", 4);
    ds << samples;
    wav.append(QByteArray(samples, char(0x80)));
    QFile f(wd.filePath(QStringLiteral("snd/notify.wav")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(wav);
    f.close();
    // Whether or not this machine has an audio device, a present file is played without harm.
    QVERIFY(soundcue::play(QLatin1String(soundcue::notify)));
    QVERIFY(!soundcue::play(QLatin1String(soundcue::test)));
    // Repeated cues reuse one player per file instead of piling up.
    for (int i = 0; i < 5; ++i)
        QVERIFY(soundcue::play(QLatin1String(soundcue::notify)));
    QCOMPARE(qApp->findChildren<QSoundEffect *>().size(), 1);
}

void TestMainWindow::qtDialogsSpeakRussian()
{
    QVERIFY(loadRussianQtTexts(qApp));
    QMessageBox box(QMessageBox::Question, QStringLiteral("Поиск"), QStringLiteral("?"),
                    QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Отмена"));
    QCOMPARE(box.button(QMessageBox::Yes)->text().remove('&'), QStringLiteral("Да"));
    QCOMPARE(box.button(QMessageBox::No)->text().remove('&'), QStringLiteral("Нет"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
