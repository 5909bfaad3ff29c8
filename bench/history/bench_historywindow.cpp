// The history window on a long history, as the user meets it: opening the window, each filter
// through its controls, sorting by a click, scrolling to the end (the longest the event loop
// stood still), the trend, "Check history" and exports on their worker threads (the longest
// stall of the GUI meanwhile), opening the history at start-up against SQLite's whole-file
// check it no longer waits for, and peak memory. Every time is the GUI thread's: the call and
// the repaint that follows it.
//
//   QT_QPA_PLATFORM=offscreen bench_historywindow [rows, default 1000000] [folder]
//
// The history is bench_historytool's file (bench-history-<rows>.sqlite in the folder): run that
// first to make it.
#include "historymodels.h"
#include "historyreader.h"
#include "historystore.h"
#include "historywindow.h"
#include "historywindowhost.h"
#include "scriptedmodal.h"
#include "ui_historywindow.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <sys/resource.h>

namespace {

long peakMegabytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

class BenchHost : public HistoryWindowHost
{
public:
    explicit BenchHost(HistoryStore *store) : m_store(store) {}
    QString historyFile() const override { return m_store->filePath(); }
    HistoryChainHead chainHeadForCheck() override { return m_store->chainHead(); }
    int putIntoTable(const QList<qint64> &ids, int *) override { return int(ids.size()); }
    void openReport(const HistoryRow &) override {}
    bool chineseSheets() const override { return false; }

private:
    HistoryStore *m_store;
};

// The longest time the event loop did not come round, while something runs on a worker thread.
class StallWatch : public QObject
{
public:
    StallWatch()
    {
        m_timer.setInterval(2);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const double now = m_clock.nsecsElapsed() / 1e6;
            m_worst = std::max(m_worst, now - m_last);
            m_last = now;
        });
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_worst = 0;
        m_timer.start();
    }
    double stop()
    {
        m_timer.stop();
        return m_worst;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_last = 0;
    double m_worst = 0;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qint64 rows = args.size() > 1 ? args.at(1).toLongLong() : 1000000;
    const QString folder = args.size() > 2 ? args.at(2) : QStringLiteral(".");
    const QString file = folder + QStringLiteral("/bench-history-%1.sqlite").arg(rows);
    if (!QFileInfo::exists(file)) {
        std::fprintf(stderr, "%s is not there: run bench_historytool %lld %s first\n", qPrintable(file),
                     static_cast<long long>(rows), qPrintable(folder));
        return 1;
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder + QStringLiteral("/config")));
    ScriptedModal modal;
    QElapsedTimer clock;

    // Start-up: the history opened as the program opens it, against the whole-file check.
    clock.start();
    HistoryStore store;
    if (!store.open(file)) {
        std::fprintf(stderr, "cannot open: %s\n", qPrintable(store.errorText()));
        return 1;
    }
    std::printf("file: %.0f MB, %lld rows\n", QFileInfo(file).size() / 1e6, static_cast<long long>(store.rowCount()));
    std::printf("opening the history at start-up: %.0f ms\n", clock.nsecsElapsed() / 1e6);
    {
        HistoryReader reader(file);
        QString problem;
        clock.start();
        HistoryStore::quickCheck(reader.database(), &problem);
        std::printf("SQLite's quick check of the whole file (now on a worker thread after start): %.0f ms (%s)\n",
                    clock.nsecsElapsed() / 1e6, problem.isEmpty() ? "sound" : qPrintable(problem));
    }

    BenchHost host(&store);
    clock.start();
    auto *window = new HistoryWindow(&host);
    window->resize(1240, 780);
    window->show();
    window->ui->rowsView->viewport()->repaint();
    QCoreApplication::processEvents();
    std::printf("opening the window until its rows are painted: %.0f ms\n", clock.nsecsElapsed() / 1e6);
    Ui::HistoryWindow *ui = window->ui;
    auto painted = [&](const std::function<void()> &action) {
        clock.start();
        action();
        ui->rowsView->viewport()->repaint();
        return clock.nsecsElapsed() / 1e6;
    };
    auto choose = [](QComboBox *combo, int index) {
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    };

    struct Case
    {
        const char *name;
        std::function<void()> set;
    };
    const std::vector<Case> cases = {
        {"name contains a rare text (\"Lot K\")", [&] { ui->nameEdit->setText(QStringLiteral("Lot K")); window->applyFilter(); }},
        {"name contains a common text (\"panel 9\")", [&] { ui->nameEdit->setText(QStringLiteral("panel 9")); window->applyFilter(); }},
        {"name contains one character (\"7\")", [&] { ui->nameEdit->setText(QStringLiteral("7")); window->applyFilter(); }},
        {"name contains a text stored nowhere (\"Bumper\")", [&] { ui->nameEdit->setText(QStringLiteral("Bumper")); window->applyFilter(); }},
        {"(name cleared)", [&] { ui->nameEdit->clear(); window->applyFilter(); }},
        {"serial number", [&] { ui->serialCombo->setEditText(QStringLiteral("20240001")); window->applyFilter(); }},
        {"(serial cleared)", [&] { ui->serialCombo->setEditText(QString()); window->applyFilter(); }},
        {"verdict NG", [&] { choose(ui->verdictCombo, 2); }},
        {"verdict not judged", [&] { choose(ui->verdictCombo, 3); }},
        {"(verdict any)", [&] { choose(ui->verdictCombo, 0); }},
        {"origin imported", [&] { choose(ui->originCombo, 4); }},
        {"(origin any)", [&] { choose(ui->originCombo, 0); }},
        {"state deleted", [&] { choose(ui->stateCombo, 2); }},
        {"(state any)", [&] { choose(ui->stateCombo, 0); }},
        {"time range (one month)", [&] {
             ui->fromEdit->setDateTime(QDateTime(QDate(2026, 3, 1), QTime(0, 0)));
             ui->untilEdit->setDateTime(QDateTime(QDate(2026, 3, 31), QTime(23, 59)));
             ui->fromCheck->setChecked(true);
             ui->untilCheck->setChecked(true);
         }},
        {"(time range off)", [&] {
             ui->fromCheck->setChecked(false);
             ui->untilCheck->setChecked(false);
         }},
        {"one run", [&] { ui->runsView->selectRow(2500); }},
        {"(all runs)", [&] { ui->runsView->clearSelection(); }},
    };
    double worstFilter = 0;
    for (const Case &c : cases) {
        const double ms = painted(c.set);
        if (c.name[0] != '(')
            worstFilter = std::max(worstFilter, ms);
        std::printf("filter %-50s %8d rows  %7.1f ms\n", c.name, window->rowsModel()->rowCount(), ms);
    }
    std::printf("slowest filter: %.1f ms\n", worstFilter);

    QHeaderView *header = ui->rowsView->horizontalHeader();
    for (const auto &[name, column] : {std::pair{"ΔE", int(HistoryRowsModel::ColDeltaE)},
                                       std::pair{"test name", int(HistoryRowsModel::ColTestName)},
                                       std::pair{"stored", int(HistoryRowsModel::ColStoredAt)}}) {
        const double ms = painted([&] { header->setSortIndicator(column, Qt::AscendingOrder); });
        std::printf("sorted by %-10s by a click on its title: %7.1f ms\n", name, ms);
    }
    header->setSortIndicator(HistoryRowsModel::ColStoredAt, Qt::DescendingOrder);
    QCoreApplication::processEvents();

    // Scrolling: the scroll bar dragged from the top to the end in 200 steps, then the End key's
    // jump back and forth: each step painted. The longest step is the longest stall.
    QScrollBar *bar = ui->rowsView->verticalScrollBar();
    std::vector<double> steps;
    for (int s = 1; s <= 200; ++s)
        steps.push_back(painted([&] { bar->setValue(int(qint64(bar->maximum()) * s / 200)); }));
    steps.push_back(painted([&] { bar->setValue(0); }));
    steps.push_back(painted([&] { bar->setValue(bar->maximum()); }));
    std::printf("scrolling to the end in 200 steps: median %.1f ms a step, longest stall %.1f ms\n", median(steps),
                *std::max_element(steps.begin(), steps.end()));
    bar->setValue(0);
    std::printf("peak memory after browsing: %ld MB\n", peakMegabytes());

    StallWatch watch;
    // The trend of the whole history: grouped by the database on a worker thread.
    {
        QSignalSpy shown(window, &HistoryWindow::trendShown);
        watch.start();
        clock.start();
        ui->tabs->setCurrentWidget(ui->trendTab);
        shown.wait(600000);
        std::printf("trend of every row (%s): %.0f ms on a worker, longest GUI stall %.1f ms\n",
                    qPrintable(ui->trendLabel->text()), clock.nsecsElapsed() / 1e6, watch.stop());
        ui->tabs->setCurrentWidget(ui->rowsTab);
    }
    // Check history, scrolling meanwhile.
    {
        QSignalSpy finished(window, &HistoryWindow::checkFinished);
        watch.start();
        clock.start();
        ui->checkBtn->click();
        QTimer scroll;
        int step = 0;
        QObject::connect(&scroll, &QTimer::timeout, [&] { bar->setValue(int(qint64(bar->maximum()) * (++step % 100) / 100)); });
        scroll.start(50);
        finished.wait(600000);
        scroll.stop();
        std::printf("check history (%s): %.0f ms on a worker, longest GUI stall while scrolling %.1f ms\n",
                    qPrintable(window->lastCheck().text()), clock.nsecsElapsed() / 1e6, watch.stop());
    }
    // 100,000 rows out: the 500 oldest runs (newest are shown first).
    const double ms = painted([&] {
        ui->runsView->selectionModel()->select(
            QItemSelection(window->runsModel()->index(window->runsModel()->rowCount() - 500, 0),
                           window->runsModel()->index(window->runsModel()->rowCount() - 1, 0)),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        ui->runsView->viewport()->repaint();
    });
    QCoreApplication::processEvents();
    std::printf("filter the 500 oldest runs: %d rows, %.1f ms\n", window->rowsModel()->rowCount(), ms);
    for (const auto &[kind, name, filter] :
         {std::tuple{HistoryWindow::ExportKind::Csv, "bench-export.csv", "CSV (*.csv)"},
          std::tuple{HistoryWindow::ExportKind::Sheet, "bench-export.xlsx", "Excel 2007 (*.xlsx)"}}) {
        const QString out = folder + u'/' + QLatin1String(name);
        modal.answerSaveFile(out, QLatin1String(filter));
        QSignalSpy done(window, &HistoryWindow::exportFinished);
        watch.start();
        clock.start();
        window->exportRows(kind);
        const double call = clock.nsecsElapsed() / 1e6;
        done.wait(600000);
        std::printf("export to %s: %.0f ms on a worker (%s), the call %.1f ms, longest GUI stall %.1f ms, %.1f MB\n",
                    name, clock.nsecsElapsed() / 1e6, done.value(0).value(0).toBool() ? "written" : "FAILED", call,
                    watch.stop(), QFileInfo(out).size() / 1e6);
        QFile::remove(out);
    }
    std::printf("peak memory: %ld MB\n", peakMegabytes());
    delete window;
    return 0;
}
