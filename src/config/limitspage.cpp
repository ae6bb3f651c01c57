#include "config/limitspage.h"

#include "core/requestkinds.h"
#include "core/settingsdecoders.h"
#include "ui_limitspage.h"

namespace {
// Items of the pulse-output box that the shortcut buttons choose.
constexpr int kPulseCheckMode = 1;
constexpr int kPulseClock1Hz = 6;
} // namespace

LimitsPage::LimitsPage(PageHost *host, QWidget *parent)
    : ConfigPage(host, parent), ui(new Ui::LimitsPage)
{
    ui->setupUi(this);
    setupTables();

    using namespace requestkinds;
    route(Limit, ui->frLimit, [this](const QList<QByteArray> &replies) {
        settings::Limits limits;
        if (accepted(settings::decodeLimits(replies.constData(), int(replies.size()), &limits)))
            showLimits(limits);
    });
    route(PulseSpec, ui->frPulseSpec, [this](const QList<QByteArray> &replies) {
        int index = 0;
        if (accepted(settings::decodePulseMode(replies.value(0), &index)))
            ui->cbPulseMode->setCurrentIndex(index);
    });
    route(SavePulseSpec, ui->frPulseSpec);
    route(SaveLimit, ui->frLimit);

    wire(ui->pbLoadLimit, &LimitsPage::loadLimitClick);
    wire(ui->pbSaveLimit, &LimitsPage::SaveLimitClick);
    wire(ui->pbStdLimit, &LimitsPage::StdLimitClick);
    wire(ui->pbLoadPulseSpec, &LimitsPage::loadPulseSpecClick);
    wire(ui->pbSavePulseSpec, &LimitsPage::SavePulseSpecClick);
    wire(ui->pbSavePulseSpecAll, &LimitsPage::savePulseSpecAllClick);
    wire(ui->pbPulseSpec1Hz, &LimitsPage::savePulseSpecMode1HzClick);
    wire(ui->pbPulseSpecStd, &LimitsPage::savePulseSpecModeStdClick);

    setMeterControls({"pbLoadLimit", "pbSaveLimit", "pbLoadPulseSpec", "pbSavePulseSpec",
                      "pbSavePulseSpecAll", "pbPulseSpec1Hz", "pbPulseSpecStd"});
    LevelRules levels;
    // The two shortcuts write the mode as well.
    levels.shown = {"pbSaveLimit", "pbSavePulseSpec", "pbSavePulseSpecAll", "pbPulseSpec1Hz",
                    "pbPulseSpecStd"};
    levels.userHidden = levels.shown;
    levels.administratorHidden = {};
    setLevelRules(levels);
}

LimitsPage::~LimitsPage()
{
    delete ui;
}

void LimitsPage::showLimits(const settings::Limits &limits)
{
    ui->dsbLimitDown->setValue(limits.voltageLow);
    ui->dsbLimitUp->setValue(limits.voltageHigh);
    ui->dsbLimitP->setValue(limits.power);
    ui->sbLimitLoad->setValue(limits.loadThreshold);
    (limits.relayClosed ? ui->rbLoadClosed : ui->rbLoadOpen)->setChecked(true);
}

void LimitsPage::loadLimitClick()
{
    sendKind(requestkinds::Limit);
}

void LimitsPage::SaveLimitClick()
{
    settings::Limits limits;
    limits.voltageLow = ui->dsbLimitDown->value();
    limits.voltageHigh = ui->dsbLimitUp->value();
    limits.power = ui->dsbLimitP->value();
    limits.relayClosed = ui->rbLoadClosed->isChecked();
    limits.loadThreshold = ui->sbLimitLoad->value();
    host()->sendBatch(requestkinds::SaveLimit, settings::limitsWrite(limits));
}

void LimitsPage::StdLimitClick()
{
    showLimits(settings::standardLimits());
}

void LimitsPage::loadPulseSpecClick()
{
    sendKind(requestkinds::PulseSpec);
}

void LimitsPage::SavePulseSpecClick()
{
    host()->sendBatch(requestkinds::SavePulseSpec,
                      {settings::pulseModeWrite(ui->cbPulseMode->currentIndex())});
}

void LimitsPage::savePulseSpecAllClick()
{
    group()->work(requestkinds::SavePulseSpec, [this] { SavePulseSpecClick(); });
}

void LimitsPage::savePulseSpecMode1HzClick()
{
    ui->cbPulseMode->setCurrentIndex(kPulseClock1Hz);
    savePulseSpecAllClick();
}

void LimitsPage::savePulseSpecModeStdClick()
{
    ui->cbPulseMode->setCurrentIndex(kPulseCheckMode);
    savePulseSpecAllClick();
}
