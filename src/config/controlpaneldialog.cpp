// The configurator window: construction, access levels, meter series, page locking and the
// function menu.
#include "config/controlpaneldialog.h"

#include "widgets/soundcue.h"
#include "core/meterseries.h"
#include "widgets/readingtable.h"
#include "core/requestkinds.h"
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"
#include "meters/itemeditdialog.h"
#include "core/sessionparameters.h"
#include "ui_controlpaneldialog.h"
#include "widgets/diagram.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QTableView>

namespace {

// clang-format off
// Every page control that sends something to the meter: locked while no meter is selected, or
// while the selected meter waits on the stand.
const char *const kMeterControls[] = {
    "pbLoadMeasures", "pbLoadNowMeasures", "pbDiagram", "pbLoadDeviceInfo", "pbLoadSliceDay",
    "pbLoadSliceMonth", "pbClearSliceDay", "pbClearSliceMonth", "pbLoadArchive", "pbArchiveRead",
    "pbArchiveInit", "pbLoadList", "pbClearMList", "pbClearErrList", "pbClearWarnList",
    "pbLoadTime", "pbSaveTime", "pbSaveTimeAll", "pbLoadTimeMode", "pbSaveTimeMode",
    "pbLoadCalendar", "pbSaveCalendar", "pbSaveCalendarAll", "pbLoadHolidays", "pbSaveHolidays",
    "pbLoadTarif", "pbSaveTarif", "pbSaveTarifAll", "pbLoadLink", "pbSaveLink", "pbLoadDisplay",
    "pbSaveDisplay", "pbSaveDisplayAll", "pbLoadLimit", "pbSaveLimit", "pbLoadPulseSpec",
    "pbSavePulseSpec", "pbSavePulseSpecAll", "pbPulseSpec1Hz", "pbPulseSpecStd", "pbLoadPwd",
    "pbSavePwd", "pbLoadDeviceID", "pbSaveDeviceID", "pbSaveMdl", "pbLoadClockCC", "pbSaveClockCC",
    "pbLoadCC", "pbSaveCC", "pbStdCC", "pbResetCC1", "pbResetCC2", "pbResetCC3", "pbResetCC4",
    "pbResetCC6", "pbSaveRealTime", "pbMainInit", "pbCalibration1", "pbCalibration2",
    "pbCalibration3", "pbCalibration4", "pbCalibration5", "pbOutReset", "pbCalibration7",
    "pbLoadCC3", "pbSaveCC3", "pbResetCCStage3", "pbInitCalibration3", "pbSaveRealTime3", "pbMainInit3", "pbOutReset3",
};

// Shown at every access level before the level hides its own.
const char *const kLevelControls[] = {
    "pbCalcClockCC", "dsbClockCSec", "pbOptoTest", "pbAddrTableInput", "pbLoadClockCC", "frClockCC",
    "pbSaveClockCC", "pbClearSliceDay", "pbClearSliceMonth", "pbArchiveInit", "pbClearWarnList",
    "pbClearErrList", "pbClearMList", "pbSaveTime", "pbSaveTimeMode", "pbSaveHolidays",
    "pbSaveCalendar", "pbSaveTarif", "pbSaveLink", "pbSaveDisplay", "pbSaveLimit",
    "pbSavePulseSpec", "pbSavePwd", "pbSaveDeviceID", "frPwd", "pbLoadPwd", "frDeviceID",
    "pbLoadDeviceID", "cbDisplayAuto", "pbSaveTimeAll", "pbSaveCalendarAll", "pbSaveDisplayAll",
    "pbSaveTarifAll", "pbSavePulseSpecAll",
};

// A user session only reads.
const char *const kUserHidden[] = {
    "pbClearSliceDay", "pbClearSliceMonth", "pbArchiveInit", "pbClearWarnList", "pbClearErrList",
    "pbClearMList", "pbSaveTime", "pbSaveTimeAll", "pbSaveTimeMode", "pbSaveHolidays",
    "pbSaveCalendar", "pbSaveCalendarAll", "pbSaveDisplayAll", "pbSaveTarif", "pbSaveTarifAll",
    "pbSaveLink", "pbSaveDisplay", "pbSaveLimit", "pbSavePulseSpec", "pbSavePulseSpecAll",
    "pbSavePwd", "pbSaveDeviceID", "cbDisplayAuto",
};

// An administrator does not calibrate.
const char *const kAdministratorHidden[] = {
    "frCC", "frCC3", "pbCalcClockCC", "dsbClockCSec", "pbOptoTest", "pbSaveClockCC",
    "pbAddrTableInput", "cbDisplayAuto",
};
// clang-format on

constexpr int kCalibrationTab = 8;
constexpr int kUser = 0;
constexpr int kAdministrator = 1;
constexpr int kDeveloper = 2;

template <size_t N>
void setAllVisible(const ControlPanelDialog *w, const char *const (&names)[N], bool visible)
{
    const QList<QLabel *> labels = w->findChildren<QLabel *>();
    for (const char *name : names) {
        QWidget *c = w->findChild<QWidget *>(QLatin1String(name));
        if (!c)
            continue;
        c->setVisible(visible);
        // A field's caption goes with it, so no label is left standing alone.
        for (QLabel *l : labels)
            if (l->buddy() == c)
                l->setVisible(visible);
    }
}

} // namespace

ControlPanelDialog::ControlPanelDialog(QWidget *parent)
    : QDialog(parent), ui(new Ui::ControlPanelDialog), m_editor(new itemEditDialog(this)),
      m_funcMenu(new QMenu(this)), m_diagram(new Diagram(this))
{
    ui->setupUi(this);
    askInt = questions::intDialog(this);
    inform = questions::informationBox(this);
    playSound = [](const QString &path) { soundcue::play(path); };

    // One series at a time is shown; the vector diagram is reached from the function menu.
    ui->frDisplay3->hide();
    ui->frCC3->hide();
    ui->cbTarif3->hide();
    ui->pbDiagram->hide();
    for (QTableView *table : findChildren<QTableView *>())
        readingtable::applyLook(table);

    buildFuncMenu();
    using Self = ControlPanelDialog;
    connect(ui->pbFind, &QPushButton::clicked, this, &Self::searchClick);
    connect(ui->pbFuncMenu, &QPushButton::clicked, this, &Self::showFuncMenu);
    connect(ui->pbAdd, &QPushButton::clicked, this, &Self::addClick);
    connect(ui->pbRemove, &QPushButton::clicked, ui->devList, &deviceList::remoteSelected);
    wire(ui->pbOptoTest, &Self::connectionTest);
    connect(ui->devList, &deviceList::selectedItem, this, &Self::listSelectedItem);
    connect(ui->devList, &deviceList::doubleClickItem, this, &Self::listDoubleClickItem);
    connect(ui->devList, &deviceList::rightClickItem, this, &Self::listRightClickItem);
    connect(m_editor, &itemEditDialog::clickOk, this, &Self::initAddClick);

    setCompletion(requestkinds::SessionOpen,
                  [this](const QByteArray *replies, int count, int status) {
                      return sessionOpened(replies, count, status);
                  });
    setupMeasuresPage();
    disableUnbuiltButtons();
    setMeterControlsEnabled(false);
}

void ControlPanelDialog::disableUnbuiltButtons()
{
    for (QAbstractButton *b : ui->tabWidget->findChildren<QPushButton *>()) {
        if (m_wiredButtons.contains(b))
            continue;
        b->setEnabled(false);
        m_unbuilt.insert(b);
    }
}

ControlPanelDialog::~ControlPanelDialog()
{
    delete ui;
}

deviceList *ControlPanelDialog::meterList() const
{
    return ui->devList;
}

QWidget *ControlPanelDialog::widget(const char *name) const
{
    return findChild<QWidget *>(QLatin1String(name));
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
        {"actOpenAll", tr("Открыть отмеченные"), {}},
        {"actLoadSerial", tr("Считать S/N"), {}},
        {"actLoadSerialList", tr("Загрузить список S/N"), {}},
        {"actLoadAddress", tr("Считать адрес"), {}},
        {nullptr, QString(), {}},
        {"actRemove", tr("Удалить"), [list] { list->remoteSelected(); }},
        {"actAdd", tr("Добавить"), [this] { addClick(); }},
        {"actAddRange", tr("Добавить интервал адресов"), [this] { addGroupClick(); }},
        {"actEdit", tr("Изменить"), [this] { editClick(); }},
        {"actClearList", tr("Очистить список"), [this] { clearLictClick(); }},
        {"actCheckAll", tr("Отметить все"), [this] { mnCheckAllClick(); }},
        {"actUncheckAll", tr("Снять все"), [this] { mnUncheckAllClick(); }},
        {nullptr, QString(), {}},
        {"actDiagram", tr("Векторная диаграмма"), [this] { loadDiagramClick(); }},
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

void ControlPanelDialog::setSession(int channel, int accessLevel, const QByteArray &password)
{
    m_channel = channel;
    m_accessLevel = accessLevel;
    m_password = password;
    m_template.password = password;
    m_template.standMode = channel == Channel::Stand;
    ui->devList->setStandMode(channel == Channel::Stand);
    ui->devList->applyStandMode();
    // A session that ended mid-batch sent no loadComplate: that batch is over.
    m_batchRunning = false;
    m_batchItem = nullptr;
    enableAllFrames();
    applyAccessLevel(accessLevel);
}

void ControlPanelDialog::applyAccessLevel(int level)
{
    setAllVisible(this, kLevelControls, true);
    ui->tabWidget->setTabEnabled(kCalibrationTab, true);
    ui->cbAccesLevel->clear();
    ui->cbAccesLevel->addItem(tr("Пользователь"));
    switch (level) {
    case kUser:
        ui->tabWidget->setTabEnabled(kCalibrationTab, false);
        setAllVisible(this, kUserHidden, false);
        break;
    case kAdministrator:
        setAllVisible(this, kAdministratorHidden, false);
        ui->cbAccesLevel->addItem(tr("Администратор"));
        break;
    case kDeveloper:
        ui->cbAccesLevel->addItem(tr("Администратор"));
        ui->cbAccesLevel->addItem(tr("Разработчик"));
        break;
    default:
        break;
    }
}

void ControlPanelDialog::tuneInterface()
{
    if (!m_currentItem)
        return;
    const MeterSeries series = meterSeries();
    if (series != MeterSeries::Unrecognised) {
        const bool single = series == MeterSeries::SinglePhase;
        ui->frDisplay->setVisible(single);
        ui->frCC->setVisible(single);
        ui->cbTarif->setVisible(single);
        ui->frDisplay3->setVisible(!single);
        ui->frCC3->setVisible(!single);
        ui->cbTarif3->setVisible(!single);
    }
    updateDiagramAction();
}

void ControlPanelDialog::setMeterControlsEnabled(bool on)
{
    for (const char *name : kMeterControls)
        if (QWidget *c = widget(name))
            c->setEnabled(on && !m_unbuilt.contains(c));
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

void ControlPanelDialog::enableMeterControls()
{
    if (m_currentItem && !groupRunning())
        setMeterControlsEnabled(true);
}

void ControlPanelDialog::listSelectedItem(deviceListItem *item)
{
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

void ControlPanelDialog::groupReport(int kind, int status)
{
    // Group work repeats group kinds over the checked meters; until it exists a finished batch
    // has nobody to go on to.
    Q_UNUSED(kind)
    Q_UNUSED(status)
}

void ControlPanelDialog::stendAck(bool st)
{
    // Only group work waits for the stand.
    Q_UNUSED(st)
}

void ControlPanelDialog::closeEvent(QCloseEvent *event)
{
    ui->devList->closeAllSessions();
    QDialog::closeEvent(event);
    emit logout();
}
