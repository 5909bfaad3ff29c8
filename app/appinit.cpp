#include "appinit.h"

#include <QMouseEvent>
#include <QWidget>

AppInit *AppInit::instance()
{
    static AppInit *self = new AppInit; // lives until exit, like the application it filters
    return self;
}

bool AppInit::eventFilter(QObject *watched, QEvent *event)
{
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || !widget->property("canMove").toBool())
        return QObject::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        mousePressed = true;
        mousePoint = mouse->globalPosition().toPoint() - widget->pos();
        return true;
    }
    case QEvent::MouseButtonRelease:
        mousePressed = false;
        return true;
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mousePressed && mouse->buttons() != Qt::NoButton) {
            widget->move(mouse->globalPosition().toPoint() - mousePoint);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
