#pragma once

#include <QApplication>
#include <QPointer>
#include <QString>

class QWidget;
class SingleInstanceGuard;

// The application object of a program that runs once per user. A second start finds the
// first through isRunning(), hands it a message with sendMessage() and ends; the first copy
// receives the message through messageReceived() on the GUI thread and, when an activation
// window is set with activateOnMessage, brings that window to the front.
class QtSingleApplication : public QApplication
{
    Q_OBJECT
public:
    // GUIenabled is accepted for the start-up's sake; the application always has a GUI.
    QtSingleApplication(int &argc, char **argv, bool GUIenabled = true);
    ~QtSingleApplication() override;

    bool isRunning();
    bool sendMessage(const QString &message, int timeoutMs = 5000);

    void setActivationWindow(QWidget *window, bool activateOnMessage = true);
    QWidget *activationWindow() const;

public slots:
    // Shows, un-minimises, raises and activates the activation window, if there is one.
    void activateWindow();

signals:
    void messageReceived(const QString &message);

private:
    SingleInstanceGuard *m_guard = nullptr;
    QPointer<QWidget> m_activationWindow;
    QMetaObject::Connection m_activateConnection;
};
