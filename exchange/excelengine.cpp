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

#include <cstdio>

using exchange::FileFormat;
using exchange::Workbook;

namespace {

const char kTemplatePath[] = "./template.xls";

enum class Content { Empty, Ole2, Zip, Unknown, Unreadable };

Content sniff(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return Content::Unreadable;
    const QByteArray head = f.read(8);
    if (head.isEmpty())
        return f.size() == 0 ? Content::Empty : Content::Unreadable;
    static const char ole2[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};
    if (head.size() == 8 && memcmp(head.constData(), ole2, 8) == 0)
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

bool ExcelEngine::open(int sheetIndex)
{
    if (m_isOpen)
        close();
    m_error.clear();
    if (m_filePath.isEmpty()) {
        m_error = QStringLiteral("no file name");
        return false;
    }
    const bool existed = QFileInfo::exists(m_filePath);
    if (!ensureFileExists(m_filePath)) {
        m_error = QStringLiteral("cannot create or open %1 for writing").arg(m_filePath);
        return false;
    }
    m_sheetIndex = sheetIndex;
    if (!load(!existed)) {
        m_workbook.reset();
        qDebug() << "ExcelEngine: cannot open" << m_filePath << ":" << m_error;
        return false;
    }
    int fr, fc, lr, lc;
    const exchange::Sheet &sheet = m_workbook->sheets[size_t(sheetIndex - 1)];
    m_rowCount = sheet.usedRange(fr, fc, lr, lc) ? lr - fr + 1 : 0;
    m_dirty = false;
    m_isOpen = true;
    return true;
}

bool ExcelEngine::load(bool createdNow)
{
    auto workbook = std::make_unique<Workbook>();
    FileFormat format = formatByName(m_filePath);
    switch (sniff(m_filePath)) {
    case Content::Empty:
        workbook->sheets.resize(1);
        workbook->sheets[0].name = QStringLiteral("Sheet1");
        break;
    case Content::Ole2:
        if (!exchange::readXlsFile(m_filePath, *workbook, &m_error))
            return false;
        // A workbook just copied from the template takes the format its
        // name asks for; an existing file keeps the format it has.
        if (!createdNow)
            format = FileFormat::Xls;
        break;
    case Content::Zip:
        if (!exchange::readXlsxFile(m_filePath, *workbook, &m_error))
            return false;
        if (!createdNow)
            format = FileFormat::Xlsx;
        break;
    case Content::Unknown:
        m_error = QStringLiteral("not a spreadsheet file");
        return false;
    case Content::Unreadable:
        m_error = QStringLiteral("cannot read the file");
        return false;
    }
    if (m_sheetIndex < 1 || size_t(m_sheetIndex) > workbook->sheets.size()) {
        m_error = QStringLiteral("the workbook has no sheet %1").arg(m_sheetIndex);
        return false;
    }
    m_workbook = std::move(workbook);
    m_saveFormat = int(format);
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
    qDebug() << "ExcelEngine: writing" << QStringLiteral("A1:%1%2").arg(columnLetters(width)).arg(height);
    exchange::Sheet &sheet = m_workbook->sheets[size_t(m_sheetIndex - 1)];
    for (int r = 0; r < height; ++r) {
        const QList<QVariant> &row = rows.at(r);
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
    const QFileInfo target(m_filePath);
    // The new file is made beside the target and renamed over it, so that a
    // failed write never leaves the user's file half written.
    QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.") + target.fileName()
                        + QStringLiteral(".XXXXXX"));
    if (!temp.open()) {
        m_error = QStringLiteral("cannot create a file in %1: %2").arg(target.absolutePath(), temp.errorString());
        return false;
    }
    bool ok = false;
    if (FileFormat(m_saveFormat) == FileFormat::Xls) {
        QByteArray image;
        ok = exchange::buildXlsFile(*m_workbook, image, &m_error);
        if (ok) {
            ok = temp.write(image) == image.size() && temp.flush();
            if (!ok)
                m_error = temp.errorString();
        }
        temp.close();
        ok = ok && temp.error() == QFileDevice::NoError;
    } else {
        temp.close();
        ok = exchange::writeXlsxFile(*m_workbook, temp.fileName(), &m_error);
    }
    if (ok) {
        const QFile::Permissions perms = QFile::permissions(m_filePath);
        if (std::rename(QFile::encodeName(temp.fileName()).constData(),
                        QFile::encodeName(target.absoluteFilePath()).constData()) != 0) {
            m_error = QStringLiteral("cannot replace %1").arg(m_filePath);
            ok = false;
        } else {
            temp.setAutoRemove(false);
            if (perms)
                QFile::setPermissions(m_filePath, perms);
        }
    }
    if (!ok) {
        qDebug() << "ExcelEngine: cannot save" << m_filePath << ":" << m_error;
        return false;
    }
    m_dirty = false;
    return true;
}

void ExcelEngine::close()
{
    m_workbook.reset();
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
    QFile check(path);
    if (!check.open(QIODevice::ReadWrite))
        return false;
    check.close();
    return true;
}

bool ExcelEngine::openNew()
{
    if (m_isOpen)
        close();
    m_error.clear();
    if (m_filePath.isEmpty()) {
        m_error = QStringLiteral("no file name");
        return false;
    }
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
