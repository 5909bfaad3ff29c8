#include "historymodels.h"

#include "historyexport.h"
#include "historystore.h"
#include "historywords.h"
#include "tablesheet.h"

#include <QDateTime>
#include <QLoggingCategory>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <cmath>
#include <limits>

Q_DECLARE_LOGGING_CATEGORY(lcHistory)

HistoryWindowedModel::HistoryWindowedModel(const QSqlDatabase &db, QObject *parent)
    : QAbstractTableModel(parent), m_db(db)
{
}

int HistoryWindowedModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(std::min<qint64>(m_count, std::numeric_limits<int>::max()));
}

void HistoryWindowedModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= columnCount())
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    refresh();
}

void HistoryWindowedModel::refresh()
{
    beginResetModel();
    m_blocks.clear();
    m_blocksRead = 0;
    m_error.clear();
    m_count = 0;
    QVariantList binds;
    const QString where = whereClause(&binds);
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM %1%2").arg(fromClause(), where));
    for (const QVariant &bind : binds)
        query.addBindValue(bind);
    if (query.exec() && query.next())
        m_count = query.value(0).toLongLong();
    else
        m_error = query.lastError().text();
    endResetModel();
}

void HistoryWindowedModel::textsChanged()
{
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

// Ties are broken by the key, in the same direction, so every row has one place. NULLs come
// first going up and last going down: SQLite's own order, said out loud for PostgreSQL.
QString HistoryWindowedModel::orderBy() const
{
    const bool up = m_sortOrder == Qt::AscendingOrder;
    // Said only where NULLs can be: PostgreSQL walks an index backwards only in its own order.
    const QString nulls = !sortNullable(m_sortColumn) ? QString()
                          : up                         ? QStringLiteral(" NULLS FIRST")
                                                       : QStringLiteral(" NULLS LAST");
    return QStringLiteral(" ORDER BY %1 %2%3, %4 %2")
        .arg(sortExpression(m_sortColumn), up ? QStringLiteral("ASC") : QStringLiteral("DESC"), nulls,
             keyExpression());
}

bool HistoryWindowedModel::readBlock(int number, Block *into) const
{
    QVariantList binds;
    QString where = whereClause(&binds);
    const auto previous = m_blocks.constFind(number - 1);
    const bool follow = number > 0 && previous != m_blocks.constEnd();
    QString offset;
    if (follow) {
        // After the last row of the block before: (value, key) beyond it in the sort order. The
        // plain bound on the value comes first, so the index walk starts there instead of at
        // the beginning; the rest sorts out the rows of the same value.
        const bool up = m_sortOrder == Qt::AscendingOrder;
        const QString value = sortExpression(m_sortColumn), key = keyExpression();
        QString condition;
        QVariantList more;
        if (previous->lastSortValue.isNull()) {
            condition = up ? QStringLiteral("((%1 IS NULL AND %2 > ?) OR %1 IS NOT NULL)").arg(value, key)
                           : QStringLiteral("(%1 IS NULL AND %2 < ?)").arg(value, key);
            more << previous->lastKey;
        } else {
            condition = up ? QStringLiteral("(%1 >= ? AND (%1 > ? OR %2 > ?))").arg(value, key)
                           : QStringLiteral("(%1 <= ? AND (%1 < ? OR %2 < ?))").arg(value, key);
            // Going down, the NULLs come after every value.
            if (!up && sortNullable(m_sortColumn))
                condition = QStringLiteral("(%1 OR %2 IS NULL)").arg(condition, value);
            more << previous->lastSortValue << previous->lastSortValue << previous->lastKey;
        }
        where = where.isEmpty() ? QStringLiteral(" WHERE ") + condition : where + QStringLiteral(" AND ") + condition;
        binds << more;
    } else {
        offset = QStringLiteral(" OFFSET %1").arg(qint64(number) * kBlockRows);
    }
    // The block's keys first, in order, from the filter and the sort alone (an index walk or a
    // sort of keys); then its rows by their keys. Sorting or skipping whole rows would carry every
    // column of every row passed over.
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1, %2 FROM %3 JOIN (SELECT %4 AS history_key FROM %3%5%6 LIMIT %7%8) "
                                 "AS history_page ON %4 = history_page.history_key%6")
                      .arg(sortExpression(m_sortColumn), selectList(), fromClause(), keyExpression(), where, orderBy())
                      .arg(kBlockRows)
                      .arg(offset));
    for (const QVariant &bind : binds)
        query.addBindValue(bind);
    if (!query.exec()) {
        m_error = query.lastError().text();
        qCWarning(lcHistory) << "history block not read:" << m_error;
        return false;
    }
    const int columns = query.record().count();
    while (query.next()) {
        QVariantList record;
        record.reserve(columns - 1);
        for (int c = 1; c < columns; ++c)
            record.append(query.value(c));
        into->lastSortValue = query.value(0);
        into->lastKey = query.value(1).toLongLong();
        into->records.push_back(std::move(record));
    }
    ++m_blocksRead;
    return true;
}

const HistoryWindowedModel::Block *HistoryWindowedModel::block(int number) const
{
    auto found = m_blocks.find(number);
    if (found == m_blocks.end()) {
        if (m_blocks.size() >= kCachedBlocks) {
            // The block used longest ago goes.
            auto oldest = m_blocks.begin();
            for (auto it = m_blocks.begin(); it != m_blocks.end(); ++it)
                if (it->used < oldest->used)
                    oldest = it;
            m_blocks.erase(oldest);
        }
        Block fresh;
        if (!readBlock(number, &fresh))
            return nullptr;
        found = m_blocks.insert(number, std::move(fresh));
    }
    found->used = ++m_clock;
    return &found.value();
}

const QVariantList *HistoryWindowedModel::record(int row) const
{
    if (row < 0 || row >= rowCount())
        return nullptr;
    const Block *b = block(row / kBlockRows);
    const size_t at = size_t(row % kBlockRows);
    return b && at < b->records.size() ? &b->records[at] : nullptr;
}

QList<qint64> HistoryWindowedModel::keysOf(int first, int last) const
{
    QList<qint64> keys;
    first = std::max(first, 0);
    last = std::min(last, rowCount() - 1);
    if (first > last)
        return keys;
    QVariantList binds;
    const QString where = whereClause(&binds);
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM %2%3%4 LIMIT %5 OFFSET %6")
                      .arg(keyExpression(), fromClause(), where, orderBy())
                      .arg(last - first + 1)
                      .arg(first));
    for (const QVariant &bind : binds)
        query.addBindValue(bind);
    if (!query.exec()) {
        m_error = query.lastError().text();
        return {};
    }
    keys.reserve(last - first + 1);
    while (query.next())
        keys.append(query.value(0).toLongLong());
    return keys;
}

// ---- the rows ----

namespace {

QString rowColumnsOf(const char *alias)
{
    QString columns = QString::fromLatin1(historyRowColumns());
    QStringList qualified;
    for (const QString &column : columns.split(QStringLiteral(", ")))
        qualified << QLatin1String(alias) + u'.' + column;
    return qualified.join(QStringLiteral(", "));
}

} // namespace

HistoryRowsModel::HistoryRowsModel(const QSqlDatabase &db, QObject *parent)
    : HistoryWindowedModel(db, parent), m_db(db)
{
    sort(ColStoredAt, Qt::DescendingOrder);
}

void HistoryRowsModel::setFilter(const HistoryFilter &filter)
{
    m_filter = filter;
    m_where.reset();
    refresh();
}

void HistoryRowsModel::setDeskNames(const QHash<QString, QString> &names)
{
    m_deskNames = names;
    textsChanged();
}

void HistoryRowsModel::setChineseTitles(bool chinese)
{
    m_chineseTitles = chinese;
    textsChanged();
}

int HistoryRowsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString HistoryRowsModel::selectList() const
{
    return rowColumnsOf("m");
}

QString HistoryRowsModel::fromClause() const
{
    return QStringLiteral("measurements m");
}

QString HistoryRowsModel::whereClause(QVariantList *binds) const
{
    if (!m_where || !m_where->ok)
        m_where = historyWhere(m_filter, m_db);
    *binds = m_where->binds;
    // A filter that could not be made shows nothing rather than everything.
    return m_where->ok ? m_where->sql : QStringLiteral(" WHERE 1 = 0");
}

QString HistoryRowsModel::keyExpression() const
{
    return QStringLiteral("m.id");
}

bool HistoryRowsModel::sortNullable(int column) const
{
    switch (column) {
    case ColStoredAt:
    case ColOrigin:
    case ColState:
    case ColRun:
    case ColDesk: return false; // NOT NULL in the layout
    default: return true;
    }
}

QString HistoryRowsModel::sortExpression(int column) const
{
    static const char *const standard[] = {"m.std_l", "m.std_a", "m.std_b", "m.std_c", "m.std_h"};
    static const char *const sample[] = {"m.smp_l", "m.smp_a", "m.smp_b", "m.smp_c", "m.smp_h"};
    if (column >= ColStandardL && column < ColStandardL + 5)
        return QLatin1String(standard[column - ColStandardL]);
    if (column >= ColSampleL && column < ColSampleL + 5)
        return QLatin1String(sample[column - ColSampleL]);
    switch (column) {
    case ColNo: return QStringLiteral("m.sequence_no");
    case ColModel: return QStringLiteral("m.device_name");
    case ColSerialNumber: return QStringLiteral("m.serial_number");
    case ColTestName: return QStringLiteral("m.test_name");
    case ColTime: return QStringLiteral("m.time_text");
    case ColFormula: return QStringLiteral("m.formula_text");
    case ColThreshold: return QStringLiteral("m.threshold");
    case ColDeltaE: return QStringLiteral("m.delta_e");
    case ColResult: return QStringLiteral("m.passed");
    case ColOrigin: return QStringLiteral("m.origin");
    case ColState: return QStringLiteral("m.state");
    case ColRun: return QStringLiteral("m.run_id");
    // By the desk's key, which its index serves: each desk's rows together.
    case ColDesk: return QStringLiteral("m.desk");
    default: return QStringLiteral("m.stored_at");
    }
}

HistoryRow HistoryRowsModel::historyRow(int row) const
{
    const QVariantList *r = record(row);
    if (!r)
        return HistoryRow();
    return historyRowFromValues([r](int c) { return r->value(c); });
}

QVariant HistoryRowsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() >= ColumnCount)
        return QVariant();
    const HistoryRow row = historyRow(index.row());
    if (row.id == 0)
        return QVariant();
    const int column = index.column();
    switch (role) {
    case RowIdRole: return row.id;
    case StateRole: return int(row.state);
    case ValueRole:
        if (column >= ColStandardL && column < ColStandardL + 5)
            return row.standard[size_t(column - ColStandardL)];
        if (column >= ColSampleL && column < ColSampleL + 5)
            return row.sample[size_t(column - ColSampleL)];
        if (column == ColDeltaE)
            return row.deltaE;
        if (column == ColThreshold)
            return row.threshold;
        if (column == ColNo)
            return row.sequence;
        if (column == ColStoredAt)
            return row.storedAt;
        break;
    case Qt::DisplayRole:
        break;
    default:
        return QVariant();
    }
    switch (column) {
    case ColStoredAt:
        // Shown in local time; the stored UTC text sorts and filters.
        return QDateTime::fromString(row.storedAt, Qt::ISODateWithMs).toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case ColOrigin: return HistoryWords::origin(row.origin, row.originFile);
    case ColState: return HistoryWords::state(row.state);
    case ColRun: return row.runId;
    case ColDesk: return m_deskNames.value(row.desk, row.desk);
    default: break;
    }
    // The table's own columns, as the table shows them.
    return tablesheet::cells(historySheetValues(row)).value(column - ColNo);
}

QVariant HistoryRowsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case ColStoredAt: return tr("Stored");
    case ColOrigin: return tr("Origin");
    case ColState: return tr("State");
    case ColRun: return tr("Run");
    case ColDesk: return tr("Desk");
    default: return tablesheet::headerText(section - ColNo, m_chineseTitles);
    }
}

// ---- the runs ----

HistoryRunsModel::HistoryRunsModel(const QSqlDatabase &db, QObject *parent)
    : HistoryWindowedModel(db, parent)
{
    sort(ColStarted, Qt::DescendingOrder);
}

int HistoryRunsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

// The counts of a run come from the index on (run_id, passed) alone.
QString HistoryRunsModel::selectList() const
{
    return QStringLiteral(
        "r.id, r.started_at, r.ended_at, r.end_reason, "
        "(SELECT COUNT(*) FROM measurements m WHERE m.run_id = r.id), "
        "(SELECT COUNT(*) FROM measurements m WHERE m.run_id = r.id AND m.passed = 1), "
        "(SELECT COUNT(*) FROM measurements m WHERE m.run_id = r.id AND m.passed = 0), r.exported_to");
}

QString HistoryRunsModel::fromClause() const
{
    return QStringLiteral("runs r");
}

void HistoryRunsModel::setDesk(const QString &desk)
{
    if (desk == m_desk)
        return;
    m_desk = desk;
    refresh();
}

QString HistoryRunsModel::whereClause(QVariantList *binds) const
{
    binds->clear();
    if (m_desk.isEmpty())
        return QString();
    *binds << m_desk;
    return QStringLiteral(" WHERE r.desk = ?");
}

QString HistoryRunsModel::keyExpression() const
{
    return QStringLiteral("r.id");
}

bool HistoryRunsModel::sortNullable(int column) const
{
    return column != ColStarted && column != ColRows && column != ColPass && column != ColNg;
}

QString HistoryRunsModel::sortExpression(int column) const
{
    switch (column) {
    case ColEnded: return QStringLiteral("r.ended_at");
    case ColEnd: return QStringLiteral("r.end_reason");
    case ColExportedTo: return QStringLiteral("r.exported_to");
    // Counted columns sort by the run's start: counting every run to sort by it would read
    // the whole history.
    default: return QStringLiteral("r.started_at");
    }
}

QVariant HistoryRunsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() >= ColumnCount)
        return QVariant();
    const QVariantList *r = record(index.row());
    if (!r)
        return QVariant();
    if (role == RunIdRole)
        return r->at(0);
    const QVariant value = r->value(index.column() + 1);
    if (role == ValueRole)
        return value;
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case ColStarted:
    case ColEnded:
        return value.isNull() ? QVariant()
                              : QVariant(QDateTime::fromString(value.toString(), Qt::ISODateWithMs)
                                             .toLocalTime()
                                             .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    case ColEnd: return HistoryWords::runEnd(value.toString());
    default: return value;
    }
}

QVariant HistoryRunsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case ColStarted: return tr("Started");
    case ColEnded: return tr("Ended");
    case ColEnd: return tr("How it ended");
    case ColRows: return tr("Rows");
    case ColPass: return tr("PASS");
    case ColNg: return tr("NG");
    case ColExportedTo: return tr("Exported to");
    default: return QVariant();
    }
}
