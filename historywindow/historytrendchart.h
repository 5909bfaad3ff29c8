#pragma once

#include "historytrend.h"
#include "nearlimit.h"

#include <QChart>
#include <QCoreApplication>
#include <QMetaType>
#include <QPointer>
#include <QString>

#include <vector>

class BatchRowLayer;
class QDateTimeAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

// What the trend shows of a filter, worked out on a worker thread and handed over by value:
// the summary of every judged row (n, mean, SD, Ppk), and either each row or the means of days
// or weeks, which the database groups itself.
struct HistoryTrendData
{
    enum class Mode { Automatic, EachRow, Days, Weeks };
    // Above this many rows, each row is not drawn: the means of days or weeks are.
    static constexpr qint64 kEachRowLimit = 5000;

    bool ok = false;
    QString error;
    HistoryTrendSummary summary;
    Mode shown = Mode::EachRow; // EachRow, Days or Weeks
    std::vector<HistoryTrendPoint> points;
    std::vector<HistoryTrendGroup> groups;

    // Reads it for filter on db (a worker thread's reader). mode Automatic: each row up to the
    // limit, then days for a range of up to half a year, weeks beyond.
    static HistoryTrendData read(const QSqlDatabase &db, const HistoryFilter &filter, Mode mode, int nearPercent);
};
Q_DECLARE_METATYPE(HistoryTrendData)

// The trend chart: ΔE over time, a dot per row (or per day or week: its mean) coloured by
// verdict and near-limit as the batch window colours rows, the threshold in force as a step
// line, and a moving mean. Drawn by the batch window's row layer, so any number of dots costs
// one item.
class HistoryTrendChart
{
    Q_DECLARE_TR_FUNCTIONS(HistoryTrendChart)
public:
    HistoryTrendChart();
    ~HistoryTrendChart();
    HistoryTrendChart(const HistoryTrendChart &) = delete;
    HistoryTrendChart &operator=(const HistoryTrendChart &) = delete;

    // The chart; it belongs to the chart view it is put in.
    QChart *chart() const { return m_chart; }
    BatchRowLayer *layer() const { return m_layer; }

    void show(const HistoryTrendData &data, const NearLimitBand &band, int movingWindow);
    void retranslate();
    // The numbers under the chart: n, mean, SD and Ppk, or why there is no Ppk.
    static QString summaryText(const HistoryTrendData &data);
    // What a point or a moving mean stands for.
    int shownPoints() const { return m_points; }
    const std::vector<double> &movingMean() const { return m_moving; }

private:
    QPointer<QChart> m_chart;
    QDateTimeAxis *m_x = nullptr;
    QValueAxis *m_y = nullptr;
    BatchRowLayer *m_layer = nullptr;
    QLineSeries *m_threshold = nullptr;
    QLineSeries *m_mean = nullptr;
    QScatterSeries *m_legendPass = nullptr;
    QScatterSeries *m_legendNg = nullptr;
    QScatterSeries *m_legendNear = nullptr;
    HistoryTrendData::Mode m_shown = HistoryTrendData::Mode::EachRow;
    int m_movingWindow = 10;
    int m_points = 0;
    std::vector<double> m_moving;
};
