#include "config/clockpage.h"

#include "core/clockdecoders.h"
#include "core/requestkinds.h"
#include "ui_clockpage.h"

#include <QHideEvent>
#include <QShowEvent>
#include <QTimer>

namespace {
constexpr int kTickMs = 100;
} // namespace

ClockPage::ClockPage(PageHost *host, QWidget *parent)
    : ConfigPage(host, parent), ui(new Ui::ClockPage), m_clockTimer(new QTimer(this))
{
    ui->setupUi(this);
    setupTables();
    m_clockTimer->setObjectName(QStringLiteral("clockTimer"));
    m_clockTimer->setInterval(kTickMs);
    connect(m_clockTimer, &QTimer::timeout, this, &ClockPage::clockTic);

    using namespace requestkinds;
    route(Time, ui->frTime, [this](const QList<QByteArray> &replies) {
        QDateTime meter;
        if (!accepted(meterclock::decodeTime(replies.value(0), &meter)))
            return;
        m_clockOffset = QDateTime::currentMSecsSinceEpoch() - meter.toMSecsSinceEpoch();
        ui->dteDevice->setDateTime(meter);
        clockTic(); // the difference at once, on its tab or not
    });
    route(TimeMode, ui->frTimeMode, [this](const QList<QByteArray> &replies) {
        bool automatic = false;
        if (accepted(meterclock::decodeTimeMode(replies.value(0), &automatic)))
            ui->cbTimeMode->setChecked(automatic);
    });
    route(SaveTimeMode, ui->frTimeMode);
    route(SaveTime, ui->frTime);

    wire(ui->pbLoadTime, &ClockPage::loadTimeClick);
    wire(ui->pbSaveTime, &ClockPage::SaveTimeClick);
    wire(ui->pbSaveTimeAll, &ClockPage::SaveRealTimeAll);
    wire(ui->pbLoadTimeMode, &ClockPage::loadTimeModeClick);
    wire(ui->pbSaveTimeMode, &ClockPage::SaveTimeModeClick);
    connect(ui->pbCurrentTimeAuto, &QAbstractButton::toggled, this,
            &ClockPage::pbCurrentTimeAutoClick);
    markWired(ui->pbCurrentTimeAuto);

    setMeterControls(
        {"pbLoadTime", "pbSaveTime", "pbSaveTimeAll", "pbLoadTimeMode", "pbSaveTimeMode"});
    LevelRules levels;
    levels.shown = {"pbSaveTime", "pbSaveTimeMode", "pbSaveTimeAll"};
    levels.userHidden = {"pbSaveTime", "pbSaveTimeAll", "pbSaveTimeMode"};
    levels.administratorHidden = {};
    setLevelRules(levels);

    // Until a time is read the meter's clock shows the computer's.
    pbCurrentTimeAutoClick();
    clockTic();
}

ClockPage::~ClockPage()
{
    delete ui;
}

void ClockPage::setTimeShift(int hours)
{
    ui->sbTimeShift->setValue(hours);
}

void ClockPage::loadTimeClick()
{
    sendKind(requestkinds::Time);
}

void ClockPage::SaveTimeClick()
{
    if (!host()->currentItem())
        return;
    clockTic();
    SaveTimeInit(ui->dteCurrent->dateTime());
}

void ClockPage::SaveTimeInit(const QDateTime &time)
{
    host()->sendBatch(requestkinds::SaveTime, {meterclock::timeWrite(time)});
}

void ClockPage::SaveRealTimeAll()
{
    group()->work(requestkinds::SaveTime, [this] { SaveTimeClick(); });
}

void ClockPage::loadTimeModeClick()
{
    sendKind(requestkinds::TimeMode);
}

void ClockPage::SaveTimeModeClick()
{
    host()->sendBatch(requestkinds::SaveTimeMode,
                      {meterclock::timeModeWrite(ui->cbTimeMode->isChecked())});
}

void ClockPage::clockTic()
{
    if (!ui->pbCurrentTimeAuto->isChecked())
        return;
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime current = now.addSecs(qint64(ui->sbTimeShift->value()) * 3600);
    const QDateTime device = now.addMSecs(-m_clockOffset);
    ui->dteCurrent->setDateTime(current);
    ui->dteDevice->setDateTime(device);
    ui->leTimeDiff->setText(meterclock::differenceText(device, current));
}

void ClockPage::pbCurrentTimeAutoClick()
{
    const bool follow = ui->pbCurrentTimeAuto->isChecked();
    ui->dteCurrent->setEnabled(!follow);
    updateTicking();
}

void ClockPage::updateTicking()
{
    // Standing still or out of sight, the displays need no ticks: an idle program stays asleep.
    if (ui->pbCurrentTimeAuto->isChecked() && isVisible()) {
        if (!m_clockTimer->isActive())
            clockTic();
        m_clockTimer->start();
    } else {
        m_clockTimer->stop();
    }
}

void ClockPage::showEvent(QShowEvent *event)
{
    ConfigPage::showEvent(event);
    updateTicking();
}

void ClockPage::hideEvent(QHideEvent *event)
{
    ConfigPage::hideEvent(event);
    updateTicking();
}
