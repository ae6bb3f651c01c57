#pragma once

#include <QList>
#include <QStringList>

class QTableView;

// The look every reading table of the configurator shares.
namespace readingtable {

// Row height 20, no vertical header, a horizontal header of fixed size, white background with a
// grey selection.
void applyLook(QTableView *view);

// A column width of at least `atLeast` pixels that shows `sample` whole in the table's font:
// widths chosen for one font cut dates short in another.
int fittedWidth(const QTableView *view, const QString &sample, int atLeast);

// The column titles and the cells' display texts, row by row, as the table shows them.
QStringList headerTexts(const QTableView *view);
QList<QStringList> cellTexts(const QTableView *view);

} // namespace readingtable
