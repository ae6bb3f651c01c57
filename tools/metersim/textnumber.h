#pragma once

#include <QString>

// Numbers typed on metersim's command line and control lines.
namespace textnumber
{

// `text` as an integer in `base` within min..max; false (and `out` untouched) otherwise.
bool toBounded(const QString &text, int base, qint64 min, qint64 max, qint64 *out);

template <typename T> bool toBounded(const QString &text, int base, qint64 min, qint64 max, T *out)
{
    qint64 v = 0;
    if (!toBounded(text, base, min, max, &v))
        return false;
    *out = T(v);
    return true;
}

} // namespace textnumber
