// Energy slices, the archive and the event lists of both meter series read through the real main
// window and engine from the virtual meter line, and exported: what the tables show must agree
// with what the meters are started with.
#include "support/sessionrig.h"

#include "config/controlpaneldialog.h"
#include "link/logcolours.h"
#include "meters/devicelistitem.h"
#include "widgets/profilechart.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableView>
#include <QtTest>

namespace {

// 5 A at 30 degrees on every phase of 230 V: 995.9 W and 575 var a phase.
const QStringList kLine{"--meter", "210.1,addr=1",   "--meter", "450.22R,addr=2",
                        "--meter", "450.42R,addr=3", "--load",  "5:30"};

double number(const QString &cell)
{
    bool ok = false;
    const double v = QString(cell).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    return ok ? v : qQNaN();
}

} // namespace

class TestRecordSim : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void records_data();
    void records();
    void lateReply_data();
    void lateReply();

private:
    bool finished() const
    {
        return QTest::qWaitFor([this] { return !m_config->batchRunning(); }, 30000);
    }
    void click(const char *button)
    {
        m_config->findChild<QPushButton *>(QLatin1String(button))->click();
    }
    QList<QStringList> rows(const char *table) const
    {
        QList<QStringList> out;
        const QAbstractItemModel *m =
            m_config->findChild<QTableView *>(QLatin1String(table))->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < m->columnCount(); ++c)
                row << m->index(r, c).data().toString();
            out << row;
        }
        return out;
    }
    QStringList column(const char *table, int c) const
    {
        QStringList out;
        const QAbstractItemModel *m =
            m_config->findChild<QTableView *>(QLatin1String(table))->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->index(r, c).data().toString();
        return out;
    }
    // Exports with `button`; the file's lines.
    QList<QByteArray> exported(const char *button, const QString &name)
    {
        m_saveAs = m_rig->work.filePath(name);
        click(button);
        QFile f(m_saveAs);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> lines = f.readAll().split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    std::unique_ptr<SessionRig> m_rig;
    ControlPanelDialog *m_config = nullptr;
    QString m_saveAs;
};

void TestRecordSim::initTestCase()
{
    m_rig = std::make_unique<SessionRig>();
    QVERIFY(m_rig->startLine(kLine));
    QVERIFY(m_rig->openTcp());
    m_config = m_rig->window().configurator();
    m_config->askSaveFile = [this](const QString &, const QString &, const QString &) {
        return m_saveAs;
    };
}

void TestRecordSim::cleanupTestCase()
{
    m_rig.reset();
}

void TestRecordSim::records_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("registers");   // per slice
    QTest::addColumn<double>("active");   // kWh in 30 minutes
    QTest::addColumn<double>("reactive"); // 0: none
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<QStringList>("texts");
    const QStringList messages{"Сброс на заводские установки", "Изменение тарифного расписания",
                               "Изменение праздничного расписания"};
    QTest::newRow("single-phase") << 1 << 5 << 0.498 << 0.0
                                  << QStringList{"M0", "M1", "M2", "M3", "E0", "W0"}
                                  << messages + QStringList{"Установка даты/времени", "Ошибка ЧРВ",
                                                            "Открытие клеммной крышки"};
    const QStringList three = messages + QStringList{"Инициализация списков событий", "Ошибка ЧРВ",
                                                     "Выключение счетчика", "Включение счетчика"};
    const QStringList threeNumbers{"M0", "M1", "M2", "M3", "E0", "W0", "W1"};
    QTest::newRow("three-phase, hundredths") << 2 << 18 << 1.494 << 0.8625 << threeNumbers << three;
    QTest::newRow("three-phase .42, thousandths")
        << 3 << 18 << 1.494 << 0.8625 << threeNumbers << three;
}

void TestRecordSim::records()
{
    QFETCH(int, address);
    QFETCH(int, registers);
    QFETCH(double, active);
    QFETCH(double, reactive);
    QFETCH(QStringList, numbers);
    QFETCH(QStringList, texts);
    deviceListItem *row = m_rig->addMeter(address);
    QVERIFY(row);
    QTest::mouseClick(row, Qt::LeftButton);
    QTest::mouseDClick(row, Qt::LeftButton);
    QVERIFY(finished());
    QVERIFY(row->record().sessionOpen);

    // Slices: 10 daily and 6 monthly at start; each total is the sum of its tariffs.
    const QRegularExpression stamp(QStringLiteral("^\\d\\d\\.\\d\\d\\.20\\d\\d$"));
    const struct
    {
        const char *button;
        int rows;
    } slices[] = {{"pbLoadSliceDay", 10}, {"pbLoadSliceMonth", 6}};
    for (const auto &s : slices) {
        click(s.button);
        QVERIFY(finished());
        const QStringList dates = column("tableSlice", 0);
        QVERIFY2(dates.size() >= s.rows, qPrintable(dates.join(' ')));
        QVERIFY2(stamp.match(dates.first()).hasMatch(), qPrintable(dates.first()));
        const int activeTariffs = registers == 5 ? 4 : 8;
        for (int sum = 2; sum < 2 + registers; sum += activeTariffs + 1) {
            double tariffs = 0;
            for (int t = 1; t <= activeTariffs; ++t)
                tariffs += number(column("tableSlice", sum + t).last());
            const QString total = column("tableSlice", sum).last();
            QVERIFY2(!total.contains(QLatin1Char('.')), qPrintable(total));
            // The meter rounds and scales each register on its own: a hundredth or two apart
            // per register, never more.
            QVERIFY2(qAbs(number(total) - tariffs) < 0.02 * (activeTariffs + 1),
                     qPrintable(total + QStringLiteral(" / ") + QString::number(tariffs)));
        }
    }
    const QList<QByteArray> sliceFile = exported("pbSliceExport", QStringLiteral("slices.csv"));
    QCOMPARE(sliceFile.size(), 1 + column("tableSlice", 0).size());
    QVERIFY(sliceFile[0].startsWith(QString("Дата;Время;").toUtf8()));
    QCOMPARE(sliceFile[1].count(';'), registers + 2);

    // The archive: 48 records of 30 minutes at start; the last 8 read.
    click("pbLoadArchive");
    QVERIFY(finished());
    QCOMPARE(m_config->findChild<QComboBox *>("cbArchivePeriod")->currentText(), "30");
    auto *end = m_config->findChild<QSpinBox *>("sbArchiveEnd");
    QVERIFY2(end->value() >= 48, qPrintable(QString::number(end->value())));
    m_config->findChild<QSpinBox *>("sbArchiveStart")->setValue(end->value() - 8);
    click("pbArchiveRead");
    QVERIFY(finished());
    QCOMPARE(column("tableArchive", 2).first(), QString::number(end->value() - 8));
    QCOMPARE(column("tableArchive", 2).size(), 8);
    // The meter's energy of a period is the reference's within 2 %, rounded to its units.
    for (const QString &cell : column("tableArchive", 3))
        QVERIFY2(qAbs(number(cell) - active) < active * 0.035, qPrintable(cell));
    if (reactive > 0)
        for (const QString &cell : column("tableArchive", 4))
            QVERIFY2(qAbs(number(cell) - reactive) < reactive * 0.035, qPrintable(cell));
    QCOMPARE(m_config->findChild<ProfileChart *>("chartArchive")->samples().size(), 8);
    const QList<QByteArray> archiveFile =
        exported("pbArchiveExport", QStringLiteral("archive.csv"));
    QCOMPARE(archiveFile.size(), 9);
    QCOMPARE(archiveFile[0],
             QString(reactive > 0 ? "Дата;Время;Номер;Акт.энер., кВт/ч;Реакт.энер., "
                                    "кВт/ч;"
                                  : "Дата;Время;Номер;Энергия, кВт/ч;")
                 .toUtf8());

    click("pbLoadList");
    QVERIFY(finished());
    QCOMPARE(column("tableRecords", 2), numbers);
    QCOMPARE(column("tableRecords", 4), texts);
    QVERIFY(m_rig->hasLine(QStringLiteral("Чтение записей"), logcolour::info));
}

void TestRecordSim::lateReply_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QStringList>("faults");
    // The channel waits 5 s: the first record's reply comes after its repeat's, or between the
    // repeat and its reply; every other record takes 200 ms, so the read is still on then. The
    // two replies stay most of a second apart, so a busy machine never reads them as one packet.
    QTest::newRow("daily slices, the repeat answered first")
        << QByteArray("pbLoadSliceDay") << QByteArray("tableSlice")
        << QStringList{"stale:6000@fn=0c,count=1", "late:200@fn=0c"};
    QTest::newRow("daily slices, the late reply first")
        << QByteArray("pbLoadSliceDay") << QByteArray("tableSlice")
        << QStringList{"stale:5500@fn=0c,count=1", "late:1500@fn=0c,count=1", "late:200@fn=0c"};
    QTest::newRow("archive") << QByteArray("pbArchiveRead") << QByteArray("tableArchive")
                             << QStringList{"stale:6000@fn=07,count=1", "late:200@fn=07"};
    QTest::newRow("events") << QByteArray("pbLoadList") << QByteArray("tableRecords")
                            << QStringList{"stale:6000@fn=0b,count=1", "late:200@fn=0b"};
}

// Of two replies to one record, one is the record and the other is dropped: no row is taken for
// the one after it.
void TestRecordSim::lateReply()
{
    QFETCH(QByteArray, button);
    QFETCH(QByteArray, table);
    QFETCH(QStringList, faults);
    deviceListItem *row = m_rig->addMeter(1);
    QVERIFY(row);
    QTest::mouseClick(row, Qt::LeftButton);
    QTest::mouseDClick(row, Qt::LeftButton);
    QVERIFY(finished());
    if (button == "pbArchiveRead") {
        click("pbLoadArchive");
        QVERIFY(finished());
        auto *end = m_config->findChild<QSpinBox *>("sbArchiveEnd");
        m_config->findChild<QSpinBox *>("sbArchiveStart")->setValue(end->value() - 5);
    }
    click(button.constData());
    QVERIFY(finished());
    const QList<QStringList> clean = rows(table.constData());
    QVERIFY(clean.size() >= 5);

    const QString dropped = QStringLiteral("Внимание, запоздавший ответ на повторенный запрос "
                                           "отброшен");
    const qsizetype before = m_rig->lines(dropped).size();
    for (const QString &f : faults)
        QVERIFY(m_rig->line.command(QStringLiteral("fault ") + f));
    click(button.constData());
    QVERIFY(finished());
    QVERIFY(m_rig->line.command(QStringLiteral("faults off")));
    QCOMPARE(rows(table.constData()), clean);
    QCOMPARE(m_rig->lines(dropped).size(), before + 1);
    QVERIFY(m_rig->hasLine(dropped, QColor(255, 127, 40)));
    QVERIFY(m_rig->hasLine(QStringLiteral("Успешно завершено"), logcolour::success));
}

QTEST_MAIN(TestRecordSim)
#include "tst_recordsim.moc"
