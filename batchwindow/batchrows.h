#pragma once

#include "batchrow.h"
#include "firstpagefortesk.h"

// A table row as the batch view takes it. The verdict is the row's own word (PASS or NG in
// either language, as the language refresh and the import recognise them); any other text,
// empty ones from an import above all, leaves the row not judged. So does a ΔE below 0, the
// mark of a formula that was not known when the row was made. The formula is found from its
// label, the threshold read from its text ("2.0"); either may stay unknown (-1, NaN).
BatchRow batchRowFromRecord(int tableRow, const MeasurementRecord &record);

// The ΔE formula index of a label as the table shows it ("△E*00"), -1 for any other text.
int formulaFromLabel(const QString &label);
