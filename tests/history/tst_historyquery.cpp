// The history as the history window reads it, on a generated history of 2,000 rows: every filter
// against a plain SQL count and order, each served by an index (EXPLAIN QUERY PLAN), sorting by
// columns with and without NULLs, reading in blocks only as rows are asked for; the exports read
// back by Python's csv, openpyxl and xlrd and by argyll's colverify; the trend numbers against
// Python's statistics.
#include "deltae.h"
#include "historyexport.h"
#include "historymodels.h"
#include "historyplace.h"
#include "historystore.h"
#include "historyreader.h"
#include "historytask.h"
#include "historytrend.h"
#include "testbase.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

constexpr int kRows = 2000;

QString dataFile(const char *name)
{
    return qEnvironmentVariable("COLORIMETER_TEST_DATA") + QStringLiteral("/data/") + QLatin1String(name);
}

QStringList run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {QStringLiteral("did not run: ") + program};
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError())
        .split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class tst_HistoryQuery : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void filters_data();
    void filters();
    void sorting_data();
    void sorting();
    void rowsAreReadOnlyAsAskedFor();
    void runs();
    void csvReadBackByPython_data();
    void csvReadBackByPython();
    void sheetReadBackByPython_data();
    void sheetReadBackByPython();
    void cgatsReadByColverify();
    void trendAgainstPython();
    void taskStopsALongStatement();
    void trendDaysAreThisComputers();

private:
    QList<qint64> plainIds(const QString &where, const QString &order = QStringLiteral("stored_at DESC, id DESC"));
    // What Python reads: the file, or the database on the server.
    QString file() const { return place->pythonTarget(); }

    QTemporaryDir tmp;
    std::unique_ptr<testsupport::HistoryPlace> place;
    HistoryStore store;
};

void tst_HistoryQuery::initTestCase()
{
    qputenv("TZ", "UTC");
    const QString missing = testsupport::HistoryPlace::unavailable();
    if (!missing.isEmpty()) {
        if (testsupport::HistoryPlace::required())
            QFAIL(qPrintable(missing));
        QSKIP(qPrintable(missing));
    }
    place = std::make_unique<testsupport::HistoryPlace>(tmp.path());
    QVERIFY2(place->ready(), qPrintable(place->error()));
    QVERIFY2(place->open(store), qPrintable(store.errorText()));
    if (store.isOnServer()) {
        // The plain SQL below names SQLite's instr(); the server is given one of its own.
        QVERIFY(place->exec({"CREATE FUNCTION instr(a text, b text) RETURNS integer "
                             "AS 'SELECT strpos(a, b)' LANGUAGE sql IMMUTABLE"}));
    }
    // The rows written straight into the file in one transaction: the store's own writing is
    // tested elsewhere, and these tests read. The names index fills itself through its triggers.
    QSqlDatabase db = store.database();
    QVERIFY(db.transaction());
    QSqlQuery q(db);
    for (int run = 1; run <= kRows / 100; ++run)
        QVERIFY(q.exec(QStringLiteral("INSERT INTO runs (id, started_at, ended_at, end_reason, uuid) VALUES "
                                      "(%1, '2026-11-%2T08:00:00.000Z', NULL, NULL, 'run-%1')")
                           .arg(run)
                           .arg(run, 2, 10, QLatin1Char('0'))));
    QVERIFY(q.prepare(
        "INSERT INTO measurements (run_id, state, origin, origin_file, stored_at, changed_at, sequence_no, test_name, "
        "time_text, std_l, std_a, std_b, std_c, std_h, smp_l, smp_a, smp_b, smp_c, smp_h, delta_e, verdict, passed, "
        "formula_text, threshold_text, device_name, serial_number, formula_index, threshold, uuid, desk) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const char *const states[] = {"in_table", "deleted", "cleared", "exported", "not_restored", "in_table"};
    const char *const origins[] = {"measured", "pushed", "downloaded", "imported"};
    const char *const serials[] = {"20231234", "20231235", "20240001"};
    const QDateTime start(QDate(2026, 11, 1), QTime(0, 0), Qt::UTC);
    QRandomGenerator random(24);
    for (int i = 0; i < kRows; ++i) {
        QString name;
        switch (i % 7) {
        case 0: name = QStringLiteral("Door panel %1").arg(i); break;
        case 1: name = QStringLiteral("红色%1").arg(i % 9); break;
        case 2: name = QStringLiteral("Lot_%1%").arg(i % 4); break;
        case 3: name = QStringLiteral("Hood, \"left\" %1").arg(i % 5); break;
        case 4: name = QStringLiteral("=SUM(A%1)").arg(i % 3); break;
        default: name = QStringLiteral("Comp%1").arg(i % 50); break;
        }
        const bool unjudged = i % 11 == 0;
        const int passed = i % 5 == 0 ? 0 : 1;
        const QString stored = start.addSecs(qint64(i) * 37 * 60 + random.bounded(60)).toString(Qt::ISODateWithMs);
        const int origin = i % 4;
        const double threshold = i < kRows / 2 ? 2.0 : 3.0;
        q.addBindValue(i / 100 + 1);
        q.addBindValue(QLatin1String(states[i % 6]));
        q.addBindValue(QLatin1String(origins[origin]));
        q.addBindValue(origin == 3 ? QVariant(QStringLiteral("/lab/in %1.xls").arg(i % 3)) : QVariant(QMetaType::fromType<QString>()));
        q.addBindValue(stored);
        q.addBindValue(stored);
        q.addBindValue(i % 100 + 1);
        q.addBindValue(name);
        q.addBindValue(QStringLiteral("2026/11/%1  08:%2").arg(1 + i / 40, 2, 10, QLatin1Char('0')).arg(i % 60, 2, 10, QLatin1Char('0')));
        for (int k = 0; k < 10; ++k) // hundredths, as the instrument gives them
            q.addBindValue((k % 5 == 4 ? random.bounded(36000) : random.bounded(20000) - (k % 5 == 0 ? 0 : 10000)) / 100.0);
        q.addBindValue(unjudged ? QVariant(QMetaType::fromType<double>()) : QVariant(random.bounded(600) / 100.0));
        q.addBindValue(unjudged ? QString() : passed ? QStringLiteral("PASS") : QStringLiteral("NG"));
        q.addBindValue(unjudged ? QVariant(QMetaType::fromType<int>()) : QVariant(passed));
        q.addBindValue(QStringLiteral("CIEDE2000"));
        q.addBindValue(QString::number(threshold, 'f', 1));
        q.addBindValue(QStringLiteral("CM-200"));
        q.addBindValue(QLatin1String(serials[i % 3]));
        q.addBindValue(origin == 3 ? QVariant(QMetaType::fromType<int>()) : QVariant(5));
        q.addBindValue(origin == 3 ? QVariant(QMetaType::fromType<double>()) : QVariant(threshold));
        q.addBindValue(QStringLiteral("row-%1").arg(i));
        q.addBindValue(i % 5 == 2 ? QStringLiteral("machine-b:lab") : QStringLiteral("desk"));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }
    QVERIFY(db.commit());
}

QList<qint64> tst_HistoryQuery::plainIds(const QString &where, const QString &order)
{
    QList<qint64> ids;
    QSqlQuery q(store.database());
    if (!q.exec(QStringLiteral("SELECT id FROM measurements %1 ORDER BY %2").arg(where, order)))
        qWarning() << q.lastError().text();
    while (q.next())
        ids << q.value(0).toLongLong();
    return ids;
}

void tst_HistoryQuery::filters_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("plain"); // the same rows in plain SQL, written apart from the filter's
    QTest::newRow("everything") << "" << "" << "";
    QTest::newRow("time range") << "time" << "2026-11-10T00:00:00.000Z|2026-11-20T00:00:00.000Z"
                                << "WHERE stored_at >= '2026-11-10T00:00:00.000Z' AND stored_at < '2026-11-20T00:00:00.000Z'";
    QTest::newRow("name contains a rare text") << "name" << "Door panel 12" << "WHERE instr(test_name, 'Door panel 12') > 0";
    QTest::newRow("name contains, other case") << "name" << "door PANEL 7" << "WHERE instr(lower(test_name), 'door panel 7') > 0";
    QTest::newRow("name contains LIKE's wildcards") << "name" << "Lot_1%" << "WHERE instr(test_name, 'Lot_1%') > 0";
    QTest::newRow("name contains one character") << "name" << "红" << "WHERE instr(test_name, '红') > 0";
    QTest::newRow("name contains two letters, either case") << "name" << "oO" << "WHERE instr(lower(test_name), 'oo') > 0";
    QTest::newRow("name contains a quote") << "name" << "\"left\" 3" << "WHERE instr(test_name, '\"left\" 3') > 0";
    QTest::newRow("name contains nothing stored") << "name" << "Bumper" << "WHERE 1 = 0";
    QTest::newRow("serial number") << "serial" << "20240001" << "WHERE serial_number = '20240001'";
    QTest::newRow("desk") << "desk" << "machine-b:lab" << "WHERE desk = 'machine-b:lab'";
    QTest::newRow("verdict PASS") << "verdict" << "1" << "WHERE passed = 1";
    QTest::newRow("verdict NG") << "verdict" << "2" << "WHERE passed = 0";
    QTest::newRow("not judged") << "verdict" << "3" << "WHERE passed IS NULL";
    QTest::newRow("origin imported") << "origin" << "3" << "WHERE origin = 'imported'";
    QTest::newRow("state deleted") << "state" << "1" << "WHERE state = 'deleted'";
    QTest::newRow("runs") << "runs" << "3,5" << "WHERE run_id IN (3, 5)";
    QTest::newRow("all at once") << "all" << ""
                                 << "WHERE serial_number = '20231234' AND passed = 1 AND origin = 'measured' "
                                    "AND state = 'in_table' AND stored_at >= '2026-11-05T00:00:00.000Z' "
                                    "AND instr(test_name, 'Comp') > 0";
}

void tst_HistoryQuery::filters()
{
    QFETCH(QString, kind);
    QFETCH(QString, value);
    QFETCH(QString, plain);
    HistoryFilter filter;
    if (kind == QLatin1String("time")) {
        filter.storedFrom = value.section(u'|', 0, 0);
        filter.storedUntil = value.section(u'|', 1, 1);
    } else if (kind == QLatin1String("name")) {
        filter.nameContains = value;
    } else if (kind == QLatin1String("serial")) {
        filter.serialNumber = value;
    } else if (kind == QLatin1String("desk")) {
        filter.desk = value;
    } else if (kind == QLatin1String("verdict")) {
        filter.verdict = HistoryFilter::Verdict(value.toInt());
    } else if (kind == QLatin1String("origin")) {
        filter.origin = value.toInt();
    } else if (kind == QLatin1String("state")) {
        filter.state = value.toInt();
    } else if (kind == QLatin1String("runs")) {
        for (const QString &run : value.split(u','))
            filter.runs << run.toLongLong();
    } else if (kind == QLatin1String("all")) {
        filter.serialNumber = QStringLiteral("20231234");
        filter.verdict = HistoryFilter::Verdict::Pass;
        filter.origin = int(HistoryOrigin::Measured);
        filter.state = int(HistoryRowState::InTable);
        filter.storedFrom = QStringLiteral("2026-11-05T00:00:00.000Z");
        filter.nameContains = QStringLiteral("Comp");
    }
    const QList<qint64> expected = plainIds(plain);
    HistoryRowsModel model(store.database());
    model.setFilter(filter);
    QCOMPARE(model.rowCount(), expected.size());
    QList<qint64> shown;
    for (int r = 0; r < model.rowCount(); ++r)
        shown << model.data(model.index(r, 0), HistoryRowsModel::RowIdRole).toLongLong();
    QCOMPARE(shown, expected);
    QVERIFY(model.lastError().isEmpty());

    // Served by an index: no step of the plan reads the rows' table from end to end. (The
    // server's plans are looked at by bench_historytool on a million rows: on these few it
    // rightly reads the table.)
    if (store.isOnServer())
        return;
    const HistoryWhere where = historyWhere(filter, store.database());
    QSqlQuery plan(store.database());
    QVERIFY(plan.prepare(QStringLiteral("EXPLAIN QUERY PLAN SELECT m.id FROM measurements m%1 "
                                        "ORDER BY m.stored_at DESC NULLS LAST, m.id DESC LIMIT 256")
                             .arg(where.sql)));
    for (const QVariant &bind : where.binds)
        plan.addBindValue(bind);
    QVERIFY2(plan.exec(), qPrintable(plan.lastError().text()));
    QStringList steps;
    while (plan.next())
        steps << plan.value(3).toString();
    for (const QString &step : steps)
        QVERIFY2(!QRegularExpression(QStringLiteral("^SCAN (m|measurements)$")).match(step).hasMatch(),
                 qPrintable(steps.join(QStringLiteral(" / "))));
    if (kind == QLatin1String("name") && value.size() >= 3 && value != QLatin1String("Lot_1%"))
        QVERIFY2(steps.join(u' ').contains(QLatin1String("measurement_names VIRTUAL TABLE INDEX")),
                 qPrintable(steps.join(QStringLiteral(" / "))));
}

void tst_HistoryQuery::sorting_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("order");
    QTest::addColumn<QString>("plain");
    QTest::newRow("ΔE up (NULLs first)") << int(HistoryRowsModel::ColDeltaE) << int(Qt::AscendingOrder)
                                         << "delta_e ASC NULLS FIRST, id ASC";
    QTest::newRow("ΔE down (NULLs last)") << int(HistoryRowsModel::ColDeltaE) << int(Qt::DescendingOrder)
                                          << "delta_e DESC NULLS LAST, id DESC";
    QTest::newRow("name") << int(HistoryRowsModel::ColTestName) << int(Qt::AscendingOrder) << "test_name ASC NULLS FIRST, id";
    QTest::newRow("threshold down") << int(HistoryRowsModel::ColThreshold) << int(Qt::DescendingOrder)
                                    << "threshold DESC NULLS LAST, id DESC";
    QTest::newRow("result") << int(HistoryRowsModel::ColResult) << int(Qt::AscendingOrder) << "passed ASC NULLS FIRST, id";
    QTest::newRow("sample h") << int(HistoryRowsModel::ColSampleL + 4) << int(Qt::AscendingOrder) << "smp_h ASC NULLS FIRST, id";
    QTest::newRow("stored, oldest first") << int(HistoryRowsModel::ColStoredAt) << int(Qt::AscendingOrder)
                                          << "stored_at, id";
}

void tst_HistoryQuery::sorting()
{
    QFETCH(int, column);
    QFETCH(int, order);
    QFETCH(QString, plain);
    const QList<qint64> expected = plainIds(QString(), plain);
    // Read in order (each block from where the one before ended) and in a jumbled order (each
    // block by its offset): the same rows in the same places.
    for (bool jumbled : {false, true}) {
        HistoryRowsModel model(store.database());
        model.sort(column, Qt::SortOrder(order));
        QCOMPARE(model.rowCount(), kRows);
        QList<qint64> shown(kRows);
        QList<int> blocks;
        for (int b = 0; b * HistoryWindowedModel::kBlockRows < kRows; ++b)
            blocks << b;
        if (jumbled)
            std::reverse(blocks.begin(), blocks.end());
        for (int b : blocks)
            for (int r = b * HistoryWindowedModel::kBlockRows;
                 r < std::min(kRows, (b + 1) * HistoryWindowedModel::kBlockRows); ++r)
                shown[r] = model.data(model.index(r, 0), HistoryRowsModel::RowIdRole).toLongLong();
        QCOMPARE(shown, expected);
    }
}

void tst_HistoryQuery::rowsAreReadOnlyAsAskedFor()
{
    HistoryRowsModel model(store.database());
    QCOMPARE(model.rowCount(), kRows);
    QCOMPARE(model.blocksRead(), 0); // counted, nothing read
    model.data(model.index(0, HistoryRowsModel::ColTestName));
    QCOMPARE(model.blocksRead(), 1);
    model.data(model.index(kRows - 1, HistoryRowsModel::ColTestName));
    QCOMPARE(model.blocksRead(), 2);
    for (int r = 0; r < 300; ++r)
        model.data(model.index(r, HistoryRowsModel::ColDeltaE));
    QCOMPARE(model.blocksRead(), 3);
    // What a row shows is the table's text of the stored value.
    const HistoryRow row = store.row(model.data(model.index(5, 0), HistoryRowsModel::RowIdRole).toLongLong());
    QCOMPARE(model.data(model.index(5, HistoryRowsModel::ColTestName)).toString(), row.testName);
    QCOMPARE(model.data(model.index(5, HistoryRowsModel::ColSampleL + 4)).toString(), QString::number(row.sample[4], 'f', 1));
    QCOMPARE(model.data(model.index(5, HistoryRowsModel::ColStoredAt), HistoryRowsModel::ValueRole).toString(), row.storedAt);
    // Shown in local time.
    QCOMPARE(model.data(model.index(5, HistoryRowsModel::ColStoredAt)).toString(),
             QDateTime::fromString(row.storedAt, Qt::ISODateWithMs).toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    QCOMPARE(model.headerData(HistoryRowsModel::ColDeltaE, Qt::Horizontal).toString(), QStringLiteral("△E"));
}

void tst_HistoryQuery::runs()
{
    HistoryRunsModel model(store.database());
    QCOMPARE(model.rowCount(), kRows / 100);
    // Newest first; the counts as plain SQL has them.
    QCOMPARE(model.data(model.index(0, HistoryRunsModel::ColStarted), HistoryRunsModel::ValueRole).toString(),
             QStringLiteral("2026-11-20T08:00:00.000Z"));
    for (int r = 0; r < model.rowCount(); ++r) {
        const qint64 run = model.data(model.index(r, 0), HistoryRunsModel::RunIdRole).toLongLong();
        QSqlQuery q(store.database());
        QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*), SUM(CASE WHEN passed = 1 THEN 1 ELSE 0 END), "
                           "SUM(CASE WHEN passed = 0 THEN 1 ELSE 0 END) FROM measurements WHERE run_id = %1")
                           .arg(run)));
        QVERIFY(q.next());
        QCOMPARE(model.data(model.index(r, HistoryRunsModel::ColRows)).toInt(), q.value(0).toInt());
        QCOMPARE(model.data(model.index(r, HistoryRunsModel::ColPass)).toInt(), q.value(1).toInt());
        QCOMPARE(model.data(model.index(r, HistoryRunsModel::ColNg)).toInt(), q.value(2).toInt());
    }
}

void tst_HistoryQuery::csvReadBackByPython_data()
{
    QTest::addColumn<QString>("plain");
    QTest::newRow("every row") << "";
    QTest::newRow("the NG rows of one instrument") << "WHERE passed = 0 AND serial_number = '20231235'";
    QTest::newRow("a selection") << "WHERE id IN (3, 4, 7, 1999)";
}

void tst_HistoryQuery::csvReadBackByPython()
{
    QFETCH(QString, plain);
    HistorySelection selection;
    if (plain.contains(QLatin1String("passed"))) {
        selection.filter.verdict = HistoryFilter::Verdict::Ng;
        selection.filter.serialNumber = QStringLiteral("20231235");
    } else if (plain.contains(QLatin1String("id IN"))) {
        selection.ids = {1999, 7, 3, 4};
    }
    const QString out = tmp.filePath(QStringLiteral("out.csv"));
    HistoryExport exporter(store.database());
    QVERIFY2(exporter.writeCsv(selection, out), qPrintable(exporter.errorText()));
    QCOMPARE(exporter.rowsWritten(), plainIds(plain).size());
    const QStringList said = run(QStringLiteral("/usr/bin/python3"), {dataFile("check_export.py"), "csv", out, file(), plain});
    QCOMPARE(said.value(0), QStringLiteral("ok %1").arg(exporter.rowsWritten()));
}

void tst_HistoryQuery::sheetReadBackByPython_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<bool>("byIds"); // rows chosen one by one (read in blocks of ids), or by a filter
    QTest::newRow(".xlsx (openpyxl), filter") << "xlsx" << false;
    QTest::newRow(".xls (xlrd), filter") << "xls" << false;
    QTest::newRow(".xlsx (openpyxl), chosen rows") << "xlsx" << true;
    QTest::newRow(".xls (xlrd), chosen rows") << "xls" << true;
}

void tst_HistoryQuery::sheetReadBackByPython()
{
    QFETCH(QString, suffix);
    QFETCH(bool, byIds);
    HistorySelection selection;
    QString where = QStringLiteral("WHERE run_id IN (2, 3)");
    qint64 expected = 200;
    if (byIds) {
        // Every other row of the first 1,300, in reverse: more ids than one statement takes.
        for (qint64 id = 1299; id >= 1; id -= 2)
            selection.ids << id;
        where = QStringLiteral("WHERE id % 2 = 1 AND id < 1300");
        expected = 650;
    } else {
        selection.filter.runs = {2, 3};
    }
    const QString out = tmp.filePath(QStringLiteral("out.") + suffix);
    HistoryExport exporter(store.database());
    QVERIFY2(exporter.writeSheet(selection, out, false), qPrintable(exporter.errorText()));
    QCOMPARE(exporter.rowsWritten(), expected);
    const QStringList said = run(QStringLiteral("/usr/bin/python3"), {dataFile("check_export.py"), suffix, out, file(), where});
    QCOMPARE(said.value(0), QStringLiteral("ok %1").arg(expected));
}

void tst_HistoryQuery::cgatsReadByColverify()
{
    if (!QFile::exists(QStringLiteral("/usr/bin/colverify"))) {
        if (qEnvironmentVariableIsSet("CI"))
            QFAIL("argyll's colverify is not installed");
        QSKIP("argyll's colverify is not installed (apt-get install argyll)");
    }
    HistorySelection selection;
    selection.filter.runs = {4};
    const QString standards = tmp.filePath(QStringLiteral("standards.ti3")), samples = tmp.filePath(QStringLiteral("samples.ti3"));
    HistoryExport exporter(store.database());
    QVERIFY2(exporter.writeCgats(selection, standards, samples), qPrintable(exporter.errorText()));
    QCOMPARE(exporter.rowsWritten(), qint64(100));
    QVERIFY(QString::fromUtf8(testsupport::fileBytes(standards)).contains(QLatin1String("DELTA_E_FORMULA \"CIEDE2000\"")));
    QVERIFY(QString::fromUtf8(testsupport::fileBytes(standards)).contains(QLatin1String("DELTA_E_THRESHOLD \"2.0\"")));
    const QStringList said = run(QStringLiteral("/usr/bin/colverify"), {"-v", "2", "-k", standards, samples});
    // "id: L a b <=> L a b  de X", one line per row
    static const QRegularExpression line(QStringLiteral("^(\\d+): \\S+ \\S+ \\S+ <=> \\S+ \\S+ \\S+\\s+de (\\S+)$"));
    int compared = 0;
    double worst = 0;
    for (const QString &text : said) {
        const QRegularExpressionMatch m = line.match(text.trimmed());
        if (!m.hasMatch())
            continue;
        const HistoryRow row = store.row(m.captured(1).toLongLong());
        QCOMPARE(row.runId, qint64(4));
        const double ours = deltaE00({row.standard[0], row.standard[1], row.standard[2]},
                                     {row.sample[0], row.sample[1], row.sample[2]});
        worst = std::max(worst, std::fabs(ours - m.captured(2).toDouble()));
        ++compared;
    }
    QVERIFY2(compared == 100, qPrintable(said.join(u'\n').left(2000)));
    QVERIFY2(worst < 0.01, qPrintable(QString::number(worst)));
    qInfo("CIEDE2000 against colverify: largest difference %.2g over %d rows", worst, compared);
}

void tst_HistoryQuery::trendAgainstPython()
{
    for (const auto &[where, filter] :
         {std::pair<QString, HistoryFilter>{QString(), HistoryFilter()},
          std::pair<QString, HistoryFilter>{"WHERE m.run_id IN (2, 3)", HistoryFilter{{}, {}, {}, {}, {}, {}, -1, -1, {2, 3}}}}) {
        std::vector<HistoryTrendPoint> points;
        QString error;
        QVERIFY2(readHistoryTrendPoints(store.database(), filter, &points, &error), qPrintable(error));
        const HistoryTrend trend = computeHistoryTrend(points, 5);
        const QStringList said = run(QStringLiteral("/usr/bin/python3"), {dataFile("check_trend.py"), file(), where, "5"});
        QHash<QString, double> value;
        QStringList groups;
        for (const QString &text : said) {
            const QStringList parts = text.split(u' ');
            if (parts.first() == QLatin1String("moving"))
                value.insert(QStringLiteral("moving ") + parts.at(1), parts.at(2).toDouble());
            else if (parts.first() == QLatin1String("day") || parts.first() == QLatin1String("week"))
                groups << text;
            else
                value.insert(parts.first(), parts.value(1).toDouble());
        }
        QCOMPARE(trend.n, int(value.value("n")));
        QVERIFY(trend.n > 100);
        auto near = [](double a, double b) { return (std::isnan(a) && std::isnan(b)) || std::fabs(a - b) < 1e-9; };
        QVERIFY2(near(trend.mean, value.value("mean")), qPrintable(QString::number(trend.mean)));
        QVERIFY2(near(trend.sd, value.value("sd")), qPrintable(QString::number(trend.sd)));
        QVERIFY2(near(trend.ppk, value.value("ppk")), qPrintable(QString::number(trend.ppk)));
        for (int i = 0; i < trend.n; ++i)
            QVERIFY(near(trend.movingMean[size_t(i)], value.value(QStringLiteral("moving %1").arg(i))));
        QStringList ours;
        for (HistoryGrouping g : {HistoryGrouping::Day, HistoryGrouping::Week})
            for (const HistoryGroupMean &m : historyGroupMeans(trend.points, g)) {
                const QString expected = groups.value(ours.size());
                ours << expected;
                QVERIFY2(expected.startsWith(QStringLiteral("%1 %2 %3 ")
                                                 .arg(g == HistoryGrouping::Day ? "day" : "week",
                                                      m.first.toString(Qt::ISODate))
                                                 .arg(m.n)),
                         qPrintable(expected));
                QVERIFY(near(m.mean, expected.section(u' ', 3).toDouble()));
            }
        QCOMPARE(ours.size(), groups.size());

        // The same numbers as the database works them out for a long history, never reading
        // the rows: the summary and the means of days and weeks.
        HistoryTrendSummary summary;
        QVERIFY2(readHistoryTrendSummary(store.database(), filter, &summary, &error), qPrintable(error));
        QCOMPARE(summary.n, qint64(value.value("n")));
        QVERIFY2(near(summary.mean, value.value("mean")), qPrintable(QString::number(summary.mean)));
        QVERIFY2(near(summary.sd, value.value("sd")), qPrintable(QString::number(summary.sd)));
        QVERIFY2(near(summary.ppk, value.value("ppk")), qPrintable(QString::number(summary.ppk)));
        QStringList grouped;
        for (HistoryGrouping g : {HistoryGrouping::Day, HistoryGrouping::Week}) {
            std::vector<HistoryTrendGroup> sqlGroups;
            QVERIFY2(readHistoryTrendGroups(store.database(), filter, g, 0, &sqlGroups, &error), qPrintable(error));
            for (const HistoryTrendGroup &m : sqlGroups) {
                const QString expected = groups.value(grouped.size());
                grouped << expected;
                QVERIFY2(expected.startsWith(QStringLiteral("%1 %2 %3 ")
                                                 .arg(g == HistoryGrouping::Day ? "day" : "week",
                                                      m.first.toString(Qt::ISODate))
                                                 .arg(m.n)),
                         qPrintable(expected));
                QVERIFY(near(m.mean, expected.section(u' ', 3).toDouble()));
            }
        }
        QCOMPARE(grouped.size(), groups.size());
    }
}

// Work on a worker thread stops soon when cancelled, also inside one long statement of the
// database (the whole-file check, a sort of a long history): the program waits for its workers
// when a window closes or the program ends.
void tst_HistoryQuery::taskStopsALongStatement()
{
    HistoryTask task(place->source(), [](HistoryReader &reader, HistoryTaskControl &) {
        QSqlQuery query(reader.database());
        // Counting to a billion: minutes, unless interrupted.
        const bool ran = query.exec(QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
                                                   "WHERE x < 1000000000) SELECT COUNT(*) FROM c"))
                         && query.next();
        return QVariant(ran);
    });
    QSignalSpy finished(&task, &HistoryTask::finished);
    task.start();
    QTest::qWait(200);
    QVERIFY(task.isRunning());
    QElapsedTimer clock;
    clock.start();
    task.cancel();
    QVERIFY(finished.wait(5000));
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(finished.first().at(0).toBool(), false); // the statement did not run to its end
    QCOMPARE(finished.first().at(1).toBool(), true);
}

// The means of each day are of this computer's days (here UTC, as the suite sets), also when
// the server keeps another time zone: a reader reads in the computer's.
void tst_HistoryQuery::trendDaysAreThisComputers()
{
    const QString zone = QStringLiteral("DO $$ BEGIN EXECUTE format('ALTER DATABASE %I %s', current_database(), '%1'); END $$");
    if (store.isOnServer())
        QVERIFY(place->exec({zone.arg(QStringLiteral("SET timezone = ''America/New_York''"))}));
    std::vector<HistoryTrendGroup> groups;
    QString error;
    {
        HistoryReader reader(place->source());
        QVERIFY2(reader.isOpen(), qPrintable(reader.errorText()));
        QVERIFY2(readHistoryTrendGroups(reader.database(), HistoryFilter(), HistoryGrouping::Day, 0, &groups, &error),
                 qPrintable(error));
    }
    if (store.isOnServer())
        QVERIFY(place->exec({zone.arg(QStringLiteral("RESET timezone"))}));
    QStringList days;
    const QStringList said = run(QStringLiteral("/usr/bin/python3"), {dataFile("check_trend.py"), file(), QString(), "5"});
    for (const QString &line : said)
        if (line.startsWith(QLatin1String("day ")))
            days << line.section(u' ', 1, 2);
    QStringList ours;
    for (const HistoryTrendGroup &g : groups)
        ours << QStringLiteral("%1 %2").arg(g.first.toString(Qt::ISODate)).arg(g.n);
    QVERIFY2(days.size() > 10, qPrintable(said.join(u'\n').left(2000)));
    QCOMPARE(ours, days);
}

QTEST_GUILESS_MAIN(tst_HistoryQuery)
#include "tst_historyquery.moc"
