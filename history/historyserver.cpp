#include "historyserver.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QStringList>

bool HistoryServer::isSet() const
{
    return !host.isEmpty() || port > 0 || !database.isEmpty() || !user.isEmpty() || !service.isEmpty();
}

QString HistoryServer::displayName() const
{
    QString text;
    if (!service.isEmpty())
        text = QStringLiteral("service %1 ").arg(service);
    if (!user.isEmpty())
        text += user + u'@';
    text += host.isEmpty() ? QStringLiteral("localhost") : host;
    if (port > 0)
        text += u':' + QString::number(port);
    if (!database.isEmpty())
        text += u'/' + database;
    return text;
}

bool HistoryServer::operator==(const HistoryServer &other) const
{
    return host == other.host && port == other.port && database == other.database && user == other.user
           && service == other.service;
}

HistoryServer HistoryServer::fromConnectionString(const QString &text)
{
    HistoryServer server;
    static const QRegularExpression word(QStringLiteral("(\\w+)\\s*=\\s*('(?:[^'\\\\]|\\\\.)*'|\\S*)"));
    for (auto it = word.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        QString value = m.captured(2);
        if (value.startsWith(u'\'') && value.endsWith(u'\'') && value.size() >= 2)
            value = value.mid(1, value.size() - 2).replace(QStringLiteral("\\'"), QStringLiteral("'"))
                        .replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
        const QString key = m.captured(1);
        if (key == QLatin1String("host"))
            server.host = value;
        else if (key == QLatin1String("port"))
            server.port = value.toInt();
        else if (key == QLatin1String("dbname"))
            server.database = value;
        else if (key == QLatin1String("user"))
            server.user = value;
        else if (key == QLatin1String("service"))
            server.service = value;
    }
    return server;
}

void HistoryServer::applyTo(QSqlDatabase &db) const
{
    if (!host.isEmpty())
        db.setHostName(host);
    if (port > 0)
        db.setPort(port);
    if (!database.isEmpty())
        db.setDatabaseName(database);
    if (!user.isEmpty())
        db.setUserName(user);
    // The driver joins these into libpq's connection string. No password ever: libpq reads
    // ~/.pgpass or the service file itself.
    QStringList options{QStringLiteral("connect_timeout=5"), QStringLiteral("application_name=colorimeter"),
                        QStringLiteral("keepalives_idle=5"), QStringLiteral("keepalives_interval=2"),
                        QStringLiteral("keepalives_count=3")};
    if (!service.isEmpty())
        options << QStringLiteral("service=%1").arg(service);
    db.setConnectOptions(options.join(u';'));
}

bool historyServerDriverAvailable()
{
    return QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"));
}
