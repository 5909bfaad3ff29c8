// The HID access layer: the few operations the transport needs from the system, behind one
// interface so that the real instrument (hidapi, hidraw) and the virtual instrument are
// interchangeable. Nothing above this header knows which backend is in use.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <memory>

namespace hidaccess {

// One present HID interface, as enumeration reports it.
struct InterfaceInfo {
    QByteArray path;       // backend-specific, opaque to callers (e.g. "/dev/hidraw3")
    quint16 vendorId = 0;
    quint16 productId = 0;
    QString serialNumber;  // empty when the interface has none
    int interfaceNumber = -1;
};

enum class OpenError {
    None,
    NotFound,          // the path is not (or no longer) present
    InUse,             // another program holds the interface (stands in for a sharing violation)
    PermissionDenied,  // present, but this user may not open it (udev rule missing)
    Other
};

// An opened interface. Reports carry their report ID in byte 0 in both directions.
// Calls are serialised by the caller (the link lock); cancel() may come from any thread.
class Device
{
public:
    virtual ~Device() = default;

    // Waits at most timeoutMs for one input report and copies it (report ID first) into buf.
    // Returns the number of bytes, 0 when the wait timed out, -1 on an I/O error (device gone).
    virtual int readReport(unsigned char *buf, int size, int timeoutMs) = 0;

    // Writes one output report (report ID first) of exactly size bytes. Returns size on success,
    // 0 when it could not complete within timeoutMs, -1 on an I/O error.
    virtual int writeReport(const unsigned char *data, int size, int timeoutMs) = 0;

    // The vendor and product IDs of the open interface. False when it no longer answers: this
    // doubles as the presence test after a removal notice.
    virtual bool attributes(quint16 *vendorId, quint16 *productId) = 0;

    // The serial-number string; false when the interface cannot give one.
    virtual bool serialNumber(QString *serial) = 0;

    // Report lengths including the report ID byte; 0 when the device does not say.
    virtual int inputReportLength() const = 0;
    virtual int outputReportLength() const = 0;

    // Wakes a pending readReport()/writeReport() early (it then returns 0). Optional.
    virtual void cancel() {}
};

class Backend
{
public:
    virtual ~Backend() = default;

    // Every HID interface present now.
    virtual QList<InterfaceInfo> enumerate() = 0;

    // Opens a path for reading and writing. With exclusive, fails with InUse when another
    // holder exists. On failure returns null and sets *error (if given).
    virtual std::unique_ptr<Device> open(const QByteArray &path, bool exclusive,
                                         OpenError *error) = 0;

    // A short name for diagnostics ("hidapi-hidraw", "virtual").
    virtual QString name() const = 0;
};

// The backend the transport uses: hidapi unless another one was installed (demo mode, tests).
Backend *defaultBackend();
// Installs a backend for the whole process; nullptr restores hidapi. The caller keeps ownership
// and must keep it alive while links use it. Call before any link is opened.
void setDefaultBackend(Backend *backend);

} // namespace hidaccess
