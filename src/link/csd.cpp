#include "link/csd.h"

#include "link/logcolours.h"

#include <algorithm>
#include <utility>

namespace {
const int kModemBaud = 9600;
// 8 data bits, no parity, two stop bits.
const int kBitsPerByte = 11;

const char kManualHangUp[] =
    "<strong>Внимание! Требуется ручное завершение вызова на модеме!</strong>";
} // namespace

csd::csd(QObject *parent) : comport(parent)
{
    answerTimer.setSingleShot(true);
    connect(&answerTimer, &QTimer::timeout, this, &csd::modem_timeot);
    m_pauseTimer.setSingleShot(true);
    connect(&m_pauseTimer, &QTimer::timeout, this, &csd::pauseOver);
    m_gapTimer.setSingleShot(true);
    m_gapTimer.setInterval(kOnlineGapMs);
    connect(&m_gapTimer, &QTimer::timeout, this, &csd::lineQuiet);
    m_clock.start();
}

csd::~csd()
{
    answerTimer.stop();
    m_pauseTimer.stop();
    m_gapTimer.stop();
    closeLine();
    emit debugMsg(tr("Порт закрыт"), logcolour::success, true, false);
}

void csd::log(const QString &text, const QColor &colour, bool newLine)
{
    emit debugMsg(text, colour, true, newLine);
}

bool csd::closing() const
{
    return isOpen() && (modemState == 8 || modemState == 9 || modemState == 11);
}

bool csd::callMayBeUp() const
{
    return isOpen() && modemState >= 5 && modemState != 10;
}

bool csd::open()
{
    if (isOpen()) {
        emit connIsEstablished(false);
        return false;
    }
    switch (openLine(kModemBaud, true)) {
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
    m_searching.invalidate();
    modemState = 1;
    log(tr("Инициализация модема"), logcolour::notice, true);
    send(modemanswer::startCommand());
    answerTimer.start(answerMs);
    return true;
}

void csd::close()
{
    // A second logout while the call is being ended would only start that over again.
    if (!isOpen() || closing())
        return;
    log(tr("Завершение сесии GSM/CSD"), logcolour::notice, true);
    if (modemState == 7)
        leaveCall();
    else if (modemState == 5 || modemState == 6)
        abortDial();
    else
        shutdown(); // nothing dialled yet: nothing to hang up
}

int csd::write(const char *data, int len)
{
    // Meter frames only through the call, and never into the silence around the escape.
    if (modemState != 7)
        return -1;
    return writeLine(data, len);
}

int csd::writeLine(const char *data, int len)
{
    const int written = comport::write(data, len);
    if (written > 0) {
        const qint64 wireMs = (qint64(written) * kBitsPerByte * 1000 + kModemBaud - 1) / kModemBaud;
        m_lineFreeAt = std::max(m_lineFreeAt, sinceStart()) + wireMs;
    }
    return written;
}

void csd::send(const QByteArray &command)
{
    writeLine(command.constData(), int(command.size()));
    log(QStringLiteral("TX: ") + modemanswer::logText(command), logcolour::info);
}

void csd::packetReceived(const QByteArray &packet)
{
    if (modemState != 7)
        log(QStringLiteral("RX: ") + modemanswer::logText(packet), logcolour::received);
    if (m_pause == Pause::Escape || m_pause == Pause::HangUp) {
        // Late bytes of the call, not an answer; unless the far side hangs up meanwhile.
        if (m_pause == Pause::Escape && packet.contains("NO CARRIER")) {
            log(tr("Соединение разорвано удаленным узлом"), logcolour::error);
            shutdown();
        }
        return;
    }
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
            if (modemState == 7)
                m_gapTimer.start();
            return;
        case modemanswer::Action::Next:
            answerTimer.stop();
            if (!step.message.isEmpty())
                log(step.message, logcolour::notice);
            if (step.nextState == 8) {
                leaveCall();
                return;
            }
            modemState = step.nextState;
            if (modemState == 9) {
                // "ATH" only after the guard time that follows "+++".
                m_pause = Pause::HangUp;
                m_pauseTimer.start(int(std::max<qint64>(0, m_escapeAt + kGuardMs - sinceStart())));
                return;
            }
            if (!step.command.isEmpty())
                send(step.command);
            answerTimer.start(step.waitsConnect ? connectMs : answerMs);
            break;
        case modemanswer::Action::Again:
            answerTimer.stop();
            if (!asksAgain(step))
                return;
            break;
        case modemanswer::Action::Connected:
            answerTimer.stop();
            modemState = 7;
            m_answer.clear();
            emit connIsEstablished(true);
            return;
        case modemanswer::Action::Report:
            m_gapTimer.stop();
            log(modemanswer::logText(used), logcolour::received);
            break;
        case modemanswer::Action::Ignore:
            break;
        case modemanswer::Action::Data:
            m_gapTimer.stop();
            emit receivePaket(used);
            break;
        case modemanswer::Action::Fail:
            answerTimer.stop();
            m_gapTimer.stop();
            if (step.showReceived)
                log(modemanswer::logText(used), logcolour::received);
            log(step.message, logcolour::error);
            if (step.manualHangUp)
                log(tr(kManualHangUp), logcolour::error, true);
            if (step.callUp) {
                log(tr("Завершение сесии GSM/CSD"), logcolour::notice, true);
                leaveCall();
            } else {
                shutdown();
            }
            return;
        case modemanswer::Action::Done:
            shutdown();
            return;
        }
    }
}

// False when the modem has searched the network for too long: the dialogue is over.
bool csd::asksAgain(const modemanswer::Step &step)
{
    if (!m_searching.isValid()) {
        m_searching.start();
        log(step.message, logcolour::notice);
    } else if (m_searching.elapsed() + kRegistrationPollMs > kRegistrationLimitMs) {
        log(tr("Ошибка: регистрация в сети недоступна"), logcolour::error);
        shutdown();
        return false;
    }
    // Reports that come during the pause belong to the next answer.
    m_pause = Pause::AskRegistration;
    m_pauseTimer.start(kRegistrationPollMs);
    return true;
}

void csd::leaveCall()
{
    answerTimer.stop();
    m_gapTimer.stop();
    m_answer.clear();
    modemState = 8;
    m_pause = Pause::Escape;
    m_pauseTimer.start(int(std::max<qint64>(0, m_lineFreeAt + kGuardMs - sinceStart())));
}

void csd::abortDial()
{
    answerTimer.stop();
    m_answer.clear();
    modemState = 11;
    log(tr("Отмена набора номера"), logcolour::notice);
    send(modemanswer::abortCommand());
    answerTimer.start(answerMs);
}

void csd::pauseOver()
{
    const Pause pause = std::exchange(m_pause, Pause::None);
    if (!isOpen())
        return;
    switch (pause) {
    case Pause::Escape:
        m_answer.clear();
        send(modemanswer::escapeCommand());
        m_escapeAt = sinceStart();
        break;
    case Pause::HangUp:
        m_answer.clear();
        send(modemanswer::hangUpCommand());
        break;
    case Pause::AskRegistration:
        send(QByteArrayLiteral("AT+CREG?\r"));
        break;
    case Pause::None:
        return;
    }
    answerTimer.start(answerMs);
}

void csd::lineQuiet()
{
    if (modemState != 7)
        return;
    const modemanswer::Step step = modemanswer::quiet(m_answer);
    const QByteArray gathered = std::exchange(m_answer, {});
    if (step.action == modemanswer::Action::Data)
        emit receivePaket(gathered);
}

void csd::modem_timeot()
{
    answerTimer.stop();
    if (!isOpen())
        return;
    log(tr("Ошибка: превышен интервал времени ожидания ответа от модема"), logcolour::error, true);
    if (modemState == 5 || modemState == 6) {
        // The dial may still be running: it is stopped before the port closes.
        abortDial();
        return;
    }
    if (modemState == 8 || modemState == 9 || modemState == 11)
        log(tr(kManualHangUp), logcolour::error, true);
    shutdown();
}

void csd::lineFailed()
{
    // Nothing can reach the modem any more.
    if (callMayBeUp())
        log(tr(kManualHangUp), logcolour::error, true);
    shutdown();
}

void csd::shutdown()
{
    answerTimer.stop();
    m_pauseTimer.stop();
    m_gapTimer.stop();
    m_pause = Pause::None;
    m_searching.invalidate();
    modemState = 0;
    m_answer.clear();
    closeLine();
    log(tr("Порт закрыт"), logcolour::success);
    emit connIsEstablished(false);
}
