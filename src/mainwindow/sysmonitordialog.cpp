#include "mainwindow/sysmonitordialog.h"

#include "core/appentry.h"
#include "core/logline.h"
#include "config/controlpaneldialog.h"
#include "link/comm.h"
#include "link/logcolours.h"
#include "link/stend.h"
#include "meters/devicelistitem.h"
#include "session/authdialog.h"
#include "ui_sysmonitordialog.h"
#include "widgets/progressdialog.h"

#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QTime>

namespace {
const char *const kVersion = "v1.14";
const char *const kSupportMail = "service@metertool.example";
} // namespace

SysMonitorDialog::SysMonitorDialog(bool developerMode, QWidget *parent)
    : QDialog(parent), ui(new Ui::SysMonitorDialog), m_auth(new AuthDialog),
      m_config(new ControlPanelDialog), m_stand(new stend), m_progress(new progressDialog),
      m_developerMode(developerMode)
{
    ui->setupUi(this);
    m_stand->setParent(this);
    // Title, minimise and close, no maximise: the decoration the window has always had.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    askInt = questions::intDialog(this);
    m_searchPause.setSingleShot(true);
    connect(&m_searchPause, &QTimer::timeout, this, &SysMonitorDialog::reemitSearch);

    using Self = SysMonitorDialog;
    const auto logSlot = qOverload<QString, QColor, bool, bool>(&Self::log);
    connect(m_auth, &AuthDialog::initConnection, this, &Self::initConnection);
    connect(m_progress, &progressDialog::interrupClick, this, &Self::interruptLoadClick);
    connect(ui->pbSend, &QPushButton::clicked, this, &Self::pbSendClick);
    connect(ui->leCmdLine, &QLineEdit::textChanged, this, &Self::inputCmd);
    connect(ui->leCmdLine, &QLineEdit::returnPressed, this, &Self::pbSendClick);
    connect(ui->sbLocalAddr, &QSpinBox::valueChanged, this, &Self::inputCmd);
    connect(&m_codec, &modbus::receivePaket, this, &Self::paketReceive);
    connect(m_config, &ControlPanelDialog::logout, this, &Self::logoutClick);
    connect(&m_codec, &modbus::deviceTimeout, this, &Self::timeoutError);
    connect(m_config, &ControlPanelDialog::searchStart, this, &Self::searchStart);
    connect(m_config, &ControlPanelDialog::html_line, this, &Self::html_line);
    connect(m_config, &ControlPanelDialog::listSelectedItemClick, this,
            &Self::listSelectedItemClick);
    connect(m_config, &ControlPanelDialog::init_exchange_device, this, &Self::load_from_device);
    connect(m_config, &ControlPanelDialog::log, this, logSlot);
    connect(this, &Self::loadComplate, m_config, &ControlPanelDialog::loadComplate);
    connect(this, &Self::unknownLoadComplate, m_config, &ControlPanelDialog::unknownLoadComplate);
    connect(m_config, &ControlPanelDialog::sendTextCmd, this, &Self::sendTextCmd);
    connect(m_stand, &stend::acceptSelection, this, &Self::stendSelectAccept);
    connect(m_config, &ControlPanelDialog::stendSelectAddr, this, &Self::stendSelect);
    connect(m_stand, &stend::standConnected, this, &Self::standLinkResult);

    writeWelcome();
    inputCmd();
    createFastMenu();
    loadSessionParameters();
    m_auth->setParams(m_params);
    // No session yet. The session dialog follows once the event loop runs, that is after the
    // program has shown this window: shown first, it would end up behind it.
    enableConsole(false);
    QMetaObject::invokeMethod(this, &SysMonitorDialog::showAuthDialog, Qt::QueuedConnection);
    exchangeMode = ModeIdle;
}

SysMonitorDialog::~SysMonitorDialog()
{
    // Whether or not a session ran, the dialog's choices are what the next start shows.
    m_auth->readParams();
    m_params = m_auth->params();
    sessioncfg::save(sessioncfg::filePath(), m_params);
    saveLogFile();
    // Nothing that goes away now may call back into a window being destroyed.
    m_searchPause.stop();
    m_codec.replyTimer.stop();
    deleteTransport();
    m_stand->disconnect(this);
    delete m_stand;
    delete m_progress;
    delete m_config;
    delete m_auth;
    delete ui;
}

void SysMonitorDialog::loadSessionParameters()
{
    if (sessioncfg::load(sessioncfg::filePath(), &m_params))
        log(tr("Параметры прошлой сесиии загружены"), logcolour::info, false, true);
    else
        AuthDialog::defaultParams(m_params);
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

void SysMonitorDialog::log(QString str, QColor clr, bool timeStamp, bool newLine)
{
    const QString colour = logline::colourHex(clr.red(), clr.green(), clr.blue());
    if (newLine)
        ui->tbLog->append(QString());
    ui->tbLog->append(logline::span(str, colour, timeStamp ? QTime::currentTime() : QTime()));
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
    ui->tbLog->append(str);
}

void SysMonitorDialog::saveLogFile()
{
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
