#pragma once

#include "config/configpage.h"

namespace Ui {
class EventsPage;
}
class QStandardItemModel;

// Page "События": the message, error and warning lists.
class EventsPage : public ConfigPage
{
    Q_OBJECT
public:
    explicit EventsPage(PageHost *host, QWidget *parent = nullptr);
    ~EventsPage() override;

public slots:
    void loadListClick();
    void loadClearMsgListClick();
    void loadClearErrListClick();
    void loadClearWarnListClick();

private:
    void sizesRead(const QList<QByteArray> &replies);
    void fillTable(const QList<QByteArray> &replies);
    void clear(const QString &question, int kind);
    void emptyTable();

    Ui::EventsPage *ui;
    QStandardItemModel *m_model;
    // The list of each record of the running read, in batch order.
    QList<int> m_lists;
};
