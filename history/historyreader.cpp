#include "historyreader.h"

#include "historydialect.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {
QAtomicInteger<quint64> g_readers;
}

HistoryReader::HistoryReader(const QString &filePath)
    : m_filePath(filePath), m_name(QStringLiteral("history-reader-%1").arg(g_readers.fetchAndAddRelaxed(1)))
{
    // SQLite would make a new, empty file where there is none.
    if (!QFileInfo(filePath).isFile()) {
        m_error = QStringLiteral("%1: no such file").arg(filePath);
        return;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(filePath);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db.open()) {
        m_error = db.lastError().text();
        return;
    }
    // A reader never writes, whatever a caller asks of it.
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA query_only = 1"))) {
        m_error = query.lastError().text();
        return;
    }
    m_interrupt = HistoryDialect(db).interrupter();
    m_open = true;
}

HistoryReader::~HistoryReader()
{
    m_interrupt = nullptr;
    if (!QSqlDatabase::contains(m_name))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase HistoryReader::database() const
{
    return QSqlDatabase::database(m_name, false);
}

QString HistoryReader::chainId() const
{
    if (!m_open)
        return QString();
    QSqlQuery query(database());
    if (!query.exec(QStringLiteral("SELECT chain_id FROM history_schema")) || !query.next())
        return QString();
    return query.value(0).toString();
}
