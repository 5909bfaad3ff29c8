// The measurement table to and from a spreadsheet file: the export writes every row under one
// header row into a new workbook and empties the table once the file is saved; the import reads
// such a sheet back, appends its rows and counts their verdicts.
#include "firstpagefortesk.h"

#include "excelengine.h"
#include "modal.h"
#include "tablesheet.h"
#include "transferflow.h"
#include "verdictwords.h"

#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QTime>

#include <cmath>

Q_DECLARE_LOGGING_CATEGORY(lcPage)

namespace {

constexpr int kSheetColumns = tablesheet::kColumns;

// The table column behind each sheet column, in sheet order.
constexpr int kTableColumnOf[kSheetColumns] = {
    FirstPageForTesk::ColNo,           FirstPageForTesk::ColDeviceName, FirstPageForTesk::ColSerialNumber,
    FirstPageForTesk::ColTestName,     FirstPageForTesk::ColTime,       FirstPageForTesk::ColStandardL,
    FirstPageForTesk::ColStandardL + 1, FirstPageForTesk::ColStandardL + 2, FirstPageForTesk::ColStandardL + 3,
    FirstPageForTesk::ColStandardL + 4, FirstPageForTesk::ColSampleL,   FirstPageForTesk::ColSampleL + 1,
    FirstPageForTesk::ColSampleL + 2,  FirstPageForTesk::ColSampleL + 3, FirstPageForTesk::ColSampleL + 4,
    FirstPageForTesk::ColFormula,      FirstPageForTesk::ColThreshold,  FirstPageForTesk::ColDeltaE,
    FirstPageForTesk::ColVerdict,
};

// Sheet columns the import reads.
enum SheetColumn {
    SheetModel = 1,
    SheetSerial = 2,
    SheetName = 3,
    SheetTime = 4,
    SheetStandardL = 5, // .. 9
    SheetSampleL = 10,  // .. 14
    SheetFormula = 15,
    SheetThreshold = 16,
    SheetDeltaE = 17,
    SheetResult = 18,
};

const QString kFileFilterXls = QStringLiteral("excel file (*.xls)");
const QString kFileFilterXlsx = QStringLiteral("excel file (*.xlsx)");
QString fileFilters()
{
    return kFileFilterXls + QStringLiteral(";;") + kFileFilterXlsx;
}

// Whether the save can put a new file at path: the save writes beside the target and renames
// over it, so an existing target must be a writable file and its folder must take new files.
// A folder that does not exist is left to the save to report.
bool canReplace(const QString &path)
{
    const QFileInfo target(path);
    if (target.exists() && (target.isDir() || !target.isWritable()))
        return false;
    const QFileInfo folder(target.absolutePath());
    return !folder.exists() || (folder.isDir() && folder.isWritable());
}

QVariant cellAt(const QList<QVariant> &row, int column)
{
    return column < row.size() ? row.at(column) : QVariant();
}

QString cellText(const QVariant &value)
{
    if (!value.isValid())
        return QString();
    if (value.typeId() == QMetaType::Double) {
        // A serial number or a threshold that a spreadsheet program stored as a number: whole
        // numbers in full, others as the shortest text that reads back to the same value.
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e15)
            return QString::number(qint64(d));
        return QString::number(d, 'g', QLocale::FloatingPointShortest);
    }
    return value.toString();
}

// A number cell, or a text that reads as a finite number, gives its value; anything else 0, so
// that no imported row is judged or shown with NaN.
double cellReal(const QVariant &value)
{
    double d = 0;
    bool ok = false;
    if (value.typeId() == QMetaType::Double) {
        d = value.toDouble();
        ok = true;
    } else if (value.typeId() == QMetaType::QString) {
        d = value.toString().trimmed().toDouble(&ok);
    }
    return ok && std::isfinite(d) ? d : 0.0;
}

// A row that was never judged (the ΔE parameters were unknown) is exported with the table's
// "-----" for its ΔE; it comes back not judged, not as a ΔE of 0.
double deltaEOf(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString && value.toString().trimmed() == QLatin1String("-----"))
        return qQNaN();
    return cellReal(value);
}

// Two decimal digits at text[at], at[at + 1]; -1 when they are not digits.
int twoDigits(const QString &text, int at)
{
    const char16_t a = text.at(at).unicode(), b = text.at(at + 1).unicode();
    if (a < u'0' || a > u'9' || b < u'0' || b > u'9')
        return -1;
    return (a - u'0') * 10 + (b - u'0');
}

// The time as the table shows it, "yyyy/MM/dd hh:mm" with one or two blanks, read strictly.
QDateTime parseTableTime(const QString &text)
{
    const int blanks = int(text.size()) - 15;
    if (blanks != 1 && blanks != 2)
        return QDateTime();
    const int t = 10 + blanks; // where the hour starts
    if (text.at(4) != u'/' || text.at(7) != u'/' || text.at(10) != u' ' || text.at(t - 1) != u' '
        || text.at(t + 2) != u':')
        return QDateTime();
    const int century = twoDigits(text, 0), year = twoDigits(text, 2), month = twoDigits(text, 5),
              day = twoDigits(text, 8);
    const int hour = twoDigits(text, t), minute = twoDigits(text, t + 3);
    if (century < 0 || year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0)
        return QDateTime();
    const QDate date(century * 100 + year, month, day);
    const QTime time(hour, minute);
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time);
}

// A date-time cell, or a text in the table's own form (what our export writes); anything else
// gives no time.
QString cellTime(const QVariant &value)
{
    QDateTime when;
    if (value.typeId() == QMetaType::QDateTime)
        when = value.toDateTime();
    else if (value.typeId() == QMetaType::QString)
        when = parseTableTime(value.toString().trimmed());
    return when.isValid() ? when.toString(QStringLiteral("yyyy/MM/dd hh:mm")) : QString();
}

} // namespace

void FirstPageForTesk::on_ExportExcelBtn_clicked()
{
    exportTable();
}

bool FirstPageForTesk::exportTable()
{
    if (m_model->rowCount() == 0) {
        Modal::information(this, tr("error"), tr("No data for Storing to Excel!"));
        return false;
    }

    const QString defaultName =
        QStringLiteral("CompareM") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmm"));
    QString selectedFilter = kFileFilterXls;
    QString path = Modal::getSaveFileName(this, tr("Storing data to Excel"), defaultName, fileFilters(),
                                          &selectedFilter);
    if (path.isEmpty())
        return false;
    // The default name has no extension, and a name such as "lot 3.5" has none that is a
    // spreadsheet's: it gets the chosen type's.
    path = transfer::spreadsheetPath(this, path,
                                     selectedFilter == kFileFilterXlsx ? QStringLiteral(".xlsx") : QStringLiteral(".xls"),
                                     tr("Storing data to Excel"));
    if (path.isEmpty())
        return false;

    if (!canReplace(path)) {
        Modal::information(this, tr("Error"), tr("Can't overwrite this file, maybe the file is in use!"));
        return false;
    }

    // A new workbook holding only the table's sheet. The old file stays as it is until the new
    // one has been written completely beside it and renamed over it.
    ExcelEngine engine(path);
    if (!engine.openNew()) {
        Modal::information(this, tr("Error"), tr("Failed to store data, can't open file!"));
        return false;
    }

    // Counted now: a measurement the instrument pushed while the dialog was open is in the table
    // too, and is cleared with the rest, so it must be saved with them.
    const int rows = m_model->rowCount();
    CellRows cells;
    cells.reserve(rows + 1);
    cells.append(tablesheet::header(isChinese));
    for (int row = 0; row < rows; ++row) {
        const MeasurementRecord &record = m_model->record(row);
        QList<QVariant> line;
        line.reserve(kSheetColumns);
        for (int column : kTableColumnOf)
            line.append(MeasurementModel::text(record, column));
        cells.append(std::move(line));
    }

    if (!engine.writeAll(cells) || !engine.save()) {
        qCWarning(lcPage) << "export to" << path << "failed:" << engine.errorString();
        // The same words in both languages.
        Modal::information(this, tr("Error"), QStringLiteral("Failed to export data to excel file"));
        return false;
    }
    engine.close();
    emit tableExported(path);
    on_ClearBtn_clicked();
    if (isChinese)
        Modal::information(this, QStringLiteral("存储数据"), QStringLiteral("将数据成功存储到文件: \r\n\t%1").arg(path));
    else
        Modal::information(this, QStringLiteral("Storing data"), QStringLiteral("Data stored to file: \r\n\t%1").arg(path));
    return true;
}

void FirstPageForTesk::on_ImportExcelBtn_clicked()
{
    if (m_model->rowCount() > 0) {
        const QMessageBox::StandardButton answer =
            Modal::question(this, QStringLiteral("Colorimeter"), tr("Data import willempty the list, to save data first?"),
                            QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::No)
            on_ClearBtn_clicked();
        else
            exportTable(); // a cancelled or failed export keeps the rows; the import appends
    }

    const QString path = Modal::getOpenFileName(this, tr("Select one Excel files to open"), QStringLiteral("./"),
                                                fileFilters());
    if (path.isEmpty())
        return;

    // The engine would create a missing file; an import must not leave one behind.
    ExcelEngine engine(path);
    if (!QFileInfo(path).isFile() || !engine.open(1)) {
        qCWarning(lcPage) << "import from" << path << "failed:" << engine.errorString();
        Modal::information(this, tr("Error："), tr("Can't open file！"));
        return;
    }
    if (engine.rowCount() <= 0) {
        Modal::information(this, tr("Error："), tr("Failed to read excel file！"));
        return;
    }
    CellRows rows;
    if (!engine.readAll(rows)) {
        Modal::information(this, tr("Error："), tr("Failed to read excel file！"));
        return;
    }
    engine.close();

    // Row 0 is the header; the rows are numbered by the running total, not by the file's "NO".
    RowOriginScope origin(rowOrigin, {RowOrigin::Imported, path});
    QList<MeasurementRecord> records;
    records.reserve(rows.size());
    for (int i = 1; i < rows.size(); ++i) {
        const QList<QVariant> &line = rows.at(i);
        MeasurementRecord record;
        record.deviceName = cellText(cellAt(line, SheetModel));
        record.serialNumber = cellText(cellAt(line, SheetSerial));
        record.testName = cellText(cellAt(line, SheetName));
        record.timeText = cellTime(cellAt(line, SheetTime));
        for (int k = 0; k < 5; ++k) {
            record.standard[k] = cellReal(cellAt(line, SheetStandardL + k));
            record.sample[k] = cellReal(cellAt(line, SheetSampleL + k));
        }
        record.formulaText = cellText(cellAt(line, SheetFormula));
        record.thresholdText = cellText(cellAt(line, SheetThreshold));
        record.deltaE = deltaEOf(cellAt(line, SheetDeltaE));
        countAsImported(record, cellText(cellAt(line, SheetResult)));
        records.append(std::move(record));
    }
    // The sheet is read in full already; its rows go into the table in one step.
    rows = CellRows();
    appendRows(records);
    showCounters();
}

void FirstPageForTesk::countAsImported(MeasurementRecord &record, const QString &verdictText)
{
    switch (verdictwords::recognise(verdictText)) {
    case verdictwords::Verdict::Pass:
        record.verdict = tr("PASS");
        ++passCount;
        ++totalCount;
        break;
    case verdictwords::Verdict::Ng:
        record.verdict = tr("NG");
        ++ngCount;
        ++totalCount;
        break;
    case verdictwords::Verdict::None:
        record.verdict.clear();
        break;
    }
    record.sequence = totalCount;
}

int FirstPageForTesk::putRows(QList<MeasurementRecord> rows)
{
    // The rows are the history's already: whoever keeps it gives them their keys.
    RowOriginScope scope(rowOrigin, {RowOrigin::Restored, QString()});
    for (MeasurementRecord &record : rows) {
        record.timeText = cellTime(record.timeText);
        const QString verdict = record.verdict;
        countAsImported(record, verdict);
    }
    const int first = appendRows(rows);
    showCounters();
    return first;
}

void FirstPageForTesk::on_HistoryBtn_clicked()
{
    emit historyRequested();
}
