// The tariff page in the configurator window on its own: what edits show and send, the refused
// schedule writes, copying months, and the schedule and holiday files through the dialog seams.
#include "support/workdir.h"

#include "config/controlpaneldialog.h"
#include "link/logcolours.h"
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

namespace {
struct Page
{
    Page()
    {
        w.setSession(0, 2, QByteArray(6, '\xe1'));
        QObject::connect(&w, &ControlPanelDialog::init_exchange_device,
                         [this](deviceListItem *, int, QStringList cmd, int) {
                             sent << cmd.mid(1); // after the session-open command
                             return true;
                         });
        QObject::connect(&w, &ControlPanelDialog::log,
                         [this](const QString &text, const QColor &colour, bool, bool) {
                             logged << text;
                             colours << colour;
                         });
        const auto answer = [this](const QString &title, const QString &, const QString &filter) {
            asked << title + QLatin1Char('|') + filter;
            return fileName;
        };
        w.askSaveFile = answer;
        w.askOpenFile = answer;
        calendar = w.findChild<QTableView *>(QStringLiteral("tableCalendar"))->model();
        holidays = w.findChild<QTableView *>(QStringLiteral("tableHolidays"))->model();
        months = w.findChild<QComboBox *>(QStringLiteral("cbCalendar"));
        fileName = work.filePath(QStringLiteral("schedule"));
    }
    void select(const QString &name)
    {
        DeviceRecord r;
        r.address = w.meterList()->count() + 1;
        r.version = name;
        w.meterList()->addItem(r);
        deviceListItem *row = w.meterList()->itemAt(w.meterList()->count() - 1);
        row->record().current = true;
        w.meterList()->selected(row);
    }
    void trigger(const char *action) { w.findChild<QAction *>(QLatin1String(action))->trigger(); }
    void click(const char *button) { w.findChild<QPushButton *>(QLatin1String(button))->click(); }
    QStringList column(QAbstractItemModel *m, int c)
    {
        QStringList out;
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->index(r, c).data().toString();
        return out;
    }
    bool writeFile(const QByteArray &bytes)
    {
        QFile f(fileName);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }
    QByteArray readFile()
    {
        QFile f(fileName);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    WorkDir work;
    ControlPanelDialog w;
    QList<QStringList> sent;
    QStringList logged;
    QList<QColor> colours;
    QStringList asked;
    QString fileName;
    QAbstractItemModel *calendar;
    QAbstractItemModel *holidays;
    QComboBox *months;
};

// A schedule file of `zones` zones, every zone of every month the record (6 bytes in hex).
QByteArray ztf(int zones, const QByteArray &record)
{
    return QByteArray("ZT\x01") + char(zones) + QByteArray::fromHex(record).repeated(12 * zones);
}
} // namespace

class TestTariffPage : public QObject
{
    Q_OBJECT
private slots:
    void edits_data();
    void edits();
    void scheduleWrites_data();
    void scheduleWrites();
    void copies_data();
    void copies();
    void scheduleFile();
    void refusedFiles_data();
    void refusedFiles();
    void holidaysFile();
};

void TestTariffPage::edits_data()
{
    QTest::addColumn<QString>("meter");
    QTest::addColumn<bool>("holidayTable");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("sent"); // the start of the first command written
    QTest::newRow("7:5") << "210.1" << false << 1 << "7:5"
                         << "07:05"
                         << "02 14 7 5 0 0 0 0 ";
    QTest::newRow("25:00") << "210.1" << false << 1 << "25:00"
                           << "-"
                           << "02 14 ff ff 0 0 0 0 ";
    QTest::newRow("5 on a single-phase working day") << "210.1" << false << 2 << "5"
                                                     << "-"
                                                     << "02 14 0 0 f0 0 0 0 ";
    QTest::newRow("4 on a single-phase holiday") << "210.1" << false << 3 << "4"
                                                 << "4"
                                                 << "02 14 0 0 3 0 0 0 ";
    QTest::newRow("8 on a three-phase Sunday") << "450.22R" << false << 5 << "8"
                                               << "8"
                                               << "02 89 0 0 0 7 0 0 ";
    QTest::newRow("9 on a three-phase Saturday") << "450.22R" << false << 4 << "9"
                                                 << "-"
                                                 << "02 89 0 0 0 f0 0 0 ";
    QTest::newRow("holiday on day 32") << "210.1" << true << 1 << "32"
                                       << "-"
                                       << "02 0f ff ff ff ";
    QTest::newRow("holiday in month 07") << "210.1" << true << 2 << "07"
                                         << "7"
                                         << "02 0f ff 7 ff ";
}

void TestTariffPage::edits()
{
    QFETCH(QString, meter);
    QFETCH(bool, holidayTable);
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, sent);
    Page t;
    t.select(meter);
    QAbstractItemModel *m = holidayTable ? t.holidays : t.calendar;
    QCOMPARE(m->rowCount(), holidayTable ? 20 : meter.startsWith("210") ? 8 : 16);
    QVERIFY(m->setData(m->index(0, column), typed));
    QCOMPARE(m->index(0, column).data().toString(), shown);
    // The first column is no cell to type in.
    QVERIFY(!(m->flags(m->index(0, 0)) & Qt::ItemIsEditable));
    t.click(holidayTable ? "pbSaveHolidays" : "pbSaveCalendar");
    QCOMPARE(t.sent.size(), 1);
    QVERIFY2(t.sent[0].value(0).startsWith(sent), qPrintable(t.sent[0].value(0)));
    // Another month still has the zero-filled zone.
    t.months->setCurrentIndex(1);
    if (!holidayTable)
        QCOMPARE(t.calendar->index(0, 1).data().toString(), QStringLiteral("00:00"));
}

void TestTariffPage::scheduleWrites_data()
{
    QTest::addColumn<QString>("meter");
    QTest::addColumn<int>("zones"); // of the file loaded
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QStringList>("commands"); // the first and the last, or
    QTest::addColumn<QString>("refusal");      // the line logged instead
    QTest::addColumn<QColor>("colour");
    const QString incorrect = QStringLiteral("Тарифное рассписание некорректно! Запись отменена.");
    const QString model =
        QStringLiteral("Попытка записи тарифного рассписания несоответствующей модели, отменено.");
    const QColor none;
    QTest::newRow("single-phase, no tariff in use: sent")
        << "210.1" << 8 << QByteArray("ffffffffffff")
        << QStringList{"02 14" + QStringLiteral(" ff").repeated(32), "02 0b a e1 3"} << "" << none;
    QTest::newRow("three-phase, tariffs 1 to 4: sent")
        << "450.22R" << 16 << QByteArray("070000010203")
        << QStringList{"02 89" + QStringLiteral(" 7 0 1 23").repeated(16), "02 0b 2 64 ff"} << ""
        << none;
    QTest::newRow("three-phase, only tariffs 5 to 8: refused")
        << "450.22R" << 16 << QByteArray("070004050607") << QStringList() << incorrect
        << QColor(255, 50, 50);
    QTest::newRow("three-phase, all unset: refused")
        << "450.22R" << 16 << QByteArray("ffffffffffff") << QStringList() << incorrect
        << QColor(255, 50, 50);
    QTest::newRow("single-phase meter, 16-row table shown")
        << "210.1" << 16 << QByteArray("070000000000") << QStringList() << model
        << QColor(255, 127, 40);
    QTest::newRow("three-phase meter, 8-row table shown")
        << "450.22R" << 8 << QByteArray("070000000000") << QStringList() << model
        << QColor(255, 127, 40);
}

void TestTariffPage::scheduleWrites()
{
    QFETCH(QString, meter);
    QFETCH(int, zones);
    QFETCH(QByteArray, record);
    QFETCH(QStringList, commands);
    QFETCH(QString, refusal);
    QFETCH(QColor, colour);
    Page t;
    t.select(meter);
    t.w.findChild<QCheckBox *>(QStringLiteral("cbDisplayAuto"))->setChecked(true);
    QVERIFY(t.writeFile(ztf(zones, record)));
    t.trigger("actLoadCalendarFile");
    // The table of the file, whatever the meter.
    QCOMPARE(t.calendar->rowCount(), zones);
    t.click("pbSaveCalendar");
    if (commands.isEmpty()) {
        QVERIFY(t.sent.isEmpty());
        QCOMPARE(t.logged.value(0), refusal);
        QCOMPARE(t.colours.value(0), colour);
        return;
    }
    QCOMPARE(t.sent.size(), 1);
    QCOMPARE(t.sent[0].size(), 13);
    QCOMPARE(t.sent[0].first(), commands[0]);
    QCOMPARE(t.sent[0].last(), commands[1]);
    QCOMPARE(t.logged.value(0), QStringLiteral("Сохранение тарифного рассписания"));

    // An administrator cannot see the box: no display write.
    t.w.loadComplate(45, {}, 0);
    t.w.setSession(0, 1, QByteArray(6, '\xe1'));
    t.click("pbSaveCalendar");
    QCOMPARE(t.sent.size(), 2);
    QCOMPARE(t.sent[1].size(), 12);
}

void TestTariffPage::copies_data()
{
    QTest::addColumn<int>("month");
    QTest::addColumn<bool>("all");
    QTest::addColumn<QList<int>>("changed");
    QTest::addColumn<QString>("line");
    const QString season =
        QStringLiteral("Тарифное расписание скопировано с текущего месяца на весь сезон: ");
    QTest::newRow("January") << 0 << false << QList<int>{0, 1, 11} << season + "зима";
    QTest::newRow("February") << 1 << false << QList<int>{0, 1, 11} << season + "зима";
    QTest::newRow("March") << 2 << false << QList<int>{2, 3, 4} << season + "весна";
    QTest::newRow("August") << 7 << false << QList<int>{5, 6, 7} << season + "лето";
    QTest::newRow("November") << 10 << false << QList<int>{8, 9, 10} << season + "осень";
    QTest::newRow("December") << 11 << false << QList<int>{0, 1, 11} << season + "зима";
    QTest::newRow("June to all") << 5 << true << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}
                                 << "Тарифное расписание скопировано с текущего месяца на все";
}

void TestTariffPage::copies()
{
    QFETCH(int, month);
    QFETCH(bool, all);
    QFETCH(QList<int>, changed);
    QFETCH(QString, line);
    Page t;
    t.select(QStringLiteral("450.22R"));
    t.months->setCurrentIndex(month);
    t.calendar->setData(t.calendar->index(15, 1), QStringLiteral("1:2"));
    t.calendar->setData(t.calendar->index(15, 4), QStringLiteral("8"));
    t.trigger(all ? "actCopyToAllMonths" : "actCopyToSeason");
    QCOMPARE(t.logged, QStringList{line});
    QCOMPARE(t.colours, QList<QColor>{QColor(50, 50, 50)});
    QList<int> found;
    for (int m = 0; m < 12; ++m) {
        t.months->setCurrentIndex(m);
        if (t.calendar->index(15, 1).data() == QStringLiteral("01:02") &&
            t.calendar->index(15, 4).data() == QStringLiteral("8"))
            found << m;
    }
    QCOMPARE(found, changed);
}

void TestTariffPage::scheduleFile()
{
    Page t;
    t.select(QStringLiteral("210.1"));
    t.months->setCurrentIndex(11);
    t.calendar->setData(t.calendar->index(7, 1), QStringLiteral("23:58"));
    t.calendar->setData(t.calendar->index(7, 5), QStringLiteral("-"));
    t.trigger("actSaveCalendarFile");
    QCOMPARE(t.asked, QStringList{"Сохранение файла|Zarom tariff file (*.ztf)"});
    const QByteArray file = t.readFile();
    QCOMPARE(file.size(), 580);
    QCOMPARE(file.left(4).toHex(), QByteArray("5a540108"));
    // December's last zone: 23:58, tariff 1 three days a week, Sundays unset.
    QCOMPARE(file.right(6).toHex(), QByteArray("173a000000ff"));

    // Back in, after the table was changed.
    t.calendar->setData(t.calendar->index(7, 1), QStringLiteral("1:1"));
    t.trigger("actLoadCalendarFile");
    QCOMPARE(t.asked.last(), QStringLiteral("Загрузка файла|Zarom tariff file (*.ztf)"));
    QCOMPARE(t.calendar->index(7, 1).data().toString(), QStringLiteral("23:58"));
    QCOMPARE(t.calendar->index(7, 5).data().toString(), QStringLiteral("-"));
    QVERIFY(t.logged.isEmpty());

    // Cancelled: nothing written.
    t.fileName.clear();
    t.calendar->setData(t.calendar->index(7, 1), QStringLiteral("1:1"));
    t.trigger("actSaveCalendarFile");
    t.fileName = t.work.filePath(QStringLiteral("schedule"));
    QCOMPARE(t.readFile(), file);
}

void TestTariffPage::refusedFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("reason");
    const QByteArray good = ztf(16, "0b0c07070707");
    QTest::newRow("version 2") << QByteArray(good).replace(2, 1, "\x02")
                               << "неизвестная версия файла: 2";
    QTest::newRow("second magic letter")
        << QByteArray(good).replace(1, 1, "X") << "файл не является файлом тарифного расписания";
    QTest::newRow("zone count 12")
        << QByteArray(good).replace(3, 1, "\x0c") << "неверное число зон в файле: 12";
    QTest::newRow("truncated") << good.left(1000)
                               << "файл короче, чем указано в его заголовке (1000 из 1156 байт)";
}

void TestTariffPage::refusedFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, reason);
    Page t;
    t.select(QStringLiteral("210.1"));
    t.calendar->setData(t.calendar->index(0, 1), QStringLiteral("6:30"));
    const QStringList before = t.column(t.calendar, 1);
    QVERIFY(t.writeFile(file));
    t.trigger("actLoadCalendarFile");
    QCOMPARE(t.calendar->rowCount(), 8);
    QCOMPARE(t.column(t.calendar, 1), before);
    QCOMPARE(t.logged, QStringList{"Тарифное расписание не загружено из файла " + t.fileName +
                                   ": " + reason});
    QCOMPARE(t.colours, QList<QColor>{QColor(255, 50, 50)});
    // Not half of it either: the three-phase table is still zero-filled.
    t.select(QStringLiteral("450.22R"));
    QCOMPARE(t.calendar->rowCount(), 16);
    QCOMPARE(t.column(t.calendar, 1), QStringList(16, QStringLiteral("00:00")));
}

void TestTariffPage::holidaysFile()
{
    Page t;
    QVERIFY(t.writeFile("1\n5\n7\n"));
    t.trigger("actLoadHolidaysFile");
    QCOMPARE(t.asked, QStringList{"Загрузка файла|Holidays file (*.hcf)"});
    QCOMPARE(t.column(t.holidays, 1).mid(0, 3), (QStringList{"1", "7", ""}));
    QCOMPARE(t.column(t.holidays, 2).mid(0, 3), (QStringList{"5", "", ""}));
    QCOMPARE(t.column(t.holidays, 0).mid(18), (QStringList{"19", "20"}));

    t.holidays->setData(t.holidays->index(19, 2), QStringLiteral("12"));
    t.trigger("actSaveHolidaysFile");
    QCOMPARE(t.asked.last(), QStringLiteral("Сохранение файла|Holidays file (*.hcf)"));
    // Edited, the table was made whole: "-" for every empty cell.
    QCOMPARE(t.readFile(), "1\n5\n7\n" + QByteArray("-\n").repeated(36) + "12\n");
}

QTEST_MAIN(TestTariffPage)
#include "tst_tariffpage.moc"
