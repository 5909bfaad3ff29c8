#pragma once

#include "batchrow.h"
#include "nearlimit.h"

#include <QList>
#include <QString>

#include <array>
#include <vector>

// Mean, standard deviation (n - 1), minimum and maximum of one quantity over the judged rows
// that have a value of it (count of them).
// With no rows everything is NaN; with one row the standard deviation is NaN (shown blank).
struct BatchSummary
{
    int count = 0;
    double mean;
    double sd;
    double min;
    double max;
};

struct BatchStatistics
{
    int rows = 0;    // rows looked at
    int judged = 0;  // rows with a PASS or NG verdict; the others are left out of everything below
    int pass = 0;
    int ng = 0;
    double passRate; // PASS / judged, 0..1; NaN when nothing was judged
    std::array<BatchSummary, kBatchQuantityCount> summaries; // by BatchQuantity
    int largestRow = -1;  // index (into the rows given) of the judged row with the largest ΔE, the first of equals
    int nearLimit = 0;    // PASS rows inside the band (0 while the band is off)
    QList<int> notJudged; // indices (into the rows given) of the rows without a verdict, in order

    const BatchSummary &summary(BatchQuantity q) const { return summaries[static_cast<int>(q)]; }
};

// Whether a row is drawn and counted as near the limit: a PASS inside the band of its own
// threshold. An NG row stays NG, whatever its ΔE.
bool isNearLimit(const BatchRow &row, const NearLimitBand &band);

BatchStatistics computeBatchStatistics(const std::vector<BatchRow> &rows, const NearLimitBand &band);
