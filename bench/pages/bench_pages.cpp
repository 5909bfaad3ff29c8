// Rows of the measurement table: appendRow and the re-evaluation of every row, per row, as the
// table grows, with the process's peak memory. Run by hand:
//   QT_QPA_PLATFORM=offscreen build/bench/pages/bench_pages [rows [batch|interactive]]
// "batch" appends without the event loop running in between (an import); "interactive" lets
// the table lay itself out after every row (measurements coming in one by one).
#include "benchrecords.h"
#include "firstpagefortesk.h"
#include "modal.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTableWidget>

#include <cstdio>

namespace {

using bench::peakKiB;
using bench::recordFor;

void run(FirstPageForTesk &page, int rows, bool interactive)
{
    page.on_ClearBtn_clicked();
    QCoreApplication::processEvents();
    const char *mode = interactive ? "interactive" : "batch";
    QElapsedTimer all;
    all.start();
    QElapsedTimer block;
    block.start();
    const int blockSize = 1000;
    for (int i = 0; i < rows; ++i) {
        page.appendRow(recordFor(i));
        if (interactive)
            QCoreApplication::processEvents();
        if ((i + 1) % blockSize == 0) {
            std::printf("%-11s appendRow rows %5d..%5d: %.3f ms/row\n", mode, i + 2 - blockSize, i + 1,
                        double(block.nsecsElapsed()) / 1e6 / blockSize);
            block.restart();
        }
        if (i + 1 == 1000 || i + 1 == rows) {
            QElapsedTimer t;
            t.start();
            QCoreApplication::processEvents(); // the table catches up with the rows appended
            const double layoutMs = double(t.nsecsElapsed()) / 1e6;
            t.restart();
            page.reevaluateRows();
            const double reevaluateMs = double(t.nsecsElapsed()) / 1e6;
            t.restart();
            QCoreApplication::processEvents();
            std::printf("%-11s at %5d rows: layout pass %.1f ms; reevaluateRows %.3f ms/row, "
                        "then %.1f ms of repainting\n",
                        mode, i + 1, layoutMs, reevaluateMs / (i + 1), double(t.nsecsElapsed()) / 1e6);
            all.restart(); // the total below counts appending only
            block.restart();
        }
    }
    QCoreApplication::processEvents();
    std::printf("%-11s table holds %d rows; peak memory so far %ld KiB\n", mode,
                page.findChild<QTableWidget *>(QStringLiteral("tbData"))->rowCount(), peakKiB());
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // A benchmark never waits on a dialog: run from a folder without meterno.xls beside it, the
    // page's "Can't open file" is answered and written to the standard error.
    qputenv("COLORIMETER_TEST_AUTOANSWER", "1");
    Modal::installFromEnvironment();
    const int rows = argc > 1 ? std::max(1000, atoi(argv[1])) : 5000;
    std::printf("peak memory before the page: %ld KiB\n", peakKiB());
    FirstPageForTesk page;
    page.formulaIndex = 0;
    page.threshold = 2.0;
    page.resize(1400, 800);
    page.show();
    QCoreApplication::processEvents();

    const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString(); // "batch" / "interactive"
    for (bool interactive : {false, true}) {
        if (!only.isEmpty() && only != QLatin1String(interactive ? "interactive" : "batch"))
            continue;
        QElapsedTimer total;
        total.start();
        run(page, rows, interactive);
        std::printf("%-11s %d rows with two re-evaluations: %.0f ms in all\n\n",
                    interactive ? "interactive" : "batch", rows, double(total.elapsed()));
    }
    std::printf("peak memory: %ld KiB\n", peakKiB());
    return 0;
}
