// The batch window at scale: one row appended to an open window on N rows (default 5,000) until
// it is painted again, with the standard of the rows before (contour kept) and with a new one
// (contour computed again); opening the window on M rows (default 50,000) until first painted;
// the batch report of N rows printed to a PDF file; the tolerance contour alone per formula.
// Medians of several runs, wall time.
#include "batchsource.h"
#include "batchwindow.h"
#include "contour.h"
#include "ui_batchwindow.h"

#include <QChartView>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

MeasurementRecord recordFor(int i, double standardL = 50)
{
    MeasurementRecord r;
    r.sequence = i + 1;
    r.testName = QStringLiteral("Comp%1").arg(i + 1);
    r.timeText = QStringLiteral("2026/01/02  03:04");
    const double t = i * 0.37;
    const double a = 10, b = -20, da = 1.5 * std::sin(t), db = 1.2 * std::cos(t * 1.7), dL = 0.6 * std::sin(t * 0.3);
    r.standard = {standardL, a, b, std::hypot(a, b), hueAngle(a, b)};
    r.sample = {standardL + dL, a + da, b + db, std::hypot(a + da, b + db), hueAngle(a + da, b + db)};
    r.deltaE = deltaE00({standardL, a, b}, {standardL + dL, a + da, b + db});
    r.verdict = r.deltaE > 1.0 ? QStringLiteral("NG") : QStringLiteral("PASS");
    r.formulaText = QStringLiteral("△E*00");
    r.thresholdText = QStringLiteral("1.0");
    r.deviceName = QStringLiteral("UnKnow");
    r.serialNumber = QStringLiteral("4711");
    return r;
}

// Wall and CPU time of one run, in milliseconds. On a machine shared with other work the CPU time
// is the steadier figure.
struct Clock
{
    QElapsedTimer wall;
    std::clock_t cpu;
    Clock() : cpu(std::clock()) { wall.start(); }
    double wallMs() const { return wall.nsecsElapsed() / 1e6; }
    double cpuMs() const { return double(std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC; }
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void settle(QWidget *w)
{
    QApplication::processEvents();
    w->grab(); // paints everything the window shows
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int m = argc > 2 ? std::atoi(argv[2]) : 50000;
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());

    QList<MeasurementRecord> rows;
    for (int i = 0; i < std::max(n, m); ++i)
        rows.append(recordFor(i));

    // Contour alone.
    for (int f = 0; f < 6; ++f) {
        std::vector<double> times;
        for (int k = 0; k < 7; ++k) {
            QElapsedTimer t;
            t.start();
            const ToleranceContour c = toleranceContour(f, {50.0 + k, 10, -20}, 1.0);
            times.push_back(t.nsecsElapsed() / 1e6);
            if (!c.valid())
                return 1;
        }
        std::printf("contour, formula %d: %.2f ms\n", f, median(times));
    }

    {
        RecordListSource source;
        source.append(rows.mid(0, n));
        BatchWindow window(&source);
        window.resize(1280, 800);
        window.show();
        settle(&window);
        if (argc > 3 && QByteArray(argv[3]) == "paint") { // for a profiler: painting only
            for (int p = 0; p < BatchCharts::PlotCount; ++p) {
                window.ui->plotTabs->setCurrentIndex(p);
                settle(&window);
                Clock c;
                for (int k = 0; k < 20; ++k)
                    window.chartView(BatchCharts::Plot(p))->grab();
                std::printf("painting plot %d: %.1f ms CPU\n", p, c.cpuMs() / 20);
            }
            window.ui->plotTabs->setCurrentIndex(0);
            settle(&window);
            Clock c;
            for (int k = 0; k < 20; ++k)
                window.grab();
            std::printf("painting the window: %.1f ms CPU\n", c.cpuMs() / 20);
            return 0;
        }
        for (bool newStandard : {false, true}) {
            std::vector<double> times, cpu;
            for (int k = 0; k < 15; ++k) {
                Clock c;
                source.append({recordFor(n + k, newStandard ? 40.0 + k : 50.0)});
                settle(&window);
                times.push_back(c.wallMs());
                cpu.push_back(c.cpuMs());
            }
            {
                // Where the time goes: taking the row in, and painting.
                QElapsedTimer t;
                t.start();
                source.append({recordFor(n + 100, newStandard ? 30.0 : 50.0)});
                window.refreshNow();
                const double take = t.nsecsElapsed() / 1e6;
                t.restart();
                window.grab();
                std::printf("  (taking the row in %.1f ms, painting the window %.1f ms)\n", take, t.nsecsElapsed() / 1e6);
            }
            std::printf("one row appended at %d rows, %s: %.1f ms wall, %.1f ms CPU\n", n,
                        newStandard ? "new standard (contour again)" : "same standard", median(times), median(cpu));
        }
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        std::vector<double> times, cpu;
        RecordListSource reportSource;
        reportSource.append(rows.mid(0, n));
        BatchWindow reportWindow(&reportSource);
        for (int k = 0; k < 3; ++k) {
            printer.setOutputFileName(home.filePath(QStringLiteral("report%1.pdf").arg(k)));
            Clock c;
            if (!reportWindow.printTo(&printer))
                return 1;
            times.push_back(c.wallMs());
            cpu.push_back(c.cpuMs());
        }
        std::printf("batch report of %d rows to PDF: %.0f ms wall, %.0f ms CPU (%lld bytes)\n", n, median(times), median(cpu),
                    QFileInfo(home.filePath(QStringLiteral("report0.pdf"))).size());
    }

    std::vector<double> times, cpu;
    RecordListSource big;
    big.append(rows.mid(0, m));
    for (int k = 0; k < 5; ++k) {
        Clock c;
        BatchWindow window(&big);
        window.resize(1280, 800);
        window.show();
        settle(&window);
        times.push_back(c.wallMs());
        cpu.push_back(c.cpuMs());
    }
    std::printf("opening on %d rows until painted: %.0f ms wall, %.0f ms CPU\n", m, median(times), median(cpu));
    return 0;
}
