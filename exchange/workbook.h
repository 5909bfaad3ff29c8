#pragma once

#include <QDateTime>
#include <QHash>
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

// What a workbook in memory may cost, counted by the readers as they build
// it, so that a small hostile file cannot make them allocate without bound.
// The figures are estimates of the heap the model takes (cell slots, row
// index entries, string texts); together with the range readAll fills they
// keep any workbook under about 256 MB.
struct Limits
{
    static constexpr qint64 kMaxModelBytes = 64ll * 1024 * 1024;
    // Cells of the rectangle ExcelEngine::readAll hands out.
    static constexpr qint64 kMaxRangeCells = 2ll * 1024 * 1024;
    static constexpr qint64 kCellBytes = qint64(sizeof(QVariant));
    static constexpr qint64 kRowBytes = qint64(sizeof(QList<QVariant>));
    // A shared string's entry in its table.
    static constexpr qint64 kStringSlotBytes = qint64(sizeof(QString));
    // A text's cost: its characters plus the heap block's header and slack.
    static qint64 textBytes(qsizetype length) { return 64 + 2 * qint64(length); }
};

struct Sheet
{
    QString name;
    // rows[r][c], 0-based; rows and columns may be shorter than the sheet.
    std::vector<QList<QVariant>> rows;
    // Estimated heap bytes of rows (slots, row entries and own texts).
    qint64 allocatedBytes = 0;
    // False when only the name was read: the cells were not asked for, and
    // a workbook with such a sheet must not be written.
    bool loaded = true;

    QVariant cell(int row, int col) const;
    // Rows are grown to the width of the row above at once, not one cell at a time: a table's
    // rows are allocated once each.
    void setCell(int row, int col, const QVariant &value);
    // Makes row `row` the given cells, shared with the caller's list rather than copied. The
    // cells must be of the kinds the model holds (isModelValue).
    void setRow(int row, const QList<QVariant> &cells);

    // Bounding box of the non-empty cells; false when the sheet is empty.
    bool usedRange(int &firstRow, int &firstCol, int &lastRow, int &lastCol) const;
};

struct Workbook
{
    std::vector<Sheet> sheets;

    // Estimated heap bytes of all sheets' cells.
    qint64 allocatedBytes() const;
    bool allLoaded() const;

    // Highest row and column count the format can hold.
    static int maxRows(FileFormat format);
    static int maxColumns(FileFormat format);
};

// The cells of one sheet handed over by a reader one by one, in the order the file holds
// them, instead of being built into a Sheet.
class CellSink
{
public:
    virtual ~CellSink() = default;
    // Whether value() is to get the cells' values; otherwise place() only says whether each
    // cell has one, which spares the reader building them.
    virtual bool wantsValues() const = 0;
    // A cell the file places at 0-based row and column, with or without a value. False stops
    // the reader.
    virtual bool place(int row, int col, bool present) = 0;
    // A cell with its value as the model holds it (normalizeCellValue; invalid when the cell
    // has none, which empties a cell placed there before). False stops the reader.
    virtual bool value(int row, int col, const QVariant &value) = 0;
};

// One worksheet of a file image, read into a CellSink as often as asked. What its cells refer
// to (shared strings, number formats) is read once, when it is made; the file image must
// outlive it.
class SheetStream
{
public:
    enum Result {
        Done,
        Failed,     // the sheet is damaged, or the sink stopped
        Unsupported // the sheet can only be read whole; the sink may have had some cells
    };
    virtual ~SheetStream() = default;
    virtual Result read(CellSink &sink, QString *error) = 0;
};

// The rows of one sheet as a writer takes them, in increasing order.
class SheetRows
{
public:
    virtual ~SheetRows() = default;
    // The next row that may hold cells: its 0-based index and its cells from column A
    // (invalid where empty, values of the kinds the model holds), valid until the next call.
    // False at the end, or when the rows cannot be had: failure() then says why.
    virtual bool next(int &row, const QList<QVariant> *&cells) = 0;
    // Starts again from the first row; false when the rows can be taken only once.
    virtual bool rewind() = 0;
    virtual QString failure() const { return {}; }
};

// A sheet's own rows.
class ModelRows final : public SheetRows
{
public:
    explicit ModelRows(const Sheet &sheet) : m_sheet(sheet) {}
    bool next(int &row, const QList<QVariant> *&cells) override
    {
        if (m_next >= m_sheet.rows.size())
            return false;
        row = int(m_next);
        cells = &m_sheet.rows[m_next++];
        return true;
    }
    bool rewind() override
    {
        m_next = 0;
        return true;
    }

private:
    const Sheet &m_sheet;
    size_t m_next = 0;
};

// A sheet a writer takes from `rows` instead of from the workbook, which keeps only its name.
struct StreamedSheet
{
    size_t index = 0;
    SheetRows *rows = nullptr;
    // Where an .xls writer may keep the sheet's records until the file is put together.
    QString spillFolder;
};

// Cell values as callers hand them in, reduced to the kinds the model holds.
// Lone UTF-16 surrogates in texts become U+FFFD: no file format can hold them.
QVariant normalizeCellValue(const QVariant &value);
// Whether a value is already what normalizeCellValue would make of it.
bool isModelValue(const QVariant &value);

// Longest text one cell of either format holds, in UTF-16 units.
constexpr int kMaxCellText = 32767;

// Spreadsheet serial day numbers (1900 or 1904 date system) and date-times.
double toSerial(const QDateTime &dateTime);
// Returns an invalid QDateTime when the serial is outside 0 to 9999-12-31.
// The result is the date-time xlrd gives for the serial, to the millisecond;
// a serial below 1 in the 1900 system is a time of day on 1899-12-30.
QDateTime fromSerial(double serial, bool date1904);

// Gives the sheets of one workbook names both formats accept: forbidden characters and edge
// apostrophes replaced, at most 31 characters, never empty, and unique among each other
// (case-insensitively). A name already given gets the first free suffix "(2)", "(3)", ...;
// the suffixes tried for one stem are remembered, so that a workbook whose many sheets share
// a name costs work in proportion to its sheets, not to their square.
class SheetNames
{
public:
    // The name of sheet `index` (0-based), which was called `name`.
    QString take(const QString &name, int index);
    // Candidate names looked up so far (a measure of the work done).
    qint64 tries() const { return m_tries; }

private:
    QSet<QString> m_used;        // names given, lower case
    QHash<QString, int> m_next;  // lower-case stem -> the first suffix number not yet tried
    qint64 m_tries = 0;
};

} // namespace exchange
