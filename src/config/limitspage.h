#pragma once

#include "config/configpage.h"

namespace Ui {
class LimitsPage;
}

// Page "Пределы": operating limits and the pulse output.
class LimitsPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit LimitsPage(PageHost *host, QWidget *parent = nullptr);
    ~LimitsPage() override;

private:
    Ui::LimitsPage *ui;
};
