#include "metersim/faultplan.h"

#include "metersim/textnumber.h"

#include <QRegularExpression>
#include <QStringList>

namespace {
const int kDefaultLateMs = 3000;
const int kDefaultSplitMs = 100;
const int kDefaultErrorCode = 4;
const int kMaxReplyBytes = 64;
} // namespace

FaultPlan::FaultPlan(quint32 seed) : m_random(seed) {}

bool FaultPlan::parse(const QString &text, Fault *fault, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("bad fault \"%1\": %2").arg(text, why);
        return false;
    };
    Fault f;
    const int at = text.indexOf(QLatin1Char('@'));
    const QString head = at < 0 ? text : text.left(at);
    const int colon = head.indexOf(QLatin1Char(':'));
    const QString kind = (colon < 0 ? head : head.left(colon)).trimmed();
    const QString argument = colon < 0 ? QString() : head.mid(colon + 1).trimmed();

    struct KindName
    {
        const char *name;
        Kind kind;
        int defaultArgument;
        int maxArgument;
    };
    static const KindName kinds[] = {
        {"drop", Drop, 0, -1},
        {"crc", Crc, 0, -1},
        {"echo", Echo, 0, -1},
        {"late", Late, kDefaultLateMs, 600000},
        {"stale", Stale, kDefaultLateMs, 600000},
        {"split", Split, kDefaultSplitMs, 600000},
        {"error", Error, kDefaultErrorCode, 255},
        {"reply", Reply, 0, -1}, // its argument is the payload, read below
    };
    const KindName *found = nullptr;
    for (const KindName &k : kinds)
        if (kind == QLatin1String(k.name))
            found = &k;
    if (!found)
        return fail(QStringLiteral("unknown kind \"%1\"").arg(kind));
    f.kind = found->kind;
    f.argument = found->defaultArgument;
    if (found->kind == Reply) {
        static const QRegularExpression hexBytes(QStringLiteral("^([0-9A-Fa-f]{2})+$"));
        if (!hexBytes.match(argument).hasMatch() || argument.size() / 2 > kMaxReplyBytes)
            return fail(
                QStringLiteral("reply takes 1..%1 bytes as hex digits").arg(kMaxReplyBytes));
        f.payload = QByteArray::fromHex(argument.toLatin1());
    } else if (!argument.isEmpty()) {
        if (found->maxArgument < 0)
            return fail(QStringLiteral("%1 takes no argument").arg(kind));
        if (!textnumber::toBounded(argument, 10, 0, found->maxArgument, &f.argument))
            return fail(QStringLiteral("argument must be 0..%1").arg(found->maxArgument));
    }

    const QStringList scopes =
        at < 0 ? QStringList() : text.mid(at + 1).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString scope : scopes) {
        scope = scope.trimmed();
        bool ok = true;
        if (scope == QLatin1String("all"))
            continue;
        if (scope.startsWith(QLatin1String("fn=")))
            ok = textnumber::toBounded(scope.mid(3), 16, 0, 255, &f.function);
        else if (scope.startsWith(QLatin1String("obj=")))
            ok = textnumber::toBounded(scope.mid(4), 16, 0, 255, &f.object);
        else if (scope.startsWith(QLatin1String("addr=")))
            ok = textnumber::toBounded(scope.mid(5), 10, 0, 255, &f.address);
        else if (scope.startsWith(QLatin1String("count=")))
            ok = textnumber::toBounded(scope.mid(6), 10, 1, 1 << 30, &f.count);
        else if (scope.endsWith(QLatin1Char('%')))
            ok = textnumber::toBounded(scope.chopped(1), 10, 0, 100, &f.percent);
        else
            return fail(QStringLiteral("unknown scope \"%1\"").arg(scope));
        if (!ok)
            return fail(QStringLiteral("bad scope \"%1\"").arg(scope));
    }
    *fault = f;
    return true;
}

QString FaultPlan::help()
{
    return QStringLiteral(
        "A fault (FAULT of --fault and of the control line \"fault FAULT\"):\n"
        "  KIND[:ARG][@SCOPE[,SCOPE...]]\n"
        "  drop          the request is lost (the meter does not act on it, no reply)\n"
        "  crc           the reply comes with a broken CRC\n"
        "  echo          the request comes back instead of a reply (the meter does not act)\n"
        "  late[:MS]     the reply comes MS ms late (default 3000); later replies wait for it\n"
        "  stale[:MS]    the reply comes MS ms late (default 3000) on its own: the replies to\n"
        "                requests after it do not wait, so it may come after them\n"
        "  split[:MS]    the reply comes in two parts, MS ms apart (default 100)\n"
        "  error[:CODE]  the meter refuses with error CODE (default 4), without acting\n"
        "  reply:HEX     the meter acts; the reply HEX (function, object, data) comes back\n"
        "                instead of its own, with the request's address and a good CRC\n"
        "  scopes: all (default), fn=HH, obj=HH, addr=N (the meter at address N, decimal),\n"
        "          N% (that share of the frames, at random),\n"
        "          count=N (only the first N frames in scope)\n"
        "  Faults touch only frames that a meter would answer. The first fault that takes a\n"
        "  frame applies.\n");
}

void FaultPlan::add(const Fault &fault)
{
    m_faults.append({fault, 0});
}

void FaultPlan::clear()
{
    m_faults.clear();
}

std::optional<FaultPlan::Fault> FaultPlan::pick(int function, int object, int address)
{
    for (Entry &e : m_faults) {
        const Fault &f = e.fault;
        if ((f.function >= 0 && f.function != function) || (f.object >= 0 && f.object != object))
            continue;
        if (f.address >= 0 && f.address != address)
            continue;
        if (f.count >= 0 && e.used >= f.count)
            continue;
        if (f.percent < 100 && int(m_random.bounded(100)) >= f.percent)
            continue;
        ++e.used;
        return f;
    }
    return std::nullopt;
}
