// libFuzzer target: any bytes as what the instrument sends. The input is a list of input
// reports, each a length byte and that many bytes (report ID and count byte first, as the
// device gives them; length 255 is an I/O error, the instrument gone), served by a stand-in
// device behind the HID access layer. The first input byte chooses commands; each command's
// reply read, a polling read after it and the page's scan for pushed measurement frames take
// the reports as they come: reassembly in libHidDevice, frame reads in CLinkerUSB, the CRC
// check in LinkPort, the commands' reply parsing, and takePushedFrames.
#include "clinker.h"
#include "cprotocol.h"
#include "hidaccess.h"
#include "linkport.h"
#include "pushedframes.h"

#include <QDate>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

class ReportsDevice : public hidaccess::Device
{
public:
    ReportsDevice(const uint8_t *data, size_t size) : m_p(data), m_end(data + size) {}
    int readReport(unsigned char *buf, int size, int) override
    {
        if (m_p >= m_end)
            return 0; // nothing more comes: the wait times out
        const int length = *m_p++;
        if (length == 255)
            return -1;
        const int n = std::min<int>({length, size, int(m_end - m_p)});
        std::memcpy(buf, m_p, size_t(n));
        m_p += n;
        return n;
    }
    int writeReport(const unsigned char *, int size, int) override { return size; }
    bool attributes(quint16 *vendorId, quint16 *productId) override
    {
        *vendorId = 0x2047;
        *productId = 0x0301;
        return true;
    }
    bool serialNumber(QString *serial) override
    {
        *serial = QStringLiteral("fuzz");
        return true;
    }
    int inputReportLength() const override { return 64; }
    int outputReportLength() const override { return 64; }

private:
    const uint8_t *m_p;
    const uint8_t *m_end;
};

class ReportsBackend : public hidaccess::Backend
{
public:
    ReportsBackend(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    QList<hidaccess::InterfaceInfo> enumerate() override
    {
        hidaccess::InterfaceInfo info;
        info.path = "fuzz";
        info.vendorId = 0x2047;
        info.productId = 0x0301;
        info.serialNumber = QStringLiteral("fuzz");
        info.interfaceNumber = 0;
        return {info};
    }
    std::unique_ptr<hidaccess::Device> open(const QByteArray &, bool, hidaccess::OpenError *) override
    {
        return std::make_unique<ReportsDevice>(m_data, m_size);
    }
    QString name() const override { return QStringLiteral("fuzz"); }

private:
    const uint8_t *m_data;
    size_t m_size;
};

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "%s\n", what);
        std::abort();
    }
}

void requireResult(int result)
{
    require(result == 1 || (result >= -5 && result <= -1), "a command returned no result code");
}

const QByteArray kPushedHeader = QByteArray::fromHex("ab44000000003600");

// Frames set aside by a reply read and frames found by the scan are whole measurement frames.
void requirePushedFrames(const QByteArray &setAside, const QList<PushedFrame> &frames, const QByteArray &rest)
{
    require(setAside.size() % 64 == 0, "a set-aside frame is cut");
    for (qsizetype at = 0; at < setAside.size(); at += 64)
        require(setAside.mid(at, kPushedHeader.size()) == kPushedHeader, "a set-aside frame is no measurement");
    for (const PushedFrame &f : frames) {
        require(f.bytes.size() == 64 && uchar(f.bytes[0]) == 0xAB && f.bytes[1] == 0x44 && f.bytes[2] == 0
                    && f.bytes[6] == 0x36,
                "the scan took a frame that is no measurement");
    }
    require(rest.size() < 64, "the scan left a whole frame behind");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    CProtocol::setWaitScaleForTests(1e-6); // every wait as short as it can be
    const uint8_t plan = data[0];
    ReportsBackend backend(data + 1, size - 1);
    LinkPort port;
    auto *link = new CLinkerUSB(&backend);
    port.link = link;
    require(link->open(0x2047, 0x0301) == 0, "the stand-in device does not open");
    LinkPort::setCurrent(&port);

    CProtocol *protocol = CProtocol::instance();
    QByteArray scan;
    for (int step = 0; step < 8; ++step) {
        const int command = (plan >> (step % 4) * 2 & 3) + (step >= 4 ? 4 : 0);
        int a = 0, b = 0, c = 0, d = 0, e = 0, f = 0, g = 0, h = 0;
        switch (command) {
        case 0:
            requireResult(protocol->readFirmwareVersion(&a));
            break;
        case 1: {
            DeviceInfo info;
            requireResult(protocol->readDeviceInfo(&info));
            QDate date;
            requireResult(protocol->readCalibrationDate(&date));
            break;
        }
        case 2:
            requireResult(protocol->readDeltaEParameter(&a, &b));
            break;
        case 3:
            requireResult(protocol->readMeasurement(&a, &b, &c, &d, &e, &f, &g, &h));
            break;
        case 4: {
            quint32 v = 0;
            requireResult(protocol->readMyColorHeader(&v, &a, &b, &c));
            break;
        }
        case 5:
            requireResult(protocol->readRecordCount(&a));
            break;
        case 6: {
            QByteArray out;
            const int length = 1 + plan % 300;
            const int result = protocol->readMemory(0x4000, &out, length);
            requireResult(result);
            require(result != 1 || out.size() == length, "readMemory gave other than the length asked for");
            break;
        }
        default:
            requireResult(protocol->writeStdColorData(0x1000, QByteArray(4, '\0'), 0));
            break;
        }
        // The worker's polling read, then the page's scan of what it got.
        const QByteArray setAside = link->takeSetAside();
        QByteArray polled;
        port.receivePacket(&polled, 0, 0, false);
        scan += setAside + polled;
        const QList<PushedFrame> frames = takePushedFrames(scan);
        requirePushedFrames(setAside, frames, scan);
    }
    LinkPort::setCurrent(nullptr);
    return 0;
}
