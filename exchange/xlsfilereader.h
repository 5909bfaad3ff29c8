#pragma once

#include "workbook.h"

#include <QByteArray>

#include <memory>
#include <vector>

namespace exchange {

// Loads a BIFF8 (.xls) file image: the names of all worksheets, and the
// cells of worksheet `onlySheet` (0-based) or, when it is negative, of every
// worksheet; sheets whose cells were not read are marked not loaded.
// Numbers, texts (shared and inline), booleans, errors (as their texts,
// "#DIV/0!"), formulas (as their cached results) and dates (numbers under a
// date format, in the workbook's 1900 or 1904 date system) are read. What
// the workbook takes in memory is bounded by Limits. False, with a reason in
// *error, when the file cannot be read as a whole. With `dates` false,
// dates stay serial numbers (enough to check a file's cells, and cheaper).
bool readXlsData(const QByteArray &file, Workbook &workbook, int onlySheet, QString *error, bool dates = true);

// Worksheet `sheet` (0-based) of a .xls file image as a stream of its cells. Null, with a
// reason, when the workbook globals cannot be read or there is no such sheet. The file image
// must outlive the stream.
std::unique_ptr<SheetStream> openXlsSheet(const QByteArray &file, int sheet, bool dates, QString *error);

// Counts the cell records of every worksheet, walking the records without building cells or
// texts: the proof that a file just written holds its sheets and cells, at less cost than
// reading it. Cell records of a shared string outside the table are refused.
bool countXlsCells(const QByteArray &file, std::vector<qint64> &cells, QString *error);

} // namespace exchange
