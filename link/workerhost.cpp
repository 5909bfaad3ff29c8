#include "workerhost.h"

#include <QLoggingCategory>
#include <QThread>

Q_LOGGING_CATEGORY(lcWorker, "colorimeter.worker")

WorkerHost::WorkerHost(QObject *parent) : QObject(parent) {}

WorkerHost::~WorkerHost()
{
    closeThreadSlot();
}

bool WorkerHost::isRunning() const
{
    return thread && thread->isRunning();
}

void WorkerHost::openThreadSlot()
{
    qCDebug(lcWorker) << tr("openThreadSlot");
    if (isRunning())
        closeThreadSlot();

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
    if (!thread)
        return;
    worker->requestStop();
    thread->quit();
    thread->wait();
    // The finished thread deletes itself. The worker can go at once: the lock a flow may still
    // hold in a dialog is the program's one link lock, not the worker's.
    delete worker;
    worker = nullptr;
    thread = nullptr;
}
