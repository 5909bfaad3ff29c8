#pragma once

#include "workbook.h"

namespace exchange {

// Loads every worksheet of an Office Open XML (.xlsx) file: shared and
// inline strings, numbers, booleans, dates (serials under a date format),
// ISO dates and the cached values of formulas.
bool readXlsxFile(const QString &path, Workbook &workbook, QString *error);

} // namespace exchange
