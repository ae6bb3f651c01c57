#include "core/sessionparameters.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

QString accessLevelName(int level)
{
    switch (level) {
    case 1:
        return QCoreApplication::translate("session", "Администратор");
    case 2:
        return QCoreApplication::translate("session", "Разработчик");
    default:
        return QCoreApplication::translate("session", "Пользователь");
    }
}

int SessionParameters::level() const
{
    return accessLevel >= 0 && accessLevel < kLevels ? accessLevel : 0;
}

bool operator==(const SessionParameters &a, const SessionParameters &b)
{
    return a.portNumber == b.portNumber && a.baudIndex == b.baudIndex &&
           a.refreshChecked == b.refreshChecked && a.accessLevel == b.accessLevel &&
           a.passwords == b.passwords && a.rememberPassword == b.rememberPassword &&
           a.connectionType == b.connectionType && a.standIp == b.standIp &&
           a.phoneNumber == b.phoneNumber && a.pin == b.pin && a.pinEnabled == b.pinEnabled &&
           a.ethernetIp == b.ethernetIp && a.ethernetPort == b.ethernetPort;
}

namespace sessioncfg {
namespace {

enum Offset {
    kPort = 0,
    kBaud = 4,
    kLevel = 8,
    kChannel = 12,
    kPasswords = 16, // three times six bytes
    kStandIp = 34,
    kRemember = 49, // three flags
    kRefresh = 52,
    kPinEnabled = 53,
    kPin = 54,
    kPhone = 58,
    kEthernetIp = 73,
    kEthernetPort = 88,
};
constexpr int kPwdBytes = 6;
const char kFileName[] = "session.cfg";

void putInt(QByteArray &rec, int offset, int value)
{
    qToLittleEndian<qint32>(value, rec.data() + offset);
}

// Cut to the field, the rest stays zero.
void putBytes(QByteArray &rec, int offset, int width, const QByteArray &bytes)
{
    const qsizetype n = qMin<qsizetype>(bytes.size(), width);
    std::copy_n(bytes.constData(), n, rec.data() + offset);
}

// Reads fields from a record that may be short: a field it does not fully hold is left alone.
class Reader
{
public:
    explicit Reader(const QByteArray &bytes) : m_bytes(bytes) {}

    bool holds(int offset, int width) const { return offset + width <= m_bytes.size(); }

    void getInt(int offset, int &value) const
    {
        if (holds(offset, 4))
            value = qFromLittleEndian<qint32>(m_bytes.constData() + offset);
    }
    void getBytes(int offset, int width, QByteArray &value) const
    {
        if (holds(offset, width))
            value = m_bytes.mid(offset, width);
    }
    // Up to the first zero byte or the end of the field.
    void getText(int offset, int width, QString &value) const
    {
        if (!holds(offset, width))
            return;
        const QByteArray field = m_bytes.mid(offset, width);
        const qsizetype zero = field.indexOf('\0');
        value = QString::fromLatin1(zero < 0 ? field : field.left(zero));
    }
    void getFlag(int offset, bool &value) const
    {
        if (holds(offset, 1))
            value = m_bytes.at(offset) != 0;
    }

private:
    const QByteArray &m_bytes;
};

// An index the dialog cannot show falls back to the default.
void keepInRange(int &value, int count, int fallback)
{
    if (value < 0 || value >= count)
        value = fallback;
}

} // namespace

QByteArray encode(const SessionParameters &p)
{
    QByteArray rec(kRecordSize, '\0');
    putInt(rec, kPort, p.portNumber);
    putInt(rec, kBaud, p.baudIndex);
    putInt(rec, kLevel, p.accessLevel);
    putInt(rec, kChannel, p.connectionType);
    for (int i = 0; i < SessionParameters::kLevels; ++i) {
        const QByteArray pwd = p.rememberPassword[i] ? p.passwords[i] : QByteArray(kPwdBytes, ' ');
        putBytes(rec, kPasswords + i * kPwdBytes, kPwdBytes, pwd);
        rec[kRemember + i] = char(p.rememberPassword[i]);
    }
    putBytes(rec, kStandIp, kIpBytes, p.standIp.toLatin1());
    rec[kRefresh] = char(p.refreshChecked);
    rec[kPinEnabled] = char(p.pinEnabled);
    putBytes(rec, kPin, kPinBytes, p.pin);
    putBytes(rec, kPhone, kPhoneBytes, p.phoneNumber);
    putBytes(rec, kEthernetIp, kIpBytes, p.ethernetIp.toLatin1());
    putInt(rec, kEthernetPort, p.ethernetPort);
    return rec;
}

SessionParameters decode(const QByteArray &bytes)
{
    const SessionParameters defaults;
    SessionParameters p;
    const Reader r(bytes);
    r.getInt(kPort, p.portNumber);
    r.getInt(kBaud, p.baudIndex);
    r.getInt(kLevel, p.accessLevel);
    r.getInt(kChannel, p.connectionType);
    for (int i = 0; i < SessionParameters::kLevels; ++i) {
        r.getBytes(kPasswords + i * kPwdBytes, kPwdBytes, p.passwords[i]);
        r.getFlag(kRemember + i, p.rememberPassword[i]);
    }
    r.getText(kStandIp, kIpBytes, p.standIp);
    r.getFlag(kRefresh, p.refreshChecked);
    r.getFlag(kPinEnabled, p.pinEnabled);
    r.getBytes(kPin, kPinBytes, p.pin);
    r.getBytes(kPhone, kPhoneBytes, p.phoneNumber);
    r.getText(kEthernetIp, kIpBytes, p.ethernetIp);
    r.getInt(kEthernetPort, p.ethernetPort);

    keepInRange(p.baudIndex, kBaudChoices, defaults.baudIndex);
    keepInRange(p.accessLevel, SessionParameters::kLevels, defaults.accessLevel);
    keepInRange(p.connectionType, kChannels, defaults.connectionType);
    return p;
}

QString filePath()
{
    return QDir::current().filePath(QLatin1String(kFileName));
}

bool load(const QString &path, SessionParameters *p)
{
    // Not a FIFO or a device: opening one could block the start.
    if (!QFileInfo(path).isFile())
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    *p = decode(f.read(kRecordSize));
    return true;
}

bool save(const QString &path, const SessionParameters &p)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    // Before any byte is written; the rename keeps the mode.
    if (!f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        f.cancelWriting();
        return false;
    }
    if (f.write(encode(p)) != kRecordSize) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

} // namespace sessioncfg
