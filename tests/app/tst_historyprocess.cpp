// The history across processes: a program that measured and was killed, cleared, or closed
// with "Close anyway", then started again with the same data folder; a history file made
// read-only and writable again between starts. With the PostgreSQL test server: two desks
// measuring at once into one server, and a program killed with rows waiting for a server that
// was down, which sends them at its next start.
#include "historyplace.h"
#include "historystore.h"

#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include <grp.h>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;

QProcessEnvironment environmentFor(const QString &tmp)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), tmp);
    env.insert(QStringLiteral("TMPDIR"), tmp);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), tmp);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), tmp);
    env.insert(QStringLiteral("XDG_DATA_HOME"), tmp); // the history file, never the user's own
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("COLORIMETER_TEST_AUTOANSWER"), QStringLiteral("1"));
    return env;
}

// Reads the process's output until needle has been seen in stdout (or stderr), or time is up.
bool waitFor(QProcess &process, QByteArray *out, QByteArray *err, const QByteArray &needle, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!out->contains(needle) && !err->contains(needle) && clock.elapsed() < timeoutMs) {
        process.waitForReadyRead(100);
        *out += process.readAllStandardOutput();
        *err += process.readAllStandardError();
        if (process.state() == QProcess::NotRunning) {
            *out += process.readAllStandardOutput();
            *err += process.readAllStandardError();
            break;
        }
    }
    return out->contains(needle) || err->contains(needle);
}

// The table and counters a child printed.
QByteArrayList tableLines(const QByteArray &out)
{
    QByteArrayList lines;
    for (const QByteArray &line : out.split('\n'))
        if (line.startsWith("row: ") || line.startsWith("counters: "))
            lines << line;
    return lines;
}

} // namespace

class tst_HistoryProcess : public QObject
{
    Q_OBJECT
private slots:
    void killedProgramIsOfferedItsRows();
    void nextStartAfter_data();
    void nextStartAfter();
    void programRunsWithoutItsHistory_data();
    void programRunsWithoutItsHistory();
    void readOnlyHistoryFileBetweenStarts();
    void twoDesksMeasureAtOnce();
    void killedWithRowsWaiting();

private:
    // asOrdinaryUser: run by root, the child runs as "nobody" (root writes read-only files).
    QByteArray runChild(const QString &tmp, const QStringList &args, const QByteArray &until, bool kill,
                        QByteArray *err = nullptr, bool asOrdinaryUser = false);
};

QByteArray tst_HistoryProcess::runChild(const QString &tmp, const QStringList &args, const QByteArray &until,
                                        bool kill, QByteArray *errOut, bool asOrdinaryUser)
{
    QProcess child;
    child.setProcessEnvironment(environmentFor(tmp));
    if (asOrdinaryUser && ::geteuid() == 0) {
        child.setChildProcessModifier([] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                ::_exit(125);
        });
    }
    child.start(QStringLiteral(HISTORY_CHILD), args);
    QByteArray out, err;
    const bool seen = waitFor(child, &out, &err, until, 30000);
    if (kill) {
        // No clean-up of any kind: what was shown must already be on the disk.
        ::kill(pid_t(child.processId()), SIGKILL);
    }
    child.waitForFinished(10000);
    out += child.readAllStandardOutput();
    err += child.readAllStandardError();
    if (errOut)
        *errOut = err;
    if (!seen)
        qWarning().noquote() << "child" << args << "did not say" << until << "\n" << out << err;
    return seen ? out : QByteArray();
}

void tst_HistoryProcess::killedProgramIsOfferedItsRows()
{
    QTemporaryDir tmp;
    const int pairs = 6;
    const QByteArray measured = runChild(tmp.path(), {QStringLiteral("measure"), QString::number(pairs)}, "ready", true);
    QVERIFY(!measured.isEmpty());
    const QByteArrayList before = tableLines(measured);
    QCOMPARE(before.size(), pairs + 1);

    // The program itself, started again, offers exactly those rows.
    QProcess program;
    program.setProcessEnvironment(environmentFor(tmp.path()));
    program.start(QStringLiteral(COLORIMETER_EXE), {QStringLiteral("--demo")});
    QByteArray out, err;
    const QByteArray offer = QByteArray::number(pairs) + " rows of an unfinished run offered";
    QVERIFY2(waitFor(program, &out, &err, offer, 15000), err.constData());
    QVERIFY2(waitFor(program, &out, &err, "modal: ", 5000), err.constData());
    ::kill(pid_t(program.processId()), SIGKILL);
    program.waitForFinished(5000);

    // Put back (the test hook answers Yes), they give the same table and counters.
    QByteArray startErr;
    const QByteArray restored = runChild(tmp.path(), {QStringLiteral("start")}, "counters: ", false, &startErr);
    QVERIFY(startErr.contains(offer));
    QCOMPARE(tableLines(restored), before);
}

void tst_HistoryProcess::nextStartAfter_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("offered");
    QTest::newRow("Clear") << "clear" << false;
    QTest::newRow("export") << "export" << false;
    QTest::newRow("close anyway") << "close-anyway" << true;
}

void tst_HistoryProcess::nextStartAfter()
{
    QFETCH(QString, mode);
    QFETCH(bool, offered);
    QTemporaryDir tmp;
    const bool closes = mode == QLatin1String("close-anyway");
    const QString exported = tmp.filePath(QStringLiteral("out.xls"));
    const QByteArray measured = runChild(tmp.path(), {mode, QStringLiteral("3"), exported},
                                         closes ? "closed" : "ready", !closes);
    QVERIFY(!measured.isEmpty());
    QVERIFY(!measured.contains("export failed"));
    QCOMPARE(QFileInfo::exists(exported), mode == QLatin1String("export"));
    QByteArray err;
    const QByteArray restored = runChild(tmp.path(), {QStringLiteral("start")}, "counters: ", false, &err);
    QCOMPARE(err.contains("rows of an unfinished run offered"), offered);
    if (offered)
        QCOMPARE(tableLines(restored), tableLines(measured));
    else
        QCOMPARE(tableLines(restored), QByteArrayList({"counters: 0 0 0 0"}));
}

void tst_HistoryProcess::programRunsWithoutItsHistory_data()
{
    QTest::addColumn<QString>("place");
    QTest::addColumn<QByteArray>("said");
    QTest::newRow("data folder cannot be made") << "blocked" << QByteArray("history off:");
    QTest::newRow("damaged file") << "damaged" << QByteArray("damaged history moved aside to");
}

void tst_HistoryProcess::programRunsWithoutItsHistory()
{
    QFETCH(QString, place);
    QFETCH(QByteArray, said);
    QTemporaryDir tmp;
    const QByteArray garbage = QByteArray("not a database\n").repeated(100);
    if (place == QLatin1String("blocked")) {
        QFile blocker(tmp.filePath(QStringLiteral("colorimeter")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    } else {
        QVERIFY(QDir().mkpath(tmp.filePath(QStringLiteral("colorimeter"))));
        QFile damaged(tmp.filePath(QStringLiteral("colorimeter/history.sqlite")));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(garbage);
    }
    QProcess program;
    program.setProcessEnvironment(environmentFor(tmp.path()));
    program.start(QStringLiteral(COLORIMETER_EXE), {QStringLiteral("--demo")});
    QByteArray out, err;
    QVERIFY2(waitFor(program, &out, &err, said, 15000), err.constData());
    QVERIFY2(waitFor(program, &out, &err, "modal: ", 5000), err.constData());
    // Still running and measuring-ready: the instrument is open and nothing else is said.
    QTest::qWait(300);
    err += program.readAllStandardError();
    QCOMPARE(program.state(), QProcess::Running);
    QVERIFY(err.contains("hidDevice Open success!"));
    int boxes = 0;
    for (const QByteArray &line : err.split('\n'))
        boxes += line.startsWith("modal: ");
    QCOMPARE(boxes, 1);
    ::kill(pid_t(program.processId()), SIGKILL);
    program.waitForFinished(5000);
    if (place == QLatin1String("damaged")) {
        const QStringList aside = QDir(tmp.filePath(QStringLiteral("colorimeter")))
                                      .entryList({QStringLiteral("history.sqlite.damaged-*")}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QFile kept(tmp.filePath(QStringLiteral("colorimeter/") + aside.first()));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), garbage);
    }
}

// A history file that is read-only at one start leaves nothing behind that outlives it: made
// writable again, the next start uses it and offers the run that did not end.
void tst_HistoryProcess::readOnlyHistoryFileBetweenStarts()
{
    QTemporaryDir tmp;
    if (::geteuid() == 0)
        QCOMPARE(::chown(QFile::encodeName(tmp.path()).constData(), kNobody, kNobody), 0);
    const QString file = tmp.filePath(QStringLiteral("colorimeter/history.sqlite"));
    const QStringList sideFiles = {file + QStringLiteral("-wal"), file + QStringLiteral("-shm")};
    auto noSideFiles = [&sideFiles] {
        return !QFile::exists(sideFiles.at(0)) && !QFile::exists(sideFiles.at(1));
    };

    // Measured, then closed with "Close anyway": the run did not end, the file was closed cleanly.
    const QByteArray measured =
        runChild(tmp.path(), {QStringLiteral("close-anyway"), QStringLiteral("3")}, "closed", false, nullptr, true);
    QVERIFY(!measured.isEmpty());
    QVERIFY(noSideFiles());

    const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    QVERIFY(QFile::setPermissions(file, readOnly));
    QByteArray err;
    const QByteArray offStart = runChild(tmp.path(), {QStringLiteral("start")}, "counters: ", false, &err, true);
    QVERIFY2(err.contains("history off:") && err.contains("is read-only"), err.constData());
    QCOMPARE(tableLines(offStart), QByteArrayList({"counters: 0 0 0 0"}));
    QVERIFY(noSideFiles());

    QVERIFY(QFile::setPermissions(file, readOnly | QFile::WriteOwner));
    const QByteArray restored = runChild(tmp.path(), {QStringLiteral("start")}, "counters: ", false, &err, true);
    QVERIFY2(!err.contains("history off:"), err.constData());
    QVERIFY2(err.contains("3 rows of an unfinished run offered"), err.constData());
    QCOMPARE(tableLines(restored), tableLines(measured));
}

namespace {

// The server a child sends to: its settings file says so, as the dialog would have written it.
void useServer(const QString &tmp, const HistoryServer &server)
{
    QSettings settings(tmp + QStringLiteral("/colorimeter/colorimeter.conf"), QSettings::IniFormat);
    settings.setValue(QStringLiteral("history/location"), QStringLiteral("server"));
    settings.setValue(QStringLiteral("history/serverHost"), server.host);
    settings.setValue(QStringLiteral("history/serverDatabase"), server.database);
    settings.setValue(QStringLiteral("history/serverUser"), server.user);
}

qint64 onServer(const HistoryServer &server, const QString &sql)
{
    return testsupport::historyScalar(server, QString(), sql).toLongLong();
}

#define NEEDS_SERVER()                                                                                       \
    do {                                                                                                     \
        if (!historyServerDriverAvailable() || !testsupport::TestServerDatabase::base().isSet()) {           \
            if (testsupport::HistoryPlace::required())                                                       \
                QFAIL("no PostgreSQL test server");                                                        \
            QSKIP("no PostgreSQL test server: run under scripts/with-postgres.sh");                          \
        }                                                                                                    \
    } while (false)

} // namespace

// Two desks, each a program with its own history file, measuring at the same moment into one
// server: every row of each once, each desk's chain whole, the server's check intact.
void tst_HistoryProcess::twoDesksMeasureAtOnce()
{
    NEEDS_SERVER();
    testsupport::TestServerDatabase db;
    QVERIFY2(db.ready(), qPrintable(db.error()));
    QTemporaryDir a, b;
    useServer(a.path(), db.server());
    useServer(b.path(), db.server());
    constexpr int kPairs = 40;
    QProcess childA, childB;
    QProcessEnvironment envA = environmentFor(a.path()), envB = environmentFor(b.path());
    envA.insert(QStringLiteral("COLORIMETER_TEST_DESK"), QStringLiteral("machine-a:inspector"));
    envB.insert(QStringLiteral("COLORIMETER_TEST_DESK"), QStringLiteral("machine-b:inspector"));
    childA.setProcessEnvironment(envA);
    childB.setProcessEnvironment(envB);
    childA.start(QStringLiteral(HISTORY_CHILD), {QStringLiteral("measure"), QString::number(kPairs)});
    childB.start(QStringLiteral(HISTORY_CHILD), {QStringLiteral("measure"), QString::number(kPairs)});
    QByteArray outA, errA, outB, errB;
    QVERIFY2(waitFor(childA, &outA, &errA, "ready", 60000), errA.constData());
    QVERIFY2(waitFor(childB, &outB, &errB, "ready", 60000), errB.constData());
    // Sent while they run (one standard and kPairs samples: kPairs rows each).
    QTRY_COMPARE_WITH_TIMEOUT(onServer(db.server(), "SELECT COUNT(*) FROM measurements"), qint64(2 * kPairs), 20000);
    ::kill(pid_t(childA.processId()), SIGKILL);
    ::kill(pid_t(childB.processId()), SIGKILL);
    childA.waitForFinished(10000);
    childB.waitForFinished(10000);
    for (const char *desk : {"machine-a:inspector", "machine-b:inspector"}) {
        QCOMPARE(onServer(db.server(), QStringLiteral("SELECT COUNT(DISTINCT uuid) FROM measurements WHERE desk = '%1'")
                                           .arg(QLatin1String(desk))),
                 qint64(kPairs));
        // Each desk's chain, 1..n without a gap or a double.
        QCOMPARE(onServer(db.server(), QStringLiteral("SELECT COUNT(*) - MAX(chain_seq) FROM events WHERE desk = '%1'")
                                           .arg(QLatin1String(desk))),
                 qint64(0));
    }
    QCOMPARE(onServer(db.server(), "SELECT COUNT(DISTINCT chain_id) FROM events"), qint64(2));
    HistoryStore server;
    QVERIFY(server.open(db.server()));
    const HistoryCheck check = server.checkHistory(QHash<QString, HistoryChainHead>());
    QVERIFY2(check.intact(), qPrintable(check.text() + u' ' + check.detail));
    QCOMPARE(check.chains, 2);
}

// The server is down while the program measures; the program is killed with the rows waiting.
// At its next start, with the server back, it sends them: each once, in order.
void tst_HistoryProcess::killedWithRowsWaiting()
{
    NEEDS_SERVER();
    const QString ctl = qEnvironmentVariable("COLORIMETER_TEST_PG_CTL");
    if (ctl.isEmpty()) {
        if (testsupport::HistoryPlace::required())
            QFAIL("no way to stop the test server (COLORIMETER_TEST_PG_CTL)");
        QSKIP("no way to stop the test server (COLORIMETER_TEST_PG_CTL)");
    }
    testsupport::TestServerDatabase db;
    QVERIFY2(db.ready(), qPrintable(db.error()));
    QTemporaryDir tmp;
    useServer(tmp.path(), db.server());
    auto serverCtl = [&ctl](const char *what) {
        return QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), ctl + QLatin1Char(' ') + QLatin1String(what)}) == 0;
    };
    QVERIFY(serverCtl("stop -m fast"));
    QByteArray err;
    const QByteArray measured = runChild(tmp.path(), {QStringLiteral("measure"), QStringLiteral("5")}, "ready", true, &err);
    const bool started = serverCtl("start");
    QVERIFY(started);
    QVERIFY2(!measured.isEmpty(), err.constData());
    // It said once that the server could not be reached (one message box), and measured on.
    QByteArrayList boxes;
    for (const QByteArray &line : err.split('\n'))
        if (line.startsWith("modal: ") && line.contains("history server"))
            boxes << line;
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes.first().contains("cannot be reached"), boxes.first().constData());
    QCOMPARE(tableLines(measured).size(), 6);
    QCOMPARE(onServer(db.server(), "SELECT COUNT(*) FROM measurements"), qint64(0));

    const QByteArray sent = runChild(tmp.path(), {QStringLiteral("sent")}, "sent ", false, &err);
    QVERIFY2(!sent.isEmpty(), err.constData());
    // The killed run's 5 rows (offered back and put into the table again by the test hook's
    // answer: one more event each), once, in the order measured.
    QCOMPARE(onServer(db.server(), "SELECT COUNT(*) FROM measurements"), qint64(5));
    QCOMPARE(onServer(db.server(), "SELECT COUNT(DISTINCT uuid) FROM measurements"), qint64(5));
    QCOMPARE(onServer(db.server(), "SELECT COUNT(*) - MAX(chain_seq) FROM events"), qint64(0));
    QCOMPARE(testsupport::historyScalar(db.server(), QString(),
                                        "SELECT string_agg(test_name, ',' ORDER BY stored_at, id) FROM measurements")
                 .toString(),
             QStringLiteral("Comp1,Comp2,Comp3,Comp4,Comp5"));
}

QTEST_GUILESS_MAIN(tst_HistoryProcess)
#include "tst_historyprocess.moc"
