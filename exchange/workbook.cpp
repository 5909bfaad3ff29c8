#include "workbook.h"

#include <algorithm>
#include <cmath>

namespace exchange {

namespace {
const QDate kEpoch1900(1899, 12, 30);
const QDate kEpoch1900Early(1899, 12, 31); // serials before the fictitious 29 February 1900
const QDate kEpoch1904(1904, 1, 1);
constexpr qint64 kMsPerDay = 86400000;
constexpr double kMaxSerial = 2958466.0; // 10000-01-01
// Empty texts are empty cells; lone surrogates, which neither format can
// store, become U+FFFD.
QVariant normalizedText(QString s)
{
    if (s.isEmpty())
        return {};
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar ch = s.at(i);
        if (ch.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate())
            ++i;
        else if (ch.isSurrogate())
            s[i] = QChar(QChar::ReplacementCharacter);
    }
    return s;
}

} // namespace

QVariant Sheet::cell(int row, int col) const
{
    if (row < 0 || col < 0 || size_t(row) >= rows.size())
        return {};
    const QList<QVariant> &r = rows[size_t(row)];
    return col < r.size() ? r.at(col) : QVariant();
}

void Sheet::setCell(int row, int col, const QVariant &value)
{
    if (row < 0 || col < 0)
        return;
    const bool empty = !value.isValid();
    if (size_t(row) >= rows.size()) {
        if (empty)
            return;
        allocatedBytes += (qint64(row) + 1 - qint64(rows.size())) * Limits::kRowBytes;
        rows.resize(size_t(row) + 1);
    }
    QList<QVariant> &r = rows[size_t(row)];
    if (col >= r.size()) {
        if (empty)
            return;
        // What a row holds is counted by the slots it has room for, so that room taken ahead
        // of the cells is within the bounds on a workbook too.
        const qsizetype before = r.capacity();
        if (before < col + 1) {
            const qsizetype above = row > 0 ? rows[size_t(row) - 1].size() : 0;
            r.reserve(std::max<qsizetype>(col + 1, std::max(above, 2 * before)));
        }
        r.resize(col + 1);
        allocatedBytes += qint64(r.capacity() - before) * Limits::kCellBytes;
    }
    r[col] = value;
}

void Sheet::setRow(int row, const QList<QVariant> &cells)
{
    if (row < 0)
        return;
    if (size_t(row) >= rows.size()) {
        allocatedBytes += (qint64(row) + 1 - qint64(rows.size())) * Limits::kRowBytes;
        rows.resize(size_t(row) + 1);
    }
    QList<QVariant> &r = rows[size_t(row)];
    allocatedBytes += qint64(cells.size() - r.capacity()) * Limits::kCellBytes;
    r = cells;
}

qint64 Workbook::allocatedBytes() const
{
    qint64 total = 0;
    for (const Sheet &s : sheets)
        total += s.allocatedBytes;
    return total;
}

bool Workbook::allLoaded() const
{
    for (const Sheet &s : sheets) {
        if (!s.loaded)
            return false;
    }
    return true;
}

bool Sheet::usedRange(int &firstRow, int &firstCol, int &lastRow, int &lastCol) const
{
    firstRow = firstCol = INT_MAX;
    lastRow = lastCol = -1;
    for (size_t r = 0; r < rows.size(); ++r) {
        const QList<QVariant> &row = rows[r];
        int first = -1, last = -1;
        for (int c = 0; c < row.size(); ++c) {
            if (row.at(c).isValid()) {
                if (first < 0)
                    first = c;
                last = c;
            }
        }
        if (first < 0)
            continue;
        firstRow = std::min(firstRow, int(r));
        lastRow = int(r);
        firstCol = std::min(firstCol, first);
        lastCol = std::max(lastCol, last);
    }
    return lastRow >= 0;
}

int Workbook::maxRows(FileFormat format)
{
    return format == FileFormat::Xls ? 65536 : 1048576;
}

int Workbook::maxColumns(FileFormat format)
{
    return format == FileFormat::Xls ? 256 : 16384;
}

QVariant normalizeCellValue(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::QString:
        return normalizedText(value.toString());
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong: {
        const double d = value.toDouble();
        // A spreadsheet cannot hold NaN or infinity; keep what the caller
        // would see printed rather than dropping the cell.
        if (!std::isfinite(d))
            return QString::number(d);
        return d;
    }
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.isValid() ? QVariant(dt) : QVariant();
    }
    case QMetaType::QDate: {
        const QDate d = value.toDate();
        return d.isValid() ? QVariant(QDateTime(d, QTime(0, 0))) : QVariant();
    }
    case QMetaType::QTime: {
        const QTime t = value.toTime();
        return t.isValid() ? QVariant(QDateTime(kEpoch1900, t)) : QVariant();
    }
    default:
        return normalizedText(value.toString());
    }
}

bool isModelValue(const QVariant &value)
{
    if (!value.isValid())
        return true;
    if (value.isNull())
        return false;
    switch (value.typeId()) {
    case QMetaType::QString: {
        const QString s = value.toString();
        if (s.isEmpty())
            return false; // an empty text is an empty cell
        for (qsizetype i = 0; i < s.size(); ++i) {
            const QChar ch = s.at(i);
            if (ch.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate())
                ++i;
            else if (ch.isSurrogate())
                return false;
        }
        return true;
    }
    case QMetaType::Bool:
        return true;
    case QMetaType::Double:
        return std::isfinite(value.toDouble());
    case QMetaType::QDateTime:
        return value.toDateTime().isValid();
    default:
        return false;
    }
}

double toSerial(const QDateTime &dateTime)
{
    const QDate d = dateTime.date();
    double days = double(kEpoch1900.daysTo(d));
    // The 1900 system counts a 29 February 1900 that never was; serials
    // before March 1900 are therefore one lower than the real day count.
    if (days >= 2 && days <= 60)
        days -= 1;
    return days + double(dateTime.time().msecsSinceStartOfDay()) / double(kMsPerDay);
}

QDateTime fromSerial(double serial, bool date1904)
{
    if (!std::isfinite(serial) || serial < 0 || serial >= kMaxSerial)
        return {};
    // As xlrd does it: whole days from the epoch, the fraction rounded (half
    // to even) to the millisecond, a rounded-up fraction carrying into the
    // next day. The epoch is chosen by the serial before rounding.
    qint64 days = qint64(serial);
    qint64 ms = qint64(std::nearbyint((serial - double(days)) * double(kMsPerDay)));
    if (ms >= kMsPerDay) {
        ++days;
        ms -= kMsPerDay;
    }
    QDate date;
    if (date1904)
        date = kEpoch1904.addDays(days);
    else if (days == 0)
        date = kEpoch1900; // a time of day
    else
        // Serial 60, the fictitious 29 February 1900, reads as 28 February.
        date = (serial < 60 ? kEpoch1900Early : kEpoch1900).addDays(days);
    QDateTime result(date, QTime::fromMSecsSinceStartOfDay(int(ms)));
    if (!result.isValid() || date.year() > 9999)
        return {};
    return result;
}

QString SheetNames::take(const QString &name, int index)
{
    constexpr int kMaxSheetName = 31;
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    QString n = name;
    for (QChar &ch : n) {
        if (forbidden.contains(ch))
            ch = QLatin1Char('_');
    }
    if (n.startsWith(QLatin1Char('\'')))
        n[0] = QLatin1Char('_');
    if (n.endsWith(QLatin1Char('\'')))
        n[n.size() - 1] = QLatin1Char('_');
    n = n.left(kMaxSheetName);
    if (n.isEmpty())
        n = QStringLiteral("Sheet%1").arg(index + 1);
    ++m_tries;
    if (!m_used.contains(n.toLower())) {
        m_used.insert(n.toLower());
        return n;
    }
    // The candidate for suffix k is the name cut to leave room for "(k)", then "(k)". Every
    // suffix below m_next[stem] was tried for that stem and is taken, so the search goes on
    // from there; each taken name stops a search at most once.
    for (int k = 2;;) {
        const QString suffix = QStringLiteral("(%1)").arg(k);
        const QString stem = n.left(kMaxSheetName - suffix.size());
        int &next = m_next[stem.toLower()];
        if (next > k) {
            k = next; // the suffix may have more digits now, and so another stem
            continue;
        }
        next = k + 1;
        ++m_tries;
        const QString candidate = stem + suffix;
        const QString key = candidate.toLower();
        if (!m_used.contains(key)) {
            m_used.insert(key);
            return candidate;
        }
        ++k;
    }
}

} // namespace exchange
