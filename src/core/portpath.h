#pragma once

#include <QString>

// Serial ports are chosen by number, "COM1" to "COM20"; on this platform a number stands for a
// device path.
namespace portpath
{

constexpr int kFirstPort = 1;
constexpr int kLastPort = 20;

// "COM" + n.
QString portName(int n);

// The built-in table: COM1-COM8 /dev/ttyUSB0-7, COM9-COM12 /dev/ttyACM0-3, COM13-COM20
// /dev/ttyS0-7. Empty outside 1..20.
QString defaultDevice(int n);

// The user's mapping "ports/COMn" below `workDir` (empty: the current directory): a symbolic
// link gives its target, a regular file its first line with surrounding blanks trimmed; a
// relative path counts from the "ports" folder, as a link's would. Empty when there is no usable
// entry.
QString mappedDevice(int n, const QString &workDir = QString());

// What COMn opens: the mapping when there is one, otherwise the built-in table.
QString device(int n, const QString &workDir = QString());

} // namespace portpath
