#pragma once

#include "historyreader.h"

#include <QMutex>
#include <QObject>
#include <QString>
#include <QVariant>

#include <atomic>
#include <functional>

class QThread;

// What work on a worker thread is given besides its connection: whether it has been asked to
// stop (it looks often and returns early), and where it says how far it got.
class HistoryTaskControl
{
public:
    bool stopRequested() const { return m_stop.load(std::memory_order_relaxed); }
    // done of total steps, from the worker thread; told to the task's owner at most ten times a
    // second.
    void progress(qint64 done, qint64 total);

private:
    friend class HistoryTask;
    std::atomic_bool m_stop{false};
    std::function<void(qint64, qint64)> m_report;
    qint64 m_lastReportMs = -1;
};

// Long work on the history (the check, an export, the trend, the file's own check) on a thread
// of its own with a connection of its own to the file or the server, so the window and the measurements go on
// meanwhile. The result comes back by value through finished(), on the thread that made the
// task. cancel() stops it soon: the work looks at its control, and a statement running in the
// database is interrupted. Destroying the task cancels it and waits for its thread.
class HistoryTask : public QObject
{
    Q_OBJECT
public:
    // Runs on the worker thread with an open reader (or one that says why it could not open).
    using Work = std::function<QVariant(HistoryReader &reader, HistoryTaskControl &control)>;

    HistoryTask(const QString &filePath, Work work, QObject *parent = nullptr);
    // The same on any history: the file, or a server (reached on the worker thread, so a server
    // that does not answer keeps no one else waiting).
    HistoryTask(const HistorySource &source, Work work, QObject *parent = nullptr);
    ~HistoryTask() override;

    // Starts the work once; lowPriority for work nobody waits for (the file's own check).
    void start(bool lowPriority = false);
    void cancel();
    bool isRunning() const;
    bool wasCancelled() const { return m_control.stopRequested(); }

signals:
    void progressed(qint64 done, qint64 total);
    // The work's result; cancelled when cancel() came first (the result is then what the work
    // gave up with).
    void finished(const QVariant &result, bool cancelled);

private:
    void run();

    HistorySource m_source;
    Work m_work;
    HistoryTaskControl m_control;
    QThread *m_thread = nullptr;
    // Guards m_interrupt: set and cleared by the worker around the reader's life, called by cancel().
    QMutex m_interruptLock;
    std::function<void()> m_interrupt;
};
