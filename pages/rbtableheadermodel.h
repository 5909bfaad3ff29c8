#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QPair>
#include <QVariant>

// The cells of a multi-level table header: texts, colours, sizes and spans per cell, any number
// of header rows and columns. Cells come into being the first time index() asks for them and
// live as long as the model; the header uses one level below the root only.
class RbTableHeaderModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Extra roles of a header cell: how many columns (to the right) and rows (downwards) it
    // covers, itself included. A cell with a span is the anchor of its merge.
    enum HeaderRole {
        ColumnSpanRole = Qt::UserRole + 1,
        RowSpanRole = Qt::UserRole + 2,
    };

    RbTableHeaderModel(int rows, int columns, QObject *parent = nullptr);
    ~RbTableHeaderModel() override;

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    // Spans are clamped to the model's edges; a span <= 0 is not stored. No change signal is
    // sent: the view repaints on its own occasions.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    struct HeaderCell
    {
        int row = 0;
        int column = 0;
        HeaderCell *parent = nullptr;
        QHash<QPair<int, int>, HeaderCell *> children;
        QHash<int, QVariant> values;
    };

    HeaderCell *cellFor(const QModelIndex &index) const;

    int m_rowCount;
    int m_columnCount;
    // mutable: index() is const but creates cells on first request.
    mutable HeaderCell m_root;
};
