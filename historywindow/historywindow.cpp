#include "historywindow.h"

#include "historydialect.h"
#include "historymodels.h"
#include "historyreader.h"
#include "historystorymodel.h"
#include "historytask.h"
#include "historywindowhost.h"
#include "historywords.h"
#include "modal.h"
#include "ui_historywindow.h"

#include <QChartView>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLoggingCategory>
#include <QMenu>
#include <QScrollBar>
#include <QSqlError>
#include <QSqlQuery>
#include <QStyledItemDelegate>

#include <algorithm>

Q_LOGGING_CATEGORY(lcHistoryWindow, "colorimeter.historywindow")

HistoryWindowHost::~HistoryWindowHost() = default;

namespace {

// Deleted rows are shown, but greyed: they are no longer in any table.
class HistoryRowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(HistoryRowsModel::StateRole).toInt() != int(HistoryRowState::Deleted))
            return;
        const QColor grey(150, 150, 150);
        option->palette.setColor(QPalette::Text, grey);
        option->palette.setColor(QPalette::HighlightedText, grey.lighter(130));
        option->font.setItalic(true);
    }
};

// What an export task gives back.
struct ExportResult
{
    bool ok = false;
    bool cancelled = false;
    qint64 rows = 0;
    QString error;
};

QString withSuffix(const QString &path, const QString &suffix)
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + u'.' + suffix;
}

// "2026-12-08 14:03" in local time as the stored UTC text it begins with.
QString storedText(const QDateTime &local)
{
    return local.toUTC().toString(Qt::ISODateWithMs);
}

} // namespace

Q_DECLARE_METATYPE(ExportResult)

HistoryWindow::HistoryWindow(HistoryWindowHost *host, QWidget *parent)
    : QWidget(parent, Qt::Window), ui(new Ui::HistoryWindow), m_host(host),
      m_source(HistorySource::ofFile(host->historyFile())), m_localSource(m_source)
{
    ui->setupUi(this);
    m_lastCheck.problem = HistoryCheck::Problem::Unreadable;
    m_lastCheck.events = -1;
    m_story = new HistoryStoryModel(this);

    QTableView *rows = ui->rowsView;
    rows->setItemDelegate(new HistoryRowDelegate(rows));
    // Rows of one height: the view then asks the model only for the rows it paints.
    rows->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    rows->verticalHeader()->setDefaultSectionSize(rows->fontMetrics().height() + 8);
    ui->runsView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ui->runsView->verticalHeader()->setDefaultSectionSize(rows->verticalHeader()->defaultSectionSize());
    ui->storyView->setModel(m_story);
    // The choice of the server's history only where there is a server.
    ui->sourceBar->setVisible(m_host->serverHistory().onServer);
    ui->serverLabel->hide();
    attachReader();
    ui->mainSplitter->setStretchFactor(0, 2);
    ui->mainSplitter->setStretchFactor(1, 5);
    ui->rowsSplitter->setStretchFactor(0, 4);
    ui->rowsSplitter->setStretchFactor(1, 1);

    m_trendView = new QChartView(m_trend.chart());
    m_trendView->setRenderHint(QPainter::Antialiasing);
    ui->trendLayout->addWidget(m_trendView);

    const QDateTime now = QDateTime::currentDateTime();
    ui->untilEdit->setDateTime(now);
    ui->fromEdit->setDateTime(now.addDays(-7));
    fillCombos();
    fitColumns();

    auto *exportMenu = new QMenu(this);
    exportMenu->addAction(QString(), this, [this] { exportRows(ExportKind::Sheet); })->setObjectName(QStringLiteral("exportSheet"));
    exportMenu->addAction(QString(), this, [this] { exportRows(ExportKind::Csv); })->setObjectName(QStringLiteral("exportCsv"));
    exportMenu->addAction(QString(), this, [this] { exportRows(ExportKind::Cgats); })->setObjectName(QStringLiteral("exportCgats"));
    ui->exportBtn->setMenu(exportMenu);

    // Typing in a text filter waits for a pause; every other control applies at once.
    m_filterTimer.setSingleShot(true);
    m_filterTimer.setInterval(300);
    connect(&m_filterTimer, &QTimer::timeout, this, &HistoryWindow::applyFilter);
    m_changeTimer.setSingleShot(true);
    m_changeTimer.setInterval(300);
    connect(&m_changeTimer, &QTimer::timeout, this, [this] {
        if (ui->rowsView->selectionModel()->hasSelection() || ui->runsView->selectionModel()->hasSelection()) {
            m_changedUnseen = true;
            showCount();
            return;
        }
        refresh();
    });
    m_progressPoll.setInterval(100);
    connect(&m_progressPoll, &QTimer::timeout, this, [this] {
        if (m_progress && m_task && m_progress->wasCanceled())
            m_task->cancel();
    });
    connect(ui->nameEdit, &QLineEdit::textEdited, this, &HistoryWindow::scheduleFilter);
    connect(ui->nameEdit, &QLineEdit::returnPressed, this, &HistoryWindow::applyFilter);
    connect(ui->serialCombo, &QComboBox::editTextChanged, this, &HistoryWindow::scheduleFilter);
    for (QComboBox *combo : {ui->verdictCombo, ui->originCombo, ui->stateCombo})
        connect(combo, &QComboBox::activated, this, &HistoryWindow::applyFilter);
    for (QCheckBox *check : {ui->fromCheck, ui->untilCheck})
        connect(check, &QCheckBox::toggled, this, [this] {
            ui->fromEdit->setEnabled(ui->fromCheck->isChecked());
            ui->untilEdit->setEnabled(ui->untilCheck->isChecked());
            applyFilter();
        });
    for (QDateTimeEdit *edit : {ui->fromEdit, ui->untilEdit})
        connect(edit, &QDateTimeEdit::dateTimeChanged, this, &HistoryWindow::scheduleFilter);
    connect(ui->deskCombo, &QComboBox::activated, this, [this] {
        // The runs listed are the desk's too: a run of another desk holds none of its rows.
        const QSignalBlocker block(ui->runsView->selectionModel());
        ui->runsView->clearSelection();
        m_runs->setDesk(ui->deskCombo->currentData().toString());
        applyFilter();
    });
    connect(ui->sourceCombo, &QComboBox::activated, this, [this] { showServer(ui->sourceCombo->currentData().toBool()); });
    connect(ui->tabs, &QTabWidget::currentChanged, this, [this] {
        if (m_trendPending)
            updateTrend();
    });
    connect(ui->groupingCombo, &QComboBox::activated, this, &HistoryWindow::updateTrend);
    connect(ui->movingSpin, &QSpinBox::valueChanged, this, [this] {
        if (m_trendData.ok)
            m_trend.show(m_trendData, loadNearLimitBand(), ui->movingSpin->value());
    });

    retranslate();
    showCount();
    updateButtons();
    m_trendPending = true;
    loadSerials();
    loadDesks();
    if (!m_reader->isOpen())
        ui->countLabel->setText(tr("The history cannot be read: %1").arg(m_reader->errorText()));
}

void HistoryWindow::attachReader()
{
    // Whatever reads the old connection goes first, then the connection.
    m_trendTask.reset();
    m_serialTask.reset();
    m_deskTask.reset();
    QItemSelectionModel *oldRows = ui->rowsView->selectionModel();
    QItemSelectionModel *oldRuns = ui->runsView->selectionModel();
    ui->rowsView->setModel(nullptr);
    ui->runsView->setModel(nullptr);
    delete oldRows;
    delete oldRuns;
    delete m_rows;
    delete m_runs;
    m_reader.reset();

    m_reader = std::make_unique<HistoryReader>(m_source);
    if (!m_reader->isOpen())
        qCWarning(lcHistoryWindow) << "the history cannot be read:" << m_source.displayName() << m_reader->errorText();
    m_rows = new HistoryRowsModel(m_reader->database(), this);
    m_runs = new HistoryRunsModel(m_reader->database(), this);
    m_rows->setChineseTitles(m_host->chineseSheets());
    m_rows->setDeskNames(m_deskNames);
    ui->rowsView->setModel(m_rows);
    ui->rowsView->horizontalHeader()->setSortIndicator(m_rows->sortColumn(), m_rows->sortOrder());
    ui->runsView->setModel(m_runs);
    ui->runsView->horizontalHeader()->setSortIndicator(m_runs->sortColumn(), m_runs->sortOrder());
    // A file normally holds this desk's rows alone; the server every desk's.
    ui->rowsView->setColumnHidden(HistoryRowsModel::ColDesk, !m_source.onServer);
    connect(ui->runsView->selectionModel(), &QItemSelectionModel::selectionChanged, this, &HistoryWindow::applyFilter);
    connect(ui->rowsView->selectionModel(), &QItemSelectionModel::selectionChanged, this, &HistoryWindow::updateButtons);
    connect(ui->rowsView->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &HistoryWindow::showStory);
    connect(m_rows, &QAbstractItemModel::modelReset, this, [this] {
        showCount();
        showStory();
        updateButtons();
    });
    // The desks differ from one history to the other: the filter starts at "any" again. (While
    // the window is being made the controls have no choices yet, and the model shows all.)
    if (ui->originCombo->count() > 0) {
        ui->deskCombo->setCurrentIndex(0);
        m_rows->setFilter(filterFromControls());
    }
}

void HistoryWindow::showServer(bool server)
{
    const HistorySource wanted = server ? m_host->serverHistory() : m_localSource;
    if (server && !wanted.onServer)
        return;
    if (wanted == m_source && !m_serverTry) {
        ui->sourceCombo->setCurrentIndex(ui->sourceCombo->findData(m_source.onServer));
        return;
    }
    if (!server) {
        m_serverTry.reset();
        m_source = wanted;
        ui->sourceCombo->setCurrentIndex(ui->sourceCombo->findData(false));
        attachReader();
        loadSerials();
        loadDesks();
        m_trendPending = true;
        if (ui->tabs->currentWidget() == ui->trendTab)
            updateTrend();
        emit sourceChanged();
        return;
    }
    // Reached on a worker thread first (a server that does not answer takes seconds to say so);
    // once it answered there, the window's own connection is made at once.
    ui->serverLabel->setText(tr("Connecting to the history server %1...").arg(wanted.server.displayName()));
    ui->serverLabel->setStyleSheet(QString());
    ui->serverLabel->show();
    ui->sourceCombo->setEnabled(false);
    m_serverTry = std::make_unique<HistoryTask>(wanted, [](HistoryReader &reader, HistoryTaskControl &) {
        return QVariant(reader.isOpen() ? QString() : reader.errorText());
    });
    connect(m_serverTry.get(), &HistoryTask::finished, this, [this](const QVariant &result, bool) { serverTried(result); });
    m_serverTry->start();
}

void HistoryWindow::serverTried(const QVariant &result)
{
    const HistorySource wanted = m_host->serverHistory();
    m_serverTry.reset();
    ui->sourceCombo->setEnabled(true);
    m_serverProblem = result.toString();
    if (m_serverProblem.isEmpty()) {
        m_source = wanted;
        attachReader();
        if (!m_reader->isOpen())
            m_serverProblem = m_reader->errorText();
    }
    if (!m_serverProblem.isEmpty()) {
        qCWarning(lcHistoryWindow) << "the history server cannot be read:" << wanted.displayName() << m_serverProblem;
        // This computer's history stays, or comes back, as it was.
        if (m_source.onServer) {
            m_source = m_localSource;
            attachReader();
        }
        ui->serverLabel->setText(tr("The history server %1 cannot be read, so this computer's history is shown (%2).")
                                     .arg(wanted.server.displayName(), m_serverProblem));
        ui->serverLabel->setStyleSheet(QStringLiteral("color: rgb(200, 20, 20);"));
        ui->serverLabel->show();
    } else {
        ui->serverLabel->clear();
        ui->serverLabel->hide();
    }
    ui->sourceCombo->setCurrentIndex(ui->sourceCombo->findData(m_source.onServer));
    loadSerials();
    loadDesks();
    m_trendPending = true;
    if (ui->tabs->currentWidget() == ui->trendTab)
        updateTrend();
    emit sourceChanged();
}

HistoryWindow::~HistoryWindow()
{
    // Workers first (each waits for its thread), then whatever reads through the window's
    // connection, then the connection.
    m_progressPoll.stop();
    m_task.reset();
    m_trendTask.reset();
    m_serialTask.reset();
    m_deskTask.reset();
    if (m_serverTry && m_serverTry->isRunning()) {
        // A server being tried may take seconds to answer: the try ends by itself, the window
        // does not wait for it.
        HistoryTask *task = m_serverTry.release();
        disconnect(task, nullptr, this, nullptr);
        connect(task, &HistoryTask::finished, task, &QObject::deleteLater);
        // A program that ends meanwhile waits for it (its connection must not outlive Qt SQL).
        connect(qApp, &QCoreApplication::aboutToQuit, task, [task] { delete task; });
        if (!task->isRunning())
            task->deleteLater();
    }
    m_serverTry.reset();
    m_progress.reset();
    ui->rowsView->setModel(nullptr);
    ui->runsView->setModel(nullptr);
    delete m_rows;
    delete m_runs;
    m_rows = nullptr;
    m_runs = nullptr;
    m_reader.reset();
    delete ui;
}

void HistoryWindow::fillCombos()
{
    auto refill = [](QComboBox *combo, const QList<QPair<QString, int>> &items) {
        const int current = combo->currentIndex() >= 0 ? combo->currentData().toInt() : -1;
        combo->clear();
        for (const auto &[text, value] : items)
            combo->addItem(text, value);
        combo->setCurrentIndex(std::max(0, combo->findData(current)));
    };
    refill(ui->verdictCombo, {{tr("any"), int(HistoryFilter::Verdict::Any)},
                              {tr("PASS"), int(HistoryFilter::Verdict::Pass)},
                              {tr("NG"), int(HistoryFilter::Verdict::Ng)},
                              {tr("not judged"), int(HistoryFilter::Verdict::NotJudged)}});
    QList<QPair<QString, int>> origins{{tr("any"), -1}};
    for (HistoryOrigin o : {HistoryOrigin::Measured, HistoryOrigin::Pushed, HistoryOrigin::Downloaded, HistoryOrigin::Imported})
        origins.append({HistoryWords::origin(o), int(o)});
    refill(ui->originCombo, origins);
    QList<QPair<QString, int>> states{{tr("any"), -1}};
    for (HistoryRowState s : {HistoryRowState::InTable, HistoryRowState::Deleted, HistoryRowState::Cleared,
                              HistoryRowState::Exported, HistoryRowState::NotRestored})
        states.append({HistoryWords::state(s), int(s)});
    refill(ui->stateCombo, states);
    {
        const QSignalBlocker block(ui->sourceCombo);
        ui->sourceCombo->clear();
        ui->sourceCombo->addItem(tr("this computer"), false);
        ui->sourceCombo->addItem(tr("every desk, on the laboratory's server"), true);
        ui->sourceCombo->setCurrentIndex(ui->sourceCombo->findData(m_source.onServer));
    }
    fillDeskCombo();
    refill(ui->groupingCombo, {{tr("automatic"), int(HistoryTrendData::Mode::Automatic)},
                               {tr("each row"), int(HistoryTrendData::Mode::EachRow)},
                               {tr("mean of each day"), int(HistoryTrendData::Mode::Days)},
                               {tr("mean of each week"), int(HistoryTrendData::Mode::Weeks)}});
}

void HistoryWindow::retranslate()
{
    fillCombos();
    ui->serialCombo->lineEdit()->setPlaceholderText(tr("any"));
    ui->nameEdit->setPlaceholderText(tr("any"));
    const QList<QAction *> actions = ui->exportBtn->menu()->actions();
    actions.at(0)->setText(tr("Spreadsheet (.xlsx, .xls), as the table exports..."));
    actions.at(1)->setText(tr("CSV..."));
    actions.at(2)->setText(tr("CGATS (standards and samples)..."));
    m_rows->setChineseTitles(m_host->chineseSheets());
    m_runs->textsChanged();
    m_story->retranslate();
    m_trend.retranslate();
    if (m_trendData.ok || !m_trendData.error.isEmpty())
        ui->trendLabel->setText(HistoryTrendChart::summaryText(m_trendData));
    if (m_lastCheck.events >= 0)
        ui->checkLabel->setText(tr("Check history: %1").arg(m_lastCheck.text()));
    showCount();
    fitColumns();
}

void HistoryWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        // The rest when the switch is through: the page learns its language after the new
        // translation is installed, and the table's column titles follow the page's.
        QTimer::singleShot(0, this, &HistoryWindow::retranslate);
    }
    QWidget::changeEvent(event);
}

// Widths from the texts a column shows, not from reading its rows: a lazy model would read
// a thousand rows to measure them.
void HistoryWindow::fitColumns()
{
    const QFontMetrics metrics = ui->rowsView->fontMetrics();
    const int margin = 18;
    auto fit = [&](QTableView *view, int column, const QString &sample) {
        const QString title = view->model()->headerData(column, Qt::Horizontal).toString();
        view->setColumnWidth(column, std::max(metrics.horizontalAdvance(sample), metrics.horizontalAdvance(title) + 12)
                                         + margin);
    };
    for (int c = 0; c < HistoryRowsModel::ColumnCount; ++c) {
        QString sample = QStringLiteral("-000.00");
        switch (c) {
        case HistoryRowsModel::ColStoredAt: sample = QStringLiteral("2000-00-00 00:00:00"); break;
        case HistoryRowsModel::ColTime: sample = QStringLiteral("2000/00/00  00:00"); break;
        case HistoryRowsModel::ColTestName: sample = QStringLiteral("Comp000000"); break;
        case HistoryRowsModel::ColModel:
        case HistoryRowsModel::ColSerialNumber: sample = QStringLiteral("00000000"); break;
        case HistoryRowsModel::ColFormula: sample = QStringLiteral("CMC(2:1)"); break;
        case HistoryRowsModel::ColOrigin: sample = HistoryWords::origin(HistoryOrigin::Pushed); break;
        case HistoryRowsModel::ColState: sample = HistoryWords::state(HistoryRowState::NotRestored); break;
        case HistoryRowsModel::ColNo:
        case HistoryRowsModel::ColRun: sample = QStringLiteral("0000000"); break;
        case HistoryRowsModel::ColDesk: sample = QStringLiteral("Desk 00 inspector"); break;
        default: break;
        }
        fit(ui->rowsView, c, sample);
    }
    for (int c = 0; c < HistoryRunsModel::ColumnCount; ++c) {
        QString sample = QStringLiteral("000000");
        if (c == HistoryRunsModel::ColStarted || c == HistoryRunsModel::ColEnded)
            sample = QStringLiteral("2000-00-00 00:00:00");
        else if (c == HistoryRunsModel::ColEnd)
            sample = HistoryWords::runEnd(QStringLiteral("exported"));
        else if (c == HistoryRunsModel::ColExportedTo)
            sample = QStringLiteral("CompareM000000000000.xlsx");
        fit(ui->runsView, c, sample);
    }
    ui->storyView->setColumnWidth(HistoryStoryModel::ColWhen, metrics.horizontalAdvance(QStringLiteral("2000-00-00 00:00:00")) + margin);
    ui->storyView->setColumnWidth(HistoryStoryModel::ColWho, metrics.horizontalAdvance(QStringLiteral("inspector@desk-00")) + margin);
    ui->storyView->setColumnWidth(HistoryStoryModel::ColWhat, metrics.horizontalAdvance(HistoryWords::eventKind(HistoryEventKind::Restored)) + margin);
}

HistoryFilter HistoryWindow::filterFromControls() const
{
    HistoryFilter filter;
    if (ui->fromCheck->isChecked())
        filter.storedFrom = storedText(ui->fromEdit->dateTime());
    // "Until 14:03" takes in the whole minute.
    if (ui->untilCheck->isChecked())
        filter.storedUntil = storedText(ui->untilEdit->dateTime().addSecs(60));
    filter.nameContains = ui->nameEdit->text();
    filter.serialNumber = ui->serialCombo->currentText().trimmed();
    filter.verdict = HistoryFilter::Verdict(ui->verdictCombo->currentData().toInt());
    filter.origin = ui->originCombo->currentData().toInt();
    filter.state = ui->stateCombo->currentData().toInt();
    filter.desk = ui->deskCombo->currentData().toString();
    const QModelIndexList runs = ui->runsView->selectionModel()->selectedRows();
    for (const QModelIndex &run : runs)
        filter.runs.append(run.data(HistoryRunsModel::RunIdRole).toLongLong());
    std::sort(filter.runs.begin(), filter.runs.end());
    return filter;
}

void HistoryWindow::scheduleFilter()
{
    m_filterTimer.start();
}

void HistoryWindow::applyFilter()
{
    m_filterTimer.stop();
    const HistoryFilter filter = filterFromControls();
    if (filter == m_rows->filter() && !m_changedUnseen)
        return;
    m_changedUnseen = false;
    m_rows->setFilter(filter);
    m_trendPending = true;
    if (ui->tabs->currentWidget() == ui->trendTab)
        updateTrend();
}

void HistoryWindow::refresh()
{
    m_changedUnseen = false;
    const int scrolled = ui->rowsView->verticalScrollBar()->value();
    const int runsScrolled = ui->runsView->verticalScrollBar()->value();
    // The runs' selection is the run filter: kept as it is through the runs' refresh.
    const HistoryFilter filter = filterFromControls();
    {
        const QSignalBlocker block(ui->runsView->selectionModel());
        m_runs->refresh();
    }
    QItemSelection runs;
    for (int r = 0; r < m_runs->rowCount() && r < 2000 && !filter.runs.isEmpty(); ++r) {
        const QModelIndex index = m_runs->index(r, 0);
        if (filter.runs.contains(index.data(HistoryRunsModel::RunIdRole).toLongLong()))
            runs.select(index, m_runs->index(r, HistoryRunsModel::ColumnCount - 1));
    }
    {
        const QSignalBlocker block(ui->runsView->selectionModel());
        ui->runsView->selectionModel()->select(runs, QItemSelectionModel::ClearAndSelect);
    }
    m_rows->setFilter(filterFromControls());
    ui->rowsView->verticalScrollBar()->setValue(scrolled);
    ui->runsView->verticalScrollBar()->setValue(runsScrolled);
    m_trendPending = true;
    if (ui->tabs->currentWidget() == ui->trendTab)
        updateTrend();
}

void HistoryWindow::historyChanged()
{
    m_changeTimer.start();
}

void HistoryWindow::showCount()
{
    QString text = m_rows->lastError().isEmpty() ? tr("%1 rows").arg(QLocale().toString(qint64(m_rows->rowCount())))
                                                 : tr("The history cannot be read: %1").arg(m_rows->lastError());
    if (m_changedUnseen)
        text += QStringLiteral("  ") + tr("(the history has changed: Refresh shows it)");
    ui->countLabel->setText(text);
}

void HistoryWindow::showStory()
{
    const QModelIndex current = ui->rowsView->selectionModel()->currentIndex();
    const qint64 id = current.isValid() ? current.siblingAtColumn(0).data(HistoryRowsModel::RowIdRole).toLongLong() : 0;
    if (id <= 0 || !m_reader->isOpen()) {
        m_story->setEvents({});
        return;
    }
    QString error;
    m_story->setEvents(HistoryStore::eventsOfRow(m_reader->database(), m_reader->chainId(), id, &error));
    if (!error.isEmpty())
        qCWarning(lcHistoryWindow) << "the row's events cannot be read:" << error;
}

void HistoryWindow::updateButtons()
{
    const bool any = ui->rowsView->selectionModel()->hasSelection();
    ui->putBtn->setEnabled(any);
    ui->reportBtn->setEnabled(ui->rowsView->selectionModel()->selectedRows().size() == 1);
    ui->checkBtn->setEnabled(!m_task);
    ui->exportBtn->setEnabled(!m_task);
}

QList<qint64> HistoryWindow::selectedIds() const
{
    QList<qint64> ids;
    const QItemSelection selection = ui->rowsView->selectionModel()->selection();
    for (const QItemSelectionRange &range : selection) {
        // A short range is read from the rows the view holds; a long one (shift-click from the
        // first row to the last) as its keys only, without reading every row it spans.
        if (range.height() <= HistoryWindowedModel::kBlockRows) {
            for (int r = range.top(); r <= range.bottom(); ++r)
                ids.append(m_rows->index(r, 0).data(HistoryRowsModel::RowIdRole).toLongLong());
        } else {
            ids += m_rows->keysOf(range.top(), range.bottom());
        }
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    ids.removeAll(0);
    return ids;
}

bool HistoryWindow::busy() const
{
    return (m_task && m_task->isRunning()) || (m_trendTask && m_trendTask->isRunning());
}

void HistoryWindow::on_putBtn_clicked()
{
    const QList<qint64> ids = selectedIds();
    if (ids.isEmpty()) {
        Modal::information(this, tr("Put into the table"), tr("Select the rows to put into the table first."));
        return;
    }
    if (m_source.onServer) {
        putFromServer(ids);
        return;
    }
    int inTable = 0;
    const int put = m_host->putIntoTable(ids, &inTable);
    if (put < 0)
        return; // the history is off; the user has been told
    if (inTable > 0)
        Modal::information(this, tr("Put into the table"),
                           tr("%1 rows were put into the table. %2 rows are in the table already and were left as "
                              "they are.")
                               .arg(put)
                               .arg(inTable));
    refresh();
}

void HistoryWindow::putFromServer(const QList<qint64> &ids)
{
    // The server's rows by their UUIDs: the same rows in this computer's file are put back.
    QStringList own;
    int others = 0;
    for (qsizetype first = 0; first < ids.size(); first += 500) {
        const QList<qint64> part = ids.mid(first, 500);
        QSqlQuery query(m_reader->database());
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT uuid, desk FROM measurements WHERE id IN (%1)")
                          .arg(QStringList(part.size(), QStringLiteral("?")).join(u',')));
        for (qint64 id : part)
            query.addBindValue(id);
        if (!query.exec()) {
            Modal::warning(this, tr("Put into the table"),
                           tr("The history cannot be read: %1").arg(query.lastError().text()));
            return;
        }
        while (query.next()) {
            if (query.value(1).toString() == m_host->thisDesk())
                own << query.value(0).toString();
            else
                ++others;
        }
    }
    int inTable = 0, notHere = 0, put = 0;
    if (!own.isEmpty()) {
        put = m_host->putIntoTableByUuid(own, &inTable, &notHere);
        if (put < 0)
            return; // the history is off; the user has been told
    }
    QStringList said;
    if (inTable > 0)
        said << tr("%1 rows are in the table already and were left as they are.").arg(inTable);
    if (others > 0)
        said << tr("%1 rows were measured at other desks: only this desk's own rows can be put into its table, "
                   "since each row is followed in the history of the desk that measured it.")
                    .arg(others);
    if (notHere > 0)
        said << tr("%1 rows of this desk are no longer on this computer (they were removed once the server had "
                   "them) and stay on the server only.")
                    .arg(notHere);
    if (!said.isEmpty())
        Modal::information(this, tr("Put into the table"),
                           tr("%1 rows were put into the table.").arg(put) + u' ' + said.join(u' '));
    refresh();
}

void HistoryWindow::on_reportBtn_clicked()
{
    const QModelIndexList selected = ui->rowsView->selectionModel()->selectedRows();
    if (selected.size() != 1)
        return;
    const HistoryRow row = m_rows->historyRow(selected.first().row());
    if (row.id > 0)
        m_host->openReport(row);
}

void HistoryWindow::on_refreshBtn_clicked()
{
    refresh();
    loadSerials();
}

void HistoryWindow::on_closeBtn_clicked()
{
    close();
}

void HistoryWindow::on_resetFiltersBtn_clicked()
{
    const QSignalBlocker blockFrom(ui->fromCheck), blockUntil(ui->untilCheck), blockSerial(ui->serialCombo);
    ui->fromCheck->setChecked(false);
    ui->untilCheck->setChecked(false);
    ui->fromEdit->setEnabled(false);
    ui->untilEdit->setEnabled(false);
    ui->nameEdit->clear();
    ui->serialCombo->setEditText(QString());
    for (QComboBox *combo : {ui->verdictCombo, ui->originCombo, ui->stateCombo, ui->deskCombo})
        combo->setCurrentIndex(0);
    {
        const QSignalBlocker block(ui->runsView->selectionModel());
        ui->runsView->clearSelection();
    }
    m_runs->setDesk(QString());
    applyFilter();
}

void HistoryWindow::on_allRunsBtn_clicked()
{
    ui->runsView->clearSelection();
}

void HistoryWindow::loadDesks()
{
    if (!m_reader->isOpen())
        return;
    m_deskTask = std::make_unique<HistoryTask>(m_source, [](HistoryReader &reader, HistoryTaskControl &) {
        QVariantMap names;
        QSqlQuery query(reader.database());
        query.setForwardOnly(true);
        // The desks that stored rows, a jump through the desks' index per desk, each with the
        // name it goes by.
        if (query.exec(QStringLiteral(
                "WITH RECURSIVE d(desk) AS (SELECT MIN(desk) FROM measurements UNION ALL "
                "SELECT (SELECT MIN(m.desk) FROM measurements m WHERE m.desk > d.desk) FROM d WHERE d.desk IS NOT NULL) "
                "SELECT d.desk, n.name FROM d LEFT JOIN desks n ON n.desk = d.desk WHERE d.desk IS NOT NULL")))
            while (query.next() && names.size() < 1000)
                names.insert(query.value(0).toString(), query.value(1).toString());
        else
            qCWarning(lcHistoryWindow) << "the desks cannot be read:" << query.lastError().text();
        return QVariant(names);
    });
    connect(m_deskTask.get(), &HistoryTask::finished, this, [this](const QVariant &result, bool) {
        m_deskNames.clear();
        const QVariantMap names = result.toMap();
        for (auto it = names.cbegin(); it != names.cend(); ++it)
            m_deskNames.insert(it.key(), it.value().toString().isEmpty() ? it.key() : it.value().toString());
        m_rows->setDeskNames(m_deskNames);
        // A file some desks shared (a home folder on the network) shows whose each row is too.
        ui->rowsView->setColumnHidden(HistoryRowsModel::ColDesk, !m_source.onServer && m_deskNames.size() <= 1);
        fillDeskCombo();
        emit desksLoaded();
    });
    m_deskTask->start();
}

void HistoryWindow::fillDeskCombo()
{
    const QString current = ui->deskCombo->currentData().toString();
    QList<QPair<QString, QString>> desks;
    QHash<QString, int> named;
    for (auto it = m_deskNames.cbegin(); it != m_deskNames.cend(); ++it)
        ++named[it.value()];
    for (auto it = m_deskNames.cbegin(); it != m_deskNames.cend(); ++it)
        // Two desks of one name are told apart by what they are.
        desks.append({named.value(it.value()) > 1 ? QStringLiteral("%1 (%2)").arg(it.value(), it.key()) : it.value(),
                      it.key()});
    std::sort(desks.begin(), desks.end(), [](const auto &a, const auto &b) {
        return QString::localeAwareCompare(a.first, b.first) < 0;
    });
    const QSignalBlocker block(ui->deskCombo);
    ui->deskCombo->clear();
    ui->deskCombo->addItem(tr("any"), QString());
    for (const auto &[text, desk] : desks)
        ui->deskCombo->addItem(text, desk);
    ui->deskCombo->setCurrentIndex(std::max(0, ui->deskCombo->findData(current)));
}

void HistoryWindow::loadSerials()
{
    if (!m_reader->isOpen())
        return;
    m_serialTask = std::make_unique<HistoryTask>(m_source, [](HistoryReader &reader, HistoryTaskControl &) {
        QStringList serials;
        QSqlQuery query(reader.database());
        query.setForwardOnly(true);
        // Read from the index of serial numbers, a jump per number.
        if (query.exec(QStringLiteral("SELECT DISTINCT serial_number FROM measurements WHERE serial_number IS NOT NULL "
                                      "AND serial_number <> '' ORDER BY serial_number")))
            while (query.next() && serials.size() < 1000)
                serials << query.value(0).toString();
        return QVariant(serials);
    });
    connect(m_serialTask.get(), &HistoryTask::finished, this, [this](const QVariant &result, bool) {
        const QString typed = ui->serialCombo->currentText();
        const QSignalBlocker block(ui->serialCombo);
        ui->serialCombo->clear();
        ui->serialCombo->addItem(QString());
        ui->serialCombo->addItems(result.toStringList());
        ui->serialCombo->setEditText(typed);
    });
    m_serialTask->start();
}

// ---- trend ----

void HistoryWindow::updateTrend()
{
    if (ui->tabs->currentWidget() != ui->trendTab) {
        m_trendPending = true;
        return;
    }
    m_trendPending = false;
    if (!m_reader->isOpen())
        return;
    const HistoryFilter filter = m_rows->filter();
    const auto mode = HistoryTrendData::Mode(ui->groupingCombo->currentData().toInt());
    const NearLimitBand band = loadNearLimitBand();
    const int nearPercent = band.enabled ? band.percent : 0;
    ui->trendLabel->setText(tr("Working out the trend..."));
    // A trend still being read for an older filter is of no use any more.
    m_trendTask = std::make_unique<HistoryTask>(
        m_source, [filter, mode, nearPercent](HistoryReader &reader, HistoryTaskControl &) {
            HistoryTrendData data;
            if (!reader.isOpen()) {
                data.error = reader.errorText();
                return QVariant::fromValue(data);
            }
            return QVariant::fromValue(HistoryTrendData::read(reader.database(), filter, mode, nearPercent));
        });
    connect(m_trendTask.get(), &HistoryTask::finished, this, &HistoryWindow::trendRead);
    m_trendTask->start();
}

void HistoryWindow::trendRead(const QVariant &result, bool cancelled)
{
    if (cancelled || sender() != m_trendTask.get())
        return;
    m_trendData = result.value<HistoryTrendData>();
    if (m_trendData.ok)
        m_trend.show(m_trendData, loadNearLimitBand(), ui->movingSpin->value());
    ui->trendLabel->setText(HistoryTrendChart::summaryText(m_trendData));
    emit trendShown();
}

// ---- long tasks with a progress dialog ----

void HistoryWindow::runWithProgress(std::unique_ptr<HistoryTask> task, const QString &label)
{
    m_task = std::move(task);
    m_progress = std::make_unique<ModalProgress>(label, tr("Cancel"), 0, 1000, this);
    m_progress->setWindowTitle(windowTitle());
    m_progress->setValue(0);
    m_progress->show();
    connect(m_task.get(), &HistoryTask::progressed, this, [this](qint64 done, qint64 total) {
        if (!m_progress)
            return;
        m_progress->setValue(total > 0 ? int(std::min<qint64>(999, done * 1000 / total)) : 0);
        if (m_progress->wasCanceled() && m_task)
            m_task->cancel();
    });
    m_progressPoll.start();
    updateButtons();
    // A Cancel that came at once (a scripted answer) is seen before the work starts.
    if (m_progress->wasCanceled())
        m_task->cancel();
    m_task->start();
}

void HistoryWindow::endProgress()
{
    m_progressPoll.stop();
    if (m_progress) {
        m_progress->setValue(1000);
        m_progress->close();
    }
    m_progress.reset();
    // The task is over (it has emitted its last signal); its thread is joined when it goes.
    m_task.reset();
    updateButtons();
}

// ---- check ----

void HistoryWindow::on_checkBtn_clicked()
{
    if (m_task || !m_reader->isOpen())
        return;
    // The head kept outside the file, written now: the check must reach it. On the server every
    // desk's chain is walked, this desk's to the place the server confirmed.
    QString ownChain;
    QHash<QString, HistoryChainHead> heads;
    if (m_source.onServer) {
        heads = m_host->serverHeadsForCheck(&ownChain);
    } else {
        const HistoryChainHead head = m_host->chainHeadForCheck();
        if (head.count > 0)
            heads.insert(QString(), head);
    }
    const bool server = m_source.onServer;
    auto task = std::make_unique<HistoryTask>(m_source, [=](HistoryReader &reader, HistoryTaskControl &control) {
        HistoryCheck check;
        if (!reader.isOpen()) {
            check.problem = HistoryCheck::Problem::Unreadable;
            check.detail = reader.errorText();
            return QVariant::fromValue(check);
        }
        // One snapshot for the walk of the chain and the replay of the rows: what the program
        // (or another desk) writes meanwhile comes after it.
        QSqlDatabase db = reader.database();
        QSqlQuery begin(db);
        begin.exec(HistoryDialect(db).beginSnapshot());
        if (server) {
            check = HistoryStore::checkChains(db, ownChain.isEmpty() ? reader.chainId() : ownChain, heads, &control);
        } else {
            // The file's own chain: the head kept for it is the only one.
            const QString chain = reader.chainId();
            QHash<QString, HistoryChainHead> own;
            if (heads.contains(QString()))
                own.insert(chain, heads.value(QString()));
            check = HistoryStore::checkChains(db, chain, own, &control);
        }
        begin.exec(QStringLiteral("ROLLBACK"));
        return QVariant::fromValue(check);
    });
    connect(task.get(), &HistoryTask::finished, this, &HistoryWindow::checkDone);
    ui->checkLabel->setText(tr("Checking the history..."));
    runWithProgress(std::move(task), tr("Checking every event of the history and every row against its events..."));
}

void HistoryWindow::checkDone(const QVariant &result, bool cancelled)
{
    endProgress();
    m_lastCheck = result.value<HistoryCheck>();
    if (cancelled)
        m_lastCheck.problem = HistoryCheck::Problem::Cancelled;
    qCInfo(lcHistoryWindow) << "history checked:" << m_lastCheck.text() << m_lastCheck.detail;
    const QString text = tr("Check history: %1").arg(m_lastCheck.text());
    ui->checkLabel->setText(text);
    ui->checkLabel->setStyleSheet(m_lastCheck.intact() ? QStringLiteral("color: rgb(0, 130, 50);")
                                  : m_lastCheck.problem == HistoryCheck::Problem::Cancelled
                                      ? QString()
                                      : QStringLiteral("color: rgb(200, 20, 20); font-weight: bold;"));
    if (m_lastCheck.intact())
        Modal::information(this, tr("Check history"), tr("The history is as it was written: %1.").arg(m_lastCheck.text()));
    else if (m_lastCheck.problem != HistoryCheck::Problem::Cancelled)
        Modal::warning(this, tr("Check history"), tr("The history is not as it was written: %1.").arg(m_lastCheck.text()));
    emit checkFinished();
}

// ---- export ----

void HistoryWindow::exportRows(HistoryWindow::ExportKind kind)
{
    if (m_task || !m_reader->isOpen())
        return;
    // The selected rows, or every row the filter shows when none is selected.
    HistorySelection selection;
    selection.ids = selectedIds();
    qint64 count = selection.ids.size();
    if (selection.ids.isEmpty()) {
        selection.filter = m_rows->filter();
        count = m_rows->rowCount();
    }
    if (count == 0) {
        Modal::information(this, tr("Export"), tr("There are no rows to export."));
        return;
    }
    QString filter, suffix;
    switch (kind) {
    case ExportKind::Sheet:
        filter = tr("Excel 2007 (*.xlsx);;Excel 97-2003 (*.xls)");
        suffix = QStringLiteral("xlsx");
        break;
    case ExportKind::Csv:
        filter = tr("CSV (*.csv)");
        suffix = QStringLiteral("csv");
        break;
    case ExportKind::Cgats:
        filter = tr("CGATS (*.ti3 *.txt)");
        suffix = QStringLiteral("ti3");
        break;
    }
    QString chosenFilter;
    const QString caption = tr("Export %1 rows").arg(QLocale().toString(count));
    const QString chosen = Modal::getSaveFileName(this, caption, QDir::homePath(), filter, &chosenFilter);
    if (chosen.isEmpty())
        return;
    if (kind == ExportKind::Sheet && chosenFilter.contains(QLatin1String("*.xls)")))
        suffix = QStringLiteral("xls");
    const QString path = withSuffix(chosen, suffix);
    // An .xls sheet ends at row 65,536: said before a long history is read for nothing.
    if (kind == ExportKind::Sheet && QFileInfo(path).suffix().compare(QLatin1String("xls"), Qt::CaseInsensitive) == 0
        && count > 65535) {
        Modal::warning(this, tr("Export"),
                       tr("The rows could not be exported: %1.")
                           .arg(HistoryExport::tr("an .xls sheet holds %1 rows at most, and %2 were chosen: export them "
                                                  "as .xlsx")
                                    .arg(65535)
                                    .arg(count)));
        return;
    }
    // The CGATS export is two files under one name: the standards and the samples.
    QString standards, samples;
    QStringList written{path};
    if (kind == ExportKind::Cgats) {
        const QFileInfo info(path);
        const QString base = info.dir().filePath(info.completeBaseName());
        const QString ext = info.suffix().isEmpty() ? QStringLiteral("ti3") : info.suffix();
        standards = base + QStringLiteral("-standards.") + ext;
        samples = base + QStringLiteral("-samples.") + ext;
        written = {standards, samples};
    }
    // The dialog asked about replacing the name it was given, not about names made from it.
    QStringList replaced;
    for (const QString &file : std::as_const(written))
        if (file != chosen && QFileInfo::exists(file))
            replaced << QDir::toNativeSeparators(file);
    if (!replaced.isEmpty()
        && Modal::question(this, tr("Export"), tr("%1 exists already. Replace it?").arg(replaced.join(tr(" and "))),
                           QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
               != QMessageBox::Yes)
        return;
    const bool chinese = m_host->chineseSheets();
    auto task = std::make_unique<HistoryTask>(
        m_source, [=](HistoryReader &reader, HistoryTaskControl &control) {
            ExportResult result;
            if (!reader.isOpen()) {
                result.error = reader.errorText();
                return QVariant::fromValue(result);
            }
            HistoryExport exporter(reader.database());
            exporter.setControl(&control, count);
            switch (kind) {
            case ExportKind::Sheet: result.ok = exporter.writeSheet(selection, path, chinese); break;
            case ExportKind::Csv: result.ok = exporter.writeCsv(selection, path); break;
            case ExportKind::Cgats: result.ok = exporter.writeCgats(selection, standards, samples); break;
            }
            result.cancelled = exporter.cancelled();
            result.rows = exporter.rowsWritten();
            result.error = exporter.errorText();
            return QVariant::fromValue(result);
        });
    const QString what = kind == ExportKind::Cgats ? tr("%1 and %2").arg(QDir::toNativeSeparators(standards),
                                                                         QDir::toNativeSeparators(samples))
                                                   : QDir::toNativeSeparators(path);
    connect(task.get(), &HistoryTask::finished, this,
            [this, what](const QVariant &result, bool cancelled) { exportDone(result, cancelled, what); });
    runWithProgress(std::move(task), tr("Exporting %1 rows...").arg(QLocale().toString(count)));
}

void HistoryWindow::exportDone(const QVariant &value, bool cancelled, const QString &what)
{
    endProgress();
    const ExportResult result = value.value<ExportResult>();
    qCInfo(lcHistoryWindow) << "export to" << what << (result.ok ? "done" : "failed") << result.rows << result.error;
    if (result.ok)
        Modal::information(this, tr("Export"), tr("%1 rows were exported to %2.").arg(result.rows).arg(what));
    else if (!cancelled && !result.cancelled)
        Modal::warning(this, tr("Export"), tr("The rows could not be exported: %1.").arg(result.error));
    emit exportFinished(result.ok);
}
