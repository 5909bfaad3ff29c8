#pragma once

#include <QObject>
#include <QPoint>

// Application-wide event filter: any widget given the dynamic property "canMove" can be dragged
// with the left mouse button. One drag at a time.
class AppInit : public QObject
{
    Q_OBJECT
public:
    static AppInit *instance();

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    AppInit() = default;

    bool mousePressed = false;
    QPoint mousePoint;
};
