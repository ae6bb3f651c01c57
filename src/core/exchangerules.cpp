#include "core/exchangerules.h"

#include "core/devicerecord.h"

#include <QCoreApplication>
#include <QtNumeric>

namespace exchangerules {

namespace {
constexpr int kCrcBytes = 2;
constexpr quint8 kErrorFlag = 0x80;
constexpr quint8 kSessionClose = 0x09;
constexpr int kEchoMinBytes = 4;
// Software versions from this one on address meters by serial number.
constexpr float kSerialNumberVersion = 1.09f;

const char *const kErrorTexts[] = {
    QT_TRANSLATE_NOOP("exchange", "Ошибка: неопознанный ответ"),
    QT_TRANSLATE_NOOP("exchange", "Ошибка: некорректный идентификатор функции"),
    QT_TRANSLATE_NOOP("exchange", "Ошибка: некорректный идентификатор объекта"),
    QT_TRANSLATE_NOOP("exchange", "Ошибка: некорректное значение данных"),
    QT_TRANSLATE_NOOP("exchange", "Ошибка: невозможно выполнить команду"),
    QT_TRANSLATE_NOOP("exchange", "Ошибка: запрос принят, начата обработка"),
    QT_TRANSLATE_NOOP("exchange", "Ошибка: устройство занято"),
    QT_TRANSLATE_NOOP("exchange", "Ошибка: ошибка доступа к памяти EEPROM"),
    QT_TRANSLATE_NOOP("exchange", "Ошибка: сеанс связи закрыт"),
    QT_TRANSLATE_NOOP("exchange", "Ошибка: доступ с указанным уровнем запрещён"),
    QT_TRANSLATE_NOOP("exchange", "Ошибка: ошибка контрольной суммы"),
    QT_TRANSLATE_NOOP("exchange", "Ошибка: некорректный фрейм"),
    QT_TRANSLATE_NOOP("exchange", "Ошибка: не установлена защитная перемычка"),
    QT_TRANSLATE_NOOP("exchange", "Ошибка: неверный пароль"),
};
constexpr int kErrorCount = int(sizeof(kErrorTexts) / sizeof(kErrorTexts[0]));
} // namespace

Address addressOf(const DeviceRecord &meter)
{
    if (meter.usesSerialNumber())
        return {meter.serialAsNumber(), 4};
    return {meter.address, 1};
}

QByteArray stripFrame(const QByteArray &packet, int addressSize)
{
    const qsizetype n = packet.size() - addressSize - kCrcBytes;
    if (addressSize < 0 || n <= 0)
        return QByteArray();
    return packet.mid(addressSize, n);
}

Verdict judge(const QByteArray &reply, const QByteArray &request)
{
    if (reply.size() < 2)
        return Verdict::TooShort;
    if (quint8(reply[0]) >= kErrorFlag)
        return Verdict::ErrorReply;
    if (reply.size() >= kEchoMinBytes && reply == request)
        return Verdict::Echo;
    if (quint8(reply[0]) == kSessionClose)
        return Verdict::Accepted;
    // A request without an object byte has nothing a reply could match.
    if (request.size() >= 2 && reply.left(2) == request.left(2))
        return Verdict::Accepted;
    return Verdict::Mismatch;
}

int errorCode(const QByteArray &reply)
{
    return reply.size() >= 2 ? int(qint8(reply[1])) : 0;
}

QString errorMessage(int code)
{
    if (code >= 0 && code < kErrorCount)
        return QCoreApplication::translate("exchange", kErrorTexts[code]);
    return QCoreApplication::translate("exchange", "Неизвестная ошибка");
}

bool isVersionReply(const QByteArray &bytes)
{
    return bytes.size() >= 2 && bytes[0] == 0x01 && bytes[1] == 0x21;
}

QString versionText(const QByteArray &reply)
{
    const int n = reply.size() > 2 ? quint8(reply[2]) : 0;
    const qsizetype end = qMin<qsizetype>(reply.size(), 3 + qsizetype(n));
    QString text;
    for (qsizetype i = 3; i < end; ++i) {
        const QChar c = QChar::fromLatin1(reply[i]);
        if (c.isLetter() || c.isDigit() || c == QLatin1Char('.'))
            text += c;
    }
    return text;
}

bool versionLacksSerialNumbers(const QString &version)
{
    bool ok = false;
    const float value = version.toFloat(&ok);
    return (ok && qIsFinite(value) ? value : 0.0f) < kSerialNumberVersion;
}

QString busyRequestRefused()
{
    return QCoreApplication::translate("exchange",
                                       "Ошибка: обмен со счетчиком уже идет, новый запрос отклонен");
}

QString busySearchRefused()
{
    return QCoreApplication::translate("exchange",
                                       "Ошибка: обмен со счетчиком уже идет, поиск не начат");
}

int searchProgress(int address, int min, int max)
{
    if (max <= min)
        return 100;
    return int(qBound(qint64(0), (qint64(address) - min) * 100 / (qint64(max) - min), qint64(100)));
}

int batchProgress(int done, int len)
{
    if (len <= 0)
        return 0;
    return int(qBound(qint64(0), qint64(done) * 100 / len, qint64(100)));
}

} // namespace exchangerules
