// libFuzzer target: any bytes through the .xls reader. Whatever it accepts must also be written
// by the .xls writer and read back cell for cell.
#include "fuzzsupport.h"
#include "xlsfilereader.h"
#include "xlsfilewriter.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Not copied: a read past the end falls outside libFuzzer's own buffer.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    exchange::Workbook workbook;
    QString error;
    if (!exchange::readXlsData(bytes, workbook, -1, &error))
        return 0;
    int fr, fc, lr, lc;
    for (const exchange::Sheet &sheet : workbook.sheets)
        sheet.usedRange(fr, fc, lr, lc);
    QByteArray image;
    if (!exchange::buildXlsFile(workbook, image, &error))
        return 0; // refused with a reason (too many columns, too long a text)
    exchange::Workbook again;
    if (!exchange::readXlsData(image, again, -1, &error)) {
        std::fprintf(stderr, "the written file does not read back: %s\n", qPrintable(error));
        std::abort();
    }
    fuzzsupport::requireSameWorkbooks(workbook, again, "written and read back");
    return 0;
}
