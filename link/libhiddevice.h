#pragma once

#include "hidaccess.h"

#include <QtGlobal>

#include <memory>

// The HID transport of the instrument: finds it among the HID interfaces, opens it, and turns
// the link layer's byte streams into reports (ID 0x3F, count byte, up to 62 data bytes) and
// back. It knows nothing of frames or commands.
class libHidDevice
{
public:
    // The backend is the HID access layer in use; null means hidaccess::defaultBackend().
    explicit libHidDevice(hidaccess::Backend *backend = nullptr);
    virtual ~libHidDevice();

    libHidDevice(const libHidDevice &) = delete;
    libHidDevice &operator=(const libHidDevice &) = delete;

    // 0: closed; 2: the record was not open; 6: its handle was already invalid.
    virtual int close();
    // Up to length bytes: what arrived within timeoutMs. The bound holds for the whole call,
    // however reports arrive. 0 when not open or when nothing arrived; on an I/O error, what
    // arrived before it (often 0).
    virtual int read(char *dst, int length, int timeoutMs);
    // Writes length bytes as reports of at most 62 data bytes; length when all went out, else 0.
    virtual int write(const char *src, int length, int timeoutMs);
    // True when the open interface no longer answers its attribute query, or an I/O error
    // has shown it gone.
    virtual bool isRemoved();

    // True after an I/O error on the open interface: the device is gone. Reads then deliver
    // only bytes already received, and writes fail, without asking the device again.
    bool isLost() const;

    // 0 on success, -1 on failure. A device that is already open is not opened again.
    int open(quint16 vendorId, quint16 productId);

    // Why the last open failed (PermissionDenied lets the window say what to do about it).
    hidaccess::OpenError lastOpenError() const { return m_lastOpenError; }

    bool isOpen = false;

    static constexpr int kReportId = 0x3F;
    static constexpr int kMaxChunk = 62;
    static constexpr int kDefaultTimeoutMs = 50;

private:
    struct DeviceRecord;

    int readReports(char *dst, int length);
    void markLost(const char *what);

    hidaccess::Backend *m_backend;
    std::unique_ptr<DeviceRecord> m_record;
    hidaccess::OpenError m_lastOpenError = hidaccess::OpenError::None;
};
