#include "excelengine.h"

#include "workbook.h"
#include "xlsfilereader.h"
#include "xlsfilewriter.h"
#include "xlsxfilereader.h"
#include "xlsxfilewriter.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using exchange::FileFormat;
using exchange::Limits;
using exchange::Workbook;

namespace {

const char kTemplatePath[] = "./template.xls";
// Larger files are not spreadsheets this program deals with; they are
// refused before being read into memory.
constexpr qint64 kMaxFileSize = 256ll * 1024 * 1024;

enum class Content { Empty, Ole2, Zip, Unknown };

Content sniff(const QByteArray &head)
{
    if (head.isEmpty())
        return Content::Empty;
    static const char ole2[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};
    if (head.size() >= 8 && memcmp(head.constData(), ole2, 8) == 0)
        return Content::Ole2;
    if (head.startsWith("PK\x03\x04"))
        return Content::Zip;
    return Content::Unknown;
}

FileFormat formatByName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("xlsx") || suffix == QLatin1String("xlsm") ? FileFormat::Xlsx
                                                                             : FileFormat::Xls;
}

bool parse(Content kind, const QByteArray &bytes, Workbook &workbook, int onlySheet, QString *error,
           bool dates = true)
{
    if (kind == Content::Ole2)
        return exchange::readXlsData(bytes, workbook, onlySheet, error, dates);
    return exchange::readXlsxData(bytes, workbook, onlySheet, error, dates);
}

// The file a path finally names: symbolic links are followed, so that a
// save replaces the file a link points to and keeps the link.
QString resolveLinks(const QString &path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return current;
        current = info.symLinkTarget();
    }
    return QString();
}

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// Whether the file may be written by this process, asked of the file system
// itself (permissions, read-only mounts); opening for writing without
// truncating changes nothing.
bool canWrite(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

qint64 countCells(const exchange::Sheet &sheet)
{
    qint64 n = 0;
    for (const QList<QVariant> &row : sheet.rows) {
        for (const QVariant &v : row)
            n += v.isValid() ? 1 : 0;
    }
    return n;
}

// The first read of a streamed sheet: where its cells with a value lie, and whether the file
// places every cell after the one before it (row by row, left to right), which is what lets
// the rows be handed out as they are read. Values are not built.
class ScanSink final : public exchange::CellSink
{
public:
    bool wantsValues() const override { return false; }
    bool place(int row, int col, bool present) override
    {
        if (row < m_row || (row == m_row && col <= m_col)) {
            disordered = true;
            return false;
        }
        m_row = row;
        m_col = col;
        if (present) {
            firstRow = std::min(firstRow, row);
            lastRow = row;
            firstCol = std::min(firstCol, col);
            lastCol = std::max(lastCol, col);
            ++cells;
        }
        return true;
    }
    bool value(int row, int col, const QVariant &value) override { return place(row, col, value.isValid()); }

    bool disordered = false;
    int firstRow = INT_MAX, firstCol = INT_MAX, lastRow = -1, lastCol = -1;
    qint64 cells = 0;

private:
    int m_row = -1, m_col = -1;
};

// The second read: the cells of the measured range put into rows as wide as the range, each
// handed out once the file has gone past it. Rows without cells are handed out empty.
class RowAssembler final : public exchange::CellSink
{
public:
    RowAssembler(int firstRow, int firstCol, int lastRow, int lastCol, const ExcelEngine::RowConsumer &consumer)
        : m_firstRow(firstRow), m_firstCol(firstCol), m_lastRow(lastRow), m_lastCol(lastCol),
          m_width(lastCol - firstCol + 1), m_consumer(consumer), m_row(firstRow), m_cells(m_width)
    {
    }
    bool wantsValues() const override { return true; }
    bool place(int, int, bool) override { return true; }
    bool value(int row, int col, const QVariant &value) override
    {
        // The first read found every cell with a value inside the range and the cells in order;
        // anything else means the file read differently this time.
        if (row < m_row)
            return row < m_firstRow && !value.isValid() ? true : mismatch();
        while (m_row < row && m_row <= m_lastRow) {
            if (!handOut())
                return false;
        }
        if (row > m_lastRow || col < m_firstCol || col > m_lastCol)
            return value.isValid() ? mismatch() : true;
        QVariant &slot = m_cells[col - m_firstCol];
        m_seen += (value.isValid() ? 1 : 0) - (slot.isValid() ? 1 : 0);
        slot = value;
        return true;
    }
    // Hands out the rows left; true when the cells were those the first read found.
    bool finish(qint64 expectedCells)
    {
        while (m_row <= m_lastRow) {
            if (!handOut())
                return false;
        }
        return m_seen == expectedCells || mismatch();
    }
    bool stopped() const { return m_stopped; }
    bool mismatched() const { return m_mismatch; }

private:
    bool mismatch()
    {
        m_mismatch = true;
        return false;
    }
    bool handOut()
    {
        if (!m_consumer(m_cells)) {
            m_stopped = true;
            return false;
        }
        if (m_cells.isDetached())
            std::fill(m_cells.begin(), m_cells.end(), QVariant());
        else
            m_cells = QList<QVariant>(m_width); // the consumer kept the row
        ++m_row;
        return true;
    }

    const int m_firstRow, m_firstCol, m_lastRow, m_lastCol, m_width;
    const ExcelEngine::RowConsumer &m_consumer;
    int m_row;
    QList<QVariant> m_cells;
    qint64 m_seen = 0;
    bool m_stopped = false;
    bool m_mismatch = false;
};

} // namespace

// The rows saveRows writes: the source's rows laid over the sheet's own from A1 (the block as
// wide as the first row, cells right of it kept), then the sheet's rows below the block;
// values reduced to the model's kinds and checked against the format as they pass.
class ExcelEngine::SourceRows final : public exchange::SheetRows
{
public:
    SourceRows(const RowSource &source, const exchange::Sheet &below, FileFormat format)
        : m_source(source), m_below(below), m_format(format)
    {
    }

    // Takes the first row, whose width is the block's. False, with failure(), when there is
    // none or it does not fit the format.
    bool start()
    {
        switch (m_source(m_in)) {
        case RowStatus::End:
            return fail(QStringLiteral("no rows to write"));
        case RowStatus::Stop:
            return fail(QStringLiteral("the rows to write were given up"));
        case RowStatus::Row:
            break;
        }
        m_width = int(m_in.size());
        if (m_width < 1 || m_width > Workbook::maxColumns(m_format))
            return fail(QStringLiteral("the block does not fit the sheet"));
        m_pending = true;
        return true;
    }

    bool next(int &row, const QList<QVariant> *&cells) override
    {
        m_taken = true;
        if (!m_failure.isEmpty())
            return false;
        if (!m_sourceDone) {
            if (m_pending) {
                m_pending = false;
            } else {
                m_in.clear();
                const RowStatus status = m_source(m_in);
                if (status == RowStatus::Stop)
                    return fail(QStringLiteral("the rows to write were given up"));
                m_sourceDone = status == RowStatus::End;
            }
            if (!m_sourceDone) {
                if (m_next >= Workbook::maxRows(m_format))
                    return fail(QStringLiteral("the block does not fit the sheet"));
                cells = merged(m_next);
                row = m_next++;
                return check(*cells);
            }
        }
        if (size_t(m_next) >= m_below.rows.size())
            return false;
        cells = &m_below.rows[size_t(m_next)];
        row = m_next++;
        return check(*cells);
    }
    bool rewind() override { return !m_taken; }
    QString failure() const override { return m_failure; }
    // Cells with a value among the rows handed out.
    qint64 cells() const { return m_cells; }

private:
    bool fail(const QString &why)
    {
        m_failure = why;
        return false;
    }
    const QList<QVariant> *merged(int r)
    {
        const QList<QVariant> *own = size_t(r) < m_below.rows.size() ? &m_below.rows[size_t(r)] : nullptr;
        const bool beside = own && own->size() > m_width;
        if (!beside && m_in.size() == m_width && std::all_of(m_in.cbegin(), m_in.cend(), exchange::isModelValue))
            return &m_in;
        m_out.resize(beside ? own->size() : m_width);
        for (qsizetype c = 0; c < m_out.size(); ++c) {
            if (c >= m_width)
                m_out[c] = own->at(c);
            else
                m_out[c] = c < m_in.size() ? exchange::normalizeCellValue(m_in.at(c)) : QVariant();
        }
        return &m_out;
    }
    bool check(const QList<QVariant> &cells)
    {
        for (qsizetype c = 0; c < cells.size(); ++c) {
            const QVariant &v = cells.at(c);
            if (!v.isValid())
                continue;
            ++m_cells;
            if (c >= Workbook::maxColumns(m_format))
                return fail(QStringLiteral("the block does not fit the sheet"));
            if (v.typeId() == QMetaType::QString && v.toString().size() > exchange::kMaxCellText)
                return fail(QStringLiteral("a text of %1 characters is longer than a cell holds (%2)")
                                .arg(v.toString().size()).arg(exchange::kMaxCellText));
        }
        return true;
    }

    const RowSource &m_source;
    const exchange::Sheet &m_below;
    const FileFormat m_format;
    QList<QVariant> m_in, m_out;
    int m_width = 0;
    int m_next = 0;
    bool m_pending = false;
    bool m_sourceDone = false;
    bool m_taken = false;
    qint64 m_cells = 0;
    QString m_failure;
};

ExcelEngine::ExcelEngine(const QString &filePath, QObject *parent)
    : QObject(parent), m_filePath(filePath)
{
}

ExcelEngine::~ExcelEngine()
{
    if (m_isOpen)
        close();
}

bool ExcelEngine::startOpen()
{
    if (m_isOpen)
        close();
    m_stream.reset();
    m_range = Range();
    m_error.clear();
    if (m_filePath.isEmpty()) {
        m_error = QStringLiteral("no file name");
        return false;
    }
    return true;
}

bool ExcelEngine::open(int sheetIndex, OpenMode mode)
{
    if (!startOpen())
        return false;
    const bool existed = QFileInfo::exists(m_filePath);
    if (!ensureFileExists(m_filePath)) {
        m_error = existed ? QStringLiteral("cannot read %1").arg(m_filePath)
                          : QStringLiteral("cannot create %1").arg(m_filePath);
        return false;
    }
    m_sheetIndex = sheetIndex;
    if (!load(!existed, mode)) {
        m_workbook.reset();
        m_stream.reset();
        m_source.clear();
        qDebug() << "ExcelEngine: cannot open" << m_filePath << ":" << m_error;
        return false;
    }
    m_dirty = false;
    m_isOpen = true;
    return true;
}

bool ExcelEngine::load(bool createdNow, OpenMode mode)
{
    // Devices and pipes never end; only regular files are read.
    if (!QFileInfo(m_filePath).isFile()) {
        m_error = QStringLiteral("%1 is not a file").arg(m_filePath);
        return false;
    }
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot read %1: %2").arg(m_filePath, file.errorString());
        return false;
    }
    if (file.size() > kMaxFileSize) {
        m_error = QStringLiteral("the file is larger than %1 MB").arg(kMaxFileSize >> 20);
        return false;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_error = QStringLiteral("cannot read %1: %2").arg(m_filePath, file.errorString());
        return false;
    }
    auto workbook = std::make_unique<Workbook>();
    FileFormat format = formatByName(m_filePath);
    const Content kind = sniff(bytes.left(8));
    switch (kind) {
    case Content::Empty:
        workbook->sheets.resize(1);
        workbook->sheets[0].name = QStringLiteral("Sheet1");
        break;
    case Content::Ole2:
    case Content::Zip:
        if (mode == Streamed) {
            // The names of the sheets only; the sheet asked for is measured, not built.
            if (!parse(kind, bytes, *workbook, INT_MAX, &m_error))
                return false;
            if (m_sheetIndex >= 1 && size_t(m_sheetIndex) <= workbook->sheets.size()
                && !measureStreamed(int(kind), bytes)) {
                if (!m_error.isEmpty())
                    return false;
                // Cells out of order, or markup only the XML reader reads: read whole.
                workbook = std::make_unique<Workbook>();
                if (!parse(kind, bytes, *workbook, m_sheetIndex - 1, &m_error))
                    return false;
            }
        } else if (!parse(kind, bytes, *workbook, m_sheetIndex - 1, &m_error)) {
            return false;
        }
        // A workbook just copied from the template takes the format its
        // name asks for; an existing file keeps the format it has.
        if (!createdNow)
            format = kind == Content::Ole2 ? FileFormat::Xls : FileFormat::Xlsx;
        break;
    case Content::Unknown:
        m_error = QStringLiteral("not a spreadsheet file");
        return false;
    }
    if (m_sheetIndex < 1 || size_t(m_sheetIndex) > workbook->sheets.size()) {
        m_error = QStringLiteral("the workbook has no sheet %1").arg(m_sheetIndex);
        return false;
    }
    // readAll hands out the whole used range as rows of cells; a range that
    // is mostly empty but huge (A1 and XFD1048576) is refused here.
    int fr, fc, lr, lc;
    const exchange::Sheet &sheet = workbook->sheets[size_t(m_sheetIndex - 1)];
    bool used;
    if (m_stream) {
        fr = m_range.firstRow;
        fc = m_range.firstCol;
        lr = m_range.lastRow;
        lc = m_range.lastCol;
        used = lr >= 0;
    } else {
        used = sheet.usedRange(fr, fc, lr, lc);
    }
    const qint64 area = used ? qint64(lr - fr + 1) * qint64(lc - fc + 1) : 0;
    if (area > Limits::kMaxRangeCells) {
        m_error = QStringLiteral("the used range %1%2:%3%4 holds %5 cells, more than %6 can be read")
                      .arg(columnLetters(fc + 1)).arg(fr + 1).arg(columnLetters(lc + 1)).arg(lr + 1)
                      .arg(area).arg(Limits::kMaxRangeCells);
        return false;
    }
    m_rowCount = used ? lr - fr + 1 : 0;
    // Rows of a range that starts in column A are handed out by readAll as they are, shared
    // with the model rather than copied: they are made as wide as the range here.
    if (used && fc == 0 && sheet.loaded) {
        exchange::Sheet &opened = workbook->sheets[size_t(m_sheetIndex - 1)];
        for (int r = fr; r <= lr; ++r) {
            QList<QVariant> &row = opened.rows[size_t(r)];
            if (row.size() != lc + 1)
                row.resize(lc + 1);
        }
    }
    m_workbook = std::move(workbook);
    m_saveFormat = int(format);
    if (m_workbook->allLoaded()) {
        m_source.clear();
    } else {
        m_source = std::move(bytes);
        m_sourceKind = int(kind);
    }
    return true;
}

bool ExcelEngine::measureStreamed(int kind, const QByteArray &bytes)
{
    QString why;
    std::unique_ptr<exchange::SheetStream> stream = Content(kind) == Content::Ole2
        ? exchange::openXlsSheet(bytes, m_sheetIndex - 1, true, &why)
        : exchange::openXlsxSheet(bytes, m_sheetIndex - 1, true, &why);
    if (!stream) {
        m_error = why;
        return false;
    }
    ScanSink scan;
    const exchange::SheetStream::Result result = stream->read(scan, &why);
    if (scan.disordered || result == exchange::SheetStream::Unsupported)
        return false;
    if (result == exchange::SheetStream::Failed) {
        m_error = why;
        return false;
    }
    m_range = Range{scan.firstRow, scan.firstCol, scan.lastRow, scan.lastCol, scan.cells};
    m_stream = std::move(stream);
    return true;
}

bool ExcelEngine::loadWholeWorkbook()
{
    if (m_workbook->allLoaded())
        return true;
    auto whole = std::make_unique<Workbook>();
    QString why;
    if (!parse(Content(m_sourceKind), m_source, *whole, -1, &why) || whole->sheets.size() != m_workbook->sheets.size()) {
        m_error = QStringLiteral("the other sheets of the workbook cannot be carried over (%1); nothing was written")
                      .arg(why.isEmpty() ? QStringLiteral("they changed") : why);
        return false;
    }
    m_workbook = std::move(whole);
    m_stream.reset(); // it reads from m_source
    m_source.clear();
    return true;
}

int ExcelEngine::rowCount() const
{
    return m_rowCount;
}

bool ExcelEngine::readAll(CellRows &out) const
{
    if (!m_isOpen || !m_workbook)
        return false;
    if (m_rowCount > 0)
        out.reserve(out.size() + m_rowCount);
    return readRows([&out](const QList<QVariant> &row) {
        out.append(row); // a row the engine holds is shared, not copied
        return true;
    });
}

bool ExcelEngine::readRows(const RowConsumer &consumer) const
{
    if (!m_isOpen || !m_workbook)
        return false;
    const exchange::Sheet &sheet = m_workbook->sheets[size_t(m_sheetIndex - 1)];
    if (sheet.loaded || !m_stream) {
        int fr, fc, lr, lc;
        if (!sheet.usedRange(fr, fc, lr, lc))
            return true;
        QList<QVariant> built;
        for (int r = fr; r <= lr; ++r) {
            const QList<QVariant> &stored = sheet.rows[size_t(r)];
            if (fc == 0 && stored.size() == lc + 1) {
                if (!consumer(stored))
                    return false;
                continue;
            }
            built.clear();
            built.reserve(lc - fc + 1);
            for (int c = fc; c <= lc; ++c)
                built.append(sheet.cell(r, c));
            if (!consumer(built))
                return false;
        }
        return true;
    }
    if (m_range.lastRow < 0)
        return true;
    RowAssembler rows(m_range.firstRow, m_range.firstCol, m_range.lastRow, m_range.lastCol, consumer);
    QString why;
    const exchange::SheetStream::Result result = m_stream->read(rows, &why);
    if (result == exchange::SheetStream::Done && rows.finish(m_range.cells))
        return true;
    if (rows.stopped())
        return false;
    m_error = rows.mismatched() || result == exchange::SheetStream::Unsupported
        ? QStringLiteral("%1 reads differently now than when it was opened").arg(m_filePath)
        : why;
    qDebug() << "ExcelEngine: cannot read" << m_filePath << ":" << m_error;
    return false;
}

bool ExcelEngine::writeAll(const CellRows &rows)
{
    if (!m_isOpen || !m_workbook || rows.isEmpty())
        return false;
    const int height = int(rows.size());
    const int width = int(rows.first().size());
    const FileFormat format = FileFormat(m_saveFormat);
    if (width < 1 || height > Workbook::maxRows(format) || width > Workbook::maxColumns(format)) {
        m_error = QStringLiteral("the block does not fit the sheet");
        return false;
    }
    // Every sheet goes into the saved file, so all must be in memory first;
    // if they cannot be, nothing is changed.
    if (!loadWholeWorkbook())
        return false;
    qDebug() << "ExcelEngine: writing" << QStringLiteral("A1:%1%2").arg(columnLetters(width)).arg(height);
    exchange::Sheet &sheet = m_workbook->sheets[size_t(m_sheetIndex - 1)];
    for (int r = 0; r < height; ++r) {
        const QList<QVariant> &row = rows.at(r);
        // A row that fills the block's width and holds only values the model keeps as they are
        // is shared with the caller's list, unless the sheet has cells right of the block there.
        const bool nothingBeside = size_t(r) >= sheet.rows.size() || sheet.rows[size_t(r)].size() <= width;
        if (row.size() == width && nothingBeside && std::all_of(row.cbegin(), row.cend(), exchange::isModelValue)) {
            sheet.setRow(r, row);
            continue;
        }
        for (int c = 0; c < width; ++c)
            sheet.setCell(r, c, c < row.size() ? exchange::normalizeCellValue(row.at(c)) : QVariant());
    }
    m_dirty = true;
    return true;
}

bool ExcelEngine::save()
{
    if (!m_isOpen || !m_workbook)
        return false;
    if (!m_dirty)
        return true;
    return writeFile(nullptr);
}

bool ExcelEngine::saveRows(const RowSource &source)
{
    if (!m_isOpen || !m_workbook)
        return false;
    m_error.clear();
    // The other sheets, and the cells around the block, go into the file as they are.
    if (!loadWholeWorkbook())
        return false;
    SourceRows rows(source, m_workbook->sheets[size_t(m_sheetIndex - 1)], FileFormat(m_saveFormat));
    if (!rows.start()) {
        m_error = rows.failure();
        return false;
    }
    if (!writeFile(&rows))
        return false;
    qDebug() << "ExcelEngine: wrote rows from A1," << rows.cells() << "cells in all on the sheet";
    close();
    return true;
}

bool ExcelEngine::writeFile(SourceRows *streamed)
{
    m_error.clear();
    const QString targetPath = resolveLinks(m_filePath);
    if (targetPath.isEmpty()) {
        m_error = QStringLiteral("%1: too many levels of symbolic links").arg(m_filePath);
        return false;
    }
    const QFileInfo target(targetPath);
    if (target.exists() && (!target.isFile() || !canWrite(targetPath))) {
        m_error = QStringLiteral("%1 cannot be written (read-only)").arg(targetPath);
        qDebug() << "ExcelEngine: cannot save" << m_filePath << ":" << m_error;
        return false;
    }

    // The new file is made beside the target and renamed over it, so that a failed write never
    // leaves the user's file half written. It is written as it is made: the sheets' cells go
    // to the disk without the whole file ever being held in memory.
    const FileFormat format = FileFormat(m_saveFormat);
    QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.") + target.fileName()
                        + QStringLiteral(".XXXXXX"));
    auto fail = [&](const QString &why) {
        m_error = why;
        qDebug() << "ExcelEngine: cannot save" << m_filePath << ":" << m_error;
        return false;
    };
    if (!temp.open())
        return fail(QStringLiteral("cannot create a file in %1: %2").arg(target.absolutePath(), temp.errorString()));
    const QString tempPath = temp.fileName();
    // The temporary file is the owner's alone; a new file gets what the user's umask lets any
    // file they make have, as if it had been created directly. The umask is read by setting it
    // and back at once.
    mode_t newMode = 0;
    if (!target.exists()) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        newMode = 0666 & ~mask;
        if (::fchmod(temp.handle(), newMode) != 0)
            qDebug() << "ExcelEngine: cannot set the permissions of" << tempPath << ":" << systemError(errno);
    }
    exchange::StreamedSheet streamedSheet;
    if (streamed) {
        streamedSheet.index = size_t(m_sheetIndex - 1);
        streamedSheet.rows = streamed;
        streamedSheet.spillFolder = target.absolutePath();
    }
    const exchange::StreamedSheet *rows = streamed ? &streamedSheet : nullptr;
    if (format == FileFormat::Xls) {
        const int fd = temp.handle();
        qint64 written = 0;
        QString why;
        const auto sink = [&](const char *data, qint64 size) {
            for (qint64 done = 0; done < size;) {
                const ssize_t n = ::write(fd, data + done, size_t(size - done));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0) {
                    why = QStringLiteral("cannot write %1 (%2 bytes written): %3")
                              .arg(tempPath).arg(written).arg(systemError(n < 0 ? errno : ENOSPC));
                    return false;
                }
                done += n;
                written += n;
            }
            return true;
        };
        if (!exchange::writeXlsFile(*m_workbook, sink, &m_error, rows))
            return fail(why.isEmpty() ? m_error : why);
        if (::fsync(fd) != 0)
            return fail(QStringLiteral("cannot write %1: %2").arg(tempPath, systemError(errno)));
        temp.close();
    } else {
        // libzip writes the archive to a file of its own beside the path and renames it there.
        temp.close();
        if (!exchange::writeXlsxFile(*m_workbook, tempPath, &m_error, rows))
            return fail(m_error);
        if (newMode != 0 && ::chmod(QFile::encodeName(tempPath).constData(), newMode) != 0)
            qDebug() << "ExcelEngine: cannot set the permissions of" << tempPath << ":" << systemError(errno);
        const int fd = ::open(QFile::encodeName(tempPath).constData(), O_RDONLY | O_CLOEXEC);
        const bool synced = fd >= 0 && ::fsync(fd) == 0;
        const int syncError = errno;
        if (fd >= 0)
            ::close(fd);
        if (!synced)
            return fail(QStringLiteral("cannot write %1: %2").arg(tempPath, systemError(syncError)));
    }

    // Read the finished file back from the disk before it replaces anything: every sheet must
    // be there with all its cells. Counting the cell records proves that without building the
    // cells again.
    {
        std::vector<qint64> counts;
        QString why;
        bool readBack = false;
        if (format == FileFormat::Xls) {
            QFile check(tempPath);
            if (check.open(QIODevice::ReadOnly)) {
                const qint64 size = check.size();
                if (uchar *mapped = check.map(0, size)) {
                    readBack = exchange::countXlsCells(
                        QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), qsizetype(size)), counts, &why);
                    check.unmap(mapped);
                } else {
                    why = check.errorString();
                }
            } else {
                why = check.errorString();
            }
        } else {
            readBack = exchange::countXlsxCells(tempPath, counts, &why);
        }
        if (!readBack)
            return fail(QStringLiteral("the written file does not read back: %1").arg(why));
        if (counts.size() != m_workbook->sheets.size())
            return fail(QStringLiteral("the written file does not read back: sheets are missing"));
        for (size_t i = 0; i < counts.size(); ++i) {
            const qint64 expected = rows && rows->index == i ? streamed->cells() : countCells(m_workbook->sheets[i]);
            if (counts[i] != expected)
                return fail(QStringLiteral("the written file does not read back: cells are missing on sheet %1").arg(i + 1));
        }
    }

    const QFile::Permissions perms = target.exists() ? QFile::permissions(targetPath) : QFile::Permissions();
    if (std::rename(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(targetPath).constData()) != 0)
        return fail(QStringLiteral("cannot replace %1: %2").arg(targetPath, systemError(errno)));
    temp.setAutoRemove(false);
    if (perms)
        QFile::setPermissions(targetPath, perms);
    m_dirty = false;
    return true;
}

void ExcelEngine::close()
{
    m_workbook.reset();
    m_stream.reset();
    m_range = Range();
    m_source.clear();
    m_isOpen = false;
    m_dirty = false;
}

QString ExcelEngine::columnLetters(int column)
{
    QString letters;
    for (int n = column; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters;
}

bool ExcelEngine::ensureFileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    if (!QFileInfo::exists(path)) {
        if (QFileInfo::exists(QString::fromLatin1(kTemplatePath))) {
            QFile::copy(QString::fromLatin1(kTemplatePath), path);
        } else {
            QFile create(path);
            if (create.open(QIODevice::WriteOnly))
                create.close();
        }
    }
    // Reading needs read access only: an installed, read-only table must
    // still open. Whether the file can be written is save's question.
    QFile check(path);
    if (!check.open(QIODevice::ReadOnly))
        return false;
    check.close();
    return true;
}

bool ExcelEngine::openNew()
{
    if (!startOpen())
        return false;
    auto workbook = std::make_unique<Workbook>();
    workbook->sheets.resize(1);
    workbook->sheets[0].name = QStringLiteral("Sheet1");
    m_workbook = std::move(workbook);
    m_saveFormat = int(formatByName(m_filePath));
    m_sheetIndex = 1;
    m_rowCount = 0;
    m_dirty = false;
    m_isOpen = true;
    return true;
}
