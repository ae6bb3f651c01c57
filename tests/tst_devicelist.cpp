#include "meters/devicelist.h"
#include "meters/devicelistitem.h"
#include "meters/rowlabel.h"
#include "support/devicerecords.h"

#include <QCheckBox>
#include <QImage>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <random>

namespace {
rowLabel *labelOf(deviceListItem *row)
{
    return row->findChild<rowLabel *>(QStringLiteral("lblText"));
}

QCheckBox *tickOf(deviceListItem *row)
{
    return row->findChild<QCheckBox *>(QStringLiteral("cbTick"));
}

QTimer *timerOf(deviceListItem *row)
{
    return row->findChild<QTimer *>(QStringLiteral("sessionTimer"));
}

const QColor kGreen(92, 170, 100);
const QColor kBlack(0, 0, 0);

// A shown list, tall enough for a few rows and some empty area below them.
struct ShownList
{
    deviceList list;
    ShownList()
    {
        list.resize(240, 200);
        list.show();
    }
    void add(std::initializer_list<int> addresses)
    {
        for (int a : addresses)
            QVERIFY(list.addItem(meterRecord(a)));
    }
};

// Every row at its place in list order, and the container just as tall as the rows.
void verifyLayout(const deviceList &list)
{
    // Rows take their places on the next turn of the event loop.
    QCoreApplication::sendPostedEvents();
    for (int i = 0; i < list.count(); ++i) {
        const deviceListItem *row = list.itemAt(i);
        QCOMPARE(row->geometry().topLeft(), QPoint(0, i * 20));
        QCOMPARE(row->height(), 20);
        // By address, then stand position.
        if (i > 0) {
            const DeviceRecord &a = list.itemAt(i - 1)->record(), &b = row->record();
            QVERIFY(a.address < b.address ||
                    (a.address == b.address && a.standAddr <= b.standAddr));
        }
    }
    QCOMPARE(list.widget()->height(), list.count() * 20);
}
} // namespace

class TestDeviceList : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void resourcesLinked();
    void emptyList();
    void addItems_data();
    void addItems();
    void rowGeometryAndText();
    void tickBoxes();
    void pressMakesCurrent();
    void rightClickOnOtherRow();
    void doubleClick();
    void pressOnEmptyArea();
    void remoteSelected();
    void removeFromOwnRightClick();
    void clearList();
    void sessionTimer();
    void restartSessionTimer();
    void closeAllSessions();
    void standMode();
    void relayoutAfterRecordChange();
    void deselectAndReemit();
    void rowsFollowWidth();
    void manyRowsInRandomOrder();
    void duplicatesInList_data();
    void duplicatesInList();
    void onlyRowsInViewShown();
};

void TestDeviceList::initTestCase()
{
    qRegisterMetaType<deviceListItem *>();
}

void TestDeviceList::resourcesLinked()
{
    for (const char *path : {":/img/plus.png", ":/img/del.png", ":/img/cc_ok.png",
                             ":/img/cc_err.png", ":/img/cc_warn.png", ":/img/pwd.png"}) {
        const QImage img(QString::fromLatin1(path));
        QVERIFY2(!img.isNull(), path);
        QVERIFY2(img.hasAlphaChannel(), path);
    }
}

void TestDeviceList::emptyList()
{
    deviceList list;
    QCOMPARE(list.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(list.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QVERIFY(list.widget());
    QCOMPARE(list.count(), 0);
    for (int i : {-1, 0, 1, 1000})
        QVERIFY(!list.itemAt(i));
    int index = 5;
    QVERIFY(!list.currentItem(&index));
    QCOMPARE(index, -1);
    QCOMPARE(list.currentIndex(), -1);
    QCOMPARE(list.tickedCount(), 0);
    QVERIFY(!list.tickedItem(0));
    QSignalSpy sel(&list, &deviceList::selectedItem);
    QVERIFY(!list.remoteSelected());
    QCOMPARE(sel.count(), 0);

    // Out of range on a filled list too.
    QVERIFY(list.addItem(meterRecord(1)));
    QVERIFY(list.itemAt(0));
    QVERIFY(!list.itemAt(1));
    QVERIFY(!list.itemAt(-1));
    list.setAllTicked(true);
    QVERIFY(list.tickedItem(0));
    QVERIFY(!list.tickedItem(1));
    QVERIFY(!list.tickedItem(-1));
}

void TestDeviceList::addItems_data()
{
    QTest::addColumn<QList<DeviceRecord>>("records");
    QTest::addColumn<QList<bool>>("accepted");
    QTest::addColumn<QStringList>("rows"); // label texts in display order

    const QByteArray sn123("000000000000123"), sn124("000000000000124");
    const QByteArray zeros("000000000000000");
    QTest::newRow("address 5 twice without serial")
        << QList<DeviceRecord>{meterRecord(5), meterRecord(5)} << QList<bool>{true, false}
        << QStringList{"<strong>5</strong> / -"};
    QTest::newRow("address 5 with serials 123 and 124")
        << QList<DeviceRecord>{meterRecord(5, sn123), meterRecord(5, sn124)}
        << QList<bool>{true, true}
        << QStringList{"000000000000123 / <strong>5</strong> / -",
                       "000000000000124 / <strong>5</strong> / -"};
    QTest::newRow("serial 123 again at address 7")
        << QList<DeviceRecord>{meterRecord(5, sn123), meterRecord(7, sn123)}
        << QList<bool>{true, false} << QStringList{"000000000000123 / <strong>5</strong> / -"};
    QTest::newRow("stand 255 at positions 2 and 1")
        << QList<DeviceRecord>{meterRecord(255, {}, 2, true), meterRecord(255, {}, 1, true),
                               meterRecord(255, {}, 2, true)}
        << QList<bool>{true, true, false}
        << QStringList{"<strong>255</strong> / 1 / -", "<strong>255</strong> / 2 / -"};
    QTest::newRow("all-zero serials equal")
        << QList<DeviceRecord>{meterRecord(5, zeros), meterRecord(5, zeros), meterRecord(5),
                               meterRecord(6, zeros)}
        << QList<bool>{true, false, false, true}
        << QStringList{"<strong>5</strong> / -", "<strong>6</strong> / -"};
    QTest::newRow("sorted by address")
        << QList<DeviceRecord>{meterRecord(9), meterRecord(3), meterRecord(7),
                               meterRecord(3, sn123), meterRecord(1)}
        << QList<bool>{true, true, true, true, true}
        << QStringList{"<strong>1</strong> / -", "<strong>3</strong> / -",
                       "000000000000123 / <strong>3</strong> / -", "<strong>7</strong> / -",
                       "<strong>9</strong> / -"};
    QTest::newRow("serial and plain meters sharing addresses")
        << QList<DeviceRecord>{meterRecord(5, sn123), meterRecord(5),        meterRecord(5, sn123),
                               meterRecord(6, sn123), meterRecord(5, zeros), meterRecord(7),
                               meterRecord(7, sn124), meterRecord(8, sn124)}
        << QList<bool>{true, true, false, false, false, true, true, false}
        << QStringList{"000000000000123 / <strong>5</strong> / -", "<strong>5</strong> / -",
                       "<strong>7</strong> / -", "000000000000124 / <strong>7</strong> / -"};
}

void TestDeviceList::addItems()
{
    QFETCH(QList<DeviceRecord>, records);
    QFETCH(QList<bool>, accepted);
    QFETCH(QStringList, rows);

    ShownList s;
    for (int i = 0; i < records.size(); ++i)
        QCOMPARE(s.list.addItem(records[i]), accepted[i]);
    QCOMPARE(s.list.count(), rows.size());
    for (int i = 0; i < rows.size(); ++i)
        QCOMPARE(labelOf(s.list.itemAt(i))->text(), rows[i]);
    verifyLayout(s.list);
}

void TestDeviceList::rowGeometryAndText()
{
    ShownList s;
    s.add({4});
    deviceListItem *row = s.list.itemAt(0);
    QCOMPARE(row->minimumSize(), QSize(10, 20));
    QCOMPARE(row->maximumSize(), QSize(2500, 20));
    QCOMPARE(row->width(), s.list.viewport()->width());
    QCOMPARE(tickOf(row)->geometry(), QRect(5, 0, 20, 20));
    QCOMPARE(labelOf(row)->geometry(), QRect(25, 0, row->width() - 25, 20));
    QCOMPARE(labelOf(row)->colour(), kBlack);

    DeviceRecord r = row->record();
    r.version = QStringLiteral("450.21R");
    r.sessionOpen = true;
    row->setRecord(r);
    QCOMPARE(labelOf(row)->text(), QStringLiteral("<strong>4</strong> / 450.21R"));
    QCOMPARE(labelOf(row)->colour(), kGreen);

    // A long row stays on one line, cut at the row's end.
    r.serialNumber = QByteArray(200, '7');
    row->setRecord(r);
    QVERIFY(labelOf(row)->textSize().width() > row->width());
    QVERIFY(labelOf(row)->textSize().height() <= row->height());
}

void TestDeviceList::tickBoxes()
{
    ShownList s;
    s.add({1, 2, 3, 4});
    QTest::mouseClick(tickOf(s.list.itemAt(3)), Qt::LeftButton);
    QTest::mouseClick(tickOf(s.list.itemAt(1)), Qt::LeftButton);
    QVERIFY(s.list.itemAt(1)->record().ticked);
    QCOMPARE(s.list.tickedCount(), 2);
    QCOMPARE(s.list.tickedItem(0), s.list.itemAt(1));
    QCOMPARE(s.list.tickedItem(1), s.list.itemAt(3));
    QVERIFY(!s.list.tickedItem(2));
    QVERIFY(!s.list.currentItem()); // ticking does not select

    QTest::mouseClick(tickOf(s.list.itemAt(1)), Qt::LeftButton);
    QVERIFY(!s.list.itemAt(1)->record().ticked);

    s.list.setAllTicked(true);
    QCOMPARE(s.list.tickedCount(), 4);
    QVERIFY(tickOf(s.list.itemAt(0))->isChecked());
    s.list.setAllTicked(false);
    QCOMPARE(s.list.tickedCount(), 0);
    QVERIFY(!tickOf(s.list.itemAt(3))->isChecked());
}

void TestDeviceList::pressMakesCurrent()
{
    ShownList s;
    s.add({1, 2, 3});
    QSignalSpy sel(&s.list, &deviceList::selectedItem);
    QTest::mouseClick(s.list.itemAt(0), Qt::LeftButton, {}, QPoint(100, 10));
    QTest::mouseClick(s.list.itemAt(2), Qt::LeftButton, {}, QPoint(100, 10));
    QCOMPARE(sel.count(), 2);
    QCOMPARE(sel.at(1).at(0).value<deviceListItem *>(), s.list.itemAt(2));
    QVERIFY(!s.list.itemAt(0)->record().current);
    QCOMPARE(s.list.currentIndex(), 2);
    int index = -1;
    QCOMPARE(s.list.currentItem(&index), s.list.itemAt(2));
    QCOMPARE(index, 2);

    // A press on the label belongs to the row as well; pressing the current row is silent.
    QTest::mouseClick(labelOf(s.list.itemAt(2)), Qt::LeftButton);
    QCOMPARE(sel.count(), 2);
}

void TestDeviceList::rightClickOnOtherRow()
{
    ShownList s;
    s.add({1, 2});
    QTest::mouseClick(s.list.itemAt(0), Qt::LeftButton);
    QStringList events;
    connect(&s.list, &deviceList::selectedItem, this, [&](deviceListItem *item) {
        events << QStringLiteral("selected %1").arg(item->record().address);
    });
    connect(&s.list, &deviceList::rightClickItem, this, [&](deviceListItem *item, QPoint p) {
        events << QStringLiteral("right %1 current=%2 at %3,%4")
                      .arg(item->record().address)
                      .arg(s.list.currentItem() == item)
                      .arg(p.x())
                      .arg(p.y());
    });
    QTest::mouseClick(s.list.itemAt(1), Qt::RightButton, {}, QPoint(70, 12));
    QCOMPARE(events, QStringList({"selected 2", "right 2 current=1 at 70,12"}));
    QVERIFY(!s.list.itemAt(0)->record().current);

    events.clear();
    QTest::mouseClick(s.list.itemAt(1), Qt::RightButton, {}, QPoint(5, 5));
    QCOMPARE(events, QStringList({"right 2 current=1 at 5,5"}));
}

void TestDeviceList::doubleClick()
{
    ShownList s;
    s.add({1, 2});
    QSignalSpy dbl(&s.list, &deviceList::doubleClickItem);
    QTest::mouseDClick(s.list.itemAt(1), Qt::LeftButton);
    QCOMPARE(dbl.count(), 1);
    QCOMPARE(dbl.at(0).at(0).value<deviceListItem *>(), s.list.itemAt(1));
    QTest::mouseDClick(s.list.itemAt(1), Qt::RightButton);
    QCOMPARE(dbl.count(), 1);
}

void TestDeviceList::pressOnEmptyArea()
{
    ShownList s;
    s.add({1, 2});
    QTest::mouseClick(s.list.itemAt(1), Qt::LeftButton);
    QSignalSpy sel(&s.list, &deviceList::selectedItem);
    QTest::mouseClick(s.list.viewport(), Qt::LeftButton, {}, QPoint(50, 150));
    QCOMPARE(sel.count(), 1);
    QCOMPARE(sel.at(0).at(0).value<deviceListItem *>(), nullptr);
    QVERIFY(!s.list.currentItem());
    QVERIFY(!s.list.itemAt(1)->record().current);

    QTest::mouseClick(s.list.viewport(), Qt::LeftButton, {}, QPoint(50, 150));
    QCOMPARE(sel.count(), 1);
}

void TestDeviceList::remoteSelected()
{
    ShownList s;
    s.add({1, 2, 3});
    QVERIFY(!s.list.remoteSelected());
    QCOMPARE(s.list.count(), 3);

    QTest::mouseClick(s.list.itemAt(1), Qt::LeftButton);
    QPointer<deviceListItem> gone = s.list.itemAt(1);
    QSignalSpy sel(&s.list, &deviceList::selectedItem);
    QVERIFY(s.list.remoteSelected());
    QCOMPARE(sel.count(), 1);
    QCOMPARE(sel.at(0).at(0).value<deviceListItem *>(), nullptr);
    QCOMPARE(s.list.count(), 2);
    QCOMPARE(s.list.itemAt(1)->record().address, 3);
    verifyLayout(s.list);
    QTRY_VERIFY(gone.isNull());
}

void TestDeviceList::removeFromOwnRightClick()
{
    // The configurator's context menu removes the row whose press is still being handled.
    ShownList s;
    s.add({1, 2});
    connect(&s.list, &deviceList::rightClickItem, &s.list, [&] { s.list.remoteSelected(); });
    QPointer<deviceListItem> row = s.list.itemAt(0);
    QTest::mouseClick(row, Qt::RightButton);
    QCOMPARE(s.list.count(), 1);
    QTRY_VERIFY(row.isNull());
}

void TestDeviceList::clearList()
{
    ShownList s;
    s.add({1, 2, 3});
    QPointer<deviceListItem> row = s.list.itemAt(2);
    QSignalSpy sel(&s.list, &deviceList::selectedItem);
    s.list.clearList();
    QCOMPARE(s.list.count(), 0);
    QCOMPARE(sel.count(), 1);
    QCOMPARE(s.list.widget()->height(), 10);
    QVERIFY(!s.list.itemAt(0));
    QTRY_VERIFY(row.isNull());
    s.add({2});
    verifyLayout(s.list);
}

void TestDeviceList::sessionTimer()
{
    ShownList s;
    s.add({1});
    deviceListItem *row = s.list.itemAt(0);
    row->record().sessionOpen = true;
    row->updateView();
    QCOMPARE(labelOf(row)->colour(), kGreen);

    row->startSessionTimer(30);
    QVERIFY(row->isSessionTimerActive());
    QTRY_VERIFY(!row->record().sessionOpen);
    QCOMPARE(labelOf(row)->colour(), kBlack);
    QVERIFY(!row->isSessionTimerActive());

    row->record().sessionTimeout = 7;
    row->startSessionTimer();
    QCOMPARE(timerOf(row)->interval(), 7 * 60000);
    row->stopSessionTimer();
    QVERIFY(!row->isSessionTimerActive());
}

void TestDeviceList::restartSessionTimer()
{
    ShownList s;
    s.add({1});
    deviceListItem *row = s.list.itemAt(0);
    row->restartSessionTimer();
    QVERIFY(!row->isSessionTimerActive());

    timerOf(row)->setTimerType(Qt::PreciseTimer); // coarse ones round to whole seconds
    row->startSessionTimer(60000);
    QTRY_VERIFY_WITH_TIMEOUT(timerOf(row)->remainingTime() < 59800, 10000);
    const int before = timerOf(row)->remainingTime();
    row->restartSessionTimer();
    QVERIFY(row->isSessionTimerActive());
    QCOMPARE(timerOf(row)->interval(), 60000);
    QVERIFY(timerOf(row)->remainingTime() > before);
}

void TestDeviceList::closeAllSessions()
{
    ShownList s;
    s.add({1, 2});
    for (int i = 0; i < 2; ++i) {
        s.list.itemAt(i)->record().sessionOpen = true;
        s.list.itemAt(i)->updateView();
        s.list.itemAt(i)->startSessionTimer(60000);
    }
    s.list.closeAllSessions();
    for (int i = 0; i < 2; ++i) {
        QVERIFY(!s.list.itemAt(i)->record().sessionOpen);
        QCOMPARE(labelOf(s.list.itemAt(i))->colour(), kBlack);
        QVERIFY(!s.list.itemAt(i)->isSessionTimerActive());
    }
}

void TestDeviceList::standMode()
{
    ShownList s;
    QVERIFY(s.list.addItem(meterRecord(255, {}, 3)));
    QVERIFY(s.list.addItem(meterRecord(7, "000000000000123")));
    s.list.setStandMode(true);
    s.list.applyStandMode();
    QVERIFY(s.list.itemAt(0)->record().standMode);
    QCOMPARE(labelOf(s.list.itemAt(0))->text(), QStringLiteral("<strong>7</strong> / 0 / -"));
    QCOMPARE(labelOf(s.list.itemAt(1))->text(), QStringLiteral("<strong>255</strong> / 3 / -"));
    s.list.setStandMode(false);
    s.list.applyStandMode();
    QCOMPARE(labelOf(s.list.itemAt(0))->text(),
             QStringLiteral("000000000000123 / <strong>7</strong> / -"));

    s.list.setItemsEnabled(false);
    QVERIFY(!s.list.itemAt(0)->isEnabled() && !s.list.itemAt(1)->isEnabled());
    s.list.setItemsEnabled(true);
    QVERIFY(s.list.itemAt(1)->isEnabled());
}

void TestDeviceList::relayoutAfterRecordChange()
{
    ShownList s;
    s.add({1, 2, 3});
    // An address read from the meter changes a record in place; relayout() puts it in order.
    deviceListItem *first = s.list.itemAt(0);
    first->record().address = 9;
    s.list.relayout();
    QCOMPARE(s.list.itemAt(2), first);
    verifyLayout(s.list);

    // The same when the change is noticed only by the next addItem.
    s.list.itemAt(0)->record().address = 8;
    QVERIFY(s.list.addItem(meterRecord(5)));
    QCOMPARE(s.list.itemAt(0)->record().address, 3);
    QCOMPARE(s.list.itemAt(1)->record().address, 5);
    QCOMPARE(s.list.itemAt(2)->record().address, 8);
    verifyLayout(s.list);

    // Duplicates are judged against the changed record.
    QVERIFY(!s.list.addItem(meterRecord(8)));
    QVERIFY(s.list.findDuplicate(meterRecord(9)));
    QVERIFY(!s.list.findDuplicate(meterRecord(9), s.list.itemAt(3)));
}

void TestDeviceList::deselectAndReemit()
{
    ShownList s;
    s.add({1, 2});
    QTest::mouseClick(s.list.itemAt(1), Qt::LeftButton);
    QSignalSpy sel(&s.list, &deviceList::selectedItem);
    s.list.reemitSelection();
    QCOMPARE(sel.last().at(0).value<deviceListItem *>(), s.list.itemAt(1));
    s.list.deselectAll();
    QCOMPARE(sel.last().at(0).value<deviceListItem *>(), nullptr);
    QVERIFY(!s.list.currentItem());
    s.list.reemitSelection();
    QCOMPARE(sel.count(), 3);
    QCOMPARE(sel.last().at(0).value<deviceListItem *>(), nullptr);
}

void TestDeviceList::rowsFollowWidth()
{
    ShownList s;
    s.add({1, 2});
    s.list.resize(400, 200);
    QTRY_COMPARE(s.list.itemAt(1)->width(), s.list.viewport()->width());
    QCOMPARE(s.list.widget()->width(), s.list.viewport()->width());
    QVERIFY(s.list.viewport()->width() > 300);
    QCOMPARE(labelOf(s.list.itemAt(1))->width(), s.list.itemAt(1)->width() - 25);
}

void TestDeviceList::manyRowsInRandomOrder()
{
    ShownList s;
    QList<int> addresses;
    for (int a = 1; a <= 60; ++a)
        addresses << a;
    std::shuffle(addresses.begin(), addresses.end(), std::mt19937(12345));
    for (const int a : addresses)
        QVERIFY(s.list.addItem(meterRecord(a)));
    // The same meters again, with serial numbers of zeros: the same meters still.
    for (const int a : addresses)
        QVERIFY(!s.list.addItem(meterRecord(a, "000000000000000")));
    QCOMPARE(s.list.count(), 60);
    for (int i = 0; i < 60; ++i)
        QCOMPARE(s.list.itemAt(i)->record().address, i + 1);
    verifyLayout(s.list);
}

void TestDeviceList::duplicatesInList_data()
{
    QTest::addColumn<DeviceRecord>("candidate");
    QTest::addColumn<bool>("duplicate");
    // Listed: 5 without a serial number, 7 with 123, 9 with 124, stand position 2 at 255.
    QTest::newRow("same address, no serial") << meterRecord(5) << true;
    QTest::newRow("same address, zeros") << meterRecord(5, "000000000000000") << true;
    QTest::newRow("new address") << meterRecord(6) << false;
    QTest::newRow("serial moved to a new address") << meterRecord(8, "000000000000123") << true;
    QTest::newRow("new serial at a listed address") << meterRecord(7, "000000000000125") << false;
    QTest::newRow("same last digit, other serial") << meterRecord(8, "000000000001124") << false;
    QTest::newRow("same digits, shorter") << meterRecord(8, "00000000000124") << false;
    QTest::newRow("serial at an address listed without")
        << meterRecord(5, "000000000000126") << false;
    QTest::newRow("stand: same position") << meterRecord(255, {}, 2, true) << true;
    QTest::newRow("stand: other position") << meterRecord(255, {}, 3, true) << false;
}

void TestDeviceList::duplicatesInList()
{
    QFETCH(DeviceRecord, candidate);
    QFETCH(bool, duplicate);
    deviceList list;
    for (const DeviceRecord &r : {meterRecord(5), meterRecord(7, "000000000000123"),
                                  meterRecord(9, "000000000000124"), meterRecord(255, {}, 2, true)})
        QVERIFY(list.addItem(r));
    QCOMPARE(list.findDuplicate(candidate), duplicate);
    QCOMPARE(list.addItem(candidate), !duplicate);
}

void TestDeviceList::onlyRowsInViewShown()
{
    // 200 px: ten rows on screen, the rest hidden until scrolled to.
    ShownList s;
    for (int a = 200; a >= 1; --a)
        QVERIFY(s.list.addItem(meterRecord(a)));
    verifyLayout(s.list);
    const auto shown = [&] {
        QList<int> out;
        for (int i = 0; i < s.list.count(); ++i)
            if (s.list.itemAt(i)->isVisible())
                out << i;
        return out;
    };
    QList<int> first = shown();
    QVERIFY2(first.size() >= 10 && first.size() < 30, qPrintable(QString::number(first.size())));
    QCOMPARE(first.first(), 0);
    s.list.verticalScrollBar()->setValue(s.list.verticalScrollBar()->maximum());
    const QList<int> last = shown();
    QCOMPARE(last.last(), 199);
    QVERIFY(last.first() > 150);
    // A row shown at the end is drawn where it sits.
    QTest::mouseClick(s.list.itemAt(199), Qt::LeftButton);
    QCOMPARE(s.list.currentItem(), s.list.itemAt(199));
    // Removed rows leave no gap in what is shown.
    s.list.clearList();
    QVERIFY(s.list.addItem(meterRecord(3)));
    QVERIFY(s.list.itemAt(0)->isVisible());
}

QTEST_MAIN(TestDeviceList)
#include "tst_devicelist.moc"
