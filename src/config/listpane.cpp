// The meter list pane: opening and closing sessions, adding and editing meters, the optical-port
// test.
#include "widgets/soundcue.h"
#include "config/controlpaneldialog.h"
#include "core/measuredecoders.h"
#include "core/meterseries.h"
#include "core/requestkinds.h"
#include "link/logcolours.h"
#include "core/standframe.h"
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"
#include "meters/itemeditdialog.h"
#include "core/sessionparameters.h"
#include "ui_controlpaneldialog.h"

namespace {
constexpr int kLastAddress = 255;
constexpr int kStandAddress = 255;
// Hold time of a meter that reports 0 minutes.
constexpr int kDefaultHoldMinutes = 10;
// Data bytes of the link parameters: address and hold time.
constexpr int kLinkAddressByte = 0;
constexpr int kLinkHoldByte = 3;
} // namespace

void ControlPanelDialog::openSessionClick()
{
    if (!m_currentItem)
        return;
    sendBatch(requestkinds::SessionOpen, requestkinds::fixedCommands(requestkinds::SessionOpen),
              QString(), logcolour::success);
}

int ControlPanelDialog::sessionOpened(const QByteArray *replies, int count, int status)
{
    deviceListItem *item = m_batchItem;
    if (!item)
        return status;
    DeviceRecord &record = item->record();
    if (status != 0) {
        record.sessionOpen = false;
        item->stopSessionTimer();
        item->updateView();
        return status;
    }
    // Replies of "01 20" (device name), "01 29" (link parameters), "01 21" (version).
    if (count > 0)
        record.version = measures::deviceText(replies[0]);
    QByteArray link;
    if (count > 1 && measures::dataBytes(replies[1], &link) && link.size() > kLinkHoldByte) {
        if (record.usesSerialNumber())
            record.address = quint8(link[kLinkAddressByte]);
        const int minutes = quint8(link[kLinkHoldByte]);
        record.sessionTimeout = minutes ? minutes : kDefaultHoldMinutes;
    } else {
        emit log(tr("Ошибка: некорректный размер пакета"), logcolour::error, true, false);
    }
    tuneInterface();
    // Marked open, the meter closes its end after the hold time without traffic: so does the
    // mark.
    record.sessionOpen = true;
    item->startSessionTimer();
    item->updateView();
    ui->devList->relayout();
    // A meter of unknown series stays open, but group work counts it as failed.
    return meterSeriesOf(record.version) == MeterSeries::Unrecognised ? 2 : 0;
}

void ControlPanelDialog::closeSessionClick()
{
    if (!m_currentItem)
        return;
    if (m_batchRunning) {
        // "09 01" would go out between a request of the batch and its reply.
        emit log(tr("Ошибка: обмен со счетчиком уже идет, новый запрос отклонен"), logcolour::error,
                 true, false);
        return;
    }
    emit log(tr("Закрытие сесии"), logcolour::success, true, false);
    m_currentItem->record().sessionOpen = false;
    m_currentItem->stopSessionTimer();
    m_currentItem->updateView();
    emit sendTextCmd(m_currentItem, QStringLiteral("09 01"), 0);
}

void ControlPanelDialog::addClick()
{
    m_editMode = false;
    m_edited = nullptr;
    m_template.standMode = m_channel == Channel::Stand;
    m_editor->setRecord(m_template);
    m_editor->show();
}

void ControlPanelDialog::editClick()
{
    if (!m_currentItem)
        return;
    DeviceRecord record = m_currentItem->record();
    record.standMode = m_channel == Channel::Stand;
    m_editMode = true;
    m_edited = m_currentItem;
    m_editor->setRecord(record);
    m_editor->show();
}

void ControlPanelDialog::initAddClick()
{
    const DeviceRecord &edited = m_editor->record();
    const QString duplicate = tr("Счетчик с таким адресом уже есть в списке");
    if (!m_editMode) {
        if (!ui->devList->addItem(edited)) {
            inform(tr("Невозможно добавить"), duplicate);
            return;
        }
        m_editor->hide();
        return;
    }
    if (!m_edited) {
        // The row went while the editor was open.
        m_editor->hide();
        return;
    }
    if (ui->devList->findDuplicate(edited, m_edited)) {
        inform(tr("Невозможно изменить"), duplicate);
        return;
    }
    // What the editor shows is the meter's place and password; the rest is the row's own state,
    // which may have moved on while the editor was open.
    const DeviceRecord &row = m_edited->record();
    DeviceRecord record = edited;
    record.sessionTimeout = row.sessionTimeout;
    record.sessionOpen = row.sessionOpen;
    record.ticked = row.ticked;
    record.current = row.current;
    record.version = row.version;
    m_edited->setRecord(record);
    ui->devList->relayout();
    m_editor->hide();
}

void ControlPanelDialog::addGroupClick()
{
    const bool stand = m_channel == Channel::Stand;
    const int last = stand ? standframe::kPositions : kLastAddress;
    const std::optional<questions::Range> range =
        questions::askAddressRange(askInt, tr("Добавить"), last);
    if (!range)
        return;
    // A minimum above the maximum adds nothing.
    for (int i = range->min; i <= range->max; ++i) {
        DeviceRecord record;
        record.version = QStringLiteral("-");
        record.password = m_password;
        if (stand) {
            record.address = kStandAddress;
            record.standAddr = i;
            record.standMode = true;
        } else {
            record.address = i;
        }
        // A meter already listed is skipped.
        ui->devList->addItem(record);
    }
}

void ControlPanelDialog::clearLictClick()
{
    ui->devList->clearList();
}

void ControlPanelDialog::mnCheckAllClick()
{
    ui->devList->setAllTicked(true);
}

void ControlPanelDialog::mnUncheckAllClick()
{
    ui->devList->setAllTicked(false);
}

void ControlPanelDialog::connectionTest()
{
    if (ui->pbOptoTest->isChecked()) {
        // Every packet is now a test echo, played as a sound; no meter is worked meanwhile.
        ui->devList->deselectAll();
        ui->devList->setEnabled(false);
    } else {
        ui->devList->setEnabled(true);
    }
}

void ControlPanelDialog::unknownLoadComplate(int st)
{
    if (st == 0 && ui->pbOptoTest->isChecked())
        playSound(QLatin1String(soundcue::test));
}
