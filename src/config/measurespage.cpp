#include "config/measurespage.h"

#include "core/measuredecoders.h"
#include "core/requestkinds.h"
#include "ui_measurespage.h"
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

MeasuresPage::MeasuresPage(PageHost *host, QWidget *parent)
    : ConfigPage(host, parent), ui(new Ui::MeasuresPage), m_diagram(new Diagram(this))
{
    ui->setupUi(this);
    setupTables();
    // The diagram is reached from the function menu.
    ui->pbDiagram->hide();

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
    route(Measures, ui->frMeasures, [this, single](const QList<QByteArray> &replies) {
        fillTable(m_measures, measures::energyLabels(single),
                  measures::energyValues(single, replies.constData(), int(replies.size())));
    });
    route(Measures3, ui->frMeasures, [this, three](const QList<QByteArray> &replies) {
        fillTable(m_measures, measures::energyLabels(three),
                  measures::energyValues(three, replies.constData(), int(replies.size())));
    });
    route(NowMeasures, ui->frNowMeasures, [this, single](const QList<QByteArray> &replies) {
        fillTable(m_nowMeasures, measures::instantLabels(single),
                  measures::instantValues(single, replies.constData(), int(replies.size())));
    });
    route(NowMeasures3, ui->frNowMeasures, [this, three](const QList<QByteArray> &replies) {
        fillTable(m_nowMeasures, measures::instantLabels(three),
                  measures::instantValues(three, replies.constData(), int(replies.size())));
    });
    route(DeviceInfo, ui->frDeviceInfo, [this](const QList<QByteArray> &replies) {
        fillTable(m_deviceInfo, measures::deviceInfoLabels(),
                  measures::deviceInfoValues(replies.constData(), int(replies.size())));
    });
    route(VectorDiagram, ui->frNowMeasures, [this](const QList<QByteArray> &replies) {
        double v[9];
        if (!measures::diagramValues(replies.constData(), int(replies.size()), v)) {
            emit log(tr("Ошибка: некорректный размер пакета"), logcolour::error, true, false);
            return;
        }
        m_diagram->setData(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
        m_diagram->show();
        m_diagram->raise();
    });

    wire(ui->pbLoadMeasures, &MeasuresPage::loadMeasuresClick);
    wire(ui->pbLoadNowMeasures, &MeasuresPage::loadNowMeasuresClick);
    wire(ui->pbLoadDeviceInfo, &MeasuresPage::loadDeviceInfoClick);
    wire(ui->pbDiagram, &MeasuresPage::loadDiagramClick);
    setMeterControls({"pbLoadMeasures", "pbLoadNowMeasures", "pbDiagram", "pbLoadDeviceInfo"});
    // Cleared, the rows stay and every value is "-", as before the first read.
    setReading({Measures, Measures3, NowMeasures, NowMeasures3, DeviceInfo, VectorDiagram}, [this] {
        for (QStandardItemModel *model : {m_measures, m_nowMeasures, m_deviceInfo})
            for (int r = 0; r < model->rowCount(); ++r)
                model->item(r, 1)->setText(QStringLiteral("-"));
        m_diagram->hide();
        m_diagram->setData(0, 0, 0, 0, 0, 0, 0, 0, 0);
    });
}

MeasuresPage::~MeasuresPage()
{
    delete ui;
}

void MeasuresPage::fillTable(QStandardItemModel *model, const QStringList &labels,
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

void MeasuresPage::loadMeasuresClick()
{
    sendBySeries(requestkinds::Measures, requestkinds::Measures3);
}

void MeasuresPage::loadNowMeasuresClick()
{
    sendBySeries(requestkinds::NowMeasures, requestkinds::NowMeasures3);
}

void MeasuresPage::loadDeviceInfoClick()
{
    sendKind(requestkinds::DeviceInfo);
}

void MeasuresPage::loadDiagramClick()
{
    sendKind(requestkinds::VectorDiagram);
}
