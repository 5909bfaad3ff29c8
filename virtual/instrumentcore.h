// The instrument itself, behind the USB connector: its memory, the command interpreter that
// answers request frames, the queue of input reports waiting for the host, the faults a test
// asked for, and whether it is plugged in. Shared between the VirtualInstrument facade and
// every device handle opened on it, so a handle that outlives the facade fails cleanly instead
// of touching freed memory.
#pragma once

#include <condition_variable>
#include <mutex>

#include "frameparser.h"
#include "measurementmodel.h"
#include "memorymap.h"

#include "hidaccess.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <thread>

enum class VirtualFault {
    NoReply,             // the reply is swallowed
    LateReply,           // param: extra delay in ms
    CorruptByte,         // param: index in the reply frame whose bits are flipped after the CRC
    StrayBytes,          // bytes: sent before the frame in the same report (default 00 12)
    SplitReply,          // param: data bytes per input report (default 7)
    TrailingFrameStart,  // bytes: sent after the reply in the same report (default AB 44 00 00)
    ErrorReply,          // the error reply instead of the real one; param > 7: padded with zero
                         // bytes to param bytes (an instrument that fills its error reply to the
                         // length of an acknowledgement)
    CloseErrorPattern,   // byte 2 = 0x04 and byte 4 = 0x26 in the reply (CRC kept valid)
    BadEcho,             // echoed header bytes 1..6 altered (CRC kept valid)
    ButtonPressBehind,   // the button is pressed as the reply goes out: its measurement frame
                         // follows the reply at once, packed into the reply's last report;
                         // bytes: sent before the reply, as StrayBytes (default none)
};

class VirtualDeviceHandle;

class InstrumentCore : public std::enable_shared_from_this<InstrumentCore>
{
public:
    static constexpr int kReportSize = 64;
    static constexpr int kMaxData = 62;
    static constexpr quint8 kReportId = 0x3F;
    static constexpr quint16 kVendorId = 0x2047;
    static constexpr quint16 kProductId = 0x0301;
    static const char kPath[];
    // A request frame whose bytes stop coming for this long is given up, so a host that died
    // mid-frame (or a corrupted length field) cannot keep the instrument deaf for good.
    static constexpr qint64 kStaleFrameMs = 500;

    InstrumentCore();

    // --- plugging and lifetime (return true when the state changed) ---
    bool plug();
    bool unplug();
    bool isPlugged() const;
    void shutDown();   // the facade is going away: every handle fails from now on

    QString serialString() const;
    void setSerialString(const QString &serial);

    // --- backend side ---
    QList<hidaccess::InterfaceInfo> enumerate() const;
    std::unique_ptr<hidaccess::Device> open(const QByteArray &path, bool exclusive,
                                            hidaccess::OpenError *error);
    void setOpenError(hidaccess::OpenError e);

    // --- device handle side ---
    int readReport(VirtualDeviceHandle *h, unsigned char *buf, int size, int timeoutMs);
    int writeReport(VirtualDeviceHandle *h, const unsigned char *data, int size);
    bool handleAlive(const VirtualDeviceHandle *h) const;
    void cancel(VirtualDeviceHandle *h);
    void release(VirtualDeviceHandle *h);

    // --- memory ---
    QByteArray memory(quint32 address, int length) const;
    void setMemory(quint32 address, const QByteArray &bytes);
    quint16 registerValue(quint16 reg) const;
    void setRegister(quint16 reg, quint16 value);
    void reseedMemory();

    // --- measurements ---
    void queueMeasurement(const VirtualMeasurement &m);
    VirtualMeasurement lastMeasurement() const;
    void pressButton();
    void setMeasurementTimeMs(int ms);
    void setGeneratorSeed(quint64 seed);

    // --- faults, timing ---
    void injectFault(VirtualFault kind, int param, const QByteArray &bytes);
    void clearFaults();
    int pendingFaults() const;
    void setWriteFailure(bool fail);
    void setTimingModel(bool on);
    void setEmptyReportFlood(int everyMs);

    // --- observation ---
    QList<QByteArray> receivedFrames() const;
    QList<QByteArray> receivedReports() const;
    void clearLog();
    int pendingInputReports() const;
    qint64 hostCalls() const;
    qint64 overlappingHostCalls() const;
    QList<VirtualMeasurement> deliveredMeasurements() const;

    // Called outside the lock with every complete request frame; set by the facade.
    void setFrameSink(std::function<void(const QByteArray &)> sink);

private:
    struct InputReport {
        QByteArray bytes;   // kReportSize bytes, report ID first
        qint64 readyAtMs = 0;
        int measurement = -1;   // index into m_sentMeasurements when this report ends its frame
    };
    struct Fault {
        VirtualFault kind;
        int param;
        QByteArray bytes;
    };

    qint64 nowMs() const { return m_clock.elapsed(); }
    bool aliveLocked(const VirtualDeviceHandle *h) const;
    void dropTrafficLocked();

    // Interprets one request; queues its reply if it has one.
    void executeLocked(const FrameParser::Item &item);
    VirtualMeasurement nextMeasurementLocked();
    // Applies the next fault, cuts the frame into input reports and queues them. `measurement`
    // is the reading a measurement frame carries (null for other frames).
    void sendLocked(QByteArray frame, int delayMs, const VirtualMeasurement *measurement = nullptr);
    // ends: for each payload, the index of the measurement whose frame it ends, or -1.
    void queueReportsLocked(const QList<QByteArray> &payloads, int delayMs,
                            const QList<int> &ends = {});
    // A measurement frame for the reading, sequence numbered; *m receives the reading.
    QByteArray measurementFrameLocked(VirtualMeasurement *m);
    // Host calls in progress: counts calls that began while another one was still running.
    void enterHostCall();
    void leaveHostCall();
    // Hands complete request frames to the sink, holding no lock while it runs.
    void deliverFrames(const QList<QByteArray> &frames);

    // Standard primitives rather than Qt's: ThreadSanitizer sees through them, so a race in
    // the link above shows up in its runs instead of drowning in reports about this model.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    QElapsedTimer m_clock;

    bool m_plugged = true;
    bool m_shutDown = false;
    quint64 m_generation = 1;   // bumped by every unplug: older handles stay dead
    int m_liveHandles = 0;
    bool m_exclusiveHeld = false;
    hidaccess::OpenError m_openError = hidaccess::OpenError::None;
    QString m_serial = QStringLiteral("VC-0001");

    MemoryMap m_memory;
    FrameParser m_parser;
    qint64 m_lastRxMs = 0;
    QList<InputReport> m_input;

    QList<VirtualMeasurement> m_queuedMeasurements;
    VirtualMeasurement m_last;
    measurement::Generator m_generator;
    quint16 m_sequence = 0;
    int m_measurementTimeMs = 0;

    QList<Fault> m_faults;
    bool m_writeFailure = false;
    bool m_timingModel = false;
    int m_emptyReportEveryMs = 0;
    qint64 m_nextEmptyReportMs = 0;

    int m_hostCallsRunning = 0;
    qint64 m_hostCalls = 0;
    qint64 m_overlappingHostCalls = 0;
    QList<VirtualMeasurement> m_sentMeasurements;
    QList<VirtualMeasurement> m_delivered;

    QList<QByteArray> m_frameLog;
    QList<QByteArray> m_reportLog;

    // The sink runs with no lock held (a receiver may call back into the instrument, or even
    // destroy its facade); setFrameSink waits until calls on other threads have returned.
    std::mutex m_sinkMutex;
    std::condition_variable m_sinkIdle;
    std::function<void(const QByteArray &)> m_sink;
    QList<std::thread::id> m_sinkCallers;
};

// One opened interface. All state lives in the core; the handle only remembers which
// connection it belongs to.
class VirtualDeviceHandle : public hidaccess::Device
{
public:
    VirtualDeviceHandle(std::shared_ptr<InstrumentCore> core, quint64 generation, bool exclusive)
        : m_core(std::move(core)), m_generation(generation), m_exclusive(exclusive) {}
    ~VirtualDeviceHandle() override;

    int readReport(unsigned char *buf, int size, int timeoutMs) override;
    int writeReport(const unsigned char *data, int size, int timeoutMs) override;
    bool attributes(quint16 *vendorId, quint16 *productId) override;
    bool serialNumber(QString *serial) override;
    int inputReportLength() const override { return InstrumentCore::kReportSize; }
    int outputReportLength() const override { return InstrumentCore::kReportSize; }
    void cancel() override;

private:
    friend class InstrumentCore;
    std::shared_ptr<InstrumentCore> m_core;
    const quint64 m_generation;
    const bool m_exclusive;
    quint64 m_cancelCount = 0;   // guarded by the core's mutex
    bool m_released = false;     // guarded by the core's mutex
};
