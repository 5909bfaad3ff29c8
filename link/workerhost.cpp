#include "workerhost.h"

#include "clinker.h"
#include "linkport.h"

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
    // Measurements a command's reply read set aside were received from the instrument: hand
    // them on now rather than lose them with the link. No other thread uses the link any more,
    // and a flow that may hold the lock in a dialog is not inside a link call.
    if (LinkPort *port = LinkPort::current()) {
        if (auto *usb = qobject_cast<CLinkerUSB *>(port->link)) {
            const QByteArray setAside = usb->takeSetAside();
            if (!setAside.isEmpty())
                emit dataReceived(setAside);
        }
    }
    // The finished thread deletes itself. The worker can go at once: the lock a flow may still
    // hold in a dialog is the program's one link lock, not the worker's.
    delete worker;
    worker = nullptr;
    thread = nullptr;
}
