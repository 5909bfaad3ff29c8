#include "tablebatchsource.h"

#include "measurementtablemodel.h"

#include <QItemSelectionModel>

#include <algorithm>

TableBatchSource::TableBatchSource(const MeasurementModel *model, QItemSelectionModel *selection,
                                   std::function<BatchReportInfo()> reportInfo, QObject *parent)
    : BatchSource(parent), m_model(model), m_selection(selection), m_reportInfo(std::move(reportInfo)),
      m_count(model ? model->rowCount() : 0), m_current(m_count - 1)
{
    if (model) {
        connect(model, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex &, int first, int last) { inserted(first, last); });
        connect(model, &QAbstractItemModel::rowsRemoved, this,
                [this](const QModelIndex &, int first, int last) { removed(first, last); });
        connect(model, &QAbstractItemModel::modelReset, this, &TableBatchSource::reset);
        // An edited name, a re-judging, the verdict words of another language.
        connect(model, &QAbstractItemModel::dataChanged, this, &BatchSource::rowsChanged);
        connect(model, &QAbstractItemModel::layoutChanged, this, &TableBatchSource::reset);
        connect(model, &QAbstractItemModel::rowsMoved, this, &TableBatchSource::reset);
    }
    if (selection) {
        connect(selection, &QItemSelectionModel::selectionChanged, this, &BatchSource::selectionChanged);
        connect(selection, &QItemSelectionModel::currentRowChanged, this,
                [this](const QModelIndex &current) { currentChanged(current.isValid() ? current.row() : -1); });
    }
}

int TableBatchSource::rowCount() const
{
    return m_model ? m_model->rowCount() : 0;
}

MeasurementRecord TableBatchSource::record(int row) const
{
    if (!m_model || row < 0 || row >= m_model->rowCount())
        return MeasurementRecord();
    return m_model->record(row);
}

QList<int> TableBatchSource::selectedRows() const
{
    QList<int> rows;
    if (!m_selection || !m_model)
        return rows;
    // From the ranges, not row by row: a table of 50,000 rows selected whole is one range.
    const QItemSelection selection = m_selection->selection();
    for (const QItemSelectionRange &range : selection) {
        if (!range.isValid() || range.model() != m_model)
            continue;
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.append(r);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

BatchReportInfo TableBatchSource::reportInfo() const
{
    return m_reportInfo ? m_reportInfo() : BatchReportInfo();
}

void TableBatchSource::inserted(int first, int last)
{
    const int before = m_count;
    m_count = rowCount();
    m_current = last;
    if (first == before)
        emit rowsAppended(first, last);
    else
        emit rowsChanged(); // not at the end: every row after them moved
    emit currentRowChanged();
}

void TableBatchSource::removed(int first, int last)
{
    m_count = rowCount();
    // The current row went with them: the window falls back to the last row it shows.
    if (m_current > last)
        m_current -= last - first + 1;
    else if (m_current >= first)
        m_current = -1;
    emit rowsChanged();
    emit currentRowChanged();
}

void TableBatchSource::reset()
{
    m_count = rowCount();
    m_current = m_count - 1;
    emit rowsChanged();
    emit currentRowChanged();
}

void TableBatchSource::currentChanged(int row)
{
    // The view moves its current cell off rows being removed or reset; the row made current by
    // the user is the one a click or a key chose, which is always a row of the table.
    if (row < 0 || row >= rowCount() || row == m_current)
        return;
    m_current = row;
    emit currentRowChanged();
}
