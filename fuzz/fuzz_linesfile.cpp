// Any lines file: the reader stays inside the input, takes no line it refuses, and every line it
// gives has words, a number within the file and in rising order.
#include "core/linesfile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray file(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<linesfile::Line> lines;
    int at = -1;
    QString error;
    const bool ok = linesfile::parse(file, &lines, &at, &error);
    const int count = int(file.count('\n')) + 1;
    if (ok != error.isEmpty() || at < 0 || at > count || (ok && at != 0) ||
        (!ok && !lines.isEmpty()))
        __builtin_trap();
    int last = 0;
    for (const linesfile::Line &l : lines) {
        if (l.words.isEmpty() || l.number <= last || l.number > count)
            __builtin_trap();
        last = l.number;
    }
    return 0;
}
