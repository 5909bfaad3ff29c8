#include "historycursor.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QVariant>

#include <sqlite3.h>

HistoryCursor::HistoryCursor(const QSqlDatabase &db) : m_db(db)
{
    if (db.driverName() != QLatin1String("QSQLITE") || !db.isOpen())
        return;
    const QVariant handle = db.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        m_connection = *static_cast<sqlite3 *const *>(handle.constData());
}

HistoryCursor::~HistoryCursor()
{
    sqlite3_finalize(m_statement);
}

bool HistoryCursor::fail(const QString &what)
{
    m_error = what;
    return false;
}

bool HistoryCursor::exec(const QString &sql)
{
    m_error.clear();
    if (!m_connection) {
        m_query = std::make_unique<QSqlQuery>(m_db);
        m_query->setForwardOnly(true);
        if (!m_query->exec(sql))
            return fail(m_query->lastError().text());
        m_held.assign(size_t(m_query->record().count()), QByteArray());
        return true;
    }
    sqlite3_finalize(m_statement);
    m_statement = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(m_connection, utf8.constData(), int(utf8.size()), &m_statement, nullptr) != SQLITE_OK)
        return fail(QString::fromUtf8(sqlite3_errmsg(m_connection)));
    return true;
}

bool HistoryCursor::next()
{
    if (m_query) {
        if (m_query->next())
            return true;
        if (m_query->lastError().isValid())
            fail(m_query->lastError().text());
        return false;
    }
    if (!m_statement)
        return false;
    const int result = sqlite3_step(m_statement);
    if (result == SQLITE_ROW)
        return true;
    if (result != SQLITE_DONE)
        fail(QString::fromUtf8(sqlite3_errmsg(m_connection)));
    // Done with: the read it held ends with the statement (or with the caller's transaction).
    sqlite3_finalize(m_statement);
    m_statement = nullptr;
    return false;
}

bool HistoryCursor::isNull(int column) const
{
    if (m_query)
        return m_query->isNull(column);
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

qint64 HistoryCursor::integer(int column) const
{
    if (m_query)
        return m_query->value(column).toLongLong();
    return sqlite3_column_int64(m_statement, column);
}

double HistoryCursor::real(int column) const
{
    if (m_query)
        return m_query->value(column).toDouble();
    return sqlite3_column_double(m_statement, column);
}

QByteArrayView HistoryCursor::bytes(int column) const
{
    if (m_query) {
        QByteArray &held = m_held[size_t(column)];
        const QVariant value = m_query->value(column);
        held = value.typeId() == QMetaType::QString ? value.toString().toUtf8() : value.toByteArray();
        return held;
    }
    // A blob's bytes as they are; a text's as UTF-8 (what the history stores).
    const void *data = sqlite3_column_blob(m_statement, column);
    const int size = sqlite3_column_bytes(m_statement, column);
    return data ? QByteArrayView(static_cast<const char *>(data), size) : QByteArrayView();
}

QString HistoryCursor::text(int column) const
{
    if (m_query)
        return m_query->value(column).toString();
    const unsigned char *data = sqlite3_column_text(m_statement, column);
    const int size = sqlite3_column_bytes(m_statement, column);
    return data ? QString::fromUtf8(reinterpret_cast<const char *>(data), size) : QString();
}
