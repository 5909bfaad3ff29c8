#include "linklock.h"

QMutex &linkLock()
{
    static QMutex lock;
    return lock;
}
