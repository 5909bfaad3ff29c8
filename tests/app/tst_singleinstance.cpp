#include "qtsingleapplication.h"
#include "singleinstanceguard.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

// The pid of a process that has just ended.
qint64 deadPid()
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

// What a copy killed while holding the lock leaves behind: a lock file in Qt's own format,
// naming a process that no longer exists.
void writeStaleLock(const QString &path)
{
    const QString probe = path + QStringLiteral(".probe");
    QByteArray content;
    {
        QLockFile lock(probe);
        QVERIFY(lock.tryLock());
        QFile f(probe);
        QVERIFY(f.open(QIODevice::ReadOnly));
        content = f.readAll();
    }
    QList<QByteArray> lines = content.split('\n');
    lines[0] = QByteArray::number(deadPid());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(lines.join('\n'));
}

// ... and a socket file nobody listens on any more.
void writeDanglingSocket(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(fd >= 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    QVERIFY(size_t(native.size()) < sizeof(addr.sun_path));
    std::memcpy(addr.sun_path, native.constData(), size_t(native.size()));
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof(addr)), 0);
    ::close(fd); // no unlink: the file stays
    QVERIFY(QFile::exists(path));
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void firstStartIsPrimary();
    void secondStartDeliversMessage_data();
    void secondStartDeliversMessage();
    void leftoversOfKilledCopyDoNotBlock_data();
    void leftoversOfKilledCopyDoNotBlock();
    void sendWithNobodyListeningTimesOut();
    void sendWaitsForFirstCopyStillStarting();
    void secondTakesOverWhenFirstEnds();
    void userKeyIsPerUserAndFileSafe();
    void applicationActivatesWindowOnMessage();

private:
    QString newKey() { return QStringLiteral("tst-%1").arg(++m_keyCounter); }
    int m_keyCounter = 0;
};

void TestSingleInstance::firstStartIsPrimary()
{
    const QString key = newKey();
    SingleInstanceGuard guard(key);
    QVERIFY(guard.isPrimary());
    QVERIFY(!guard.isRunning());
    QVERIFY(QFile::exists(guard.lockFilePath()));
    QVERIFY(QFile::exists(guard.serverName()));
    QVERIFY(guard.lockFilePath().startsWith(QDir::tempPath()));
    // The holder has nobody to send to.
    QVERIFY(!guard.sendMessage(QStringLiteral("x"), 100));
}

void TestSingleInstance::secondStartDeliversMessage_data()
{
    QTest::addColumn<QString>("message");
    QTest::newRow("start-up message") << QStringLiteral("active!!!!!");
    QTest::newRow("empty") << QString();
    QTest::newRow("non-ASCII") << QStringLiteral("Device already opened \u2014 \u25B3E \u8BBE\u5907\u5DF2\u6253\u5F00 \U0001F600");
    QTest::newRow("line breaks") << QStringLiteral("first\nsecond\r\nthird\0fourth");
    // Larger than one read from the socket, smaller than the socket buffer (the sender and
    // the receiver share this test's thread).
    QTest::newRow("64 KiB") << QString(65536 / 4, QChar(u'\u00E9')) + QString(65536 / 2, u'a');
}

void TestSingleInstance::secondStartDeliversMessage()
{
    QFETCH(QString, message);
    const QString key = newKey();
    SingleInstanceGuard first(key);
    SingleInstanceGuard second(key);
    QVERIFY(first.isPrimary());
    QVERIFY(second.isRunning());

    QSignalSpy received(&first, &SingleInstanceGuard::messageReceived);
    QVERIFY(second.sendMessage(message, 1000));
    QVERIFY(received.count() == 1 || received.wait(1000));
    QCOMPARE(received.count(), 1);
    QCOMPARE(received.at(0).at(0).toString(), message);
}

void TestSingleInstance::leftoversOfKilledCopyDoNotBlock_data()
{
    QTest::addColumn<bool>("staleLock");
    QTest::addColumn<bool>("staleSocket");
    QTest::newRow("lock") << true << false;
    QTest::newRow("socket") << false << true;
    QTest::newRow("lock and socket") << true << true;
}

void TestSingleInstance::leftoversOfKilledCopyDoNotBlock()
{
    QFETCH(bool, staleLock);
    QFETCH(bool, staleSocket);
    const QString key = newKey();
    {
        SingleInstanceGuard paths(key); // only to learn the paths, gone at once
    }
    const QString lockPath = QDir(QDir::tempPath()).filePath(key + QStringLiteral(".lock"));
    const QString socketPath = QDir(QDir::tempPath()).filePath(key + QStringLiteral(".sock"));
    QVERIFY(!QFile::exists(lockPath));
    QVERIFY(!QFile::exists(socketPath));
    if (staleLock)
        writeStaleLock(lockPath);
    if (staleSocket)
        writeDanglingSocket(socketPath);
    if (QTest::currentTestFailed())
        return;

    SingleInstanceGuard next(key);
    QVERIFY(next.isPrimary());
    QVERIFY(!next.isRunning());

    // And it really listens where the dead copy left its socket.
    SingleInstanceGuard later(key);
    QVERIFY(later.isRunning());
    QSignalSpy received(&next, &SingleInstanceGuard::messageReceived);
    QVERIFY(later.sendMessage(QStringLiteral("active!!!!!"), 1000));
    QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, 1000);
}

void TestSingleInstance::sendWithNobodyListeningTimesOut()
{
    // A live lock holder (this process) that never gets as far as listening.
    const QString key = newKey();
    QLockFile holder(QDir(QDir::tempPath()).filePath(key + QStringLiteral(".lock")));
    QVERIFY(holder.tryLock());

    SingleInstanceGuard second(key);
    QVERIFY(second.isRunning());
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!second.sendMessage(QStringLiteral("active!!!!!"), 300));
    const qint64 elapsed = timer.elapsed();
    QVERIFY2(elapsed >= 280 && elapsed < 1000, qPrintable(QString::number(elapsed)));
}

void TestSingleInstance::sendWaitsForFirstCopyStillStarting()
{
    // The first copy holds the lock but listens only a little later.
    const QString key = newKey();
    auto starting = std::make_unique<QLockFile>(QDir(QDir::tempPath()).filePath(key + QStringLiteral(".lock")));
    QVERIFY(starting->tryLock());
    SingleInstanceGuard second(key);
    QVERIFY(second.isRunning());

    std::atomic<int> sent{-1};
    std::thread sender([&] { sent = second.sendMessage(QStringLiteral("active!!!!!"), 1500) ? 1 : 0; });
    QTest::qWait(200);
    starting.reset();
    SingleInstanceGuard first(key);
    QVERIFY(first.isPrimary());
    QSignalSpy received(&first, &SingleInstanceGuard::messageReceived);
    QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, 1500);
    sender.join();
    QCOMPARE(sent.load(), 1);
    QCOMPARE(received.at(0).at(0).toString(), QStringLiteral("active!!!!!"));
}

void TestSingleInstance::secondTakesOverWhenFirstEnds()
{
    const QString key = newKey();
    auto first = std::make_unique<SingleInstanceGuard>(key);
    SingleInstanceGuard second(key);
    QVERIFY(second.isRunning());
    first.reset();
    QVERIFY(!second.isRunning());
    QVERIFY(second.isPrimary());

    SingleInstanceGuard third(key);
    QVERIFY(third.isRunning());
    QSignalSpy received(&second, &SingleInstanceGuard::messageReceived);
    QVERIFY(third.sendMessage(QStringLiteral("hello"), 1000));
    QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, 1000);
}

void TestSingleInstance::userKeyIsPerUserAndFileSafe()
{
    const QString key = SingleInstanceGuard::userKey(QStringLiteral("my app/../x"));
    QVERIFY(key.endsWith(QStringLiteral("-%1").arg(::getuid())));
    QVERIFY(!key.contains(u'/'));
    QVERIFY(!key.contains(u' '));
    QVERIFY(!SingleInstanceGuard::userKey(QString()).startsWith(u'-'));
}

void TestSingleInstance::applicationActivatesWindowOnMessage()
{
    auto *app = qobject_cast<QtSingleApplication *>(qApp);
    QVERIFY(app);
    QVERIFY(!app->isRunning());

    QWidget window;
    window.setWindowState(Qt::WindowMinimized);
    app->setActivationWindow(&window);
    QCOMPARE(app->activationWindow(), &window);

    // A second start of this same program.
    SingleInstanceGuard secondCopy(SingleInstanceGuard::userKey(app->applicationName()));
    QVERIFY(secondCopy.isRunning());
    QSignalSpy received(app, &QtSingleApplication::messageReceived);
    QVERIFY(secondCopy.sendMessage(QStringLiteral("active!!!!!"), 1000));
    QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, 1000);
    QCOMPARE(received.at(0).at(0).toString(), QStringLiteral("active!!!!!"));
    QVERIFY(window.isVisible());
    QVERIFY(!(window.windowState() & Qt::WindowMinimized));

    // Without activation on message the window is left alone.
    window.hide();
    app->setActivationWindow(&window, false);
    QVERIFY(secondCopy.sendMessage(QStringLiteral("again"), 1000));
    QTRY_COMPARE_WITH_TIMEOUT(received.count(), 2, 1000);
    QVERIFY(!window.isVisible());
    app->setActivationWindow(nullptr);
}

int main(int argc, char **argv)
{
    // Lock files and sockets of this run stay in a directory of its own.
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    qputenv("TMPDIR", QFile::encodeName(dir.path()));
    QtSingleApplication app(argc, argv);
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
