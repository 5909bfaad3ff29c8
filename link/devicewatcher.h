#pragma once

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QTimer>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// Tells the GUI thread that some HID device arrived or was removed, as the system reports it.
// No device is named: the window decides what an arrival or a removal means for its link.
//
// Sources, tried in this order:
//  - the udev monitor, where a udev daemon runs (/run/udev/control exists);
//  - the kernel's own uevents (netlink), where no daemon re-broadcasts them (containers);
//  - a slow poll of the instrument's HID paths, where neither can be had.
class DeviceWatcher : public QObject
{
    Q_OBJECT
public:
    enum class Source { None, Udev, KernelUevent, Poll };

    DeviceWatcher(quint16 vendorId, quint16 productId, QObject *parent = nullptr);
    ~DeviceWatcher() override;

    // Starts the first source that works, beginning with `first`. Returns the one in use.
    Source start(Source first = Source::Udev);
    void stop();
    Source source() const { return m_source; }
    static QString sourceName(Source source);

    // For devices the system does not know of (the virtual instrument): report them through
    // the same path as real ones.
    void reportArrival();
    void reportRemoval();

    static constexpr int kPollIntervalMs = 1000;

signals:
    void deviceArrived();
    void deviceRemoved();

private:
    bool startMonitor(const char *name);
    void readMonitor();
    void poll();
    QSet<QByteArray> matchingPaths() const;

    quint16 m_vendorId;
    quint16 m_productId;
    Source m_source = Source::None;
    struct udev *m_udev = nullptr;
    struct udev_monitor *m_monitor = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_pollTimer;
    QSet<QByteArray> m_known;
};
