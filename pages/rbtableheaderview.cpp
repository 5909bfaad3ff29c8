#include "rbtableheaderview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionHeader>
#include <qdrawutil.h>

#include <algorithm>

namespace {
constexpr int kColumnSpan = RbTableHeaderModel::ColumnSpanRole;
constexpr int kRowSpan = RbTableHeaderModel::RowSpanRole;
} // namespace

RbTableHeaderView::RbTableHeaderView(Qt::Orientation orientation, int rows, int columns,
                                     QWidget *parent)
    : QHeaderView(orientation, parent)
{
    const QSize cellSize = orientation == Qt::Horizontal ? QSize(defaultSectionSize(), 20)
                                                         : QSize(50, defaultSectionSize());
    auto *model = new RbTableHeaderModel(rows, columns, this);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j)
            model->setData(model->index(i, j), cellSize, Qt::SizeHintRole);
    setModel(model);
    connect(this, &QHeaderView::sectionResized, this, &RbTableHeaderView::onSectionResized);
}

RbTableHeaderView::~RbTableHeaderView() = default;

RbTableHeaderModel *RbTableHeaderView::headerModel() const
{
    return qobject_cast<RbTableHeaderModel *>(model());
}

int RbTableHeaderView::levelCount() const
{
    const RbTableHeaderModel *m = headerModel();
    if (!m)
        return 0;
    return orientation() == Qt::Horizontal ? m->rowCount() : m->columnCount();
}

QModelIndex RbTableHeaderView::cellAt(int level, int section) const
{
    const RbTableHeaderModel *m = headerModel();
    if (!m)
        return QModelIndex();
    return orientation() == Qt::Horizontal ? m->index(level, section) : m->index(section, level);
}

void RbTableHeaderView::setRowHeight(int row, int rowHeight)
{
    RbTableHeaderModel *m = headerModel();
    if (!m)
        return;
    for (int c = 0; c < m->columnCount(); ++c) {
        const QModelIndex cell = m->index(row, c);
        if (!cell.isValid())
            continue;
        QSize size = cell.data(Qt::SizeHintRole).toSize();
        size.setHeight(rowHeight);
        m->setData(cell, size, Qt::SizeHintRole);
    }
    if (orientation() == Qt::Vertical)
        resizeSection(row, rowHeight);
}

void RbTableHeaderView::setCellSpan(int row, int column, int rowSpanCount, int columnSpanCount)
{
    RbTableHeaderModel *m = headerModel();
    if (!m)
        return;
    const QModelIndex cell = m->index(row, column);
    if (rowSpanCount > 0)
        m->setData(cell, rowSpanCount, kRowSpan);
    if (columnSpanCount != 0)
        m->setData(cell, columnSpanCount, kColumnSpan);
}

void RbTableHeaderView::setCellBackground(const QModelIndex &index, const QColor &color)
{
    if (RbTableHeaderModel *m = headerModel())
        m->setData(index, color, Qt::BackgroundRole);
}

QModelIndex RbTableHeaderView::columnSpanAnchor(const QModelIndex &index) const
{
    const RbTableHeaderModel *m = headerModel();
    if (!m || !index.isValid())
        return QModelIndex();
    const int r = index.row();
    const int c = index.column();
    for (int i = c; i >= 0; --i) {
        const QModelIndex cell = m->index(r, i);
        const QVariant span = cell.data(kColumnSpan);
        if (span.isValid() && i + span.toInt() - 1 >= c)
            return cell;
    }
    return QModelIndex();
}

QModelIndex RbTableHeaderView::rowSpanAnchor(const QModelIndex &index) const
{
    const RbTableHeaderModel *m = headerModel();
    if (!m || !index.isValid())
        return QModelIndex();
    const int r = index.row();
    const int c = index.column();
    for (int i = r; i >= 0; --i) {
        const QModelIndex cell = m->index(i, c);
        const QVariant span = cell.data(kRowSpan);
        if (span.isValid() && i + span.toInt() - 1 >= r)
            return cell;
    }
    return QModelIndex();
}

int RbTableHeaderView::spanWidth(int row, int first, int count) const
{
    const RbTableHeaderModel *m = headerModel();
    int width = 0;
    for (int i = first; m && i < first + count; ++i)
        width += m->index(row, i).data(Qt::SizeHintRole).toSize().width();
    return width;
}

int RbTableHeaderView::spanHeight(int column, int first, int count) const
{
    const RbTableHeaderModel *m = headerModel();
    int height = 0;
    for (int i = first; m && i < first + count; ++i)
        height += m->index(i, column).data(Qt::SizeHintRole).toSize().height();
    return height;
}

int RbTableHeaderView::sectionRange(QModelIndex *index, int *first, int *last) const
{
    const QModelIndex byColumns = columnSpanAnchor(*index);
    const QModelIndex byRows = rowSpanAnchor(*index);
    const bool horizontal = orientation() == Qt::Horizontal;
    if (byColumns.isValid()) {
        const int n = byColumns.data(kColumnSpan).toInt();
        if (horizontal) {
            *first = byColumns.column();
            *last = byColumns.column() + n - 1;
            *index = byColumns;
            return n;
        }
        const QVariant t = byColumns.data(kRowSpan);
        if (t.isValid()) {
            *first = byColumns.row();
            *last = byColumns.row() + t.toInt() - 1;
            *index = byColumns;
            return t.toInt();
        }
    }
    if (byRows.isValid()) {
        const int t = byRows.data(kRowSpan).toInt();
        if (!horizontal) {
            *first = byRows.row();
            *last = byRows.row() + t - 1;
            *index = byRows;
            return t;
        }
        const QVariant n = byRows.data(kColumnSpan);
        if (n.isValid()) {
            *first = byRows.column();
            *last = byRows.column() + n.toInt() - 1;
            *index = byRows;
            return n.toInt();
        }
    }
    return 0;
}

QModelIndex RbTableHeaderView::cellIndexAt(const QPoint &pos) const
{
    const int section = logicalIndexAt(pos);
    if (section < 0)
        return QModelIndex();
    const bool horizontal = orientation() == Qt::Horizontal;
    int edge = 0;
    for (int k = 0; k < levelCount(); ++k) {
        const QModelIndex cell = cellAt(k, section);
        const QSize size = cell.data(Qt::SizeHintRole).toSize();
        edge += horizontal ? size.height() : size.width();
        if (edge >= (horizontal ? pos.y() : pos.x()))
            return cell;
    }
    return QModelIndex();
}

void RbTableHeaderView::mousePressEvent(QMouseEvent *event)
{
    QHeaderView::mousePressEvent(event);
    const QPoint pos = event->position().toPoint();
    QModelIndex cell = cellIndexAt(pos);
    if (!cell.isValid())
        return;
    int first = 0;
    int last = 0;
    if (sectionRange(&cell, &first, &last) >= 1) {
        emit sectionPressed(first, last);
        return;
    }
    // The pressed cell is not merged along the header; a merge anchored on another level may
    // still cover it across the levels.
    const bool horizontal = orientation() == Qt::Horizontal;
    const int section = logicalIndexAt(pos);
    const QModelIndex pressed = cellIndexAt(pos);
    const int pressedLevel = horizontal ? pressed.row() : pressed.column();
    for (int k = 0; k < levelCount(); ++k) {
        QModelIndex anchor = cellAt(k, section);
        if (sectionRange(&anchor, &first, &last) > 0 && first <= section && section <= last) {
            const QVariant levels = anchor.data(horizontal ? kRowSpan : kColumnSpan);
            const int anchorLevel = horizontal ? anchor.row() : anchor.column();
            if (levels.isValid() && anchorLevel <= pressedLevel
                && pressedLevel <= anchorLevel + levels.toInt() - 1) {
                emit sectionPressed(first, last);
                return;
            }
        }
    }
}

void RbTableHeaderView::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    const bool horizontal = orientation() == Qt::Horizontal;
    const int s = logicalIndex;
    const int levels = levelCount();
    for (int i = 0; i < levels; ++i) {
        const QModelIndex cell = cellAt(i, s);
        const QSize size = cell.data(Qt::SizeHintRole).toSize();
        QRect r = rect;
        if (horizontal)
            r.setTop(spanHeight(s, 0, i));
        else
            r.setLeft(spanWidth(s, 0, i));
        r.setRight(r.left() + size.width() - 1);
        r.setBottom(r.top() + size.height() - 1);

        QModelIndex draw = cell;
        const QModelIndex byColumns = columnSpanAnchor(cell);
        const QModelIndex byRows = rowSpanAnchor(cell);
        if (byColumns.isValid()) {
            const int m = byColumns.column();
            const int n = byColumns.data(kColumnSpan).toInt();
            const int width = spanWidth(cell.row(), m, n);
            int left;
            if (horizontal) {
                left = sectionViewportPosition(m);
            } else {
                left = spanWidth(s, 0, m);
                i = std::max(i, m + n - 1);
            }
            r.setLeft(left);
            r.setRight(left + width - 1);
            const QVariant rowSpan = byColumns.data(kRowSpan);
            if (rowSpan.isValid()) {
                const int v = byColumns.row();
                const int t = rowSpan.toInt();
                const int height = spanHeight(m, v, t);
                int top;
                if (horizontal) {
                    top = spanHeight(m, 0, v);
                    i = std::max(i, v + t - 1);
                } else {
                    top = sectionViewportPosition(v);
                }
                r.setTop(top);
                r.setBottom(top + height - 1);
            }
            draw = byColumns;
        }
        if (byRows.isValid()) {
            const int m = byRows.row();
            const int t = byRows.data(kRowSpan).toInt();
            const int height = spanHeight(draw.column(), m, t);
            int top;
            if (horizontal) {
                top = spanHeight(s, 0, m);
                i = std::max(i, m + t - 1);
            } else {
                top = sectionViewportPosition(m);
            }
            r.setTop(top);
            r.setBottom(top + height - 1);
            const QVariant columnSpan = byRows.data(kColumnSpan);
            if (columnSpan.isValid()) {
                const int w = byRows.column();
                const int n = columnSpan.toInt();
                const int width = spanWidth(m, w, n);
                int left;
                if (horizontal) {
                    left = sectionViewportPosition(w);
                } else {
                    left = spanWidth(m, 0, w);
                    i = std::max(i, w + n - 1);
                }
                r.setLeft(left);
                r.setRight(left + width - 1);
            }
            draw = byRows;
        }

        QStyleOptionHeader opt;
        initStyleOption(&opt);
        opt.textAlignment = Qt::AlignCenter;
        opt.iconAlignment = Qt::AlignVCenter;
        opt.section = s;
        opt.text = draw.data(Qt::DisplayRole).toString();
        opt.rect = r;
        const QVariant background = draw.data(Qt::BackgroundRole);
        if (background.canConvert<QBrush>()) {
            const QBrush brush = qvariant_cast<QBrush>(background);
            opt.palette.setBrush(QPalette::All, QPalette::Button, brush);
            opt.palette.setBrush(QPalette::All, QPalette::Window, brush);
        }
        const QVariant foreground = draw.data(Qt::ForegroundRole);
        if (foreground.canConvert<QBrush>())
            opt.palette.setBrush(QPalette::All, QPalette::ButtonText, qvariant_cast<QBrush>(foreground));

        painter->save();
        qDrawShadePanel(painter, opt.rect, opt.palette, false, 1,
                        &opt.palette.brush(QPalette::Button));
        style()->drawControl(QStyle::CE_HeaderLabel, &opt, painter, this);
        painter->restore();
    }
}

QSize RbTableHeaderView::sectionSizeFromContents(int logicalIndex) const
{
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    const bool horizontal = orientation() == Qt::Horizontal;
    for (int e = 0; e < levelCount(); ++e) {
        const QModelIndex cell = cellAt(e, logicalIndex);
        size = cell.data(Qt::SizeHintRole).toSize();
        const QModelIndex byColumns = columnSpanAnchor(cell);
        if (byColumns.isValid()) {
            const int f = byColumns.column();
            const int n = byColumns.data(kColumnSpan).toInt();
            size.setWidth(spanWidth(byColumns.row(), f, n));
            if (!horizontal)
                e = std::max(e, f + n - 1);
        }
        const QModelIndex byRows = rowSpanAnchor(cell);
        if (byRows.isValid()) {
            const int f = byRows.row();
            const int t = byRows.data(kRowSpan).toInt();
            size.setHeight(spanHeight(byRows.column(), f, t));
            if (horizontal)
                e = std::max(e, f + t - 1);
        }
    }
    return size;
}

void RbTableHeaderView::onSectionResized(int logicalIdx, int oldSize, int newSize)
{
    Q_UNUSED(oldSize);
    RbTableHeaderModel *m = headerModel();
    if (!m)
        return;
    const bool horizontal = orientation() == Qt::Horizontal;
    const int position = sectionViewportPosition(logicalIdx);
    int left = horizontal ? position : 0;
    int top = horizontal ? 0 : position;
    for (int i = 0; i < levelCount(); ++i) {
        const QModelIndex cell = cellAt(i, logicalIdx);
        QSize size = cell.data(Qt::SizeHintRole).toSize();
        if (horizontal)
            size.setWidth(newSize);
        else
            size.setHeight(newSize);
        m->setData(cell, size, Qt::SizeHintRole);
        // A merge that starts before this section is drawn from its anchor: repaint from there.
        const QModelIndex byColumns = columnSpanAnchor(cell);
        if (byColumns.isValid()) {
            const int g = byColumns.column();
            left = std::min(left, horizontal ? sectionViewportPosition(g) : spanWidth(logicalIdx, 0, g));
        }
        const QModelIndex byRows = rowSpanAnchor(cell);
        if (byRows.isValid()) {
            const int g = byRows.row();
            top = std::min(top, horizontal ? spanHeight(logicalIdx, 0, g) : sectionViewportPosition(g));
        }
    }
    viewport()->update(QRect(QPoint(left, top), viewport()->rect().bottomRight()));
}
