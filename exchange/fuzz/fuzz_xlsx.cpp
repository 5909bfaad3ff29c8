// libFuzzer target: any bytes through the .xlsx reader (see fuzzsupport.h for how inputs become
// archives). The quick sheet reader and the XML reader must give the same answer; whatever is
// read must be written by the .xlsx writer and read back cell for cell.
#include "fuzzsupport.h"
#include "xlsxfilereader.h"
#include "xlsxfilewriter.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray bytes = fuzzsupport::fileFromInput(input);
    exchange::Workbook workbook, xmlOnly;
    QString error, xmlError;
    const bool read = exchange::readXlsxData(bytes, workbook, -1, &error);
    const bool readByXml = exchange::readXlsxData(bytes, xmlOnly, -1, &xmlError, true, exchange::XlsxSheetReader::XmlOnly);
    if (read != readByXml) {
        std::fprintf(stderr, "quick reader %s (%s), XML reader %s (%s)\n", read ? "read" : "refused",
                     qPrintable(error), readByXml ? "read" : "refused", qPrintable(xmlError));
        std::abort();
    }
    if (!read)
        return 0;
    fuzzsupport::requireSameWorkbooks(xmlOnly, workbook, "quick reader against XML reader");
    int fr, fc, lr, lc;
    for (const exchange::Sheet &sheet : workbook.sheets)
        sheet.usedRange(fr, fc, lr, lc);
    QByteArray image;
    if (!exchange::buildXlsxFile(workbook, image, &error))
        return 0; // refused with a reason (too long a text)
    exchange::Workbook again;
    if (!exchange::readXlsxData(image, again, -1, &error)) {
        std::fprintf(stderr, "the written file does not read back: %s\n", qPrintable(error));
        std::abort();
    }
    fuzzsupport::requireSameWorkbooks(workbook, again, "written and read back");
    return 0;
}
