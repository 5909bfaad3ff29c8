#include "historytrend.h"

#include "historydialect.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>

#include <cmath>
#include <map>

namespace {

// The filter's rows that were judged: a verdict and a ΔE.
QString judgedWhere(const HistoryWhere &where)
{
    const QString judged = QStringLiteral("m.passed IS NOT NULL AND m.delta_e IS NOT NULL");
    return where.sql.isEmpty() ? QStringLiteral(" WHERE ") + judged : where.sql + QStringLiteral(" AND ") + judged;
}

} // namespace

bool readHistoryTrendPoints(const QSqlDatabase &db, const HistoryFilter &filter,
                            std::vector<HistoryTrendPoint> *points, QString *error)
{
    points->clear();
    const HistoryWhere where = historyWhere(filter, db);
    if (!where.ok) {
        *error = db.lastError().text();
        return false;
    }
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT m.stored_at, m.delta_e, m.threshold, m.passed FROM measurements m%1 "
                                 "ORDER BY m.stored_at, m.id")
                      .arg(judgedWhere(where)));
    for (const QVariant &bind : where.binds)
        query.addBindValue(bind);
    if (!query.exec()) {
        *error = query.lastError().text();
        return false;
    }
    while (query.next()) {
        HistoryTrendPoint p;
        p.storedMs = QDateTime::fromString(query.value(0).toString(), Qt::ISODateWithMs).toMSecsSinceEpoch();
        p.deltaE = query.value(1).toDouble();
        if (!query.value(2).isNull())
            p.threshold = query.value(2).toDouble();
        p.pass = query.value(3).toInt() == 1;
        points->push_back(p);
    }
    if (query.lastError().isValid()) {
        *error = query.lastError().text();
        return false;
    }
    return true;
}

HistoryTrend computeHistoryTrend(std::vector<HistoryTrendPoint> points, int movingWindow)
{
    HistoryTrend trend;
    trend.points = std::move(points);
    const std::vector<HistoryTrendPoint> &p = trend.points;
    trend.n = int(p.size());
    const size_t window = size_t(std::max(1, movingWindow));
    trend.movingMean.reserve(p.size());
    // A running sum would drift over a million points; each window is summed afresh, which is
    // cheap at the windows a chart uses.
    for (size_t i = 0; i < p.size(); ++i) {
        const size_t from = i + 1 >= window ? i + 1 - window : 0;
        double sum = 0;
        for (size_t j = from; j <= i; ++j)
            sum += p[j].deltaE;
        trend.movingMean.push_back(sum / double(i - from + 1));
    }
    if (p.empty())
        return trend;
    // Two passes: the mean, then the squared deviations from it.
    double sum = 0;
    for (const HistoryTrendPoint &point : p)
        sum += point.deltaE;
    trend.mean = sum / double(p.size());
    if (p.size() >= 2) {
        double squares = 0;
        for (const HistoryTrendPoint &point : p)
            squares += (point.deltaE - trend.mean) * (point.deltaE - trend.mean);
        trend.sd = std::sqrt(squares / double(p.size() - 1));
    }
    trend.threshold = p.front().threshold;
    for (const HistoryTrendPoint &point : p)
        if (!(point.threshold == trend.threshold)) { // NaN never equals: an unknown one is mixed too
            trend.threshold = std::numeric_limits<double>::quiet_NaN();
            break;
        }
    if (std::isfinite(trend.threshold) && std::isfinite(trend.sd) && trend.sd > 0)
        trend.ppk = (trend.threshold - trend.mean) / (3 * trend.sd);
    return trend;
}

std::vector<HistoryGroupMean> historyGroupMeans(const std::vector<HistoryTrendPoint> &points,
                                                HistoryGrouping grouping)
{
    std::map<QDate, std::pair<int, double>> groups;
    for (const HistoryTrendPoint &p : points) {
        QDate day = QDateTime::fromMSecsSinceEpoch(p.storedMs).toLocalTime().date();
        if (grouping == HistoryGrouping::Week)
            day = day.addDays(1 - day.dayOfWeek());
        auto &g = groups[day];
        ++g.first;
        g.second += p.deltaE;
    }
    std::vector<HistoryGroupMean> means;
    means.reserve(groups.size());
    for (const auto &[day, g] : groups)
        means.push_back({day, g.first, g.second / g.first});
    return means;
}

bool readHistoryTrendSummary(const QSqlDatabase &db, const HistoryFilter &filter, HistoryTrendSummary *summary,
                             QString *error)
{
    *summary = HistoryTrendSummary();
    const HistoryWhere where = historyWhere(filter, db);
    if (!where.ok) {
        *error = db.lastError().text();
        return false;
    }
    // One pass: the sums give the mean and the sample variance. ΔE values are small and never
    // far from their mean, so the sum of squares loses nothing that shows in two decimals.
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT COUNT(*), SUM(m.delta_e), SUM(m.delta_e * m.delta_e), "
                                 "SUM(CASE WHEN m.passed = 0 THEN 1 ELSE 0 END), COUNT(m.threshold), "
                                 "MIN(m.threshold), MAX(m.threshold), MIN(m.stored_at), MAX(m.stored_at) "
                                 "FROM measurements m%1")
                      .arg(judgedWhere(where)));
    for (const QVariant &bind : where.binds)
        query.addBindValue(bind);
    if (!query.exec() || !query.next()) {
        *error = query.lastError().text();
        return false;
    }
    HistoryTrendSummary &s = *summary;
    s.n = query.value(0).toLongLong();
    if (s.n == 0)
        return true;
    const double sum = query.value(1).toDouble(), squares = query.value(2).toDouble();
    s.ng = query.value(3).toLongLong();
    s.mean = sum / double(s.n);
    if (s.n >= 2)
        s.sd = std::sqrt(std::max(0.0, (squares - sum * s.mean) / double(s.n - 1)));
    const qint64 known = query.value(4).toLongLong();
    const double low = query.value(5).toDouble(), high = query.value(6).toDouble();
    if (known == s.n && low == high)
        s.threshold = low;
    if (std::isfinite(s.threshold) && std::isfinite(s.sd) && s.sd > 0)
        s.ppk = (s.threshold - s.mean) / (3 * s.sd);
    s.firstStored = query.value(7).toString();
    s.lastStored = query.value(8).toString();
    return true;
}

bool readHistoryTrendGroups(const QSqlDatabase &db, const HistoryFilter &filter, HistoryGrouping grouping,
                            int nearPercent, std::vector<HistoryTrendGroup> *groups, QString *error)
{
    groups->clear();
    const HistoryWhere where = historyWhere(filter, db);
    if (!where.ok) {
        *error = db.lastError().text();
        return false;
    }
    const HistoryDialect dialect(db);
    const QString group = grouping == HistoryGrouping::Day ? dialect.localDay(QStringLiteral("m.stored_at"))
                                                           : dialect.localWeek(QStringLiteral("m.stored_at"));
    // Near the limit as the batch window has it: passed, above the band's start, at or under the
    // threshold.
    const QString near = nearPercent > 0
                             ? QStringLiteral("SUM(CASE WHEN m.passed = 1 AND m.threshold IS NOT NULL AND "
                                              "m.delta_e <= m.threshold AND m.delta_e > m.threshold * %1 / 100.0 + "
                                              "1e-9 * ABS(m.threshold) THEN 1 ELSE 0 END)")
                                   .arg(nearPercent)
                             : QStringLiteral("0");
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 AS g, COUNT(*), AVG(m.delta_e), MAX(m.delta_e), "
                                 "SUM(CASE WHEN m.passed = 0 THEN 1 ELSE 0 END), %2, MAX(m.threshold) "
                                 "FROM measurements m%3 GROUP BY g ORDER BY g")
                      .arg(group, near, judgedWhere(where)));
    for (const QVariant &bind : where.binds)
        query.addBindValue(bind);
    if (!query.exec()) {
        *error = query.lastError().text();
        return false;
    }
    while (query.next()) {
        HistoryTrendGroup g;
        g.first = QDate::fromString(query.value(0).toString(), Qt::ISODate);
        g.n = query.value(1).toLongLong();
        g.mean = query.value(2).toDouble();
        g.maxDeltaE = query.value(3).toDouble();
        g.ng = query.value(4).toLongLong();
        g.nearLimit = query.value(5).toLongLong();
        if (!query.value(6).isNull())
            g.threshold = query.value(6).toDouble();
        groups->push_back(g);
    }
    if (query.lastError().isValid()) {
        *error = query.lastError().text();
        return false;
    }
    return true;
}
