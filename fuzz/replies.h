#pragma once

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>

// The fuzz input as a batch's replies: each is a length byte and that many bytes (fewer at the
// end of the input).
inline QList<QByteArray> fuzzReplies(const uint8_t *data, size_t size)
{
    QList<QByteArray> replies;
    for (size_t at = 0; at < size;) {
        const size_t n = qMin<size_t>(data[at], size - at - 1);
        replies << QByteArray(reinterpret_cast<const char *>(data + at + 1), qsizetype(n));
        at += 1 + n;
    }
    return replies;
}
