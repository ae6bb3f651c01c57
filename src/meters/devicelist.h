#pragma once

#include "core/devicerecord.h"

#include <QList>
#include <QPoint>
#include <QScrollArea>

#include <utility>
#include <vector>

class deviceListItem;

// The configurator's scrolling list of meters, one deviceListItem per row, kept in list order
// (address, then stand position). The list owns its rows.
class deviceList : public QScrollArea
{
    Q_OBJECT
public:
    explicit deviceList(QWidget *parent = nullptr);

    // Adds a row unless findDuplicate() says the meter is listed already.
    bool addItem(const DeviceRecord &record);
    bool findDuplicate(const DeviceRecord &record) const;
    // The same test against every row but `except` (a row being edited).
    bool findDuplicate(const DeviceRecord &record, const deviceListItem *except) const;
    void clearList();
    void deselectAll();

    int count() const { return int(m_items.size()); }
    // The first current row, or none; its index goes to `index` (-1 when none).
    deviceListItem *currentItem(int *index = nullptr) const;
    int currentIndex() const;
    deviceListItem *itemAt(int index) const;
    int tickedCount() const;
    // The n-th ticked row in display order, counting from 0, or none.
    deviceListItem *tickedItem(int n) const;

    void reemitSelection();
    void closeAllSessions();
    void setAllTicked(bool ticked);
    void setStandMode(bool on) { m_standMode = on; }
    bool standMode() const { return m_standMode; }
    // Gives every row the list's stand-mode flag.
    void applyStandMode();
    void setItemsEnabled(bool enabled);
    // Sorts the rows into list order and places them one under another.
    void relayout();

signals:
    void selectedItem(deviceListItem *item);
    void doubleClickItem(deviceListItem *item);
    void rightClickItem(deviceListItem *item, QPoint pos);

public slots:
    void selected(deviceListItem *item);
    void doubleClick(deviceListItem *item);
    void rightClick(deviceListItem *item, QPoint pos);
    // Removes the current row; false when there is none.
    bool remoteSelected();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;

private:
    int rowWidth() const;
    // Moves rows `from` onwards to their places and sizes the container to all rows.
    void placeRows(int from);
    // The same on the next turn of the event loop: a list filled row by row moves each row once.
    void placeRowsLater(int from);
    void retire(deviceListItem *item);
    // Shows the rows on screen (and a few around them) and hides the rest.
    void showRowsInView();
    // The indexes of the rows that should be shown now.
    std::pair<int, int> rowsInView() const;

    QList<deviceListItem *> m_items;
    // What the duplicate test needs of each row, side by side: a long list is scanned for every
    // meter added. Made again whenever a record may have changed since (see
    // deviceListItem::recordTakings()) or a row went.
    struct RowKey
    {
        const deviceListItem *row;
        int address;
        size_t serialHash;
        bool realSerial;
    };
    static RowKey keyOf(const deviceListItem *row);
    mutable std::vector<RowKey> m_keys;
    mutable quint64 m_keysAt = ~quint64(0);
    // recordTakings() when the rows were last known to be in order.
    quint64 m_orderAt = ~quint64(0);
    // The rows shown. The rest are hidden: every shown row costs each repaint of the list and
    // each row shown after it a look, so a list of thousands would slow with every row added.
    QList<deviceListItem *> m_shownRows;
    // First row not at its place yet; count() when all are.
    int m_placeFrom = 0;
    bool m_placePending = false;
    QWidget *m_container;
    bool m_standMode = false;
};
