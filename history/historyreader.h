#pragma once

#include <QSqlDatabase>
#include <QString>

#include <functional>

// A connection of its own to a history file, for reading on the thread that makes it: the
// history window on the GUI thread, a check, an export or the trend on a worker thread. The
// store's connection writes; readers see what it has committed (write-ahead logging lets them
// read while it writes) and never write themselves. A file that is not there is not made.
class HistoryReader
{
public:
    explicit HistoryReader(const QString &filePath);
    ~HistoryReader();
    HistoryReader(const HistoryReader &) = delete;
    HistoryReader &operator=(const HistoryReader &) = delete;

    bool isOpen() const { return m_open; }
    QString filePath() const { return m_filePath; }
    // Why it could not be opened: the database's (or the system's) words.
    QString errorText() const { return m_error; }
    QSqlDatabase database() const;
    // The id of the file's chain of events; empty when it cannot be read.
    QString chainId() const;
    // Makes the statement running on this connection stop as soon as it can. Safe from any
    // thread while the reader lives (see HistoryTask, which keeps it so).
    const std::function<void()> &interrupter() const { return m_interrupt; }

private:
    QString m_filePath;
    QString m_name;
    QString m_error;
    bool m_open = false;
    std::function<void()> m_interrupt;
};
