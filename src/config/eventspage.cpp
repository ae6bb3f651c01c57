#include "config/eventspage.h"

#include "core/requestkinds.h"
#include "ui_eventspage.h"

EventsPage::EventsPage(PageHost *host, QWidget *parent)
    : ConfigPage(host, parent), ui(new Ui::EventsPage)
{
    ui->setupUi(this);
    setupTables();

    route(requestkinds::ListSizes, ui->frList);
    route(requestkinds::ClearMessages, ui->frList);
    route(requestkinds::ClearErrors, ui->frList);
    route(requestkinds::ClearWarnings, ui->frList);
    route(requestkinds::EventRecords, ui->frList);

    setMeterControls({"pbLoadList", "pbClearMList", "pbClearErrList", "pbClearWarnList"});
    LevelRules levels;
    levels.shown = {"pbClearWarnList", "pbClearErrList", "pbClearMList"};
    levels.userHidden = {"pbClearWarnList", "pbClearErrList", "pbClearMList"};
    levels.administratorHidden = {};
    setLevelRules(levels);
}

EventsPage::~EventsPage()
{
    delete ui;
}
