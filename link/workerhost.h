#pragma once

#include "mythread.h"

#include <QObject>

class QThread;

// Starts and stops the polling worker of one connection. The measurement page owns one.
class WorkerHost : public QObject
{
    Q_OBJECT
public:
    explicit WorkerHost(QObject *parent = nullptr);
    ~WorkerHost() override;

    // Creates a new thread and worker and starts polling. Data the instrument sends arrives
    // through dataReceived on this object's thread.
    void openThreadSlot();
    // Stops the worker and waits for its thread. Returns even while a flow holds the link lock
    // in a nested event loop: the worker gives up waiting for the lock when told to stop.
    void closeThreadSlot();

    bool isRunning() const;

    // Both null while no worker runs.
    QThread *thread = nullptr;
    MyThread *worker = nullptr;

signals:
    void dataReceived(const QByteArray &data);
};
