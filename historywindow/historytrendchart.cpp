#include "historytrendchart.h"

#include "batchcharts.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegend>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

HistoryTrendData HistoryTrendData::read(const QSqlDatabase &db, const HistoryFilter &filter, Mode mode,
                                        int nearPercent)
{
    HistoryTrendData data;
    if (!readHistoryTrendSummary(db, filter, &data.summary, &data.error))
        return data;
    if (mode == Mode::Automatic) {
        const QDateTime first = QDateTime::fromString(data.summary.firstStored, Qt::ISODateWithMs);
        const QDateTime last = QDateTime::fromString(data.summary.lastStored, Qt::ISODateWithMs);
        if (data.summary.n <= kEachRowLimit)
            mode = Mode::EachRow;
        else
            mode = first.daysTo(last) <= 183 ? Mode::Days : Mode::Weeks;
    }
    // Each row only as far as it can be drawn: above the limit, days.
    if (mode == Mode::EachRow && data.summary.n > kEachRowLimit)
        mode = Mode::Days;
    data.shown = mode;
    if (mode == Mode::EachRow)
        data.ok = readHistoryTrendPoints(db, filter, &data.points, &data.error);
    else
        data.ok = readHistoryTrendGroups(db, filter, mode == Mode::Days ? HistoryGrouping::Day : HistoryGrouping::Week,
                                         nearPercent, &data.groups, &data.error);
    return data;
}

namespace {

QScatterSeries *legendOnly(BatchRowLayer::Kind kind)
{
    // A series without points: it gives the legend an entry in the dots' colour.
    auto *series = new QScatterSeries;
    series->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    series->setMarkerSize(9);
    series->setColor(BatchRowLayer::colour(kind));
    series->setBorderColor(BatchRowLayer::colour(kind));
    return series;
}

// A day's or week's point stands at its middle.
double middleMs(const QDate &first, HistoryTrendData::Mode mode)
{
    const QDateTime start = first.startOfDay();
    const qint64 length = (mode == HistoryTrendData::Mode::Weeks ? 7 : 1) * 86400000LL;
    return double(start.toMSecsSinceEpoch() + length / 2);
}

} // namespace

HistoryTrendChart::HistoryTrendChart()
{
    m_chart = new QChart;
    m_chart->setAnimationOptions(QChart::NoAnimation);
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_chart->setBackgroundRoundness(0);
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    m_x = new QDateTimeAxis;
    m_y = new QValueAxis;
    m_chart->addAxis(m_x, Qt::AlignBottom);
    m_chart->addAxis(m_y, Qt::AlignLeft);
    m_mean = new QLineSeries;
    m_mean->setPen(QPen(QColor(40, 80, 200), 2));
    m_threshold = new QLineSeries;
    m_threshold->setPen(QPen(BatchRowLayer::colour(BatchRowLayer::Ng), 1.5, Qt::DashLine));
    m_legendPass = legendOnly(BatchRowLayer::Pass);
    m_legendNear = legendOnly(BatchRowLayer::Near);
    m_legendNg = legendOnly(BatchRowLayer::Ng);
    for (QAbstractSeries *s : std::initializer_list<QAbstractSeries *>{m_legendPass, m_legendNear, m_legendNg, m_mean,
                                                                       m_threshold}) {
        m_chart->addSeries(s);
        s->attachAxis(m_x);
        s->attachAxis(m_y);
    }
    m_layer = new BatchRowLayer(m_chart, m_x, m_y, BatchRowLayer::Mode::Run);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    m_x->setRange(QDateTime::fromMSecsSinceEpoch(now - 86400000LL), QDateTime::fromMSecsSinceEpoch(now));
    m_y->setRange(0, 1);
    retranslate();
}

HistoryTrendChart::~HistoryTrendChart()
{
    if (m_chart && !m_chart->scene())
        delete m_chart;
}

void HistoryTrendChart::retranslate()
{
    switch (m_shown) {
    case HistoryTrendData::Mode::Days: m_chart->setTitle(tr("Mean ΔE of each day")); break;
    case HistoryTrendData::Mode::Weeks: m_chart->setTitle(tr("Mean ΔE of each week")); break;
    default: m_chart->setTitle(tr("ΔE of each row")); break;
    }
    m_y->setTitleText(tr("ΔE"));
    m_x->setTitleText(tr("Stored"));
    const bool rows = m_shown == HistoryTrendData::Mode::EachRow;
    m_legendPass->setName(rows ? tr("PASS") : tr("mean within the threshold"));
    m_legendNg->setName(rows ? tr("NG") : tr("mean over the threshold"));
    m_legendNear->setName(rows ? tr("Near limit") : tr("mean near the limit"));
    m_mean->setName(m_shown == HistoryTrendData::Mode::EachRow ? tr("Moving mean of %n rows", nullptr, m_movingWindow)
                    : m_shown == HistoryTrendData::Mode::Days ? tr("Moving mean of %n days", nullptr, m_movingWindow)
                                                              : tr("Moving mean of %n weeks", nullptr, m_movingWindow));
    m_threshold->setName(tr("Threshold"));
}

void HistoryTrendChart::show(const HistoryTrendData &data, const NearLimitBand &band, int movingWindow)
{
    m_shown = data.shown;
    m_movingWindow = std::max(1, movingWindow);
    QVector<QPointF> dots;
    QVector<quint8> kinds;
    QStringList names;
    QList<QPointF> thresholdLine;
    m_moving.clear();
    auto stepTo = [&thresholdLine](double x, double threshold) {
        // The threshold in force: level until it changes, then straight up or down.
        if (!std::isfinite(threshold))
            return;
        if (!thresholdLine.isEmpty() && thresholdLine.last().y() != threshold)
            thresholdLine.append({x, thresholdLine.last().y()});
        if (thresholdLine.isEmpty() || thresholdLine.last().y() != threshold)
            thresholdLine.append({x, threshold});
    };
    double top = 0;
    if (data.shown == HistoryTrendData::Mode::EachRow) {
        const HistoryTrend trend = computeHistoryTrend(data.points, m_movingWindow);
        m_moving = trend.movingMean;
        for (const HistoryTrendPoint &p : data.points) {
            const double x = double(p.storedMs);
            dots.append({x, p.deltaE});
            // Near the limit as the batch window has it: by the ΔE the table shows.
            const double shown = std::round(p.deltaE * 100) / 100;
            kinds.append(!p.pass                           ? BatchRowLayer::Ng
                         : band.contains(shown, p.threshold) ? BatchRowLayer::Near
                                                             : BatchRowLayer::Pass);
            names.append(QStringLiteral("%1  ΔE %2")
                             .arg(QDateTime::fromMSecsSinceEpoch(p.storedMs).toString(QStringLiteral("yyyy-MM-dd HH:mm")))
                             .arg(p.deltaE, 0, 'f', 2));
            stepTo(x, p.threshold);
            top = std::max(top, std::isfinite(p.deltaE) ? p.deltaE : 0.0);
        }
    } else {
        // The moving mean of the rows of the last groups: each group weighs by its rows.
        const size_t window = size_t(m_movingWindow);
        for (size_t i = 0; i < data.groups.size(); ++i) {
            const HistoryTrendGroup &g = data.groups[i];
            const double x = middleMs(g.first, data.shown);
            dots.append({x, g.mean});
            // A mean is coloured as a row of that ΔE would be judged against the threshold in
            // force; how many rows of the group were NG or near the limit, its tooltip says.
            const bool known = std::isfinite(g.threshold);
            kinds.append(known && g.mean > g.threshold      ? BatchRowLayer::Ng
                         : known && band.contains(g.mean, g.threshold) ? BatchRowLayer::Near
                                                                    : BatchRowLayer::Pass);
            names.append(tr("%1: %n rows, mean ΔE %2, highest %3, NG %4, near the limit %5", nullptr, int(g.n))
                             .arg(g.first.toString(Qt::ISODate))
                             .arg(g.mean, 0, 'f', 2)
                             .arg(g.maxDeltaE, 0, 'f', 2)
                             .arg(g.ng)
                             .arg(g.nearLimit));
            stepTo(x, g.threshold);
            top = std::max(top, g.mean);
            double sum = 0, n = 0;
            for (size_t j = i + 1 >= window ? i + 1 - window : 0; j <= i; ++j) {
                sum += data.groups[j].mean * double(data.groups[j].n);
                n += double(data.groups[j].n);
            }
            m_moving.push_back(n > 0 ? sum / n : 0);
        }
    }
    m_points = int(dots.size());
    // The moving mean, thinned to what a chart can show: every point would be a segment of one
    // path, and a path of thousands of segments is slow to stroke.
    QList<QPointF> mean;
    const int stride = std::max(1, int(dots.size() / 2000));
    for (int i = 0; i < dots.size(); i += stride)
        mean.append({dots[i].x(), m_moving[size_t(i)]});
    if (!dots.isEmpty() && (dots.size() - 1) % stride != 0)
        mean.append({dots.last().x(), m_moving.back()});
    m_mean->replace(mean);
    if (!thresholdLine.isEmpty() && !dots.isEmpty())
        thresholdLine.append({dots.last().x(), thresholdLine.last().y()});
    m_threshold->replace(thresholdLine);
    for (const QPointF &p : std::as_const(thresholdLine))
        top = std::max(top, p.y());

    // The range: the points' with a margin on both sides; a single moment gets an hour around it.
    double from = dots.isEmpty() ? double(QDateTime::currentMSecsSinceEpoch() - 86400000LL) : dots.first().x();
    double to = dots.isEmpty() ? double(QDateTime::currentMSecsSinceEpoch()) : dots.last().x();
    if (to - from < 3600000.0) {
        from -= 1800000.0;
        to += 1800000.0;
    }
    const double margin = (to - from) * 0.03;
    m_x->setRange(QDateTime::fromMSecsSinceEpoch(qint64(from - margin)), QDateTime::fromMSecsSinceEpoch(qint64(to + margin)));
    m_x->setFormat(to - from > 3 * 86400000.0 ? QStringLiteral("yyyy-MM-dd") : QStringLiteral("MM-dd HH:mm"));
    m_y->setRange(0, std::max(top, 0.5) * 1.15);
    m_y->applyNiceNumbers();
    m_legendNear->setVisible(band.enabled);
    m_layer->setRows(dots, kinds, names, -1);
    retranslate();
}

QString HistoryTrendChart::summaryText(const HistoryTrendData &data)
{
    const HistoryTrendSummary &s = data.summary;
    if (!data.ok)
        return tr("The trend cannot be read: %1").arg(data.error);
    if (s.n == 0)
        return tr("No judged rows to show.");
    QString ppk;
    if (std::isfinite(s.ppk))
        ppk = tr("Ppk %1 (threshold %2)").arg(s.ppk, 0, 'f', 2).arg(s.threshold, 0, 'f', 2);
    else if (!std::isfinite(s.threshold))
        ppk = tr("Ppk: none, the rows were not all judged against one known threshold");
    else
        ppk = tr("Ppk: none, the rows have no spread");
    return tr("n = %1, NG %2, mean ΔE %3, SD %4, %5")
        .arg(s.n)
        .arg(s.ng)
        .arg(s.mean, 0, 'f', 3)
        .arg(std::isfinite(s.sd) ? QString::number(s.sd, 'f', 3) : QStringLiteral("-"))
        .arg(ppk);
}
