// Session start and end, the meter search and the stand's switching: the main window's side of a
// connection's life.
#include "core/exchangerules.h"
#include "mainwindow/sysmonitordialog.h"
#include "config/controlpaneldialog.h"
#include "link/comport.h"
#include "link/eth.h"
#include "link/logcolours.h"
#include "core/standframe.h"
#include "link/stend.h"
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"
#include "session/authdialog.h"
#include "ui_sysmonitordialog.h"
#include "widgets/progressdialog.h"

namespace {

constexpr int kLastAddress = 255;
constexpr int kStandProbeAddress = 255;
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

QString levelName(int level)
{
    switch (level) {
    case 1:
        return QObject::tr("Администратор");
    case 2:
        return QObject::tr("Разработчик");
    default:
        return QObject::tr("Пользователь");
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

void SysMonitorDialog::initConnection()
{
    m_params = m_auth->params();
    const int channel = m_params.connectionType;

    log(QString(), logcolour::info, false, false);
    log(tr("<strong>Попытка открытия сессии</strong>"), logcolour::info, true, false);
    log(tr("Права достура: ") + levelName(m_params.accessLevel), logcolour::info, false, false);

    const QString portLine = tr("Порт: COM") + QString::number(m_params.portNumber) +
                             tr(", скорость: ") + baudText(m_params.baudIndex) + tr(" бод");
    switch (channel) {
    case Channel::Serial:
    case Channel::Gsm:
        log(tr("Подлючение: ") + channelName(channel), logcolour::info, false, false);
        log(portLine, logcolour::info, false, false);
        break;
    case Channel::Stand:
        log(tr("Подлючение: ") + channelName(channel) + tr(", IP: ") + m_params.standIp,
            logcolour::info, false, false);
        log(portLine, logcolour::info, false, false);
        break;
    default:
        log(tr("Подлючение: ") + channelName(channel), logcolour::info, false, false);
        break;
    }

    if (channel == Channel::Gsm) {
        // The modem link is not part of this version: say so instead of pretending to dial.
        log(tr("Ошибка: канал GSM/CSD недоступен в этой версии программы"), logcolour::error, true,
            false);
        connIsEstablished(false);
        return;
    }
    if (channel == Channel::Stand) {
        // The switching block first; the session goes on in standLinkResult().
        m_standPending = true;
        m_stand->connectToStand(m_params.standIp);
        return;
    }
    openTransport();
}

void SysMonitorDialog::standLinkResult(bool ok)
{
    if (!m_standPending)
        return;
    m_standPending = false;
    if (!ok) {
        log(tr("Ошибка: невозможно установить соединение с заводским стендом"), logcolour::error,
            true, false);
        showAuthDialog();
        return;
    }
    log(tr("Соединение со стендом установлено!"), logcolour::success, true, false);
    openTransport();
}

void SysMonitorDialog::deleteTransport()
{
    if (!m_transport)
        return;
    // A transport reports its close while it goes; that report belongs to a session already over.
    m_transport->disconnect(this);
    m_codec.setTransport(nullptr);
    delete m_transport;
    m_transport = nullptr;
}

void SysMonitorDialog::openTransport()
{
    const int channel = m_params.connectionType;
    deleteTransport();
    if (channel == Channel::TcpIp) {
        auto *t = new eth;
        t->ethernetIp = m_params.ethernetIp;
        t->ethernetPort = m_params.ethernetPort;
        m_transport = t;
    } else {
        auto *t = new comport;
        t->portNumber = m_params.portNumber;
        t->baudIndex = m_params.baudIndex;
        m_transport = t;
    }
    connect(m_transport, &comm::connIsEstablished, this, &SysMonitorDialog::connIsEstablished);
    if (channel != Channel::Stand)
        connect(m_transport, &comm::debugMsg, this,
                qOverload<QString, QColor, bool, bool>(&SysMonitorDialog::log));
    m_codec.setTransport(m_transport);
    m_codec.extraTime = channelReplyTime(channel);
    m_transport->open();
}

void SysMonitorDialog::connIsEstablished(bool st)
{
    if (st) {
        log(tr("Порт открыт"), logcolour::success, true, false);
        m_config->setSession(m_params.connectionType, m_params.accessLevel,
                             m_params.passwords[size_t(m_params.level())]);
        m_config->show();
        enableConsole(true);
        // Within a session the send button follows the command text.
        inputCmd();
        log(tr("<strong>Сессия открыта</strong>"), logcolour::success, true, false);
        return;
    }
    // A batch cut off here ends without loadComplate(); the configurator is hidden with it.
    exchangeMode = ModeIdle;
    m_searchPause.stop();
    m_codec.replyTimer.stop();
    m_progress->hide();
    m_config->hide();
    log(tr("<strong>Сессия закрыта</strong>"), logcolour::success, true, false);
    showAuthDialog();
    if (m_params.connectionType == Channel::Stand) {
        log(tr("Соединение со стендом разорвано"), logcolour::success, true, false);
        m_stand->closeStand();
    }
}

void SysMonitorDialog::logoutClick()
{
    if (m_transport)
        m_transport->close();
}

void SysMonitorDialog::searchStart()
{
    if (exchangeMode != ModeIdle) {
        log(tr("Ошибка: обмен со счетчиком уже идет, поиск не начат"), logcolour::error, true,
            false);
        return;
    }
    const bool stand = m_params.connectionType == Channel::Stand;
    const int last = stand ? standframe::kPositions : kLastAddress;
    const std::optional<questions::Range> range =
        questions::askAddressRange(askInt, tr("Поиск"), last);
    if (!range)
        return;
    searchMin = range->min;
    searchMax = range->max;
    searchAddress = searchMin;
    m_config->meterList()->clearList();

    log(tr("Поиск счетчиков"), logcolour::info, true, true);
    m_progress->setWindowTitle(tr("Поиск счетчиков"));
    m_progress->show();
    m_progress->setProgress(0);
    exchangeMode = ModeSearch;
    reemitSearch();
}

void SysMonitorDialog::reemitSearch()
{
    // The pause may outlast the search: interrupted, or the session ended.
    if (exchangeMode != ModeSearch)
        return;
    const QByteArray probe("\x01\x3e", 2);
    if (m_params.connectionType == Channel::Stand) {
        // The block switches faster than the probe's frame is on the line: no need to wait.
        stendSelect(searchAddress);
        transmit(modbus::makeFrame(kStandProbeAddress, 1, probe), kProbeAllowanceMs);
    } else {
        transmit(modbus::makeFrame(searchAddress & 0xff, 1, probe), kProbeAllowanceMs);
    }
}

void SysMonitorDialog::searchPacket(const QByteArray &paket, bool crcStatus)
{
    const bool stand = m_params.connectionType == Channel::Stand;
    if (stand || (!paket.isEmpty() && quint8(paket[0]) == searchAddress)) {
        DeviceRecord found;
        found.address = stand ? kStandProbeAddress : searchAddress;
        if (stand)
            found.standAddr = searchAddress;
        found.version = QStringLiteral("-");
        found.password = m_params.passwords[size_t(m_params.level())];
        found.serialNumber.clear();
        found.standMode = stand;
        m_config->meterList()->addItem(found);
    }
    if (searchAddress < searchMax) {
        // After a bad CRC the same address is asked again.
        if (crcStatus)
            ++searchAddress;
        m_progress->setProgress(exchangerules::searchProgress(searchAddress, searchMin, searchMax));
        m_searchPause.start(kProbePauseMs);
    } else {
        endSearch(logcolour::info);
    }
}

void SysMonitorDialog::searchTimeout()
{
    if (searchAddress < searchMax) {
        ++searchAddress;
        m_progress->setProgress(exchangerules::searchProgress(searchAddress, searchMin, searchMax));
        reemitSearch();
    } else {
        endSearch(logcolour::success);
    }
}

void SysMonitorDialog::endSearch(const QColor &colour)
{
    m_progress->hide();
    log(tr("Поиск завершен"), colour, true, false);
    exchangeMode = ModeIdle;
}

void SysMonitorDialog::listSelectedItemClick(deviceListItem *item)
{
    if (!item)
        return;
    if (m_params.connectionType == Channel::Stand)
        stendSelect(item->record().standAddr);
    // A running batch keeps its meter: its repeats must not go to the newly selected one.
    if (exchangeMode != ModeLoad)
        targetItem = item;
    ui->sbLocalAddr->setValue(item->record().address);
}

void SysMonitorDialog::stendSelect(int pos)
{
    if (pos == 0) {
        log(tr("Отключение всех счетчиков от RS-485"), logcolour::info, true, false);
        m_stand->selectPosition(0);
    } else if (pos >= 1 && pos <= standframe::kPositions) {
        log(tr("Выбор счетчика на стенде: ") +
                QStringLiteral("%1").arg(pos, 2, 10, QLatin1Char('0')),
            logcolour::info, true, true);
        m_stand->selectPosition(pos);
    } else {
        log(tr("Ошибка: ") + QStringLiteral("%1").arg(pos, 2, 10, QLatin1Char('0')).left(2) +
                tr(" - некорректрый адрес счетчика"),
            logcolour::error, true, false);
    }
}

void SysMonitorDialog::stendSelectAccept(bool st)
{
    if (st) {
        log(tr("Выполнено!"), logcolour::success, true, false);
        m_config->enableMeterControls();
    } else {
        log(tr("Ошибка: ответ от коммутационного блока некорректен"), logcolour::error, true,
            false);
    }
    m_config->stendAck(st);
}
