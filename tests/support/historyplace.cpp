#include "historyplace.h"

#include "historystore.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace testsupport {

namespace {

QAtomicInt g_counter;

QString connectionName()
{
    return QStringLiteral("history-test-%1").arg(g_counter.fetchAndAddRelaxed(1));
}

// Runs fn on a connection of its own to the server or file, then removes the connection.
template<typename Fn>
bool withConnection(const HistoryServer &server, const QString &file, Fn fn, QString *error = nullptr)
{
    const QString name = connectionName();
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(server.isSet() ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), name);
        if (server.isSet())
            server.applyTo(db);
        else
            db.setDatabaseName(file);
        ok = db.open();
        if (!ok && error)
            *error = db.lastError().text();
        if (ok)
            ok = fn(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool execAll(const HistoryServer &server, const QString &file, const QStringList &statements, QString *error)
{
    return withConnection(
        server, file,
        [&](QSqlDatabase &db) {
            QSqlQuery q(db);
            for (const QString &sql : statements)
                if (!q.exec(sql)) {
                    if (error)
                        *error = sql + QStringLiteral(": ") + q.lastError().text();
                    return false;
                }
            return true;
        },
        error);
}

} // namespace

QVariant historyScalar(const HistoryServer &server, const QString &file, const QString &sql)
{
    QVariant result;
    withConnection(server, file, [&](QSqlDatabase &db) {
        QSqlQuery q(db);
        if (!q.exec(sql)) {
            qWarning() << sql << q.lastError().text();
            return false;
        }
        if (q.next())
            result = q.value(0);
        return true;
    });
    return result;
}

// ---- the server ----

HistoryServer TestServerDatabase::base()
{
    return HistoryServer::fromConnectionString(qEnvironmentVariable("COLORIMETER_TEST_PG"));
}

bool TestServerDatabase::execOnBase(const QStringList &statements, QString *error)
{
    return execAll(base(), QString(), statements, error);
}

TestServerDatabase::TestServerDatabase(const QString &templateName)
{
    if (!base().isSet()) {
        m_error = QStringLiteral("no test server (COLORIMETER_TEST_PG)");
        return;
    }
    static QAtomicInt made;
    m_name = QStringLiteral("history_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(made.fetchAndAddRelaxed(1));
    QString sql = QStringLiteral("CREATE DATABASE %1").arg(m_name);
    if (!templateName.isEmpty())
        sql += QStringLiteral(" TEMPLATE %1").arg(templateName);
    m_ready = execOnBase({sql}, &m_error);
}

TestServerDatabase::~TestServerDatabase()
{
    if (m_ready)
        execOnBase({QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name)}, nullptr);
}

HistoryServer TestServerDatabase::server() const
{
    HistoryServer server = base();
    server.database = m_name;
    return server;
}

QString TestServerDatabase::connectionString() const
{
    const HistoryServer s = server();
    QStringList words;
    if (!s.host.isEmpty())
        words << QStringLiteral("host=") + s.host;
    if (s.port > 0)
        words << QStringLiteral("port=%1").arg(s.port);
    if (!s.user.isEmpty())
        words << QStringLiteral("user=") + s.user;
    words << QStringLiteral("dbname=") + s.database;
    return words.join(u' ');
}

// ---- the place ----

bool HistoryPlace::onServer()
{
    return qEnvironmentVariable("COLORIMETER_HISTORY_BACKEND") == QLatin1String("postgres");
}

bool HistoryPlace::required()
{
    return qEnvironmentVariable("COLORIMETER_REQUIRE_PG") == QLatin1String("1");
}

QString HistoryPlace::unavailable()
{
    if (!onServer())
        return QString();
    if (!historyServerDriverAvailable())
        return QStringLiteral("Qt SQL's PostgreSQL driver is not installed (libqt6sql6-psql)");
    if (!TestServerDatabase::base().isSet())
        return QStringLiteral("no PostgreSQL test server: run under scripts/with-postgres.sh");
    return QString();
}

HistoryPlace::HistoryPlace(const QString &folder) : HistoryPlace(folder, QString()) {}

HistoryPlace::HistoryPlace(const QString &folder, const QString &templateName)
    : m_file(QDir(folder).filePath(QStringLiteral("data/history.sqlite")))
{
    if (onServer())
        m_database = new TestServerDatabase(templateName);
}

HistoryPlace::~HistoryPlace()
{
    delete m_database;
}

bool HistoryPlace::ready() const
{
    return !m_database || m_database->ready();
}

QString HistoryPlace::error() const
{
    return m_database ? m_database->error() : QString();
}

HistoryServer HistoryPlace::server() const
{
    return m_database ? m_database->server() : HistoryServer();
}

HistorySource HistoryPlace::source() const
{
    return m_database ? HistorySource::ofServer(m_database->server()) : HistorySource::ofFile(m_file);
}

bool HistoryPlace::open(HistoryStore &store) const
{
    return m_database ? store.open(m_database->server()) : store.open(m_file);
}

QVariant HistoryPlace::scalar(const QString &sql) const
{
    return historyScalar(server(), m_file, sql);
}

bool HistoryPlace::exec(const QStringList &statements) const
{
    QString error;
    const bool ok = execAll(server(), m_file, statements, &error);
    if (!ok)
        qWarning() << error;
    return ok;
}

bool HistoryPlace::withDatabase(const std::function<bool(QSqlDatabase &)> &what) const
{
    QString error;
    const bool ok = withConnection(server(), m_file, what, &error);
    if (!ok && !error.isEmpty())
        qWarning() << error;
    return ok;
}

QString HistoryPlace::pythonTarget() const
{
    return m_database ? QStringLiteral("postgresql:") + m_database->connectionString() : m_file;
}

bool HistoryPlace::copyTo(HistoryPlace *copy) const
{
    if (m_database) {
        delete copy->m_database;
        copy->m_database = new TestServerDatabase(m_database->name());
        if (!copy->m_database->ready())
            qWarning() << copy->m_database->error();
        return copy->m_database->ready();
    }
    QDir().mkpath(QFileInfo(copy->m_file).absolutePath());
    QFile::remove(copy->m_file);
    return QFile::copy(m_file, copy->m_file);
}

HistoryRow sampleHistoryRow(int n, HistoryOrigin origin)
{
    HistoryRow r;
    r.origin = origin;
    r.sequence = n;
    r.testName = QStringLiteral("Comp%1").arg(n);
    r.timeText = QStringLiteral("2026/12/08  09:%1").arg(n % 60, 2, 10, QLatin1Char('0'));
    r.standard = {50, 10, -20, 22.36, 296.6};
    r.sample = {52, 13, -16.5 + n, 20.6, 308.1};
    r.deltaE = 5.39 + n;
    r.verdict = QStringLiteral("NG");
    r.passed = 0;
    r.formulaText = QStringLiteral("△E*ab");
    r.thresholdText = QStringLiteral("2.0");
    r.deviceName = QStringLiteral("CM-200");
    r.serialNumber = QStringLiteral("20231234");
    r.formulaIndex = 0;
    r.threshold = 2.0;
    return r;
}

} // namespace testsupport
