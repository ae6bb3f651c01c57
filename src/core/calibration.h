#pragma once

#include "core/replycheck.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Calibration of single- and three-phase meters: the coefficient blocks and their command texts,
// the averages of the measurement replies, and the formulas that turn an average into a
// coefficient. Averages are rounded to single precision and the formulas run in it; every result
// is truncated toward zero, and one that is no number or does not fit 32 bits is refused
// (nothing). Replies are as the engine hands them over (function, object, data length N, data);
// nothing here reads past one, and a refused reply leaves the output alone.
namespace calibration {

// Single-phase block: transfer for voltage and power, phase shift, power offset, current offset,
// start current, temperature transfer.
constexpr int kSingleCount = 7;
// Three-phase block, numbered 1 to 34 on the page: per phase A, B, C the transfer of voltage,
// current, active, reactive and apparent power, the phase shifts, the offsets of the same five
// quantities, and the start-current limit.
constexpr int kThreeCount = 34;
// Measurement replies of a single-phase step; rounds of three phase readings of a three-phase one.
constexpr int kSingleSamples = 20;
constexpr int kThreeRounds = 8;

// 16384, 16384, 0, 0, 0, 0, 0: the block a single-phase calibration starts from, and the
// standard values of "Стандартные".
QList<qint32> singleInitial();
// All 0 but the phase shifts (numbers 16 to 18, indices 15 to 17), which are 128.
QList<qint32> threeInitial();

// Whether single-phase coefficient `index` looks like one: 0 within 15000..17500 or 16384,
// 1 within 14000..18500 or 16384, 2 within -2000..-800 or 0, 3 within 60000..170000 or 0,
// 4 only 0, 5 within 30000..50000 or 0, 6 only 0; any other index fails.
bool dimensionOk(int index, qint32 value);

// The four bytes of a value, low byte first, plain lower-case hex: -1 is "ff ff ff ff", 16384 is
// "0 40 0 0".
QString valueBytes(qint32 value);
// "02 0c" and, for each value, a blank and its valueBytes(). Empty unless the block has 7 values.
QString singleWrite(const QList<qint32> &block);
// "02 88" with the 34 values likewise, then "02 0d 04". Empty unless the block has 34 values.
QStringList threeWrite(const QList<qint32> &block);
// The starting blocks as the procedures write them, in two-digit pairs: "02 0c 00 40 00 00 00 40"
// and 20 "00"; "02 88 " and 136 pairs, "80" in data bytes 60, 64 and 68.
QString singleInitialWrite();
QString threeInitialWrite();

// `count` signed little-endian 32-bit values of the data. Short when the reply holds fewer bytes.
ReplyCheck decodeBlock(const QByteArray &reply, int count, QList<qint32> *block);
// A measurement: the signed little-endian number of the N data bytes, sign-extended from N bytes.
// Short when the reply holds fewer than N; BadValue when N is 0 or above 4.
ReplyCheck decodeValue(const QByteArray &reply, qint32 *value);

// ---- Single-phase steps 3 to 7

enum class Step { Voltage, Power, Phase, PowerOffset, StartCurrent };

// Where a step's coefficient sits in the block: 0, 1, 2, 3, 5.
int coefficientIndex(Step step);
// Whether the coefficients of `step` and of the steps after it still hold their initial values
// (16384, 16384, 0, 0, 0 for voltage, power, phase, power offset, start current). False for a
// block of fewer than 7 values.
bool initialHeld(Step step, const QList<qint32> &block);

// The average of a step's measurement replies ("01 01" voltage and "01 03" power in thousandths,
// "01 3a" start current raw). Voltage readings at or below 225 V or at or above 235 V are left
// out; when none is left the average is 0. Short for no replies; a refused reply's check, with
// the average untouched, when one of them cannot be read.
ReplyCheck singleAverage(Step step, const QByteArray *replies, int count, float *average);

// A step's coefficient from its average X:
// voltage (230 - X) / 230 × 16384 + 16384; power (4600 - X) / 4600 × 16384 + 16384;
// phase: a = arccos(X / 2300 × 0.5) - π/3, t = tan a, t × 0.0155 / (t × -0.009695 + 0.1241) ×
// 1048576, negated unless X is above 2300; power offset (115 - X) / 0.000027668; start current X.
std::optional<qint32> singleCoefficient(Step step, float average);

// ---- Three-phase procedures, by their index in the procedure list

enum Procedure {
    VoltageTransfer = 3,
    CurrentTransfer = 4,
    ActiveTransfer = 5,
    ApparentTransfer = 6,
    CurrentOffset = 7,
    ActiveOffset = 8,
    ApparentOffset = 9,
    PhaseShift = 10,
    ReactiveTransfer = 11,
    ReactiveOffset = 12,
    StartLimit = 13,
};
bool isProcedure(int index);

// Nominal values of a model variant (threePhaseVariant(): 42, 22 or 21): voltage, current, power
// of the transfer coefficients, current offset, power offset, power of the phase shift and the
// start-current limit. All 0 for another variant.
struct Nominal
{
    float voltage = 0;
    float current = 0;
    float power = 0;
    float currentOffset = 0;
    float powerOffset = 0;
    float phasePower = 0;
    qint32 startLimit = 0;
};
Nominal nominal(int variant);

// The block index of phase A's coefficient of a procedure (phases B and C follow it); the start
// limit is index 33 alone. -1 for no procedure.
int firstCoefficient(int procedure);
// The objects read for phases A, B, C (voltage 64..66, current 67..69, active power 6a..6c,
// apparent 72..74, reactive 6e..70); none for the start limit or no procedure.
QList<int> phaseObjects(int procedure);

// Averages of phases A, B, C from rounds of three replies (A, B, C): each value / 1000, summed
// and divided by the number of rounds; an average of exactly 0 becomes 0.01. Short when `count`
// is not a whole number of rounds (or 0); a refused reply's check, with the averages untouched,
// when one cannot be read.
ReplyCheck phaseAverages(const QByteArray *replies, int count, float averages[3]);

// A procedure's coefficient for a phase average X, with the variant's nominal values V, I, P,
// Ioff, Poff, Pφ: voltage (V - X) / X × 1562; current (I - X) / X × 195; active, apparent and
// reactive transfer (P - 10X) / 10X × 5000; current offset (Ioff - X) × 1000; active and reactive
// offset (Poff - 10X) × 50; apparent offset (Poff - 10X) × 100; phase shift
// (Pφ - 10X) / 10X / 0.00054 + 128; start limit: the variant's limit.
std::optional<qint32> threeCoefficient(int procedure, const Nominal &n, float average);

// "Сброс КК текущего этапа" for procedure indices 3 to 14: the start limit (34) becomes 0 and the
// coefficients of this procedure and of every later one their initial values, in the order
// voltage, current, active, apparent transfer, current, active, apparent offset, phase shift
// (128), reactive transfer, reactive offset, then the voltage offsets (19 to 21). Other indices,
// or a block of another size, change nothing.
void resetFrom(int procedure, QList<qint32> *block);

// ---- Step 10 and the hint block

// The software version as a number: the text (letters, digits and '.') read as a decimal number,
// 0 when it is none.
double versionNumber(const QString &text);
// The single-phase hint block for step combo index `current` (0: every step shown normally;
// otherwise that step normally and the others grey).
QString hintBlock(int current);

} // namespace calibration
