#include "config/groupwork.h"

#include "config/calibrationpage.h"
#include "config/controlpaneldialog.h"
#include "config/paramspage.h"
#include "core/catalogue.h"
#include "core/exchangerules.h"
#include "core/requestkinds.h"
#include "core/sessionparameters.h"
#include "link/logcolours.h"
#include "meters/addresschanger.h"
#include "meters/devicelist.h"
#include "meters/devicelistitem.h"
#include "ui_controlpaneldialog.h"
#include "widgets/soundcue.h"

namespace {
// The operation of "Закрыть все", which is no request kind.
constexpr int kCloseAll = -2;
} // namespace

GroupWork::GroupWork(ControlPanelDialog *window) : QObject(window), m_window(window)
{
    connect(&m_run, &GroupRun::log, this, &GroupWork::log);
    connect(&m_run, &GroupRun::grid, this, &GroupWork::html_line);
    connect(&m_run, &GroupRun::standSelect, this, [this](int pos) {
        m_window->noteStandSwitch(pos);
        emit stendSelectAddr(pos);
    });
    connect(&m_run, &GroupRun::interruptRequested, this, [this] {
        // A batch on the wire is cut short and reports with status 1; a close waits for its
        // answer; an operation that sent nothing is over.
        if (m_window->batchRunning())
            m_window->interruptExchange();
        else if (!m_awaitingClose && m_awaitingReport)
            report(0);
    });
    connect(&m_run, &GroupRun::finished, this, &GroupWork::ended);
    connect(&m_run, &GroupRun::stopped, this, &GroupWork::ended);
}

int GroupWork::checkedCount() const
{
    return m_window->ui->devList->tickedCount();
}

void GroupWork::work(int kind, const std::function<void()> &step)
{
    // Asked for while a run goes on, the operation is the current meter's.
    if (running())
        step();
    else
        start(kind, step);
}

bool GroupWork::start(int kind, const std::function<void()> &step, bool listMode)
{
    QList<deviceListItem *> items;
    for (int i = 0; deviceListItem *item = m_window->ui->devList->tickedItem(i); ++i)
        items << item;
    // The i-th line belongs to the i-th checked meter, in the order they have now.
    return startOver(kind, step, listMode, items,
                     listMode ? m_window->m_addressChanger->lines() : QStringList());
}

bool GroupWork::startOver(int kind, const std::function<void()> &step, bool listMode,
                          const QList<deviceListItem *> &items, const QStringList &lines)
{
    if (items.isEmpty() || running())
        return false;
    QList<GroupMeter> meters;
    m_items.clear();
    for (int i = 0; i < items.size(); ++i) {
        meters.append({items[i]->record(), lines.value(i)});
        m_items << items[i];
    }
    m_kind = kind;
    m_step = step;
    m_listMode = listMode;
    m_linesAppended = 0;
    m_awaitingReport = m_awaitingClose = false;
    m_run.setStand(m_window->channel() == Channel::Stand);
    lock(true);
    return m_run.start(meters, [this](const GroupMeter &meter) { stepMeter(meter); });
}

void GroupWork::lock(bool on)
{
    Ui::ControlPanelDialog *ui = m_window->ui;
    // A click would change nothing of the run, but it would look as if it did.
    ui->devList->setEnabled(!on);
    for (QWidget *w : {static_cast<QWidget *>(ui->pbFuncMenu), static_cast<QWidget *>(ui->pbAdd),
                       static_cast<QWidget *>(ui->pbRemove), static_cast<QWidget *>(ui->pbFind)})
        w->setEnabled(!on);
    ui->pbGroupStop->setVisible(on);
    ui->pbGroupStop->setEnabled(on);
    if (on)
        m_window->setMeterControlsEnabled(false);
}

deviceListItem *GroupWork::item() const
{
    const int i = m_run.currentIndex();
    return i >= 0 ? m_items.value(i).data() : nullptr;
}

void GroupWork::stepMeter(const GroupMeter &meter)
{
    Q_UNUSED(meter)
    m_outcome = GroupOutcome();
    deviceListItem *row = item();
    if (!row) {
        // The meter left the list meanwhile: nothing was done to it.
        m_run.meterDone(GroupOutcome{groupgrid::Error, {}, {}, -1});
        return;
    }
    m_window->ui->devList->ensureWidgetVisible(row);
    const int index = m_run.currentIndex();
    m_awaitingReport = true;
    m_step();
    // Ended by the operation itself, or already reported.
    if (!running() || m_run.currentIndex() != index || !m_awaitingReport || !m_run.awaitingMeter())
        return;
    if (m_awaitingClose || m_window->batchRunning())
        return;
    // The operation refused the meter without sending anything.
    m_awaitingReport = false;
    if (m_outcome.status == groupgrid::Ok)
        m_outcome.status = groupgrid::Skip;
    m_run.meterDone(m_outcome);
}

void GroupWork::mark(int status)
{
    if (running())
        m_outcome.status = status;
}

void GroupWork::noteAddress(int address)
{
    if (running())
        m_outcome.address = address;
}

void GroupWork::batchSent(const QStringList &commands)
{
    if (!running() || !m_awaitingReport)
        return;
    // What changes the meter: writes (02), clears (05) and the clock write (0a); reads are not.
    for (const QString &command : commands) {
        const QString function = command.section(QLatin1Char(' '), 0, 0).toLower();
        if (function != QLatin1String("02") && function != QLatin1String("05") &&
            function != QLatin1String("0a"))
            continue;
        if (!m_outcome.written.isEmpty())
            m_outcome.written += QStringLiteral("; ");
        m_outcome.written += command;
    }
}

void GroupWork::stopAll()
{
    if (!running())
        return;
    // The meter refused: nothing was sent to it. The run ends at its report, which the stop
    // asks for at once when nothing runs.
    m_outcome.status = groupgrid::Skip;
    m_run.stop(QString());
}

void GroupWork::stop()
{
    m_run.stop();
}

void GroupWork::sessionEnded()
{
    if (!running())
        return;
    m_awaitingClose = false;
    m_run.stop(QString());
    if (m_awaitingReport) {
        m_awaitingReport = false;
        m_run.meterDone(GroupOutcome{groupgrid::Error, {}, {}, -1});
    }
}

void GroupWork::report(int status)
{
    // Only the batch that the step started counts, not one the user started meanwhile.
    if (!running() || !m_awaitingReport || m_awaitingClose)
        return;
    m_awaitingReport = false;
    if (status == 1) {
        m_run.meterInterrupted();
        return;
    }
    if (status == 2) {
        m_outcome.status = groupgrid::Error;
        m_outcome.address = -1;
        if (deviceListItem *row = item()) {
            row->record().sessionOpen = false;
            row->stopSessionTimer();
            row->updateView();
        }
    }
    m_run.meterDone(m_outcome);
}

bool GroupWork::closeAnswered(int st)
{
    if (!running() || !m_awaitingClose)
        return false;
    m_awaitingClose = false;
    m_awaitingReport = false;
    if (st != 0)
        m_outcome.status = groupgrid::Error;
    m_run.meterDone(m_outcome);
    return true;
}

void GroupWork::standAnswer(bool accepted)
{
    m_run.standAnswer(accepted);
}

void GroupWork::ended(const QList<GroupResult> &results)
{
    if (m_kind == requestkinds::CC && m_listMode) {
        int ok = 0;
        for (const GroupResult &r : results)
            ok += r.status == groupgrid::Ok;
        const int lacking = int(m_items.size()) - m_linesAppended;
        if (m_window->m_addressChanger->hasDuplicates())
            emit log(tr("<strong>Внимание! Найдены дубликаты в записях КК!</strong>"),
                     logcolour::notice, false, false);
        else if (ok == m_items.size() && lacking == 0)
            emit log(tr("Записи КК считаны без ошибок"), logcolour::success, false, false);
        else
            emit log(
                tr("Записи КК считаны не со всех счетчиков: в списке недостает %1").arg(lacking),
                logcolour::notice, false, false);
    }
    m_kind = -1;
    // m_step stays until the next start: the run may end from inside it.
    m_items.clear();
    m_listMode = false;
    m_awaitingReport = m_awaitingClose = false;
    m_window->m_standAnswersDue = 0;
    m_window->playSound(QLatin1String(soundcue::notify));
    lock(false);
    // The controls follow the selected meter again (a stand meter is switched in first).
    m_window->ui->devList->reemitSelection();
}

QString GroupWork::listLine() const
{
    const GroupMeter *m = meter();
    return listMode() && m ? m->line : QString();
}

void GroupWork::appendListLine(const QString &line)
{
    if (!listMode())
        return;
    m_window->m_addressChanger->appendLine(line);
    ++m_linesAppended;
}

bool GroupWork::listFits(const QString &listName)
{
    const int lines = m_window->m_addressChanger->loadList();
    const int checked = checkedCount();
    if (lines == checked)
        return true;
    emit log(tr("Размер списка выбранных счетчиков (") + QString::number(checked) +
                 tr(") отличается от списка ") + listName + QStringLiteral(" (") +
                 QString::number(lines) + QStringLiteral(")"),
             logcolour::error, true, false);
    return false;
}

void GroupWork::saveListSN()
{
    ParamsPage *page = m_window->m_paramsPage;
    if (!running() && listFits(tr("серийных номеров")))
        start(
            requestkinds::SaveDeviceID, [page] { page->saveDeviceIDFromList(); }, true);
}

void GroupWork::saveListAddr()
{
    ParamsPage *page = m_window->m_paramsPage;
    if (!running() && listFits(tr("адресов")))
        start(
            requestkinds::SaveLink, [page] { page->SaveLinkFromList(); }, true);
}

void GroupWork::saveListCC()
{
    CalibrationPage *page = m_window->m_calibrationPage;
    if (!running() && listFits(tr("КК")))
        start(
            requestkinds::SaveCC, [page] { page->SaveCCClick(); }, true);
}

void GroupWork::loadListCC()
{
    if (running() || checkedCount() == 0)
        return;
    m_window->m_addressChanger->listClear();
    CalibrationPage *page = m_window->m_calibrationPage;
    start(
        requestkinds::CC, [page] { page->loadCCClick(); }, true);
}

void GroupWork::openAll()
{
    start(requestkinds::SessionOpen, [this] { m_window->openSessionClick(); });
}

void GroupWork::closeAll()
{
    QList<deviceListItem *> open;
    for (int i = 0; deviceListItem *row = m_window->ui->devList->itemAt(i); ++i)
        if (row->record().sessionOpen)
            open << row;
    // Each meter in turn, switched in on the stand: its "09 01" and the answer to it (or its
    // time-out) before the next, since the meters share one line.
    startOver(
        kCloseAll,
        [this] {
            if (m_window->exchangeBusy())
                return;
            m_awaitingClose = true;
            m_window->closeSessionClick();
        },
        false, open);
}
