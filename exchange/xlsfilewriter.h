#pragma once

#include "workbook.h"

#include <QByteArray>

namespace exchange {

// Serialises the workbook as a BIFF8 (.xls) file image: a compound file
// holding the "Workbook" stream. False, with a reason in *error, when the
// workbook does not fit the format (65536 rows, 256 columns).
bool buildXlsFile(const Workbook &workbook, QByteArray &out, QString *error);

} // namespace exchange
