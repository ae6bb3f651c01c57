#include "config/eventspage.h"

#include "core/recorddecoders.h"
#include "core/requestkinds.h"
#include "ui_eventspage.h"
#include "widgets/readingtable.h"

#include <QHash>
#include <QHeaderView>
#include <QStandardItemModel>

#include <iterator>

namespace {
// Least widths of date, time, number and code, and what each must show whole.
constexpr int kWidths[] = {70, 60, 50, 120};
const char *const kSamples[] = {"00.00.0000", "00:00:00", "W000", "0000000000000000"};
constexpr int kTextColumn = 4;
} // namespace

EventsPage::EventsPage(PageHost *host, QWidget *parent)
    : ConfigPage(host, parent), ui(new Ui::EventsPage), m_model(new QStandardItemModel(this))
{
    ui->setupUi(this);
    setupTables();
    ui->tableRecords->setModel(m_model);
    emptyTable();
    for (int c = 0; c < int(std::size(kWidths)); ++c)
        ui->tableRecords->setColumnWidth(
            c, readingtable::fittedWidth(ui->tableRecords, QLatin1String(kSamples[c]), kWidths[c]));
    ui->tableRecords->horizontalHeader()->setStretchLastSection(true);

    using namespace requestkinds;
    route(ListSizes, ui->frList, [this](const QList<QByteArray> &replies) { sizesRead(replies); });
    routeRecords(EventRecords, ui->frList,
                 [this](const QList<QByteArray> &replies) { fillTable(replies); });
    // A clear empties the table whatever came of it: what it showed may be gone.
    const Completion emptied = [this](const QList<QByteArray> &, int status) {
        emptyTable();
        return status;
    };
    routeCompletion(ClearMessages, ui->frList, emptied);
    routeCompletion(ClearErrors, ui->frList, emptied);
    routeCompletion(ClearWarnings, ui->frList, emptied);

    wire(ui->pbLoadList, &EventsPage::loadListClick);
    wire(ui->pbClearMList, &EventsPage::loadClearMsgListClick);
    wire(ui->pbClearErrList, &EventsPage::loadClearErrListClick);
    wire(ui->pbClearWarnList, &EventsPage::loadClearWarnListClick);
    setMeterControls({"pbLoadList", "pbClearMList", "pbClearErrList", "pbClearWarnList"});
    LevelRules levels;
    levels.shown = {"pbClearWarnList", "pbClearErrList", "pbClearMList"};
    levels.userHidden = {"pbClearWarnList", "pbClearErrList", "pbClearMList"};
    levels.administratorHidden = {};
    setLevelRules(levels);
    setReading({EventRecords}, [this] { emptyTable(); });
}

EventsPage::~EventsPage()
{
    delete ui;
}

void EventsPage::loadListClick()
{
    sendKind(requestkinds::ListSizes);
}

void EventsPage::loadClearMsgListClick()
{
    clear(tr("<p>Вы действительно хотите очистить список сообщений?"), requestkinds::ClearMessages);
}

void EventsPage::loadClearErrListClick()
{
    clear(tr("<p>Вы действительно хотите очистить список ошибок?"), requestkinds::ClearErrors);
}

void EventsPage::loadClearWarnListClick()
{
    clear(tr("<p>Вы действительно хотите очистить список предупреждений?"),
          requestkinds::ClearWarnings);
}

void EventsPage::clear(const QString &question, int kind)
{
    if (confirmDeletion(question))
        sendKind(kind);
}

void EventsPage::emptyTable()
{
    // Rows go; the columns, and with them their widths, stay.
    m_model->setRowCount(0);
    m_model->setHorizontalHeaderLabels(records::eventHeader());
}

void EventsPage::sizesRead(const QList<QByteArray> &replies)
{
    // Replies of "06 12", "06 3c", "06 3b".
    const std::optional<int> errors = records::listCount(replies.value(0));
    const std::optional<int> warnings = records::listCount(replies.value(1));
    const std::optional<int> messages = records::listCount(replies.value(2));
    if (!errors || !warnings || !messages) {
        emit log(tr("Ошибка: некорректный размер пакета"), logcolour::error, true, false);
        return;
    }
    if (*errors + *warnings + *messages == 0) {
        emit log(tr("Список пуст"), logcolour::info, true, false);
        return;
    }
    for (const int count : {*messages, *errors, *warnings})
        if (const QString notice = records::unreadRecordsNotice(count); !notice.isEmpty())
            emit log(notice, logcolour::notice, true, false);
    const int m = records::readableRecords(*messages);
    const int e = records::readableRecords(*errors);
    const int w = records::readableRecords(*warnings);
    const QList<int> lists = records::eventLists(m, e, w);
    if (host()->sendBatch(requestkinds::EventRecords, records::eventCommands(m, e, w)))
        m_lists = lists;
}

void EventsPage::fillTable(const QList<QByteArray> &replies)
{
    const MeterSeries series = host()->meterSeries();
    emptyTable();
    QHash<int, int> counters;
    for (int i = 0; i < replies.size(); ++i) {
        // The batch knows each record's list; a reply's own object byte is the meter's word.
        const int list = m_lists.value(i, replies[i].size() > 1 ? quint8(replies[i][1]) : -1);
        QList<QStandardItem *> row;
        const QStringList cells = records::eventRow(list, series, replies[i], counters[list]++);
        for (int c = 0; c < cells.size(); ++c) {
            auto *cell = new QStandardItem(cells[c]);
            cell->setTextAlignment(c == kTextColumn ? Qt::AlignLeft | Qt::AlignVCenter
                                                    : Qt::AlignCenter);
            row << cell;
        }
        m_model->appendRow(row);
    }
}
