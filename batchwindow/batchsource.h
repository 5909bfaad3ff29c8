#pragma once

#include "firstpagefortesk.h"

#include <QList>
#include <QObject>
#include <QString>

// Company, tester and auditor as the report information dialog left them.
struct BatchReportInfo
{
    QString company;
    QString tester;
    QString auditor;
};

// Where the batch window takes its rows from: the table's records, which rows the user has
// selected and which row is current (the last appended or the one clicked). The window reads
// through this interface only and follows its signals.
class BatchSource : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual int rowCount() const = 0;
    virtual MeasurementRecord record(int row) const = 0;
    // The selected rows in table order; the window covers them when there are two or more,
    // all rows otherwise.
    virtual QList<int> selectedRows() const = 0;
    // The current row, or -1.
    virtual int currentRow() const = 0;
    virtual BatchReportInfo reportInfo() const = 0;

signals:
    // Rows first..last were added at the end; nothing else changed.
    void rowsAppended(int first, int last);
    // Anything else about the rows changed (deleted, edited, re-judged, cleared, replaced).
    void rowsChanged();
    void selectionChanged();
    void currentRowChanged();
};

// Rows held in a list: what tests and benchmarks feed the window with.
class RecordListSource : public BatchSource
{
    Q_OBJECT
public:
    using BatchSource::BatchSource;

    int rowCount() const override { return int(m_rows.size()); }
    MeasurementRecord record(int row) const override { return m_rows.value(row); }
    QList<int> selectedRows() const override { return m_selected; }
    int currentRow() const override { return m_current; }
    BatchReportInfo reportInfo() const override { return m_info; }

    // Appends and makes the last one current, as the table does.
    void append(const QList<MeasurementRecord> &records);
    void setRows(const QList<MeasurementRecord> &records);
    void replace(int row, const MeasurementRecord &record);
    void remove(int row);
    void setSelection(const QList<int> &rows);
    void setCurrentRow(int row);
    void setReportInfo(const BatchReportInfo &info) { m_info = info; }

private:
    QList<MeasurementRecord> m_rows;
    QList<int> m_selected;
    int m_current = -1;
    BatchReportInfo m_info;
};
