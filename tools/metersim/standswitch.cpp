#include "metersim/standswitch.h"

#include <QRandomGenerator>

#include <modbus/modbus.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

StandSwitch::~StandSwitch()
{
    stop();
}

bool StandSwitch::start(const QString &wanted, quint16 port)
{
    stop();
    m_error.clear();
    m_permissionDenied = false;
    m_port = 0;
    m_map = modbus_mapping_new(kCoils, 0, 0, 0);
    if (!m_map || ::pipe(m_wake) != 0) {
        m_error = QStringLiteral("out of resources");
        stop();
        return false;
    }
    const int first = QRandomGenerator::global()->bounded(2, 255);
    const int tries = wanted.isEmpty() ? 253 : 1;
    for (int i = 0; i < tries && m_listen < 0; ++i) {
        const QString address =
            wanted.isEmpty() ? QStringLiteral("127.0.0.%1").arg(2 + (first - 2 + i) % 253) : wanted;
        m_ctx = modbus_new_tcp(address.toLatin1().constData(), port);
        if (!m_ctx)
            break;
        m_listen = modbus_tcp_listen(m_ctx, 1);
        if (m_listen >= 0) {
            m_address = address;
            sockaddr_in bound{};
            socklen_t len = sizeof bound;
            if (::getsockname(m_listen, reinterpret_cast<sockaddr *>(&bound), &len) == 0)
                m_port = ntohs(bound.sin_port);
            break;
        }
        const int err = errno;
        modbus_free(m_ctx);
        m_ctx = nullptr;
        m_error = QString::fromLocal8Bit(std::strerror(err));
        if (err == EACCES || err == EPERM) {
            m_permissionDenied = true;
            break;
        }
        if (err != EADDRINUSE)
            break;
    }
    if (m_listen < 0) {
        stop();
        return false;
    }
    m_stop = false;
    m_thread = std::thread(&StandSwitch::run, this);
    return true;
}

void StandSwitch::stop()
{
    if (m_thread.joinable()) {
        m_stop = true;
        const char c = 0;
        [[maybe_unused]] ssize_t n = ::write(m_wake[1], &c, 1);
        m_thread.join();
    }
    if (m_listen >= 0)
        ::close(m_listen);
    m_listen = -1;
    if (m_ctx) {
        modbus_close(m_ctx);
        modbus_free(m_ctx);
        m_ctx = nullptr;
    }
    for (int &fd : m_wake) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    if (m_map)
        modbus_mapping_free(m_map);
    m_map = nullptr;
}

quint32 StandSwitch::coils() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    quint32 mask = 0;
    for (int i = 0; m_map && i < kCoils; ++i)
        if (m_map->tab_bits[i])
            mask |= quint32(1) << i;
    return mask;
}

QByteArray StandSwitch::lastRequest() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastRequest;
}

int StandSwitch::requestCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

void StandSwitch::injectReply(const QByteArray &raw)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_injected.append(raw);
}

void StandSwitch::run()
{
    int client = -1;
    while (!m_stop) {
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(m_listen, &fds);
        FD_SET(m_wake[0], &fds);
        int top = qMax(m_listen, m_wake[0]);
        if (client >= 0) {
            FD_SET(client, &fds);
            top = qMax(top, client);
        }
        if (::select(top + 1, &fds, nullptr, nullptr, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (m_stop)
            break;
        if (FD_ISSET(m_listen, &fds)) {
            // One client at a time, as the block has it: a new connection replaces the old one.
            if (client >= 0)
                ::close(client);
            int s = m_listen;
            client = modbus_tcp_accept(m_ctx, &s);
            continue;
        }
        if (client >= 0 && FD_ISSET(client, &fds)) {
            uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
            const int rc = modbus_receive(m_ctx, query);
            if (rc < 0) {
                ::close(client);
                client = -1;
                modbus_set_socket(m_ctx, -1);
                continue;
            }
            if (rc == 0)
                continue; // not for this unit
            serveRequest(client, query, rc);
        }
    }
    if (client >= 0)
        ::close(client);
    modbus_set_socket(m_ctx, -1);
}

void StandSwitch::serveRequest(int client, const quint8 *query, int length)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_lastRequest = QByteArray(reinterpret_cast<const char *>(query), length);
    ++m_requests;
    if (m_injected.isEmpty()) {
        modbus_reply(m_ctx, query, length, m_map);
        return;
    }
    const QByteArray raw = m_injected.takeFirst();
    lock.unlock();
    if (!raw.isEmpty()) [[maybe_unused]]
        ssize_t n = ::send(client, raw.constData(), size_t(raw.size()), MSG_NOSIGNAL);
}
