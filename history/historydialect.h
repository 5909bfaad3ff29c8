#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>

class QSqlQuery;

// The one place that says where the history's SQL differs between SQLite (the file on this
// computer, through QSQLITE) and PostgreSQL (a laboratory's server, through QPSQL). Everything
// else the store, its sender and its models say is plain SQL both take: TEXT, INTEGER, BIGINT,
// DOUBLE PRECISION, ? placeholders, ALTER TABLE ... ADD COLUMN, CREATE INDEX, row values and
// NULLS FIRST / NULLS LAST in ORDER BY, INSERT ... ON CONFLICT (...) DO NOTHING / DO UPDATE.
class HistoryDialect
{
public:
    explicit HistoryDialect(const QSqlDatabase &db);

    bool isSqlite() const { return m_sqlite; }

    // A key the database numbers itself.
    QString idColumn() const;
    // The type of a column of UUIDs and other keys made by the program: compared and sorted as
    // bytes on both, so that a walk in their order agrees with the program's own comparison
    // (PostgreSQL would sort by the server's language otherwise).
    QString keyText() const;
    // Appended to an INSERT whose new id is wanted; insertedId() reads it after exec().
    QString returningId() const;
    qint64 insertedId(QSqlQuery &query) const;
    // Begins a write. SQLite takes the write lock at once (BEGIN IMMEDIATE), so the chain's head
    // read inside the transaction is still the head when the event is written.
    QString beginWrite() const;
    // In a write: a statement with one placeholder (the chain's id) that keeps every other
    // writer of that chain waiting until the transaction ends. Empty for SQLite, whose
    // BEGIN IMMEDIATE did that already. PostgreSQL: a transaction-scoped advisory lock, which
    // holds for a chain with no event yet, where locking the head row would lock nothing.
    QString chainLock() const;
    // Appended to a SELECT of one row that is about to be changed: keeps other writers of that
    // row waiting until the transaction ends. Empty for SQLite (one writer at a time anyway).
    QString rowLock() const;
    // Around the look at the layout and its migration, so two desks that find an empty server
    // at the same moment do not both make the tables. Empty for SQLite.
    QString schemaLock() const;
    QString schemaUnlock() const;
    // Statements that make the index that finds test names containing a text, and fill it from
    // the rows already stored. SQLite: an FTS5 table with the trigram tokenizer, kept by
    // triggers; PostgreSQL: a trigram index (pg_trgm) on the column itself.
    QStringList nameIndex() const;
    // A condition on measurements (alias m) that holds when the test name contains the bound
    // LIKE pattern ("%text%"), served by that index; pattern bound once. Empty when the plain
    // LIKE condition is served by the index already (PostgreSQL).
    QString nameIndexCondition() const;
    // A query giving at most ? row ids whose test name contains the bound pattern, through the
    // index: tells a text found in few rows (the index answers at once) from a common one
    // (walking the rows in the order shown finds a page sooner). Empty where not needed.
    QString nameIndexProbe() const;
    // A text column's UTF-8 bytes, read as they are stored: the check hashes bytes, and turning
    // each into a text and back would cost more than the hash.
    QString utf8Bytes(const QString &column) const;
    // The condition that the test name (m.test_name) contains text, letters A to Z in either
    // case, % and _ as themselves; its values appended to binds. SQLite's LIKE folds ASCII
    // letters itself. PostgreSQL's LIKE does not: a text of three characters or more is
    // matched with ILIKE, which its trigram index serves; a shorter one, which no index can
    // serve, with LIKE for each way its letters can be written (ILIKE reading the whole table
    // takes half again as long as LIKE twice).
    QString containsCondition(const QString &text, QVariantList *binds) const;
    // The columns of an index that serves a filter in the order shown (ties by id). SQLite
    // keeps the row's id at the end of every index; PostgreSQL is told.
    QString orderedIndex(const QString &columns) const;
    // The column of an index that serves a sort going up with NULLs first, as the window
    // sorts; SQLite's indexes keep NULLs first already.
    QString nullsFirstIndex(const QString &column) const;
    // The local day, and the Monday of the local week, of an ISO 8601 UTC time column, as
    // 'YYYY-MM-DD' texts: the trend's groups, made by the database so that a long history is
    // never read row by row.
    QString localDay(const QString &column) const;
    QString localWeek(const QString &column) const;
    // Statements that make a connection read-only for good: a reader's.
    QStringList readOnlySession() const;
    // A statement with one placeholder (an IANA time zone name) that makes the session's local
    // time that zone's, so a server works out local days and weeks as this computer sees them
    // (SQLite's 'localtime' is the computer's already). Empty for SQLite.
    QString localTimeZone() const;
    // Begins a read that sees one state of the whole history, however long it takes and
    // whatever is written meanwhile (the check). SQLite: a transaction's reads share one
    // snapshot. PostgreSQL: a repeatable-read transaction.
    QString beginSnapshot() const;
    // In such a read: a statement giving a text another connection can take the same snapshot
    // with (snapshotOn, one placeholder). Empty for SQLite, whose check needs one connection.
    QString exportSnapshot() const;
    QStringList snapshotOn() const;
    // Something that makes a statement running on the connection stop soon, callable from any
    // other thread while the connection is open: SQLite's sqlite3_interrupt, PostgreSQL's
    // PQcancel (taken when the connection opened). Does nothing where the driver gives no handle.
    std::function<void()> interrupter() const;

private:
    QSqlDatabase m_db;
    bool m_sqlite = true;
};
