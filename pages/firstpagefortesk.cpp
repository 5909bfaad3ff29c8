#include "firstpagefortesk.h"

#include "pageconstants.h"

#include "cprotocol.h"
#include "deltae.h"
#include "linkport.h"
#include "measurementtable.h"
#include "modal.h"
#include "rbtableheaderview.h"
#include "ui_firstpagefortesk.h"
#include "verdict.h"
#include "verdictwords.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcPage, "colorimeter.page")

using namespace pageui;

namespace {

// The look of the two buttons of every row, on top of the application's style sheet.
const QString kRowButtonStyle = QStringLiteral("QPushButton{min-height:12px;padding:0px;}");

// A held key measures once: the repeats of a held Enter are not further clicks.
class HeldKeyFilter : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *, QEvent *event) override
    {
        return (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
               && static_cast<QKeyEvent *>(event)->isAutoRepeat();
    }
};

} // namespace

FirstPageForTesk::FirstPageForTesk(QWidget *parent)
    : QWidget(parent), thread(workers.thread), worker(workers.worker), ui(new Ui::FirstPageForTesk)
{
    ui->setupUi(this);
    connect(&workers, &WorkerHost::dataReceived, this, &FirstPageForTesk::SaveData);

    setupPanel();
    resetStyles();
    threshold = -1.0;
    standardCaptured = false;
    sampleCaptured = false;
    formulaIndex = -1;
    ngCount = passCount = totalCount = 0;
    setupTable();
    for (QWidget *w : {static_cast<QWidget *>(ui->DeviceNameEdit), static_cast<QWidget *>(ui->DeviceNameLab),
                       static_cast<QWidget *>(ui->ProductionDateLab), static_cast<QWidget *>(ui->ProductionDateEdit),
                       static_cast<QWidget *>(ui->CalibrationDateLab),
                       static_cast<QWidget *>(ui->CalibrationeDateEdit)})
        w->hide();
    resetResultLabel();
    auto *heldKeys = new HeldKeyFilter(this);
    ui->stdmeasurementBtn->installEventFilter(heldKeys);
    ui->samplemeasurementBtn->installEventFilter(heldKeys);
    loadMeterNumbers();

    measureTarget = 1;
    isChinese = false;
    testCounter = 0;
    connect(ui->tbData, &QTableView::doubleClicked, this,
            [this](const QModelIndex &index) { doubleClickedSlot(index.row(), index.column()); });
    connect(ui->tbData, &MeasurementTable::buttonClicked, this, &FirstPageForTesk::rowButtonClicked);
    connect(ui->tbData, &MeasurementTable::viewportResized, this, &FirstPageForTesk::fitColumns);
    setupRowRecords();
}

FirstPageForTesk::~FirstPageForTesk()
{
    closeThreadSlot();
    delete ui;
}

// ---- panel and table set-up ------------------------------------------------------------------

void FirstPageForTesk::setupPanel()
{
    QTableWidget *panel = ui->tbColorDiff;
    panel->setColumnCount(5);
    panel->setRowCount(7);
    panel->setStyleSheet(QStringLiteral("background:#ffffff;"));
    panel->horizontalHeader()->hide();
    panel->verticalHeader()->hide();
    setPanelCell(0, kStandardColumn, tr("Standard"), Qt::blue);
    setPanelCell(0, kSampleColumn, tr("Sample"), Qt::black);
    setPanelCell(0, kDifferenceColumn, QCoreApplication::translate("Colorimeter", "△"), Qt::black);
    setPanelCell(0, 0, QString(), Qt::black);
    setPanelCell(0, kWordColumn, QString(), Qt::black);
    const char *const labels[] = {"L*", "a*", "b*", "C*", "h"};
    for (int row = 1; row <= 5; ++row)
        setPanelCell(row, 0, tr(labels[row - 1]), Qt::black);
    setPanelCell(kDeltaERow, 0, QCoreApplication::translate("Colorimeter", "△E"), Qt::black);
    resetPanel();
    panel->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    panel->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    panel->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    panel->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void FirstPageForTesk::setupTable()
{
    MeasurementTable *table = ui->tbData;
    // The model first: a table view hands its model to its headers, and the two-row header
    // keeps its own.
    m_model = new MeasurementModel(this);
    table->setModel(m_model);
    table->verticalHeader()->hide();
    table->setStyleSheet(kRowButtonStyle);

    headerView = new RbTableHeaderView(Qt::Horizontal, 2, ColumnCount, table);
    headerView->setCellSpan(0, ColStandardL, 1, 5);
    headerView->setCellSpan(0, ColSampleL, 1, 5);
    for (int c : {ColNo, ColTestName, ColTime, ColDeltaE, ColVerdict, ColDelete, ColReport})
        headerView->setCellSpan(0, c, 2, 0);
    QAbstractItemModel *model = headerView->model();
    const char *const axes[] = {"L*", "a*", "b*", "C*", "h"};
    for (int i = 0; i < 5; ++i) {
        model->setData(model->index(1, ColStandardL + i), QString::fromLatin1(axes[i]), Qt::DisplayRole);
        model->setData(model->index(1, ColSampleL + i), QString::fromLatin1(axes[i]), Qt::DisplayRole);
    }
    retranslateHeader();
    headerView->setRowHeight(0, 30);
    headerView->setRowHeight(1, 30);
    headerView->setSectionsClickable(true);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < ColumnCount; ++c)
            headerView->setCellBackground(model->index(r, c), QColor(68, 68, 68));
    table->setHorizontalHeader(headerView);
    headerView->setStretchLastSection(true);

    table->setItemDelegateForColumn(ColVerdict, new VerdictDelegate(table));
    // The rows move up under the pointer as one is deleted: the second click of a double click
    // on Delete would delete the next row too.
    table->setButtonColumn(ColDelete, tr("Delete"), true);
    table->setButtonColumn(ColReport, tr("Report"), false);
    fitColumns();
    for (int c = ColFormula; c <= ColSerialNumber; ++c)
        table->hideColumn(c);
}

void FirstPageForTesk::fitColumns()
{
    QTableView *table = ui->tbData;
    if (!headerView)
        return;
    // The widths follow the plan u = W / 19, where the plan's seventeen columns add up to
    // 19u - 33.6. W is the width the columns really have: the table's viewport, which leaves
    // out the vertical scroll bar, once the table is shown; the screen less a scroll bar's
    // room before that.
    double available = table->viewport()->width();
    if (!table->isVisible()) {
        const QScreen *screen = QGuiApplication::primaryScreen();
        available = (screen ? screen->availableGeometry().width() : 1280)
                    - table->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table) - 40;
    }
    // A few pixels to spare against rounding; the last column stretches over them.
    const double u = (std::max(0.0, available - 4) + 33.6) / 19.0;
    // A very narrow table must not give negative widths.
    auto width = [](double w) { return std::max(0, int(w)); };
    int widths[ColReport + 1];
    for (int c = 0; c <= ColReport; ++c)
        widths[c] = width(u - 5.6);
    widths[ColNo] = width(u - 32);
    widths[ColTestName] = width(2 * u);
    widths[ColTime] = width(2 * u + 15);
    widths[ColVerdict] = width(u + 20);
    widths[ColDelete] = width(u + 10);
    widths[ColReport] = width(u + 15);

    // A title on its own column is never clipped ("序号" is wider than a narrow u - 32); the
    // room comes from the two wide columns.
    const QFontMetrics metrics(headerView->font());
    const int margin = 2 * headerView->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, headerView) + 10;
    // Nor is the time of a row: cut to "2026/12/08 ..." it loses the hour. The cell's text room
    // is its width less the style's text margin at each side.
    const int timeTextMargin = 2 * (table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1) + 4;
    const QFontMetrics cellMetrics(table->font());
    const int timeWidth = cellMetrics.horizontalAdvance(QStringLiteral("2000/00/00  00:00")) + timeTextMargin;
    auto neededFor = [&](int c) {
        if (c == ColDelete || c == ColReport)
            return cellMetrics.horizontalAdvance(ui->tbData->buttonText(c)) + 2 * timeTextMargin;
        const int title = metrics.horizontalAdvance(headerView->model()->index(0, c).data().toString()) + margin;
        return c == ColTime ? std::max(title, timeWidth) : title;
    };
    int extra = 0;
    for (int c : {ColNo, ColTestName, ColTime, ColDeltaE, ColVerdict}) {
        const int needed = neededFor(c);
        if (widths[c] < needed) {
            extra += needed - widths[c];
            widths[c] = needed;
        }
    }
    // The room for them comes first from what the test name, the time and the two buttons have
    // beyond their own needs.
    for (int c : {ColTime, ColTestName, ColReport, ColDelete}) {
        const int take = std::min(extra, std::max(0, widths[c] - neededFor(c)));
        widths[c] -= take;
        extra -= take;
    }
    // A table too narrow for all of that (a small screen, the large font) still shows every
    // column without a horizontal scroll bar: the rest is taken from every column in proportion
    // to its width, and the texts are shortened.
    const int narrowest = std::max(1, headerView->minimumSectionSize());
    while (extra > 0) {
        int slack = 0;
        for (int c = 0; c <= ColReport; ++c)
            slack += std::max(0, widths[c] - narrowest);
        if (slack <= 0)
            break;
        const int goal = std::min(extra, slack);
        int taken = 0;
        for (int c = 0; c <= ColReport && taken < goal; ++c) {
            const int room = std::max(0, widths[c] - narrowest);
            const int take = std::min({room, goal - taken, int((qint64(goal) * room + slack - 1) / slack)});
            widths[c] -= take;
            taken += take;
        }
        extra -= taken;
    }
    for (int c = 0; c <= ColReport; ++c)
        table->setColumnWidth(c, widths[c]);
}

void FirstPageForTesk::setPanelCell(int row, int column, const QString &text, const QColor &color)
{
    QTableWidgetItem *item = ui->tbColorDiff->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        ui->tbColorDiff->setItem(row, column, item);
    }
    item->setText(text);
    item->setTextAlignment(Qt::AlignCenter);
    item->setForeground(color);
}

QString FirstPageForTesk::panelText(int row, int column) const
{
    const QTableWidgetItem *item = ui->tbColorDiff->item(row, column);
    return item ? item->text() : QString();
}

void FirstPageForTesk::resetPanel()
{
    for (int row = 1; row <= kDeltaERow; ++row)
        for (int column = 1; column <= kWordColumn; ++column)
            setPanelCell(row, column, kPlaceholder, column == kStandardColumn ? Qt::blue : Qt::black);
    for (int row = 0; row <= kDeltaERow; ++row) {
        if (QTableWidgetItem *item = ui->tbColorDiff->item(row, 0))
            item->setForeground(Qt::black);
        if (QTableWidgetItem *item = ui->tbColorDiff->item(row, kStandardColumn))
            item->setForeground(Qt::blue);
        if (QTableWidgetItem *item = ui->tbColorDiff->item(row, kSampleColumn))
            item->setForeground(Qt::black);
    }
    const QPair<int, int> empty[] = {{4, 4}, {5, 4}, {6, 1}, {6, 2}, {6, 4}};
    for (const auto &cell : empty)
        ui->tbColorDiff->item(cell.first, cell.second)->setText(QString());
}

void FirstPageForTesk::resetStyles()
{
    ui->sampBtnGroubox->setStyleSheet(QStringLiteral(" background-color: rgb(180, 180, 180);"));
    ui->stdBtnGroubox->setStyleSheet(QStringLiteral("background-color: rgb(180, 180, 180);"));
    ui->samplemeasurementBtn->setStyleSheet(kSampleButtonIdle);
    ui->stdmeasurementBtn->setStyleSheet(kStandardButtonActive);
}

void FirstPageForTesk::resetResultLabel()
{
    // Nothing judged yet: an empty green bar would read as PASS.
    ui->resultlab->setProperty("parametersUnknown", false);
    ui->resultlab->setText(QString());
    ui->resultlab->setStyleSheet(kNeutralStyle);
}

void FirstPageForTesk::showCounters()
{
    ui->UnqualnumEdit->setText(QString::number(ngCount));
    ui->QualnumEdit->setText(QString::number(passCount));
    ui->TotalnumEdit->setText(QString::number(totalCount));
}

// ---- table rows --------------------------------------------------------------------------------

QString FirstPageForTesk::tableText(int row, int column) const
{
    return m_model->text(row, column);
}

int FirstPageForTesk::appendRow(const MeasurementRecord &record)
{
    const int row = m_model->append(record);
    ui->tbData->scrollToBottomSoon();
    emit rowAppended(row, record, rowOrigin);
    return row;
}

int FirstPageForTesk::appendRows(const QList<MeasurementRecord> &records)
{
    // One insertion: the view lays out and paints once, when control returns to the event loop,
    // after the rows have been told to the record keepers.
    const int first = m_model->append(records);
    if (records.isEmpty())
        return first;
    ui->tbData->scrollToBottomSoon();
    emit rowsAppended(first, records, rowOrigin);
    return first;
}

void FirstPageForTesk::rowButtonClicked(int row, int column)
{
    if (column == ColDelete)
        on_DeleteBtn_clicked(row);
    else if (column == ColReport)
        on_ReportBtn_clicked(row);
}

void FirstPageForTesk::on_DeleteBtn_clicked(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    const QString verdict = m_model->record(row).verdict;
    if (verdict == tr("NG")) {
        --ngCount;
        --totalCount;
    } else if (verdict == tr("PASS")) {
        --passCount;
        --totalCount;
    }
    showCounters();
    emit rowAboutToBeDeleted(row);
    m_model->remove(row);
}

void FirstPageForTesk::on_ReportBtn_clicked(int row)
{
    if (row < 0 || row >= m_model->rowCount() || m_model->record(row).testName.isEmpty())
        return;
    reportSource = m_model->record(row);
    reportSource.sequence = 0; // a report does not number its test
    emit reportRequested();
}

void FirstPageForTesk::on_BatchBtn_clicked()
{
    emit batchRequested();
}

void FirstPageForTesk::doubleClickedSlot(int row, int column)
{
    if (column != ColTestName || row < 0 || row >= m_model->rowCount())
        return;
    ui->tbData->edit(m_model->index(row, column));
}

// ---- resets and language -----------------------------------------------------------------------

void FirstPageForTesk::on_ClearBtn_clicked()
{
    resetPanel();
    resetStyles();
    standardCaptured = false;
    sampleCaptured = false;
    ngCount = passCount = totalCount = 0;
    showCounters();
    resetResultLabel();
    measureTarget = 1;
    testCounter = 0;
    m_model->clear();
    receiveBuffer.clear();
    emit tableCleared();
}

void FirstPageForTesk::clear()
{
    // The instrument is gone: nothing of it stays to be taken for the next one's, and the
    // parameter fields show what the page now judges by: nothing.
    deviceName.clear();
    ui->formulaEdit->clear();
    ui->ThresholdsEdit->clear();
    receiveBuffer.clear();
    ui->DeviceNameEdit->clear();
    ui->serialNoEdit->clear();
    ui->FirmwareVersionEdit->clear();
    ui->ProductionDateEdit->setDate(QDate(2000, 1, 1));
    ui->CalibrationeDateEdit->setDate(QDate(2000, 1, 1));
    resetPanel();
    resetStyles();
    threshold = -1.0;
    standardCaptured = false;
    sampleCaptured = false;
    formulaIndex = -1;
    resetResultLabel();
}

void FirstPageForTesk::retranslateHeader()
{
    ui->retranslateUi(this);
    if (!headerView)
        return;
    QAbstractItemModel *model = headerView->model();
    auto set = [model](int column, const QString &text) {
        model->setData(model->index(0, column), text, Qt::DisplayRole);
    };
    set(ColNo, tr("NO"));
    set(ColTestName, tr("Test Name"));
    set(ColTime, tr("DateTime"));
    set(ColStandardL, tr("Standard"));
    set(ColSampleL, tr("Sample"));
    set(ColDeltaE, QCoreApplication::translate("Colorimeter", "△E"));
    set(ColVerdict, tr("Pass or not"));
    headerView->viewport()->update();
}

void FirstPageForTesk::retranslatePage()
{
    const QString deviceText = ui->DeviceNameEdit->text();
    const QString serialText = ui->serialNoEdit->text();
    const QString firmwareText = ui->FirmwareVersionEdit->text();
    const QDate productionDate = ui->ProductionDateEdit->date();
    const QDate calibrationDate = ui->CalibrationeDateEdit->date();
    const QString result = ui->resultlab->text();
    const bool parametersUnknown = ui->resultlab->property("parametersUnknown").toBool();

    retranslateHeader();

    ui->DeviceNameEdit->setText(deviceText);
    ui->serialNoEdit->setText(serialText);
    ui->FirmwareVersionEdit->setText(firmwareText);
    ui->ProductionDateEdit->setDate(productionDate);
    ui->CalibrationeDateEdit->setDate(calibrationDate);

    // The label holds the verdict in the language it was shown in.
    using verdictwords::Verdict;
    if (parametersUnknown)
        showUnknownParameters();
    else if (verdictwords::recognise(result) == Verdict::Pass || result == tr("PASS"))
        ui->resultlab->setText(tr("PASS"));
    else if (verdictwords::recognise(result) == Verdict::Ng || result == tr("NG"))
        ui->resultlab->setText(tr("NG"));
    else
        ui->resultlab->setText(QString());

    setPanelCell(0, kStandardColumn, tr("Standard"), Qt::black);
    setPanelCell(0, kSampleColumn, tr("Sample"), Qt::black);

    const QString firstDifference = panelText(1, kDifferenceColumn);
    if (firstDifference != tr("-----") && firstDifference != kPlaceholder) {
        const LabAxis axes[] = {LabAxis::L, LabAxis::a, LabAxis::b};
        for (int row = 1; row <= 3; ++row) {
            const double d = panelText(row, kDifferenceColumn).toDouble();
            setPanelCell(row, kWordColumn, tr(deviationWord(axes[row - 1], d)), Qt::black);
        }
    }

    showCounters();

    const QString pass = tr("PASS"), ng = tr("NG");
    m_model->changeAll(
        [&](MeasurementRecord &record) {
            const Verdict verdict = verdictwords::recognise(record.verdict);
            if (verdict == Verdict::Pass)
                record.verdict = pass;
            else if (verdict == Verdict::Ng)
                record.verdict = ng;
        },
        ColVerdict, ColVerdict);
    ui->tbData->setButtonText(ColDelete, tr("Delete"));
    ui->tbData->setButtonText(ColReport, tr("Report"));

    markTarget(measureTarget);
    fitColumns(); // the titles of the other language may need other room
}

void FirstPageForTesk::markTarget(int target)
{
    const int active = target == 1 ? kStandardColumn : kSampleColumn;
    const int other = target == 1 ? kSampleColumn : kStandardColumn;
    if (QTableWidgetItem *item = ui->tbColorDiff->item(0, active))
        item->setForeground(Qt::blue);
    if (QTableWidgetItem *item = ui->tbColorDiff->item(0, other))
        item->setForeground(Qt::black);
}

// ---- worker ------------------------------------------------------------------------------------


void FirstPageForTesk::openThreadSlot()
{
    qCDebug(lcPage) << tr("openThreadSlot");
    workers.openThreadSlot();
}

void FirstPageForTesk::closeThreadSlot()
{
    qCDebug(lcPage) << tr("closeThreadSlot");
    workers.closeThreadSlot();
}
