// Makes layout3.sqlite: a history in layout 3 as the program wrote it before the events came,
// through that program's own HistoryStore (history/ at commit 26fc0b7), so the migration is
// tested on a file real code made, not on statements written for the test.
//
//   git show 26fc0b7:history/historystore.h  > /tmp/l3/historystore.h    (likewise .cpp, historyrow.h)
//   g++ -std=c++17 -fPIC -I/tmp/l3 $(pkg-config --cflags Qt6Core Qt6Sql) make_layout3.cpp \
//       /tmp/l3/historystore.cpp $(pkg-config --libs Qt6Core Qt6Sql) -o /tmp/make_layout3
//   /tmp/make_layout3 layout3.sqlite
//
// What it holds (tst_historystore's migrationFromLayout3 counts on it):
//   run 1: Comp1 measured, Comp2 pushed (renamed "Door panel"), Comp3 measured (deleted),
//          "Lot 7" imported from /home/lab/in.xls; Comp1 and Comp2 re-judged by CIEDE2000 at
//          3.0; exported to /home/lab/CompareM202612080941.xls
//   run 2: Comp1, Comp2 measured, cleared
//   run 3: Comp1, Comp2 measured, left unfinished, declined at the next start (not_restored)
//   run 4: Comp1, Comp2 measured (the last test number 2), left unfinished: offered again
#include "historystore.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

HistoryRow row(int n, HistoryOrigin origin = HistoryOrigin::Measured)
{
    HistoryRow r;
    r.origin = origin;
    r.sequence = n;
    r.testName = QStringLiteral("Comp%1").arg(n);
    r.timeText = QStringLiteral("2026/12/08  09:%1").arg(40 + n);
    r.standard = {50.12, 10.34, -20.56, 23.01, 296.7};
    r.sample = {52.01 + n, 13.22, -16.48, 21.04, 308.1};
    r.deltaE = 5.39 + n;
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
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString file = QString::fromLocal8Bit(argv[1]);
    QFile::remove(file);
    {
        HistoryStore store;
        if (!store.open(file))
            return 1;
        const qint64 a = store.addRow(row(1), 1);
        const qint64 b = store.addRow(row(2, HistoryOrigin::Pushed), 2);
        const qint64 c = store.addRow(row(3), 3);
        HistoryRow imported = row(7, HistoryOrigin::Imported);
        imported.testName = QStringLiteral("Lot 7");
        imported.originFile = QStringLiteral("/home/lab/in.xls");
        imported.formulaIndex = -1;
        imported.threshold = -1.0;
        store.addRow(imported, 3);
        store.setTestName(b, QStringLiteral("Door panel"));
        store.markDeleted(c);
        QList<HistoryRow> again;
        for (qint64 id : {a, b}) {
            HistoryRow r = store.row(id);
            r.deltaE = 2.5;
            r.verdict = QStringLiteral("PASS");
            r.passed = 1;
            r.formulaText = QStringLiteral("CIEDE2000");
            r.thresholdText = QStringLiteral("3.0");
            r.formulaIndex = 5;
            r.threshold = 3.0;
            again << r;
        }
        store.rejudge(again);
        store.endRun(HistoryStore::RunEnd::Exported, QStringLiteral("/home/lab/CompareM202612080941.xls"));
        store.addRow(row(1), 1);
        store.addRow(row(2), 2);
        store.endRun(HistoryStore::RunEnd::Cleared);
        store.addRow(row(1), 1);
        store.addRow(row(2), 2);
    } // killed: run 3 has no end
    {
        HistoryStore store;
        if (!store.open(file) || store.unfinishedRows().size() != 2)
            return 1;
        store.declineUnfinishedRuns();
        store.addRow(row(1), 1);
        store.addRow(row(2), 2);
    } // killed again: run 4 is offered at the next start
    std::printf("%s: layout %d\n", argv[1], HistoryStore::kSchemaVersion);
    return 0;
}
