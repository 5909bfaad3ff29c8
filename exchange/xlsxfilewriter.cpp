#include "xlsxfilewriter.h"

#include <QFile>
#include <QSet>

#include <xlsxwriter.h>

namespace exchange {

namespace {

constexpr int kMaxTextLength = 32767;

} // namespace

bool writeXlsxFile(const Workbook &workbook, const QString &path, QString *error)
{
    if (workbook.sheets.empty()) {
        if (error)
            *error = QStringLiteral("no worksheet to write");
        return false;
    }
    const QByteArray nativePath = QFile::encodeName(path);
    // Cells are written row by row, so the worksheets can stream straight
    // to disk instead of being held whole in memory.
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    lxw_workbook *wb = workbook_new_opt(nativePath.constData(), &options);
    if (!wb) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(path);
        return false;
    }
    lxw_format *dateTimeFormat = workbook_add_format(wb);
    format_set_num_format(dateTimeFormat, "yyyy/mm/dd hh:mm:ss");
    lxw_format *dateFormat = workbook_add_format(wb);
    format_set_num_format(dateFormat, "yyyy/mm/dd");
    lxw_format *timeFormat = workbook_add_format(wb);
    format_set_num_format(timeFormat, "hh:mm:ss");

    bool ok = true;
    QSet<QString> usedNames;
    for (size_t i = 0; ok && i < workbook.sheets.size(); ++i) {
        const Sheet &sheet = workbook.sheets[i];
        const QByteArray name = uniqueSheetName(sheet.name, int(i), usedNames).toUtf8();
        lxw_worksheet *ws = workbook_add_worksheet(wb, name.constData());
        if (!ws) {
            ok = false;
            break;
        }
        for (size_t r = 0; ok && r < sheet.rows.size(); ++r) {
            const QList<QVariant> &row = sheet.rows[r];
            for (int c = 0; ok && c < row.size(); ++c) {
                const QVariant &v = row.at(c);
                if (!v.isValid())
                    continue;
                const lxw_row_t rr = lxw_row_t(r);
                const lxw_col_t cc = lxw_col_t(c);
                lxw_error rc = LXW_NO_ERROR;
                switch (v.typeId()) {
                case QMetaType::QString: {
                    const QByteArray text = v.toString().left(kMaxTextLength).toUtf8();
                    rc = worksheet_write_string(ws, rr, cc, text.constData(), nullptr);
                    break;
                }
                case QMetaType::Bool:
                    rc = worksheet_write_boolean(ws, rr, cc, v.toBool(), nullptr);
                    break;
                case QMetaType::QDateTime: {
                    const QDateTime dt = v.toDateTime();
                    lxw_format *f = dt.date() == QDate(1899, 12, 30) ? timeFormat
                        : dt.time().msecsSinceStartOfDay() == 0     ? dateFormat
                                                                    : dateTimeFormat;
                    rc = worksheet_write_number(ws, rr, cc, toSerial(dt), f);
                    break;
                }
                default:
                    rc = worksheet_write_number(ws, rr, cc, v.toDouble(), nullptr);
                    break;
                }
                if (rc != LXW_NO_ERROR) {
                    if (error)
                        *error = QString::fromUtf8(lxw_strerror(rc));
                    ok = false;
                }
            }
        }
    }
    // workbook_close writes the file and frees the workbook in every case.
    const lxw_error closeRc = workbook_close(wb);
    if (ok && closeRc != LXW_NO_ERROR) {
        if (error)
            *error = QString::fromUtf8(lxw_strerror(closeRc));
        ok = false;
    }
    return ok;
}

} // namespace exchange
