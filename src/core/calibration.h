#pragma once

#include "core/catalogue.h"
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
// "02 0c" and, for each value, a blank and its valueBytes(), then "02 0d 04", without which the
// meter forgets the block when it restarts. Empty unless the block has 7 values.
QStringList singleWrite(const QList<qint32> &block);
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

// ---- Plausibility of a step's reading
//
// A calibration corrects a reading toward what the stand's load should give. A reading of 0 is
// no reading (a dead phase, a meter that does not measure); one that is not within a factor of
// two of the expected value is no reading of that load (another load set, wrong wiring, another
// model): no coefficient computed from either means a correction, and neither is written.

// The readings taken as plausible: strictly between `low` and `high` (high infinite: no upper
// bound). Every window lies above 0.
struct Window
{
    float low;
    float high;
};
bool plausible(float reading, const Window &window);

// A single-phase step's window, on its average: voltage 115..460 V, power 2300..9200 W, phase
// 1150..4600 W, power offset 57.5..230 W, start current above 0.
Window singleWindow(Step step);

// ---- Three-phase procedures, by their index in the procedure list

// What an entry of the procedure list enables besides its coefficient boxes.
enum Control : unsigned {
    StartControl = 1, // the start of the procedure and "Сброс КК текущего этапа"
    TimeControl = 2,
    FactoryInitControl = 4,
    SerialNumbersControl = 8,
    ListsResetControl = 16,
    BlockControls = 32,   // the block's read and write
    AllControls = 0xffff, // every button and every coefficient box
};

enum class Formula {
    None,
    VoltageTransfer,
    CurrentTransfer,
    PowerTransfer,
    CurrentOffset,
    PowerOffset,
    ApparentOffset,
    PhaseShift,
    StartLimit,
};

struct ProcedureRow
{
    const char *item = nullptr;      // the entry of the procedure list
    unsigned controls = 0;           // Control flags
    Formula formula = Formula::None; // None: no procedure
    int firstObject = 0; // object read for phase A, B and C the next two; 0: nothing is read
    int firstNumber = 0; // number (1..34) of phase A's coefficient written; 0: none
    int numbers = 0;     // how many are written: 3, or 1 (the start limit)
    // First number of the triple reset with this entry (those of every later entry too); 0: none.
    int resetNumber = 0;
    bool startsOver = false; // writes and saves the initial block before it reads
    // The procedure's log title: the operation's, or when titleObject is not 0 that object's
    // read title; and the text logged before the coefficients computed (null: nothing logged).
    catalogue::Operation title = catalogue::Operation::CalibrateVoltage;
    int titleObject = 0;
    const char *resultText = nullptr;
};

// The 16 entries of the procedure list, by index: "Отображать все", the time, the factory
// initialisation, the 11 procedures (3 to 13), the serial numbers and the lists reset.
constexpr int kProcedureRows = 16;
const ProcedureRow &procedureRow(int index); // index outside the list: the row of index 0
bool isProcedure(int index);
QString procedureTitle(int index);

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

// Averages of phases A, B, C from rounds of three replies (A, B, C): each value / 1000, summed
// and divided by the number of rounds; an average of exactly 0 becomes 0.01, and `zero[p]` (when
// given) tells that it was. Short when `count` is not a whole number of rounds (or 0); a refused
// reply's check, with the outputs untouched, when one cannot be read.
ReplyCheck phaseAverages(const QByteArray *replies, int count, float averages[3],
                         bool zero[3] = nullptr);

// A procedure's coefficient for a phase average X, with the variant's nominal values V, I, P,
// Ioff, Poff, Pφ: voltage (V - X) / X × 1562; current (I - X) / X × 195; active, apparent and
// reactive transfer (P - 10X) / 10X × 5000; current offset (Ioff - X) × 1000; active and reactive
// offset (Poff - 10X) × 50; apparent offset (Poff - 10X) × 100; phase shift
// (Pφ - 10X) / 10X / 0.00054 + 128; start limit: the variant's limit.
std::optional<qint32> threeCoefficient(int procedure, const Nominal &n, float average);

// What a procedure's formula reads, in the quantity's own unit (X, or 10X for the powers, whose
// readings are in tenths of a watt), and the window of that quantity: within a factor of two of
// V, I, P, Ioff, Poff or Pφ. An empty window (low = high = 0) for the start limit and no
// procedure, which read nothing.
float procedureQuantity(int procedure, float average);
Window procedureWindow(int procedure, const Nominal &n);

// "Сброс КК текущего этапа" for procedure indices 3 to 14: the start limit (34) becomes 0 and the
// coefficients of this procedure and of every later one their initial values, in the order
// voltage, current, active, apparent transfer, current, active, apparent offset, phase shift
// (128), reactive transfer, reactive offset, then the voltage offsets (19 to 21). Other indices,
// or a block of another size, change nothing.
void resetFrom(int procedure, QList<qint32> *block);
// Whether a procedure finds the coefficients it and every later one compute (those resetFrom()
// resets) at their initial values: a procedure run again on a calibrated meter would write a
// correction of an already corrected reading. False for a block of another size.
bool initialHeld(int procedure, const QList<qint32> &block);

// ---- Step 10 and the hint block

// The software version as a number: the text (letters, digits and '.') read as a decimal number,
// 0 when it is none.
double versionNumber(const QString &text);
// The single-phase hint block for step combo index `current` (0: every step shown normally;
// otherwise that step normally and the others grey).
QString hintBlock(int current);

} // namespace calibration
