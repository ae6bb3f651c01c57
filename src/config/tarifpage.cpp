#include "config/tarifpage.h"

#include "core/requestkinds.h"
#include "ui_tarifpage.h"

TarifPage::TarifPage(PageHost *host, QWidget *parent)
    : ConfigPage(host, parent), ui(new Ui::TarifPage)
{
    ui->setupUi(this);
    setupTables();
    setSeriesControls(ui->cbTarif, ui->cbTarif3);

    route(requestkinds::Holidays, ui->frHolidays);
    route(requestkinds::Calendar, ui->frCalendar);
    route(requestkinds::Tarif, ui->frTarif);
    route(requestkinds::SaveTarif, ui->frTarif);
    route(requestkinds::SaveHolidays, ui->frHolidays);
    route(requestkinds::SaveCalendar, ui->frCalendar);
    route(requestkinds::Calendar3, ui->frCalendar);

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
