#include "meters/addresschanger.h"

#include "core/changerlist.h"
#include "ui_addresschanger.h"

AddressChanger::AddressChanger(QWidget *parent) : QWidget(parent), ui(new Ui::AddressChanger)
{
    ui->setupUi(this);
    // A window of its own beside the configurator, also when given a parent.
    setWindowFlags(Qt::Window);
    ui->pbListGen->setEnabled(false);

    using Self = AddressChanger;
    connect(ui->teList, &QPlainTextEdit::textChanged, this, &Self::textChanged);
    connect(ui->pbListClear, &QPushButton::clicked, this, &Self::listClear);
    connect(ui->pbListWriteSN, &QPushButton::clicked, this, &Self::pbWriteSNClick);
    connect(ui->pbListWriteAddr, &QPushButton::clicked, this, &Self::pbWriteAddrClick);
    connect(ui->pbListGen, &QPushButton::clicked, this, &Self::genRandomNumber);
    connect(ui->pbReadCCGroup, &QPushButton::clicked, this, &Self::pbReadCCClick);
    connect(ui->pbWriteCCGroup, &QPushButton::clicked, this, &Self::pbWriteCCClick);
    textChanged();
    ui->teList->clear();
}

AddressChanger::~AddressChanger()
{
    delete ui;
}

int AddressChanger::loadList()
{
    m_lines = changerlist::split(ui->teList->toPlainText());
    return int(m_lines.size());
}

bool AddressChanger::hasDuplicates() const
{
    return changerlist::hasDuplicates(ui->teList->toPlainText());
}

void AddressChanger::appendLine(const QString &line)
{
    ui->teList->appendPlainText(line);
}

void AddressChanger::listClear()
{
    ui->teList->clear();
}

void AddressChanger::textChanged()
{
    const bool coefficients = changerlist::isCoefficientText(ui->teList->toPlainText());
    ui->pbWriteCCGroup->setEnabled(coefficients);
    ui->pbListWriteSN->setEnabled(!coefficients);
    ui->pbListWriteAddr->setEnabled(!coefficients);
}

void AddressChanger::genRandomNumber() {}

void AddressChanger::pbWriteSNClick()
{
    emit saveSNExec();
}

void AddressChanger::pbWriteAddrClick()
{
    emit saveAddrExec();
}

void AddressChanger::pbWriteCCClick()
{
    emit saveCCExec();
}

void AddressChanger::pbReadCCClick()
{
    emit loadCCExec();
}
