#pragma once

#include "core/meterseries.h"

#include <QString>
#include <QtGlobal>

// What an event code of the meter's lists means, in words. Messages (list 3b) and warnings (3c)
// are sets of bits; an error (12) is one code as a whole. The words differ by meter series.
namespace eventtexts {

// The texts the code selects, in the order of the list's table: the first as written, every
// further one in lower case after ", ". Code 0 is "-". An unrecognised series, an unknown list,
// or a code that selects nothing gives "".
QString text(int list, MeterSeries series, quint16 code);

} // namespace eventtexts
