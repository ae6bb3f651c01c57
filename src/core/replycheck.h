#pragma once

#include <QByteArray>
#include <QString>

// What a settings decoder made of a reply, and the red log line of a reply it refused.
enum class ReplyCheck {
    Ok,
    Short,    // fewer data bytes than the layout has (or a reply missing from the batch)
    BadValue, // the bytes are there, but hold nothing the page can show
};

namespace replycheck {

// The data bytes of a reply (function, object, data length N, data) when it holds at least
// `needed` of them; the first `needed` only. Empty, and false, when the reply is shorter, or
// when it holds fewer bytes than its length byte claims.
bool dataBytes(const QByteArray &reply, int needed, QByteArray *data);

// Unsigned little-endian number of the bytes (at most four are read).
quint32 unsignedLE(const QByteArray &bytes);

// "Ошибка: некорректный размер пакета" for Short, a line naming the bad data for BadValue, ""
// for Ok.
QString errorText(ReplyCheck check);

} // namespace replycheck
