#include "config/configpage.h"

#include "core/csvtable.h"
#include "core/recorddecoders.h"
#include "core/requestkinds.h"
#include "meters/devicelistitem.h"
#include "widgets/readingtable.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

namespace {
struct NoGroup : GroupHost
{
    void work(int, const std::function<void()> &step) override { step(); }
    bool running() const override { return false; }
    int checkedCount() const override { return 0; }
    void mark(int) override {}
    void noteAddress(int) override {}
    void stopAll() override {}
    bool listMode() const override { return false; }
    QString listLine() const override { return QString(); }
    void appendListLine(const QString &) override {}
};
} // namespace

GroupHost *ConfigPage::group() const
{
    static NoGroup none;
    return m_group ? m_group : &none;
}

ConfigPage::ConfigPage(PageHost *host, QWidget *parent) : QWidget(parent), m_host(host) {}

QWidget *ConfigPage::control(const char *name) const
{
    return findChild<QWidget *>(QLatin1String(name));
}

void ConfigPage::setupTables()
{
    for (QTableView *table : findChildren<QTableView *>())
        readingtable::applyLook(table);
}

void ConfigPage::setReading(const QList<int> &kinds, std::function<void()> clear)
{
    m_readingKinds = QSet<int>(kinds.begin(), kinds.end());
    m_clearReading = std::move(clear);
    m_readingCaption = new QLabel(this);
    m_readingCaption->setObjectName(QStringLiteral("lbReadingOwner"));
    m_readingCaption->setTextFormat(Qt::PlainText);
    // One line's height whether it says something or not, so the tables do not jump.
    m_readingCaption->setMinimumHeight(m_readingCaption->fontMetrics().height());
    if (auto *box = qobject_cast<QBoxLayout *>(layout()))
        box->insertWidget(0, m_readingCaption);
}

deviceListItem *ConfigPage::readingOwner() const
{
    return m_readingOwner;
}

void ConfigPage::readingShown(deviceListItem *item)
{
    m_readingOwner = item;
    m_holdsReading = true;
    if (m_readingCaption)
        m_readingCaption->setText(item ? readingCaption(item->record(), QTime::currentTime())
                                       : QString());
}

void ConfigPage::clearReading()
{
    m_readingOwner = nullptr;
    m_holdsReading = false;
    if (m_clearReading)
        m_clearReading();
    if (m_readingCaption)
        m_readingCaption->clear();
}

QString readingCaption(const DeviceRecord &meter, const QTime &readAt)
{
    QStringList parts{ConfigPage::tr("Счетчик ") + QString::number(meter.address)};
    if (meter.standMode)
        parts << ConfigPage::tr("стенд ") + QString::number(meter.standAddr);
    if (meter.usesSerialNumber())
        parts << QString::fromLatin1(meter.serialNumber);
    parts << readAt.toString(QStringLiteral("hh:mm:ss"));
    return parts.join(QStringLiteral(", "));
}

void ConfigPage::route(int kind, QWidget *frame, Decoder decoder)
{
    Completion run;
    if (decoder)
        run = [decoder](const QList<QByteArray> &replies, int status) {
            decoder(replies);
            return status;
        };
    m_host->addRoute(kind, frame, std::move(run), false);
}

void ConfigPage::routeCompletion(int kind, QWidget *frame, Completion completion)
{
    m_host->addRoute(kind, frame, std::move(completion), true);
}

void ConfigPage::routeRecords(int kind, QWidget *frame, Decoder fill)
{
    routeCompletion(kind, frame, [this, fill](const QList<QByteArray> &replies, int status) {
        if (status == 0) {
            fill(replies);
            return status;
        }
        // What was read is shown, so that a long read cut short is not lost.
        const QList<QByteArray> read = records::answeredRecords(replies);
        fill(read);
        emit log(records::partialReadNotice(int(read.size()), int(replies.size())),
                 logcolour::notice, true, false);
        return status;
    });
}

void ConfigPage::applyAccessLevel(int level)
{
    setShown(m_levels.shown, true);
    if (level == 0)
        setShown(m_levels.userHidden, false);
    else if (level == 1)
        setShown(m_levels.administratorHidden, false);
}

void ConfigPage::setSeriesControls(QWidget *singlePhase, QWidget *threePhase)
{
    m_singlePhase = singlePhase;
    m_threePhase = threePhase;
    threePhase->hide();
}

void ConfigPage::applySeries(MeterSeries series)
{
    if (!m_singlePhase || series == MeterSeries::Unrecognised)
        return;
    const bool single = series == MeterSeries::SinglePhase;
    m_singlePhase->setVisible(single);
    m_threePhase->setVisible(!single);
}

void ConfigPage::setShown(const QStringList &names, bool shown)
{
    const QList<QLabel *> labels = findChildren<QLabel *>();
    for (const QString &name : names) {
        QWidget *c = findChild<QWidget *>(name);
        if (!c)
            continue;
        c->setVisible(shown);
        // A field's caption goes with it, so no label is left standing alone.
        for (QLabel *l : labels)
            if (l->buddy() == c)
                l->setVisible(shown);
    }
}

void ConfigPage::setMeterControlsEnabled(bool on)
{
    for (const QString &name : m_meterControls)
        setControlEnabled(findChild<QWidget *>(name), on);
}

void ConfigPage::setControlEnabled(QWidget *control, bool on)
{
    if (control)
        control->setEnabled(on && !m_unbuilt.contains(control));
}

void ConfigPage::lockUnbuilt()
{
    for (QPushButton *b : findChildren<QPushButton *>()) {
        if (m_wired.contains(b))
            continue;
        b->setEnabled(false);
        m_unbuilt.insert(b);
    }
}

bool ConfigPage::accepted(ReplyCheck check)
{
    if (check == ReplyCheck::Ok)
        return true;
    emit log(replycheck::errorText(check), logcolour::error, true, false);
    return false;
}

bool ConfigPage::sendKind(int kind)
{
    return m_host->sendBatch(kind, requestkinds::fixedCommands(kind));
}

void ConfigPage::sendBySeries(int singlePhaseKind, int threePhaseKind)
{
    switch (m_host->meterSeries()) {
    case MeterSeries::SinglePhase:
        sendKind(singlePhaseKind);
        break;
    case MeterSeries::ThreePhase:
        sendKind(threePhaseKind);
        break;
    default:
        break;
    }
}

bool ConfigPage::confirmDeletion(const QString &text)
{
    return m_host->confirm(tr("Внимание!"), text);
}

void ConfigPage::exportTable(const QTableView *table)
{
    const QString path = m_host->saveFileName(QStringLiteral("Export data"), QDir::currentPath(),
                                              QStringLiteral("CSV data files (*.csv)"));
    if (path.isEmpty())
        return;
    const QString text =
        csvtable::text(readingtable::headerTexts(table), readingtable::cellTexts(table));
    QString reason;
    if (!csvtable::write(path, text, &reason)) {
        emit log(tr("Ошибка записи файла"), logcolour::error, true, false);
        emit log(path + QStringLiteral(": ") + reason, logcolour::error, false, false);
        return;
    }
    emit log(tr("Экспорт данных в файл ") + path + tr(" завершен!"), logcolour::info, true, false);
}
