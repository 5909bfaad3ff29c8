// Rows of the measurement table: appendRow and the re-evaluation of every row as the table
// grows, with the process's peak memory. Run by hand:
//   QT_QPA_PLATFORM=offscreen build/bench/pages/bench_pages [rows [mode]]
// Modes:
//   once        (default) what a user waits for when a flow fills the table: rows appended
//               without the event loop running in between, every row re-judged, the first
//               paint; time it as a whole process: /usr/bin/time -f "%e s %M KiB" bench_pages N once
//   steady      measurements coming in one by one: each row appended and the table laid out
//               and painted before the next; the cost of one row near 100 rows and near N
//   batch       blocks of 1,000 rows appended without the event loop, with a layout pass and a
//               re-evaluation at 1,000 rows and at the end
//   interactive the same with the event loop running after every row
// Uses only what the page has always offered, so the same file measures older code too.
#include "benchrecords.h"
#include "firstpagefortesk.h"
#include "modal.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using bench::peakKiB;
using bench::recordFor;

double msSince(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

// The event loop until nothing is left to lay out or paint.
void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

void runBlocks(FirstPageForTesk &page, int rows, bool interactive)
{
    page.on_ClearBtn_clicked();
    QCoreApplication::processEvents();
    const char *mode = interactive ? "interactive" : "batch";
    QElapsedTimer block;
    block.start();
    const int blockSize = 1000;
    for (int i = 0; i < rows; ++i) {
        page.appendRow(recordFor(i));
        if (interactive)
            QCoreApplication::processEvents();
        if ((i + 1) % blockSize == 0) {
            std::printf("%-11s appendRow rows %5d..%5d: %.3f ms/row\n", mode, i + 2 - blockSize, i + 1,
                        msSince(block) / blockSize);
            block.restart();
        }
        if (i + 1 == 1000 || i + 1 == rows) {
            QElapsedTimer t;
            t.start();
            QCoreApplication::processEvents(); // the table catches up with the rows appended
            const double layoutMs = msSince(t);
            t.restart();
            page.reevaluateRows();
            const double reevaluateMs = msSince(t);
            t.restart();
            QCoreApplication::processEvents();
            std::printf("%-11s at %5d rows: layout pass %.1f ms; reevaluateRows %.3f ms/row, "
                        "then %.1f ms of repainting\n",
                        mode, i + 1, layoutMs, reevaluateMs / (i + 1), msSince(t));
            block.restart();
        }
    }
    QCoreApplication::processEvents();
    std::printf("%-11s table holds %d rows; peak memory so far %ld KiB\n", mode, page.rowCount(), peakKiB());
}

void runOnce(FirstPageForTesk &page, int rows, const QElapsedTimer &sinceStart)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rows; ++i)
        page.appendRow(recordFor(i));
    const double appendMs = msSince(t);
    t.restart();
    page.reevaluateRows();
    const double rejudgeMs = msSince(t);
    t.restart();
    settle();
    const double paintMs = msSince(t);
    std::printf("once: %d rows appended %.1f ms, re-judged %.1f ms, laid out and painted %.1f ms; "
                "%.1f ms since main; peak memory %ld KiB\n",
                page.rowCount(), appendMs, rejudgeMs, paintMs, msSince(sinceStart), peakKiB());
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void runSteady(FirstPageForTesk &page, int rows)
{
    // The cost of one row: appended, then laid out and painted before the next comes.
    auto timeRows = [&page](int count) {
        std::vector<double> each;
        for (int i = 0; i < count; ++i) {
            QElapsedTimer t;
            t.start();
            page.appendRow(recordFor(page.rowCount()));
            settle();
            each.push_back(msSince(t));
        }
        return each;
    };
    const int sample = 100;
    timeRows(std::max(0, 100 - sample / 2)); // to 50 rows
    const double near100 = median(timeRows(sample)); // rows 51..150
    // Up to N - 50 rows without the event loop, laid out once, then rows N - 49 .. N + 50.
    for (int i = page.rowCount(); i < rows - sample / 2; ++i)
        page.appendRow(recordFor(i));
    settle();
    const double nearN = median(timeRows(sample));
    std::printf("steady: one row appended, laid out and painted: median %.3f ms near 100 rows, %.3f ms near "
                "%d rows (%.2f times)\n",
                near100, nearN, rows, nearN / near100);
}

} // namespace

int main(int argc, char *argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // A benchmark never waits on a dialog: run from a folder without meterno.xls beside it, the
    // page's "Can't open file" is answered and written to the standard error.
    qputenv("COLORIMETER_TEST_AUTOANSWER", "1");
    Modal::installFromEnvironment();
    const int rows = argc > 1 ? std::max(200, atoi(argv[1])) : 5000;
    const QString mode = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("once");
    FirstPageForTesk page;
    page.formulaIndex = 0;
    page.threshold = 2.0;
    page.resize(1400, 800);
    page.show();
    QCoreApplication::processEvents();

    if (mode == QLatin1String("once")) {
        runOnce(page, rows, sinceStart);
    } else if (mode == QLatin1String("steady")) {
        runSteady(page, rows);
    } else if (mode == QLatin1String("batch") || mode == QLatin1String("interactive")) {
        QElapsedTimer total;
        total.start();
        runBlocks(page, rows, mode == QLatin1String("interactive"));
        std::printf("%s: %d rows with two re-evaluations: %.0f ms in all\n", qPrintable(mode), rows,
                    double(total.elapsed()));
    } else {
        std::fprintf(stderr, "modes: once, steady, batch, interactive\n");
        return 2;
    }
    std::printf("peak memory: %ld KiB\n", peakKiB());
    return 0;
}
