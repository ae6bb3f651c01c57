#pragma once

#include <QByteArray>

// Gathers the bytes of a request as they come off a line. A request has no length field: it is
// complete when the bytes gathered end with their own CRC. Bytes that never get there (a bad CRC,
// a frame cut short, noise) go when the line has been quiet for a while (discard()).
class FrameAssembler
{
public:
    // Longer than any request; a buffer that grows past it is noise.
    static constexpr int kMaxFrame = 300;
    // Address, function and CRC at least.
    static constexpr int kMinFrame = 4;

    // The request, once the bytes so far form one; empty otherwise.
    QByteArray feed(const QByteArray &bytes);
    bool isEmpty() const { return m_buffer.isEmpty(); }
    // Drops what has been gathered and returns it.
    QByteArray discard();

private:
    QByteArray m_buffer;
};
