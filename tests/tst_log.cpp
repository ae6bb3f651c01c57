#include "core/appentry.h"
#include "core/logline.h"
#include "support/workdir.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <sys/stat.h>

class TestLog : public QObject
{
    Q_OBJECT
private slots:
    void colours_data();
    void colours();
    void spans();
    void fileNames_data();
    void fileNames();
    void appendCreatesFolderAndKeepsEarlierRuns();
    void appendToUnusableFolderFails();
    void developerMode_data();
    void developerMode();
};

void TestLog::colours_data()
{
    QTest::addColumn<int>("r");
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("b");
    QTest::addColumn<QString>("hex");
    QTest::newRow("success") << 40 << 170 << 70 << "28aa46";
    QTest::newRow("received, red padded") << 0 << 170 << 230 << "00aae6";
    QTest::newRow("error") << 255 << 50 << 50 << "ff3232";
    QTest::newRow("all small") << 1 << 2 << 15 << "01020f";
}

void TestLog::colours()
{
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    QFETCH(QString, hex);
    QCOMPARE(logline::colourHex(r, g, b), hex);
}

void TestLog::spans()
{
    QCOMPARE(
        logline::span(QStringLiteral("Порт открыт"), QStringLiteral("28aa46"), QTime(14, 3, 7)),
        QStringLiteral(
            "<span style='font-size: 10px; color:#28aa46'>14:03:07 - Порт открыт</span>"));
    QCOMPARE(logline::span(QStringLiteral("TX: 01 "), QStringLiteral("323232")),
             QStringLiteral("<span style='font-size: 10px; color:#323232'>TX: 01 </span>"));
    // Markup in the text is the caller's and passes through unchanged.
    QCOMPARE(logline::span(QStringLiteral("<strong>Сессия открыта</strong>"),
                           QStringLiteral("28aa46"), QTime(0, 0, 9)),
             QStringLiteral("<span style='font-size: 10px; color:#28aa46'>00:00:09 - "
                            "<strong>Сессия открыта</strong></span>"));
}

void TestLog::fileNames_data()
{
    QTest::addColumn<QDate>("day");
    QTest::addColumn<QString>("name");
    QTest::newRow("leading zeros, day first") << QDate(2026, 1, 5) << "05012026.html";
    QTest::newRow("two-digit day and month") << QDate(2026, 12, 31) << "31122026.html";
}

void TestLog::fileNames()
{
    QFETCH(QDate, day);
    QFETCH(QString, name);
    QCOMPARE(logline::fileName(day), name);
}

void TestLog::appendCreatesFolderAndKeepsEarlierRuns()
{
    WorkDir wd;
    QVERIFY(wd.isValid());
    const QDate day(2026, 3, 8);
    QVERIFY(!QDir(wd.path()).exists(QStringLiteral("log")));
    const QString first = QStringLiteral("<html><meta charset=\"utf-8\">первый</html>\n");
    const QString second = QStringLiteral("<html>второй</html>\n");
    QVERIFY(logline::appendDocument(wd.path(), day, first));
    QVERIFY(logline::appendDocument(wd.path(), day, second));

    QFile f(wd.filePath(QStringLiteral("log/08032026.html")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(f.readAll()), first + second);
    // The log holds passwords: new folder and file are the owner's alone.
    struct stat st
    {
    };
    QCOMPARE(::stat(QFile::encodeName(wd.filePath(QStringLiteral("log"))).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0700));
    QCOMPARE(::stat(QFile::encodeName(f.fileName()).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0600));
}

void TestLog::appendToUnusableFolderFails()
{
    WorkDir wd;
    // A plain file where the folder should be: neither the folder nor the log can be made.
    QFile blocker(wd.filePath(QStringLiteral("log")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(!logline::appendDocument(wd.path(), QDate(2026, 3, 8), QStringLiteral("<html/>")));
}

void TestLog::developerMode_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("dev");
    QTest::newRow("dev") << QStringList{"metertool", "dev"} << true;
    QTest::newRow("dev and more") << QStringList{"metertool", "dev", "x"} << true;
    QTest::newRow("none") << QStringList{"metertool"} << false;
    QTest::newRow("Dev") << QStringList{"metertool", "Dev"} << false;
    QTest::newRow("-dev") << QStringList{"metertool", "-dev"} << false;
    QTest::newRow("dev second") << QStringList{"metertool", "x", "dev"} << false;
    QTest::newRow("devx") << QStringList{"metertool", "devx"} << false;
}

void TestLog::developerMode()
{
    QFETCH(QStringList, args);
    QFETCH(bool, dev);
    QCOMPARE(isDeveloperMode(args), dev);
}

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
