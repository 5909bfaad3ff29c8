#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>

// The one place that says where the history's SQL differs between SQLite (the file on this
// computer, through QSQLITE) and PostgreSQL (a laboratory's server, through QPSQL). Everything
// else the store and its models say is plain SQL both take: TEXT, INTEGER, BIGINT, DOUBLE
// PRECISION, ? placeholders, ALTER TABLE ... ADD COLUMN, CREATE INDEX, row values and
// NULLS FIRST / NULLS LAST in ORDER BY, INSERT ... ON CONFLICT DO NOTHING.
class HistoryDialect
{
public:
    explicit HistoryDialect(const QSqlDatabase &db);

    bool isSqlite() const { return m_sqlite; }

    // A key the database numbers itself.
    QString idColumn() const;
    // Begins a write. SQLite takes the write lock at once (BEGIN IMMEDIATE), so the chain's head
    // read inside the transaction is still the head when the event is written; PostgreSQL
    // locks the head row instead (headLock()).
    QString beginWrite() const;
    // Appended to the query that reads the chain's head inside a write.
    QString headLock() const;
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
    // LIKE with case folding: SQLite's LIKE folds ASCII letters already; PostgreSQL's needs ILIKE.
    QString likeOperator() const;
    // The local day, and the Monday of the local week, of an ISO 8601 UTC time column, as
    // 'YYYY-MM-DD' texts: the trend's groups, made by the database so that a long history is
    // never read row by row.
    QString localDay(const QString &column) const;
    QString localWeek(const QString &column) const;
    // Something that makes a statement running on the connection stop soon, callable from any
    // other thread while the connection is open: SQLite's sqlite3_interrupt (PostgreSQL's
    // would be PQcancel). Does nothing where the driver gives no handle.
    std::function<void()> interrupter() const;

private:
    QSqlDatabase m_db;
    bool m_sqlite = true;
};
