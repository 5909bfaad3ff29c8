// The table's rows for whoever keeps a record of them: reading a row back, the keys attached to
// rows, putting kept rows back, and telling of edited test names.
#include "firstpagefortesk.h"

#include "ui_firstpagefortesk.h"
#include "verdictwords.h"

#include <QTableWidgetItem>

#include <algorithm>
#include <limits>

namespace {

// Where a row's key lives: on the row's number cell, which nothing rewrites.
constexpr int kRowKeyRole = Qt::UserRole + 7;

} // namespace

void FirstPageForTesk::setupRowRecords()
{
    // The test name is the one cell the user edits (double click). Cells appendRow fills are
    // not edits.
    connect(ui->tbData, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (!m_appendingRow && item->column() == ColTestName)
            emit testNameEdited(item->row(), item->text());
    });
}

int FirstPageForTesk::rowCount() const
{
    return ui->tbData->rowCount();
}

MeasurementRecord FirstPageForTesk::rowRecord(int row) const
{
    MeasurementRecord record;
    if (row < 0 || row >= ui->tbData->rowCount())
        return record;
    record.sequence = tableText(row, ColNo).toDouble();
    record.testName = tableText(row, ColTestName);
    record.timeText = tableText(row, ColTime);
    for (int i = 0; i < 5; ++i) {
        record.standard[i] = tableText(row, ColStandardL + i).toDouble();
        record.sample[i] = tableText(row, ColSampleL + i).toDouble();
    }
    bool judged = false;
    record.deltaE = tableText(row, ColDeltaE).toDouble(&judged);
    if (!judged) // "-----": the row has no ΔE, which is not a ΔE of 0
        record.deltaE = std::numeric_limits<double>::quiet_NaN();
    record.verdict = tableText(row, ColVerdict);
    record.formulaText = tableText(row, ColFormula);
    record.thresholdText = tableText(row, ColThreshold);
    record.deviceName = tableText(row, ColDeviceName);
    record.serialNumber = tableText(row, ColSerialNumber);
    return record;
}

void FirstPageForTesk::setRowKey(int row, qint64 key)
{
    if (QTableWidgetItem *item = ui->tbData->item(row, ColNo))
        item->setData(kRowKeyRole, key);
}

qint64 FirstPageForTesk::rowKey(int row) const
{
    const QTableWidgetItem *item = ui->tbData->item(row, ColNo);
    return item ? item->data(kRowKeyRole).toLongLong() : 0;
}

int FirstPageForTesk::restoreRows(const QList<MeasurementRecord> &rows, int testCounterSoFar)
{
    const int first = ui->tbData->rowCount();
    RowOriginScope scope(rowOrigin, {RowOrigin::Restored, QString()});
    for (const MeasurementRecord &record : rows) {
        const QString &v = record.verdict;
        const verdictwords::Verdict verdict = verdictwords::recognise(v);
        if (v == tr("PASS") || verdict == verdictwords::Verdict::Pass) {
            ++passCount;
            ++totalCount;
        } else if (v == tr("NG") || verdict == verdictwords::Verdict::Ng) {
            ++ngCount;
            ++totalCount;
        }
        appendRow(record);
    }
    testCounter = std::max(testCounter, testCounterSoFar);
    showCounters();
    return first;
}
