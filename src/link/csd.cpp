#include "link/csd.h"

#include "link/logcolours.h"

namespace {
const int kModemBaud = 9600;
} // namespace

csd::csd(QObject *parent) : comport(parent)
{
    answerTimer.setSingleShot(true);
    connect(&answerTimer, &QTimer::timeout, this, &csd::modem_timeot);
}

csd::~csd()
{
    answerTimer.stop();
    closeLine();
    emit debugMsg(tr("Порт закрыт"), logcolour::success, true, false);
}

void csd::log(const QString &text, const QColor &colour, bool newLine)
{
    emit debugMsg(text, colour, true, newLine);
}

bool csd::open()
{
    if (isOpen()) {
        emit connIsEstablished(false);
        return false;
    }
    switch (openLine(kModemBaud)) {
    case LineOpen::Failed:
        emit connIsEstablished(false);
        return false;
    case LineOpen::Misconfigured:
        shutdown();
        return false;
    case LineOpen::Opened:
        break;
    }
    m_answer.clear();
    modemState = 1;
    log(tr("Инициализация модема"), logcolour::notice, true);
    send(modemanswer::startCommand());
    answerTimer.start(answerMs);
    return true;
}

void csd::close()
{
    // A second logout while hanging up would only start the escape over again.
    if (!isOpen() || modemState == 8 || modemState == 9)
        return;
    answerTimer.stop();
    m_answer.clear();
    modemState = 8;
    log(tr("Завершение сесии GSM/CSD"), logcolour::notice, true);
    send(modemanswer::escapeCommand());
    answerTimer.start(answerMs);
}

void csd::send(const QByteArray &command)
{
    write(command.constData(), int(command.size()));
    log(QStringLiteral("TX: ") + modemanswer::logText(command), logcolour::info);
}

void csd::packetReceived(const QByteArray &packet)
{
    if (modemState != 7)
        log(QStringLiteral("RX: ") + modemanswer::logText(packet), logcolour::received);
    m_answer.append(packet);
    proceed();
}

void csd::proceed()
{
    const modemanswer::Settings settings{pin.trimmed(), phoneNumber.trimmed(), pinEnabled};
    while (!m_answer.isEmpty()) {
        const modemanswer::Step step = modemanswer::judge(modemState, m_answer, settings);
        const QByteArray used = m_answer.left(step.consumed);
        m_answer.remove(0, step.consumed);
        switch (step.action) {
        case modemanswer::Action::NeedMore:
            return;
        case modemanswer::Action::Next:
            answerTimer.stop();
            if (!step.message.isEmpty())
                log(step.message, logcolour::notice);
            modemState = step.nextState;
            if (!step.command.isEmpty())
                send(step.command);
            answerTimer.start(step.waitsConnect ? connectMs : answerMs);
            break;
        case modemanswer::Action::Connected:
            answerTimer.stop();
            modemState = 7;
            m_answer.clear();
            emit connIsEstablished(true);
            return;
        case modemanswer::Action::Report:
            log(modemanswer::logText(used), logcolour::received);
            break;
        case modemanswer::Action::Ignore:
            break;
        case modemanswer::Action::Data:
            emit receivePaket(used);
            break;
        case modemanswer::Action::Fail:
            answerTimer.stop();
            if (step.showReceived)
                log(modemanswer::logText(used), logcolour::received);
            log(step.message, logcolour::error);
            if (step.manualHangUp)
                log(tr("<strong>Внимание! Требуется ручное завершение вызова на модеме!</strong>"),
                    logcolour::error, true);
            shutdown();
            return;
        case modemanswer::Action::Done:
            shutdown();
            return;
        }
    }
}

void csd::modem_timeot()
{
    answerTimer.stop();
    if (!isOpen())
        return;
    log(tr("Ошибка: превышен интервал времени ожидания ответа от модема"), logcolour::error, true);
    if (modemState == 8 || modemState == 9)
        log(tr("<strong>Внимание! Требуется ручное завершение вызова на модеме!</strong>"),
            logcolour::error, true);
    shutdown();
}

void csd::lineFailed()
{
    shutdown();
}

void csd::shutdown()
{
    answerTimer.stop();
    modemState = 0;
    m_answer.clear();
    closeLine();
    log(tr("Порт закрыт"), logcolour::success);
    emit connIsEstablished(false);
}
