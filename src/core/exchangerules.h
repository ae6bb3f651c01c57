#pragma once

#include <QByteArray>
#include <QString>

struct DeviceRecord;

// The exchange engine's rules about requests and replies, apart from any window or timer.
namespace exchangerules {

// How a meter is addressed: its serial number in the four-byte form when it has a real one,
// otherwise its one-byte address.
struct Address
{
    int value = 0;
    char size = 1;
};
Address addressOf(const DeviceRecord &meter);

// The reply with its address field (`addressSize` bytes) and its two CRC bytes removed; empty
// when the packet is too short to hold more than those.
QByteArray stripFrame(const QByteArray &packet, int addressSize);

// What a reply (address and CRC removed) means for the request it came in for.
enum class Verdict {
    TooShort,   // fewer than two bytes: no function and object
    ErrorReply, // function byte with its top bit set; the code is byte 1
    Echo,       // the request itself came back (more than three bytes)
    Mismatch,   // function and object differ from the request's
    Accepted,   // the reply to the request (or a reply starting 09, taken for any request)
};
Verdict judge(const QByteArray &reply, const QByteArray &request);

// The code of an error reply: byte 1 read as a signed byte.
int errorCode(const QByteArray &reply);
// "Ошибка: ..." for codes 0 to 13, "Неизвестная ошибка" for any other.
QString errorMessage(int code);

// Whether the bytes start 01 21, the software version reply.
bool isVersionReply(const QByteArray &bytes);
// The version text of such a reply: data bytes 3 to n+2 (n = byte 2) as far as present, keeping
// letters, digits and ".".
QString versionText(const QByteArray &reply);
// Versions below 1.09 (or that do not read as a number) know no serial numbers.
bool versionLacksSerialNumbers(const QString &version);

// Logged when a batch, or a search, is asked for while another exchange holds the engine.
QString busyRequestRefused();
QString busySearchRefused();

// Progress of a search over min..max at `address`, in percent.
int searchProgress(int address, int min, int max);
// Progress of a batch of `len` commands with `done` answered, in percent.
int batchProgress(int done, int len);

} // namespace exchangerules
