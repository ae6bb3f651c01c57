#pragma once

#include <QByteArray>
#include <QString>

// Byte texts of the log ("TX: ", "RX: " lines) and of every other place that shows raw bytes.
namespace hextext
{

// Every byte as two lower-case hex digits followed by one blank: 01 A0 gives "01 a0 ".
QString fromBytes(const QByteArray &bytes);

} // namespace hextext
