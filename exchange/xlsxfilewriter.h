#pragma once

#include "workbook.h"

#include <QByteArray>

namespace exchange {

// Serialises the workbook as an Office Open XML (.xlsx) file image, built
// in memory. Numbers are written as the shortest text that reads back to
// the same double. False, with a reason in *error, when a cell does not fit
// the format (a text over 32,767 characters) or the archive cannot be made.
bool buildXlsxFile(const Workbook &workbook, QByteArray &out, QString *error);
// The same archive written to a new file at path (replaced if it exists), each sheet's text
// made as it is compressed, so that neither a sheet's text nor the archive is held in memory.
// With `streamed`, that sheet's cells are taken from its rows as the archive is written.
bool writeXlsxFile(const Workbook &workbook, const QString &path, QString *error,
                   const StreamedSheet *streamed = nullptr);

} // namespace exchange
