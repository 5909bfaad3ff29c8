// The history sent to a PostgreSQL server (the throwaway one of scripts/with-postgres.sh): every
// row and event once and in order, also when a reply is lost, the server stopped in the middle of
// a run or the sender's notes lost; two desks at once; one row changed by two desks at once; a
// server of a newer layout left alone; a wrong, missing or right password, an unreachable host.
#include "historyoutbox.h"
#include "historyplace.h"
#include "historysender.h"
#include "historystore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

using testsupport::TestServerDatabase;
using testsupport::historyScalar;

namespace {

HistoryRow sampleRow(int n)
{
    return testsupport::sampleHistoryRow(n);
}

HistoryIdentity desk(const char *name)
{
    return {QStringLiteral("inspector"), QString::fromLatin1(name), QStringLiteral("machine-%1:inspector").arg(QLatin1String(name))};
}

qint64 count(const HistoryServer &server, const QString &sql)
{
    return historyScalar(server, QString(), sql).toLongLong();
}

using State = HistorySenderStatus::State;

bool runCtl(const char *what)
{
    const QString ctl = qEnvironmentVariable("COLORIMETER_TEST_PG_CTL");
    return QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), ctl + QLatin1Char(' ') + QLatin1String(what)}) == 0;
}

// The places of a chain on the server, in order: 1..n without a gap or a double.
bool wholeChain(const HistoryServer &server, const QString &chain, qint64 n)
{
    return count(server, QStringLiteral("SELECT COUNT(*) FROM events WHERE chain_id = '%1'").arg(chain)) == n
           && count(server, QStringLiteral("SELECT COUNT(DISTINCT chain_seq) FROM events WHERE chain_id = '%1'").arg(chain)) == n
           && count(server, QStringLiteral("SELECT MAX(chain_seq) FROM events WHERE chain_id = '%1'").arg(chain)) == n;
}

} // namespace

class tst_HistorySender : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void everyRowOnceInOrder();
    void resendChangesNothing();
    void serverStoppedInTheMiddle();
    void twoDesksAtOnce();
    void oneRowChangedByTwoDesksAtOnce();
    void newerLayoutLeftAlone();
    void whoMayLogIn_data();
    void whoMayLogIn();
    void rowsRemovedOnlyWhenConfirmed();

private:
    QString file(const char *name = "history") const
    {
        return tmp->filePath(QStringLiteral("%1.sqlite").arg(QLatin1String(name)));
    }
    // Waits until the sender says state (UpToDate: and that the server confirmed the file's
    // chain up to its head now).
    bool waitFor(HistorySender &sender, State state, int ms = 20000, HistoryStore *local = nullptr);
    bool waitUntilSent(HistorySender &sender, HistoryStore &local, int ms = 30000)
    {
        return waitFor(sender, State::UpToDate, ms, &local);
    }
    std::unique_ptr<QTemporaryDir> tmp;
    std::unique_ptr<TestServerDatabase> db;
};

void tst_HistorySender::initTestCase()
{
    QString missing;
    if (!historyServerDriverAvailable())
        missing = QStringLiteral("Qt SQL's PostgreSQL driver is not installed (libqt6sql6-psql)");
    else if (!TestServerDatabase::base().isSet())
        missing = QStringLiteral("no PostgreSQL test server: run under scripts/with-postgres.sh");
    if (!missing.isEmpty()) {
        if (testsupport::HistoryPlace::required())
            QFAIL(qPrintable(missing));
        QSKIP(qPrintable(missing));
    }
}

void tst_HistorySender::init()
{
    tmp = std::make_unique<QTemporaryDir>();
    db = std::make_unique<TestServerDatabase>();
    QVERIFY2(db->ready(), qPrintable(db->error()));
}

bool tst_HistorySender::waitFor(HistorySender &sender, State state, int ms, HistoryStore *local)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        if (sender.status().state == state && (state != State::UpToDate || sender.status().waitingRows == 0)
            && (!local || sender.status().confirmedSeq == local->chainHead().count))
            return true;
        QTest::qWait(20);
    }
    qWarning() << "sender says" << int(sender.status().state) << sender.status().text << sender.status().detail
               << sender.status().waitingRows;
    return false;
}

void tst_HistorySender::everyRowOnceInOrder()
{
    HistoryStore local;
    local.setIdentity(desk("a"));
    QVERIFY(local.open(file()));
    QVERIFY(local.setDeskName(QStringLiteral("Desk by the window")));
    QList<qint64> ids;
    for (int n = 1; n <= 30; ++n)
        ids << local.addRow(sampleRow(n), n);
    QList<HistoryRow> batch;
    for (int n = 31; n <= 1200; ++n) // more than a batch of events
        batch << sampleRow(n);
    QCOMPARE(local.addRows(batch, 30).size(), batch.size());
    QVERIFY(local.setTestName(ids[3], QStringLiteral("Door panel")));
    QVERIFY(local.markDeleted(ids[4]));
    HistoryRow rejudged = local.row(ids[5]);
    rejudged.deltaE = 1.5;
    rejudged.passed = 1;
    rejudged.verdict = QStringLiteral("PASS");
    QVERIFY(local.rejudge({rejudged}));
    QVERIFY(local.endRun(HistoryStore::RunEnd::Exported, QStringLiteral("/home/lab/out.xlsx")));
    local.addRow(sampleRow(1201), 1);

    HistorySender sender(file(), db->server());
    sender.start();
    QVERIFY(waitUntilSent(sender, local));
    // A row stored while it runs goes at once.
    const qint64 late = local.addRow(sampleRow(1202), 2);
    sender.wake();
    QTRY_COMPARE_WITH_TIMEOUT(count(db->server(), "SELECT COUNT(*) FROM measurements"), qint64(1202), 10000);
    QVERIFY(waitUntilSent(sender, local));
    QCOMPARE(sender.status().confirmedSeq, local.chainHead().count);
    sender.stop();

    const HistoryServer server = db->server();
    QVERIFY(wholeChain(server, local.chainId(), local.chainHead().count));
    QCOMPARE(count(server, "SELECT COUNT(DISTINCT uuid) FROM measurements"), qint64(1202));
    // The rows arrived in the order they were stored, each as the file has it now.
    QCOMPARE(historyScalar(server, QString(), QStringLiteral("SELECT string_agg(m.test_name, ',' ORDER BY e.chain_seq) "
                                                             "FROM events e JOIN measurements m ON m.uuid = e.row_uuid "
                                                             "WHERE e.kind = 'added' AND e.chain_seq <= 5"))
                 .toString(),
             QStringLiteral("Comp1,Comp2,Comp3,Door panel,Comp5"));
    for (qint64 id : {ids[3], ids[4], ids[5], ids[20], late}) {
        const HistoryRow here = local.row(id);
        const QString where = QStringLiteral(" FROM measurements WHERE uuid = '%1'").arg(here.uuid);
        QCOMPARE(historyScalar(server, QString(), "SELECT test_name" + where).toString(), here.testName);
        QCOMPARE(historyScalar(server, QString(), "SELECT state" + where).toString(), historyStateName(here.state));
        QCOMPARE(historyScalar(server, QString(), "SELECT delta_e" + where).toDouble(), here.deltaE);
        QCOMPARE(historyScalar(server, QString(), "SELECT desk" + where).toString(), here.desk);
        QCOMPARE(historyScalar(server, QString(), "SELECT stored_at" + where).toString(), here.storedAt);
    }
    QCOMPARE(historyScalar(server, QString(), "SELECT name FROM desks WHERE desk = 'machine-a:inspector'").toString(),
             QStringLiteral("Desk by the window"));
    QCOMPARE(historyScalar(server, QString(), "SELECT exported_to FROM runs WHERE end_reason = 'exported'").toString(),
             QStringLiteral("/home/lab/out.xlsx"));
    // "Check history" on the server: the desk's chain, against the head the desk knows.
    HistoryStore onServer;
    QVERIFY(onServer.open(server));
    const HistoryCheck check = onServer.checkHistory({{local.chainId(), local.chainHead()}});
    QVERIFY2(check.intact(), qPrintable(check.text() + u' ' + check.detail));
    QCOMPARE(check.events, local.chainHead().count);
}

void tst_HistorySender::resendChangesNothing()
{
    HistoryStore local;
    QVERIFY(local.open(file()));
    for (int n = 1; n <= 20; ++n)
        local.addRow(sampleRow(n), n);
    QVERIFY(local.setTestName(local.rowsOfRun(local.currentRun()).first().id, QStringLiteral("Hood")));
    // The same delivery twice, as after a reply lost on the way back: stored once.
    HistoryOutbox outbox;
    QVERIFY(outbox.open(file()));
    HistoryDelivery delivery;
    QVERIFY(outbox.events(0, 1000, &delivery.events));
    QVERIFY(outbox.runs(0, &delivery.runs));
    HistoryStore server;
    QVERIFY(server.open(db->server()));
    QVERIFY2(server.receive(delivery), qPrintable(server.errorText()));
    QVERIFY2(server.receive(delivery), qPrintable(server.errorText()));
    QCOMPARE(count(db->server(), "SELECT COUNT(*) FROM events"), qint64(21));
    QCOMPARE(count(db->server(), "SELECT COUNT(*) FROM measurements"), qint64(20));
    // The sender's notes of what was confirmed lost (a kill before they were written): it asks
    // the server where to go on from, and nothing doubles.
    {
        HistoryProgress none;
        none.serverId = server.chainId();
        none.serverName = db->server().displayName();
        QVERIFY(outbox.setProgress(none));
    }
    local.addRow(sampleRow(21), 21);
    HistorySender sender(file(), db->server());
    sender.start();
    QVERIFY(waitUntilSent(sender, local));
    QCOMPARE(count(db->server(), "SELECT COUNT(*) FROM events"), qint64(22));
    QVERIFY(wholeChain(db->server(), local.chainId(), 22));
    QCOMPARE(count(db->server(), "SELECT COUNT(*) FROM measurements"), qint64(21));
    QCOMPARE(historyScalar(db->server(), QString(), "SELECT test_name FROM measurements ORDER BY id LIMIT 1").toString(),
             QStringLiteral("Hood"));
    // An event whose place the server holds with other content is not taken for the same.
    HistoryDelivery forged;
    forged.events << delivery.events.first();
    forged.events.first().at = QStringLiteral("2020-01-01T00:00:00.000Z");
    forged.events.first().hash = forged.events.first().computeHash(QString());
    QVERIFY(!server.receive(forged));
    QCOMPARE(server.serverProblem(), HistoryStore::ServerProblem::Conflict);
}

void tst_HistorySender::serverStoppedInTheMiddle()
{
    if (qEnvironmentVariable("COLORIMETER_TEST_PG_CTL").isEmpty()) {
        if (testsupport::HistoryPlace::required())
            QFAIL("no way to stop the test server (COLORIMETER_TEST_PG_CTL)");
        QSKIP("no way to stop the test server (COLORIMETER_TEST_PG_CTL)");
    }
    HistoryStore local;
    QVERIFY(local.open(file()));
    HistorySender sender(file(), db->server());
    sender.start();
    int n = 0;
    auto measure = [&](int rows) {
        for (int i = 0; i < rows; ++i) {
            ++n;
            QVERIFY(local.addRow(sampleRow(n), n) > 0);
            sender.wake();
            QTest::qWait(5);
        }
    };
    measure(100);
    QVERIFY(runCtl("stop -m fast"));
    // Measuring goes on: the rows are on disk and wait.
    measure(150);
    QTRY_VERIFY_WITH_TIMEOUT(sender.status().state == State::Unreachable, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(sender.status().waitingRows > 0, 10000);
    QVERIFY2(sender.status().line().startsWith(QLatin1String("history server unreachable, ")),
             qPrintable(sender.status().line()));
    QVERIFY(sender.status().line().endsWith(QLatin1String(" rows waiting")));
    QVERIFY(runCtl("start"));
    measure(50);
    QVERIFY(waitUntilSent(sender, local, 30000));
    sender.stop();
    // Every row once, in the order measured, and every event in its place.
    QCOMPARE(count(db->server(), "SELECT COUNT(*) FROM measurements"), qint64(300));
    QCOMPARE(count(db->server(), "SELECT COUNT(DISTINCT uuid) FROM measurements"), qint64(300));
    QVERIFY(wholeChain(db->server(), local.chainId(), 300));
    QCOMPARE(count(db->server(), "SELECT COUNT(*) FROM events e JOIN measurements m ON m.uuid = e.row_uuid "
                                 "WHERE m.sequence_no <> e.chain_seq"),
             qint64(0));
}

void tst_HistorySender::twoDesksAtOnce()
{
    // Two desks, each with its own file and sender, storing at the same moment.
    HistoryStore a, b;
    a.setIdentity(desk("a"));
    b.setIdentity(desk("b"));
    QVERIFY(a.open(file("a")));
    QVERIFY(b.open(file("b")));
    HistorySender sendA(file("a"), db->server()), sendB(file("b"), db->server());
    sendA.start();
    sendB.start();
    for (int n = 1; n <= 200; ++n) {
        QVERIFY(a.addRow(sampleRow(n), n) > 0);
        QVERIFY(b.addRow(sampleRow(n), n) > 0);
        sendA.wake();
        sendB.wake();
        if (n % 40 == 0)
            QTest::qWait(10);
    }
    QVERIFY(a.setTestName(a.rowsOfRun(a.currentRun()).at(7).id, QStringLiteral("A's panel")));
    QVERIFY(b.endRun(HistoryStore::RunEnd::Cleared));
    sendA.wake();
    sendB.wake();
    QVERIFY(waitUntilSent(sendA, a));
    QVERIFY(waitUntilSent(sendB, b));
    QCOMPARE(count(db->server(), "SELECT COUNT(*) FROM measurements WHERE desk = 'machine-a:inspector'"), qint64(200));
    QCOMPARE(count(db->server(), "SELECT COUNT(*) FROM measurements WHERE desk = 'machine-b:inspector' AND state = 'cleared'"),
             qint64(200));
    QVERIFY(wholeChain(db->server(), a.chainId(), a.chainHead().count));
    QVERIFY(wholeChain(db->server(), b.chainId(), b.chainHead().count));
    HistoryStore server;
    QVERIFY(server.open(db->server()));
    const HistoryCheck check = server.checkHistory({{a.chainId(), a.chainHead()}, {b.chainId(), b.chainHead()}});
    QVERIFY2(check.intact(), qPrintable(check.text() + u' ' + check.detail));
    QCOMPARE(check.chains, 2);
    QCOMPARE(check.text(), QStringLiteral("intact, %1 events in 2 chains").arg(a.chainHead().count + b.chainHead().count));
}

// Desk A renames a row again and again while desk B (which found the row on the server)
// re-judges and exports it, each through its own connection at the same moment. Every event
// is kept, and the row is what its events say in the order they were applied.
void tst_HistorySender::oneRowChangedByTwoDesksAtOnce()
{
    HistoryStore a;
    a.setIdentity(desk("a"));
    QVERIFY(a.open(file("a")));
    const qint64 id = a.addRow(sampleRow(1), 1);
    const HistoryRow row = a.row(id);
    HistoryOutbox outbox;
    QVERIFY(outbox.open(file("a")));
    HistoryDelivery first;
    QVERIFY(outbox.events(0, 10, &first.events));
    QVERIFY(outbox.runs(0, &first.runs));
    {
        HistoryStore server;
        QVERIFY(server.open(db->server()));
        QVERIFY(server.receive(first));
    }
    constexpr int kRounds = 40;
    for (int i = 0; i < kRounds; ++i)
        QVERIFY(a.setTestName(id, QStringLiteral("A%1").arg(i)));
    QList<HistoryEvent> renames;
    QVERIFY(outbox.events(1, 1000, &renames));
    QCOMPARE(renames.size(), kRounds);
    // Desk B's chain: re-judgements of the row, then its export.
    const HistoryIdentity who = desk("b");
    QList<HistoryEvent> fromB;
    QString previous;
    for (int i = 0; i <= kRounds; ++i) {
        HistoryEvent e;
        e.chainId = QStringLiteral("chain-of-b");
        e.sequence = i + 1;
        e.uuid = QStringLiteral("b-event-%1").arg(i);
        e.at = QStringLiteral("2026-12-09T10:00:%1.000Z").arg(i % 60, 2, 10, QLatin1Char('0'));
        e.login = who.login;
        e.host = who.host;
        e.desk = who.desk;
        e.rowUuid = row.uuid;
        if (i < kRounds) {
            HistoryRow judged = row;
            judged.deltaE = 1.0 + i / 100.0;
            judged.passed = 1;
            judged.verdict = QStringLiteral("PASS");
            e.kind = HistoryEventKind::Rejudged;
            e.oldValue = historyJson(historyJudgement(row));
            e.newValue = historyJson(historyJudgement(judged));
        } else {
            e.kind = HistoryEventKind::Exported;
            e.oldValue = QStringLiteral("{\"state\":\"in_table\"}");
            e.newValue = QStringLiteral("{\"file\":\"/lab/b.xlsx\",\"state\":\"exported\"}");
        }
        e.hash = e.computeHash(previous);
        previous = e.hash;
        fromB << e;
    }
    // One event per transaction, each desk on a thread and connection of its own.
    auto deliver = [this](QList<HistoryEvent> events, bool *ok) {
        HistoryStore server;
        *ok = server.open(db->server());
        for (const HistoryEvent &e : events) {
            HistoryDelivery d;
            d.events << e;
            *ok = *ok && server.receive(d);
        }
    };
    bool okA = false, okB = false;
    std::unique_ptr<QThread> ta(QThread::create(deliver, renames, &okA));
    std::unique_ptr<QThread> tb(QThread::create(deliver, fromB, &okB));
    ta->start();
    tb->start();
    QVERIFY(ta->wait(60000) && tb->wait(60000));
    QVERIFY(okA && okB);
    QCOMPARE(count(db->server(), "SELECT COUNT(*) FROM events"), qint64(1 + 2 * kRounds + 1));
    HistoryStore server;
    QVERIFY(server.open(db->server()));
    // Neither desk's change is lost: the last rename, the last judgement and the export.
    const HistoryRow now = server.row(
        historyScalar(db->server(), QString(), QStringLiteral("SELECT id FROM measurements WHERE uuid = '%1'").arg(row.uuid))
            .toLongLong());
    QCOMPARE(now.testName, QStringLiteral("A%1").arg(kRounds - 1));
    QCOMPARE(now.deltaE, 1.0 + (kRounds - 1) / 100.0);
    QCOMPARE(now.state, HistoryRowState::Exported);
    QCOMPARE(server.eventsOfRow(now.id).size(), 1 + 2 * kRounds + 1);
    const HistoryCheck check =
        server.checkHistory({{a.chainId(), a.chainHead()}, {QStringLiteral("chain-of-b"), {kRounds + 1, previous}}});
    QVERIFY2(check.intact(), qPrintable(check.text() + u' ' + check.detail));
}

void tst_HistorySender::newerLayoutLeftAlone()
{
    {
        HistoryStore server;
        QVERIFY(server.open(db->server()));
    }
    QVERIFY(historyScalar(db->server(), QString(), "UPDATE history_schema SET version = 99").isNull());
    HistoryStore local;
    QVERIFY(local.open(file()));
    for (int n = 1; n <= 5; ++n)
        local.addRow(sampleRow(n), n);
    HistorySender sender(file(), db->server());
    QSignalSpy said(&sender, &HistorySender::statusChanged);
    sender.start();
    QVERIFY(waitFor(sender, State::NewerLayout));
    QVERIFY2(sender.status().text.contains(QLatin1String("newer version")), qPrintable(sender.status().text));
    QCOMPARE(sender.status().waitingRows, qint64(5));
    // Left alone, and not tried again: said once.
    QTest::qWait(HistorySender::kRetryMs + 500);
    QCOMPARE(said.size(), 1);
    // Rows measured since wait too, and the count says so.
    local.addRow(sampleRow(6), 6);
    sender.wake();
    QTRY_COMPARE_WITH_TIMEOUT(sender.status().waitingRows, qint64(6), 5000);
    QCOMPARE(sender.status().state, State::NewerLayout);
    sender.stop();
    QCOMPARE(count(db->server(), "SELECT version FROM history_schema"), qint64(99));
    QCOMPARE(count(db->server(), "SELECT COUNT(*) FROM measurements"), qint64(0));
}

void tst_HistorySender::whoMayLogIn_data()
{
    QTest::addColumn<QString>("who");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("said");
    QTest::newRow("unreachable host") << "nobody there" << int(State::Unreachable) << "cannot be reached";
    QTest::newRow("no password in ~/.pgpass") << "no password" << int(State::Refused) << "did not accept the password";
    QTest::newRow("a wrong password") << "wrong password" << int(State::Refused) << "did not accept the password";
    QTest::newRow("the right password") << "right password" << int(State::UpToDate) << "";
}

void tst_HistorySender::whoMayLogIn()
{
    QFETCH(QString, who);
    QFETCH(int, state);
    QFETCH(QString, said);
    HistoryServer server = db->server();
    const QString user = qEnvironmentVariable("COLORIMETER_TEST_PG_PASSWORD_USER");
    if (who == QLatin1String("nobody there")) {
        server.host = tmp->path(); // a socket folder where no server listens
    } else {
        if (user.isEmpty()) {
            if (testsupport::HistoryPlace::required())
                QFAIL("the test server has no role with a password");
            QSKIP("the test server has no role with a password (scripts/with-postgres.sh makes one)");
        }
        server.user = user;
        // The password only from the user's own password file, as libpq reads it.
        const QString pgpass = tmp->filePath(QStringLiteral("pgpass"));
        QFile f(pgpass);
        QVERIFY(f.open(QIODevice::WriteOnly));
        if (who == QLatin1String("wrong password"))
            f.write(QStringLiteral("*:*:*:%1:not-the-password\n").arg(user).toUtf8());
        else if (who == QLatin1String("right password"))
            f.write(QStringLiteral("*:*:*:%1:%2\n").arg(user, qEnvironmentVariable("COLORIMETER_TEST_PG_PASSWORD")).toUtf8());
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        qputenv("PGPASSFILE", pgpass.toLocal8Bit());
    }
    HistoryStore local;
    QVERIFY(local.open(file()));
    for (int n = 1; n <= 3; ++n)
        local.addRow(sampleRow(n), n);
    HistorySender sender(file(), server);
    QSignalSpy told(&sender, &HistorySender::statusChanged);
    sender.start();
    const bool reached = state == int(State::UpToDate) ? waitUntilSent(sender, local) : waitFor(sender, State(state));
    qunsetenv("PGPASSFILE");
    QVERIFY(reached);
    QVERIFY2(sender.status().text.contains(said), qPrintable(sender.status().text));
    if (state != int(State::UpToDate)) {
        // Measuring goes on here: the rows are in the file and wait; one clear sentence says why.
        QCOMPARE(sender.status().waitingRows, qint64(3));
        QVERIFY(local.addRow(sampleRow(4), 4) > 0);
        QVERIFY(!sender.status().detail.isEmpty());
        QVERIFY(!sender.status().text.contains(sender.status().detail));
    } else {
        QCOMPARE(count(db->server(), "SELECT COUNT(*) FROM measurements"), qint64(3));
    }
    sender.stop();
}

void tst_HistorySender::rowsRemovedOnlyWhenConfirmed()
{
    HistoryStore local;
    QVERIFY(local.open(file()));
    for (int n = 1; n <= 10; ++n)
        local.addRow(sampleRow(n), n);
    QVERIFY(local.endRun(HistoryStore::RunEnd::Exported, QStringLiteral("/lab/1.xlsx")));
    for (int n = 11; n <= 14; ++n)
        local.addRow(sampleRow(n), n);
    // Nothing confirmed: nothing may go.
    qint64 upTo = -1;
    QCOMPARE(local.removableRows(0, &upTo), qint64(0));
    HistorySender sender(file(), db->server());
    sender.start();
    QVERIFY(waitUntilSent(sender, local));
    const qint64 confirmed = sender.status().confirmedSeq;
    QCOMPARE(confirmed, local.chainHead().count);
    sender.stop();
    // The exported run's rows may go; the ones still in the table stay.
    QCOMPARE(local.removableRows(confirmed, &upTo), qint64(10));
    QCOMPARE(upTo, qint64(20)); // 10 added, 10 exported
    const HistoryChainHead head = local.chainHead();
    QCOMPARE(local.removeRowsUpTo(upTo), qint64(10));
    QCOMPARE(local.rowCount(), qint64(4));
    QCOMPARE(local.removedThrough(), qint64(20));
    // The file's chain now begins after them, and still reaches the head kept outside.
    const HistoryCheck check = local.checkHistory(head);
    QVERIFY2(check.intact(), qPrintable(check.text() + u' ' + check.detail));
    QCOMPARE(check.events, qint64(4));
    // The server keeps them all, and the sender goes on from where it was.
    local.addRow(sampleRow(15), 15);
    HistorySender again(file(), db->server());
    again.start();
    QVERIFY(waitUntilSent(again, local));
    again.stop();
    QCOMPARE(count(db->server(), "SELECT COUNT(*) FROM measurements"), qint64(15));
    QVERIFY(wholeChain(db->server(), local.chainId(), 25));
}

QTEST_GUILESS_MAIN(tst_HistorySender)
#include "tst_historysender.moc"
