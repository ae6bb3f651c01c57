// Any list text pasted into the address changer: splitting keeps every character but line feeds,
// and a coefficient line that is accepted writes back as a line that reads the same values.
#include "core/changerlist.h"

#include <QSet>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList lines = changerlist::split(text);
    qsizetype kept = 0;
    for (const QString &line : lines) {
        if (line.isEmpty() || line.contains(QLatin1Char('\n')))
            __builtin_trap();
        kept += line.size();
    }
    if (kept != text.size() - text.count(QLatin1Char('\n')))
        __builtin_trap();
    // Equal lines among the kept ones are duplicates of the whole text too.
    if (lines.size() != QSet<QString>(lines.begin(), lines.end()).size() &&
        !changerlist::hasDuplicates(text))
        __builtin_trap();
    if (changerlist::isCoefficientText(text) !=
        (text.contains(QLatin1Char(' ')) || text.contains(QLatin1Char('\t'))))
        __builtin_trap();

    for (const QString &line : lines) {
        // An address from the list is one a meter can take.
        const std::optional<int> address = changerlist::listAddress(line);
        if (address && (*address < 1 || *address > 99))
            __builtin_trap();
        QList<int> values;
        if (!changerlist::parseCoefficients(line, &values))
            continue;
        if (values.size() != 6)
            __builtin_trap();
        QList<int> again;
        if (!changerlist::parseCoefficients(changerlist::coefficientLine(values), &again) ||
            again != values)
            __builtin_trap();
    }
    return 0;
}
