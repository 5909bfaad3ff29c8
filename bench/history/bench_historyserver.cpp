// The history on a PostgreSQL server, by hand (scripts/with-postgres.sh gives a throwaway one):
//
//   bench_historyserver desks [desks=10] [rows=10000] [rate=100] [outage s=30]
//       Ten desks (processes of this program, each with its own history file and sender)
//       store rows at rate rows a second each into the server of COLORIMETER_TEST_PG; the
//       server is stopped for the outage in the middle (COLORIMETER_TEST_PG_CTL). Reports the
//       time to store a row locally (median, 99th percentile, worst), how long after it was
//       stored each row was on the server (rows stored while the server was up, before and after
//       the outage, and those that waited through it), and duplicates and gaps on the server.
//       BENCH_NO_SENDER=1: the desks store without a sender (the local store alone, same load).
//   bench_historyserver filters [rows=1000000]
//       A history of that many rows made on the server (in SQL, generate_series), then each
//       filter of the history window through the models: the count and the first block, as
//       the window shows them, median of 5; with the server's plan of each.
//
// A desk is "bench_historyserver desk <i> <rows> <rate> <folder>" (started by the first mode).
#include "historyfilter.h"
#include "historymodels.h"
#include "historyreader.h"
#include "historysender.h"
#include "historystore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

namespace {

HistoryServer testServer()
{
    return HistoryServer::fromConnectionString(qEnvironmentVariable("COLORIMETER_TEST_PG"));
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

bool sql(QSqlDatabase &db, const QString &text)
{
    QSqlQuery q(db);
    if (!q.exec(text)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(text.left(120)), qPrintable(q.lastError().text()));
        return false;
    }
    return true;
}

// ---- one desk ----

int desk(int index, int rows, int rate, const QString &folder)
{
    const QString file = folder + QStringLiteral("/desk-%1.sqlite").arg(index);
    HistoryStore store;
    HistoryIdentity identity = HistoryIdentity::ofThisDesk();
    identity.desk = QStringLiteral("bench-machine-%1:inspector").arg(index);
    store.setIdentity(identity);
    if (!store.open(file)) {
        std::fprintf(stderr, "desk %d: %s\n", index, qPrintable(store.errorText()));
        return 1;
    }
    // BENCH_NO_SENDER=1: the same desks storing with no server at all (the local store alone,
    // under the same load), to set the time to store a row beside.
    const bool sending = !qEnvironmentVariableIsSet("BENCH_NO_SENDER");
    HistorySender sender(file, testServer());
    if (sending)
        sender.start();
    QFile log(folder + QStringLiteral("/desk-%1.times").arg(index));
    log.open(QIODevice::WriteOnly);
    const qint64 start = nowMs();
    for (int i = 1; i <= rows; ++i) {
        // Paced: row i is due at start + i / rate seconds.
        const qint64 due = start + qint64(i) * 1000 / rate;
        // Asleep until then (a desk waits for its instrument; polling here would load the
        // machine the server and the other desks share).
        QCoreApplication::processEvents();
        if (const qint64 wait = due - nowMs(); wait > 0)
            QThread::msleep(static_cast<unsigned long>(wait));
        HistoryRow row;
        row.sequence = i;
        row.testName = QStringLiteral("Comp%1").arg(i);
        row.timeText = QStringLiteral("2026/12/08  09:41");
        row.standard = {50, 10, -20, 22.4, 296.6};
        row.sample = {50.5 + i % 7, 10, -20, 22.4, 296.6};
        row.deltaE = 0.5 + i % 30 / 10.0;
        row.passed = row.deltaE <= 2.0;
        row.verdict = row.passed ? QStringLiteral("PASS") : QStringLiteral("NG");
        row.formulaText = QStringLiteral("CIEDE2000");
        row.thresholdText = QStringLiteral("2.0");
        row.deviceName = QStringLiteral("CM-200");
        row.serialNumber = QStringLiteral("2024%1").arg(index, 4, 10, QLatin1Char('0'));
        row.formulaIndex = 5;
        row.threshold = 2.0;
        QElapsedTimer clock;
        clock.start();
        if (store.addRow(row, i) <= 0) {
            std::fprintf(stderr, "desk %d: row %d: %s\n", index, i, qPrintable(store.errorText()));
            return 1;
        }
        const qint64 ns = clock.nsecsElapsed();
        if (sending)
            sender.wake();
        log.write(QStringLiteral("%1 %2 %3\n").arg(i).arg(nowMs()).arg(ns).toLatin1());
    }
    log.close();
    // Until every row is on the server.
    QElapsedTimer wait;
    wait.start();
    while (sending
           && !(sender.status().state == HistorySenderStatus::State::UpToDate
                && sender.status().confirmedSeq == store.chainHead().count)
           && wait.elapsed() < 300000) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    sender.stop();
    return 0;
}

// ---- ten desks ----

int desks(int count, int rows, int rate, int outageSeconds)
{
    const HistoryServer server = testServer();
    const QString ctl = qEnvironmentVariable("COLORIMETER_TEST_PG_CTL");
    if (!server.isSet() || ctl.isEmpty()) {
        std::fprintf(stderr, "run under scripts/with-postgres.sh\n");
        return 1;
    }
    QTemporaryDir folder;
    std::vector<std::unique_ptr<QProcess>> children;
    for (int i = 0; i < count; ++i) {
        auto child = std::make_unique<QProcess>();
        child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child->start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("desk"), QString::number(i), QString::number(rows), QString::number(rate), folder.path()});
        children.push_back(std::move(child));
    }
    // The server watched: when each desk's count of rows grew (rows arrive in order).
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("watch"));
    server.applyTo(db);
    std::map<QString, std::vector<qint64>> arrived; // desk -> time row i arrived (index i - 1)
    const qint64 start = nowMs();
    const qint64 runMs = qint64(rows) * 1000 / rate;
    const qint64 stopAt = start + runMs / 2, startAgainAt = stopAt + outageSeconds * 1000;
    bool stopped = false, restarted = outageSeconds <= 0;
    qint64 stoppedAt = 0, restartedAt = 0;
    auto allDone = [&] {
        for (auto &c : children)
            if (c->state() != QProcess::NotRunning)
                return false;
        return true;
    };
    while (true) {
        const qint64 now = nowMs();
        if (!stopped && outageSeconds > 0 && now >= stopAt) {
            db.close();
            QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), ctl + QStringLiteral(" stop -m fast")});
            stopped = true;
            stoppedAt = nowMs();
            std::printf("server stopped at %.1f s\n", (stoppedAt - start) / 1000.0);
        }
        if (stopped && !restarted && now >= startAgainAt) {
            QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), ctl + QStringLiteral(" start")});
            restarted = true;
            restartedAt = nowMs();
            std::printf("server started again at %.1f s\n", (restartedAt - start) / 1000.0);
        }
        if (!stopped || restarted) {
            if (!db.isOpen())
                db.open();
            // Each desk's newest row, through the (desk, stored_at) index: rows arrive in order, so
            // its number is how many arrived. (Counting them all every 0.1 s loaded the machine.)
            QSqlQuery q(db);
            bool ok = db.isOpen();
            for (int i = 0; ok && i < count; ++i) {
                const QString name = QStringLiteral("bench-machine-%1:inspector").arg(i);
                ok = q.exec(QStringLiteral("SELECT sequence_no FROM measurements WHERE desk = '%1' "
                                           "ORDER BY stored_at DESC, id DESC LIMIT 1").arg(name));
                const qint64 t = nowMs();
                if (ok && q.next()) {
                    std::vector<qint64> &times = arrived[name];
                    while (qint64(times.size()) < q.value(0).toLongLong())
                        times.push_back(t);
                }
            }
            if (!ok)
                db.close();
        }
        if (allDone() && restarted)
            break;
        QThread::msleep(100);
        for (auto &c : children)
            c->waitForFinished(0);
    }
    // The desks' own record of each row: when it was stored and how long storing took.
    std::vector<double> storeMs, upLatency, beforeLatency, afterLatency, waitedLatency;
    double lastSlowAfter = 0; // the last row stored after the restart that took over 5 s
    for (int i = 0; i < count; ++i) {
        QFile log(folder.filePath(QStringLiteral("desk-%1.times").arg(i)));
        log.open(QIODevice::ReadOnly);
        const std::vector<qint64> &times = arrived[QStringLiteral("bench-machine-%1:inspector").arg(i)];
        for (const QByteArray &line : log.readAll().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() != 3)
                continue;
            const int row = parts[0].toInt();
            const qint64 stored = parts[1].toLongLong();
            storeMs.push_back(parts[2].toLongLong() / 1e6);
            if (row - 1 >= int(times.size()))
                continue;
            const double latency = (times[size_t(row - 1)] - stored) / 1000.0;
            const bool up = !stopped || stored < stoppedAt - 5000 || stored > restartedAt + 1000;
            (up ? upLatency : waitedLatency).push_back(latency);
            if (up && stopped)
                (stored < stoppedAt ? beforeLatency : afterLatency).push_back(latency);
            if (stopped && stored > restartedAt && latency > 5.0)
                lastSlowAfter = std::max(lastSlowAfter, (stored - restartedAt) / 1000.0);
        }
    }
    std::printf("%d desks, %d rows each at %d rows/s a desk\n", count, rows, rate);
    std::printf("storing a row locally: median %.3f ms, 99th percentile %.3f ms, worst %.3f ms (%zu rows)\n",
                percentile(storeMs, 0.5), percentile(storeMs, 0.99), percentile(storeMs, 1.0), storeMs.size());
    std::printf("on the server after being stored, server up: median %.2f s, 99th %.2f s, worst %.2f s (%zu rows; "
                "polled every 0.1 s)\n",
                percentile(upLatency, 0.5), percentile(upLatency, 0.99), percentile(upLatency, 1.0), upLatency.size());
    for (const auto &[when, v] : {std::pair{"before the outage", &beforeLatency}, std::pair{"after it", &afterLatency}})
        if (!v->empty())
            std::printf("  %s: median %.2f s, 99th %.2f s, worst %.2f s, within 5 s: %.2f %% (%zu rows)\n", when,
                        percentile(*v, 0.5), percentile(*v, 0.99), percentile(*v, 1.0),
                        100.0 * double(std::count_if(v->begin(), v->end(), [](double x) { return x <= 5.0; }))
                            / double(v->size()),
                        v->size());
    if (stopped)
        std::printf("  the last row over 5 s was stored %.1f s after the server was started again\n", lastSlowAfter);
    if (!waitedLatency.empty())
        std::printf("rows stored around the %d s outage: worst %.2f s after being stored (%zu rows)\n", outageSeconds,
                    percentile(waitedLatency, 1.0), waitedLatency.size());
    // Duplicates and gaps.
    db.open();
    QSqlQuery q(db);
    q.exec(QStringLiteral("SELECT desk, COUNT(*), COUNT(DISTINCT uuid), MIN(sequence_no), MAX(sequence_no), "
                          "COUNT(DISTINCT sequence_no) FROM measurements GROUP BY desk ORDER BY desk"));
    int good = 0;
    while (q.next()) {
        const bool whole = q.value(1).toInt() == rows && q.value(2).toInt() == rows && q.value(3).toInt() == 1
                           && q.value(4).toInt() == rows && q.value(5).toInt() == rows;
        good += whole;
        if (!whole)
            std::printf("desk %s: %d rows, %d distinct, sequence %d..%d, %d distinct\n", qPrintable(q.value(0).toString()),
                        q.value(1).toInt(), q.value(2).toInt(), q.value(3).toInt(), q.value(4).toInt(), q.value(5).toInt());
    }
    q.exec(QStringLiteral("SELECT COUNT(*) FROM (SELECT chain_id FROM events GROUP BY chain_id "
                          "HAVING COUNT(*) <> MAX(chain_seq) OR COUNT(DISTINCT chain_seq) <> COUNT(*)) AS broken"));
    q.next();
    std::printf("desks with every row once, numbered 1..%d without a gap: %d of %d; chains with a gap or a double: %d\n",
                rows, good, count, q.value(0).toInt());
    return 0;
}

// ---- the filters over a million rows ----

int filters(qint64 rows)
{
    const HistoryServer base = testServer();
    if (!base.isSet()) {
        std::fprintf(stderr, "run under scripts/with-postgres.sh\n");
        return 1;
    }
    HistoryServer server = base;
    server.database = QStringLiteral("bench_filters_%1").arg(rows);
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("admin"));
        base.applyTo(admin);
        admin.open();
        QSqlQuery q(admin);
        q.exec(QStringLiteral("SELECT 1 FROM pg_database WHERE datname = '%1'").arg(server.database));
        const bool exists = q.next();
        q.finish();
        if (!exists) {
            sql(admin, QStringLiteral("CREATE DATABASE %1").arg(server.database));
            HistoryStore store;
            if (!store.open(server)) {
                std::fprintf(stderr, "%s\n", qPrintable(store.errorText()));
                return 1;
            }
            QSqlDatabase db = store.database();
            QElapsedTimer clock;
            clock.start();
            // As bench_historytool's file: 200 rows a run, a year of rows evenly spread, mostly
            // the program's own names, some typed, one in 50,000 a lot number; four instruments.
            const qint64 runs = (rows + 199) / 200;
            sql(db, QStringLiteral("INSERT INTO runs (id, uuid, desk, started_at, ended_at, end_reason, revision) "
                                   "SELECT r, 'run-' || r, 'bench-' || ((r - 1) % 10) || ':inspector', "
                                   "to_char(timestamp '2026-01-01 08:00' + (r - 1) * 200 * interval '31536 ms', "
                                   "'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), NULL, NULL, r FROM generate_series(1, %1) r")
                        .arg(runs));
            sql(db, QStringLiteral(
                        "INSERT INTO measurements (run_id, state, origin, origin_file, stored_at, changed_at, sequence_no, "
                        "test_name, time_text, std_l, std_a, std_b, std_c, std_h, smp_l, smp_a, smp_b, smp_c, smp_h, "
                        "delta_e, verdict, passed, formula_text, threshold_text, device_name, serial_number, "
                        "formula_index, threshold, uuid, desk) "
                        "SELECT i / 200 + 1, (ARRAY['in_table','deleted','cleared','exported','exported','exported','exported'])[(i / 200 + 1) % 7 + 1], "
                        "(ARRAY['measured','measured','measured','pushed','downloaded','imported'])[i % 6 + 1], NULL, s, s, "
                        "i % 200 + 1, CASE WHEN i % 10 = 0 THEN 'Door panel ' || (i % 997) WHEN i % 50000 = 7 THEN "
                        "'Lot K' || i ELSE 'Comp' || (i % 200 + 1) END, '2026/12/08  09:41', 50.12, 10.34, -20.56, "
                        "22.86, 296.7, 50.12 + (i % 300) / 100.0, 10.34 + (i % 70) / 100.0, -20.56 + (i % 130) / 100.0, "
                        "22.9, 296.7, d, CASE WHEN d <= 2 THEN 'PASS' ELSE 'NG' END, CASE WHEN d <= 2 THEN 1 ELSE 0 END, "
                        "'CIEDE2000', '2.0', 'CM-200', (ARRAY['20231234','20231235','20240001','20240002'])[(i / 20000) % 4 + 1], "
                        "5, 2.0, 'row-' || i, 'bench-' || ((i / 200) % 10) || ':inspector' FROM (SELECT i, to_char(timestamp '2026-01-01 08:00' + "
                        "i * interval '31536 ms', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"') AS s, (i * 7919 % 400) / 100.0 AS d "
                        "FROM generate_series(0::bigint, %1) i) AS g")
                        .arg(rows - 1));
            // Ten desks, a run of 200 rows at each in turn, each with its name.
            sql(db, QStringLiteral("INSERT INTO desks (desk, name, named_at) SELECT 'bench-' || d || ':inspector', "
                                   "'Desk ' || d, '2026-01-01T00:00:00.000Z' FROM generate_series(0, 9) d"));
            sql(db, QStringLiteral("VACUUM ANALYZE measurements"));
            sql(db, QStringLiteral("VACUUM ANALYZE runs"));
            std::printf("generated %lld rows on the server in %.0f s\n", static_cast<long long>(rows), clock.elapsed() / 1000.0);
        }
    }
    // The window's own kind of connection: a reader of the server, read-only, in this
    // computer's time zone.
    HistoryReader reader(HistorySource::ofServer(server));
    if (!reader.isOpen()) {
        std::fprintf(stderr, "%s\n", qPrintable(reader.errorText()));
        return 1;
    }
    struct Case
    {
        const char *name;
        HistoryFilter filter;
    };
    std::vector<Case> cases(16);
    cases[0].name = "no filter";
    cases[1].name = "time range (one month)";
    cases[1].filter.storedFrom = QStringLiteral("2026-03-01T00:00:00.000Z");
    cases[1].filter.storedUntil = QStringLiteral("2026-04-01T00:00:00.000Z");
    cases[2].name = "name contains a rare text (\"Lot K\")";
    cases[2].filter.nameContains = QStringLiteral("Lot K");
    cases[3].name = "name contains a common text (\"panel 9\")";
    cases[3].filter.nameContains = QStringLiteral("panel 9");
    cases[4].name = "name contains one character (\"7\")";
    cases[4].filter.nameContains = QStringLiteral("7");
    cases[5].name = "name contains a text stored nowhere (\"Bumper\")";
    cases[5].filter.nameContains = QStringLiteral("Bumper");
    cases[6].name = "serial number";
    cases[6].filter.serialNumber = QStringLiteral("20240001");
    cases[7].name = "verdict NG";
    cases[7].filter.verdict = HistoryFilter::Verdict::Ng;
    cases[8].name = "origin imported";
    cases[8].filter.origin = int(HistoryOrigin::Imported);
    cases[9].name = "state deleted";
    cases[9].filter.state = int(HistoryRowState::Deleted);
    cases[10].name = "one run";
    cases[10].filter.runs = {2500};
    cases[11].name = "serial, NG, one month and a name";
    cases[11].filter = cases[1].filter;
    cases[11].filter.serialNumber = QStringLiteral("20231235");
    cases[11].filter.verdict = HistoryFilter::Verdict::Ng;
    cases[11].filter.nameContains = QStringLiteral("Comp1");
    cases[12].name = "one desk (of ten)";
    cases[12].filter.desk = QStringLiteral("bench-3:inspector");
    cases[13].name = "name contains one letter (\"o\")";
    cases[13].filter.nameContains = QStringLiteral("o");
    cases[14].name = "one desk, NG, one month";
    cases[14].filter = cases[1].filter;
    cases[14].filter.desk = QStringLiteral("bench-7:inspector");
    cases[14].filter.verdict = HistoryFilter::Verdict::Ng;
    cases[15].name = "one desk and a name";
    cases[15].filter.desk = QStringLiteral("bench-1:inspector");
    cases[15].filter.nameContains = QStringLiteral("panel 9");
    QSqlDatabase readerDb = reader.database();
    {
        // The desk filter's choices, as the window reads them (a jump through the index per desk).
        std::vector<double> ms;
        int found = 0;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer clock;
            clock.start();
            QSqlQuery q(readerDb);
            q.setForwardOnly(true);
            q.exec(QStringLiteral(
                "WITH RECURSIVE d(desk) AS (SELECT MIN(desk) FROM measurements UNION ALL "
                "SELECT (SELECT MIN(m.desk) FROM measurements m WHERE m.desk > d.desk) FROM d WHERE d.desk IS NOT NULL) "
                "SELECT d.desk, n.name FROM d LEFT JOIN desks n ON n.desk = d.desk WHERE d.desk IS NOT NULL"));
            found = 0;
            while (q.next())
                ++found;
            ms.push_back(clock.nsecsElapsed() / 1e6);
        }
        std::printf("the desks and their names: %d desks, %.1f ms (median of 5)\n", found, percentile(ms, 0.5));
    }
    HistoryRowsModel model(readerDb);
    for (const Case &c : cases) {
        std::vector<double> ms;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer clock;
            clock.start();
            model.setFilter(c.filter);
            model.data(model.index(0, HistoryRowsModel::ColTestName));
            ms.push_back(clock.nsecsElapsed() / 1e6);
        }
        std::printf("filter %-48s %8d rows  %7.1f ms (count and first block, median of 5)%s\n", c.name,
                    model.rowCount(), percentile(ms, 0.5),
                    model.lastError().isEmpty() ? "" : qPrintable(QStringLiteral(" ERROR ") + model.lastError()));
        if (qEnvironmentVariableIsSet("BENCH_PLANS")) {
            const HistoryWhere where = historyWhere(c.filter, readerDb);
            QSqlQuery plan(readerDb);
            plan.prepare(QStringLiteral("EXPLAIN SELECT m.id FROM measurements m%1 ORDER BY m.stored_at DESC, m.id DESC "
                                        "LIMIT 256").arg(where.sql));
            for (const QVariant &bind : where.binds)
                plan.addBindValue(bind);
            plan.exec();
            while (plan.next())
                std::printf("    %s\n", qPrintable(plan.value(0).toString()));
        }
    }
    for (const auto &[name, column] : {std::pair{"ΔE", int(HistoryRowsModel::ColDeltaE)},
                                       std::pair{"test name", int(HistoryRowsModel::ColTestName)}}) {
        model.setFilter(HistoryFilter());
        QElapsedTimer clock;
        clock.start();
        model.sort(column, Qt::AscendingOrder);
        model.data(model.index(0, 0));
        std::printf("sorted by %-10s first block: %7.1f ms\n", name, clock.nsecsElapsed() / 1e6);
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    if (mode == QLatin1String("desk"))
        return desk(args.value(2).toInt(), args.value(3).toInt(), args.value(4).toInt(), args.value(5));
    if (mode == QLatin1String("desks"))
        return desks(args.size() > 2 ? args.at(2).toInt() : 10, args.size() > 3 ? args.at(3).toInt() : 10000,
                     args.size() > 4 ? args.at(4).toInt() : 100, args.size() > 5 ? args.at(5).toInt() : 30);
    if (mode == QLatin1String("filters"))
        return filters(args.size() > 2 ? args.at(2).toLongLong() : 1000000);
    std::fprintf(stderr, "bench_historyserver desks [desks] [rows] [rate] [outage s] | filters [rows]\n");
    return 2;
}
