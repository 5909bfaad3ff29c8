// The table's rows for whoever keeps a record of them: reading a row back, the keys attached to
// rows, putting kept rows back, and telling of edited test names.
#include "firstpagefortesk.h"

#include "measurementtable.h"
#include "ui_firstpagefortesk.h"
#include "verdictwords.h"

#include <algorithm>

void FirstPageForTesk::setupRowRecords()
{
    // The test name is the one cell the user edits (double click); rows appended or changed
    // by the page are not edits.
    connect(m_model, &MeasurementModel::testNameEdited, this, &FirstPageForTesk::testNameEdited);
}

QItemSelectionModel *FirstPageForTesk::measurementSelection() const
{
    return ui->tbData->selectionModel();
}

int FirstPageForTesk::rowCount() const
{
    return m_model->rowCount();
}

MeasurementRecord FirstPageForTesk::rowRecord(int row) const
{
    if (row < 0 || row >= m_model->rowCount())
        return MeasurementRecord();
    return m_model->record(row);
}

void FirstPageForTesk::setRowKey(int row, qint64 key)
{
    m_model->setKey(row, key);
}

qint64 FirstPageForTesk::rowKey(int row) const
{
    return m_model->key(row);
}

int FirstPageForTesk::restoreRows(const QList<MeasurementRecord> &rows, int testCounterSoFar)
{
    RowOriginScope scope(rowOrigin, {RowOrigin::Restored, QString()});
    const QString pass = tr("PASS"), ng = tr("NG");
    for (const MeasurementRecord &record : rows) {
        const QString &v = record.verdict;
        const verdictwords::Verdict verdict = verdictwords::recognise(v);
        if (v == pass || verdict == verdictwords::Verdict::Pass) {
            ++passCount;
            ++totalCount;
        } else if (v == ng || verdict == verdictwords::Verdict::Ng) {
            ++ngCount;
            ++totalCount;
        }
    }
    const int first = appendRows(rows);
    testCounter = std::max(testCounter, testCounterSoFar);
    showCounters();
    return first;
}
