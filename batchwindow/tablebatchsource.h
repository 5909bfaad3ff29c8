#pragma once

#include "batchsource.h"

#include <QPointer>

#include <functional>

class MeasurementModel;
class QItemSelectionModel;

// The measurement table as a batch: the rows of the page's model, the rows the user selected in
// its view, and the current row (the last appended, or the one the user made current by
// clicking or moving in the table). Every change of the model and of the selection is passed on
// as the window's signals: rows inserted at the end as appended, anything else (deletion, an
// edited name, a re-judging, a language switch, Clear) as changed. The report information is
// asked for when the window reads it, so it is always what the report dialog last left.
class TableBatchSource : public BatchSource
{
    Q_OBJECT
public:
    TableBatchSource(const MeasurementModel *model, QItemSelectionModel *selection,
                     std::function<BatchReportInfo()> reportInfo, QObject *parent = nullptr);

    int rowCount() const override;
    MeasurementRecord record(int row) const override;
    QList<int> selectedRows() const override;
    int currentRow() const override { return m_current; }
    BatchReportInfo reportInfo() const override;

private:
    void inserted(int first, int last);
    void removed(int first, int last);
    void reset();
    void currentChanged(int row);

    QPointer<const MeasurementModel> m_model;
    QPointer<QItemSelectionModel> m_selection;
    std::function<BatchReportInfo()> m_reportInfo;
    int m_count = 0; // rows of the model as last told
    int m_current = -1;
};
