#pragma once

#include "linklock.h"

#include <QByteArray>
#include <QMutex>
#include <QObject>

#include <atomic>

// The worker that keeps reading what the instrument sends on its own. `mutex` is the program's
// link lock: every flow that issues commands holds it across its commands, so a polling pass
// never takes a command's reply.
class MyThread : public QObject
{
    Q_OBJECT
public:
    explicit MyThread(QObject *parent = nullptr);

    // Asks the polling loop to end; safe from any thread.
    void requestStop();
    bool isStopRequested() const { return stop.load(); }

    QMutex &mutex = linkLock(); // the link lock, the same for every worker
    std::atomic_bool stop{false};

    static constexpr int kPauseMs = 30;
    // How often a worker waiting for the lock looks at its stop flag.
    static constexpr int kLockRetryMs = 20;

signals:
    void senddata(const QByteArray &data);

public slots:
    // The polling loop; returns only when stopped.
    void startThreadSlot();
};
