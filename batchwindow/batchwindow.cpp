#include "batchwindow.h"

#include "batchcsv.h"
#include "batchreport.h"
#include "batchrows.h"
#include "batchsource.h"
#include "modal.h"
#include "ui_batchwindow.h"
#include "usersettings.h"

#include <QApplication>
#include <QChartView>
#include <QClipboard>
#include <QFileInfo>
#include <QHeaderView>
#include <QLoggingCategory>
#include <QMimeData>
#include <QPrinter>
#include <QScreen>
#include <QSaveFile>
#include <QStringListModel>
#include <QTimer>

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcBatch, "colorimeter.batch")

namespace {

const QSize kPictureSizes[BatchCharts::PlotCount] = {{900, 800}, {1200, 600}, {1200, 600}};
const char *const kPictureNames[BatchCharts::PlotCount] = {"batch-ab-plot", "batch-dL-chart", "batch-dE-run-chart"};

// A name typed without the suffix gets the one of the filter chosen.
QString withSuffix(const QString &path, const QString &suffix)
{
    if (path.isEmpty() || QFileInfo(path).suffix().compare(suffix, Qt::CaseInsensitive) == 0)
        return path;
    return path + u'.' + suffix;
}

} // namespace

BatchWindow::BatchWindow(BatchSource *source, QWidget *parent)
    : QWidget(parent, Qt::Window), ui(new Ui::BatchWindow), m_source(source), m_notJudged(new QStringListModel(this))
{
    ui->setupUi(this);
    QVBoxLayout *layouts[BatchCharts::PlotCount] = {ui->abLayout, ui->lightnessLayout, ui->runLayout};
    for (int p = 0; p < BatchCharts::PlotCount; ++p) {
        m_views[p] = new QChartView(m_charts.chart(BatchCharts::Plot(p)));
        m_views[p]->setRenderHint(QPainter::Antialiasing);
        layouts[p]->addWidget(m_views[p]);
    }
    ui->notJudgedView->setModel(m_notJudged);
    setupStatisticsTable();

    m_snapshot.band = loadNearLimitBand();
    ui->nearLimitCheck->setChecked(m_snapshot.band.enabled);
    ui->nearLimitSpin->setValue(m_snapshot.band.percent);
    ui->nearLimitSpin->setEnabled(m_snapshot.band.enabled);
    connect(ui->nearLimitCheck, &QCheckBox::toggled, this, &BatchWindow::bandChanged);
    connect(ui->nearLimitSpin, &QSpinBox::valueChanged, this, &BatchWindow::bandChanged);

    connect(ui->plotTabs, &QTabWidget::currentChanged, this, [this] {
        const unsigned shown = 1u << currentPlot();
        if (m_stalePlots & shown) {
            m_charts.update(m_snapshot, shown);
            m_stalePlots &= ~shown;
        }
    });
    connect(source, &BatchSource::rowsAppended, this, &BatchWindow::appended);
    connect(source, &BatchSource::rowsChanged, this, [this] { schedule(true); });
    connect(source, &BatchSource::selectionChanged, this, [this] { schedule(true); });
    connect(source, &BatchSource::currentRowChanged, this, [this] { schedule(false); });
    connect(source, &QObject::destroyed, this, &QWidget::close);
    refreshNow();
}

BatchWindow::~BatchWindow()
{
    delete ui;
}

BatchWindow *BatchWindow::openFor(BatchSource *source, QWidget *parent)
{
    auto *window = new BatchWindow(source, parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    // The form's size, made smaller on a small screen, with room left for the window manager's
    // frame and title bar (a laptop's 768 pixels less a panel are not 760 and a title).
    if (QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size() - QSize(16, 48);
        window->resize(window->size().boundedTo(room).expandedTo(window->minimumSizeHint()));
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void BatchWindow::retranslateStatisticsTable()
{
    QStringList labels;
    for (int q = 0; q < kBatchQuantityCount; ++q)
        labels << batchQuantityLabel(BatchQuantity(q));
    ui->statisticsTable->setVerticalHeaderLabels(labels);
    ui->statisticsTable->setHorizontalHeaderLabels({tr("Mean"), tr("SD"), tr("Min"), tr("Max")});
}

void BatchWindow::setupStatisticsTable()
{
    QTableWidget *t = ui->statisticsTable;
    retranslateStatisticsTable();
    t->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // Room for every row's text however short the window: the list of rows not judged below
    // gives way first.
    const int rowHeight = t->fontMetrics().height() + 6;
    t->setMinimumHeight(t->horizontalHeader()->sizeHint().height() + kBatchQuantityCount * rowHeight
                        + 2 * t->frameWidth());
    for (int r = 0; r < kBatchQuantityCount; ++r)
        for (int c = 0; c < 4; ++c) {
            auto *item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            t->setItem(r, c, item);
        }
}

void BatchWindow::schedule(bool full)
{
    m_full = m_full || full;
    if (m_pending)
        return;
    m_pending = true;
    QTimer::singleShot(0, this, &BatchWindow::refresh);
}

void BatchWindow::appended(int first, int /*last*/)
{
    // Appends are taken row by row only while the window shows all rows and has seen every row
    // before these; anything else reads the rows again.
    if (m_appendFirst < 0)
        m_appendFirst = first;
    schedule(m_snapshot.selectionOnly || m_appendFirst != int(m_snapshot.rows.size()));
}

void BatchWindow::refreshNow()
{
    m_full = true;
    m_pending = true;
    refresh();
}

void BatchWindow::refresh()
{
    if (!m_pending || !m_source)
        return;
    m_pending = false;
    const bool selectionOnly = m_source->selectedRows().size() >= 2;
    if (m_full || selectionOnly != m_snapshot.selectionOnly) {
        reload();
    } else if (m_appendFirst >= 0) {
        const int count = m_source->rowCount();
        for (int r = m_appendFirst; r < count; ++r)
            m_snapshot.rows.push_back(batchRowFromRecord(r, m_source->record(r)));
    }
    m_full = false;
    m_appendFirst = -1;
    m_snapshot.tableRows = m_source->rowCount();
    m_snapshot.info = m_source->reportInfo();
    m_snapshot.statistics = computeBatchStatistics(m_snapshot.rows, m_snapshot.band);
    updateCurrent();
    drawCharts();
    showStatistics();
    showScope();
}

void BatchWindow::drawCharts()
{
    // Only the plot on show is drawn now; the others when their tab is opened.
    const unsigned shown = 1u << currentPlot();
    m_charts.update(m_snapshot, shown);
    m_stalePlots = BatchCharts::AllPlots & ~shown;
}

void BatchWindow::reload()
{
    QList<int> selected = m_source->selectedRows();
    const int count = m_source->rowCount();
    m_snapshot.rows.clear();
    if (selected.size() >= 2) {
        m_snapshot.selectionOnly = true;
        std::sort(selected.begin(), selected.end());
        selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
        m_snapshot.rows.reserve(selected.size());
        for (int r : std::as_const(selected)) {
            if (r >= 0 && r < count)
                m_snapshot.rows.push_back(batchRowFromRecord(r, m_source->record(r)));
        }
    } else {
        m_snapshot.selectionOnly = false;
        m_snapshot.rows.reserve(count);
        for (int r = 0; r < count; ++r)
            m_snapshot.rows.push_back(batchRowFromRecord(r, m_source->record(r)));
    }
}

void BatchWindow::updateCurrent()
{
    BatchSnapshot &s = m_snapshot;
    int current = m_source->currentRow();
    if (current < 0 || current >= m_source->rowCount())
        current = s.rows.empty() ? -1 : s.rows.back().tableRow;
    const auto at = std::lower_bound(s.rows.begin(), s.rows.end(), current,
                                     [](const BatchRow &row, int r) { return row.tableRow < r; });
    s.current = at != s.rows.end() && at->tableRow == current ? int(at - s.rows.begin()) : -1;

    s.hasContourRow = current >= 0;
    if (!s.hasContourRow) {
        s.formula = -1;
        s.threshold = std::nan("");
        s.formulaText.clear();
        s.contour = toleranceContour(-1, {}, 0);
        m_contourKey = {-2, 0, 0, 0, 0};
        return;
    }
    const BatchRow row = s.current >= 0 ? s.rows[s.current] : batchRowFromRecord(current, m_source->record(current));
    s.formula = row.formula;
    s.threshold = row.threshold;
    s.formulaText = row.formulaText;
    s.standard = {row.standard[0], row.standard[1], row.standard[2]};
    // The contour takes a few milliseconds; it is computed again only when what it depends on
    // changed, not for every appended row of the same standard.
    const auto key = std::make_tuple(s.formula, s.threshold, s.standard.L, s.standard.a, s.standard.b);
    if (key != m_contourKey) {
        s.contour = toleranceContour(s.formula, s.standard, s.threshold);
        m_contourKey = key;
    }
}

void BatchWindow::showStatistics()
{
    const BatchStatistics &st = m_snapshot.statistics;
    QTableWidget *t = ui->statisticsTable;
    for (int q = 0; q < kBatchQuantityCount; ++q) {
        const BatchSummary &m = st.summaries[q];
        t->item(q, 0)->setText(batchformat::mean(m.mean));
        t->item(q, 1)->setText(batchformat::deviation(m.sd));
        t->item(q, 2)->setText(batchformat::extreme(m.min));
        t->item(q, 3)->setText(batchformat::extreme(m.max));
    }

    ui->judgedValue->setText(QString::number(st.judged));
    ui->passValue->setText(QString::number(st.pass));
    ui->ngValue->setText(QString::number(st.ng));
    ui->passRateValue->setText(batchformat::passRate(st.passRate));
    ui->nearLimitValue->setText(m_snapshot.band.enabled ? QString::number(st.nearLimit) : tr("off"));
    ui->largestValue->setText(st.largestRow >= 0 ? tr("%1 (%2)").arg(m_snapshot.rows[st.largestRow].testName,
                                                                      batchformat::value(m_snapshot.rows[st.largestRow].deltaE))
                                                 : QString());
    ui->notJudgedValue->setText(QString::number(st.notJudged.size()));
    QStringList notJudged;
    notJudged.reserve(st.notJudged.size());
    for (int i : st.notJudged)
        notJudged << tr("Row %1: %2").arg(m_snapshot.rows[i].tableRow + 1).arg(m_snapshot.rows[i].testName);
    m_notJudged->setStringList(notJudged);
}

void BatchWindow::showScope()
{
    const int shown = int(m_snapshot.rows.size());
    ui->scopeLabel->setText(m_snapshot.selectionOnly
                                ? tr("Selected rows: %1 of %2").arg(shown).arg(m_snapshot.tableRows)
                                : tr("All rows: %1").arg(shown));
}

void BatchWindow::bandChanged()
{
    m_snapshot.band.enabled = ui->nearLimitCheck->isChecked();
    m_snapshot.band.percent = ui->nearLimitSpin->value();
    ui->nearLimitSpin->setEnabled(m_snapshot.band.enabled);
    if (!saveNearLimitBand(m_snapshot.band))
        qCWarning(lcBatch) << "the near-limit band could not be kept in" << QFileInfo(userSettingsPath()).filePath();
    m_snapshot.statistics = computeBatchStatistics(m_snapshot.rows, m_snapshot.band);
    drawCharts();
    showStatistics();
}

void BatchWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        retranslateStatisticsTable();
        m_charts.retranslate(m_snapshot);
        showStatistics();
        showScope();
    }
    QWidget::changeEvent(event);
}

BatchCharts::Plot BatchWindow::currentPlot() const
{
    return BatchCharts::Plot(std::clamp(ui->plotTabs->currentIndex(), 0, BatchCharts::PlotCount - 1));
}

bool BatchWindow::savePicture(BatchCharts::Plot plot, const QString &path) const
{
    // Written beside the target and renamed over it: a failed write leaves an old file whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QSize size = kPictureSizes[plot];
    if (QFileInfo(path).suffix().compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0)
        file.write(BatchCharts::svg(m_snapshot, plot, size));
    else if (!BatchCharts::image(m_snapshot, plot, size).save(&file, "PNG"))
        return false;
    return file.commit();
}

bool BatchWindow::saveData(const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(batchCsv(m_snapshot.rows, m_snapshot.formula, m_snapshot.standard, m_snapshot.contour));
    return file.commit();
}

void BatchWindow::copyPicture(BatchCharts::Plot plot) const
{
    auto *data = new QMimeData;
    data->setImageData(BatchCharts::image(m_snapshot, plot, kPictureSizes[plot]));
    data->setText(QString::fromUtf8(batchCsv(m_snapshot.rows, m_snapshot.formula, m_snapshot.standard, m_snapshot.contour)));
    QApplication::clipboard()->setMimeData(data);
}

bool BatchWindow::printTo(QPrinter *printer) const
{
    return BatchReport::print(printer, m_snapshot);
}

void BatchWindow::on_savePictureBtn_clicked()
{
    refreshNow();
    const BatchCharts::Plot plot = currentPlot();
    const QString png = tr("PNG picture (*.png)");
    const QString svg = tr("SVG picture (*.svg)");
    QString chosen = png;
    QString path = Modal::getSaveFileName(this, tr("Save picture"), QString::fromLatin1(kPictureNames[plot]) + ".png",
                                          png + QStringLiteral(";;") + svg, &chosen);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path = withSuffix(path, chosen == svg ? QStringLiteral("svg") : QStringLiteral("png"));
    if (!savePicture(plot, path))
        Modal::warning(this, tr("Error"), tr("The picture could not be saved."));
}

void BatchWindow::on_copyPictureBtn_clicked()
{
    refreshNow();
    copyPicture(currentPlot());
}

void BatchWindow::on_saveDataBtn_clicked()
{
    refreshNow();
    const QString csv = tr("CSV file (*.csv)");
    QString chosen = csv;
    QString path = Modal::getSaveFileName(this, tr("Save data"), QStringLiteral("batch-data.csv"), csv, &chosen);
    if (path.isEmpty())
        return;
    path = withSuffix(path, QStringLiteral("csv"));
    if (!saveData(path))
        Modal::warning(this, tr("Error"), tr("The data could not be saved."));
}

void BatchWindow::on_printBtn_clicked()
{
    refreshNow();
    QPrinter printer(QPrinter::ScreenResolution);
    if (Modal::print(&printer, this) != QDialog::Accepted)
        return;
    if (!printTo(&printer))
        Modal::warning(this, tr("Error"), tr("The batch report could not be printed."));
}
