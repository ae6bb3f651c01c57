#include "config/clockpage.h"

#include "core/requestkinds.h"
#include "ui_clockpage.h"

ClockPage::ClockPage(PageHost *host, QWidget *parent)
    : ConfigPage(host, parent), ui(new Ui::ClockPage)
{
    ui->setupUi(this);
    setupTables();

    route(requestkinds::Time, ui->frTime);
    route(requestkinds::TimeMode, ui->frTimeMode);
    route(requestkinds::SaveTimeMode, ui->frTimeMode);
    route(requestkinds::SaveTime, ui->frTime);

    setMeterControls(
        {"pbLoadTime", "pbSaveTime", "pbSaveTimeAll", "pbLoadTimeMode", "pbSaveTimeMode"});
    LevelRules levels;
    levels.shown = {"pbSaveTime", "pbSaveTimeMode", "pbSaveTimeAll"};
    levels.userHidden = {"pbSaveTime", "pbSaveTimeAll", "pbSaveTimeMode"};
    levels.administratorHidden = {};
    setLevelRules(levels);
}

ClockPage::~ClockPage()
{
    delete ui;
}
