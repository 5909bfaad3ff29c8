// The batch window as the program opens it: from the page's Batch button, on the page's table,
// with the virtual instrument. It follows every change of the table (measured, deleted, renamed,
// re-judged, cleared, imported, downloaded, restored, another language, a selection) at the next
// turn of the event loop, agrees with the page's own counters, takes the report information
// from the page, and the near-limit band changes nothing the page's export writes.
#include "applook.h"
#include "batchwindow.h"
#include "cprotocol.h"
#include "devicewatcher.h"
#include "excelengine.h"
#include "firstpagefortesk.h"
#include "hidaccess.h"
#include "mainwindow.h"
#include "scriptedmodal.h"
#include "testsupport.h"
#include "ui_batchwindow.h"
#include "virtualinstrument.h"

#include <QChartView>
#include <QCheckBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QStringList shownNames(const BatchWindow *window)
{
    QStringList names;
    for (const BatchRow &row : window->snapshot().rows)
        names << row.testName;
    return names;
}

QStringList tableNames(const FirstPageForTesk *page, const QList<int> &rows = {})
{
    QStringList names;
    const MeasurementModel *model = page->measurementModel();
    if (rows.isEmpty()) {
        for (int r = 0; r < model->rowCount(); ++r)
            names << model->record(r).testName;
    } else {
        for (int r : rows)
            names << model->record(r).testName;
    }
    return names;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class tst_BatchPage : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void followsThePage_data();
    void followsThePage();
    void currentRowIsTheOneClicked();
    void languageSwitchRetranslatesTheWindow();
    void reportHeadingTakesThePagesInformation();
    void bandChangesNothingThePageExports();
    void statisticsReadableAtTheSmallest();

private:
    void measurePair(double sampleL, double sampleA, double sampleB, double standardL = 50);
    void useTranslations();
    BatchWindow *openWindow();

    QTemporaryDir *home = nullptr;
    VirtualInstrument *vi = nullptr;
    ScriptedModal *modal = nullptr;
    MainWindow *w = nullptr;
    FirstPageForTesk *page = nullptr;
    double lastStandard = -1;
    QString oldCurrent;
    std::unique_ptr<QTemporaryDir> qmDir;
};

void tst_BatchPage::init()
{
    home = new QTemporaryDir;
    qputenv("XDG_CONFIG_HOME", home->filePath(QStringLiteral("config")).toUtf8());
    CProtocol::setWaitScaleForTests(0.1);
    vi = new VirtualInstrument;
    vi->setDeltaEParameter(0, 20); // ΔE*ab, 2.0
    hidaccess::setDefaultBackend(vi);
    modal = new ScriptedModal;
    lastStandard = -1;
}

void tst_BatchPage::cleanup()
{
    QCOMPARE(modal->unexpectedCount(), 0);
    MainWindow::destroyInstance();
    w = nullptr;
    page = nullptr;
    hidaccess::setDefaultBackend(nullptr);
    delete vi;
    delete modal;
    delete home;
    CProtocol::setWaitScaleForTests(1.0);
    if (qmDir) {
        QVERIFY(QDir::setCurrent(oldCurrent));
        qmDir.reset();
    }
}

void tst_BatchPage::useTranslations()
{
    oldCurrent = QDir::currentPath();
    qmDir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir::setCurrent(qmDir->path()));
    for (const char *language : {"en", "zh"}) {
        const QString name = QStringLiteral("Pelmo_%1.qm").arg(QLatin1String(language));
        QVERIFY(QFile::copy(QStringLiteral(COLORIMETER_QM_DIR "/") + name, qmDir->filePath(name)));
    }
}

BatchWindow *tst_BatchPage::openWindow()
{
    if (!w) {
        w = MainWindow::instance();
        connect(vi, &VirtualInstrument::pluggedIn, w->deviceWatcher(), &DeviceWatcher::reportArrival);
        connect(vi, &VirtualInstrument::unplugged, w->deviceWatcher(), &DeviceWatcher::reportRemoval);
        page = w->page;
    }
    page->findChild<QPushButton *>(QStringLiteral("BatchBtn"))->click();
    return w->batchWindow();
}

// A sample against the standard (standardL, 10, -20): one judged row. The standard is measured
// first when it is not the one shown; with a sample shown, that makes a row of its own.
void tst_BatchPage::measurePair(double sampleL, double sampleA, double sampleB, double standardL)
{
    if (standardL != lastStandard)
        testsupport::measure(page, vi, 1, standardL, 10, -20);
    lastStandard = standardL;
    testsupport::measure(page, vi, 2, sampleL, sampleA, sampleB);
}

void tst_BatchPage::followsThePage_data()
{
    QTest::addColumn<QString>("change");
    for (const char *change : {"measured", "deleted", "renamed", "re-judged", "cleared", "imported",
                               "imported with an NG and no ΔE", "downloaded", "restored", "selected", "one selected", "deleted while selected", "selection cleared"})
        QTest::newRow(change) << QString::fromLatin1(change);
}

// Three measured rows (the second NG), the window open on them; then one change of the table.
// After one turn of the event loop the window shows the rows the table has (or those selected),
// and its counts are the page's own.
void tst_BatchPage::followsThePage()
{
    QFETCH(QString, change);
    BatchWindow *window = openWindow();
    QVERIFY(window);
    QTRY_VERIFY(w->isLinkOpen() && page->threshold == 2.0);
    measurePair(50.5, 10.5, -20);
    measurePair(52, 12, -19);
    measurePair(50, 11, -20.5);
    QCoreApplication::processEvents();
    QCOMPARE(shownNames(window), (QStringList{"Comp1", "Comp2", "Comp3"}));
    QCOMPARE(window->snapshot().statistics.ng, 1);

    QTemporaryDir dir;
    QItemSelectionModel *selection = page->measurementSelection();
    const auto select = [&](const QList<int> &rows) {
        selection->clearSelection();
        for (int r : rows)
            selection->select(page->measurementModel()->index(r, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };
    QList<int> selected;
    if (change == "measured") {
        measurePair(50.2, 10, -20.1);
    } else if (change == "deleted") {
        testsupport::clickRowButton(page, 1, FirstPageForTesk::ColDelete);
    } else if (change == "renamed") {
        testsupport::editTestName(page, 2, QStringLiteral("Lot 7"));
    } else if (change == "re-judged") {
        // A threshold of 4.0 set on the instrument: every row is judged again, all PASS.
        page->threshold = 4.0;
        page->findChild<QLineEdit *>(QStringLiteral("ThresholdsEdit"))->setText(QStringLiteral("4.0"));
        page->reevaluateRows();
    } else if (change == "cleared") {
        page->findChild<QPushButton *>(QStringLiteral("ClearBtn"))->click();
    } else if (change == "imported") {
        // Saved (which empties the table), then read back.
        const QString file = dir.filePath(QStringLiteral("lot.xls"));
        modal->answerSaveFile(file);
        page->findChild<QPushButton *>(QStringLiteral("ExportExcelBtn"))->click();
        QCOMPARE(page->rowCount(), 0);
        modal->answerOpenFile(file);
        page->findChild<QPushButton *>(QStringLiteral("ImportExcelBtn"))->click();
        QCOMPARE(page->rowCount(), 3);
    } else if (change == "imported with an NG and no ΔE") {
        // A sheet whose NG row has the table's "-----" for its ΔE: the page counts it NG, and so
        // does the window; its ΔE is left out of the ΔE figures.
        const QString file = dir.filePath(QStringLiteral("lot.xls"));
        modal->answerSaveFile(file);
        page->findChild<QPushButton *>(QStringLiteral("ExportExcelBtn"))->click();
        CellRows rows;
        {
            ExcelEngine engine(file);
            QVERIFY(engine.open(1));
            QVERIFY(engine.readAll(rows));
        }
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[2][18].toString(), QStringLiteral("NG"));
        rows[2][17] = QStringLiteral("-----");
        QVERIFY(QFile::remove(file));
        QVERIFY(testsupport::writeSheet(file, rows));
        modal->answerOpenFile(file);
        page->findChild<QPushButton *>(QStringLiteral("ImportExcelBtn"))->click();
        QCOMPARE(page->rowCount(), 3);
        QCOMPARE(page->ngCount, 1);
        QCoreApplication::processEvents();
        const BatchSnapshot &s = window->snapshot();
        QCOMPARE(s.statistics.summary(BatchQuantity::DeltaE).count, 2);
        QCOMPARE(s.statistics.summary(BatchQuantity::DeltaL).count, 3);
        QCOMPARE(s.statistics.summary(BatchQuantity::DeltaE).mean,
                 (page->rowRecord(0).deltaE + page->rowRecord(2).deltaE) / 2);
    } else if (change == "downloaded") {
        vi->setRecords({{QByteArray("Tile A"), 5000, 1000, -2000, 5010, 1020, -2000},
                        {QByteArray("Tile B"), 5000, 1000, -2000, 5300, 1000, -2000}});
        modal->answerQuestion(QMessageBox::No); // three rows: asked whether to save them first
        page->findChild<QPushButton *>(QStringLiteral("readcolordifrecordBtn"))->click();
        QCOMPARE(page->rowCount(), 2);
    } else if (change == "restored") {
        QList<MeasurementRecord> kept{page->rowRecord(0), page->rowRecord(1)};
        kept[0].testName = QStringLiteral("Kept 1");
        kept[1].testName = QStringLiteral("Kept 2");
        page->restoreRows(kept, 9);
    } else if (change == "selected") {
        selected = {0, 2};
        select(selected);
    } else if (change == "one selected") {
        select({1});
    } else if (change == "deleted while selected") {
        // The Delete button of a selected row: the selection keeps the others.
        select({0, 1, 2});
        QCoreApplication::processEvents();
        QCOMPARE(window->snapshot().rows.size(), size_t(3));
        testsupport::clickRowButton(page, 1, FirstPageForTesk::ColDelete);
        selected = {0, 1};
    } else if (change == "selection cleared") {
        select({0, 1});
        QCoreApplication::processEvents();
        QVERIFY(window->snapshot().selectionOnly);
        selection->clearSelection();
    }
    QCoreApplication::processEvents(); // one turn
    QVERIFY(!window->refreshPending());

    const BatchSnapshot &s = window->snapshot();
    QCOMPARE(shownNames(window), tableNames(page, selected));
    QCOMPARE(s.selectionOnly, !selected.isEmpty());
    QCOMPARE(s.tableRows, page->rowCount());
    if (selected.isEmpty()) {
        // The window's counts are the page's counters.
        QCOMPARE(s.statistics.judged, page->totalCount);
        QCOMPARE(s.statistics.ng, page->ngCount);
        QCOMPARE(s.statistics.pass, page->passCount);
        QCOMPARE(window->ui->scopeLabel->text(), QStringLiteral("All rows: %1").arg(page->rowCount()));
    } else {
        QCOMPARE(window->ui->scopeLabel->text(),
                 QStringLiteral("Selected rows: %1 of %2").arg(selected.size()).arg(page->rowCount()));
    }
    QCOMPARE(window->ui->judgedValue->text(), QString::number(s.statistics.judged));
    QCOMPARE(window->ui->ngValue->text(), QString::number(s.statistics.ng));
    if (change == "renamed")
        QVERIFY(shownNames(window).contains(QStringLiteral("Lot 7")));
    if (change == "re-judged") {
        QCOMPARE(s.statistics.ng, 0);
        QCOMPARE(s.threshold, 4.0);
        QVERIFY(std::fabs(std::hypot(s.contour.points[0].da, s.contour.points[0].db) - 4.0) < 1e-6);
    }

    // What an open window shows is what a window opened now makes of the same table.
    const QStringList names = shownNames(window);
    const double meanDeltaE = s.statistics.summary(BatchQuantity::DeltaE).mean;
    window->close();
    QTRY_VERIFY(!w->batchWindow());
    BatchWindow *fresh = openWindow();
    QVERIFY(fresh);
    QCOMPARE(shownNames(fresh), names);
    const double freshMean = fresh->snapshot().statistics.summary(BatchQuantity::DeltaE).mean;
    QVERIFY(freshMean == meanDeltaE || (std::isnan(freshMean) && std::isnan(meanDeltaE)));
}

// The current row is the last appended, or the one the user clicked in the table: the contour
// is drawn for its standard.
void tst_BatchPage::currentRowIsTheOneClicked()
{
    BatchWindow *window = openWindow();
    QTRY_VERIFY(w->isLinkOpen() && page->threshold == 2.0);
    measurePair(40.5, 10, -20, 40);
    measurePair(60.5, 10, -20, 60); // two rows: the new standard against the sample shown, then the pair
    QCoreApplication::processEvents();
    QCOMPARE(page->rowCount(), 3);
    QCOMPARE(window->snapshot().current, 2);
    QCOMPARE(window->snapshot().standard.L, 60.0);

    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTableView *table = testsupport::measurementTable(page);
    const QRect cell = table->visualRect(page->measurementModel()->index(0, FirstPageForTesk::ColTestName));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QCoreApplication::processEvents();
    QCOMPARE(window->snapshot().current, 0);
    QCOMPARE(window->snapshot().standard.L, 40.0);
    QVERIFY(!window->snapshot().selectionOnly); // one row selected: the window keeps all rows

    measurePair(70.2, 10, -20, 70);
    QCoreApplication::processEvents();
    QCOMPARE(window->snapshot().current, 4);
    QCOMPARE(window->snapshot().standard.L, 70.0);
}

// The window's texts follow the language buttons of the main window.
void tst_BatchPage::languageSwitchRetranslatesTheWindow()
{
    useTranslations();
    BatchWindow *window = openWindow(); // the program starts in Chinese
    QTRY_VERIFY(w->isLinkOpen() && page->threshold == 2.0);
    measurePair(50.5, 10.5, -20);
    measurePair(52, 12, -19);
    QCoreApplication::processEvents();
    QCOMPARE(window->windowTitle(), QStringLiteral("批量"));
    QCOMPARE(window->ui->scopeLabel->text(), QStringLiteral("全部行：2"));
    QCOMPARE(page->findChild<QPushButton *>(QStringLiteral("BatchBtn"))->text(), QStringLiteral("批量"));

    w->findChild<QPushButton *>(QStringLiteral("btnLanguageEn"))->click();
    QCoreApplication::processEvents();
    QCOMPARE(window->windowTitle(), QStringLiteral("Batch"));
    QCOMPARE(window->ui->scopeLabel->text(), QStringLiteral("All rows: 2"));
    QCOMPARE(window->ui->printBtn->text(), QStringLiteral("Print"));
    QCOMPARE(window->ui->statisticsTable->horizontalHeaderItem(0)->text(), QStringLiteral("Mean"));
    QCOMPARE(window->chartView(BatchCharts::AbPlot)->chart()->title(), QStringLiteral("a*b* plot"));
    QCOMPARE(page->findChild<QPushButton *>(QStringLiteral("BatchBtn"))->text(), QStringLiteral("Batch"));
    // The table's verdict words changed language; the verdicts did not.
    QCOMPARE(window->snapshot().statistics.ng, 1);
    QCOMPARE(window->snapshot().statistics.pass, 1);

    w->findChild<QPushButton *>(QStringLiteral("btnLanguageZh"))->click();
    QCoreApplication::processEvents();
    QCOMPARE(window->windowTitle(), QStringLiteral("批量"));
    QCOMPARE(window->ui->statisticsTable->horizontalHeaderItem(0)->text(), QStringLiteral("平均值"));
    QCOMPARE(window->snapshot().statistics.ng, 1);
}

// The batch report's heading takes company, tester and auditor as the report information dialog
// left them on the page, at the time of printing.
void tst_BatchPage::reportHeadingTakesThePagesInformation()
{
    BatchWindow *window = openWindow();
    QTRY_VERIFY(w->isLinkOpen() && page->threshold == 2.0);
    measurePair(50.5, 10.5, -20);
    page->reportCompany = QStringLiteral("Acme Coatings");
    page->reportTester = QStringLiteral("Tess Ter");
    page->reportAuditor = QStringLiteral("Otto Audit");
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("batch.pdf"));
    modal->answerPrint(QDialog::Accepted, [&](QPrinter *p) {
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(pdf);
    });
    window->ui->printBtn->click();
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    QVERIFY(!pdftotext.isEmpty());
    QProcess p;
    p.start(pdftotext, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    QVERIFY(p.waitForFinished(60000));
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    for (const char *field : {"Acme Coatings", "Tess Ter", "Otto Audit", "Comp1"})
        QVERIFY2(text.contains(QLatin1String(field)), field);
}

// The same table exported through the page's Export button with the band off and on: the same
// file, byte for byte, and the same rows shown back by the window.
void tst_BatchPage::bandChangesNothingThePageExports()
{
    BatchWindow *window = openWindow();
    QTRY_VERIFY(w->isLinkOpen() && page->threshold == 2.0);
    measurePair(50.5, 10.5, -20);   // ΔE 0.71
    measurePair(51.2, 11.2, -20.3); // ΔE 1.72: near the limit at 80 %
    measurePair(52, 12, -19);       // NG
    QList<MeasurementRecord> rows;
    for (int r = 0; r < page->rowCount(); ++r)
        rows << page->rowRecord(r);

    QTemporaryDir dir;
    QByteArray files[2];
    for (int on = 0; on < 2; ++on) {
        window->ui->nearLimitSpin->setValue(80);
        window->ui->nearLimitCheck->setChecked(on == 1);
        QCoreApplication::processEvents();
        QCOMPARE(window->snapshot().statistics.nearLimit, on);
        QCOMPARE(page->passCount, 2);
        QCOMPARE(page->ngCount, 1);
        const QString file = dir.filePath(QStringLiteral("table%1.xls").arg(on));
        modal->answerSaveFile(file);
        page->findChild<QPushButton *>(QStringLiteral("ExportExcelBtn"))->click();
        QCOMPARE(page->rowCount(), 0); // saved and emptied
        files[on] = fileBytes(file);
        QVERIFY(!files[on].isEmpty());
        page->restoreRows(rows, 3);
        QCoreApplication::processEvents();
        QCOMPARE(shownNames(window), (QStringList{"Comp1", "Comp2", "Comp3"}));
    }
    QCOMPARE(files[1], files[0]);
}

// In the program's look (its style sheet and font), the window made as small as it goes still
// shows every row of the statistics whole: the list of rows not judged gives way first.
void tst_BatchPage::statisticsReadableAtTheSmallest()
{
    const QString styleSheet = qApp->styleSheet();
    const QFont font = QApplication::font();
    const QPalette palette = QApplication::palette();
    applyApplicationLook(*qApp);
    BatchWindow *window = openWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    window->resize(window->minimumSizeHint());
    QCoreApplication::processEvents();
    const QTableWidget *statistics = window->ui->statisticsTable;
    QStringList heights;
    bool whole = true;
    for (int r = 0; r < statistics->rowCount(); ++r) {
        heights << QString::number(statistics->rowHeight(r));
        // The text, and the grid line below it, inside the table.
        whole = whole && statistics->rowHeight(r) >= statistics->fontMetrics().height() + 1
                && statistics->rowViewportPosition(r) + statistics->rowHeight(r) <= statistics->viewport()->height();
    }
    qApp->setStyleSheet(styleSheet);
    QApplication::setFont(font);
    QApplication::setPalette(palette);
    QVERIFY2(whole, qPrintable(QStringLiteral("rows of %1 pixels in %2 for a text of %3")
                                   .arg(heights.join(u' '))
                                   .arg(statistics->viewport()->height())
                                   .arg(statistics->fontMetrics().height())));
}

QTEST_MAIN(tst_BatchPage)
#include "tst_batchpage.moc"
