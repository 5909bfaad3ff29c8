#include "qtsingleapplication.h"

#include "singleinstanceguard.h"

#include <QWidget>

QtSingleApplication::QtSingleApplication(int &argc, char **argv, bool GUIenabled)
    : QApplication(argc, argv)
{
    Q_UNUSED(GUIenabled)
    // applicationName() defaults to the executable's name, which is what ties copies together.
    m_guard = new SingleInstanceGuard(SingleInstanceGuard::userKey(applicationName()), this);
    connect(m_guard, &SingleInstanceGuard::messageReceived, this, &QtSingleApplication::messageReceived);
}

QtSingleApplication::~QtSingleApplication() = default;

bool QtSingleApplication::isRunning()
{
    return m_guard->isRunning();
}

bool QtSingleApplication::sendMessage(const QString &message, int timeoutMs)
{
    return m_guard->sendMessage(message, timeoutMs);
}

void QtSingleApplication::setActivationWindow(QWidget *window, bool activateOnMessage)
{
    m_activationWindow = window;
    disconnect(m_activateConnection);
    if (activateOnMessage)
        m_activateConnection = connect(m_guard, &SingleInstanceGuard::messageReceived, this,
                                       &QtSingleApplication::activateWindow);
}

QWidget *QtSingleApplication::activationWindow() const
{
    return m_activationWindow;
}

void QtSingleApplication::activateWindow()
{
    QWidget *window = m_activationWindow;
    if (!window)
        return;
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}
