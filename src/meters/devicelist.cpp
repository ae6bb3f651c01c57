#include "meters/devicelist.h"

#include "meters/devicelistitem.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSet>

#include <algorithm>

namespace {
constexpr int kRowHeight = deviceListItem::kRowHeight;
// Rows kept shown above and below the screen, so a small scroll shows no gap.
constexpr int kSpareRows = 5;

bool rowLess(const deviceListItem *a, const deviceListItem *b)
{
    return listOrderLess(a->record(), b->record());
}
} // namespace

deviceList::deviceList(QWidget *parent) : QScrollArea(parent), m_container(new QWidget)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_container->setObjectName(QStringLiteral("listContainer"));
    m_container->resize(10, 10);
    setWidget(m_container);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &deviceList::showRowsInView);
    emit selectedItem(nullptr);
}

int deviceList::rowWidth() const
{
    // The viewport, not the whole area: the vertical bar is always there.
    return viewport()->width();
}

bool deviceList::addItem(const DeviceRecord &record)
{
    if (findDuplicate(record))
        return false;
    // A list whose records were changed since the last sort is sorted in full first. Then the
    // new row goes straight to its place and only the rows below it move, so a long list fills
    // without re-sorting or re-placing every row for each one added.
    if (m_orderAt != deviceListItem::recordTakings()) {
        if (!std::is_sorted(m_items.cbegin(), m_items.cend(), rowLess))
            relayout();
        m_orderAt = deviceListItem::recordTakings();
    }
    auto *row = new deviceListItem(m_container, record);
    const auto at = std::upper_bound(m_items.begin(), m_items.end(), row, rowLess);
    const int index = int(at - m_items.begin());
    m_items.insert(at, row);
    if (m_keysAt == deviceListItem::recordTakings())
        m_keys.push_back(keyOf(row));
    row->setGeometry(0, index * kRowHeight, rowWidth(), kRowHeight);
    connect(row, &deviceListItem::selected, this, &deviceList::selected);
    connect(row, &deviceListItem::doubleClick, this, &deviceList::doubleClick);
    connect(row, &deviceListItem::rightClick, this, &deviceList::rightClick);
    placeRowsLater(index + 1);
    if (index <= rowsInView().second) {
        row->show();
        m_shownRows.append(row);
    }
    return true;
}

deviceList::RowKey deviceList::keyOf(const deviceListItem *row)
{
    const DeviceRecord &r = row->record();
    return {row, r.address, qHash(r.serialNumber), r.usesSerialNumber()};
}

bool deviceList::findDuplicate(const DeviceRecord &record) const
{
    return findDuplicate(record, nullptr);
}

bool deviceList::findDuplicate(const DeviceRecord &record, const deviceListItem *except) const
{
    if (m_keysAt != deviceListItem::recordTakings()) {
        m_keys.clear();
        for (const deviceListItem *row : m_items)
            m_keys.push_back(keyOf(row));
        m_keysAt = deviceListItem::recordTakings();
    }
    // A meter with a real serial number is listed already when that number is (whatever the
    // address); one without, when its place is. Only rows that can be so are judged in full.
    const bool real = record.usesSerialNumber();
    const size_t serialHash = qHash(record.serialNumber);
    return std::any_of(m_keys.cbegin(), m_keys.cend(), [&](const RowKey &k) {
        const bool candidate =
            real ? k.realSerial && k.serialHash == serialHash : k.address == record.address;
        return candidate && k.row != except && record.duplicates(k.row->record());
    });
}

void deviceList::retire(deviceListItem *item)
{
    // Rows are often removed from a slot their own press started (the row's context menu), so
    // they go on the next turn of the event loop.
    item->stopSessionTimer();
    disconnect(item, nullptr, this, nullptr);
    m_shownRows.removeOne(item);
    m_keysAt = ~quint64(0);
    item->hide();
    item->deleteLater();
}

void deviceList::clearList()
{
    for (deviceListItem *row : std::as_const(m_items))
        retire(row);
    m_items.clear();
    m_shownRows.clear();
    m_container->resize(rowWidth(), 10);
    emit selectedItem(nullptr);
}

void deviceList::deselectAll()
{
    for (deviceListItem *row : std::as_const(m_items)) {
        if (row->record().current) {
            row->record().current = false;
            row->update();
        }
    }
    emit selectedItem(nullptr);
}

deviceListItem *deviceList::currentItem(int *index) const
{
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_items[i]->record().current) {
            if (index)
                *index = i;
            return m_items[i];
        }
    }
    if (index)
        *index = -1;
    return nullptr;
}

int deviceList::currentIndex() const
{
    int index = -1;
    currentItem(&index);
    return index;
}

deviceListItem *deviceList::itemAt(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items[index] : nullptr;
}

int deviceList::tickedCount() const
{
    return int(std::count_if(m_items.cbegin(), m_items.cend(),
                             [](const deviceListItem *row) { return row->record().ticked; }));
}

deviceListItem *deviceList::tickedItem(int n) const
{
    if (n < 0)
        return nullptr;
    for (deviceListItem *row : m_items)
        if (row->record().ticked && n-- == 0)
            return row;
    return nullptr;
}

void deviceList::reemitSelection()
{
    emit selectedItem(currentItem());
}

void deviceList::closeAllSessions()
{
    for (deviceListItem *row : std::as_const(m_items)) {
        row->record().sessionOpen = false;
        row->stopSessionTimer();
        row->updateView();
    }
}

void deviceList::setAllTicked(bool ticked)
{
    for (deviceListItem *row : std::as_const(m_items)) {
        row->record().ticked = ticked;
        row->updateView();
    }
}

void deviceList::applyStandMode()
{
    for (deviceListItem *row : std::as_const(m_items)) {
        row->record().standMode = m_standMode;
        row->updateView();
    }
}

void deviceList::setItemsEnabled(bool enabled)
{
    for (deviceListItem *row : std::as_const(m_items))
        row->setEnabled(enabled);
}

void deviceList::relayout()
{
    if (!std::is_sorted(m_items.cbegin(), m_items.cend(), rowLess))
        std::stable_sort(m_items.begin(), m_items.end(), rowLess);
    placeRows(0);
}

void deviceList::placeRowsLater(int from)
{
    m_placeFrom = m_placePending ? std::min(m_placeFrom, from) : from;
    // The scroll range is right at once; only the rows wait.
    m_container->resize(rowWidth(), int(m_items.size()) * kRowHeight);
    if (m_placePending)
        return;
    m_placePending = true;
    QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
}

bool deviceList::event(QEvent *event)
{
    if (event->type() == QEvent::LayoutRequest && m_placePending) {
        placeRows(m_placeFrom);
        return true;
    }
    return QScrollArea::event(event);
}

void deviceList::placeRows(int from)
{
    if (m_placePending) {
        from = std::min(from, m_placeFrom);
        m_placePending = false;
    }
    for (int i = from; i < m_items.size(); ++i) {
        const QPoint place(0, i * kRowHeight);
        if (m_items[i]->pos() != place)
            m_items[i]->move(place);
    }
    m_container->resize(rowWidth(), int(m_items.size()) * kRowHeight);
    showRowsInView();
}

std::pair<int, int> deviceList::rowsInView() const
{
    const int top = verticalScrollBar()->value();
    return {std::max(0, top / kRowHeight - kSpareRows),
            std::min(count() - 1, (top + viewport()->height()) / kRowHeight + kSpareRows)};
}

void deviceList::showRowsInView()
{
    const auto [first, last] = rowsInView();
    QSet<deviceListItem *> wanted;
    for (int i = first; i <= last; ++i)
        wanted.insert(m_items[i]);
    for (auto it = m_shownRows.begin(); it != m_shownRows.end();) {
        if (wanted.remove(*it)) {
            ++it;
            continue;
        }
        (*it)->hide();
        it = m_shownRows.erase(it);
    }
    for (int i = first; i <= last; ++i) {
        if (wanted.contains(m_items[i])) {
            m_items[i]->show();
            m_shownRows.append(m_items[i]);
        }
    }
}

void deviceList::selected(deviceListItem *item)
{
    for (deviceListItem *row : std::as_const(m_items)) {
        if (row != item && row->record().current) {
            row->record().current = false;
            row->update();
        }
    }
    emit selectedItem(item);
}

void deviceList::doubleClick(deviceListItem *item)
{
    emit doubleClickItem(item);
}

void deviceList::rightClick(deviceListItem *item, QPoint pos)
{
    emit rightClickItem(item, pos);
}

bool deviceList::remoteSelected()
{
    const int index = currentIndex();
    if (index < 0)
        return false;
    retire(m_items.takeAt(index));
    relayout();
    emit selectedItem(nullptr);
    return true;
}

void deviceList::mousePressEvent(QMouseEvent *)
{
    // Only presses outside every row get here.
    deviceListItem *row = currentItem();
    if (!row)
        return;
    row->record().current = false;
    row->update();
    emit selectedItem(nullptr);
}

void deviceList::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    const int w = rowWidth();
    if (m_container->width() != w) {
        m_container->resize(w, m_container->height());
        for (deviceListItem *row : std::as_const(m_items))
            row->resize(w, kRowHeight);
    }
    showRowsInView();
}
