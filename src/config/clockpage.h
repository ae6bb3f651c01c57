#pragma once

#include "config/configpage.h"

namespace Ui {
class ClockPage;
}

// Page "Часы": the meter's clock and its daylight-saving mode.
class ClockPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit ClockPage(PageHost *host, QWidget *parent = nullptr);
    ~ClockPage() override;

private:
    Ui::ClockPage *ui;
};
