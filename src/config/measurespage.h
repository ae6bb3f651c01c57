#pragma once

#include "config/configpage.h"

namespace Ui {
class MeasuresPage;
}
class Diagram;
class QStandardItemModel;

// Page "Измерения": energy totals, instant values, device information, and the vector diagram of
// a three-phase meter.
class MeasuresPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit MeasuresPage(PageHost *host, QWidget *parent = nullptr);
    ~MeasuresPage() override;

public slots:
    void loadMeasuresClick();
    void loadNowMeasuresClick();
    void loadDeviceInfoClick();
    void loadDiagramClick();

private:
    void fillTable(QStandardItemModel *model, const QStringList &labels, const QStringList &values);

    Ui::MeasuresPage *ui;
    Diagram *m_diagram;
    QStandardItemModel *m_measures;
    QStandardItemModel *m_nowMeasures;
    QStandardItemModel *m_deviceInfo;
};
