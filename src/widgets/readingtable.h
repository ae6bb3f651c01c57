#pragma once

class QTableView;

// The look every reading table of the configurator shares.
namespace readingtable {

// Row height 20, no vertical header, a horizontal header of fixed size, white background with a
// grey selection.
void applyLook(QTableView *view);

} // namespace readingtable
