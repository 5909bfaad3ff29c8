// libFuzzer target: any bytes through the .xlsx reader. Whatever it accepts
// must also be written by the .xlsx writer and read back by the reader.
//
// An input that starts like a zip archive is read as it is. Any other input
// is a list of XML parts separated by NUL bytes (workbook, sheet, shared
// strings, styles, workbook relationships, package relationships, in that
// order; missing ones are taken from a minimal workbook), packed into a
// valid archive first: mutations of a packed archive mostly break its
// checksums, and would never reach the XML readers.
#include "xlsxfilereader.h"
#include "xlsxfilewriter.h"

#include <zip.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

const char *const kNames[] = {"xl/workbook.xml", "xl/worksheets/sheet1.xml", "xl/sharedStrings.xml",
                              "xl/styles.xml", "xl/_rels/workbook.xml.rels", "_rels/.rels"};
const char *const kDefaults[] = {
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
QByteArray pack(const std::vector<QByteArray> &parts)
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QByteArray bytes;
    if (input.startsWith("PK")) {
        bytes = input;
    } else {
        std::vector<QByteArray> parts;
        for (const QByteArray &p : input.split('\0')) {
            if (parts.size() < std::size(kNames))
                parts.push_back(p);
        }
        while (parts.size() < std::size(kNames))
            parts.push_back(QByteArray(kDefaults[parts.size()]));
        bytes = pack(parts);
    }
    exchange::Workbook workbook;
    QString error;
    if (!exchange::readXlsxData(bytes, workbook, -1, &error))
        return 0;
    int fr, fc, lr, lc;
    for (const exchange::Sheet &sheet : workbook.sheets)
        sheet.usedRange(fr, fc, lr, lc);
    QByteArray image;
    if (!exchange::buildXlsxFile(workbook, image, &error))
        return 0; // refused with a reason (too long a text)
    exchange::Workbook again;
    if (!exchange::readXlsxData(image, again, -1, &error) || again.sheets.size() != workbook.sheets.size())
        std::abort();
    return 0;
}
