#include "measurementtable.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyleOptionButton>

MeasurementTable::MeasurementTable(QWidget *parent) : QTableView(parent)
{
    // The buttons follow the pointer (hover) without a button held.
    viewport()->setMouseTracking(true);
    // A child of the table, so the table's and the application's style sheets reach it; never
    // shown, it only lends its look.
    m_look = new QPushButton(this);
    m_look->hide();
}

void MeasurementTable::setButtonColumn(int column, const QString &text, bool ignoreSecondClickOfDoubleClick)
{
    m_buttons.insert(column, {text, ignoreSecondClickOfDoubleClick});
    setItemDelegateForColumn(column, new RowButtonDelegate(this));
}

void MeasurementTable::setButtonText(int column, const QString &text)
{
    auto it = m_buttons.find(column);
    if (it == m_buttons.end() || it->text == text)
        return;
    it->text = text;
    viewport()->update();
}

QModelIndex MeasurementTable::buttonAt(const QPoint &position) const
{
    const QModelIndex index = indexAt(position);
    return index.isValid() && isButtonColumn(index.column()) ? index : QModelIndex();
}

QModelIndex MeasurementTable::hoveredButton() const
{
    // Found from where the pointer is now, so a row that moved up under a still pointer (the
    // one above was deleted) is the one shown hovered.
    return m_pointerInside ? buttonAt(m_pointer) : QModelIndex();
}

QModelIndex MeasurementTable::pressedButton() const
{
    return m_pressedUnderPointer ? QModelIndex(m_pressed) : QModelIndex();
}

void MeasurementTable::updateButton(const QModelIndex &index)
{
    if (index.isValid())
        viewport()->update(visualRect(index));
}

void MeasurementTable::pointerAt(const QPoint &position)
{
    m_pointerInside = true;
    m_pointer = position;
    const QModelIndex hovered = buttonAt(position);
    if (m_hovered != hovered) {
        updateButton(m_hovered);
        m_hovered = hovered;
        updateButton(hovered);
    }
}

void MeasurementTable::pressButton(const QModelIndex &index)
{
    m_pressed = index;
    m_pressedUnderPointer = true;
    // Neither the selection nor the current cell changes: a new current cell would scroll a
    // half visible row into view under the pointer, and the release would miss the button.
    setFocus(Qt::MouseFocusReason);
    updateButton(index);
}

void MeasurementTable::mousePressEvent(QMouseEvent *event)
{
    const QPoint position = event->position().toPoint();
    pointerAt(position);
    const QModelIndex button = buttonAt(position);
    if (button.isValid() && event->button() == Qt::LeftButton) {
        pressButton(button);
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void MeasurementTable::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint position = event->position().toPoint();
    pointerAt(position);
    if (m_pressed.isValid()) {
        // Held down: shown pressed while the pointer stays on it, and no drag selection.
        const bool under = buttonAt(position) == QModelIndex(m_pressed);
        if (under != m_pressedUnderPointer) {
            m_pressedUnderPointer = under;
            updateButton(m_pressed);
        }
        event->accept();
        return;
    }
    QTableView::mouseMoveEvent(event);
}

void MeasurementTable::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint position = event->position().toPoint();
    pointerAt(position);
    if (m_pressed.isValid() && event->button() == Qt::LeftButton) {
        const QModelIndex pressed = m_pressed;
        const bool click = buttonAt(position) == pressed;
        m_pressed = QPersistentModelIndex();
        m_pressedUnderPointer = false;
        updateButton(pressed);
        event->accept();
        // Last: the handler may delete the row.
        if (click)
            emit buttonClicked(pressed.row(), pressed.column());
        return;
    }
    if (m_pressed.isValid()) {
        event->accept();
        return;
    }
    QTableView::mouseReleaseEvent(event);
}

void MeasurementTable::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QPoint position = event->position().toPoint();
    pointerAt(position);
    const QModelIndex button = buttonAt(position);
    if (button.isValid() && event->button() == Qt::LeftButton) {
        // The first click already acted. Where that moved the rows below up under the pointer,
        // the second click would act on the next row: it is no click. Elsewhere it is one, as
        // on any push button.
        if (!m_buttons.value(button.column()).ignoreSecondClickOfDoubleClick)
            pressButton(button);
        event->accept();
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

void MeasurementTable::keyPressEvent(QKeyEvent *event)
{
    const QModelIndex current = currentIndex();
    const int key = event->key();
    const bool pressKey = key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Select;
    if (pressKey && current.isValid() && isButtonColumn(current.column())
        && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        event->accept();
        // A held key is one press, not a click per repeat.
        if (!event->isAutoRepeat())
            emit buttonClicked(current.row(), current.column());
        return;
    }
    QTableView::keyPressEvent(event);
}

bool MeasurementTable::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::Leave) {
        m_pointerInside = false;
        updateButton(m_hovered);
        m_hovered = QPersistentModelIndex();
    }
    return QTableView::viewportEvent(event);
}

void MeasurementTable::scrollToBottomSoon()
{
    if (m_scrollPending)
        return;
    m_scrollPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_scrollPending = false;
            scrollToBottom();
        },
        Qt::QueuedConnection);
}

void MeasurementTable::resizeEvent(QResizeEvent *event)
{
    // The viewport's resizes arrive here too, so a vertical scroll bar that appears is seen. A
    // change of height alone (a horizontal scroll bar after the user widened a column) leaves
    // the columns as the user made them.
    QTableView::resizeEvent(event);
    if (event->size().width() != event->oldSize().width())
        emit viewportResized();
}

RowButtonDelegate::RowButtonDelegate(MeasurementTable *table) : QStyledItemDelegate(table), m_table(table) {}

void RowButtonDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QPushButton *look = m_table->buttonLook();
    look->ensurePolished();
    QStyleOptionButton button;
    button.initFrom(look);
    button.rect = option.rect;
    button.text = m_table->buttonText(index.column());
    button.state &= QStyle::State_Enabled | QStyle::State_Active;
    button.state |= m_table->pressedButton() == index ? QStyle::State_Sunken : QStyle::State_Raised;
    if (m_table->hoveredButton() == index)
        button.state |= QStyle::State_MouseOver;
    if (m_table->hasFocus() && m_table->currentIndex() == index)
        button.state |= QStyle::State_HasFocus;
    painter->save();
    painter->setFont(look->font());
    look->style()->drawControl(QStyle::CE_PushButton, &button, painter, look);
    painter->restore();
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
