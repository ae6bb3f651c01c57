#include "support/silentpeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

SilentPeer::~SilentPeer()
{
    if (m_filler >= 0)
        ::close(m_filler);
    if (m_listen >= 0)
        ::close(m_listen);
}

bool SilentPeer::start()
{
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_listen < 0)
        return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    // Backlog 0: room for one connection that nobody accepts; the filler takes it.
    if (::bind(m_listen, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 ||
        ::listen(m_listen, 0) != 0 ||
        ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&a), &len) != 0)
        return false;
    m_port = ntohs(a.sin_port);
    m_filler = ::socket(AF_INET, SOCK_STREAM, 0);
    return m_filler >= 0 && ::connect(m_filler, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
}
