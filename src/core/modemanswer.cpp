#include "core/modemanswer.h"

#include <QList>

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
        return fail("Ошибка разрыва соединения", consumed, true);
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
        }
        s.showReceived = true;
        s.consumed = all;
        return s;
    }
    qsizetype text = 0;
    while (text < bytes.size() && isLineEnd(bytes[text]))
        ++text;
    s.consumed = all;
    if (text == bytes.size()) {
        s.action = Action::Ignore;
        return s;
    }
    // No meter reply starts like these (its function byte would be 'C', 'O', 'G' or 'A'), so
    // holding such a start until the rest of the report comes costs no frame.
    const QByteArray start = bytes.mid(text);
    if (QByteArrayLiteral("+CREG: ").startsWith(start) ||
        QByteArrayLiteral("NO CARRIER").startsWith(start)) {
        s.consumed = 0;
        return s;
    }
    s.action = Action::Data;
    return s;
}

bool isOk(const QByteArray &text)
{
    return text.contains("OK") && !text.contains("ERROR");
}

} // namespace

Step judge(int state, const QByteArray &received, const Settings &settings)
{
    if (received.isEmpty())
        return Step();
    if (state == 7)
        return online(received);
    const int all = int(received.size());
    if (state < 1 || state > 9)
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
        return next(2,
                    settings.pinEnabled ? QByteArray("AT+CPIN=") + settings.pin + '\r'
                                        : QByteArray("AT+CPIN?\r"),
                    used);
    case 2:
        // A standard modem takes the right PIN with a bare "OK"; asked for the state, it must
        // say READY.
        if (!isOk(text) || (!settings.pinEnabled && !text.contains("READY")))
            break;
        return next(3, "AT+CREG=1\r", used);
    case 3:
        if (!isOk(text))
            break;
        return next(4, "AT+CREG?\r", used);
    case 4:
        if (!isOk(text) || !text.contains("1,1"))
            break;
        return next(5, QByteArray("ATD") + settings.phoneNumber + '\r', used);
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
            Step s;
            s.action = Action::Connected;
            s.nextState = 7;
            // Nothing was sent through the call yet: whatever followed CONNECT is no reply.
            s.consumed = all;
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
        {
            Step s;
            s.action = Action::Done;
            s.consumed = used;
            return s;
        }
    }
    return failure(state, used);
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
