#pragma once

#include "config/configpage.h"

namespace Ui {
class SlicePage;
}
class QStandardItemModel;

// Page "Энергия": energy in daily and monthly intervals, CSV export.
class SlicePage : public ConfigPage
{
    Q_OBJECT
public:
    explicit SlicePage(PageHost *host, QWidget *parent = nullptr);
    ~SlicePage() override;

public slots:
    void LoadSliceDayClick();
    void LoadSliceMonthClick();
    void ClearSliceDayClick();
    void ClearSliceMonthClick();
    void initSliceExport();

private:
    // The size of `list` has come: its records follow in a batch of `recordsKind`.
    void sizeRead(int list, int recordsKind, const QList<QByteArray> &replies);
    void fillTable(int list, const QList<QByteArray> &replies);
    // The meter has emptied `list`: the table goes empty when it shows that list.
    void listCleared(int list);
    void setColumns(const QStringList &header);

    Ui::SlicePage *ui;
    QStandardItemModel *m_model;
    // The list the table shows (daily or monthly), -1 for none.
    int m_shownList = -1;
};
