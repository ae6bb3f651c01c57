#include "job/joboptions.h"

#include "core/linesfile.h"
#include "core/meterlistfile.h"
#include "core/passwordtext.h"
#include "core/portpath.h"
#include "core/standframe.h"

#include <QCommandLineParser>
#include <QFile>
#include <QHash>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <iterator>

namespace joboptions {

namespace {

constexpr int kDefaultTcpPort = 14001;
constexpr int kArchiveRecords = 0x10000; // record numbers go out as two bytes
constexpr int kMaxHourShift = 23;
const int kBauds[] = {300, 600, 1200, 2400, 4800, 9600};

// Sets the reason a command line is refused; false, for `return fail(...)`.
bool fail(QString *error, const QString &message)
{
    *error = message;
    return false;
}

// Whole decimal number within min..max, or nothing.
std::optional<int> number(const QString &text, int min, int max)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (!ok || v < min || v > max)
        return std::nullopt;
    return v;
}

// "1,2,5-7": numbers and ranges within min..max, in the order written.
bool numberList(const QString &option, const QString &text, int min, int max, QList<int> *out,
                QString *error)
{
    for (const QString &item : text.split(QLatin1Char(','))) {
        const QStringList ends = item.split(QLatin1Char('-'));
        const std::optional<int> first = number(ends.value(0), min, max);
        const std::optional<int> last = ends.size() == 2 ? number(ends[1], min, max) : first;
        if (ends.size() > 2 || !first || !last || *last < *first)
            return fail(error, QStringLiteral("--%1 wants numbers %2..%3 and ranges like 1-5, "
                                              "not '%4'")
                                   .arg(option)
                                   .arg(min)
                                   .arg(max)
                                   .arg(item));
        for (int v = *first; v <= *last; ++v)
            *out << v;
    }
    return true;
}

// A serial number a meter can be reached by: 15 digits (after zero padding), not all zeros, and
// its last ten a number the four-byte address holds.
bool addressable(const QByteArray &serial)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{15}$"));
    if (!digits.match(QString::fromLatin1(serial)).hasMatch())
        return false;
    DeviceRecord r;
    r.serialNumber = serial;
    return r.usesSerialNumber() && r.serialAsNumber() != 0;
}

DeviceRecord serialMeter(const QByteArray &serial)
{
    DeviceRecord r;
    r.address = kLastAddress;
    r.version = QStringLiteral("-");
    r.serialNumber = serial;
    return r;
}

void addMeter(QList<DeviceRecord> *meters, const DeviceRecord &record)
{
    // The same meter twice would only be worked twice.
    for (const DeviceRecord &listed : std::as_const(*meters))
        if (record.duplicates(listed))
            return;
    meters->append(record);
}

bool accessLevel(const QString &text, int *level, QString *error)
{
    const QString t = text.toLower();
    if (t == QLatin1String("user") || t == QLatin1String("0"))
        *level = 0;
    else if (t == QLatin1String("admin") || t == QLatin1String("administrator") ||
             t == QLatin1String("1"))
        *level = 1;
    else if (t == QLatin1String("developer") || t == QLatin1String("dev") ||
             t == QLatin1String("2"))
        *level = 2;
    else
        return fail(error,
                    QStringLiteral("--level wants user, admin or developer, not '%1'").arg(text));
    return true;
}

bool passwordText(const QString &text, const QString &source, QByteArray *bytes, QString *error)
{
    // A cut or mangled password would only be refused by the meter.
    if (text.isEmpty() || text.size() > passwordtext::kBytes ||
        QString::fromLatin1(text.toLatin1()) != text)
        return fail(error, QStringLiteral("%1 wants 1 to 6 Latin-1 characters").arg(source));
    *bytes = passwordtext::toBytes(text);
    return true;
}

bool passwordHex(QString hex, const QString &source, QByteArray *bytes, QString *error)
{
    hex.remove(QLatin1Char(' '));
    static const QRegularExpression pairs(QStringLiteral("^[0-9A-Fa-f]{12}$"));
    if (!pairs.match(hex).hasMatch())
        return fail(error, QStringLiteral("%1 wants six hex bytes, like e1e1e1e1e1e1").arg(source));
    *bytes = QByteArray::fromHex(hex.toLatin1());
    return true;
}

bool pinCode(const QString &code, const QString &source, QByteArray *pin, QString *error)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{4,8}$"));
    if (!digits.match(code).hasMatch())
        return fail(error, QStringLiteral("%1 wants 4 to 8 digits").arg(source));
    *pin = code.toLatin1();
    return true;
}

// The secrets a job may be given out of sight of other users: a file, or the environment.
struct Secrets
{
    std::optional<QByteArray> password;
    std::optional<QByteArray> pin;
};

// A file with the password on its first line, or lines "password=TEXT", "password-hex=HEX"
// and "pin=CODE". Line ends and a trailing "\r" are not part of a value.
bool secretsFile(const QString &path, Secrets *out, QString *error)
{
    QFile file(path);
    // A password file is a few bytes: anything larger is not one.
    constexpr qint64 kMaxBytes = 4096;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxBytes)
        return fail(error, QStringLiteral("cannot read the password file %1: %2")
                               .arg(path, file.size() > kMaxBytes ? QStringLiteral("too large")
                                                                  : file.errorString()));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    const QString where = QStringLiteral("the password file ") + path;
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty())
            continue;
        QByteArray bytes;
        if (line.startsWith(QLatin1String("password="))) {
            if (!passwordText(line.mid(9), where, &bytes, error))
                return false;
            out->password = bytes;
        } else if (line.startsWith(QLatin1String("password-hex="))) {
            if (!passwordHex(line.mid(13), where, &bytes, error))
                return false;
            out->password = bytes;
        } else if (line.startsWith(QLatin1String("pin="))) {
            if (!pinCode(line.mid(4), where, &bytes, error))
                return false;
            out->pin = bytes;
        } else if (i == 0) {
            if (!passwordText(line, where, &bytes, error))
                return false;
            out->password = bytes;
        } else {
            // Never the line itself: it may be a secret.
            return fail(error, QStringLiteral("%1:%2: not password=, password-hex= or pin=")
                                   .arg(where)
                                   .arg(i + 1));
        }
    }
    if (!out->password && !out->pin)
        return fail(error, where + QStringLiteral(" holds no password"));
    return true;
}

bool password(const QCommandLineParser &p, QByteArray *bytes, QString *error)
{
    if (p.isSet(QStringLiteral("password")) && p.isSet(QStringLiteral("password-hex")))
        return fail(error, QStringLiteral("give the password once: --password or --password-hex"));
    if (p.isSet(QStringLiteral("password")))
        return passwordText(p.value(QStringLiteral("password")), QStringLiteral("--password"),
                            bytes, error);
    return passwordHex(p.value(QStringLiteral("password-hex")), QStringLiteral("--password-hex"),
                       bytes, error);
}

bool channel(const QCommandLineParser &p, SessionParameters *s, quint16 *standPort, QString *error)
{
    const bool tcp = p.isSet(QStringLiteral("tcp"));
    const bool com = p.isSet(QStringLiteral("com"));
    const bool gsm = p.isSet(QStringLiteral("gsm"));
    const bool stand = p.isSet(QStringLiteral("stand"));
    if (int(tcp) + int(gsm) + int(stand) > 1 || (tcp && com))
        return fail(error, QStringLiteral("choose one channel: --tcp, --com, --com with --gsm, "
                                          "or --com with --stand"));
    if (!tcp && !com)
        return fail(error, QStringLiteral("no channel: give --tcp HOST[:PORT] or --com N"));
    if (p.isSet(QStringLiteral("pin")) && !gsm)
        return fail(error, QStringLiteral("--pin goes with --gsm"));
    if (p.isSet(QStringLiteral("speed"))) {
        const std::optional<int> baud = number(p.value(QStringLiteral("speed")), 1, 1 << 30);
        const int *found =
            baud ? std::find(std::begin(kBauds), std::end(kBauds), *baud) : std::end(kBauds);
        if (found == std::end(kBauds))
            return fail(error, QStringLiteral("--speed wants 300, 600, 1200, 2400, 4800 or 9600"));
        s->baudIndex = int(found - std::begin(kBauds));
    }
    if (tcp) {
        const QString value = p.value(QStringLiteral("tcp"));
        const QStringList parts = value.split(QLatin1Char(':'));
        const std::optional<int> port =
            parts.size() == 2 ? number(parts[1], 1, 65535) : std::optional<int>(kDefaultTcpPort);
        if (parts.size() > 2 || parts[0].trimmed().isEmpty() || !port)
            return fail(error,
                        QStringLiteral("--tcp wants HOST or HOST:PORT, not '%1'").arg(value));
        s->connectionType = Channel::TcpIp;
        s->ethernetIp = parts[0].trimmed();
        s->ethernetPort = *port;
        return true;
    }
    const std::optional<int> port =
        number(p.value(QStringLiteral("com")), portpath::kFirstPort, portpath::kLastPort);
    if (!port)
        return fail(error, QStringLiteral("--com wants a port number 1..20"));
    s->portNumber = *port;
    s->connectionType = Channel::Serial;
    if (gsm) {
        // The number goes into the modem's dial command: nothing but digits may get there.
        static const QRegularExpression phone(QStringLiteral("^\\+?[0-9]{1,20}$"));
        const QString number = p.value(QStringLiteral("gsm"));
        if (!phone.match(number).hasMatch())
            return fail(error,
                        QStringLiteral("--gsm wants a phone number: digits, a leading + allowed"));
        s->connectionType = Channel::Gsm;
        s->phoneNumber = number.toLatin1();
        if (p.isSet(QStringLiteral("pin"))) {
            if (!pinCode(p.value(QStringLiteral("pin")), QStringLiteral("--pin"), &s->pin, error))
                return false;
            s->pinEnabled = true;
        }
    }
    if (stand) {
        const QString address = p.value(QStringLiteral("stand")).trimmed();
        if (address.isEmpty())
            return fail(error, QStringLiteral("--stand wants the switching block's address"));
        // "host" or "host:port"; the block's own port is 502.
        QString host = address;
        quint16 port = 502;
        const int colon = address.lastIndexOf(QLatin1Char(':'));
        if (colon >= 0) {
            bool ok = false;
            const uint n = address.mid(colon + 1).toUInt(&ok);
            host = address.left(colon);
            if (!ok || n == 0 || n > 65535 || host.isEmpty())
                return fail(error, QStringLiteral("--stand wants ADDRESS or ADDRESS:PORT"));
            port = quint16(n);
        }
        s->connectionType = Channel::Stand;
        s->standIp = host;
        *standPort = port;
    }
    return true;
}

bool meters(const QCommandLineParser &p, bool stand, QList<DeviceRecord> *out, QString *error)
{
    for (const QString &list : p.values(QStringLiteral("address"))) {
        QList<int> addresses;
        if (!numberList(QStringLiteral("address"), list, 1, kLastAddress, &addresses, error))
            return false;
        for (int a : addresses) {
            DeviceRecord r;
            r.address = a;
            r.version = QStringLiteral("-");
            addMeter(out, r);
        }
    }
    for (const QString &list : p.values(QStringLiteral("serial")))
        for (const QString &item : list.split(QLatin1Char(','))) {
            const QByteArray serial =
                item.trimmed().toLatin1().rightJustified(meterlistfile::kSerialLength, '0');
            if (!addressable(serial))
                return fail(error, QStringLiteral("--serial wants serial numbers of up to 15 "
                                                  "digits that can address a meter, not '%1'")
                                       .arg(item));
            addMeter(out, serialMeter(serial));
        }
    const QStringList positions = p.values(QStringLiteral("position"));
    if (!positions.isEmpty() && !stand)
        return fail(error, QStringLiteral("--position goes with --stand"));
    for (const QString &list : positions) {
        QList<int> numbers;
        if (!numberList(QStringLiteral("position"), list, 1, standframe::kPositions, &numbers,
                        error))
            return false;
        for (int pos : numbers) {
            DeviceRecord r;
            r.address = kLastAddress;
            r.standAddr = pos;
            r.standMode = true;
            r.version = QStringLiteral("-");
            addMeter(out, r);
        }
    }
    for (const QString &path : p.values(QStringLiteral("list"))) {
        QList<QByteArray> serials;
        QString reason;
        if (!meterlistfile::read(path, &serials, &reason))
            return fail(error,
                        QStringLiteral("cannot read the meter list %1: %2").arg(path, reason));
        if (serials.isEmpty())
            return fail(error, QStringLiteral("the meter list %1 holds no serial number (a line "
                                              "of exactly 15 characters)")
                                   .arg(path));
        for (int i = 0; i < serials.size(); ++i) {
            if (!addressable(serials[i]))
                return fail(error, QStringLiteral("%1:%2: '%3' is no serial number a meter can "
                                                  "be reached by")
                                       .arg(path)
                                       .arg(i + 1)
                                       .arg(QString::fromLatin1(serials[i])));
            addMeter(out, serialMeter(serials[i]));
        }
    }
    if (out->isEmpty())
        return fail(error,
                    QStringLiteral("no meters: give --address, --serial, --position or --list"));
    return true;
}

bool operations(const QCommandLineParser &p, JobOptions *o, QString *error)
{
    for (const QString &name : p.optionNames()) {
        std::optional<JobOperation> op = jobrecord::operationNamed(name);
        if (name == QLatin1String("archive-range"))
            op = JobOperation::Archive;
        if (op && !o->operations.contains(*op))
            o->operations << *op;
    }
    if (o->operations.isEmpty())
        return fail(error,
                    QStringLiteral("nothing to do: give at least one operation, like --info"));
    if (p.isSet(QStringLiteral("archive-range"))) {
        const QString value = p.value(QStringLiteral("archive-range"));
        const QStringList ends = value.split(QLatin1Char(':'));
        const std::optional<int> start = number(ends.value(0), 0, kArchiveRecords - 1);
        const std::optional<int> end = ends.value(1).isEmpty()
                                           ? std::optional<int>(-1)
                                           : number(ends.value(1), 1, kArchiveRecords);
        if (ends.size() != 2 || !start || !end || (*end >= 0 && *end <= *start))
            return fail(error, QStringLiteral("--archive-range wants START:END (records START "
                                              "to END-1) or START:, not '%1'")
                                   .arg(value));
        o->archiveStart = *start;
        o->archiveEnd = *end;
    }
    if (p.isSet(QStringLiteral("hour-shift"))) {
        if (!o->operations.contains(JobOperation::SetClock))
            return fail(error, QStringLiteral("--hour-shift goes with --set-clock"));
        const std::optional<int> shift =
            number(p.value(QStringLiteral("hour-shift")), -kMaxHourShift, kMaxHourShift);
        if (!shift)
            return fail(error, QStringLiteral("--hour-shift wants whole hours -23..23"));
        o->hourShift = *shift;
    }
    return true;
}

bool format(const QCommandLineParser &p, JobOptions *o, QString *error)
{
    if (!p.isSet(QStringLiteral("format")))
        return true;
    const QString format = p.value(QStringLiteral("format"));
    if (format == QLatin1String("csv")) {
        o->format = RecordWriter::Format::Csv;
    } else if (format == QLatin1String("json")) {
        o->format = RecordWriter::Format::Json;
        o->readSerial = true;
    } else {
        return fail(error, QStringLiteral("--format wants csv or json, not '%1'").arg(format));
    }
    return true;
}

} // namespace

namespace {

// The options of a whole job; those of kLineOptions may also make up a line of a job of many.
QList<QCommandLineOption> jobOptions()
{
    const auto value = [](const char *name, const char *valueName) {
        return QCommandLineOption(QLatin1String(name), QString(), QLatin1String(valueName));
    };
    const auto flag = [](const char *name) { return QCommandLineOption(QLatin1String(name)); };
    return {
        QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}),
        flag("version"),
        value("tcp", "HOST[:PORT]"),
        value("com", "N"),
        value("speed", "BAUD"),
        value("gsm", "NUMBER"),
        value("pin", "CODE"),
        value("stand", "ADDRESS"),
        value("level", "LEVEL"),
        value("password", "TEXT"),
        value("password-hex", "HEX"),
        value("password-file", "FILE"),
        value("address", "LIST"),
        value("serial", "LIST"),
        value("position", "LIST"),
        value("list", "FILE"),
        value("line", "WORDS"),
        value("lines", "FILE"),
        value("parallel", "N"),
        flag("info"),
        flag("energy"),
        flag("instant"),
        flag("day-slices"),
        flag("month-slices"),
        flag("archive"),
        value("archive-range", "START:END"),
        flag("events"),
        flag("set-clock"),
        value("hour-shift", "HOURS"),
        value("format", "FORMAT"),
        value("store", "ADDRESS"),
        flag("new-only"),
        flag("no-log"),
    };
}

const QStringList kLineOptions{"tcp",   "com",     "speed",  "gsm",      "pin",
                               "stand", "address", "serial", "position", "list"};

// A channel the job may hold once: a TCP gateway, a serial port (the modem's and the stand's
// too), a stand's switching block.
QStringList channelKeys(const JobLine &line)
{
    const SessionParameters &s = line.session;
    if (s.connectionType == Channel::TcpIp)
        return {QStringLiteral("tcp %1:%2").arg(s.ethernetIp.toLower()).arg(s.ethernetPort)};
    QStringList keys{portpath::portName(s.portNumber)};
    if (s.connectionType == Channel::Stand)
        keys << QStringLiteral("stand %1:%2").arg(s.standIp.toLower()).arg(line.standPort);
    return keys;
}

// One line's words (without the program's name) into `out`, on the job's session.
bool lineOptions(QStringList words, const JobOptions &job, const Secrets &secrets, JobLine *out,
                 QString *error)
{
    if (!words.isEmpty() && (words[0] == QLatin1String("tcp") || words[0] == QLatin1String("com")))
        words[0].prepend(QLatin1String("--"));
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    QCommandLineParser all;
    all.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const QCommandLineOption &option : jobOptions()) {
        all.addOption(option);
        if (kLineOptions.contains(option.names().constLast()))
            p.addOption(option);
    }
    if (!p.parse(QStringList{QStringLiteral("meterjob")} + words)) {
        // An option of the whole job is told apart from one that does not exist.
        for (const QString &name : p.unknownOptionNames())
            if (all.parse({QStringLiteral("meterjob"), QStringLiteral("--") + name}) ||
                all.unknownOptionNames().isEmpty())
                return fail(error, QStringLiteral("--%1 is for the whole job, on the command "
                                                  "line; a line takes a channel and its meters")
                                       .arg(name));
        return fail(error, p.errorText());
    }
    if (!p.positionalArguments().isEmpty())
        return fail(error, QStringLiteral("unexpected word '%1'").arg(p.positionalArguments()[0]));
    JobLine line;
    line.where = out->where;
    line.session = job.session;
    if (!channel(p, &line.session, &line.standPort, error) ||
        !meters(p, line.session.connectionType == Channel::Stand, &line.meters, error))
        return false;
    if (secrets.pin && line.session.connectionType == Channel::Gsm && !line.session.pinEnabled) {
        line.session.pin = *secrets.pin;
        line.session.pinEnabled = true;
    }
    *out = line;
    return true;
}

// The lines of --line and --lines, each checked; the same channel twice is refused.
bool lines(const QCommandLineParser &p, const JobOptions &job, const Secrets &secrets,
           QList<JobLine> *out, QString *error)
{
    struct Given
    {
        QString where;
        QStringList words;
    };
    QList<Given> given;
    // In the order given, --line and --lines mixed.
    const QStringList inlines = p.values(QStringLiteral("line"));
    const QStringList files = p.values(QStringLiteral("lines"));
    int nextLine = 0;
    int nextFile = 0;
    for (const QString &option : p.optionNames()) {
        if (option == QLatin1String("line")) {
            Given g{QStringLiteral("--line %1").arg(nextLine + 1), {}};
            QString why;
            if (!linesfile::splitWords(inlines.value(nextLine++), &g.words, &why))
                return fail(error, g.where + QStringLiteral(": ") + why);
            given << g;
            continue;
        }
        if (option != QLatin1String("lines"))
            continue;
        const QString path = files.value(nextFile++);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return fail(
                error,
                QStringLiteral("cannot read the lines file %1: %2").arg(path, file.errorString()));
        // A pipe says no size: no more than the limit is read of anything.
        const QByteArray bytes = file.read(linesfile::kMaxBytes + 1);
        if (file.error() != QFileDevice::NoError)
            return fail(
                error,
                QStringLiteral("cannot read the lines file %1: %2").arg(path, file.errorString()));
        QList<linesfile::Line> read;
        int at = 0;
        QString why;
        if (!linesfile::parse(bytes, &read, &at, &why))
            return fail(error, (at > 0 ? QStringLiteral("%1:%2: ").arg(path).arg(at)
                                       : path + QStringLiteral(": ")) +
                                   why);
        if (read.isEmpty())
            return fail(error, QStringLiteral("the lines file %1 holds no line").arg(path));
        for (const linesfile::Line &l : std::as_const(read))
            given << Given{QStringLiteral("%1:%2").arg(path).arg(l.number), l.words};
    }
    QHash<QString, QString> taken;
    for (const Given &g : std::as_const(given)) {
        JobLine line;
        line.where = g.where;
        QString why;
        if (!lineOptions(g.words, job, secrets, &line, &why))
            return fail(error, g.where + QStringLiteral(": ") + why);
        for (const QString &key : channelKeys(line)) {
            if (taken.contains(key))
                return fail(error, QStringLiteral("%1: %2 is the channel of %3 already")
                                       .arg(g.where, key, taken.value(key)));
            taken.insert(key, g.where);
        }
        out->append(line);
    }
    return true;
}

} // namespace

Outcome parse(const QStringList &arguments, JobOptions *options, QString *message)
{
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    p.addOptions(jobOptions());
    if (!p.parse(arguments)) {
        *message = p.errorText();
        return Outcome::Usage;
    }
    if (p.isSet(QStringLiteral("help")))
        return Outcome::Help;
    if (p.isSet(QStringLiteral("version")))
        return Outcome::Version;
    if (!p.positionalArguments().isEmpty()) {
        *message = QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().first());
        return Outcome::Usage;
    }
    JobOptions o;
    const bool many = p.isSet(QStringLiteral("line")) || p.isSet(QStringLiteral("lines"));
    if (many) {
        for (const QString &name : kLineOptions)
            if (p.isSet(name)) {
                *message = QStringLiteral("--%1 goes into a line: with --line or --lines, each "
                                          "line names its channel and meters")
                               .arg(name);
                return Outcome::Usage;
            }
    }
    if (p.isSet(QStringLiteral("parallel"))) {
        const std::optional<int> n = number(p.value(QStringLiteral("parallel")), 1, 1 << 20);
        if (!many || !n) {
            *message = many ? QStringLiteral("--parallel wants a number of lines, 1 or more")
                            : QStringLiteral("--parallel goes with --line or --lines");
            return Outcome::Usage;
        }
        o.parallel = *n;
    }
    int level = 0;
    if ((!many && !channel(p, &o.session, &o.standPort, message)) ||
        (p.isSet(QStringLiteral("level")) &&
         !accessLevel(p.value(QStringLiteral("level")), &level, message)))
        return Outcome::Usage;
    o.session.accessLevel = level;
    QByteArray &pwd = o.session.passwords[size_t(level)];
    pwd = passwordtext::factoryDefault(level);
    const bool given =
        p.isSet(QStringLiteral("password")) || p.isSet(QStringLiteral("password-hex"));
    Secrets secrets;
    if (p.isSet(QStringLiteral("password-file"))) {
        if (given) {
            *message = QStringLiteral("give the password once: --password-file or --password");
            return Outcome::Usage;
        }
        if (!secretsFile(p.value(QStringLiteral("password-file")), &secrets, message))
            return Outcome::Usage;
    }
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QByteArray bytes;
    if (!secrets.password && env.contains(QStringLiteral("METERJOB_PASSWORD"))) {
        if (!passwordText(env.value(QStringLiteral("METERJOB_PASSWORD")),
                          QStringLiteral("METERJOB_PASSWORD"), &bytes, message))
            return Outcome::Usage;
        secrets.password = bytes;
    }
    if (!secrets.pin && env.contains(QStringLiteral("METERJOB_PIN"))) {
        if (!pinCode(env.value(QStringLiteral("METERJOB_PIN")), QStringLiteral("METERJOB_PIN"),
                     &bytes, message))
            return Outcome::Usage;
        secrets.pin = bytes;
    }
    if (given && !password(p, &pwd, message))
        return Outcome::Usage;
    if (!given && secrets.password)
        pwd = *secrets.password;
    // The command line's PIN first, as for the password.
    if (secrets.pin && o.session.connectionType == Channel::Gsm && !o.session.pinEnabled) {
        o.session.pin = *secrets.pin;
        o.session.pinEnabled = true;
    }
    o.writeLog = !p.isSet(QStringLiteral("no-log"));
    if (p.isSet(QStringLiteral("store"))) {
        o.store = recordstore::parseAddress(p.value(QStringLiteral("store")), message);
        if (!o.store)
            return Outcome::Usage;
        o.readSerial = true;
    }
    if (p.isSet(QStringLiteral("new-only"))) {
        if (!o.store) {
            *message = QStringLiteral("--new-only goes with --store: the store knows what is new");
            return Outcome::Usage;
        }
        if (p.isSet(QStringLiteral("archive-range"))) {
            *message = QStringLiteral("--new-only reads the archive from the newest stored "
                                      "record on: give --archive, not --archive-range");
            return Outcome::Usage;
        }
        o.newOnly = true;
    }
    // The meters last: the list may be a file to read.
    if (!operations(p, &o, message) || !format(p, &o, message))
        return Outcome::Usage;
    if (many ? !lines(p, o, secrets, &o.lines, message)
             : !meters(p, o.session.connectionType == Channel::Stand, &o.meters, message))
        return Outcome::Usage;
    *options = o;
    return Outcome::Run;
}

QString channelText(const SessionParameters &s, quint16 standPort)
{
    switch (s.connectionType) {
    case Channel::TcpIp:
        return QStringLiteral("tcp %1:%2").arg(s.ethernetIp).arg(s.ethernetPort);
    case Channel::Gsm:
        return QStringLiteral("gsm %1").arg(QString::fromLatin1(s.phoneNumber));
    case Channel::Stand:
        return QStringLiteral("stand %1:%2").arg(s.standIp).arg(standPort);
    case Channel::Serial:
        break;
    }
    return QStringLiteral("com %1").arg(s.portNumber);
}

JobOptions lineJob(const JobOptions &job, int index)
{
    JobOptions o = job;
    const JobLine &line = job.lines[index];
    o.session = line.session;
    o.standPort = line.standPort;
    o.meters = line.meters;
    o.lines.clear();
    o.oneOfMany = true;
    return o;
}

QString usageLine()
{
    return QStringLiteral("Usage: meterjob CHANNEL METERS OPERATION... [OPTION]...\n"
                          "  or:  meterjob --line 'CHANNEL METERS'... OPERATION... [OPTION]...\n"
                          "  or:  meterjob --lines FILE OPERATION... [OPTION]...\n"
                          "Try 'meterjob --help' for more information.");
}

QString helpText()
{
    return QStringLiteral(
        R"(Usage: meterjob CHANNEL METERS OPERATION... [OPTION]...
  or:  meterjob --line 'CHANNEL METERS'... OPERATION... [OPTION]...
  or:  meterjob --lines FILE OPERATION... [OPTION]...
Opens a session on one channel (or on many lines at once), works every meter given
with every operation given (in the order given), and writes one record per meter and
operation to standard output: the cells the configurator's tables show, with the
meter's identity and the status. A summary goes to standard error, and the log to
log/DDMMYYYY.html in the current directory, as the program writes it.

Channel (one of):
  --tcp HOST[:PORT]      TCP-IP, port 14001 when not given
  --com N                a serial port COMN (1..20; ports/COMN in the current
                         directory names its device, as for the program)
  --com N --gsm NUMBER   a GSM/CSD data call from the modem on COMN
      --pin CODE         the SIM's PIN, entered when given
  --com N --stand ADDRESS[:PORT]
                         the factory stand: its switching block at ADDRESS (port 502),
                         the stand's line on COMN
  --speed BAUD           serial speed: 300, 600, 1200, 2400, 4800, 9600 (default)

Access:
  --level LEVEL          user (default), admin or developer
  --password TEXT        the level's password, up to 6 characters; other users of the
                         computer can see a command line: prefer --password-file
  --password-hex HEX     the same as six hex bytes (e1e1e1e1e1e1)
  --password-file FILE   the password on the file's first line, or lines password=TEXT,
                         password-hex=HEX and pin=CODE (the SIM's PIN)
                         Without any of these: METERJOB_PASSWORD and METERJOB_PIN from
                         the environment, else the level's factory password. A store
                         never holds a password.

Meters (worked in this order, each meter once):
  --address LIST         addresses 1..255: 1,2,5-7
  --serial LIST          serial numbers, up to 15 digits each, comma-separated
  --position LIST        stand positions 1..24 (with --stand): 1-24
  --list FILE            a meter-list file as the configurator reads it: one 15-character
                         serial number a line; the first other line ends the list

Many lines at once (each line its own channel, worked beside the others):
  --line 'CHANNEL METERS'
                         one line: a channel and its meters in the words above,
                         a bare tcp or com for --tcp or --com:
                         'tcp 10.0.0.5:14001 --address 1-8'; repeat it for more lines
  --lines FILE           the lines in a file, one a line; blank lines and lines
                         beginning with # are skipped; words split as a shell splits
                         them
  --parallel N           at most N lines at once, the next as one ends (default: all)
                         Operations, access and output are the whole job's, on the
                         command line; a channel goes in one line only.

Operations (run in the order given):
  --info                 device information
  --energy               energy totals
  --instant              instant values
  --day-slices           energy in daily intervals
  --month-slices         energy in monthly intervals
  --archive              the whole power-profile archive
  --archive-range START:END
                         archive records START to END-1 (START: reads to the end)
  --events               the message, error and warning lists
  --set-clock            writes the computer's time to the meter's clock
      --hour-shift H     whole hours added to it (-23..23)

Output:
  --format FORMAT        csv (default) or json (JSON lines)
  --store sqlite:PATH    also store the typed records in an SQLite file (made when
                         missing)
  --store postgresql://USER@HOST[:PORT]/DB
                         ... or in a PostgreSQL database; its password comes from
                         PGPASSWORD or ~/.pgpass. A record stored already (same meter,
                         kind and meter time) is not stored again: a job can be rerun.
  --new-only             with --store: the archive, slices and events only from the
                         newest record stored for the meter on
  --no-log               write no log file
  -h, --help             this text
  --version              the version

CSV lines begin address;serial;position;name;operation;status;reason; and go on with
one table row's cells, every cell followed by ';', numbers with a decimal comma. A
header line names the columns first and again whenever they change. Status is ok,
failed or interrupted; reason says why.

JSON lines carry the same cells and, beside them, the typed record: "meter" (address,
serial, position, series, model), "read_at", and "values": each with a quantity
(energy_active_total, voltage_a, ...), its value as a number in its unit (kWh, kvarh,
V, A, W, var, VA), the tariff where one applies, and the meter's time of the record
in ISO 8601 with its offset.

With many lines every record names its line (the channel: "tcp 10.0.0.5:14001",
"com 3", "gsm +79001234567", "stand 127.0.0.5:502"): CSV lines, header lines too, begin
with a line; column, JSON lines always have "line". The log gives each line's part under
a heading naming the line.

Exit status: 0 every meter and operation succeeded; 1 some failed (each failure is in
the output, the rest was still done; with many lines also the meters of a line whose
channel could not be opened); 2 bad usage (a bad line: its file and line number, or
--line and its number); 3 the channel (with many lines: no line's channel) could not
be opened; 4 the store could not be opened (nothing was done) or written (the output
has all); 128+N stopped by signal N (SIGINT, SIGTERM, SIGHUP: every line after the
exchange in progress, with what was read written out and the log stored).

Examples:
  meterjob --tcp 127.0.0.1:14001 --address 1 --info --energy --instant
  meterjob --com 1 --list meters.txt --energy > energy.csv
  meterjob --com 2 --gsm +79001234567 --address 2 --events --format json
  meterjob --com 3 --stand 127.0.0.5 --position 1-24 --level admin --set-clock
  meterjob --line 'tcp 10.0.0.5 --address 1-8' --line 'com 4 --address 2' --energy
  meterjob --lines gateways.lines --parallel 64 --energy --format json
)");
}

} // namespace joboptions
