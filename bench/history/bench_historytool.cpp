// The history as a tool, on a long history: a file of N rows (default 1,000,000) is generated
// with its chain of events (one Added event per row, and a state event for each row that left
// the table), then timed: each filter of the history window (counting its rows and reading the
// first block, as the window shows it), sorting, jumping to the end and the middle, exporting
// 100,000 rows to CSV and .xlsx, checking the chain and every row against its events, storing
// one row with its event, and keeping the chain's head in the settings file. Peak memory last.
//
//   bench_historytool [rows, default 1000000] [folder]
//   bench_historytool [rows] folder check [times, default 3]
//
// The second form only checks the history, as often as asked, and prints each check's wall and
// CPU time with the check's own log of its two parts (the chain, then the rows).
//
// The generated file is kept in the folder (default: a temporary one) as
// bench-history-<rows>.sqlite and used again by the next run with the same folder. Give a
// folder on the disk the program uses: storing a row waits for the disk.
#include "historyexport.h"
#include "historymodels.h"
#include "historystore.h"
#include "usersettings.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <sys/resource.h>

namespace {

const char *const kStates[] = {"in_table", "deleted", "cleared", "exported", "exported", "exported", "exported"};
const char *const kOrigins[] = {"measured", "measured", "measured", "pushed", "downloaded", "imported"};
const char *const kSerials[] = {"20231234", "20231235", "20240001", "20240002"};
constexpr int kRowsPerRun = 200;

HistoryRow generatedRow(qint64 i)
{
    HistoryRow r;
    r.origin = HistoryOrigin::Measured;
    historyOriginFromName(QLatin1String(kOrigins[i % 6]), &r.origin);
    if (r.origin == HistoryOrigin::Imported)
        r.originFile = QStringLiteral("/home/lab/lot %1.xls").arg(i / 5000);
    r.sequence = double(i % kRowsPerRun + 1);
    // Mostly the program's own names, some typed ones; one in 50,000 is a lot number.
    r.testName = i % 10 == 0 ? QStringLiteral("Door panel %1").arg(i % 997)
                 : i % 50000 == 7 ? QStringLiteral("Lot K%1").arg(i)
                                  : QStringLiteral("Comp%1").arg(i % kRowsPerRun + 1);
    r.timeText = QStringLiteral("2026/12/08  09:41");
    r.standard = {50.12, 10.34, -20.56, 22.86, 296.7};
    r.sample = {50.12 + (i % 300) / 100.0, 10.34 + (i % 70) / 100.0, -20.56 + (i % 130) / 100.0, 22.9, 296.7};
    r.deltaE = (i * 7919 % 400) / 100.0;
    r.passed = r.deltaE <= 2.0 ? 1 : 0;
    r.verdict = r.passed ? QStringLiteral("PASS") : QStringLiteral("NG");
    r.formulaText = QStringLiteral("CIEDE2000");
    r.thresholdText = QStringLiteral("2.0");
    r.deviceName = QStringLiteral("CM-200");
    r.serialNumber = QLatin1String(kSerials[(i / 20000) % 4]);
    r.formulaIndex = 5;
    r.threshold = 2.0;
    return r;
}

// One year of rows, evenly spread.
QString storedAt(qint64 i, qint64 rows)
{
    static const QDateTime start(QDate(2026, 1, 1), QTime(8, 0), Qt::UTC);
    return start.addMSecs(i * (365LL * 24 * 3600 * 1000 / rows)).toString(Qt::ISODateWithMs);
}

bool generate(const QString &file, qint64 rows)
{
    {
        HistoryStore store;
        if (!store.open(file)) {
            std::fprintf(stderr, "cannot open: %s\n", qPrintable(store.errorText()));
            return false;
        }
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
    db.setDatabaseName(file);
    db.open();
    QSqlQuery q(db);
    q.exec(QStringLiteral("PRAGMA synchronous=OFF"));
    q.exec(QStringLiteral("SELECT chain_id FROM history_schema"));
    q.next();
    const QString chain = q.value(0).toString();
    const HistoryIdentity who{QStringLiteral("inspector"), QStringLiteral("lab-desk-3"), QStringLiteral("bench:inspector")};
    db.transaction();
    QSqlQuery run(db), row(db), event(db);
    run.prepare(QStringLiteral("INSERT INTO runs (id, started_at, ended_at, end_reason, exported_to, uuid, desk) "
                               "VALUES (?, ?, ?, ?, ?, ?, ?)"));
    row.prepare(QStringLiteral(
        "INSERT INTO measurements (id, run_id, state, origin, origin_file, stored_at, changed_at, sequence_no, "
        "test_name, time_text, std_l, std_a, std_b, std_c, std_h, smp_l, smp_a, smp_b, smp_c, smp_h, delta_e, "
        "verdict, passed, formula_text, threshold_text, device_name, serial_number, formula_index, threshold, uuid, "
        "desk) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    event.prepare(QStringLiteral("INSERT INTO events (chain_id, chain_seq, uuid, at, login, host, desk, kind, row_uuid, "
                                 "old_value, new_value, hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    qint64 seq = 0;
    QString previous;
    auto addEvent = [&](HistoryEventKind kind, const QString &rowUuid, const QString &oldValue,
                        const QString &newValue, const QString &at) {
        HistoryEvent e{chain, ++seq, QStringLiteral("ev-%1").arg(seq), at, who.login, who.host, who.desk, kind,
                       rowUuid, oldValue, newValue, QString()};
        e.hash = e.computeHash(previous);
        previous = e.hash;
        for (const QVariant &v : {QVariant(e.chainId), QVariant(e.sequence), QVariant(e.uuid), QVariant(e.at),
                                  QVariant(e.login), QVariant(e.host), QVariant(e.desk),
                                  QVariant(historyEventKindName(kind)), QVariant(e.rowUuid), QVariant(e.oldValue),
                                  QVariant(e.newValue), QVariant(e.hash)})
            event.addBindValue(v);
        return event.exec();
    };
    QElapsedTimer clock;
    clock.start();
    const QJsonObject inTable{{QStringLiteral("state"), QStringLiteral("in_table")}};
    for (qint64 i = 0; i < rows; ++i) {
        const qint64 runId = i / kRowsPerRun + 1;
        const QString runUuid = QStringLiteral("run-%1").arg(runId);
        const QString state = QLatin1String(kStates[runId % 7]);
        const QString stored = storedAt(i, rows);
        if (i % kRowsPerRun == 0) {
            const bool exported = state == QLatin1String("exported");
            for (const QVariant &v : {QVariant(runId), QVariant(stored), QVariant(storedAt(i + kRowsPerRun - 1, rows)),
                                      QVariant(exported ? QStringLiteral("exported") : QStringLiteral("cleared")),
                                      exported ? QVariant(QStringLiteral("/home/lab/run%1.xls").arg(runId))
                                               : QVariant(QMetaType::fromType<QString>()),
                                      QVariant(runUuid), QVariant(who.desk)})
                run.addBindValue(v);
            run.exec();
        }
        const HistoryRow r = generatedRow(i);
        const QString uuid = QStringLiteral("row-%1").arg(i);
        // A run's rows end as the run did: in the table (the last run), deleted, cleared or exported.
        const QString rowState = runId == (rows - 1) / kRowsPerRun + 1 ? QStringLiteral("in_table") : state;
        for (const QVariant &v :
             {QVariant(i + 1), QVariant(runId), QVariant(rowState), QVariant(historyOriginName(r.origin)),
              r.originFile.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(r.originFile),
              QVariant(stored), QVariant(stored), QVariant(r.sequence), QVariant(r.testName), QVariant(r.timeText),
              QVariant(r.standard[0]), QVariant(r.standard[1]), QVariant(r.standard[2]), QVariant(r.standard[3]),
              QVariant(r.standard[4]), QVariant(r.sample[0]), QVariant(r.sample[1]), QVariant(r.sample[2]),
              QVariant(r.sample[3]), QVariant(r.sample[4]), QVariant(r.deltaE), QVariant(r.verdict),
              QVariant(r.passed), QVariant(r.formulaText), QVariant(r.thresholdText), QVariant(r.deviceName),
              QVariant(r.serialNumber), QVariant(r.formulaIndex), QVariant(r.threshold), QVariant(uuid),
              QVariant(who.desk)})
            row.addBindValue(v);
        bool ok = row.exec()
                  && addEvent(HistoryEventKind::Added, uuid, QStringLiteral("{}"),
                              historyJson(historyRowContent(r, runUuid)), stored);
        if (ok && rowState != QLatin1String("in_table")) {
            HistoryEventKind kind = HistoryEventKind::Cleared;
            QJsonObject after{{QStringLiteral("state"), rowState}};
            if (rowState == QLatin1String("deleted"))
                kind = HistoryEventKind::Deleted;
            else if (rowState == QLatin1String("exported")) {
                kind = HistoryEventKind::Exported;
                after.insert(QStringLiteral("file"), QStringLiteral("/home/lab/run%1.xls").arg(runId));
            }
            ok = addEvent(kind, uuid, historyJson(inTable), historyJson(after), stored);
        }
        if (!ok) {
            std::fprintf(stderr, "generating failed at row %lld: %s / %s\n", static_cast<long long>(i),
                         qPrintable(row.lastError().text()), qPrintable(event.lastError().text()));
            return false;
        }
        if ((i + 1) % 100000 == 0)
            std::fprintf(stderr, "generated %lld rows, %.0f s\n", static_cast<long long>(i + 1), clock.elapsed() / 1000.0);
    }
    db.commit();
    q.exec(QStringLiteral("ANALYZE"));
    q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    q.finish();
    run.finish();
    row.finish();
    event.finish();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    std::printf("generated %lld rows with %lld events in %.0f s\n", static_cast<long long>(rows),
                static_cast<long long>(seq), clock.elapsed() / 1000.0);
    return true;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The median of five runs of what, in milliseconds.
double timed(const std::function<void()> &what, int runs = 5)
{
    std::vector<double> ms;
    QElapsedTimer clock;
    for (int i = 0; i < runs; ++i) {
        clock.start();
        what();
        ms.push_back(clock.nsecsElapsed() / 1e6);
    }
    return median(ms);
}

double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakMegabytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qint64 rows = args.size() > 1 ? args.at(1).toLongLong() : 1000000;
    QTemporaryDir tmp;
    const QString folder = args.size() > 2 ? args.at(2) : tmp.path();
    const QString file = folder + QStringLiteral("/bench-history-%1.sqlite").arg(rows);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder + QStringLiteral("/config")));

    if (!QFileInfo::exists(file) && !generate(file, rows))
        return 1;
    std::printf("file: %.0f MB for %lld rows\n", QFileInfo(file).size() / 1e6, static_cast<long long>(rows));

    QElapsedTimer clock;
    clock.start();
    HistoryStore store;
    if (!store.open(file)) {
        std::fprintf(stderr, "cannot open: %s\n", qPrintable(store.errorText()));
        return 1;
    }
    std::printf("opening the history (its first page, schema and the tables' last pages; the whole-file check runs after start): %.0f ms\n", clock.nsecsElapsed() / 1e6);
    const long afterOpen = peakMegabytes();

    if (args.size() > 3 && args.at(3) == QLatin1String("check")) {
        QLoggingCategory::setFilterRules(QStringLiteral("colorimeter.history.info=true"));
        const int times = args.size() > 4 ? args.at(4).toInt() : 3;
        std::vector<double> walls, cpus;
        for (int i = 0; i < times; ++i) {
            const double cpu = cpuSeconds();
            clock.start();
            const HistoryCheck check = store.checkHistory(store.chainHead());
            walls.push_back(clock.nsecsElapsed() / 1e6);
            cpus.push_back((cpuSeconds() - cpu) * 1e3);
            std::printf("check history (%s): %.0f ms, %.0f ms CPU\n", qPrintable(check.text()), walls.back(), cpus.back());
            std::fflush(stdout);
        }
        std::printf("check history: median %.0f ms, %.0f ms CPU; peak memory %ld MB\n", median(walls), median(cpus),
                    peakMegabytes());
        return 0;
    }

    // Each filter as the window asks for it: the count, then the first block shown.
    struct Case
    {
        const char *name;
        HistoryFilter filter;
    };
    std::vector<Case> cases(12);
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
    HistoryRowsModel model(store.database());
    for (const Case &c : cases) {
        const double ms = timed([&] {
            model.setFilter(c.filter);
            model.data(model.index(0, HistoryRowsModel::ColTestName));
        });
        std::printf("filter %-48s %8d rows  %7.1f ms (count and first block, median of 5)\n", c.name,
                    model.rowCount(), ms);
    }
    model.setFilter(HistoryFilter());
    for (const auto &[name, column] : {std::pair{"ΔE", int(HistoryRowsModel::ColDeltaE)},
                                       std::pair{"test name", int(HistoryRowsModel::ColTestName)},
                                       std::pair{"sample L*", int(HistoryRowsModel::ColSampleL)}}) {
        const double ms = timed([&] {
            model.sort(column, Qt::AscendingOrder);
            model.data(model.index(0, 0));
        }, 3);
        std::printf("sorted by %-10s first block: %7.1f ms (median of 3)\n", name, ms);
    }
    model.sort(HistoryRowsModel::ColStoredAt, Qt::DescendingOrder);
    std::vector<double> jumps;
    for (int row : {model.rowCount() - 1, model.rowCount() / 2, model.rowCount() / 4, 3 * model.rowCount() / 4}) {
        clock.start();
        model.data(model.index(row, 0));
        jumps.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::printf("jumping to the last row: %.1f ms, the middle: %.1f ms, a quarter: %.1f ms, three quarters: %.1f ms\n",
                jumps[0], jumps[1], jumps[2], jumps[3]);
    {
        // Scrolling block after block from a place far down: each from where the one before ended.
        std::vector<double> steps;
        for (int b = 0; b < 40; ++b) {
            clock.start();
            model.data(model.index(model.rowCount() / 2 + b * HistoryWindowedModel::kBlockRows, 0));
            steps.push_back(clock.nsecsElapsed() / 1e6);
        }
        std::printf("scrolling on block by block from the middle: median %.2f ms, worst %.2f ms a block\n",
                    median(steps), *std::max_element(steps.begin(), steps.end()));
    }

    // 100,000 rows out: the rows of the first 500 runs.
    HistorySelection hundredThousand;
    for (qint64 r = 1; r <= 500; ++r)
        hundredThousand.filter.runs << r;
    HistoryExport exporter(store.database());
    for (const char *kind : {"CSV", ".xlsx", ".xls"}) {
        const QString out = folder + QStringLiteral("/bench-export.") + QString::fromLatin1(kind).mid(kind[0] == '.' ? 1 : 0).toLower();
        clock.start();
        const bool ok = kind[0] == 'C' ? exporter.writeCsv(hundredThousand, out)
                                       : exporter.writeSheet(hundredThousand, out, false);
        std::printf("export of %lld rows to %s: %.0f ms%s\n", static_cast<long long>(exporter.rowsWritten()), kind,
                    clock.nsecsElapsed() / 1e6, ok ? "" : qPrintable(QStringLiteral(" FAILED: ") + exporter.errorText()));
        QFile::remove(out);
    }

    clock.start();
    const HistoryCheck check = store.checkHistory(store.chainHead());
    std::printf("check history (%s): %.0f ms\n", qPrintable(check.text()), clock.nsecsElapsed() / 1e6);

    // Storing: a row with its event, as the program stores a measurement.
    std::vector<double> stores;
    for (int n = 1; n <= 1000; ++n) {
        HistoryRow r = generatedRow(rows + n);
        clock.start();
        if (store.addRow(r, n) <= 0) {
            std::fprintf(stderr, "store failed: %s\n", qPrintable(store.errorText()));
            return 1;
        }
        stores.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(stores.begin(), stores.end());
    std::printf("storing a row with its event at %lld rows: median %.3f ms, 99th %.3f ms, worst %.3f ms\n",
                static_cast<long long>(rows), median(stores), stores[stores.size() * 99 / 100], stores.back());
    {
        // What the program adds to each write: the chain's head into the settings file.
        std::unique_ptr<QSettings> settings = openUserSettings();
        std::vector<double> keeps;
        for (int n = 0; n < 500; ++n) {
            clock.start();
            settings->setValue(QStringLiteral("historyChain/bench/count"), n);
            settings->setValue(QStringLiteral("historyChain/bench/hash"), QString(64, QChar(u'a' + n % 6)));
            settings->sync();
            keeps.push_back(clock.nsecsElapsed() / 1e6);
        }
        std::printf("keeping the chain's head in the settings file: median %.3f ms\n", median(keeps));
    }
    std::printf("peak memory: %ld MB (%ld MB after opening)\n", peakMegabytes(), afterOpen);
    return 0;
}
