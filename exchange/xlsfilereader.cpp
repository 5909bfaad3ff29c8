#include "xlsfilereader.h"

#include <QFile>

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

QVariant dateValue(const char *text, int type)
{
    const QString s = QString::fromUtf8(text);
    switch (type) {
    case FREEXL_CELL_DATE: {
        const QDate d = QDate::fromString(s, QStringLiteral("yyyy-MM-dd"));
        return d.isValid() ? QVariant(QDateTime(d, QTime(0, 0))) : QVariant(s);
    }
    case FREEXL_CELL_DATETIME: {
        const QDateTime dt = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        return dt.isValid() ? QVariant(dt) : QVariant(s);
    }
    default: { // FREEXL_CELL_TIME: a time of day on the serial day zero
        const QTime t = QTime::fromString(s, QStringLiteral("HH:mm:ss"));
        return t.isValid() ? QVariant(QDateTime(QDate(1899, 12, 30), t)) : QVariant(s);
    }
    }
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
