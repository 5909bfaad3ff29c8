#include "libhiddevice.h"

#include <QElapsedTimer>
#include <QLoggingCategory>

#include <algorithm>
#include <atomic>
#include <cstring>

Q_LOGGING_CATEGORY(lcHidDevice, "colorimeter.hid")

using hidaccess::OpenError;

struct libHidDevice::DeviceRecord {
    std::unique_ptr<hidaccess::Device> handle;
    bool opened = false;
    unsigned readTimeout = kDefaultTimeoutMs;
    unsigned writeTimeout = kDefaultTimeoutMs;
    int inputReportLength = 0;
    int outputReportLength = 0;
    unsigned char reportBuffer[8192] = {};
    // Data bytes of an earlier report that a read did not ask for, kept for the next read.
    unsigned char carry[8192] = {};
    quint16 carryCount = 0;
    // Set by the first I/O error: the instrument is gone. Nothing more is asked of the handle,
    // so a dead device costs neither time nor log lines. Atomic: the window asks isRemoved()
    // on a removal notice without the link lock, while the worker may be reading.
    std::atomic_bool lost{false};
};

namespace {
// The instrument's report size, used when the device does not state its own.
constexpr int kFallbackReportLength = 64;
}

libHidDevice::libHidDevice(hidaccess::Backend *backend)
    : m_backend(backend ? backend : hidaccess::defaultBackend())
{
}

libHidDevice::~libHidDevice()
{
    if (m_record)
        close();
}

int libHidDevice::open(quint16 vendorId, quint16 productId)
{
    if (m_record && m_record->opened)
        return 0;
    m_lastOpenError = OpenError::NotFound;

    // Interfaces of the instrument, in enumeration order.
    QList<hidaccess::InterfaceInfo> matching;
    for (const auto &info : m_backend->enumerate()) {
        if (info.vendorId == vendorId && info.productId == productId)
            matching.append(info);
    }
    if (matching.isEmpty()) {
        qCDebug(lcHidDevice) << "no interface" << Qt::hex << vendorId << productId;
        return -1;
    }

    // Serial numbers of the devices present (at most six); the last one listed is opened, and
    // of its interfaces the last one (a composite device exposes the instrument's reports on its
    // highest interface).
    QStringList serials;
    for (const auto &info : matching) {
        if (!serials.contains(info.serialNumber) && serials.size() < 6)
            serials.append(info.serialNumber);
    }
    const QString chosenSerial = serials.last();
    QList<hidaccess::InterfaceInfo> candidates;
    for (const auto &info : matching) {
        if (info.serialNumber == chosenSerial)
            candidates.append(info);
    }
    std::stable_sort(candidates.begin(), candidates.end(), [](const auto &a, const auto &b) {
        return a.interfaceNumber < b.interfaceNumber;
    });
    const auto &target = candidates.last();
    const bool exclusive = candidates.size() == 1;

    OpenError error = OpenError::None;
    std::unique_ptr<hidaccess::Device> handle = m_backend->open(target.path, exclusive, &error);
    if (!handle && error == OpenError::InUse && exclusive)
        handle = m_backend->open(target.path, false, &error); // one retry, shared
    if (!handle) {
        m_lastOpenError = error;
        qCDebug(lcHidDevice) << "open of" << target.path << "failed:" << static_cast<int>(error);
        return -1;
    }
    quint16 vid = 0, pid = 0;
    if (!handle->attributes(&vid, &pid) || vid != vendorId || pid != productId) {
        m_lastOpenError = OpenError::Other;
        qCDebug(lcHidDevice) << "attributes of" << target.path << "do not match";
        return -1;
    }

    auto record = std::make_unique<DeviceRecord>();
    record->handle = std::move(handle);
    record->opened = true;
    // A device that states no report length keeps the instrument's 64 bytes.
    record->inputReportLength = record->handle->inputReportLength();
    record->outputReportLength = record->handle->outputReportLength();
    if (record->inputReportLength <= 2)
        record->inputReportLength = kFallbackReportLength;
    if (record->outputReportLength <= 2)
        record->outputReportLength = kFallbackReportLength;
    record->inputReportLength =
        std::min<int>(record->inputReportLength, sizeof(record->reportBuffer));
    record->outputReportLength =
        std::min<int>(record->outputReportLength, sizeof(record->reportBuffer));
    m_record = std::move(record);
    m_lastOpenError = OpenError::None;
    isOpen = true;
    return 0;
}

int libHidDevice::close()
{
    if (!m_record || !m_record->opened)
        return 2;
    isOpen = false;
    m_record->opened = false;
    m_record->carryCount = 0;
    if (!m_record->handle)
        return 6;
    m_record->handle->cancel();
    m_record->handle.reset();
    return 0;
}

int libHidDevice::read(char *dst, int length, int timeoutMs)
{
    if (!isOpen || !m_record || !m_record->opened || !dst || length <= 0)
        return 0;
    m_record->readTimeout = static_cast<unsigned>(std::max(timeoutMs, 0));
    return readReports(dst, length);
}

bool libHidDevice::isLost() const
{
    return m_record && m_record->lost;
}

void libHidDevice::markLost(const char *what)
{
    if (m_record->lost.exchange(true))
        return;
    qCWarning(lcHidDevice) << "I/O error on" << what
                           << "- the instrument no longer answers and is treated as removed";
}

int libHidDevice::readReports(char *dst, int length)
{
    DeviceRecord &r = *m_record;
    if (r.carryCount > length) {
        std::memcpy(dst, r.carry, static_cast<size_t>(length));
        std::memmove(r.carry, r.carry + length, r.carryCount - static_cast<size_t>(length));
        r.carryCount = static_cast<quint16>(r.carryCount - length);
        return length;
    }
    int delivered = r.carryCount;
    std::memcpy(dst, r.carry, r.carryCount);
    r.carryCount = 0;
    if (r.lost)
        return delivered; // bytes received before the device went are still delivered

    // One deadline for the whole call, whatever arrives meanwhile: a device that keeps sending
    // reports (empty ones, foreign ones, a trickle of data) cannot keep a read going, and so
    // cannot keep the link lock held by whoever is reading.
    QElapsedTimer clock;
    clock.start();
    const qint64 deadline = static_cast<qint64>(r.readTimeout);
    while (delivered < length) {
        const qint64 left = deadline - clock.elapsed();
        if (left < 0)
            return delivered;
        const int n = r.handle->readReport(r.reportBuffer, r.inputReportLength, static_cast<int>(left));
        if (n == 0)
            return delivered; // report wait timed out: what arrived so far
        if (n < 0) {
            markLost("read");
            return delivered;
        }
        if (n < 2 || r.reportBuffer[0] != kReportId)
            continue;
        // Never trust the count byte beyond what the report actually holds.
        const int count = std::min<int>(r.reportBuffer[1], n - 2);
        const int remaining = length - delivered;
        if (count > remaining) {
            std::memcpy(dst + delivered, r.reportBuffer + 2, static_cast<size_t>(remaining));
            r.carryCount = static_cast<quint16>(count - remaining);
            std::memcpy(r.carry, r.reportBuffer + 2 + remaining, r.carryCount);
            return length;
        }
        std::memcpy(dst + delivered, r.reportBuffer + 2, static_cast<size_t>(count));
        delivered += count;
    }
    return length;
}

int libHidDevice::write(const char *src, int length, int timeoutMs)
{
    if (!isOpen || !m_record || !m_record->opened || !src || length <= 0)
        return 0;
    DeviceRecord &r = *m_record;
    if (r.lost)
        return 0;
    r.writeTimeout = static_cast<unsigned>(std::max(timeoutMs, 0));
    const int reportLength = r.outputReportLength;
    const int chunk = std::min(kMaxChunk, reportLength - 2);
    unsigned char report[sizeof(DeviceRecord::reportBuffer)];
    for (int offset = 0; offset < length; offset += chunk) {
        const int n = std::min(chunk, length - offset);
        std::memset(report, 0, static_cast<size_t>(reportLength));
        report[0] = kReportId;
        report[1] = static_cast<unsigned char>(n);
        std::memcpy(report + 2, src + offset, static_cast<size_t>(n));
        const int written = r.handle->writeReport(report, reportLength, static_cast<int>(r.writeTimeout));
        if (written != reportLength) {
            if (written < 0)
                markLost("write");
            else
                qCDebug(lcHidDevice) << "report write failed at byte" << offset;
            return 0;
        }
    }
    return length;
}

bool libHidDevice::isRemoved()
{
    if (!m_record || !m_record->opened || !m_record->handle || m_record->lost)
        return true;
    quint16 vid = 0, pid = 0;
    return !m_record->handle->attributes(&vid, &pid);
}
