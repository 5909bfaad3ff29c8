#pragma once

#include "batchsnapshot.h"

#include <QChart>
#include <QCoreApplication>
#include <QGraphicsObject>
#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <QPointF>
#include <QVector>

class QAbstractAxis;
class QAreaSeries;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

// The rows of a batch drawn into a chart's plot area by one item. Qt Charts makes a graphics
// item per point of a scatter series (and a path with a stroke of all points for a line series),
// which takes seconds at tens of thousands of rows; this item paints them itself, with the
// chart's axes, so the chart keeps its axes, grid, legend and the series of the contour and the
// limits, and the rows stay cheap at any count. It paints with plain QPainter calls: on a
// printer or an SVG file the rows are vector graphics like the rest of the chart.
class BatchRowLayer : public QGraphicsObject
{
    Q_OBJECT
public:
    enum class Mode {
        Scatter, // a point per row at (x, y); the current row larger
        Bars,    // a bar per row from 0 to y at x
        Run,     // a line through the rows in order, dots on the marked ones
    };
    enum Kind : quint8 { Pass, Ng, Near };

    // x is a value axis, or a date-time axis whose values are milliseconds since the epoch
    // (the history's trend over time).
    BatchRowLayer(QChart *chart, QAbstractAxis *x, QValueAxis *y, Mode mode);

    // values[i] is row i's point, kinds[i] its colour, names[i] what hovering it tells.
    void setRows(QVector<QPointF> values, QVector<quint8> kinds, QStringList names, int current);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

    // The row drawn nearest to a point of the chart, within a few pixels; -1 when none. The
    // current row is found first, as it is drawn on top.
    int rowAt(const QPointF &chartPosition) const;
    QString nameAt(const QPointF &chartPosition) const;
    QPointF positionOf(int row) const; // in the chart's coordinates

    static QColor colour(Kind kind);

protected:
    void hoverMoveEvent(QGraphicsSceneHoverEvent *event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent *event) override;

private:
    QPointF map(const QPointF &value) const;
    double xMin() const;
    double xMax() const;
    void geometryChanged();
    QPixmap stamp(QPainter *painter, double radius, Kind kind);
    void drawDot(QPainter *painter, const QPointF &centre, double radius, Kind kind, const QPixmap &stamp);

    QChart *m_chart;
    QAbstractAxis *m_x;
    QValueAxis *m_y;
    Mode m_mode;
    QVector<QPointF> m_values;
    QVector<quint8> m_kinds;
    QStringList m_names;
    int m_current = -1;
    QRectF m_plot;
    QHash<quint64, QPixmap> m_stamps; // dots as pictures for the screen, by colour, size and scale
};

// The three plots of the batch window and the batch report, built from a snapshot.
class BatchCharts
{
    Q_DECLARE_TR_FUNCTIONS(BatchCharts)
public:
    BatchCharts();
    ~BatchCharts();
    BatchCharts(const BatchCharts &) = delete;
    BatchCharts &operator=(const BatchCharts &) = delete;

    enum Plot { AbPlot, LightnessPlot, RunPlot, PlotCount };

    // The charts. A chart put into a scene (a chart view's, or one of its own) belongs to the
    // scene; the others go with this object.
    QChart *chart(Plot plot) const { return m_charts[plot]; }
    BatchRowLayer *layer(Plot plot) const { return m_layers[plot]; }

    static constexpr unsigned AllPlots = (1u << PlotCount) - 1;
    // Draws the snapshot in the plots given (a set of 1 << Plot); the others keep what they
    // showed. Texts are set in all of them.
    void update(const BatchSnapshot &snapshot, unsigned plots = AllPlots);

    // Texts that change with the language.
    void retranslate(const BatchSnapshot &snapshot);

    // One plot of a snapshot drawn on its own, at a fixed size: on an image (PNG, the
    // clipboard), into an SVG file or onto a painter (the batch report).
    static QImage image(const BatchSnapshot &snapshot, Plot plot, const QSize &size);
    static QByteArray svg(const BatchSnapshot &snapshot, Plot plot, const QSize &size);
    static void render(const BatchSnapshot &snapshot, Plot plot, const QSize &size, QPainter *painter,
                       const QRectF &target);
    static QString title(Plot plot);

    // The a*b* plot's half-ranges now (Δa*, Δb*): equal units per pixel on both axes.
    QPointF abHalfRanges() const;

private:
    void buildAb();
    // Widens the range of the a*b* plot's longer side so that both axes have the same units per
    // pixel (a ΔE*ab circle is drawn round), and lays the chart out again until its plot area
    // agrees with the ranges (the labels of a new range may take other room).
    void fitAbScale();
    void buildLightness();
    void buildRun();

    QPointer<QChart> m_charts[PlotCount];
    BatchRowLayer *m_layers[PlotCount] = {};
    QValueAxis *m_xAxes[PlotCount] = {};
    QValueAxis *m_yAxes[PlotCount] = {};
    QLineSeries *m_contour = nullptr;
    QScatterSeries *m_legendPass = nullptr;
    QScatterSeries *m_legendNg = nullptr;
    QScatterSeries *m_legendNear = nullptr;
    QLineSeries *m_lightnessUp = nullptr;
    QLineSeries *m_lightnessDown = nullptr;
    QLineSeries *m_thresholdLine = nullptr;
    QAreaSeries *m_band = nullptr;
    QLineSeries *m_bandUpper = nullptr;
    QLineSeries *m_bandLower = nullptr;
    double m_abExtent = 1;  // half the range both a*b* axes need at least
    // What the a*b* scale was last fitted to: the chart's size, the extent and the plot area that
    // came of it. Fitted again only when one of them changed.
    QSizeF m_abFitSize;
    double m_abFitExtent = -1;
    QRectF m_abFitArea;
};
