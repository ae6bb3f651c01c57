#pragma once

#include "link/comm.h"

#include <QSerialPort>
#include <QString>

// A local serial port (RS-485 adapter or optical probe), chosen by number (see portpath.h), at
// 8 data bits, no parity, two stop bits, no flow control. Received bytes form one packet until
// the line has been quiet for kGapMs.
class comport : public comm
{
    Q_OBJECT
public:
    explicit comport(QObject *parent = nullptr);
    ~comport() override;

    // Filled in by the engine before open().
    int portNumber = 0;
    int baudIndex = 0;

    static constexpr int kGapMs = 20;
    // A line that never pauses still yields packets of this size rather than an ever-growing
    // buffer.
    static constexpr int kMaxPacket = 65536;

    // Bits per second for a baud index: 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400,
    // 57600 for 0..9; -1 for any other index.
    static int baudRate(int index);

    bool isOpen() const { return serial.isOpen(); }
    // The device of the last open() attempt.
    QString deviceName() const { return m_device; }

public slots:
    bool open() override;
    void close() override;
    int write(const char *data, int len) override;
    // pollTimer: the line has been quiet for kGapMs, rxBuffer is one packet.
    void receive_slot();

private slots:
    void readyReadSl();
    void errorSl(QSerialPort::SerialPortError error);

protected:
    // For transports that run a serial line of their own way (the GSM modem).
    enum class LineOpen { Opened, Failed, Misconfigured };
    // Opens the port of portNumber at `rate` bit/s with the fixed line settings, DTR raised when
    // asked (best effort), without a word to the outside. Misconfigured: the port is open but
    // refused a setting; the caller closes it.
    LineOpen openLine(int rate, bool dataTerminalReady = false);
    // Drops DTR and closes the port without a word; false when it was not open.
    bool closeLine();
    // One packet off the line; comport passes it on as receivePaket.
    virtual void packetReceived(const QByteArray &packet);
    // The line has failed while open and the failure has been logged; comport closes.
    virtual void lineFailed();

private:
    bool configure(int rate, bool dataTerminalReady);
    void deliver();
    void readFailure(int opening);

    QSerialPort serial;
    QString m_device;
    bool m_failurePending = false;
    int m_opening = 0; // counts successful opens
};
