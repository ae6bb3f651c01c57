#pragma once

#include "config/configpage.h"

namespace Ui {
class ArchivePage;
}

// Page "Архив": the archive (power profile): its parameters, its records, CSV export.
class ArchivePage : public ConfigPage
{
    Q_OBJECT
public:
    explicit ArchivePage(PageHost *host, QWidget *parent = nullptr);
    ~ArchivePage() override;

private:
    Ui::ArchivePage *ui;
};
