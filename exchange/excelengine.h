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
    // A missing file is first created (from "./template.xls" when present).
    bool open(int sheetIndex = 1);
    // Rows of the used range as measured by the last successful open.
    int rowCount() const;
    // Appends the used range's rows, every row as wide as the range;
    // false when no workbook is open.
    bool readAll(CellRows &out) const;
    // Overwrites the block from A1 that is as wide as the first row and as
    // tall as the list; cells outside it keep their values. Shorter rows
    // leave the rest of their block row empty. Nothing reaches the file
    // until save.
    bool writeAll(const CellRows &rows);
    // Writes the workbook through a temporary file renamed over the target.
    // True when the file holds the written data (or nothing was written).
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
    // an empty file, then checks that it can be opened for writing.
    static bool ensureFileExists(const QString &path);

private:
    bool load(bool createdNow);

    QString m_filePath;
    int m_sheetIndex = 0;
    int m_rowCount = 0;
    bool m_isOpen = false;
    bool m_dirty = false;
    int m_saveFormat = 0; // exchange::FileFormat
    std::unique_ptr<exchange::Workbook> m_workbook;
    QString m_error;
};
