#include "measurementtable.h"

#include <QPainter>
#include <QResizeEvent>

MeasurementTable::MeasurementTable(QWidget *parent) : QTableWidget(parent) {}

void MeasurementTable::rowsInserted(const QModelIndex &parent, int start, int end)
{
    if (!isVisible()) {
        QTableWidget::rowsInserted(parent, start, end);
        return;
    }
    // Rows go in at the end, so no existing cell widget moves; the new ones are placed when
    // they are set. The full pass over all cell widgets can wait for the batch to end.
    m_geometryPending = true;
    scheduleCatchUp();
}

void MeasurementTable::scrollToBottomSoon()
{
    m_scrollPending = true;
    scheduleCatchUp();
}

void MeasurementTable::scheduleCatchUp()
{
    if (m_catchUpPending)
        return;
    m_catchUpPending = true;
    QMetaObject::invokeMethod(this, &MeasurementTable::catchUp, Qt::QueuedConnection);
}

void MeasurementTable::catchUp()
{
    m_catchUpPending = false;
    if (m_geometryPending) {
        m_geometryPending = false;
        updateEditorGeometries();
    }
    if (m_scrollPending) {
        m_scrollPending = false;
        scrollToBottom();
    }
}

void MeasurementTable::resizeEvent(QResizeEvent *event)
{
    // The viewport's resizes arrive here too, so a vertical scroll bar that appears is seen. A
    // change of height alone (a horizontal scroll bar after the user widened a column) leaves
    // the columns as the user made them.
    QTableWidget::resizeEvent(event);
    if (event->size().width() != event->oldSize().width())
        emit viewportResized();
}

void VerdictDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    QStyleOptionViewItem plain(option);
    plain.state &= ~(QStyle::State_Selected | QStyle::State_MouseOver);
    const QVariant background = index.data(Qt::BackgroundRole);
    if (background.canConvert<QBrush>())
        painter->fillRect(option.rect, background.value<QBrush>());
    QStyledItemDelegate::paint(painter, plain, index);
    if (!selected)
        return;
    painter->save();
    painter->setPen(QPen(option.palette.color(QPalette::Highlight), 3));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(QRectF(option.rect).adjusted(1.5, 1.5, -1.5, -1.5));
    painter->restore();
}
