// The batch window: it follows every change of its rows (append, delete, rename, re-judge, clear,
// import, selection, current row); the near-limit band changes nothing that is exported; the
// pictures and the data are saved through the modal seam and read back by independent readers;
// the batch report printed to PDF is read back with pdftotext in both languages.
#include "batchreport.h"
#include "deltae.h"
#include "batchsource.h"
#include "batchwindow.h"
#include "firstpagefortesk.h"
#include "nearlimit.h"
#include "scriptedmodal.h"
#include "ui_batchwindow.h"

#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTranslator>
#include <QValueAxis>
#include <QtTest>

namespace {

// A row of the batch: standard (50, 10, -20), the sample moved by (dL, da, db); ΔE*ab.
MeasurementRecord row(int n, double dL, double da, double db, const QString &verdict = QString(),
                      const QString &threshold = QStringLiteral("2.0"))
{
    MeasurementRecord r;
    r.sequence = n;
    r.testName = QStringLiteral("Smp%1").arg(n, 3, 10, QLatin1Char('0'));
    r.timeText = QStringLiteral("2026/03/%1  10:%2").arg(1 + n / 60, 2, 10, QLatin1Char('0')).arg(n % 60, 2, 10, QLatin1Char('0'));
    const double L = 50, a = 10, b = -20;
    r.standard = {L, a, b, std::hypot(a, b), hueAngle(a, b)};
    r.sample = {L + dL, a + da, b + db, std::hypot(a + da, b + db), hueAngle(a + da, b + db)};
    r.deltaE = std::round(std::sqrt(dL * dL + da * da + db * db) * 100) / 100;
    r.verdict = verdict.isNull() ? (r.deltaE > threshold.toDouble() ? QStringLiteral("NG") : QStringLiteral("PASS"))
                                 : verdict;
    r.formulaText = QStringLiteral("△E*ab");
    r.thresholdText = threshold;
    r.deviceName = QStringLiteral("CM-200");
    r.serialNumber = QStringLiteral("4711");
    return r;
}

// n rows spread around the standard, some NG, some near the limit, every 10th not judged.
QList<MeasurementRecord> batch(int n)
{
    QList<MeasurementRecord> rows;
    for (int i = 1; i <= n; ++i) {
        const double t = i * 0.7;
        MeasurementRecord r = row(i, 0.4 * std::sin(t), 1.6 * std::cos(t * 1.3), 1.4 * std::sin(t * 0.9));
        if (i % 10 == 0)
            r.verdict.clear();
        rows.append(r);
    }
    return rows;
}

QStringList names(const BatchSnapshot &s)
{
    QStringList out;
    for (const BatchRow &r : s.rows)
        out << r.testName;
    return out;
}

QString run(const QString &program, const QStringList &arguments)
{
    const QString tool = QStandardPaths::findExecutable(program);
    if (tool.isEmpty())
        return QStringLiteral("<%1 missing>").arg(program);
    QProcess p;
    p.start(tool, arguments);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(program, QString::fromUtf8(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The drawn extent (width, height in pixels) of the largest closed dark grey curve in a picture:
// the tolerance contour. Dark grey pixels are grouped into 8-connected shapes; the contour is
// the one that spans most in its shorter direction (texts, dashes and the rows' coloured dots
// span little, the axes' lines are light).
QSize contourExtent(const QImage &picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    std::vector<char> dark(size_t(w) * size_t(h), 0);
    for (int y = 0; y < h; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const int r = qRed(line[x]), g = qGreen(line[x]), b = qBlue(line[x]);
            dark[size_t(y) * w + x] = std::max({r, g, b}) < 140 && std::max({r, g, b}) - std::min({r, g, b}) < 25;
        }
    }
    QSize best;
    std::vector<int> stack;
    for (int start = 0; start < w * h; ++start) {
        if (!dark[size_t(start)])
            continue;
        int left = w, right = -1, top = h, bottom = -1;
        stack.assign(1, start);
        dark[size_t(start)] = 0;
        while (!stack.empty()) {
            const int p = stack.back();
            stack.pop_back();
            const int px = p % w, py = p / w;
            left = std::min(left, px);
            right = std::max(right, px);
            top = std::min(top, py);
            bottom = std::max(bottom, py);
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = px + dx, ny = py + dy;
                    if (nx >= 0 && nx < w && ny >= 0 && ny < h && dark[size_t(ny) * w + nx]) {
                        dark[size_t(ny) * w + nx] = 0;
                        stack.push_back(ny * w + nx);
                    }
                }
        }
        const QSize extent(right - left + 1, bottom - top + 1);
        if (std::min(extent.width(), extent.height()) > std::min(best.width(), best.height()))
            best = extent;
    }
    return best;
}

QString squeeze(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    return text;
}

} // namespace

class tst_BatchWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void followsTheTable_data();
    void followsTheTable();
    void burstIsShownOnce();
    void contourOfTheCurrentRow();
    void nearLimitBand();
    void bandChangesNoExport();
    void pictureAndData();
    void currentRowOnHover();
    void hiddenPlotFollowsWhenShown();
    void fitsTheScreen();
    void abPlotHasEqualScale_data();
    void abPlotHasEqualScale();
    void reportPdf_data();
    void reportPdf();
    void printFailureIsReported();

private:
    QTemporaryDir *home = nullptr;
    ScriptedModal *modal = nullptr;
    RecordListSource *source = nullptr;
    BatchWindow *window = nullptr;
};

void tst_BatchWindow::init()
{
    home = new QTemporaryDir;
    qputenv("XDG_CONFIG_HOME", home->path().toUtf8());
    modal = new ScriptedModal;
    source = new RecordListSource;
    window = new BatchWindow(source);
}

void tst_BatchWindow::cleanup()
{
    QCOMPARE(modal->unexpectedCount(), 0);
    QCOMPARE(modal->pendingAnswers(), 0);
    delete window;
    delete source;
    delete modal;
    delete home;
}

void tst_BatchWindow::followsTheTable_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<int>("judged");
    QTest::addColumn<int>("ng");
    QTest::newRow("append") << "append" << QStringList{"Smp001", "Smp002", "Smp003", "Smp004", "Smp005"} << 5 << 1;
    QTest::newRow("delete") << "delete" << QStringList{"Smp001", "Smp003", "Smp004"} << 3 << 0;
    QTest::newRow("rename") << "rename" << QStringList{"Smp001", "Renamed", "Smp003", "Smp004"} << 4 << 1;
    QTest::newRow("re-judge") << "rejudge" << QStringList{"Smp001", "Smp002", "Smp003", "Smp004"} << 4 << 0;
    QTest::newRow("clear") << "clear" << QStringList{} << 0 << 0;
    QTest::newRow("import") << "import" << QStringList{"Smp007", "Smp008", "Smp009", "Smp010"} << 3 << 0;
    QTest::newRow("selection") << "select" << QStringList{"Smp002", "Smp004"} << 2 << 1;
    QTest::newRow("one row selected") << "selectOne" << QStringList{"Smp001", "Smp002", "Smp003", "Smp004"} << 4 << 1;
}

// Four rows (Row002 NG), then one change of the table: the window shows it once control returns
// to the event loop.
void tst_BatchWindow::followsTheTable()
{
    QFETCH(QString, change);
    QFETCH(QStringList, shown);
    QFETCH(int, judged);
    QFETCH(int, ng);

    source->append({row(1, 0.5, 0.5, 0), row(2, 2, 1, 1), row(3, 0, 1, 0), row(4, 0, 0, -1)});
    QCoreApplication::processEvents();
    QCOMPARE(window->snapshot().statistics.ng, 1);

    if (change == "append") {
        source->append({row(5, 0.1, 0.1, 0.1)});
    } else if (change == "delete") {
        source->remove(1);
    } else if (change == "rename") {
        MeasurementRecord r = source->record(1);
        r.testName = QStringLiteral("Renamed");
        source->replace(1, r);
    } else if (change == "rejudge") {
        for (int i = 0; i < 4; ++i) {
            MeasurementRecord r = source->record(i);
            r.thresholdText = QStringLiteral("5.0");
            r.verdict = QStringLiteral("PASS");
            source->replace(i, r);
        }
    } else if (change == "clear") {
        source->setRows({});
    } else if (change == "import") {
        // An empty verdict from a file is not judged. A PASS with a ΔE of -1 (written while the
        // formula was unknown) counts as PASS, as the page counts it; its ΔE is left out.
        MeasurementRecord empty = row(9, 1, 1, 1, QString(""));
        MeasurementRecord unknownFormula = row(10, 0.1, 0, 0, QStringLiteral("PASS"));
        unknownFormula.deltaE = -1;
        source->setRows({row(7, 0.2, 0.2, 0.2), row(8, 0.3, 0, 0), empty, unknownFormula});
    } else if (change == "select") {
        source->setSelection({3, 1});
    } else if (change == "selectOne") {
        source->setSelection({2});
    }
    QVERIFY(window->refreshPending());
    QCoreApplication::processEvents();
    QVERIFY(!window->refreshPending());

    const BatchSnapshot &s = window->snapshot();
    QCOMPARE(names(s), shown);
    QCOMPARE(s.statistics.judged, judged);
    QCOMPARE(s.statistics.ng, ng);
    QCOMPARE(window->ui->judgedValue->text(), QString::number(judged));
    QCOMPARE(window->ui->ngValue->text(), QString::number(ng));
    QCOMPARE(s.selectionOnly, change == "select");
    QCOMPARE(window->ui->scopeLabel->text(),
             change == "select" ? QStringLiteral("Selected rows: 2 of 4") : QStringLiteral("All rows: %1").arg(shown.size()));
    // What is shown always equals what a fresh window makes of the same rows.
    BatchWindow fresh(source);
    QCOMPARE(names(fresh.snapshot()), shown);
    QCOMPARE(fresh.snapshot().statistics.summary(BatchQuantity::DeltaE).mean, s.statistics.summary(BatchQuantity::DeltaE).mean);
    if (change == "import")
        QCOMPARE(s.statistics.summary(BatchQuantity::DeltaE).count, 2);
}

// An import appends thousands of rows one by one; the window takes them in one refresh, and
// appended rows are read once each.
void tst_BatchWindow::burstIsShownOnce()
{
    const QList<MeasurementRecord> rows = batch(300);
    for (const MeasurementRecord &r : rows)
        source->append({r});
    QCoreApplication::processEvents();
    QCOMPARE(int(window->snapshot().rows.size()), 300);
    QCOMPARE(window->snapshot().current, 299);
    source->append({row(301, 0, 0, 0)});
    QCoreApplication::processEvents();
    QCOMPARE(names(window->snapshot()).last(), QStringLiteral("Smp301"));
    QCOMPARE(window->snapshot().statistics.rows, 301);
}

// The contour is that of the current row's standard, formula and threshold; with either unknown
// there is none and the plot says so.
void tst_BatchWindow::contourOfTheCurrentRow()
{
    MeasurementRecord other = row(2, 0, 0, 0);
    other.standard = {70, 0, 0, 0, 0};
    other.formulaText = QStringLiteral("△E*00");
    other.thresholdText = QStringLiteral("1.5");
    source->append({row(1, 0.5, 0.5, 0), other});
    QCoreApplication::processEvents();
    const BatchSnapshot &s = window->snapshot();
    QCOMPARE(s.current, 1);
    QCOMPARE(s.formula, 5);
    QCOMPARE(s.threshold, 1.5);
    QVERIFY(s.contour.valid());
    const ContourPoint &p = s.contour.points[90];
    QVERIFY(std::fabs(deltaE00({70, 0, 0}, {70, p.da, p.db}) - 1.5) < 1e-6);

    source->setCurrentRow(0);
    QCoreApplication::processEvents();
    QCOMPARE(s.formula, 0);
    QVERIFY(std::fabs(std::hypot(s.contour.points[33].da, s.contour.points[33].db) - 2.0) < 1e-9);

    MeasurementRecord unknown = row(3, 0, 0, 0);
    unknown.formulaText.clear();
    source->append({unknown});
    QCoreApplication::processEvents();
    QVERIFY(!s.contour.valid());
    QVERIFY(window->chartView(BatchCharts::AbPlot)->chart()->title().contains(QStringLiteral("No tolerance contour")));
}

// The band marks rows that passed above X % of their threshold; it is kept in the settings.
void tst_BatchWindow::nearLimitBand()
{
    // ΔE 1.50, 1.61, 1.95, 2.50 (NG), threshold 2.0.
    source->append({row(1, 1.5, 0, 0), row(2, 1.61, 0, 0), row(3, 1.95, 0, 0), row(4, 2.5, 0, 0)});
    QCoreApplication::processEvents();
    QCOMPARE(window->ui->nearLimitValue->text(), QStringLiteral("off"));
    window->ui->nearLimitSpin->setValue(80);
    window->ui->nearLimitCheck->setChecked(true);
    QCOMPARE(window->snapshot().statistics.nearLimit, 2);
    QCOMPARE(window->ui->nearLimitValue->text(), QStringLiteral("2"));
    window->ui->nearLimitSpin->setValue(97);
    QCOMPARE(window->snapshot().statistics.nearLimit, 1);
    QCOMPARE(loadNearLimitBand().percent, 97);
    QCOMPARE(loadNearLimitBand().enabled, true);
    // Nothing else moves: verdicts and counts stay the instrument's.
    QCOMPARE(window->snapshot().statistics.pass, 3);
    QCOMPARE(window->snapshot().statistics.ng, 1);

    BatchWindow second(source);
    QVERIFY(second.ui->nearLimitCheck->isChecked());
    QCOMPARE(second.ui->nearLimitSpin->value(), 97);
}

// The same table exported with the band on and off gives the same files: the table's own
// export and the window's data.
void tst_BatchWindow::bandChangesNoExport()
{
    QTemporaryDir dir;
    FirstPageForTesk page;
    const QList<MeasurementRecord> rows = batch(40);
    source->append(rows);
    QCoreApplication::processEvents();

    QByteArray exports[2][2];
    for (int on = 0; on < 2; ++on) {
        window->ui->nearLimitCheck->setChecked(on == 1);
        QCOMPARE(loadNearLimitBand().enabled, on == 1);
        for (const MeasurementRecord &r : rows)
            page.appendRow(r);
        const QString table = dir.filePath(QStringLiteral("table%1.xls").arg(on));
        modal->answerSaveFile(table);
        QVERIFY(page.exportTable());
        const QString data = dir.filePath(QStringLiteral("data%1.csv").arg(on));
        QVERIFY(window->saveData(data));
        for (int k = 0; k < 2; ++k) {
            QFile f(k == 0 ? table : data);
            QVERIFY(f.open(QIODevice::ReadOnly));
            exports[on][k] = f.readAll();
        }
    }
    QVERIFY(window->snapshot().statistics.nearLimit > 0);
    QVERIFY(!exports[0][0].isEmpty());
    QCOMPARE(exports[1][0], exports[0][0]);
    QCOMPARE(exports[1][1], exports[0][1]);
}

// Pictures through the save dialog (a name without suffix gets the chosen one), the data as CSV
// read back by Python's csv module, both on the clipboard.
void tst_BatchWindow::pictureAndData()
{
    QTemporaryDir dir;
    source->append(batch(25));
    QCoreApplication::processEvents();

    window->ui->plotTabs->setCurrentIndex(0);
    modal->answerSaveFile(dir.filePath("ab"), QStringLiteral("SVG picture (*.svg)"));
    window->on_savePictureBtn_clicked();
    QSvgRenderer svg(dir.filePath("ab.svg"));
    QVERIFY(svg.isValid());
    QFile svgFile(dir.filePath("ab.svg"));
    QVERIFY(svgFile.open(QIODevice::ReadOnly));
    const QByteArray svgText = svgFile.readAll();
    if (!qEnvironmentVariableIsEmpty("BATCH_KEEP_PDF"))
        QFile::copy(dir.filePath("ab.svg"), qEnvironmentVariable("BATCH_KEEP_PDF") + ".svg");
    QVERIFY(svgText.contains("<polyline")); // drawn as vectors: the contour
    QVERIFY(svgText.count("<ellipse") + svgText.count("<circle") >= 20); // and the rows
    QVERIFY(svgText.contains("a*b*"));
    // The legend names what is drawn, as in the window.
    for (const QAbstractSeries *series : window->chartView(BatchCharts::AbPlot)->chart()->series())
        if (series->isVisible())
            QVERIFY2(svgText.contains(series->name().toHtmlEscaped().toUtf8()), qPrintable(series->name()));

    window->ui->plotTabs->setCurrentIndex(2);
    modal->answerSaveFile(dir.filePath("run.png"), QStringLiteral("PNG picture (*.png)"));
    window->on_savePictureBtn_clicked();
    QImage png(dir.filePath("run.png"));
    QCOMPARE(png.size(), QSize(1200, 600));

    modal->answerSaveFile(dir.filePath("data"));
    window->on_saveDataBtn_clicked();
    const QString counted = run(QStringLiteral("python3"),
                                {QStringLiteral("-c"),
                                 QStringLiteral("import csv,sys,collections\n"
                                                "rows=list(csv.DictReader(open(sys.argv[1],newline='',encoding='utf-8')))\n"
                                                "c=collections.Counter(r['kind'] for r in rows)\n"
                                                "print(c['row'],c['contour'],c['lightness'],rows[0]['test name'],"
                                                "max(abs(float(r['dE'])-2.0) for r in rows if r['kind']!='row'))"),
                                 dir.filePath("data.csv")});
    const QStringList parts = counted.simplified().split(u' ');
    QCOMPARE(parts.mid(0, 4), (QStringList{"25", "360", "2", "Smp001"}));
    QVERIFY(parts.value(4).toDouble() < 1e-9);

    // A folder that cannot be written: the user is told.
    modal->answerSaveFile(dir.filePath("missing/folder/data.csv"));
    window->on_saveDataBtn_clicked();
    QCOMPARE(modal->calls(ModalKind::Warning).size(), 1);

    window->on_copyPictureBtn_clicked();
    const QMimeData *copied = QGuiApplication::clipboard()->mimeData();
    QVERIFY(copied && copied->hasImage());
    QVERIFY(copied->text().startsWith(QStringLiteral("kind,row,test name")));
}

// The current row is drawn larger and tells its name under the pointer.
void tst_BatchWindow::currentRowOnHover()
{
    source->append(batch(12));
    source->setCurrentRow(4);
    QCoreApplication::processEvents();
    const BatchRowLayer *layer = window->charts().layer(BatchCharts::AbPlot);
    QVERIFY(layer);
    const BatchSnapshot &s = window->snapshot();
    QCOMPARE(s.current, 4);
    // Layer rows are the judged rows; row 10 (index 9) is not judged, so index 4 is layer row 4.
    const QPointF at = layer->positionOf(4);
    QCOMPARE(layer->nameAt(at + QPointF(5, 0)), QStringLiteral("Smp005"));
    QCOMPARE(layer->nameAt(QPointF(-100, -100)), QString());
    if (!qEnvironmentVariableIsEmpty("BATCH_KEEP_PDF")) { // a look at the window, by hand
        window->resize(1180, 760);
        window->show();
        QCoreApplication::processEvents();
        window->grab().save(qEnvironmentVariable("BATCH_KEEP_PDF") + "-window.png");
    }
}

void tst_BatchWindow::abPlotHasEqualScale_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QSize>("size");
    QTest::newRow("window, wide") << "window" << QSize(1400, 600);
    QTest::newRow("window, tall") << "window" << QSize(700, 1000);
    QTest::newRow("picture, as saved") << "picture" << QSize(900, 800);
    QTest::newRow("picture, wide") << "picture" << QSize(1200, 500);
    QTest::newRow("picture, tall") << "picture" << QSize(500, 900);
    QTest::newRow("SVG") << "svg" << QSize(1200, 500);
    QTest::newRow("report") << "report" << QSize();
}

// The contour of ΔE*ab is a circle: drawn with the same units per pixel across and up, it is as
// wide as it is high, in the window at any shape, in the pictures and in the printed report.
void tst_BatchWindow::abPlotHasEqualScale()
{
    QFETCH(QString, where);
    QFETCH(QSize, size);
    // Rows spread more across than up: an extent fitted to each axis alone would differ.
    QList<MeasurementRecord> rows;
    for (int i = 0; i < 12; ++i)
        rows.append(row(i + 1, 0.1, 3.0 * std::cos(i * 0.5), 0.4 * std::sin(i * 0.5)));
    rows.append(row(13, 0, 0.2, 0.1)); // the current row, ringed, well inside the contour
    source->append(rows);
    QCoreApplication::processEvents();
    const BatchSnapshot &s = window->snapshot();
    QCOMPARE(s.formula, 0);

    QSize extent;
    if (where == "window") {
        window->resize(size);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCoreApplication::processEvents();
        QChart *chart = window->chartView(BatchCharts::AbPlot)->chart();
        QAbstractSeries *contour = chart->series().first();
        const QPointF origin = chart->mapToPosition({0, 0}, contour);
        const QPointF across = chart->mapToPosition({2, 0}, contour) - origin;
        const QPointF up = chart->mapToPosition({0, 2}, contour) - origin;
        QVERIFY2(std::fabs(across.x() - -up.y()) < 0.01 * across.x(),
                 qPrintable(QStringLiteral("%1 px across, %2 px up").arg(across.x()).arg(-up.y())));
        QVERIFY(chart->plotArea().width() > 100 && chart->plotArea().height() > 100);
        extent = contourExtent(window->chartView(BatchCharts::AbPlot)->grab().toImage());
    } else if (where == "picture") {
        extent = contourExtent(BatchCharts::image(s, BatchCharts::AbPlot, size));
    } else if (where == "svg") {
        QSvgRenderer svg(BatchCharts::svg(s, BatchCharts::AbPlot, size));
        QVERIFY(svg.isValid());
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        svg.render(&painter);
        painter.end();
        extent = contourExtent(image);
    } else {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("batch.pdf"));
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        QVERIFY(window->printTo(&printer));
        // The first page as pdftoppm draws it.
        QVERIFY(run(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("120"),
                                                 QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                                                 QStringLiteral("1"), QStringLiteral("-singlefile"), pdf,
                                                 dir.filePath(QStringLiteral("page"))})
                    .isEmpty());
        const QImage page(dir.filePath(QStringLiteral("page.png")));
        QVERIFY(!page.isNull());
        extent = contourExtent(page);
    }
    QVERIFY2(extent.width() > 60, qPrintable(QStringLiteral("%1 x %2").arg(extent.width()).arg(extent.height())));
    QVERIFY2(std::abs(extent.width() - extent.height()) <= std::max(3, extent.width() / 100),
             qPrintable(QStringLiteral("contour drawn %1 x %2 pixels").arg(extent.width()).arg(extent.height())));
}

// Only the plot on show is drawn as rows come; another tab, once opened, shows the same rows.
void tst_BatchWindow::hiddenPlotFollowsWhenShown()
{
    window->ui->plotTabs->setCurrentIndex(BatchCharts::AbPlot);
    source->append(batch(5));
    QCoreApplication::processEvents();
    source->append({row(6, 0.3, 0.2, 0.1), row(7, 0.1, 0.1, 0.1)});
    QCoreApplication::processEvents();
    for (BatchCharts::Plot plot : {BatchCharts::RunPlot, BatchCharts::LightnessPlot}) {
        window->ui->plotTabs->setCurrentIndex(plot);
        const auto *x = qobject_cast<QValueAxis *>(window->chartView(plot)->chart()->axes(Qt::Horizontal).first());
        QVERIFY(x);
        QCOMPARE(x->max(), 7.5);
        const BatchRowLayer *layer = window->charts().layer(plot);
        QCOMPARE(layer->nameAt(layer->positionOf(6)), QStringLiteral("Smp007"));
    }
}

// Opened on a small screen (the offscreen platform's 800 x 600), the window fits in it with
// room for a title bar.
void tst_BatchWindow::fitsTheScreen()
{
    source->append(batch(20));
    BatchWindow *opened = BatchWindow::openFor(source, nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(opened));
    const QRect available = opened->screen()->availableGeometry();
    QVERIFY(opened->width() <= available.width());
    QVERIFY(opened->height() + 40 <= available.height());
    QVERIFY(available.contains(opened->geometry()));
    opened->close();
}

void tst_BatchWindow::reportPdf_data()
{
    QTest::addColumn<bool>("chinese");
    QTest::newRow("English") << false;
    QTest::newRow("Chinese") << true;
}

// 150 rows over several pages: every statistic as the window shows it, the rows in order across
// the pages, the header on every page of rows, in the language of the interface.
void tst_BatchWindow::reportPdf()
{
    QFETCH(bool, chinese);
    QTranslator translator;
    if (chinese) {
        QVERIFY(translator.load(QStringLiteral(COLORIMETER_QM_DIR "/Pelmo_zh.qm")));
        QCoreApplication::installTranslator(&translator);
    }
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("batch.pdf"));
    source->setReportInfo({QStringLiteral("ACME Paints"), QStringLiteral("Ann"), QStringLiteral("Bo")});
    source->append(batch(150));
    QCoreApplication::processEvents();
    window->ui->nearLimitCheck->setChecked(true);

    modal->answerPrint(QDialog::Accepted, [&](QPrinter *p) {
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(pdf);
    });
    window->on_printBtn_clicked();
    QCOMPARE(modal->calls(ModalKind::Warning).size(), 0);
    if (!qEnvironmentVariableIsEmpty("BATCH_KEEP_PDF"))
        QFile::copy(pdf, qEnvironmentVariable("BATCH_KEEP_PDF") + (chinese ? "-zh.pdf" : "-en.pdf"));
    if (chinese)
        QCoreApplication::removeTranslator(&translator);

    const QString info = run(QStringLiteral("pdfinfo"), {pdf});
    const int pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info).captured(1).toInt();
    QVERIFY2(pages >= 4, qPrintable(info));

    QString all;
    QStringList order;
    const QString header = squeeze(chinese ? QStringLiteral("序号测试名称") : QStringLiteral("No.Test Name"));
    int pagesWithRows = 0;
    for (int p = 1; p <= pages; ++p) {
        const QString text = squeeze(run(QStringLiteral("pdftotext"),
                                         {QStringLiteral("-f"), QString::number(p), QStringLiteral("-l"), QString::number(p),
                                          QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")}));
        all += text;
        const auto matches = QRegularExpression(QStringLiteral("Smp\\d\\d\\d")).globalMatch(text);
        QStringList onPage;
        for (auto it = matches; it.hasNext();)
            onPage << it.next().captured(0);
        // Every page of rows begins with the header; elsewhere a name shows only as the row of
        // the largest ΔE, in the statistics.
        if (text.contains(header)) {
            ++pagesWithRows;
            order += onPage;
        } else {
            QVERIFY2(onPage.size() <= 1, qPrintable(QStringLiteral("page %1: rows without a header").arg(p)));
        }
    }
    QVERIFY(pagesWithRows >= 3);
    QStringList expected;
    for (int i = 1; i <= 150; ++i)
        expected << QStringLiteral("Smp%1").arg(i, 3, 10, QLatin1Char('0'));
    QCOMPARE(order, expected);

    QVERIFY(all.contains(squeeze(chinese ? QStringLiteral("批量报告") : QStringLiteral("Batch Report"))));
    for (const QString &field : {QStringLiteral("ACMEPaints"), QStringLiteral("CM-200"), QStringLiteral("4711"),
                                 QStringLiteral("2026/03/0110:01"), QStringLiteral("2026/03/0310:30")})
        QVERIFY2(all.contains(field), qPrintable(field));
    for (int r = 0; r < kBatchQuantityCount; ++r)
        for (int c = 0; c < 4; ++c) {
            const QString shown = window->ui->statisticsTable->item(r, c)->text();
            QVERIFY(!shown.isEmpty());
            QVERIFY2(all.contains(shown), qPrintable(shown));
        }
    // The legends of the two plots, as the window's.
    for (BatchCharts::Plot plot : {BatchCharts::AbPlot, BatchCharts::LightnessPlot})
        for (const QAbstractSeries *series : window->chartView(plot)->chart()->series())
            if (series->isVisible() && !series->name().isEmpty())
                QVERIFY2(all.contains(squeeze(series->name())), qPrintable(series->name()));
    for (QLabel *label : {window->ui->judgedValue, window->ui->passValue, window->ui->ngValue, window->ui->passRateValue,
                          window->ui->nearLimitValue, window->ui->largestValue, window->ui->notJudgedValue})
        QVERIFY2(all.contains(squeeze(label->text())), qPrintable(label->text()));
}

void tst_BatchWindow::printFailureIsReported()
{
    source->append(batch(3));
    QCoreApplication::processEvents();
    modal->answerPrint(QDialog::Accepted, [](QPrinter *p) {
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(QStringLiteral("/nonexistent-folder/batch.pdf"));
    });
    window->on_printBtn_clicked();
    QCOMPARE(modal->calls(ModalKind::Warning).size(), 1);
    QCOMPARE(modal->calls(ModalKind::Warning).at(0).text, QStringLiteral("The batch report could not be printed."));
}

QTEST_MAIN(tst_BatchWindow)
#include "tst_batchwindow.moc"
