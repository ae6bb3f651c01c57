#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

typedef struct _modbus modbus_t;
typedef struct _modbus_mapping_t modbus_mapping_t;

// The stand's switching block: a libmodbus Modbus/TCP server with 24 coils (unit 1) on port 502
// (or another port, for a user without the privilege to bind 502), by default on a loopback
// address of its own (127.0.0.x), so that several blocks (tests running in parallel) do not meet.
// It serves one client at a time from its own thread until stop() or destruction; a new
// connection replaces the old one. All coils start off.
class StandSwitch
{
public:
    static constexpr int kCoils = 24;
    static constexpr int kPort = 502;

    StandSwitch() = default;
    ~StandSwitch();
    StandSwitch(const StandSwitch &) = delete;
    StandSwitch &operator=(const StandSwitch &) = delete;

    // Listens on `address`:`port` (port 0: a free one), or with an empty address on the first
    // free 127.0.0.x, searching from a random x. False when nothing could be bound; errorString()
    // says why, permissionDenied() when the port needs privileges this process lacks.
    bool start(const QString &address = QString(), quint16 port = kPort);
    void stop();

    QString address() const { return m_address; }
    quint16 port() const { return m_port; }
    QString errorString() const { return m_error; }
    bool permissionDenied() const { return m_permissionDenied; }

    // Coil states, bit p-1 for stand position p.
    quint32 coils() const;
    // The last request as received (MBAP header included) and how many have come.
    QByteArray lastRequest() const;
    int requestCount() const;

    // The next request is answered with these bytes instead of the block's own reply, and leaves
    // the coils alone; an empty array means no answer at all. Queued, one per request.
    void injectReply(const QByteArray &raw);

private:
    void run();
    void serveRequest(int client, const quint8 *query, int length);

    modbus_t *m_ctx = nullptr;
    modbus_mapping_t *m_map = nullptr;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    QByteArray m_lastRequest;
    int m_requests = 0;
    QList<QByteArray> m_injected;
    QString m_address;
    quint16 m_port = 0;
    QString m_error;
    bool m_permissionDenied = false;
};
