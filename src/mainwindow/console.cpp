// The command console: one request typed as hex, its CRC shown while typing, sent by hand.
#include "core/commandtext.h"
#include "mainwindow/sysmonitordialog.h"
#include "core/hextext.h"
#include "ui_sysmonitordialog.h"

#include <QMenu>

namespace {
// The two CRC bytes at the end of a frame's hex text, each followed by a blank.
constexpr int kCrcTextLength = 6;
const char *const kBlackText = "QLineEdit { color: rgb(0, 0, 0) }";
const char *const kRedText = "QLineEdit { color: rgb(255, 0, 0) }";
} // namespace

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
    const int level = m_params.level();
    setCommandLine(
        commandtext::sessionOpen(m_params.accessLevel, m_params.passwords[size_t(level)]));
}

void SysMonitorDialog::inputFastCmd2()
{
    setCommandLine(QStringLiteral("09 01"));
}

void SysMonitorDialog::inputFastCmd3()
{
    setCommandLine(QStringLiteral("02 0D 08"));
}

void SysMonitorDialog::inputFastCmd4()
{
    setCommandLine(QStringLiteral("02 0D 07"));
}

void SysMonitorDialog::inputFastCmd5()
{
    setCommandLine(QStringLiteral("02 0D 03"));
}

void SysMonitorDialog::inputFastCmd6()
{
    // The modem's escape goes out raw: no address, no CRC.
    transmit(QByteArrayLiteral("+++"), -1);
}
