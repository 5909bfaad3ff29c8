#include "cprotocol.h"

#include <QElapsedTimer>
#include <QThread>

CProtocol *CProtocol::instance()
{
    static CProtocol protocol;
    return &protocol;
}

void CProtocol::delayMs(int ms)
{
    QElapsedTimer clock; // monotonic: a change of the wall clock does not stretch the wait
    clock.start();
    for (qint64 left = ms + 1 - clock.elapsed(); left > 0; left = ms + 1 - clock.elapsed())
        QThread::msleep(static_cast<unsigned long>(left));
}
