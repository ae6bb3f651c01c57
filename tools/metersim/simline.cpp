#include "metersim/simline.h"

#include "metersim/faultplan.h"
#include "metersim/simframe.h"
#include "metersim/simwire.h"

SimLine::SimLine(FaultPlan *faults) : m_faults(faults) {}

SimLine::~SimLine() = default;

SimMeter *SimLine::addMeter(std::unique_ptr<SimMeter> meter, int position)
{
    m_meters.push_back({std::move(meter), position});
    return m_meters.back().meter.get();
}

SimMeter *SimLine::meterAt(int address) const
{
    for (const Seat &seat : m_meters)
        if (seat.meter->address() == address)
            return seat.meter.get();
    return nullptr;
}

bool SimLine::hears(const Seat &seat, quint32 switched) const
{
    if (!m_switch)
        return true;
    return seat.position >= 1 && seat.position <= 32 && (switched >> (seat.position - 1)) & 1;
}

void SimLine::note(const QString &text) const
{
    if (m_trace)
        m_trace(text);
}

QList<SimLine::Chunk> SimLine::handleFrame(const QByteArray &frame)
{
    // Address, function and CRC at least: two bytes FF FF carry a good CRC but are no request.
    if (frame.size() < 4) {
        note(QStringLiteral("too short for a request: silence"));
        return {};
    }
    if (!simframe::crcMatches(frame)) {
        note(QStringLiteral("bad CRC: silence"));
        return {};
    }
    const quint32 switched = m_switch ? m_switch() : 0;
    // The serial form first: a frame that carries a meter's serial number is for that meter,
    // whatever the first byte means to the others.
    SimMeter *target = nullptr;
    int addressSize = 0;
    if (frame.size() >= 4 + 1 + 2) {
        const quint32 value = quint32(simwire::readLittleEndian(frame, 0, 4, false));
        for (const Seat &seat : m_meters) {
            quint32 serial = 0;
            if (hears(seat, switched) && seat.meter->serialAddress(&serial) && serial == value) {
                target = seat.meter.get();
                addressSize = 4;
                break;
            }
        }
    }
    // Two meters with one address: the first one answers.
    for (size_t i = 0; !target && i < m_meters.size(); ++i) {
        if (hears(m_meters[i], switched) && m_meters[i].meter->address() == quint8(frame[0])) {
            target = m_meters[i].meter.get();
            addressSize = 1;
        }
    }
    if (!target) {
        note(QStringLiteral("no meter hears this address: silence"));
        return {};
    }
    const QByteArray payload = frame.mid(addressSize, frame.size() - addressSize - 2);
    if (payload.isEmpty())
        return {};

    std::optional<FaultPlan::Fault> fault;
    if (m_faults)
        fault = m_faults->pick(quint8(payload[0]), payload.size() > 1 ? quint8(payload[1]) : -1,
                               target->address());
    SimMeter::Answer answer;
    if (fault && fault->kind == FaultPlan::Drop) {
        note(QStringLiteral("fault drop"));
        return {};
    }
    if (fault && fault->kind == FaultPlan::Echo) {
        note(QStringLiteral("fault echo"));
        return {{frame, 0}};
    }
    if (fault && fault->kind == FaultPlan::Error) {
        note(QStringLiteral("fault error %1").arg(fault->argument));
        answer.payload = simwire::errorReply(quint8(payload[0]), quint8(fault->argument));
    } else {
        answer = target->handle(payload);
    }
    if (answer.payload.isEmpty())
        return {};
    if (fault && fault->kind == FaultPlan::Reply) {
        note(QStringLiteral("fault reply %1").arg(QString::fromLatin1(fault->payload.toHex())));
        answer.payload = fault->payload;
    }

    // The reply carries the request's own address field.
    const quint32 address = quint32(simwire::readLittleEndian(frame, 0, addressSize, false));
    QByteArray reply = simframe::make(address, addressSize, answer.payload);
    if (fault && fault->kind == FaultPlan::Crc) {
        note(QStringLiteral("fault crc"));
        reply[reply.size() - 1] = char(reply[reply.size() - 1] ^ 0x5a);
    }
    int delay = answer.delayMs;
    if (fault && fault->kind == FaultPlan::Late) {
        note(QStringLiteral("fault late %1 ms").arg(fault->argument));
        delay += fault->argument;
    }
    if (fault && fault->kind == FaultPlan::Stale) {
        note(QStringLiteral("fault stale %1 ms").arg(fault->argument));
        return {{reply, delay + fault->argument, true}};
    }
    if (fault && fault->kind == FaultPlan::Split) {
        note(QStringLiteral("fault split, %1 ms apart").arg(fault->argument));
        const int half = int(reply.size() / 2);
        return {{reply.left(half), delay}, {reply.mid(half), fault->argument}};
    }
    return {{reply, delay}};
}
