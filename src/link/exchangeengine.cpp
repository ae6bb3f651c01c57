#include "link/exchangeengine.h"

#include "core/commandtext.h"
#include "core/hextext.h"
#include "core/standframe.h"
#include "link/comport.h"
#include "link/csd.h"
#include "link/eth.h"
#include "link/logcolours.h"
#include "link/stend.h"

#include <iterator>
#include <limits>
#include <utility>

namespace {
// Failed attempts of one command (time-outs and bad replies together) that end a batch.
constexpr int kMaxRetries = 3;
// A probe waits the channel's base time and this allowance.
constexpr int kProbeAllowanceMs = 1;
constexpr int kProbePauseMs = 50;

// Base reply time of each channel, ms.
int channelReplyTime(int channel)
{
    switch (channel) {
    case Channel::Gsm:
        return 7000;
    case Channel::TcpIp:
        return 5000;
    default:
        return 2000;
    }
}

QString channelName(int channel)
{
    switch (channel) {
    case Channel::Serial:
        return QObject::tr("COM (RS-485 / Оптопорт)");
    case Channel::Gsm:
        return QObject::tr("GSM/CSD");
    case Channel::Stand:
        return QObject::tr("Заводсвой стенд");
    default:
        return QObject::tr("TCP-IP");
    }
}

QString baudText(int index)
{
    static const char *const texts[] = {"300", "600", "1200", "2400", "4800", "9600"};
    if (index < 0 || index >= int(std::size(texts)))
        return QStringLiteral("?");
    return QLatin1String(texts[index]);
}
} // namespace

ExchangeEngine::ExchangeEngine(QObject *parent) : QObject(parent), m_stand(new stend(this))
{
    m_searchPause.setSingleShot(true);
    connect(&m_searchPause, &QTimer::timeout, this, &ExchangeEngine::reemitSearch);
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, &ExchangeEngine::settled);
    connect(&m_codec, &modbus::receivePaket, this, &ExchangeEngine::paketReceive);
    connect(&m_codec, &modbus::deviceTimeout, this, &ExchangeEngine::timeoutError);
    connect(m_stand, &stend::acceptSelection, this, &ExchangeEngine::standAnswer);
    connect(m_stand, &stend::standConnected, this, &ExchangeEngine::standLinkResult);
}

ExchangeEngine::~ExchangeEngine()
{
    // Nothing that goes away now may call back into an engine being destroyed.
    m_searchPause.stop();
    m_settle.stop();
    m_codec.replyTimer.stop();
    deleteTransport();
    m_stand->disconnect(this);
}

// ---- Session set-up

void ExchangeEngine::initConnection(const SessionParameters &params)
{
    m_params = params;
    const int channel = m_params.connectionType;

    emit log(QString(), logcolour::info, false, false);
    emit log(tr("<strong>Попытка открытия сессии</strong>"), logcolour::info, true, false);
    emit log(tr("Права достура: ") + accessLevelName(m_params.accessLevel), logcolour::info, false,
             false);

    const QString portLine = tr("Порт: COM") + QString::number(m_params.portNumber) +
                             tr(", скорость: ") + baudText(m_params.baudIndex) + tr(" бод");
    switch (channel) {
    case Channel::Serial:
    case Channel::Gsm:
        emit log(tr("Подлючение: ") + channelName(channel), logcolour::info, false, false);
        emit log(portLine, logcolour::info, false, false);
        break;
    case Channel::Stand:
        emit log(tr("Подлючение: ") + channelName(channel) + tr(", IP: ") + m_params.standIp,
                 logcolour::info, false, false);
        emit log(portLine, logcolour::info, false, false);
        break;
    default:
        emit log(tr("Подлючение: ") + channelName(channel), logcolour::info, false, false);
        break;
    }

    if (channel == Channel::Stand) {
        // The switching block first; the session goes on in standLinkResult().
        m_standPending = true;
        m_stand->connectToStand(m_params.standIp);
        return;
    }
    openTransport();
}

void ExchangeEngine::standLinkResult(bool ok)
{
    if (!m_standPending)
        return;
    m_standPending = false;
    if (!ok) {
        emit log(tr("Ошибка: невозможно установить соединение с заводским стендом"),
                 logcolour::error, true, false);
        emit standRefused();
        return;
    }
    emit log(tr("Соединение со стендом установлено!"), logcolour::success, true, false);
    openTransport();
}

void ExchangeEngine::deleteTransport()
{
    if (!m_transport)
        return;
    // A transport reports its close while it goes; that report belongs to a session already over.
    m_transport->disconnect(this);
    m_codec.setTransport(nullptr);
    delete m_transport;
    m_transport = nullptr;
}

void ExchangeEngine::openTransport()
{
    const int channel = m_params.connectionType;
    deleteTransport();
    if (channel == Channel::TcpIp) {
        auto *t = new eth;
        t->ethernetIp = m_params.ethernetIp;
        t->ethernetPort = m_params.ethernetPort;
        m_transport = t;
    } else if (channel == Channel::Gsm) {
        auto *t = new csd;
        t->portNumber = m_params.portNumber;
        t->baudIndex = m_params.baudIndex;
        t->phoneNumber = m_params.phoneNumber.trimmed();
        t->pin = m_params.pin.trimmed();
        t->pinEnabled = m_params.pinEnabled;
        m_transport = t;
    } else {
        auto *t = new comport;
        t->portNumber = m_params.portNumber;
        t->baudIndex = m_params.baudIndex;
        m_transport = t;
    }
    connect(m_transport, &comm::connIsEstablished, this, &ExchangeEngine::transportState);
    if (channel != Channel::Stand)
        connect(m_transport, &comm::debugMsg, this, &ExchangeEngine::log);
    m_codec.setTransport(m_transport);
    m_codec.extraTime = channelReplyTime(channel);
    m_transport->open();
}

void ExchangeEngine::transportState(bool st)
{
    if (!st) {
        // A batch cut off here ends without loadComplate().
        exchangeMode = ModeIdle;
        m_searchPause.stop();
        m_settle.stop();
        m_codec.replyTimer.stop();
    }
    emit connIsEstablished(st);
}

void ExchangeEngine::logout()
{
    if (m_transport)
        m_transport->close();
}

bool ExchangeEngine::releaseCall()
{
    if (!m_transport || !m_transport->callMayBeUp())
        return false;
    m_transport->close();
    return true;
}

bool ExchangeEngine::lineClosing() const
{
    return m_transport && m_transport->closing();
}

void ExchangeEngine::closeStand()
{
    emit log(tr("Соединение со стендом разорвано"), logcolour::success, true, false);
    m_stand->closeStand();
}

// ---- Batches

bool ExchangeEngine::load_from_device(const exchangerules::Address &meter, int type,
                                      const QStringList &cmds, int ackTimeOut, QObject *meterGuard)
{
    if (cmds.isEmpty())
        return false;
    if (exchangeMode != ModeIdle || lineClosing()) {
        // The running batch owns the engine until it reports.
        emit log(exchangerules::busyRequestRefused(), logcolour::error, true, false);
        return false;
    }
    loadRetries = 0;
    loadIndex = 0;
    loadCmds = cmds;
    loadBufs = QList<QByteArray>(cmds.size());
    loadType = type;
    if (cmds.size() != 1)
        emit progressShown(tr("Получение данных"));
    targetMeter = meter;
    m_meterGuard = meterGuard;
    m_guarded = meterGuard != nullptr;
    exchangeMode = ModeLoad;
    loadAckTimeOut = ackTimeOut;
    m_stopAfterExchange = false;
    m_unanswered = 0;
    m_owed = 0;
    m_settle.stop();
    sendCurrentCommand(false);
    return true;
}

void ExchangeEngine::sendTextCmd(const exchangerules::Address &meter, const QString &str,
                                 int ackTimeOut)
{
    transmit(modbus::makeFrame(meter.value, meter.size, commandtext::parse(str)), ackTimeOut);
}

void ExchangeEngine::transmit(const QByteArray &frame, int ackTimeOut)
{
    if (lineClosing()) {
        // A modem takes "+++" only after silence; the session ends in a moment anyway.
        emit log(exchangerules::busyRequestRefused(), logcolour::error, true, false);
        return;
    }
    emit log(QStringLiteral("TX: ") + hextext::fromBytes(frame), logcolour::info, true, false);
    m_codec.sendFrame(frame, ackTimeOut);
}

void ExchangeEngine::paketReceive(QByteArray paket, bool crcStatus)
{
    if (settlePacket(paket, crcStatus))
        return;
    const QString hex = hextext::fromBytes(paket);
    // In a batch the reply is judged without its address field and CRC; elsewhere the packet
    // stays whole.
    QByteArray reply = paket;
    exchangerules::Verdict verdict = exchangerules::Verdict::Accepted;
    if (crcStatus && exchangeMode == ModeLoad) {
        reply = exchangerules::stripFrame(paket, targetMeter.size);
        verdict = exchangerules::judge(reply, commandtext::parse(loadCmds[loadIndex]));
        if (verdict == exchangerules::Verdict::TooShort) {
            emit log(QStringLiteral("RX: ") + hex, logcolour::info, true, false);
            emit log(tr("Ошибка: некорректный размер пакета"), logcolour::error, true, false);
            abortExchange();
            return;
        }
        if (verdict == exchangerules::Verdict::ErrorReply) {
            emit log(QStringLiteral("RX: ") + hex, logcolour::error, true, false);
            emit log(exchangerules::errorMessage(exchangerules::errorCode(reply)), logcolour::error,
                     true, false);
            abortExchange();
            return;
        }
    }
    if (crcStatus) {
        emit log(QStringLiteral("RX: ") + hex, logcolour::received, true, false);
        if (exchangerules::isVersionReply(reply)) {
            const QString version = exchangerules::versionText(reply);
            emit log(tr("Версия устройства считана как: ") + version, logcolour::notice, true,
                     false);
            if (exchangerules::versionLacksSerialNumbers(version))
                emit log(tr("Внимание! В данной версии ПО не реализована поддержка серийных "
                            "номеров."),
                         logcolour::notice, true, false);
        }
    } else {
        emit log(QStringLiteral("RX: ") + hex + QStringLiteral(" - bad CRC"), logcolour::error,
                 true, false);
    }

    switch (exchangeMode) {
    case ModeSearch:
        searchPacket(paket, crcStatus);
        break;
    case ModeLoad:
        batchPacket(reply, crcStatus, verdict);
        break;
    default:
        emit unknownLoadComplate(0);
        break;
    }
}

void ExchangeEngine::batchPacket(const QByteArray &reply, bool crcStatus,
                                 exchangerules::Verdict verdict)
{
    if (!crcStatus) {
        countFailure(tr("Загрузка прекращена из-за ошибок CRC"));
        return;
    }
    switch (verdict) {
    case exchangerules::Verdict::Echo:
        emit log(tr("Внимание, потоки RX и TX совпадают! Проверьте канал связи!"), logcolour::error,
                 true, false);
        countFailure(tr("Загрузка прекращена из-за ошибки эха"));
        return;
    case exchangerules::Verdict::Mismatch:
        emit log(tr("Внимание, ответ не соответствует запросу!"), logcolour::error, true, false);
        countFailure(tr("Загрузка прекращена из-за приема некорректных данных"));
        return;
    default:
        break;
    }
    loadRetries = 0;
    loadBufs[loadIndex] = reply;
    ++loadIndex;
    if (const int owed = std::exchange(m_unanswered, 0); owed > 0) {
        settle(owed);
        return;
    }
    if (loadIndex >= loadCmds.size()) {
        finishBatch(0, tr("Успешно завершено"), logcolour::success);
        return;
    }
    sendCurrentCommand(true);
}

void ExchangeEngine::settle(int owed)
{
    // The requests of a list read all look alike: a reply to a timed-out send that came after
    // its repeat was answered would be taken for the next record, and every row after it would
    // be one off. Whichever of the two replies comes first is the record; the other is dropped.
    m_owed = owed;
    const qint64 quiet = qint64(loadAckTimeOut) + m_codec.extraTime;
    m_settle.start(int(qBound(qint64(0), quiet, qint64(std::numeric_limits<int>::max()))));
}

bool ExchangeEngine::settlePacket(const QByteArray &paket, bool crcStatus)
{
    if (exchangeMode != ModeLoad || !m_settle.isActive())
        return false;
    const QString hex = hextext::fromBytes(paket);
    if (crcStatus)
        emit log(QStringLiteral("RX: ") + hex, logcolour::received, true, false);
    else
        emit log(QStringLiteral("RX: ") + hex + QStringLiteral(" - bad CRC"), logcolour::error,
                 true, false);
    emit log(tr("Внимание, запоздавший ответ на повторенный запрос отброшен"), logcolour::notice,
             true, false);
    if (--m_owed > 0)
        m_settle.start(); // quiet again from this packet on
    else
        settled();
    return true;
}

void ExchangeEngine::settled()
{
    m_settle.stop();
    m_owed = 0;
    if (loadIndex >= loadCmds.size()) {
        finishBatch(0, tr("Успешно завершено"), logcolour::success);
        return;
    }
    sendCurrentCommand(true);
}

void ExchangeEngine::countFailure(const QString &finalMessage)
{
    ++loadRetries;
    if (loadRetries >= kMaxRetries) {
        finishBatch(2, finalMessage, logcolour::error);
        return;
    }
    sendCurrentCommand(true);
}

void ExchangeEngine::sendCurrentCommand(bool progressStep)
{
    if (m_guarded && !m_meterGuard) {
        // The meter left the list while its batch ran: there is nobody to send to.
        finishBatch(2, tr("Ошибка: счетчик удален из списка, загрузка прекращена"),
                    logcolour::error);
        return;
    }
    if (m_stopAfterExchange) {
        finishBatch(1, tr("Процесс прерван пользователем"), logcolour::error);
        return;
    }
    sendTextCmd(targetMeter, loadCmds[loadIndex], loadAckTimeOut);
    if (!progressStep)
        return;
    emit meterActive();
    emit progressChanged(exchangerules::batchProgress(loadIndex, int(loadCmds.size())));
}

void ExchangeEngine::finishBatch(int status, const QString &message, const QColor &colour)
{
    emit progressHidden();
    if (!message.isEmpty())
        emit log(message, colour, true, false);
    exchangeMode = ModeIdle;
    m_stopAfterExchange = false;
    m_settle.stop();
    // The receiver may start its next batch from here: nothing of this one is touched after.
    emit loadComplate(loadType, std::exchange(loadBufs, {}), status);
}

void ExchangeEngine::abortExchange()
{
    finishBatch(2, QString(), QColor());
}

void ExchangeEngine::timeoutError()
{
    switch (exchangeMode) {
    case ModeSearch:
        searchTimeout();
        break;
    case ModeLoad:
        ++m_unanswered;
        ++loadRetries;
        if (loadRetries >= kMaxRetries) {
            finishBatch(2, tr("Ошибка: превышен интервал времени ожидания"), logcolour::error);
            return;
        }
        sendCurrentCommand(false);
        break;
    default:
        emit unknownLoadComplate(3);
        break;
    }
}

void ExchangeEngine::interruptLoadClick()
{
    emit progressHidden();
    emit log(tr("Процесс прерван пользователем"), logcolour::error, true, false);
    const int mode = exchangeMode;
    exchangeMode = ModeIdle;
    m_settle.stop();
    if (mode == ModeSearch)
        m_searchPause.stop();
    // Only a running batch has an outcome to report; a second click reports nothing twice.
    if (mode == ModeLoad)
        emit loadComplate(loadType, std::exchange(loadBufs, {}), 1);
}

void ExchangeEngine::stopAfterExchange()
{
    if (exchangeMode == ModeLoad)
        m_stopAfterExchange = true;
}

// ---- Meter search

int ExchangeEngine::lastSearchAddress() const
{
    return m_params.connectionType == Channel::Stand ? standframe::kPositions : kLastAddress;
}

bool ExchangeEngine::searchStart(int min, int max)
{
    if (exchangeMode != ModeIdle || lineClosing()) {
        emit log(exchangerules::busySearchRefused(), logcolour::error, true, false);
        return false;
    }
    searchMin = min;
    searchMax = max;
    searchAddress = searchMin;
    emit log(tr("Поиск счетчиков"), logcolour::info, true, true);
    emit progressShown(tr("Поиск счетчиков"));
    exchangeMode = ModeSearch;
    reemitSearch();
    return true;
}

void ExchangeEngine::reemitSearch()
{
    // The pause may outlast the search: interrupted, or the session ended.
    if (exchangeMode != ModeSearch)
        return;
    const QByteArray probe("\x01\x3e", 2);
    if (m_params.connectionType == Channel::Stand) {
        // The block switches faster than the probe's frame is on the line: no need to wait.
        stendSelect(searchAddress);
        transmit(modbus::makeFrame(kLastAddress, 1, probe), kProbeAllowanceMs);
    } else {
        transmit(modbus::makeFrame(searchAddress & 0xff, 1, probe), kProbeAllowanceMs);
    }
}

void ExchangeEngine::searchPacket(const QByteArray &paket, bool crcStatus)
{
    const bool stand = m_params.connectionType == Channel::Stand;
    if (stand || (!paket.isEmpty() && quint8(paket[0]) == searchAddress)) {
        DeviceRecord found;
        found.address = stand ? kLastAddress : searchAddress;
        if (stand)
            found.standAddr = searchAddress;
        found.version = QStringLiteral("-");
        found.password = m_params.passwords[size_t(m_params.level())];
        found.serialNumber.clear();
        found.standMode = stand;
        emit meterFound(found);
    }
    if (searchAddress < searchMax) {
        // After a bad CRC the same address is asked again.
        if (crcStatus)
            ++searchAddress;
        emit progressChanged(exchangerules::searchProgress(searchAddress, searchMin, searchMax));
        m_searchPause.start(kProbePauseMs);
    } else {
        endSearch(logcolour::info);
    }
}

void ExchangeEngine::searchTimeout()
{
    if (searchAddress < searchMax) {
        ++searchAddress;
        emit progressChanged(exchangerules::searchProgress(searchAddress, searchMin, searchMax));
        reemitSearch();
    } else {
        endSearch(logcolour::success);
    }
}

void ExchangeEngine::endSearch(const QColor &colour)
{
    emit progressHidden();
    emit log(tr("Поиск завершен"), colour, true, false);
    exchangeMode = ModeIdle;
}

// ---- Factory stand

void ExchangeEngine::stendSelect(int pos)
{
    if (pos == 0) {
        emit log(tr("Отключение всех счетчиков от RS-485"), logcolour::info, true, false);
        m_stand->selectPosition(0);
    } else if (pos >= 1 && pos <= standframe::kPositions) {
        emit log(tr("Выбор счетчика на стенде: ") +
                     QStringLiteral("%1").arg(pos, 2, 10, QLatin1Char('0')),
                 logcolour::info, true, true);
        m_stand->selectPosition(pos);
    } else {
        emit log(tr("Ошибка: ") + QStringLiteral("%1").arg(pos, 2, 10, QLatin1Char('0')).left(2) +
                     tr(" - некорректрый адрес счетчика"),
                 logcolour::error, true, false);
    }
}

void ExchangeEngine::standAnswer(bool st)
{
    if (st)
        emit log(tr("Выполнено!"), logcolour::success, true, false);
    else
        emit log(tr("Ошибка: ответ от коммутационного блока некорректен"), logcolour::error, true,
                 false);
    emit stendSelectAccept(st);
}
