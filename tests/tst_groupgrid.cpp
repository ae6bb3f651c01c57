// The status grid of group work.
#include "core/groupgrid.h"

#include <QtTest>

Q_DECLARE_METATYPE(QList<groupgrid::Cell>)

namespace {
const QString kOpen = QStringLiteral("<table border='0'><tr>");
const QString kMiddle = QStringLiteral("</tr><tr>");
const QString kClose = QStringLiteral("</tr></table>");

QString td(const char *colour, const QString &text)
{
    return QStringLiteral("<td width='35' bgcolor='%1'><div align='center'>%2</div></td>")
        .arg(QLatin1String(colour), text);
}

// `n` OK cells labelled from `first` on.
QList<groupgrid::Cell> okCells(int n, int first = 1)
{
    QList<groupgrid::Cell> cells;
    for (int i = 0; i < n; ++i)
        cells.append({first + i, 0});
    return cells;
}

QString okTable(int first, int n)
{
    QString labels, words;
    for (int i = 0; i < n; ++i) {
        labels += td("#bbffbb", QString::number(first + i));
        words += td("#bbffbb", QStringLiteral("OK"));
    }
    return kOpen + labels + kMiddle + words + kClose;
}
} // namespace

class TestGroupGrid : public QObject
{
    Q_OBJECT
private slots:
    void grid_data();
    void grid();
};

void TestGroupGrid::grid_data()
{
    QTest::addColumn<QList<groupgrid::Cell>>("cells");
    QTest::addColumn<QString>("html");

    const QString empty = kOpen + kMiddle + kClose;
    QTest::newRow("none: one empty table") << QList<groupgrid::Cell>() << empty;
    QTest::newRow("each status, labels as given")
        << QList<groupgrid::Cell>{{3, 0}, {255, 1}, {17, 2}, {1, 10}, {24, 7}}
        << kOpen + td("#bbffbb", "3") + td("#99dceb", "255") + td("#ffbf58", "17") +
               td("#ffaaaa", "1") + td("#ffaaaa", "24") + kMiddle + td("#bbffbb", "OK") +
               td("#99dceb", "SKIP") + td("#ffbf58", "WARN") + td("#ffaaaa", "ERR") +
               td("#ffaaaa", "ERR") + kClose;
    QTest::newRow("11") << okCells(11) << okTable(1, 11);
    QTest::newRow("12: a full table and an empty one") << okCells(12) << okTable(1, 12) + empty;
    QTest::newRow("13: 12 and 1") << okCells(13, 5) << okTable(5, 12) + okTable(17, 1);
    QTest::newRow("24: two full tables and an empty one")
        << okCells(24) << okTable(1, 12) + okTable(13, 12) + empty;
}

void TestGroupGrid::grid()
{
    QFETCH(QList<groupgrid::Cell>, cells);
    QFETCH(QString, html);
    QCOMPARE(groupgrid::html(cells), html);
}

QTEST_APPLESS_MAIN(TestGroupGrid)
#include "tst_groupgrid.moc"
