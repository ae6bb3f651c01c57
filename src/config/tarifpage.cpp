#include "config/tarifpage.h"

#include "core/holidays.h"
#include "core/requestkinds.h"
#include "core/schedulefiles.h"
#include "meters/devicelistitem.h"
#include "ui_tarifpage.h"

#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLayout>
#include <QMenu>
#include <QScrollBar>
#include <QStandardItemModel>

namespace {
constexpr int kColumnWidth = 55;
constexpr int kCalendarColumns = 2 + tariff::kDayTypes;
constexpr int kTimeColumn = 1;
constexpr int kHolidayColumns = 3;
// A holidays file is 40 short lines; what a bigger file holds beyond this is never read.
constexpr qint64 kHcfLimit = 64 * 1024;

QStandardItem *cell(const QString &text, bool editable = true)
{
    auto *item = new QStandardItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    if (!editable)
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

// As wide as its columns and the scroll bar a long table may need, at the left of its frame.
void fitColumns(QTableView *view, int columns)
{
    for (int c = 0; c < columns; ++c)
        view->setColumnWidth(c, kColumnWidth);
    view->setFixedWidth(columns * kColumnWidth + 2 * view->frameWidth() +
                        view->verticalScrollBar()->sizeHint().width());
    if (QLayout *layout = view->parentWidget()->layout())
        layout->setAlignment(view, Qt::AlignLeft);
}
} // namespace

TarifPage::TarifPage(PageHost *host, QWidget *parent)
    : ConfigPage(host, parent), ui(new Ui::TarifPage),
      m_calendar(new QStandardItemModel(0, kCalendarColumns, this)),
      m_holidays(new QStandardItemModel(holidays::kRows, kHolidayColumns, this)),
      m_menu(new QMenu(this)), m_zones(tariff::zonesOf(MeterSeries::SinglePhase))
{
    ui->setupUi(this);
    setupTables();
    setSeriesControls(ui->cbTarif, ui->cbTarif3);

    m_calendar->setHorizontalHeaderLabels(
        {tr("Зона"), tr("Время"), tr("Рабочий"), tr("Праздн."), tr("Суббота"), tr("Воскр.")});
    ui->tableCalendar->setModel(m_calendar);
    fitColumns(ui->tableCalendar, kCalendarColumns);
    m_holidays->setHorizontalHeaderLabels({tr("Индекс"), tr("День"), tr("Месяц")});
    ui->tableHolidays->setModel(m_holidays);
    fitColumns(ui->tableHolidays, kHolidayColumns);
    for (int r = 0; r < holidays::kRows; ++r) {
        m_holidays->setItem(r, 0, cell(QString::number(r + 1), false));
        m_holidays->setItem(r, 1, cell(QStringLiteral("-")));
        m_holidays->setItem(r, 2, cell(QStringLiteral("-")));
    }
    drawCalendar();
    connect(m_calendar, &QStandardItemModel::dataChanged, this, &TarifPage::tableCalendarUpdated);
    connect(m_holidays, &QStandardItemModel::dataChanged, this, &TarifPage::tableHolidaysUpdated);
    connect(ui->cbCalendar, &QComboBox::currentIndexChanged, this, &TarifPage::updateCalendarMonth);

    using namespace requestkinds;
    route(Calendar, ui->frCalendar, [this](const QList<QByteArray> &replies) {
        months(replies, tariff::zonesOf(MeterSeries::SinglePhase));
    });
    route(Calendar3, ui->frCalendar, [this](const QList<QByteArray> &replies) {
        months(replies, tariff::zonesOf(MeterSeries::ThreePhase));
    });
    route(Holidays, ui->frHolidays, [this](const QList<QByteArray> &replies) {
        QStringList cells;
        if (accepted(holidays::decode(replies.value(0), &cells)))
            showHolidays(cells);
    });
    route(Tarif, ui->frTarif, [this](const QList<QByteArray> &replies) {
        // The box of the meter that answered, whichever is selected now.
        const deviceListItem *item = this->host()->batchItem();
        const MeterSeries series =
            item ? meterSeriesOf(item->record().version) : MeterSeries::Unrecognised;
        int index = 0;
        if (accepted(tariff::decodeTariffCount(series, replies.value(0), &index)))
            (series == MeterSeries::SinglePhase ? ui->cbTarif : ui->cbTarif3)
                ->setCurrentIndex(index);
    });
    route(SaveTarif, ui->frTarif);
    route(SaveHolidays, ui->frHolidays);
    route(SaveCalendar, ui->frCalendar);

    wire(ui->pbLoadCalendar, &TarifPage::loadCalendarClick);
    wire(ui->pbSaveCalendar, &TarifPage::saveCalendar);
    wire(ui->pbSaveCalendarAll, &TarifPage::saveCalendarAll);
    wire(ui->pbLoadHolidays, &TarifPage::loadHolidaysClick);
    wire(ui->pbSaveHolidays, &TarifPage::saveHolidays);
    wire(ui->pbLoadTarif, &TarifPage::loadTarifClick);
    wire(ui->pbSaveTarif, &TarifPage::SaveTarifClick);
    wire(ui->pbSaveTarifAll, &TarifPage::SaveTarifClickAll);
    wire(ui->pbCalendarAdv, &TarifPage::showCalendarMenu);

    const struct
    {
        const char *name;
        QString text;
        void (TarifPage::*slot)();
    } entries[] = {
        {"actSaveCalendarFile", tr("Сохранить тарифное расписание в файл"),
         &TarifPage::saveCalendarFile},
        {"actLoadCalendarFile", tr("Загрузить тарифное расписание из файла"),
         &TarifPage::loadCalendarFile},
        {"actSaveHolidaysFile", tr("Сохранить праздничные дни в файл"),
         &TarifPage::saveHolidaysFile},
        {"actLoadHolidaysFile", tr("Загрузить праздничные дни из файла"),
         &TarifPage::loadHolidaysFile},
        {"actCopyToAllMonths", tr("Скопировать расписание на все месяцы"),
         &TarifPage::copyToAllMouth},
        {"actCopyToSeason", tr("Скопировать на 3 месяца такого же времени года"),
         &TarifPage::copyToSeason},
    };
    for (const auto &e : entries) {
        QAction *a = m_menu->addAction(e.text);
        a->setObjectName(QLatin1String(e.name));
        connect(a, &QAction::triggered, this, e.slot);
    }

    setMeterControls({"pbLoadCalendar", "pbSaveCalendar", "pbSaveCalendarAll", "pbLoadHolidays",
                      "pbSaveHolidays", "pbLoadTarif", "pbSaveTarif", "pbSaveTarifAll"});
    LevelRules levels;
    levels.shown = {"pbSaveHolidays", "pbSaveCalendar",    "pbSaveTarif",
                    "cbDisplayAuto",  "pbSaveCalendarAll", "pbSaveTarifAll"};
    levels.userHidden = {"pbSaveHolidays", "pbSaveCalendar", "pbSaveCalendarAll",
                         "pbSaveTarif",    "pbSaveTarifAll", "cbDisplayAuto"};
    levels.administratorHidden = {"cbDisplayAuto"};
    setLevelRules(levels);
}

TarifPage::~TarifPage()
{
    delete ui;
}

void TarifPage::applySeries(MeterSeries series)
{
    ConfigPage::applySeries(series);
    updateCalendarMonth();
}

// ---- Schedule

void TarifPage::drawCalendar()
{
    const tariff::Month month = m_schedule.month(m_zones, ui->cbCalendar->currentIndex());
    m_drawing = true;
    m_calendar->setRowCount(m_zones);
    for (int r = 0; r < m_zones; ++r) {
        const tariff::Zone zone = month.value(r);
        QStringList texts{QString::number(r + 1), tariff::timeText(zone.hour, zone.minute)};
        for (quint8 t : zone.tariffs)
            texts << tariff::tariffText(m_zones, t);
        // Texts of the items there are: the cell just edited is one of them.
        for (int c = 0; c < kCalendarColumns; ++c) {
            if (QStandardItem *item = m_calendar->item(r, c))
                item->setText(texts[c]);
            else
                m_calendar->setItem(r, c, cell(texts[c], c != 0));
        }
    }
    m_drawing = false;
}

void TarifPage::updateCalendarMonth()
{
    const int zones = tariff::zonesOf(host()->meterSeries());
    if (tariff::validZones(zones))
        m_zones = zones;
    drawCalendar();
}

void TarifPage::tableCalendarUpdated()
{
    if (m_drawing)
        return;
    tariff::Month month(m_zones);
    for (int r = 0; r < m_zones; ++r) {
        tariff::Zone &zone = month[r];
        tariff::parseTime(m_calendar->index(r, kTimeColumn).data().toString(), &zone.hour,
                          &zone.minute);
        for (int d = 0; d < tariff::kDayTypes; ++d)
            zone.tariffs[d] = tariff::parseTariff(
                m_zones, m_calendar->index(r, kTimeColumn + 1 + d).data().toString());
    }
    m_schedule.setMonth(m_zones, ui->cbCalendar->currentIndex(), month);
    drawCalendar();
}

void TarifPage::months(const QList<QByteArray> &replies, int zones)
{
    // All twelve or none: a schedule is never half read.
    tariff::Table table(tariff::kMonths);
    for (int m = 0; m < tariff::kMonths; ++m)
        if (!accepted(tariff::decodeMonth(zones, replies.value(m), &table[m])))
            return;
    m_schedule.setTable(zones, table);
    m_zones = zones;
    drawCalendar();
}

void TarifPage::loadCalendarClick()
{
    sendBySeries(requestkinds::Calendar, requestkinds::Calendar3);
}

void TarifPage::saveCalendar()
{
    // Only a box the session shows counts: a tick left from a developer session does not.
    writeCalendar(m_zones, m_schedule.table(m_zones),
                  ui->cbDisplayAuto->isChecked() && !ui->cbDisplayAuto->isHidden());
}

void TarifPage::writeCalendar(int zones, const tariff::Table &table, bool display)
{
    if (!host()->currentItem())
        return;
    const MeterSeries series = host()->meterSeries();
    if (tariff::zonesOf(series) != zones) {
        const QString text =
            tr("Попытка записи тарифного рассписания несоответствующей модели, отменено.");
        // In group work the meter is skipped, and the line says which one was.
        if (group()->running())
            group()->skipMeter();
        emit log(text, group()->running() ? logcolour::error : logcolour::notice, true, false);
        return;
    }
    const int mask = tariff::tariffUseMask(table);
    if (series == MeterSeries::ThreePhase && mask == 0) {
        // No zone uses any of tariffs 1 to 4: all unset, or only tariffs 5 to 8.
        emit log(tr("Тарифное рассписание некорректно! Запись отменена."), logcolour::error, true,
                 false);
        group()->stopAll();
        return;
    }
    QStringList commands;
    for (int m = 0; m < tariff::kMonths; ++m)
        commands << tariff::monthWrite(zones, m, table[m]);
    if (display)
        commands << tariff::standardDisplayWrite(series, mask);
    host()->sendBatch(requestkinds::SaveCalendar, commands);
}

void TarifPage::saveCalendarAll()
{
    // Every meter gets the table shown now, whatever is shown while the run goes on.
    const int zones = m_zones;
    const tariff::Table table = m_schedule.table(m_zones);
    const bool display = ui->cbDisplayAuto->isChecked() && !ui->cbDisplayAuto->isHidden();
    group()->work(requestkinds::SaveCalendar,
                  [this, zones, table, display] { writeCalendar(zones, table, display); });
}

void TarifPage::copyMonth(const QList<int> &into)
{
    const tariff::Month month = m_schedule.month(m_zones, ui->cbCalendar->currentIndex());
    for (int m : into)
        m_schedule.setMonth(m_zones, m, month);
    drawCalendar();
}

void TarifPage::copyToAllMouth()
{
    QList<int> others;
    for (int m = 0; m < tariff::kMonths; ++m)
        if (m != ui->cbCalendar->currentIndex())
            others << m;
    copyMonth(others);
    emit log(tr("Тарифное расписание скопировано с текущего месяца на все"), logcolour::info, true,
             false);
}

void TarifPage::copyToSeason()
{
    const int month = ui->cbCalendar->currentIndex();
    const std::array<int, 2> others = tariff::seasonMonths(month);
    copyMonth({others[0], others[1]});
    emit log(tr("Тарифное расписание скопировано с текущего месяца на весь сезон: ") +
                 tariff::seasonName(month),
             logcolour::info, true, false);
}

void TarifPage::showCalendarMenu()
{
    m_menu->popup(ui->pbCalendarAdv->mapToGlobal(QPoint(0, ui->pbCalendarAdv->height())));
}

// ---- Holidays

QStringList TarifPage::holidayCells() const
{
    QStringList cells;
    for (int r = 0; r < holidays::kRows; ++r)
        cells << m_holidays->index(r, 1).data().toString()
              << m_holidays->index(r, 2).data().toString();
    return cells;
}

void TarifPage::showHolidays(const QStringList &cells)
{
    m_drawing = true;
    for (int r = 0; r < holidays::kRows; ++r) {
        m_holidays->item(r, 1)->setText(cells.value(2 * r));
        m_holidays->item(r, 2)->setText(cells.value(2 * r + 1));
    }
    m_drawing = false;
}

void TarifPage::tableHolidaysUpdated()
{
    if (m_drawing)
        return;
    QStringList cells = holidayCells();
    for (int i = 0; i < cells.size(); ++i)
        cells[i] = holidays::normalised(cells[i], i % 2 == 1);
    showHolidays(cells);
}

void TarifPage::loadHolidaysClick()
{
    sendKind(requestkinds::Holidays);
}

void TarifPage::saveHolidays()
{
    host()->sendBatch(requestkinds::SaveHolidays, {holidays::write(holidayCells())});
}

// ---- Number of tariffs

void TarifPage::loadTarifClick()
{
    // Its reply is an item of the series' own box.
    if (host()->meterSeries() != MeterSeries::Unrecognised)
        sendKind(requestkinds::Tarif);
}

void TarifPage::SaveTarifClick()
{
    int index = 0;
    switch (host()->meterSeries()) {
    case MeterSeries::SinglePhase:
        index = ui->cbTarif->currentIndex();
        break;
    case MeterSeries::ThreePhase:
        index = ui->cbTarif3->currentIndex();
        break;
    default:
        return;
    }
    host()->sendBatch(requestkinds::SaveTarif, {tariff::tariffCountWrite(index)});
}

void TarifPage::SaveTarifClickAll()
{
    group()->work(requestkinds::SaveTarif, [this] { SaveTarifClick(); });
}

// ---- Files

namespace {
const char kZtfFilter[] = "Zarom tariff file (*.ztf)";
const char kHcfFilter[] = "Holidays file (*.hcf)";
} // namespace

void TarifPage::saveCalendarFile()
{
    const QString path = host()->saveFileName(tr("Сохранение файла"), QDir::currentPath(),
                                              QLatin1String(kZtfFilter));
    if (path.isEmpty())
        return;
    const QByteArray bytes = schedulefiles::encodeZtf(m_zones, m_schedule.table(m_zones));
    QString reason;
    if (!bytes.isEmpty() && !schedulefiles::writeFile(path, bytes, &reason))
        emit log(tr("Ошибка записи файла ") + path + QStringLiteral(": ") + reason,
                 logcolour::error, true, false);
}

void TarifPage::loadCalendarFile()
{
    const QString path =
        host()->openFileName(tr("Загрузка файла"), QDir::currentPath(), QLatin1String(kZtfFilter));
    if (path.isEmpty())
        return;
    QByteArray bytes;
    QString reason;
    int zones = 0;
    tariff::Table table;
    if (schedulefiles::readFile(path, schedulefiles::ztfSize(16), &bytes, &reason)) {
        const schedulefiles::ZtfCheck check = schedulefiles::decodeZtf(bytes, &zones, &table);
        reason = schedulefiles::ztfReason(check, bytes);
    }
    if (!reason.isEmpty()) {
        emit log(tr("Тарифное расписание не загружено из файла ") + path + QStringLiteral(": ") +
                     reason,
                 logcolour::error, true, false);
        return;
    }
    // The table of the file is shown, whichever meter is selected.
    m_schedule.setTable(zones, table);
    m_zones = zones;
    drawCalendar();
}

void TarifPage::saveHolidaysFile()
{
    const QString path = host()->saveFileName(tr("Сохранение файла"), QDir::currentPath(),
                                              QLatin1String(kHcfFilter));
    if (path.isEmpty())
        return;
    QString reason;
    if (!schedulefiles::writeFile(path, schedulefiles::encodeHcf(holidayCells()), &reason))
        emit log(tr("Ошибка записи файла ") + path + QStringLiteral(": ") + reason,
                 logcolour::error, true, false);
}

void TarifPage::loadHolidaysFile()
{
    const QString path =
        host()->openFileName(tr("Загрузка файла"), QDir::currentPath(), QLatin1String(kHcfFilter));
    if (path.isEmpty())
        return;
    QByteArray bytes;
    QString reason;
    if (!schedulefiles::readFile(path, kHcfLimit, &bytes, &reason)) {
        emit log(tr("Праздничные дни не загружены из файла ") + path + QStringLiteral(": ") +
                     reason,
                 logcolour::error, true, false);
        return;
    }
    showHolidays(schedulefiles::decodeHcf(bytes));
}
