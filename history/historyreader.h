#pragma once

#include "historyserver.h"

#include <QSqlDatabase>
#include <QString>

#include <functional>

// Where a reader reads: the history file on this computer, or a laboratory's server that every
// desk's rows go to.
struct HistorySource
{
    QString file;
    HistoryServer server;
    bool onServer = false;

    static HistorySource ofFile(const QString &file) { return {file, HistoryServer(), false}; }
    static HistorySource ofServer(const HistoryServer &server) { return {QString(), server, true}; }
    // The file's path, or the server as the user named it (for messages and the log).
    QString displayName() const { return onServer ? server.displayName() : file; }
    bool operator==(const HistorySource &other) const
    {
        return onServer == other.onServer && (onServer ? server == other.server : file == other.file);
    }
};

// A connection of its own to a history, for reading on the thread that makes it: the history
// window on the GUI thread, a check, an export or the trend on a worker thread. The store's
// connection writes; readers see what it has committed (write-ahead logging lets them read
// while it writes; on a server each statement sees what was committed before it) and never
// write themselves: the connection is made read-only. A file that is not there is not made.
// A server is reached with the bounded wait HistoryServer::applyTo sets.
class HistoryReader
{
public:
    explicit HistoryReader(const QString &filePath);
    explicit HistoryReader(const HistorySource &source);
    ~HistoryReader();
    HistoryReader(const HistoryReader &) = delete;
    HistoryReader &operator=(const HistoryReader &) = delete;

    bool isOpen() const { return m_open; }
    const HistorySource &source() const { return m_source; }
    QString filePath() const { return m_source.file; }
    // Why it could not be opened: the database's (or the system's) words.
    QString errorText() const { return m_error; }
    QSqlDatabase database() const;
    // The id of the file's chain of events (a server's own); empty when it cannot be read.
    QString chainId() const;
    // Makes the statement running on this connection stop as soon as it can. Safe from any
    // thread while the reader lives (see HistoryTask, which keeps it so).
    const std::function<void()> &interrupter() const { return m_interrupt; }

private:
    void openFile();
    void openServer();
    void setUp(QSqlDatabase &db);

    HistorySource m_source;
    QString m_name;
    QString m_error;
    bool m_open = false;
    std::function<void()> m_interrupt;
};
