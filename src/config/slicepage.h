#pragma once

#include "config/configpage.h"

namespace Ui {
class SlicePage;
}

// Page "Энергия": energy in daily and monthly intervals, CSV export.
class SlicePage : public ConfigPage
{
    Q_OBJECT
public:
    explicit SlicePage(PageHost *host, QWidget *parent = nullptr);
    ~SlicePage() override;

private:
    Ui::SlicePage *ui;
};
