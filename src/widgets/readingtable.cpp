#include "widgets/readingtable.h"

#include <QAbstractItemModel>
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

int fittedWidth(const QTableView *view, const QString &sample, int atLeast)
{
    // Room for the cell's margins and the grid line.
    constexpr int kPadding = 12;
    return qMax(atLeast, view->fontMetrics().horizontalAdvance(sample) + kPadding);
}

QStringList headerTexts(const QTableView *view)
{
    QStringList out;
    const QAbstractItemModel *model = view->model();
    if (!model)
        return out;
    for (int c = 0; c < model->columnCount(); ++c)
        out << model->headerData(c, Qt::Horizontal).toString();
    return out;
}

QList<QStringList> cellTexts(const QTableView *view)
{
    QList<QStringList> out;
    const QAbstractItemModel *model = view->model();
    if (!model)
        return out;
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < model->columnCount(); ++c)
            row << model->index(r, c).data().toString();
        out << row;
    }
    return out;
}

} // namespace readingtable
