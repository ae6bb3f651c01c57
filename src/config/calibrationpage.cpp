#include "config/calibrationpage.h"

#include "core/catalogue.h"
#include "core/changerlist.h"
#include "core/clockdecoders.h"
#include "core/measuredecoders.h"
#include "core/requestkinds.h"
#include "meters/devicelistitem.h"
#include "ui_calibrationpage.h"

#include <QAbstractButton>
#include <QPixmap>

#include <limits>

namespace {
using calibration::Step;

// Version from which the meters run the conformity test.
constexpr double kConformityVersion = 1.1;
constexpr int kSteps = 10;
constexpr int kStartLimit = calibration::kThreeCount - 1;
// Single-phase coefficients that the log and the warning pictures show: 0, 1, 2, 3 and 5.
constexpr int kShown[] = {0, 1, 2, 3, 5};

const char kWarnPicture[] = ":/img/cc_warn.png";

QString joined(const QList<qint32> &values, std::initializer_list<int> only = {})
{
    QStringList parts;
    if (only.size() == 0)
        for (const qint32 v : values)
            parts << QString::number(v);
    for (const int i : only)
        parts << QString::number(values.value(i));
    return parts.join(QStringLiteral(", "));
}

QString shownValues(const QList<qint32> &block)
{
    return joined(block, {kShown[0], kShown[1], kShown[2], kShown[3], kShown[4]});
}
} // namespace

CalibrationPage::CalibrationPage(PageHost *host, QWidget *parent)
    : ConfigPage(host, parent), ui(new Ui::CalibrationPage)
{
    ui->setupUi(this);
    setupTables();
    setSeriesControls(ui->frCC, ui->frCC3);
    connect(ui->pbOptoTest, &QAbstractButton::clicked, this, &CalibrationPage::optoTestClicked);
    markWired(ui->pbOptoTest);
    for (QAbstractButton *b : {ui->pbAddrTableInput, ui->pbAddrTableInput3}) {
        connect(b, &QAbstractButton::clicked, this, &CalibrationPage::addressChangerRequested);
        markWired(b);
    }

    m_single = {ui->sbC1, ui->sbC2, ui->sbC3, ui->sbC4, ui->sbC5, ui->sbC6, ui->sbC7};
    for (int i = 1; i <= calibration::kThreeCount; ++i)
        m_three << findChild<QSpinBox *>(QStringLiteral("sbCC3_%1").arg(i));
    m_stepButtons = {ui->pbSaveRealTime, ui->pbMainInit,       ui->pbCalibration1,
                     ui->pbCalibration2, ui->pbCalibration3,   ui->pbCalibration4,
                     ui->pbCalibration5, ui->pbAddrTableInput, ui->pbOutReset,
                     ui->pbCalibration7};
    m_threeButtons = {ui->pbInitCalibration3, ui->pbResetCCStage3,   ui->pbSaveRealTime3,
                      ui->pbMainInit3,        ui->pbAddrTableInput3, ui->pbOutReset3,
                      ui->pbLoadCC3,          ui->pbSaveCC3};

    using namespace requestkinds;
    route(ClockCC, ui->frClockCC, [this](const QList<QByteArray> &replies) {
        qint32 value = 0;
        if (!accepted(meterclock::decodeCoefficient(replies.value(0), &value)))
            return;
        ui->sbClockC->setValue(value);
        emit log(tr("Загружены КК часов: ") + QString::number(value), logcolour::listing, false,
                 false);
    });
    route(CC, ui->frCC, [this](const QList<QByteArray> &replies) {
        QList<qint32> block;
        if (!accepted(
                calibration::decodeBlock(replies.value(0), calibration::kSingleCount, &block))) {
            this->host()->markGroupStatus(PageHost::GroupError);
            return;
        }
        showSingle(block);
        emit log(tr("Загружены КК: ") + shownValues(block), logcolour::listing, false, false);
        if (this->host()->groupListMode())
            listCoefficientsRead(block, replies.value(1));
    });
    route(CC3, ui->frCC3, [this](const QList<QByteArray> &replies) {
        QList<qint32> block;
        if (!accepted(calibration::decodeBlock(replies.value(0), calibration::kThreeCount, &block)))
            return;
        showThree(block);
        emit log(tr("Загружены КК: ") + joined(block), logcolour::listing, false, false);
        // The list's lines are single-phase blocks: this meter has none there.
        if (this->host()->groupListMode())
            this->host()->markGroupStatus(PageHost::GroupSkip);
    });
    route(SaveClockCC, ui->frClockCC);
    // The list was locked for the write; it comes back whatever the outcome.
    routeCompletion(SaveCC, ui->frCC, [this](const QList<QByteArray> &, int status) {
        this->host()->setMeterEntriesEnabled(true);
        return status;
    });
    route(SaveCC3, ui->frCC3);
    const struct
    {
        int kind;
        Step step;
    } steps[] = {{Calibration1, Step::Voltage},
                 {Calibration2, Step::Power},
                 {Calibration3, Step::Phase},
                 {Calibration4, Step::PowerOffset},
                 {Calibration5, Step::StartCurrent}};
    for (const auto &s : steps) {
        const Step step = s.step;
        routeCompletion(s.kind, ui->frCC,
                        [this, step](const QList<QByteArray> &replies, int status) {
                            return singleStepDone(step, replies, status);
                        });
    }
    route(ResetLists, ui->frCC);
    route(FactoryInit, nullptr);
    route(ConformityTest, ui->frCC,
          [this](const QList<QByteArray> &replies) { conformityTested(replies); });
    routeCompletion(requestkinds::InitCalibration3, ui->frCC3,
                    [this](const QList<QByteArray> &replies, int status) {
                        return procedureDone(replies, status);
                    });

    wire(ui->pbLoadClockCC, &CalibrationPage::loadClockCCClick);
    wire(ui->pbSaveClockCC, &CalibrationPage::SaveClockCCClick);
    wire(ui->pbCalcClockCC, &CalibrationPage::clockCSecInput);
    connect(ui->dsbClockCSec, &QAbstractSpinBox::editingFinished, this,
            &CalibrationPage::clockCSecInput);
    wire(ui->pbSaveRealTime, &CalibrationPage::SaveRealTimeClick);
    wire(ui->pbSaveRealTime3, &CalibrationPage::SaveRealTimeClick);
    wire(ui->pbLoadCC, &CalibrationPage::loadCCClick);
    wire(ui->pbSaveCC, &CalibrationPage::SaveCCClick);
    wire(ui->pbLoadCC3, &CalibrationPage::loadCCClick);
    wire(ui->pbSaveCC3, &CalibrationPage::SaveCCClick);
    wire(ui->pbStdCC, &CalibrationPage::StdCCClick);
    wire(ui->pbResetCC1, &CalibrationPage::resetCC1);
    wire(ui->pbResetCC2, &CalibrationPage::resetCC2);
    wire(ui->pbResetCC3, &CalibrationPage::resetCC3);
    wire(ui->pbResetCC4, &CalibrationPage::resetCC4);
    wire(ui->pbResetCC6, &CalibrationPage::resetCC6);
    wire(ui->pbResetCCStage3, &CalibrationPage::ResetCC3Click);
    wire(ui->pbMainInit, &CalibrationPage::MainInitClick);
    wire(ui->pbMainInit3, &CalibrationPage::MainInitClick);
    wire(ui->pbCalibration1, &CalibrationPage::MakeCalibration1Click);
    wire(ui->pbCalibration2, &CalibrationPage::MakeCalibration2Click);
    wire(ui->pbCalibration3, &CalibrationPage::MakeCalibration3Click);
    wire(ui->pbCalibration4, &CalibrationPage::MakeCalibration4Click);
    wire(ui->pbCalibration5, &CalibrationPage::MakeCalibration5Click);
    wire(ui->pbOutReset, &CalibrationPage::MakeCalibration6Click);
    wire(ui->pbOutReset3, &CalibrationPage::MakeCalibration6Click);
    wire(ui->pbCalibration7, &CalibrationPage::MakeCalibration7Click);
    wire(ui->pbInitCalibration3, &CalibrationPage::InitCalibration3);
    connect(ui->cbHelpBlock, &QComboBox::currentIndexChanged, this,
            qOverload<>(&CalibrationPage::helpBlockCCCtrl));
    connect(ui->cbHelpBlock3, &QComboBox::currentIndexChanged, this,
            &CalibrationPage::helpBlockCCCtrl3);
    connect(ui->cbCalibrateSelected, &QAbstractButton::toggled, this,
            &CalibrationPage::cbClickCalibrateSelected);
    connect(ui->cbCalibrateSelected3, &QAbstractButton::toggled, this,
            &CalibrationPage::cbClickCalibrateSelected3);
    for (QSpinBox *box : {ui->sbC1, ui->sbC2, ui->sbC3, ui->sbC4, ui->sbC6})
        connect(box, &QSpinBox::valueChanged, this, &CalibrationPage::newValueCC);

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

    ui->lblCCList->setText(calibration::hintBlock(ui->cbHelpBlock->currentIndex()));
    newValueCC();
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

void CalibrationPage::setMeterControlsEnabled(bool on)
{
    ConfigPage::setMeterControlsEnabled(on);
    m_controlsOn = on;
    helpBlockCCCtrl(on);
    helpBlockCCCtrl3();
}

// ---- Clock coefficient and the time step

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

// ---- Coefficient blocks

QList<qint32> CalibrationPage::singleBlock() const
{
    QList<qint32> block;
    for (const QSpinBox *box : m_single)
        block << box->value();
    return block;
}

void CalibrationPage::showSingle(const QList<qint32> &block)
{
    for (int i = 0; i < m_single.size() && i < block.size(); ++i)
        m_single[i]->setValue(block[i]);
}

QList<qint32> CalibrationPage::threeBlock() const
{
    QList<qint32> block;
    for (const QSpinBox *box : m_three)
        block << box->value();
    return block;
}

void CalibrationPage::showThree(const QList<qint32> &block)
{
    for (int i = 0; i < m_three.size() && i < block.size(); ++i)
        m_three[i]->setValue(block[i]);
}

void CalibrationPage::loadCCClick()
{
    // For the changer's list the clock coefficient comes with the block.
    if (host()->groupListMode() && host()->meterSeries() == MeterSeries::SinglePhase) {
        host()->sendBatch(
            requestkinds::CC,
            {catalogue::command(catalogue::Read, 0x0c), catalogue::command(catalogue::Read, 0x22)},
            tr("Получение КК счетчика и КК часов "));
        return;
    }
    sendBySeries(requestkinds::CC, requestkinds::CC3);
}

void CalibrationPage::listCoefficientsRead(const QList<qint32> &block, const QByteArray &clockReply)
{
    qint32 clock = 0;
    if (!accepted(meterclock::decodeCoefficient(clockReply, &clock))) {
        host()->markGroupStatus(PageHost::GroupError);
        return;
    }
    ui->sbClockC->setValue(clock);
    emit log(tr("Загружены КК часов: ") + QString::number(clock), logcolour::listing, false, false);
    QList<int> values;
    for (const int i : kShown)
        values << block[i];
    values << clock;
    host()->appendGroupListLine(changerlist::coefficientLine(values));
}

bool CalibrationPage::saveSingleFromList()
{
    const QString line = host()->groupListLine();
    QList<int> values;
    // Coefficients 0, 1, 2, 3, 5 and the clock's; the clock takes 16 bits.
    if (!changerlist::parseCoefficients(line, &values) || values.size() != 6 ||
        values[5] < std::numeric_limits<qint16>::min() ||
        values[5] > std::numeric_limits<qint16>::max()) {
        refuse(tr("Ошибка: запись КК в списке некорректна: ") + line, PageHost::GroupSkip);
        return false;
    }
    // Coefficients 4 and 6 are not in the list: they stay as the boxes hold them.
    QList<qint32> block = singleBlock();
    for (int i = 0; i < 5; ++i)
        block[kShown[i]] = values[i];
    showSingle(block);
    const int clock = values[5];
    host()->setMeterEntriesEnabled(false);
    if (!host()->sendBatch(requestkinds::SaveCC,
                           {calibration::singleWrite(block), meterclock::coefficientWrite(clock)},
                           QString(), logcolour::info,
                           tr("КК будут записаны: ") + shownValues(block))) {
        host()->setMeterEntriesEnabled(true);
        return false;
    }
    ui->sbClockC->setValue(clock);
    emit log(tr("КК часов будет записан: ") + QString::number(clock), logcolour::listing, false,
             false);
    return true;
}

bool CalibrationPage::saveSingle()
{
    const QList<qint32> block = singleBlock();
    // The meter stays the one written to until the reply is in.
    host()->setMeterEntriesEnabled(false);
    if (host()->sendBatch(requestkinds::SaveCC, {calibration::singleWrite(block)}, QString(),
                          logcolour::info, tr("КК будут записаны: ") + shownValues(block)))
        return true;
    host()->setMeterEntriesEnabled(true);
    return false;
}

bool CalibrationPage::saveThree()
{
    return host()->sendBatch(requestkinds::SaveCC3, calibration::threeWrite(threeBlock()));
}

void CalibrationPage::SaveCCClick()
{
    switch (host()->meterSeries()) {
    case MeterSeries::SinglePhase:
        if (host()->groupListMode())
            saveSingleFromList();
        else
            saveSingle();
        break;
    case MeterSeries::ThreePhase:
        // A list line holds a single-phase block: the boxes' 34 values are no meter's own.
        if (host()->groupListMode())
            refuse(tr("Ошибка: записи КК списка только для однофазных счетчиков"),
                   PageHost::GroupSkip);
        else
            saveThree();
        break;
    case MeterSeries::Unrecognised:
        break;
    }
}

void CalibrationPage::resetSingleFrom(int from)
{
    const QList<qint32> standard = calibration::singleInitial();
    for (int i = from; i < m_single.size(); ++i)
        m_single[i]->setValue(standard[i]);
    SaveCCClick();
}

void CalibrationPage::StdCCClick()
{
    resetSingleFrom(0);
}

void CalibrationPage::resetCC1()
{
    resetSingleFrom(0);
}

void CalibrationPage::resetCC2()
{
    resetSingleFrom(1);
}

void CalibrationPage::resetCC3()
{
    resetSingleFrom(2);
}

void CalibrationPage::resetCC4()
{
    resetSingleFrom(3);
}

void CalibrationPage::resetCC6()
{
    resetSingleFrom(5);
}

void CalibrationPage::ResetCC3Click()
{
    QList<qint32> block = threeBlock();
    calibration::resetFrom(ui->cbHelpBlock3->currentIndex(), &block);
    showThree(block);
}

void CalibrationPage::newValueCC()
{
    const QList<QLabel *> labels{ui->lblC1, ui->lblC2, ui->lblC3, ui->lblC4, ui->lblC6};
    for (int i = 0; i < labels.size(); ++i) {
        const int index = kShown[i];
        if (calibration::dimensionOk(index, m_single[index]->value()))
            labels[i]->clear();
        else
            labels[i]->setPixmap(QPixmap(QLatin1String(kWarnPicture)));
    }
}

// ---- Steps

void CalibrationPage::runStep(int kind, const std::function<void()> &step)
{
    if (calibrateSelected() && !host()->groupWorkRunning())
        host()->runGroupWork(kind, step);
    else
        step();
}

void CalibrationPage::refuse(const QString &text, PageHost::GroupStatus status)
{
    emit log(text, logcolour::error, true, false);
    host()->markGroupStatus(status);
}

void CalibrationPage::MainInitClick()
{
    runStep(requestkinds::FactoryInit, [this] { sendKind(requestkinds::FactoryInit); });
}

void CalibrationPage::sendSingleStep(Step step)
{
    // The steps are the single-phase meter's; group work may hold others.
    if (host()->meterSeries() != MeterSeries::SinglePhase)
        return;
    static const struct
    {
        int kind;
        int object;
    } kReads[] = {{requestkinds::Calibration1, 0x01},
                  {requestkinds::Calibration2, 0x03},
                  {requestkinds::Calibration3, 0x03},
                  {requestkinds::Calibration4, 0x03},
                  {requestkinds::Calibration5, 0x3a}};
    const auto &r = kReads[int(step)];
    QStringList commands;
    // The voltage step starts the calibration over: the initial block first.
    if (step == Step::Voltage)
        commands << calibration::singleInitialWrite();
    commands << catalogue::command(catalogue::Read, 0x0c);
    for (int i = 0; i < calibration::kSingleSamples; ++i)
        commands << catalogue::command(catalogue::Read, r.object);
    host()->sendBatch(r.kind, commands);
}

int CalibrationPage::singleStepDone(Step step, const QList<QByteArray> &replies, int status)
{
    if (status != 0)
        return status;
    const int blockAt = step == Step::Voltage ? 1 : 0;
    QList<qint32> block;
    if (!accepted(
            calibration::decodeBlock(replies.value(blockAt), calibration::kSingleCount, &block))) {
        host()->markGroupStatus(PageHost::GroupError);
        return status;
    }
    showSingle(block);
    if (!calibration::initialHeld(step, block)) {
        refuse(tr("Ошибка: КК не соответствуют начальным (возможно повторный запуск калибровки), "
                  "сохранение отменено"),
               PageHost::GroupSkip);
        return status;
    }
    const QList<QByteArray> readings = replies.mid(blockAt + 1);
    float average = 0;
    if (!accepted(calibration::singleAverage(step, readings.constData(), int(readings.size()),
                                             &average))) {
        host()->markGroupStatus(PageHost::GroupError);
        return status;
    }
    if (step == Step::Voltage && average <= 0) {
        refuse(tr("Ошибка: показания напряжения слишком зашумлены - невозможно осуществить "
                  "калибровку"),
               PageHost::GroupError);
        return status;
    }
    const std::optional<qint32> value = calibration::singleCoefficient(step, average);
    if (!value) {
        refuse(tr("Ошибка: рассчитанный КК не может быть записан, сохранение отменено"),
               PageHost::GroupError);
        return status;
    }
    static const char *const kTexts[] = {
        QT_TR_NOOP("Рассчитанный КК по напряжению: "),
        QT_TR_NOOP("Рассчитанный КК по мощности: "),
        QT_TR_NOOP("Рассчитанный КК по фазе: "),
        QT_TR_NOOP("Рассчитанный КК по смещению мощности: "),
        QT_TR_NOOP("Рассчитанный КК стартового тока: "),
    };
    const int index = calibration::coefficientIndex(step);
    m_single[index]->setValue(*value);
    const QString number =
        step == Step::StartCurrent ? measures::formatG6(*value) : QString::number(*value);
    emit log(tr(kTexts[int(step)]) + number, logcolour::notice, false, false);
    if (!calibration::dimensionOk(index, *value)) {
        // Written all the same: the operator decides.
        if (host()->groupWorkRunning())
            host()->markGroupStatus(PageHost::GroupWarn);
        else
            emit log(tr("Внимание! Проверьте размерность КК!"), logcolour::notice, false, false);
    }
    return saveSingle() ? kFollowedUp : status;
}

void CalibrationPage::MakeCalibration1Click()
{
    runStep(requestkinds::Calibration1, [this] { sendSingleStep(Step::Voltage); });
}

void CalibrationPage::MakeCalibration2Click()
{
    runStep(requestkinds::Calibration2, [this] { sendSingleStep(Step::Power); });
}

void CalibrationPage::MakeCalibration3Click()
{
    runStep(requestkinds::Calibration3, [this] { sendSingleStep(Step::Phase); });
}

void CalibrationPage::MakeCalibration4Click()
{
    runStep(requestkinds::Calibration4, [this] { sendSingleStep(Step::PowerOffset); });
}

void CalibrationPage::MakeCalibration5Click()
{
    runStep(requestkinds::Calibration5, [this] { sendSingleStep(Step::StartCurrent); });
}

void CalibrationPage::MakeCalibration6Click()
{
    runStep(requestkinds::ResetLists, [this] { sendKind(requestkinds::ResetLists); });
}

void CalibrationPage::MakeCalibration7Click()
{
    runStep(requestkinds::ConformityTest, [this] { sendKind(requestkinds::ConformityTest); });
}

void CalibrationPage::conformityTested(const QList<QByteArray> &replies)
{
    const QString version = measures::deviceText(replies.value(0));
    if (calibration::versionNumber(version) >= kConformityVersion)
        return;
    const deviceListItem *item = host()->batchItem();
    const QString address =
        !item ? QStringLiteral("-")
              : QString::number(item->record().standMode ? item->record().standAddr
                                                         : item->record().address);
    emit log(tr("Адрес: ") + address + tr(", версия ПО: ") + version +
                 tr(", данная процедура не реализована в этой версии"),
             logcolour::notice, false, false);
    host()->markGroupStatus(PageHost::GroupSkip);
}

// ---- Three-phase procedures

void CalibrationPage::InitCalibration3()
{
    const int procedure = ui->cbHelpBlock3->currentIndex();
    if (!calibration::isProcedure(procedure))
        return;
    runStep(requestkinds::InitCalibration3, [this, procedure] { sendProcedure(procedure); });
}

void CalibrationPage::sendProcedure(int procedure)
{
    deviceListItem *item = host()->currentItem();
    if (!item || host()->meterSeries() != MeterSeries::ThreePhase)
        return;
    const int variant = threePhaseVariant(item->record().version);
    if (calibration::nominal(variant).voltage == 0) {
        // Nominal values of nothing would calibrate the meter to nothing: it is not touched.
        refuse(tr("Ошибка: модель счетчика не определена, калибровка отменена"),
               PageHost::GroupSkip);
        return;
    }
    using catalogue::Operation;
    Operation title = Operation::CalibrateVoltage;
    switch (procedure) {
    case calibration::CurrentTransfer:
    case calibration::CurrentOffset:
        title = Operation::CalibrateCurrent;
        break;
    case calibration::ActiveTransfer:
    case calibration::ActiveOffset:
        title = Operation::CalibrateActivePower;
        break;
    case calibration::ApparentTransfer:
    case calibration::ApparentOffset:
        title = Operation::CalibrateApparentPower;
        break;
    case calibration::PhaseShift:
        title = Operation::CalibratePhase;
        break;
    case calibration::ReactiveTransfer:
    case calibration::ReactiveOffset:
        title = Operation::CalibrateReactivePower;
        break;
    default:
        break;
    }
    QStringList commands;
    if (procedure == calibration::VoltageTransfer)
        commands << calibration::threeInitialWrite()
                 << catalogue::serviceCommand(catalogue::CalibrationSaved);
    commands << catalogue::command(catalogue::Read, 0x88);
    const QList<int> objects = calibration::phaseObjects(procedure);
    if (!objects.isEmpty())
        for (int round = 0; round < calibration::kThreeRounds; ++round)
            for (const int object : objects)
                commands << catalogue::command(catalogue::Read, object);
    const QString text = procedure == calibration::StartLimit ? catalogue::readTitle(0x3a)
                                                              : catalogue::operationTitle(title);
    m_procedure = procedure;
    m_variant = variant;
    host()->sendBatch(requestkinds::InitCalibration3, commands, text);
}

int CalibrationPage::procedureDone(const QList<QByteArray> &replies, int status)
{
    if (status != 0)
        return status;
    const int procedure = m_procedure;
    const int blockAt = procedure == calibration::VoltageTransfer ? 2 : 0;
    QList<qint32> block;
    if (!accepted(
            calibration::decodeBlock(replies.value(blockAt), calibration::kThreeCount, &block))) {
        host()->markGroupStatus(PageHost::GroupError);
        return status;
    }
    const calibration::Nominal nominal = calibration::nominal(m_variant);
    if (procedure == calibration::StartLimit) {
        block[kStartLimit] = nominal.startLimit;
        showThree(block);
        return saveThree() ? kFollowedUp : status;
    }
    const QList<QByteArray> readings = replies.mid(blockAt + 1);
    float averages[3] = {0, 0, 0};
    if (!accepted(
            calibration::phaseAverages(readings.constData(), int(readings.size()), averages))) {
        showThree(block);
        host()->markGroupStatus(PageHost::GroupError);
        return status;
    }
    const int first = calibration::firstCoefficient(procedure);
    QList<qint32> values;
    for (int phase = 0; phase < 3; ++phase) {
        const std::optional<qint32> v =
            calibration::threeCoefficient(procedure, nominal, averages[phase]);
        if (!v) {
            showThree(block);
            refuse(tr("Ошибка: рассчитанный КК не может быть записан, сохранение отменено"),
                   PageHost::GroupError);
            return status;
        }
        values << *v;
        block[first + phase] = *v;
    }
    showThree(block);
    static const char *const kTexts[] = {
        QT_TR_NOOP("Рассчитанные КК передачи по напряжению: "),
        QT_TR_NOOP("Рассчитанные КК передачи по току: "),
        QT_TR_NOOP("Рассчитанные КК передачи по активной мощности: "),
        QT_TR_NOOP("Рассчитанные КК передачи по полной мощности: "),
        QT_TR_NOOP("Рассчитанные КК смещения по току: "),
        QT_TR_NOOP("Рассчитанные КК по смещению активной мощности: "),
        QT_TR_NOOP("Рассчитанные КК по смещению полной мощности: "),
        QT_TR_NOOP("Рассчитанные КК по смещению полной мощности: "),
        QT_TR_NOOP("Рассчитанные КК передачи по реактивной мощности: "),
        QT_TR_NOOP("Рассчитанные КК по смещению активной мощности: "),
    };
    emit log(tr(kTexts[procedure - calibration::VoltageTransfer]) + joined(values),
             logcolour::notice, false, false);
    return saveThree() ? kFollowedUp : status;
}

// ---- Hints and the controls of the chosen step

void CalibrationPage::helpBlockCCCtrl(bool on)
{
    const int current = ui->cbHelpBlock->currentIndex();
    ui->lblCCList->setText(calibration::hintBlock(current));
    const bool meter = host()->currentItem() != nullptr;
    for (int step = 1; step <= kSteps; ++step)
        setControlEnabled(m_stepButtons[step - 1],
                          on && meter && (current == 0 || current == step));
}

void CalibrationPage::helpBlockCCCtrl()
{
    // The meter's controls stay locked when no meter may be worked (none selected, or one on
    // the stand not switched in): the choice of a step does not unlock them.
    helpBlockCCCtrl(m_controlsOn);
}

void CalibrationPage::helpBlockCCCtrl3()
{
    const int index = ui->cbHelpBlock3->currentIndex();
    QList<int> boxes;
    QList<QAbstractButton *> buttons;
    if (calibration::isProcedure(index)) {
        const int first = calibration::firstCoefficient(index);
        boxes << first;
        if (index != calibration::StartLimit)
            boxes << first + 1 << first + 2;
        // Every procedure is started, and its coefficients reset, from here.
        buttons << ui->pbInitCalibration3 << ui->pbResetCCStage3;
    } else if (index == 1) {
        buttons << ui->pbSaveRealTime3;
    } else if (index == 2) {
        buttons << ui->pbMainInit3;
    } else if (index == 14) {
        buttons << ui->pbAddrTableInput3;
    } else if (index == 15) {
        buttons << ui->pbOutReset3;
    }
    for (int i = 0; i < m_three.size(); ++i)
        m_three[i]->setEnabled(index == 0 || boxes.contains(i));
    for (QAbstractButton *b : std::as_const(m_threeButtons))
        setControlEnabled(b, m_controlsOn && (index == 0 || buttons.contains(b)));
}

void CalibrationPage::cbClickCalibrateSelected(bool on)
{
    ui->cbCalibrateSelected3->setChecked(on);
}

void CalibrationPage::cbClickCalibrateSelected3(bool on)
{
    ui->cbCalibrateSelected->setChecked(on);
}
