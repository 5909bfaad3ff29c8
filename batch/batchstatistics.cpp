#include "batchstatistics.h"

#include "deltae.h"

#include <cmath>
#include <limits>

double batchValue(const BatchRow &row, BatchQuantity quantity)
{
    switch (quantity) {
    case BatchQuantity::DeltaL:
        return row.sample[0] - row.standard[0];
    case BatchQuantity::DeltaA:
        return row.sample[1] - row.standard[1];
    case BatchQuantity::DeltaB:
        return row.sample[2] - row.standard[2];
    case BatchQuantity::DeltaC:
        return row.sample[3] - row.standard[3];
    case BatchQuantity::DeltaH:
        return hueDifference(row.standard[4], row.sample[4]);
    case BatchQuantity::DeltaE:
        return row.deltaE;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

namespace {

// A row with a verdict can still lack a value: a record downloaded while the ΔE parameters were
// unknown keeps its verdict but has no ΔE. Such a value is left out of its quantity only; the
// row still counts as PASS or NG, as the page counts it.
bool known(const BatchRow &row, BatchQuantity quantity)
{
    const double v = batchValue(row, quantity);
    return std::isfinite(v) && (quantity != BatchQuantity::DeltaE || v >= 0);
}

} // namespace

bool isNearLimit(const BatchRow &row, const NearLimitBand &band)
{
    return row.verdict == BatchVerdict::Pass && band.contains(row.deltaE, row.threshold);
}

BatchStatistics computeBatchStatistics(const std::vector<BatchRow> &rows, const NearLimitBand &band)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    BatchStatistics s;
    s.rows = int(rows.size());
    s.passRate = nan;
    for (BatchSummary &summary : s.summaries)
        summary = {0, nan, nan, nan, nan};

    // Two passes: the sums of squared deviations from the mean, not the difference of two large
    // sums, so a batch of nearly equal values keeps its digits.
    std::array<double, kBatchQuantityCount> sums{};
    for (int i = 0; i < s.rows; ++i) {
        const BatchRow &row = rows[i];
        if (!row.judged()) {
            s.notJudged.append(i);
            continue;
        }
        ++s.judged;
        if (row.verdict == BatchVerdict::Pass)
            ++s.pass;
        else
            ++s.ng;
        if (isNearLimit(row, band))
            ++s.nearLimit;
        if (known(row, BatchQuantity::DeltaE) && (s.largestRow < 0 || row.deltaE > rows[s.largestRow].deltaE))
            s.largestRow = i;
        for (int q = 0; q < kBatchQuantityCount; ++q) {
            if (!known(row, BatchQuantity(q)))
                continue;
            const double v = batchValue(row, BatchQuantity(q));
            BatchSummary &summary = s.summaries[q];
            if (summary.count == 0 || v < summary.min)
                summary.min = v;
            if (summary.count == 0 || v > summary.max)
                summary.max = v;
            ++summary.count;
            sums[q] += v;
        }
    }
    if (s.judged == 0)
        return s;
    s.passRate = double(s.pass) / s.judged;
    std::array<double, kBatchQuantityCount> squares{};
    for (int q = 0; q < kBatchQuantityCount; ++q) {
        if (s.summaries[q].count > 0)
            s.summaries[q].mean = sums[q] / s.summaries[q].count;
    }
    for (const BatchRow &row : rows) {
        if (!row.judged())
            continue;
        for (int q = 0; q < kBatchQuantityCount; ++q) {
            if (!known(row, BatchQuantity(q)))
                continue;
            const double d = batchValue(row, BatchQuantity(q)) - s.summaries[q].mean;
            squares[q] += d * d;
        }
    }
    for (int q = 0; q < kBatchQuantityCount; ++q) {
        if (s.summaries[q].count > 1)
            s.summaries[q].sd = std::sqrt(squares[q] / (s.summaries[q].count - 1));
    }
    return s;
}
