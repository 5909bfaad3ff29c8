#include "historyreader.h"

#include "historydialect.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlError>
#include <QLoggingCategory>
#include <QSqlQuery>
#include <QTimeZone>

Q_DECLARE_LOGGING_CATEGORY(lcHistory)

namespace {
QAtomicInteger<quint64> g_readers;
}

HistoryReader::HistoryReader(const QString &filePath) : HistoryReader(HistorySource::ofFile(filePath))
{
}

HistoryReader::HistoryReader(const HistorySource &source)
    : m_source(source), m_name(QStringLiteral("history-reader-%1").arg(g_readers.fetchAndAddRelaxed(1)))
{
    if (m_source.onServer)
        openServer();
    else
        openFile();
}

void HistoryReader::openFile()
{
    // SQLite would make a new, empty file where there is none.
    if (!QFileInfo(m_source.file).isFile()) {
        m_error = QStringLiteral("%1: no such file").arg(m_source.file);
        return;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(m_source.file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db.open()) {
        m_error = db.lastError().text();
        return;
    }
    setUp(db);
}

void HistoryReader::openServer()
{
    if (!historyServerDriverAvailable()) {
        m_error = QStringLiteral("the QPSQL driver of Qt SQL is not installed");
        return;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
    m_source.server.applyTo(db);
    if (!db.open()) {
        const QSqlError error = db.lastError();
        m_error = (error.databaseText().isEmpty() ? error.driverText() : error.databaseText()).simplified();
        return;
    }
    setUp(db);
}

void HistoryReader::setUp(QSqlDatabase &db)
{
    const HistoryDialect dialect(db);
    // A reader never writes, whatever a caller asks of it.
    QSqlQuery query(db);
    for (const QString &sql : dialect.readOnlySession()) {
        if (!query.exec(sql)) {
            m_error = query.lastError().text();
            return;
        }
    }
    // Local days and weeks (the trend's groups) are this computer's, not the server's.
    const QString zone = dialect.localTimeZone();
    if (!zone.isEmpty()) {
        const QByteArray id = QTimeZone::systemTimeZoneId();
        query.prepare(zone);
        query.addBindValue(QString::fromUtf8(id));
        if (id.isEmpty() || !query.exec())
            qCWarning(lcHistory) << "the server does not know this computer's time zone" << id << "-"
                                 << query.lastError().text();
    }
    m_interrupt = dialect.interrupter();
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
