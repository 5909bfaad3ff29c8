#pragma once

#include "batchrow.h"
#include "batchsource.h"
#include "batchstatistics.h"
#include "contour.h"
#include "nearlimit.h"

#include <QCoreApplication>
#include <QString>

#include <limits>
#include <vector>

// Everything the batch window shows, and the batch report prints, at one moment.
struct BatchSnapshot
{
    std::vector<BatchRow> rows; // the rows shown, in table order
    BatchStatistics statistics;
    NearLimitBand band;
    bool selectionOnly = false; // the rows are the user's selection
    int tableRows = 0;          // rows in the table

    // The current row: its place among the rows shown (-1 when it is not one of them), and the
    // standard, formula and threshold the tolerance contour is drawn for (those of the current
    // table row, shown or not).
    int current = -1;
    bool hasContourRow = false;
    LabColor standard;
    int formula = -1;
    double threshold = std::numeric_limits<double>::quiet_NaN();
    QString formulaText;
    ToleranceContour contour{{}, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};

    BatchReportInfo info;

    // Whether the row at index i is drawn as near the limit.
    bool nearLimit(int i) const { return isNearLimit(rows[i], band); }
};

// How the batch window and report write their numbers, so both show the same texts.
namespace batchformat {
// Means and standard deviations with three decimals, minima and maxima with two (the values
// themselves have two); an unknown value (a standard deviation of one row) is blank.
QString mean(double v);
QString deviation(double v);
QString extreme(double v);
QString passRate(double rate); // "66.7 %"
QString value(double v);        // a row's difference, two decimals
QString threshold(double v);    // "2.0"
} // namespace batchformat

// The names of the quantities, as the statistics table labels its rows ("ΔL*" ...).
QString batchQuantityLabel(BatchQuantity quantity);
