#pragma once

#include <QHash>
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>
#include <QTableView>

class QPushButton;

// The measurement table's view. Columns can be made button columns: each of their cells is
// drawn as a push button (RowButtonDelegate) and acts like one, without a widget per row. A
// click acts on the row under the pointer (press and release on the same cell); Space, Enter
// or Return on the current cell of a button column acts like a click. For a column whose rows
// move up under the pointer when it acts (Delete), the second click of a double click is not a
// click.
class MeasurementTable : public QTableView
{
    Q_OBJECT
public:
    explicit MeasurementTable(QWidget *parent = nullptr);

    void setButtonColumn(int column, const QString &text, bool ignoreSecondClickOfDoubleClick);
    void setButtonText(int column, const QString &text);
    bool isButtonColumn(int column) const { return m_buttons.contains(column); }
    QString buttonText(int column) const { return m_buttons.value(column).text; }
    // The button cell under the pointer, and the one held down with the pointer still on it.
    QModelIndex hoveredButton() const;
    QModelIndex pressedButton() const;
    // The widget whose style (the style sheet's QPushButton rules included) the buttons are
    // drawn with: one for the whole table, never shown.
    QPushButton *buttonLook() const { return m_look; }

    // Shows the last row once the current batch of changes is done.
    void scrollToBottomSoon();

signals:
    // The width for the columns changed: the table was resized, or a vertical scroll bar came
    // or went.
    void viewportResized();
    // A button cell was clicked, or pressed with the keyboard.
    void buttonClicked(int row, int column);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    struct ButtonColumn
    {
        QString text;
        bool ignoreSecondClickOfDoubleClick = false;
    };
    QModelIndex buttonAt(const QPoint &position) const;
    void pressButton(const QModelIndex &index);
    void pointerAt(const QPoint &position);
    void updateButton(const QModelIndex &index);

    QHash<int, ButtonColumn> m_buttons;
    QPushButton *m_look = nullptr;
    QPersistentModelIndex m_pressed;
    bool m_pressedUnderPointer = false;
    bool m_pointerInside = false;
    QPoint m_pointer; // in the viewport, while m_pointerInside
    QPersistentModelIndex m_hovered; // as last painted, to repaint it when the pointer leaves
    bool m_scrollPending = false;
};

// Draws the cells of a button column as push buttons in the style of the table's buttonLook
// (the platform's look, or the style sheet's colours), raised, hovered, pressed or focused as
// the table says.
class RowButtonDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit RowButtonDelegate(MeasurementTable *table);
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    MeasurementTable *m_table;
};

// Paints a cell in its own background colour also while its row is selected, and shows the
// selection as a frame: the red or green of a verdict stays readable in a selected row.
class VerdictDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
