#include "config/tarifpage.h"

#include "core/requestkinds.h"
#include "ui_tarifpage.h"

TarifPage::TarifPage(PageHost *host, QWidget *parent)
    : ConfigPage(host, parent), ui(new Ui::TarifPage)
{
    ui->setupUi(this);
    setupTables();
    // One series at a time is shown.
    ui->cbTarif3->hide();

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

void TarifPage::applySeries(MeterSeries series)
{
    if (series == MeterSeries::Unrecognised)
        return;
    const bool single = series == MeterSeries::SinglePhase;
    ui->cbTarif->setVisible(single);
    ui->cbTarif3->setVisible(!single);
}
