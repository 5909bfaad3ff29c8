#include "batchsource.h"

void RecordListSource::append(const QList<MeasurementRecord> &records)
{
    if (records.isEmpty())
        return;
    const int first = int(m_rows.size());
    m_rows += records;
    m_current = int(m_rows.size()) - 1;
    emit rowsAppended(first, m_current);
    emit currentRowChanged();
}

void RecordListSource::setRows(const QList<MeasurementRecord> &records)
{
    m_rows = records;
    m_selected.clear();
    m_current = m_rows.isEmpty() ? -1 : int(m_rows.size()) - 1;
    emit rowsChanged();
    emit currentRowChanged();
}

void RecordListSource::replace(int row, const MeasurementRecord &record)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows[row] = record;
    emit rowsChanged();
}

void RecordListSource::remove(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows.removeAt(row);
    QList<int> selected;
    for (int r : std::as_const(m_selected)) {
        if (r != row)
            selected.append(r > row ? r - 1 : r);
    }
    m_selected = selected;
    if (m_current >= int(m_rows.size()) || m_current == row)
        m_current = std::min(m_current, int(m_rows.size()) - 1);
    else if (m_current > row)
        --m_current;
    emit rowsChanged();
}

void RecordListSource::setSelection(const QList<int> &rows)
{
    m_selected = rows;
    emit selectionChanged();
}

void RecordListSource::setCurrentRow(int row)
{
    m_current = row;
    emit currentRowChanged();
}
