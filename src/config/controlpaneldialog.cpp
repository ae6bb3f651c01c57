#include "config/controlpaneldialog.h"

#include "config/archivepage.h"
#include "config/calibrationpage.h"
#include "config/clockpage.h"
#include "config/eventspage.h"
#include "config/limitspage.h"
#include "config/measurespage.h"
#include "config/paramspage.h"
#include "config/slicepage.h"
#include "config/tarifpage.h"
#include "core/catalogue.h"
#include "core/commandtext.h"
#include "core/exchangerules.h"
#include "core/groupgrid.h"
#include "core/logline.h"
#include "core/measuredecoders.h"
#include "core/meterlistfile.h"
#include "core/requestkinds.h"
#include "core/sessionparameters.h"
#include "core/standframe.h"
#include "meters/addresschanger.h"
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"
#include "meters/itemeditdialog.h"
#include "ui_controlpaneldialog.h"
#include "widgets/soundcue.h"

#include <QCloseEvent>
#include <QDir>
#include <QHideEvent>
#include <QMenu>
#include <QTimer>

namespace {
// Hold time of a meter that reports 0 minutes.
constexpr int kDefaultHoldMinutes = 10;
// The operation of "Закрыть все", which is no request kind.
constexpr int kCloseAll = -2;
// Data bytes of the link parameters: address and hold time.
constexpr int kLinkAddressByte = 0;
constexpr int kLinkHoldByte = 3;
} // namespace

ControlPanelDialog::ControlPanelDialog(QWidget *parent)
    : QDialog(parent), ui(new Ui::ControlPanelDialog), m_editor(new itemEditDialog(this)),
      m_addressChanger(new AddressChanger), m_funcMenu(new QMenu(this))
{
    ui->setupUi(this);
    exchangeBusy = [] { return false; };
    askInt = questions::intDialog(this);
    inform = questions::informationBox(this);
    askYesNo = questions::yesNoBox(this);
    askSaveFile = questions::saveFileDialog(this);
    askOpenFile = questions::openFileDialog(this);
    playSound = [](const QString &path) { soundcue::play(path); };

    m_measuresPage = new MeasuresPage(this);
    m_clockPage = new ClockPage(this);
    m_paramsPage = new ParamsPage(this);
    m_calibrationPage = new CalibrationPage(this);
    m_pages = {m_measuresPage,       new SlicePage(this),  new ArchivePage(this),
               new EventsPage(this), m_clockPage,          new TarifPage(this),
               m_paramsPage,         new LimitsPage(this), m_calibrationPage};
    for (ConfigPage *page : m_pages) {
        ui->tabWidget->addTab(page, page->windowTitle());
        connect(page, &ConfigPage::log, this, &ControlPanelDialog::log);
    }

    buildFuncMenu();
    using Self = ControlPanelDialog;
    connect(ui->pbFind, &QPushButton::clicked, this, &Self::searchClick);
    connect(ui->pbFuncMenu, &QPushButton::clicked, this, &Self::showFuncMenu);
    connect(ui->pbAdd, &QPushButton::clicked, this, &Self::addClick);
    connect(ui->pbRemove, &QPushButton::clicked, ui->devList, &deviceList::remoteSelected);
    connect(m_calibrationPage, &CalibrationPage::optoTestClicked, this, &Self::connectionTest);
    connect(m_calibrationPage, &CalibrationPage::addressChangerRequested, this,
            &Self::pbShowAddressChanger);
    connect(m_addressChanger, &AddressChanger::saveSNExec, this, &Self::saveListSN);
    connect(m_addressChanger, &AddressChanger::saveAddrExec, this, &Self::saveListAddr);
    connect(m_addressChanger, &AddressChanger::saveCCExec, this, &Self::saveListCC);
    connect(m_addressChanger, &AddressChanger::loadCCExec, this, &Self::loadListCC);
    // The calibration pages' "Установка времени" step writes the time of the clock page.
    connect(m_calibrationPage, &CalibrationPage::realTimeRequested, this,
            [this](int shiftHours, bool allChecked) {
                m_clockPage->setTimeShift(shiftHours);
                if (allChecked)
                    m_clockPage->SaveRealTimeAll();
                else
                    m_clockPage->SaveTimeClick();
            });
    connect(ui->devList, &deviceList::selectedItem, this, &Self::listSelectedItem);
    connect(ui->devList, &deviceList::doubleClickItem, this, &Self::listDoubleClickItem);
    connect(ui->devList, &deviceList::rightClickItem, this, &Self::listRightClickItem);
    connect(m_editor, &itemEditDialog::clickOk, this, &Self::initAddClick);

    addRoute(
        requestkinds::SessionOpen, nullptr,
        [this](const QList<QByteArray> &replies, int status) {
            return sessionOpened(replies, status);
        },
        true);
    for (ConfigPage *page : m_pages)
        page->lockUnbuilt();
    setMeterControlsEnabled(false);
}

ControlPanelDialog::~ControlPanelDialog()
{
    delete m_addressChanger;
    delete ui;
}

deviceList *ControlPanelDialog::meterList() const
{
    return ui->devList;
}

void ControlPanelDialog::buildFuncMenu()
{
    struct Entry
    {
        const char *name;
        QString text;
        std::function<void()> run; // empty: the entry's work is not built yet
    };
    deviceList *list = ui->devList;
    const Entry entries[] = {
        {"actOpen", tr("Открыть"), [this] { openSessionClick(); }},
        {"actClose", tr("Закрыть"), [this] { closeSessionClick(); }},
        {"actOpenAll", tr("Открыть отмеченные"), [this] { mnOpenAll(); }},
        {"actCloseAll", tr("Закрыть все"), [this] { mnCloseAll(); }},
        {"actLoadSerial", tr("Считать S/N"), [this] { m_paramsPage->loadDeviceIDSpecClick(); }},
        {"actLoadSerialList", tr("Загрузить список S/N"), [this] { mnLoadDevListFromFileClick(); }},
        {"actLoadAddress", tr("Считать адрес"), [this] { m_paramsPage->loadLinkClick(); }},
        {nullptr, QString(), {}},
        {"actRemove", tr("Удалить"), [list] { list->remoteSelected(); }},
        {"actAdd", tr("Добавить"), [this] { addClick(); }},
        {"actAddRange", tr("Добавить интервал адресов"), [this] { addGroupClick(); }},
        {"actEdit", tr("Изменить"), [this] { editClick(); }},
        {"actClearList", tr("Очистить список"), [this] { clearLictClick(); }},
        {"actCheckAll", tr("Отметить все"), [this] { mnCheckAllClick(); }},
        {"actUncheckAll", tr("Снять все"), [this] { mnUncheckAllClick(); }},
        {nullptr, QString(), {}},
        {"actDiagram", tr("Векторная диаграмма"), [this] { m_measuresPage->loadDiagramClick(); }},
    };
    for (const Entry &e : entries) {
        if (!e.name) {
            m_funcMenu->addSeparator();
            continue;
        }
        QAction *a = m_funcMenu->addAction(e.text);
        a->setObjectName(QLatin1String(e.name));
        if (e.run)
            connect(a, &QAction::triggered, this, e.run);
        else
            a->setEnabled(false);
    }
    m_actEdit = m_funcMenu->findChild<QAction *>(QStringLiteral("actEdit"));
    m_actDiagram = m_funcMenu->findChild<QAction *>(QStringLiteral("actDiagram"));
    // The diagram's button stays hidden; its shortcut works in the whole window.
    m_actDiagram->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    addAction(m_actDiagram);
}

// ---- Session, access level, series

void ControlPanelDialog::setSession(int channel, int accessLevel, const QByteArray &password)
{
    m_channel = channel;
    m_accessLevel = accessLevel;
    m_password = password;
    m_template.password = password;
    m_template.standMode = channel == Channel::Stand;
    ui->devList->setStandMode(channel == Channel::Stand);
    ui->devList->applyStandMode();
    // A session that ended mid-batch sent no loadComplate: that batch is over, and so is group
    // work that waited on it or on the stand.
    m_batchKind = -1;
    m_batchItem = nullptr;
    groupClear();
    enableAllFrames();
    ui->devList->setItemsEnabled(true);
    applyAccessLevel(accessLevel);
}

void ControlPanelDialog::applyAccessLevel(int level)
{
    for (ConfigPage *page : m_pages)
        page->applyAccessLevel(level);
    // A user session does not calibrate.
    ui->tabWidget->setTabEnabled(ui->tabWidget->indexOf(m_calibrationPage), level != 0);
}

MeterSeries ControlPanelDialog::meterSeries() const
{
    return m_currentItem ? meterSeriesOf(m_currentItem->record().version)
                         : MeterSeries::Unrecognised;
}

void ControlPanelDialog::tuneInterface()
{
    if (!m_currentItem)
        return;
    const MeterSeries series = meterSeries();
    for (ConfigPage *page : m_pages)
        page->applySeries(series);
    updateDiagramAction();
}

void ControlPanelDialog::setMeterControlsEnabled(bool on)
{
    for (ConfigPage *page : m_pages)
        page->setMeterControlsEnabled(on);
    m_actEdit->setEnabled(on);
    m_meterControlsOn = on;
    updateDiagramAction();
}

void ControlPanelDialog::updateDiagramAction()
{
    const bool threePhase = meterSeries() == MeterSeries::ThreePhase;
    m_actDiagram->setVisible(threePhase);
    m_actDiagram->setEnabled(threePhase && m_meterControlsOn);
}

void ControlPanelDialog::noteLogLine(const QString &text, const QColor &colour, const QTime &stamp)
{
    if (colour == logcolour::error) {
        ui->lbStatusLine->setText(logline::span(
            text, logline::colourHex(colour.red(), colour.green(), colour.blue()), stamp));
        // The line is cut at the window's width; the tip shows it whole.
        ui->lbStatusLine->setToolTip(text);
    } else if (colour == logcolour::success) {
        ui->lbStatusLine->clear();
        ui->lbStatusLine->setToolTip(QString());
    }
}

QString ControlPanelDialog::statusLine() const
{
    return ui->lbStatusLine->text();
}

void ControlPanelDialog::enableMeterControls()
{
    if (m_currentItem && !groupRunning())
        setMeterControlsEnabled(true);
}

// ---- Batches

QString ControlPanelDialog::sessionOpenCommand() const
{
    const bool own = m_currentItem && !m_currentItem->record().useStdPwd;
    return commandtext::sessionOpen(m_accessLevel,
                                    own ? m_currentItem->record().password : m_password);
}

void ControlPanelDialog::addRoute(int kind, QWidget *frame, Completion run, bool anyStatus)
{
    m_routes.insert(kind, {frame, std::move(run), anyStatus});
}

bool ControlPanelDialog::confirm(const QString &title, const QString &text)
{
    return askYesNo(title, text);
}

QString ControlPanelDialog::saveFileName(const QString &title, const QString &folder,
                                         const QString &filter)
{
    return askSaveFile(title, folder, filter);
}

QString ControlPanelDialog::openFileName(const QString &title, const QString &folder,
                                         const QString &filter)
{
    return askOpenFile(title, folder, filter);
}

QWidget *ControlPanelDialog::frameOf(int kind) const
{
    return m_routes.value(kind).frame;
}

void ControlPanelDialog::setDecoder(int kind, Decoder decoder)
{
    Route &route = m_routes[kind];
    route.anyStatus = false;
    route.run = [decoder](const QList<QByteArray> &replies, int status) {
        decoder(replies);
        return status;
    };
}

void ControlPanelDialog::enableAllFrames()
{
    for (const Route &route : std::as_const(m_routes))
        if (route.frame)
            route.frame->setEnabled(true);
}

bool ControlPanelDialog::sendBatch(int kind, const QStringList &commands, const QString &title,
                                   const QColor &titleColour, const QString &values)
{
    const requestkinds::KindInfo *info = requestkinds::find(kind);
    // The engine refuses a batch without a meter or commands and never reports it: the frame
    // would stay disabled.
    if (!info || !m_currentItem || commands.isEmpty())
        return false;
    if (exchangeBusy()) {
        emit log(exchangerules::busyRequestRefused(), logcolour::error, true, false);
        return false;
    }
    QWidget *frame = frameOf(kind);
    if (frame)
        frame->setEnabled(false);
    QStringList batch;
    if (!info->followUp)
        batch << sessionOpenCommand();
    batch << commands;

    const QString text = title.isEmpty() ? requestkinds::title(kind) : title;
    if (!text.isEmpty())
        emit log(text, titleColour, true, true);
    if (!values.isEmpty())
        emit log(values, logcolour::listing, false, false);
    m_batchKind = kind;
    m_batchItem = m_currentItem;
    if (emit init_exchange_device(m_currentItem, kind, batch, info->ackTimeOut))
        return true;
    // Refused: nothing will come back.
    m_batchKind = -1;
    if (frame)
        frame->setEnabled(true);
    return false;
}

void ControlPanelDialog::loadComplate(int type, QList<QByteArray> replies, int status)
{
    // Batches that others started on the engine are theirs to read.
    if (m_batchKind < 0 || type != m_batchKind)
        return;
    m_batchKind = -1;
    const requestkinds::KindInfo *info = requestkinds::find(type);
    const Route route = m_routes.value(type);
    if (route.frame)
        route.frame->setEnabled(true);

    int passed = status;
    if (route.run && (status == 0 || route.anyStatus)) {
        // Follow-up batches have no session-open command in front.
        if (!info->followUp && !replies.isEmpty())
            replies.removeFirst();
        passed = route.run(replies, status);
        for (ConfigPage *page : std::as_const(m_pages))
            if (page->readsInto(type))
                page->readingShown(m_batchItem);
    }
    if (info->group && passed != kFollowedUp)
        groupReport(type, passed);
}

void ControlPanelDialog::meterChanged(deviceListItem *item)
{
    if (!item)
        return;
    item->updateView();
    ui->devList->relayout();
}

void ControlPanelDialog::setMeterEntriesEnabled(bool on)
{
    ui->devList->setItemsEnabled(on);
}

int ControlPanelDialog::checkedMeterCount() const
{
    return ui->devList->tickedCount();
}

void ControlPanelDialog::runGroupWork(int kind, const std::function<void()> &step)
{
    // Asked for while a group runs, the operation is the current meter's; with no meter checked
    // nothing happens.
    if (groupRunning())
        step();
    else
        startGroupWork(kind, step);
}

bool ControlPanelDialog::calibrateSelected() const
{
    return m_calibrationPage->calibrateSelected();
}

// ---- Group work

bool ControlPanelDialog::startGroupWork(int kind, const std::function<void()> &step, bool listMode)
{
    QList<deviceListItem *> meters;
    for (int i = 0; deviceListItem *item = ui->devList->tickedItem(i); ++i)
        meters << item;
    return startGroup(kind, step, listMode, meters);
}

bool ControlPanelDialog::startGroup(int kind, const std::function<void()> &step, bool listMode,
                                    const QList<deviceListItem *> &meters)
{
    if (meters.isEmpty() || groupRunning())
        return false;
    ++m_groupRun;
    m_groupSize = int(meters.size());
    m_groupPos = 0;
    m_groupKind = kind;
    m_groupStep = step;
    m_groupListMode = listMode;
    m_groupItems.clear();
    m_groupLabels.clear();
    for (deviceListItem *item : meters) {
        m_groupItems << item;
        const DeviceRecord &r = item->record();
        m_groupLabels << (r.standMode ? r.standAddr : r.address);
    }
    m_groupStatus = QList<int>(m_groupSize, GroupOk);
    emit log(tr("Инициализация групповой работы"), logcolour::info, true, false);
    groupStepInto();
    return true;
}

void ControlPanelDialog::groupLater(void (ControlPanelDialog::*work)())
{
    const int run = m_groupRun;
    QTimer::singleShot(0, this, [this, run, work] {
        if (groupRunning() && run == m_groupRun)
            (this->*work)();
    });
}

void ControlPanelDialog::groupStepInto()
{
    deviceListItem *item = m_groupItems.value(m_groupPos);
    if (!item) {
        // The meter left the list meanwhile: nothing was done to it.
        m_groupStatus[m_groupPos] = GroupError;
        groupNext(0);
        return;
    }
    item->record().current = true;
    item->updateView();
    ui->devList->selected(item);
    ui->devList->ensureWidgetVisible(item);
    if (item->record().standMode) {
        m_groupAwaitingStand = true;
        emit stendSelectAddr(item->record().standAddr);
        return;
    }
    groupRunStep();
}

void ControlPanelDialog::groupRunStep()
{
    const int run = m_groupRun;
    m_groupAwaitingReport = true;
    m_groupStep();
    // Stopped by the operation itself, or already reported.
    if (!groupRunning() || run != m_groupRun || !m_groupAwaitingReport)
        return;
    if (m_groupAwaitingClose || batchRunning())
        return;
    // The operation refused the meter without sending anything.
    m_groupAwaitingReport = false;
    if (m_groupStatus[m_groupPos] == GroupOk)
        m_groupStatus[m_groupPos] = GroupSkip;
    groupNext(0);
}

void ControlPanelDialog::markGroupStatus(GroupStatus status)
{
    if (groupRunning() && m_groupPos < m_groupStatus.size())
        m_groupStatus[m_groupPos] = status;
}

void ControlPanelDialog::groupReport(int kind, int status)
{
    Q_UNUSED(kind)
    // Only the batch that the step started counts, not one the user started meanwhile.
    if (!groupRunning() || !m_groupAwaitingReport || m_groupAwaitingClose)
        return;
    m_groupAwaitingReport = false;
    groupNext(status);
}

void ControlPanelDialog::groupNext(int status)
{
    if (status == 1) {
        groupClear();
        emit log(tr("Групповая работа прервана пользователем"), logcolour::error, true, false);
        return;
    }
    if (status == 2) {
        m_groupStatus[m_groupPos] = GroupError;
        if (deviceListItem *item = m_groupItems.value(m_groupPos)) {
            item->record().sessionOpen = false;
            item->stopSessionTimer();
            item->updateView();
        }
    }
    ++m_groupPos;
    // From the event loop: the finished batch is fully handled before the next one starts, and
    // a long group does not nest.
    if (m_groupPos < m_groupSize)
        groupLater(&ControlPanelDialog::groupStepInto);
    else
        groupFinish();
}

void ControlPanelDialog::groupFinish()
{
    emit log(tr("Завершение групповой работы"), logcolour::success, true, false);
    QList<groupgrid::Cell> cells;
    for (int i = 0; i < m_groupSize; ++i) {
        const deviceListItem *item = m_groupItems.value(i);
        // What the meter is now, after an address write too.
        const int label = !item                      ? m_groupLabels.value(i)
                          : item->record().standMode ? item->record().standAddr
                                                     : item->record().address;
        cells.append({label, m_groupStatus.value(i)});
    }
    emit html_line(groupgrid::html(cells));
    if (m_groupKind == requestkinds::CC && m_groupListMode) {
        if (m_addressChanger->hasDuplicates())
            emit log(tr("<strong>Внимание! Найдены дубликаты в записях КК!</strong>"),
                     logcolour::notice, false, false);
        else
            emit log(tr("Записи КК считаны без ошибок"), logcolour::success, false, false);
    }
    playSound(QLatin1String(soundcue::notify));
    groupClear();
    // The controls follow the current meter again (a stand meter is switched in first).
    ui->devList->reemitSelection();
}

void ControlPanelDialog::groupClear()
{
    ++m_groupRun;
    m_groupSize = 0;
    m_groupPos = 0;
    m_groupKind = -1;
    m_groupStep = nullptr;
    m_groupItems.clear();
    m_groupLabels.clear();
    m_groupListMode = false;
    m_groupAwaitingStand = false;
    m_groupAwaitingReport = false;
    m_groupAwaitingClose = false;
}

void ControlPanelDialog::skipGroupMeter()
{
    markGroupStatus(GroupSkip);
}

void ControlPanelDialog::stopGroupWork()
{
    groupClear();
}

void ControlPanelDialog::stendAck(bool st)
{
    // Only the selection that group work asked for is its business.
    if (!groupRunning() || !m_groupAwaitingStand)
        return;
    m_groupAwaitingStand = false;
    if (st && m_groupItems.value(m_groupPos)) {
        groupRunStep();
        return;
    }
    groupClear();
    emit log(st ? tr("Работа с группой прекращена из-за ошибки стенда (некорректный выбор адреса "
                     "на стенде)")
                : tr("Работа с группой прекращена из-за некорректного выбор адреса на стенде или "
                     "аппаратной ошибки стенда"),
             logcolour::error, true, false);
}

QString ControlPanelDialog::groupListLine() const
{
    return groupListMode() ? m_addressChanger->lines().value(m_groupPos) : QString();
}

void ControlPanelDialog::appendGroupListLine(const QString &line)
{
    if (groupListMode())
        m_addressChanger->appendLine(line);
}

bool ControlPanelDialog::listFitsGroup(const QString &listName)
{
    const int lines = m_addressChanger->loadList();
    const int checked = ui->devList->tickedCount();
    if (lines == checked)
        return true;
    emit log(tr("Размер списка выбранных счетчиков (") + QString::number(checked) +
                 tr(") отличается от списка ") + listName + QStringLiteral(" (") +
                 QString::number(lines) + QStringLiteral(")"),
             logcolour::error, true, false);
    return false;
}

void ControlPanelDialog::saveListSN()
{
    if (!groupRunning() && listFitsGroup(tr("серийных номеров")))
        startGroupWork(
            requestkinds::SaveDeviceID, [this] { m_paramsPage->saveDeviceIDFromList(); }, true);
}

void ControlPanelDialog::saveListAddr()
{
    if (!groupRunning() && listFitsGroup(tr("адресов")))
        startGroupWork(
            requestkinds::SaveLink, [this] { m_paramsPage->SaveLinkFromList(); }, true);
}

void ControlPanelDialog::saveListCC()
{
    if (!groupRunning() && listFitsGroup(tr("КК")))
        startGroupWork(
            requestkinds::SaveCC, [this] { m_calibrationPage->SaveCCClick(); }, true);
}

void ControlPanelDialog::loadListCC()
{
    if (groupRunning() || ui->devList->tickedCount() == 0)
        return;
    m_addressChanger->listClear();
    startGroupWork(
        requestkinds::CC, [this] { m_calibrationPage->loadCCClick(); }, true);
}

void ControlPanelDialog::mnOpenAll()
{
    startGroupWork(requestkinds::SessionOpen, [this] { openSessionClick(); });
}

void ControlPanelDialog::mnCloseAll()
{
    QList<deviceListItem *> open;
    for (int i = 0; deviceListItem *item = ui->devList->itemAt(i); ++i)
        if (item->record().sessionOpen)
            open << item;
    // Each meter in turn, switched in on the stand: its "09 01" and the answer to it (or its
    // time-out) before the next, since the meters share one line.
    startGroup(
        kCloseAll,
        [this] {
            if (exchangeBusy())
                return;
            m_groupAwaitingClose = true;
            closeSessionClick();
        },
        false, open);
}

// ---- The meter list pane

void ControlPanelDialog::pbShowAddressChanger()
{
    // Frame to frame: the window manager's borders do not make the two overlap.
    const QRect outer = frameGeometry();
    m_addressChanger->resize(240, height());
    m_addressChanger->move(outer.x() + outer.width() + 20, outer.y());
    m_addressChanger->show();
    m_addressChanger->raise();
    m_addressChanger->activateWindow();
}

void ControlPanelDialog::openSessionClick()
{
    if (!m_currentItem)
        return;
    sendBatch(requestkinds::SessionOpen, requestkinds::fixedCommands(requestkinds::SessionOpen),
              QString(), logcolour::success);
}

int ControlPanelDialog::sessionOpened(const QList<QByteArray> &replies, int status)
{
    deviceListItem *item = m_batchItem;
    if (!item)
        return status;
    DeviceRecord &record = item->record();
    if (status != 0) {
        record.sessionOpen = false;
        item->stopSessionTimer();
        item->updateView();
        return status;
    }
    // Replies of "01 20" (device name), "01 29" (link parameters), "01 21" (version).
    if (!replies.isEmpty())
        record.version = measures::deviceText(replies[0]);
    QByteArray link;
    if (replies.size() > 1 && measures::dataBytes(replies[1], &link) &&
        link.size() > kLinkHoldByte) {
        if (record.usesSerialNumber())
            record.address = quint8(link[kLinkAddressByte]);
        const int minutes = quint8(link[kLinkHoldByte]);
        record.sessionTimeout = minutes ? minutes : kDefaultHoldMinutes;
    } else {
        emit log(tr("Ошибка: некорректный размер пакета"), logcolour::error, true, false);
    }
    tuneInterface();
    // Marked open, the meter closes its end after the hold time without traffic: so does the
    // mark.
    record.sessionOpen = true;
    item->startSessionTimer();
    item->updateView();
    ui->devList->relayout();
    // A meter of unknown series stays open, but group work counts it as failed.
    return meterSeriesOf(record.version) == MeterSeries::Unrecognised ? 2 : 0;
}

void ControlPanelDialog::closeSessionClick()
{
    if (!m_currentItem)
        return;
    if (exchangeBusy()) {
        // "09 01" would go out between a request of the batch and its reply.
        emit log(exchangerules::busyRequestRefused(), logcolour::error, true, false);
        return;
    }
    emit log(catalogue::operationTitle(catalogue::Operation::CloseSession), logcolour::success,
             true, false);
    m_currentItem->record().sessionOpen = false;
    m_currentItem->stopSessionTimer();
    m_currentItem->updateView();
    emit sendTextCmd(m_currentItem, catalogue::sessionClose(), 0);
}

void ControlPanelDialog::forgetOtherReadings(deviceListItem *current)
{
    for (ConfigPage *page : std::as_const(m_pages)) {
        if (!page->holdsReading())
            continue;
        deviceListItem *owner = page->readingOwner();
        bool listed = false;
        for (int i = 0; owner && !listed && ui->devList->itemAt(i); ++i)
            listed = ui->devList->itemAt(i) == owner;
        // No meter current keeps what a listed meter gave: nothing else has replaced it.
        if (current ? owner != current : !listed)
            page->clearReading();
    }
}

void ControlPanelDialog::listSelectedItem(deviceListItem *item)
{
    forgetOtherReadings(item);
    m_currentItem = item;
    tuneInterface();
    if (groupRunning())
        return;
    setMeterControlsEnabled(item && !item->record().standMode);
    emit listSelectedItemClick(item);
}

void ControlPanelDialog::listDoubleClickItem(deviceListItem *item)
{
    Q_UNUSED(item) // the press before the double click made it current
    if (!groupRunning())
        openSessionClick();
}

void ControlPanelDialog::listRightClickItem(deviceListItem *item, QPoint pos)
{
    m_funcMenu->popup(item ? item->mapToGlobal(pos) : QCursor::pos());
}

void ControlPanelDialog::showFuncMenu()
{
    m_funcMenu->popup(ui->pbFuncMenu->mapToGlobal(QPoint(0, 0)));
}

void ControlPanelDialog::searchClick()
{
    emit searchStart();
}

void ControlPanelDialog::addClick()
{
    m_editMode = false;
    m_edited = nullptr;
    m_template.standMode = m_channel == Channel::Stand;
    m_editor->setRecord(m_template);
    m_editor->show();
}

void ControlPanelDialog::editClick()
{
    if (!m_currentItem)
        return;
    DeviceRecord record = m_currentItem->record();
    record.standMode = m_channel == Channel::Stand;
    m_editMode = true;
    m_edited = m_currentItem;
    m_editor->setRecord(record);
    m_editor->show();
}

void ControlPanelDialog::initAddClick()
{
    const DeviceRecord &edited = m_editor->record();
    const QString duplicate = tr("Счетчик с таким адресом уже есть в списке");
    if (!m_editMode) {
        if (!ui->devList->addItem(edited)) {
            inform(tr("Невозможно добавить"), duplicate);
            return;
        }
        m_editor->hide();
        return;
    }
    if (!m_edited) {
        // The row went while the editor was open.
        m_editor->hide();
        return;
    }
    if (ui->devList->findDuplicate(edited, m_edited)) {
        inform(tr("Невозможно изменить"), duplicate);
        return;
    }
    // What the editor shows is the meter's place and password; the rest is the row's own state,
    // which may have moved on while the editor was open.
    const DeviceRecord &row = m_edited->record();
    DeviceRecord record = edited;
    record.sessionTimeout = row.sessionTimeout;
    record.sessionOpen = row.sessionOpen;
    record.ticked = row.ticked;
    record.current = row.current;
    record.version = row.version;
    m_edited->setRecord(record);
    ui->devList->relayout();
    m_editor->hide();
}

void ControlPanelDialog::addGroupClick()
{
    const bool stand = m_channel == Channel::Stand;
    const int last = stand ? standframe::kPositions : kLastAddress;
    const std::optional<questions::Range> range =
        questions::askAddressRange(askInt, tr("Добавить"), last);
    if (!range)
        return;
    // A minimum above the maximum adds nothing.
    for (int i = range->min; i <= range->max; ++i) {
        DeviceRecord record;
        record.version = QStringLiteral("-");
        record.password = m_password;
        if (stand) {
            record.address = kLastAddress;
            record.standAddr = i;
            record.standMode = true;
        } else {
            record.address = i;
        }
        // A meter already listed is skipped.
        ui->devList->addItem(record);
    }
}

void ControlPanelDialog::mnLoadDevListFromFileClick()
{
    const QString path =
        askOpenFile(tr("Загрузка файла"), QDir::currentPath(), QStringLiteral("Text file (*.txt)"));
    if (path.isEmpty())
        return;
    QList<QByteArray> serials;
    QString reason;
    if (!meterlistfile::read(path, &serials, &reason)) {
        emit log(tr("Список счетчиков не загружен из файла ") + path + QStringLiteral(": ") +
                     reason,
                 logcolour::error, true, false);
        return;
    }
    // A file that is no list at all says so, rather than seeming to do nothing.
    if (serials.isEmpty()) {
        emit log(tr("В файле ") + path + tr(" нет серийных номеров (строк из 15 символов)"),
                 logcolour::notice, true, false);
        return;
    }
    for (const QByteArray &serial : std::as_const(serials)) {
        DeviceRecord record;
        record.address = kLastAddress;
        record.standAddr = 0;
        record.standMode = false;
        record.version = QStringLiteral("-");
        record.password = m_password;
        record.serialNumber = serial;
        ui->devList->addItem(record);
    }
}

void ControlPanelDialog::clearLictClick()
{
    ui->devList->clearList();
}

void ControlPanelDialog::mnCheckAllClick()
{
    ui->devList->setAllTicked(true);
}

void ControlPanelDialog::mnUncheckAllClick()
{
    ui->devList->setAllTicked(false);
}

void ControlPanelDialog::connectionTest()
{
    if (m_calibrationPage->optoTestOn()) {
        // Every packet is now a test echo, played as a sound; no meter is worked meanwhile.
        ui->devList->deselectAll();
        ui->devList->setEnabled(false);
    } else {
        ui->devList->setEnabled(true);
    }
}

void ControlPanelDialog::unknownLoadComplate(int st)
{
    // The answer to a close of "Закрыть все", or its time-out.
    if (groupRunning() && m_groupAwaitingClose) {
        m_groupAwaitingClose = false;
        m_groupAwaitingReport = false;
        if (st != 0)
            markGroupStatus(GroupError);
        groupNext(0);
        return;
    }
    if (st == 0 && m_calibrationPage->optoTestOn())
        playSound(QLatin1String(soundcue::test));
}

void ControlPanelDialog::closeEvent(QCloseEvent *event)
{
    ui->devList->closeAllSessions();
    QDialog::closeEvent(event);
    emit logout();
}

void ControlPanelDialog::hideEvent(QHideEvent *event)
{
    // A window minimised by the user is not a session that ended.
    if (!event->spontaneous())
        m_addressChanger->hide();
    QDialog::hideEvent(event);
}
