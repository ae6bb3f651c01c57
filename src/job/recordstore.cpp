#include "job/recordstore.h"

#include "core/recorddecoders.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUuid>
#include <QVariant>

#include <algorithm>

namespace {

const QString kMeterTime = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

// The first layout; kept word for word, so that a store made by it can be recognised and brought
// up to date. "ID" becomes the back end's own key column.
const char *const kSchema1[] = {
    "CREATE TABLE schema_version (version INTEGER NOT NULL)",
    "CREATE TABLE meters (id ID, meter_key TEXT NOT NULL UNIQUE, serial TEXT, address INTEGER, "
    "series TEXT, first_seen TEXT NOT NULL, last_seen TEXT NOT NULL)",
    "CREATE TABLE runs (id ID, started_at TEXT NOT NULL, finished_at TEXT, channel TEXT NOT NULL, "
    "operations TEXT NOT NULL, exit_status INTEGER)",
    "CREATE TABLE readings (id ID, run_id BIGINT REFERENCES runs(id), meter_id BIGINT NOT NULL "
    "REFERENCES meters(id), kind TEXT NOT NULL, read_at TEXT NOT NULL, quantity TEXT NOT NULL, "
    "tariff INTEGER NOT NULL, value DOUBLE PRECISION, unit TEXT, "
    "UNIQUE (meter_id, kind, read_at, quantity, tariff))",
    "CREATE TABLE slices (id ID, run_id BIGINT REFERENCES runs(id), meter_id BIGINT NOT NULL "
    "REFERENCES meters(id), kind TEXT NOT NULL, meter_time TEXT NOT NULL, utc_time TEXT, "
    "list_index INTEGER, quantity TEXT NOT NULL, tariff INTEGER NOT NULL, "
    "value DOUBLE PRECISION, unit TEXT, UNIQUE (meter_id, kind, meter_time, quantity, tariff))",
    "CREATE TABLE archive_records (id ID, run_id BIGINT REFERENCES runs(id), meter_id BIGINT NOT "
    "NULL REFERENCES meters(id), meter_time TEXT NOT NULL, utc_time TEXT, record_number INTEGER, "
    "period_minutes INTEGER, energy_active DOUBLE PRECISION, energy_reactive DOUBLE PRECISION, "
    "UNIQUE (meter_id, meter_time))",
    "CREATE TABLE events (id ID, run_id BIGINT REFERENCES runs(id), meter_id BIGINT NOT NULL "
    "REFERENCES meters(id), list TEXT NOT NULL, meter_time TEXT NOT NULL, utc_time TEXT, "
    "list_index INTEGER, code INTEGER NOT NULL, text TEXT, "
    "UNIQUE (meter_id, list, meter_time, code))",
    "INSERT INTO schema_version (version) VALUES (1)",
};

// 1 to 2: the meter's model, and each run's results per meter (the production record).
const char *const kMigration2[] = {
    "ALTER TABLE meters ADD COLUMN model TEXT",
    "CREATE TABLE results (id ID, run_id BIGINT NOT NULL REFERENCES runs(id), meter_id BIGINT "
    "REFERENCES meters(id), position INTEGER, serial TEXT, address INTEGER, operation TEXT NOT "
    "NULL, written TEXT, status TEXT NOT NULL, reason TEXT, at TEXT NOT NULL)",
    "CREATE INDEX results_run ON results (run_id)",
    "UPDATE schema_version SET version = 2",
};

QVariant text(const QString &s)
{
    return s.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(s);
}

QVariant number(const std::optional<double> &v)
{
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<double>());
}

QString now()
{
    const QDateTime t = QDateTime::currentDateTime();
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODate);
}

QString utcText(const QDateTime &wall)
{
    const QDateTime local(wall.date(), wall.time(), Qt::LocalTime);
    return local.toUTC().toString(Qt::ISODate);
}

// The driver's words on one line: they go into a log line and the summary.
QString oneLine(const QSqlError &e)
{
    return e.text().trimmed().replace(QLatin1Char('\n'), QLatin1String("; "));
}

QString failure(const QSqlQuery &q)
{
    return oneLine(q.lastError());
}

// The table and kind a record's values go to.
enum class Target { None, Readings, Slices, Archive, Events };
Target targetOf(JobOperation op)
{
    switch (op) {
    case JobOperation::Energy:
    case JobOperation::Instant:
        return Target::Readings;
    case JobOperation::DaySlices:
    case JobOperation::MonthSlices:
        return Target::Slices;
    case JobOperation::Archive:
        return Target::Archive;
    case JobOperation::Events:
        return Target::Events;
    case JobOperation::Info:
    case JobOperation::SetClock:
        break;
    }
    return Target::None;
}

} // namespace

namespace recordstore {

std::optional<StoreAddress> parseAddress(const QString &text, QString *error)
{
    StoreAddress a;
    if (text.startsWith(QLatin1String("sqlite:"))) {
        a.kind = StoreAddress::Kind::Sqlite;
        a.path = text.mid(7);
        if (a.path.isEmpty()) {
            *error = QStringLiteral("--store sqlite: wants a file name, like sqlite:meters.db");
            return std::nullopt;
        }
        return a;
    }
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("postgresql") &&
                           url.scheme() != QLatin1String("postgres"))) {
        *error = QStringLiteral("--store wants sqlite:PATH or postgresql://USER@HOST[:PORT]/DB, "
                                "not '%1'")
                     .arg(text);
        return std::nullopt;
    }
    if (!url.password().isEmpty()) {
        *error = QStringLiteral("--store: no password in the address (others can read the "
                                "command line); give it in PGPASSWORD or ~/.pgpass");
        return std::nullopt;
    }
    a.kind = StoreAddress::Kind::Postgresql;
    a.user = url.userName();
    a.host = url.host();
    a.port = url.port(5432);
    a.database = url.path().mid(1);
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    if (a.user.isEmpty() || a.host.isEmpty() || !name.match(a.database).hasMatch()) {
        *error =
            QStringLiteral("--store wants postgresql://USER@HOST[:PORT]/DB, not '%1'").arg(text);
        return std::nullopt;
    }
    return a;
}

} // namespace recordstore

struct RecordStore::Connection
{
    explicit Connection(const QString &n) : name(n) {}
    Connection(const Connection &) = delete;
    QString name;
    ~Connection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            if (db.isValid())
                db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
};

RecordStore::RecordStore()
    : m_shared(std::make_shared<Connection>(QStringLiteral("store-") +
                                            QUuid::createUuid().toString(QUuid::WithoutBraces))),
      m_connection(m_shared->name)
{
}

RecordStore::~RecordStore() = default;

std::unique_ptr<RecordStore> RecordStore::sibling() const
{
    auto other = std::make_unique<RecordStore>();
    other->m_shared = m_shared;
    other->m_connection = m_connection;
    other->m_postgres = m_postgres;
    return other;
}

bool RecordStore::exec(const QString &sql, QString *error)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    QString statement = sql;
    statement.replace(QLatin1String("id ID"), m_postgres ? QLatin1String("id BIGSERIAL PRIMARY KEY")
                                                         : QLatin1String("id INTEGER PRIMARY KEY"));
    if (!q.exec(statement)) {
        *error = failure(q);
        return false;
    }
    return true;
}

bool RecordStore::open(const StoreAddress &address, QString *error)
{
    m_postgres = address.kind == StoreAddress::Kind::Postgresql;
    const QString driver = m_postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        *error = QStringLiteral("Qt's %1 driver is not installed (Debian: %2)")
                     .arg(driver, m_postgres ? QStringLiteral("libqt6sql6-psql")
                                             : QStringLiteral("libqt6sql6-sqlite"));
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, m_connection);
    if (m_postgres) {
        // No password here: libpq takes it from PGPASSWORD or ~/.pgpass.
        db.setHostName(address.host);
        db.setPort(address.port);
        db.setUserName(address.user);
        db.setDatabaseName(address.database);
        db.setConnectOptions(QStringLiteral("connect_timeout=10;application_name=meterjob"));
    } else {
        db.setDatabaseName(address.path);
        // Another job writing the same file is waited for, not failed. The rollback journal, not
        // WAL: writers take turns in either, and so the store stays one file to copy or hand on.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    }
    if (!db.open()) {
        *error = oneLine(db.lastError());
        return false;
    }
    if (!m_postgres && !exec(QStringLiteral("PRAGMA foreign_keys = ON"), error))
        return false;
    return prepareSchema(error);
}

bool RecordStore::begin(QString *error)
{
    if (m_postgres) {
        QSqlDatabase db = QSqlDatabase::database(m_connection);
        if (db.transaction())
            return true;
        *error = oneLine(db.lastError());
        return false;
    }
    // A plain BEGIN takes SQLite's write lock at the first write, and a transaction that has read
    // by then is refused at once when another process writes meanwhile instead of waiting its
    // turn; IMMEDIATE waits for the lock first.
    return exec(QStringLiteral("BEGIN IMMEDIATE"), error);
}

bool RecordStore::commit(QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    if (db.commit())
        return true;
    *error = oneLine(db.lastError());
    db.rollback();
    return false;
}

bool RecordStore::prepareSchema(QString *error)
{
    // Shards of one list may open a new store at the same moment: one at a time looks at the
    // schema and makes or migrates it, the others then find it done. SQLite's write lock does
    // that; PostgreSQL takes a lock of ours, as a table that does not exist yet cannot be locked.
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    if (!begin(error))
        return false;
    const auto fail = [&](const QString &reason) {
        db.rollback();
        *error = reason;
        return false;
    };
    if (m_postgres &&
        !exec(QStringLiteral("SELECT pg_advisory_xact_lock(7882834701842018146)"), error))
        return fail(*error);
    int version = 0;
    if (db.tables().contains(QStringLiteral("schema_version"))) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT version FROM schema_version")) || !q.next())
            return fail(QStringLiteral("the store's schema version cannot be read: ") + failure(q));
        version = q.value(0).toInt();
    }
    if (version > recordstore::kSchemaVersion)
        return fail(QStringLiteral("the store has schema version %1, newer than this meterjob "
                                   "knows (%2)")
                        .arg(version)
                        .arg(recordstore::kSchemaVersion));
    // A new store is made in the first layout and migrated, in the same transaction.
    if (version == 0)
        for (const char *sql : kSchema1)
            if (!exec(QLatin1String(sql), error))
                return fail(*error);
    const int from = std::max(version, 1);
    bool ok = true;
    if (from < 2)
        for (const char *sql : kMigration2)
            ok = ok && exec(QLatin1String(sql), error);
    if (!ok)
        return fail(
            QStringLiteral("the store's schema %1 cannot be migrated: %2").arg(from).arg(*error));
    return commit(error);
}

bool RecordStore::beginRun(const QString &channel, const QStringList &operations, QString *error)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("INSERT INTO runs (started_at, channel, operations) VALUES (?, ?, ?) "
                             "RETURNING id"));
    q.addBindValue(now());
    q.addBindValue(channel);
    q.addBindValue(operations.join(QLatin1Char(' ')));
    if (!q.exec() || !q.next()) {
        *error = failure(q);
        return false;
    }
    m_run = q.value(0).toLongLong();
    return true;
}

bool RecordStore::endRun(int exitStatus, QString *error)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("UPDATE runs SET finished_at = ?, exit_status = ? WHERE id = ?"));
    q.addBindValue(now());
    q.addBindValue(exitStatus);
    q.addBindValue(m_run);
    if (!q.exec()) {
        *error = failure(q);
        return false;
    }
    return true;
}

QString RecordStore::keyOf(const JobRecord &record, const QString &meterKey)
{
    const QByteArray serial = jobrecord::serialOf(record);
    return serial.isEmpty() ? meterKey : QStringLiteral("serial ") + QString::fromLatin1(serial);
}

std::optional<qint64> RecordStore::meterId(const JobRecord &record, const QString &meterKey,
                                           QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    const QString key = keyOf(record, meterKey);
    const bool reached = record.meter.version != QLatin1String("-");
    QSqlQuery q(db);
    // A meter that did not answer changes nothing of what is known of it.
    q.prepare(QStringLiteral(
        "INSERT INTO meters (meter_key, serial, address, series, model, first_seen, last_seen) "
        "VALUES (?, ?, ?, ?, ?, ?, ?) ON CONFLICT (meter_key) DO UPDATE SET "
        "serial = COALESCE(excluded.serial, meters.serial), "
        "address = COALESCE(excluded.address, meters.address), "
        "series = COALESCE(excluded.series, meters.series), "
        "model = COALESCE(excluded.model, meters.model), last_seen = excluded.last_seen"));
    const QString stamp = now();
    q.addBindValue(key);
    q.addBindValue(text(QString::fromLatin1(jobrecord::serialOf(record))));
    q.addBindValue(reached ? QVariant(record.meter.address) : QVariant(QMetaType::fromType<int>()));
    q.addBindValue(text(jobrecord::seriesName(meterSeriesOf(record.meter.version))));
    q.addBindValue(text(reached ? record.meter.version : QString()));
    q.addBindValue(stamp);
    q.addBindValue(stamp);
    if (!q.exec()) {
        *error = failure(q);
        return std::nullopt;
    }
    q.prepare(QStringLiteral("SELECT id FROM meters WHERE meter_key = ?"));
    q.addBindValue(key);
    if (!q.exec() || !q.next()) {
        *error = failure(q);
        return std::nullopt;
    }
    return q.value(0).toLongLong();
}

bool RecordStore::store(const JobRecord &record, const QString &meterKey, QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    if (!begin(error))
        return false;
    const auto fail = [&](const QSqlQuery &q) {
        *error = failure(q);
        db.rollback();
        return false;
    };
    const std::optional<qint64> meter = meterId(record, meterKey, error);
    if (!meter) {
        db.rollback();
        return false;
    }
    QSqlQuery q(db);
    const QString operation = jobrecord::operationName(record.operation);
    const Target target =
        record.status == JobRecord::Status::Failed ? Target::None : targetOf(record.operation);
    // Two readings of one meter in the same second are still two readings.
    const QString readAt =
        record.readAt.toOffsetFromUtc(record.readAt.offsetFromUtc()).toString(Qt::ISODateWithMs);
    switch (target) {
    case Target::Readings:
        q.prepare(QStringLiteral("INSERT INTO readings (run_id, meter_id, kind, read_at, quantity, "
                                 "tariff, value, unit) VALUES (?, ?, ?, ?, ?, ?, ?, ?) "
                                 "ON CONFLICT DO NOTHING"));
        break;
    case Target::Slices:
        q.prepare(QStringLiteral("INSERT INTO slices (run_id, meter_id, kind, meter_time, "
                                 "utc_time, list_index, quantity, tariff, value, unit) VALUES "
                                 "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING"));
        break;
    case Target::Archive:
        q.prepare(QStringLiteral("INSERT INTO archive_records (run_id, meter_id, meter_time, "
                                 "utc_time, record_number, period_minutes, energy_active, "
                                 "energy_reactive) VALUES (?, ?, ?, ?, ?, ?, ?, ?) "
                                 "ON CONFLICT DO NOTHING"));
        break;
    case Target::Events:
        q.prepare(QStringLiteral("INSERT INTO events (run_id, meter_id, list, meter_time, "
                                 "utc_time, list_index, code, text) VALUES "
                                 "(?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING"));
        break;
    case Target::None:
        break;
    }
    for (int i = 0; i < record.values.size() && target != Target::None; ++i) {
        const JobValue &v = record.values[i];
        // A record without a real time cannot be told from another: not stored.
        if (target != Target::Readings && !v.time.isValid())
            continue;
        q.addBindValue(m_run);
        q.addBindValue(*meter);
        switch (target) {
        case Target::Readings:
            q.addBindValue(operation);
            q.addBindValue(readAt);
            q.addBindValue(v.quantity);
            q.addBindValue(v.tariff);
            q.addBindValue(number(v.value));
            q.addBindValue(text(v.unit));
            break;
        case Target::Slices:
            q.addBindValue(operation);
            q.addBindValue(v.time.toString(kMeterTime));
            q.addBindValue(utcText(v.time));
            q.addBindValue(v.record);
            q.addBindValue(v.quantity);
            q.addBindValue(v.tariff);
            q.addBindValue(number(v.value));
            q.addBindValue(text(v.unit));
            break;
        case Target::Archive: {
            // Active and reactive energy of a period are one row.
            std::optional<double> reactive;
            if (i + 1 < record.values.size() &&
                record.values[i + 1].quantity == QLatin1String("energy_reactive") &&
                record.values[i + 1].record == v.record)
                reactive = record.values[++i].value;
            q.addBindValue(v.time.toString(kMeterTime));
            q.addBindValue(utcText(v.time));
            q.addBindValue(v.record);
            q.addBindValue(v.period);
            q.addBindValue(number(v.value));
            q.addBindValue(number(reactive));
            break;
        }
        case Target::Events:
            q.addBindValue(v.list);
            q.addBindValue(v.time.toString(kMeterTime));
            q.addBindValue(utcText(v.time));
            q.addBindValue(v.record);
            q.addBindValue(v.code);
            q.addBindValue(text(v.text));
            break;
        case Target::None:
            break;
        }
        if (!q.exec())
            return fail(q);
    }
    MeterResult result;
    result.position = record.meter.standMode ? record.meter.standAddr : 0;
    result.serial = jobrecord::serialOf(record);
    result.address = record.meter.address;
    result.operation = operation;
    for (const JobValue &v : record.values)
        if (v.quantity == QLatin1String("clock_written"))
            result.written = v.time.toString(kMeterTime);
    result.status = jobrecord::statusName(record.status);
    result.reason = record.reason;
    result.at = record.readAt;
    if (!insertResult(result, *meter, error)) {
        db.rollback();
        return false;
    }
    return commit(error);
}

bool RecordStore::storeResult(const MeterResult &result, QString *error)
{
    // The meter as it is known by its serial number, when it is.
    std::optional<qint64> meter;
    if (!result.serial.isEmpty()) {
        QSqlQuery q(QSqlDatabase::database(m_connection));
        q.prepare(QStringLiteral("SELECT id FROM meters WHERE serial = ? LIMIT 1"));
        q.addBindValue(QString::fromLatin1(result.serial));
        if (q.exec() && q.next())
            meter = q.value(0).toLongLong();
    }
    return insertResult(result, meter, error);
}

bool RecordStore::insertResult(const MeterResult &result, std::optional<qint64> meter,
                               QString *error)
{
    QSqlQuery r(QSqlDatabase::database(m_connection));
    r.prepare(QStringLiteral("INSERT INTO results (run_id, meter_id, position, serial, address, "
                             "operation, written, status, reason, at) VALUES "
                             "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    r.addBindValue(m_run);
    r.addBindValue(meter ? QVariant(*meter) : QVariant(QMetaType::fromType<qint64>()));
    r.addBindValue(result.position > 0 ? QVariant(result.position)
                                       : QVariant(QMetaType::fromType<int>()));
    r.addBindValue(text(QString::fromLatin1(result.serial)));
    r.addBindValue(result.address);
    r.addBindValue(result.operation);
    r.addBindValue(text(result.written));
    r.addBindValue(result.status);
    r.addBindValue(text(result.reason));
    r.addBindValue(
        result.at.toOffsetFromUtc(result.at.offsetFromUtc()).toString(Qt::ISODateWithMs));
    if (!r.exec()) {
        *error = failure(r);
        return false;
    }
    return true;
}

std::optional<RecordStore::Newest> RecordStore::newest(const JobRecord &meter,
                                                       const QString &meterKey, const QString &kind)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    const QString from =
        QStringLiteral(" JOIN meters m ON m.id = t.meter_id WHERE m.meter_key = ?");
    if (kind == QLatin1String("archive"))
        q.prepare(QStringLiteral("SELECT t.record_number, t.meter_time FROM archive_records t") +
                  from + QStringLiteral(" ORDER BY t.meter_time DESC LIMIT 1"));
    else if (kind.endsWith(QLatin1String("slices")))
        q.prepare(QStringLiteral("SELECT t.list_index, t.meter_time FROM slices t") + from +
                  QStringLiteral(" AND t.kind = ? ORDER BY t.meter_time DESC LIMIT 1"));
    else
        q.prepare(QStringLiteral("SELECT t.list_index, t.meter_time FROM events t") + from +
                  QStringLiteral(" AND t.list = ? ORDER BY t.meter_time DESC, t.list_index DESC "
                                 "LIMIT 1"));
    q.addBindValue(keyOf(meter, meterKey));
    if (kind != QLatin1String("archive"))
        q.addBindValue(kind);
    if (!q.exec() || !q.next())
        return std::nullopt;
    Newest n;
    n.record = q.value(0).toInt();
    n.time = QDateTime::fromString(q.value(1).toString(), kMeterTime);
    n.time.setTimeSpec(Qt::UTC);
    return n;
}
