#include "historytrend.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>

#include <cmath>
#include <map>

bool readHistoryTrendPoints(const QSqlDatabase &db, const HistoryFilter &filter,
                            std::vector<HistoryTrendPoint> *points, QString *error)
{
    points->clear();
    const HistoryWhere where = historyWhere(filter, db);
    if (!where.ok) {
        *error = db.lastError().text();
        return false;
    }
    const QString judged = QStringLiteral("m.passed IS NOT NULL AND m.delta_e IS NOT NULL");
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT m.stored_at, m.delta_e, m.threshold, m.passed FROM measurements m%1 "
                                 "ORDER BY m.stored_at, m.id")
                      .arg(where.sql.isEmpty() ? QStringLiteral(" WHERE ") + judged
                                               : where.sql + QStringLiteral(" AND ") + judged));
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
