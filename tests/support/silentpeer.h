#pragma once

#include <QtGlobal>

// A loopback TCP port that never completes a connection: it listens with a full accept queue, so
// the kernel drops further connection requests and a client waits until its own time limit.
// Stands for a peer that is unreachable or too slow.
class SilentPeer
{
public:
    SilentPeer() = default;
    ~SilentPeer();
    SilentPeer(const SilentPeer &) = delete;
    SilentPeer &operator=(const SilentPeer &) = delete;

    // Listens on 127.0.0.1 at a free port and fills the queue.
    bool start();
    quint16 port() const { return m_port; }

private:
    int m_listen = -1;
    int m_filler = -1;
    quint16 m_port = 0;
};
