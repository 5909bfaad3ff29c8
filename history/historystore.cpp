#include "historystore.h"

#include "historycursor.h"

#include "historytask.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QSet>
#include <QUuid>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <initializer_list>
#include <limits>
#include <vector>

Q_LOGGING_CATEGORY(lcHistory, "colorimeter.history")

namespace {

const QString kDriver = QStringLiteral("QSQLITE");

// The columns of a stored row, in the order selectRows reads them.
const char kRowColumns[] =
    "id, run_id, state, origin, origin_file, sequence_no, test_name, time_text, "
    "std_l, std_a, std_b, std_c, std_h, smp_l, smp_a, smp_b, smp_c, smp_h, delta_e, verdict, passed, "
    "formula_text, threshold_text, device_name, serial_number, formula_index, threshold, uuid, desk, stored_at";

// The row's columns where measurements is joined with runs (which has an id, a uuid and a desk too).
QString qualifiedRowColumns()
{
    return QString::fromLatin1(kRowColumns)
        .replace(QLatin1String("uuid, desk, stored_at"),
                 QLatin1String("measurements.uuid, measurements.desk, measurements.stored_at"))
        .replace(QLatin1String("id, run_id"), QLatin1String("measurements.id, measurements.run_id"));
}

// What a start looks for: this desk's runs that did not end, other than the one going on, then
// the rows each left in the table, through (run_id, state). The runs come first so that the rows
// of ended runs, nearly all of a long history, are never read.
const char kUnfinishedRuns[] =
    "SELECT id, uuid, last_test_number FROM runs WHERE ended_at IS NULL AND id <> ? AND desk = ?";
const char kRowsOfRunInState[] = "m.run_id = ? AND m.state = ?";
const char kUnfinishedRows[] = "SELECT %1 FROM measurements WHERE state = ? AND run_id IN "
                               "(SELECT id FROM runs WHERE ended_at IS NULL AND id <> ? AND desk = ?) ORDER BY id";
const char kRunHasRowsInTable[] = "SELECT 1 FROM measurements WHERE run_id = ? AND state = ? LIMIT 1";
const char kRowRefs[] = "SELECT m.id, m.uuid, r.uuid FROM measurements m JOIN runs r ON r.id = m.run_id "
                        "WHERE %1 ORDER BY m.id";

QString now()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

QString newUuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QVariant textOrNull(const QString &text)
{
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

QJsonObject stateValue(HistoryRowState state)
{
    return QJsonObject{{QStringLiteral("state"), historyStateName(state)}};
}

QVariant nullableInt(int value)
{
    return value < 0 ? QVariant(QMetaType::fromType<int>()) : QVariant(value);
}

QVariant nullableDouble(double value)
{
    return value < 0 ? QVariant(QMetaType::fromType<double>()) : QVariant(value);
}

// The value of values whose stored name is name.
template<typename T>
bool fromName(const QString &name, std::initializer_list<T> values, QString (*nameOf)(T), T *value)
{
    for (T known : values)
        if (nameOf(known) == name) {
            *value = known;
            return true;
        }
    return false;
}

// A name not known reads as the first value.
HistoryOrigin originFromName(const QString &name)
{
    HistoryOrigin origin = HistoryOrigin::Measured;
    historyOriginFromName(name, &origin);
    return origin;
}

HistoryRowState stateFromName(const QString &name)
{
    HistoryRowState state = HistoryRowState::InTable;
    historyStateFromName(name, &state);
    return state;
}

// SQLite's primary result codes that say what happened.
enum SqliteCode {
    kSqlitePerm = 3,
    kSqliteBusy = 5,
    kSqliteLocked = 6,
    kSqliteNoMem = 7,
    kSqliteReadOnly = 8,
    kSqliteIoErr = 10,
    kSqliteCorrupt = 11,
    kSqliteFull = 13,
    kSqliteCantOpen = 14,
    kSqliteAuth = 23,
    kSqliteNotADb = 26,
};

// SQLite's primary result code behind a failure, 0 when none is known. The driver gives the
// (extended) code of a failed statement, but none for a failed commit, where a full disk shows
// in WAL mode: there SQLite's own fixed text is all there is.
int sqliteCode(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    if (ok && code > 0)
        return code & 0xff;
    static const struct
    {
        const char *text;
        int code;
    } texts[] = {
        {"database or disk is full", kSqliteFull},
        {"disk I/O error", kSqliteIoErr},
        {"attempt to write a readonly database", kSqliteReadOnly},
        {"database is locked", kSqliteBusy},
        {"database table is locked", kSqliteLocked},
        {"unable to open database file", kSqliteCantOpen},
        {"out of memory", kSqliteNoMem},
        {"database disk image is malformed", kSqliteCorrupt},
        {"file is not a database", kSqliteNotADb},
        {"access permission denied", kSqlitePerm},
        {"authorization denied", kSqliteAuth},
    };
    const QString text = error.databaseText();
    for (const auto &known : texts)
        if (text.startsWith(QLatin1String(known.text)))
            return known.code;
    return 0;
}

// So little room left on the disk that no commit fits: how a full disk looks when SQLite sees
// it only as an input/output error (a sync or a shared-memory page that failed).
bool lowOnSpace(const QString &folder)
{
    const QStorageInfo storage(folder);
    const qint64 available = storage.isValid() ? storage.bytesAvailable() : -1;
    return available >= 0 && available < 1024 * 1024;
}

// The values a judgement gives a row, in the order of their columns from delta_e to threshold.
void bindJudgement(QSqlQuery &query, const HistoryRow &row)
{
    query.addBindValue(row.deltaE);
    query.addBindValue(row.verdict);
    query.addBindValue(nullableInt(row.passed));
    query.addBindValue(row.formulaText);
    query.addBindValue(row.thresholdText);
    query.addBindValue(row.deviceName);
    query.addBindValue(row.serialNumber);
    query.addBindValue(nullableInt(row.formulaIndex));
    query.addBindValue(nullableDouble(row.threshold));
}

// The first layout. Newer layouts are reached from it by the migration steps, so a new file
// and an old one end up the same through the same statements.
QStringList schemaVersion1(const QSqlDatabase &db)
{
    return {
        QStringLiteral("CREATE TABLE history_schema (version INTEGER NOT NULL)"),
        QStringLiteral("INSERT INTO history_schema (version) VALUES (1)"),
        QStringLiteral("CREATE TABLE runs (id %1, started_at TEXT NOT NULL, ended_at TEXT, "
                       "end_reason TEXT, exported_to TEXT)")
            .arg(HistoryDialect(db).idColumn()),
        QStringLiteral("CREATE TABLE measurements (id %1, run_id BIGINT NOT NULL REFERENCES runs (id), "
                       "state TEXT NOT NULL, origin TEXT NOT NULL, origin_file TEXT, "
                       "stored_at TEXT NOT NULL, changed_at TEXT NOT NULL, "
                       "sequence_no DOUBLE PRECISION, test_name TEXT, time_text TEXT, "
                       "std_l DOUBLE PRECISION, std_a DOUBLE PRECISION, std_b DOUBLE PRECISION, "
                       "std_c DOUBLE PRECISION, std_h DOUBLE PRECISION, "
                       "smp_l DOUBLE PRECISION, smp_a DOUBLE PRECISION, smp_b DOUBLE PRECISION, "
                       "smp_c DOUBLE PRECISION, smp_h DOUBLE PRECISION, "
                       "delta_e DOUBLE PRECISION, verdict TEXT, passed INTEGER, "
                       "formula_text TEXT, threshold_text TEXT, device_name TEXT, serial_number TEXT, "
                       "formula_index INTEGER, threshold DOUBLE PRECISION)")
            .arg(HistoryDialect(db).idColumn()),
    };
}

// Step from version n to n + 1, at index n - 1. Version 2 records when a row was last judged
// again and finds a run's rows by an index instead of a scan (the start-up look for rows to
// restore stays fast however long the history grows). Version 3 keeps the last test number a
// run gave out, and marks the rows of runs the user chose not to put back as in no table (they
// had stayed in_table). Version 4 (migrateToEvents) adds the events, the UUIDs and desks, and
// the indexes the history window's filters use; its statements are in two parts, before and
// after the events of the rows already stored are written.
QStringList eventsLayout(const QSqlDatabase &db)
{
    const HistoryDialect sql(db);
    const QString key = sql.keyText();
    return {
        QStringLiteral("ALTER TABLE history_schema ADD COLUMN chain_id %1").arg(key),
        QStringLiteral("ALTER TABLE runs ADD COLUMN uuid %1").arg(key),
        QStringLiteral("ALTER TABLE runs ADD COLUMN desk %1").arg(key),
        QStringLiteral("ALTER TABLE measurements ADD COLUMN uuid %1").arg(key),
        QStringLiteral("ALTER TABLE measurements ADD COLUMN desk %1").arg(key),
        QStringLiteral("CREATE TABLE events (id %1, chain_id %2 NOT NULL, chain_seq BIGINT NOT NULL, "
                       "uuid %2 NOT NULL, at TEXT NOT NULL, login TEXT NOT NULL, host TEXT NOT NULL, "
                       "desk %2 NOT NULL, kind TEXT NOT NULL, row_uuid %2 NOT NULL, old_value TEXT NOT NULL, "
                       "new_value TEXT NOT NULL, hash TEXT NOT NULL)")
            .arg(sql.idColumn(), key),
        QStringLiteral("CREATE UNIQUE INDEX events_chain ON events (chain_id, chain_seq)"),
        QStringLiteral("CREATE UNIQUE INDEX events_uuid ON events (uuid)"),
        QStringLiteral("CREATE INDEX events_row ON events (row_uuid, chain_seq)"),
    };
}

// The indexes of version 4, made once the rows have their UUIDs: one for each filter of the
// history window (each also in the order the window shows by default, the time stored), the
// ΔE it is often sorted by, the counts of a run, and the test names containing a text.
QStringList eventsLayoutIndexes(const QSqlDatabase &db)
{
    const HistoryDialect sql(db);
    return QStringList{
               QStringLiteral("CREATE UNIQUE INDEX measurements_uuid ON measurements (uuid)"),
               QStringLiteral("CREATE UNIQUE INDEX runs_uuid ON runs (uuid)"),
               QStringLiteral("CREATE INDEX measurements_stored ON measurements (%1)").arg(sql.orderedIndex("stored_at")),
               QStringLiteral("CREATE INDEX measurements_serial ON measurements (%1)")
                   .arg(sql.orderedIndex("serial_number, stored_at")),
               QStringLiteral("CREATE INDEX measurements_passed ON measurements (%1)")
                   .arg(sql.orderedIndex("passed, stored_at")),
               QStringLiteral("CREATE INDEX measurements_origin ON measurements (%1)")
                   .arg(sql.orderedIndex("origin, stored_at")),
               QStringLiteral("CREATE INDEX measurements_state ON measurements (%1)").arg(sql.orderedIndex("state, stored_at")),
               QStringLiteral("CREATE INDEX measurements_run_passed ON measurements (run_id, passed)"),
               QStringLiteral("CREATE INDEX measurements_delta_e ON measurements (%1)")
                   .arg(sql.orderedIndex(sql.nullsFirstIndex("delta_e"))),
           }
        + sql.nameIndex();
}

QStringList migrationStep(int from, const QSqlDatabase &db)
{
    const HistoryDialect sql(db);
    switch (from) {
    case 1:
        return {
            QStringLiteral("ALTER TABLE measurements ADD COLUMN rejudged_at TEXT"),
            QStringLiteral("CREATE INDEX measurements_run_state ON measurements (run_id, state)"),
        };
    case 2:
        return {
            QStringLiteral("ALTER TABLE runs ADD COLUMN last_test_number INTEGER"),
            QStringLiteral("UPDATE measurements SET state = 'not_restored', "
                           "changed_at = (SELECT ended_at FROM runs WHERE runs.id = measurements.run_id) "
                           "WHERE state = 'in_table' AND run_id IN "
                           "(SELECT id FROM runs WHERE end_reason = 'not_restored')"),
        };
    case 4:
        // Version 5: what a shared server needs. Each change of a run takes the next revision,
        // so a sender knows which runs changed since it last sent; the desks' names; how far
        // each server has confirmed this file's chain; where the chain begins once rows the
        // server holds were removed from the file; the desk filter; and a row's events in the
        // order they were applied, whichever desk's chain they belong to.
        return {
            QStringLiteral("ALTER TABLE runs ADD COLUMN revision BIGINT"),
            QStringLiteral("UPDATE runs SET revision = id"),
            QStringLiteral("CREATE INDEX runs_revision ON runs (revision)"),
            QStringLiteral("CREATE INDEX runs_desk ON runs (desk, ended_at)"),
            QStringLiteral("CREATE TABLE desks (desk %1 PRIMARY KEY, name TEXT NOT NULL, named_at TEXT NOT NULL)")
                .arg(sql.keyText()),
            QStringLiteral("CREATE TABLE server_progress (server_id %1 PRIMARY KEY, server_name TEXT NOT NULL, "
                           "chain_id %1 NOT NULL, sent_seq BIGINT NOT NULL, sent_hash TEXT NOT NULL, "
                           "runs_revision BIGINT NOT NULL, confirmed_at TEXT NOT NULL)")
                .arg(sql.keyText()),
            QStringLiteral("ALTER TABLE history_schema ADD COLUMN removed_through BIGINT"),
            QStringLiteral("ALTER TABLE history_schema ADD COLUMN removed_hash TEXT"),
            QStringLiteral("CREATE INDEX measurements_desk ON measurements (%1)").arg(sql.orderedIndex("desk, stored_at")),
            QStringLiteral("CREATE INDEX events_row_order ON events (row_uuid, id)"),
            QStringLiteral("DROP INDEX events_row"),
        };
    default:
        return {};
    }
}

std::atomic<int> g_connectionCounter{0};

} // namespace

QString historyOriginName(HistoryOrigin origin)
{
    switch (origin) {
    case HistoryOrigin::Measured: return QStringLiteral("measured");
    case HistoryOrigin::Pushed: return QStringLiteral("pushed");
    case HistoryOrigin::Downloaded: return QStringLiteral("downloaded");
    case HistoryOrigin::Imported: return QStringLiteral("imported");
    }
    return QString();
}

bool historyOriginFromName(const QString &name, HistoryOrigin *origin)
{
    return fromName(name, {HistoryOrigin::Measured, HistoryOrigin::Pushed, HistoryOrigin::Downloaded,
                           HistoryOrigin::Imported}, historyOriginName, origin);
}

bool historyStateFromName(const QString &name, HistoryRowState *state)
{
    return fromName(name, {HistoryRowState::InTable, HistoryRowState::Deleted, HistoryRowState::Cleared,
                           HistoryRowState::Exported, HistoryRowState::NotRestored}, historyStateName, state);
}

QString historyStateName(HistoryRowState state)
{
    switch (state) {
    case HistoryRowState::InTable: return QStringLiteral("in_table");
    case HistoryRowState::Deleted: return QStringLiteral("deleted");
    case HistoryRowState::Cleared: return QStringLiteral("cleared");
    case HistoryRowState::Exported: return QStringLiteral("exported");
    case HistoryRowState::NotRestored: return QStringLiteral("not_restored");
    }
    return QString();
}

HistoryStore::HistoryStore()
    : m_connection(QStringLiteral("colorimeter-history-%1").arg(g_connectionCounter.fetch_add(1))),
      m_identity(HistoryIdentity::ofThisDesk())
{
}

QSqlDatabase HistoryStore::database() const
{
    return QSqlDatabase::database(m_connection, false);
}

HistoryStore::~HistoryStore()
{
    close();
}

QString HistoryStore::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/history.sqlite");
}

bool HistoryStore::open(const HistoryServer &server)
{
    close();
    m_onServer = true;
    m_server = server;
    m_filePath = server.displayName();
    m_error.clear();
    m_errorDetail.clear();
    m_movedAside.clear();
    m_damageSeen = false;
    m_serverProblem = ServerProblem::None;
    return openFile();
}

bool HistoryStore::open(const QString &filePath, bool knownDamaged)
{
    close();
    m_onServer = false;
    m_server = HistoryServer();
    m_serverProblem = ServerProblem::None;
    m_filePath = filePath;
    m_error.clear();
    m_errorDetail.clear();
    m_movedAside.clear();
    m_damageSeen = false;

    const QFileInfo info(filePath);
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder))
        return failWith(tr("the folder %1 cannot be made").arg(QDir::toNativeSeparators(folder)));
    if (info.exists() && !info.isFile())
        return failWith(tr("%1 is not a file").arg(QDir::toNativeSeparators(filePath)));
    if (!checkFileAccess())
        return false;
    if (knownDamaged && info.exists()) {
        qCWarning(lcHistory) << "history file found damaged in the last run:" << filePath;
    } else {
        if (openFile())
            return true;
        if (!m_damageSeen)
            return false;
        qCWarning(lcHistory) << "damaged history file" << filePath << ":" << m_error << m_errorDetail;
    }
    close();
    if (!moveAside()) {
        return failWith(
            tr("the history file %1 is damaged and cannot be moved aside").arg(QDir::toNativeSeparators(filePath)),
            m_errorDetail);
    }
    m_damageSeen = false;
    return openFile();
}

void HistoryStore::close()
{
    m_insert.reset();
    m_insertEvent.reset();
    m_prepared.clear();
    m_chainId.clear();
    m_runUuid.clear();
    if (QSqlDatabase::contains(m_connection)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connection, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(m_connection);
    }
    m_open = false;
    m_runId = 0;
    m_runTestNumber = -1;
}

// SQLite opens a file it may not write read-only, and then makes its side files (-wal, -shm)
// with the file's own mode: read-only files that outlive the cause, since after the file is
// made writable again SQLite still finds its shared memory read-only and refuses every write.
// So a file that cannot be written is not opened at all (nothing is left behind), and side
// files such an open left earlier are given the file's mode again once it can be written.
bool HistoryStore::checkFileAccess()
{
    if (!QFileInfo::exists(m_filePath))
        return true;
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly)) {
        const QString why = file.errorString();
        const QString name = QDir::toNativeSeparators(m_filePath);
        if (file.open(QIODevice::ReadOnly | QIODevice::ExistingOnly))
            return failWith(tr("the history file %1 is read-only").arg(name), why);
        return failWith(tr("the history file %1 cannot be opened").arg(name), why);
    }
    file.close();
    for (const QString &suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        QFile side(m_filePath + suffix);
        if (!side.exists() || side.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
            continue;
        if (side.setPermissions(file.permissions()) && side.open(QIODevice::ReadWrite | QIODevice::ExistingOnly)) {
            qCInfo(lcHistory) << "side file made writable again:" << side.fileName();
            continue;
        }
        return failWith(tr("the file %1 of the history is read-only").arg(QDir::toNativeSeparators(side.fileName())),
                        side.errorString());
    }
    return true;
}

bool HistoryStore::openDatabase()
{
    if (m_onServer) {
        if (!historyServerDriverAvailable()) {
            m_serverProblem = ServerProblem::NoDriver;
            return failWith(tr("the PostgreSQL driver of Qt SQL is not installed (Debian package libqt6sql6-psql)"));
        }
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connection);
        m_server.applyTo(db);
        if (!db.open()) {
            setServerError(db.lastError());
            return false;
        }
        // No SQLite set-up: durability is the server's.
        return true;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(kDriver, m_connection);
    if (!db.isValid())
        return failWith(tr("the SQLite driver of Qt SQL is not installed"));
    db.setDatabaseName(m_filePath);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db.open())
        return fail(db.lastError());
    return setUpConnection();
}

bool HistoryStore::openFile()
{
    if (!openDatabase() || !prepareSchema())
        return false;
    QSqlDatabase db = database();

    if (!loadChainId() || !readEdges())
        return false;
    m_insert = std::make_unique<QSqlQuery>(db);
    const bool prepared = m_insert->prepare(QStringLiteral(
        "INSERT INTO measurements (run_id, state, origin, origin_file, stored_at, changed_at, "
        "sequence_no, test_name, time_text, std_l, std_a, std_b, std_c, std_h, "
        "smp_l, smp_a, smp_b, smp_c, smp_h, delta_e, verdict, passed, formula_text, threshold_text, "
        "device_name, serial_number, formula_index, threshold, uuid, desk) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
        + dialect().returningId());
    if (!prepared)
        return fail(*m_insert);
    m_insertEvent = std::make_unique<QSqlQuery>(db);
    if (!m_insertEvent->prepare(QStringLiteral(
            "INSERT INTO events (chain_id, chain_seq, uuid, at, login, host, desk, kind, row_uuid, old_value, "
            "new_value, hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")))
        return fail(*m_insertEvent);
    m_open = true;
    qCDebug(lcHistory) << "history open:" << m_filePath;
    return true;
}

// The only SQLite-specific statements: the file's own check, write-ahead logging and how hard
// a commit waits for the disk.
bool HistoryStore::setUpConnection()
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    // A file that is not a database shows here, before anything is written to it: its first
    // page is read. Broken pages further in are found by quickCheck, which reads the whole file
    // (seconds for a long history: the program runs it on a worker thread after start), and
    // by SQLite's corruption codes on any statement that meets one.
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
        return fail(query);
    if (!query.next() || query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return failWith(tr("write-ahead logging cannot be used in %1").arg(QDir::toNativeSeparators(m_filePath)));
    query.finish();
    // Each commit reaches the disk before the row is reported stored: a power cut loses
    // nothing that the table showed.
    if (!query.exec(QStringLiteral("PRAGMA synchronous=FULL")))
        return fail(query);
    return true;
}

// The pages every write goes through: the schema, and the last pages of the tables and of their
// keys, where rows and events are appended. Damage there would break the next write; it is
// found at once and the file moved aside before anything is written to it.
bool HistoryStore::readEdges()
{
    QSqlQuery query(database());
    for (const char *table : {"runs", "measurements", "events"}) {
        if (!query.exec(QStringLiteral("SELECT MAX(id) FROM %1").arg(QLatin1String(table))) || !query.next())
            return fail(query);
    }
    return true;
}

bool HistoryStore::quickCheck(const QSqlDatabase &db, QString *problem, QString *error)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("PRAGMA quick_check(20)"))) {
        if (error)
            *error = query.lastError().text();
        // A file too broken to be read for the check is damaged all the same.
        const int code = sqliteCode(query.lastError());
        if (code == kSqliteCorrupt || code == kSqliteNotADb) {
            *problem = query.lastError().databaseText();
            return true;
        }
        return false;
    }
    QStringList lines;
    while (query.next())
        lines << query.value(0).toString();
    if (query.lastError().isValid()) {
        if (error)
            *error = query.lastError().text();
        return false;
    }
    *problem = lines == QStringList{QStringLiteral("ok")} ? QString() : lines.join(u'\n').simplified().left(300);
    return true;
}

bool HistoryStore::isDamagedError(const QSqlError &error) const
{
    const int code = sqliteCode(error);
    return code == kSqliteCorrupt || code == kSqliteNotADb;
}

// The server's words sorted by what the user can do about them. libpq says why a connection
// failed only in words (no SQLSTATE), in English unless the machine has its translations.
void HistoryStore::setServerError(const QSqlError &error)
{
    m_errorDetail = (error.databaseText().isEmpty() ? error.driverText() : error.databaseText()).simplified();
    const QString code = error.nativeErrorCode();
    const QString text = m_errorDetail;
    const QString server = m_server.displayName();
    const QString user = m_server.user.isEmpty() ? QStringLiteral("(login name)") : m_server.user;
    auto says = [&text](const char *words) { return text.contains(QLatin1String(words), Qt::CaseInsensitive); };
    if (code == QLatin1String("28P01") || says("password authentication failed") || says("no password supplied")
        || says("SCRAM") || says("password is")) {
        m_serverProblem = ServerProblem::Refused;
        m_error = tr("the history server %1 did not accept the password of %2 (the password comes from the "
                     "file ~/.pgpass)")
                      .arg(server, user);
    } else if (code == QLatin1String("28000") || says("pg_hba.conf") || (says("role") && says("does not exist"))
               || says("permission denied to connect")) {
        m_serverProblem = ServerProblem::Refused;
        m_error = tr("the history server %1 does not let %2 in").arg(server, user);
    } else if (code == QLatin1String("3D000") || (says("database") && says("does not exist"))) {
        m_serverProblem = ServerProblem::NoDatabase;
        m_error = tr("the database of the history server %1 does not exist").arg(server);
    } else if (code == QLatin1String("23505")) {
        m_serverProblem = ServerProblem::Conflict;
        m_error = tr("the history server %1 already holds other events in the places of this history's "
                     "(a copy of this history file may be in use at another desk)")
                      .arg(server);
    } else if (error.type() == QSqlError::ConnectionError || code.startsWith(QLatin1String("08"))
               || code.startsWith(QLatin1String("57P")) || says("could not connect") || says("connection refused")
               || says("no such file or directory") || says("timeout expired") || says("could not translate host")
               || says("server closed the connection") || says("no connection to the server")
               || says("terminating connection") || says("connection to server")) {
        m_serverProblem = ServerProblem::Unreachable;
        m_error = tr("the history server %1 cannot be reached").arg(server);
    } else {
        m_serverProblem = ServerProblem::Other;
        m_error = tr("the history server %1 cannot be used").arg(server);
    }
    qCWarning(lcHistory) << m_error << "-" << m_errorDetail;
}

void HistoryStore::setError(const QSqlError &error)
{
    if (m_onServer) {
        setServerError(error);
        return;
    }
    const QString file = QDir::toNativeSeparators(m_filePath);
    const QString folder = QFileInfo(m_filePath).absolutePath();
    const int code = sqliteCode(error);
    m_damageSeen = m_damageSeen || isDamagedError(error);
    m_errorDetail = error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
    const QString full = tr("the disk is full, so the history file %1 cannot be written").arg(file);
    switch (code) {
    case kSqliteFull:
        m_error = full;
        break;
    case kSqliteReadOnly:
        m_error = tr("the history file %1 is read-only").arg(file);
        break;
    case kSqlitePerm:
    case kSqliteAuth:
        m_error = tr("the program is not allowed to use the history file %1").arg(file);
        break;
    case kSqliteBusy:
    case kSqliteLocked:
        m_error = tr("the history file %1 is in use by another program").arg(file);
        break;
    case kSqliteCantOpen:
        m_error = tr("the history file %1 cannot be opened").arg(file);
        break;
    case kSqliteNoMem:
        m_error = tr("there is not enough memory for the history");
        break;
    case kSqliteCorrupt:
    case kSqliteNotADb:
        m_error = tr("the history file %1 is damaged").arg(file);
        break;
    case kSqliteIoErr:
        m_error = lowOnSpace(folder)
                      ? full
                      : tr("the disk that holds the history file %1 cannot be read or written").arg(file);
        break;
    default:
        m_error = code == 0 && lowOnSpace(folder) ? full
                                                  : tr("the history file %1 cannot be read or written").arg(file);
        break;
    }
    qCWarning(lcHistory) << m_error << "-" << m_errorDetail;
}

bool HistoryStore::moveAside()
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString target = m_filePath + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFile::exists(target); ++n)
        target = m_filePath + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
    if (!QFile::rename(m_filePath, target))
        return false;
    // The log and index files belong to the damaged file: they go with it, so the new file
    // does not pick them up.
    for (const QString &suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")})
        if (QFile::exists(m_filePath + suffix))
            QFile::rename(m_filePath + suffix, target + suffix);
    m_movedAside = target;
    return true;
}

bool HistoryStore::prepareSchema()
{
    const HistoryDialect sql = dialect();
    if (sql.schemaLock().isEmpty())
        return prepareSchemaLocked();
    if (!exec(sql.schemaLock()))
        return false;
    const bool ok = prepareSchemaLocked();
    QSqlQuery unlock(database());
    unlock.exec(sql.schemaUnlock());
    return ok;
}

bool HistoryStore::prepareSchemaLocked()
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    const QStringList tables = db.tables();
    if (db.lastError().isValid())
        return fail(db.lastError());
    if (!tables.contains(QLatin1String("history_schema"))) {
        if (!createSchema())
            return false;
    } else {
        const int version = schemaVersion();
        if (version <= 0)
            return false;
        if (version > kSchemaVersion) {
            if (m_onServer) {
                m_serverProblem = ServerProblem::NewerLayout;
                return failWith(tr("the history server %1 holds a history of a newer version of the program; "
                                   "it is left as it is")
                                    .arg(m_filePath));
            }
            return failWith(tr("the history file %1 was written by a newer version of the program")
                                .arg(QDir::toNativeSeparators(m_filePath)));
        }
        if (version < kSchemaVersion && !migrate(version))
            return false;
    }
    // A file that can be read but not written (read-only file or folder) shows now, not at
    // the first measurement.
    return exec(QStringLiteral("UPDATE history_schema SET version = version"));
}

bool HistoryStore::createSchema()
{
    return execInTransaction(schemaVersion1(QSqlDatabase::database(m_connection, false))) && migrate(1);
}

bool HistoryStore::migrate(int from)
{
    for (int version = from; version < kSchemaVersion; ++version) {
        qCInfo(lcHistory) << "history layout" << version << "->" << version + 1;
        if (version == 3) {
            if (!migrateToEvents())
                return false;
            continue;
        }
        // Each step all or nothing, so a step cut short is done again from the start.
        QStringList statements = migrationStep(version, database());
        statements << QStringLiteral("UPDATE history_schema SET version = %1").arg(version + 1);
        if (!execInTransaction(statements))
            return false;
    }
    return true;
}

bool HistoryStore::execInTransaction(const QStringList &statements)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction())
        return failTransaction(db);
    for (const QString &sql : statements)
        if (!exec(sql)) {
            db.rollback();
            return false;
        }
    if (!db.commit())
        return failTransaction(db);
    return true;
}

int HistoryStore::schemaVersion()
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(QStringLiteral("SELECT version FROM history_schema"))) {
        fail(query);
        return -1;
    }
    if (!query.next()) {
        failWith(tr("the history file %1 has no layout version").arg(QDir::toNativeSeparators(m_filePath)));
        return -1;
    }
    return query.value(0).toInt();
}

bool HistoryStore::fail(const QSqlQuery &query)
{
    return fail(query.lastError());
}

bool HistoryStore::fail(const QSqlError &error)
{
    setError(error);
    return false;
}

bool HistoryStore::failWith(const QString &text, const QString &detail)
{
    m_error = text;
    m_errorDetail = detail;
    qCWarning(lcHistory) << m_error << "-" << m_errorDetail;
    return false;
}

bool HistoryStore::failTransaction(const QSqlDatabase &db)
{
    return fail(db.lastError());
}

bool HistoryStore::commitOrRollBack(QSqlDatabase &db)
{
    if (db.commit())
        return true;
    failTransaction(db);
    db.rollback();
    return false;
}

bool HistoryStore::exec(QSqlQuery &query)
{
    return query.exec() || fail(query);
}

bool HistoryStore::exec(const QString &sql)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    return query.exec(sql) || fail(query);
}

bool HistoryStore::ensureRun()
{
    if (m_runId > 0)
        return true;
    QSqlQuery query(database());
    const QString uuid = newUuid();
    query.prepare(QStringLiteral("INSERT INTO runs (started_at, uuid, desk, revision) VALUES (?, ?, ?, %1)")
                      .arg(nextRevision())
                  + dialect().returningId());
    query.addBindValue(now());
    query.addBindValue(uuid);
    query.addBindValue(m_identity.desk);
    if (!exec(query))
        return false;
    m_runId = dialect().insertedId(query);
    m_runUuid = uuid;
    return m_runId > 0;
}

// In the transaction the caller opened: the run's last test number, when it grew.
bool HistoryStore::keepRunTestNumber(int runTestNumber)
{
    if (runTestNumber <= m_runTestNumber)
        return true;
    QSqlQuery query(database());
    query.prepare(QStringLiteral("UPDATE runs SET last_test_number = ?, revision = %1 WHERE id = ?").arg(nextRevision()));
    query.addBindValue(runTestNumber);
    query.addBindValue(m_runId);
    return exec(query);
}

bool HistoryStore::loadChainId()
{
    QSqlQuery query(database());
    if (!query.exec(QStringLiteral("SELECT chain_id FROM history_schema")))
        return fail(query);
    m_chainId = query.next() ? query.value(0).toString() : QString();
    if (m_chainId.isEmpty())
        return failWith(tr("the history file %1 has no chain of events").arg(QDir::toNativeSeparators(m_filePath)));
    return true;
}

QString HistoryStore::nextRevision() const
{
    return QStringLiteral("(SELECT COALESCE(MAX(revision), 0) + 1 FROM runs)");
}

bool HistoryStore::beginWrite()
{
    const HistoryDialect sql = dialect();
    QSqlQuery query(database());
    if (!query.exec(sql.beginWrite()))
        return fail(query);
    if (!sql.chainLock().isEmpty()) {
        query.prepare(sql.chainLock());
        query.addBindValue(m_chainId);
        if (!exec(query)) {
            database().rollback();
            return false;
        }
    }
    if (!readHead()) {
        database().rollback();
        return false;
    }
    return true;
}

bool HistoryStore::readHead()
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT chain_seq, hash FROM events WHERE chain_id = ? "
                                 "ORDER BY chain_seq DESC LIMIT 1"));
    query.addBindValue(m_chainId);
    if (!exec(query))
        return false;
    if (query.next()) {
        m_headCount = query.value(0).toLongLong();
        m_headHash = query.value(1).toString();
    } else {
        m_headCount = 0;
        m_headHash.clear();
    }
    return true;
}

bool HistoryStore::appendEvent(HistoryEventKind kind, const QString &rowUuid, const QString &oldValue,
                               const QString &newValue, const QString &at)
{
    HistoryEvent event;
    event.chainId = m_chainId;
    event.sequence = m_headCount + 1;
    event.uuid = newUuid();
    event.at = at;
    event.login = m_identity.login;
    event.host = m_identity.host;
    event.desk = m_identity.desk;
    event.kind = kind;
    event.rowUuid = rowUuid;
    event.oldValue = oldValue;
    event.newValue = newValue;
    event.hash = event.computeHash(m_headHash);
    if (!m_insertEvent) {
        m_insertEvent = std::make_unique<QSqlQuery>(database());
        if (!m_insertEvent->prepare(QStringLiteral(
                "INSERT INTO events (chain_id, chain_seq, uuid, at, login, host, desk, kind, row_uuid, old_value, "
                "new_value, hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")))
            return fail(*m_insertEvent);
    }
    QSqlQuery &q = *m_insertEvent;
    for (const QVariant &value :
         {QVariant(event.chainId), QVariant(event.sequence), QVariant(event.uuid), QVariant(event.at),
          QVariant(event.login), QVariant(event.host), QVariant(event.desk), QVariant(historyEventKindName(kind)),
          QVariant(event.rowUuid), QVariant(event.oldValue), QVariant(event.newValue), QVariant(event.hash)})
        q.addBindValue(value);
    if (!exec(q))
        return false;
    m_headCount = event.sequence;
    m_headHash = event.hash;
    return true;
}

// In the write the caller began: the row, its "added" event with all it holds, chained. Every
// way a row enters the history comes through here, so no row is ever stored without its event.
qint64 HistoryStore::insertRow(const HistoryRow &row, const QString &time)
{
    QSqlQuery &q = *m_insert;
    const QString uuid = newUuid();
    q.addBindValue(m_runId);
    q.addBindValue(historyStateName(HistoryRowState::InTable));
    q.addBindValue(historyOriginName(row.origin));
    q.addBindValue(textOrNull(row.originFile));
    q.addBindValue(time);
    q.addBindValue(time);
    q.addBindValue(row.sequence);
    q.addBindValue(row.testName);
    q.addBindValue(row.timeText);
    for (double v : row.standard)
        q.addBindValue(v);
    for (double v : row.sample)
        q.addBindValue(v);
    bindJudgement(q, row);
    q.addBindValue(uuid);
    q.addBindValue(m_identity.desk);
    if (!exec(q))
        return -1;
    const qint64 id = m_onServer ? dialect().insertedId(q) : q.lastInsertId().toLongLong();
    if (!appendEvent(HistoryEventKind::Added, uuid, QStringLiteral("{}"),
                     historyJson(historyRowContent(row, m_runUuid)), time))
        return -1;
    return id;
}

qint64 HistoryStore::addRow(const HistoryRow &row, int runTestNumber)
{
    const QList<qint64> ids = addRows({row}, runTestNumber);
    return ids.isEmpty() ? -1 : ids.first();
}

QList<qint64> HistoryStore::addRows(const QList<HistoryRow> &rows, int runTestNumber)
{
    // The run is begun outside the transaction: a rollback must not leave m_runId naming a run
    // that is not there.
    if (!m_open || rows.isEmpty() || !ensureRun() || !beginWrite())
        return {};
    QSqlDatabase db = database();
    QList<qint64> ids;
    ids.reserve(rows.size());
    const QString time = now();
    for (const HistoryRow &row : rows) {
        const qint64 id = insertRow(row, time);
        if (id <= 0) {
            db.rollback();
            return {};
        }
        ids.append(id);
    }
    // The rows, their events and the run's new last test number reach the disk in the same
    // commit, or none of them does.
    if (!keepRunTestNumber(runTestNumber)) {
        db.rollback();
        return {};
    }
    if (!commitOrRollBack(db))
        return {};
    m_runTestNumber = std::max(m_runTestNumber, runTestNumber);
    return ids;
}

bool HistoryStore::setTestName(qint64 id, const QString &name)
{
    if (!m_open || !beginWrite())
        return false;
    QSqlDatabase db = database();
    HistoryRow old;
    if (!storedRow(id, &old)) {
        db.rollback();
        return false;
    }
    if (old.id == 0 || old.testName == name) {
        db.rollback(); // a row not stored, or a name as it was: nothing to write
        return true;
    }
    const QString time = now();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE measurements SET test_name = ?, changed_at = ? WHERE id = ?"));
    query.addBindValue(name);
    query.addBindValue(time);
    query.addBindValue(id);
    const QJsonObject before{{QStringLiteral("test_name"), old.testName}};
    const QJsonObject after{{QStringLiteral("test_name"), name}};
    if (!exec(query)
        || !appendEvent(HistoryEventKind::Renamed, old.uuid, historyJson(before), historyJson(after), time)) {
        db.rollback();
        return false;
    }
    return commitOrRollBack(db);
}

bool HistoryStore::markDeleted(qint64 id)
{
    if (!m_open || !beginWrite())
        return false;
    QSqlDatabase db = database();
    HistoryRow old;
    if (!storedRow(id, &old)) {
        db.rollback();
        return false;
    }
    if (old.id == 0 || old.state == HistoryRowState::Deleted) {
        db.rollback();
        return true;
    }
    const QString time = now();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE measurements SET state = ?, changed_at = ? WHERE id = ?"));
    query.addBindValue(historyStateName(HistoryRowState::Deleted));
    query.addBindValue(time);
    query.addBindValue(id);
    if (!exec(query)
        || !appendEvent(HistoryEventKind::Deleted, old.uuid, historyJson(stateValue(old.state)),
                        historyJson(stateValue(HistoryRowState::Deleted)), time)) {
        db.rollback();
        return false;
    }
    return commitOrRollBack(db);
}

bool HistoryStore::rejudge(const QList<HistoryRow> &rows)
{
    if (!m_open || !beginWrite())
        return false;
    QSqlDatabase db = database();
    QSqlQuery query(db);
    query.prepare(QStringLiteral(
        "UPDATE measurements SET delta_e = ?, verdict = ?, passed = ?, formula_text = ?, threshold_text = ?, "
        "device_name = ?, serial_number = ?, formula_index = ?, threshold = ?, rejudged_at = ?, changed_at = ? "
        "WHERE id = ?"));
    const QString time = now();
    for (const HistoryRow &row : rows) {
        HistoryRow old;
        if (!storedRow(row.id, &old)) {
            db.rollback();
            return false;
        }
        if (old.id == 0)
            continue;
        // A judgement that comes out as it was changes nothing, and says nothing happened.
        const QString before = historyJson(historyJudgement(old)), after = historyJson(historyJudgement(row));
        if (before == after)
            continue;
        bindJudgement(query, row);
        query.addBindValue(time);
        query.addBindValue(time);
        query.addBindValue(row.id);
        if (!exec(query) || !appendEvent(HistoryEventKind::Rejudged, old.uuid, before, after, time)) {
            db.rollback();
            return false;
        }
    }
    return commitOrRollBack(db);
}

QList<HistoryStore::RowRef> HistoryStore::rowRefs(const QString &where, const QVariantList &binds, bool *ok)
{
    QList<RowRef> refs;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QString::fromLatin1(kRowRefs).arg(where));
    for (const QVariant &bind : binds)
        query.addBindValue(bind);
    *ok = exec(query);
    while (*ok && query.next())
        refs.append({query.value(0).toLongLong(), query.value(1).toString(), query.value(2).toString()});
    return refs;
}

QList<HistoryStore::RunRef> HistoryStore::unfinishedRuns(bool *ok)
{
    QList<RunRef> runs;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QLatin1String(kUnfinishedRuns));
    query.addBindValue(m_runId);
    query.addBindValue(m_identity.desk);
    *ok = exec(query);
    while (*ok && query.next())
        runs.append({query.value(0).toLongLong(), query.value(1).toString(),
                     query.value(2).isNull() ? -1 : query.value(2).toInt()});
    return runs;
}

QList<HistoryStore::RowRef> HistoryStore::inTableRowsOf(const QList<RunRef> &runs, bool *ok)
{
    QList<RowRef> refs;
    *ok = true;
    for (const RunRef &run : runs) {
        refs += rowRefs(QLatin1String(kRowsOfRunInState), {run.id, historyStateName(HistoryRowState::InTable)}, ok);
        if (!*ok)
            return {};
    }
    // In the order they were stored, whichever run they were in: the table's order.
    std::sort(refs.begin(), refs.end(), [](const RowRef &a, const RowRef &b) { return a.id < b.id; });
    return refs;
}

bool HistoryStore::endRuns(const QList<RunRef> &runs, const QString &reason, const QString &time)
{
    QSqlQuery query(database());
    query.prepare(QStringLiteral("UPDATE runs SET ended_at = ?, end_reason = ?, revision = %1 WHERE id = ?")
                      .arg(nextRevision()));
    for (const RunRef &run : runs) {
        query.addBindValue(time);
        query.addBindValue(reason);
        query.addBindValue(run.id);
        if (!exec(query))
            return false;
    }
    return true;
}

QList<HistoryStore::Statement> HistoryStore::unfinishedStatements() const
{
    const QString inTable = historyStateName(HistoryRowState::InTable);
    return {
        {QLatin1String(kUnfinishedRuns), {m_runId, m_identity.desk}},
        {QString::fromLatin1(kRowRefs).arg(QLatin1String(kRowsOfRunInState)), {qint64(1), inTable}},
        {QString::fromLatin1(kUnfinishedRows).arg(QLatin1String(kRowColumns)), {inTable, m_runId, m_identity.desk}},
        {QLatin1String(kRunHasRowsInTable), {qint64(1), inTable}},
    };
}

// In the write the caller began: every row of refs goes from one state to another, each with
// its event.
bool HistoryStore::changeState(const QList<RowRef> &refs, HistoryRowState from, HistoryRowState to,
                               HistoryEventKind kind, const QString &file, const QString &time)
{
    QSqlQuery query(database());
    query.prepare(QStringLiteral("UPDATE measurements SET state = ?, changed_at = ? WHERE id = ?"));
    QJsonObject after = stateValue(to);
    if (!file.isEmpty())
        after.insert(QStringLiteral("file"), file);
    const QString before = historyJson(stateValue(from)), afterText = historyJson(after);
    for (const RowRef &ref : refs) {
        query.addBindValue(historyStateName(to));
        query.addBindValue(time);
        query.addBindValue(ref.id);
        if (!exec(query) || !appendEvent(kind, ref.uuid, before, afterText, time))
            return false;
    }
    return true;
}

bool HistoryStore::endRun(RunEnd end, const QString &exportedTo)
{
    if (!m_open)
        return false;
    if (m_runId <= 0)
        return true; // nothing was stored in this run
    if (!beginWrite())
        return false;
    QSqlDatabase db = database();
    const QString time = now();
    QString reason;
    switch (end) {
    case RunEnd::Exported: reason = QStringLiteral("exported"); break;
    case RunEnd::Cleared: reason = QStringLiteral("cleared"); break;
    case RunEnd::Closed: reason = QStringLiteral("closed"); break;
    case RunEnd::Declined: reason = QStringLiteral("not_restored"); break;
    }
    bool ok = true;
    if (end == RunEnd::Exported || end == RunEnd::Cleared) {
        const QList<RowRef> refs = rowRefs(QLatin1String(kRowsOfRunInState),
                                           {m_runId, historyStateName(HistoryRowState::InTable)}, &ok);
        ok = ok
             && (end == RunEnd::Exported
                     ? changeState(refs, HistoryRowState::InTable, HistoryRowState::Exported,
                                   HistoryEventKind::Exported, exportedTo, time)
                     : changeState(refs, HistoryRowState::InTable, HistoryRowState::Cleared,
                                   HistoryEventKind::Cleared, QString(), time));
    }
    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE runs SET ended_at = ?, end_reason = ?, exported_to = ?, revision = %1 WHERE id = ?")
                      .arg(nextRevision()));
    query.addBindValue(time);
    query.addBindValue(reason);
    query.addBindValue(textOrNull(exportedTo));
    query.addBindValue(m_runId);
    if (!ok || !exec(query)) {
        db.rollback();
        return false;
    }
    if (!commitOrRollBack(db))
        return false;
    m_runId = 0;
    m_runUuid.clear();
    m_runTestNumber = -1;
    return true;
}

namespace {

// A stored row from its columns in kRowColumns' order, whatever reads them: values has
// isNull, real, integer and text of a column, counted from the row's first.
template <typename Values>
HistoryRow readRow(const Values &values)
{
    HistoryRow r;
    int c = 0;
    r.id = values.integer(c++);
    r.runId = values.integer(c++);
    r.state = stateFromName(values.text(c++));
    r.origin = originFromName(values.text(c++));
    r.originFile = values.text(c++);
    r.sequence = values.real(c++);
    r.testName = values.text(c++);
    r.timeText = values.text(c++);
    for (double &v : r.standard)
        v = values.real(c++);
    for (double &v : r.sample)
        v = values.real(c++);
    // A ΔE that is not a number (a record without parameters) is stored as NULL.
    r.deltaE = values.isNull(c) ? std::numeric_limits<double>::quiet_NaN() : values.real(c);
    ++c;
    r.verdict = values.text(c++);
    r.passed = values.isNull(c) ? -1 : int(values.integer(c));
    ++c;
    r.formulaText = values.text(c++);
    r.thresholdText = values.text(c++);
    r.deviceName = values.text(c++);
    r.serialNumber = values.text(c++);
    r.formulaIndex = values.isNull(c) ? -1 : int(values.integer(c));
    ++c;
    r.threshold = values.isNull(c) ? -1.0 : values.real(c);
    ++c;
    r.uuid = values.text(c++);
    r.desk = values.text(c++);
    r.storedAt = values.text(c++);
    return r;
}

struct VariantValues
{
    const std::function<QVariant(int)> &value;
    bool isNull(int c) const { return value(c).isNull(); }
    double real(int c) const { return value(c).toDouble(); }
    qint64 integer(int c) const { return value(c).toLongLong(); }
    QString text(int c) const { return value(c).toString(); }
};

struct CursorValues
{
    const HistoryCursor &cursor;
    int first;
    bool isNull(int c) const { return cursor.isNull(first + c); }
    double real(int c) const { return cursor.real(first + c); }
    qint64 integer(int c) const { return cursor.integer(first + c); }
    QString text(int c) const { return cursor.text(first + c); }
};

} // namespace

HistoryRow historyRowFromValues(const std::function<QVariant(int)> &value)
{
    return readRow(VariantValues{value});
}

HistoryRow historyRowFromQuery(const QSqlQuery &query, int first)
{
    return historyRowFromValues([&query, first](int c) { return query.value(first + c); });
}

const char *historyRowColumns()
{
    return kRowColumns;
}

QList<HistoryRow> HistoryStore::selectRows(QSqlQuery &query)
{
    QList<HistoryRow> rows;
    if (!exec(query))
        return rows;
    while (query.next())
        rows.append(historyRowFromQuery(query, 0));
    return rows;
}

QList<HistoryRow> HistoryStore::unfinishedRows()
{
    if (!m_open)
        return {};
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QString::fromLatin1(kUnfinishedRows).arg(QLatin1String(kRowColumns)));
    query.addBindValue(historyStateName(HistoryRowState::InTable));
    query.addBindValue(m_runId);
    query.addBindValue(m_identity.desk);
    return selectRows(query);
}

int HistoryStore::unfinishedTestNumber()
{
    if (!m_open)
        return -1;
    bool ok = true;
    const QList<RunRef> runs = unfinishedRuns(&ok);
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QLatin1String(kRunHasRowsInTable));
    int highest = -1;
    for (const RunRef &run : runs) {
        // Only the runs whose rows are offered count.
        query.addBindValue(run.id);
        query.addBindValue(historyStateName(HistoryRowState::InTable));
        if (!exec(query))
            return -1;
        const bool offered = query.next();
        query.finish();
        if (!offered)
            continue;
        if (run.lastTestNumber < 0)
            return -1;
        highest = std::max(highest, run.lastTestNumber);
    }
    return ok ? highest : -1;
}

bool HistoryStore::adoptUnfinishedRows(int runTestNumber)
{
    if (!m_open || !ensureRun() || !beginWrite())
        return false;
    QSqlDatabase db = database();
    const QString time = now();
    bool ok = true;
    const QList<RunRef> runs = unfinishedRuns(&ok);
    const QList<RowRef> refs = ok ? inTableRowsOf(runs, &ok) : QList<RowRef>();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE measurements SET run_id = ?, changed_at = ? WHERE id = ?"));
    const QString after = historyJson({{QStringLiteral("run"), m_runUuid}});
    for (const RowRef &ref : refs) {
        if (!ok)
            break;
        query.addBindValue(m_runId);
        query.addBindValue(time);
        query.addBindValue(ref.id);
        ok = exec(query)
             && appendEvent(HistoryEventKind::Restored, ref.uuid, historyJson({{QStringLiteral("run"), ref.runUuid}}),
                            after, time);
    }
    ok = ok && endRuns(runs, QStringLiteral("restored"), time);
    ok = ok && keepRunTestNumber(runTestNumber);
    if (!ok) {
        db.rollback();
        return false;
    }
    if (!commitOrRollBack(db))
        return false;
    m_runTestNumber = std::max(m_runTestNumber, runTestNumber);
    return true;
}

bool HistoryStore::putBack(const QList<qint64> &ids, int runTestNumber, QList<HistoryRow> *put, int *inTableAlready)
{
    put->clear();
    if (inTableAlready)
        *inTableAlready = 0;
    if (!m_open)
        return false;
    if (ids.isEmpty())
        return true;
    if (!ensureRun() || !beginWrite())
        return false;
    QSqlDatabase db = database();
    const QString time = now();
    // The rows in the order they were stored, read in slices of a size every database binds.
    QList<qint64> sorted = ids;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    QList<HistoryRow> rows;
    QStringList runUuids;
    constexpr int kSlice = 500;
    for (qsizetype from = 0; from < sorted.size(); from += kSlice) {
        const QList<qint64> slice = sorted.mid(from, kSlice);
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT r.uuid, %1 FROM measurements JOIN runs r ON r.id = measurements.run_id "
                                     "WHERE measurements.id IN (%2) ORDER BY measurements.id")
                          .arg(qualifiedRowColumns(), QStringList(slice.size(), QStringLiteral("?")).join(u',')));
        for (qint64 id : slice)
            query.addBindValue(id);
        if (!exec(query)) {
            db.rollback();
            return false;
        }
        while (query.next()) {
            HistoryRow row = historyRowFromQuery(query, 1);
            // A row in a table is there already: putting it in twice would give one row two
            // places that its events could not tell apart.
            if (row.state == HistoryRowState::InTable) {
                if (inTableAlready)
                    ++*inTableAlready;
                continue;
            }
            runUuids.append(query.value(0).toString());
            rows.append(row);
        }
    }
    QSqlQuery update(db);
    update.prepare(QStringLiteral("UPDATE measurements SET run_id = ?, state = ?, changed_at = ? WHERE id = ?"));
    const QString after = historyJson({{QStringLiteral("run"), m_runUuid},
                                       {QStringLiteral("state"), historyStateName(HistoryRowState::InTable)}});
    for (qsizetype i = 0; i < rows.size(); ++i) {
        HistoryRow &row = rows[i];
        update.addBindValue(m_runId);
        update.addBindValue(historyStateName(HistoryRowState::InTable));
        update.addBindValue(time);
        update.addBindValue(row.id);
        const QString before = historyJson({{QStringLiteral("run"), runUuids.at(i)},
                                            {QStringLiteral("state"), historyStateName(row.state)}});
        if (!exec(update) || !appendEvent(HistoryEventKind::Restored, row.uuid, before, after, time)) {
            db.rollback();
            return false;
        }
        row.runId = m_runId;
        row.state = HistoryRowState::InTable;
    }
    if (!keepRunTestNumber(runTestNumber)) {
        db.rollback();
        return false;
    }
    if (!commitOrRollBack(db))
        return false;
    m_runTestNumber = std::max(m_runTestNumber, runTestNumber);
    *put = rows;
    return true;
}

bool HistoryStore::declineUnfinishedRuns()
{
    if (!m_open)
        return false;
    // Every start asks, and nearly always no run is left: then nothing is written, and the start
    // never waits for the write lock another program holds. Only this desk makes this desk's
    // runs, so none can appear before the write begins.
    bool ok = true;
    if (unfinishedRuns(&ok).isEmpty())
        return ok;
    if (!beginWrite())
        return false;
    QSqlDatabase db = database();
    const QString time = now();
    const QList<RunRef> runs = unfinishedRuns(&ok);
    // Their rows were in the table of a run that is over and are in none now.
    const QList<RowRef> refs = ok ? inTableRowsOf(runs, &ok) : QList<RowRef>();
    ok = ok
         && changeState(refs, HistoryRowState::InTable, HistoryRowState::NotRestored, HistoryEventKind::NotRestored,
                        QString(), time);
    ok = ok && endRuns(runs, QStringLiteral("not_restored"), time);
    if (!ok) {
        db.rollback();
        return false;
    }
    return commitOrRollBack(db);
}

QList<HistoryRow> HistoryStore::rowsOfRun(qint64 runId)
{
    if (!m_open)
        return {};
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM measurements WHERE run_id = ? ORDER BY id").arg(QLatin1String(kRowColumns)));
    query.addBindValue(runId);
    return selectRows(query);
}

bool HistoryStore::storedRow(qint64 id, HistoryRow *row)
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM measurements WHERE id = ?").arg(QLatin1String(kRowColumns)));
    query.addBindValue(id);
    if (!exec(query))
        return false;
    *row = query.next() ? historyRowFromQuery(query, 0) : HistoryRow();
    return true;
}

HistoryRow HistoryStore::row(qint64 id)
{
    if (!m_open)
        return {};
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM measurements WHERE id = ?").arg(QLatin1String(kRowColumns)));
    query.addBindValue(id);
    const QList<HistoryRow> rows = selectRows(query);
    return rows.isEmpty() ? HistoryRow() : rows.first();
}

qint64 HistoryStore::rowCount()
{
    if (!m_open)
        return -1;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM measurements")) || !query.next())
        return -1;
    return query.value(0).toLongLong();
}

// Layout 4: the events. The rows already stored get a UUID and this desk (the file is the
// user's own), the file its chain, and every row one event for how it was added (at the time
// it was stored, with what it shows now) and, when it left the table, one for its state (at
// the time it changed): all Added events by the time stored first, then the state events by
// the time changed. One transaction with the version update, as every step.
bool HistoryStore::migrateToEvents()
{
    QSqlDatabase db = database();
    if (!db.transaction())
        return failTransaction(db);
    auto abort = [&db]() {
        db.rollback();
        return false;
    };
    for (const QString &sql : eventsLayout(db))
        if (!exec(sql))
            return abort();
    m_chainId = newUuid();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("UPDATE history_schema SET chain_id = ?"));
    query.addBindValue(m_chainId);
    if (!exec(query))
        return abort();

    for (const char *table : {"runs", "measurements"}) {
        QSqlQuery ids(db);
        ids.setForwardOnly(true);
        QList<qint64> keys;
        if (!ids.exec(QStringLiteral("SELECT id FROM %1").arg(QLatin1String(table))))
            return fail(ids) || abort();
        while (ids.next())
            keys.append(ids.value(0).toLongLong());
        ids.finish();
        query.prepare(QStringLiteral("UPDATE %1 SET uuid = ?, desk = ? WHERE id = ?").arg(QLatin1String(table)));
        for (qint64 key : keys) {
            query.addBindValue(newUuid());
            query.addBindValue(m_identity.desk);
            query.addBindValue(key);
            if (!exec(query))
                return abort();
        }
    }

    m_headCount = 0;
    m_headHash.clear();
    QSqlQuery rows(db);
    rows.setForwardOnly(true);
    if (!rows.exec(QStringLiteral("SELECT r.uuid, %1 FROM measurements JOIN runs r ON r.id = measurements.run_id "
                                  "ORDER BY measurements.stored_at, measurements.id")
                       .arg(qualifiedRowColumns())))
        return fail(rows) || abort();
    while (rows.next()) {
        const HistoryRow row = historyRowFromQuery(rows, 1);
        if (!appendEvent(HistoryEventKind::Added, row.uuid, QStringLiteral("{}"),
                         historyJson(historyRowContent(row, rows.value(0).toString())), row.storedAt))
            return abort();
    }
    rows.finish();
    if (!rows.exec(QStringLiteral("SELECT m.uuid, m.state, m.changed_at, r.exported_to FROM measurements m "
                                  "JOIN runs r ON r.id = m.run_id WHERE m.state <> 'in_table' "
                                  "ORDER BY m.changed_at, m.id")))
        return fail(rows) || abort();
    while (rows.next()) {
        HistoryRowState state = HistoryRowState::InTable;
        historyStateFromName(rows.value(1).toString(), &state);
        HistoryEventKind kind = HistoryEventKind::Deleted;
        QJsonObject after = stateValue(state);
        switch (state) {
        case HistoryRowState::InTable:
        case HistoryRowState::Deleted: kind = HistoryEventKind::Deleted; break;
        case HistoryRowState::Cleared: kind = HistoryEventKind::Cleared; break;
        case HistoryRowState::NotRestored: kind = HistoryEventKind::NotRestored; break;
        case HistoryRowState::Exported:
            kind = HistoryEventKind::Exported;
            if (!rows.value(3).toString().isEmpty())
                after.insert(QStringLiteral("file"), rows.value(3).toString());
            break;
        }
        if (!appendEvent(kind, rows.value(0).toString(), historyJson(stateValue(HistoryRowState::InTable)),
                         historyJson(after), rows.value(2).toString()))
            return abort();
    }
    rows.finish();
    QStringList statements = eventsLayoutIndexes(db);
    statements << QStringLiteral("UPDATE history_schema SET version = 4");
    for (const QString &sql : statements)
        if (!exec(sql))
            return abort();
    if (!db.commit())
        return failTransaction(db) || abort();
    qCInfo(lcHistory) << "history events made for the stored rows:" << m_headCount;
    return true;
}

namespace {

HistoryEvent readEventFromQuery(const QSqlQuery &query, const QString &chainId)
{
    HistoryEvent e;
    e.chainId = chainId;
    int c = 0;
    e.sequence = query.value(c++).toLongLong();
    e.uuid = query.value(c++).toString();
    e.at = query.value(c++).toString();
    e.login = query.value(c++).toString();
    e.host = query.value(c++).toString();
    e.desk = query.value(c++).toString();
    historyEventKindFromName(query.value(c++).toString(), &e.kind);
    e.rowUuid = query.value(c++).toString();
    e.oldValue = query.value(c++).toString();
    e.newValue = query.value(c++).toString();
    e.hash = query.value(c++).toString();
    return e;
}

const char kEventColumns[] = "chain_seq, uuid, at, login, host, desk, kind, row_uuid, old_value, new_value, hash";

bool sameNumber(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

// What a stored row and the row its events give differ in; empty when they agree.
QString difference(const HistoryRow &stored, const QString &storedRun, const HistoryReplay &replayed)
{
    const HistoryRow &e = replayed.row;
    if (stored.state != e.state)
        return QStringLiteral("state");
    if (storedRun != replayed.runUuid)
        return QStringLiteral("run");
    if (stored.origin != e.origin || stored.originFile != e.originFile)
        return QStringLiteral("origin");
    if (!sameNumber(stored.sequence, e.sequence) || stored.testName != e.testName || stored.timeText != e.timeText)
        return QStringLiteral("number, name or time");
    for (size_t i = 0; i < 5; ++i)
        if (!sameNumber(stored.standard[i], e.standard[i]) || !sameNumber(stored.sample[i], e.sample[i]))
            return QStringLiteral("colours");
    if (!sameNumber(stored.deltaE, e.deltaE) || stored.verdict != e.verdict || stored.passed != e.passed
        || stored.formulaText != e.formulaText || stored.thresholdText != e.thresholdText
        || stored.formulaIndex != e.formulaIndex || !sameNumber(stored.threshold, e.threshold))
        return QStringLiteral("judgement");
    if (stored.deviceName != e.deviceName || stored.serialNumber != e.serialNumber)
        return QStringLiteral("instrument");
    if (stored.desk != e.desk || stored.storedAt != e.storedAt)
        return QStringLiteral("desk or time stored");
    return QString();
}

} // namespace

const char *historyEventColumns()
{
    return kEventColumns;
}

HistoryEvent historyEventFromQuery(const QSqlQuery &query, const QString &chainId)
{
    return readEventFromQuery(query, chainId);
}

QList<HistoryEvent> HistoryStore::eventsOfRow(qint64 id)
{
    if (!m_open)
        return {};
    QString error;
    const QList<HistoryEvent> events = eventsOfRow(database(), m_chainId, id, &error);
    if (!error.isEmpty())
        failWith(tr("the history file %1 cannot be read or written").arg(QDir::toNativeSeparators(m_filePath)), error);
    return events;
}

QList<HistoryEvent> HistoryStore::eventsOfRow(const QSqlDatabase &db, const QString &chainId, qint64 id,
                                              QString *error)
{
    Q_UNUSED(chainId)
    QList<HistoryEvent> events;
    // Every chain's: on a server, other desks may have changed the row too. In the order they
    // were applied.
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1, chain_id FROM events WHERE row_uuid = "
                                 "(SELECT uuid FROM measurements WHERE id = ?) ORDER BY id")
                      .arg(QLatin1String(kEventColumns)));
    query.addBindValue(id);
    if (!query.exec()) {
        if (error)
            *error = query.lastError().text();
        return events;
    }
    while (query.next())
        events.append(historyEventFromQuery(query, query.value(11).toString()));
    return events;
}

HistoryChainHead HistoryStore::chainHead()
{
    return chainHead(m_chainId);
}

HistoryChainHead HistoryStore::chainHead(const QString &chainId)
{
    HistoryChainHead head;
    if (!m_open)
        return head;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT chain_seq, hash FROM events WHERE chain_id = ? ORDER BY chain_seq DESC LIMIT 1"));
    query.addBindValue(chainId);
    if (exec(query) && query.next()) {
        head.count = query.value(0).toLongLong();
        head.hash = query.value(1).toString();
    } else if (chainId == m_chainId) {
        // Every event removed from the file (the server holds them): the head is where they ended.
        QSqlQuery removed(database());
        if (removed.exec(QStringLiteral("SELECT removed_through, removed_hash FROM history_schema")) && removed.next()
            && removed.value(0).toLongLong() > 0) {
            head.count = removed.value(0).toLongLong();
            head.hash = removed.value(1).toString();
        }
    }
    return head;
}

QString HistoryStore::eventHash(qint64 sequence)
{
    if (!m_open)
        return QString();
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT hash FROM events WHERE chain_id = ? AND chain_seq = ?"));
    query.addBindValue(m_chainId);
    query.addBindValue(sequence);
    if (exec(query) && query.next())
        return query.value(0).toString();
    query.finish();
    // The last event removed from the file is still known by its hash.
    query.prepare(QStringLiteral("SELECT removed_hash FROM history_schema WHERE removed_through = ?"));
    query.addBindValue(sequence);
    return exec(query) && query.next() ? query.value(0).toString() : QString();
}

namespace {

// A connection of its own to the same database for as long as it lives (none for an invalid one).
class SecondConnection
{
public:
    SecondConnection(const QSqlDatabase &of, const QString &name) : m_name(name)
    {
        if (!of.isValid())
            return;
        QSqlDatabase db = QSqlDatabase::cloneDatabase(of, name);
        m_made = true;
        db.open();
    }
    ~SecondConnection()
    {
        if (m_made)
            QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase database() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
    bool m_made = false;
};

} // namespace

HistoryCheck HistoryStore::checkHistory(const HistoryChainHead &recorded)
{
    QHash<QString, HistoryChainHead> heads;
    if (recorded.count > 0)
        heads.insert(m_chainId, recorded);
    return checkHistory(heads);
}

HistoryCheck HistoryStore::checkHistory(const QHash<QString, HistoryChainHead> &recorded)
{
    if (!m_open) {
        HistoryCheck check;
        check.problem = HistoryCheck::Problem::Unreadable;
        return check;
    }
    const HistoryCheck check = checkChains(database(), m_chainId, recorded, nullptr);
    if (check.problem == HistoryCheck::Problem::Unreadable)
        failWith(tr("the history file %1 cannot be read or written").arg(QDir::toNativeSeparators(m_filePath)),
                 check.detail);
    return check;
}

HistoryCheck HistoryStore::checkChain(const QSqlDatabase &db, const QString &chainId,
                                      const HistoryChainHead &recorded, HistoryTaskControl *control)
{
    QHash<QString, HistoryChainHead> heads;
    if (recorded.count > 0)
        heads.insert(chainId, recorded);
    return checkChains(db, chainId, heads, control);
}

HistoryCheck HistoryStore::checkChains(const QSqlDatabase &db, const QString &ownChain,
                                       const QHash<QString, HistoryChainHead> &recorded, HistoryTaskControl *control)
{
    HistoryCheck check;
    auto unreadable = [&check](const QString &detail) {
        check.problem = HistoryCheck::Problem::Unreadable;
        check.detail = detail;
        return check;
    };
    auto cancelled = [&check] {
        check.problem = HistoryCheck::Problem::Cancelled;
        return check;
    };
    if (!db.isOpen() || ownChain.isEmpty()) {
        check.problem = HistoryCheck::Problem::Unreadable;
        return check;
    }
    if (control && control->stopRequested())
        return cancelled();
    const HistoryDialect sql(db);
    const bool onServer = db.driverName() == QLatin1String("QPSQL");
    // Where this file's chain begins now: after the events removed from it (a server holds them).
    qint64 removedThrough = 0;
    QByteArray removedHash;
    {
        QSqlQuery removed(db);
        if (!removed.exec(QStringLiteral("SELECT removed_through, removed_hash FROM history_schema")))
            return unreadable(removed.lastError().text());
        if (removed.next()) {
            removedThrough = removed.value(0).toLongLong();
            removedHash = removed.value(1).toString().toLatin1();
        }
    }
    // How far there is to go: the events, then the rows. A file holds its own chain only, whose
    // last place its index gives at once; a server's events are counted.
    qint64 total = 0;
    {
        QSqlQuery count(db);
        if (onServer) {
            count.prepare(QStringLiteral("SELECT (SELECT COUNT(*) FROM events), (SELECT COUNT(*) FROM measurements)"));
        } else {
            count.prepare(QStringLiteral("SELECT (SELECT MAX(chain_seq) FROM events WHERE chain_id = ?) - ?, "
                                         "(SELECT COUNT(*) FROM measurements)"));
            count.addBindValue(ownChain);
            count.addBindValue(removedThrough);
        }
        if (!count.exec() || !count.next())
            return control && control->stopRequested() ? cancelled() : unreadable(count.lastError().text());
        total = count.value(0).toLongLong() + count.value(1).toLongLong();
    }
    qint64 done = 0;
    auto step = [&]() {
        // Looked at every 4,096 steps: often enough to stop at once, rarely enough to cost nothing.
        if ((++done & 4095) != 0 || !control)
            return true;
        control->progress(done, total);
        return !control->stopRequested();
    };
    QStringList columns{QStringLiteral("chain_seq")};
    for (const char *column : {"uuid", "at", "login", "host", "desk", "kind", "row_uuid", "old_value", "new_value",
                               "hash"})
        columns << sql.utf8Bytes(QLatin1String(column));
    columns << sql.utf8Bytes(QStringLiteral("chain_id"));
    constexpr int kChainColumn = kHashedFieldCount;
    constexpr int kHashColumn = kHashedFieldCount - 1;
    // Every chain in one walk, chain by chain, each in its order.
    HistoryCursor query(db);
    QElapsedTimer clock;
    clock.start();
    if (!query.exec(QStringLiteral("SELECT %1 FROM events ORDER BY chain_id, chain_seq").arg(columns.join(QStringLiteral(", ")))))
        return control && control->stopRequested() ? cancelled() : unreadable(query.errorText());
    HistoryEventHasher hasher;
    // The hash of the event before, kept in a buffer of its own (the cursor's bytes go with the row).
    QByteArray previous;
    QByteArray chainBytes;
    QString chain;
    qint64 expected = 1;
    QByteArray recordedHash;
    qint64 recordedCount = 0;
    QSet<QString> walked;
    auto chainProblem = [&check, &chain](HistoryCheck::Problem problem, qint64 at, const QString &detail) {
        check.problem = problem;
        check.brokenAt = at;
        check.chainId = chain;
        check.detail = detail;
        return check;
    };
    while (true) {
        const bool more = query.next();
        const QByteArrayView next = more ? query.bytes(kChainColumn) : QByteArrayView();
        if (!more || next != chainBytes || chain.isEmpty()) {
            // The end of a chain: it must reach the head recorded for it.
            if (!chain.isEmpty() && recordedCount > expected - 1)
                return chainProblem(HistoryCheck::Problem::NewestMissing, expected,
                                    QStringLiteral("%1 events recorded, %2 in the history").arg(recordedCount).arg(expected - 1));
            if (!more)
                break;
            chainBytes = next.toByteArray();
            chain = QString::fromUtf8(chainBytes);
            walked.insert(chain);
            ++check.chains;
            const bool own = chain == ownChain;
            expected = own ? removedThrough + 1 : 1;
            previous = own ? removedHash : QByteArray();
            const HistoryChainHead head = recorded.value(chain);
            recordedCount = head.count;
            recordedHash = head.hash.toLatin1();
        }
        const qint64 sequence = query.integer(0);
        if (sequence != expected)
            return chainProblem(HistoryCheck::Problem::EventMissing, expected,
                                QStringLiteral("event %1 follows event %2").arg(sequence).arg(expected - 1));
        char place[24];
        const auto placeEnd = std::to_chars(place, place + sizeof place, sequence).ptr;
        hasher.begin(previous);
        hasher.add(chainBytes);
        hasher.add(QByteArrayView(place, placeEnd - place));
        for (int f = HashedUuid; f < kHashedFieldCount; ++f)
            hasher.add(query.bytes(f - HashedUuid + 1));
        const QByteArrayView hash = hasher.finish();
        if (hash.isEmpty() || hash != query.bytes(kHashColumn))
            return chainProblem(HistoryCheck::Problem::EventChanged, sequence,
                                QStringLiteral("event %1 (%2) does not give its hash")
                                    .arg(sequence)
                                    .arg(QString::fromUtf8(query.bytes(1))));
        if (sequence == recordedCount && hash != recordedHash)
            return chainProblem(HistoryCheck::Problem::HeadDiffers, sequence,
                                QStringLiteral("event %1 is not the one recorded last").arg(sequence));
        previous.resize(hash.size());
        std::copy(hash.begin(), hash.end(), previous.begin());
        ++expected;
        ++check.events;
        if (!step())
            return cancelled();
    }
    if (!query.errorText().isEmpty())
        return control && control->stopRequested() ? cancelled() : unreadable(query.errorText());
    // A chain recorded whose events are all gone.
    for (auto it = recorded.constBegin(); it != recorded.constEnd(); ++it) {
        const qint64 first = it.key() == ownChain ? removedThrough : 0;
        if (!walked.contains(it.key()) && it.value().count > first) {
            chain = it.key();
            return chainProblem(HistoryCheck::Problem::NewestMissing, first + 1,
                                QStringLiteral("%1 events recorded, %2 in the history").arg(it.value().count).arg(first));
        }
    }
    qCInfo(lcHistory) << "chains of" << check.events << "events walked in" << clock.restart() << "ms";

    // Every stored row is what its events say. Both walked in the order of the row's UUID; a
    // row's events in the order they were applied.
    // On a server the events come through a second connection (below), which must see the
    // state the rows are read in, or a desk's write between the two reads looks like a row that
    // disagrees with its events: the caller's snapshot (a repeatable read) is handed over.
    QString snapshot;
    if (onServer && !sql.exportSnapshot().isEmpty()) {
        QSqlQuery exported(db);
        if (exported.exec(sql.exportSnapshot()) && exported.next())
            snapshot = exported.value(0).toString();
    }
    HistoryCursor rows(db);
    if (!rows.exec(QStringLiteral("SELECT r.uuid, %1 FROM measurements LEFT JOIN runs r ON r.id = measurements.run_id "
                                  "ORDER BY measurements.uuid")
                       .arg(qualifiedRowColumns())))
        return control && control->stopRequested() ? cancelled() : unreadable(rows.errorText());
    // The events beside the rows: QPSQL reads one query at a time on a connection, so on a
    // server they come through a second one.
    SecondConnection second(onServer ? db : QSqlDatabase(), db.connectionName() + QStringLiteral("-events"));
    if (onServer && !snapshot.isEmpty()) {
        QSqlQuery take(second.database());
        const QStringList statements = sql.snapshotOn();
        // Outside a transaction of the caller the snapshot is gone already: then each read sees
        // what is committed when it runs.
        if (!take.exec(statements.at(0)) || !take.exec(statements.at(1).arg(snapshot))) {
            qCDebug(lcHistory) << "the check's snapshot was not taken over:" << take.lastError().text();
            take.exec(QStringLiteral("ROLLBACK"));
        }
    }
    HistoryCursor events(onServer ? second.database() : db);
    if (!events.exec(QStringLiteral("SELECT %1, at, desk, %2, %3 FROM events ORDER BY row_uuid, id")
                         .arg(sql.utf8Bytes(QStringLiteral("kind")), sql.utf8Bytes(QStringLiteral("new_value")),
                              sql.utf8Bytes(QStringLiteral("row_uuid")))))
        return control && control->stopRequested() ? cancelled() : unreadable(events.errorText());
    bool haveEvent = events.next();
    auto rowProblem = [&check](HistoryCheck::Problem problem, qint64 id, const QString &detail) {
        check.problem = problem;
        check.rowId = id;
        check.detail = detail;
        return check;
    };
    // Both walks are in the databases' byte order of the UUIDs: compared as bytes here too.
    QByteArray storedUuid;
    while (rows.next()) {
        const HistoryRow stored = readRow(CursorValues{rows, 1});
        storedUuid = stored.uuid.toUtf8();
        // Events of a row the table no longer has: the row was removed behind the history's back.
        if (haveEvent && events.bytes(4) < storedUuid)
            return rowProblem(HistoryCheck::Problem::RowDisagrees, 0,
                              QStringLiteral("row %1 has events but is not stored").arg(events.text(4)));
        HistoryReplayer replayer;
        bool any = false;
        while (haveEvent && events.bytes(4) == storedUuid) {
            // Only the first event, which adds the row, says when and where it was stored.
            const bool first = !any;
            any = true;
            HistoryEventKind kind = HistoryEventKind::Added;
            if (!historyEventKindFromName(events.bytes(0), &kind))
                return rowProblem(HistoryCheck::Problem::RowDisagrees, stored.id, QStringLiteral("unknown event"));
            const QByteArrayView value = events.bytes(3);
            replayer.apply(kind, stored.uuid, first ? events.text(1) : QString(), first ? events.text(2) : QString(),
                           QByteArray::fromRawData(value.data(), value.size()));
            haveEvent = events.next();
        }
        if (!any)
            return rowProblem(HistoryCheck::Problem::RowWithoutEvents, stored.id,
                              QStringLiteral("row %1 (%2) has no events").arg(stored.id).arg(stored.uuid));
        if (!replayer.result().ok)
            return rowProblem(HistoryCheck::Problem::RowDisagrees, stored.id, replayer.result().problem);
        const QString differs = difference(stored, rows.text(0), replayer.result());
        if (!differs.isEmpty())
            return rowProblem(HistoryCheck::Problem::RowDisagrees, stored.id,
                              QStringLiteral("row %1: %2 differs from its events").arg(stored.id).arg(differs));
        if (!step())
            return cancelled();
    }
    if (!rows.errorText().isEmpty())
        return control && control->stopRequested() ? cancelled() : unreadable(rows.errorText());
    if (!events.errorText().isEmpty())
        return control && control->stopRequested() ? cancelled() : unreadable(events.errorText());
    if (haveEvent)
        return rowProblem(HistoryCheck::Problem::RowDisagrees, 0,
                          QStringLiteral("row %1 has events but is not stored").arg(events.text(4)));
    qCInfo(lcHistory) << "rows replayed from their events in" << clock.elapsed() << "ms";
    if (control)
        control->progress(total, total);
    return check;
}

QString HistoryCheck::text() const
{
    switch (problem) {
    case Problem::None:
        return chains > 1 ? tr("intact, %1 events in %2 chains").arg(events).arg(chains)
                          : tr("intact, %1 events").arg(events);
    case Problem::EventChanged:
        return tr("broken at event %1: it was changed after it was written").arg(brokenAt);
    case Problem::EventMissing:
        return tr("broken at event %1: it has been removed").arg(brokenAt);
    case Problem::NewestMissing:
        return tr("broken after event %1: the newest events have been removed").arg(brokenAt - 1);
    case Problem::HeadDiffers:
        return tr("broken at event %1: it is not the event this program wrote there").arg(brokenAt);
    case Problem::RowDisagrees:
        return rowId > 0 ? tr("the stored row %1 is not what its events say").arg(rowId)
                         : tr("a row its events describe has been removed");
    case Problem::RowWithoutEvents:
        return tr("the stored row %1 has no event that adds it").arg(rowId);
    case Problem::Unreadable:
        return tr("the history cannot be read");
    case Problem::Cancelled:
        return tr("the check was cancelled");
    }
    return QString();
}

// ---- desks ----

bool HistoryStore::setDeskName(const QString &name)
{
    if (!m_open)
        return false;
    HistoryDeskRecord desk{m_identity.desk, name, now()};
    return upsertDesk(desk);
}

QString HistoryStore::deskName()
{
    if (!m_open)
        return QString();
    QSqlQuery query(database());
    query.prepare(QStringLiteral("SELECT name FROM desks WHERE desk = ?"));
    query.addBindValue(m_identity.desk);
    return exec(query) && query.next() ? query.value(0).toString() : QString();
}

bool HistoryStore::upsertDesk(const HistoryDeskRecord &desk)
{
    QSqlQuery query(database());
    // The newest name wins, whichever way round the names arrive.
    query.prepare(QStringLiteral("INSERT INTO desks (desk, name, named_at) VALUES (?, ?, ?) ON CONFLICT (desk) "
                                 "DO UPDATE SET name = excluded.name, named_at = excluded.named_at "
                                 "WHERE desks.named_at < excluded.named_at"));
    query.addBindValue(desk.desk);
    query.addBindValue(desk.name);
    query.addBindValue(desk.namedAt);
    return exec(query);
}

// ---- a server's side of sending ----

bool HistoryStore::upsertRun(const HistoryRunRecord &run)
{
    QSqlQuery query(database());
    // A run changes only at its own desk: what comes later (a higher revision) is what it is now.
    query.prepare(QStringLiteral(
        "INSERT INTO runs (uuid, desk, started_at, ended_at, end_reason, exported_to, last_test_number, revision) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (uuid) DO UPDATE SET ended_at = excluded.ended_at, "
        "end_reason = excluded.end_reason, exported_to = excluded.exported_to, "
        "last_test_number = excluded.last_test_number, revision = excluded.revision "
        "WHERE runs.revision IS NULL OR runs.revision <= excluded.revision"));
    query.addBindValue(run.uuid);
    query.addBindValue(run.desk);
    query.addBindValue(run.startedAt);
    query.addBindValue(textOrNull(run.endedAt));
    query.addBindValue(textOrNull(run.endReason));
    query.addBindValue(textOrNull(run.exportedTo));
    query.addBindValue(nullableInt(run.lastTestNumber));
    query.addBindValue(run.revision);
    return exec(query);
}

QSqlQuery *HistoryStore::prepared(const QString &sql)
{
    auto found = m_prepared.find(sql);
    if (found != m_prepared.end())
        return found->second.get();
    auto query = std::make_unique<QSqlQuery>(database());
    if (!query->prepare(sql)) {
        fail(*query);
        return nullptr;
    }
    return m_prepared.emplace(sql, std::move(query)).first->second.get();
}

namespace {

const char kReceivedRowColumns[] =
    "run_id, state, origin, origin_file, stored_at, changed_at, sequence_no, test_name, time_text, "
    "std_l, std_a, std_b, std_c, std_h, smp_l, smp_a, smp_b, smp_c, smp_h, delta_e, verdict, passed, formula_text, "
    "threshold_text, device_name, serial_number, formula_index, threshold, uuid, desk";
const char kReceivedRowValues[] =
    "((SELECT id FROM runs WHERE uuid = ?), ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
    "?, ?, ?, ?)";
const char kReceivedEventColumns[] =
    "chain_id, chain_seq, uuid, at, login, host, desk, kind, row_uuid, old_value, new_value, hash";
const char kReceivedEventValues[] = "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
constexpr int kReceivedChunk = 100;

// Full chunks, then what is left in powers of two: a handful of statement shapes per connection
// (each is prepared on the server and kept while connected) rather than one per size.
int receivedChunkSize(qsizetype left)
{
    if (left >= kReceivedChunk)
        return kReceivedChunk;
    int n = 1;
    while (n * 2 <= left)
        n *= 2;
    return n;
}

QString repeated(const char *values, int n)
{
    QStringList all;
    for (int i = 0; i < n; ++i)
        all << QLatin1String(values);
    return all.join(QStringLiteral(", "));
}

QVariant finiteOrNull(double v)
{
    return std::isfinite(v) ? QVariant(v) : QVariant(QMetaType::fromType<double>());
}

void bindEvent(QSqlQuery &q, const HistoryEvent &e)
{
    for (const QVariant &value :
         {QVariant(e.chainId), QVariant(e.sequence), QVariant(e.uuid), QVariant(e.at), QVariant(e.login),
          QVariant(e.host), QVariant(e.desk), QVariant(historyEventKindName(e.kind)), QVariant(e.rowUuid),
          QVariant(e.oldValue), QVariant(e.newValue), QVariant(e.hash)})
        q.addBindValue(value);
}

} // namespace

bool HistoryStore::sameEvents(const QList<HistoryEvent> &events)
{
    QSqlQuery *same = prepared(QStringLiteral("SELECT chain_id, chain_seq, hash FROM events WHERE uuid = ?"));
    if (!same)
        return false;
    for (const HistoryEvent &e : events) {
        same->addBindValue(e.uuid);
        if (!exec(*same))
            return false;
        const bool ok = same->next() && same->value(0).toString() == e.chainId
                        && same->value(1).toLongLong() == e.sequence && same->value(2).toString() == e.hash;
        same->finish();
        if (!ok) {
            m_serverProblem = ServerProblem::Conflict;
            return failWith(tr("the history already holds another event with the same identity"),
                            QStringLiteral("event %1").arg(e.uuid));
        }
    }
    return true;
}

bool HistoryStore::receiveAdded(const QList<HistoryEvent> &events)
{
    for (qsizetype first = 0; first < events.size();) {
        const int n = receivedChunkSize(events.size() - first);
        const QList<HistoryEvent> chunk = events.mid(first, n);
        first += n;
        // Each row as it was when stored: what its added event holds. All read before anything
        // is bound: a kept statement must not be left with half its values.
        std::vector<HistoryReplay> made;
        made.reserve(size_t(n));
        for (const HistoryEvent &e : chunk) {
            HistoryReplayer replayer;
            if (!replayer.apply(e))
                return failWith(tr("an event sent to the history cannot be read"),
                                QStringLiteral("event %1: %2").arg(e.uuid, replayer.result().problem));
            made.push_back(replayer.result());
        }
        QSqlQuery *rows = prepared(QStringLiteral("INSERT INTO measurements (%1) VALUES %2 ON CONFLICT (uuid) DO NOTHING")
                                       .arg(QLatin1String(kReceivedRowColumns), repeated(kReceivedRowValues, n)));
        if (!rows)
            return false;
        for (int i = 0; i < n; ++i) {
            const HistoryEvent &e = chunk[i];
            const HistoryRow &row = made[size_t(i)].row;
            rows->addBindValue(made[size_t(i)].runUuid);
            rows->addBindValue(historyStateName(HistoryRowState::InTable));
            rows->addBindValue(historyOriginName(row.origin));
            rows->addBindValue(textOrNull(row.originFile));
            rows->addBindValue(e.at);
            rows->addBindValue(e.at);
            rows->addBindValue(row.sequence);
            rows->addBindValue(row.testName);
            rows->addBindValue(row.timeText);
            for (double v : row.standard)
                rows->addBindValue(finiteOrNull(v));
            for (double v : row.sample)
                rows->addBindValue(finiteOrNull(v));
            bindJudgement(*rows, row);
            rows->addBindValue(e.rowUuid);
            rows->addBindValue(e.desk);
        }
        if (!exec(*rows))
            return false;
        QSqlQuery *inserted = prepared(QStringLiteral("INSERT INTO events (%1) VALUES %2 ON CONFLICT (uuid) DO NOTHING")
                                           .arg(QLatin1String(kReceivedEventColumns), repeated(kReceivedEventValues, n)));
        if (!inserted)
            return false;
        for (const HistoryEvent &e : chunk)
            bindEvent(*inserted, e);
        if (!exec(*inserted))
            return false;
        // Some were there already (sent before, the reply lost): they must be the same.
        if (inserted->numRowsAffected() < n && !sameEvents(chunk))
            return false;
    }
    return true;
}

bool HistoryStore::receiveEvent(const HistoryEvent &e)
{
    // A new row: made from its event, the event stored after it.
    if (e.kind == HistoryEventKind::Added)
        return receiveAdded({e});
    const HistoryDialect sql = dialect();
    const QJsonObject after = historyJsonObject(e.newValue);
    // The row's lock first: events of one row from several desks are stored and applied one
    // after the other, so the order of their ids is the order they were applied in.
    QSqlQuery *lock = prepared(QStringLiteral("SELECT id FROM measurements WHERE uuid = ?") + sql.rowLock());
    if (!lock)
        return false;
    lock->addBindValue(e.rowUuid);
    if (!exec(*lock))
        return false;
    lock->finish();
    QSqlQuery *event = prepared(QStringLiteral("INSERT INTO events (%1) VALUES %2 ON CONFLICT (uuid) DO NOTHING")
                                    .arg(QLatin1String(kReceivedEventColumns), QLatin1String(kReceivedEventValues)));
    if (!event)
        return false;
    bindEvent(*event, e);
    if (!exec(*event))
        return false;
    if (event->numRowsAffected() == 0)
        return sameEvents({e}); // stored and applied when it came before

    QSqlQuery *update = nullptr;
    switch (e.kind) {
    case HistoryEventKind::Added:
        return true; // taken above
    case HistoryEventKind::Renamed:
        update = prepared(QStringLiteral("UPDATE measurements SET test_name = ?, changed_at = ? WHERE uuid = ?"));
        if (!update)
            return false;
        update->addBindValue(after.value(QLatin1String("test_name")).toString());
        break;
    case HistoryEventKind::Rejudged: {
        HistoryRow judged;
        historyReadJudgement(after, &judged);
        update = prepared(QStringLiteral(
            "UPDATE measurements SET delta_e = ?, verdict = ?, passed = ?, formula_text = ?, threshold_text = ?, "
            "device_name = ?, serial_number = ?, formula_index = ?, threshold = ?, rejudged_at = ?, changed_at = ? "
            "WHERE uuid = ?"));
        if (!update)
            return false;
        bindJudgement(*update, judged);
        update->addBindValue(e.at);
        break;
    }
    case HistoryEventKind::Restored:
        update = prepared(QStringLiteral("UPDATE measurements SET run_id = (SELECT id FROM runs WHERE uuid = ?), "
                                         "changed_at = ? WHERE uuid = ?"));
        if (!update)
            return false;
        update->addBindValue(after.value(QLatin1String("run")).toString());
        break;
    case HistoryEventKind::Deleted:
    case HistoryEventKind::Cleared:
    case HistoryEventKind::Exported:
    case HistoryEventKind::NotRestored: {
        HistoryRowState state = HistoryRowState::InTable;
        if (!historyStateFromName(after.value(QLatin1String("state")).toString(), &state))
            return failWith(tr("an event sent to the history cannot be read"),
                            QStringLiteral("event %1: unknown state").arg(e.uuid));
        update = prepared(QStringLiteral("UPDATE measurements SET state = ?, changed_at = ? WHERE uuid = ?"));
        if (!update)
            return false;
        update->addBindValue(historyStateName(state));
        break;
    }
    }
    update->addBindValue(e.at);
    update->addBindValue(e.rowUuid);
    return exec(*update);
}

bool HistoryStore::receive(const HistoryDelivery &delivery)
{
    if (!m_open)
        return false;
    QSqlDatabase db = database();
    if (!db.transaction())
        return failTransaction(db);
    for (const HistoryDeskRecord &desk : delivery.desks)
        if (!upsertDesk(desk)) {
            db.rollback();
            return false;
        }
    for (const HistoryRunRecord &run : delivery.runs)
        if (!upsertRun(run)) {
            db.rollback();
            return false;
        }
    // Added events that come one after the other go together; any other event in its place.
    QList<HistoryEvent> added;
    for (const HistoryEvent &event : delivery.events) {
        if (event.kind == HistoryEventKind::Added) {
            added << event;
            continue;
        }
        if (!receiveAdded(added) || !receiveEvent(event)) {
            db.rollback();
            return false;
        }
        added.clear();
    }
    if (!receiveAdded(added)) {
        db.rollback();
        return false;
    }
    return commitOrRollBack(db);
}

// ---- removing what a server holds ----

qint64 HistoryStore::removedThrough()
{
    if (!m_open)
        return 0;
    QSqlQuery query(database());
    return query.exec(QStringLiteral("SELECT removed_through FROM history_schema")) && query.next()
               ? query.value(0).toLongLong()
               : 0;
}

qint64 HistoryStore::removableRows(qint64 sentSeq, qint64 *upTo)
{
    if (upTo)
        *upTo = 0;
    if (!m_open || m_onServer)
        return 0;
    // Each row's first and last place in the chain, and whether it must stay: in a table, or in
    // a run still going on. Only rows that begin where the server has confirmed the chain.
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT MIN(e.chain_seq), MAX(e.chain_seq), MAX(CASE WHEN m.state = 'in_table' OR r.ended_at IS NULL "
        "OR m.id IS NULL THEN 1 ELSE 0 END) FROM events e LEFT JOIN measurements m ON m.uuid = e.row_uuid "
        "LEFT JOIN runs r ON r.id = m.run_id WHERE e.chain_id = ? GROUP BY e.row_uuid "
        "HAVING MIN(e.chain_seq) <= ? ORDER BY 1"));
    query.addBindValue(m_chainId);
    query.addBindValue(sentSeq);
    if (!exec(query))
        return -1;
    // The chain can be cut after place p when every row with an event at or before p has all
    // its events at or before p and may go. Walked by the rows' first events: before a row
    // begins, everything taken so far is a cut if it reaches no further.
    qint64 reach = removedThrough(), cut = reach, rows = 0, taken = 0;
    bool stopped = false;
    while (query.next()) {
        const qint64 first = query.value(0).toLongLong(), last = query.value(1).toLongLong();
        if (reach < first) {
            cut = reach;
            rows = taken;
        }
        if (query.value(2).toInt() != 0 || last > sentSeq) {
            stopped = true;
            break;
        }
        reach = std::max(reach, last);
        ++taken;
    }
    if (query.lastError().isValid())
        return -1;
    if (!stopped) {
        // Every row that begins in the confirmed part ends there and may go.
        cut = reach;
        rows = taken;
    }
    if (upTo)
        *upTo = cut;
    return rows;
}

qint64 HistoryStore::removeRowsUpTo(qint64 upTo)
{
    if (!m_open || m_onServer || upTo <= removedThrough())
        return 0;
    if (!beginWrite())
        return -1;
    QSqlDatabase db = database();
    auto abort = [&db]() {
        db.rollback();
        return qint64(-1);
    };
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT hash FROM events WHERE chain_id = ? AND chain_seq = ?"));
    query.addBindValue(m_chainId);
    query.addBindValue(upTo);
    if (!exec(query) || !query.next())
        return abort();
    const QString hash = query.value(0).toString();
    query.finish();
    query.prepare(QStringLiteral("DELETE FROM measurements WHERE uuid IN (SELECT row_uuid FROM events "
                                 "WHERE chain_id = ? AND chain_seq <= ?)"));
    query.addBindValue(m_chainId);
    query.addBindValue(upTo);
    if (!exec(query))
        return abort();
    const qint64 removed = query.numRowsAffected();
    query.prepare(QStringLiteral("DELETE FROM events WHERE chain_id = ? AND chain_seq <= ?"));
    query.addBindValue(m_chainId);
    query.addBindValue(upTo);
    if (!exec(query))
        return abort();
    // Runs left without rows go too, when they ended (the server has them).
    query.prepare(QStringLiteral("DELETE FROM runs WHERE ended_at IS NOT NULL AND id <> ? AND NOT EXISTS "
                                 "(SELECT 1 FROM measurements WHERE measurements.run_id = runs.id)"));
    query.addBindValue(m_runId);
    if (!exec(query))
        return abort();
    query.prepare(QStringLiteral("UPDATE history_schema SET removed_through = ?, removed_hash = ?"));
    query.addBindValue(upTo);
    query.addBindValue(hash);
    if (!exec(query))
        return abort();
    if (!commitOrRollBack(db))
        return -1;
    qCInfo(lcHistory) << removed << "rows the server holds removed from the file, chain through" << upTo;
    return removed;
}
