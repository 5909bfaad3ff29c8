#pragma once

#include <QMutex>

// The link lock: one for the whole run of the program, whatever instrument is connected or
// whichever worker polls. Every flow that issues instrument commands holds it across them, and
// the polling worker holds it for each pass, so nobody ever takes another's reply. Not
// recursive: a flow holding it must not call anything that takes it again.
QMutex &linkLock();
