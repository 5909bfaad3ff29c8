// Storing rows in the history as the table gains them, with a long history behind: the time of
// one row (median and worst), as the program stores it (with the run's new last test number, in
// one commit) and as a row alone (an imported one, or the program before it kept the number),
// taken in turns; and the file size per 10,000 rows. Then the rows timed, left as an
// unfinished run, are put back into a page's table as the next start does.
//
//   QT_QPA_PLATFORM=offscreen bench_history ...
//
//   bench_history [rows already stored, default 95000] [rows timed, default 5000] [folder]
//
// The folder defaults to a temporary one; give a folder on the disk the program will use, since
// each row waits for the disk.
#include "autoanswermodal.h"
#include "firstpagefortesk.h"
#include "historycontroller.h"
#include "historystore.h"
#include "modal.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <unistd.h>
#include <cstdio>
#include <vector>

namespace {

HistoryRow rowNumber(int n)
{
    HistoryRow r;
    r.sequence = n;
    r.testName = QStringLiteral("Comp%1").arg(n);
    r.timeText = QStringLiteral("2026/12/08  09:41");
    r.standard = {50.12, 10.34, -20.56, 22.86, 296.7};
    r.sample = {52.01, 13.22, -16.48, 21.04, 308.6};
    r.deltaE = 5.39;
    r.verdict = QStringLiteral("NG");
    r.passed = 0;
    r.formulaText = QStringLiteral("△E*ab");
    r.thresholdText = QStringLiteral("2.0");
    r.deviceName = QStringLiteral("CM-200");
    r.serialNumber = QStringLiteral("20231234");
    r.formulaIndex = 0;
    r.threshold = 2.0;
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int before = args.size() > 1 ? args.at(1).toInt() : 95000;
    const int timed = args.size() > 2 ? args.at(2).toInt() : 5000;
    QTemporaryDir tmp(args.size() > 3 ? args.at(3) + QStringLiteral("/bench-history-XXXXXX") : QString());
    const QString file = tmp.filePath(QStringLiteral("history.sqlite"));

    HistoryStore store;
    if (!store.open(file)) {
        std::fprintf(stderr, "cannot open: %s\n", qPrintable(store.errorText()));
        return 1;
    }
    // The history behind: filled through a connection of our own in one transaction (the
    // program never does this; it only makes the start point quick to reach).
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(file);
        db.open();
        db.transaction();
        QSqlQuery q(db);
        q.exec(QStringLiteral("INSERT INTO runs (started_at, ended_at, end_reason) VALUES ('x', 'y', 'cleared')"));
        const QVariant run = q.lastInsertId();
        q.prepare(QStringLiteral(
            "INSERT INTO measurements (run_id, state, origin, stored_at, changed_at, sequence_no, test_name, "
            "time_text, std_l, std_a, std_b, std_c, std_h, smp_l, smp_a, smp_b, smp_c, smp_h, delta_e, verdict, "
            "passed, formula_text, threshold_text, device_name, serial_number, formula_index, threshold) "
            "VALUES (?, 'cleared', 'measured', '2026-12-08T09:41:00.000Z', '2026-12-08T09:41:00.000Z', ?, ?, "
            "'2026/12/08  09:41', 50.12, 10.34, -20.56, 22.86, 296.7, 52.01, 13.22, -16.48, 21.04, 308.6, "
            "5.39, 'NG', 0, '△E*ab', '2.0', 'CM-200', '20231234', 0, 2.0)"));
        for (int n = 1; n <= before; ++n) {
            q.addBindValue(run);
            q.addBindValue(n);
            q.addBindValue(QStringLiteral("Comp%1").arg(n));
            q.exec();
        }
        db.commit();
        q.finish();
        q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));

    std::vector<double> numbered, alone;
    numbered.reserve(timed);
    alone.reserve(timed);
    QElapsedTimer clock;
    for (int n = 1; n <= timed; ++n) {
        const HistoryRow row = rowNumber(before + n);
        const bool withNumber = n % 2 == 1;
        clock.start();
        const qint64 id = withNumber ? store.addRow(row, n) : store.addRow(row);
        (withNumber ? numbered : alone).push_back(clock.nsecsElapsed() / 1e6);
        if (id <= 0) {
            std::fprintf(stderr, "store failed: %s\n", qPrintable(store.errorText()));
            return 1;
        }
    }
    std::sort(numbered.begin(), numbered.end());
    std::sort(alone.begin(), alone.end());
    {
        // What the disk itself takes to confirm a small write: the floor under each row.
        QFile probe(tmp.filePath(QStringLiteral("flush-probe")));
        probe.open(QIODevice::WriteOnly);
        std::vector<double> flush;
        for (int i = 0; i < 200; ++i) {
            probe.write(QByteArray(4096, 'x'));
            probe.flush();
            clock.start();
            ::fsync(probe.handle());
            flush.push_back(clock.nsecsElapsed() / 1e6);
        }
        std::sort(flush.begin(), flush.end());
        std::printf("the disk's own flush of 4 KiB: median %.3f ms\n", flush[flush.size() / 2]);
    }
    for (const auto &[what, ms] : {std::pair{"with the run's test number", &numbered}, std::pair{"alone", &alone}}) {
        const std::vector<double> &sorted = *ms;
        std::printf("storing one row (%s) at %d..%d rows of history: median %.3f ms, 99th %.3f ms, worst %.3f ms\n",
                    what, before, before + timed, sorted[sorted.size() / 2], sorted[sorted.size() * 99 / 100],
                    sorted.back());
    }

    store.close();

    {
        // The rows of a record download or an import go in as one batch: one wait for the disk.
        HistoryStore batchStore;
        if (!batchStore.open(tmp.filePath(QStringLiteral("batch.sqlite")))) {
            std::fprintf(stderr, "cannot open: %s\n", qPrintable(batchStore.errorText()));
            return 1;
        }
        QList<HistoryRow> batch;
        batch.reserve(timed);
        for (int n = 1; n <= timed; ++n)
            batch.append(rowNumber(n));
        clock.start();
        const qsizetype stored = batchStore.addRows(batch).size();
        const double batchMs = clock.nsecsElapsed() / 1e6;
        double oneByOne = 0;
        for (const std::vector<double> *timings : {&numbered, &alone})
            for (double each : *timings)
                oneByOne += each;
        std::printf("storing %lld rows as one batch: %.1f ms (one by one, above: %.0f ms)\n",
                    static_cast<long long>(stored), batchMs, oneByOne);
    }

    clock.start();
    HistoryStore again;
    again.open(file);
    std::printf("opening (integrity check included) at %lld rows: %.1f ms\n",
                static_cast<long long>(again.rowCount()), clock.nsecsElapsed() / 1e6);
    again.close();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("size"));
        db.setDatabaseName(file);
        db.open();
        QSqlQuery q(db);
        q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("size"));
    const double bytes = QFileInfo(file).size();
    std::printf("file size: %.1f MB for %d rows, %.2f MB per 10,000 rows\n", bytes / 1e6, before + timed,
                bytes / (before + timed) * 10000 / 1e6);

    {
        // The history's share of the start: open (with its check), find the rows, take them.
        const QString copy = file + QStringLiteral(".copy");
        QFile::copy(file, copy);
        HistoryStore probe;
        clock.start();
        probe.open(copy);
        const double opened = clock.nsecsElapsed() / 1e6;
        const int found = probe.unfinishedRows().size();
        const double read = clock.nsecsElapsed() / 1e6;
        probe.adoptUnfinishedRows();
        std::printf("of which the history: open %.0f ms, reading %d rows %.0f ms, taking them %.0f ms\n", opened,
                    found, read - opened, clock.nsecsElapsed() / 1e6 - read);
    }

    // The next start: the offer answered Yes, the rows put back, the table laid out.
    AutoAnswerModal yes([](const QString &) {});
    Modal::setHandler(&yes);
    FirstPageForTesk page;
    page.resize(1280, 800);
    page.show();
    QCoreApplication::processEvents();
    HistoryController history(&page, &page);
    clock.start();
    history.start(file);
    const double started = clock.nsecsElapsed() / 1e6;
    QCoreApplication::processEvents();
    const double shown = clock.nsecsElapsed() / 1e6;
    std::printf("restoring %d rows at start: %.0f ms (open, check, offer and rows), %.0f ms until shown\n",
                page.rowCount(), started, shown);

    // The share of the table alone: the same rows appended to a fresh page.
    QList<MeasurementRecord> records;
    for (int r = 0; r < page.rowCount(); ++r)
        records << page.rowRecord(r);
    FirstPageForTesk bare;
    bare.resize(1280, 800);
    bare.show();
    QCoreApplication::processEvents();
    clock.start();
    bare.restoreRows(records, 0);
    const double appended = clock.nsecsElapsed() / 1e6;
    QCoreApplication::processEvents();
    std::printf("of which the table: %.0f ms appending, %.0f ms until shown\n", appended,
                clock.nsecsElapsed() / 1e6);
    Modal::setHandler(nullptr);
    return 0;
}
