#pragma once

#include "config/configpage.h"

namespace Ui {
class ArchivePage;
}
class QStandardItemModel;

// Page "Архив": the archive (power profile): its parameters, its records with a chart of them,
// CSV export.
class ArchivePage : public ConfigPage
{
    Q_OBJECT
public:
    explicit ArchivePage(PageHost *host, QWidget *parent = nullptr);
    ~ArchivePage() override;

public slots:
    void loadArchiveClick();
    void ArchiveReadClick();
    void ArchiveInitClick();
    void initArchiveExport();

private:
    void parametersRead(const QList<QByteArray> &replies);
    void fillTable(bool threePhaseRead, const QList<QByteArray> &replies);
    void setColumns(bool threePhase);

    Ui::ArchivePage *ui;
    QStandardItemModel *m_model;
    // The first record of the running read.
    int m_readStart = 0;
};
