#include "hidapibackend.h"

#include <QDir>
#include <QLoggingCategory>

#include <hidapi/hidapi.h>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcHidapi, "colorimeter.hid")

namespace hidaccess {

namespace {

QString fromWide(const wchar_t *text)
{
    return text ? QString::fromWCharArray(text) : QString();
}

// The advisory lock that stands in for share modes: an exclusive open takes it exclusively, a
// shared open shares it, so a shared open still fails while another holder has the interface
// exclusively. Returns the lock's descriptor, -1 when another holder is in the way (*inUse set)
// or the lock file cannot be made (then the open goes ahead unlocked: a lock we cannot take must
// not keep the user from the instrument).
int takeDeviceLock(const QByteArray &path, bool exclusive, bool *inUse)
{
    *inUse = false;
    QByteArray name = path;
    name.replace('/', '_');
    const QByteArray lockPath =
        QFile::encodeName(QDir::tempPath()) + "/colorimeter-hid" + name + ".lock";
    const int fd = ::open(lockPath.constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return -1;
    if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        *inUse = (errno == EWOULDBLOCK);
        ::close(fd);
        return -1;
    }
    return fd;
}

class HidapiDevice : public Device
{
public:
    HidapiDevice(hid_device *dev, QByteArray path, int lockFd)
        : m_dev(dev), m_path(std::move(path)), m_lockFd(lockFd)
    {
    }
    ~HidapiDevice() override
    {
        hid_close(m_dev);
        if (m_lockFd >= 0)
            ::close(m_lockFd);
    }

    int readReport(unsigned char *buf, int size, int timeoutMs) override
    {
        const int n = hid_read_timeout(m_dev, buf, static_cast<size_t>(size), timeoutMs);
        if (n < 0)
            qCDebug(lcHidapi) << "read failed:" << fromWide(hid_error(m_dev));
        return n;
    }

    int writeReport(const unsigned char *data, int size, int timeoutMs) override
    {
        // hidraw queues an output report at once; the wait below the call is the kernel's.
        Q_UNUSED(timeoutMs);
        const int n = hid_write(m_dev, data, static_cast<size_t>(size));
        if (n < 0) {
            qCDebug(lcHidapi) << "write failed:" << fromWide(hid_error(m_dev));
            return -1;
        }
        return n == size ? size : 0;
    }

    bool attributes(quint16 *vendorId, quint16 *productId) override
    {
        // hidapi 0.13 has no attribute query on an open handle; a present device is one that
        // enumeration still lists under our path.
        hid_device_info *list = hid_enumerate(0, 0);
        bool found = false;
        for (hid_device_info *d = list; d; d = d->next) {
            if (d->path && m_path == d->path) {
                if (vendorId)
                    *vendorId = d->vendor_id;
                if (productId)
                    *productId = d->product_id;
                found = true;
                break;
            }
        }
        hid_free_enumeration(list);
        return found;
    }

    bool serialNumber(QString *serial) override
    {
        wchar_t text[81] = {};
        if (hid_get_serial_number_string(m_dev, text, 80) != 0)
            return false;
        if (serial)
            *serial = fromWide(text);
        return true;
    }

    int inputReportLength() const override { return HidapiBackend::kReportLength; }
    int outputReportLength() const override { return HidapiBackend::kReportLength; }

private:
    hid_device *m_dev;
    QByteArray m_path;
    int m_lockFd;
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
    if (::access(path.constData(), F_OK) != 0)
        return fail(OpenError::NotFound);
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES)
        return fail(OpenError::PermissionDenied);

    bool inUse = false;
    const int lockFd = takeDeviceLock(path, exclusive, &inUse);
    if (inUse)
        return fail(OpenError::InUse);
    errno = 0;
    hid_device *dev = hid_open_path(path.constData());
    if (!dev) {
        const int err = errno;
        if (lockFd >= 0)
            ::close(lockFd);
        return fail(err == EACCES || err == EPERM ? OpenError::PermissionDenied
                                                  : OpenError::Other);
    }
    if (error)
        *error = OpenError::None;
    return std::make_unique<HidapiDevice>(dev, path, lockFd);
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
