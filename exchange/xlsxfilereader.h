#pragma once

#include "workbook.h"

#include <QByteArray>

namespace exchange {

// Loads an Office Open XML (.xlsx) file image: the names of all worksheets,
// and the cells of worksheet `onlySheet` (0-based) or, when it is negative,
// of every worksheet; sheets whose cells were not read are marked not
// loaded. Shared and inline strings, numbers, booleans, dates (serials
// under a date format), ISO dates and the cached values of formulas are
// read. Parts are inflated as they are parsed, and what is inflated and
// built is bounded (Limits). False, with a reason in *error, when the file
// cannot be read as a whole. With `dates` false, date serials stay numbers.
bool readXlsxData(const QByteArray &file, Workbook &workbook, int onlySheet, QString *error, bool dates = true);

} // namespace exchange
