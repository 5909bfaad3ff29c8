#pragma once

#include "workbook.h"

#include <QByteArray>

namespace exchange {

// Serialises the workbook as an Office Open XML (.xlsx) file image, built
// in memory. Numbers are written as the shortest text that reads back to
// the same double. False, with a reason in *error, when a cell does not fit
// the format (a text over 32,767 characters) or the archive cannot be made.
bool buildXlsxFile(const Workbook &workbook, QByteArray &out, QString *error);

} // namespace exchange
