#include "linklock.h"

#include <QObject>
#include <QTimer>

QMutex &linkLock()
{
    static QMutex lock;
    return lock;
}

namespace {

// Looks at the lock now and then on the context's thread. A mutex tells nobody when it is
// released, and the holder is usually this very thread, deeper in its stack.
class LinkLockWaiter : public QObject
{
    Q_OBJECT
public:
    explicit LinkLockWaiter(QObject *context) : QObject(context)
    {
        setObjectName(QString::fromLatin1(kName));
        m_timer.setInterval(kRetryMs);
        connect(&m_timer, &QTimer::timeout, this, &LinkLockWaiter::tryNow);
        m_timer.start();
    }

    void setAction(std::function<void()> action) { m_action = std::move(action); }

    void tryNow()
    {
        if (!linkLock().tryLock())
            return;
        linkLock().unlock();
        m_timer.stop();
        const std::function<void()> action = std::move(m_action);
        deleteLater(); // gone before the next request is made from inside the action
        setObjectName(QString());
        if (action)
            action();
    }

    static constexpr const char *kName = "linkLockWaiter";
    static constexpr int kRetryMs = 20;

private:
    QTimer m_timer;
    std::function<void()> m_action;
};

} // namespace

void whenLinkLockFree(QObject *context, std::function<void()> action)
{
    if (!context)
        return;
    if (linkLock().tryLock()) {
        linkLock().unlock();
        if (auto *pending = context->findChild<LinkLockWaiter *>(QString::fromLatin1(LinkLockWaiter::kName),
                                                                  Qt::FindDirectChildrenOnly))
            delete pending; // superseded by the run below
        action();
        return;
    }
    auto *waiter = context->findChild<LinkLockWaiter *>(QString::fromLatin1(LinkLockWaiter::kName),
                                                        Qt::FindDirectChildrenOnly);
    if (!waiter)
        waiter = new LinkLockWaiter(context);
    waiter->setAction(std::move(action));
}

#include "linklock.moc"
