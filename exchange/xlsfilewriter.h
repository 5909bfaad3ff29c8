#pragma once

#include "workbook.h"

#include <QByteArray>

#include <functional>

namespace exchange {

// Serialises the workbook as a BIFF8 (.xls) file image: a compound file
// holding the "Workbook" stream. False, with a reason in *error, when the
// workbook does not fit the format (65536 rows, 256 columns).
bool buildXlsFile(const Workbook &workbook, QByteArray &out, QString *error);
// The same file handed to `sink` piece by piece, without the whole image in memory. False when
// the workbook does not fit (with *error) or the sink said false. With `streamed`, that sheet's
// cells are taken from its rows as they come, and kept in a file in its spill folder (removed
// afterwards) until the string table of all sheets is known.
bool writeXlsFile(const Workbook &workbook, const std::function<bool(const char *, qint64)> &sink, QString *error,
                  const StreamedSheet *streamed = nullptr);

} // namespace exchange
