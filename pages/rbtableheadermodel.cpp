#include "rbtableheadermodel.h"

#include <algorithm>

RbTableHeaderModel::RbTableHeaderModel(int rows, int columns, QObject *parent)
    : QAbstractTableModel(parent), m_rowCount(std::max(rows, 0)), m_columnCount(std::max(columns, 0))
{
}

RbTableHeaderModel::~RbTableHeaderModel()
{
    qDeleteAll(m_root.children);
}

QModelIndex RbTableHeaderModel::index(int row, int column, const QModelIndex &parent) const
{
    Q_UNUSED(parent);
    if (row < 0 || column < 0 || row >= m_rowCount || column >= m_columnCount)
        return QModelIndex();
    HeaderCell *&cell = m_root.children[qMakePair(row, column)];
    if (!cell) {
        cell = new HeaderCell;
        cell->row = row;
        cell->column = column;
        cell->parent = &m_root;
    }
    return createIndex(row, column, cell);
}

int RbTableHeaderModel::rowCount(const QModelIndex &) const
{
    return m_rowCount;
}

int RbTableHeaderModel::columnCount(const QModelIndex &) const
{
    return m_columnCount;
}

RbTableHeaderModel::HeaderCell *RbTableHeaderModel::cellFor(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this || index.row() >= m_rowCount
        || index.column() >= m_columnCount)
        return nullptr;
    return static_cast<HeaderCell *>(index.internalPointer());
}

QVariant RbTableHeaderModel::data(const QModelIndex &index, int role) const
{
    const HeaderCell *cell = cellFor(index);
    if (!cell)
        return QVariant();
    return cell->values.value(role);
}

bool RbTableHeaderModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    HeaderCell *cell = cellFor(index);
    if (!cell)
        return false;
    if (role == ColumnSpanRole || role == RowSpanRole) {
        const int span = value.toInt();
        if (span > 0) {
            const int room = role == ColumnSpanRole ? m_columnCount - cell->column
                                                    : m_rowCount - cell->row;
            cell->values.insert(role, std::min(span, room));
        }
        return true;
    }
    cell->values.insert(role, value);
    return true;
}

Qt::ItemFlags RbTableHeaderModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsEnabled;
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}
