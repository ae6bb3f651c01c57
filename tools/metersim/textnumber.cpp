#include "metersim/textnumber.h"

namespace textnumber
{

bool toBounded(const QString &text, int base, qint64 min, qint64 max, qint64 *out)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok, base);
    if (!ok || v < min || v > max)
        return false;
    *out = v;
    return true;
}

} // namespace textnumber
