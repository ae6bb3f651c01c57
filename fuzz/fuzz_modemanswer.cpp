// A modem's answer, cut into packets at random, against the AT dialogue's rules: the dialogue
// must decide the same whether the answer comes whole or in pieces, every decision must use up
// bytes (or the transport would spin), and nothing may be read or handed on beyond what came in.
// Byte 0 is the state (mod 12), byte 1 bit 0 the PIN flag and the rest of it the seed of the
// cuts; the rest is the answer. Online, what is left when the packets end goes through quiet().
#include "core/modemanswer.h"

#include <QList>

#include <cstddef>
#include <cstdint>

using modemanswer::Action;

namespace {

QList<int> cuts(const QByteArray &answer, unsigned seed)
{
    QList<int> ends;
    unsigned x = seed * 2654435761u + 1;
    for (int at = 0; at < answer.size();) {
        x = x * 1103515245u + 12345u;
        at = qMin<int>(int(answer.size()), at + 1 + int((x >> 16) % 16));
        ends << at;
    }
    return ends;
}

bool sameDecision(const modemanswer::Step &a, const modemanswer::Step &b)
{
    return a.action == b.action && a.nextState == b.nextState && a.command == b.command &&
           a.message == b.message && a.manualHangUp == b.manualHangUp &&
           a.waitsConnect == b.waitsConnect && a.showReceived == b.showReceived &&
           a.callUp == b.callUp;
}

// The transport's loop over the packets: what it would hand to the frame codec.
void drive(int state, const QByteArray &answer, const QList<int> &ends,
           const modemanswer::Settings &settings)
{
    QByteArray buffer;
    qsizetype handedOn = 0;
    int from = 0;
    for (const int end : ends) {
        buffer += answer.mid(from, end - from);
        from = end;
        while (!buffer.isEmpty()) {
            const modemanswer::Step step = modemanswer::judge(state, buffer, settings);
            if (step.consumed < 0 || step.consumed > buffer.size())
                __builtin_trap();
            if (step.action == Action::NeedMore) {
                if (step.consumed != 0)
                    __builtin_trap();
                break;
            }
            if (step.consumed == 0)
                __builtin_trap(); // a decision that uses nothing would be taken for ever
            if (step.action == Action::Data)
                handedOn += step.consumed;
            if (step.action == Action::Fail || step.action == Action::Done)
                return;
            buffer.remove(0, step.consumed);
            if (step.action == Action::Connected)
                buffer.clear();
            state = step.nextState;
        }
    }
    if (state == 7 && !buffer.isEmpty()) {
        // The line goes quiet: everything gathered is decided on.
        const modemanswer::Step step = modemanswer::quiet(buffer);
        if (step.consumed != buffer.size() ||
            (step.action != Action::Data && step.action != Action::Ignore))
            __builtin_trap();
        if (step.action == Action::Data)
            handedOn += step.consumed;
    }
    if (handedOn > answer.size())
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int state = data[0] % 12;
    const modemanswer::Settings settings{"0000", "89001234567", (data[1] & 1) != 0};
    const QByteArray answer(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));
    const QList<int> ends = cuts(answer, data[1] >> 1);

    drive(state, answer, ends, settings);
    (void)modemanswer::logText(answer);

    // Command states decide on whole lines: in pieces as at once.
    if (state == 0 || state == 7)
        return 0;
    const modemanswer::Step whole = modemanswer::judge(state, answer, settings);
    modemanswer::Step first;
    for (const int end : ends) {
        first = modemanswer::judge(state, answer.left(end), settings);
        if (first.action != Action::NeedMore)
            break;
    }
    if (!sameDecision(first, whole))
        __builtin_trap();
    // Only the LF of a CR LF pair may fall to the one that saw it. A failure or the end of the
    // dialogue takes whatever has come, and nothing is read after it.
    const bool sameUse = first.consumed == whole.consumed ||
                         (first.consumed + 1 == whole.consumed && answer[first.consumed] == '\n');
    const bool goesOn = whole.action != Action::Connected && whole.action != Action::Fail &&
                        whole.action != Action::Done;
    if (goesOn && !sameUse)
        __builtin_trap();
    return 0;
}
