#pragma once

#include "historystore.h"

#include <QCoreApplication>
#include <QList>
#include <QString>

// How far a server has confirmed this file's chain (the server_progress table), and the
// revision of the runs it has.
struct HistoryProgress
{
    QString serverId;   // the server's own history id (its chain id): a new server starts again
    QString serverName; // as the user named it, to tell how many rows wait before connecting
    qint64 sentSeq = 0; // the last place of this file's chain the server confirmed
    QString sentHash;
    qint64 runsRevision = 0;
    QString confirmedAt;
};

// The local history file as the sender reads it, on the sender's own thread through its own
// connection: the events of the file's chain after a place, the runs changed after a revision,
// the desks' names, and the progress each server confirmed. It never migrates or repairs the
// file (the store did that when the program started): a file of another layout is left alone.
class HistoryOutbox
{
    Q_DECLARE_TR_FUNCTIONS(HistoryOutbox)
public:
    HistoryOutbox();
    ~HistoryOutbox();
    HistoryOutbox(const HistoryOutbox &) = delete;
    HistoryOutbox &operator=(const HistoryOutbox &) = delete;

    bool open(const QString &filePath);
    void close();
    bool isOpen() const { return m_open; }
    QString errorText() const { return m_error; }
    QString chainId() const { return m_chainId; }

    // At most limit events of the file's chain after place after, in order; false on failure.
    bool events(qint64 after, int limit, QList<HistoryEvent> *out);
    // The runs changed after revision, oldest change first.
    bool runs(qint64 afterRevision, QList<HistoryRunRecord> *out);
    bool desks(QList<HistoryDeskRecord> *out);
    // The hash of the event at place seq of the file's chain (also of the last one removed from
    // the file); empty when there is none.
    QString eventHash(qint64 seq);
    // The rows with events after place after: what waits to be sent.
    qint64 waitingRows(qint64 after);

    HistoryProgress progress(const QString &serverId);
    // The progress last confirmed by a server of that name (before it is reached again).
    HistoryProgress progressByName(const QString &serverName);
    bool setProgress(const HistoryProgress &progress);

private:
    bool fail(const QSqlQuery &query);

    QString m_connection;
    QString m_filePath;
    QString m_chainId;
    QString m_error;
    bool m_open = false;
};
