#include "config/slicepage.h"

#include "core/catalogue.h"
#include "core/recorddecoders.h"
#include "core/requestkinds.h"
#include "ui_slicepage.h"
#include "widgets/readingtable.h"

#include <QStandardItemModel>

namespace {
constexpr int kDateWidth = 70;
constexpr int kTimeWidth = 50;
constexpr int kEnergyWidth = 85;
} // namespace

SlicePage::SlicePage(PageHost *host, QWidget *parent)
    : ConfigPage(host, parent), ui(new Ui::SlicePage), m_model(new QStandardItemModel(this))
{
    ui->setupUi(this);
    setupTables();
    ui->tableSlice->setModel(m_model);
    setColumns(records::sliceHeader(MeterSeries::SinglePhase));

    using namespace requestkinds;
    route(SliceDaySize, ui->frSlice, [this](const QList<QByteArray> &replies) {
        sizeRead(catalogue::DaySliceList, SliceDayRecords, replies);
    });
    route(SliceMonthSize, ui->frSlice, [this](const QList<QByteArray> &replies) {
        sizeRead(catalogue::MonthSliceList, SliceMonthRecords, replies);
    });
    routeRecords(SliceDayRecords, ui->frSlice, [this](const QList<QByteArray> &replies) {
        fillTable(catalogue::DaySliceList, replies);
    });
    routeRecords(SliceMonthRecords, ui->frSlice, [this](const QList<QByteArray> &replies) {
        fillTable(catalogue::MonthSliceList, replies);
    });
    // A cleared list is not shown any more: it could still be exported.
    route(ClearSliceDay, ui->frSlice,
          [this](const QList<QByteArray> &) { listCleared(catalogue::DaySliceList); });
    route(ClearSliceMonth, ui->frSlice,
          [this](const QList<QByteArray> &) { listCleared(catalogue::MonthSliceList); });

    wire(ui->pbLoadSliceDay, &SlicePage::LoadSliceDayClick);
    wire(ui->pbLoadSliceMonth, &SlicePage::LoadSliceMonthClick);
    wire(ui->pbClearSliceDay, &SlicePage::ClearSliceDayClick);
    wire(ui->pbClearSliceMonth, &SlicePage::ClearSliceMonthClick);
    wire(ui->pbSliceExport, &SlicePage::initSliceExport);
    setMeterControls(
        {"pbLoadSliceDay", "pbLoadSliceMonth", "pbClearSliceDay", "pbClearSliceMonth"});
    LevelRules levels;
    levels.shown = {"pbClearSliceDay", "pbClearSliceMonth"};
    levels.userHidden = {"pbClearSliceDay", "pbClearSliceMonth"};
    levels.administratorHidden = {};
    setLevelRules(levels);
    setReading({SliceDayRecords, SliceMonthRecords}, [this] { m_model->setRowCount(0); });
}

SlicePage::~SlicePage()
{
    delete ui;
}

void SlicePage::LoadSliceDayClick()
{
    sendKind(requestkinds::SliceDaySize);
}

void SlicePage::LoadSliceMonthClick()
{
    sendKind(requestkinds::SliceMonthSize);
}

void SlicePage::ClearSliceDayClick()
{
    if (confirmDeletion(tr("<p>Вы действительно хотите очистить список <br>энергии в дневных "
                           "интервалах?")))
        sendKind(requestkinds::ClearSliceDay);
}

void SlicePage::ClearSliceMonthClick()
{
    if (confirmDeletion(tr("<p>Вы действительно хотите очистить список <br>энергии в месячных "
                           "интервалах?")))
        sendKind(requestkinds::ClearSliceMonth);
}

void SlicePage::initSliceExport()
{
    exportTable(ui->tableSlice);
}

void SlicePage::sizeRead(int list, int recordsKind, const QList<QByteArray> &replies)
{
    const std::optional<int> count = records::listCount(replies.value(0));
    if (!count) {
        emit log(tr("Ошибка: некорректный размер пакета"), logcolour::error, true, false);
        return;
    }
    if (*count == 0) {
        emit log(tr("Список пуст"), logcolour::info, true, false);
        return;
    }
    if (const QString notice = records::unreadRecordsNotice(*count); !notice.isEmpty())
        emit log(notice, logcolour::notice, true, false);
    host()->sendBatch(recordsKind, records::sliceCommands(list, records::readableRecords(*count)));
}

void SlicePage::setColumns(const QStringList &header)
{
    m_model->clear();
    m_model->setHorizontalHeaderLabels(header);
    QTableView *view = ui->tableSlice;
    for (int c = 0; c < header.size(); ++c)
        view->setColumnWidth(
            c, c == 0 ? readingtable::fittedWidth(view, QStringLiteral("00.00.0000"), kDateWidth)
               : c == 1
                   ? readingtable::fittedWidth(view, QStringLiteral("00:00"), kTimeWidth)
                   : readingtable::fittedWidth(view, QStringLiteral("corrupted"), kEnergyWidth));
}

void SlicePage::listCleared(int list)
{
    if (list != m_shownList)
        return;
    m_model->setRowCount(0);
    m_shownList = -1;
}

void SlicePage::fillTable(int list, const QList<QByteArray> &replies)
{
    // The layout is the series' as the meter's name is now; an unknown one leaves the table.
    const MeterSeries series = host()->meterSeries();
    const QStringList header = records::sliceHeader(series);
    if (header.isEmpty())
        return;
    setColumns(header);
    m_shownList = list;
    for (const QByteArray &reply : replies) {
        QList<QStandardItem *> row;
        for (const QString &text : records::sliceRow(series, reply)) {
            auto *item = new QStandardItem(text);
            item->setTextAlignment(Qt::AlignCenter);
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            row << item;
        }
        m_model->appendRow(row);
    }
}
