#include "workerhost.h"

#include <QLoggingCategory>
#include <QThread>

Q_LOGGING_CATEGORY(lcWorker, "colorimeter.worker")

WorkerHost::WorkerHost(QObject *parent) : QObject(parent) {}

WorkerHost::~WorkerHost()
{
    closeThreadSlot();
    if (worker)
        retired.append(worker);
    worker = nullptr;
    releaseRetired();
    // Anything still locked belongs to a flow that outlives us; leaking it is the safe choice.
}

bool WorkerHost::isRunning() const
{
    return thread && thread->isRunning();
}

void WorkerHost::releaseRetired()
{
    for (auto it = retired.begin(); it != retired.end();) {
        if ((*it)->mutex.tryLock()) {
            (*it)->mutex.unlock();
            delete *it;
            it = retired.erase(it);
        } else {
            ++it;
        }
    }
}

void WorkerHost::openThreadSlot()
{
    qCDebug(lcWorker) << tr("openThreadSlot");
    if (isRunning())
        closeThreadSlot();
    if (worker)
        retired.append(worker);
    releaseRetired();

    thread = new QThread;
    worker = new MyThread;
    connect(worker, &MyThread::senddata, this, &WorkerHost::dataReceived);
    worker->moveToThread(thread);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::started, worker, &MyThread::startThreadSlot);
    thread->start(QThread::InheritPriority);
    qCDebug(lcWorker) << "mainWidget QThread::currentThreadId()==" << QThread::currentThreadId();
}

void WorkerHost::closeThreadSlot()
{
    qCDebug(lcWorker) << tr("closeThreadSlot");
    if (!isRunning())
        return;
    worker->requestStop();
    thread->quit();
    thread->wait();
    // The finished thread deletes itself; the worker is released once its lock is free.
    thread = nullptr;
}
