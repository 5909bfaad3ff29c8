#pragma once

#include "historyrow.h"

#include <QCoreApplication>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <memory>

class QSqlQuery;

// The measurement history: every row the table gains, kept in a database file in the user's
// data folder, with the runs they were measured in. A run starts with the program and ends at
// a successful export or a Clear; one that ended otherwise (the program killed, or closed with
// rows in the table) is "unfinished" and its rows can be put back into the table.
//
// Qt SQL with the SQLite driver. Everything but the connection set-up is plain SQL that a
// PostgreSQL server takes as well (see README.md). No widgets: GUI or not, the caller decides
// what to tell the user from errorText().
//
// Every call is synchronous and runs on the caller's thread (the GUI thread in the program).
class HistoryStore
{
    Q_DECLARE_TR_FUNCTIONS(HistoryStore)
public:
    // The layout this program writes. Older files are brought up to it when opened.
    static constexpr int kSchemaVersion = 2;

    enum class RunEnd { Exported, Cleared, Closed, Declined };

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
    bool open(const QString &filePath);
    void close();
    bool isOpen() const { return m_open; }
    QString filePath() const { return m_filePath; }
    // Why the last call failed, in words for the user.
    QString errorText() const { return m_error; }
    // Where open() moved a damaged file; empty when it did not.
    QString movedAsidePath() const { return m_movedAside; }
    int schemaVersion();

    // The rows runs that did not end left in the table, oldest first.
    QList<HistoryRow> unfinishedRows();
    // Moves those rows into the current run (they are in the table again) and ends their runs.
    bool adoptUnfinishedRows();
    // Ends the unfinished runs without taking their rows; the rows stay in the history.
    bool declineUnfinishedRuns();

    // Stores a row in the current run (begun on first use); its id, or -1 on failure.
    qint64 addRow(const HistoryRow &row);
    // Stores rows in the current run in one transaction, so the disk is waited for once: their
    // ids in order, or an empty list on failure (then none of them is stored).
    QList<qint64> addRows(const QList<HistoryRow> &rows);
    bool setTestName(qint64 id, const QString &name);
    bool markDeleted(qint64 id);
    // A new judgement of rows already stored (by id): ΔE, verdict, formula, threshold and the
    // instrument texts. All or nothing.
    bool rejudge(const QList<HistoryRow> &rows);
    // Ends the current run. Exported: its rows in the table are marked exported (to the file);
    // Cleared: cleared. The next row begins a new run.
    bool endRun(RunEnd end, const QString &exportedTo = QString());
    qint64 currentRun() const { return m_runId; }

    // Reading back (tests, benchmarks, later look-ups).
    QList<HistoryRow> rowsOfRun(qint64 runId);
    HistoryRow row(qint64 id);
    qint64 rowCount();

private:
    bool openFile();
    bool setUpConnection();
    bool isDamagedError(const QSqlQuery &query) const;
    bool moveAside();
    bool prepareSchema();
    bool createSchema();
    bool migrate(int from);
    bool execInTransaction(const QStringList &statements);
    bool ensureRun();
    bool insertRow(const HistoryRow &row, const QString &time);
    bool exec(QSqlQuery &query);
    bool exec(const QString &sql);
    bool fail(const QSqlQuery &query);
    bool failTransaction(const QSqlDatabase &db);
    // Commits; a commit that fails is reported and rolled back.
    bool commitOrRollBack(QSqlDatabase &db);
    QList<HistoryRow> selectRows(QSqlQuery &query);

    QString m_connection;
    QString m_filePath;
    QString m_error;
    QString m_movedAside;
    bool m_open = false;
    qint64 m_runId = 0;
    bool m_damageSeen = false;
    std::unique_ptr<QSqlQuery> m_insert;
};
