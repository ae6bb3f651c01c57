#pragma once

#include "job/jobrecord.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// Where a job's records go besides standard output: an SQLite file ("sqlite:PATH") or a
// PostgreSQL database ("postgresql://USER@HOST[:PORT]/DB"; the password comes from PGPASSWORD or
// ~/.pgpass, as for every PostgreSQL client, never from the command line).
struct StoreAddress
{
    enum class Kind { Sqlite, Postgresql };
    Kind kind = Kind::Sqlite;
    QString path; // SQLite file
    QString user;
    QString host;
    int port = 5432;
    QString database;
};

namespace recordstore {
// Nothing, with the reason in `error`, for anything else, and for a password written into it.
std::optional<StoreAddress> parseAddress(const QString &text, QString *error);
// The schema this program writes; older ones are brought up to it when the store is opened.
constexpr int kSchemaVersion = 2;
} // namespace recordstore

// What the stand's group work did to one meter, for the production record.
struct MeterResult
{
    int position = 0; // 0 off the stand
    QByteArray serial;
    int address = 0;
    QString operation;
    // What was written to the meter ("2024-03-05T13:30:00" for the clock), empty for reads.
    QString written;
    QString status; // "ok", "failed", "interrupted"
    QString reason;
    QDateTime at;
};

// Typed records in a small versioned schema: meters, runs with their results, readings (energy
// totals and instant values), slices, archive records and events. A record already stored (the
// same meter, kind and meter time) is not stored again, so a job that stopped half-way can simply
// be run again. Every JobRecord goes in one transaction: a job killed meanwhile leaves whole
// records only. Meter passwords are never stored.
class RecordStore
{
public:
    RecordStore();
    ~RecordStore();
    RecordStore(const RecordStore &) = delete;
    RecordStore &operator=(const RecordStore &) = delete;

    // Another store object on this one's connection, with a run of its own: the lines of a job
    // share one connection. The connection closes when the last of them goes. After open().
    std::unique_ptr<RecordStore> sibling() const;

    // Connects, creates the schema when missing and migrates an older one. False with a reason.
    bool open(const StoreAddress &address, QString *error);
    // A run of the job: its channel and operations (no password), started now.
    bool beginRun(const QString &channel, const QStringList &operations, QString *error);
    bool endRun(int exitStatus, QString *error);

    // Stores the typed values of a successful record and the record's result; `meterKey` names
    // the meter when it has no serial number (the channel and its address).
    bool store(const JobRecord &record, const QString &meterKey, QString *error);
    // One meter's result of group work (the stand's clock write, and what the group work
    // reports of each meter), for the production record; store() records its own.
    bool storeResult(const MeterResult &result, QString *error);

    // The newest stored record of `kind` ("day-slices", "month-slices", "archive" or an event
    // list "message", "error", "warning") of the meter: its place in the meter's list and its
    // meter time. Nothing when none is stored.
    struct Newest
    {
        int record = -1;
        QDateTime time; // the meter's time, carried as UTC
    };
    std::optional<Newest> newest(const JobRecord &meter, const QString &meterKey,
                                 const QString &kind);

    // The key a record's meter is stored under.
    static QString keyOf(const JobRecord &record, const QString &meterKey);

private:
    bool exec(const QString &sql, QString *error);
    // A write transaction, waiting for other processes writing the store.
    bool begin(QString *error);
    bool commit(QString *error);
    bool prepareSchema(QString *error);
    bool insertResult(const MeterResult &result, std::optional<qint64> meter, QString *error);
    std::optional<qint64> meterId(const JobRecord &record, const QString &meterKey, QString *error);

    struct Connection;
    std::shared_ptr<Connection> m_shared;
    QString m_connection;
    bool m_postgres = false;
    qint64 m_run = -1;
};
