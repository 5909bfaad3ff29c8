// The program as a process: a second start against a running first one, and a start after the
// first copy was killed and left its lock and socket behind.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

QProcessEnvironment environmentFor(const QString &tmp, bool autoAnswer)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), tmp); // the lock and socket live here: a private pair
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), tmp);
    env.insert(QStringLiteral("XDG_DATA_HOME"), tmp); // the history file, never the user's own
    if (autoAnswer)
        env.insert(QStringLiteral("COLORIMETER_TEST_AUTOANSWER"), QStringLiteral("1"));
    return env;
}

bool waitForOutput(QProcess &process, QByteArray *seen, const QByteArray &needle, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!seen->contains(needle) && clock.elapsed() < timeoutMs) {
        process.waitForReadyRead(100);
        *seen += process.readAllStandardError();
    }
    return seen->contains(needle);
}

} // namespace

class tst_Startup : public QObject
{
    Q_OBJECT
private slots:
    void secondStartWarnsAndActivatesTheFirst();
    void startAfterACrashedFirstCopy();
};

void tst_Startup::secondStartWarnsAndActivatesTheFirst()
{
    QTemporaryDir tmp;
    QProcess first;
    first.setProcessEnvironment(environmentFor(tmp.path(), true));
    first.start(QStringLiteral(COLORIMETER_EXE), {QStringLiteral("--demo")});
    QByteArray firstOut;
    QVERIFY2(waitForOutput(first, &firstOut, "hidDevice Open success!", 10000), firstOut.constData());

    QProcess second;
    second.setProcessEnvironment(environmentFor(tmp.path(), true));
    second.start(QStringLiteral(COLORIMETER_EXE), {QStringLiteral("--demo")});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    const QByteArray secondOut = second.readAllStandardError();
    QVERIFY2(secondOut.contains("modal: Warn: Device already opened."), secondOut.constData());
    QVERIFY2(!secondOut.contains("hidDevice Open"), "the second copy must not touch the instrument");

    QVERIFY2(waitForOutput(first, &firstOut, "active!!!!!", 5000), firstOut.constData());
    first.kill();
    first.waitForFinished();
}

void tst_Startup::startAfterACrashedFirstCopy()
{
    QTemporaryDir tmp;
    QProcess first;
    first.setProcessEnvironment(environmentFor(tmp.path(), true));
    first.start(QStringLiteral(COLORIMETER_EXE), {QStringLiteral("--demo")});
    QByteArray out;
    QVERIFY(waitForOutput(first, &out, "hidDevice Open success!", 10000));
    ::kill(pid_t(first.processId()), SIGKILL); // no clean-up: lock and socket stay behind
    QVERIFY(first.waitForFinished(5000));

    QProcess next;
    next.setProcessEnvironment(environmentFor(tmp.path(), true));
    next.start(QStringLiteral(COLORIMETER_EXE), {QStringLiteral("--demo")});
    QByteArray nextOut;
    QVERIFY2(waitForOutput(next, &nextOut, "hidDevice Open success!", 10000), nextOut.constData());
    QVERIFY(!nextOut.contains("Device already opened."));
    next.kill();
    next.waitForFinished();
}

QTEST_GUILESS_MAIN(tst_Startup)
#include "tst_startup.moc"
