#pragma once

// What the page benchmarks share: the rows they fill the table with and the peak memory.

#include "firstpagefortesk.h"

#include <sys/resource.h>

namespace bench {

// Row i of a filled table: names, verdicts and values vary a little from row to row.
inline MeasurementRecord recordFor(int i)
{
    MeasurementRecord r;
    r.sequence = i + 1;
    r.testName = QStringLiteral("Comp%1").arg(i + 1);
    r.timeText = QStringLiteral("2026/01/02  03:04");
    r.standard = {50.0 + (i % 7), 10.0, -20.0, 22.36, 296.57};
    r.sample = {52.0, 13.0 - (i % 5), -16.0, 20.62, 309.09};
    r.deltaE = 5.39;
    r.verdict = (i % 3) ? QStringLiteral("PASS") : QStringLiteral("NG");
    r.formulaText = QStringLiteral("△E*ab");
    r.thresholdText = QStringLiteral("2.0");
    r.deviceName = QStringLiteral("UnKnow");
    r.serialNumber = QStringLiteral("4711");
    return r;
}

// The process's peak resident memory so far, in KiB.
inline long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace bench
