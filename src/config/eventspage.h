#pragma once

#include "config/configpage.h"

namespace Ui {
class EventsPage;
}

// Page "События": the message, error and warning lists.
class EventsPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit EventsPage(PageHost *host, QWidget *parent = nullptr);
    ~EventsPage() override;

private:
    Ui::EventsPage *ui;
};
