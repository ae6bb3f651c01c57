#include "app/sysmonitordialog.h"

#include "app/logline.h"
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
    : QDialog(parent), ui(new Ui::SysMonitorDialog), m_progress(new progressDialog),
      m_developerMode(developerMode)
{
    ui->setupUi(this);
    // Title, minimise and close, no maximise: the decoration the window has always had.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    writeWelcome();
    showAuthDialog();
}

SysMonitorDialog::~SysMonitorDialog()
{
    saveLogFile();
    delete m_progress;
    delete ui;
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
