#include "job/jobrunner.h"

#include "core/batchrules.h"
#include "core/catalogue.h"
#include "core/clockdecoders.h"
#include "core/commandtext.h"
#include "core/exchangerules.h"
#include "core/groupgrid.h"
#include "core/logline.h"
#include "core/measuredecoders.h"
#include "core/portpath.h"
#include "core/recorddecoders.h"
#include "core/requestkinds.h"
#include "core/settingsdecoders.h"
#include "job/recordstore.h"
#include "link/exchangeengine.h"
#include "link/grouprun.h"
#include "link/logcolours.h"
#include "link/stend.h"

#include <QDateTime>
#include <QDir>
#include <QHash>

namespace {
// Leaving a GSM call takes two guard times of the modem and two answers of up to 5 s each.
constexpr int kCloseLimitMs = 20000;
// Not a kind of the configurator: the batch that ends a meter's session.
constexpr int kCloseKind = -1;
// Record numbers go out as two bytes: no more of them can be read.
constexpr int kAddressableRecords = 0x10000;

// The list's name in a typed record.
QString listName(int list)
{
    switch (list) {
    case catalogue::MessageList:
        return QStringLiteral("message");
    case catalogue::ErrorList:
        return QStringLiteral("error");
    case catalogue::WarningList:
        return QStringLiteral("warning");
    default:
        break;
    }
    return QStringLiteral("unknown");
}

JobValue typedValue(const measures::Reading &reading, int row, int column)
{
    JobValue v;
    v.quantity = reading.quantity;
    v.unit = reading.unit;
    v.tariff = reading.tariff;
    v.value = reading.value;
    v.row = row;
    v.column = column;
    return v;
}

QList<QStringList> labelled(const QStringList &labels, const QStringList &values)
{
    QList<QStringList> rows;
    for (int i = 0; i < labels.size(); ++i)
        rows.append({labels[i], values.value(i, QStringLiteral("-"))});
    return rows;
}
} // namespace

JobRunner::JobRunner(const JobOptions &options, QObject *parent)
    : QObject(parent), m_options(options), m_engine(new ExchangeEngine(this)),
      m_run(new GroupRun(this))
{
    m_engine->standLink()->port = options.standPort;
    m_closeTimer.setSingleShot(true);
    // The meters in turn, each switched in on the stand first, as the configurator's group work.
    m_run->setStand(options.session.connectionType == Channel::Stand);
    connect(m_run, &GroupRun::log, this, &JobRunner::log);
    connect(m_run, &GroupRun::standSelect, m_engine, &ExchangeEngine::stendSelect);
    connect(m_engine, &ExchangeEngine::stendSelectAccept, m_run, &GroupRun::standAnswer);
    connect(m_run, &GroupRun::meterStarted, this, &JobRunner::meterStarted);
    connect(m_run, &GroupRun::meterFinished, this, &JobRunner::meterFinished);
    connect(m_run, &GroupRun::meterFinished, this, [this](const GroupResult &result) {
        // Refused, or its stand failed, before any operation ran: each is reported failed.
        if (result.status != groupgrid::Ok && m_operationIndex < 0)
            failRest(result.reason, false);
    });
    // The production record: what the group work did to each meter, one row a meter.
    connect(m_run, &GroupRun::meterFinished, this, [this](const GroupResult &result) {
        if (!m_store)
            return;
        MeterResult r;
        r.position = result.position;
        r.serial = result.serialNumber.isEmpty() || !m_meter.usesSerialNumber()
                       ? m_serialRead
                       : result.serialNumber;
        r.address = result.address;
        r.operation = QStringLiteral("meter");
        r.written = result.written;
        r.status = groupgrid::word(result.status);
        r.reason = result.reason;
        r.at = result.time.isValid() ? result.time : QDateTime::currentDateTime();
        QString error;
        if (!m_store->storeResult(r, &error)) {
            log(tr("Ошибка записи в хранилище: ") + error, logcolour::error, true, false);
            if (m_storeError.isEmpty())
                m_storeError = error;
        }
    });
    connect(m_run, &GroupRun::interruptRequested, this, [this] {
        if (m_engine->exchangeBusy())
            // The batch ends at its next reply or time-out; its replies come back with status 1.
            m_engine->stopAfterExchange();
        else
            m_run->meterDone(groupgrid::Error);
    });
    connect(m_run, &GroupRun::finished, this, &JobRunner::finish);
    connect(m_run, &GroupRun::stopped, this, [this](const QList<GroupResult> &results) {
        // A stand error ends the run: the meters after it are not worked.
        if (m_phase == Phase::Working && !m_signal && !results.isEmpty()) {
            const QString why = results.last().reason;
            for (int m = int(results.size()); m < m_options.meters.size(); ++m) {
                meterStarted(m);
                failRest(why, false);
            }
        }
        finish();
    });
    connect(&m_closeTimer, &QTimer::timeout, this, &JobRunner::done);
    connect(m_engine, &ExchangeEngine::log, this, &JobRunner::log);
    connect(m_engine, &ExchangeEngine::connIsEstablished, this, &JobRunner::connection);
    connect(m_engine, &ExchangeEngine::standRefused, this, &JobRunner::standRefused);
    connect(m_engine, &ExchangeEngine::loadComplate, this, &JobRunner::batchDone);
    connect(m_engine, &ExchangeEngine::progressChanged, this, [this](int percent) {
        if (m_phase == Phase::Working && m_operationIndex >= 0 &&
            m_operationIndex < m_options.operations.size())
            progressText(jobrecord::operationName(m_options.operations[m_operationIndex]) +
                         QStringLiteral(" %1%").arg(percent));
    });
}

JobRunner::~JobRunner() = default;

// ---- The log

void JobRunner::log(const QString &text, const QColor &colour, bool timeStamp, bool newLine)
{
    if (newLine)
        m_paragraphs.append(QString());
    m_paragraphs.append(
        logline::span(text, logline::colourHex(colour.red(), colour.green(), colour.blue()),
                      timeStamp ? logline::stampNow() : QTime()));
    if (colour == logcolour::error)
        m_lastError = text;
}

QString JobRunner::reason() const
{
    return m_lastError.isEmpty() ? tr("Ошибка обмена") : m_lastError;
}

QString JobRunner::stopReason() const
{
    return tr("Работа прервана сигналом %1").arg(m_signal);
}

// ---- The channel

void JobRunner::start()
{
    if (m_phase != Phase::Idle)
        return;
    if (m_options.store) {
        // A store that cannot take the records is found out before any meter is touched.
        const bool given = m_store != nullptr;
        if (!given)
            m_store = std::make_unique<RecordStore>();
        QStringList operations;
        for (JobOperation op : std::as_const(m_options.operations))
            operations << jobrecord::operationName(op);
        QString error;
        if ((!given && !m_store->open(*m_options.store, &error)) ||
            !m_store->beginRun(channelText(), operations, &error)) {
            m_store.reset();
            m_storeUnusable = true;
            m_storeError = error;
            m_phase = Phase::Done;
            emit finished(exitStatus());
            return;
        }
    }
    m_phase = Phase::Connecting;
    progressText(QStringLiteral("opening the channel"));
    m_engine->initConnection(m_options.session);
}

void JobRunner::connection(bool up)
{
    if (up) {
        if (m_phase != Phase::Connecting)
            return;
        m_connected = true;
        m_standLinked = m_options.session.connectionType == Channel::Stand;
        log(tr("Порт открыт"), logcolour::success, true, false);
        log(tr("<strong>Сессия открыта</strong>"), logcolour::success, true, false);
        m_phase = Phase::Working;
        startRun();
        return;
    }
    const bool wasUp = m_connected;
    m_connected = false;
    if (wasUp || m_phase == Phase::Connecting)
        log(tr("<strong>Сессия закрыта</strong>"), logcolour::success, true, false);
    m_standLinked = m_standLinked || m_options.session.connectionType == Channel::Stand;
    switch (m_phase) {
    case Phase::Connecting: {
        m_channelFailed = true;
        m_channelError = m_lastError;
        if (m_channelError.isEmpty()) {
            const int port = m_options.session.portNumber;
            m_channelError = QStringLiteral("%1 (%2) cannot be opened")
                                 .arg(portpath::portName(port), portpath::device(port));
        }
        // One line of many: its meters fail, with the reason, and the other lines go on.
        if (m_options.oneOfMany)
            failRest(m_channelError, true);
        m_phase = Phase::Finishing;
        done();
        return;
    }
    case Phase::Working:
        // Whatever was on its way will not come: the batch ended without a word.
        m_next = nullptr;
        failRest(m_lastError.isEmpty() ? tr("Сессия закрыта") : m_lastError, true);
        m_phase = Phase::Finishing;
        m_run->stop(QString());
        m_run->meterDone(groupgrid::Error);
        done();
        return;
    case Phase::Finishing:
        done();
        return;
    default:
        return;
    }
}

void JobRunner::standRefused()
{
    if (m_phase != Phase::Connecting)
        return;
    m_channelFailed = true;
    m_channelError = m_lastError;
    if (m_options.oneOfMany)
        failRest(m_channelError, true);
    m_phase = Phase::Finishing;
    done();
}

void JobRunner::stop(int signalNumber)
{
    if (m_phase == Phase::Done)
        return;
    if (m_signal) {
        // Asked twice: nothing more is waited for, neither the exchange on the wire nor the
        // channel's close.
        if (m_engine->exchangeBusy())
            m_engine->interruptLoadClick();
        else if (m_phase == Phase::Finishing)
            done();
        return;
    }
    m_signal = signalNumber;
    log(stopReason(), logcolour::error, true, false);
    switch (m_phase) {
    case Phase::Idle:
    case Phase::Connecting:
        m_phase = Phase::Finishing;
        closeChannel();
        return;
    case Phase::Working:
        // Waiting on the stand it ends at once; a meter being worked first lets its exchange
        // on the wire finish.
        if (m_run->running())
            m_run->stop(QString());
        else
            finish();
        return;
    default:
        return;
    }
}

// ---- Batches

void JobRunner::send(int kind, const QStringList &commands, Next next, const QColor &titleColour)
{
    const QStringList cmds = batchrules::compose(
        kind,
        commandtext::sessionOpen(m_options.session.accessLevel,
                                 m_options.session.passwords[size_t(m_options.session.level())]),
        commands);
    const QString title = requestkinds::title(kind);
    if (!title.isEmpty())
        log(title, titleColour, true, true);
    batch(kind, cmds, std::move(next));
}

void JobRunner::batch(int kind, const QStringList &batch, Next next)
{
    m_lastError.clear();
    if (m_signal) {
        // Stopped between two batches: this one is not started.
        next({}, 1);
        return;
    }
    const requestkinds::KindInfo *info = requestkinds::find(kind);
    m_next = std::move(next);
    if (!m_engine->load_from_device(exchangerules::addressOf(m_meter), kind, batch,
                                    info ? info->ackTimeOut : 0)) {
        // Refused (the engine has said why): nothing will come back.
        Next n = std::exchange(m_next, nullptr);
        QMetaObject::invokeMethod(
            this, [n] { n({}, 2); }, Qt::QueuedConnection);
    }
}

void JobRunner::batchDone(int type, QList<QByteArray> replies, int status)
{
    if (!m_next)
        return;
    Next next = std::exchange(m_next, nullptr);
    next(batchrules::ownReplies(type, replies), status);
}

// ---- Meters

void JobRunner::startRun()
{
    QList<GroupMeter> meters;
    for (const DeviceRecord &record : std::as_const(m_options.meters))
        meters.append({record, QString()});
    if (!m_run->start(meters, [this](const GroupMeter &) { openSession(); }))
        finish();
}

void JobRunner::meterStarted(int index)
{
    m_meterIndex = index;
    m_meter = m_options.meters.value(index);
    m_series = MeterSeries::Unrecognised;
    m_operationIndex = -1;
    m_meterFailed = false;
    m_written.clear();
    if (m_meter.standMode && m_options.session.connectionType == Channel::Stand)
        progressText(QStringLiteral("switching in"));
}

void JobRunner::meterEnd()
{
    // The address the meter answered at (a serial-numbered one tells it at its session open).
    m_run->meterDone(GroupOutcome{m_meterFailed ? groupgrid::Error : groupgrid::Ok, m_written,
                                  m_meterFailed ? m_lastError : QString(), m_meter.address});
}

void JobRunner::openSession()
{
    progressText(QStringLiteral("opening its session"));
    send(
        requestkinds::SessionOpen, requestkinds::fixedCommands(requestkinds::SessionOpen),
        [this](const QList<QByteArray> &replies, int status) { sessionOpened(replies, status); },
        logcolour::success);
}

void JobRunner::sessionOpened(const QList<QByteArray> &replies, int status)
{
    if (status == 1) {
        meterEnd();
        return;
    }
    if (status != 0) {
        failRest(reason(), false);
        meterEnd();
        return;
    }
    // Replies of "01 20" (device name), "01 29" (link parameters), "01 21" (version), read as the
    // configurator reads them.
    const batchrules::SessionReplies read = batchrules::sessionReplies(replies);
    m_meter.version = read.version;
    if (read.linkRead) {
        if (m_meter.usesSerialNumber())
            m_meter.address = read.address;
    } else {
        log(tr("Ошибка: некорректный размер пакета"), logcolour::error, true, false);
    }
    m_series = meterSeriesOf(m_meter.version);
    m_serialRead.clear();
    if (!m_options.readSerial || m_meter.usesSerialNumber()) {
        nextOperation();
        return;
    }
    // A record for a database names the meter by its serial number; older meters have none,
    // which costs only this read.
    send(requestkinds::DeviceID, requestkinds::fixedCommands(requestkinds::DeviceID),
         [this](const QList<QByteArray> &replies, int status) {
             if (status == 1) {
                 finish();
                 return;
             }
             QByteArray serial;
             if (status == 0 && settings::decodeSerial(replies.value(0), &serial) == ReplyCheck::Ok)
                 m_serialRead = serial;
             nextOperation();
         });
}

void JobRunner::nextOperation()
{
    if (m_signal) {
        meterEnd();
        return;
    }
    ++m_operationIndex;
    if (m_operationIndex >= m_options.operations.size()) {
        closeSession();
        return;
    }
    const JobOperation op = m_options.operations[m_operationIndex];
    progressText(jobrecord::operationName(op));
    m_values.clear();
    runOperation(op);
}

void JobRunner::closeSession()
{
    log(catalogue::operationTitle(catalogue::Operation::CloseSession), logcolour::success, true,
        false);
    // The meter would close it after its hold time; a job leaves no session open behind it.
    // Whether it answers changes nothing of what was read.
    batch(kCloseKind, {catalogue::sessionClose()}, [this](const QList<QByteArray> &, int status) {
        Q_UNUSED(status)
        meterEnd();
    });
}

// ---- Operations

void JobRunner::runOperation(JobOperation operation)
{
    using namespace requestkinds;
    const bool three = m_series == MeterSeries::ThreePhase;
    const bool known = m_series != MeterSeries::Unrecognised;
    // Without a known series the reply layouts are not known either; the configurator sends
    // nothing then.
    const auto unknownSeries = [this] {
        log(tr("Ошибка: серия счетчика не распознана: ") + m_meter.version, logcolour::error, true,
            false);
        conclude(2);
    };
    switch (operation) {
    case JobOperation::Info:
        readTable(
            DeviceInfo, measures::deviceInfoLabels(),
            [](const QList<QByteArray> &r) {
                return measures::deviceInfoValues(r.constData(), int(r.size()));
            },
            nullptr);
        return;
    case JobOperation::Energy:
    case JobOperation::Instant: {
        if (!known) {
            unknownSeries();
            return;
        }
        const MeterSeries series = m_series;
        if (operation == JobOperation::Energy)
            readTable(
                three ? Measures3 : Measures, measures::energyLabels(series),
                [series](const QList<QByteArray> &r) {
                    return measures::energyValues(series, r.constData(), int(r.size()));
                },
                [series](const QList<QByteArray> &r) {
                    return measures::energyReadings(series, r.constData(), int(r.size()));
                });
        else
            readTable(
                three ? NowMeasures3 : NowMeasures, measures::instantLabels(series),
                [series](const QList<QByteArray> &r) {
                    return measures::instantValues(series, r.constData(), int(r.size()));
                },
                [series](const QList<QByteArray> &r) {
                    return measures::instantReadings(series, r.constData(), int(r.size()));
                });
        return;
    }
    case JobOperation::DaySlices:
    case JobOperation::MonthSlices:
        if (!known) {
            unknownSeries();
            return;
        }
        if (operation == JobOperation::DaySlices)
            readSlices(catalogue::DaySliceList, SliceDaySize, SliceDayRecords);
        else
            readSlices(catalogue::MonthSliceList, SliceMonthSize, SliceMonthRecords);
        return;
    case JobOperation::Archive:
        if (!known) {
            unknownSeries();
            return;
        }
        readArchive();
        return;
    case JobOperation::Events:
        readEvents();
        return;
    case JobOperation::SetClock:
        setClock();
        return;
    }
}

void JobRunner::readTable(int kind, const QStringList &labels,
                          std::function<QStringList(const QList<QByteArray> &)> values,
                          std::function<QList<measures::Reading>(const QList<QByteArray> &)> typed)
{
    send(kind, requestkinds::fixedCommands(kind),
         [this, labels, values, typed](const QList<QByteArray> &replies, int status) {
             if (status != 0) {
                 conclude(status);
                 return;
             }
             if (typed) {
                 const QList<measures::Reading> readings = typed(replies);
                 for (int i = 0; i < readings.size(); ++i)
                     m_values << typedValue(readings[i], i, 1);
             }
             conclude(status, {tr("Параметр"), tr("Значение")}, labelled(labels, values(replies)));
         });
}

std::optional<RecordStore::Newest> JobRunner::newestStored(const QString &kind)
{
    if (!m_options.newOnly || !m_store)
        return std::nullopt;
    JobRecord meter;
    meter.meter = m_meter;
    meter.serialRead = m_serialRead;
    return m_store->newest(meter, meterKey(m_meter), kind);
}

void JobRunner::readNew(int kind, const std::function<QString(int)> &command, int first, int end,
                        const std::optional<RecordStore::Newest> &newest,
                        const std::function<QDateTime(const QByteArray &)> &timeOf,
                        const std::function<void(const Indexed &, int, int)> &done)
{
    // With a stored record the list is read from that record on: it comes again first, to see
    // that the list still has it there.
    if (newest && newest->record >= first && newest->record < end)
        first = newest->record;
    const auto fresh = [newest, timeOf](const Indexed &got) {
        Indexed out;
        for (const auto &r : got) {
            const QDateTime t = timeOf(r.second);
            if (!newest || (t.isValid() && t > newest->time))
                out << r;
        }
        return out;
    };
    const auto indexed = [](int from, const QList<QByteArray> &replies) {
        Indexed out;
        for (const QByteArray &r : records::answeredRecords(replies))
            out << qMakePair(from + int(out.size()), r);
        return out;
    };
    QStringList commands;
    for (int i = first; i < end; ++i)
        commands << command(i);
    if (commands.isEmpty()) {
        done({}, 0, 0);
        return;
    }
    const int requested = int(commands.size());
    send(kind, commands, [=](const QList<QByteArray> &replies, int status) {
        // A failed read keeps the records read before it.
        const Indexed got = indexed(first, replies);
        const bool moved = newest && first == newest->record && first > 0 &&
                           (got.isEmpty() || timeOf(got[0].second) != newest->time);
        if (status != 0 || !moved) {
            done(fresh(got), status, requested);
            return;
        }
        // The list dropped its oldest records or was cleared since: new ones may sit
        // before the place of the one stored last.
        QStringList before;
        for (int i = 0; i < first; ++i)
            before << command(i);
        send(kind, before, [=](const QList<QByteArray> &replies, int status) {
            done(fresh(indexed(0, replies) + got), status, requested + first);
        });
    });
}

void JobRunner::readSlices(int list, int sizeKind, int recordsKind)
{
    send(sizeKind, requestkinds::fixedCommands(sizeKind),
         [this, list, recordsKind](const QList<QByteArray> &replies, int status) {
             const QStringList header = records::sliceHeader(m_series);
             if (status != 0) {
                 conclude(status);
                 return;
             }
             const std::optional<int> count = records::listCount(replies.value(0));
             if (!count) {
                 log(tr("Ошибка: некорректный размер пакета"), logcolour::error, true, false);
                 conclude(2);
                 return;
             }
             if (*count == 0) {
                 log(tr("Список пуст"), logcolour::info, true, false);
                 conclude(0, header);
                 return;
             }
             if (const QString notice = records::unreadRecordsNotice(*count); !notice.isEmpty())
                 log(notice, logcolour::notice, true, false);
             const MeterSeries series = m_series;
             readNew(
                 recordsKind, [list](int i) { return catalogue::sliceRecordRead(list, i); }, 0,
                 records::readableRecords(*count),
                 newestStored(jobrecord::operationName(m_options.operations[m_operationIndex])),
                 [series](const QByteArray &r) { return records::sliceRecord(series, r).time; },
                 [this, header](const Indexed &got, int status, int requested) {
                     QList<QStringList> rows;
                     // The registers are those of the energy totals, at the slice's time.
                     const QList<measures::Reading> names =
                         measures::energyReadings(m_series, nullptr, 0);
                     for (const auto &[index, reply] : got) {
                         const records::SliceRecord slice = records::sliceRecord(m_series, reply);
                         for (int k = 0; k < slice.registers.size(); ++k) {
                             JobValue v = typedValue(names.value(k), int(rows.size()), 2 + k);
                             v.value = slice.registers[k];
                             v.time = slice.time;
                             v.record = index;
                             m_values << v;
                         }
                         rows.append(slice.cells);
                     }
                     concludeRecords(status, header, rows, requested);
                 });
         });
}

void JobRunner::readArchive()
{
    using namespace requestkinds;
    send(Archive, fixedCommands(Archive), [this](const QList<QByteArray> &replies, int status) {
        const bool three = m_series == MeterSeries::ThreePhase;
        const QStringList header = records::archiveHeader(three);
        if (status != 0) {
            conclude(status);
            return;
        }
        // Replies of "01 3d" (period) and "06 10" (size).
        const std::optional<quint32> size = records::archiveSize(replies.value(1));
        if (!size) {
            log(tr("Ошибка: некорректный размер пакета"), logcolour::error, true, false);
            conclude(2);
            return;
        }
        const int records = int(qMin<quint32>(*size, kAddressableRecords));
        const int start = m_options.archiveStart;
        const int end = m_options.archiveEnd < 0 ? records : qMin(m_options.archiveEnd, records);
        if (end <= start) {
            conclude(0, header);
            return;
        }
        const std::optional<int> periodIndex = records::archivePeriodIndex(replies.value(0));
        const int period = periodIndex ? records::archivePeriodMinutes(*periodIndex) : 0;
        const records::ArchiveEnergy energy = records::archiveEnergy(three, m_meter.version);
        readNew(
            three ? ArchiveRead3 : ArchiveRead, &catalogue::archiveRecordRead, start, end,
            newestStored(QStringLiteral("archive")),
            [energy](const QByteArray &r) { return records::archiveRecord(energy, r, 0).end; },
            [this, three, header, period, energy](const Indexed &got, int status, int requested) {
                QList<QStringList> rows;
                for (const auto &[number, reply] : got) {
                    const records::ArchiveRecord a = records::archiveRecord(energy, reply, number);
                    const int row = int(rows.size());
                    const auto add = [&](const char *quantity, const char *unit, double kwh,
                                         int column) {
                        JobValue v;
                        v.quantity = QLatin1String(quantity);
                        v.unit = QLatin1String(unit);
                        if (!qIsNaN(kwh))
                            v.value = kwh;
                        v.time = a.end;
                        v.record = number;
                        v.period = period;
                        v.row = row;
                        v.column = column;
                        m_values << v;
                    };
                    add("energy_active", "kWh", a.active, 3);
                    if (three)
                        add("energy_reactive", "kvarh", a.reactive, 4);
                    rows.append(a.cells);
                }
                concludeRecords(status, header, rows, requested);
            });
    });
}

void JobRunner::readEvents()
{
    using namespace requestkinds;
    send(ListSizes, fixedCommands(ListSizes), [this](const QList<QByteArray> &replies, int status) {
        if (status != 0) {
            conclude(status);
            return;
        }
        // Replies of "06 12", "06 3c", "06 3b".
        const std::optional<int> errors = records::listCount(replies.value(0));
        const std::optional<int> warnings = records::listCount(replies.value(1));
        const std::optional<int> messages = records::listCount(replies.value(2));
        if (!errors || !warnings || !messages) {
            log(tr("Ошибка: некорректный размер пакета"), logcolour::error, true, false);
            conclude(2);
            return;
        }
        if (*errors + *warnings + *messages == 0) {
            log(tr("Список пуст"), logcolour::info, true, false);
            conclude(0, records::eventHeader());
            return;
        }
        for (const int count : {*messages, *errors, *warnings})
            if (const QString notice = records::unreadRecordsNotice(count); !notice.isEmpty())
                log(notice, logcolour::notice, true, false);
        const int m = records::readableRecords(*messages);
        const int e = records::readableRecords(*errors);
        const int w = records::readableRecords(*warnings);
        m_events.clear();
        if (m_options.newOnly) {
            // Each list from its own newest stored record on, messages, errors, warnings.
            readEventList({{catalogue::MessageList, m},
                           {catalogue::ErrorList, e},
                           {catalogue::WarningList, w}},
                          0);
            return;
        }
        m_eventLists = records::eventLists(m, e, w);
        send(EventRecords, records::eventCommands(m, e, w),
             [this, count = m + e + w](const QList<QByteArray> &replies, int status) {
                 QHash<int, int> counters;
                 const QList<QByteArray> got = records::answeredRecords(replies);
                 // The batch knows each record's list, as the events page does.
                 for (int i = 0; i < got.size(); ++i) {
                     const int list = m_eventLists.value(i);
                     m_events << EventRead{list, counters[list]++, got[i]};
                 }
                 concludeEvents(status, count);
             });
    });
}

void JobRunner::readEventList(QList<QPair<int, int>> lists, int requested)
{
    if (lists.isEmpty()) {
        concludeEvents(0, requested);
        return;
    }
    const auto [list, count] = lists.takeFirst();
    const MeterSeries series = m_series;
    readNew(
        requestkinds::EventRecords,
        [list = list](int i) { return catalogue::eventRecordRead(list, i); }, 0, count,
        newestStored(listName(list)),
        [series, list = list](const QByteArray &r) {
            return records::eventRecord(list, series, r, 0).time;
        },
        [this, lists, requested, list = list](const Indexed &got, int status, int asked) {
            for (const auto &[index, reply] : got)
                m_events << EventRead{list, index, reply};
            if (status != 0) {
                concludeEvents(status, requested + asked);
                return;
            }
            readEventList(lists, requested + asked);
        });
}

void JobRunner::concludeEvents(int status, int requested)
{
    QList<QStringList> rows;
    for (const EventRead &read : std::as_const(m_events)) {
        const records::EventRecord e =
            records::eventRecord(read.list, m_series, read.reply, read.index);
        JobValue v;
        v.quantity = QStringLiteral("event");
        v.list = listName(read.list);
        v.record = read.index;
        v.time = e.time;
        v.code = e.code ? int(*e.code) : -1;
        v.text = e.cells.value(4);
        m_values << v;
        rows.append(e.cells);
    }
    m_events.clear();
    concludeRecords(status, records::eventHeader(), rows, requested);
}

void JobRunner::setClock()
{
    const QDateTime time = QDateTime::currentDateTime().addSecs(qint64(m_options.hourShift) * 3600);
    const QStringList header{tr("Текущее"), tr("Смещение времени")};
    const QStringList row{time.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")),
                          QString::number(m_options.hourShift)};
    const QString write = meterclock::timeWrite(time);
    send(requestkinds::SaveTime, {write},
         [this, header, row, write, time](const QList<QByteArray> &, int status) {
             if (status == 0) {
                 m_written = write;
                 JobValue v;
                 v.quantity = QStringLiteral("clock_written");
                 v.time = QDateTime(time.date(), time.time(), Qt::UTC);
                 m_values << v;
             }
             conclude(status, header, status == 0 ? QList<QStringList>{row} : QList<QStringList>());
         });
}

// ---- Records

void JobRunner::conclude(int status, const QStringList &columns, const QList<QStringList> &rows)
{
    const JobOperation op = m_options.operations[m_operationIndex];
    switch (status) {
    case 0:
        report(op, JobRecord::Status::Ok, QString(), columns, rows);
        nextOperation();
        return;
    case 1:
        // Only a stop from outside interrupts a batch here.
        report(op, JobRecord::Status::Interrupted, stopReason(), columns, rows);
        meterEnd();
        return;
    default:
        report(op, JobRecord::Status::Failed, reason());
        nextOperation();
        return;
    }
}

void JobRunner::concludeRecords(int status, const QStringList &columns,
                                const QList<QStringList> &rows, int requested)
{
    if (status == 0) {
        conclude(status, columns, rows);
        return;
    }
    const QString count = records::partialReadNotice(int(rows.size()), requested);
    log(count, logcolour::notice, true, false);
    if (status == 1) {
        conclude(status, columns, rows);
        return;
    }
    // A long read that fails near its end keeps what it read; the reason says how much that is.
    report(m_options.operations[m_operationIndex], JobRecord::Status::Failed,
           reason() + QStringLiteral(". ") + count, columns, rows);
    nextOperation();
}

void JobRunner::report(JobOperation operation, JobRecord::Status status, const QString &why,
                       const QStringList &columns, const QList<QStringList> &rows)
{
    JobRecord r;
    r.meter = m_meter;
    r.line = channelText();
    r.operation = operation;
    r.status = status;
    r.reason = why;
    r.columns = columns;
    r.rows = rows;
    r.values =
        status == JobRecord::Status::Failed ? QList<JobValue>() : std::exchange(m_values, {});
    r.readAt = QDateTime::currentDateTime();
    r.serialRead = m_serialRead;
    switch (status) {
    case JobRecord::Status::Ok:
        ++m_ok;
        break;
    case JobRecord::Status::Failed:
        ++m_failed;
        m_meterFailed = true;
        // A channel that did not open is one failure in the summary, not one a meter.
        if (!m_channelFailed)
            m_failures << jobrecord::meterName(m_meter) + QStringLiteral(": ") +
                              jobrecord::operationName(operation) + QStringLiteral(": ") + why;
        break;
    case JobRecord::Status::Interrupted:
        ++m_interrupted;
        break;
    }
    // Stored first: a record on standard output is one the store has, even when the job is
    // killed right after.
    storeRecord(r);
    emit record(r);
}

void JobRunner::storeRecord(const JobRecord &record)
{
    if (!m_store)
        return;
    QString error;
    if (m_store->store(record, meterKey(record.meter), &error))
        return;
    log(tr("Ошибка записи в хранилище: ") + error, logcolour::error, true, false);
    if (m_storeError.isEmpty())
        m_storeError = error;
}

QString JobRunner::channelText() const
{
    return joboptions::channelText(m_options.session, m_options.standPort);
}

QString JobRunner::meterKey(const DeviceRecord &meter) const
{
    if (meter.standMode)
        return channelText() + QStringLiteral(" position %1").arg(meter.standAddr);
    return channelText() + QStringLiteral(" address %1").arg(meter.address);
}

void JobRunner::failRest(const QString &why, bool allMeters)
{
    const int last = allMeters ? int(m_options.meters.size()) - 1 : m_meterIndex;
    for (int m = qMax(0, m_meterIndex); m <= last; ++m) {
        if (m != m_meterIndex)
            m_meter = m_options.meters[m];
        const int first = m == m_meterIndex ? qMax(0, m_operationIndex) : 0;
        for (int o = first; o < m_options.operations.size(); ++o)
            report(m_options.operations[o], JobRecord::Status::Failed, why);
    }
    m_operationIndex = int(m_options.operations.size());
}

void JobRunner::progressText(const QString &what)
{
    if (m_meterIndex < 0 || m_meterIndex >= m_options.meters.size()) {
        emit progress(what);
        return;
    }
    emit progress(QStringLiteral("[%1/%2] %3: %4")
                      .arg(m_meterIndex + 1)
                      .arg(m_options.meters.size())
                      .arg(jobrecord::meterName(m_meter), what));
}

// ---- The end

void JobRunner::finish()
{
    if (m_phase == Phase::Finishing || m_phase == Phase::Done)
        return;
    m_phase = Phase::Finishing;
    // Not from inside the engine's report of the batch that brought us here.
    QMetaObject::invokeMethod(this, &JobRunner::closeChannel, Qt::QueuedConnection);
}

void JobRunner::closeChannel()
{
    if (m_connected) {
        progressText(QStringLiteral("closing the channel"));
        m_closeTimer.start(kCloseLimitMs);
        // Its connIsEstablished(false) brings done().
        m_engine->logout();
        return;
    }
    // Stopped while the modem dials: the dial is aborted before the job ends.
    if (m_engine->releaseCall()) {
        progressText(QStringLiteral("closing the channel"));
        m_closeTimer.start(kCloseLimitMs);
        return;
    }
    done();
}

void JobRunner::done()
{
    if (m_phase == Phase::Done)
        return;
    m_phase = Phase::Done;
    m_closeTimer.stop();
    if (m_standLinked)
        m_engine->closeStand();
    if (m_options.writeLog && !m_options.oneOfMany)
        m_logStored = logline::appendDocument(QDir::currentPath(), QDate::currentDate(),
                                              logline::document(m_paragraphs));
    if (m_store) {
        QString error;
        if (!m_store->endRun(exitStatus(), &error) && m_storeError.isEmpty())
            m_storeError = error;
    }
    emit finished(exitStatus());
}

void JobRunner::setStore(std::unique_ptr<RecordStore> store)
{
    m_store = std::move(store);
}

JobRunner::Tally JobRunner::tally() const
{
    return {m_ok,
            m_failed,
            m_interrupted,
            m_failures,
            m_channelFailed,
            m_channelError,
            m_storeUnusable || !m_storeError.isEmpty() ? m_storeError : QString()};
}

QList<GroupResult> JobRunner::meterResults() const
{
    return m_run->results();
}

int JobRunner::exitStatus() const
{
    if (m_signal)
        return 128 + m_signal;
    if (m_channelFailed)
        return 3;
    if (m_storeUnusable || !m_storeError.isEmpty())
        return 4;
    return m_failed > 0 ? 1 : 0;
}

QStringList JobRunner::summary() const
{
    const QString me = QStringLiteral("meterjob: ");
    QStringList lines;
    if (m_storeUnusable) {
        lines << me + QStringLiteral("the store could not be opened: ") + m_storeError;
        return lines;
    }
    if (!m_storeError.isEmpty())
        lines << me + QStringLiteral("the store could not take every record: ") + m_storeError;
    if (m_channelFailed) {
        lines << me + QStringLiteral("the channel could not be opened: ") + m_channelError;
    } else {
        lines << me + QStringLiteral("%1 meter(s), %2 operation(s) each: %3 ok, %4 failed, %5 "
                                     "interrupted")
                          .arg(m_options.meters.size())
                          .arg(m_options.operations.size())
                          .arg(m_ok)
                          .arg(m_failed)
                          .arg(m_interrupted);
        for (const QString &f : m_failures)
            lines << me + f;
    }
    const qsizetype all = m_options.meters.size() * m_options.operations.size();
    return lines + summaryEnd(m_signal, all - m_ok - m_failed - m_interrupted,
                              m_options.writeLog && !m_logStored);
}

QStringList JobRunner::summaryEnd(int signalNumber, qsizetype undone, bool logLost)
{
    const QString me = QStringLiteral("meterjob: ");
    QStringList lines;
    if (signalNumber)
        lines << me + QStringLiteral("stopped by signal %1; %2 operation(s) left undone")
                          .arg(signalNumber)
                          .arg(undone);
    if (logLost)
        lines << me + QStringLiteral("the log could not be stored in log/") +
                     logline::fileName(QDate::currentDate());
    return lines;
}
