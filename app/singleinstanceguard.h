#pragma once

#include <QByteArray>
#include <QHash>
#include <QLoggingCategory>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

Q_DECLARE_LOGGING_CATEGORY(lcSingleInstance)

// One copy of the program per key. The first guard constructed for a key takes a lock file
// and listens on a local socket; any later guard for the same key (in another process, or in
// the same one, which is how the tests run it) sees isRunning() and can hand the first one a
// message. Both files live in QDir::tempPath(), so TMPDIR isolates a test run.
//
// Wire format of a message: a 4-byte big-endian length, then that many bytes of UTF-8.
class SingleInstanceGuard : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstanceGuard(const QString &key, QObject *parent = nullptr);
    ~SingleInstanceGuard() override;

    // A key made from an application id and the current user id, with characters that are
    // unsafe in a file name replaced, so two users of one machine each get their own copy.
    static QString userKey(const QString &appId);

    // True when another guard holds the key. A guard that was second when constructed takes
    // over if the first one has gone away in the meantime.
    bool isRunning();
    bool isPrimary() const { return m_primary; }

    // Sends a message to the guard holding the key. Connection attempts are repeated until
    // timeoutMs has passed, because the first copy may still be on its way to listening.
    // Returns false without trying when this guard is itself the holder.
    bool sendMessage(const QString &message, int timeoutMs);

    QString key() const { return m_key; }
    QString lockFilePath() const;
    QString serverName() const;

    // Upper bound for one message; a larger length prefix drops the connection.
    static constexpr quint32 MaxMessageBytes = 1u << 20;

signals:
    void messageReceived(const QString &message);

private:
    void tryBecomePrimary();
    void acceptConnections();
    void readFrom(QLocalSocket *socket);

    QString m_key;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    QHash<QLocalSocket *, QByteArray> m_pending;
    bool m_primary = false;
};
