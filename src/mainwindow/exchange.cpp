// The exchange engine: one request on the wire at a time, batches of command texts with their
// replies checked, repeated and handed back to the caller.
#include "core/commandtext.h"
#include "core/exchangerules.h"
#include "mainwindow/sysmonitordialog.h"
#include "core/hextext.h"
#include "link/logcolours.h"
#include "meters/devicelistitem.h"
#include "widgets/progressdialog.h"

namespace {
// Failed attempts of one command (time-outs and bad replies together) that end a batch.
constexpr int kMaxRetries = 3;
} // namespace

bool SysMonitorDialog::load_from_device(deviceListItem *item, int type, QString *cmd,
                                        QByteArray *buf, int len, int ackTimeOut)
{
    if (!item || len <= 0 || !cmd || !buf)
        return false;
    if (exchangeMode != ModeIdle) {
        // The running batch owns the engine and its caller's arrays until it reports.
        log(tr("Ошибка: обмен со счетчиком уже идет, новый запрос отклонен"), logcolour::error,
            true, false);
        return false;
    }
    loadRetries = 0;
    loadIndex = 0;
    loadLen = len;
    loadCmds = cmd;
    loadBufs = buf;
    loadType = type;
    if (len != 1) {
        m_progress->setWindowTitle(tr("Получение данных"));
        m_progress->show();
        m_progress->setProgress(0);
    }
    targetItem = item;
    exchangeMode = ModeLoad;
    loadAckTimeOut = ackTimeOut;
    sendCurrentCommand(false);
    return true;
}

void SysMonitorDialog::sendTextCmd(deviceListItem *item, QString str, int ackTimeOut)
{
    if (!item)
        return;
    const exchangerules::Address address = exchangerules::addressOf(item->record());
    if (exchangeMode == ModeLoad && item == targetItem)
        m_batchAddressSize = address.size;
    transmit(modbus::makeFrame(address.value, address.size, commandtext::parse(str)), ackTimeOut);
}

void SysMonitorDialog::transmit(QByteArray frame, int ackTimeOut)
{
    log(QStringLiteral("TX: ") + hextext::fromBytes(frame), logcolour::info, true, false);
    m_codec.sendFrame(frame, ackTimeOut);
}

int SysMonitorDialog::batchAddressSize() const
{
    return targetItem ? exchangerules::addressOf(targetItem->record()).size : m_batchAddressSize;
}

void SysMonitorDialog::paketReceive(QByteArray paket, bool crcStatus)
{
    const QString hex = hextext::fromBytes(paket);
    // In a batch the reply is judged without its address field and CRC; elsewhere the packet
    // stays whole.
    QByteArray reply = paket;
    exchangerules::Verdict verdict = exchangerules::Verdict::Accepted;
    if (crcStatus && exchangeMode == ModeLoad) {
        reply = exchangerules::stripFrame(paket, batchAddressSize());
        verdict = exchangerules::judge(reply, commandtext::parse(loadCmds[loadIndex]));
        if (verdict == exchangerules::Verdict::TooShort) {
            log(QStringLiteral("RX: ") + hex, logcolour::info, true, false);
            log(tr("Ошибка: некорректный размер пакета"), logcolour::error, true, false);
            abortExchange();
            return;
        }
        if (verdict == exchangerules::Verdict::ErrorReply) {
            log(QStringLiteral("RX: ") + hex, logcolour::error, true, false);
            log(exchangerules::errorMessage(exchangerules::errorCode(reply)), logcolour::error,
                true, false);
            abortExchange();
            return;
        }
    }
    if (crcStatus) {
        log(QStringLiteral("RX: ") + hex, logcolour::received, true, false);
        if (exchangerules::isVersionReply(reply)) {
            const QString version = exchangerules::versionText(reply);
            log(tr("Версия устройства считана как: ") + version, logcolour::notice, true, false);
            if (exchangerules::versionLacksSerialNumbers(version))
                log(tr("Внимание! В данной версии ПО не реализована поддержка серийных номеров."),
                    logcolour::notice, true, false);
        }
    } else {
        log(QStringLiteral("RX: ") + hex + QStringLiteral(" - bad CRC"), logcolour::error, true,
            false);
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

void SysMonitorDialog::batchPacket(const QByteArray &reply, bool crcStatus,
                                   exchangerules::Verdict verdict)
{
    if (!crcStatus) {
        countFailure(tr("Загрузка прекращена из-за ошибок CRC"));
        return;
    }
    switch (verdict) {
    case exchangerules::Verdict::Echo:
        log(tr("Внимание, потоки RX и TX совпадают! Проверьте канал связи!"), logcolour::error,
            true, false);
        countFailure(tr("Загрузка прекращена из-за ошибки эха"));
        return;
    case exchangerules::Verdict::Mismatch:
        log(tr("Внимание, ответ не соответствует запросу!"), logcolour::error, true, false);
        countFailure(tr("Загрузка прекращена из-за приема некорректных данных"));
        return;
    default:
        break;
    }
    loadRetries = 0;
    loadBufs[loadIndex] = reply;
    ++loadIndex;
    if (loadIndex >= loadLen) {
        finishBatch(0, tr("Успешно завершено"), logcolour::success);
        return;
    }
    sendCurrentCommand(true);
}

void SysMonitorDialog::countFailure(const QString &finalMessage)
{
    ++loadRetries;
    if (loadRetries >= kMaxRetries) {
        finishBatch(2, finalMessage, logcolour::error);
        return;
    }
    sendCurrentCommand(true);
}

void SysMonitorDialog::sendCurrentCommand(bool progressStep)
{
    if (!targetItem) {
        // The meter's row was removed while its batch ran: there is no address to send to.
        finishBatch(2, tr("Ошибка: счетчик удален из списка, загрузка прекращена"),
                    logcolour::error);
        return;
    }
    sendTextCmd(targetItem, loadCmds[loadIndex], loadAckTimeOut);
    if (!progressStep)
        return;
    targetItem->restartSessionTimer();
    m_progress->setProgress(exchangerules::batchProgress(loadIndex, loadLen));
}

void SysMonitorDialog::finishBatch(int status, const QString &message, const QColor &colour)
{
    m_progress->hide();
    if (!message.isEmpty())
        log(message, colour, true, false);
    exchangeMode = ModeIdle;
    // The receiver may start its next batch from here: nothing of this one is touched after.
    emit loadComplate(loadType, loadBufs, loadLen, status);
}

void SysMonitorDialog::abortExchange()
{
    finishBatch(2, QString(), QColor());
}

void SysMonitorDialog::timeoutError()
{
    switch (exchangeMode) {
    case ModeSearch:
        searchTimeout();
        break;
    case ModeLoad:
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

void SysMonitorDialog::interruptLoadClick()
{
    m_progress->hide();
    log(tr("Процесс прерван пользователем"), logcolour::error, true, false);
    const int mode = exchangeMode;
    exchangeMode = ModeIdle;
    if (mode == ModeSearch)
        m_searchPause.stop();
    // Only a running batch has an outcome to report; a second click reports nothing twice.
    if (mode == ModeLoad)
        emit loadComplate(loadType, loadBufs, loadLen, 1);
}
