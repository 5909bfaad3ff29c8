#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

namespace exchange {
struct Workbook;
class SheetStream;
enum class FileFormat;
}

// Rows of cell values: QString text, double number, QDateTime date-time,
// bool, or an invalid QVariant for an empty cell. Row 0 is the sheet's
// first used row.
using CellRows = QList<QList<QVariant>>;

// The one gateway between the application and spreadsheet files (.xls and
// .xlsx, told apart by their content). Used on one thread, one short-lived
// engine per transfer: open sheet 1, then either rowCount + readAll + close,
// or writeAll + save + close. Tables too large to hold twice go through rows:
// open(sheet, Streamed) + readRows, or saveRows.
class ExcelEngine : public QObject
{
    Q_OBJECT
public:
    // How open reads the sheet: Whole builds it in memory; Streamed only measures it, and
    // readRows then reads its rows from the file as it hands them out, so that the sheet is
    // never held. Streamed refuses what Whole refuses, except a sheet too large to hold,
    // which it reads.
    enum OpenMode { Whole, Streamed };
    // Takes one row of the used range (valid during the call only); false stops the reading.
    using RowConsumer = std::function<bool(const QList<QVariant> &row)>;
    // What a row source says: it filled the row it was handed (empty), it has no more rows, or
    // it gives the write up.
    enum class RowStatus { Row, End, Stop };
    using RowSource = std::function<RowStatus(QList<QVariant> &row)>;

    explicit ExcelEngine(const QString &filePath, QObject *parent = nullptr);
    ~ExcelEngine() override;

    // Loads the workbook and measures the used range of the 1-based sheet.
    // A missing file is first created (from "./template.xls" when present);
    // an existing one needs read access only. Fails, with errorString(), on
    // a file that is damaged or whose used range is too large to hand out.
    bool open(int sheetIndex = 1, OpenMode mode = Whole);
    // Rows of the used range as measured by the last successful open.
    int rowCount() const;
    // Appends the used range's rows, every row as wide as the range;
    // false when no workbook is open, or (opened Streamed) when the file
    // turns out damaged part of the way.
    bool readAll(CellRows &out) const;
    // Hands the rows readAll would append to consumer, one at a time and in
    // order. False when no workbook is open, when the consumer stopped, or,
    // with errorString(), when the file turns out damaged part of the way
    // (opened Streamed, where rows are read as they are handed out): rows
    // handed out before then are not to be used.
    bool readRows(const RowConsumer &consumer) const;
    // Overwrites the block from A1 that is as wide as the first row and as
    // tall as the list; cells outside it, on every sheet, keep their values
    // and kinds (formulas as their cached results). Shorter rows leave the
    // rest of their block row empty. Nothing reaches the file until save.
    // False, with errorString(), when the workbook cannot be carried over
    // whole; then nothing is changed.
    bool writeAll(const CellRows &rows);
    // Writes the workbook to a temporary file beside the target (the
    // target of a symbolic link, not the link), reads it back, and only then
    // renames it over the target. True when the file holds the written data
    // (or nothing was written); false, with errorString(), on any failure,
    // with the old file untouched.
    [[nodiscard]] bool save();
    // writeAll of the rows source gives and save, in one go: the rows are
    // pulled while the file is written and never held together. The block is
    // as wide as the first row; cells outside it keep their values, as with
    // writeAll. False, with errorString(), when the source has no rows or
    // stops, a row does not fit the format, or the save fails: the file is
    // then untouched. The engine is closed afterwards on success (what it
    // holds no longer matches the file) and stays as it was on failure.
    [[nodiscard]] bool saveRows(const RowSource &source);
    // Releases the workbook without writing anything.
    void close();
    // Starts a new workbook of one empty sheet instead of the file's contents, without reading
    // or touching the file: save then replaces whatever is there as a whole, in the format the
    // file name's extension asks for (.xlsx/.xlsm, otherwise .xls).
    bool openNew();

    bool isOpen() const { return m_isOpen; }
    QString errorString() const { return m_error; }

    // Spreadsheet column letters of a 1-based column number ("A", "Z",
    // "AA"); empty for numbers below 1.
    static QString columnLetters(int column);
    // Makes sure a file exists at path: copies "./template.xls" or creates
    // an empty file, then checks that it can be opened for reading (writing
    // is checked by save, so that read-only files can still be read).
    static bool ensureFileExists(const QString &path);

private:
    class SourceRows;
    // Where the used range of a streamed sheet lies, as open measured it.
    struct Range
    {
        int firstRow = 0, firstCol = 0, lastRow = -1, lastCol = -1;
        qint64 cells = 0;
    };

    // What every open does first: closes what is open, clears the error, needs a file name.
    bool startOpen();
    bool load(bool createdNow, OpenMode mode);
    // Measures the sheet for readRows without building it; false when it must be read whole.
    bool measureStreamed(int kind, const QByteArray &bytes);
    bool loadWholeWorkbook();
    // Writes the workbook, with the rows of `streamed` in place of its sheet when given, to a
    // temporary file, checks it and renames it over the target.
    bool writeFile(SourceRows *streamed);

    QString m_filePath;
    int m_sheetIndex = 0;
    int m_rowCount = 0;
    bool m_isOpen = false;
    bool m_dirty = false;
    int m_saveFormat = 0; // exchange::FileFormat
    std::unique_ptr<exchange::Workbook> m_workbook;
    // The file as read at open, kept until the other sheets are needed.
    QByteArray m_source;
    int m_sourceKind = 0;
    // The sheet opened Streamed: read from m_source by readRows.
    std::unique_ptr<exchange::SheetStream> m_stream;
    Range m_range;
    mutable QString m_error;
};
