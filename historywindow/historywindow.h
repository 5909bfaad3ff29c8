#pragma once

#include "historyexport.h"
#include "historyfilter.h"
#include "historyreader.h"
#include "historystore.h"
#include "historytrendchart.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

class HistoryRowsModel;
class HistoryRunsModel;
class HistoryStoryModel;
class HistoryTask;
class HistoryWindowHost;
class ModalProgress;
class QChartView;

namespace Ui {
class HistoryWindow;
}

// The history window: every stored row and run, found by time, test name, serial number,
// verdict, origin and state, sorted by any column, read from the database a block at a time
// (never the whole history); a row's story (its events); the trend of what the filter shows;
// "Check history"; and, for a selection, putting the rows into the measurement table, the test
// report of one row and exports (the table's sheet, CSV, CGATS). Not modal. Reading is on a
// connection of its own; the check, the exports and the trend run on worker threads with
// connections of their own, so the window and the measurements go on meanwhile.
class HistoryWindow : public QWidget
{
    Q_OBJECT
public:
    enum class ExportKind { Sheet, Csv, Cgats };

    explicit HistoryWindow(HistoryWindowHost *host, QWidget *parent = nullptr);
    ~HistoryWindow() override;

    HistoryRowsModel *rowsModel() const { return m_rows; }
    HistoryRunsModel *runsModel() const { return m_runs; }
    HistoryStoryModel *storyModel() const { return m_story; }
    const HistoryTrendChart &trendChart() const { return m_trend; }
    QChartView *trendView() const { return m_trendView; }
    // The filter the controls say.
    HistoryFilter filterFromControls() const;
    // The rows selected in the rows view, by id (in no particular order).
    QList<qint64> selectedIds() const;
    // The last check's result; problem Unreadable with events -1 before the first.
    const HistoryCheck &lastCheck() const { return m_lastCheck; }
    // Whether a check, an export or the trend is being worked out on a worker thread.
    bool busy() const;
    const HistoryTrendData &trendData() const { return m_trendData; }
    // What the window shows: this computer's file, or every desk's rows on the laboratory's
    // server.
    const HistorySource &source() const { return m_source; }
    bool showsServer() const { return m_source.onServer; }
    // What the desks are called, as the history shown holds them (desk → name).
    const QHash<QString, QString> &deskNames() const { return m_deskNames; }

    Ui::HistoryWindow *ui;

public slots:
    // Shows what the controls say now (typing waits for a pause before it calls this).
    void applyFilter();
    // The history was written (by the program): shown at once when nothing is selected,
    // otherwise when the user asks (Refresh), so a selection is never lost under the user.
    void historyChanged();
    void refresh();
    void exportRows(HistoryWindow::ExportKind kind);

    void on_putBtn_clicked();
    void on_reportBtn_clicked();
    void on_checkBtn_clicked();
    void on_refreshBtn_clicked();
    void on_closeBtn_clicked();
    void on_resetFiltersBtn_clicked();
    void on_allRunsBtn_clicked();
    // Shows this computer's history (false) or the server's (true). The server is tried on a
    // worker thread first, so one that does not answer never holds the window; when it cannot
    // be read the window says so and stays with this computer's.
    void showServer(bool server);

signals:
    // A check, an export or the trend has finished (for whoever waits on it).
    void checkFinished();
    void exportFinished(bool ok);
    void trendShown();
    // The history shown changed (or a try to show the server's ended: showsServer() says).
    void sourceChanged();
    // The desks the history shown holds were read (the desk filter's choices).
    void desksLoaded();

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();
    // A reader of the source and the models on it, the old ones gone.
    void attachReader();
    void serverTried(const QVariant &result);
    void loadDesks();
    void fillDeskCombo();
    // Put into the table from the server: this desk's rows only.
    void putFromServer(const QList<qint64> &ids);
    void fillCombos();
    void scheduleFilter();
    void showCount();
    void showStory();
    void updateButtons();
    void fitColumns();
    void updateTrend();
    void trendRead(const QVariant &result, bool cancelled);
    void loadSerials();
    void checkDone(const QVariant &result, bool cancelled);
    void exportDone(const QVariant &result, bool cancelled, const QString &what);
    // A task with a progress dialog through the modal seam; Cancel stops it.
    void runWithProgress(std::unique_ptr<HistoryTask> task, const QString &label);
    void endProgress();

    HistoryWindowHost *m_host;
    std::unique_ptr<HistoryReader> m_reader;
    HistorySource m_source;
    HistorySource m_localSource;
    QHash<QString, QString> m_deskNames;
    QString m_serverProblem;
    HistoryRowsModel *m_rows = nullptr;
    HistoryRunsModel *m_runs = nullptr;
    HistoryStoryModel *m_story = nullptr;
    HistoryTrendChart m_trend;
    QChartView *m_trendView = nullptr;
    HistoryTrendData m_trendData;
    HistoryCheck m_lastCheck;
    QTimer m_filterTimer;
    QTimer m_changeTimer;
    bool m_changedUnseen = false;
    // The one long task at a time that the user waits on (check, export), its progress dialog and
    // what polls the dialog's Cancel; the trend and the serial numbers have their own.
    std::unique_ptr<HistoryTask> m_task;
    std::unique_ptr<ModalProgress> m_progress;
    QTimer m_progressPoll;
    std::unique_ptr<HistoryTask> m_trendTask;
    std::unique_ptr<HistoryTask> m_serialTask;
    std::unique_ptr<HistoryTask> m_deskTask;
    std::unique_ptr<HistoryTask> m_serverTry;
    bool m_trendPending = false;
};
