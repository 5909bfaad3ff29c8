// libFuzzer target: any bytes as a spreadsheet file through ExcelEngine, the way the transfers
// use it: open sheet 1, readAll, writeAll of what was read, save, and open again. What was
// read must come back where writeAll put it (the block from A1), and every other cell of every
// sheet as it was. The streamed ways must agree: a streamed open and readRows give the rows
// readAll gave, and saveRows of them writes what writeAll and save wrote. Inputs become files
// as fuzzsupport.h says.
#include "excelengine.h"
#include "fuzzsupport.h"
#include "xlsfilereader.h"
#include "xlsxfilereader.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>

#include <cstdint>
#include <cstdlib>

namespace {

// A folder of this run's own, removed when the run ends.
struct WorkFolder
{
    WorkFolder()
    {
        QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/fuzz_engine.XXXXXX";
        if (!mkdtemp(pattern.data()))
            std::abort();
        path = QString::fromLocal8Bit(pattern);
    }
    ~WorkFolder() { QDir(path).removeRecursively(); }
    QString path;
};

QString workFolder()
{
    static const WorkFolder folder;
    return folder.path;
}

bool readWhole(const QByteArray &bytes, exchange::Workbook &workbook)
{
    QString error;
    if (bytes.startsWith("\xD0\xCF\x11\xE0"))
        return exchange::readXlsData(bytes, workbook, -1, &error);
    return exchange::readXlsxData(bytes, workbook, -1, &error);
}

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "%s\n", what);
        std::abort();
    }
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size(),
            "cannot write the input file");
}

// A sheet too large to hold may be read streamed where a whole open refuses it; what a whole
// open reads, a streamed one reads the same.
void requireSameStreamedRows(const QString &path, const CellRows &rows, int rowCount)
{
    ExcelEngine streamed(path);
    require(streamed.open(1, ExcelEngine::Streamed), "a streamed open refused what a whole open read");
    require(streamed.rowCount() == rowCount, "the streamed rowCount differs");
    qsizetype r = 0;
    const bool read = streamed.readRows([&](const QList<QVariant> &row) {
        require(r < rows.size() && row.size() == rows[r].size(), "readRows gave another shape than readAll");
        for (qsizetype c = 0; c < row.size(); ++c)
            require(fuzzsupport::sameCell(row[c], rows[r][c]), "readRows gave another cell than readAll");
        ++r;
        return true;
    });
    require(read && r == rows.size(), "readRows did not read what readAll read");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The engine says why it refuses a file on the debug output; refusals are expected here.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray bytes = fuzzsupport::fileFromInput(input);
    const bool xls = bytes.startsWith("\xD0\xCF\x11\xE0");
    const QString path = workFolder() + (xls ? QStringLiteral("/in.xls") : QStringLiteral("/in.xlsx"));
    writeFile(path, bytes);

    ExcelEngine engine(path);
    if (!engine.open(1))
        return 0;
    CellRows rows;
    require(engine.readAll(rows), "readAll failed on an open engine");
    require(rows.size() == engine.rowCount(), "readAll and rowCount disagree");
    for (const QList<QVariant> &row : rows)
        require(row.size() == rows.first().size(), "readAll gave rows of different widths");
    requireSameStreamedRows(path, rows, engine.rowCount());

    exchange::Workbook expected;
    const bool whole = readWhole(bytes, expected);
    const bool written = engine.writeAll(rows);
    if (rows.isEmpty() || !whole) {
        require(!written, "writeAll took a block it cannot carry over");
        return 0;
    }
    require(written, "writeAll refused the block just read");
    // What the rewritten sheet must hold: the block from A1, the rest as it was.
    exchange::Sheet &first = expected.sheets[0];
    const int width = int(rows.first().size());
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < width; ++c)
            first.setCell(r, c, exchange::normalizeCellValue(rows[r][c]));
    }
    if (!engine.save())
        return 0; // refused with a reason (a text too long for a cell, ...)
    engine.close();

    QFile file(path);
    require(file.open(QIODevice::ReadOnly), "the saved file cannot be read");
    exchange::Workbook saved;
    require(readWhole(file.readAll(), saved), "the saved file does not read back");
    fuzzsupport::requireSameWorkbooks(expected, saved, "saved through the engine");

    // The same rows through saveRows, over the input again.
    const QString streamedPath = workFolder() + (xls ? QStringLiteral("/rows.xls") : QStringLiteral("/rows.xlsx"));
    writeFile(streamedPath, bytes);
    {
        ExcelEngine rowsEngine(streamedPath);
        require(rowsEngine.open(1), "the input does not open a second time");
        qsizetype next = 0;
        const bool savedRows = rowsEngine.saveRows([&](QList<QVariant> &row) {
            if (next == rows.size())
                return ExcelEngine::RowStatus::End;
            row = rows[next++];
            return ExcelEngine::RowStatus::Row;
        });
        require(savedRows, "saveRows refused what writeAll and save wrote");
        QFile streamedFile(streamedPath);
        require(streamedFile.open(QIODevice::ReadOnly), "the file saveRows wrote cannot be read");
        exchange::Workbook streamed;
        require(readWhole(streamedFile.readAll(), streamed), "the file saveRows wrote does not read back");
        fuzzsupport::requireSameWorkbooks(saved, streamed, "saveRows against writeAll and save");
    }

    ExcelEngine again(path);
    require(again.open(1), "the saved file does not open");
    CellRows back;
    require(again.readAll(back), "readAll failed on the saved file");
    int fr, fc, lr, lc;
    require(first.usedRange(fr, fc, lr, lc) == !back.isEmpty(), "the saved sheet's used range differs");
    for (int r = 0; r < back.size(); ++r) {
        for (int c = 0; c < back[r].size(); ++c)
            require(fuzzsupport::sameCell(back[r][c], first.cell(fr + r, fc + c)), "readAll of the saved file differs");
    }
    return 0;
}
