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

} // namespace

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
    m_error.clear();
    if (m_filePath.isEmpty()) {
        m_error = QStringLiteral("no file name");
        return false;
    }
    return true;
}

bool ExcelEngine::open(int sheetIndex)
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
    if (!load(!existed)) {
        m_workbook.reset();
        m_source.clear();
        qDebug() << "ExcelEngine: cannot open" << m_filePath << ":" << m_error;
        return false;
    }
    m_dirty = false;
    m_isOpen = true;
    return true;
}

bool ExcelEngine::load(bool createdNow)
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
        if (!parse(kind, bytes, *workbook, m_sheetIndex - 1, &m_error))
            return false;
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
    const bool used = sheet.usedRange(fr, fc, lr, lc);
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
    if (used && fc == 0) {
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
    const exchange::Sheet &sheet = m_workbook->sheets[size_t(m_sheetIndex - 1)];
    int fr, fc, lr, lc;
    if (!sheet.usedRange(fr, fc, lr, lc))
        return true;
    out.reserve(out.size() + (lr - fr + 1));
    for (int r = fr; r <= lr; ++r) {
        const QList<QVariant> &stored = sheet.rows[size_t(r)];
        if (fc == 0 && stored.size() == lc + 1) {
            out.append(stored); // shared, not copied
            continue;
        }
        QList<QVariant> row;
        row.reserve(lc - fc + 1);
        for (int c = fc; c <= lc; ++c)
            row.append(sheet.cell(r, c));
        out.append(std::move(row));
    }
    return true;
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
        if (!exchange::writeXlsFile(*m_workbook, sink, &m_error))
            return fail(why.isEmpty() ? m_error : why);
        if (::fsync(fd) != 0)
            return fail(QStringLiteral("cannot write %1: %2").arg(tempPath, systemError(errno)));
        temp.close();
    } else {
        // libzip writes the archive to a file of its own beside the path and renames it there.
        temp.close();
        if (!exchange::writeXlsxFile(*m_workbook, tempPath, &m_error))
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
            if (counts[i] != countCells(m_workbook->sheets[i]))
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
