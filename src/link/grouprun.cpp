#include "link/grouprun.h"

#include "core/standframe.h"
#include "link/logcolours.h"

namespace {
// The block answers a switch within milliseconds; five seconds is a block that is not going to.
constexpr int kStandTimeoutMs = 5000;
} // namespace

GroupRun::GroupRun(QObject *parent) : QObject(parent)
{
    m_standTimeout.setSingleShot(true);
    m_standTimeout.setInterval(kStandTimeoutMs);
    connect(&m_standTimeout, &QTimer::timeout, this, &GroupRun::standTimedOut);
}

bool GroupRun::start(const QList<GroupMeter> &meters, Operation operation)
{
    if (meters.isEmpty() || running() || !operation)
        return false;
    ++m_generation;
    m_meters = meters;
    m_operation = std::move(operation);
    m_results.clear();
    m_stopAsked = false;
    m_phase = Phase::Between;
    emit log(tr("Инициализация групповой работы"), logcolour::info, true, false);
    if (m_phase == Phase::Between)
        stepInto(0);
    return true;
}

const GroupMeter *GroupRun::currentMeter() const
{
    return running() && m_index >= 0 && m_index < m_meters.size() ? &m_meters[m_index] : nullptr;
}

void GroupRun::stepInto(int index)
{
    m_index = index;
    const GroupMeter &meter = m_meters[index];
    emit meterStarted(index);
    if (!m_stand || !meter.record.standMode) {
        m_phase = Phase::Meter;
        m_operation(meter);
        return;
    }
    const int pos = meter.record.standAddr;
    if (pos < 1 || pos > standframe::kPositions) {
        // Nothing would answer such a switch: the run would wait for ever.
        const QString why = tr("Ошибка: позиция на стенде %1 вне 1..%2, счетчик пропущен")
                                .arg(pos)
                                .arg(standframe::kPositions);
        emit log(why, logcolour::error, true, false);
        m_phase = Phase::Meter;
        meterDone(GroupOutcome{groupgrid::Skip, {}, why, -1});
        return;
    }
    m_phase = Phase::Stand;
    m_standTimeout.start();
    emit standSelect(pos);
}

void GroupRun::standAnswer(bool accepted)
{
    if (m_phase != Phase::Stand)
        return;
    m_standTimeout.stop();
    if (!accepted) {
        standFailed(QString());
        return;
    }
    m_phase = Phase::Meter;
    m_operation(m_meters[m_index]);
}

void GroupRun::standTimedOut()
{
    // A late answer could be taken for the next meter's switch while this one is still on the
    // line, and on the stand every meter answers to 255: the run ends here, as for a stand error.
    if (m_phase == Phase::Stand)
        standFailed(tr("Ошибка: коммутационный блок не ответил"));
}

void GroupRun::standFailed(const QString &first)
{
    const QString why = tr("Работа с группой прекращена из-за некорректного выбор адреса на "
                           "стенде или аппаратной ошибки стенда");
    if (!first.isEmpty())
        emit log(first, logcolour::error, true, false);
    emit log(why, logcolour::error, true, false);
    record(GroupOutcome{groupgrid::Error, {}, first.isEmpty() ? why : first, -1});
    end(true);
}

void GroupRun::stop()
{
    stop(tr("Групповая работа прервана пользователем"));
}

void GroupRun::stop(const QString &line)
{
    if (!running() || m_stopAsked)
        return;
    m_stopAsked = true;
    m_stopLine = line;
    if (m_phase == Phase::Meter) {
        // The meter's batch reports (cut short, or whole) before the run ends.
        emit interruptRequested();
        return;
    }
    // Waiting on the stand (that meter is left out), or between two meters.
    m_standTimeout.stop();
    endStopped();
}

void GroupRun::endStopped()
{
    if (!m_stopLine.isEmpty())
        emit log(m_stopLine, logcolour::error, true, false);
    end(true);
}

void GroupRun::meterDone(const GroupOutcome &outcome)
{
    if (m_phase != Phase::Meter)
        return;
    record(outcome);
    if (m_phase != Phase::Between)
        return; // ended by a slot of meterFinished()
    if (m_stopAsked) {
        endStopped();
        return;
    }
    // From the event loop: the finished batch is fully handled before the next one starts, and a
    // long run does not nest.
    const int generation = m_generation;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation != m_generation || m_phase != Phase::Between)
            return;
        if (m_index + 1 < m_meters.size())
            stepInto(m_index + 1);
        else
            end(false);
    });
}

void GroupRun::meterInterrupted()
{
    if (m_phase != Phase::Meter)
        return;
    const QString why = tr("Групповая работа прервана пользователем");
    record(GroupOutcome{groupgrid::Error, {}, why, -1});
    if (m_phase != Phase::Between)
        return;
    if (!m_stopAsked)
        m_stopLine = why;
    endStopped();
}

void GroupRun::record(const GroupOutcome &outcome)
{
    const DeviceRecord &r = m_meters[m_index].record;
    GroupResult result;
    result.index = m_index;
    result.position = m_stand && r.standMode ? r.standAddr : 0;
    result.serialNumber = r.serialNumber;
    result.address = outcome.address >= 0 ? outcome.address : r.address;
    result.written = outcome.written;
    result.status = outcome.status;
    result.time = QDateTime::currentDateTime();
    result.reason = outcome.reason;
    m_results.append(result);
    m_phase = Phase::Between;
    emit meterFinished(result);
}

void GroupRun::end(bool early)
{
    if (m_phase == Phase::Idle)
        return;
    ++m_generation;
    m_phase = Phase::Idle;
    m_standTimeout.stop();
    // m_operation stays: the run may end from inside it.
    if (!early)
        emit log(tr("Завершение групповой работы"), logcolour::success, true, false);
    QList<groupgrid::Cell> cells;
    for (const GroupResult &r : std::as_const(m_results))
        cells.append({r.label(), r.status});
    emit grid(groupgrid::html(cells));
    const QList<GroupResult> results = m_results;
    if (early)
        emit stopped(results);
    else
        emit finished(results);
}
