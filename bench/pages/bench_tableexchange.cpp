// The table export and import through the page, end to end, with the table filled and shown:
// export of N rows (dialog answered, file written, table emptied) and import of the same file
// into the empty table, for .xls and .xlsx. Run by hand:
//   QT_QPA_PLATFORM=offscreen build/bench/pages/bench_tableexchange [rows [runs]]
#include "benchrecords.h"
#include "excelengine.h"
#include "firstpagefortesk.h"
#include "scriptedmodal.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {

using bench::peakKiB;
using bench::recordFor;

double ms(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

// CPU time of the process in ms: less disturbed than wall time on a shared machine.
double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
         + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Lets the table lay out and paint, and whatever was handed to deleteLater go, as the event
// loop would.
void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 5000;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    QTemporaryDir dir;
    ScriptedModal modal;
    FirstPageForTesk page;
    page.resize(1280, 800);
    page.show();
    QCoreApplication::processEvents();

    for (const char *suffix : {"xls", "xlsx"}) {
        for (int run = 0; run < runs; ++run) {
            page.on_ClearBtn_clicked();
            settle();
            // The page's own share of an import: the same number of rows appended and laid out.
            QElapsedTimer fill;
            fill.start();
            for (int i = 0; i < rows; ++i)
                page.appendRow(recordFor(i));
            settle();
            const double fillMs = ms(fill);

            const QString path = dir.filePath(QStringLiteral("bench.%1").arg(QLatin1String(suffix)));
            modal.answerSaveFile(path);
            QElapsedTimer t;
            t.start();
            double cpu = cpuMs();
            const bool saved = page.exportTable();
            settle(); // the emptied table repainted
            const double exportMs = ms(t), exportCpu = cpuMs() - cpu;

            // The engine's share of the import: the same file opened and read on its own.
            t.restart();
            {
                ExcelEngine engine(path);
                CellRows cells;
                if (!engine.open(1) || !engine.readAll(cells))
                    std::printf("cannot read %s\n", qPrintable(path));
            }
            const double readMs = ms(t);

            modal.answerOpenFile(path);
            t.restart();
            cpu = cpuMs();
            page.on_ImportExcelBtn_clicked();
            const double slotMs = ms(t);
            settle(); // the table lays out and paints its rows
            const double importMs = ms(t), importCpu = cpuMs() - cpu;

            std::printf("%-4s %d rows, run %d: export %s %.0f ms (cpu %.0f ms, file %lld bytes); "
                        "import %.0f ms (cpu %.0f ms; slot %.0f ms, of which reading the file %.0f ms) -> %d rows; "
                        "appending as many rows alone %.0f ms\n",
                        suffix, rows, run + 1, saved ? "ok" : "FAILED", exportMs, exportCpu,
                        QFileInfo(path).size(), importMs, importCpu, slotMs, readMs, page.rowCount(), fillMs);
            modal.clearRecord();
        }
    }
    std::printf("peak memory %ld KiB\n", peakKiB());
    return 0;
}
