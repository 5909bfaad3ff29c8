#pragma once

#include "mythread.h"

#include <QList>
#include <QObject>

class QThread;

// Starts and stops the polling worker of one connection, and keeps it alive as long as anybody
// may still hold its lock. The measurement page owns one.
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

    QThread *thread = nullptr;
    MyThread *worker = nullptr;

signals:
    void dataReceived(const QByteArray &data);

private:
    void releaseRetired();

    // Earlier workers, kept until their lock is free: a flow that took the lock before a removal
    // unlocks it when its dialog returns, so the object must still be there.
    QList<MyThread *> retired;
};
