#include "link/comport.h"

#include "core/portpath.h"
#include "link/logcolours.h"

#include <iterator>

namespace {
const int kBaudTable[] = {300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600};
} // namespace

comport::comport(QObject *parent) : comm(parent), serial(this)
{
    pollTimer.setSingleShot(true);
    pollTimer.setTimerType(Qt::PreciseTimer);
    pollTimer.setInterval(kGapMs);
    connect(&pollTimer, &QTimer::timeout, this, &comport::receive_slot);
    connect(&serial, &QSerialPort::readyRead, this, &comport::readyReadSl);
    connect(&serial, &QSerialPort::errorOccurred, this, &comport::errorSl);
}

comport::~comport()
{
    close();
    pollTimer.stop();
    pollTimer.disconnect();
}

int comport::baudRate(int index)
{
    if (index < 0 || index >= int(std::size(kBaudTable)))
        return -1;
    return kBaudTable[index];
}

bool comport::open()
{
    if (serial.isOpen()) {
        emit connIsEstablished(false);
        return false;
    }
    switch (openLine(baudRate(baudIndex))) {
    case LineOpen::Failed:
        emit connIsEstablished(false);
        return false;
    case LineOpen::Misconfigured:
        close();
        emit connIsEstablished(false);
        return false;
    case LineOpen::Opened:
        break;
    }
    emit connIsEstablished(true);
    return true;
}

comport::LineOpen comport::openLine(int rate, bool dataTerminalReady)
{
    if (serial.isOpen())
        return LineOpen::Failed;
    m_device = portpath::device(portNumber);
    if (m_device.isEmpty())
        return LineOpen::Failed;
    serial.setPortName(m_device);
    if (!serial.open(QIODevice::ReadWrite)) {
        serial.clearError();
        return LineOpen::Failed;
    }
    if (!configure(rate, dataTerminalReady))
        return LineOpen::Misconfigured;
    serial.clearError();
    rxBuffer.clear();
    m_failurePending = false;
    ++m_opening;
    return LineOpen::Opened;
}

bool comport::configure(int rate, bool dataTerminalReady)
{
    if (rate < 0)
        return false;
    if (!serial.setBaudRate(rate) || !serial.setDataBits(QSerialPort::Data8) ||
        !serial.setParity(QSerialPort::NoParity) || !serial.setStopBits(QSerialPort::TwoStop) ||
        !serial.setFlowControl(QSerialPort::NoFlowControl))
        return false;
    // Best effort: a pseudo-terminal or a bare UART without modem lines refuses these.
    serial.setDataTerminalReady(dataTerminalReady);
    serial.setRequestToSend(false);
    return true;
}

bool comport::closeLine()
{
    if (!serial.isOpen())
        return false;
    pollTimer.stop();
    // A modem set to hang up on DTR does so now, whatever the driver does on close.
    serial.setDataTerminalReady(false);
    serial.close();
    serial.clearError();
    // A packet cut short by the close would only confuse the next session.
    rxBuffer.clear();
    return true;
}

void comport::close()
{
    if (!closeLine())
        return;
    emit connIsEstablished(false);
    emit debugMsg(tr("Порт закрыт"), logcolour::success, true, false);
}

int comport::write(const char *data, int len)
{
    if (!serial.isOpen() || !data || len < 0)
        return -1;
    return int(serial.write(data, len));
}

void comport::readyReadSl()
{
    rxBuffer.append(serial.readAll());
    if (rxBuffer.size() >= kMaxPacket)
        deliver();
    else
        pollTimer.start();
}

void comport::receive_slot()
{
    deliver();
}

void comport::deliver()
{
    pollTimer.stop();
    if (rxBuffer.isEmpty())
        return;
    QByteArray packet;
    packet.swap(rxBuffer);
    packetReceived(packet);
}

void comport::packetReceived(const QByteArray &packet)
{
    emit receivePaket(packet);
}

void comport::lineFailed()
{
    close();
}

void comport::errorSl(QSerialPort::SerialPortError error)
{
    // A pulled adapter, or a pseudo-terminal whose other side is gone. The port is closed from
    // the event loop, not from inside the port's own error report.
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    if (!serial.isOpen() || m_failurePending)
        return;
    m_failurePending = true;
    QMetaObject::invokeMethod(
        this, [this, opening = m_opening] { readFailure(opening); }, Qt::QueuedConnection);
}

void comport::readFailure(int opening)
{
    m_failurePending = false;
    // Only for the connection that failed, not for one opened since.
    if (!serial.isOpen() || opening != m_opening)
        return;
    emit debugMsg(tr("Ошибка чтения COM. Соединение будет разорвано..."), logcolour::error, true,
                  false);
    lineFailed();
}
