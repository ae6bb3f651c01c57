#pragma once

#include "config/configpage.h"
#include "core/calibration.h"

#include <QList>

namespace Ui {
class CalibrationPage;
}
class QAbstractButton;
class QSpinBox;

// Page "КК": calibration of single- and three-phase meters and of the clock, the optical-port test.
//
// The coefficients live in the spin boxes: a read replaces them, a step computes one and writes
// the whole block. Every step runs for the current meter or, with "Калибровать все отмеченные",
// as group work over the checked meters; a step changes nothing until its whole batch is back.
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
    // initial values; nothing is sent.
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
    // Sets the single-phase coefficients from block index `from` on to their standard values
    // and writes the block.
    void resetSingleFrom(int from);
    bool saveSingle();
    // Group work with the changer's list: the meter's line written (coefficients 0, 1, 2, 3, 5
    // and the clock's), or the block and clock coefficient read given to the list as a line.
    bool saveSingleFromList();
    void listCoefficientsRead(const QList<qint32> &block, const QByteArray &clockReply);
    bool saveThree();

    // Runs `step` for the current meter, or hands it to group work when asked to.
    void runStep(int kind, const std::function<void()> &step);
    void sendSingleStep(calibration::Step step);
    int singleStepDone(calibration::Step step, const QList<QByteArray> &replies, int status);
    void sendProcedure(int procedure);
    int procedureDone(const QList<QByteArray> &replies, int status);
    void conformityTested(const QList<QByteArray> &replies);
    // A computed coefficient could not be used: the red line, and the meter counted as failed.
    void refuse(const QString &text, PageHost::GroupStatus status);

    Ui::CalibrationPage *ui;
    QList<QSpinBox *> m_single;
    QList<QSpinBox *> m_three;
    QList<QAbstractButton *> m_stepButtons;
    QList<QAbstractButton *> m_threeButtons;
    bool m_controlsOn = false;
    // The three-phase procedure whose batch is out, and the variant it was sent for.
    int m_procedure = 0;
    int m_variant = 0;
};
