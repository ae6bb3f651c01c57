#include "config/archivepage.h"

#include "core/requestkinds.h"
#include "ui_archivepage.h"

ArchivePage::ArchivePage(PageHost *host, QWidget *parent)
    : ConfigPage(host, parent), ui(new Ui::ArchivePage)
{
    ui->setupUi(this);
    setupTables();

    route(requestkinds::Archive, ui->frArchive);
    route(requestkinds::ArchiveRead, ui->frArchive);
    route(requestkinds::ArchiveInit, ui->frArchive);
    route(requestkinds::ArchiveRead3, ui->frArchive);

    setMeterControls({"pbLoadArchive", "pbArchiveRead", "pbArchiveInit"});
    LevelRules levels;
    levels.shown = {"pbArchiveInit"};
    levels.userHidden = {"pbArchiveInit"};
    levels.administratorHidden = {};
    setLevelRules(levels);
}

ArchivePage::~ArchivePage()
{
    delete ui;
}
