#pragma once

#include <QList>
#include <QString>

// The status grid that group work prints when it ends: one cell per meter, its label (stand
// position or address) over its word, coloured by its status. Statuses are 0 OK, 1 SKIP, 2 WARN;
// any other value is ERR.
namespace groupgrid {

enum Status { Ok = 0, Skip = 1, Warn = 2, Error = 10 };

struct Cell
{
    int label;
    int status;
};

// "OK", "SKIP", "WARN" or "ERR"; an unknown status is "ERR".
QString word(int status);
// The cell colour of a status ("#bbffbb", "#99dceb", "#ffbf58", "#ffaaaa").
QString colour(int status);

// Tables of 12 cells each, the last holding the rest; a count that is a multiple of 12 (none
// included) ends with an empty table. One text for the whole grid.
QString html(const QList<Cell> &cells);

} // namespace groupgrid
