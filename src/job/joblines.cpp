#include "job/joblines.h"

#include "core/logline.h"
#include "job/recordstore.h"
#include "link/logcolours.h"

#include <QDate>
#include <QDir>

JobLines::JobLines(const JobOptions &options, QObject *parent) : QObject(parent), m_options(options)
{
    if (many()) {
        m_lines.resize(m_options.lines.size());
        for (const JobLine &line : std::as_const(m_options.lines))
            m_meters += line.meters.size();
        return;
    }
    m_single = new JobRunner(options, this);
    connect(m_single, &JobRunner::record, this, &JobLines::record);
    connect(m_single, &JobRunner::progress, this, &JobLines::progress);
    connect(m_single, &JobRunner::finished, this, &JobLines::finished);
}

JobLines::~JobLines() = default;

void JobLines::start()
{
    if (m_single) {
        m_single->start();
        return;
    }
    if (m_finished || m_signal || m_next > 0)
        return;
    if (m_options.store) {
        // Every line's run goes through this one connection: a database allows only so many.
        m_store = std::make_unique<RecordStore>();
        if (!m_store->open(*m_options.store, &m_storeError)) {
            m_store.reset();
            m_storeUnusable = true;
            finish();
            return;
        }
    }
    progressText();
    startLines();
}

void JobLines::startLines()
{
    const int limit = m_options.parallel > 0 ? m_options.parallel : int(m_lines.size());
    while (!m_signal && m_running < limit && m_next < m_lines.size()) {
        const int index = m_next++;
        auto *runner = new JobRunner(joboptions::lineJob(m_options, index), this);
        m_lines[index].runner = runner;
        if (m_store)
            runner->setStore(m_store->sibling());
        connect(runner, &JobRunner::record, this, [this, index](const JobRecord &r) {
            if (r.status == JobRecord::Status::Failed)
                m_failedMeters.insert(QString::number(index) + QLatin1Char('/') +
                                      jobrecord::meterName(r.meter));
            emit record(r);
            progressText();
        });
        connect(runner, &JobRunner::meterFinished, this, [this, index] {
            ++m_lines[index].metersDone;
            ++m_metersDone;
            progressText();
        });
        // Not from inside the line's own report of its end: it is deleted here.
        connect(
            runner, &JobRunner::finished, this, [this, index] { lineFinished(index); },
            Qt::QueuedConnection);
        ++m_running;
        runner->start();
    }
    if (m_running == 0)
        finish();
}

void JobLines::lineFinished(int index)
{
    Line &line = m_lines[index];
    if (line.done)
        return;
    line.done = true;
    line.tally = line.runner->tally();
    // The meters a stopped line or a failed channel never reached are done with, too.
    const int meters = int(m_options.lines[index].meters.size());
    m_metersDone += meters - line.metersDone;
    line.metersDone = meters;
    ++m_linesDone;
    if (m_options.writeLog)
        storeLog(index, line.runner->paragraphs());
    line.runner->deleteLater();
    line.runner = nullptr;
    --m_running;
    progressText();
    startLines();
}

void JobLines::storeLog(int index, const QStringList &paragraphs)
{
    // A line's paragraphs stay together, in their order, under the line's name.
    const QColor &grey = logcolour::info;
    const QString heading =
        logline::span(tr("<strong>Линия %1</strong>")
                          .arg(joboptions::channelText(m_options.lines[index].session,
                                                       m_options.lines[index].standPort)
                                   .toHtmlEscaped()),
                      logline::colourHex(grey.red(), grey.green(), grey.blue()));
    if (!logline::appendDocument(QDir::currentPath(), QDate::currentDate(),
                                 logline::document(QStringList{heading} + paragraphs)))
        m_logStored = false;
}

void JobLines::stop(int signalNumber)
{
    if (m_single) {
        m_single->stop(signalNumber);
        return;
    }
    if (!m_signal)
        m_signal = signalNumber;
    // A second stop goes through as well: the lines then wait for nothing.
    for (const Line &line : std::as_const(m_lines))
        if (line.runner && !line.done)
            line.runner->stop(signalNumber);
    if (m_running == 0)
        finish();
}

void JobLines::progressText()
{
    emit progress(QStringLiteral("lines %1/%2 done, meters %3/%4 done, %5 failed")
                      .arg(m_linesDone)
                      .arg(m_lines.size())
                      .arg(m_metersDone)
                      .arg(m_meters)
                      .arg(m_failedMeters.size()));
}

void JobLines::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_store.reset();
    emit finished(exitStatus());
}

int JobLines::exitStatus() const
{
    if (m_single)
        return m_single->exitStatus();
    if (m_storeUnusable)
        return 4;
    if (m_signal)
        return 128 + m_signal;
    bool anyOpened = false;
    bool storeFailed = false;
    bool failed = false;
    for (const Line &line : m_lines) {
        anyOpened = anyOpened || !line.done || !line.tally.channelFailed;
        storeFailed = storeFailed || !line.tally.storeError.isEmpty();
        failed = failed || line.tally.failed > 0;
    }
    if (!anyOpened)
        return 3;
    if (storeFailed)
        return 4;
    return failed ? 1 : 0;
}

QStringList JobLines::summary() const
{
    if (m_single)
        return m_single->summary();
    const QString me = QStringLiteral("meterjob: ");
    QStringList lines;
    if (m_storeUnusable) {
        lines << me + QStringLiteral("the store could not be opened: ") + m_storeError;
        return lines;
    }
    int ok = 0;
    int failed = 0;
    int interrupted = 0;
    qsizetype meters = 0;
    QStringList failures;
    QString storeError;
    for (int i = 0; i < m_lines.size(); ++i) {
        const JobRunner::Tally &t = m_lines[i].tally;
        const QString name =
            joboptions::channelText(m_options.lines[i].session, m_options.lines[i].standPort);
        ok += t.ok;
        failed += t.failed;
        interrupted += t.interrupted;
        meters += m_options.lines[i].meters.size();
        if (storeError.isEmpty())
            storeError = t.storeError;
        if (t.channelFailed)
            failures << me + name + QStringLiteral(": the channel could not be opened: ") +
                            t.channelError;
        for (const QString &f : t.failures)
            failures << me + name + QStringLiteral(": ") + f;
    }
    if (!storeError.isEmpty())
        lines << me + QStringLiteral("the store could not take every record: ") + storeError;
    lines << me + QStringLiteral("%1 line(s), %2 meter(s), %3 operation(s) each: %4 ok, %5 "
                                 "failed, %6 interrupted")
                      .arg(m_lines.size())
                      .arg(meters)
                      .arg(m_options.operations.size())
                      .arg(ok)
                      .arg(failed)
                      .arg(interrupted);
    lines << failures;
    const qsizetype all = meters * m_options.operations.size();
    return lines + JobRunner::summaryEnd(m_signal, all - ok - failed - interrupted,
                                         m_options.writeLog && !m_logStored);
}
