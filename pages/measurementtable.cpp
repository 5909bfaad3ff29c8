#include "measurementtable.h"

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
