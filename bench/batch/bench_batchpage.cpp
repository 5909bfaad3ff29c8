// The batch window as the program has it: the main window with its page, the Batch button, the
// page's table as the window's rows. Timed as the user meets it, up to the paint the event loop
// does (not a grab):
//   - one row appended to the table (as a measurement appends it) at N rows (default 5,000)
//     until the open batch window has painted it, with the standard of the rows before and with
//     a new one (the contour computed again); the window's own paint, and the page's, apart;
//   - the Batch button pressed on a table of M rows (default 50,000) until the window's first
//     paint has ended;
//   - the batch report of N rows printed to a PDF file;
//   - a row deleted and a test name edited (as the table's editor commits it) at M rows.
// Medians of several runs, wall and CPU time (the CPU time is the steadier figure on a machine
// shared with other work). Run with QT_QPA_PLATFORM=offscreen.
#include "batchwindow.h"
#include <QChartView>
#include "contour.h"
#include "deltae.h"
#include "firstpagefortesk.h"
#include "mainwindow.h"
#include "modal.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

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

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double cpuMs()
{
    return double(std::clock()) * 1000.0 / CLOCKS_PER_SEC;
}

// Watches the paints the event loop does for one top-level window: a window's widgets are
// painted and put on the screen when it handles its update request. Records when the last one
// ended (on the bench's clock) and how long it took.
class PaintWatch : public QObject
{
public:
    PaintWatch(QWidget *window, const QElapsedTimer *clock) : m_window(window), m_clock(clock)
    {
        window->installEventFilter(this);
    }
    void reset()
    {
        m_endedAt = -1;
        m_paints.clear();
    }
    bool painted() const { return m_endedAt >= 0; }
    double endedAt() const { return m_endedAt; }
    // How long the paints that ended by `until` took together.
    double lastedUntil(double until) const
    {
        double sum = 0;
        for (const auto &[end, length] : m_paints)
            if (end <= until)
                sum += length;
        return sum;
    }

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (object != m_window || event->type() != QEvent::UpdateRequest || m_inside)
            return false;
        m_inside = true;
        const double start = m_clock->nsecsElapsed() / 1e6;
        QCoreApplication::sendEvent(object, event);
        m_endedAt = m_clock->nsecsElapsed() / 1e6;
        m_paints.push_back({m_endedAt, m_endedAt - start});
        m_inside = false;
        return true;
    }

private:
    QWidget *m_window;
    const QElapsedTimer *m_clock;
    bool m_inside = false;
    double m_endedAt = -1;
    std::vector<std::pair<double, double>> m_paints; // end, length
};

// Counts the paints of one widget (a chart view's viewport): proof that a timed paint of its
// window drew the chart, not only the labels beside it.
class PaintCount : public QObject
{
public:
    explicit PaintCount(QWidget *widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

// Runs the event loop until the watched window has painted, and on until nothing more is
// pending: a graphics view may ask for its paint a turn after the widgets beside it. The time is
// that of the last paint (a second at most).
void untilPainted(PaintWatch &watch)
{
    QElapsedTimer limit;
    limit.start();
    while (!watch.painted() && limit.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    for (int idle = 0; idle < 3 && limit.elapsed() < 1000;) {
        const double before = watch.endedAt();
        QCoreApplication::processEvents();
        idle = watch.endedAt() == before ? idle + 1 : 0;
    }
}

// Lets everything pending happen: layouts, paints.
void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int m = argc > 2 ? std::atoi(argv[2]) : 50000;
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("COLORIMETER_TEST_AUTOANSWER", "1"); // a box of the page (no instrument) never waits
    Modal::installFromEnvironment();

    QList<MeasurementRecord> rows;
    for (int i = 0; i < std::max(n, m); ++i)
        rows.append(recordFor(i));

    MainWindow *w = MainWindow::instance();
    FirstPageForTesk *page = w->page;
    auto *batchButton = page->findChild<QPushButton *>(QStringLiteral("BatchBtn"));
    w->resize(1366, 768);
    w->show();
    settle();

    QElapsedTimer clock;
    clock.start();

    // ---- one row appended at n rows ----
    page->appendRows(rows.mid(0, n));
    settle();
    batchButton->click();
    BatchWindow *window = w->batchWindow();
    window->resize(1280, 800);
    settle();
    PaintWatch windowPaint(window, &clock);
    PaintWatch pagePaint(w, &clock);
    PaintCount chartPaints(window->chartView(BatchCharts::AbPlot)->viewport());
    if (argc > 3 && QByteArray(argv[3]) == "profile") { // for a profiler: appends only
        for (int k = 0; k < 300; ++k) {
            windowPaint.reset();
            page->appendRow(recordFor(n + k, argc > 4 ? 40.0 + k : 50.0));
            untilPainted(windowPaint);
        }
        return 0;
    }
    for (bool newStandard : {false, true}) {
        std::vector<double> total, cpu, own, paint, table;
        const int chartPaintsBefore = chartPaints.count;
        for (int k = 0; k < 21; ++k) {
            settle();
            windowPaint.reset();
            pagePaint.reset();
            const double c0 = cpuMs();
            const double start = clock.nsecsElapsed() / 1e6;
            page->appendRow(recordFor(n + k, newStandard ? 40.0 + k : 50.0));
            untilPainted(windowPaint);
            const double end = windowPaint.endedAt();
            total.push_back(end - start);
            cpu.push_back(cpuMs() - c0);
            paint.push_back(windowPaint.lastedUntil(end));
            // The page's table paints in the same turns; without it, what the window itself took.
            const double tablePaint = pagePaint.lastedUntil(end);
            table.push_back(tablePaint);
            own.push_back(end - start - tablePaint);
        }
        std::printf("one row appended at %d rows, %s: %.1f ms until the window painted it (%.1f ms CPU); "
                    "the window's own part %.1f ms, of which its paints %.1f ms; the page's table paint %.1f ms; "
                    "the a*b* plot painted %d times in 21 appends\n",
                    n, newStandard ? "new standard (contour again)" : "same standard", median(total), median(cpu),
                    median(own), median(paint), median(table), chartPaints.count - chartPaintsBefore);
    }

    // ---- the batch report of n rows ----
    {
        page->on_ClearBtn_clicked();
        page->appendRows(rows.mid(0, n));
        settle();
        window->refreshNow();
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        std::vector<double> times, cpu;
        for (int k = 0; k < 3; ++k) {
            printer.setOutputFileName(home.filePath(QStringLiteral("report%1.pdf").arg(k)));
            const double c0 = cpuMs();
            QElapsedTimer t;
            t.start();
            if (!window->printTo(&printer))
                return 1;
            times.push_back(t.nsecsElapsed() / 1e6);
            cpu.push_back(cpuMs() - c0);
        }
        std::printf("batch report of %d rows to PDF: %.0f ms (%.0f ms CPU), %lld bytes\n", n, median(times), median(cpu),
                    QFileInfo(home.filePath(QStringLiteral("report0.pdf"))).size());
    }
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    settle();

    // ---- the Batch button on m rows ----
    page->on_ClearBtn_clicked();
    page->appendRows(rows.mid(0, m));
    settle();
    std::vector<double> times, cpu;
    for (int k = 0; k < 5; ++k) {
        if (w->batchWindow())
            return 1; // the last one was not freed: this would time a raise, not an opening
        const double c0 = cpuMs();
        const double start = clock.nsecsElapsed() / 1e6;
        batchButton->click();
        BatchWindow *opened = w->batchWindow();
        PaintWatch watch(opened, &clock);
        untilPainted(watch);
        times.push_back(watch.endedAt() - start);
        cpu.push_back(cpuMs() - c0);
        opened->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        settle();
    }
    std::printf("Batch button on %d rows until the window's first paint ended: %.0f ms (%.0f ms CPU)\n", m,
                median(times), median(cpu));

    // ---- a row deleted and a test name edited at m rows: the window reads all rows again ----
    batchButton->click();
    BatchWindow *open = w->batchWindow();
    settle();
    PaintWatch watch(open, &clock);
    for (const char *change : {"deleted", "renamed"}) {
        std::vector<double> changeTimes;
        for (int k = 0; k < 5; ++k) {
            settle();
            watch.reset();
            const double start = clock.nsecsElapsed() / 1e6;
            if (QByteArray(change) == "deleted")
                page->on_DeleteBtn_clicked(0);
            else
                const_cast<MeasurementModel *>(page->measurementModel())
                    ->setData(page->measurementModel()->index(k, FirstPageForTesk::ColTestName), QStringLiteral("Lot %1").arg(k));
            untilPainted(watch);
            changeTimes.push_back(watch.endedAt() - start);
        }
        std::printf("a row %s at %d rows until the window painted it: %.0f ms\n", change, m, median(changeTimes));
    }
    MainWindow::destroyInstance();
    return 0;
}
