#include "config/slicepage.h"

#include "core/requestkinds.h"
#include "ui_slicepage.h"

SlicePage::SlicePage(PageHost *host, QWidget *parent)
    : ConfigPage(host, parent), ui(new Ui::SlicePage)
{
    ui->setupUi(this);
    setupTables();

    route(requestkinds::SliceDaySize, ui->frSlice);
    route(requestkinds::SliceDayRecords, ui->frSlice);
    route(requestkinds::SliceMonthSize, ui->frSlice);
    route(requestkinds::SliceMonthRecords, ui->frSlice);
    route(requestkinds::ClearSliceDay, ui->frSlice);
    route(requestkinds::ClearSliceMonth, ui->frSlice);

    setMeterControls(
        {"pbLoadSliceDay", "pbLoadSliceMonth", "pbClearSliceDay", "pbClearSliceMonth"});
    LevelRules levels;
    levels.shown = {"pbClearSliceDay", "pbClearSliceMonth"};
    levels.userHidden = {"pbClearSliceDay", "pbClearSliceMonth"};
    levels.administratorHidden = {};
    setLevelRules(levels);
}

SlicePage::~SlicePage()
{
    delete ui;
}
