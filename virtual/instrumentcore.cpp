#include "instrumentcore.h"

#include "seed.h"
#include "wire.h"

#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>
#include <cstring>

const char InstrumentCore::kPath[] = "virtual:colorimeter";

InstrumentCore::InstrumentCore()
{
    m_clock.start();
    seed::fill(m_memory);
}

// ---------------------------------------------------------------------------------------------
// Plugging and lifetime

bool InstrumentCore::plug()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_plugged || m_shutDown)
        return false;
    m_plugged = true;
    return true;
}

bool InstrumentCore::unplug()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_plugged)
        return false;
    m_plugged = false;
    ++m_generation;
    m_liveHandles = 0;
    m_exclusiveHeld = false;
    dropTrafficLocked();
    m_wake.notify_all();
    return true;
}

bool InstrumentCore::isPlugged() const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_plugged;
}

void InstrumentCore::shutDown()
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_shutDown = true;
        m_plugged = false;
        ++m_generation;
        m_liveHandles = 0;
        m_exclusiveHeld = false;
        dropTrafficLocked();
        m_wake.notify_all();
    }
    setFrameSink(nullptr);
}

QString InstrumentCore::serialString() const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_serial;
}

void InstrumentCore::setSerialString(const QString &serial)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_serial = serial;
}

void InstrumentCore::dropTrafficLocked()
{
    m_input.clear();
    m_parser.clear();
}

// ---------------------------------------------------------------------------------------------
// Backend

QList<hidaccess::InterfaceInfo> InstrumentCore::enumerate() const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_plugged || m_shutDown)
        return {};
    hidaccess::InterfaceInfo info;
    info.path = QByteArray(kPath);
    info.vendorId = kVendorId;
    info.productId = kProductId;
    info.serialNumber = m_serial;
    info.interfaceNumber = 0;
    return {info};
}

std::unique_ptr<hidaccess::Device> InstrumentCore::open(const QByteArray &path, bool exclusive,
                                                        hidaccess::OpenError *error)
{
    auto fail = [error](hidaccess::OpenError e) -> std::unique_ptr<hidaccess::Device> {
        if (error)
            *error = e;
        return nullptr;
    };
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_shutDown || !m_plugged || path != QByteArray(kPath))
        return fail(hidaccess::OpenError::NotFound);
    if (m_openError != hidaccess::OpenError::None)
        return fail(m_openError);
    if (m_exclusiveHeld || (exclusive && m_liveHandles > 0))
        return fail(hidaccess::OpenError::InUse);
    if (m_liveHandles == 0)
        dropTrafficLocked();   // a new connection starts with a clean pipe
    ++m_liveHandles;
    if (exclusive)
        m_exclusiveHeld = true;
    if (error)
        *error = hidaccess::OpenError::None;
    return std::make_unique<VirtualDeviceHandle>(shared_from_this(), m_generation, exclusive);
}

void InstrumentCore::setOpenError(hidaccess::OpenError e)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_openError = e;
}

// ---------------------------------------------------------------------------------------------
// Device handles

bool InstrumentCore::aliveLocked(const VirtualDeviceHandle *h) const
{
    return !m_shutDown && m_plugged && !h->m_released && h->m_generation == m_generation;
}

bool InstrumentCore::handleAlive(const VirtualDeviceHandle *h) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return aliveLocked(h);
}

void InstrumentCore::cancel(VirtualDeviceHandle *h)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    ++h->m_cancelCount;
    m_wake.notify_all();
}

void InstrumentCore::release(VirtualDeviceHandle *h)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (h->m_released)
        return;
    const bool counted = aliveLocked(h);
    h->m_released = true;
    if (counted) {
        --m_liveHandles;
        if (h->m_exclusive)
            m_exclusiveHeld = false;
        if (m_liveHandles == 0)
            dropTrafficLocked();   // nobody reads: reports would be lost on a real bus too
    }
    m_wake.notify_all();
}

void InstrumentCore::enterHostCall()
{
    ++m_hostCalls;
    if (++m_hostCallsRunning > 1)
        ++m_overlappingHostCalls;
}

void InstrumentCore::leaveHostCall()
{
    --m_hostCallsRunning;
}

int InstrumentCore::readReport(VirtualDeviceHandle *h, unsigned char *buf, int size, int timeoutMs)
{
    if (!buf || size <= 0)
        return -1;
    std::unique_lock<std::mutex> lock(m_mutex);
    enterHostCall();
    struct Leave {
        InstrumentCore *core;
        ~Leave() { core->leaveHostCall(); }   // runs while `lock` is still held
    } leave{this};
    const quint64 cancelMark = h->m_cancelCount;
    const QDeadlineTimer deadline = timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever)
                                                  : QDeadlineTimer(timeoutMs);
    for (;;) {
        if (!aliveLocked(h))
            return -1;
        if (h->m_cancelCount != cancelMark)
            return 0;
        qint64 untilReady = -1;   // nothing queued: wait for the deadline only
        const qint64 now = nowMs();
        if (!m_input.isEmpty()) {
            if (m_input.first().readyAtMs <= now) {
                const InputReport report = m_input.takeFirst();
                if (report.measurement >= 0)
                    m_delivered.append(m_sentMeasurements.at(report.measurement));
                const int n = std::min(size, int(report.bytes.size()));
                std::memcpy(buf, report.bytes.constData(), size_t(n));
                return n;
            }
            untilReady = m_input.first().readyAtMs - now;
        }
        if (m_emptyReportEveryMs > 0) {
            // A firmware that keeps its interrupt endpoint busy with reports that say nothing.
            if (now >= m_nextEmptyReportMs) {
                m_nextEmptyReportMs = now + m_emptyReportEveryMs;
                QByteArray empty(kReportSize, '\0');
                empty[0] = char(kReportId);
                const int n = std::min(size, int(empty.size()));
                std::memcpy(buf, empty.constData(), size_t(n));
                return n;
            }
            const qint64 untilEmpty = m_nextEmptyReportMs - now;
            untilReady = untilReady < 0 ? untilEmpty : std::min(untilReady, untilEmpty);
        }
        if (deadline.hasExpired())
            return 0;
        const qint64 remaining = deadline.remainingTime();   // -1 when forever
        qint64 wait = untilReady;
        if (remaining >= 0)
            wait = wait < 0 ? remaining : std::min(wait, remaining);
        if (wait < 0)
            m_wake.wait(lock);
        else
            m_wake.wait_for(lock, std::chrono::milliseconds(std::max<qint64>(wait, 1)));
    }
}

int InstrumentCore::writeReport(VirtualDeviceHandle *h, const unsigned char *data, int size)
{
    if (!data || size <= 0)
        return -1;
    bool timing;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        enterHostCall();
        timing = m_timingModel;
    }
    if (timing)
        QThread::msleep(1);   // one full-speed interrupt frame per report

    QList<QByteArray> frames;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        leaveHostCall();
        if (!aliveLocked(h) || m_writeFailure)
            return -1;
        m_reportLog.append(QByteArray(reinterpret_cast<const char *>(data), size));
        // Reports the instrument does not understand are dropped by its firmware, not refused
        // by the bus.
        if (size < 2 || data[0] != kReportId || data[1] > kMaxData)
            return size;
        const int n = std::min(int(data[1]), size - 2);
        const qint64 now = nowMs();
        if (m_parser.pendingBytes() > 0 && now - m_lastRxMs > kStaleFrameMs)
            m_parser.clear();
        m_lastRxMs = now;
        const QList<FrameParser::Item> items =
            m_parser.feed(QByteArray(reinterpret_cast<const char *>(data) + 2, n));
        for (const FrameParser::Item &item : items) {
            if (item.kind == FrameParser::Item::Frame || item.kind == FrameParser::Item::BadCrc) {
                m_frameLog.append(item.bytes);
                frames.append(item.bytes);
            }
            executeLocked(item);
        }
    }
    deliverFrames(frames);
    return size;
}

void InstrumentCore::deliverFrames(const QList<QByteArray> &frames)
{
    const std::thread::id self = std::this_thread::get_id();
    for (const QByteArray &f : frames) {
        std::function<void(const QByteArray &)> sink;
        {
            std::unique_lock<std::mutex> lock(m_sinkMutex);
            if (!m_sink)
                return;   // shut down, perhaps by a receiver of the frame before
            sink = m_sink;
            m_sinkCallers.append(self);
        }
        sink(f);
        {
            std::unique_lock<std::mutex> lock(m_sinkMutex);
            m_sinkCallers.removeOne(self);
        }
        m_sinkIdle.notify_all();
    }
}

// ---------------------------------------------------------------------------------------------
// The command interpreter

void InstrumentCore::executeLocked(const FrameParser::Item &item)
{
    switch (item.kind) {
    case FrameParser::Item::BadCrc:
        sendLocked(wire::errorReply(item.function, wire::BadCrc), 0);
        return;
    case FrameParser::Item::UnknownFunction:
        sendLocked(wire::errorReply(item.function, wire::UnknownFunction), 0);
        return;
    case FrameParser::Item::TooLong:
        sendLocked(wire::errorReply(item.function, wire::TooLong), 0);
        return;
    case FrameParser::Item::Frame:
        break;
    }

    const QByteArray &f = item.bytes;
    switch (item.function) {
    case wire::RegisterRead: {
        const quint16 reg = wire::le16(f, 2);
        const int count = wire::le16(f, 4);   // bytes, two per register
        QByteArray reply = f.left(6);
        for (int i = 0; i < count; ++i) {
            const quint16 v = m_memory.registerValue(quint16(reg + i / 2));
            reply.append(char(i % 2 == 0 ? (v & 0xFF) : (v >> 8)));
        }
        wire::appendCrc(reply);
        sendLocked(reply, 0);
        return;
    }
    case wire::MemoryRead: {
        QByteArray reply = f.left(8);
        reply.append(m_memory.read(wire::le32(f, 2), wire::le16(f, 6)));
        wire::appendCrc(reply);
        sendLocked(reply, 0);
        return;
    }
    case wire::Measure: {
        VirtualMeasurement m;
        const QByteArray frame = measurementFrameLocked(&m);
        sendLocked(frame, m_measurementTimeMs, &m);
        return;
    }
    case wire::MemoryWrite:
    case wire::StreamWrite: {
        const int n = wire::le16(f, 6);
        if (n > 0)
            m_memory.write(wire::le32(f, 2), f.constData() + 8, n);
        // Stream packets go unanswered to keep the bulk transfer fast; only the empty packet
        // that closes the stream is acknowledged.
        if (item.function == wire::MemoryWrite || n == 0) {
            QByteArray ack = f.left(8);
            wire::appendCrc(ack);
            sendLocked(ack, 0);
        }
        return;
    }
    default:
        return;   // the parser lets only known functions through as frames
    }
}

QByteArray InstrumentCore::measurementFrameLocked(VirtualMeasurement *m)
{
    m_last = nextMeasurementLocked();
    *m = m_last;
    return measurement::frame(m_last, ++m_sequence);
}

VirtualMeasurement InstrumentCore::nextMeasurementLocked()
{
    if (!m_queuedMeasurements.isEmpty())
        return m_queuedMeasurements.takeFirst();
    return m_generator.next();
}

void InstrumentCore::sendLocked(QByteArray frame, int delayMs, const VirtualMeasurement *measurement)
{
    if (m_liveHandles == 0)
        return;

    QByteArray lead, trail;
    int chunk = kMaxData;
    VirtualMeasurement pushed;
    bool pushBehind = false;
    if (!m_faults.isEmpty()) {
        const Fault fault = m_faults.takeFirst();
        switch (fault.kind) {
        case VirtualFault::NoReply:
            return;
        case VirtualFault::LateReply:
            delayMs += std::max(0, fault.param);
            break;
        case VirtualFault::CorruptByte:
            if (fault.param >= 0 && fault.param < frame.size())
                frame[fault.param] = char(~quint8(frame[fault.param]));
            break;
        case VirtualFault::StrayBytes:
            lead = fault.bytes.isEmpty() ? QByteArray("\x00\x12", 2) : fault.bytes;
            break;
        case VirtualFault::SplitReply:
            chunk = fault.param > 0 ? std::min(fault.param, kMaxData) : 7;
            break;
        case VirtualFault::TrailingFrameStart:
            trail = fault.bytes.isEmpty() ? QByteArray("\xAB\x44\x00\x00", 4) : fault.bytes;
            break;
        case VirtualFault::ErrorReply:
            frame = wire::errorReply(frame.size() > 1 ? quint8(frame[1]) : 0, wire::BadCrc);
            if (fault.param > frame.size())
                frame.append(QByteArray(fault.param - frame.size(), '\0'));
            measurement = nullptr;
            break;
        case VirtualFault::CloseErrorPattern:
            if (frame.size() >= 7) {
                frame[2] = char(0x04);
                frame[4] = char(0x26);
                wire::refreshCrc(frame);
            }
            break;
        case VirtualFault::BadEcho:
            // Every echo test looks at two of bytes 1..6; change them all so none passes, and
            // keep the CRC right so the fault is the echo and nothing else.
            for (int i = 1; i <= 6 && i < frame.size() - 2; ++i)
                frame[i] = char(quint8(frame[i]) ^ 0x5A);
            wire::refreshCrc(frame);
            break;
        case VirtualFault::ButtonPressBehind:
            lead = fault.bytes;
            trail = measurementFrameLocked(&pushed);
            pushBehind = true;
            break;
        }
    }
    if (measurement && frame.size() != measurement::kFrameSize)
        measurement = nullptr;   // a damaged measurement reply no longer carries a reading

    const QByteArray body = lead + frame;
    QList<QByteArray> payloads;
    for (qsizetype pos = 0; pos < body.size(); pos += chunk)
        payloads.append(body.mid(pos, chunk));
    // Which report ends which measurement frame, so delivery can be told apart from loss.
    QList<int> ends(payloads.size(), -1);
    if (measurement && !ends.isEmpty()) {
        m_sentMeasurements.append(*measurement);
        ends.last() = int(m_sentMeasurements.size()) - 1;
    }
    qsizetype used = 0;
    if (!payloads.isEmpty() && !trail.isEmpty()) {
        QByteArray &last = payloads.last();
        used = std::min<qsizetype>(kMaxData - last.size(), trail.size());
        last.append(trail.left(used));
    }
    for (; used < trail.size(); used += kMaxData) {
        payloads.append(trail.mid(used, kMaxData));
        ends.append(-1);
    }
    if (pushBehind && !ends.isEmpty()) {
        m_sentMeasurements.append(pushed);
        ends.last() = int(m_sentMeasurements.size()) - 1;
    }
    queueReportsLocked(payloads, delayMs, ends);
}

void InstrumentCore::queueReportsLocked(const QList<QByteArray> &payloads, int delayMs,
                                        const QList<int> &ends)
{
    qint64 readyAt = nowMs() + std::max(0, delayMs);
    if (!m_input.isEmpty())
        readyAt = std::max(readyAt, m_input.last().readyAtMs);
    for (const QByteArray &p : payloads) {
        if (m_timingModel)
            ++readyAt;   // one report per millisecond on a full-speed interrupt endpoint
        QByteArray report(kReportSize, '\0');
        report[0] = char(kReportId);
        report[1] = char(p.size());
        std::memcpy(report.data() + 2, p.constData(), size_t(p.size()));
        const qsizetype i = &p - payloads.constData();
        m_input.append({report, readyAt, i < ends.size() ? ends.at(i) : -1});
    }
    m_wake.notify_all();
}

// ---------------------------------------------------------------------------------------------
// Memory, measurements, faults, observation

QByteArray InstrumentCore::memory(quint32 address, int length) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_memory.read(address, length);
}

void InstrumentCore::setMemory(quint32 address, const QByteArray &bytes)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_memory.write(address, bytes);
}

quint16 InstrumentCore::registerValue(quint16 reg) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_memory.registerValue(reg);
}

void InstrumentCore::setRegister(quint16 reg, quint16 value)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_memory.setRegister(reg, value);
}

void InstrumentCore::reseedMemory()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_memory.clear();
    seed::fill(m_memory);
}

void InstrumentCore::queueMeasurement(const VirtualMeasurement &m)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_queuedMeasurements.append(m);
}

VirtualMeasurement InstrumentCore::lastMeasurement() const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_last;
}

void InstrumentCore::pressButton()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_plugged || m_shutDown)
        return;
    VirtualMeasurement m;
    const QByteArray frame = measurementFrameLocked(&m);
    sendLocked(frame, 0, &m);
}

void InstrumentCore::setMeasurementTimeMs(int ms)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_measurementTimeMs = std::max(0, ms);
}

void InstrumentCore::setGeneratorSeed(quint64 seed)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_generator.reseed(seed);
}

void InstrumentCore::injectFault(VirtualFault kind, int param, const QByteArray &bytes)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_faults.append({kind, param, bytes});
}

void InstrumentCore::clearFaults()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_faults.clear();
}

int InstrumentCore::pendingFaults() const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return int(m_faults.size());
}

void InstrumentCore::setWriteFailure(bool fail)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_writeFailure = fail;
}

void InstrumentCore::setTimingModel(bool on)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_timingModel = on;
}

void InstrumentCore::setEmptyReportFlood(int everyMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_emptyReportEveryMs = std::max(0, everyMs);
    m_nextEmptyReportMs = nowMs();
    m_wake.notify_all();
}

QList<QByteArray> InstrumentCore::receivedFrames() const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_frameLog;
}

QList<QByteArray> InstrumentCore::receivedReports() const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_reportLog;
}

void InstrumentCore::clearLog()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_frameLog.clear();
    m_reportLog.clear();
}

int InstrumentCore::pendingInputReports() const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return int(m_input.size());
}

qint64 InstrumentCore::hostCalls() const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_hostCalls;
}

qint64 InstrumentCore::overlappingHostCalls() const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_overlappingHostCalls;
}

QList<VirtualMeasurement> InstrumentCore::deliveredMeasurements() const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_delivered;
}

void InstrumentCore::setFrameSink(std::function<void(const QByteArray &)> sink)
{
    std::unique_lock<std::mutex> lock(m_sinkMutex);
    m_sink = std::move(sink);
    // After this returns nobody runs the old sink any more, except the calling thread itself
    // when it got here from inside one (a receiver tearing the instrument down).
    const std::thread::id self = std::this_thread::get_id();
    m_sinkIdle.wait(lock, [this, self] {
        for (const std::thread::id &caller : std::as_const(m_sinkCallers)) {
            if (caller != self)
                return false;
        }
        return true;
    });
}

// ---------------------------------------------------------------------------------------------
// VirtualDeviceHandle

VirtualDeviceHandle::~VirtualDeviceHandle()
{
    m_core->release(this);
}

int VirtualDeviceHandle::readReport(unsigned char *buf, int size, int timeoutMs)
{
    return m_core->readReport(this, buf, size, timeoutMs);
}

int VirtualDeviceHandle::writeReport(const unsigned char *data, int size, int /*timeoutMs*/)
{
    return m_core->writeReport(this, data, size);
}

bool VirtualDeviceHandle::attributes(quint16 *vendorId, quint16 *productId)
{
    if (!m_core->handleAlive(this))
        return false;
    if (vendorId)
        *vendorId = InstrumentCore::kVendorId;
    if (productId)
        *productId = InstrumentCore::kProductId;
    return true;
}

bool VirtualDeviceHandle::serialNumber(QString *serial)
{
    if (!m_core->handleAlive(this))
        return false;
    if (serial)
        *serial = m_core->serialString();
    return true;
}

void VirtualDeviceHandle::cancel()
{
    m_core->cancel(this);
}
