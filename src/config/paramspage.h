#pragma once

#include "config/configpage.h"

namespace Ui {
class ParamsPage;
}

// Page "Параметры": link, display, passwords, serial number and model.
class ParamsPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit ParamsPage(PageHost *host, QWidget *parent = nullptr);
    ~ParamsPage() override;
    void applyAccessLevel(int level) override;

private:
    Ui::ParamsPage *ui;
};
