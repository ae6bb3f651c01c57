#pragma once

#include "config/configpage.h"

namespace Ui {
class CalibrationPage;
}

// Page "КК": calibration of single- and three-phase meters and of the clock, the optical-port test.
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

public slots:
    void loadClockCCClick();
    void SaveClockCCClick();
    // Computes the clock coefficient from the clock error typed in "Калибровка часов:".
    void clockCSecInput();
    // The time step of the procedures: the clock page writes the time, shifted by this page's
    // hours, to the current meter or, with "Калибровать все отмеченные", to the checked ones.
    void SaveRealTimeClick();

signals:
    void optoTestClicked();
    void realTimeRequested(int shiftHours, bool allChecked);

private:
    Ui::CalibrationPage *ui;
};
