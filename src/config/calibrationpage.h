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

signals:
    void optoTestClicked();

private:
    Ui::CalibrationPage *ui;
};
