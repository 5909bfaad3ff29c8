#pragma once

#include <QMutex>

#include <functional>

class QObject;

// The link lock: one for the whole run of the program, whatever instrument is connected or
// whichever worker polls. Every flow that issues instrument commands holds it across them, and
// the polling worker holds it for each pass, so nobody ever takes another's reply. Not
// recursive: a flow holding it must not call anything that takes it again.
QMutex &linkLock();

// Runs action on context's thread once the link lock is free: at once when it is free now,
// otherwise as soon as whoever holds it (a flow waiting in a dialog) lets go. The lock is not
// held while action runs. A second request for the same context before the first has run
// replaces the first. Nothing runs if context is destroyed first.
//
// The window opens a newly arrived instrument through this: a flow that took the lock before
// the instrument went must come back to no link at all, never to a fresh link that a new worker
// polls at the same time.
void whenLinkLockFree(QObject *context, std::function<void()> action);
