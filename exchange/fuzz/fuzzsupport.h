// What the spreadsheet fuzz targets share: turning fuzz input into an .xlsx archive, and the
// cell-by-cell comparison of two workbooks that ends the run on any difference.
#pragma once

#include "workbook.h"

#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace fuzzsupport {

inline const char *const kNames[] = {"xl/workbook.xml", "xl/worksheets/sheet1.xml", "xl/sharedStrings.xml",
                                     "xl/styles.xml", "xl/_rels/workbook.xml.rels", "_rels/.rels"};
inline const char *const kDefaults[] = {
    "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
    "<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>",
    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
    "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" s=\"1\"><v>45000.5</v></c></row></sheetData></worksheet>",
    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><si><t>a</t></si></sst>",
    "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><numFmts>"
    "<numFmt numFmtId=\"164\" formatCode=\"yyyy-mm-dd\"/></numFmts><cellXfs><xf numFmtId=\"0\"/>"
    "<xf numFmtId=\"164\"/></cellXfs></styleSheet>",
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
    "Target=\"sharedStrings.xml\"/><Relationship Id=\"rId3\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" Target=\"styles.xml\"/>"
    "</Relationships>",
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"xl/workbook.xml\"/></Relationships>",
};

// Packs the parts (stored, not deflated) into an archive in memory.
inline QByteArray pack(const std::vector<QByteArray> &parts)
{
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t *memory = zip_source_buffer_create(nullptr, 0, 0, &err);
    zip_error_fini(&err);
    if (!memory)
        std::abort();
    zip_source_keep(memory);
    zip_t *archive = zip_open_from_source(memory, ZIP_TRUNCATE, nullptr);
    if (!archive)
        std::abort();
    for (size_t i = 0; i < parts.size(); ++i) {
        zip_source_t *src = zip_source_buffer(archive, parts[i].constData(), zip_uint64_t(parts[i].size()), 0);
        const zip_int64_t index = zip_file_add(archive, kNames[i], src, 0);
        if (index < 0)
            std::abort();
        zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_STORE, 0);
    }
    if (zip_close(archive) != 0)
        std::abort();
    zip_stat_t st;
    zip_stat_init(&st);
    QByteArray out;
    if (zip_source_stat(memory, &st) == 0 && zip_source_open(memory) == 0) {
        out.resize(qsizetype(st.size));
        if (zip_source_read(memory, out.data(), st.size) != zip_int64_t(st.size))
            std::abort();
        zip_source_close(memory);
    }
    zip_source_free(memory);
    return out;
}

// An input that starts like a zip archive or a compound file is taken as it is. Any other input
// is a list of XML parts separated by NUL bytes (workbook, sheet, shared strings, styles,
// workbook relationships, package relationships, in that order; missing ones are taken from a
// minimal workbook), packed into a valid archive first: mutations of a packed archive mostly
// break its checksums, and would never reach the XML readers.
inline QByteArray fileFromInput(const QByteArray &input)
{
    if (input.startsWith("PK") || input.startsWith("\xD0\xCF\x11\xE0"))
        return input;
    std::vector<QByteArray> parts;
    for (const QByteArray &p : input.split('\0')) {
        if (parts.size() < std::size(kNames))
            parts.push_back(p);
    }
    while (parts.size() < std::size(kNames))
        parts.push_back(QByteArray(kDefaults[parts.size()]));
    return pack(parts);
}

inline QString describe(const QVariant &v)
{
    return v.isValid() ? QStringLiteral("%1(%2)").arg(QString::fromLatin1(v.typeName()), v.toString())
                       : QStringLiteral("empty");
}

// Every kind comes back as it went in: numbers to the bit, date-times to the millisecond.
inline bool sameCell(const QVariant &a, const QVariant &b)
{
    if (a.isValid() != b.isValid())
        return false;
    if (!a.isValid())
        return true;
    if (a.typeId() != b.typeId())
        return false;
    switch (a.typeId()) {
    case QMetaType::Double: {
        const double x = a.toDouble(), y = b.toDouble();
        return std::memcmp(&x, &y, sizeof x) == 0;
    }
    case QMetaType::QDateTime:
        return a.toDateTime().date() == b.toDateTime().date() && a.toDateTime().time() == b.toDateTime().time();
    default:
        return a == b;
    }
}

// Ends the run when the two sheets differ in any cell.
inline void requireSameCells(const exchange::Sheet &expected, const exchange::Sheet &actual, const char *what)
{
    const size_t rows = std::max(expected.rows.size(), actual.rows.size());
    for (size_t r = 0; r < rows; ++r) {
        const int cols = int(std::max(r < expected.rows.size() ? expected.rows[r].size() : 0,
                                      r < actual.rows.size() ? actual.rows[r].size() : 0));
        for (int c = 0; c < cols; ++c) {
            const QVariant e = expected.cell(int(r), c), a = actual.cell(int(r), c);
            if (!sameCell(e, a)) {
                std::fprintf(stderr, "%s: row %zu column %d is %s, expected %s\n", what, r + 1, c + 1,
                             qPrintable(describe(a)), qPrintable(describe(e)));
                std::abort();
            }
        }
    }
}

inline void requireSameWorkbooks(const exchange::Workbook &expected, const exchange::Workbook &actual, const char *what)
{
    if (expected.sheets.size() != actual.sheets.size()) {
        std::fprintf(stderr, "%s: %zu sheets, expected %zu\n", what, actual.sheets.size(), expected.sheets.size());
        std::abort();
    }
    for (size_t i = 0; i < expected.sheets.size(); ++i)
        requireSameCells(expected.sheets[i], actual.sheets[i], what);
}

} // namespace fuzzsupport
