#include "devicewatcher.h"

#include "hidaccess.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <libudev.h>

Q_LOGGING_CATEGORY(lcWatcher, "colorimeter.devices")

DeviceWatcher::DeviceWatcher(quint16 vendorId, quint16 productId, QObject *parent)
    : QObject(parent), m_vendorId(vendorId), m_productId(productId)
{
    connect(&m_pollTimer, &QTimer::timeout, this, &DeviceWatcher::poll);
}

DeviceWatcher::~DeviceWatcher()
{
    stop();
}

QString DeviceWatcher::sourceName(Source source)
{
    switch (source) {
    case Source::Udev:
        return QStringLiteral("udev monitor");
    case Source::KernelUevent:
        return QStringLiteral("kernel uevents");
    case Source::Poll:
        return QStringLiteral("poll of HID paths");
    case Source::None:
        break;
    }
    return QStringLiteral("none");
}

DeviceWatcher::Source DeviceWatcher::start(Source first)
{
    stop();
    if (first == Source::Udev && QFileInfo::exists(QStringLiteral("/run/udev/control"))
        && startMonitor("udev"))
        m_source = Source::Udev;
    else if (first != Source::Poll && startMonitor("kernel"))
        m_source = Source::KernelUevent;
    else {
        m_known = matchingPaths();
        m_pollTimer.start(kPollIntervalMs);
        m_source = Source::Poll;
    }
    qCInfo(lcWatcher).noquote() << "device notifications:" << sourceName(m_source);
    return m_source;
}

void DeviceWatcher::stop()
{
    m_pollTimer.stop();
    delete m_notifier;
    m_notifier = nullptr;
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    m_monitor = nullptr;
    if (m_udev)
        udev_unref(m_udev);
    m_udev = nullptr;
    m_source = Source::None;
}

bool DeviceWatcher::startMonitor(const char *name)
{
    m_udev = udev_new();
    if (!m_udev)
        return false;
    m_monitor = udev_monitor_new_from_netlink(m_udev, name);
    if (!m_monitor || udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hidraw", nullptr) < 0
        || udev_monitor_enable_receiving(m_monitor) < 0) {
        qCDebug(lcWatcher) << "no" << name << "monitor";
        if (m_monitor)
            udev_monitor_unref(m_monitor);
        m_monitor = nullptr;
        udev_unref(m_udev);
        m_udev = nullptr;
        return false;
    }
    m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &DeviceWatcher::readMonitor);
    return true;
}

void DeviceWatcher::readMonitor()
{
    // Drain everything pending: one notification may stand for several messages.
    while (struct udev_device *device = udev_monitor_receive_device(m_monitor)) {
        const QByteArray action = udev_device_get_action(device);
        qCDebug(lcWatcher) << action << udev_device_get_devnode(device);
        udev_device_unref(device);
        if (action == "add")
            emit deviceArrived();
        else if (action == "remove")
            emit deviceRemoved();
    }
}

QSet<QByteArray> DeviceWatcher::matchingPaths() const
{
    QSet<QByteArray> paths;
    for (const auto &info : hidaccess::defaultBackend()->enumerate()) {
        if (info.vendorId == m_vendorId && info.productId == m_productId)
            paths.insert(info.path);
    }
    return paths;
}

void DeviceWatcher::poll()
{
    const QSet<QByteArray> now = matchingPaths();
    const bool removed = !(m_known - now).isEmpty();
    const bool arrived = !(now - m_known).isEmpty();
    m_known = now;
    if (removed)
        emit deviceRemoved();
    if (arrived)
        emit deviceArrived();
}

void DeviceWatcher::reportArrival()
{
    emit deviceArrived();
}

void DeviceWatcher::reportRemoval()
{
    emit deviceRemoved();
}
