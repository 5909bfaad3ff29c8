#include "batchcharts.h"

#include "deltae.h"

#include <QAreaSeries>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QBuffer>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QGraphicsSceneHoverEvent>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPaintEngine>
#include <QPainter>
#include <QScatterSeries>
#include <QSet>
#include <QSvgGenerator>
#include <QToolTip>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPointRadius = 3.5;
constexpr double kCurrentRadius = 7.0;
constexpr double kHoverDistance = 6.0;

// Above the plot's grid, below the series of the contour and the limits, which stay readable
// over a dense cloud of rows.
constexpr qreal kLayerZ = 4.5;

// A row without a value of the plotted quantity (a ΔE never computed) is not drawn.
bool finite(const QPointF &p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

double finiteMax(double a, double b)
{
    if (!std::isfinite(b))
        return a;
    return std::max(a, b);
}

// Ticks at round values (1, 2 or 5 times a power of ten) from 0, about `intervals` over the
// span, with as many decimals as the step needs; `integers` for row numbers.
void roundTicks(QValueAxis *axis, double span, int intervals, bool integers = false)
{
    if (!(span > 0) || !std::isfinite(span))
        return;
    const double raw = span / intervals;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * power;
        if (step >= raw)
            break;
    }
    if (integers)
        step = std::max(1.0, std::round(step));
    const int decimals = integers ? 0 : std::max(0, int(-std::floor(std::log10(step) + 1e-9)));
    const QString format = QStringLiteral("%.%1f").arg(decimals);
    if (axis->tickType() != QValueAxis::TicksDynamic)
        axis->setTickType(QValueAxis::TicksDynamic);
    if (axis->tickAnchor() != 0)
        axis->setTickAnchor(0);
    if (axis->tickInterval() != step)
        axis->setTickInterval(step);
    if (axis->labelFormat() != format)
        axis->setLabelFormat(format);
}

QLineSeries *dashedLine(const QColor &colour, qreal width = 1.5)
{
    auto *series = new QLineSeries;
    QPen pen(colour, width, Qt::DashLine);
    series->setPen(pen);
    return series;
}

QScatterSeries *legendOnly(const QColor &colour)
{
    // A series without points: it gives the legend an entry in the rows' colour.
    auto *series = new QScatterSeries;
    series->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    series->setMarkerSize(2 * kPointRadius + 2);
    series->setColor(colour);
    series->setBorderColor(colour);
    return series;
}

void attach(QChart *chart, QAbstractSeries *series, QValueAxis *x, QValueAxis *y)
{
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

} // namespace

// ---- BatchRowLayer ----

BatchRowLayer::BatchRowLayer(QChart *chart, QAbstractAxis *x, QValueAxis *y, Mode mode)
    : QGraphicsObject(chart), m_chart(chart), m_x(x), m_y(y), m_mode(mode)
{
    setZValue(kLayerZ);
    setAcceptHoverEvents(true);
    m_plot = chart->plotArea();
    QObject::connect(chart, &QChart::plotAreaChanged, this, [this](const QRectF &) { geometryChanged(); });
    if (auto *values = qobject_cast<QValueAxis *>(x))
        QObject::connect(values, &QValueAxis::rangeChanged, this, [this] { update(); });
    else if (auto *times = qobject_cast<QDateTimeAxis *>(x))
        QObject::connect(times, &QDateTimeAxis::rangeChanged, this, [this] { update(); });
    QObject::connect(y, &QValueAxis::rangeChanged, this, [this] { update(); });
}

double BatchRowLayer::xMin() const
{
    if (auto *times = qobject_cast<QDateTimeAxis *>(m_x))
        return double(times->min().toMSecsSinceEpoch());
    return static_cast<QValueAxis *>(m_x)->min();
}

double BatchRowLayer::xMax() const
{
    if (auto *times = qobject_cast<QDateTimeAxis *>(m_x))
        return double(times->max().toMSecsSinceEpoch());
    return static_cast<QValueAxis *>(m_x)->max();
}

void BatchRowLayer::geometryChanged()
{
    prepareGeometryChange();
    m_plot = m_chart->plotArea();
    update();
}

void BatchRowLayer::setRows(QVector<QPointF> values, QVector<quint8> kinds, QStringList names, int current)
{
    m_values = std::move(values);
    m_kinds = std::move(kinds);
    m_names = std::move(names);
    m_current = current;
    update();
}

QRectF BatchRowLayer::boundingRect() const
{
    return m_plot;
}

QColor BatchRowLayer::colour(Kind kind)
{
    switch (kind) {
    case Pass:
        return QColor(0, 150, 60);
    case Ng:
        return QColor(215, 25, 30);
    case Near:
        return QColor(245, 160, 0);
    }
    return Qt::gray;
}

QPointF BatchRowLayer::map(const QPointF &value) const
{
    const double x0 = xMin();
    const double xs = xMax() - x0;
    const double ys = m_y->max() - m_y->min();
    if (!(xs > 0) || !(ys > 0))
        return m_plot.center();
    return {m_plot.left() + (value.x() - x0) / xs * m_plot.width(),
            m_plot.bottom() - (value.y() - m_y->min()) / ys * m_plot.height()};
}

QPointF BatchRowLayer::positionOf(int row) const
{
    return row >= 0 && row < m_values.size() ? map(m_values[row]) : QPointF();
}

// On the screen a dot is a small picture stamped at its place, drawn once per colour, size and
// scale: thousands of antialiased ellipses, each turned into curves and polygons, cost more than
// the rest of a repaint. On a printer or into an SVG file each dot is an ellipse, so it stays a
// vector: there the stamp is null. Looked up once per colour and paint, not per dot.
QPixmap BatchRowLayer::stamp(QPainter *painter, double radius, Kind kind)
{
    if (painter->paintEngine()->type() != QPaintEngine::Raster)
        return QPixmap();
    const qreal scale = painter->device()->devicePixelRatioF() * painter->transform().m11();
    const quint64 key = (quint64(kind) << 56) | (quint64(std::lround(radius * 64)) << 32)
                        | quint64(std::lround(scale * 4096) & 0xffffffff);
    QPixmap &stamp = m_stamps[key];
    if (stamp.isNull()) {
        const int side = int(std::ceil((2 * radius + 2) * scale));
        stamp = QPixmap(side, side);
        stamp.fill(Qt::transparent);
        QPainter p(&stamp);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(colour(kind));
        p.drawEllipse(QPointF(side / 2.0, side / 2.0), radius * scale, radius * scale);
        p.end();
        stamp.setDevicePixelRatio(scale);
    }
    return stamp;
}

void BatchRowLayer::drawDot(QPainter *painter, const QPointF &centre, double radius, Kind kind, const QPixmap &stamp)
{
    if (stamp.isNull()) {
        painter->setBrush(colour(kind));
        painter->drawEllipse(centre, radius, radius);
        return;
    }
    const qreal half = stamp.width() / (2.0 * stamp.devicePixelRatio());
    painter->drawPixmap(QPointF(centre.x() - half, centre.y() - half), stamp);
}

void BatchRowLayer::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    if (m_values.isEmpty() || m_plot.isEmpty())
        return;
    painter->save();
    painter->setClipRect(m_plot);
    const int n = int(m_values.size());

    switch (m_mode) {
    case Mode::Scatter: {
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->setPen(Qt::NoPen);
        // NG last, so a failing row is never hidden under a passing one. Rows that land on the
        // same spot of the picture are drawn once.
        QSet<qint64> drawn;
        drawn.reserve(n);
        for (quint8 kind : {quint8(Pass), quint8(Near), quint8(Ng)}) {
            const QPixmap picture = stamp(painter, kPointRadius, Kind(kind));
            drawn.clear();
            for (int i = 0; i < n; ++i) {
                if (m_kinds[i] != kind || i == m_current || !finite(m_values[i]))
                    continue;
                const QPointF p = map(m_values[i]);
                const qint64 key = (qint64(std::lround(p.x() * 4)) << 32) ^ qint64(std::lround(p.y() * 4) & 0xffffffff);
                if (drawn.contains(key))
                    continue;
                drawn.insert(key);
                drawDot(painter, p, kPointRadius, Kind(kind), picture);
            }
        }
        break;
    }
    case Mode::Bars: {
        const double slot = m_plot.width() / std::max(1.0, xMax() - xMin());
        const double width = std::max(1.0, slot * 0.7);
        painter->setRenderHint(QPainter::Antialiasing, slot > 3);
        const double zero = map({0, 0}).y();
        for (int i = 0; i < n; ++i) {
            if (!finite(m_values[i]))
                continue;
            const QPointF p = map(m_values[i]);
            painter->fillRect(QRectF(p.x() - width / 2, std::min(p.y(), zero), width, std::fabs(p.y() - zero)),
                              colour(Kind(m_kinds[i])));
        }
        break;
    }
    case Mode::Run: {
        painter->setRenderHint(QPainter::Antialiasing, n <= 2000);
        QPolygonF line;
        line.reserve(n);
        for (const QPointF &v : std::as_const(m_values))
            line.append(map(v));
        // Segment by segment: one polyline of thousands of crossing segments is stroked as one
        // path, which the raster engine fills in hundreds of milliseconds.
        QVector<QLineF> segments;
        segments.reserve(n);
        for (int i = 1; i < n; ++i) {
            if (finite(m_values[i - 1]) && finite(m_values[i]))
                segments.append(QLineF(line[i - 1], line[i]));
        }
        painter->setPen(QPen(QColor(60, 90, 150), n <= 300 ? 1.2 : 0.8));
        painter->drawLines(segments);
        painter->setPen(Qt::NoPen);
        const double r = n <= 300 ? 3.0 : 2.0;
        const QPixmap pictures[] = {stamp(painter, r, Pass), stamp(painter, r, Ng), stamp(painter, r, Near)};
        for (int i = 0; i < n; ++i) {
            if ((m_kinds[i] == Pass && n > 300) || !finite(m_values[i]))
                continue;
            drawDot(painter, line[i], r, Kind(m_kinds[i]), pictures[m_kinds[i]]);
        }
        break;
    }
    }

    // The current row on top, larger, ringed.
    if (m_current >= 0 && m_current < n && finite(m_values[m_current])) {
        painter->setRenderHint(QPainter::Antialiasing, true);
        const QPointF p = map(m_values[m_current]);
        painter->setPen(QPen(Qt::black, 1.5));
        painter->setBrush(colour(Kind(m_kinds[m_current])));
        if (m_mode == Mode::Bars) {
            const double slot = m_plot.width() / std::max(1.0, xMax() - xMin());
            const double width = std::max(3.0, slot * 0.7);
            const double zero = map({0, 0}).y();
            painter->drawRect(QRectF(p.x() - width / 2, std::min(p.y(), zero), width, std::fabs(p.y() - zero)));
        } else {
            painter->drawEllipse(p, kCurrentRadius * (m_mode == Mode::Run ? 0.7 : 1.0),
                                 kCurrentRadius * (m_mode == Mode::Run ? 0.7 : 1.0));
        }
    }
    painter->restore();
}

int BatchRowLayer::rowAt(const QPointF &chartPosition) const
{
    if (m_current >= 0 && m_current < m_values.size()
        && QLineF(map(m_values[m_current]), chartPosition).length() <= kCurrentRadius + 2)
        return m_current;
    int best = -1;
    double bestDistance = kHoverDistance;
    for (int i = 0; i < m_values.size(); ++i) {
        const double d = QLineF(map(m_values[i]), chartPosition).length();
        if (d <= bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

QString BatchRowLayer::nameAt(const QPointF &chartPosition) const
{
    const int row = rowAt(chartPosition);
    return row >= 0 ? m_names.value(row) : QString();
}

void BatchRowLayer::hoverMoveEvent(QGraphicsSceneHoverEvent *event)
{
    const QString name = nameAt(event->pos());
    if (name.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->screenPos(), name);
    QGraphicsObject::hoverMoveEvent(event);
}

void BatchRowLayer::hoverLeaveEvent(QGraphicsSceneHoverEvent *event)
{
    QToolTip::hideText();
    QGraphicsObject::hoverLeaveEvent(event);
}

// ---- BatchCharts ----

BatchCharts::BatchCharts()
{
    buildAb();
    buildLightness();
    buildRun();
    for (QChart *chart : m_charts) {
        chart->setAnimationOptions(QChart::NoAnimation);
        chart->legend()->setAlignment(Qt::AlignBottom);
        chart->setBackgroundRoundness(0);
        chart->setMargins(QMargins(4, 4, 4, 4));
    }
}

BatchCharts::~BatchCharts()
{
    for (QChart *chart : m_charts) {
        if (chart && !chart->scene())
            delete chart;
    }
}

void BatchCharts::buildAb()
{
    auto *chart = new QChart;
    auto *x = new QValueAxis;
    auto *y = new QValueAxis;
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    m_contour = new QLineSeries;
    m_contour->setPen(QPen(QColor(30, 30, 30), 1.6));
    m_legendPass = legendOnly(BatchRowLayer::colour(BatchRowLayer::Pass));
    m_legendNg = legendOnly(BatchRowLayer::colour(BatchRowLayer::Ng));
    m_legendNear = legendOnly(BatchRowLayer::colour(BatchRowLayer::Near));
    for (QAbstractSeries *s : std::initializer_list<QAbstractSeries *>{m_contour, m_legendPass, m_legendNg, m_legendNear})
        attach(chart, s, x, y);
    m_charts[AbPlot] = chart;
    m_xAxes[AbPlot] = x;
    m_yAxes[AbPlot] = y;
    m_layers[AbPlot] = new BatchRowLayer(chart, x, y, BatchRowLayer::Mode::Scatter);
    // A new size of the plot area (the window resized, other texts) is fitted after the layout
    // that gave it, not inside it.
    QObject::connect(chart, &QChart::plotAreaChanged, chart, [this] { fitAbScale(); }, Qt::QueuedConnection);
}

void BatchCharts::fitAbScale()
{
    QChart *chart = m_charts[AbPlot];
    if (!chart)
        return;
    const auto same = [](double a, double b) { return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b)); };
    if (chart->size() == m_abFitSize && m_abExtent == m_abFitExtent && chart->plotArea() == m_abFitArea)
        return;
    QValueAxis *x = m_xAxes[AbPlot];
    QValueAxis *y = m_yAxes[AbPlot];
    // A few rounds at most: the labels of the new range may move the plot's edges by a few
    // pixels, and the next round takes that in. Labels that went back and forth would end here
    // a pixel or two from equal, never in a loop of layouts.
    for (int round = 0; round < 4; ++round) {
        if (chart->layout())
            chart->layout()->activate();
        const QRectF plot = chart->plotArea();
        double hx = m_abExtent, hy = m_abExtent;
        if (plot.width() > 1 && plot.height() > 1) {
            if (plot.width() >= plot.height())
                hx = m_abExtent * plot.width() / plot.height();
            else
                hy = m_abExtent * plot.height() / plot.width();
        }
        if (same(x->max(), hx) && same(x->min(), -hx) && same(y->max(), hy) && same(y->min(), -hy))
            break;
        x->setRange(-hx, hx);
        y->setRange(-hy, hy);
        // The same round step across and up: the grid's squares are squares.
        roundTicks(x, 2 * std::min(hx, hy), 5);
        roundTicks(y, 2 * std::min(hx, hy), 5);
    }
    if (chart->layout())
        chart->layout()->activate();
    m_abFitSize = chart->size();
    m_abFitExtent = m_abExtent;
    m_abFitArea = chart->plotArea();
}

QPointF BatchCharts::abHalfRanges() const
{
    return {m_xAxes[AbPlot]->max(), m_yAxes[AbPlot]->max()};
}

void BatchCharts::buildLightness()
{
    auto *chart = new QChart;
    auto *x = new QValueAxis;
    auto *y = new QValueAxis;
    x->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    m_lightnessUp = dashedLine(QColor(30, 30, 30));
    m_lightnessDown = dashedLine(QColor(30, 30, 30));
    attach(chart, m_lightnessUp, x, y);
    attach(chart, m_lightnessDown, x, y);
    // One entry in the legend for both limits.
    const auto markers = chart->legend()->markers(m_lightnessDown);
    for (QLegendMarker *marker : markers)
        marker->setVisible(false);
    m_charts[LightnessPlot] = chart;
    m_xAxes[LightnessPlot] = x;
    m_yAxes[LightnessPlot] = y;
    m_layers[LightnessPlot] = new BatchRowLayer(chart, x, y, BatchRowLayer::Mode::Bars);
}

void BatchCharts::buildRun()
{
    auto *chart = new QChart;
    auto *x = new QValueAxis;
    auto *y = new QValueAxis;
    x->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    m_bandUpper = new QLineSeries;
    m_bandLower = new QLineSeries;
    m_band = new QAreaSeries(m_bandUpper, m_bandLower);
    QColor amber = BatchRowLayer::colour(BatchRowLayer::Near);
    amber.setAlpha(70);
    m_band->setBrush(amber);
    m_band->setPen(Qt::NoPen);
    attach(chart, m_band, x, y);
    m_thresholdLine = dashedLine(BatchRowLayer::colour(BatchRowLayer::Ng));
    attach(chart, m_thresholdLine, x, y);
    m_charts[RunPlot] = chart;
    m_xAxes[RunPlot] = x;
    m_yAxes[RunPlot] = y;
    m_layers[RunPlot] = new BatchRowLayer(chart, x, y, BatchRowLayer::Mode::Run);
}

QString BatchCharts::title(Plot plot)
{
    switch (plot) {
    case AbPlot:
        return tr("a*b* plot");
    case LightnessPlot:
        return tr("ΔL* chart");
    case RunPlot:
        return tr("ΔE run chart");
    case PlotCount:
        break;
    }
    return QString();
}

void BatchCharts::retranslate(const BatchSnapshot &s)
{
    // Each text is set only when it changed: a new text lays the chart out again.
    const auto title = [](QChart *chart, const QString &text) {
        if (chart->title() != text)
            chart->setTitle(text);
    };
    const auto axisTitle = [](QAbstractAxis *axis, const QString &text) {
        if (axis->titleText() != text)
            axis->setTitleText(text);
    };
    const auto name = [](QAbstractSeries *series, const QString &text) {
        if (series->name() != text)
            series->setName(text);
    };
    QString abTitle = BatchCharts::title(AbPlot);
    if (!s.contour.valid())
        abTitle += QStringLiteral("\n") + tr("No tolerance contour: the ΔE formula or threshold of the current row is unknown");
    title(m_charts[AbPlot], abTitle);
    title(m_charts[LightnessPlot], BatchCharts::title(LightnessPlot));
    title(m_charts[RunPlot], BatchCharts::title(RunPlot));
    axisTitle(m_xAxes[AbPlot], tr("Δa*   (−a* green ← → +a* red)"));
    axisTitle(m_yAxes[AbPlot], tr("Δb*   (−b* blue ← → +b* yellow)"));
    axisTitle(m_xAxes[LightnessPlot], tr("Row"));
    axisTitle(m_yAxes[LightnessPlot], tr("ΔL*   (− darker, + lighter)"));
    axisTitle(m_xAxes[RunPlot], tr("Row"));
    axisTitle(m_yAxes[RunPlot], tr("ΔE"));
    name(m_legendPass, tr("PASS"));
    name(m_legendNg, tr("NG"));
    name(m_legendNear, tr("Near limit"));
    const QString formula = s.formula >= 0 ? QString::fromUtf8(deltaEFormulaLabel(s.formula)) : QString();
    name(m_contour, s.contour.valid() ? tr("Tolerance contour %1 = %2").arg(formula, batchformat::threshold(s.threshold))
                                      : tr("Tolerance contour"));
    name(m_lightnessUp, tr("ΔL* alone at the threshold"));
    name(m_thresholdLine, tr("Threshold %1").arg(batchformat::threshold(s.threshold)));
    name(m_band, tr("Near limit: above %1 % of the threshold").arg(s.band.percent));
}

void BatchCharts::update(const BatchSnapshot &s, unsigned plots)
{
    const int n = int(s.rows.size());
    QVector<QPointF> ab, dl, run;
    QVector<quint8> kinds;
    QStringList names;
    ab.reserve(n);
    dl.reserve(n);
    run.reserve(n);
    kinds.reserve(n);
    names.reserve(n);
    int current = -1;
    double extentAb = 0, extentL = 0, extentE = 0;
    for (int i = 0; i < n; ++i) {
        const BatchRow &row = s.rows[i];
        if (!row.judged())
            continue;
        if (i == s.current)
            current = int(ab.size());
        const double da = batchValue(row, BatchQuantity::DeltaA);
        const double db = batchValue(row, BatchQuantity::DeltaB);
        const double dL = batchValue(row, BatchQuantity::DeltaL);
        ab.append({da, db});
        dl.append({double(i + 1), dL});
        run.append({double(i + 1), row.deltaE});
        kinds.append(row.verdict == BatchVerdict::Ng ? BatchRowLayer::Ng
                     : s.nearLimit(i)               ? BatchRowLayer::Near
                                                     : BatchRowLayer::Pass);
        names.append(row.testName);
        extentAb = finiteMax(extentAb, std::max(std::fabs(da), std::fabs(db)));
        extentL = finiteMax(extentL, std::fabs(dL));
        extentE = finiteMax(extentE, row.deltaE);
    }
    const double threshold = std::isfinite(s.threshold) && s.threshold > 0 ? s.threshold : 0.0;
    const double xMax = std::max(1, n) + 0.5;
    const auto horizontal = [&](double y) {
        return std::isfinite(y) ? QList<QPointF>{{0.5, y}, {xMax, y}} : QList<QPointF>{};
    };
    // A series is given new points only when they differ: each replacement makes the chart lay
    // out and draw the series again.
    const auto replace = [](QXYSeries *series, const QList<QPointF> &points) {
        if (series->points() != points)
            series->replace(points);
    };

    if (plots & (1u << AbPlot)) {
        // The contour, closed; rays that never reach the threshold run to the search limit and
        // are cut by the plot's edge.
        QList<QPointF> contour;
        contour.reserve(s.contour.points.size() + 1);
        double contourExtent = 0;
        for (const ContourPoint &p : s.contour.points) {
            contour.append({p.da, p.db});
            if (p.reached)
                contourExtent = std::max(contourExtent, std::max(std::fabs(p.da), std::fabs(p.db)));
        }
        if (!contour.isEmpty())
            contour.append(contour.first());
        replace(m_contour, contour);
        m_abExtent = std::max({extentAb, contourExtent, 0.5}) * 1.15;
        m_legendNear->setVisible(s.band.enabled);
        m_layers[AbPlot]->setRows(ab, kinds, names, current);
    }

    for (Plot p : {LightnessPlot, RunPlot}) {
        if (plots & (1u << p)) {
            m_xAxes[p]->setRange(0.5, xMax);
            roundTicks(m_xAxes[p], xMax - 0.5, 8, true);
        }
    }

    if (plots & (1u << LightnessPlot)) {
        double lr = extentL;
        lr = finiteMax(lr, std::fabs(s.contour.lightnessUp));
        lr = finiteMax(lr, std::fabs(s.contour.lightnessDown));
        lr = std::max(lr, 0.5) * 1.15;
        m_yAxes[LightnessPlot]->setRange(-lr, lr);
        roundTicks(m_yAxes[LightnessPlot], 2 * lr, 6);
        replace(m_lightnessUp, horizontal(s.contour.lightnessUp));
        replace(m_lightnessDown, horizontal(s.contour.lightnessDown));
        m_layers[LightnessPlot]->setRows(dl, kinds, names, current);
    }

    if (plots & (1u << RunPlot)) {
        const double runTop = std::max({extentE, threshold, 0.5}) * 1.15;
        m_yAxes[RunPlot]->setRange(0, runTop);
        roundTicks(m_yAxes[RunPlot], runTop, 5);
        replace(m_thresholdLine, threshold > 0 ? horizontal(threshold) : QList<QPointF>{});
        m_thresholdLine->setVisible(threshold > 0);
        const bool band = s.band.enabled && threshold > 0;
        replace(m_bandUpper, band ? horizontal(threshold) : QList<QPointF>{});
        replace(m_bandLower, band ? horizontal(threshold * s.band.percent / 100.0) : QList<QPointF>{});
        m_band->setVisible(band);
        m_layers[RunPlot]->setRows(run, kinds, names, current);
    }

    retranslate(s);
    if (plots & (1u << AbPlot))
        fitAbScale();
}

namespace {

// Lays out a chart of the given size in a scene of its own and hands it to draw.
template <class Draw>
void withChart(const BatchSnapshot &snapshot, BatchCharts::Plot plot, const QSize &size, Draw draw)
{
    QGraphicsScene scene;
    BatchCharts charts;
    QChart *chart = charts.chart(plot);
    scene.addItem(chart);
    chart->resize(size);
    charts.update(snapshot);
    chart->layout()->activate();
    // The legend lays its entries out in a layout of its own, which a view would do at the next
    // turn of the event loop; without it the names set since are drawn cut to nothing.
    if (QGraphicsLayout *legend = chart->legend()->layout())
        legend->activate();
    scene.setSceneRect(chart->geometry());
    draw(scene, chart);
}

} // namespace

void BatchCharts::render(const BatchSnapshot &snapshot, Plot plot, const QSize &size, QPainter *painter,
                         const QRectF &target)
{
    withChart(snapshot, plot, size, [&](QGraphicsScene &scene, QChart *chart) {
        scene.render(painter, target, chart->geometry(), Qt::KeepAspectRatio);
    });
}

QImage BatchCharts::image(const BatchSnapshot &snapshot, Plot plot, const QSize &size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    render(snapshot, plot, size, &painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    return image;
}

QByteArray BatchCharts::svg(const BatchSnapshot &snapshot, Plot plot, const QSize &size)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(title(plot));
    QPainter painter(&svg);
    render(snapshot, plot, size, &painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    return buffer.data();
}
