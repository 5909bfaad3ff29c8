#pragma once

#include <QStyledItemDelegate>
#include <QTableWidget>

// The measurement table. Every row carries two buttons as cell widgets, and Qt re-places every
// cell widget of a visible table whenever a row is inserted or the view scrolls: with thousands
// of rows that makes appending quadratic. This table gathers those passes into one that runs
// when control returns to the event loop, so a batch of appended rows (an import, a download)
// costs one pass, and a single appended row still looks the same as before.
class MeasurementTable : public QTableWidget
{
    Q_OBJECT
public:
    explicit MeasurementTable(QWidget *parent = nullptr);

    // Shows the last row once the current batch of changes is done.
    void scrollToBottomSoon();

signals:
    // The width for the columns changed: the table was resized, or a vertical scroll bar came
    // or went.
    void viewportResized();

protected:
    void resizeEvent(QResizeEvent *event) override;

protected slots:
    void rowsInserted(const QModelIndex &parent, int start, int end) override;

private:
    void scheduleCatchUp();
    void catchUp();

    bool m_catchUpPending = false;
    bool m_scrollPending = false;
    bool m_geometryPending = false;
};

// Paints a cell in its own background colour also while its row is selected, and shows the
// selection as a frame: the red or green of a verdict stays readable in a selected row.
class VerdictDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
