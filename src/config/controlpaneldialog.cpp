#include "config/controlpaneldialog.h"

#include "meters/devicelist.h"
#include "meters/devicelistitem.h"
#include "ui_controlpaneldialog.h"

#include <QCloseEvent>

ControlPanelDialog::ControlPanelDialog(QWidget *parent)
    : QDialog(parent), ui(new Ui::ControlPanelDialog)
{
    ui->setupUi(this);
    connect(ui->pbFind, &QPushButton::clicked, this, &ControlPanelDialog::searchClick);
    connect(ui->devList, &deviceList::selectedItem, this, &ControlPanelDialog::listSelectedItem);
}

ControlPanelDialog::~ControlPanelDialog()
{
    delete ui;
}

deviceList *ControlPanelDialog::meterList() const
{
    return ui->devList;
}

void ControlPanelDialog::setSession(int channel, int accessLevel, const QByteArray &password)
{
    m_channel = channel;
    m_accessLevel = accessLevel;
    m_password = password;
}

void ControlPanelDialog::enableMeterControls()
{
    // No page controls yet: the pages enable theirs here.
}

void ControlPanelDialog::searchClick()
{
    emit searchStart();
}

void ControlPanelDialog::listSelectedItem(deviceListItem *item)
{
    m_currentItem = item;
    emit listSelectedItemClick(item);
}

void ControlPanelDialog::loadComplate(int type, QByteArray *buf, int len, int status)
{
    // Each request kind's decoder is reached from here once its page exists.
    Q_UNUSED(type)
    Q_UNUSED(buf)
    Q_UNUSED(len)
    Q_UNUSED(status)
}

void ControlPanelDialog::unknownLoadComplate(int st)
{
    Q_UNUSED(st)
}

void ControlPanelDialog::stendAck(bool st)
{
    // Only group work waits for the stand; there is none without its pages.
    Q_UNUSED(st)
}

void ControlPanelDialog::closeEvent(QCloseEvent *event)
{
    ui->devList->closeAllSessions();
    QDialog::closeEvent(event);
    emit logout();
}
