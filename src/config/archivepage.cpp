#include "config/archivepage.h"

#include "core/catalogue.h"
#include "core/recorddecoders.h"
#include "core/requestkinds.h"
#include "meters/devicelistitem.h"
#include "ui_archivepage.h"
#include "widgets/profilechart.h"
#include "widgets/readingtable.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QStandardItemModel>

#include <iterator>

namespace {
constexpr int kWidths1[] = {70, 50, 50, 90};
constexpr int kWidths3[] = {70, 50, 50, 110, 120};
// Record numbers go out as two bytes: no more of them can be read.
constexpr int kAddressableRecords = 0x10000;
} // namespace

ArchivePage::ArchivePage(PageHost *host, QWidget *parent)
    : ConfigPage(host, parent), ui(new Ui::ArchivePage), m_model(new QStandardItemModel(this))
{
    ui->setupUi(this);
    setupTables();
    ui->tableArchive->setModel(m_model);
    setColumns(false);
    ui->splArchive->setStretchFactor(0, 0);
    ui->splArchive->setStretchFactor(1, 1);

    using namespace requestkinds;
    route(Archive, ui->frArchive,
          [this](const QList<QByteArray> &replies) { parametersRead(replies); });
    routeRecords(ArchiveRead, ui->frArchive,
                 [this](const QList<QByteArray> &replies) { fillTable(false, replies); });
    routeRecords(ArchiveRead3, ui->frArchive,
                 [this](const QList<QByteArray> &replies) { fillTable(true, replies); });
    // The records shown are gone from the meter; the new period and the emptied archive are
    // read back.
    route(ArchiveInit, ui->frArchive, [this](const QList<QByteArray> &) {
        m_model->setRowCount(0);
        ui->chartArchive->setProfile({}, m_model->columnCount() > 4);
        loadArchiveClick();
    });

    wire(ui->pbLoadArchive, &ArchivePage::loadArchiveClick);
    wire(ui->pbArchiveRead, &ArchivePage::ArchiveReadClick);
    wire(ui->pbArchiveInit, &ArchivePage::ArchiveInitClick);
    wire(ui->pbArchiveExport, &ArchivePage::initArchiveExport);
    setMeterControls({"pbLoadArchive", "pbArchiveRead", "pbArchiveInit"});
    LevelRules levels;
    levels.shown = {"pbArchiveInit"};
    levels.userHidden = {"pbArchiveInit"};
    levels.administratorHidden = {};
    setLevelRules(levels);
    setReading({ArchiveRead, ArchiveRead3}, [this] {
        m_model->setRowCount(0);
        ui->chartArchive->setProfile({}, false);
    });
}

ArchivePage::~ArchivePage()
{
    delete ui;
}

void ArchivePage::loadArchiveClick()
{
    sendKind(requestkinds::Archive);
}

void ArchivePage::parametersRead(const QList<QByteArray> &replies)
{
    // Replies of "01 3d" (period) and "06 10" (size).
    const std::optional<int> period = records::archivePeriodIndex(replies.value(0));
    const std::optional<quint32> size = records::archiveSize(replies.value(1));
    if (period)
        ui->cbArchivePeriod->setCurrentIndex(*period);
    if (size) {
        const int records = int(qMin<quint32>(*size, kAddressableRecords));
        ui->sbArchiveStart->setMaximum(records);
        ui->sbArchiveStart->setValue(0);
        ui->sbArchiveEnd->setMaximum(records);
        ui->sbArchiveEnd->setValue(records);
        ui->pbArchiveRead->setEnabled(true);
    }
    if (!period || !size)
        emit log(tr("Ошибка: некорректный размер пакета"), logcolour::error, true, false);
}

void ArchivePage::ArchiveReadClick()
{
    const int start = ui->sbArchiveStart->value();
    const int end = ui->sbArchiveEnd->value();
    if (end - start <= 0)
        return;
    int kind = 0;
    switch (host()->meterSeries()) {
    case MeterSeries::SinglePhase:
        kind = requestkinds::ArchiveRead;
        break;
    case MeterSeries::ThreePhase:
        kind = requestkinds::ArchiveRead3;
        break;
    case MeterSeries::Unrecognised:
        return;
    }
    if (host()->sendBatch(kind, records::archiveCommands(start, end)))
        m_readStart = start;
}

void ArchivePage::ArchiveInitClick()
{
    if (!confirmDeletion(tr("<p>Вы действительно хотите произвести инициализацию профиля "
                            "мощности?<br>Все записи будут удалены.")))
        return;
    const int minutes = records::archivePeriodMinutes(ui->cbArchivePeriod->currentIndex());
    host()->sendBatch(requestkinds::ArchiveInit, {catalogue::archivePeriodWrite(minutes),
                                                  catalogue::listClear(catalogue::ArchiveList)});
}

void ArchivePage::initArchiveExport()
{
    exportTable(ui->tableArchive);
}

void ArchivePage::setColumns(bool threePhase)
{
    const QStringList header = records::archiveHeader(threePhase);
    const bool changed = m_model->columnCount() != header.size();
    m_model->clear();
    m_model->setHorizontalHeaderLabels(header);
    QTableView *view = ui->tableArchive;
    const int *widths = threePhase ? kWidths3 : kWidths1;
    const int columns = threePhase ? int(std::size(kWidths3)) : int(std::size(kWidths1));
    view->setColumnWidth(0,
                         readingtable::fittedWidth(view, QStringLiteral("00.00.0000"), widths[0]));
    view->setColumnWidth(1, readingtable::fittedWidth(view, QStringLiteral("00:00"), widths[1]));
    for (int c = 2; c < columns; ++c)
        view->setColumnWidth(c, readingtable::fittedWidth(view, header[c], widths[c]));
    if (!changed)
        return;
    // The table as wide as its columns, the chart beside it gets the rest.
    const int table = view->horizontalHeader()->length() +
                      view->verticalScrollBar()->sizeHint().width() + 2 * view->frameWidth();
    ui->splArchive->setSizes({table, qMax(1, ui->splArchive->width() - table)});
}

void ArchivePage::fillTable(bool threePhaseRead, const QList<QByteArray> &replies)
{
    deviceListItem *item = host()->currentItem();
    const records::ArchiveEnergy energy =
        records::archiveEnergy(threePhaseRead, item ? item->record().version : QString());
    setColumns(threePhaseRead);
    QList<ProfileChart::Sample> samples;
    for (int i = 0; i < replies.size(); ++i) {
        const records::ArchiveRecord record =
            records::archiveRecord(energy, replies[i], m_readStart + i);
        QList<QStandardItem *> row;
        for (const QString &text : record.cells) {
            auto *cell = new QStandardItem(text);
            cell->setTextAlignment(Qt::AlignCenter);
            row << cell;
        }
        m_model->appendRow(row);
        if (record.end.isValid())
            samples.append({record.end.toSecsSinceEpoch(), record.active, record.reactive});
    }
    ui->chartArchive->setProfile(samples, threePhaseRead);
}
