#pragma once

#include <QString>

class QSqlDatabase;

// Where a laboratory keeps its shared history: a PostgreSQL server reached through Qt SQL's
// QPSQL driver (libpq). Only what libpq needs to find the server and the user; never a
// password: libpq takes it from the user's own ~/.pgpass (or PGPASSFILE), or from the service
// file when a service is named. An empty field is left to libpq's own defaults (PGHOST, the
// local socket, PGPORT 5432, the login name as user and database).
struct HistoryServer
{
    QString host;      // a host name, an address, or a folder that holds the server's socket
    int port = 0;      // 0: libpq's default
    QString database;
    QString user;
    QString service;   // a service of pg_service.conf (optional)

    // Whether anything names a server at all (otherwise the history stays on this computer).
    bool isSet() const;
    // "user@host:port/database" as the user typed it, for messages.
    QString displayName() const;
    bool operator==(const HistoryServer &other) const;
    bool operator!=(const HistoryServer &other) const { return !(*this == other); }

    // From a libpq connection string of key=value words ("host=/tmp/x user=lab dbname=qc"),
    // as scripts and benchmarks give a server. Keys other than these five are ignored.
    static HistoryServer fromConnectionString(const QString &text);

    // Sets the connection's host, port, database and user, and the options every connection
    // of the program takes: a bounded wait to connect, and keep-alives, so that a server that
    // went away is noticed in seconds rather than when the system gives up.
    void applyTo(QSqlDatabase &db) const;
};

// Whether Qt SQL's PostgreSQL driver is there (Debian package libqt6sql6-psql): the program
// starts without it, and says so only when the server is chosen.
bool historyServerDriverAvailable();
