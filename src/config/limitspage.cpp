#include "config/limitspage.h"

#include "core/requestkinds.h"
#include "ui_limitspage.h"

LimitsPage::LimitsPage(PageHost *host, QWidget *parent)
    : ConfigPage(host, parent), ui(new Ui::LimitsPage)
{
    ui->setupUi(this);
    setupTables();

    route(requestkinds::Limit, ui->frLimit);
    route(requestkinds::PulseSpec, ui->frPulseSpec);
    route(requestkinds::SavePulseSpec, ui->frPulseSpec);
    route(requestkinds::SaveLimit, ui->frLimit);

    setMeterControls({"pbLoadLimit", "pbSaveLimit", "pbLoadPulseSpec", "pbSavePulseSpec",
                      "pbSavePulseSpecAll", "pbPulseSpec1Hz", "pbPulseSpecStd"});
    LevelRules levels;
    levels.shown = {"pbSaveLimit", "pbSavePulseSpec", "pbSavePulseSpecAll"};
    levels.userHidden = {"pbSaveLimit", "pbSavePulseSpec", "pbSavePulseSpecAll"};
    levels.administratorHidden = {};
    setLevelRules(levels);
}

LimitsPage::~LimitsPage()
{
    delete ui;
}
