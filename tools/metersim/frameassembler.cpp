#include "metersim/frameassembler.h"

#include "metersim/simframe.h"

QByteArray FrameAssembler::feed(const QByteArray &bytes)
{
    m_buffer.append(bytes);
    if (m_buffer.size() > kMaxFrame) {
        m_buffer.clear();
        return QByteArray();
    }
    if (m_buffer.size() < kMinFrame || !simframe::crcMatches(m_buffer))
        return QByteArray();
    QByteArray frame;
    frame.swap(m_buffer);
    return frame;
}

QByteArray FrameAssembler::discard()
{
    QByteArray gone;
    gone.swap(m_buffer);
    return gone;
}
