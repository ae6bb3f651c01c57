#include "app/sysmonitordialog.h"

#include "app/logline.h"
#include "link/logcolours.h"
#include "session/authdialog.h"
#include "ui_sysmonitordialog.h"
#include "widgets/progressdialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QTime>

namespace {
const QColor kInfo(50, 50, 50);
const char *const kVersion = "v1.14";
const char *const kSupportMail = "service@metertool.example";
} // namespace

SysMonitorDialog::SysMonitorDialog(bool developerMode, QWidget *parent)
    : QDialog(parent), ui(new Ui::SysMonitorDialog), m_auth(new AuthDialog),
      m_progress(new progressDialog), m_developerMode(developerMode)
{
    ui->setupUi(this);
    // Title, minimise and close, no maximise: the decoration the window has always had.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    connect(m_auth, &AuthDialog::initConnection, this, &SysMonitorDialog::initConnection);

    writeWelcome();
    loadSessionParameters();
    m_auth->setParams(m_params);
    // No session yet. The session dialog follows once the event loop runs, that is after the
    // program has shown this window: shown first, it would end up behind it.
    enableConsole(false);
    QMetaObject::invokeMethod(this, &SysMonitorDialog::showAuthDialog, Qt::QueuedConnection);
}

SysMonitorDialog::~SysMonitorDialog()
{
    // Whether or not a session ran, the dialog's choices are what the next start shows.
    m_auth->readParams();
    m_params = m_auth->params();
    sessioncfg::save(sessioncfg::filePath(), m_params);
    saveLogFile();
    delete m_progress;
    delete m_auth;
    delete ui;
}

void SysMonitorDialog::loadSessionParameters()
{
    if (sessioncfg::load(sessioncfg::filePath(), &m_params))
        log(tr("Параметры прошлой сесиии загружены"), kInfo, false, true);
    else
        AuthDialog::defaultParams(m_params);
}

void SysMonitorDialog::writeWelcome()
{
    log(tr("Добро пожаловать в программу настройки и обслуживания счетчиков компании Велтон! ") +
            QLatin1String(kVersion),
        kInfo, false, false);
    log(tr("Данное программное обеспечение предназначено для предоставления удобного интерфеса в "
           "работе со счетчиками электроэнергии компании Велтон. "),
        kInfo, false, true);
    log(tr("С вопросами и предложениями обращайтесь: ") + QLatin1String(kSupportMail), kInfo,
        false, true);
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

void SysMonitorDialog::initConnection()
{
    m_params = m_auth->params();
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
    QCoreApplication::quit();
}
