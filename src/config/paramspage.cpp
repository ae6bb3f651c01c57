#include "config/paramspage.h"

#include "core/requestkinds.h"
#include "core/sessionparameters.h"
#include "ui_paramspage.h"

ParamsPage::ParamsPage(PageHost *host, QWidget *parent)
    : ConfigPage(host, parent), ui(new Ui::ParamsPage)
{
    ui->setupUi(this);
    setupTables();
    setSeriesControls(ui->frDisplay, ui->frDisplay3);

    route(requestkinds::Link, ui->frLink);
    route(requestkinds::Display, ui->frDisplay);
    route(requestkinds::SaveLink, ui->frLink);
    route(requestkinds::SaveDisplay, ui->frDisplay);
    route(requestkinds::LoadPwd, ui->frPwd);
    route(requestkinds::SavePwd, ui->frPwd);
    route(requestkinds::DeviceID, ui->frDeviceID);
    route(requestkinds::SaveDeviceID, ui->frDeviceID);
    route(requestkinds::Display3, ui->frDisplay);
    route(requestkinds::SaveDisplay3, ui->frDisplay);
    route(requestkinds::SaveModel, nullptr);
    route(requestkinds::DeviceIDSpec, ui->frDeviceID);

    setMeterControls({"pbLoadLink", "pbSaveLink", "pbLoadDisplay", "pbSaveDisplay",
                      "pbSaveDisplayAll", "pbLoadPwd", "pbSavePwd", "pbLoadDeviceID",
                      "pbSaveDeviceID", "pbSaveMdl"});
    LevelRules levels;
    levels.shown = {"pbSaveLink", "pbSaveDisplay", "pbSavePwd",      "pbSaveDeviceID",  "frPwd",
                    "pbLoadPwd",  "frDeviceID",    "pbLoadDeviceID", "pbSaveDisplayAll"};
    levels.userHidden = {"pbSaveDisplayAll", "pbSaveLink", "pbSaveDisplay", "pbSavePwd",
                         "pbSaveDeviceID"};
    levels.administratorHidden = {};
    setLevelRules(levels);
}

ParamsPage::~ParamsPage()
{
    delete ui;
}

void ParamsPage::applyAccessLevel(int level)
{
    ConfigPage::applyAccessLevel(level);
    // The passwords of the session's own level and of the levels below it.
    const int top = level >= 0 && level < SessionParameters::kLevels ? level : 0;
    ui->cbAccesLevel->clear();
    for (int l = 0; l <= top; ++l)
        ui->cbAccesLevel->addItem(accessLevelName(l));
}
