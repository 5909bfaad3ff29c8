#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <memory>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// One forward-only statement whose rows are read column by column without a QVariant for each
// value: a walk over every event and row of a long history spends most of its time in making
// and dropping those. On SQLite the statement runs on the driver's own connection (so inside
// any transaction begun on it, and stopped by HistoryDialect's interrupter); on any other
// database it is an ordinary QSqlQuery.
class HistoryCursor
{
public:
    explicit HistoryCursor(const QSqlDatabase &db);
    ~HistoryCursor();
    HistoryCursor(const HistoryCursor &) = delete;
    HistoryCursor &operator=(const HistoryCursor &) = delete;

    // Runs a statement without values to bind; false (and errorText()) when it cannot.
    bool exec(const QString &sql);
    // The next row; false at the end or on an error (errorText() not empty then).
    bool next();

    bool isNull(int column) const;
    qint64 integer(int column) const;
    double real(int column) const;
    // The value's bytes (a text's UTF-8), valid until the next call of next().
    QByteArrayView bytes(int column) const;
    QString text(int column) const;

    QString errorText() const { return m_error; }

private:
    bool fail(const QString &what);

    QSqlDatabase m_db;
    sqlite3 *m_connection = nullptr;
    sqlite3_stmt *m_statement = nullptr;
    std::unique_ptr<QSqlQuery> m_query;
    // What the other databases' values were read into, for bytes().
    mutable std::vector<QByteArray> m_held;
    QString m_error;
};
