#include "widgets/readingtable.h"

#include <QHeaderView>
#include <QTableView>

namespace readingtable {

void applyLook(QTableView *view)
{
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(20);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->setStyleSheet(
        QStringLiteral("QTableView {background-color: #ffffff;selection-background-color: #bbb}"));
}

} // namespace readingtable
