// The pages "Энергия", "Архив" and "События" in the configurator, with the test playing the
// engine: what each button sends, and what the replies make of the tables, the log and the
// exported files. The vector diagram as it is drawn.
#include "support/workdir.h"

#include "config/controlpaneldialog.h"
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"
#include "widgets/diagram.h"
#include "widgets/profilechart.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QtMath>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

const QColor kRed(255, 50, 50);
const QColor kGrey(50, 50, 50);
const QByteArray kSessionReply = QByteArray::fromHex("080100");

QByteArray reply(const QByteArray &head, const QByteArray &data)
{
    const QByteArray d = QByteArray::fromHex(data);
    return QByteArray::fromHex(head) + char(d.size()) + d;
}

struct Batch
{
    int kind;
    QStringList commands;
};

struct Pages
{
    explicit Pages(const QString &meterName)
    {
        w.setSession(0, 1, QByteArray(6, '\xe1'));
        QObject::connect(&w, &ControlPanelDialog::init_exchange_device, &w,
                         [this](deviceListItem *, int kind, QStringList commands, int) {
                             sent.append({kind, commands});
                             return true;
                         });
        QObject::connect(&w, &ControlPanelDialog::log, &w,
                         [this](QString text, QColor colour, bool, bool) {
                             logged << text;
                             colours << colour;
                         });
        w.askYesNo = [this](const QString &title, const QString &text) {
            asked << title + QLatin1Char('|') + text;
            return yes;
        };
        w.askSaveFile = [this](const QString &title, const QString &folder, const QString &filter) {
            asked << title + QLatin1Char('|') + filter;
            return folder == QDir::currentPath() ? saveAs : QString();
        };
        DeviceRecord r;
        r.address = 1;
        r.version = meterName;
        w.meterList()->addItem(r);
        deviceListItem *row = w.meterList()->itemAt(0);
        row->record().current = true;
        w.meterList()->selected(row);
    }
    template <typename T = QWidget> T *find(const char *name)
    {
        return w.findChild<T *>(QLatin1String(name));
    }
    void click(const char *button) { find<QPushButton>(button)->click(); }
    // Ends the last batch with these replies (those after the session-open command).
    void finish(QList<QByteArray> replies, int status = 0)
    {
        const Batch &b = sent.last();
        if (b.commands.value(0).startsWith(QLatin1String("08 ")))
            replies.prepend(kSessionReply);
        w.loadComplate(b.kind, replies, status);
    }
    QStringList column(const char *table, int c)
    {
        QStringList out;
        const QAbstractItemModel *m = find<QTableView>(table)->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->index(r, c).data().toString();
        return out;
    }
    QStringList header(const char *table)
    {
        QStringList out;
        const QAbstractItemModel *m = find<QTableView>(table)->model();
        for (int c = 0; c < m->columnCount(); ++c)
            out << m->headerData(c, Qt::Horizontal).toString();
        return out;
    }
    QByteArray exported(const char *button)
    {
        saveAs = work.filePath(QStringLiteral("out.csv"));
        click(button);
        QFile f(saveAs);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    WorkDir work;
    ControlPanelDialog w;
    QList<Batch> sent;
    QStringList logged;
    QList<QColor> colours;
    QStringList asked;
    bool yes = true;
    QString saveAs;
};

// 13:30 on 5 March 2024 as a slice stores it, then a sum of 1234.56 kWh and zero tariffs.
const char kSliceRecord1[] = "001e0d050318"
                             "65432100"
                             "00000000000000000000000000000000";

} // namespace

class TestRecordPages : public QObject
{
    Q_OBJECT
private slots:
    void slices_data();
    void slices();
    void sliceClear_data();
    void sliceClear();
    void archive();
    void archiveInit();
    void exportFailure_data();
    void exportFailure();
    void events_data();
    void events();
    void eventClear_data();
    void eventClear();
    void listSizes_data();
    void listSizes();
    void partialRead_data();
    void partialRead();
    void clearEmpties_data();
    void clearEmpties();
    void diagramCurrent();
};

void TestRecordPages::slices_data()
{
    QTest::addColumn<QString>("meter");
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QByteArray>("size");
    QTest::addColumn<QStringList>("records"); // commands of the follow-up batch
    QTest::addColumn<int>("columns");
    QTest::newRow("empty list") << "210.1" << QByteArray("pbLoadSliceDay") << reply("0642", "0000")
                                << QStringList() << 7;
    QTest::newRow("daily, 2 records")
        << "210.1" << QByteArray("pbLoadSliceDay") << reply("0642", "0200")
        << QStringList{"0c 42 0 00", "0c 42 1 00"} << 7;
    QTest::newRow("monthly, a one-byte size")
        << "210.1" << QByteArray("pbLoadSliceMonth") << reply("0643", "02")
        << QStringList{"0c 43 0 00", "0c 43 1 00"} << 7;
    QTest::newRow("three-phase columns")
        << "450.22R" << QByteArray("pbLoadSliceDay") << reply("0642", "0100")
        << QStringList{"0c 42 0 00"} << 20;
}

void TestRecordPages::slices()
{
    QFETCH(QString, meter);
    QFETCH(QByteArray, button);
    QFETCH(QByteArray, size);
    QFETCH(QStringList, records);
    QFETCH(int, columns);
    Pages t(meter);
    t.click(button);
    QCOMPARE(t.sent.size(), 1);
    QVERIFY(!t.find("frSlice")->isEnabled());
    t.finish({size});
    QVERIFY(t.find("frSlice")->isEnabled() == records.isEmpty());
    if (records.isEmpty()) {
        QCOMPARE(t.logged.last(), "Список пуст");
        QCOMPARE(t.colours.last(), kGrey);
        QCOMPARE(t.sent.size(), 1);
        QCOMPARE(t.column("tableSlice", 0), QStringList());
        return;
    }
    // The follow-up carries no session-open command.
    QCOMPARE(t.sent.size(), 2);
    QCOMPARE(t.sent[1].commands, records);
    QByteArray record = QByteArray(kSliceRecord1);
    if (columns == 20)
        record += QByteArray(13 * 8, '0');
    QList<QByteArray> replies(records.size(), reply("0c42", record.constData()));
    replies[0] = reply("0c42", "001e0d050318"
                               "6a432100");
    t.finish(replies);
    QVERIFY(t.find("frSlice")->isEnabled());
    QCOMPARE(t.header("tableSlice").size(), columns);
    QCOMPARE(t.header("tableSlice").mid(0, 3), columns == 7
                                                   ? QStringList({"Дата", "Время", "Сумма"})
                                                   : QStringList({"Дата", "Время", "Акт. сумма"}));
    QCOMPARE(t.column("tableSlice", 0).size(), records.size());
    QCOMPARE(t.column("tableSlice", 2).first(), "corrupted");
    if (records.size() > 1)
        QCOMPARE(t.column("tableSlice", 2).last(), "1234,56");
}

void TestRecordPages::sliceClear_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QStringList>("commands"); // after the session-open command
    const QString day = QStringLiteral(
        "Внимание!|<p>Вы действительно хотите очистить список <br>энергии в дневных интервалах?");
    QTest::newRow("daily, yes") << QByteArray("pbClearSliceDay") << true << day
                                << QStringList{"05 42"};
    QTest::newRow("daily, no") << QByteArray("pbClearSliceDay") << false << day << QStringList();
    QTest::newRow("monthly, yes") << QByteArray("pbClearSliceMonth") << true
                                  << QStringLiteral("Внимание!|<p>Вы действительно хотите "
                                                    "очистить список <br>энергии в месячных "
                                                    "интервалах?")
                                  << QStringList{"05 43"};
}

void TestRecordPages::sliceClear()
{
    QFETCH(QByteArray, button);
    QFETCH(bool, yes);
    QFETCH(QString, question);
    QFETCH(QStringList, commands);
    Pages t(QStringLiteral("210.1"));
    t.yes = yes;
    t.click(button);
    QCOMPARE(t.asked, QStringList{question});
    QCOMPARE(t.sent.size(), commands.isEmpty() ? 0 : 1);
    if (!commands.isEmpty())
        QCOMPARE(t.sent[0].commands.mid(1), commands);
}

void TestRecordPages::archive()
{
    Pages t(QStringLiteral("210.1"));
    t.click("pbLoadArchive");
    QCOMPARE(t.sent.last().commands.mid(1), (QStringList{"01 3d", "06 10"}));
    // A period of 7 minutes selects "30"; 2048 records.
    t.finish({reply("013d", "07"), reply("0610", "0008")});
    auto *start = t.find<QSpinBox>("sbArchiveStart");
    auto *end = t.find<QSpinBox>("sbArchiveEnd");
    QCOMPARE(t.find<QComboBox>("cbArchivePeriod")->currentText(), "30");
    QCOMPARE(start->value(), 0);
    QCOMPARE(end->value(), 2048);
    QCOMPARE(end->maximum(), 2048);

    start->setValue(10);
    end->setValue(10);
    t.click("pbArchiveRead");
    QCOMPARE(t.sent.size(), 1);
    start->setValue(0);
    end->setValue(3);
    t.click("pbArchiveRead");
    QCOMPARE(t.sent.last().commands.mid(1), (QStringList{"07 10 0 0", "07 10 1 0", "07 10 2 0"}));
    t.finish({}, 1);

    start->setValue(12);
    end->setValue(13);
    t.click("pbArchiveRead");
    QCOMPARE(t.sent.last().kind, 20);
    QCOMPARE(t.sent.last().commands.mid(1), QStringList{"07 10 c 0"});
    // Record 12 ends at 13:30 on 5 March 2024 with 62 units.
    t.finish({reply("0710", "1e0d0503183e00")});
    QCOMPARE(t.find<ProfileChart>("chartArchive")->samples().size(), 1);
    QCOMPARE(t.find<ProfileChart>("chartArchive")->samples()[0].active, 0.0124);

    const QByteArray file = t.exported("pbArchiveExport");
    QCOMPARE(t.asked.last(), "Export data|CSV data files (*.csv)");
    QCOMPARE(file,
             QString("Дата;Время;Номер;Энергия, кВт/ч;\n05.03.2024;13:30;12;0,0124;\n").toUtf8());
    QCOMPARE(t.logged.last(), "Экспорт данных в файл " + t.saveAs + " завершен!");

    // A cell the user typed as a formula goes out as text.
    QAbstractItemModel *model = t.find<QTableView>("tableArchive")->model();
    model->setData(model->index(0, 2), QStringLiteral("=1+2"));
    QCOMPARE(t.exported("pbArchiveExport").split('\n').value(1), "05.03.2024;13:30;'=1+2;0,0124;");
    QCOMPARE(t.sent.size(), 3);
}

void TestRecordPages::archiveInit()
{
    Pages t(QStringLiteral("450.42R"));
    t.find<QComboBox>("cbArchivePeriod")->setCurrentIndex(3);
    t.yes = false;
    t.click("pbArchiveInit");
    QCOMPARE(t.asked, QStringList{"Внимание!|<p>Вы действительно хотите произвести инициализацию "
                                  "профиля мощности?<br>Все записи будут удалены."});
    QVERIFY(t.sent.isEmpty());
    t.yes = true;
    t.click("pbArchiveInit");
    QCOMPARE(t.sent.last().kind, 21);
    QCOMPARE(t.sent.last().commands.mid(1), (QStringList{"02 3d 14", "05 10"}));
    t.finish({reply("023d", ""), reply("0510", "")});
    // The parameters are read again.
    QCOMPARE(t.sent.last().kind, 10);
    QCOMPARE(t.sent.size(), 2);
}

void TestRecordPages::exportFailure_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("sizeLimit");
    QTest::newRow("no such folder") << "missing/out.csv" << false;
    QTest::newRow("the disk fills up midway") << "old.csv" << true;
}

void TestRecordPages::exportFailure()
{
    QFETCH(QString, name);
    QFETCH(bool, sizeLimit);
    Pages t(QStringLiteral("210.1"));
    t.click("pbLoadSliceDay");
    t.finish({reply("0642", "2000")});
    t.finish(QList<QByteArray>(32, reply("0c42", kSliceRecord1)));
    QCOMPARE(t.column("tableSlice", 0).size(), 32);

    const QByteArray old = "Дата;\n";
    QFile previous(t.work.filePath(QStringLiteral("old.csv")));
    QVERIFY(previous.open(QIODevice::WriteOnly) && previous.write(old) == old.size());
    previous.close();
    t.saveAs = t.work.filePath(name);
    rlimit before{};
    if (sizeLimit) {
        // No file may grow beyond 200 bytes: the export is some 2 kB.
        signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &before), 0);
        rlimit limit = before;
        limit.rlim_cur = 200;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    t.click("pbSliceExport");
    if (sizeLimit)
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &before), 0);

    QVERIFY(t.logged.contains("Ошибка записи файла"));
    QCOMPARE(t.colours[t.logged.indexOf("Ошибка записи файла")], kRed);
    QVERIFY(!t.logged.last().startsWith("Экспорт данных"));
    QVERIFY(previous.open(QIODevice::ReadOnly));
    QCOMPARE(previous.readAll(), old);
    // Nothing half-written is left behind.
    QCOMPARE(QDir(t.work.path()).entryList(QDir::Files), QStringList{"old.csv"});
}

void TestRecordPages::events_data()
{
    QTest::addColumn<QByteArray>("sizes"); // errors, warnings, messages
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QStringList>("numbers");
    QTest::newRow("all empty") << QByteArray("000000") << QStringList() << QStringList();
    QTest::newRow("two messages and an error")
        << QByteArray("010002") << QStringList{"0b 3b 0 00", "0b 3b 1 00", "0b 12 0 00"}
        << QStringList{"M0", "M1", "E0"};
    QTest::newRow("a message and a warning")
        << QByteArray("000101") << QStringList{"0b 3b 0 00", "0b 3c 0 00"}
        << QStringList{"M0", "W0"};
}

void TestRecordPages::events()
{
    QFETCH(QByteArray, sizes);
    QFETCH(QStringList, records);
    QFETCH(QStringList, numbers);
    Pages t(QStringLiteral("210.1"));
    t.click("pbLoadList");
    QCOMPARE(t.sent.last().commands.mid(1), (QStringList{"06 12", "06 3c", "06 3b"}));
    const QByteArray n = QByteArray::fromHex(sizes);
    t.finish({reply("0612", QByteArray(1, n[0]).toHex() + "00"),
              reply("063c", QByteArray(1, n[1]).toHex() + "00"),
              reply("063b", QByteArray(1, n[2]).toHex() + "00")});
    if (records.isEmpty()) {
        QCOMPARE(t.logged.last(), "Список пуст");
        QCOMPARE(t.sent.size(), 1);
        QVERIFY(t.find("frList")->isEnabled());
        return;
    }
    QCOMPARE(t.sent.size(), 2);
    QCOMPARE(t.sent[1].kind, 19);
    QCOMPARE(t.sent[1].commands, records);
    QList<QByteArray> replies;
    for (const QString &c : records)
        replies << reply(("0b" + c.mid(3, 2)).toLatin1(), "071e0d0503180440");
    t.finish(replies);
    QCOMPARE(t.column("tableRecords", 2), numbers);
    QCOMPARE(t.column("tableRecords", 0).first(), "5.3.2024");
    QCOMPARE(t.column("tableRecords", 4).first(),
             "Изменение тарифного расписания, установка даты/времени");
    QCOMPARE(t.header("tableRecords"), (QStringList{"Дата", "Время", "Номер", "Код", "Сообщения"}));
}

void TestRecordPages::eventClear_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("rows"); // left in the table
    QTest::newRow("messages, done") << QByteArray("pbClearMList") << true << 0 << "05 3b" << 0;
    QTest::newRow("errors, failed") << QByteArray("pbClearErrList") << true << 2 << "05 12" << 0;
    QTest::newRow("warnings, interrupted")
        << QByteArray("pbClearWarnList") << true << 1 << "05 3c" << 0;
    QTest::newRow("answered no") << QByteArray("pbClearMList") << false << 0 << "" << 1;
}

void TestRecordPages::eventClear()
{
    QFETCH(QByteArray, button);
    QFETCH(bool, yes);
    QFETCH(int, status);
    QFETCH(QString, command);
    QFETCH(int, rows);
    Pages t(QStringLiteral("210.1"));
    t.click("pbLoadList");
    t.finish({reply("0612", "00"), reply("063c", "00"), reply("063b", "01")});
    t.finish({reply("0b3b", "071e0d0503180440")});
    QCOMPARE(t.column("tableRecords", 2), QStringList{"M0"});
    t.yes = yes;
    const qsizetype before = t.sent.size();
    t.click(button);
    QCOMPARE(t.sent.size() - before, command.isEmpty() ? 0 : 1);
    if (!command.isEmpty()) {
        QCOMPARE(t.sent.last().commands.mid(1), QStringList{command});
        t.finish({}, status);
    }
    QCOMPARE(t.column("tableRecords", 0).size(), rows);
    QCOMPARE(t.header("tableRecords").size(), 5);
    QVERIFY(t.find("frList")->isEnabled());
}

void TestRecordPages::listSizes_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QList<QByteArray>>("sizes");
    QTest::addColumn<QStringList>("last"); // last command of each list read
    QTest::addColumn<int>("count");        // commands
    QTest::addColumn<QStringList>("notices");
    const QString held = QStringLiteral("Внимание! Счетчик хранит %1 записей, прочитаны будут "
                                        "первые 255");
    QTest::newRow("255 slices") << QByteArray("pbLoadSliceDay")
                                << QList<QByteArray>{reply("0642", "ff00")}
                                << QStringList{"0c 42 fe 00"} << 255 << QStringList();
    QTest::newRow("256 slices") << QByteArray("pbLoadSliceDay")
                                << QList<QByteArray>{reply("0642", "0001")}
                                << QStringList{"0c 42 fe 00"} << 255 << QStringList{held.arg(256)};
    QTest::newRow("300 slices") << QByteArray("pbLoadSliceMonth")
                                << QList<QByteArray>{reply("0643", "2c01")}
                                << QStringList{"0c 43 fe 00"} << 255 << QStringList{held.arg(300)};
    QTest::newRow("65535 slices") << QByteArray("pbLoadSliceDay")
                                  << QList<QByteArray>{reply("0642", "ffff")}
                                  << QStringList{"0c 42 fe 00"} << 255
                                  << QStringList{held.arg(65535)};
    // Errors, warnings, messages as asked; read messages, errors, warnings.
    QTest::newRow("events: 300 errors, 2 warnings, 256 messages")
        << QByteArray("pbLoadList")
        << QList<QByteArray>{reply("0612", "2c01"), reply("063c", "0200"), reply("063b", "0001")}
        << QStringList{"0b 3b fe 00", "0b 12 fe 00", "0b 3c 1 00"} << 255 + 255 + 2
        << QStringList{held.arg(256), held.arg(300)};
}

void TestRecordPages::listSizes()
{
    QFETCH(QByteArray, button);
    QFETCH(QList<QByteArray>, sizes);
    QFETCH(QStringList, last);
    QFETCH(int, count);
    QFETCH(QStringList, notices);
    Pages t(QStringLiteral("210.1"));
    t.click(button);
    const qsizetype before = t.logged.size();
    t.finish(sizes);
    QCOMPARE(t.sent.size(), 2);
    const QStringList commands = t.sent[1].commands;
    QCOMPARE(commands.size(), count);
    QStringList ends;
    for (int i = 0; i < commands.size(); ++i)
        if (i + 1 == commands.size() || commands[i + 1].left(5) != commands[i].left(5))
            ends << commands[i];
    QCOMPARE(ends, last);
    QStringList said;
    for (qsizetype i = before; i < t.logged.size(); ++i)
        if (t.logged[i].startsWith("Внимание")) {
            said << t.logged[i];
            QCOMPARE(t.colours[i], QColor(255, 127, 40));
        }
    QCOMPARE(said, notices);
    QVERIFY(!t.logged.contains("Список пуст"));
}

void TestRecordPages::partialRead_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QByteArray>("record"); // reply head of each record
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("read");
    QTest::addColumn<int>("total");
    QTest::addColumn<QStringList>("numbers"); // "Номер" of the rows kept, or first cells
    QTest::newRow("daily slices fail at record 3 of 4")
        << QByteArray("pbLoadSliceDay") << QByteArray("tableSlice") << QByteArray("0c42") << 2 << 3
        << 4 << QStringList{"01.03.2024", "02.03.2024", "03.03.2024"};
    QTest::newRow("archive interrupted after 2 of 5")
        << QByteArray("pbArchiveRead") << QByteArray("tableArchive") << QByteArray("0710") << 1 << 2
        << 5 << QStringList{"3", "4"};
    QTest::newRow("events fail at the first")
        << QByteArray("pbLoadList") << QByteArray("tableRecords") << QByteArray("0b3b") << 2 << 0
        << 3 << QStringList();
    QTest::newRow("events fail at the third of 3")
        << QByteArray("pbLoadList") << QByteArray("tableRecords") << QByteArray("0b3b") << 2 << 2
        << 3 << QStringList{"M0", "M1"};
}

void TestRecordPages::partialRead()
{
    QFETCH(QByteArray, button);
    QFETCH(QByteArray, table);
    QFETCH(QByteArray, record);
    QFETCH(int, status);
    QFETCH(int, read);
    QFETCH(int, total);
    QFETCH(QStringList, numbers);
    Pages t(QStringLiteral("210.1"));
    const QByteArray count = QByteArray(1, char(total)).toHex() + "00";
    if (button == "pbArchiveRead") {
        t.click("pbLoadArchive");
        t.finish({reply("013d", "1e"), reply("0610", "2000")});
        t.find<QSpinBox>("sbArchiveStart")->setValue(3);
        t.find<QSpinBox>("sbArchiveEnd")->setValue(3 + total);
        t.click("pbArchiveRead");
    } else {
        t.click(button);
        if (button == "pbLoadList")
            t.finish({reply("0612", "0000"), reply("063c", "0000"), reply("063b", count)});
        else
            t.finish({reply("0642", count)});
    }
    QCOMPARE(t.sent.last().commands.size() - (t.sent.last().kind == 20 ? 1 : 0), total);
    // Records of days 1, 2, ...; those not read are empty.
    QList<QByteArray> replies;
    for (int i = 0; i < total; ++i) {
        const QByteArray day = QByteArray(1, char(i + 1)).toHex();
        const QByteArray data = record == "0c42"   ? "001e0d" + day + "0318" + "65432100"
                                : record == "0710" ? "1e0d" + day + "03183e00"
                                                   : "071e0d" + day + "03180440";
        replies << (i < read ? reply(record, data) : QByteArray());
    }
    t.finish(replies, status);
    const QString said = QStringLiteral("Прочитано %1 из %2 записей").arg(read).arg(total);
    QVERIFY2(t.logged.contains(said), qPrintable(t.logged.join('\n')));
    QCOMPARE(t.colours[t.logged.lastIndexOf(said)], QColor(255, 127, 40));
    QCOMPARE(t.column(table, button == "pbLoadSliceDay" ? 0 : 2), numbers);
    // What was read can be exported.
    const char *exportButton = button == "pbLoadSliceDay"  ? "pbSliceExport"
                               : button == "pbArchiveRead" ? "pbArchiveExport"
                                                           : nullptr;
    if (exportButton)
        QCOMPARE(t.exported(exportButton).count('\n'), read + 1);
}

void TestRecordPages::clearEmpties_data()
{
    QTest::addColumn<QByteArray>("read");
    QTest::addColumn<QByteArray>("clear");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("rows"); // left
    QTest::newRow("daily list cleared")
        << QByteArray("pbLoadSliceDay") << QByteArray("pbClearSliceDay") << 0 << 0;
    QTest::newRow("daily clear refused")
        << QByteArray("pbLoadSliceDay") << QByteArray("pbClearSliceDay") << 2 << 1;
    QTest::newRow("monthly shown, daily cleared")
        << QByteArray("pbLoadSliceMonth") << QByteArray("pbClearSliceDay") << 0 << 1;
    QTest::newRow("monthly list cleared")
        << QByteArray("pbLoadSliceMonth") << QByteArray("pbClearSliceMonth") << 0 << 0;
    QTest::newRow("archive cleared")
        << QByteArray("pbArchiveRead") << QByteArray("pbArchiveInit") << 0 << 0;
    QTest::newRow("archive clear failed")
        << QByteArray("pbArchiveRead") << QByteArray("pbArchiveInit") << 2 << 1;
}

void TestRecordPages::clearEmpties()
{
    QFETCH(QByteArray, read);
    QFETCH(QByteArray, clear);
    QFETCH(int, status);
    QFETCH(int, rows);
    Pages t(QStringLiteral("210.1"));
    const bool archive = read == "pbArchiveRead";
    const char *table = archive ? "tableArchive" : "tableSlice";
    if (archive) {
        t.click("pbLoadArchive");
        t.finish({reply("013d", "1e"), reply("0610", "0100")});
        t.click("pbArchiveRead");
        t.finish({reply("0710", "1e0d0503183e00")});
    } else {
        t.click(read);
        t.finish({reply(read == "pbLoadSliceDay" ? "0642" : "0643", "0100")});
        t.finish({reply(read == "pbLoadSliceDay" ? "0c42" : "0c43", kSliceRecord1)});
    }
    QCOMPARE(t.column(table, 0).size(), 1);
    t.click(clear);
    t.finish({}, status);
    QCOMPARE(t.column(table, 0).size(), rows);
    QCOMPARE(t.header(table).size(), archive ? 4 : 7);
    if (archive)
        QCOMPARE(t.find<ProfileChart>("chartArchive")->samples().size(), rows);
}

void TestRecordPages::diagramCurrent()
{
    // 230 V and 5 A at 30 degrees on every phase; powers as the diagram gets them (W x 100 read
    // / 1000). Phase A's voltage points at 10 degrees, its current at 40.
    const double p = 230 * 5 * qCos(qDegreesToRadians(30.0)) / 10;
    const double q = 230 * 5 * qSin(qDegreesToRadians(30.0)) / 10;
    Diagram d;
    d.setData(230, 230, 230, p, p, p, q, q, q);
    const QImage image = d.grab().toImage();
    if (const QString dir = qEnvironmentVariable("METER_SHOTS"); !dir.isEmpty())
        image.save(dir + QStringLiteral("/diagram-scaled.png"));
    QCOMPARE(image.size(), QSize(321, 240));
    // Pixels back to the world square -220..220: margins 50 left, 20 right, 20 top, 40 bottom.
    const double sx = (321 - 70) / 440.0;
    const double sy = (240 - 60) / 440.0;
    int alongCurrent = 0;
    int reach = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (qRed(c) < qGreen(c) + 60 || qRed(c) < qBlue(c) + 60)
                continue; // not phase A's red
            const double wx = (x - 50) / sx - 220;
            const double wy = (240 - 40 - y) / sy - 220;
            const double r = std::hypot(wx, wy);
            const double angle = qRadiansToDegrees(std::atan2(wy, wx));
            if (r > 40 && qAbs(angle - 40) < 4) {
                ++alongCurrent;
                reach = qMax(reach, int(r));
            }
        }
    // A line of some hundred pixels at 40 degrees, reaching about as far as the voltages.
    QVERIFY2(alongCurrent > 60, qPrintable(QString::number(alongCurrent)));
    QVERIFY2(reach > 180 && reach < 240, qPrintable(QString::number(reach)));
}

QTEST_MAIN(TestRecordPages)
#include "tst_recordpages.moc"
