#include "batchreport.h"

#include "batchcharts.h"

#include <QDateTime>
#include <QLoggingCategory>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

Q_DECLARE_LOGGING_CATEGORY(lcBatch)

namespace {

// The different values of one field over the rows, in the order met: one value when the batch
// is of one device (or formula, ...), a short list otherwise.
template <class Field>
QString distinct(const std::vector<BatchRow> &rows, Field field)
{
    QStringList values;
    for (const BatchRow &row : rows) {
        const QString v = field(row).trimmed();
        if (!v.isEmpty() && !values.contains(v)) {
            values.append(v);
            if (values.size() > 3)
                break;
        }
    }
    if (values.size() > 3) {
        values.removeLast();
        values.append(QStringLiteral("…"));
    }
    return values.join(QStringLiteral(", "));
}

// The time of a row as the table writes it (one or two blanks between date and time).
QDateTime rowTime(const QString &text)
{
    const QString t = text.simplified();
    return QDateTime::fromString(t, QStringLiteral("yyyy/MM/dd hh:mm"));
}

struct Page
{
    QPainter *painter;
    QPrinter *printer;
    double dpi;
    QRectF area;
    double pt(double points) const { return points * dpi / 72.0; }
};

QFont font(double points, bool bold = false)
{
    QFont f;
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

} // namespace

QList<QPair<QString, QString>> BatchReport::heading(const BatchSnapshot &s)
{
    const auto &rows = s.rows;
    QString first, last;
    QDateTime firstTime, lastTime;
    for (const BatchRow &row : rows) {
        const QDateTime t = rowTime(row.timeText);
        if (!t.isValid())
            continue;
        if (!firstTime.isValid() || t < firstTime) {
            firstTime = t;
            first = row.timeText.simplified();
        }
        if (!lastTime.isValid() || t > lastTime) {
            lastTime = t;
            last = row.timeText.simplified();
        }
    }
    if (!firstTime.isValid() && !rows.empty()) {
        first = rows.front().timeText.simplified();
        last = rows.back().timeText.simplified();
    }
    const QString scope = s.selectionOnly ? tr("Selected rows: %1 of %2").arg(rows.size()).arg(s.tableRows)
                                          : tr("All rows: %1").arg(rows.size());
    const QString band = s.band.enabled ? tr("above %1 % of the threshold").arg(s.band.percent) : tr("off");
    return {
        {tr("Device:"), distinct(rows, [](const BatchRow &r) { return r.deviceName; })},
        {tr("SN:"), distinct(rows, [](const BatchRow &r) { return r.serialNumber; })},
        {tr("ΔE formula:"), distinct(rows, [](const BatchRow &r) { return r.formulaText; })},
        {tr("ΔE threshold:"), distinct(rows, [](const BatchRow &r) { return r.thresholdText; })},
        {tr("First time:"), first},
        {tr("Last time:"), last},
        {tr("Company:"), s.info.company},
        {tr("Tester:"), s.info.tester},
        {tr("Auditor:"), s.info.auditor},
        {tr("Rows:"), scope},
        {tr("Near-limit band:"), band},
        {tr("Printed:"), QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd hh:mm"))},
    };
}

QList<QPair<QString, QString>> BatchReport::counts(const BatchSnapshot &s)
{
    const BatchStatistics &st = s.statistics;
    const QString largest = st.largestRow >= 0
                                ? tr("%1 (%2)").arg(s.rows[st.largestRow].testName,
                                                    batchformat::value(s.rows[st.largestRow].deltaE))
                                : QString();
    return {
        {tr("Rows judged:"), QString::number(st.judged)},
        {tr("PASS:"), QString::number(st.pass)},
        {tr("NG:"), QString::number(st.ng)},
        {tr("Pass rate:"), batchformat::passRate(st.passRate)},
        {tr("Near limit:"), s.band.enabled ? QString::number(st.nearLimit) : tr("off")},
        {tr("Largest ΔE:"), largest},
        {tr("Not judged:"), QString::number(st.notJudged.size())},
    };
}

QStringList BatchReport::columnTitles()
{
    return {tr("No."), tr("Test Name"), tr("DateTime"), QStringLiteral("ΔL*"), QStringLiteral("Δa*"),
            QStringLiteral("Δb*"),      QStringLiteral("ΔC*"), QStringLiteral("Δh"), QStringLiteral("ΔE"),
            tr("Result"), tr("Note")};
}

QStringList BatchReport::rowTexts(const BatchSnapshot &s, int i)
{
    const BatchRow &row = s.rows[i];
    QStringList texts{QString::number(row.tableRow + 1), row.testName, row.timeText.simplified()};
    for (BatchQuantity q : {BatchQuantity::DeltaL, BatchQuantity::DeltaA, BatchQuantity::DeltaB, BatchQuantity::DeltaC,
                            BatchQuantity::DeltaH, BatchQuantity::DeltaE})
        texts << batchformat::value(batchValue(row, q));
    switch (row.verdict) {
    case BatchVerdict::Pass:
        texts << tr("PASS") << (s.nearLimit(i) ? tr("near limit") : QString());
        break;
    case BatchVerdict::Ng:
        texts << tr("NG") << QString();
        break;
    case BatchVerdict::NotJudged:
        texts << QString() << tr("not judged");
        break;
    }
    return texts;
}

bool BatchReport::print(QPrinter *printer, const BatchSnapshot &s)
{
    QPainter painter;
    if (!painter.begin(printer)) {
        qCWarning(lcBatch) << "the batch report could not be printed:" << printer->printerName()
                           << printer->outputFileName();
        return false;
    }
    const double dpi = printer->resolution();
    const QRectF paper = printer->pageLayout().paintRectPixels(int(dpi));
    Page page{&painter, printer, dpi, QRectF(0, 0, paper.width(), paper.height())};
    const double margin = page.pt(6);
    const QRectF area = page.area.adjusted(margin, margin, -margin, -margin);
    double y = area.top();

    // Title.
    painter.setFont(font(16, true));
    const double titleHeight = painter.fontMetrics().height() * 1.6;
    painter.drawText(QRectF(area.left(), y, area.width(), titleHeight), Qt::AlignCenter, tr("Batch Report"));
    y += titleHeight + page.pt(4);

    // Heading, two fields a line.
    painter.setFont(font(9));
    const double line = painter.fontMetrics().height() * 1.35;
    const auto fields = heading(s);
    const double half = area.width() / 2;
    const double labelWidth = page.pt(92);
    for (int i = 0; i < fields.size(); ++i) {
        const double x = area.left() + (i % 2) * half;
        painter.setFont(font(9, true));
        painter.drawText(QRectF(x, y, labelWidth, line), Qt::AlignLeft | Qt::AlignVCenter, fields[i].first);
        painter.setFont(font(9));
        const QRectF valueRect(x + labelWidth, y, half - labelWidth - page.pt(8), line);
        painter.drawText(valueRect, Qt::AlignLeft | Qt::AlignVCenter,
                         painter.fontMetrics().elidedText(fields[i].second, Qt::ElideRight, int(valueRect.width())));
        painter.setPen(QPen(Qt::gray, 0));
        painter.drawLine(QPointF(valueRect.left(), valueRect.bottom() - 1), QPointF(valueRect.right(), valueRect.bottom() - 1));
        painter.setPen(Qt::black);
        if (i % 2 == 1 || i == fields.size() - 1)
            y += line;
    }
    y += page.pt(8);

    // Statistics.
    painter.setFont(font(11, true));
    painter.drawText(QRectF(area.left(), y, area.width(), line * 1.2), Qt::AlignLeft | Qt::AlignVCenter, tr("Statistics"));
    y += line * 1.3;
    painter.setFont(font(9));
    const QStringList statTitles{QString(), tr("Mean"), tr("SD"), tr("Min"), tr("Max")};
    const double statWidth = std::min(area.width(), page.pt(380));
    const double cellWidth = statWidth / statTitles.size();
    const auto statRow = [&](const QStringList &cells, bool header) {
        if (header)
            painter.fillRect(QRectF(area.left(), y, statWidth, line), QColor(225, 225, 225));
        painter.setFont(font(9, header));
        for (int c = 0; c < cells.size(); ++c)
            painter.drawText(QRectF(area.left() + c * cellWidth + page.pt(3), y, cellWidth - page.pt(6), line),
                             (c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, cells[c]);
        painter.setPen(QPen(Qt::gray, 0));
        painter.drawLine(QPointF(area.left(), y + line), QPointF(area.left() + statWidth, y + line));
        painter.setPen(Qt::black);
        y += line;
    };
    statRow(statTitles, true);
    for (int q = 0; q < kBatchQuantityCount; ++q) {
        const BatchSummary &m = s.statistics.summaries[q];
        statRow({batchQuantityLabel(BatchQuantity(q)), batchformat::mean(m.mean), batchformat::deviation(m.sd),
                 batchformat::extreme(m.min), batchformat::extreme(m.max)},
                false);
    }
    y += page.pt(6);
    const auto countFields = counts(s);
    for (int i = 0; i < countFields.size(); ++i) {
        const double x = area.left() + (i % 2) * half;
        painter.setFont(font(9, true));
        painter.drawText(QRectF(x, y, labelWidth, line), Qt::AlignLeft | Qt::AlignVCenter, countFields[i].first);
        painter.setFont(font(9));
        painter.drawText(QRectF(x + labelWidth, y, half - labelWidth, line), Qt::AlignLeft | Qt::AlignVCenter,
                         countFields[i].second);
        if (i % 2 == 1 || i == countFields.size() - 1)
            y += line;
    }
    y += page.pt(8);

    // The two plots side by side, on this page when they fit, else on the next.
    const double plotWidth = (area.width() - page.pt(8)) / 2;
    const double plotHeight = std::min(plotWidth * 0.95, area.height() * 0.45);
    if (area.bottom() - y < plotHeight) {
        printer->newPage();
        y = area.top();
    }
    // The charts are laid out in screen pixels, on a larger canvas than the space they get, so
    // that their texts come out smaller beside the plot than on screen.
    const double screen = 1.35 * 96.0 / dpi;
    const QSize chartSize(int(plotWidth * screen), int(plotHeight * screen));
    BatchCharts::render(s, BatchCharts::AbPlot, chartSize, &painter, QRectF(area.left(), y, plotWidth, plotHeight));
    BatchCharts::render(s, BatchCharts::LightnessPlot, chartSize, &painter,
                        QRectF(area.left() + plotWidth + page.pt(8), y, plotWidth, plotHeight));

    // The rows, from a new page on, the header on every page.
    const QStringList titles = columnTitles();
    const double weights[] = {5, 15, 16, 7, 7, 7, 7, 7, 7, 8, 11};
    double total = 0;
    for (double w : weights)
        total += w;
    QList<double> lefts;
    QList<double> widths;
    double x = area.left();
    for (double w : weights) {
        lefts.append(x);
        widths.append(area.width() * w / total);
        x += widths.last();
    }
    painter.setFont(font(8));
    const double rowHeight = painter.fontMetrics().height() * 1.3;
    const auto rowLine = [&](const QStringList &cells, bool header) {
        if (header)
            painter.fillRect(QRectF(area.left(), y, area.width(), rowHeight), QColor(225, 225, 225));
        painter.setFont(font(8, header));
        for (int c = 0; c < cells.size(); ++c) {
            const QRectF cell(lefts[c] + page.pt(2), y, widths[c] - page.pt(4), rowHeight);
            const Qt::Alignment align = (c == 1 || c == 2 || c == 10) ? Qt::AlignLeft
                                      : c == 9                       ? Qt::AlignHCenter
                                                                     : Qt::AlignRight;
            painter.drawText(cell, align | Qt::AlignVCenter,
                             painter.fontMetrics().elidedText(cells[c], Qt::ElideRight, int(cell.width())));
        }
        painter.setPen(QPen(Qt::gray, 0));
        painter.drawLine(QPointF(area.left(), y + rowHeight), QPointF(area.right(), y + rowHeight));
        painter.setPen(Qt::black);
        y += rowHeight;
    };
    const int n = int(s.rows.size());
    for (int i = 0; i < n; ++i) {
        if (i == 0 || y + rowHeight > area.bottom()) {
            if (!printer->newPage()) {
                painter.end();
                return false;
            }
            y = area.top();
            rowLine(titles, true);
        }
        rowLine(rowTexts(s, i), false);
    }
    return painter.end() && printer->printerState() != QPrinter::Error;
}
