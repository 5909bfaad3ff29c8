#pragma once

#include "rbtableheadermodel.h"

#include <QHeaderView>

// A header of several levels with merged cells, drawn from its own RbTableHeaderModel. For a
// horizontal header the sections are the table's columns and the levels are the header's rows;
// for a vertical header the sections are the table's rows and the levels the header's columns.
// Header cell (k, s) of a horizontal header is model cell (k, s), of a vertical one (s, k).
class RbTableHeaderView : public QHeaderView
{
    Q_OBJECT
public:
    RbTableHeaderView(Qt::Orientation orientation, int rows, int columns, QWidget *parent = nullptr);
    ~RbTableHeaderView() override;

    // Every cell of header row `row` gets the height; a vertical header also resizes the section.
    void setRowHeight(int row, int rowHeight);
    // Makes (row, column) the anchor of a merge; spans <= 0 are ignored, too long ones clamped.
    void setCellSpan(int row, int column, int rowSpanCount, int columnSpanCount);
    void setCellBackground(const QModelIndex &index, const QColor &color);

    // The header cell under a point in the viewport, or an invalid index.
    virtual QModelIndex cellIndexAt(const QPoint &pos) const;

    // The merge anchor covering a cell along its row (by columns) or its column (by rows).
    QModelIndex columnSpanAnchor(const QModelIndex &index) const;
    QModelIndex rowSpanAnchor(const QModelIndex &index) const;
    // Sum of the widths of cells (row, first) .. (row, first + count - 1).
    int spanWidth(int row, int first, int count) const;
    // Sum of the heights of cells (first, column) .. (first + count - 1, column).
    int spanHeight(int column, int first, int count) const;
    // The sections a merged cell covers along the header; may replace *index by its anchor.
    // Returns the number of sections, 0 when the cell is not merged along the header.
    int sectionRange(QModelIndex *index, int *first, int *last) const;

    // The size of one section as its cells give it (a merged cell counts whole).
    QSize sectionSizeFromContents(int logicalIndex) const override;

signals:
    void sectionPressed(int from, int to);

public slots:
    void onSectionResized(int logicalIdx, int oldSize, int newSize);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;

private:
    RbTableHeaderModel *headerModel() const;
    QModelIndex cellAt(int level, int section) const;
    int levelCount() const;
};
