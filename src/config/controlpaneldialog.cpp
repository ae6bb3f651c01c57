#include "config/controlpaneldialog.h"

#include "config/archivepage.h"
#include "config/calibrationpage.h"
#include "config/clockpage.h"
#include "config/eventspage.h"
#include "config/groupwork.h"
#include "config/limitspage.h"
#include "config/measurespage.h"
#include "config/paramspage.h"
#include "config/slicepage.h"
#include "config/tarifpage.h"
#include "core/batchrules.h"
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

ControlPanelDialog::ControlPanelDialog(QWidget *parent)
    : QDialog(parent), ui(new Ui::ControlPanelDialog), m_editor(new itemEditDialog(this)),
      m_addressChanger(new AddressChanger), m_funcMenu(new QMenu(this))
{
    ui->setupUi(this);
    m_group = new GroupWork(this);
    ui->pbGroupStop->hide();
    exchangeBusy = [] { return false; };
    interruptExchange = [] {};
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
        page->setGroupWork(m_group);
        ui->tabWidget->addTab(page, page->windowTitle());
        connect(page, &ConfigPage::log, this, &ControlPanelDialog::log);
    }

    buildFuncMenu();
    using Self = ControlPanelDialog;
    connect(ui->pbFind, &QPushButton::clicked, this, &Self::searchClick);
    connect(ui->pbGroupStop, &QPushButton::clicked, m_group, &GroupWork::stop);
    connect(m_group, &GroupWork::log, this, &Self::log);
    connect(m_group, &GroupWork::html_line, this, &Self::html_line);
    connect(m_group, &GroupWork::stendSelectAddr, this, &Self::stendSelectAddr);
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
    m_group->sessionEnded();
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
    // A group's meter is of the series it had when the run started.
    if (const GroupMeter *meter = m_group->meter())
        return meterSeriesOf(meter->record.version);
    return m_currentItem ? meterSeriesOf(m_currentItem->record().version)
                         : MeterSeries::Unrecognised;
}

void ControlPanelDialog::tuneInterface()
{
    // The pages show the selected meter's series; a group's meters do not redraw them.
    if (!m_currentItem || groupWorkRunning())
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

deviceListItem *ControlPanelDialog::currentItem() const
{
    return m_group->running() ? m_group->item() : m_currentItem.data();
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
    if (m_currentItem && !groupWorkRunning())
        setMeterControlsEnabled(true);
}

// ---- Batches

QString ControlPanelDialog::sessionOpenCommand() const
{
    const deviceListItem *item = currentItem();
    const bool own = item && !item->record().useStdPwd;
    return commandtext::sessionOpen(m_accessLevel, own ? item->record().password : m_password);
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
    deviceListItem *item = currentItem();
    if (!info || !item || commands.isEmpty())
        return false;
    if (exchangeBusy()) {
        emit log(exchangerules::busyRequestRefused(), logcolour::error, true, false);
        return false;
    }
    QWidget *frame = frameOf(kind);
    if (frame)
        frame->setEnabled(false);
    const QStringList batch = batchrules::compose(kind, sessionOpenCommand(), commands);

    const QString text = title.isEmpty() ? requestkinds::title(kind) : title;
    if (!text.isEmpty())
        emit log(text, titleColour, true, true);
    if (!values.isEmpty())
        emit log(values, logcolour::listing, false, false);
    m_batchKind = kind;
    m_batchItem = item;
    if (emit init_exchange_device(item, kind, batch, info->ackTimeOut)) {
        m_group->batchSent(commands);
        return true;
    }
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
        passed = route.run(batchrules::ownReplies(type, replies), status);
        for (ConfigPage *page : std::as_const(m_pages))
            if (page->readsInto(type))
                page->readingShown(m_batchItem);
    }
    if (info->group && passed != kFollowedUp)
        m_group->report(passed);
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

bool ControlPanelDialog::calibrateSelected() const
{
    return m_calibrationPage->calibrateSelected();
}

// ---- Group work

bool ControlPanelDialog::groupWorkRunning() const
{
    return m_group->running();
}

void ControlPanelDialog::noteStandSwitch(int pos)
{
    if (pos >= 0 && pos <= standframe::kPositions)
        ++m_standAnswersDue;
}

void ControlPanelDialog::stendAck(bool st)
{
    // The answer to an earlier switch that is still due is not the last switch's.
    const bool earlier = m_standAnswersDue > 1;
    if (m_standAnswersDue > 0)
        --m_standAnswersDue;
    if (!earlier)
        m_group->standAnswer(st);
}

void ControlPanelDialog::saveListSN()
{
    m_group->saveListSN();
}

void ControlPanelDialog::saveListAddr()
{
    m_group->saveListAddr();
}

void ControlPanelDialog::saveListCC()
{
    m_group->saveListCC();
}

void ControlPanelDialog::loadListCC()
{
    m_group->loadListCC();
}

void ControlPanelDialog::mnOpenAll()
{
    m_group->openAll();
}

void ControlPanelDialog::mnCloseAll()
{
    m_group->closeAll();
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
    if (!currentItem())
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
    const batchrules::SessionReplies read = batchrules::sessionReplies(replies);
    if (!replies.isEmpty())
        record.version = read.version;
    if (read.linkRead) {
        if (record.usesSerialNumber())
            record.address = read.address;
        record.sessionTimeout = read.holdMinutes;
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
    deviceListItem *item = currentItem();
    if (!item)
        return;
    if (exchangeBusy()) {
        // "09 01" would go out between a request of the batch and its reply.
        emit log(exchangerules::busyRequestRefused(), logcolour::error, true, false);
        return;
    }
    emit log(catalogue::operationTitle(catalogue::Operation::CloseSession), logcolour::success,
             true, false);
    item->record().sessionOpen = false;
    item->stopSessionTimer();
    item->updateView();
    emit sendTextCmd(item, catalogue::sessionClose(), 0);
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
    if (groupWorkRunning())
        return;
    setMeterControlsEnabled(item && !item->record().standMode);
    if (item && m_channel == Channel::Stand)
        noteStandSwitch(item->record().standAddr);
    emit listSelectedItemClick(item);
}

void ControlPanelDialog::listDoubleClickItem(deviceListItem *item)
{
    Q_UNUSED(item) // the press before the double click made it current
    if (!groupWorkRunning())
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
    if (groupWorkRunning()) {
        // The run works its meters as they were when it started; an edit now would address the
        // next batch elsewhere.
        inform(tr("Невозможно изменить"), tr("Идет групповая работа"));
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
    if (m_group->closeAnswered(st))
        return;
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
