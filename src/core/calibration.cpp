#include "core/calibration.h"

#include "core/catalogue.h"
#include "core/clockdecoders.h"

#include <cmath>
#include <iterator>

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

QString singleWrite(const QList<qint32> &block)
{
    return block.size() == kSingleCount ? blockWrite(kBlockObject1, block) : QString();
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

bool isProcedure(int index)
{
    return index >= VoltageTransfer && index <= StartLimit;
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

int firstCoefficient(int procedure)
{
    switch (procedure) {
    case VoltageTransfer:
        return 0;
    case CurrentTransfer:
        return 3;
    case ActiveTransfer:
        return 6;
    case ReactiveTransfer:
        return 9;
    case ApparentTransfer:
        return 12;
    case PhaseShift:
        return kPhaseShiftFirst;
    case CurrentOffset:
        return 21;
    case ActiveOffset:
        return 24;
    case ReactiveOffset:
        return 27;
    case ApparentOffset:
        return 30;
    case StartLimit:
        return kStartLimitIndex;
    default:
        return -1;
    }
}

QList<int> phaseObjects(int procedure)
{
    switch (procedure) {
    case VoltageTransfer:
        return {0x64, 0x65, 0x66};
    case CurrentTransfer:
    case CurrentOffset:
        return {0x67, 0x68, 0x69};
    case ActiveTransfer:
    case ActiveOffset:
    case PhaseShift:
        return {0x6a, 0x6b, 0x6c};
    case ApparentTransfer:
    case ApparentOffset:
        return {0x72, 0x73, 0x74};
    case ReactiveTransfer:
    case ReactiveOffset:
        return {0x6e, 0x6f, 0x70};
    default:
        return {};
    }
}

ReplyCheck phaseAverages(const QByteArray *replies, int count, float averages[3])
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
    }
    return ReplyCheck::Ok;
}

std::optional<qint32> threeCoefficient(int procedure, const Nominal &n, float x)
{
    const float tenX = 10.0f * x;
    switch (procedure) {
    case VoltageTransfer:
        return truncated((n.voltage - x) / x * 1562.0f);
    case CurrentTransfer:
        return truncated((n.current - x) / x * 195.0f);
    case ActiveTransfer:
    case ApparentTransfer:
    case ReactiveTransfer:
        return truncated((n.power - tenX) / tenX * 5000.0f);
    case CurrentOffset:
        return truncated((n.currentOffset - x) * 1000.0f);
    case ActiveOffset:
    case ReactiveOffset:
        return truncated((n.powerOffset - tenX) * 50.0f);
    case ApparentOffset:
        return truncated((n.powerOffset - tenX) * 100.0f);
    case PhaseShift:
        return truncated((n.phasePower - tenX) / tenX / 0.00054f + 128.0f);
    case StartLimit:
        return n.startLimit;
    default:
        return std::nullopt;
    }
}

void resetFrom(int procedure, QList<qint32> *block)
{
    // The triples in procedure order, then the voltage offsets as an eleventh.
    static const int kOrder[] = {0, 3, 6, 12, 21, 24, 30, kPhaseShiftFirst, 9, 27, 18};
    constexpr int kLastReset = 14;
    if (procedure < VoltageTransfer || procedure > kLastReset || block->size() != kThreeCount)
        return;
    const QList<qint32> initial = threeInitial();
    (*block)[kStartLimitIndex] = 0;
    for (int p = procedure - VoltageTransfer; p < int(std::size(kOrder)); ++p)
        for (int phase = 0; phase < 3; ++phase)
            (*block)[kOrder[p] + phase] = initial[kOrder[p] + phase];
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
