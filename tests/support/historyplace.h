// Where a history suite keeps the histories it makes: files in a temporary folder, or, when the
// suite runs for PostgreSQL, a database of its own on the test server for each test.
//
// ctest runs each history suite twice: as it is (SQLite files) and with
// COLORIMETER_HISTORY_BACKEND=postgres. The server is the one scripts/with-postgres.sh starts
// (COLORIMETER_TEST_PG, a libpq connection string). Without it the PostgreSQL run is skipped,
// unless COLORIMETER_REQUIRE_PG=1 (as in CI), where a missing server fails.
#pragma once

#include "historyreader.h"
#include "historyrow.h"
#include "historyserver.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class HistoryStore;

namespace testsupport {

// A database of its own on the test server, made empty and dropped when this goes.
class TestServerDatabase
{
public:
    // A copy of another database of the test server when templateName is given.
    explicit TestServerDatabase(const QString &templateName = QString());
    ~TestServerDatabase();
    TestServerDatabase(const TestServerDatabase &) = delete;
    TestServerDatabase &operator=(const TestServerDatabase &) = delete;

    bool ready() const { return m_ready; }
    QString error() const { return m_error; }
    QString name() const { return m_name; }
    HistoryServer server() const;
    // libpq's connection string of it (for Python and psql).
    QString connectionString() const;

    // The test server as the environment gives it; isSet() false when there is none.
    static HistoryServer base();
    // Runs statements on the server's own database (not this one), through a connection of its own.
    static bool execOnBase(const QStringList &statements, QString *error);

private:
    QString m_name;
    QString m_error;
    bool m_ready = false;
};

class HistoryPlace
{
public:
    // Whether this run of the suite is for PostgreSQL.
    static bool onServer();
    // Empty when the run can go ahead; otherwise why not (the suite skips, or fails when a
    // server is required).
    static QString unavailable();
    static bool required();

    // folder: where files go (a test's temporary folder).
    explicit HistoryPlace(const QString &folder);
    ~HistoryPlace();
    HistoryPlace(const HistoryPlace &) = delete;
    HistoryPlace &operator=(const HistoryPlace &) = delete;

    bool ready() const;
    QString error() const;
    // The file (SQLite runs): folder/data/history.sqlite.
    QString file() const { return m_file; }
    HistoryServer server() const;
    // What readers and tasks take: the file, or the database on the server.
    HistorySource source() const;
    bool open(HistoryStore &store) const;
    // A statement's first value, through a connection of the test's own.
    QVariant scalar(const QString &sql) const;
    bool exec(const QStringList &statements) const;
    // Runs what on a connection of its own to the history; false when it cannot connect or
    // what returns false.
    bool withDatabase(const std::function<bool(QSqlDatabase &)> &what) const;
    // What the history's Python scripts take: the file, or "postgresql:<connection string>".
    QString pythonTarget() const;
    // A copy of the history as it is now, in its own place (a file beside, or a database made
    // from this one). The store must be closed.
    bool copyTo(HistoryPlace *copy) const;

private:
    explicit HistoryPlace(const QString &folder, const QString &templateName);
    QString m_file;
    TestServerDatabase *m_database = nullptr;
};

// Runs one statement (or more) through a connection of its own on a server or a file.
QVariant historyScalar(const HistoryServer &server, const QString &file, const QString &sql);

// Row n of a test history: an NG pair measured against one standard, its sample b* and ΔE growing
// with n, so that rows told apart by number are told apart by value too.
HistoryRow sampleHistoryRow(int n, HistoryOrigin origin = HistoryOrigin::Measured);

} // namespace testsupport
