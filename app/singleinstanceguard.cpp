#include "singleinstanceguard.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <QtEndian>

#include <unistd.h>

// Messages and connection failures are debug-level: a second start is normal operation.
Q_LOGGING_CATEGORY(lcSingleInstance, "colorimeter.singleinstance", QtInfoMsg)

namespace {

constexpr int LengthPrefixBytes = 4;
// Pause between connection attempts while the first copy is not listening yet.
constexpr int RetryPauseMs = 25;

} // namespace

SingleInstanceGuard::SingleInstanceGuard(const QString &key, QObject *parent)
    : QObject(parent), m_key(key)
{
    tryBecomePrimary();
}

SingleInstanceGuard::~SingleInstanceGuard()
{
    if (m_server)
        m_server->close(); // removes the socket file
    if (m_lock)
        m_lock->unlock();
}

QString SingleInstanceGuard::userKey(const QString &appId)
{
    QString safe;
    safe.reserve(appId.size());
    for (const QChar c : appId)
        safe.append((c.isLetterOrNumber() && c.unicode() < 128) || c == u'-' || c == u'_' ? c : u'_');
    if (safe.isEmpty())
        safe = QStringLiteral("app");
    return QStringLiteral("%1-%2").arg(safe).arg(::getuid());
}

QString SingleInstanceGuard::lockFilePath() const
{
    return QDir(QDir::tempPath()).filePath(m_key + QStringLiteral(".lock"));
}

QString SingleInstanceGuard::serverName() const
{
    // A full path makes QLocalServer use it as the socket file itself, next to the lock.
    return QDir(QDir::tempPath()).filePath(m_key + QStringLiteral(".sock"));
}

bool SingleInstanceGuard::isRunning()
{
    if (!m_primary)
        tryBecomePrimary();
    return !m_primary;
}

void SingleInstanceGuard::tryBecomePrimary()
{
    if (!m_lock) {
        m_lock = std::make_unique<QLockFile>(lockFilePath());
        // A lock is stale only when its process is gone: the first copy may run for days, so
        // the lock must never expire by age.
        m_lock->setStaleLockTime(0);
    }
    // tryLock() itself removes a lock whose process no longer exists.
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() != QLockFile::LockFailedError)
            qCWarning(lcSingleInstance) << "cannot create lock file" << lockFilePath() << m_lock->error();
        return;
    }
    m_primary = true;

    // Holding the lock, any socket file left over is from a copy that died without cleaning up.
    QLocalServer::removeServer(serverName());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstanceGuard::acceptConnections);
    if (!m_server->listen(serverName()))
        qCWarning(lcSingleInstance) << "cannot listen on" << serverName() << m_server->errorString();
}

void SingleInstanceGuard::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        m_pending.insert(socket, QByteArray());
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            readFrom(socket); // whatever arrived together with the hang-up
            m_pending.remove(socket);
            socket->deleteLater();
        });
        // Data may already be waiting when the connection is taken.
        readFrom(socket);
    }
}

void SingleInstanceGuard::readFrom(QLocalSocket *socket)
{
    auto it = m_pending.find(socket);
    if (it == m_pending.end())
        return;
    it->append(socket->readAll());
    QByteArray &buffer = *it;
    while (buffer.size() >= LengthPrefixBytes) {
        const quint32 length = qFromBigEndian<quint32>(buffer.constData());
        if (length > MaxMessageBytes) {
            qCWarning(lcSingleInstance) << "dropping a connection announcing" << length << "bytes";
            m_pending.erase(it);
            socket->abort();
            return;
        }
        if (quint32(buffer.size() - LengthPrefixBytes) < length)
            return; // the rest is still on its way
        const QString message = QString::fromUtf8(buffer.constData() + LengthPrefixBytes, int(length));
        buffer.remove(0, LengthPrefixBytes + int(length));
        qCDebug(lcSingleInstance) << "message received:" << message.left(80) << "length" << message.size();
        emit messageReceived(message);
        // A receiver may have closed this guard's connections; look the socket up again.
        it = m_pending.find(socket);
        if (it == m_pending.end())
            return;
    }
}

bool SingleInstanceGuard::sendMessage(const QString &message, int timeoutMs)
{
    if (!isRunning())
        return false;

    const QByteArray body = message.toUtf8();
    if (quint32(body.size()) > MaxMessageBytes) {
        qCWarning(lcSingleInstance) << "message too long to send:" << body.size() << "bytes";
        return false;
    }
    QByteArray frame(LengthPrefixBytes, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(body.size()), frame.data());
    frame.append(body);

    const QDeadlineTimer deadline(qMax(0, timeoutMs));
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(serverName());
        if (socket.waitForConnected(int(qMax<qint64>(0, deadline.remainingTime()))))
            break;
        const QString why = socket.errorString();
        socket.abort();
        if (deadline.hasExpired()) {
            qCDebug(lcSingleInstance) << "no running copy answered within" << timeoutMs << "ms:" << why;
            return false;
        }
        QThread::msleep(quint64(qMin<qint64>(RetryPauseMs, deadline.remainingTime())));
    }

    socket.write(frame);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(int(qMax<qint64>(0, deadline.remainingTime())))) {
            qCDebug(lcSingleInstance) << "message not written:" << socket.errorString();
            return false;
        }
    }
    socket.disconnectFromServer();
    return true;
}
