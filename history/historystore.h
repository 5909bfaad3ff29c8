#pragma once

#include "historydialect.h"
#include "historyevents.h"
#include "historyrow.h"
#include "historyserver.h"

#include <QCoreApplication>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <functional>
#include <map>
#include <memory>

class QSqlQuery;
class HistoryTaskControl;

// The columns of a stored row in the order historyRowFromQuery reads them, for "SELECT %1 FROM
// measurements" (no table alias).
const char *historyRowColumns();
// The row whose columns begin at column first of the query's current record.
HistoryRow historyRowFromQuery(const QSqlQuery &query, int first);
// The columns of a stored event (its chain aside) in the order historyEventFromQuery reads them.
const char *historyEventColumns();
// The event whose columns begin at column 0 of the query's current record, of the chain given.
HistoryEvent historyEventFromQuery(const QSqlQuery &query, const QString &chainId);
// The row whose columns value(0), value(1), ... give, in that order.
HistoryRow historyRowFromValues(const std::function<QVariant(int)> &value);

// The head of a chain of events: how many there are and the last one's hash.
struct HistoryChainHead
{
    qint64 count = 0;
    QString hash;
};

// What a desk sends a server besides its events: its runs and its display name.
struct HistoryRunRecord
{
    QString uuid;
    QString desk;
    QString startedAt;
    QString endedAt;    // empty while the run goes on
    QString endReason;
    QString exportedTo;
    int lastTestNumber = -1;
    qint64 revision = 0; // grows with every change of any run of the file
};

struct HistoryDeskRecord
{
    QString desk;    // machine id and login name
    QString name;    // what the desk is called, as the user set it
    QString namedAt; // when, ISO 8601 UTC: the newest name wins
};

// One batch a desk sends: events in the order of their chain, and the runs and desk names they
// need. Received all or nothing.
struct HistoryDelivery
{
    QList<HistoryDeskRecord> desks;
    QList<HistoryRunRecord> runs;
    QList<HistoryEvent> events;
};

// What "Check history" found.
struct HistoryCheck
{
    Q_DECLARE_TR_FUNCTIONS(HistoryCheck)
public:
    enum class Problem {
        None,
        EventChanged,      // an event's content does not give its hash
        EventMissing,      // a place in the chain is empty
        NewestMissing,     // the chain ends before the head kept outside the file
        HeadDiffers,       // the event at the kept head has another hash
        RowDisagrees,      // a row's stored state is not what its events say
        RowWithoutEvents,  // a row no event adds
        Unreadable,        // the check could not read the file
        Cancelled,         // the check was stopped before it was through
    };
    Problem problem = Problem::None;
    qint64 events = 0;       // events in the chain
    qint64 brokenAt = 0;     // the first event that does not fit (its place in the chain)
    qint64 rowId = 0;        // for the row problems: the row
    QString chainId;         // for the chain problems: the chain (a server keeps one per desk)
    int chains = 0;          // chains walked
    QString detail;          // what did not fit, in plain English, for the log
    bool intact() const { return problem == Problem::None; }
    // "intact, N events" or what broke where, in the user's language.
    QString text() const;
};

Q_DECLARE_METATYPE(HistoryCheck)

// The measurement history: every row the table gains, kept in a database file in the user's
// data folder (or, for the tools, on a laboratory's PostgreSQL server), with the runs they were
// measured in. A run starts with the program and ends at
// a successful export or a Clear; one that ended otherwise (the program killed, or closed with
// rows in the table) is "unfinished" and its rows can be put back into the table.
//
// Qt SQL with the SQLite driver for the file, QPSQL for a server. Everything but the connection
// set-up is plain SQL both take; historydialect.* says where they differ (see README.md). No widgets: GUI or not, the caller decides
// what to tell the user from errorText().
//
// Every call is synchronous and runs on the caller's thread (the GUI thread in the program).
class HistoryStore
{
    Q_DECLARE_TR_FUNCTIONS(HistoryStore)
public:
    // The layout this program writes. Older files are brought up to it when opened.
    static constexpr int kSchemaVersion = 5;

    enum class RunEnd { Exported, Cleared, Closed, Declined };

    // The identity written into rows and events is this desk's (HistoryIdentity::ofThisDesk()).
    HistoryStore();
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    // "history.sqlite" in the user's data folder of the program.
    static QString defaultFilePath();

    // Opens (creating it, its folder and its tables when needed) and brings an older layout up
    // to date. A file that is not a database or is damaged is moved aside, never deleted, and
    // a new one is started in its place (movedAsidePath() says where it went). False when the
    // history cannot be used; errorText() says why.
    // knownDamaged: the file was found damaged before (by quickCheck, or by SQLite's corruption
    // codes in the last run); it is moved aside at once and a new one started.
    bool open(const QString &filePath, bool knownDamaged = false);
    // Opens the history on a PostgreSQL server, making its tables or bringing them up to date
    // when needed (two desks doing so at once wait for each other). A server whose layout is
    // newer is left alone. False when it cannot be used; errorText() and serverProblem() say why.
    bool open(const HistoryServer &server);
    void close();
    bool isOpen() const { return m_open; }
    bool isOnServer() const { return m_onServer; }
    QString filePath() const { return m_filePath; }

    // Why a server could not be used, as far as the program can tell.
    enum class ServerProblem {
        None,
        NoDriver,     // Qt SQL's PostgreSQL driver is not installed
        Unreachable,  // no server answered (host, port, network, server down)
        Refused,      // the server answered but did not let the user in (password, role, pg_hba)
        NoDatabase,   // the database does not exist
        NewerLayout,  // a newer program made the history there: left alone
        Conflict,     // the server holds other events in a place of a chain sent to it
        Other,        // anything else (a statement failed)
    };
    ServerProblem serverProblem() const { return m_serverProblem; }
    // Why the last call failed, in words for the user: what happened, in the user's language.
    QString errorText() const { return m_error; }
    // The database's or the system's own words for it (English, as they come), empty when there
    // are none. Shown after errorText(), never inside it.
    QString errorDetail() const { return m_errorDetail; }
    // Where open() moved a damaged file; empty when it did not.
    QString movedAsidePath() const { return m_movedAside; }
    // Whether the last failure was SQLite saying the file is damaged (corrupt, or not a
    // database): the file is to be moved aside at the next open.
    bool damageSeen() const { return m_damageSeen; }
    // SQLite's own check of every page of the file (PRAGMA quick_check), on any connection to
    // it: seconds for a long history, so the program runs it on a worker thread. True when it
    // ran: problem is then empty for a sound file, or what SQLite found. False when it could not
    // run (error says why: interrupted, the file is locked...).
    static bool quickCheck(const QSqlDatabase &db, QString *problem, QString *error = nullptr);
    int schemaVersion();
    // The connection, for models that read the history on the same thread.
    QSqlDatabase database() const;
    HistoryDialect dialect() const { return HistoryDialect(database()); }

    // Who is written into the events, rows and runs from now on.
    void setIdentity(const HistoryIdentity &identity) { m_identity = identity; }
    const HistoryIdentity &identity() const { return m_identity; }

    // This desk's name as the user set it (the desks table), sent to a server with the rows.
    bool setDeskName(const QString &name);
    QString deskName();

    // The rows runs of this desk that did not end left in the table, oldest first. Only this
    // desk's: a history shared by several desks offers each its own.
    QList<HistoryRow> unfinishedRows();
    // The last test number those runs gave out (the highest of them); -1 when one of them did
    // not keep it (a run stored before layout 3).
    int unfinishedTestNumber();
    // Moves those rows into the current run (they are in the table again) and ends their runs.
    // runTestNumber: the test number the run goes on after once they are back (see addRow).
    bool adoptUnfinishedRows(int runTestNumber = -1);
    // Ends the unfinished runs without taking their rows; the rows stay in the history, marked
    // NotRestored.
    bool declineUnfinishedRuns();
    // The statements a start finds those runs and rows with, with this store's values: each is
    // served by an index, so that a long history is not read whole at every start.
    struct Statement
    {
        QString sql;
        QVariantList binds;
    };
    QList<Statement> unfinishedStatements() const;
    // Puts stored rows (by id) into the current run's table again, from the history window:
    // each moves into the current run, is in the table again and has a Restored event (its run
    // and state before and after), all in one transaction. Rows in a table already are left as
    // they are and counted in inTableAlready. put: the rows put back, in the order stored.
    // False on failure (then nothing changed; errorText() says why). runTestNumber as for addRow.
    bool putBack(const QList<qint64> &ids, int runTestNumber, QList<HistoryRow> *put, int *inTableAlready = nullptr);

    // Stores a row in the current run (begun on first use); its id, or -1 on failure.
    // runTestNumber: the last test number the run has given out, this row's included (-1: none
    // given). It is kept with the run in the same commit as the row, so that after a restore
    // the numbers go on after it even when the row that had the last name was deleted or
    // renamed. It only ever grows within a run.
    qint64 addRow(const HistoryRow &row, int runTestNumber = -1);
    // Stores rows in the current run in one transaction, so the disk is waited for once: their
    // ids in order, or an empty list on failure (then none of them is stored, and the run's
    // last test number stays as it was). runTestNumber as for addRow, after the last row.
    QList<qint64> addRows(const QList<HistoryRow> &rows, int runTestNumber = -1);
    bool setTestName(qint64 id, const QString &name);
    bool markDeleted(qint64 id);
    // A new judgement of rows already stored (by id): ΔE, verdict, formula, threshold and the
    // instrument texts. All or nothing.
    bool rejudge(const QList<HistoryRow> &rows);
    // Ends the current run. Exported: its rows in the table are marked exported (to the file);
    // Cleared: cleared. The next row begins a new run.
    bool endRun(RunEnd end, const QString &exportedTo = QString());
    qint64 currentRun() const { return m_runId; }

    // ---- a server's side of sending ----
    // Receives what a desk sends: desk names (the newest wins), runs (as they are now) and
    // events, each event stored once whatever how often it comes (by its UUID) and applied to
    // its row in the same transaction; an event already there is checked to be the same.
    // Events of one row from several desks are applied in the order they arrive, each under
    // the row's lock, so none is lost and the order of the events' ids is the order applied.
    bool receive(const HistoryDelivery &delivery);
    // The last event of a chain this history holds (count 0: none).
    HistoryChainHead chainHead(const QString &chainId);

    // ---- removing what a server holds from this file ----
    // The rows whose every event a server has confirmed (sentSeq: the chain's place it has
    // confirmed), that are in no table and whose runs ended: how many, and the place up to
    // which the chain could be removed with them. 0 when none.
    qint64 removableRows(qint64 sentSeq, qint64 *upTo = nullptr);
    // Removes those rows, their events and runs left empty from this file, and keeps where the
    // chain now begins (its place and the hash before it), so the check walks from there. The
    // server keeps them all. The number removed, or -1 on failure.
    qint64 removeRowsUpTo(qint64 upTo);
    // The place of the last event removed so (0: none removed).
    qint64 removedThrough();

    // Reading back (tests, benchmarks, later look-ups).
    QList<HistoryRow> rowsOfRun(qint64 runId);
    HistoryRow row(qint64 id);
    qint64 rowCount();

    // ---- the audit trail ----
    // The events of one row, oldest first: its story.
    QList<HistoryEvent> eventsOfRow(qint64 id);
    // The same on any connection to a history (a reader's); error gets the database's words.
    static QList<HistoryEvent> eventsOfRow(const QSqlDatabase &db, const QString &chainId, qint64 id,
                                           QString *error = nullptr);
    // This file's chain: its id, and its head (the number of events and the last one's hash).
    QString chainId() const { return m_chainId; }
    HistoryChainHead chainHead();
    // The hash of the event at that place in this file's chain; empty when there is none.
    QString eventHash(qint64 sequence);

    // "Check history": walks the chain from its first event and replays every row from its
    // events. recorded is the head as it was last kept outside the file (count 0: none kept);
    // the chain must reach it with the same hash, so removing the newest events is found too.
    HistoryCheck checkHistory(const HistoryChainHead &recorded = HistoryChainHead());
    // The same over every chain the history holds (a server holds one per desk that sends to
    // it), each against the head recorded for it, if any.
    HistoryCheck checkHistory(const QHash<QString, HistoryChainHead> &recorded);
    // The same on any connection (a reader's on a worker thread): reports its progress to
    // control and stops when asked (the problem is then Cancelled). control may be null. The
    // caller gives it one snapshot of the file (a read transaction), or the rows may change
    // between the walk of the chain and their replay.
    static HistoryCheck checkChain(const QSqlDatabase &db, const QString &chainId, const HistoryChainHead &recorded,
                                   HistoryTaskControl *control);
    // The same over every chain the database holds, each against the head recorded for it;
    // ownChain (the file's own) may begin after events removed from the file.
    static HistoryCheck checkChains(const QSqlDatabase &db, const QString &ownChain,
                                    const QHash<QString, HistoryChainHead> &recorded, HistoryTaskControl *control);

private:
    bool openFile();
    bool openDatabase();
    void setServerError(const QSqlError &error);
    bool checkFileAccess();
    bool setUpConnection();
    bool isDamagedError(const QSqlError &error) const;
    bool readEdges();
    // Says in errorText() and errorDetail() what a failure of the database means.
    void setError(const QSqlError &error);
    bool keepRunTestNumber(int runTestNumber);
    bool moveAside();
    bool prepareSchema();
    bool createSchema();
    bool migrate(int from);
    bool prepareSchemaLocked();
    bool execInTransaction(const QStringList &statements);
    // The step to layout 4: the events, with one chained event per existing row state.
    bool migrateToEvents();
    bool loadChainId();
    // Begins a write (with the write lock) and reads the chain's head.
    bool beginWrite();
    bool readHead();
    // In the write the caller began: one event, chained after the head.
    bool appendEvent(HistoryEventKind kind, const QString &rowUuid, const QString &oldValue,
                     const QString &newValue, const QString &at);
    // A stored row; false when it could not be read, row->id 0 when there is none.
    bool storedRow(qint64 id, HistoryRow *row);
    struct RowRef
    {
        qint64 id = 0;
        QString uuid;
        QString runUuid;
    };
    // The rows (of measurements m joined with their runs r) that where holds, in id order.
    QList<RowRef> rowRefs(const QString &where, const QVariantList &binds, bool *ok);
    struct RunRef
    {
        qint64 id = 0;
        QString uuid;
        int lastTestNumber = -1; // -1: not kept (a run stored before layout 3)
    };
    // This desk's runs that did not end, other than the current one.
    QList<RunRef> unfinishedRuns(bool *ok);
    // The rows of those runs still in the table, in id order.
    QList<RowRef> inTableRowsOf(const QList<RunRef> &runs, bool *ok);
    // In the write the caller began: the runs end now, for that reason.
    bool endRuns(const QList<RunRef> &runs, const QString &reason, const QString &time);
    bool changeState(const QList<RowRef> &refs, HistoryRowState from, HistoryRowState to, HistoryEventKind kind,
                     const QString &file, const QString &time);
    bool ensureRun();
    // In a write begun by beginWrite: the row and its chained "added" event; the row's id or -1.
    qint64 insertRow(const HistoryRow &row, const QString &time);
    bool exec(QSqlQuery &query);
    bool exec(const QString &sql);
    bool fail(const QSqlQuery &query);
    bool fail(const QSqlError &error);
    // Our own words for a failure, and what the database or the system said (if anything).
    bool failWith(const QString &text, const QString &detail = QString());
    bool failTransaction(const QSqlDatabase &db);
    // Commits; a commit that fails is reported and rolled back.
    bool commitOrRollBack(QSqlDatabase &db);
    QList<HistoryRow> selectRows(QSqlQuery &query);
    // In a transaction: one event another desk sent, stored and applied to its row unless it
    // was stored before.
    bool receiveEvent(const HistoryEvent &event);
    // Added events received one after the other: their rows, then the events, each in one
    // statement (a server is a round trip away).
    bool receiveAdded(const QList<HistoryEvent> &events);
    // Whether events already stored (not inserted again) are the same events.
    bool sameEvents(const QList<HistoryEvent> &events);
    // A statement of receiving, prepared once per connection.
    QSqlQuery *prepared(const QString &sql);
    bool upsertRun(const HistoryRunRecord &run);
    bool upsertDesk(const HistoryDeskRecord &desk);
    // The revision the next change of a run takes.
    QString nextRevision() const;
    bool walkChain(const QString &chainId, const HistoryChainHead &recorded, HistoryCheck *check);

    QString m_connection;
    QString m_filePath;
    QString m_error;
    QString m_errorDetail;
    QString m_movedAside;
    bool m_open = false;
    bool m_onServer = false;
    HistoryServer m_server;
    ServerProblem m_serverProblem = ServerProblem::None;
    qint64 m_runId = 0;
    int m_runTestNumber = -1; // as kept with the current run
    bool m_damageSeen = false;
    std::unique_ptr<QSqlQuery> m_insert;
    std::unique_ptr<QSqlQuery> m_insertEvent;
    std::map<QString, std::unique_ptr<QSqlQuery>> m_prepared;
    HistoryIdentity m_identity;
    QString m_chainId;
    QString m_runUuid;
    qint64 m_headCount = 0; // as read at the start of the write under way
    QString m_headHash;
};
