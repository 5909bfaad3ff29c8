// libFuzzer target: any bytes through the .xls reader. Whatever it accepts
// must also be written by the .xls writer and read back by the reader.
#include "xlsfilereader.h"
#include "xlsfilewriter.h"

#include <cstdint>
#include <cstdlib>

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
    if (!exchange::readXlsData(image, again, -1, &error) || again.sheets.size() != workbook.sheets.size())
        std::abort();
    return 0;
}
