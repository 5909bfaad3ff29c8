#pragma once

#include "workbook.h"

namespace exchange {

// Writes the workbook as an Office Open XML (.xlsx) file at path.
bool writeXlsxFile(const Workbook &workbook, const QString &path, QString *error);

} // namespace exchange
