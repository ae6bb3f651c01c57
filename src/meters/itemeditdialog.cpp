#include "meters/itemeditdialog.h"

#include "core/passwordtext.h"
#include "session/passwordviews.h"
#include "ui_itemeditdialog.h"

namespace {
const QString kNoSerial = QStringLiteral("000000000000000");
}

itemEditDialog::itemEditDialog(QWidget *parent) : QDialog(parent), ui(new Ui::itemEditDialog)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(329, 172);

    connect(ui->lePwdHex, &QLineEdit::textEdited, this, &itemEditDialog::inputPwdHex);
    connect(ui->lePwd, &QLineEdit::textEdited, this, &itemEditDialog::inputPwd);
    connect(ui->pbEsc, &QPushButton::clicked, this, &itemEditDialog::closeClicked);
    connect(ui->cbStdPwd, &QCheckBox::clicked, this, &itemEditDialog::checkStdPwd);
    connect(ui->cbUseSn, &QCheckBox::clicked, this, &itemEditDialog::checkUseSn);
    connect(ui->pbOk, &QPushButton::clicked, this, &itemEditDialog::okClicked);

    ui->sbStendAddr->setVisible(m_record.standMode);
    ui->lbStendAddrText->setVisible(m_record.standMode);
    inputPwd();
    checkStdPwd();
    checkUseSn();
    // Enter takes what the boxes show, from whichever box has the focus.
    ui->pbOk->setDefault(true);
    passwordviews::acceptBytes(ui->lePwd);
}

void itemEditDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The address is what a new meter needs first: typing replaces what the box shows.
    ui->sbAddr->setFocus();
    ui->sbAddr->selectAll();
}

itemEditDialog::~itemEditDialog()
{
    delete ui;
}

void itemEditDialog::setRecord(const DeviceRecord &record)
{
    m_record = record;
    ui->cbStdPwd->setChecked(record.useStdPwd);
    ui->sbStendAddr->setValue(record.standAddr);
    ui->lePwd->setText(passwordtext::fromBytes(record.password));
    ui->sbStendAddr->setVisible(record.standMode);
    ui->lbStendAddrText->setVisible(record.standMode);
    // Editing must show the meter's own address and serial number, or "Добавить" would store
    // whatever the previous use left in the boxes.
    ui->sbAddr->setValue(record.address);
    const bool hasSerial = !record.serialNumber.isEmpty();
    ui->cbUseSn->setChecked(hasSerial);
    ui->leSn->setText(hasSerial ? QString::fromLatin1(record.serialNumber) : kNoSerial);
    inputPwd();
    checkStdPwd();
    checkUseSn();
}

void itemEditDialog::inputPwdHex()
{
    passwordviews::hexEdited(ui->lePwdHex, ui->lePwd);
}

void itemEditDialog::inputPwd()
{
    passwordviews::textEdited(ui->lePwd, ui->lePwdHex);
}

void itemEditDialog::closeClicked()
{
    hide();
}

void itemEditDialog::checkStdPwd()
{
    const bool own = !ui->cbStdPwd->isChecked();
    ui->lePwd->setEnabled(own);
    ui->lePwdHex->setEnabled(own);
}

void itemEditDialog::checkUseSn()
{
    ui->leSn->setEnabled(ui->cbUseSn->isChecked());
}

void itemEditDialog::okClicked()
{
    m_record.password = passwordtext::fromView(ui->lePwd->text(), m_record.password);
    m_record.useStdPwd = ui->cbStdPwd->isChecked();
    m_record.address = ui->sbAddr->value();
    m_record.standAddr = ui->sbStendAddr->value();
    m_record.serialNumber = ui->cbUseSn->isChecked() ? ui->leSn->text().toLatin1() : QByteArray();
    emit clickOk();
}
