#pragma once

#include "batchcharts.h"
#include "batchsnapshot.h"

#include <QPointer>
#include <QWidget>

#include <tuple>

class BatchSource;
class QChartView;
class QPrinter;
class QStringListModel;

namespace Ui {
class BatchWindow;
}

// The batch window: statistics of the rows shown, the a*b* plot with the tolerance contour, the
// ΔL* chart and the ΔE run chart, the near-limit band, and the batch report. Not modal; it
// follows its source: every change of the rows, the selection and the current row shows at the
// next turn of the event loop (a burst of changes, an import of thousands of rows, is shown once).
class BatchWindow : public QWidget
{
    Q_OBJECT
public:
    explicit BatchWindow(BatchSource *source, QWidget *parent = nullptr);
    ~BatchWindow() override;

    // Opens a window on the source: a window of its own, not modal, freed when closed.
    static BatchWindow *openFor(BatchSource *source, QWidget *parent);

    const BatchSnapshot &snapshot() const { return m_snapshot; }
    // Shows what is pending now instead of at the next turn of the event loop.
    void refreshNow();
    bool refreshPending() const { return m_pending; }

    QChartView *chartView(BatchCharts::Plot plot) const { return m_views[plot]; }
    const BatchCharts &charts() const { return m_charts; }

    // The current plot as a picture (PNG or SVG, by the file's suffix), the data as CSV, the
    // picture and the data on the clipboard, the batch report on a printer. False when the
    // file or the printer could not be written.
    bool savePicture(BatchCharts::Plot plot, const QString &path) const;
    bool saveData(const QString &path) const;
    void copyPicture(BatchCharts::Plot plot) const;
    bool printTo(QPrinter *printer) const;

    Ui::BatchWindow *ui;

public slots:
    void on_savePictureBtn_clicked();
    void on_copyPictureBtn_clicked();
    void on_saveDataBtn_clicked();
    void on_printBtn_clicked();

protected:
    void changeEvent(QEvent *event) override;

private:
    void schedule(bool full);
    void appended(int first, int last);
    void refresh();
    void drawCharts();
    void reload();
    void updateCurrent();
    void showStatistics();
    void showScope();
    void setupStatisticsTable();
    void retranslateStatisticsTable();
    void bandChanged();
    BatchCharts::Plot currentPlot() const;

    QPointer<BatchSource> m_source; // gone with the page: the window closes
    BatchCharts m_charts;
    QChartView *m_views[BatchCharts::PlotCount] = {};
    QStringListModel *m_notJudged;
    BatchSnapshot m_snapshot;
    bool m_pending = false;
    bool m_full = true;
    unsigned m_stalePlots = 0; // plots not drawn since the snapshot changed (tabs not on show)
    int m_appendFirst = -1; // the first of the rows appended since the last refresh
    // What the contour shown was computed for: formula, threshold, L*, a*, b*.
    std::tuple<int, double, double, double, double> m_contourKey{-2, 0, 0, 0, 0};
};
