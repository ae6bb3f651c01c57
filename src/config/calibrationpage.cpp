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

#include <cmath>
#include <limits>

namespace {
using calibration::Step;

// Version from which the meters run the conformity test.
constexpr double kConformityVersion = 1.1;
constexpr int kSteps = 10;
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

// How the questions name a meter: its stand position, serial number or address.
QString meterName(const DeviceRecord &r)
{
    if (r.address < 0)
        return QObject::tr("удален из списка");
    if (r.standMode)
        return QObject::tr("позиция стенда ") + QString::number(r.standAddr);
    if (r.usesSerialNumber())
        return QObject::tr("S/N ") + QString::fromLatin1(r.serialNumber);
    return QObject::tr("адрес ") + QString::number(r.address);
}

const char *const kPhases[] = {"A", "B", "C"};
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
            group()->mark(groupgrid::Error);
            return;
        }
        showSingle(block);
        m_singleOwner = batchMeter();
        emit log(tr("Загружены КК: ") + shownValues(block), logcolour::listing, false, false);
        if (group()->listMode())
            listCoefficientsRead(block, replies.value(1));
    });
    route(CC3, ui->frCC3, [this](const QList<QByteArray> &replies) {
        QList<qint32> block;
        if (!accepted(calibration::decodeBlock(replies.value(0), calibration::kThreeCount, &block)))
            return;
        showThree(block);
        m_threeOwner = batchMeter();
        m_pendingReset = 0;
        emit log(tr("Загружены КК: ") + joined(block), logcolour::listing, false, false);
        // The list's lines are single-phase blocks: this meter has none there.
        if (group()->listMode())
            group()->mark(groupgrid::Skip);
    });
    route(SaveClockCC, ui->frClockCC);
    // The list was locked for the write; it comes back whatever the outcome. Written, the boxes
    // are what that meter holds.
    routeCompletion(SaveCC, ui->frCC, [this](const QList<QByteArray> &, int status) {
        this->host()->setMeterEntriesEnabled(true);
        if (status == 0)
            m_singleOwner = batchMeter();
        return status;
    });
    route(SaveCC3, ui->frCC3, [this](const QList<QByteArray> &) { m_threeOwner = batchMeter(); });
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

    // The procedure list is core's table.
    for (int i = 0; i < calibration::kProcedureRows; ++i)
        ui->cbHelpBlock3->addItem(tr(calibration::procedureRow(i).item));
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
    emit realTimeRequested(ui->sbTimeShiftCC->value(), calibrateSelected() && !group()->running());
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

DeviceRecord CalibrationPage::batchMeter() const
{
    if (const deviceListItem *item = host()->batchItem())
        return item->record();
    // Gone from the list: a meter that no entry stands for.
    DeviceRecord gone;
    gone.address = -1;
    return gone;
}

bool CalibrationPage::ownerConfirmed(const std::optional<DeviceRecord> &owner)
{
    const deviceListItem *item = host()->currentItem();
    if (!item || !owner || item->record().duplicates(*owner))
        return true;
    return confirmDeletion(tr("<p>Коэффициенты в полях считаны из счетчика (") + meterName(*owner) +
                           tr(").<br>Записать их в выбранный счетчик (") +
                           meterName(item->record()) + tr(")?"));
}

void CalibrationPage::loadCCClick()
{
    // For the changer's list the clock coefficient comes with the block.
    if (group()->listMode() && host()->meterSeries() == MeterSeries::SinglePhase) {
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
        group()->mark(groupgrid::Error);
        return;
    }
    ui->sbClockC->setValue(clock);
    emit log(tr("Загружены КК часов: ") + QString::number(clock), logcolour::listing, false, false);
    QList<int> values;
    for (const int i : kShown)
        values << block[i];
    values << clock;
    group()->appendListLine(changerlist::coefficientLine(values));
}

bool CalibrationPage::saveSingleFromList()
{
    const QString line = group()->listLine();
    QList<int> values;
    // Coefficients 0, 1, 2, 3, 5 and the clock's; the clock takes 16 bits.
    if (!changerlist::parseCoefficients(line, &values) || values.size() != 6 ||
        values[5] < std::numeric_limits<qint16>::min() ||
        values[5] > std::numeric_limits<qint16>::max()) {
        refuse(tr("Ошибка: запись КК в списке некорректна: ") + line, groupgrid::Skip);
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
                           calibration::singleWrite(block) << meterclock::coefficientWrite(clock),
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
    if (host()->sendBatch(requestkinds::SaveCC, calibration::singleWrite(block), QString(),
                          logcolour::info, tr("КК будут записаны: ") + shownValues(block)))
        return true;
    host()->setMeterEntriesEnabled(true);
    return false;
}

bool CalibrationPage::saveThree()
{
    return host()->sendBatch(requestkinds::SaveCC3, calibration::threeWrite(threeBlock()));
}

int CalibrationPage::followedUp(bool sent, int status)
{
    if (sent)
        return kFollowedUp;
    group()->mark(groupgrid::Error);
    return status;
}

void CalibrationPage::SaveCCClick()
{
    switch (host()->meterSeries()) {
    case MeterSeries::SinglePhase:
        if (group()->listMode())
            saveSingleFromList();
        else if (ownerConfirmed(m_singleOwner))
            saveSingle();
        break;
    case MeterSeries::ThreePhase:
        // A list line holds a single-phase block: the boxes' 34 values are no meter's own.
        if (group()->listMode())
            refuse(tr("Ошибка: записи КК списка только для однофазных счетчиков"), groupgrid::Skip);
        else if (ownerConfirmed(m_threeOwner))
            saveThree();
        break;
    case MeterSeries::Unrecognised:
        break;
    }
}

void CalibrationPage::resetSingleFrom(int from)
{
    // The boxes before the reset ones go out too: asked before anything changes.
    if (host()->meterSeries() != MeterSeries::SinglePhase || !ownerConfirmed(m_singleOwner))
        return;
    const QList<qint32> standard = calibration::singleInitial();
    for (int i = from; i < m_single.size(); ++i)
        m_single[i]->setValue(standard[i]);
    saveSingle();
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
    const int index = ui->cbHelpBlock3->currentIndex();
    QList<qint32> block = threeBlock();
    calibration::resetFrom(index, &block);
    showThree(block);
    // The procedure's own read would bring the meter's values back: it resets them there.
    m_pendingReset = calibration::isProcedure(index) ? index : 0;
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
    if (calibrateSelected() && !group()->running())
        group()->work(kind, step);
    else
        step();
}

void CalibrationPage::refuse(const QString &text, int status)
{
    emit log(text, logcolour::error, true, false);
    group()->mark(status);
}

bool CalibrationPage::erasureConfirmed(int kind)
{
    const bool all = calibrateSelected() && !group()->running();
    const int meters = all ? group()->checkedCount() : host()->currentItem() ? 1 : 0;
    // A group of none does nothing: nothing to ask.
    if (meters == 0)
        return false;
    const QString count = QString::number(meters);
    QString text;
    if (kind == requestkinds::FactoryInit)
        text = all ? tr("<p>Вы действительно хотите произвести заводскую инициализацию "
                        "отмеченных счетчиков (%1)?<br>Их настройки будут сброшены к "
                        "заводским.")
                         .arg(count)
                   : tr("<p>Вы действительно хотите произвести заводскую инициализацию "
                        "счетчика?<br>Его настройки будут сброшены к заводским.");
    else
        text = all ? tr("<p>Вы действительно хотите сбросить списки и показания отмеченных "
                        "счетчиков (%1)?<br>Их показания, архивы и списки событий будут "
                        "удалены.")
                         .arg(count)
                   : tr("<p>Вы действительно хотите сбросить списки и показания "
                        "счетчика?<br>Показания, архивы и списки событий будут удалены.");
    return confirmDeletion(text);
}

void CalibrationPage::MainInitClick()
{
    if (!erasureConfirmed(requestkinds::FactoryInit))
        return;
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
        group()->mark(groupgrid::Error);
        return status;
    }
    showSingle(block);
    m_singleOwner = batchMeter();
    if (!calibration::initialHeld(step, block)) {
        refuse(tr("Ошибка: КК не соответствуют начальным (возможно повторный запуск калибровки), "
                  "сохранение отменено"),
               groupgrid::Skip);
        return status;
    }
    const QList<QByteArray> readings = replies.mid(blockAt + 1);
    float average = 0;
    if (!accepted(calibration::singleAverage(step, readings.constData(), int(readings.size()),
                                             &average))) {
        group()->mark(groupgrid::Error);
        return status;
    }
    if (step == Step::Voltage && average <= 0) {
        refuse(tr("Ошибка: показания напряжения слишком зашумлены - невозможно осуществить "
                  "калибровку"),
               groupgrid::Error);
        return status;
    }
    if (readingRefused(average, calibration::singleWindow(step), QString(), average == 0))
        return status;
    const std::optional<qint32> value = calibration::singleCoefficient(step, average);
    if (!value) {
        refuse(tr("Ошибка: рассчитанный КК не может быть записан, сохранение отменено"),
               groupgrid::Error);
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
        if (group()->running())
            group()->mark(groupgrid::Warn);
        else
            emit log(tr("Внимание! Проверьте размерность КК!"), logcolour::notice, false, false);
    }
    return followedUp(saveSingle(), status);
}

bool CalibrationPage::readingRefused(float reading, const calibration::Window &window,
                                     const QString &phase, bool zero)
{
    const QString which = phase.isEmpty() ? QString() : tr(" фазы ") + phase;
    const QString cannot = tr(" - невозможно осуществить калибровку, сохранение отменено");
    if (zero) {
        refuse(tr("Ошибка: среднее показание") + which + tr(" равно 0") + cannot, groupgrid::Error);
        return true;
    }
    if (calibration::plausible(reading, window))
        return false;
    const QString bounds = std::isinf(window.high) ? tr("больше ") + QString::number(window.low)
                                                   : tr("от ") + QString::number(window.low) +
                                                         tr(" до ") + QString::number(window.high);
    refuse(tr("Ошибка: среднее показание") + which + QLatin1Char(' ') + QString::number(reading) +
               tr(" вне допустимых пределов (") + bounds + QLatin1Char(')') + cannot,
           groupgrid::Error);
    return true;
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
    if (!erasureConfirmed(requestkinds::ResetLists))
        return;
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
    group()->mark(groupgrid::Skip);
}

// ---- Three-phase procedures

void CalibrationPage::InitCalibration3()
{
    const int procedure = ui->cbHelpBlock3->currentIndex();
    if (!calibration::isProcedure(procedure))
        return;
    // The reset is the run's: every meter of a group run gets it, a later run does not.
    const bool reset = m_pendingReset == procedure;
    m_pendingReset = 0;
    runStep(requestkinds::InitCalibration3,
            [this, procedure, reset] { sendProcedure(procedure, reset); });
}

namespace {
// The "01 88" read and the 8 rounds of phase readings of a procedure.
QStringList procedureReads(const calibration::ProcedureRow &row)
{
    QStringList commands{catalogue::command(catalogue::Read, 0x88)};
    if (row.firstObject)
        for (int round = 0; round < calibration::kThreeRounds; ++round)
            for (int phase = 0; phase < 3; ++phase)
                commands << catalogue::command(catalogue::Read, row.firstObject + phase);
    return commands;
}
} // namespace

void CalibrationPage::sendProcedure(int procedure, bool reset)
{
    deviceListItem *item = host()->currentItem();
    if (!item || host()->meterSeries() != MeterSeries::ThreePhase)
        return;
    const int variant = threePhaseVariant(item->record().version);
    if (calibration::nominal(variant).voltage == 0) {
        // Nominal values of nothing would calibrate the meter to nothing: it is not touched.
        refuse(tr("Ошибка: модель счетчика не определена, калибровка отменена"), groupgrid::Skip);
        return;
    }
    const calibration::ProcedureRow &row = calibration::procedureRow(procedure);
    m_procedure = procedure;
    m_variant = variant;
    m_blockWritten = row.startsOver;
    // Starting over resets everything anyway.
    m_resetRead = reset && !row.startsOver;
    QStringList commands;
    if (m_resetRead)
        commands << catalogue::command(catalogue::Read, 0x88);
    else if (row.startsOver)
        commands << calibration::threeInitialWrite()
                 << catalogue::serviceCommand(catalogue::CalibrationSaved) << procedureReads(row);
    else
        commands << procedureReads(row);
    host()->sendBatch(requestkinds::InitCalibration3, commands,
                      calibration::procedureTitle(procedure));
}

int CalibrationPage::procedureDone(const QList<QByteArray> &replies, int status)
{
    if (status != 0)
        return status;
    const int procedure = m_procedure;
    const calibration::ProcedureRow &row = calibration::procedureRow(procedure);
    const int blockAt = m_blockWritten ? 2 : 0;
    QList<qint32> block;
    if (!accepted(
            calibration::decodeBlock(replies.value(blockAt), calibration::kThreeCount, &block))) {
        group()->mark(groupgrid::Error);
        return status;
    }
    showThree(block);
    m_threeOwner = batchMeter();
    if (m_resetRead) {
        // The meter measures with what it holds: the reset goes to it before the readings.
        calibration::resetFrom(procedure, &block);
        showThree(block);
        m_resetRead = false;
        m_blockWritten = true;
        return followedUp(host()->sendBatch(requestkinds::InitCalibration3,
                                            calibration::threeWrite(block) << procedureReads(row),
                                            catalogue::serviceTitle(catalogue::CalibrationSaved)),
                          status);
    }
    if (!calibration::initialHeld(procedure, block)) {
        refuse(tr("Ошибка: КК не соответствуют начальным (возможно повторный запуск калибровки), "
                  "сохранение отменено"),
               groupgrid::Skip);
        return status;
    }
    const int first = row.firstNumber - 1;
    const calibration::Nominal nominal = calibration::nominal(m_variant);
    if (row.formula == calibration::Formula::StartLimit) {
        block[first] = nominal.startLimit;
        showThree(block);
        return followedUp(saveThree(), status);
    }
    const QList<QByteArray> readings = replies.mid(blockAt + 1);
    float averages[3] = {0, 0, 0};
    bool zero[3] = {false, false, false};
    if (!accepted(calibration::phaseAverages(readings.constData(), int(readings.size()), averages,
                                             zero))) {
        group()->mark(groupgrid::Error);
        return status;
    }
    const calibration::Window window = calibration::procedureWindow(procedure, nominal);
    for (int phase = 0; phase < 3; ++phase)
        if (readingRefused(calibration::procedureQuantity(procedure, averages[phase]), window,
                           QLatin1String(kPhases[phase]), zero[phase]))
            return status;
    QList<qint32> values;
    for (int phase = 0; phase < 3; ++phase) {
        const std::optional<qint32> v =
            calibration::threeCoefficient(procedure, nominal, averages[phase]);
        if (!v) {
            refuse(tr("Ошибка: рассчитанный КК не может быть записан, сохранение отменено"),
                   groupgrid::Error);
            return status;
        }
        values << *v;
        block[first + phase] = *v;
    }
    showThree(block);
    if (row.resultText)
        emit log(tr(row.resultText) + joined(values), logcolour::notice, false, false);
    return followedUp(saveThree(), status);
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
    if (m_pendingReset != index)
        m_pendingReset = 0;
    const calibration::ProcedureRow &row = calibration::procedureRow(index);
    const bool all = row.controls == calibration::AllControls;
    for (int i = 0; i < m_three.size(); ++i)
        m_three[i]->setEnabled(all ||
                               (i >= row.firstNumber - 1 && i < row.firstNumber - 1 + row.numbers));
    const struct
    {
        QAbstractButton *button;
        unsigned control;
    } buttons[] = {
        {ui->pbInitCalibration3, calibration::StartControl},
        {ui->pbResetCCStage3, calibration::StartControl},
        {ui->pbSaveRealTime3, calibration::TimeControl},
        {ui->pbMainInit3, calibration::FactoryInitControl},
        {ui->pbAddrTableInput3, calibration::SerialNumbersControl},
        {ui->pbOutReset3, calibration::ListsResetControl},
        {ui->pbLoadCC3, calibration::BlockControls},
        {ui->pbSaveCC3, calibration::BlockControls},
    };
    for (const auto &b : buttons)
        setControlEnabled(b.button, m_controlsOn && (row.controls & b.control));
}

void CalibrationPage::cbClickCalibrateSelected(bool on)
{
    ui->cbCalibrateSelected3->setChecked(on);
}

void CalibrationPage::cbClickCalibrateSelected3(bool on)
{
    ui->cbCalibrateSelected->setChecked(on);
}
