#pragma once

#include <QString>

#include <array>
#include <cmath>
#include <limits>

// One table row as the batch view sees it: the values of the row, its verdict already decided
// from the verdict text, and the formula and threshold it was judged by.
enum class BatchVerdict { NotJudged, Pass, Ng };

struct BatchRow
{
    int tableRow = -1; // the row's index in the table it was taken from
    QString testName;
    QString timeText;
    std::array<double, 5> standard{}; // L*, a*, b*, C*, h
    std::array<double, 5> sample{};   // L*, a*, b*, C*, h
    double deltaE = 0;
    BatchVerdict verdict = BatchVerdict::NotJudged;
    int formula = -1; // the ΔE formula index the row was judged by; -1 when its label is unknown
    double threshold = std::numeric_limits<double>::quiet_NaN(); // NaN when unknown
    QString formulaText;
    QString thresholdText;
    QString deviceName;
    QString serialNumber;

    bool judged() const { return verdict != BatchVerdict::NotJudged; }
};

// The quantities the batch statistics cover, each sample minus standard of one row.
enum class BatchQuantity { DeltaL, DeltaA, DeltaB, DeltaC, DeltaH, DeltaE };
constexpr int kBatchQuantityCount = 6;

// The value of one quantity for a row. Δh is wrapped into (-180°, 180°] as the panel shows it.
double batchValue(const BatchRow &row, BatchQuantity quantity);
