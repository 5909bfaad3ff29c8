#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>

namespace exchange {
struct Workbook;
enum class FileFormat;
}

// Rows of cell values: QString text, double number, QDateTime date-time,
// bool, or an invalid QVariant for an empty cell. Row 0 is the sheet's
// first used row.
using CellRows = QList<QList<QVariant>>;

// The one gateway between the application and spreadsheet files (.xls and
// .xlsx, told apart by their content). Used on one thread, one short-lived
// engine per transfer: open sheet 1, then either rowCount + readAll + close,
// or writeAll + save + close.
class ExcelEngine : public QObject
{
    Q_OBJECT
public:
    explicit ExcelEngine(const QString &filePath, QObject *parent = nullptr);
    ~ExcelEngine() override;

    // Loads the workbook and measures the used range of the 1-based sheet.
    // A missing file is first created (from "./template.xls" when present);
    // an existing one needs read access only. Fails, with errorString(), on
    // a file that is damaged or whose used range is too large to hand out.
    bool open(int sheetIndex = 1);
    // Rows of the used range as measured by the last successful open.
    int rowCount() const;
    // Appends the used range's rows, every row as wide as the range;
    // false when no workbook is open.
    bool readAll(CellRows &out) const;
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
    // What every open does first: closes what is open, clears the error, needs a file name.
    bool startOpen();
    bool load(bool createdNow);
    bool loadWholeWorkbook();

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
    QString m_error;
};
