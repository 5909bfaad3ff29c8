#pragma once

#include "historyfilter.h"

#include <QDate>
#include <QSqlDatabase>
#include <QString>

#include <limits>
#include <vector>

// The numbers behind the history's trend: ΔE of each judged row over time, the threshold in
// force for it, a moving mean, the one-sided process performance index and the means of days or
// weeks for long ranges. No widgets: the history window draws them.
struct HistoryTrendPoint
{
    qint64 storedMs = 0; // when it was stored, milliseconds since the epoch (UTC)
    double deltaE = 0;
    double threshold = std::numeric_limits<double>::quiet_NaN(); // NaN: not known
    bool pass = false;
};

struct HistoryTrend
{
    std::vector<HistoryTrendPoint> points; // oldest first
    std::vector<double> movingMean;        // per point: the mean of it and the window - 1 before it
    int n = 0;
    double mean = std::numeric_limits<double>::quiet_NaN();
    double sd = std::numeric_limits<double>::quiet_NaN(); // sample standard deviation (n - 1)
    // Ppk = (threshold - mean) / (3 SD) for the one threshold all the points were judged
    // against; NaN when they were judged against different ones (or none is known), or when
    // there is no spread to divide by (fewer than two points, or all alike).
    double threshold = std::numeric_limits<double>::quiet_NaN();
    double ppk = std::numeric_limits<double>::quiet_NaN();
};

// The judged rows (a verdict and a ΔE) the filter lets through, oldest first; false when the
// history could not be read.
bool readHistoryTrendPoints(const QSqlDatabase &db, const HistoryFilter &filter,
                            std::vector<HistoryTrendPoint> *points, QString *error);

HistoryTrend computeHistoryTrend(std::vector<HistoryTrendPoint> points, int movingWindow);

// The mean ΔE of each local day, or of each week (from Monday), that has points.
enum class HistoryGrouping { Day, Week };
struct HistoryGroupMean
{
    QDate first; // the day, or the Monday of the week
    int n = 0;
    double mean = 0;
};
std::vector<HistoryGroupMean> historyGroupMeans(const std::vector<HistoryTrendPoint> &points,
                                                HistoryGrouping grouping);

// The trend of a long history in a few numbers the database works out, never reading the rows:
// n, mean and SD of the judged rows a filter lets through, the thresholds they were judged
// against, and Ppk as above.
struct HistoryTrendSummary
{
    qint64 n = 0;
    qint64 ng = 0;
    double mean = std::numeric_limits<double>::quiet_NaN();
    double sd = std::numeric_limits<double>::quiet_NaN();
    double threshold = std::numeric_limits<double>::quiet_NaN(); // the one threshold, NaN: several or unknown
    double ppk = std::numeric_limits<double>::quiet_NaN();
    QString firstStored; // ISO 8601 UTC of the oldest and newest rows
    QString lastStored;
};
bool readHistoryTrendSummary(const QSqlDatabase &db, const HistoryFilter &filter, HistoryTrendSummary *summary,
                             QString *error);

// One day or week of judged rows, as the database groups them.
struct HistoryTrendGroup
{
    QDate first; // the local day, or the Monday of the local week
    qint64 n = 0;
    double mean = 0;
    double maxDeltaE = 0;
    qint64 ng = 0;
    qint64 nearLimit = 0; // passed within the near-limit band (nearPercent)
    double threshold = std::numeric_limits<double>::quiet_NaN(); // the highest in force that day; NaN: none known
};
// nearPercent: the near-limit band's start as a share of the threshold (0: no band).
bool readHistoryTrendGroups(const QSqlDatabase &db, const HistoryFilter &filter, HistoryGrouping grouping,
                            int nearPercent, std::vector<HistoryTrendGroup> *groups, QString *error);
