#pragma once

#include "workbook.h"

namespace exchange {

// Loads every worksheet of a BIFF8 (.xls) file. False, with a reason in
// *error, when the file cannot be read as a whole.
bool readXlsFile(const QString &path, Workbook &workbook, QString *error);

} // namespace exchange
