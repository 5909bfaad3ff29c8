#pragma once

#include "historyfilter.h"
#include "historyrow.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QVariantList>

#include <optional>
#include <vector>

// A window onto a query over the history: rowCount() is the number of rows the query gives,
// counted once, and rows are read in blocks as they are asked for and kept in a small cache,
// so however long the history and wherever the view scrolls to, only a few blocks are ever in
// memory. A block that follows one in the cache is read from where that one ended (the sort
// value and id of its last row: an index walk that starts there); any other by its offset.
// Sorting by any column asks the database again.
class HistoryWindowedModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kBlockRows = 256;
    static constexpr int kCachedBlocks = 32;

    explicit HistoryWindowedModel(const QSqlDatabase &db, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    // Reads the count again and forgets the blocks (after the history changed).
    void refresh();
    // The texts shown changed (the language): the views draw them again, nothing is read.
    void textsChanged();
    // Whether the last read worked; the database's words when it did not.
    QString lastError() const { return m_error; }
    // Blocks read since the last refresh (for tests: the model reads lazily).
    int blocksRead() const { return m_blocksRead; }
    // The keys (ids) of the rows first..last, in the order shown, from the database and not from
    // the blocks: a selection of many rows is taken without reading every row it spans. Empty
    // when they cannot be read (lastError() says why).
    QList<qint64> keysOf(int first, int last) const;

protected:
    // The query, in pieces: the selected expressions (the first is the row's key), the FROM with
    // its alias and joins, the WHERE with its binds, and the sort expression of a column.
    virtual QString selectList() const = 0;
    virtual QString fromClause() const = 0;
    virtual QString whereClause(QVariantList *binds) const = 0;
    virtual QString sortExpression(int column) const = 0;
    virtual QString keyExpression() const = 0;
    // Whether the sort expression of column can be NULL.
    virtual bool sortNullable(int column) const = 0;

    // One read record, as selectList() gives it.
    const QVariantList *record(int row) const;

private:
    struct Block
    {
        std::vector<QVariantList> records;
        QVariant lastSortValue;
        qint64 lastKey = 0;
        quint64 used = 0;
    };
    const Block *block(int number) const;
    bool readBlock(int number, Block *into) const;
    QString orderBy() const;

    QSqlDatabase m_db;
    int m_sortColumn = 0;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
    qint64 m_count = 0;
    mutable QHash<int, Block> m_blocks;
    mutable quint64 m_clock = 0;
    mutable int m_blocksRead = 0;
    mutable QString m_error;
};

// The stored rows that a filter lets through: the table's columns and what the history adds.
class HistoryRowsModel : public HistoryWindowedModel
{
    Q_OBJECT
public:
    enum Column {
        ColStoredAt,
        ColNo,
        ColModel,
        ColSerialNumber,
        ColTestName,
        ColTime,
        ColStandardL, // .. +4: L*, a*, b*, C*, h
        ColSampleL = ColStandardL + 5,
        ColFormula = ColSampleL + 5,
        ColThreshold,
        ColDeltaE,
        ColResult,
        ColOrigin,
        ColState,
        ColRun,
        ColDesk, // the desk that stored it, by its name
        ColumnCount
    };
    enum Role {
        RowIdRole = Qt::UserRole + 1, // the row's id in the history
        StateRole,                    // its HistoryRowState
        ValueRole,                    // the value as stored (a number for the numbers)
    };

    explicit HistoryRowsModel(const QSqlDatabase &db, QObject *parent = nullptr);
    void setFilter(const HistoryFilter &filter);
    // The table's own column titles in Chinese, as the table has them in that language; the
    // other texts follow the translation. Tells the views to draw the texts again.
    void setChineseTitles(bool chinese);
    const HistoryFilter &filter() const { return m_filter; }
    // What the desks are called (desk → name), for the desk column; a desk without a name is
    // shown as it is kept.
    void setDeskNames(const QHash<QString, QString> &names);

    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // The stored row shown at row; an empty row (id 0) outside.
    HistoryRow historyRow(int row) const;

protected:
    QString selectList() const override;
    QString fromClause() const override;
    QString whereClause(QVariantList *binds) const override;
    QString sortExpression(int column) const override;
    QString keyExpression() const override;
    bool sortNullable(int column) const override;

private:
    HistoryFilter m_filter;
    QSqlDatabase m_db;
    bool m_chineseTitles = false;
    QHash<QString, QString> m_deskNames;
    // The filter's SQL, made once per filter: "contains" looks the text up in the names index
    // to choose how to find it, and every block read uses the same choice.
    mutable std::optional<HistoryWhere> m_where;
};

// The runs, newest first by default: start, end, how it ended, rows, PASS, NG, export path.
class HistoryRunsModel : public HistoryWindowedModel
{
    Q_OBJECT
public:
    enum Column { ColStarted, ColEnded, ColEnd, ColRows, ColPass, ColNg, ColExportedTo, ColumnCount };
    enum Role {
        RunIdRole = Qt::UserRole + 1,
        ValueRole, // the value as stored (times as ISO 8601 UTC, how it ended as its stored name)
    };

    explicit HistoryRunsModel(const QSqlDatabase &db, QObject *parent = nullptr);
    // Only the runs of that desk; empty: every desk's.
    void setDesk(const QString &desk);
    const QString &desk() const { return m_desk; }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

protected:
    QString selectList() const override;
    QString fromClause() const override;
    QString whereClause(QVariantList *binds) const override;
    QString sortExpression(int column) const override;
    QString keyExpression() const override;
    bool sortNullable(int column) const override;

private:
    QString m_desk;
};
