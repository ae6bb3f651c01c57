#include "config/calibrationpage.h"

#include "core/clockdecoders.h"
#include "core/requestkinds.h"
#include "ui_calibrationpage.h"

#include <QAbstractButton>

CalibrationPage::CalibrationPage(PageHost *host, QWidget *parent)
    : ConfigPage(host, parent), ui(new Ui::CalibrationPage)
{
    ui->setupUi(this);
    setupTables();
    setSeriesControls(ui->frCC, ui->frCC3);
    connect(ui->pbOptoTest, &QAbstractButton::clicked, this, &CalibrationPage::optoTestClicked);
    markWired(ui->pbOptoTest);

    route(requestkinds::ClockCC, ui->frClockCC, [this](const QList<QByteArray> &replies) {
        qint32 value = 0;
        if (!accepted(meterclock::decodeCoefficient(replies.value(0), &value)))
            return;
        ui->sbClockC->setValue(value);
        emit log(tr("Загружены КК часов: ") + QString::number(value), logcolour::listing, false,
                 false);
    });
    route(requestkinds::CC, ui->frCC);
    route(requestkinds::SaveClockCC, ui->frClockCC);
    route(requestkinds::SaveCC, ui->frCC);
    route(requestkinds::Calibration1, ui->frCC);
    route(requestkinds::Calibration2, ui->frCC);
    route(requestkinds::Calibration3, ui->frCC);
    route(requestkinds::Calibration4, ui->frCC);
    route(requestkinds::Calibration5, ui->frCC);
    route(requestkinds::ResetLists, ui->frCC);
    route(requestkinds::FactoryInit, nullptr);
    route(requestkinds::ConformityTest, ui->frCC);
    route(requestkinds::CC3, ui->frCC3);
    route(requestkinds::SaveCC3, ui->frCC3);
    route(requestkinds::InitCalibration3, ui->frCC3);

    wire(ui->pbLoadClockCC, &CalibrationPage::loadClockCCClick);
    wire(ui->pbSaveClockCC, &CalibrationPage::SaveClockCCClick);
    wire(ui->pbCalcClockCC, &CalibrationPage::clockCSecInput);
    connect(ui->dsbClockCSec, &QAbstractSpinBox::editingFinished, this,
            &CalibrationPage::clockCSecInput);
    wire(ui->pbSaveRealTime, &CalibrationPage::SaveRealTimeClick);
    wire(ui->pbSaveRealTime3, &CalibrationPage::SaveRealTimeClick);

    setMeterControls({"pbLoadClockCC",  "pbSaveClockCC",   "pbLoadCC",           "pbSaveCC",
                      "pbStdCC",        "pbResetCC1",      "pbResetCC2",         "pbResetCC3",
                      "pbResetCC4",     "pbResetCC6",      "pbSaveRealTime",     "pbMainInit",
                      "pbCalibration1", "pbCalibration2",  "pbCalibration3",     "pbCalibration4",
                      "pbCalibration5", "pbOutReset",      "pbCalibration7",     "pbLoadCC3",
                      "pbSaveCC3",      "pbResetCCStage3", "pbInitCalibration3", "pbSaveRealTime3",
                      "pbMainInit3",    "pbOutReset3"});
    LevelRules levels;
    levels.shown = {"pbCalcClockCC", "dsbClockCSec", "pbOptoTest",   "pbAddrTableInput",
                    "pbLoadClockCC", "frClockCC",    "pbSaveClockCC"};
    levels.userHidden = {};
    levels.administratorHidden = {"frCC",       "frCC3",         "pbCalcClockCC",   "dsbClockCSec",
                                  "pbOptoTest", "pbSaveClockCC", "pbAddrTableInput"};
    setLevelRules(levels);
}

CalibrationPage::~CalibrationPage()
{
    delete ui;
}

bool CalibrationPage::optoTestOn() const
{
    return ui->pbOptoTest->isChecked();
}

bool CalibrationPage::calibrateSelected() const
{
    return ui->cbCalibrateSelected->isChecked();
}

void CalibrationPage::loadClockCCClick()
{
    sendKind(requestkinds::ClockCC);
}

void CalibrationPage::SaveClockCCClick()
{
    // The meter takes 16 bits.
    const int value = qint16(ui->sbClockC->value());
    host()->sendBatch(requestkinds::SaveClockCC, {meterclock::coefficientWrite(value)}, QString(),
                      logcolour::info, tr("КК часов будет записан: ") + QString::number(value));
}

void CalibrationPage::clockCSecInput()
{
    if (!host()->currentItem())
        return;
    ui->sbClockC->setValue(
        meterclock::coefficientFromError(host()->meterSeries(), ui->dsbClockCSec->value()));
}

void CalibrationPage::SaveRealTimeClick()
{
    emit realTimeRequested(ui->sbTimeShiftCC->value(),
                           calibrateSelected() && !host()->groupWorkRunning());
}
