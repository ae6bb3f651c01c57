#include "mainwindow/sysmonitordialog.h"

#include "config/controlpaneldialog.h"
#include "core/appentry.h"
#include "core/catalogue.h"
#include "core/commandtext.h"
#include "core/exchangerules.h"
#include "core/hextext.h"
#include "core/logline.h"
#include "link/exchangeengine.h"
#include "link/logcolours.h"
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"
#include "session/authdialog.h"
#include "ui_sysmonitordialog.h"
#include "widgets/logview.h"
#include "widgets/progressdialog.h"

#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QMenu>
#include <QTime>

#include <utility>

namespace {
const char *const kVersion = "v1.14";
const char *const kSupportMail = "service@metertool.example";
// The two CRC bytes at the end of a frame's hex text, each followed by a blank.
constexpr int kCrcTextLength = 6;
const char *const kBlackText = "QLineEdit { color: rgb(0, 0, 0) }";
const char *const kRedText = "QLineEdit { color: rgb(255, 0, 0) }";

QString errorColourHex()
{
    const QColor &c = logcolour::error;
    return logline::colourHex(c.red(), c.green(), c.blue());
}
} // namespace

SysMonitorDialog::SysMonitorDialog(bool developerMode, QWidget *parent)
    : QDialog(parent), ui(new Ui::SysMonitorDialog), m_auth(new AuthDialog),
      m_config(new ControlPanelDialog), m_engine(new ExchangeEngine(this)),
      m_progress(new progressDialog), m_developerMode(developerMode)
{
    ui->setupUi(this);
    // Title, minimise and close, no maximise: the decoration the window has always had.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    askInt = questions::intDialog(this);
    m_logRedraw.setSingleShot(true);
    m_logRedraw.setInterval(kLogRedrawMs);
    connect(&m_logRedraw, &QTimer::timeout, this, &SysMonitorDialog::flushLog);

    using Self = SysMonitorDialog;
    using Engine = ExchangeEngine;
    const auto logSlot = qOverload<QString, QColor, bool, bool>(&Self::log);
    connect(m_auth, &AuthDialog::initConnection, this, &Self::initConnection);
    connect(m_progress, &progressDialog::interrupClick, this, &Self::interruptLoadClick);
    connect(ui->pbSend, &QPushButton::clicked, this, &Self::pbSendClick);
    connect(ui->leCmdLine, &QLineEdit::textChanged, this, &Self::inputCmd);
    connect(ui->leCmdLine, &QLineEdit::returnPressed, this, &Self::pbSendClick);
    connect(ui->sbLocalAddr, &QSpinBox::valueChanged, this, &Self::inputCmd);

    connect(m_engine, &Engine::log, this, logSlot);
    connect(m_engine, &Engine::progressShown, this, &Self::showProgress);
    connect(m_engine, &Engine::progressChanged, m_progress, &progressDialog::setProgress);
    connect(m_engine, &Engine::progressHidden, m_progress, &QWidget::hide);
    connect(m_engine, &Engine::meterActive, this, [this] {
        if (m_batchItem)
            m_batchItem->restartSessionTimer();
    });
    connect(m_engine, &Engine::loadComplate, this, [this](int, QList<QByteArray>, int status) {
        // A batch that went through: what failed before is not why the session may end.
        if (status == 0)
            m_sessionError.clear();
    });
    connect(m_engine, &Engine::loadComplate, this, &Self::loadComplate);
    connect(m_engine, &Engine::unknownLoadComplate, this, &Self::unknownLoadComplate);
    connect(m_engine, &Engine::connIsEstablished, this, &Self::connIsEstablished);
    connect(m_engine, &Engine::standRefused, this, [this] {
        m_auth->showSessionEnd(m_sessionError);
        showAuthDialog();
    });
    connect(m_engine, &Engine::stendSelectAccept, this, &Self::stendSelectAccept);
    connect(m_engine, &Engine::meterFound, this,
            [this](const DeviceRecord &found) { m_config->meterList()->addItem(found); });

    connect(m_config, &ControlPanelDialog::logout, this, &Self::logoutClick);
    connect(m_config, &ControlPanelDialog::searchStart, this, &Self::searchStart);
    connect(m_config, &ControlPanelDialog::html_line, this, &Self::html_line);
    connect(m_config, &ControlPanelDialog::listSelectedItemClick, this,
            &Self::listSelectedItemClick);
    connect(m_config, &ControlPanelDialog::init_exchange_device, this, &Self::load_from_device);
    connect(m_config, &ControlPanelDialog::log, this, logSlot);
    connect(this, &Self::loadComplate, m_config, &ControlPanelDialog::loadComplate);
    connect(this, &Self::unknownLoadComplate, m_config, &ControlPanelDialog::unknownLoadComplate);
    connect(m_config, &ControlPanelDialog::sendTextCmd, this, &Self::sendTextCmd);
    connect(m_config, &ControlPanelDialog::stendSelectAddr, this, &Self::stendSelect);
    m_config->exchangeBusy = [this] { return exchangeBusy(); };
    m_config->interruptExchange = [this] { interruptLoadClick(); };
    // A GSM call up (or being dialled) when the program ends is hung up first.
    m_exitLimit.setSingleShot(true);
    m_exitLimit.setInterval(kExitLimitMs);
    connect(&m_exitLimit, &QTimer::timeout, this, [this] {
        if (m_leave)
            std::exchange(m_leave, {})();
    });
    setExitDelay([this](std::function<void()> leave) {
        if (!m_engine->releaseCall())
            return false;
        m_leave = std::move(leave);
        m_exitLimit.start();
        return true;
    });

    writeWelcome();
    inputCmd();
    createFastMenu();
    loadSessionParameters();
    // No session yet. The session dialog follows once the event loop runs, that is after the
    // program has shown this window: shown first, it would end up behind it.
    enableConsole(false);
    QMetaObject::invokeMethod(this, &SysMonitorDialog::showAuthDialog, Qt::QueuedConnection);
}

SysMonitorDialog::~SysMonitorDialog()
{
    setExitDelay({});
    // Whether or not a session ran, the dialog's choices are what the next start shows.
    m_auth->readParams();
    sessioncfg::save(sessioncfg::filePath(), m_auth->params());
    saveLogFile();
    // Nothing that goes away now may call back into a window being destroyed.
    m_engine->disconnect(this);
    delete m_engine;
    delete m_progress;
    // Its pages may still log while they go; the log would show it in the window being deleted.
    m_config->disconnect(this);
    delete m_config;
    delete m_auth;
    delete ui;
}

void SysMonitorDialog::loadSessionParameters()
{
    SessionParameters params;
    if (sessioncfg::load(sessioncfg::filePath(), &params))
        log(tr("Параметры прошлой сесиии загружены"), logcolour::info, false, true);
    else
        AuthDialog::defaultParams(params);
    m_auth->setParams(params);
    m_engine->setLastSession(params);
}

void SysMonitorDialog::writeWelcome()
{
    log(tr("Добро пожаловать в программу настройки и обслуживания счетчиков компании Велтон! ") +
            QLatin1String(kVersion),
        logcolour::info, false, false);
    log(tr("Данное программное обеспечение предназначено для предоставления удобного интерфеса в "
           "работе со счетчиками электроэнергии компании Велтон. "),
        logcolour::info, false, true);
    log(tr("С вопросами и предложениями обращайтесь: ") + QLatin1String(kSupportMail),
        logcolour::info, false, true);
}

const SessionParameters &SysMonitorDialog::sessionParameters() const
{
    return m_engine->sessionParameters();
}

// ---- The session

void SysMonitorDialog::initConnection()
{
    m_logoutAsked = false;
    m_lineUp = false;
    m_sessionError.clear();
    m_auth->showSessionEnd(QString());
    m_engine->initConnection(m_auth->sessionParams());
}

void SysMonitorDialog::connIsEstablished(bool st)
{
    const SessionParameters &params = m_engine->sessionParameters();
    if (st) {
        m_lineUp = true;
        m_sessionError.clear();
        log(tr("Порт открыт"), logcolour::success, true, false);
        m_config->setSession(params.connectionType, params.accessLevel,
                             params.passwords[size_t(params.level())]);
        m_config->show();
        enableConsole(true);
        // Within a session the send button follows the command text.
        inputCmd();
        log(tr("<strong>Сессия открыта</strong>"), logcolour::success, true, false);
        return;
    }
    // Unless the user logged out, the dialog that comes back says why: the last error line, or
    // that the line went, or never came up, without one (a peer that hung up, a port that would
    // not open).
    QString reason;
    if (!m_logoutAsked)
        reason = !m_sessionError.isEmpty()
                     ? m_sessionError
                     : logline::span(m_lineUp ? tr("Соединение разорвано")
                                              : tr("Соединение не установлено"),
                                     errorColourHex(), logline::stampNow());
    m_logoutAsked = false;
    m_auth->showSessionEnd(reason);
    // A batch cut off here ends without loadComplate(); the configurator is hidden with it.
    m_progress->hide();
    m_config->hide();
    log(tr("<strong>Сессия закрыта</strong>"), logcolour::success, true, false);
    if (m_leave) {
        // The program was ending and only waited for the call to be hung up.
        m_exitLimit.stop();
        std::exchange(m_leave, {})();
        return;
    }
    showAuthDialog();
    if (params.connectionType == Channel::Stand)
        m_engine->closeStand();
}

void SysMonitorDialog::logoutClick()
{
    m_logoutAsked = true;
    m_engine->logout();
}

void SysMonitorDialog::enableConsole(bool on)
{
    ui->pbSend->setEnabled(on);
    ui->leCmdLine->setEnabled(on);
    ui->sbLocalAddr->setEnabled(on);
    ui->pbFastCmd->setEnabled(on);
}

void SysMonitorDialog::showAuthDialog()
{
    enableConsole(false);
    if (!m_auth->showAuth(m_developerMode))
        log(tr("Ошибка: в системе не найден ни один достуный COM-порт"), logcolour::error, true);
}

// ---- The engine's seam

bool SysMonitorDialog::exchangeBusy() const
{
    return m_engine->exchangeBusy() || m_engine->lineClosing();
}

bool SysMonitorDialog::load_from_device(deviceListItem *item, int type, QStringList cmd,
                                        int ackTimeOut)
{
    if (!item)
        return false;
    if (!m_engine->load_from_device(exchangerules::addressOf(item->record()), type, cmd, ackTimeOut,
                                    item))
        return false;
    m_batchItem = item;
    return true;
}

void SysMonitorDialog::sendTextCmd(deviceListItem *item, QString str, int ackTimeOut)
{
    if (item)
        m_engine->sendTextCmd(exchangerules::addressOf(item->record()), str, ackTimeOut);
}

void SysMonitorDialog::transmit(QByteArray frame, int ackTimeOut)
{
    m_engine->transmit(frame, ackTimeOut);
}

void SysMonitorDialog::abortExchange()
{
    m_engine->abortExchange();
}

void SysMonitorDialog::paketReceive(QByteArray paket, bool crcStatus)
{
    m_engine->paketReceive(paket, crcStatus);
}

void SysMonitorDialog::timeoutError()
{
    m_engine->timeoutError();
}

void SysMonitorDialog::interruptLoadClick()
{
    m_engine->interruptLoadClick();
}

void SysMonitorDialog::showProgress(const QString &title)
{
    m_progress->setWindowTitle(title);
    m_progress->show();
    m_progress->setProgress(0);
}

void SysMonitorDialog::searchStart()
{
    if (m_engine->exchangeBusy()) {
        log(exchangerules::busySearchRefused(), logcolour::error, true, false);
        return;
    }
    const std::optional<questions::Range> range =
        questions::askAddressRange(askInt, tr("Поиск"), m_engine->lastSearchAddress());
    if (!range)
        return;
    m_config->meterList()->clearList();
    m_engine->searchStart(range->min, range->max);
}

void SysMonitorDialog::listSelectedItemClick(deviceListItem *item)
{
    if (!item)
        return;
    if (m_engine->sessionParameters().connectionType == Channel::Stand)
        stendSelect(item->record().standAddr);
    // A running batch keeps the meter it started with.
    targetItem = item;
    ui->sbLocalAddr->setValue(item->record().address);
}

void SysMonitorDialog::stendSelect(int pos)
{
    m_engine->stendSelect(pos);
}

void SysMonitorDialog::stendSelectAccept(bool st)
{
    if (st)
        m_config->enableMeterControls();
    m_config->stendAck(st);
}

// ---- The log

void SysMonitorDialog::log(QString str, QColor clr, bool timeStamp, bool newLine)
{
    const QString colour = logline::colourHex(clr.red(), clr.green(), clr.blue());
    if (newLine)
        html_line(QString());
    // Stamped now, whenever the view draws it.
    const QTime stamp = timeStamp ? logline::stampNow() : QTime();
    const QString line = logline::span(str, colour, stamp);
    html_line(line);
    // The log is behind the configurator and the session dialog: errors are shown there too.
    if (clr == logcolour::error)
        m_sessionError = line;
    m_config->noteLogLine(str, clr, stamp);
}

void SysMonitorDialog::log(QString str, QColor clr, bool timeStamp)
{
    log(str, clr, timeStamp, false);
}

void SysMonitorDialog::log(QString str, QColor clr)
{
    log(str, clr, true, false);
}

void SysMonitorDialog::html_line(QString str)
{
    m_pendingLog.append(str);
    if (!m_logRedraw.isActive())
        m_logRedraw.start();
}

void SysMonitorDialog::flushLog()
{
    m_logRedraw.stop();
    if (m_pendingLog.isEmpty())
        return;
    ui->tbLog->appendLines(std::exchange(m_pendingLog, {}));
}

void SysMonitorDialog::saveLogFile()
{
    flushLog();
    // Dated at exit, so a run that passes midnight is stored under the day it ended.
    logline::appendDocument(QDir::currentPath(), QDate::currentDate(),
                            ui->tbLog->document()->toHtml());
}

void SysMonitorDialog::closeEvent(QCloseEvent *event)
{
    // The window is never merely hidden: closing it ends the program.
    event->ignore();
    endProgram();
}

// ---- The command console: one request typed as hex, its CRC shown while typing, sent by hand

void SysMonitorDialog::inputCmd()
{
    const QString text = ui->leCmdLine->text();
    if (commandtext::isValidConsoleText(text)) {
        const QByteArray frame =
            modbus::makeFrame(ui->sbLocalAddr->value(), 1, commandtext::parse(text));
        ui->leCrc->setText(hextext::fromBytes(frame).right(kCrcTextLength));
        ui->leCmdLine->setStyleSheet(QLatin1String(kBlackText));
        // Outside a session the whole console stays off.
        ui->pbSend->setEnabled(ui->leCmdLine->isEnabled());
        return;
    }
    ui->leCrc->setText(QStringLiteral("?? ??"));
    if (!text.trimmed().isEmpty())
        ui->leCmdLine->setStyleSheet(QLatin1String(kRedText));
    ui->pbSend->setEnabled(false);
}

void SysMonitorDialog::pbSendClick()
{
    const QString text = ui->leCmdLine->text();
    if (!commandtext::isValidConsoleText(text))
        return;
    transmit(modbus::makeFrame(ui->sbLocalAddr->value(), 1, commandtext::parse(text)), -1);
    ui->leCmdLine->clear();
}

void SysMonitorDialog::createFastMenu()
{
    m_fastMenu = new QMenu(this);
    m_fastMenu->setObjectName(QStringLiteral("fastMenu"));
    m_fastMenu->addAction(tr("Отобразить адрес"), this, &SysMonitorDialog::inputFastCmd3);
    m_fastMenu->addSeparator();
    m_fastMenu->addAction(tr("Открыть сеанс"), this, &SysMonitorDialog::inputFastCmd1);
    m_fastMenu->addAction(tr("Закрыть сеанс"), this, &SysMonitorDialog::inputFastCmd2);
    m_fastMenu->addSeparator();
    m_fastMenu->addAction(tr("Заводская инициализация"), this, &SysMonitorDialog::inputFastCmd4);
    m_fastMenu->addAction(tr("Сброс показаний"), this, &SysMonitorDialog::inputFastCmd5);
    m_fastMenu->addSeparator();
    m_fastMenu->addAction(tr("Модем: смена режима"), this, &SysMonitorDialog::inputFastCmd6);
    connect(ui->pbFastCmd, &QPushButton::clicked, this, &SysMonitorDialog::showFastMenu);
}

void SysMonitorDialog::showFastMenu()
{
    m_fastMenu->exec(ui->pbFastCmd->mapToGlobal(QPoint(0, 0)));
}

void SysMonitorDialog::setCommandLine(const QString &text)
{
    ui->leCmdLine->setText(text);
}

void SysMonitorDialog::inputFastCmd1()
{
    const SessionParameters &params = m_engine->sessionParameters();
    setCommandLine(
        commandtext::sessionOpen(params.accessLevel, params.passwords[size_t(params.level())]));
}

void SysMonitorDialog::inputFastCmd2()
{
    setCommandLine(catalogue::sessionClose());
}

// The console shows the service commands in capitals, as users type them.
void SysMonitorDialog::inputFastCmd3()
{
    setCommandLine(catalogue::serviceCommand(catalogue::ShowAddress).toUpper());
}

void SysMonitorDialog::inputFastCmd4()
{
    setCommandLine(catalogue::serviceCommand(catalogue::FactoryInitialisation).toUpper());
}

void SysMonitorDialog::inputFastCmd5()
{
    setCommandLine(catalogue::serviceCommand(catalogue::ResetReadings).toUpper());
}

void SysMonitorDialog::inputFastCmd6()
{
    // The modem's escape goes out raw: no address, no CRC.
    transmit(QByteArrayLiteral("+++"), -1);
}
