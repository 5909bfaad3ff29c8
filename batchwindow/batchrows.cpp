#include "batchrows.h"

#include "deltae.h"
#include "verdictwords.h"

#include <QCoreApplication>
#include <QLocale>

int formulaFromLabel(const QString &label)
{
    const QString text = label.trimmed();
    for (int f = DeltaEFormulaAb; f <= DeltaEFormula00; ++f) {
        const char *source = deltaEFormulaLabel(f);
        if (text == QString::fromUtf8(source) || text == QCoreApplication::translate("Colorimeter", source))
            return f;
    }
    return -1;
}

BatchRow batchRowFromRecord(int tableRow, const MeasurementRecord &record)
{
    BatchRow row;
    row.tableRow = tableRow;
    row.testName = record.testName;
    row.timeText = record.timeText;
    row.standard = record.standard;
    row.sample = record.sample;
    row.deltaE = record.deltaE;
    row.formulaText = record.formulaText;
    row.thresholdText = record.thresholdText;
    row.deviceName = record.deviceName;
    row.serialNumber = record.serialNumber;
    row.formula = formulaFromLabel(record.formulaText);
    bool ok = false;
    const double threshold = QLocale::c().toDouble(record.thresholdText.trimmed(), &ok);
    if (ok && std::isfinite(threshold))
        row.threshold = threshold;

    using verdictwords::Verdict;
    const Verdict word = verdictwords::recognise(record.verdict);
    if (word == Verdict::Pass || record.verdict == QCoreApplication::translate("FirstPageForTesk", "PASS"))
        row.verdict = BatchVerdict::Pass;
    else if (word == Verdict::Ng || record.verdict == QCoreApplication::translate("FirstPageForTesk", "NG"))
        row.verdict = BatchVerdict::Ng;
    // A row with a verdict but without a ΔE (downloaded while the ΔE parameters were unknown)
    // keeps its verdict, as the page counts it; its ΔE is left out where a number is needed.
    return row;
}
