#pragma once

#include "workbook.h"

#include <QByteArray>

#include <memory>
#include <vector>

namespace exchange {

// Loads an Office Open XML (.xlsx) file image: the names of all worksheets,
// and the cells of worksheet `onlySheet` (0-based) or, when it is negative,
// of every worksheet; sheets whose cells were not read are marked not
// loaded. Shared and inline strings, numbers, booleans, dates (serials
// under a date format), ISO dates and the cached values of formulas are
// read. Parts are inflated as they are parsed, and what is inflated and
// built is bounded (Limits). False, with a reason in *error, when the file
// cannot be read as a whole. With `dates` false, date serials stay numbers.
//
// The cells of a sheet are read by a quick reader of the plain markup spreadsheet writers
// produce, which hands the part to an XML reader wherever it is not sure; `sheetReader` can
// make the XML reader read every sheet. Both give the same answer for the same part, which is
// what tests and the fuzz target check.
enum class XlsxSheetReader { Quick, XmlOnly };
bool readXlsxData(const QByteArray &file, Workbook &workbook, int onlySheet, QString *error, bool dates = true,
                  XlsxSheetReader sheetReader = XlsxSheetReader::Quick);

// Worksheet `sheet` (0-based) of an .xlsx file image as a stream of its cells, read by the
// quick reader; its read() says Unsupported where only the XML reader can read the sheet (then
// readXlsxData reads it whole). Null, with a reason, when the workbook or the sheet's shared
// strings cannot be read. The file image must outlive the stream.
std::unique_ptr<SheetStream> openXlsxSheet(const QByteArray &file, int sheet, bool dates, QString *error);

// Counts the cells with a value on every worksheet of the .xlsx file at path, reading it from
// the disk and checking every part's checksum, without building the cells: the proof that a
// file just written holds its sheets and cells, at less cost than reading it.
bool countXlsxCells(const QString &path, std::vector<qint64> &cells, QString *error);

} // namespace exchange
