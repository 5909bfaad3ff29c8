#include "historytask.h"


#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QThread>

Q_DECLARE_LOGGING_CATEGORY(lcHistory)

namespace {
// One clock for every task: progress is told at most every 100 ms.
qint64 monotonicMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer c;
        c.start();
        return c;
    }();
    return clock.elapsed();
}
} // namespace

void HistoryTaskControl::progress(qint64 done, qint64 total)
{
    const qint64 now = monotonicMs();
    if (m_lastReportMs >= 0 && now - m_lastReportMs < 100 && done < total)
        return;
    m_lastReportMs = now;
    if (m_report)
        m_report(done, total);
}

HistoryTask::HistoryTask(const QString &filePath, Work work, QObject *parent)
    : HistoryTask(HistorySource::ofFile(filePath), std::move(work), parent)
{
}

HistoryTask::HistoryTask(const HistorySource &source, Work work, QObject *parent)
    : QObject(parent), m_source(source), m_work(std::move(work))
{
    // Emitted from the worker thread; the owner's slots run on its own thread (queued).
    m_control.m_report = [this](qint64 done, qint64 total) { emit progressed(done, total); };
}

HistoryTask::~HistoryTask()
{
    if (!m_thread)
        return;
    cancel();
    m_thread->wait();
    delete m_thread;
}

void HistoryTask::start(bool lowPriority)
{
    if (m_thread)
        return;
    m_thread = QThread::create([this] { run(); });
    m_thread->setObjectName(QStringLiteral("history task"));
    m_thread->start(lowPriority ? QThread::LowestPriority : QThread::InheritPriority);
}

void HistoryTask::cancel()
{
    m_control.m_stop.store(true, std::memory_order_relaxed);
    QMutexLocker lock(&m_interruptLock);
    if (m_interrupt)
        m_interrupt();
}

bool HistoryTask::isRunning() const
{
    return m_thread && m_thread->isRunning();
}

void HistoryTask::run()
{
    QVariant result;
    {
        HistoryReader reader(m_source);
        {
            QMutexLocker lock(&m_interruptLock);
            m_interrupt = reader.interrupter();
        }
        // A cancel that came before the reader was there is seen by the work's first look.
        result = m_work(reader, m_control);
        QMutexLocker lock(&m_interruptLock);
        m_interrupt = nullptr;
    }
    // Not under the lock: the signal goes to another thread's queue with the result by value.
    emit finished(result, m_control.stopRequested());
}
