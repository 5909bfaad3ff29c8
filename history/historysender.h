#pragma once

#include "historyserver.h"

#include <QCoreApplication>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>

class HistorySenderWorker;

// What the sender has to say: whether the server takes the rows, and how many wait.
struct HistorySenderStatus
{
    Q_DECLARE_TR_FUNCTIONS(HistorySenderStatus)
public:
    enum class State {
        Starting,
        UpToDate,     // the server has every row of this desk
        Sending,      // rows are on their way
        Unreachable,  // no server answered: rows wait in the file
        Refused,      // the server did not let the user in (password, role, pg_hba)
        NoDatabase,   // the server has no such database
        NewerLayout,  // a newer program made the history there: left alone, nothing sent
        NoDriver,     // Qt SQL's PostgreSQL driver is not installed
        Conflict,     // the server holds other events in this file's places
        LocalProblem, // the history file cannot be read
        Failed,       // anything else the server said no to
    };
    State state = State::Starting;
    qint64 waitingRows = 0;  // rows with changes the server has not confirmed (-1: not known)
    qint64 confirmedSeq = 0; // the place of this file's chain the server confirmed last
    QString serverId;        // the server's history id, once reached
    QString text;            // what went wrong, in the user's words; empty when nothing did
    QString detail;          // the server's or database's own words

    // Whether the server cannot have the rows now (they wait).
    bool problem() const;
    // The short line for the main window: "history server unreachable, N rows waiting", or
    // empty when there is nothing to say.
    QString line() const;
};
Q_DECLARE_METATYPE(HistorySenderStatus)

// Sends the local history file's rows and events to a laboratory's PostgreSQL server, on a
// thread of its own with its own connections (one to the file, one to the server), so the GUI
// never waits for the network. The file is the outbox: every event is on disk before it is
// sent, sent in the order of the file's chain, and the server stores each once however often
// it comes (client-made UUIDs, INSERT ... ON CONFLICT DO NOTHING), so a resend after a lost
// reply or a kill changes nothing. Where to go on from is asked of the server each time it is
// reached, so nothing is skipped either. When the server cannot be reached, the rows wait and
// the sender tries again every few seconds, also after a restart of the program.
class HistorySender : public QObject
{
    Q_OBJECT
public:
    static constexpr int kBatchEvents = 500;
    static constexpr int kRetryMs = 3000;

    HistorySender(const QString &filePath, const HistoryServer &server, QObject *parent = nullptr);
    ~HistorySender() override;

    void start();
    // Stops the thread and waits for it: at most as long as one statement or a connection
    // attempt to an unreachable host (bounded by the connection's own timeout).
    void stop();
    bool isRunning() const { return m_thread.isRunning(); }
    HistoryServer server() const { return m_server; }
    HistorySenderStatus status() const { return m_status; }

    // The file has new events: send them now rather than at the next look. Cheap, from any thread.
    void wake();
    // The desks' names changed: send them too.
    void desksChanged();

signals:
    // On the thread that made the sender.
    void statusChanged(const HistorySenderStatus &status);

private:
    void keep(const HistorySenderStatus &status);

    HistoryServer m_server;
    QThread m_thread;
    HistorySenderWorker *m_worker = nullptr;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_wakePending{false};
    HistorySenderStatus m_status;
};
