#pragma once

#include "config/configpage.h"
#include "core/calibration.h"
#include "core/devicerecord.h"

#include <QList>

#include <optional>

namespace Ui {
class CalibrationPage;
}
class QAbstractButton;
class QSpinBox;

// Page "КК": calibration of single- and three-phase meters and of the clock, the optical-port test.
//
// The coefficients live in the spin boxes: a read replaces them, a step computes one and writes
// the whole block. The boxes of each series remember the meter they were read from, and a write
// of them to another meter is asked first. Every step runs for the current meter or, with
// "Калибровать все отмеченные", as group work over the checked meters; a step changes nothing
// until its whole batch is back, and writes nothing from a reading that cannot be one.
class CalibrationPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit CalibrationPage(PageHost *host, QWidget *parent = nullptr);
    ~CalibrationPage() override;
    // The toggle button "Тест\nоптопорта" is down.
    bool optoTestOn() const;
    // "Калибровать все отмеченные" is checked.
    bool calibrateSelected() const;
    // The meter the coefficient boxes of a series were last read from (or written to); none
    // before the first read.
    std::optional<DeviceRecord> singleOwner() const { return m_singleOwner; }
    std::optional<DeviceRecord> threeOwner() const { return m_threeOwner; }
    // The step buttons keep to the step chosen.
    void setMeterControlsEnabled(bool on) override;

public slots:
    void loadClockCCClick();
    void SaveClockCCClick();
    // Computes the clock coefficient from the clock error typed in "Калибровка часов:".
    void clockCSecInput();
    // The time step of the procedures: the clock page writes the time, shifted by this page's
    // hours, to the current meter or, with "Калибровать все отмеченные", to the checked ones.
    void SaveRealTimeClick();

    // The coefficient block of the current meter's series: read, and written as the boxes hold it.
    void loadCCClick();
    void SaveCCClick();
    // Single-phase: every coefficient, or those from the button's own on, back to the standard
    // values, then written.
    void StdCCClick();
    void resetCC1();
    void resetCC2();
    void resetCC3();
    void resetCC4();
    void resetCC6();
    // Three-phase: the coefficients of the chosen procedure and of the later ones back to their
    // initial values; nothing is sent, but the next run of that procedure writes them to the
    // meter before it measures.
    void ResetCC3Click();

    // Single-phase steps 2 to 10 (step 8 is the address changer's).
    void MainInitClick();
    void MakeCalibration1Click();
    void MakeCalibration2Click();
    void MakeCalibration3Click();
    void MakeCalibration4Click();
    void MakeCalibration5Click();
    void MakeCalibration6Click();
    void MakeCalibration7Click();
    // The three-phase procedure chosen in the procedure list.
    void InitCalibration3();

    // The hint block and the step buttons for the chosen step; `on` is whether the meter's
    // controls are usable at all.
    void helpBlockCCCtrl(bool on);
    void helpBlockCCCtrl();
    // The coefficient boxes and buttons of the chosen three-phase procedure.
    void helpBlockCCCtrl3();
    void cbClickCalibrateSelected(bool on);
    void cbClickCalibrateSelected3(bool on);
    // The warning pictures of the single-phase coefficients that fail the dimension check.
    void newValueCC();

signals:
    void optoTestClicked();
    // Step 8 on either series: the serial numbers are set in the address changer.
    void addressChangerRequested();
    void realTimeRequested(int shiftHours, bool allChecked);

private:
    QList<qint32> singleBlock() const;
    void showSingle(const QList<qint32> &block);
    QList<qint32> threeBlock() const;
    void showThree(const QList<qint32> &block);
    // The meter of the batch being decoded, as the owner of the boxes it filled.
    DeviceRecord batchMeter() const;
    // Before the boxes of `owner` go to the current meter: true when they are its own, or the
    // user said Yes to writing another meter's.
    bool ownerConfirmed(const std::optional<DeviceRecord> &owner);
    // The once-per-run question before `kind` erases: for the current meter, or naming how many
    // checked meters a group run would erase. False, and nothing is to be done, for No.
    bool erasureConfirmed(int kind);
    // Sets the single-phase coefficients from block index `from` on to their standard values
    // and writes the block.
    void resetSingleFrom(int from);
    bool saveSingle();
    // Group work with the changer's list: the meter's line written (coefficients 0, 1, 2, 3, 5
    // and the clock's), or the block and clock coefficient read given to the list as a line.
    bool saveSingleFromList();
    void listCoefficientsRead(const QList<qint32> &block, const QByteArray &clockReply);
    bool saveThree();
    // What a completion that has started its follow-up batch returns; when it could not, the
    // meter counts as failed.
    int followedUp(bool sent, int status);

    // Runs `step` for the current meter, or hands it to group work when asked to.
    void runStep(int kind, const std::function<void()> &step);
    void sendSingleStep(calibration::Step step);
    int singleStepDone(calibration::Step step, const QList<QByteArray> &replies, int status);
    // A reading refused as none: the red line, and the meter counted as failed. `phase` names
    // the phase of a three-phase reading ("" for none).
    bool readingRefused(float reading, const calibration::Window &window, const QString &phase,
                        bool zero);
    // `reset`: "Сброс КК текущего этапа" was pressed for this procedure, so the meter's block is
    // read, reset and written before it measures.
    void sendProcedure(int procedure, bool reset);
    int procedureDone(const QList<QByteArray> &replies, int status);
    void conformityTested(const QList<QByteArray> &replies);
    // A computed coefficient could not be used: the red line, and the meter counted as failed.
    void refuse(const QString &text, int status);

    Ui::CalibrationPage *ui;
    QList<QSpinBox *> m_single;
    QList<QSpinBox *> m_three;
    QList<QAbstractButton *> m_stepButtons;
    bool m_controlsOn = false;
    std::optional<DeviceRecord> m_singleOwner;
    std::optional<DeviceRecord> m_threeOwner;
    // The procedure whose coefficients "Сброс КК текущего этапа" reset, until it runs; 0: none.
    int m_pendingReset = 0;
    // The three-phase procedure whose batch is out, the variant it was sent for, and what the
    // batch holds: the block read for a reset only, or a block written in front of the reads.
    int m_procedure = 0;
    int m_variant = 0;
    bool m_resetRead = false;
    bool m_blockWritten = false;
};
