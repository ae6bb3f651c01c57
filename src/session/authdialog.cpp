#include "session/authdialog.h"

#include "core/appentry.h"
#include "core/passwordtext.h"
#include "core/portpath.h"
#include "link/comport.h"
#include "session/passwordviews.h"
#include "ui_authdialog.h"

#include <QCloseEvent>

namespace {
constexpr int kScanBaudIndex = 5; // 9600
} // namespace

AuthDialog::AuthDialog(QWidget *parent) : QDialog(parent), ui(new Ui::AuthDialog)
{
    ui->setupUi(this);
    ui->frStendPort->hide();

    connect(ui->pbConnect, &QPushButton::clicked, this, &AuthDialog::pbConnectClick);
    connect(ui->lePwdHex, &QLineEdit::textEdited, this, &AuthDialog::inputPwdHex);
    connect(ui->lePwd, &QLineEdit::textEdited, this, &AuthDialog::inputPwd);
    connect(ui->cbConnectionType, &QComboBox::currentIndexChanged, this,
            &AuthDialog::selectConnectionType);
    connect(ui->cbAccessLevel, &QComboBox::currentIndexChanged, this,
            &AuthDialog::selectAccessType);
    connect(ui->pbDefaultPwd, &QPushButton::clicked, this, &AuthDialog::loadDefaultPwd);
    connect(ui->pbRefresh, &QPushButton::clicked, this, &AuthDialog::updateAvaliblePorts);
    connect(ui->cbPin, &QCheckBox::stateChanged, this, &AuthDialog::pinStCheck);
    connect(ui->pbExit, &QPushButton::clicked, this, [] { endProgram(); });
    // The closed box shows the device of the chosen port as well.
    // A port chosen by hand replaces the remembered one, found or not.
    connect(ui->cbPort, &QComboBox::activated, this, [this] { m_portMissing = false; });
    connect(ui->cbPort, &QComboBox::currentIndexChanged, this, [this] {
        ui->cbPort->setToolTip(ui->cbPort->currentData(Qt::ToolTipRole).toString());
    });

    passwordviews::acceptBytes(ui->lePwd);
    passwordviews::acceptDigits(ui->lePin);
    passwordviews::acceptAscii(ui->leNumber);

    m_params.accessLevel = ui->cbAccessLevel->currentIndex();
    inputPwdHex();
    selectConnectionType();
    pinStCheck();
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    showSessionEnd(QString());
    ui->pbConnect->setFocus();
}

AuthDialog::~AuthDialog()
{
    delete ui;
}

void AuthDialog::defaultParams(SessionParameters &params)
{
    params = SessionParameters();
}

void AuthDialog::setParams(const SessionParameters &params)
{
    m_params = params;
    m_settingParams = true;
    ui->cbBaud->setCurrentIndex(params.baudIndex);
    ui->pbRefresh->setChecked(params.refreshChecked);
    // A level the list no longer offers falls back to the highest one it does.
    m_params.accessLevel = qBound(0, params.accessLevel, ui->cbAccessLevel->count() - 1);
    ui->cbAccessLevel->setCurrentIndex(m_params.accessLevel);
    showLevel(m_params.accessLevel);
    ui->cbConnectionType->setCurrentIndex(params.connectionType);
    selectConnectionType();
    ui->leStendIp->setText(params.standIp);
    ui->cbPin->setChecked(params.pinEnabled);
    pinStCheck();
    ui->leNumber->setText(passwordtext::fromBytes(params.phoneNumber));
    ui->lePin->setText(passwordtext::fromBytes(params.pin));
    m_settingParams = false;
    ui->leEIp->setText(params.ethernetIp);
    ui->sbEPort->setValue(params.ethernetPort);
}

void AuthDialog::readParams()
{
    // An empty port box (no port found) keeps the port of the record.
    bool ok = false;
    const int port = ui->cbPort->currentText().mid(3).toInt(&ok);
    if (ok && !m_portMissing)
        m_params.portNumber = port;
    m_params.baudIndex = ui->cbBaud->currentIndex();
    m_params.accessLevel = ui->cbAccessLevel->currentIndex();
    m_params.connectionType = ui->cbConnectionType->currentIndex();
    m_params.refreshChecked = ui->pbRefresh->isChecked();
    const int level = m_params.level();
    m_params.rememberPassword[level] = ui->cbSavePwd->isChecked();
    m_params.passwords[level] = shownPassword(level);
    m_params.standIp = ui->leStendIp->text();
    m_params.ethernetIp = ui->leEIp->text();
    m_params.pin = ui->lePin->text().toLatin1();
    m_params.phoneNumber = ui->leNumber->text().toLatin1();
    m_params.pinEnabled = ui->cbPin->isChecked();
    m_params.ethernetPort = ui->sbEPort->value();
}

bool AuthDialog::showAuth(bool developerMode)
{
    if (!developerMode && ui->cbAccessLevel->count() > 2)
        ui->cbAccessLevel->removeItem(2);
    const int found = updateAvaliblePorts();
    const bool wasVisible = isVisible();
    show();
    if (wasVisible)
        raise();
    activateWindow();
    // Enter opens the session; the button may have been disabled until the scan.
    ui->pbConnect->setFocus();
    return found > 0;
}

SessionParameters AuthDialog::sessionParams() const
{
    SessionParameters p = m_params;
    bool ok = false;
    const int port = ui->cbPort->currentText().mid(3).toInt(&ok);
    if (ok)
        p.portNumber = port;
    return p;
}

void AuthDialog::showSessionEnd(const QString &reason)
{
    // The reason gets a strip of its own under the buttons; without one the dialog is as ever.
    constexpr int kWidth = 389;
    constexpr int kHeight = 161;
    constexpr int kReasonHeight = 40;
    ui->lbSessionEnd->setText(reason);
    ui->lbSessionEnd->setVisible(!reason.isEmpty());
    setFixedSize(kWidth, reason.isEmpty() ? kHeight : kHeight + kReasonHeight);
}

QString AuthDialog::sessionEnd() const
{
    return ui->lbSessionEnd->text();
}

void AuthDialog::pbConnectClick()
{
    hide();
    readParams();
    emit initConnection();
}

void AuthDialog::inputPwdHex()
{
    passwordviews::hexEdited(ui->lePwdHex, ui->lePwd);
}

void AuthDialog::inputPwd()
{
    passwordviews::textEdited(ui->lePwd, ui->lePwdHex);
}

void AuthDialog::selectConnectionType()
{
    const int channel = ui->cbConnectionType->currentIndex();
    updateConnectEnabled();
    ui->frStendIP->setVisible(channel == 2);
    ui->frPin->setVisible(channel == 1);
    ui->frNumber->setVisible(channel == 1);
    ui->frEIP->setVisible(channel == Channel::TcpIp);
    ui->frEPort->setVisible(channel == Channel::TcpIp);
    const bool serial = channel != Channel::TcpIp;
    ui->cbBaud->setEnabled(serial);
    ui->cbPort->setEnabled(serial);
    ui->pbRefresh->setEnabled(serial);
}

void AuthDialog::selectAccessType()
{
    if (m_settingParams)
        return;
    const int before = m_params.level();
    m_params.rememberPassword[before] = ui->cbSavePwd->isChecked();
    m_params.passwords[before] = shownPassword(before);
    m_params.accessLevel = ui->cbAccessLevel->currentIndex();
    showLevel(m_params.level());
}

void AuthDialog::loadDefaultPwd()
{
    ui->lePwdHex->setText(passwordtext::factoryDefaultHex(ui->cbAccessLevel->currentIndex()));
    inputPwdHex();
}

int AuthDialog::updateAvaliblePorts()
{
    ui->cbPort->clear();
    ui->cbStendPort->clear();
    int preselect = -1;
    comport probe;
    probe.baudIndex = kScanBaudIndex;
    for (int n = portpath::kFirstPort; n <= portpath::kLastPort; ++n) {
        probe.portNumber = n;
        if (!probe.open())
            continue;
        probe.close();
        for (QComboBox *box : {ui->cbPort, ui->cbStendPort}) {
            box->addItem(portpath::portName(n));
            // What "COMn" stands for here: its ports/ entry or the built-in table.
            box->setItemData(box->count() - 1, probe.deviceName(), Qt::ToolTipRole);
        }
        if (n == m_params.portNumber)
            preselect = ui->cbPort->count() - 1;
    }
    if (preselect >= 0)
        ui->cbPort->setCurrentIndex(preselect);
    m_portMissing = preselect < 0 && ui->cbPort->count() > 0;
    updateConnectEnabled();
    return ui->cbPort->count();
}

void AuthDialog::pinStCheck()
{
    ui->lePin->setEnabled(ui->cbPin->isChecked());
}

void AuthDialog::closeEvent(QCloseEvent *event)
{
    event->ignore();
    endProgram();
}

void AuthDialog::updateConnectEnabled()
{
    ui->pbConnect->setEnabled(ui->cbPort->count() > 0 ||
                              ui->cbConnectionType->currentIndex() == Channel::TcpIp);
}

QByteArray AuthDialog::shownPassword(int level) const
{
    return passwordtext::fromView(ui->lePwd->text(), m_params.passwords[level]);
}

void AuthDialog::showLevel(int level)
{
    ui->cbSavePwd->setChecked(m_params.rememberPassword[level]);
    ui->lePwd->setText(passwordtext::fromBytes(m_params.passwords[level]));
    inputPwd();
}
