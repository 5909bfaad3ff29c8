// The history store on temporary files: rows stored and read back, updates, runs and what a
// later start is offered, the run's last test number, the layout migrations, places it cannot
// use (and what it says about them), a read-only file, and damaged files.
#include "historyoutbox.h"
#include "historyplace.h"
#include "historystore.h"
#include "testbase.h"

#include <QDir>
#include <QFile>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

#include <csignal>

#include <sys/fsuid.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

HistoryRow sampleRow(int n, HistoryOrigin origin = HistoryOrigin::Measured)
{
    return testsupport::sampleHistoryRow(n, origin);
}

// The statements of a layout-2 file with one measured row per run, as the program wrote it
// before layout 3: the first layout, then the step to 2.
QStringList layout2File()
{
    return {
        "CREATE TABLE history_schema (version INTEGER NOT NULL)",
        "INSERT INTO history_schema (version) VALUES (2)",
        "CREATE TABLE runs (id INTEGER PRIMARY KEY, started_at TEXT NOT NULL, ended_at TEXT, "
        "end_reason TEXT, exported_to TEXT)",
        "CREATE TABLE measurements (id INTEGER PRIMARY KEY, run_id BIGINT NOT NULL REFERENCES runs (id), "
        "state TEXT NOT NULL, origin TEXT NOT NULL, origin_file TEXT, stored_at TEXT NOT NULL, "
        "changed_at TEXT NOT NULL, sequence_no DOUBLE PRECISION, test_name TEXT, time_text TEXT, "
        "std_l DOUBLE PRECISION, std_a DOUBLE PRECISION, std_b DOUBLE PRECISION, std_c DOUBLE PRECISION, "
        "std_h DOUBLE PRECISION, smp_l DOUBLE PRECISION, smp_a DOUBLE PRECISION, smp_b DOUBLE PRECISION, "
        "smp_c DOUBLE PRECISION, smp_h DOUBLE PRECISION, delta_e DOUBLE PRECISION, verdict TEXT, "
        "passed INTEGER, formula_text TEXT, threshold_text TEXT, device_name TEXT, serial_number TEXT, "
        "formula_index INTEGER, threshold DOUBLE PRECISION)",
        "ALTER TABLE measurements ADD COLUMN rejudged_at TEXT",
        "CREATE INDEX measurements_run_state ON measurements (run_id, state)",
    };
}

QString layout2Row(int id, int run, const char *state, const char *name)
{
    return QStringLiteral("INSERT INTO measurements (id, run_id, state, origin, stored_at, changed_at, test_name, "
                          "delta_e, verdict, passed) VALUES (%1, %2, '%3', 'measured', 'x', 'x', '%4', 5.39, 'NG', 0)")
        .arg(id)
        .arg(run)
        .arg(QLatin1String(state), QLatin1String(name));
}

bool execAll(const QString &file, const QStringList &statements)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("maker"));
        db.setDatabaseName(file);
        ok = db.open();
        QSqlQuery q(db);
        for (const QString &sql : statements)
            if (ok && !q.exec(sql)) {
                qWarning() << sql << q.lastError().text();
                ok = false;
            }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("maker"));
    return ok;
}

// Root writes to read-only files: for as long as it lives, this thread reaches the file system
// as the user "nobody" would (the file-system user id, which open(), chmod() and the like go
// by, and with which root's file capabilities are dropped). The folder is given to that user.
// Nothing changes for an ordinary user.
class AsOrdinaryUser
{
public:
    static constexpr uid_t kNobody = 65534;
    explicit AsOrdinaryUser(const QString &folder)
    {
        if (::geteuid() != 0)
            return;
        m_active = ::chown(QFile::encodeName(folder).constData(), kNobody, kNobody) == 0;
        if (m_active) {
            ::setfsgid(kNobody);
            ::setfsuid(kNobody);
        }
    }
    ~AsOrdinaryUser()
    {
        if (m_active) {
            ::setfsuid(0);
            ::setfsgid(0);
        }
    }
    AsOrdinaryUser(const AsOrdinaryUser &) = delete;
    AsOrdinaryUser &operator=(const AsOrdinaryUser &) = delete;
    bool ready() const { return m_active || ::geteuid() != 0; }

private:
    bool m_active = false;
};

const QFile::Permissions kReadOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
const QFile::Permissions kReadWrite = kReadOnly | QFile::WriteOwner;

using testsupport::fileBytes;

// The chain walked by Python on its own (data/check_chain.py): "intact N" or "broken K", then
// each row's state as its events say.
QStringList pythonCheck(const QString &file)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {qEnvironmentVariable("COLORIMETER_TEST_DATA") + QStringLiteral("/data/check_chain.py"), file});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return {QStringLiteral("python failed: ") + QString::fromUtf8(python.readAllStandardError())};
    return QString::fromUtf8(python.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

QJsonObject json(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

HistoryIdentity testIdentity()
{
    return {QStringLiteral("inspector"), QStringLiteral("lab-desk-3"), QStringLiteral("0123abcd:inspector")};
}

} // namespace

class tst_HistoryStore : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { place.reset(); }
    void storeAndReadBack();
    void batchStoredTogether();
    void updates();
    void runsAndWhatTheNextStartIsOffered_data();
    void runsAndWhatTheNextStartIsOffered();
    void restoredRowsJoinTheNewRun();
    void declinedRowsStayInTheHistory();
    void eachDeskIsOfferedItsOwnRuns();
    void unfinishedRunsFoundThroughIndexes();
    void nothingUnfinishedWritesNothing();
    void lastTestNumberOfTheRun_data();
    void lastTestNumberOfTheRun();
    void migrationFromVersion1();
    void migrationFromVersion2();
    void newerLayoutIsLeftAlone();
    void placesThatCannotBeUsed_data();
    void placesThatCannotBeUsed();
    void readOnlyFile_data();
    void readOnlyFile();
    void damagedFileIsMovedAside_data();
    void damagedFileIsMovedAside();
    void writeAheadLogging();
    void eventsForEveryChange();
    void chainCheck_data();
    void chainCheck();
    void migrationFromLayout3();
    void receivedFromAnotherDesk();
    void putBackFromTheHistory();
    void quickCheckAndAFileKnownDamaged();
    void readerNeverWrites_data();
    void readerNeverWrites();
    void checkSeesOneStateWhileAnotherWrites();

private:
    QString path() const { return tmp->filePath(QStringLiteral("data/history.sqlite")); }
    std::unique_ptr<QTemporaryDir> tmp;
    // The history of the test: the file at path(), or a database of its own on the server.
    std::unique_ptr<testsupport::HistoryPlace> place;
};

// The same tests run on a PostgreSQL server (see historyplace.h), but those of a file's own
// matters: its folder and permissions, its pages, its journal, and the layouts only files ever had.
#define FILE_ONLY()                                                                                           \
    do {                                                                                                     \
        if (testsupport::HistoryPlace::onServer())                                                           \
            QSKIP("a matter of the SQLite file only");                                                     \
    } while (false)

void tst_HistoryStore::initTestCase()
{
    const QString missing = testsupport::HistoryPlace::unavailable();
    if (!missing.isEmpty()) {
        if (testsupport::HistoryPlace::required())
            QFAIL(qPrintable(missing));
        QSKIP(qPrintable(missing));
    }
}

void tst_HistoryStore::init()
{
    tmp = std::make_unique<QTemporaryDir>();
    place = std::make_unique<testsupport::HistoryPlace>(tmp->path());
    QVERIFY2(place->ready(), qPrintable(place->error()));
}

void tst_HistoryStore::batchStoredTogether()
{
    HistoryStore store;
    QVERIFY2(place->open(store), qPrintable(store.errorText()));
    const qint64 before = store.addRow(sampleRow(1));
    QList<HistoryRow> batch;
    for (int n = 2; n <= 6; ++n)
        batch << sampleRow(n, HistoryOrigin::Downloaded);
    const QList<qint64> ids = store.addRows(batch);
    QCOMPARE(ids.size(), batch.size());
    for (int i = 0; i < ids.size(); ++i) {
        QVERIFY(ids[i] > (i ? ids[i - 1] : before));
        const HistoryRow back = store.row(ids[i]);
        QCOMPARE(back.testName, batch[i].testName);
        QCOMPARE(back.sample[2], batch[i].sample[2]);
        QCOMPARE(back.origin, HistoryOrigin::Downloaded);
        QCOMPARE(back.state, HistoryRowState::InTable);
        QCOMPARE(back.runId, store.currentRun());
        // Each row of the batch has its "added" event, with its origin, as a row alone has.
        const QList<HistoryEvent> story = store.eventsOfRow(ids[i]);
        QCOMPARE(story.size(), 1);
        QCOMPARE(story[0].kind, HistoryEventKind::Added);
        QCOMPARE(QJsonDocument::fromJson(story[0].newValue.toUtf8())["origin"].toString(), QStringLiteral("downloaded"));
        QCOMPARE(QJsonDocument::fromJson(story[0].newValue.toUtf8())["test_name"].toString(), batch[i].testName);
    }
    QVERIFY(store.addRows({}).isEmpty());
    QCOMPARE(store.rowCount(), 6);
    QCOMPARE(store.checkHistory().text(), QStringLiteral("intact, 6 events"));
    store.close();
    QVERIFY(store.addRows(batch).isEmpty());
}

void tst_HistoryStore::storeAndReadBack()
{
    HistoryStore store;
    QVERIFY2(place->open(store), qPrintable(store.errorText()));
    QCOMPARE(store.schemaVersion(), HistoryStore::kSchemaVersion);

    HistoryRow measured = sampleRow(1);
    HistoryRow imported = sampleRow(2, HistoryOrigin::Imported);
    imported.originFile = QStringLiteral("/home/lab/CompareM202612070256.xls");
    imported.verdict = QString();
    imported.passed = -1;
    imported.formulaIndex = -1;
    imported.threshold = -1.0;
    imported.testName = QStringLiteral("名称 'quoted'; --");
    imported.deltaE = std::numeric_limits<double>::quiet_NaN();
    const qint64 a = store.addRow(measured);
    const qint64 b = store.addRow(imported);
    QVERIFY(a > 0 && b > a);

    const HistoryRow backA = store.row(a);
    QCOMPARE(backA.testName, measured.testName);
    QCOMPARE(backA.timeText, measured.timeText);
    QCOMPARE(backA.standard, measured.standard);
    QCOMPARE(backA.sample, measured.sample);
    QCOMPARE(backA.deltaE, measured.deltaE);
    QCOMPARE(backA.verdict, QStringLiteral("NG"));
    QCOMPARE(backA.passed, 0);
    QCOMPARE(backA.formulaText, measured.formulaText);
    QCOMPARE(backA.serialNumber, measured.serialNumber);
    QCOMPARE(backA.formulaIndex, 0);
    QCOMPARE(backA.threshold, 2.0);
    QCOMPARE(backA.origin, HistoryOrigin::Measured);
    QCOMPARE(backA.state, HistoryRowState::InTable);

    const HistoryRow backB = store.row(b);
    QCOMPARE(backB.origin, HistoryOrigin::Imported);
    QCOMPARE(backB.originFile, imported.originFile);
    QCOMPARE(backB.testName, imported.testName);
    QCOMPARE(backB.passed, -1);
    QVERIFY(std::isnan(backB.deltaE));
    QCOMPARE(backB.formulaIndex, -1);
    QCOMPARE(backB.threshold, -1.0);
    QCOMPARE(backB.runId, backA.runId);
    // Unknowns are stored as NULL, not as made-up numbers.
    QVERIFY(place->scalar(QStringLiteral("SELECT COUNT(*) FROM measurements WHERE formula_index IS NULL")).toInt() == 1);
}

void tst_HistoryStore::updates()
{
    HistoryStore store;
    QVERIFY(place->open(store));
    const qint64 a = store.addRow(sampleRow(1));
    const qint64 b = store.addRow(sampleRow(2));
    QVERIFY(store.setTestName(a, QStringLiteral("Panel 7")));
    QVERIFY(store.markDeleted(b));

    HistoryRow rejudged = store.row(a);
    rejudged.deltaE = 5.12;
    rejudged.verdict = QStringLiteral("PASS");
    rejudged.passed = 1;
    rejudged.formulaText = QStringLiteral("CIEDE2000");
    rejudged.formulaIndex = 5;
    rejudged.threshold = 6.0;
    rejudged.thresholdText = QStringLiteral("6.0");
    QVERIFY(store.rejudge({rejudged}));

    const HistoryRow backA = store.row(a);
    QCOMPARE(backA.testName, QStringLiteral("Panel 7"));
    QCOMPARE(backA.deltaE, 5.12);
    QCOMPARE(backA.passed, 1);
    QCOMPARE(backA.formulaIndex, 5);
    QCOMPARE(backA.threshold, 6.0);
    QCOMPARE(backA.standard, sampleRow(1).standard); // the colours are not judged again
    QCOMPARE(store.row(b).state, HistoryRowState::Deleted);
    QCOMPARE(store.rowCount(), 2); // a deleted row stays
}

void tst_HistoryStore::runsAndWhatTheNextStartIsOffered_data()
{
    QTest::addColumn<QString>("end");
    QTest::addColumn<int>("deleted");
    QTest::addColumn<int>("offered");
    // 5 rows stored, some deleted, then the run ends like this (or does not end).
    QTest::newRow("killed") << "" << 0 << 5;
    QTest::newRow("killed after deletions") << "" << 2 << 3;
    QTest::newRow("all deleted, then killed") << "" << 5 << 0;
    QTest::newRow("cleared") << "cleared" << 1 << 0;
    QTest::newRow("exported") << "exported" << 0 << 0;
}

void tst_HistoryStore::runsAndWhatTheNextStartIsOffered()
{
    QFETCH(QString, end);
    QFETCH(int, deleted);
    QFETCH(int, offered);
    qint64 run = 0;
    {
        HistoryStore store;
        QVERIFY(place->open(store));
        QList<qint64> ids;
        for (int n = 1; n <= 5; ++n)
            ids << store.addRow(sampleRow(n));
        for (int i = 0; i < deleted; ++i)
            QVERIFY(store.markDeleted(ids.at(i)));
        run = store.currentRun();
        if (end == QLatin1String("cleared"))
            QVERIFY(store.endRun(HistoryStore::RunEnd::Cleared));
        else if (end == QLatin1String("exported"))
            QVERIFY(store.endRun(HistoryStore::RunEnd::Exported, QStringLiteral("/tmp/out.xls")));
    }
    HistoryStore next;
    QVERIFY(place->open(next));
    const QList<HistoryRow> rows = next.unfinishedRows();
    QCOMPARE(rows.size(), offered);
    for (int i = 0; i < rows.size(); ++i)
        QCOMPARE(rows.at(i).testName, QStringLiteral("Comp%1").arg(deleted + i + 1));
    const HistoryRowState expected = deleted == 5                       ? HistoryRowState::Deleted
                                     : end == QLatin1String("cleared")    ? HistoryRowState::Cleared
                                     : end == QLatin1String("exported") ? HistoryRowState::Exported
                                                                        : HistoryRowState::InTable;
    const QList<HistoryRow> all = next.rowsOfRun(run);
    QCOMPARE(all.size(), 5);
    QCOMPARE(all.last().state, expected);
}

void tst_HistoryStore::restoredRowsJoinTheNewRun()
{
    {
        HistoryStore first;
        QVERIFY(place->open(first));
        for (int n = 1; n <= 3; ++n)
            first.addRow(sampleRow(n));
    }
    {
        HistoryStore second;
        QVERIFY(place->open(second));
        QCOMPARE(second.unfinishedRows().size(), 3);
        QVERIFY(second.adoptUnfinishedRows());
        QCOMPARE(second.unfinishedRows().size(), 0); // they are this run's now
        second.addRow(sampleRow(4));
        QCOMPARE(second.rowsOfRun(second.currentRun()).size(), 4);
    }
    // Killed again: the next start offers the restored rows and the new one, in table order.
    HistoryStore third;
    QVERIFY(place->open(third));
    const QList<HistoryRow> rows = third.unfinishedRows();
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows.last().testName, QStringLiteral("Comp4"));
    QVERIFY(third.endRun(HistoryStore::RunEnd::Cleared)); // no run of its own yet: nothing to end
    QCOMPARE(third.unfinishedRows().size(), 4);
}

void tst_HistoryStore::declinedRowsStayInTheHistory()
{
    qint64 run = 0;
    {
        HistoryStore first;
        QVERIFY(place->open(first));
        first.addRow(sampleRow(1));
        first.addRow(sampleRow(2));
        QVERIFY(first.markDeleted(first.addRow(sampleRow(3))));
        run = first.currentRun();
    }
    {
        HistoryStore second;
        QVERIFY(place->open(second));
        QCOMPARE(second.unfinishedRows().size(), 2);
        QVERIFY(second.declineUnfinishedRuns());
    }
    HistoryStore third;
    QVERIFY(place->open(third));
    QCOMPARE(third.unfinishedRows().size(), 0);
    QCOMPARE(third.rowCount(), 3);
    // In no table any more, and saying so; the deleted one stays deleted.
    const QList<HistoryRow> rows = third.rowsOfRun(run);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(historyStateName(rows.at(0).state), QStringLiteral("not_restored"));
    QCOMPARE(historyStateName(rows.at(1).state), QStringLiteral("not_restored"));
    QCOMPARE(rows.at(2).state, HistoryRowState::Deleted);
    QCOMPARE(place->scalar("SELECT COUNT(*) FROM measurements WHERE state = 'in_table'").toInt(), 0);
}

// One history, two desks (a shared home folder, or a server): each start offers the rows of its
// own desk's run that did not end, and ends only its own runs.
void tst_HistoryStore::eachDeskIsOfferedItsOwnRuns()
{
    const HistoryIdentity a{QStringLiteral("inspector"), QStringLiteral("desk-a"), QStringLiteral("machine-a:inspector")};
    const HistoryIdentity b{QStringLiteral("inspector"), QStringLiteral("desk-b"), QStringLiteral("machine-b:inspector")};
    {
        HistoryStore deskA, deskB;
        deskA.setIdentity(a);
        deskB.setIdentity(b);
        QVERIFY(place->open(deskA));
        QVERIFY(place->open(deskB));
        for (int n = 1; n <= 3; ++n)
            QVERIFY(deskA.addRow(sampleRow(n), n) > 0);
        QVERIFY(deskB.addRow(sampleRow(7), 7) > 0);
        QVERIFY(deskB.addRow(sampleRow(8), 8) > 0);
    } // both killed
    HistoryStore nextB;
    nextB.setIdentity(b);
    QVERIFY(place->open(nextB));
    QCOMPARE(nextB.unfinishedRows().size(), 2);
    QCOMPARE(nextB.unfinishedRows().first().testName, QStringLiteral("Comp7"));
    QCOMPARE(nextB.unfinishedTestNumber(), 8);
    QVERIFY(nextB.declineUnfinishedRuns());
    QCOMPARE(nextB.unfinishedRows().size(), 0);
    HistoryStore nextA;
    nextA.setIdentity(a);
    QVERIFY(place->open(nextA));
    // Desk B's answer did not touch desk A's run.
    QCOMPARE(nextA.unfinishedRows().size(), 3);
    QCOMPARE(nextA.unfinishedTestNumber(), 3);
    QVERIFY(nextA.adoptUnfinishedRows(3));
    QCOMPARE(place->scalar("SELECT COUNT(*) FROM measurements WHERE state = 'not_restored'").toInt(), 2);
    QCOMPARE(place->scalar("SELECT COUNT(*) FROM measurements WHERE state = 'in_table'").toInt(), 3);
    const HistoryCheck check = nextA.checkHistory();
    QVERIFY2(check.intact(), qPrintable(check.text() + u' ' + check.detail));
}

namespace {

// How the database reads a statement: SQLite's EXPLAIN QUERY PLAN steps, or PostgreSQL's EXPLAIN
// lines with every way of reading a table it has but a whole scan (on a few rows it would rightly
// scan; here the question is whether an index can serve the statement at all).
QStringList planOf(QSqlDatabase &db, const HistoryStore::Statement &statement, QString *error)
{
    QSqlQuery q(db);
    QStringList steps;
    if (db.driverName() == QLatin1String("QSQLITE")) {
        if (!q.prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + statement.sql)) {
            *error = q.lastError().text();
            return {};
        }
        for (const QVariant &bind : statement.binds)
            q.addBindValue(bind);
        if (!q.exec())
            *error = q.lastError().text();
        while (q.next())
            steps << q.value(3).toString();
        return steps;
    }
    // QPSQL prepares statements on the server, where EXPLAIN cannot be prepared: the values go
    // into the text.
    QString sql = statement.sql;
    for (const QVariant &bind : statement.binds) {
        QSqlField field(QString(), bind.metaType());
        field.setValue(bind);
        sql.replace(sql.indexOf(u'?'), 1, db.driver()->formatValue(field));
    }
    if (!q.exec(QStringLiteral("SET enable_seqscan = off")) || !q.exec(QStringLiteral("EXPLAIN ") + sql))
        *error = q.lastError().text();
    // Each way of reading a table with the condition it is read by, as SQLite says it.
    while (q.next()) {
        const QString line = q.value(0).toString().trimmed();
        if (line.startsWith(QLatin1String("Index Cond:")) && !steps.isEmpty())
            steps.last() += u' ' + line;
        else
            steps << line;
    }
    return steps;
}

} // namespace

// A start looks for the rows this desk's runs that did not end left in the table: through those
// runs and the rows' (run, state) index, never by reading the rows of every run that ended,
// nearly all of a long history. The files the program makes have no statistics for the
// planner, as here.
void tst_HistoryStore::unfinishedRunsFoundThroughIndexes()
{
    const HistoryIdentity other{QStringLiteral("inspector"), QStringLiteral("desk-b"),
                                QStringLiteral("machine-b:inspector")};
    {
        HistoryStore store;
        QVERIFY(place->open(store));
        for (int run = 0; run < 3; ++run) {
            for (int n = 1; n <= 40; ++n)
                QVERIFY(store.addRow(sampleRow(n), n) > 0);
            QVERIFY(store.endRun(run == 1 ? HistoryStore::RunEnd::Cleared : HistoryStore::RunEnd::Exported,
                                 QStringLiteral("/tmp/out.xls")));
        }
        QVERIFY(store.addRow(sampleRow(41), 41) > 0); // then killed
        HistoryStore deskB;
        deskB.setIdentity(other);
        QVERIFY(place->open(deskB));
        QVERIFY(deskB.addRow(sampleRow(7), 7) > 0);
    }
    HistoryStore store;
    QVERIFY(place->open(store));
    const QList<HistoryStore::Statement> statements = store.unfinishedStatements();
    QCOMPARE(statements.size(), 4);
    const bool onServer = testsupport::HistoryPlace::onServer();
    QVERIFY(place->withDatabase([&](QSqlDatabase &db) {
        for (const HistoryStore::Statement &statement : statements) {
            QString error;
            const QStringList steps = planOf(db, statement, &error);
            const QString shown = statement.sql + QStringLiteral("\n  ") + steps.join(QStringLiteral("\n  "));
            if (!error.isEmpty() || steps.isEmpty()) {
                qWarning().noquote() << "no plan:" << error << shown;
                return false;
            }
            for (const QString &step : steps) {
                // SQLite: "SCAN m", "SCAN runs USING INDEX ..." read a whole table; PostgreSQL:
                // a sequential scan, or an index walked without a condition on it.
                static const QRegularExpression whole(
                    QStringLiteral("^SCAN (m|r|measurements|runs)\\b|Seq Scan on (measurements|runs)"));
                // Where the rows are read, they are found by their run (or one by its key).
                static const QRegularExpression rows(QStringLiteral("^SEARCH (m|measurements) |on measurements\\b"));
                static const QRegularExpression key(QStringLiteral("run_id ?=|INTEGER PRIMARY KEY"));
                const bool byRun = key.match(step).hasMatch();
                if (whole.match(step).hasMatch() || (rows.match(step).hasMatch() && !byRun)) {
                    qWarning().noquote() << "read whole, or not by run:" << step << "in" << shown;
                    return false;
                }
            }
            if (!onServer && !steps.join(u' ').contains(QLatin1String("runs_desk"))
                && statement.sql.contains(QLatin1String("FROM runs WHERE"))) {
                qWarning().noquote() << "runs not found by desk:" << shown;
                return false;
            }
        }
        return true;
    }));
    // And they find what they should: this desk's one row, not desk B's.
    QCOMPARE(store.unfinishedRows().size(), 1);
    QCOMPARE(store.unfinishedTestNumber(), 41);
    QVERIFY(store.declineUnfinishedRuns());
    QCOMPARE(place->scalar("SELECT COUNT(*) FROM measurements WHERE state = 'not_restored'").toInt(), 1);
    QCOMPARE(place->scalar("SELECT COUNT(*) FROM measurements WHERE state = 'in_table'").toInt(), 1);
    QVERIFY(store.checkHistory().intact());
}

// Nearly every start finds no run left unfinished: then it writes nothing, so it neither waits
// for another program writing the same file (a history shared by several desks) nor fails
// when that one holds the file longer than the store waits.
void tst_HistoryStore::nothingUnfinishedWritesNothing()
{
    FILE_ONLY();
    {
        HistoryStore store;
        QVERIFY(place->open(store));
        QVERIFY(store.addRow(sampleRow(1), 1) > 0);
        QVERIFY(store.endRun(HistoryStore::RunEnd::Exported, QStringLiteral("/tmp/out.xls")));
    }
    HistoryStore store;
    QVERIFY(place->open(store));
    const qint64 events = store.chainHead().count;
    QVERIFY(place->withDatabase([&store](QSqlDatabase &db) {
        QSqlQuery writer(db);
        if (!writer.exec(QStringLiteral("BEGIN IMMEDIATE")))
            return false;
        const bool declined = store.declineUnfinishedRuns();
        if (!declined)
            qWarning().noquote() << store.errorText() << store.errorDetail();
        writer.exec(QStringLiteral("ROLLBACK"));
        return declined;
    }));
    QVERIFY(store.errorText().isEmpty());
    QCOMPARE(store.chainHead().count, events);
}

void tst_HistoryStore::lastTestNumberOfTheRun_data()
{
    QTest::addColumn<QString>("then");
    QTest::addColumn<int>("expected");
    // Rows Comp1..Comp3 stored with the numbers 1..3, then this, then killed.
    QTest::newRow("last row deleted") << "delete" << 3;
    QTest::newRow("last row renamed") << "rename" << 3;
    QTest::newRow("an imported row after them") << "import" << 3;
    QTest::newRow("a lower number given") << "lower" << 3;
    QTest::newRow("restored, last row deleted, killed again") << "restore" << 3;
    QTest::newRow("restored with a higher number, killed again") << "restore higher" << 7;
    QTest::newRow("cleared, then one more") << "clear" << 1;
    QTest::newRow("a batch after them") << "batch" << 3;
    QTest::newRow("cleared, then a batch before any measurement") << "clear, batch" << 0;
}

void tst_HistoryStore::lastTestNumberOfTheRun()
{
    QFETCH(QString, then);
    QFETCH(int, expected);
    {
        HistoryStore store;
        QVERIFY(place->open(store));
        QList<qint64> ids;
        for (int n = 1; n <= 3; ++n)
            ids << store.addRow(sampleRow(n), n);
        if (then == QLatin1String("delete"))
            QVERIFY(store.markDeleted(ids.last()));
        else if (then == QLatin1String("rename"))
            QVERIFY(store.setTestName(ids.last(), QStringLiteral("Door panel")));
        else if (then == QLatin1String("import"))
            QVERIFY(store.addRow(sampleRow(9, HistoryOrigin::Imported), 3) > 0);
        else if (then == QLatin1String("lower"))
            QVERIFY(store.addRow(sampleRow(4), 2) > 0);
        else if (then == QLatin1String("clear")) {
            QVERIFY(store.endRun(HistoryStore::RunEnd::Cleared));
            QVERIFY(store.addRow(sampleRow(1), 1) > 0);
        } else if (then == QLatin1String("batch")) {
            QCOMPARE(store.addRows({sampleRow(8, HistoryOrigin::Downloaded), sampleRow(9, HistoryOrigin::Downloaded)}, 3).size(), 2);
        } else if (then == QLatin1String("clear, batch")) {
            QVERIFY(store.endRun(HistoryStore::RunEnd::Cleared));
            QCOMPARE(store.addRows({sampleRow(8, HistoryOrigin::Imported)}, 0).size(), 1);
        }
    }
    if (then.startsWith(QLatin1String("restore"))) {
        HistoryStore second;
        QVERIFY(place->open(second));
        QCOMPARE(second.unfinishedTestNumber(), 3);
        QVERIFY(second.adoptUnfinishedRows(then == QLatin1String("restore") ? 3 : 7));
        QVERIFY(second.markDeleted(second.rowsOfRun(second.currentRun()).last().id));
    }
    HistoryStore next;
    QVERIFY(place->open(next));
    QCOMPARE(next.unfinishedTestNumber(), expected);
}

void tst_HistoryStore::migrationFromVersion1()
{
    FILE_ONLY();
    // A file in the first layout, as the first version of the program wrote it.
    QVERIFY(QDir().mkpath(QFileInfo(path()).absolutePath()));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v1"));
        db.setDatabaseName(path());
        QVERIFY(db.open());
        QSqlQuery q(db);
        const QStringList v1 = {
            "CREATE TABLE history_schema (version INTEGER NOT NULL)",
            "INSERT INTO history_schema (version) VALUES (1)",
            "CREATE TABLE runs (id INTEGER PRIMARY KEY, started_at TEXT NOT NULL, ended_at TEXT, "
            "end_reason TEXT, exported_to TEXT)",
            "CREATE TABLE measurements (id INTEGER PRIMARY KEY, run_id BIGINT NOT NULL REFERENCES runs (id), "
            "state TEXT NOT NULL, origin TEXT NOT NULL, origin_file TEXT, stored_at TEXT NOT NULL, "
            "changed_at TEXT NOT NULL, sequence_no DOUBLE PRECISION, test_name TEXT, time_text TEXT, "
            "std_l DOUBLE PRECISION, std_a DOUBLE PRECISION, std_b DOUBLE PRECISION, std_c DOUBLE PRECISION, "
            "std_h DOUBLE PRECISION, smp_l DOUBLE PRECISION, smp_a DOUBLE PRECISION, smp_b DOUBLE PRECISION, "
            "smp_c DOUBLE PRECISION, smp_h DOUBLE PRECISION, delta_e DOUBLE PRECISION, verdict TEXT, "
            "passed INTEGER, formula_text TEXT, threshold_text TEXT, device_name TEXT, serial_number TEXT, "
            "formula_index INTEGER, threshold DOUBLE PRECISION)",
            "INSERT INTO runs (id, started_at) VALUES (1, '2026-12-01T08:00:00.000Z')",
            "INSERT INTO measurements VALUES (1, 1, 'in_table', 'measured', NULL, 'x', 'x', 1, 'Comp1', "
            "'2026/12/01  08:01', 50, 10, -20, 22.36, 296.6, 52, 13, -16, 20.62, 309.1, 5.39, 'NG', 0, "
            "'△E*ab', '2.0', 'CM-200', '20231234', 0, 2.0)",
        };
        for (const QString &sql : v1)
            QVERIFY2(q.exec(sql), qPrintable(q.lastError().text()));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v1"));

    HistoryStore store;
    QVERIFY2(place->open(store), qPrintable(store.errorText()));
    QCOMPARE(store.schemaVersion(), HistoryStore::kSchemaVersion);
    QCOMPARE(store.movedAsidePath(), QString());
    // The old row is offered as before and takes part in what version 2 added.
    const QList<HistoryRow> rows = store.unfinishedRows();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().testName, QStringLiteral("Comp1"));
    QCOMPARE(rows.first().deltaE, 5.39);
    HistoryRow rejudged = rows.first();
    rejudged.passed = 1;
    QVERIFY(store.rejudge({rejudged}));
    store.close();
    QVERIFY(!place->scalar("SELECT rejudged_at FROM measurements WHERE id = 1").toString().isEmpty());
    QCOMPARE(place->scalar("SELECT COUNT(*) FROM sqlite_master WHERE name = 'measurements_run_state'").toInt(), 1);

    // Opening again migrates nothing twice.
    HistoryStore again;
    QVERIFY2(place->open(again), qPrintable(again.errorText()));
    QCOMPARE(again.schemaVersion(), HistoryStore::kSchemaVersion);
}

void tst_HistoryStore::migrationFromVersion2()
{
    FILE_ONLY();
    // Run 1 was not put back (its rows stayed in_table), run 2 did not end, run 3 was cleared.
    QVERIFY(QDir().mkpath(QFileInfo(path()).absolutePath()));
    QStringList file = layout2File();
    file << "INSERT INTO runs VALUES (1, '2026-12-01T08:00:00.000Z', '2026-12-02T09:00:00.000Z', 'not_restored', NULL)"
         << "INSERT INTO runs VALUES (2, '2026-12-02T09:00:00.000Z', NULL, NULL, NULL)"
         << "INSERT INTO runs VALUES (3, '2026-12-03T10:00:00.000Z', '2026-12-03T11:00:00.000Z', 'cleared', NULL)"
         << layout2Row(1, 1, "in_table", "Comp1") << layout2Row(2, 1, "deleted", "Comp2")
         << layout2Row(3, 2, "in_table", "Comp1") << layout2Row(4, 2, "in_table", "Comp2")
         << layout2Row(5, 3, "cleared", "Comp1");
    QVERIFY(execAll(path(), file));

    HistoryStore store;
    QVERIFY2(place->open(store), qPrintable(store.errorText()));
    QCOMPARE(store.schemaVersion(), HistoryStore::kSchemaVersion);
    QCOMPARE(historyStateName(store.row(1).state), QStringLiteral("not_restored"));
    QCOMPARE(store.row(2).state, HistoryRowState::Deleted);
    QCOMPARE(store.row(5).state, HistoryRowState::Cleared);
    // The run that did not end is offered as before; it kept no number.
    QCOMPARE(store.unfinishedRows().size(), 2);
    QCOMPARE(store.unfinishedTestNumber(), -1);
    QVERIFY(store.adoptUnfinishedRows(2));
    QVERIFY(store.addRow(sampleRow(3), 3) > 0);
    const qint64 run = store.currentRun();
    store.close();
    QCOMPARE(place->scalar("SELECT changed_at FROM measurements WHERE id = 1").toString(),
             QStringLiteral("2026-12-02T09:00:00.000Z")); // when the run was declined
    QCOMPARE(place->scalar(QStringLiteral("SELECT last_test_number FROM runs WHERE id = %1").arg(run)).toInt(), 3);
    QCOMPARE(place->scalar("SELECT COUNT(*) FROM runs WHERE last_test_number IS NOT NULL").toInt(), 1);
}

void tst_HistoryStore::newerLayoutIsLeftAlone()
{
    {
        HistoryStore store;
        QVERIFY(place->open(store));
        store.addRow(sampleRow(1));
    }
    QVERIFY(place->scalar("UPDATE history_schema SET version = 9").isNull());
    QCOMPARE(place->scalar("SELECT version FROM history_schema").toInt(), 9);
    HistoryStore store;
    QVERIFY(!place->open(store));
    QVERIFY2(store.errorText().contains(QLatin1String("newer version")), qPrintable(store.errorText()));
    QCOMPARE(store.movedAsidePath(), QString());
    QCOMPARE(place->scalar("SELECT COUNT(*) FROM measurements").toInt(), 1);
}

void tst_HistoryStore::placesThatCannotBeUsed_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("said"); // in the user's words
    QTest::addColumn<QString>("detail"); // the database's words, given apart
    QTest::newRow("folder cannot be made") << "file in the way" << "cannot be made" << "";
    QTest::newRow("file name is a folder") << "folder" << "is not a file" << "";
    QTest::newRow("read-only folder") << "read-only" << "cannot be opened" << "unable to open database file";
    QTest::newRow("file size limit") << "limit" << "cannot be read or written" << "disk I/O error";
    QTest::newRow("full disk") << "full" << "the disk is full" << "";
}

void tst_HistoryStore::placesThatCannotBeUsed()
{
    FILE_ONLY();
    QFETCH(QString, kind);
    QFETCH(QString, said);
    QFETCH(QString, detail);
    QString file;
    std::unique_ptr<testsupport::SmallDisk> disk;
    if (kind == QLatin1String("file in the way")) {
        QFile blocker(tmp->filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        file = tmp->filePath(QStringLiteral("blocker/sub/history.sqlite"));
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(tmp->filePath(QStringLiteral("data/history.sqlite"))));
        file = path();
    } else if (kind == QLatin1String("limit")) {
        file = path();
    } else if (kind == QLatin1String("full")) {
        disk = std::make_unique<testsupport::SmallDisk>(tmp->filePath(QStringLiteral("small")), 256 * 1024);
        if (!disk->isMounted())
            QSKIP(qPrintable(disk->why()));
        QVERIFY(disk->fill());
        file = tmp->filePath(QStringLiteral("small/history.sqlite"));
    } else {
        if (::geteuid() == 0)
            QSKIP("permissions do not bind root");
        const QString folder = tmp->filePath(QStringLiteral("ro"));
        QVERIFY(QDir().mkpath(folder));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        file = folder + QStringLiteral("/history.sqlite");
    }
    HistoryStore store;
    rlimit saved{};
    if (kind == QLatin1String("limit")) {
        // No file of this process may grow.
        ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit full = saved;
        full.rlim_cur = 0;
        ::setrlimit(RLIMIT_FSIZE, &full);
    }
    const bool opened = store.open(file);
    if (kind == QLatin1String("limit")) {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::signal(SIGXFSZ, SIG_DFL);
    }
    QVERIFY(!opened);
    QVERIFY2(store.errorText().contains(said), qPrintable(store.errorText()));
    QVERIFY2(store.errorDetail().contains(detail), qPrintable(store.errorDetail()));
    // The database's words are not inside ours.
    QVERIFY(store.errorDetail().isEmpty() || !store.errorText().contains(store.errorDetail()));
    QVERIFY(!store.isOpen());
    QCOMPARE(store.addRow(sampleRow(1)), qint64(-1));
    QVERIFY(!store.markDeleted(1));
    QCOMPARE(store.movedAsidePath(), QString());
    QFile::setPermissions(tmp->filePath(QStringLiteral("ro")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void tst_HistoryStore::readOnlyFile_data()
{
    QTest::addColumn<bool>("sideFilesLeftEarlier");
    QTest::newRow("made read-only, then writable again") << false;
    QTest::newRow("read-only side files left by an earlier read-only open") << true;
}

// A read-only history file leaves nothing behind that keeps the history off once the file can
// be written again.
void tst_HistoryStore::readOnlyFile()
{
    FILE_ONLY();
    QFETCH(bool, sideFilesLeftEarlier);
    AsOrdinaryUser user(tmp->path());
    QVERIFY(user.ready());
    const QString wal = path() + QStringLiteral("-wal"), shm = path() + QStringLiteral("-shm");
    {
        HistoryStore store;
        QVERIFY2(place->open(store), qPrintable(store.errorText()));
        QVERIFY(store.addRow(sampleRow(1)) > 0);
        QVERIFY(store.addRow(sampleRow(2)) > 0);
    }
    QVERIFY(!QFile::exists(wal) && !QFile::exists(shm)); // a clean close takes them away

    if (sideFilesLeftEarlier) {
        // What SQLite made of a read-only file before: its side files, with its mode.
        for (const QString &side : {wal, shm}) {
            QFile f(side);
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (side == shm)
                f.write(QByteArray(32768, '\0'));
            f.close();
            QVERIFY(QFile::setPermissions(side, kReadOnly));
        }
    } else {
        QVERIFY(QFile::setPermissions(path(), kReadOnly));
        HistoryStore store;
        QVERIFY(!place->open(store));
        QVERIFY2(store.errorText().contains(QLatin1String("is read-only")), qPrintable(store.errorText()));
        QVERIFY(!QFile::exists(wal));
        QVERIFY(!QFile::exists(shm));
        QVERIFY(QFile::setPermissions(path(), kReadWrite));
    }

    HistoryStore store;
    QVERIFY2(place->open(store), qPrintable(store.errorText()));
    QCOMPARE(store.unfinishedRows().size(), 2);
    QVERIFY2(store.addRow(sampleRow(3)) > 0, qPrintable(store.errorText()));
    store.close();
    QCOMPARE(QFile::permissions(path()) & kReadWrite, kReadWrite);
}

void tst_HistoryStore::damagedFileIsMovedAside_data()
{
    QTest::addColumn<QString>("damage");
    QTest::newRow("not a database") << "garbage";
    QTest::newRow("broken pages") << "pages";
}

void tst_HistoryStore::damagedFileIsMovedAside()
{
    FILE_ONLY();
    QFETCH(QString, damage);
    QVERIFY(QDir().mkpath(QFileInfo(path()).absolutePath()));
    if (damage == QLatin1String("garbage")) {
        QFile f(path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("this is a spreadsheet, not a database\n").repeated(200));
    } else {
        {
            HistoryStore store;
            QVERIFY(place->open(store));
            for (int n = 1; n <= 400; ++n)
                store.addRow(sampleRow(n));
        }
        QFile f(path());
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.size() > 16384);
        // Scribble over the second and later pages, leaving the header readable.
        f.seek(4096 + 100);
        f.write(QByteArray(8192, '\x5a'));
    }
    const QByteArray damaged = fileBytes(path());

    HistoryStore store;
    QVERIFY2(place->open(store), qPrintable(store.errorText()));
    QVERIFY(!store.movedAsidePath().isEmpty());
    QVERIFY(store.movedAsidePath().startsWith(path() + QStringLiteral(".damaged-")));
    QCOMPARE(fileBytes(store.movedAsidePath()), damaged); // kept as it was
    QCOMPARE(store.rowCount(), 0);                      // a new history in its place
    QVERIFY(store.addRow(sampleRow(1)) > 0);
}

void tst_HistoryStore::writeAheadLogging()
{
    FILE_ONLY();
    HistoryStore store;
    QVERIFY(place->open(store));
    store.addRow(sampleRow(1));
    QVERIFY(QFile::exists(path() + QStringLiteral("-wal")));
    QCOMPARE(place->scalar("PRAGMA journal_mode").toString(), QStringLiteral("wal"));
}

void tst_HistoryStore::eventsForEveryChange()
{
    HistoryStore store;
    store.setIdentity(testIdentity());
    QVERIFY(place->open(store));
    const qint64 a = store.addRow(sampleRow(1), 1);
    HistoryRow importedRow = sampleRow(2, HistoryOrigin::Imported);
    importedRow.originFile = QStringLiteral("/home/lab/in.xls");
    const qint64 b = store.addRow(importedRow, 1);
    const qint64 c = store.addRow(sampleRow(3), 3);
    QVERIFY(store.setTestName(a, QStringLiteral("Door panel")));
    QVERIFY(store.setTestName(a, QStringLiteral("Door panel"))); // no change, no event
    QVERIFY(store.markDeleted(c));
    HistoryRow rejudged = store.row(b);
    rejudged.deltaE = 1.25;
    rejudged.verdict = QStringLiteral("PASS");
    rejudged.passed = 1;
    rejudged.formulaText = QStringLiteral("CIEDE2000");
    rejudged.thresholdText = QStringLiteral("3.0");
    rejudged.formulaIndex = 5;
    rejudged.threshold = 3.0;
    QVERIFY(store.rejudge({rejudged}));
    QVERIFY(store.endRun(HistoryStore::RunEnd::Exported, QStringLiteral("/home/lab/out.xlsx")));
    const qint64 d = store.addRow(sampleRow(4), 1);
    QVERIFY(store.endRun(HistoryStore::RunEnd::Cleared));
    const qint64 e = store.addRow(sampleRow(5), 1);
    const qint64 f = store.addRow(sampleRow(6), 2);
    store.close();
    {
        // The next start puts e back and, at the one after, f's run is declined.
        HistoryStore next;
        next.setIdentity(testIdentity());
        QVERIFY(place->open(next));
        QVERIFY(next.markDeleted(f));
        QVERIFY(next.adoptUnfinishedRows(2));
        const qint64 g = next.addRow(sampleRow(7), 3);
        QVERIFY(g > 0);
    }
    HistoryStore last;
    last.setIdentity(testIdentity());
    QVERIFY(place->open(last));
    QVERIFY(last.declineUnfinishedRuns());

    // kind, old value, new value of each row's events, oldest first.
    struct Expected
    {
        qint64 row;
        QStringList story;
    };
    const QString run1 = json(last.eventsOfRow(a).first().newValue).value("run").toString();
    const QString run3 = json(last.eventsOfRow(e).first().newValue).value("run").toString();
    const QList<Expected> expected = {
        {a, {"added", "renamed {\"test_name\":\"Comp1\"} {\"test_name\":\"Door panel\"}",
             "exported {\"state\":\"in_table\"} {\"file\":\"/home/lab/out.xlsx\",\"state\":\"exported\"}"}},
        {b, {"added",
             "rejudged {\"delta_e\":7.39,\"device_name\":\"CM-200\",\"formula_index\":0,\"formula_text\":\"△E*ab\","
             "\"passed\":0,\"serial_number\":\"20231234\",\"threshold\":2,\"threshold_text\":\"2.0\","
             "\"verdict\":\"NG\"} {\"delta_e\":1.25,\"device_name\":\"CM-200\",\"formula_index\":5,"
             "\"formula_text\":\"CIEDE2000\",\"passed\":1,\"serial_number\":\"20231234\",\"threshold\":3,"
             "\"threshold_text\":\"3.0\",\"verdict\":\"PASS\"}",
             "exported {\"state\":\"in_table\"} {\"file\":\"/home/lab/out.xlsx\",\"state\":\"exported\"}"}},
        {c, {"added", "deleted {\"state\":\"in_table\"} {\"state\":\"deleted\"}"}},
        {d, {"added", "cleared {\"state\":\"in_table\"} {\"state\":\"cleared\"}"}},
        {e, {"added", QStringLiteral("restored {\"run\":\"%1\"} ").arg(run3) + "{\"run\":\"%1\"}",
             "not_restored {\"state\":\"in_table\"} {\"state\":\"not_restored\"}"}},
        {f, {"added", "deleted {\"state\":\"in_table\"} {\"state\":\"deleted\"}"}},
    };
    QStringList times;
    for (const Expected &row : expected) {
        const QList<HistoryEvent> events = last.eventsOfRow(row.row);
        QCOMPARE(events.size(), row.story.size());
        for (int i = 0; i < events.size(); ++i) {
            const HistoryEvent &event = events.at(i);
            QString told = historyEventKindName(event.kind);
            if (event.kind != HistoryEventKind::Added)
                told += u' ' + event.oldValue + u' ' + event.newValue;
            QString want = row.story.at(i);
            if (want.contains(QLatin1String("%1")))
                want = want.arg(json(last.eventsOfRow(row.row).at(i).newValue).value("run").toString());
            QCOMPARE(told, want);
            QCOMPARE(event.login, QStringLiteral("inspector"));
            QCOMPARE(event.host, QStringLiteral("lab-desk-3"));
            QCOMPARE(event.desk, QStringLiteral("0123abcd:inspector"));
            QVERIFY2(QDateTime::fromString(event.at, Qt::ISODateWithMs).timeSpec() == Qt::UTC, qPrintable(event.at));
            times << event.at;
        }
    }
    // The restored row moved from its run into the run of the start that put it back.
    QVERIFY(!run3.isEmpty() && run3 != run1);
    // An added event holds the whole row as stored: its origin and file too.
    const QJsonObject added = json(last.eventsOfRow(b).first().newValue);
    QCOMPARE(added.value("origin").toString(), QStringLiteral("imported"));
    QCOMPARE(added.value("origin_file").toString(), QStringLiteral("/home/lab/in.xls"));
    QCOMPARE(added.value("test_name").toString(), QStringLiteral("Comp2"));
    QCOMPARE(added.value("smp").toArray().at(2).toDouble(), -14.5);
    // The rows and runs carry their UUIDs and the desk.
    QCOMPARE(last.row(a).desk, QStringLiteral("0123abcd:inspector"));
    QCOMPARE(place->scalar("SELECT COUNT(DISTINCT uuid) FROM measurements").toInt(), 7);
    QCOMPARE(place->scalar("SELECT COUNT(*) FROM runs WHERE uuid IS NULL OR desk IS NULL").toInt(), 0);

    const HistoryCheck check = last.checkHistory(last.chainHead());
    QVERIFY2(check.intact(), qPrintable(check.text() + u' ' + check.detail));
    QCOMPARE(check.events, qint64(17));
    QCOMPARE(check.text(), QStringLiteral("intact, 17 events"));
    last.close();
    // Python's own walk of the chain agrees, and so do the states its events give.
    const QStringList python = pythonCheck(place->pythonTarget());
    QCOMPARE(python.value(0), QStringLiteral("intact 17"));
    QCOMPARE(python.mid(1), (QStringList{"row 1 exported", "row 2 exported", "row 3 deleted", "row 4 cleared",
                                         "row 5 not_restored", "row 6 deleted", "row 7 not_restored"}));
}

void tst_HistoryStore::chainCheck_data()
{
    QTest::addColumn<QStringList>("tampering"); // statements run on a copy of the file
    QTest::addColumn<int>("problem");
    QTest::addColumn<int>("brokenAt"); // the event, or for a row problem the row
    // 6 rows, 2 renamed, 1 deleted, exported: 6 + 2 + 1 + 5 = 14 events.
    QTest::newRow("untouched") << QStringList() << int(HistoryCheck::Problem::None) << 0;
    QTest::newRow("an edited value")
        << QStringList{"UPDATE events SET new_value = replace(new_value, 'Door', 'Roof') WHERE chain_seq = 7"}
        << int(HistoryCheck::Problem::EventChanged) << 7;
    QTest::newRow("an edited time") << QStringList{"UPDATE events SET at = '2026-01-01T00:00:00.000Z' WHERE chain_seq = 3"}
                                    << int(HistoryCheck::Problem::EventChanged) << 3;
    QTest::newRow("a deleted event") << QStringList{"DELETE FROM events WHERE chain_seq = 5"}
                                     << int(HistoryCheck::Problem::EventMissing) << 5;
    QTest::newRow("two swapped events")
        << QStringList{"UPDATE events SET chain_seq = -1 WHERE chain_seq = 4",
                       "UPDATE events SET chain_seq = 4 WHERE chain_seq = 5",
                       "UPDATE events SET chain_seq = 5 WHERE chain_seq = -1"}
        << int(HistoryCheck::Problem::EventChanged) << 4;
    QTest::newRow("the newest events removed") << QStringList{"DELETE FROM events WHERE chain_seq > 11"}
                                               << int(HistoryCheck::Problem::NewestMissing) << 12;
    QTest::newRow("the newest events removed and the last one written anew")
        << QStringList{"DELETE FROM events WHERE chain_seq > 11", "rehash"}
        << int(HistoryCheck::Problem::NewestMissing) << 12;
    QTest::newRow("a value edited and the chain written anew after it")
        << QStringList{"UPDATE events SET new_value = replace(new_value, 'Door', 'Roof') WHERE chain_seq = 7", "rehash"}
        << int(HistoryCheck::Problem::HeadDiffers) << 14;
    QTest::newRow("a stored row edited, not its events")
        << QStringList{"UPDATE measurements SET delta_e = 0.5, passed = 1 WHERE id = 4"}
        << int(HistoryCheck::Problem::RowDisagrees) << 4;
    QTest::newRow("a stored row's state edited")
        << QStringList{"UPDATE measurements SET state = 'in_table' WHERE id = 3"}
        << int(HistoryCheck::Problem::RowDisagrees) << 3;
    QTest::newRow("a stored row removed") << QStringList{"DELETE FROM measurements WHERE id = 2"}
                                          << int(HistoryCheck::Problem::RowDisagrees) << 0;
    QTest::newRow("a row and its events removed, the chain written anew")
        << QStringList{"DELETE FROM events WHERE row_uuid = (SELECT uuid FROM measurements WHERE id = 6)",
                       "DELETE FROM measurements WHERE id = 6", "renumber", "rehash"}
        << int(HistoryCheck::Problem::NewestMissing) << 13;
}

// The chain is checked on a copy of the file, tampered with, against the head the program kept.
void tst_HistoryStore::chainCheck()
{
    QFETCH(QStringList, tampering);
    QFETCH(int, problem);
    QFETCH(int, brokenAt);
    HistoryChainHead kept;
    {
        HistoryStore store;
        QVERIFY(place->open(store));
        QList<qint64> ids;
        for (int n = 1; n <= 6; ++n)
            ids << store.addRow(sampleRow(n), n);
        QVERIFY(store.setTestName(ids.at(1), QStringLiteral("Door panel")));
        QVERIFY(store.setTestName(ids.at(3), QStringLiteral("Hood")));
        QVERIFY(store.markDeleted(ids.at(2)));
        QVERIFY(store.endRun(HistoryStore::RunEnd::Exported, QStringLiteral("/tmp/out.xls")));
        kept = store.chainHead();
        QCOMPARE(kept.count, qint64(14));
    }
    // The copy: a file beside, or a database made from the test's own.
    testsupport::HistoryPlace copy(tmp->filePath(QStringLiteral("copy")));
    QVERIFY(place->copyTo(&copy));
    QStringList statements;
    for (const QString &sql : tampering)
        if (sql != QLatin1String("rehash") && sql != QLatin1String("renumber"))
            statements << sql;
    QVERIFY(copy.exec(statements));
    if (tampering.contains(QStringLiteral("renumber"))) {
        // The events after the gap moved up, as someone hiding a removal would: each takes the
        // lowest free place, in order, so no two ever share one.
        QStringList moves;
        QVERIFY(copy.withDatabase([&moves](QSqlDatabase &db) {
            QSqlQuery q(db);
            if (!q.exec("SELECT chain_seq FROM events ORDER BY chain_seq"))
                return false;
            for (int place = 1; q.next(); ++place)
                moves << QStringLiteral("UPDATE events SET chain_seq = %1 WHERE chain_seq = %2").arg(place).arg(q.value(0).toInt());
            return true;
        }));
        QVERIFY(copy.exec(moves));
    }
    if (tampering.contains(QStringLiteral("rehash"))) {
        // Every hash computed again from the first event on: the chain is whole in itself, and
        // only the head kept outside the file shows what happened.
        QVERIFY(copy.withDatabase([](QSqlDatabase &db) {
            QSqlQuery q(db);
            if (!q.exec("SELECT chain_id, chain_seq, uuid, at, login, host, desk, kind, row_uuid, old_value, new_value "
                        "FROM events ORDER BY chain_seq"))
                return false;
            QList<HistoryEvent> events;
            while (q.next()) {
                HistoryEvent e;
                e.chainId = q.value(0).toString();
                e.sequence = q.value(1).toLongLong();
                e.uuid = q.value(2).toString();
                e.at = q.value(3).toString();
                e.login = q.value(4).toString();
                e.host = q.value(5).toString();
                e.desk = q.value(6).toString();
                historyEventKindFromName(q.value(7).toString(), &e.kind);
                e.rowUuid = q.value(8).toString();
                e.oldValue = q.value(9).toString();
                e.newValue = q.value(10).toString();
                events << e;
            }
            QString previous;
            for (HistoryEvent &e : events) {
                e.hash = e.computeHash(previous);
                previous = e.hash;
                QSqlQuery u(db);
                u.prepare("UPDATE events SET hash = ? WHERE chain_seq = ?");
                u.addBindValue(e.hash);
                u.addBindValue(e.sequence);
                if (!u.exec())
                    return false;
            }
            return true;
        }));
        // In itself the forged chain holds: Python finds nothing wrong with it either.
        QVERIFY(pythonCheck(copy.pythonTarget()).value(0).startsWith(QLatin1String("intact")));
    }

    HistoryStore store;
    QVERIFY2(copy.open(store), qPrintable(store.errorText()));
    const HistoryCheck check = store.checkHistory(kept);
    QVERIFY2(int(check.problem) == problem, qPrintable(check.text() + u' ' + check.detail));
    const bool rowProblem = check.problem == HistoryCheck::Problem::RowDisagrees
                            || check.problem == HistoryCheck::Problem::RowWithoutEvents;
    QCOMPARE(rowProblem ? check.rowId : check.brokenAt, qint64(brokenAt));
    if (problem == int(HistoryCheck::Problem::None))
        QCOMPARE(check.text(), QStringLiteral("intact, 14 events"));
    else if (!rowProblem)
        QVERIFY2(check.text().contains(QString::number(brokenAt - (check.problem == HistoryCheck::Problem::NewestMissing))),
                 qPrintable(check.text()));
    // Python's walk finds the same first broken event (it knows nothing of the kept head).
    store.close();
    const QString python = pythonCheck(copy.pythonTarget()).value(0);
    if (problem == int(HistoryCheck::Problem::EventChanged) || problem == int(HistoryCheck::Problem::EventMissing))
        QCOMPARE(python, QStringLiteral("broken %1").arg(brokenAt));
    else
        QVERIFY2(python.startsWith(QLatin1String("intact")), qPrintable(python));
}

void tst_HistoryStore::migrationFromLayout3()
{
    FILE_ONLY();
    // A layout-3 file made by the program before the events (see data/make_layout3.cpp).
    QVERIFY(QDir().mkpath(QFileInfo(path()).absolutePath()));
    QVERIFY(QFile::copy(qEnvironmentVariable("COLORIMETER_TEST_DATA") + QStringLiteral("/data/layout3.sqlite"), path()));
    QFile::setPermissions(path(), kReadWrite);
    QCOMPARE(place->scalar("SELECT version FROM history_schema").toInt(), 3);

    HistoryStore store;
    store.setIdentity(testIdentity());
    QVERIFY2(place->open(store), qPrintable(store.errorText()));
    QCOMPARE(store.schemaVersion(), HistoryStore::kSchemaVersion);
    QCOMPARE(store.rowCount(), 10);
    // One event per row for how it came, one for each row that left the table: 3 exported,
    // 1 deleted, 2 cleared, 2 not put back.
    const HistoryCheck check = store.checkHistory();
    QVERIFY2(check.intact(), qPrintable(check.text() + u' ' + check.detail));
    QCOMPARE(check.events, qint64(18));
    const QList<HistoryEvent> renamed = store.eventsOfRow(2);
    QCOMPARE(renamed.size(), 2);
    QCOMPARE(json(renamed.at(0).newValue).value("test_name").toString(), QStringLiteral("Door panel"));
    QCOMPARE(json(renamed.at(0).newValue).value("origin").toString(), QStringLiteral("pushed"));
    QCOMPARE(json(renamed.at(0).newValue).value("formula_index").toInt(), 5); // as re-judged
    QCOMPARE(renamed.at(0).at, store.row(2).storedAt);
    QCOMPARE(json(renamed.at(1).newValue).value("file").toString(),
             QStringLiteral("/home/lab/CompareM202612080941.xls"));
    QCOMPARE(store.eventsOfRow(3).at(1).kind, HistoryEventKind::Deleted);
    QCOMPARE(store.eventsOfRow(6).at(1).kind, HistoryEventKind::Cleared);
    QCOMPARE(store.eventsOfRow(7).at(1).kind, HistoryEventKind::NotRestored);
    QCOMPARE(store.eventsOfRow(9).size(), 1);
    const QJsonObject imported = json(store.eventsOfRow(4).first().newValue);
    QCOMPARE(imported.value("origin_file").toString(), QStringLiteral("/home/lab/in.xls"));
    QVERIFY(imported.value("threshold").isNull());
    QCOMPARE(store.eventsOfRow(1).first().login, QStringLiteral("inspector"));

    // The unfinished run is offered as before, and goes on with events of its own.
    QCOMPARE(store.unfinishedRows().size(), 2);
    QCOMPARE(store.unfinishedTestNumber(), 2);
    QVERIFY(store.adoptUnfinishedRows(2));
    QVERIFY(store.addRow(sampleRow(3), 3) > 0);
    QCOMPARE(store.eventsOfRow(9).last().kind, HistoryEventKind::Restored);
    QVERIFY(store.checkHistory(store.chainHead()).intact());
    store.close();
    const QStringList python = pythonCheck(path());
    QCOMPARE(python.value(0), QStringLiteral("intact 21"));
    QCOMPARE(python.mid(1, 10), (QStringList{"row 1 exported", "row 2 exported", "row 3 deleted", "row 4 exported",
                                             "row 5 cleared", "row 6 cleared", "row 7 not_restored",
                                             "row 8 not_restored", "row 9 in_table", "row 10 in_table"}));
    // Every filter of the history window has its index, made with the layout.
    for (const char *index : {"measurements_stored", "measurements_serial", "measurements_passed", "measurements_origin",
                              "measurements_state", "measurements_run_passed", "measurements_uuid"})
        QCOMPARE(place->scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name = '%1'").arg(index)).toInt(), 1);
    // Opening again migrates nothing twice.
    HistoryStore again;
    QVERIFY2(place->open(again), qPrintable(again.errorText()));
    QCOMPARE(again.checkHistory().events, qint64(21));
}

// Another desk's events, received as a server receives them: the new rows of a delivery go in
// batches, a change between two batches applies to a row of the first, a resend that overlaps
// what came before is stored once, a delivery with a row that cannot be read or an event forged
// in a place already held is refused, and receiving goes on after each and after the history
// was closed and opened again.
void tst_HistoryStore::receivedFromAnotherDesk()
{
    const QString source = tmp->filePath(QStringLiteral("desk-b.sqlite"));
    HistoryStore desk;
    desk.setIdentity({QStringLiteral("inspector"), QStringLiteral("b"), QStringLiteral("machine-b:inspector")});
    QVERIFY(desk.open(source));
    QList<HistoryRow> first, second;
    for (int n = 1; n <= 150; ++n)
        first << sampleRow(n);
    for (int n = 151; n <= 260; ++n)
        second << sampleRow(n);
    const QList<qint64> ids = desk.addRows(first); // events 1..150
    QCOMPARE(ids.size(), 150);
    QVERIFY(desk.setTestName(ids[140], QStringLiteral("Hood"))); // 151
    QCOMPARE(desk.addRows(second).size(), 110); // 152..261
    QVERIFY(desk.markDeleted(ids[0])); // 262
    const QString renamed = desk.row(ids[140]).uuid, deleted = desk.row(ids[0]).uuid;

    HistoryOutbox outbox;
    QVERIFY(outbox.open(source));
    HistoryDelivery all;
    QVERIFY(outbox.events(0, 1000, &all.events));
    QVERIFY(outbox.runs(0, &all.runs));
    QCOMPARE(all.events.size(), 262);
    HistoryDelivery part = all;
    part.events = all.events.mid(0, 130);

    HistoryStore store;
    QVERIFY2(place->open(store), qPrintable(store.errorText()));
    QVERIFY2(store.receive(part), qPrintable(store.errorDetail()));
    store.close();
    QVERIFY2(place->open(store), qPrintable(store.errorText()));
    // A delivery whose second new row cannot be read is refused whole, and spoils nothing.
    HistoryDelivery unreadable;
    unreadable.events << all.events[140] << all.events[141];
    unreadable.events[1].newValue = QStringLiteral("{\"origin\": \"from nowhere\"}");
    QVERIFY(!store.receive(unreadable));
    QVERIFY2(store.receive(all), qPrintable(store.errorDetail()));
    HistoryDelivery forged;
    forged.events << all.events[5];
    forged.events[0].at = QStringLiteral("2020-01-01T00:00:00.000Z");
    forged.events[0].hash = forged.events[0].computeHash(all.events[4].hash);
    QVERIFY(!store.receive(forged));
    QCOMPARE(store.serverProblem(), HistoryStore::ServerProblem::Conflict);
    QVERIFY2(store.receive(all), qPrintable(store.errorDetail()));
    store.close();

    const QString chain = QStringLiteral(" FROM events WHERE chain_id = '%1'").arg(desk.chainId());
    QCOMPARE(place->scalar(QStringLiteral("SELECT COUNT(*)") + chain).toLongLong(), qint64(262));
    QCOMPARE(place->scalar(QStringLiteral("SELECT COUNT(DISTINCT chain_seq)") + chain).toLongLong(), qint64(262));
    QCOMPARE(place->scalar(QStringLiteral("SELECT MAX(chain_seq)") + chain).toLongLong(), qint64(262));
    QCOMPARE(place->scalar(QStringLiteral("SELECT COUNT(*) FROM measurements")).toLongLong(), qint64(260));
    // Stored in the order they were made: no later place has a smaller id.
    QCOMPARE(place->scalar(QStringLiteral("SELECT COUNT(*) FROM events a JOIN events b ON b.chain_id = a.chain_id "
                                          "AND b.chain_seq > a.chain_seq AND b.id < a.id"))
                 .toLongLong(),
             qint64(0));
    const auto field = [&](const char *column, const QString &uuid) {
        return place->scalar(QStringLiteral("SELECT %1 FROM measurements WHERE uuid = '%2'").arg(QLatin1String(column), uuid));
    };
    QCOMPARE(field("test_name", renamed).toString(), QStringLiteral("Hood"));
    QCOMPARE(field("state", renamed).toString(), QStringLiteral("in_table"));
    QCOMPARE(field("state", deleted).toString(), QStringLiteral("deleted"));
    QCOMPARE(field("desk", deleted).toString(), QStringLiteral("machine-b:inspector"));
    QCOMPARE(place->scalar(QStringLiteral("SELECT COUNT(*) FROM measurements WHERE test_name = 'Comp260' "
                                          "AND sequence_no = 260 AND smp_b = 243.5")).toLongLong(),
             qint64(1));
}

// Rows put into the table from the history window: each moves into the current run, is in the
// table again, and says so in an event with its run and state before and after; a row in a
// table already is left alone; the file's rows still agree with their events.
void tst_HistoryStore::putBackFromTheHistory()
{
    FILE_ONLY(); // the history window and the page's table work on this computer's file
    HistoryStore store;
    QVERIFY2(store.open(path()), qPrintable(store.errorText()));
    const QList<qint64> old = store.addRows({sampleRow(1), sampleRow(2), sampleRow(3)});
    QCOMPARE(old.size(), 3);
    QVERIFY(store.markDeleted(old[1]));
    QVERIFY(store.endRun(HistoryStore::RunEnd::Exported, QStringLiteral("/data/out.xlsx")));
    const qint64 inTable = store.addRow(sampleRow(4));
    QVERIFY(inTable > 0);
    const qint64 run = store.currentRun();
    QVERIFY(run != store.row(old[0]).runId);

    QList<HistoryRow> put;
    int already = -1;
    QVERIFY2(store.putBack({old[2], inTable, old[0], old[1], old[0]}, 7, &put, &already), qPrintable(store.errorText()));
    QCOMPARE(already, 1);
    QCOMPARE(put.size(), 3);
    const QStringList before{QStringLiteral("exported"), QStringLiteral("deleted"), QStringLiteral("exported")};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(put[i].id, old[i]); // in the order stored, each once
        const HistoryRow back = store.row(old[i]);
        QCOMPARE(back.state, HistoryRowState::InTable);
        QCOMPARE(back.runId, run);
        const HistoryEvent last = store.eventsOfRow(old[i]).last();
        QCOMPARE(last.kind, HistoryEventKind::Restored);
        QCOMPARE(QJsonDocument::fromJson(last.oldValue.toUtf8())["state"].toString(), before[i]);
        QCOMPARE(QJsonDocument::fromJson(last.newValue.toUtf8())["state"].toString(), QStringLiteral("in_table"));
    }
    QCOMPARE(store.eventsOfRow(inTable).size(), 1);
    // In this run's table now, they end with it.
    QVERIFY(store.endRun(HistoryStore::RunEnd::Cleared));
    QCOMPARE(store.row(old[1]).state, HistoryRowState::Cleared);
    QVERIFY2(store.checkHistory().intact(), qPrintable(store.checkHistory().text()));
    store.close();
    QVERIFY(!store.putBack({old[0]}, -1, &put));
}

// SQLite's check of every page finds broken pages that opening does not read; a file known to be
// damaged is moved aside at the next open, before anything reads it.
void tst_HistoryStore::quickCheckAndAFileKnownDamaged()
{
    FILE_ONLY();
    {
        HistoryStore store;
        QVERIFY(store.open(path()));
        for (int n = 0; n < 20; ++n) {
            QList<HistoryRow> rows;
            for (int i = 1; i <= 100; ++i)
                rows << sampleRow(n * 100 + i);
            QCOMPARE(store.addRows(rows).size(), 100);
        }
        QString problem;
        QVERIFY(HistoryStore::quickCheck(store.database(), &problem));
        QCOMPARE(problem, QString());
        QSqlQuery q(store.database());
        QVERIFY(q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")));
    }
    qint64 page = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("pages"));
        db.setDatabaseName(path());
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT pageno FROM dbstat WHERE name = 'events' AND pagetype = 'leaf' ORDER BY pageno")));
        QList<qint64> leaves;
        while (q.next())
            leaves << q.value(0).toLongLong();
        QVERIFY(leaves.size() > 20);
        page = leaves.at(leaves.size() / 2);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("pages"));
    {
        QFile f(path());
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek((page - 1) * 4096 + 8));
        f.write(QByteArray(2000, '\x5a'));
    }
    HistoryStore store;
    QVERIFY2(store.open(path()), qPrintable(store.errorText())); // the pages at the edges are sound
    QVERIFY(store.movedAsidePath().isEmpty());
    QString problem;
    QVERIFY(HistoryStore::quickCheck(store.database(), &problem));
    QVERIFY(!problem.isEmpty());
    store.close();
    QVERIFY(store.open(path(), true));
    QVERIFY(store.movedAsidePath().startsWith(path() + QStringLiteral(".damaged-")));
    QCOMPARE(store.rowCount(), 0);
}

// A reader (the window's, a worker's) reads whatever it is asked and writes nothing, on a file
// as on a server.
void tst_HistoryStore::readerNeverWrites_data()
{
    QTest::addColumn<QString>("statement");
    QTest::newRow("update") << "UPDATE measurements SET test_name = 'changed'";
    QTest::newRow("insert") << "INSERT INTO desks (desk, name, named_at) VALUES ('x', 'y', 'z')";
    QTest::newRow("delete") << "DELETE FROM events";
}

void tst_HistoryStore::readerNeverWrites()
{
    QFETCH(QString, statement);
    {
        HistoryStore store;
        QVERIFY2(place->open(store), qPrintable(store.errorText()));
        QVERIFY(store.addRow(sampleRow(1)) > 0);
    }
    HistoryReader reader(place->source());
    QVERIFY2(reader.isOpen(), qPrintable(reader.errorText()));
    QSqlQuery query(reader.database());
    QVERIFY(!query.exec(statement));
    QCOMPARE(place->scalar(QStringLiteral("SELECT COUNT(*) FROM measurements WHERE test_name = 'changed'")).toInt(), 0);
    QCOMPARE(place->scalar(QStringLiteral("SELECT COUNT(*) FROM desks WHERE desk = 'x'")).toInt(), 0);
    QCOMPARE(place->scalar(QStringLiteral("SELECT COUNT(*) FROM events")).toInt(), 1);
}

// The check reads the rows and, beside them, their events (on a server through a second
// connection): a row renamed by another writer between the two reads must not look like a row
// that disagrees with its events.
void tst_HistoryStore::checkSeesOneStateWhileAnotherWrites()
{
    HistoryStore store;
    QVERIFY2(place->open(store), qPrintable(store.errorText()));
    QList<qint64> ids;
    for (int n = 1; n <= 5; ++n)
        ids << store.addRow(sampleRow(n));
    HistoryReader reader(place->source());
    QVERIFY2(reader.isOpen(), qPrintable(reader.errorText()));
    QSqlDatabase db = reader.database();
    QSqlQuery begin(db);
    QVERIFY(begin.exec(HistoryDialect(db).beginSnapshot()));
    // The snapshot is taken by the first read.
    QVERIFY(begin.exec(QStringLiteral("SELECT COUNT(*) FROM measurements")) && begin.next());
    QCOMPARE(begin.value(0).toInt(), 5);
    begin.finish();
    QVERIFY(store.setTestName(ids.at(2), QStringLiteral("renamed meanwhile")));
    const HistoryCheck check = HistoryStore::checkChains(db, reader.chainId(), {}, nullptr);
    QVERIFY2(check.intact(), qPrintable(check.text() + u' ' + check.detail));
    QCOMPARE(check.events, qint64(5)); // the state the check began in
    QVERIFY(begin.exec(QStringLiteral("ROLLBACK")));
    // After it, the rename is seen and fits its event.
    const HistoryCheck after = HistoryStore::checkChains(db, reader.chainId(), {}, nullptr);
    QVERIFY2(after.intact(), qPrintable(after.text() + u' ' + after.detail));
    QCOMPARE(after.events, qint64(6));
}

QTEST_GUILESS_MAIN(tst_HistoryStore)
#include "tst_historystore.moc"
