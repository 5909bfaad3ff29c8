#pragma once

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QVariant>

#include <vector>

// In-memory workbook that every file format loads into and saves from.
// Cells hold QVariant values of a few kinds only: QString (never empty),
// double, bool or QDateTime; an invalid QVariant is an empty cell.
namespace exchange {

enum class FileFormat { Xls, Xlsx };

struct Sheet
{
    QString name;
    // rows[r][c], 0-based; rows and columns may be shorter than the sheet.
    std::vector<QList<QVariant>> rows;
    // Cells held in memory, counted so that a hostile file cannot make a
    // reader allocate without bound.
    qint64 allocatedCells = 0;
    static constexpr qint64 kMaxCells = 8 * 1024 * 1024;

    QVariant cell(int row, int col) const;
    void setCell(int row, int col, const QVariant &value);

    // Bounding box of the non-empty cells; false when the sheet is empty.
    bool usedRange(int &firstRow, int &firstCol, int &lastRow, int &lastCol) const;
};

struct Workbook
{
    std::vector<Sheet> sheets;

    // Highest row and column count the format can hold.
    static int maxRows(FileFormat format);
    static int maxColumns(FileFormat format);
};

// Cell values as callers hand them in, reduced to the kinds the model holds.
QVariant normalizeCellValue(const QVariant &value);

// Spreadsheet serial day numbers (1900 or 1904 date system) and date-times.
double toSerial(const QDateTime &dateTime);
// Returns an invalid QDateTime when the serial is outside 0 to 9999-12-31.
QDateTime fromSerial(double serial, bool date1904);

// A sheet name both formats accept: forbidden characters and edge apostrophes replaced, at most
// 31 characters, never empty, and unique (case-insensitively) among the names in `used`,
// which it joins.
QString uniqueSheetName(const QString &name, int index, QSet<QString> &used);

} // namespace exchange
