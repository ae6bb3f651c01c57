#include "core/calibration.h"

#include "core/catalogue.h"
#include "core/clockdecoders.h"

#include <cmath>
#include <iterator>
#include <limits>

namespace calibration {

namespace {

constexpr qint32 kUnity = 16384;
constexpr qint32 kPhaseUnity = 128;
constexpr int kBlockObject1 = 0x0c;
constexpr int kBlockObject3 = 0x88;
constexpr int kPhaseShiftFirst = 15; // numbers 16 to 18
constexpr int kStartLimitIndex = 33;
constexpr float kMilli = 1000.0f;
// Voltage readings outside (225, 235) V are noise.
constexpr double kVoltageLow = 225.0;
constexpr double kVoltageHigh = 235.0;
constexpr float kZeroAverage = 0.01f;

struct Range
{
    qint32 low;
    qint32 high;
    qint32 exact;
};
// Single-phase coefficients 0 to 6: accepted range, or the exact value.
constexpr Range kDimensions[kSingleCount] = {
    {15000, 17500, kUnity},
    {14000, 18500, kUnity},
    {-2000, -800, 0},
    {60000, 170000, 0},
    {0, 0, 0},
    {30000, 50000, 0},
    {0, 0, 0},
};

// The initial values the steps check, in step order.
constexpr qint32 kStepInitial[] = {kUnity, kUnity, 0, 0, 0};
constexpr int kStepIndex[] = {0, 1, 2, 3, 5};
constexpr int kSteps = 5;

std::optional<qint32> truncated(float v)
{
    // Converting a float that is no number or out of range is undefined.
    if (!std::isfinite(v) || v < -2147483648.0f || v >= 2147483648.0f)
        return std::nullopt;
    return qint32(v);
}

QString pairs(const QList<qint32> &block)
{
    QStringList bytes;
    for (const qint32 v : block)
        for (int b = 0; b < 4; ++b)
            bytes << QStringLiteral("%1").arg((quint32(v) >> (8 * b)) & 0xff, 2, 16,
                                              QLatin1Char('0'));
    return bytes.join(QLatin1Char(' '));
}

QString blockWrite(int object, const QList<qint32> &block)
{
    QString text = catalogue::command(catalogue::Write, object);
    for (const qint32 v : block)
        text += QLatin1Char(' ') + valueBytes(v);
    return text;
}

} // namespace

QList<qint32> singleInitial()
{
    return {kUnity, kUnity, 0, 0, 0, 0, 0};
}

QList<qint32> threeInitial()
{
    QList<qint32> block(kThreeCount, 0);
    for (int p = 0; p < 3; ++p)
        block[kPhaseShiftFirst + p] = kPhaseUnity;
    return block;
}

bool dimensionOk(int index, qint32 value)
{
    if (index < 0 || index >= kSingleCount)
        return false;
    const Range &r = kDimensions[index];
    return value == r.exact || (value >= r.low && value <= r.high);
}

QString valueBytes(qint32 value)
{
    const quint32 v = quint32(value);
    QStringList bytes;
    for (int b = 0; b < 4; ++b)
        bytes << catalogue::hexValue(int((v >> (8 * b)) & 0xff));
    return bytes.join(QLatin1Char(' '));
}

QStringList singleWrite(const QList<qint32> &block)
{
    if (block.size() != kSingleCount)
        return {};
    return {blockWrite(kBlockObject1, block),
            catalogue::serviceCommand(catalogue::CalibrationSaved)};
}

QStringList threeWrite(const QList<qint32> &block)
{
    if (block.size() != kThreeCount)
        return {};
    return {blockWrite(kBlockObject3, block),
            catalogue::serviceCommand(catalogue::CalibrationSaved)};
}

QString singleInitialWrite()
{
    return catalogue::command(catalogue::Write, kBlockObject1) + QLatin1Char(' ') +
           pairs(singleInitial());
}

QString threeInitialWrite()
{
    return catalogue::command(catalogue::Write, kBlockObject3) + QLatin1Char(' ') +
           pairs(threeInitial());
}

ReplyCheck decodeBlock(const QByteArray &reply, int count, QList<qint32> *block)
{
    QByteArray d;
    if (count < 0 || !replycheck::dataBytes(reply, count * 4, &d))
        return ReplyCheck::Short;
    QList<qint32> values;
    for (int i = 0; i < count; ++i)
        values << qint32(replycheck::unsignedLE(d.mid(i * 4, 4)));
    *block = values;
    return ReplyCheck::Ok;
}

ReplyCheck decodeValue(const QByteArray &reply, qint32 *value)
{
    return meterclock::decodeCoefficient(reply, value);
}

int coefficientIndex(Step step)
{
    return kStepIndex[int(step)];
}

bool initialHeld(Step step, const QList<qint32> &block)
{
    if (block.size() < kSingleCount)
        return false;
    for (int k = int(step); k < kSteps; ++k)
        if (block[kStepIndex[k]] != kStepInitial[k])
            return false;
    return true;
}

ReplyCheck singleAverage(Step step, const QByteArray *replies, int count, float *average)
{
    if (!replies || count <= 0)
        return ReplyCheck::Short;
    double sum = 0;
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        qint32 raw = 0;
        const ReplyCheck check = decodeValue(replies[i], &raw);
        if (check != ReplyCheck::Ok)
            return check;
        const double v = step == Step::StartCurrent ? raw : raw / 1000.0;
        if (step == Step::Voltage && (v <= kVoltageLow || v >= kVoltageHigh))
            continue;
        sum += v;
        ++kept;
    }
    *average = kept ? float(sum / kept) : 0.0f;
    return ReplyCheck::Ok;
}

std::optional<qint32> singleCoefficient(Step step, float x)
{
    const float unity = kUnity;
    switch (step) {
    case Step::Voltage:
        return truncated((230.0f - x) / 230.0f * unity + unity);
    case Step::Power:
        return truncated((4600.0f - x) / 4600.0f * unity + unity);
    case Step::Phase: {
        const float angle = std::acos(x / 2300.0f * 0.5f) - 1.0471975511965976f;
        const float t = std::tan(angle);
        const float sign = x > 2300.0f ? 1048576.0f : -1048576.0f;
        return truncated(t * 0.0155f / (t * -0.009695f + 0.1241f) * sign);
    }
    case Step::PowerOffset:
        return truncated((115.0f - x) / 0.000027668f);
    case Step::StartCurrent:
        return truncated(x);
    }
    return std::nullopt;
}

bool plausible(float reading, const Window &window)
{
    // A reading that is no number is outside every window.
    return reading > window.low && reading < window.high;
}

namespace {
Window aroundNominal(float nominal)
{
    return {nominal / 2, nominal * 2};
}
} // namespace

Window singleWindow(Step step)
{
    switch (step) {
    case Step::Voltage:
        return aroundNominal(230.0f);
    case Step::Power:
        return aroundNominal(4600.0f);
    case Step::Phase:
        return aroundNominal(2300.0f);
    case Step::PowerOffset:
        return aroundNominal(115.0f);
    case Step::StartCurrent:
        break;
    }
    // The coefficient is the reading itself: nothing to compare it with but its sign.
    return {0.0f, std::numeric_limits<float>::infinity()};
}

namespace {
using catalogue::Operation;

constexpr ProcedureRow entry(const char *item, unsigned controls)
{
    ProcedureRow row{};
    row.item = item;
    row.controls = controls;
    return row;
}

// A procedure that reads three phases from `object` on and writes the triple from `number` on,
// which is also the triple it resets.
constexpr ProcedureRow procedure(const char *item, Formula formula, int object, int number,
                                 Operation title, const char *resultText)
{
    ProcedureRow row = entry(item, StartControl);
    row.formula = formula;
    row.firstObject = object;
    row.firstNumber = number;
    row.numbers = 3;
    row.resetNumber = number;
    row.title = title;
    row.resultText = resultText;
    return row;
}

constexpr ProcedureRow startsOver(ProcedureRow row)
{
    row.startsOver = true;
    return row;
}

// Reads nothing and writes the start limit (34) alone; its reset triple is the voltage offsets.
constexpr ProcedureRow startLimit(const char *item)
{
    ProcedureRow row = entry(item, StartControl);
    row.formula = Formula::StartLimit;
    row.firstNumber = 34;
    row.numbers = 1;
    row.resetNumber = 19;
    row.titleObject = 0x3a;
    return row;
}

// In the order of the list, which is also the order "Сброс КК текущего этапа" resets in.
const ProcedureRow kRows[kProcedureRows] = {
    entry("Отображать все", AllControls),
    entry("Установка времени", TimeControl),
    entry("Заводская инициализация", FactoryInitControl),
    startsOver(procedure("1 - Калибровка КП по напряжению", Formula::VoltageTransfer, 0x64, 1,
                         Operation::CalibrateVoltage, "Рассчитанные КК передачи по напряжению: ")),
    procedure("2 - Калибровка коэффициента передачи по току", Formula::CurrentTransfer, 0x67, 4,
              Operation::CalibrateCurrent, "Рассчитанные КК передачи по току: "),
    procedure("3 - Калибровка КП по активной мощности", Formula::PowerTransfer, 0x6a, 7,
              Operation::CalibrateActivePower, "Рассчитанные КК передачи по активной мощности: "),
    procedure("4 - Калибровка КП по полной мощности", Formula::PowerTransfer, 0x72, 13,
              Operation::CalibrateApparentPower, "Рассчитанные КК передачи по полной мощности: "),
    procedure("5 - Калибровка смещения по току", Formula::CurrentOffset, 0x67, 22,
              Operation::CalibrateCurrent, "Рассчитанные КК смещения по току: "),
    procedure("6 - Калибровка смещения по активной мощности", Formula::PowerOffset, 0x6a, 25,
              Operation::CalibrateActivePower, "Рассчитанные КК по смещению активной мощности: "),
    procedure("7 - Калибровка смещения по полной мощности", Formula::ApparentOffset, 0x72, 31,
              Operation::CalibrateApparentPower, "Рассчитанные КК по смещению полной мощности: "),
    procedure("8 - Калибровка сдвига фазы", Formula::PhaseShift, 0x6a, 16,
              Operation::CalibratePhase, "Рассчитанные КК по смещению полной мощности: "),
    procedure("9 - Калибровка КП по реактивной мощности", Formula::PowerTransfer, 0x6e, 10,
              Operation::CalibrateReactivePower,
              "Рассчитанные КК передачи по реактивной мощности: "),
    procedure("10 - Калибровка смещения по реактивной мощности", Formula::PowerOffset, 0x6e, 28,
              Operation::CalibrateReactivePower, "Рассчитанные КК по смещению активной мощности: "),
    startLimit("11 - Калибровка стартового тока"),
    entry("Установка серийных номеров", SerialNumbersControl),
    entry("Сброс списков и показаний", ListsResetControl),
};
constexpr int kFirstReset = 3;
constexpr int kLastReset = 14;
} // namespace

const ProcedureRow &procedureRow(int index)
{
    return kRows[index >= 0 && index < kProcedureRows ? index : 0];
}

bool isProcedure(int index)
{
    return procedureRow(index).formula != Formula::None;
}

QString procedureTitle(int index)
{
    const ProcedureRow &row = procedureRow(index);
    if (row.formula == Formula::None)
        return QString();
    return row.titleObject ? catalogue::readTitle(row.titleObject)
                           : catalogue::operationTitle(row.title);
}

Nominal nominal(int variant)
{
    switch (variant) {
    case 42:
        return {230.0f, 40.0f, 9200.0f, 0.5f, 115.0f, 4600.0f, 350};
    case 22:
        return {230.0f, 10.0f, 2300.0f, 0.1f, 23.0f, 1150.0f, 100};
    case 21:
        return {57.7f, 10.0f, 577.0f, 0.1f, 5.77f, 288.5f, 20};
    default:
        return {};
    }
}

ReplyCheck phaseAverages(const QByteArray *replies, int count, float averages[3], bool zero[3])
{
    if (!replies || count <= 0 || count % 3 != 0)
        return ReplyCheck::Short;
    double sums[3] = {0, 0, 0};
    for (int i = 0; i < count; ++i) {
        qint32 raw = 0;
        const ReplyCheck check = decodeValue(replies[i], &raw);
        if (check != ReplyCheck::Ok)
            return check;
        sums[i % 3] += raw / double(kMilli);
    }
    const int rounds = count / 3;
    for (int p = 0; p < 3; ++p) {
        const float average = float(sums[p] / rounds);
        averages[p] = average == 0.0f ? kZeroAverage : average;
        if (zero)
            zero[p] = average == 0.0f;
    }
    return ReplyCheck::Ok;
}

std::optional<qint32> threeCoefficient(int procedure, const Nominal &n, float x)
{
    const float tenX = 10.0f * x;
    switch (procedureRow(procedure).formula) {
    case Formula::VoltageTransfer:
        return truncated((n.voltage - x) / x * 1562.0f);
    case Formula::CurrentTransfer:
        return truncated((n.current - x) / x * 195.0f);
    case Formula::PowerTransfer:
        return truncated((n.power - tenX) / tenX * 5000.0f);
    case Formula::CurrentOffset:
        return truncated((n.currentOffset - x) * 1000.0f);
    case Formula::PowerOffset:
        return truncated((n.powerOffset - tenX) * 50.0f);
    case Formula::ApparentOffset:
        return truncated((n.powerOffset - tenX) * 100.0f);
    case Formula::PhaseShift:
        return truncated((n.phasePower - tenX) / tenX / 0.00054f + 128.0f);
    case Formula::StartLimit:
        return n.startLimit;
    case Formula::None:
        break;
    }
    return std::nullopt;
}

float procedureQuantity(int procedure, float average)
{
    switch (procedureRow(procedure).formula) {
    case Formula::PowerTransfer:
    case Formula::PowerOffset:
    case Formula::ApparentOffset:
    case Formula::PhaseShift:
        return 10.0f * average;
    default:
        return average;
    }
}

Window procedureWindow(int procedure, const Nominal &n)
{
    switch (procedureRow(procedure).formula) {
    case Formula::VoltageTransfer:
        return aroundNominal(n.voltage);
    case Formula::CurrentTransfer:
        return aroundNominal(n.current);
    case Formula::PowerTransfer:
        return aroundNominal(n.power);
    case Formula::CurrentOffset:
        return aroundNominal(n.currentOffset);
    case Formula::PowerOffset:
    case Formula::ApparentOffset:
        return aroundNominal(n.powerOffset);
    case Formula::PhaseShift:
        return aroundNominal(n.phasePower);
    case Formula::StartLimit:
    case Formula::None:
        break;
    }
    return {0.0f, 0.0f};
}

void resetFrom(int procedure, QList<qint32> *block)
{
    if (procedure < kFirstReset || procedure > kLastReset || block->size() != kThreeCount)
        return;
    const QList<qint32> initial = threeInitial();
    (*block)[kStartLimitIndex] = 0;
    for (int p = procedure; p <= kLastReset; ++p) {
        const int first = kRows[p].resetNumber - 1;
        if (first < 0)
            continue;
        for (int phase = 0; phase < 3; ++phase)
            (*block)[first + phase] = initial[first + phase];
    }
}

bool initialHeld(int procedure, const QList<qint32> &block)
{
    if (block.size() != kThreeCount)
        return false;
    QList<qint32> reset = block;
    resetFrom(procedure, &reset);
    return reset == block;
}

double versionNumber(const QString &text)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok ? v : 0.0;
}

QString hintBlock(int current)
{
    static const char *const kLines[] = {
        "1: -</span><br/>",
        "2: -</span><br/>",
        "3: U = <strong>230 В</strong>, I = <strong>0 А</strong>, φ = <strong>0</strong>"
        "</span><br/>",
        "4: U = <strong>230 В</strong>, I = <strong>20 А</strong>, φ = <strong>0</strong>"
        "</span><br/>",
        "5: U = <strong>230 В</strong>, I = <strong>20 А</strong>, φ = <strong>60°</strong>"
        "</span><br/>",
        "6: U = <strong>230 В</strong>, I = <strong>0.5 А</strong>, φ = <strong>0</strong>"
        "</span><br/>",
        "7: U = <strong>230 В</strong>, I = <strong>13-15 мА</strong>, φ = "
        "<strong>0</strong></span><br/>",
        "8: -</span><br/>",
        "9: -</span><br/>",
        "10: -</span>",
    };
    QString html = QStringLiteral("<html><body><p>Параметры калибровки<br>");
    for (int step = 1; step <= int(std::size(kLines)); ++step) {
        html += current == 0 || current == step ? QStringLiteral("<span>")
                                                : QStringLiteral("<span style='color:#bbbbbb'>");
        html += QString::fromUtf8(kLines[step - 1]);
    }
    return html + QStringLiteral("</p></body></html>");
}

} // namespace calibration
