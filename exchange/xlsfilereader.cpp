#include "xlsfilereader.h"

#include <QFile>

#include <cstring>

#include <freexl.h>

namespace exchange {

namespace {

struct FreeXlHandle
{
    const void *handle = nullptr;
    ~FreeXlHandle()
    {
        if (handle)
            freexl_close(handle);
    }
};

// Digits at text[pos, pos + count), or -1; the reader's date texts have a
// fixed layout ("YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS", "HH:MM:SS").
int digits(const char *text, size_t length, size_t pos, size_t count)
{
    if (pos + count > length)
        return -1;
    int value = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

QVariant dateValue(const char *text, int type)
{
    const size_t n = strlen(text);
    QDate date(1899, 12, 30); // a time of day sits on the serial day zero
    QTime time(0, 0);
    size_t timePos = 0;
    if (type != FREEXL_CELL_TIME) {
        date = QDate(digits(text, n, 0, 4), digits(text, n, 5, 2), digits(text, n, 8, 2));
        timePos = 11;
    }
    if (type != FREEXL_CELL_DATE)
        time = QTime(digits(text, n, timePos, 2), digits(text, n, timePos + 3, 2), digits(text, n, timePos + 6, 2));
    if (!date.isValid() || !time.isValid())
        return QString::fromUtf8(text);
    return QDateTime(date, time);
}

} // namespace

bool readXlsFile(const QString &path, Workbook &workbook, QString *error)
{
    FreeXlHandle xl;
    const QByteArray nativePath = QFile::encodeName(path);
    int rc = freexl_open(nativePath.constData(), &xl.handle);
    if (rc != FREEXL_OK) {
        if (error)
            *error = QStringLiteral("not a readable .xls workbook (code %1)").arg(rc);
        return false;
    }
    unsigned int sheetCount = 0;
    if (freexl_get_info(xl.handle, FREEXL_BIFF_SHEET_COUNT, &sheetCount) != FREEXL_OK) {
        if (error)
            *error = QStringLiteral("cannot count the worksheets");
        return false;
    }
    Workbook result;
    for (unsigned int i = 0; i < sheetCount && i < 65535; ++i) {
        Sheet sheet;
        const char *name = nullptr;
        if (freexl_get_worksheet_name(xl.handle, static_cast<unsigned short>(i), &name) == FREEXL_OK && name)
            sheet.name = QString::fromUtf8(name);
        if (sheet.name.isEmpty())
            sheet.name = QStringLiteral("Sheet%1").arg(i + 1);
        unsigned int rows = 0;
        unsigned short cols = 0;
        if (freexl_select_active_worksheet(xl.handle, static_cast<unsigned short>(i)) != FREEXL_OK
            || freexl_worksheet_dimensions(xl.handle, &rows, &cols) != FREEXL_OK) {
            if (error)
                *error = QStringLiteral("cannot select worksheet %1").arg(i + 1);
            return false;
        }
        rows = std::min<unsigned int>(rows, unsigned(Workbook::maxRows(FileFormat::Xls)));
        cols = std::min<unsigned short>(cols, static_cast<unsigned short>(Workbook::maxColumns(FileFormat::Xls)));
        for (unsigned int r = 0; r < rows; ++r) {
            for (unsigned short c = 0; c < cols; ++c) {
                FreeXL_CellValue value;
                if (freexl_get_cell_value(xl.handle, r, c, &value) != FREEXL_OK)
                    continue;
                QVariant v;
                switch (value.type) {
                case FREEXL_CELL_INT:
                    v = double(value.value.int_value);
                    break;
                case FREEXL_CELL_DOUBLE:
                    v = value.value.double_value;
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                    if (value.value.text_value)
                        v = QString::fromUtf8(value.value.text_value);
                    break;
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME:
                    if (value.value.text_value)
                        v = dateValue(value.value.text_value, value.type);
                    break;
                default:
                    break;
                }
                sheet.setCell(int(r), int(c), normalizeCellValue(v));
            }
            if (sheet.allocatedCells > Sheet::kMaxCells) {
                if (error)
                    *error = QStringLiteral("worksheet %1 is too large").arg(i + 1);
                return false;
            }
        }
        result.sheets.push_back(std::move(sheet));
    }
    if (result.sheets.empty()) {
        if (error)
            *error = QStringLiteral("the workbook holds no worksheet");
        return false;
    }
    workbook = std::move(result);
    return true;
}

} // namespace exchange
