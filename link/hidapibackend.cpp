#include "hidapibackend.h"

#include <QLoggingCategory>

#include <hidapi/hidapi.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcHidapi, "colorimeter.hid")

namespace hidaccess {

namespace {

QString fromWide(const wchar_t *text)
{
    return text ? QString::fromWCharArray(text) : QString();
}

// What enumeration says about one path now; false when the path is no longer listed.
bool lookUp(const QByteArray &path, quint16 *vendorId, quint16 *productId, QString *serial)
{
    hid_device_info *list = hid_enumerate(0, 0);
    bool found = false;
    for (hid_device_info *d = list; d; d = d->next) {
        if (d->path && path == d->path) {
            if (vendorId)
                *vendorId = d->vendor_id;
            if (productId)
                *productId = d->product_id;
            if (serial)
                *serial = fromWide(d->serial_number);
            found = true;
            break;
        }
    }
    hid_free_enumeration(list);
    return found;
}

// The descriptor of one opened device node and the thread that writes to it.
//
// A hidraw write is synchronous in the kernel: it returns once the device has taken the report
// or the USB stack has given up after its own 5 s, whatever O_NONBLOCK says, and poll() always
// reports a hidraw node writable. So the write itself runs on this thread, and the caller waits
// for it at most its own timeout. A write that overruns is left to finish on the thread (its
// result is dropped) and the caller is told 0; while it is still stuck, later writes wait for
// the thread within their own timeout and fail the same way. The channel is shared with the
// thread, so the descriptor (and the lock on it) goes once both the device and the thread are
// done with it.
class WriteChannel
{
public:
    explicit WriteChannel(int fd) : m_fd(fd) {}
    ~WriteChannel() { ::close(m_fd); }

    int fd() const { return m_fd; }

    static void start(const std::shared_ptr<WriteChannel> &channel)
    {
        std::thread([channel] { channel->run(); }).detach();
    }

    void stop()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
        m_cv.notify_all();
    }

    // size on success, 0 when the write did not complete within timeoutMs, -1 on an I/O error.
    int write(const unsigned char *data, int size, int timeoutMs)
    {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_cv.wait_until(lock, deadline, [this] { return !m_pending; }))
            return 0; // an earlier write is still stuck in the kernel
        m_job.assign(data, data + size);
        m_pending = true;
        const quint64 id = ++m_submitted;
        m_cv.notify_all();
        if (!m_cv.wait_until(lock, deadline, [this, id] { return m_completed == id; }))
            return 0;
        return m_result;
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_cv.wait(lock, [this] { return m_pending || m_quit; });
            if (!m_pending)
                return;
            const std::vector<unsigned char> job = m_job;
            lock.unlock();
            const int result = writeAll(job);
            lock.lock();
            m_result = result;
            m_completed = m_submitted;
            m_pending = false;
            m_cv.notify_all();
        }
    }

    int writeAll(const std::vector<unsigned char> &job)
    {
        for (;;) {
            const ssize_t n = ::write(m_fd, job.data(), job.size());
            if (n >= 0)
                return n == static_cast<ssize_t>(job.size()) ? static_cast<int>(n) : 0;
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                // Nodes that honour O_NONBLOCK: wait for room, looking now and then whether
                // the device is being closed.
                pollfd p{m_fd, POLLOUT, 0};
                ::poll(&p, 1, 100);
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_quit)
                    return 0;
                continue;
            }
            return errno == ETIMEDOUT ? 0 : -1;
        }
    }

    const int m_fd;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<unsigned char> m_job;
    bool m_pending = false;
    bool m_quit = false;
    quint64 m_submitted = 0;
    quint64 m_completed = 0;
    int m_result = 0;
};

class HidrawDevice : public Device
{
public:
    HidrawDevice(int fd, QByteArray path)
        : m_channel(std::make_shared<WriteChannel>(fd)), m_path(std::move(path))
    {
        WriteChannel::start(m_channel);
    }
    ~HidrawDevice() override { m_channel->stop(); }

    int readReport(unsigned char *buf, int size, int timeoutMs) override
    {
        pollfd p{m_channel->fd(), POLLIN, 0};
        const int ready = ::poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
        if (ready < 0)
            return errno == EINTR ? 0 : fail("poll");
        if (ready == 0)
            return 0;
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL))
            return fail("poll");
        const ssize_t n = ::read(m_channel->fd(), buf, static_cast<size_t>(size));
        if (n < 0)
            return (errno == EAGAIN || errno == EINTR) ? 0 : fail("read");
        return static_cast<int>(n);
    }

    int writeReport(const unsigned char *data, int size, int timeoutMs) override
    {
        const int n = m_channel->write(data, size, timeoutMs);
        if (n == 0)
            qCDebug(lcHidapi) << "write did not complete within" << timeoutMs << "ms";
        else if (n < 0)
            qCDebug(lcHidapi) << "write failed";
        return n;
    }

    bool attributes(quint16 *vendorId, quint16 *productId) override
    {
        // A present device is one that enumeration still lists under our path.
        return lookUp(m_path, vendorId, productId, nullptr);
    }

    bool serialNumber(QString *serial) override
    {
        return lookUp(m_path, nullptr, nullptr, serial);
    }

    int inputReportLength() const override { return HidapiBackend::kReportLength; }
    int outputReportLength() const override { return HidapiBackend::kReportLength; }

private:
    int fail(const char *what)
    {
        qCDebug(lcHidapi) << what << "failed on" << m_path << ":" << strerror(errno);
        return -1;
    }

    std::shared_ptr<WriteChannel> m_channel;
    QByteArray m_path;
};

} // namespace

HidapiBackend::HidapiBackend()
{
    if (hid_init() != 0)
        qCWarning(lcHidapi) << "hid_init failed";
}

HidapiBackend::~HidapiBackend()
{
    hid_exit();
}

QList<InterfaceInfo> HidapiBackend::enumerate()
{
    QList<InterfaceInfo> result;
    hid_device_info *list = hid_enumerate(0, 0);
    for (hid_device_info *d = list; d; d = d->next) {
        InterfaceInfo info;
        info.path = d->path ? QByteArray(d->path) : QByteArray();
        info.vendorId = d->vendor_id;
        info.productId = d->product_id;
        info.serialNumber = fromWide(d->serial_number);
        info.interfaceNumber = d->interface_number;
        result.append(info);
    }
    hid_free_enumeration(list);
    return result;
}

std::unique_ptr<Device> HidapiBackend::open(const QByteArray &path, bool exclusive,
                                            OpenError *error)
{
    auto fail = [error](OpenError e) {
        if (error)
            *error = e;
        return std::unique_ptr<Device>();
    };
    const int fd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == EACCES || err == EPERM)
            return fail(OpenError::PermissionDenied);
        if (err == ENOENT || err == ENODEV || err == ENXIO)
            return fail(OpenError::NotFound);
        return fail(OpenError::Other);
    }
    // hidraw has no share modes: an advisory lock on the node itself stands in for them, so it
    // holds whatever temporary folder or user another holder has.
    if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        const int err = errno;
        if (err == EWOULDBLOCK) {
            qCWarning(lcHidapi) << "cannot lock" << path << "- another program holds it";
            ::close(fd);
            return fail(OpenError::InUse);
        }
        // A lock we cannot take must not keep the user from the instrument.
        qCWarning(lcHidapi) << "cannot lock" << path << ":" << strerror(err)
                            << "- opened without protection against a second holder";
    }
    if (error)
        *error = OpenError::None;
    return std::make_unique<HidrawDevice>(fd, path);
}

namespace {
std::atomic<Backend *> g_backend{nullptr};
}

Backend *defaultBackend()
{
    if (Backend *b = g_backend.load())
        return b;
    static HidapiBackend hidapi;
    return &hidapi;
}

void setDefaultBackend(Backend *backend)
{
    g_backend.store(backend);
}

} // namespace hidaccess
