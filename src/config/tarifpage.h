#pragma once

#include "config/configpage.h"

namespace Ui {
class TarifPage;
}

// Page "Тариф": the tariff schedule, the holidays and the number of tariffs.
class TarifPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit TarifPage(PageHost *host, QWidget *parent = nullptr);
    ~TarifPage() override;

private:
    Ui::TarifPage *ui;
};
