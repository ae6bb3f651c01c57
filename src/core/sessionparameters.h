#pragma once

#include <QByteArray>
#include <QString>

#include <array>

// The channel of a session: its index in `connectionType` and in the session dialog's list.
namespace Channel {
enum : int { Serial = 0, Gsm = 1, Stand = 2, TcpIp = 3 };
}

// "Пользователь", "Администратор", "Разработчик" for levels 0, 1, 2; the user's name for any other.
QString accessLevelName(int level);

// What the session dialog collects: channel, port, speed, access level, one password and one
// remember flag per level, and each channel's own settings. Default-constructed, it holds the
// values a first start shows.
struct SessionParameters
{
    static constexpr int kLevels = 3; // user, administrator, developer

    int portNumber = 0; // n of "COMn"
    int baudIndex = 5;  // 0..5: 300, 600, 1200, 2400, 4800, 9600
    bool refreshChecked = true;
    int accessLevel = 0; // 0 user, 1 administrator, 2 developer
    std::array<QByteArray, kLevels> passwords{QByteArray(6, ' '), QByteArray(6, ' '),
                                              QByteArray(6, ' ')};
    std::array<bool, kLevels> rememberPassword{true, true, false};
    int connectionType = 0; // 0 serial port, 1 GSM/CSD, 2 factory stand, 3 TCP-IP
    QString standIp = QStringLiteral("192.168.0.200");
    QByteArray phoneNumber = "+7";
    QByteArray pin = "4826";
    bool pinEnabled = false;
    QString ethernetIp = QStringLiteral("127.0.0.1");
    int ethernetPort = 14001;

    // The level used to index the per-level arrays: accessLevel, or 0 when it is out of range.
    int level() const;
};

bool operator==(const SessionParameters &a, const SessionParameters &b);
inline bool operator!=(const SessionParameters &a, const SessionParameters &b)
{
    return !(a == b);
}

// "session.cfg": one 92-byte little-endian record, no header.
namespace sessioncfg {

constexpr int kRecordSize = 92;
constexpr int kBaudChoices = 6;
constexpr int kChannels = 4;
// Widths of the text fields.
constexpr int kIpBytes = 15;
constexpr int kPinBytes = 4;
constexpr int kPhoneBytes = 15;

// The record: texts as Latin-1 cut to their field and padded with zero bytes; a password whose
// level is not remembered as six blanks.
QByteArray encode(const SessionParameters &p);

// Any bytes give a usable record: a field the input does not fully hold keeps its default, and
// a baud, level or channel index out of range takes its default too, since the dialog indexes
// with them. Bytes past the record are ignored.
SessionParameters decode(const QByteArray &bytes);

// "session.cfg" in the current directory.
QString filePath();

// Reads the record from `path` into `p`. False, leaving `p` as it was, when there is no regular
// file there or it cannot be opened.
bool load(const QString &path, SessionParameters *p);

// Replaces `path` as a whole, readable and writable by its owner only (the record holds
// passwords). False when it cannot be written; the old file then stays.
bool save(const QString &path, const SessionParameters &p);

} // namespace sessioncfg
