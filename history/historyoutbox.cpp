#include "historyoutbox.h"

#include "historystore.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QDir>
#include <QLoggingCategory>
#include <QSqlError>
#include <QSqlQuery>

Q_DECLARE_LOGGING_CATEGORY(lcHistory)

namespace {

QAtomicInt g_outboxes;

QString textOf(const QVariant &value)
{
    return value.isNull() ? QString() : value.toString();
}

} // namespace

HistoryOutbox::HistoryOutbox()
    : m_connection(QStringLiteral("colorimeter-outbox-%1").arg(g_outboxes.fetchAndAddRelaxed(1)))
{
}

HistoryOutbox::~HistoryOutbox()
{
    close();
}

bool HistoryOutbox::fail(const QSqlQuery &query)
{
    const QSqlError error = query.lastError();
    m_error = tr("the history file %1 cannot be read (%2)")
                  .arg(QDir::toNativeSeparators(m_filePath), error.databaseText().isEmpty() ? error.driverText()
                                                                                           : error.databaseText());
    qCWarning(lcHistory) << "outbox:" << m_error;
    return false;
}

bool HistoryOutbox::open(const QString &filePath)
{
    close();
    m_filePath = filePath;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(filePath);
    // The program's own writes come first; the sender's few wait their turn.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
        m_error = tr("the history file %1 cannot be opened").arg(QDir::toNativeSeparators(filePath));
        return false;
    }
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT version, chain_id FROM history_schema")) || !query.next())
        return fail(query);
    if (query.value(0).toInt() != HistoryStore::kSchemaVersion) {
        m_error = tr("the history file %1 has another layout").arg(QDir::toNativeSeparators(filePath));
        return false;
    }
    m_chainId = query.value(1).toString();
    query.finish();
    // The progress is written after the server confirmed: should it be lost, the rows are sent
    // again and the server knows them, so no wait for the disk here.
    query.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    m_open = true;
    return true;
}

void HistoryOutbox::close()
{
    if (QSqlDatabase::contains(m_connection)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connection);
    }
    m_open = false;
}

bool HistoryOutbox::events(qint64 after, int limit, QList<HistoryEvent> *out)
{
    out->clear();
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM events WHERE chain_id = ? AND chain_seq > ? ORDER BY chain_seq LIMIT ?")
                      .arg(QLatin1String(historyEventColumns())));
    query.addBindValue(m_chainId);
    query.addBindValue(after);
    query.addBindValue(limit);
    if (!query.exec())
        return fail(query);
    while (query.next())
        out->append(historyEventFromQuery(query, m_chainId));
    return !query.lastError().isValid() || fail(query);
}

bool HistoryOutbox::runs(qint64 afterRevision, QList<HistoryRunRecord> *out)
{
    out->clear();
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT uuid, desk, started_at, ended_at, end_reason, exported_to, last_test_number, "
                                 "revision FROM runs WHERE revision > ? ORDER BY revision"));
    query.addBindValue(afterRevision);
    if (!query.exec())
        return fail(query);
    while (query.next()) {
        HistoryRunRecord run;
        run.uuid = query.value(0).toString();
        run.desk = query.value(1).toString();
        run.startedAt = query.value(2).toString();
        run.endedAt = textOf(query.value(3));
        run.endReason = textOf(query.value(4));
        run.exportedTo = textOf(query.value(5));
        run.lastTestNumber = query.value(6).isNull() ? -1 : query.value(6).toInt();
        run.revision = query.value(7).toLongLong();
        out->append(run);
    }
    return true;
}

bool HistoryOutbox::desks(QList<HistoryDeskRecord> *out)
{
    out->clear();
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(QStringLiteral("SELECT desk, name, named_at FROM desks")))
        return fail(query);
    while (query.next())
        out->append({query.value(0).toString(), query.value(1).toString(), query.value(2).toString()});
    return true;
}

QString HistoryOutbox::eventHash(qint64 seq)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT hash FROM events WHERE chain_id = ? AND chain_seq = ? UNION ALL "
                                 "SELECT removed_hash FROM history_schema WHERE removed_through = ?"));
    query.addBindValue(m_chainId);
    query.addBindValue(seq);
    query.addBindValue(seq);
    return query.exec() && query.next() ? query.value(0).toString() : QString();
}

qint64 HistoryOutbox::waitingRows(qint64 after)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT COUNT(DISTINCT row_uuid) FROM events WHERE chain_id = ? AND chain_seq > ?"));
    query.addBindValue(m_chainId);
    query.addBindValue(after);
    return query.exec() && query.next() ? query.value(0).toLongLong() : -1;
}

namespace {

HistoryProgress progressOf(QSqlQuery &query)
{
    HistoryProgress p;
    if (query.next()) {
        p.serverId = query.value(0).toString();
        p.serverName = query.value(1).toString();
        p.sentSeq = query.value(2).toLongLong();
        p.sentHash = query.value(3).toString();
        p.runsRevision = query.value(4).toLongLong();
        p.confirmedAt = query.value(5).toString();
    }
    return p;
}

const char kProgressColumns[] = "server_id, server_name, sent_seq, sent_hash, runs_revision, confirmed_at";

} // namespace

HistoryProgress HistoryOutbox::progress(const QString &serverId)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT %1 FROM server_progress WHERE server_id = ? AND chain_id = ?")
                      .arg(QLatin1String(kProgressColumns)));
    query.addBindValue(serverId);
    query.addBindValue(m_chainId);
    if (!query.exec())
        fail(query);
    HistoryProgress p = progressOf(query);
    p.serverId = serverId;
    return p;
}

HistoryProgress HistoryOutbox::progressByName(const QString &serverName)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT %1 FROM server_progress WHERE server_name = ? AND chain_id = ? "
                                 "ORDER BY confirmed_at DESC LIMIT 1")
                      .arg(QLatin1String(kProgressColumns)));
    query.addBindValue(serverName);
    query.addBindValue(m_chainId);
    if (!query.exec())
        fail(query);
    return progressOf(query);
}

bool HistoryOutbox::setProgress(const HistoryProgress &p)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral(
        "INSERT INTO server_progress (server_id, server_name, chain_id, sent_seq, sent_hash, runs_revision, "
        "confirmed_at) VALUES (?, ?, ?, ?, ?, ?, ?) ON CONFLICT (server_id) DO UPDATE SET "
        "server_name = excluded.server_name, chain_id = excluded.chain_id, sent_seq = excluded.sent_seq, "
        "sent_hash = excluded.sent_hash, runs_revision = excluded.runs_revision, confirmed_at = excluded.confirmed_at"));
    query.addBindValue(p.serverId);
    query.addBindValue(p.serverName);
    query.addBindValue(m_chainId);
    query.addBindValue(p.sentSeq);
    query.addBindValue(p.sentHash.isNull() ? QStringLiteral("") : p.sentHash);
    query.addBindValue(p.runsRevision);
    query.addBindValue(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    return query.exec() || fail(query);
}
