// Page "Измерения": energy totals, instant values, device information, and the vector diagram.
#include "config/controlpaneldialog.h"
#include "core/measuredecoders.h"
#include "core/meterseries.h"
#include "core/requestkinds.h"
#include "link/logcolours.h"
#include "meters/devicelistitem.h"
#include "ui_controlpaneldialog.h"
#include "widgets/diagram.h"

#include <QStandardItemModel>

namespace {
constexpr int kLabelWidth = 290;
constexpr int kValueWidth = 100;

QStandardItem *readOnlyItem(const QString &text)
{
    auto *item = new QStandardItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}
} // namespace

MeterSeries ControlPanelDialog::meterSeries() const
{
    return m_currentItem ? meterSeriesOf(m_currentItem->record().version)
                         : MeterSeries::Unrecognised;
}

void ControlPanelDialog::setupMeasuresPage()
{
    using namespace requestkinds;
    const MeterSeries single = MeterSeries::SinglePhase;
    const MeterSeries three = MeterSeries::ThreePhase;
    const struct
    {
        QStandardItemModel **model;
        QTableView *view;
        QStringList labels;
    } tables[] = {
        {&m_measures, ui->tableMeasures, measures::energyLabels(single)},
        {&m_nowMeasures, ui->tableNowMeasures, measures::instantLabels(single)},
        {&m_deviceInfo, ui->tableDeviceInfo, measures::deviceInfoLabels()},
    };
    for (const auto &t : tables) {
        *t.model = new QStandardItemModel(0, 2, this);
        (*t.model)->setHorizontalHeaderLabels({tr("Параметр"), tr("Значение")});
        t.view->setModel(*t.model);
        t.view->setColumnWidth(0, kLabelWidth);
        t.view->setColumnWidth(1, kValueWidth);
        fillTable(*t.model, t.labels, QStringList());
    }

    // The kind, not the meter's present name, tells which layout the replies have.
    setDecoder(Measures, [this, single](const QByteArray *replies, int count) {
        fillTable(m_measures, measures::energyLabels(single),
                  measures::energyValues(single, replies, count));
    });
    setDecoder(Measures3, [this, three](const QByteArray *replies, int count) {
        fillTable(m_measures, measures::energyLabels(three),
                  measures::energyValues(three, replies, count));
    });
    setDecoder(NowMeasures, [this, single](const QByteArray *replies, int count) {
        fillTable(m_nowMeasures, measures::instantLabels(single),
                  measures::instantValues(single, replies, count));
    });
    setDecoder(NowMeasures3, [this, three](const QByteArray *replies, int count) {
        fillTable(m_nowMeasures, measures::instantLabels(three),
                  measures::instantValues(three, replies, count));
    });
    setDecoder(DeviceInfo, [this](const QByteArray *replies, int count) {
        fillTable(m_deviceInfo, measures::deviceInfoLabels(),
                  measures::deviceInfoValues(replies, count));
    });
    setDecoder(requestkinds::VectorDiagram, [this](const QByteArray *replies, int count) {
        double v[9];
        if (!measures::diagramValues(replies, count, v)) {
            emit log(tr("Ошибка: некорректный размер пакета"), logcolour::error, true, false);
            return;
        }
        m_diagram->setData(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
        m_diagram->show();
        m_diagram->raise();
    });

    wire(ui->pbLoadMeasures, &ControlPanelDialog::loadMeasuresClick);
    wire(ui->pbLoadNowMeasures, &ControlPanelDialog::loadNowMeasuresClick);
    wire(ui->pbLoadDeviceInfo, &ControlPanelDialog::loadDeviceInfoClick);
    wire(ui->pbDiagram, &ControlPanelDialog::loadDiagramClick);
}

void ControlPanelDialog::fillTable(QStandardItemModel *model, const QStringList &labels,
                                   const QStringList &values)
{
    // Rows go and come; the columns, and with them their widths, stay.
    model->setRowCount(0);
    for (int i = 0; i < labels.size(); ++i) {
        QStandardItem *value = readOnlyItem(values.value(i, QStringLiteral("-")));
        value->setTextAlignment(Qt::AlignCenter);
        model->appendRow({readOnlyItem(labels[i]), value});
    }
}

void ControlPanelDialog::sendBySeries(int singlePhaseKind, int threePhaseKind)
{
    // A meter of unknown series is not asked: the reply layouts differ.
    switch (meterSeries()) {
    case MeterSeries::SinglePhase:
        sendKind(singlePhaseKind);
        break;
    case MeterSeries::ThreePhase:
        sendKind(threePhaseKind);
        break;
    default:
        break;
    }
}

void ControlPanelDialog::loadMeasuresClick()
{
    sendBySeries(requestkinds::Measures, requestkinds::Measures3);
}

void ControlPanelDialog::loadNowMeasuresClick()
{
    sendBySeries(requestkinds::NowMeasures, requestkinds::NowMeasures3);
}

void ControlPanelDialog::loadDeviceInfoClick()
{
    sendKind(requestkinds::DeviceInfo);
}

void ControlPanelDialog::loadDiagramClick()
{
    sendKind(requestkinds::VectorDiagram);
}
