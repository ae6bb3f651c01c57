#include "core/modemanswer.h"

#include "core/wireframe.h"

#include <QList>

#include <algorithm>

namespace modemanswer {

namespace {

const char kMachineError[] = "Ошибка конечного автомат модуля GSM/CSD";

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

bool isFinal(const QByteArray &line)
{
    return line == "OK" || line == "ERROR" || line == "BUSY" || line == "NO CARRIER" ||
           line == "NO ANSWER" || line == "NO DIALTONE" || line.startsWith("CONNECT") ||
           line.startsWith("+CME ERROR") || line.startsWith("+CMS ERROR");
}

bool isReport(const QByteArray &line)
{
    return line == "RING" || line.startsWith("+CREG:");
}

struct Answer
{
    bool complete = false;
    QByteArray text; // the answer's lines, reports left out, joined by LF
    int end = 0;     // just past the decisive line
};

// The answer's lines up to the first decisive one, within the first kMaxAnswer bytes.
Answer gather(int state, const QByteArray &received)
{
    const int limit = int(qMin<qsizetype>(received.size(), kMaxAnswer));
    QList<QByteArray> lines;
    QByteArray lastCreg;
    int pos = 0;
    while (pos < limit) {
        int eol = pos;
        while (eol < limit && !isLineEnd(received[eol]))
            ++eol;
        if (eol >= limit)
            break; // the last line has not ended yet
        const QByteArray line = received.mid(pos, eol - pos).trimmed();
        pos = eol + 1;
        // CR LF is one line end.
        if (received[eol] == '\r' && pos < limit && received[pos] == '\n')
            ++pos;
        if (line.isEmpty())
            continue;
        if (state == 4 && line.startsWith("+CREG:")) {
            // The answer to "AT+CREG?" is the report right before its final line; any earlier
            // one came unasked.
            lastCreg = line;
            continue;
        }
        // After "ATH" a modem may first report the end of the call it was told to end.
        if (isReport(line) || (state == 9 && line == "NO CARRIER"))
            continue;
        lines << line;
        if (isFinal(line) || (state == 5 && line.contains("ATD"))) {
            if (!lastCreg.isEmpty())
                lines.insert(lines.size() - 1, lastCreg);
            return {true, lines.join('\n'), pos};
        }
    }
    return {false, QByteArray(), pos};
}

Step fail(const char *message, int consumed, bool manualHangUp = false)
{
    Step s;
    s.action = Action::Fail;
    s.message = QString::fromUtf8(message);
    s.manualHangUp = manualHangUp;
    s.consumed = consumed;
    return s;
}

Step next(int state, const QByteArray &command, int consumed)
{
    Step s;
    s.action = Action::Next;
    s.nextState = state;
    s.command = command;
    s.consumed = consumed;
    return s;
}

// The "otherwise" outcome of each command state.
Step failure(int state, int consumed)
{
    switch (state) {
    case 1:
        return fail("Ошибка: некорректный ответ", consumed);
    case 2:
        return fail("Ошибка SIM-карты", consumed);
    case 3:
        return fail("Ошибка модема при регистрации в сети", consumed);
    case 4:
        return fail("Ошибка: регистрация в сети недоступна", consumed);
    case 5:
        return fail("Ошибка набора номера", consumed);
    case 6:
        return fail("Ошибка соединения", consumed);
    case 8:
        return fail("Ошибка возврата в режим управления", consumed, true);
    case 9:
    case 11:
        return fail("Ошибка разрыва соединения", consumed, true);
    case 10:
        return fail("Ошибка SIM-карты", consumed);
    default:
        return fail(kMachineError, consumed);
    }
}

Step online(const QByteArray &bytes)
{
    const int all = int(bytes.size());
    Step s;
    s.nextState = 7;
    if (bytes.contains("NO CARRIER")) {
        s = fail("Соединение разорвано удаленным узлом", all);
        s.showReceived = true;
        return s;
    }
    const qsizetype report = bytes.lastIndexOf("+CREG: ");
    if (report >= 0) {
        bool ended = false;
        for (qsizetype i = report; i < bytes.size() && !ended; ++i)
            ended = isLineEnd(bytes[i]);
        if (!ended && bytes.size() < kMaxAnswer)
            return s; // the report goes on in the next packet
        if (bytes.contains("+CREG: 1")) {
            s.action = Action::Report;
        } else {
            s = fail("Проблема связи модема с оператором", all);
            s.nextState = 7;
            // The call may outlast the network's report.
            s.callUp = true;
        }
        s.showReceived = true;
        s.consumed = all;
        return s;
    }
    // A reply that a fade in the radio link has paused waits for its rest.
    if (wireframe::crcMatches(bytes) || all >= kMaxGathered) {
        s.action = Action::Data;
        s.consumed = all;
    }
    return s;
}

bool isOk(const QByteArray &text)
{
    return text.contains("OK") && !text.contains("ERROR");
}

// The <stat> of the "+CREG: <n>,<stat>" line of an answer: 0 not registered, 1 home, 2
// searching, ...; -1 without such a line.
int registrationStat(const QByteArray &text)
{
    for (const QByteArray &line : text.split('\n')) {
        if (!line.startsWith("+CREG:"))
            continue;
        const QList<QByteArray> fields = line.mid(6).split(',');
        bool ok = false;
        const int stat = fields.size() >= 2 ? fields[1].trimmed().toInt(&ok) : -1;
        return ok ? stat : -1;
    }
    return -1;
}

Step simple(Action action, int consumed)
{
    Step s;
    s.action = action;
    s.consumed = consumed;
    return s;
}

} // namespace

Step judge(int state, const QByteArray &received, const Settings &settings)
{
    if (received.isEmpty())
        return Step();
    if (state == 7)
        return online(received);
    const int all = int(received.size());
    if (state < 1 || state > 11)
        return fail(kMachineError, all);

    const Answer answer = gather(state, received);
    if (!answer.complete)
        return all >= kMaxAnswer ? failure(state, all) : Step();
    const QByteArray &text = answer.text;
    const int used = answer.end;

    switch (state) {
    case 1:
        if (!isOk(text))
            break;
        return next(2, "AT+CPIN?\r", used);
    case 2:
        if (isOk(text) && text.contains("READY"))
            return next(3, "AT+CREG=1\r", used);
        // The PIN only when the SIM waits for it: an unlocked one answers "+CME ERROR: 3".
        if (settings.pinEnabled && isOk(text) && text.split('\n').contains("+CPIN: SIM PIN"))
            return next(10, QByteArray("AT+CPIN=") + settings.pin + '\r', used);
        break;
    case 10:
        // A standard modem takes the right PIN with a bare "OK".
        if (!isOk(text))
            break;
        return next(3, "AT+CREG=1\r", used);
    case 3:
        if (!isOk(text))
            break;
        return next(4, "AT+CREG?\r", used);
    case 4: {
        if (!isOk(text))
            break;
        if (text.contains("1,1"))
            return next(5, QByteArray("ATD") + settings.phoneNumber + '\r', used);
        const int stat = registrationStat(text);
        if (stat != 0 && stat != 2)
            break;
        // Normal for seconds after power-up or the PIN.
        Step s = next(4, "AT+CREG?\r", used);
        s.action = Action::Again;
        s.message = QString::fromUtf8("Ожидание регистрации в сети");
        return s;
    }
    case 5: {
        if (!text.contains("ATD") || text.contains("ERROR"))
            break;
        Step s = next(6, QByteArray(), used);
        s.waitsConnect = true;
        s.message = QString::fromUtf8("Ожидание подтверждения установки соединения (до 80 сек)");
        return s;
    }
    case 6: {
        if (text.contains("CONNECT") && !text.contains("ERROR")) {
            Step s = simple(Action::Connected, all);
            s.nextState = 7;
            // Nothing was sent through the call yet: whatever followed CONNECT is no reply.
            return s;
        }
        if (text.contains("BUSY"))
            return fail("Абонент занят", used);
        if (text.contains("NO CARRIER"))
            return fail("Ошибка: нет ответа", used);
        break;
    }
    case 8:
        if (!isOk(text))
            break;
        return next(9, hangUpCommand(), used);
    case 9:
        if (!isOk(text))
            break;
        return simple(Action::Done, used);
    case 11:
        // The dial had got through after all: the call has to be left and hung up.
        if (text.contains("CONNECT") && !text.contains("ERROR"))
            return next(8, QByteArray(), used);
        return simple(Action::Done, used);
    }
    Step s = failure(state, used);
    // Without echo the dial's CONNECT comes in place of the echo: the call is up.
    s.callUp = state == 5 && text.contains("CONNECT");
    return s;
}

Step quiet(const QByteArray &received)
{
    if (received.isEmpty())
        return Step();
    const bool lineEndsOnly =
        std::all_of(received.cbegin(), received.cend(), [](char c) { return isLineEnd(c); });
    Step s = simple(lineEndsOnly ? Action::Ignore : Action::Data, int(received.size()));
    s.nextState = 7;
    return s;
}

QByteArray startCommand()
{
    return QByteArrayLiteral("AT\r");
}

QByteArray escapeCommand()
{
    return QByteArrayLiteral("+++");
}

QByteArray hangUpCommand()
{
    return QByteArrayLiteral("ATH\r");
}

QByteArray abortCommand()
{
    return QByteArrayLiteral("AT\r");
}

QString logText(const QByteArray &bytes)
{
    QString text = QString::fromLatin1(bytes);
    for (QChar &c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != '\r' && u != '\n' && u != '\t') || u == 0x7f)
            c = QLatin1Char('.');
    }
    return text.toHtmlEscaped();
}

} // namespace modemanswer
