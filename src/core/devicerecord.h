#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The highest one-byte address: the top of the address ranges asked for, and the address that
// every meter on the factory stand answers to.
constexpr int kLastAddress = 255;

// One meter of the meter list: how it is reached (address, stand position, serial number,
// password) and the state the rest of the program keeps about it.
struct DeviceRecord {
    int address = kLastAddress;
    int standAddr = 0;
    // Minutes; replaced by the meter's own value when a session is opened. The session timer is
    // not started before that, so this is only a sane fallback.
    int sessionTimeout = 10;
    bool sessionOpen = false;
    bool ticked = false;
    bool current = false;
    bool useStdPwd = true;
    bool standMode = false;
    QString version = QStringLiteral("-");
    QByteArray password;
    QByteArray serialNumber;

    // True when the serial number holds anything but zeros: the meter is then addressed with the
    // four-byte form.
    bool usesSerialNumber() const;

    // The four-byte address: the last ten characters of the serial number as a signed 32-bit
    // decimal number; 0 when they are not all digits or the value is out of range.
    qint32 serialAsNumber() const;

    // Rich text of the list row. Serial number and device name come from files and meters, so
    // they are escaped.
    QString rowText() const;

    // Whether `listed`, already in a list, stands for the same meter as this record: same place
    // (address, and stand position in stand mode) and same serial number, or the same real serial
    // number anywhere.
    bool duplicates(const DeviceRecord &listed) const;
};

// List order: address, then stand position.
bool listOrderLess(const DeviceRecord &a, const DeviceRecord &b);
