#include "historysender.h"

#include "historyoutbox.h"
#include "historystore.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTimer>

Q_LOGGING_CATEGORY(lcSender, "colorimeter.history.sender")

bool HistorySenderStatus::problem() const
{
    switch (state) {
    case State::Starting:
    case State::UpToDate:
    case State::Sending: return false;
    default: return true;
    }
}

QString HistorySenderStatus::line() const
{
    const QString waiting = waitingRows >= 0 ? tr("%n rows waiting", nullptr, int(std::min<qint64>(waitingRows, INT_MAX)))
                                             : QString();
    auto with = [&waiting](const QString &what) { return waiting.isEmpty() ? what : what + QStringLiteral(", ") + waiting; };
    switch (state) {
    case State::Starting:
    case State::UpToDate: return QString();
    case State::Sending: return waitingRows > 0 ? tr("sending to the history server, %1").arg(waiting) : QString();
    case State::Unreachable: return with(tr("history server unreachable"));
    case State::Refused: return with(tr("history server refused the login"));
    case State::NoDatabase: return with(tr("history server has no such database"));
    case State::NewerLayout: return with(tr("history server of a newer version"));
    case State::NoDriver: return with(tr("no PostgreSQL driver"));
    case State::Conflict: return with(tr("history server holds other events"));
    case State::LocalProblem: return tr("history file cannot be read");
    case State::Failed: return with(tr("history server failed"));
    }
    return QString();
}

// Lives on the sender's thread: both connections are made, used and closed there.
class HistorySenderWorker : public QObject
{
    Q_OBJECT
public:
    HistorySenderWorker(const QString &file, const HistoryServer &server, std::atomic<bool> *stop,
                        std::atomic<bool> *wakePending)
        : m_file(file), m_server(server), m_stop(stop), m_wakePending(wakePending)
    {
    }

    void begin()
    {
        // A look now and then even without a wake: a server that came back, rows another
        // process put in the file.
        m_look = new QTimer(this);
        m_look->setInterval(HistorySender::kRetryMs);
        connect(m_look, &QTimer::timeout, this, &HistorySenderWorker::cycle);
        m_look->start();
        cycle();
    }

    void woken()
    {
        m_wakePending->store(false);
        cycle();
    }

    void desksChanged()
    {
        m_desksDirty = true;
        cycle();
    }

    void end()
    {
        m_store.close();
        m_outbox.close();
    }

signals:
    void statusChanged(const HistorySenderStatus &status);

private:
    void report(HistorySenderStatus::State state, const QString &text = QString(), const QString &detail = QString())
    {
        HistorySenderStatus status;
        status.state = state;
        status.text = text;
        status.detail = detail;
        status.serverId = m_progress.serverId;
        status.confirmedSeq = m_progress.sentSeq;
        status.waitingRows = m_outbox.isOpen() ? m_outbox.waitingRows(m_progress.sentSeq) : -1;
        m_lastReport.restart();
        m_lastState = state;
        emit statusChanged(status);
    }

    static HistorySenderStatus::State stateOf(HistoryStore::ServerProblem problem)
    {
        using P = HistoryStore::ServerProblem;
        using S = HistorySenderStatus::State;
        switch (problem) {
        case P::NoDriver: return S::NoDriver;
        case P::Unreachable: return S::Unreachable;
        case P::Refused: return S::Refused;
        case P::NoDatabase: return S::NoDatabase;
        case P::NewerLayout: return S::NewerLayout;
        case P::Conflict: return S::Conflict;
        case P::None:
        case P::Other: break;
        }
        return S::Failed;
    }

    // The server went wrong: its connection is dropped (the next cycle makes a new one) and the
    // rows wait. A newer layout or no driver will not mend itself: no more tries then.
    void serverFailed()
    {
        const HistorySenderStatus::State state = stateOf(m_store.serverProblem());
        const QString text = m_store.errorText(), detail = m_store.errorDetail();
        m_store.close();
        m_failure = state;
        m_failureText = text;
        m_failureDetail = detail;
        m_nextTry.start();
        report(state, text, detail);
        m_gaveUp = state == HistorySenderStatus::State::NewerLayout || state == HistorySenderStatus::State::NoDriver;
        if (m_gaveUp)
            m_look->stop();
    }

    bool connectToServer()
    {
        if (!m_store.open(m_server)) {
            // How many rows wait is known from the last time this server confirmed.
            m_progress = m_outbox.progressByName(m_server.displayName());
            serverFailed();
            return false;
        }
        // Where to go on from is what the server holds of this file's chain, whatever the
        // file's notes say: a lost reply, or notes lost with a kill, change nothing.
        const HistoryChainHead there = m_store.chainHead(m_outbox.chainId());
        if (there.count > 0 && m_outbox.eventHash(there.count) != there.hash) {
            m_store.close();
            m_progress.sentSeq = 0;
            report(HistorySenderStatus::State::Conflict,
                   HistoryStore::tr("the history server %1 already holds other events in the places of this "
                                    "history's (a copy of this history file may be in use at another desk)")
                       .arg(m_server.displayName()),
                   QStringLiteral("event %1 differs").arg(there.count));
            return false;
        }
        const QString serverId = m_store.chainId();
        m_progress = m_outbox.progress(serverId);
        m_progress.serverId = serverId;
        m_progress.serverName = m_server.displayName();
        m_progress.sentSeq = there.count;
        m_progress.sentHash = there.hash;
        m_desksDirty = true;
        qCInfo(lcSender) << "history server" << m_server.displayName() << "reached; it has" << there.count
                         << "events of this desk's chain";
        return true;
    }

    void cycle()
    {
        if (m_busy || m_stop->load())
            return;
        if (m_gaveUp) {
            // Not tried again, but the rows stored since still wait: the count is said anew.
            if (m_outbox.isOpen())
                report(m_failure, m_failureText, m_failureDetail);
            return;
        }
        m_busy = true;
        send();
        m_busy = false;
    }

    void send()
    {
        if (!m_outbox.isOpen() && !m_outbox.open(m_file)) {
            report(HistorySenderStatus::State::LocalProblem, m_outbox.errorText());
            return;
        }
        if (!m_store.isOpen()) {
            // After a failure the server is tried again every few seconds, not at every row:
            // meanwhile only the count of rows waiting grows.
            if (m_nextTry.isValid() && m_nextTry.elapsed() < HistorySender::kRetryMs) {
                report(m_failure, m_failureText, m_failureDetail);
                return;
            }
            if (!connectToServer())
                return;
            m_nextTry.invalidate();
        }
        bool sentAny = false;
        while (!m_stop->load()) {
            HistoryDelivery delivery;
            if (!m_outbox.events(m_progress.sentSeq, HistorySender::kBatchEvents, &delivery.events)
                || !m_outbox.runs(m_progress.runsRevision, &delivery.runs)
                || (m_desksDirty && !m_outbox.desks(&delivery.desks))) {
                report(HistorySenderStatus::State::LocalProblem, m_outbox.errorText());
                m_outbox.close();
                return;
            }
            if (delivery.events.isEmpty() && delivery.runs.isEmpty() && delivery.desks.isEmpty())
                break;
            if (!m_store.receive(delivery)) {
                serverFailed();
                return;
            }
            // Confirmed: noted in the file (lost with a kill, it is learned from the server again).
            HistoryProgress next = m_progress;
            if (!delivery.events.isEmpty()) {
                next.sentSeq = delivery.events.last().sequence;
                next.sentHash = delivery.events.last().hash;
            }
            for (const HistoryRunRecord &run : delivery.runs)
                next.runsRevision = std::max(next.runsRevision, run.revision);
            m_outbox.setProgress(next);
            m_progress = next;
            m_desksDirty = false;
            sentAny = true;
            if (m_lastReport.elapsed() > 250)
                report(HistorySenderStatus::State::Sending);
        }
        if (sentAny || m_lastState != HistorySenderStatus::State::UpToDate)
            report(HistorySenderStatus::State::UpToDate);
    }

    QString m_file;
    HistoryServer m_server;
    std::atomic<bool> *m_stop;
    std::atomic<bool> *m_wakePending;
    HistoryOutbox m_outbox;
    HistoryStore m_store;
    HistoryProgress m_progress;
    QTimer *m_look = nullptr;
    QElapsedTimer m_lastReport;
    QElapsedTimer m_nextTry; // since the last failure
    HistorySenderStatus::State m_failure = HistorySenderStatus::State::Unreachable;
    QString m_failureText;
    QString m_failureDetail;
    HistorySenderStatus::State m_lastState = HistorySenderStatus::State::Starting;
    bool m_desksDirty = true;
    bool m_busy = false;
    bool m_gaveUp = false;
};

HistorySender::HistorySender(const QString &filePath, const HistoryServer &server, QObject *parent)
    : QObject(parent), m_server(server)
{
    qRegisterMetaType<HistorySenderStatus>();
    m_thread.setObjectName(QStringLiteral("history sender"));
    m_worker = new HistorySenderWorker(filePath, server, &m_stop, &m_wakePending);
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::started, m_worker, &HistorySenderWorker::begin);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &HistorySenderWorker::statusChanged, this, &HistorySender::keep, Qt::QueuedConnection);
}

HistorySender::~HistorySender()
{
    if (m_thread.isRunning())
        stop();
    else
        delete m_worker; // never started: no thread of its own to go with
}

void HistorySender::start()
{
    if (m_thread.isRunning() || !m_worker || m_stop)
        return;
    m_thread.start();
}

void HistorySender::stop()
{
    if (!m_thread.isRunning())
        return;
    m_stop = true;
    QMetaObject::invokeMethod(m_worker, &HistorySenderWorker::end, Qt::QueuedConnection);
    m_thread.quit();
    m_thread.wait();
    // The worker went with the thread's last events (deleteLater on finished).
    m_worker = nullptr;
}

void HistorySender::wake()
{
    // One wake waiting is enough: the cycle it starts sends all there is by then.
    if (!m_worker || m_wakePending.exchange(true))
        return;
    QMetaObject::invokeMethod(m_worker, &HistorySenderWorker::woken, Qt::QueuedConnection);
}

void HistorySender::desksChanged()
{
    if (m_worker)
        QMetaObject::invokeMethod(m_worker, &HistorySenderWorker::desksChanged, Qt::QueuedConnection);
}

void HistorySender::keep(const HistorySenderStatus &status)
{
    m_status = status;
    emit statusChanged(status);
}

#include "historysender.moc"
