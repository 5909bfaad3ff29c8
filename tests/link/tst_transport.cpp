// The report transport (libHidDevice) and the framed link (CLinkerUSB, LinkPort) against the
// virtual instrument, plus a scripted device for reports no instrument would send.
#include "clinker.h"
#include "libhiddevice.h"
#include "linkport.h"
#include "testbase.h"
#include "virtualinstrument.h"

#include <QElapsedTimer>
#include <QtTest>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

using testsupport::hexBytes;

// A request frame with its CRC, as sendPacket would send it.
QByteArray framed(QByteArray body)
{
    const quint16 crc = LinkPort::crc16(&body, int(body.size()));
    body.append(char(crc & 0xFF));
    body.append(char(crc >> 8));
    return body;
}

quint16 crc16Of(QByteArray bytes)
{
    return LinkPort::crc16(&bytes, int(bytes.size()));
}

// readMemory-style request for n bytes at address 0 (the production block and beyond).
QByteArray readRequest(int n, quint32 address = 0)
{
    QByteArray body = hexBytes("ab40");
    for (int i = 0; i < 4; ++i)
        body.append(char((address >> (8 * i)) & 0xFF));
    body.append(char(n & 0xFF));
    body.append(char(n >> 8));
    return framed(body);
}

// Reports handed out exactly as scripted: for report IDs, counts and sizes no instrument sends.
class ScriptedDevice : public hidaccess::Device
{
public:
    explicit ScriptedDevice(std::deque<QByteArray> *reports) : m_reports(reports) {}
    int readReport(unsigned char *buf, int size, int) override
    {
        if (flood) { // a device that never stops sending reports of another ID
            memset(buf, 0x01, size_t(size));
            return size;
        }
        if (m_reports->empty())
            return 0;
        const QByteArray r = m_reports->front();
        m_reports->pop_front();
        const int n = qMin(size, int(r.size()));
        memcpy(buf, r.constData(), size_t(n));
        return n;
    }
    int writeReport(const unsigned char *, int size, int) override { return size; }
    bool attributes(quint16 *v, quint16 *p) override
    {
        *v = 0x2047;
        *p = 0x0301;
        return true;
    }
    bool serialNumber(QString *s) override
    {
        *s = QStringLiteral("S");
        return true;
    }
    int inputReportLength() const override { return 64; }
    int outputReportLength() const override { return 64; }

    bool flood = false;

private:
    std::deque<QByteArray> *m_reports;
};

class ScriptedBackend : public hidaccess::Backend
{
public:
    QList<hidaccess::InterfaceInfo> enumerate() override
    {
        hidaccess::InterfaceInfo other{"p0", 0x1234, 0x5678, QStringLiteral("X"), 0};
        hidaccess::InterfaceInfo ours{"p1", 0x2047, 0x0301, QStringLiteral("S"), 0};
        return {other, ours};
    }
    std::unique_ptr<hidaccess::Device> open(const QByteArray &path, bool,
                                            hidaccess::OpenError *error) override
    {
        openedPaths.append(path);
        *error = hidaccess::OpenError::None;
        auto device = std::make_unique<ScriptedDevice>(&reports);
        device->flood = flood;
        return device;
    }
    QString name() const override { return QStringLiteral("scripted"); }

    std::deque<QByteArray> reports;
    QList<QByteArray> openedPaths;
    bool flood = false;
};

// Stops the virtual instrument's flood of empty reports after a while, so that a read that
// does not end by itself fails its test instead of hanging it.
class FloodStopper
{
public:
    FloodStopper(VirtualInstrument *vi, int afterMs)
        : m_thread([this, vi, afterMs] {
              std::unique_lock<std::mutex> lock(m_mutex);
              m_cv.wait_for(lock, std::chrono::milliseconds(afterMs), [this] { return m_done; });
              vi->setEmptyReportFlood(0);
          })
    {
    }
    ~FloodStopper()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_done = false;
    std::thread m_thread;
};

// Counts the messages of the program's own logging categories while it lives.
class LogCounter
{
public:
    LogCounter()
    {
        s_count = 0;
        m_previous = qInstallMessageHandler(&LogCounter::handle);
    }
    ~LogCounter() { qInstallMessageHandler(m_previous); }
    int count() const { return s_count; }

private:
    static void handle(QtMsgType, const QMessageLogContext &context, const QString &)
    {
        if (context.category && QByteArray(context.category).startsWith("colorimeter."))
            ++s_count;
    }
    static inline std::atomic_int s_count{0};
    QtMessageHandler m_previous;
};

QByteArray report(quint8 id, quint8 count, const QByteArray &data, int size = 64)
{
    QByteArray r(size, '\0');
    r[0] = char(id);
    r[1] = char(count);
    memcpy(r.data() + 2, data.constData(), size_t(qMin(int(data.size()), size - 2)));
    return r;
}

} // namespace

class tst_Transport : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    // libHidDevice
    void readDeliversRequestedCountAndCarriesTheRest();
    void readReassemblesReports();
    void readReturnsWhatArrivedBeforeTimeout();
    void writeChunks_data();
    void writeChunks();
    void closedDeviceReadsAndWritesNothing();
    void openFailures_data();
    void openFailures();
    void removedAfterUnplug();
    void hostileReports_data();
    void hostileReports();
    void opensOnlyTheInstrument();
    void floodOfForeignReportsEndsTheRead();
    void floodOfEmptyReportsEndsEveryRead_data();
    void floodOfEmptyReportsEndsEveryRead();
    void unplugEndsAReadAtOnce_data();
    void unplugEndsAReadAtOnce();

    // CLinkerUSB and LinkPort
    void frameModeFaults_data();
    void frameModeFaults();
    void surplusFrameStaysForTheNextRead();
    void pushedFrameBehindAReplyIsKept_data();
    void pushedFrameBeforeAReplyIsSetAside_data();
    void pushedFrameBeforeAReplyIsSetAside();
    void pushedFrameCutByThePollsWaitIsCompleted_data();
    void pushedFrameCutByThePollsWaitIsCompleted();
    void pushedFrameBehindAReplyIsKept();
    void garbageOnlyEndsAtTimeoutEmpty();
    void pollingWithNothingPending();
    void frameLongerThanTheScratchBuffer();
    void pollingDeliversPushedFrame();
    void sendPacketAppendsCrcLowByteFirst();
    void writeFailureIsReported();

private:
    VirtualInstrument *vi = nullptr;
};

void tst_Transport::init()
{
    vi = new VirtualInstrument;
}

void tst_Transport::cleanup()
{
    delete vi;
    vi = nullptr;
}

void tst_Transport::readDeliversRequestedCountAndCarriesTheRest()
{
    libHidDevice hid(vi);
    QCOMPARE(hid.open(0x2047, 0x0301), 0);
    const QByteArray request = readRequest(52); // reply: 62 bytes, one full report
    QCOMPARE(hid.write(request.constData(), int(request.size()), 1000), int(request.size()));

    char first[10], rest[52];
    QCOMPARE(hid.read(first, 10, 200), 10);
    QCOMPARE(hid.read(rest, 52, 200), 52);
    const QByteArray reply = QByteArray(first, 10) + QByteArray(rest, 52);
    QCOMPARE(reply.left(8), hexBytes("ab40000000003400"));
    QCOMPARE(reply.mid(8, 52), vi->memory(0, 52));
}

void tst_Transport::readReassemblesReports()
{
    libHidDevice hid(vi);
    QCOMPARE(hid.open(0x2047, 0x0301), 0);
    vi->injectFault(VirtualInstrument::Fault::SplitReply, 20); // 30-byte reply as 20 + 10
    const QByteArray request = readRequest(20);
    QCOMPARE(hid.write(request.constData(), int(request.size()), 1000), int(request.size()));
    char buf[30];
    QCOMPARE(hid.read(buf, 30, 200), 30);
    QCOMPARE(QByteArray(buf, 8), hexBytes("ab40000000001400"));
}

void tst_Transport::readReturnsWhatArrivedBeforeTimeout()
{
    libHidDevice hid(vi);
    QCOMPARE(hid.open(0x2047, 0x0301), 0);
    const QByteArray request = readRequest(10); // 20-byte reply
    QCOMPARE(hid.write(request.constData(), int(request.size()), 1000), int(request.size()));
    char buf[30];
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(hid.read(buf, 30, 50), 20);
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(hid.read(buf, 30, 50), 0); // nothing more: a plain timeout
}

void tst_Transport::writeChunks_data()
{
    QTest::addColumn<int>("payload");
    QTest::addColumn<QList<int>>("counts");
    // A write frame of payload bytes is payload + 10 bytes on the wire.
    QTest::newRow("48 bytes: one report") << 38 << QList<int>{48};
    QTest::newRow("62 bytes: one full report") << 52 << QList<int>{62};
    QTest::newRow("130 bytes: 62, 62, 6") << 120 << QList<int>{62, 62, 6};
}

void tst_Transport::writeChunks()
{
    QFETCH(int, payload);
    QFETCH(QList<int>, counts);
    libHidDevice hid(vi);
    QCOMPARE(hid.open(0x2047, 0x0301), 0);
    QByteArray body = hexBytes("ab7000000400");
    body.append(char(payload & 0xFF));
    body.append(char(payload >> 8));
    body.append(QByteArray(payload, char(0x5A)));
    const QByteArray frame = framed(body);
    QCOMPARE(hid.write(frame.constData(), int(frame.size()), 1000), int(frame.size()));

    const QList<QByteArray> reports = vi->receivedReports();
    QCOMPARE(reports.size(), counts.size());
    QByteArray joined;
    for (int i = 0; i < reports.size(); ++i) {
        QCOMPARE(reports[i].size(), 64);
        QCOMPARE(quint8(reports[i][0]), quint8(0x3F));
        QCOMPARE(int(quint8(reports[i][1])), counts[i]);
        joined += reports[i].mid(2, counts[i]);
    }
    QCOMPARE(joined, frame);
    QCOMPARE(vi->receivedFrames(), QList<QByteArray>{frame});
    QCOMPARE(vi->memory(0x40000, payload), QByteArray(payload, char(0x5A)));
}

void tst_Transport::closedDeviceReadsAndWritesNothing()
{
    libHidDevice hid(vi);
    char buf[8] = {};
    QCOMPARE(hid.read(buf, 8, 10), 0);
    QCOMPARE(hid.write(buf, 8, 10), 0);
    QVERIFY(hid.isRemoved());
    QCOMPARE(hid.close(), 2);
    QCOMPARE(hid.open(0x2047, 0x0301), 0);
    QCOMPARE(hid.write(buf, 0, 10), 0); // nothing to write
    QCOMPARE(hid.close(), 0);
    QVERIFY(!hid.isOpen);
    QCOMPARE(hid.read(buf, 8, 10), 0);
}

void tst_Transport::openFailures_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("plugged");
    QTest::newRow("absent") << int(hidaccess::OpenError::NotFound) << false;
    QTest::newRow("in use elsewhere") << int(hidaccess::OpenError::InUse) << true;
    QTest::newRow("permission denied") << int(hidaccess::OpenError::PermissionDenied) << true;
}

void tst_Transport::openFailures()
{
    QFETCH(int, error);
    QFETCH(bool, plugged);
    if (!plugged)
        vi->unplug();
    else
        vi->setOpenError(hidaccess::OpenError(error));
    libHidDevice hid(vi);
    QCOMPARE(hid.open(0x2047, 0x0301), -1);
    QVERIFY(!hid.isOpen);
    QCOMPARE(int(hid.lastOpenError()), error);

    CLinkerUSB usb(vi);
    QTest::ignoreMessage(QtDebugMsg, "hidDevice Open error!\n");
    QCOMPARE(int(usb.open(0x2047, 0x0301)), -1);
    QVERIFY(!usb.isOpen());
}

void tst_Transport::removedAfterUnplug()
{
    CLinkerUSB usb(vi);
    QCOMPARE(int(usb.open(0x2047, 0x0301)), 0);
    QVERIFY(usb.isOpen());
    QVERIFY(!usb.isRemoved());
    vi->unplug();
    QVERIFY(usb.isRemoved());
    QByteArray buf;
    QCOMPARE(usb.read(&buf, 0, 64), 0); // reads fail quietly
    vi->plug();
    QVERIFY(usb.isRemoved()); // the old handle stays dead: a fresh open is needed
    CLinkerUSB again(vi);
    QCOMPARE(int(again.open(0x2047, 0x0301)), 0);
}

void tst_Transport::hostileReports_data()
{
    QTest::addColumn<QList<QByteArray>>("reports");
    QTest::addColumn<int>("ask");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray ten = hexBytes("00112233445566778899");
    QTest::newRow("other report ID skipped")
        << QList<QByteArray>{report(0x01, 10, QByteArray(10, 'x')), report(0x3F, 10, ten)} << 10
        << ten;
    QTest::newRow("count beyond the report is cut to it")
        << QList<QByteArray>{report(0x3F, 255, ten, 12)} << 64 << ten;
    QTest::newRow("count of 200 in a 64-byte report")
        << QList<QByteArray>{report(0x3F, 200, QByteArray(62, 'y'))} << 100
        << QByteArray(62, 'y');
    QTest::newRow("one-byte report ignored")
        << QList<QByteArray>{QByteArray(1, char(0x3F)), report(0x3F, 2, "ok")} << 2
        << QByteArray("ok");
}

void tst_Transport::hostileReports()
{
    QFETCH(QList<QByteArray>, reports);
    QFETCH(int, ask);
    QFETCH(QByteArray, expected);
    ScriptedBackend backend;
    backend.reports.assign(reports.begin(), reports.end());
    libHidDevice hid(&backend);
    QCOMPARE(hid.open(0x2047, 0x0301), 0);
    QByteArray buf(ask + 16, char(0xEE)); // guard bytes after the requested count
    const int n = hid.read(buf.data(), ask, 20);
    QCOMPARE(buf.left(n), expected);
    QVERIFY(buf.mid(ask).count(char(0xEE)) == 16);
}

void tst_Transport::opensOnlyTheInstrument()
{
    ScriptedBackend backend;
    libHidDevice hid(&backend);
    QCOMPARE(hid.open(0x2047, 0x0301), 0);
    QCOMPARE(backend.openedPaths, QList<QByteArray>{"p1"});
    libHidDevice other(&backend);
    QCOMPARE(other.open(0x2047, 0x0302), -1);
}

void tst_Transport::floodOfForeignReportsEndsTheRead()
{
    ScriptedBackend backend;
    backend.flood = true;
    libHidDevice hid(&backend);
    QCOMPARE(hid.open(0x2047, 0x0301), 0);
    char buf[10];
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(hid.read(buf, 10, 50), 0);
    QVERIFY(clock.elapsed() < 1000);
}

void tst_Transport::floodOfEmptyReportsEndsEveryRead_data()
{
    QTest::addColumn<QString>("layer");
    QTest::addColumn<int>("timeoutMs");
    QTest::newRow("transport, 10 bytes in 50 ms") << "transport" << 50;
    QTest::newRow("polling read") << "polling" << 0;
    QTest::newRow("reply read of 300 ms") << "frame" << 300;
}

void tst_Transport::floodOfEmptyReportsEndsEveryRead()
{
    QFETCH(QString, layer);
    QFETCH(int, timeoutMs);
    LinkPort port;
    auto *usb = new CLinkerUSB(vi);
    QCOMPARE(int(usb->open(0x2047, 0x0301)), 0);
    port.link = usb;
    libHidDevice hid(vi);
    if (layer == "transport") {
        delete port.link;
        port.link = nullptr;
        QCOMPARE(hid.open(0x2047, 0x0301), 0);
    }
    // One empty report a millisecond, for at most 3 s.
    vi->setEmptyReportFlood(1);
    QElapsedTimer clock;
    clock.start();
    int n = -99;
    QByteArray buffer;
    {
        FloodStopper stopper(vi, 3000);
        if (layer == "transport") {
            char buf[10];
            n = hid.read(buf, 10, timeoutMs);
        } else {
            n = port.receivePacket(&buffer, timeoutMs, 30, true);
        }
    }
    const qint64 ms = clock.elapsed();
    QVERIFY2(ms < 1000, qPrintable(QString::number(ms) + " ms"));
    QCOMPARE(n, 0);
    QVERIFY(buffer.isEmpty());
    // The empty reports were read, not left queued: the link is still usable.
    if (layer != "transport") {
        QByteArray request = hexBytes("ab200c000200");
        QCOMPARE(port.sendPacket(&request, 1000), 8);
        QByteArray reply;
        QCOMPARE(port.receivePacket(&reply, 300, 10, true), 10);
    }
}

void tst_Transport::unplugEndsAReadAtOnce_data()
{
    QTest::addColumn<int>("timeoutMs");
    QTest::newRow("reply read") << 300;
    QTest::newRow("polling read") << 0;
}

void tst_Transport::unplugEndsAReadAtOnce()
{
    QFETCH(int, timeoutMs);
    LinkPort port;
    auto *usb = new CLinkerUSB(vi);
    QCOMPARE(int(usb->open(0x2047, 0x0301)), 0);
    port.link = usb;
    QByteArray request = hexBytes("ab4000000000") + hexBytes("1400");
    vi->injectFault(VirtualInstrument::Fault::NoReply);
    QCOMPARE(port.sendPacket(&request, 1000), 10);
    vi->unplug();

    const qint64 callsBefore = vi->hostCalls();
    QElapsedTimer clock;
    clock.start();
    QByteArray reply;
    int n;
    int lines;
    {
        LogCounter log;
        n = port.receivePacket(&reply, timeoutMs, 30, true);
        // Everything after the first I/O error fails at once, without the device and quietly.
        QByteArray next = hexBytes("ab200c000200");
        QCOMPARE(port.sendPacket(&next, 1000), -1);
        QVERIFY(port.receivePacket(&reply, timeoutMs, 10, true) <= 0);
        lines = log.count();
    }
    const qint64 calls = vi->hostCalls() - callsBefore;
    QVERIFY(n <= 0);
    QVERIFY(reply.isEmpty());
    QVERIFY2(calls <= 2, qPrintable(QString::number(calls) + " transport calls"));
    QVERIFY2(lines <= 3, qPrintable(QString::number(lines) + " log lines"));
    QVERIFY2(clock.elapsed() < 200, qPrintable(QString::number(clock.elapsed()) + " ms"));
    QVERIFY(usb->isRemoved()); // treated as removed, whatever the attribute query says
}

void tst_Transport::frameModeFaults_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("param");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("checkCrc");
    QTest::addColumn<int>("result"); // >0: the reply length
    using F = VirtualInstrument::Fault;
    QTest::newRow("clean") << int(F::SplitReply) << 62 << QByteArray() << true << 30;
    QTest::newRow("stray 00 12 before the start byte")
        << int(F::StrayBytes) << 0 << hexBytes("0012") << true << 30;
    QTest::newRow("split in 7-byte reports") << int(F::SplitReply) << 7 << QByteArray() << true << 30;
    QTest::newRow("corrupted, CRC checked") << int(F::CorruptByte) << 12 << QByteArray() << true << -1;
    QTest::newRow("corrupted, CRC not checked")
        << int(F::CorruptByte) << 12 << QByteArray() << false << 30;
    QTest::newRow("no reply") << int(F::NoReply) << 0 << QByteArray() << true << 0;
    QTest::newRow("error reply: short, last wait empty")
        << int(F::ErrorReply) << 0 << QByteArray() << true << 0;
}

void tst_Transport::frameModeFaults()
{
    QFETCH(int, fault);
    QFETCH(int, param);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, checkCrc);
    QFETCH(int, result);
    LinkPort port;
    auto *usb = new CLinkerUSB(vi);
    QCOMPARE(int(usb->open(0x2047, 0x0301)), 0);
    port.link = usb;
    vi->injectFault(VirtualInstrument::Fault(fault), param, bytes);

    QByteArray request = hexBytes("ab4000000000") + hexBytes("1400");
    QCOMPARE(port.sendPacket(&request, 1000), 10);
    QByteArray reply;
    QCOMPARE(port.receivePacket(&reply, 300, 30, checkCrc), result);
    if (result > 0)
        QCOMPARE(reply.left(8), hexBytes("ab40000000001400"));
    if (fault == int(VirtualInstrument::Fault::ErrorReply)) {
        // The short error reply stays in the buffer for the caller to recognise.
        QVERIFY(reply.size() >= 3);
        QCOMPARE(quint8(reply[1]), quint8(0xC7));
        QCOMPARE(quint8(reply[2]), quint8(0x08));
    }
}

void tst_Transport::surplusFrameStaysForTheNextRead()
{
    LinkPort port;
    auto *usb = new CLinkerUSB(vi);
    QCOMPARE(int(usb->open(0x2047, 0x0301)), 0);
    port.link = usb;
    vi->injectFault(VirtualInstrument::Fault::TrailingFrameStart, 0, hexBytes("ab440000"));
    QByteArray request = hexBytes("ab40250200000500");
    QCOMPARE(port.sendPacket(&request, 1000), 10);
    QByteArray reply;
    QCOMPARE(port.receivePacket(&reply, 300, 15, true), 15);
    QCOMPARE(reply.size(), 15);
    // The start of the next frame was held back by the transport, not lost.
    QByteArray next;
    QVERIFY(port.receivePacket(&next, 0, 142090, false) > 0);
    QCOMPARE(next.left(4), hexBytes("ab440000"));
}

void tst_Transport::pushedFrameBehindAReplyIsKept_data()
{
    QTest::addColumn<QByteArray>("stray");
    QTest::newRow("right behind the reply") << QByteArray();
    QTest::newRow("behind a reply after stray bytes") << hexBytes("0012");
    QTest::newRow("behind a reply after many stray bytes") << QByteArray(40, char(0x11));
}

void tst_Transport::pushedFrameBehindAReplyIsKept()
{
    QFETCH(QByteArray, stray);
    LinkPort port;
    auto *usb = new CLinkerUSB(vi);
    QCOMPARE(int(usb->open(0x2047, 0x0301)), 0);
    port.link = usb;
    vi->injectFault(VirtualInstrument::Fault::ButtonPressBehind, 0, stray);
    QByteArray request = hexBytes("ab40250200000500");
    QCOMPARE(port.sendPacket(&request, 1000), 10);
    QByteArray reply;
    QCOMPARE(port.receivePacket(&reply, 300, 15, true), 15);
    QCOMPARE(reply.left(8), hexBytes("ab40250200000500"));

    // The measurement pushed right behind it is whole for the next reader.
    QByteArray next;
    QCOMPARE(port.receivePacket(&next, 0, 142090, false), 64);
    QCOMPARE(next.left(8), hexBytes("ab44000000003600"));
    QCOMPARE(LinkPort::crc16(&next, 62), quint16(quint8(next[62]) | (quint8(next[63]) << 8)));
    QCOMPARE(qint16(quint8(next[8]) | (quint8(next[9]) << 8)), qint16(vi->lastMeasurement().L));
}

void tst_Transport::pushedFrameBeforeAReplyIsSetAside_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("replyLength");
    QTest::addColumn<int>("presses");
    const QByteArray measure = framed(hexBytes("ab44000000003600"));
    QTest::newRow("10-byte register reply") << framed(hexBytes("ab200c000200")) << 10 << 1;
    QTest::newRow("30-byte memory reply") << readRequest(20) << 30 << 1;
    QTest::newRow("266-byte memory reply") << readRequest(256) << 266 << 1;
    QTest::newRow("two presses before a 10-byte reply") << framed(hexBytes("ab200c000200")) << 10 << 2;
    // A measurement reply cannot be told from a pushed one: the first to come is the reply, and
    // the other one is not lost either.
    QTest::newRow("measurement reply") << measure << 64 << 1;
}

void tst_Transport::pushedFrameBeforeAReplyIsSetAside()
{
    QFETCH(QByteArray, request);
    QFETCH(int, replyLength);
    QFETCH(int, presses);
    LinkPort port;
    auto *usb = new CLinkerUSB(vi);
    QCOMPARE(int(usb->open(0x2047, 0x0301)), 0);
    port.link = usb;
    // The button was pressed while nobody polled (a flow held the link lock).
    QList<int> pushedL;
    for (int i = 0; i < presses; ++i) {
        pushedL.append(4100 + i);
        vi->queueMeasurement(VirtualInstrument::measurementFromLab(41.0 + i / 100.0, 1.0, 2.0));
        vi->pressButton();
    }
    vi->queueMeasurement(VirtualInstrument::measurementFromLab(77.0, 0.0, 0.0));
    QByteArray body = request.chopped(2);
    QCOMPARE(port.sendPacket(&body, 1000), int(request.size()));
    QByteArray reply;
    QCOMPARE(port.receivePacket(&reply, 300, replyLength, true), replyLength);
    QCOMPARE(reply.left(6), request.left(6));

    // The pushed measurements come whole with the next polling read, then nothing more.
    QByteArray next;
    QCOMPARE(port.receivePacket(&next, 0, 142090, false), 64 * presses);
    for (int i = 0; i < presses; ++i) {
        const QByteArray f = next.mid(64 * i, 64);
        QCOMPARE(f.left(8), hexBytes("ab44000000003600"));
        const QByteArray body62 = f.left(62);
        QCOMPARE(crc16Of(body62), quint16(quint8(f[62]) | (quint8(f[63]) << 8)));
        const int L = qint16(quint8(f[8]) | (quint8(f[9]) << 8));
        QCOMPARE(L, replyLength == 64 ? 7700 : pushedL.at(i));
    }
    if (replyLength == 64)
        QCOMPARE(qint16(quint8(reply[8]) | (quint8(reply[9]) << 8)), qint16(pushedL.first()));
    QByteArray rest;
    QCOMPARE(port.receivePacket(&rest, 0, 142090, false), 0);
}

void tst_Transport::garbageOnlyEndsAtTimeoutEmpty()
{
    ScriptedBackend backend;
    for (int i = 0; i < 3; ++i)
        backend.reports.push_back(report(0x3F, 5, hexBytes("0102030405")));
    CLinkerUSB usb(&backend);
    QCOMPARE(int(usb.open(0x2047, 0x0301)), 0);
    QByteArray buffer;
    QElapsedTimer clock;
    clock.start();
    QTest::ignoreMessage(QtDebugMsg, "hidDevice ReadMessage error!\n");
    const int n = usb.read(&buffer, 120, 10);
    QVERIFY(buffer.isEmpty());
    QCOMPARE(n, 0); // the last report wait timed out
    QVERIFY(clock.elapsed() >= 120);
}

void tst_Transport::pollingWithNothingPending()
{
    LinkPort port;
    auto *usb = new CLinkerUSB(vi);
    QCOMPARE(int(usb->open(0x2047, 0x0301)), 0);
    port.link = usb;
    QByteArray buffer;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(port.receivePacket(&buffer, 0, 142090, false), 0);
    const qint64 ms = clock.elapsed();
    QVERIFY2(ms >= 45 && ms < 500, qPrintable(QString::number(ms)));
    QVERIFY(buffer.isEmpty());
}

void tst_Transport::frameLongerThanTheScratchBuffer()
{
    // A reply longer than one transport call may carry is collected over several calls.
    LinkPort port;
    auto *usb = new CLinkerUSB(vi);
    QCOMPARE(int(usb->open(0x2047, 0x0301)), 0);
    port.link = usb;
    const int n = 13000;
    QByteArray pattern(n, '\0');
    for (int i = 0; i < n; ++i)
        pattern[i] = char(i % 251);
    vi->setMemory(0x50000, pattern);
    QByteArray request = readRequest(n, 0x50000);
    request.chop(2);
    QCOMPARE(port.sendPacket(&request, 1000), 10);
    QByteArray reply;
    QCOMPARE(port.receivePacket(&reply, 2000, n + 10, true), n + 10);
    QCOMPARE(reply.mid(8, n), pattern);
}

void tst_Transport::pollingDeliversPushedFrame()
{
    LinkPort port;
    auto *usb = new CLinkerUSB(vi);
    QCOMPARE(int(usb->open(0x2047, 0x0301)), 0);
    port.link = usb;
    vi->queueMeasurement(VirtualInstrument::measurementFromLab(92.47, -0.10, 3.5));
    vi->pressButton();
    QByteArray buffer;
    QCOMPARE(port.receivePacket(&buffer, 0, 142090, false), 64);
    QCOMPARE(buffer.left(8), hexBytes("ab44000000003600"));
    QCOMPARE(buffer.mid(8, 4), hexBytes("1f24f6ff"));
}

void tst_Transport::sendPacketAppendsCrcLowByteFirst()
{
    LinkPort port;
    auto *usb = new CLinkerUSB(vi);
    QCOMPARE(int(usb->open(0x2047, 0x0301)), 0);
    port.link = usb;
    QVERIFY(port.isLinkOpen());
    QByteArray request = hexBytes("ab200c000200");
    QCOMPARE(port.sendPacket(&request, 1000), 8);
    QCOMPARE(request, hexBytes("ab200c0002009a37"));
    QCOMPARE(vi->receivedFrames(), QList<QByteArray>{request});
}

void tst_Transport::writeFailureIsReported()
{
    LinkPort port;
    auto *usb = new CLinkerUSB(vi);
    QCOMPARE(int(usb->open(0x2047, 0x0301)), 0);
    port.link = usb;
    vi->setWriteFailure(true);
    QByteArray request = hexBytes("ab200c000200");
    QTest::ignoreMessage(QtDebugMsg, "hidDevice WriteMessage error! ret = 0\n");
    QCOMPARE(port.sendPacket(&request, 1000), -1);
}

void tst_Transport::pushedFrameCutByThePollsWaitIsCompleted_data()
{
    QTest::addColumn<int>("bytesPerReport");
    // One report a millisecond: a frame of 64 one-byte reports outlasts the polling wait, and
    // one of 7-byte reports mostly fits in it.
    QTest::newRow("64 one-byte reports") << 1;
    QTest::newRow("two-byte reports") << 2;
    QTest::newRow("7-byte reports") << 7;
}

void tst_Transport::pushedFrameCutByThePollsWaitIsCompleted()
{
    QFETCH(int, bytesPerReport);
    vi->setTimingModel(true);
    LinkPort port;
    auto *usb = new CLinkerUSB(vi);
    QCOMPARE(int(usb->open(0x2047, 0x0301)), 0);
    port.link = usb;
    vi->queueMeasurement(VirtualInstrument::measurementFromLab(42.0, 1.0, 2.0));
    vi->injectFault(VirtualInstrument::Fault::SplitReply, bytesPerReport);
    vi->pressButton();

    // The worker's poll, then at once a command of a flow that took the lock after it: the
    // measurement reaches the poll whole, never the command's reply read.
    QByteArray polled;
    QCOMPARE(port.receivePacket(&polled, 0, 142090, false), 64);
    QCOMPARE(polled.left(8), hexBytes("ab44000000003600"));
    QCOMPARE(crc16Of(polled.left(62)), quint16(quint8(polled[62]) | (quint8(polled[63]) << 8)));
    QCOMPARE(qint16(quint8(polled[8]) | (quint8(polled[9]) << 8)), qint16(4200));

    QByteArray request = hexBytes("ab40250200000500");
    QCOMPARE(port.sendPacket(&request, 1000), 10);
    QByteArray reply;
    QCOMPARE(port.receivePacket(&reply, 1000, 15, true), 15);
    QCOMPARE(reply.left(8), hexBytes("ab40250200000500"));
    vi->setTimingModel(false);
}

QTEST_GUILESS_MAIN(tst_Transport)
#include "tst_transport.moc"
