#include "measurementtablemodel.h"

#include "pageconstants.h"

#include <QBrush>
#include <QCoreApplication>

#include <cmath>

namespace {

// The verdict the page shows for NG, in the language now in use. The table's words are the
// page's (translation context "FirstPageForTesk").
QString ngWord()
{
    return QCoreApplication::translate("FirstPageForTesk", "NG");
}

// Hue angles (the last of each five) are shown with one decimal, the other values with two.
int decimalsOf(int column)
{
    return column == MeasurementModel::ColStandardL + 4 || column == MeasurementModel::ColSampleL + 4 ? 1 : 2;
}

QString numberText(double value, int decimals)
{
    // A value that is not a number (a ΔE that could not be worked out) is shown as missing.
    return std::isfinite(value) ? QString::number(value, 'f', decimals) : pageui::kPlaceholder;
}

// The sequence number as shown: up to six significant digits.
double shownSequence(double value)
{
    if (!std::isfinite(value) || (value == std::trunc(value) && std::fabs(value) < 1e6))
        return value;
    return QString::number(value, 'g', 6).toDouble();
}

} // namespace

double shownValue(double value, int decimals)
{
    if (!std::isfinite(value))
        return value;
    // Values that come in hundredths (measured, downloaded) are shown as they are: the nearest
    // double to k / 100 is what reading its text back gives. Only other values need the text.
    const double scale = decimals == 1 ? 10.0 : 100.0;
    const double scaled = std::nearbyint(value * scale);
    if (std::fabs(scaled) < 1e15 && scaled / scale == value)
        return value;
    return QString::number(value, 'f', decimals).toDouble();
}

MeasurementModel::MeasurementModel(QObject *parent) : QAbstractTableModel(parent) {}

int MeasurementModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int MeasurementModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const MeasurementRecord &MeasurementModel::record(int row) const
{
    Q_ASSERT(row >= 0 && row < int(m_rows.size()));
    return m_rows[size_t(row)].record;
}

qint64 MeasurementModel::key(int row) const
{
    return row >= 0 && row < int(m_rows.size()) ? m_rows[size_t(row)].key : 0;
}

QString MeasurementModel::text(const MeasurementRecord &record, int column)
{
    switch (column) {
    case ColNo: return QString::number(record.sequence, 'g', 6);
    case ColTestName: return record.testName;
    case ColTime: return record.timeText;
    case ColDeltaE: return numberText(record.deltaE, 2);
    case ColVerdict: return record.verdict;
    case ColFormula: return record.formulaText;
    case ColThreshold: return record.thresholdText;
    case ColDeviceName: return record.deviceName;
    case ColSerialNumber: return record.serialNumber;
    default: break;
    }
    if (column >= ColStandardL && column < ColStandardL + 5)
        return numberText(record.standard[size_t(column - ColStandardL)], decimalsOf(column));
    if (column >= ColSampleL && column < ColSampleL + 5)
        return numberText(record.sample[size_t(column - ColSampleL)], decimalsOf(column));
    return QString(); // the button columns
}

QString MeasurementModel::text(int row, int column) const
{
    if (row < 0 || row >= int(m_rows.size()))
        return QString();
    return text(m_rows[size_t(row)].record, column);
}

QVariant MeasurementModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()) || index.column() >= ColumnCount)
        return QVariant();
    const Row &row = m_rows[size_t(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return text(row.record, column);
    case Qt::TextAlignmentRole:
        if (column <= ColVerdict)
            return int(Qt::AlignCenter);
        break;
    case Qt::BackgroundRole:
        // A row not judged has no verdict, and no verdict's colour.
        if (column == ColVerdict && !row.record.verdict.isEmpty())
            return QBrush(row.ng ? QColor(Qt::red) : QColor(Qt::darkGreen));
        break;
    default:
        break;
    }
    return QVariant();
}

Qt::ItemFlags MeasurementModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == ColTestName)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool MeasurementModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= int(m_rows.size()) || index.column() != ColTestName
        || role != Qt::EditRole)
        return false;
    const QString name = value.toString();
    MeasurementRecord &record = m_rows[size_t(index.row())].record;
    if (record.testName == name)
        return true;
    record.testName = name;
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    emit testNameEdited(index.row(), name);
    return true;
}

MeasurementRecord MeasurementModel::asShown(MeasurementRecord r)
{
    r.sequence = shownSequence(r.sequence);
    for (int i = 0; i < 5; ++i) {
        const int decimals = i == 4 ? 1 : 2;
        r.standard[size_t(i)] = shownValue(r.standard[size_t(i)], decimals);
        r.sample[size_t(i)] = shownValue(r.sample[size_t(i)], decimals);
    }
    r.deltaE = shownValue(r.deltaE, 2);
    return r;
}

MeasurementModel::Row MeasurementModel::rowFor(MeasurementRecord record, const QString &ng)
{
    Row row;
    row.record = asShown(std::move(record));
    row.ng = row.record.verdict == ng;
    return row;
}

int MeasurementModel::append(const MeasurementRecord &record)
{
    const int first = int(m_rows.size());
    beginInsertRows(QModelIndex(), first, first);
    m_rows.push_back(rowFor(record, ngWord()));
    endInsertRows();
    return first;
}

int MeasurementModel::append(const QList<MeasurementRecord> &records)
{
    const int first = int(m_rows.size());
    if (records.isEmpty())
        return first;
    const QString ng = ngWord();
    beginInsertRows(QModelIndex(), first, first + int(records.size()) - 1);
    m_rows.reserve(m_rows.size() + size_t(records.size()));
    for (const MeasurementRecord &record : records)
        m_rows.push_back(rowFor(record, ng));
    endInsertRows();
    return first;
}

void MeasurementModel::remove(int row)
{
    if (row < 0 || row >= int(m_rows.size()))
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
}

void MeasurementModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    endResetModel();
}

void MeasurementModel::setKey(int row, qint64 key)
{
    if (row >= 0 && row < int(m_rows.size()))
        m_rows[size_t(row)].key = key;
}

void MeasurementModel::changeAll(const std::function<void(MeasurementRecord &)> &change, int firstColumn,
                                 int lastColumn)
{
    if (m_rows.empty())
        return;
    const QString ng = ngWord();
    for (Row &row : m_rows) {
        MeasurementRecord record = std::move(row.record);
        change(record);
        const qint64 key = row.key;
        row = rowFor(std::move(record), ng);
        row.key = key;
    }
    emit dataChanged(index(0, firstColumn), index(int(m_rows.size()) - 1, lastColumn));
}
