// Request batches: building them, handing them to the engine, and routing each finished batch
// to the decoder of its kind.
#include "core/commandtext.h"
#include "config/controlpaneldialog.h"
#include "core/requestkinds.h"
#include "link/logcolours.h"
#include "meters/devicelistitem.h"

QString ControlPanelDialog::sessionOpenCommand() const
{
    const bool own = m_currentItem && !m_currentItem->record().useStdPwd;
    return commandtext::sessionOpen(m_accessLevel,
                                    own ? m_currentItem->record().password : m_password);
}

void ControlPanelDialog::allocateBatch(int n)
{
    m_commandBatch.assign(size_t(n), QString());
    m_dataBatch.assign(size_t(n), QByteArray());
}

QWidget *ControlPanelDialog::frameOf(int kind) const
{
    const requestkinds::KindInfo *info = requestkinds::find(kind);
    return info && info->frame ? widget(info->frame) : nullptr;
}

void ControlPanelDialog::enableAllFrames()
{
    for (int kind = 0; kind <= requestkinds::LastKind; ++kind)
        if (QWidget *frame = frameOf(kind))
            frame->setEnabled(true);
}

bool ControlPanelDialog::sendKind(int kind)
{
    return sendBatch(kind, requestkinds::fixedCommands(kind));
}

bool ControlPanelDialog::sendBatch(int kind, const QStringList &commands, const QString &title,
                                   const QColor &titleColour)
{
    const requestkinds::KindInfo *info = requestkinds::find(kind);
    // The engine refuses a batch without a meter or commands and never reports it: the frame
    // would stay disabled.
    if (!info || !m_currentItem || commands.isEmpty())
        return false;
    if (m_batchRunning) {
        // The engine still writes into the arrays of the running batch.
        emit log(tr("Ошибка: обмен со счетчиком уже идет, новый запрос отклонен"), logcolour::error,
                 true, false);
        return false;
    }
    QWidget *frame = frameOf(kind);
    if (frame)
        frame->setEnabled(false);
    const int first = info->followUp ? 0 : 1;
    const int n = int(commands.size()) + first;
    allocateBatch(n);
    if (first)
        m_commandBatch[0] = sessionOpenCommand();
    for (int i = 0; i < commands.size(); ++i)
        m_commandBatch[size_t(i + first)] = commands[i];

    const QString text = title.isEmpty() && info->title ? tr(info->title) : title;
    if (!text.isEmpty())
        emit log(text, titleColour, true, true);
    m_batchRunning = true;
    m_batchKind = kind;
    m_batchItem = m_currentItem;
    if (emit init_exchange_device(m_currentItem, kind, m_commandBatch.data(), m_dataBatch.data(), n,
                                  info->ackTimeOut))
        return true;
    // Refused (a meter search holds the engine): nothing will come back.
    m_batchRunning = false;
    if (frame)
        frame->setEnabled(true);
    return false;
}

void ControlPanelDialog::setDecoder(int kind, Decoder decoder)
{
    m_handlers.insert(kind, {[decoder](const QByteArray *replies, int count, int status) {
                                 decoder(replies, count);
                                 return status;
                             },
                             false});
}

void ControlPanelDialog::setCompletion(int kind, Completion completion)
{
    m_handlers.insert(kind, {std::move(completion), true});
}

void ControlPanelDialog::loadComplate(int type, QByteArray *buf, int len, int status)
{
    // Batches that others started on the engine are theirs to read.
    if (!m_batchRunning || type != m_batchKind || buf != m_dataBatch.data())
        return;
    m_batchRunning = false;
    const requestkinds::KindInfo *info = requestkinds::find(type);
    if (QWidget *frame = frameOf(type))
        frame->setEnabled(true);

    int passed = status;
    const Handler handler = m_handlers.value(type);
    if (handler.run && (status == 0 || handler.anyStatus)) {
        const int first = info->followUp ? 0 : 1;
        const int count = qMax(0, len - first);
        // A handler may start the next batch, which replaces these arrays: nothing of them is
        // read after it.
        passed = handler.run(count ? buf + first : nullptr, count, status);
    }
    if (info->group)
        groupReport(type, passed);
}
