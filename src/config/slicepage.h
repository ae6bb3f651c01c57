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
    void fillTable(const QList<QByteArray> &replies);
    void setColumns(const QStringList &header);

    Ui::SlicePage *ui;
    QStandardItemModel *m_model;
};
