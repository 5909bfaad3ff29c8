#include "mythread.h"

#include "cprotocol.h"
#include "linkport.h"

MyThread::MyThread(QObject *parent) : QObject(parent) {}

void MyThread::requestStop()
{
    stop.store(true);
}

void MyThread::startThreadSlot()
{
    for (;;) {
        // The lock may be held by a flow waiting in a dialog when the instrument is removed; the
        // GUI thread then waits for this thread to finish. So the worker never blocks on the
        // lock for good: it keeps looking at the stop flag while it waits.
        while (!mutex.tryLock(kLockRetryMs)) {
            if (stop.load())
                return;
        }
        if (stop.load()) {
            mutex.unlock();
            return;
        }
        QByteArray buffer;
        LinkPort *port = LinkPort::current();
        const int n = port ? port->receivePacket(&buffer, 0, 142090, false) : -1;
        mutex.unlock();

        // Handed over by value through a queued connection, with no lock held.
        if (n > 0)
            emit senddata(buffer);
        CProtocol::delayMs(kPauseMs);
    }
}
