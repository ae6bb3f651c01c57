#pragma once

#include "config/configpage.h"

namespace Ui {
class LimitsPage;
}
namespace settings {
struct Limits;
}

// Page "Пределы": operating limits and the pulse output.
class LimitsPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit LimitsPage(PageHost *host, QWidget *parent = nullptr);
    ~LimitsPage() override;

public slots:
    void loadLimitClick();
    void SaveLimitClick();
    void StdLimitClick();
    void loadPulseSpecClick();
    void SavePulseSpecClick();
    void savePulseSpecAllClick();
    // "Калибровка времени (1Гц)" on the checked meters.
    void savePulseSpecMode1HzClick();
    // "Импульсный выход (режим проверки)" on the checked meters.
    void savePulseSpecModeStdClick();

private:
    void showLimits(const settings::Limits &limits);

    Ui::LimitsPage *ui;
};
