#include "cprotocol.h"

#include "crc16.h"
#include "instrumentname.h"
#include "linklog.h"
#include "linkport.h"

#include <QElapsedTimer>
#include <QThread>

#include <atomic>

namespace {

std::atomic<double> g_waitScale{1.0};

int scaled(int ms)
{
    return qMax(1, static_cast<int>(ms * g_waitScale.load()));
}

int replyTimeout()
{
    return scaled(CProtocol::kReplyTimeoutMs);
}

quint8 u8(const QByteArray &bytes, int offset)
{
    return static_cast<quint8>(bytes.at(offset));
}

quint16 u16(const QByteArray &bytes, int offset)
{
    return static_cast<quint16>(u8(bytes, offset) | (u8(bytes, offset + 1) << 8));
}

quint32 u32(const QByteArray &bytes, int offset)
{
    return static_cast<quint32>(u16(bytes, offset)) | (static_cast<quint32>(u16(bytes, offset + 2)) << 16);
}

void put16(QByteArray *bytes, int value)
{
    bytes->append(static_cast<char>(value & 0xFF));
    bytes->append(static_cast<char>((value >> 8) & 0xFF));
}

void put32(QByteArray *bytes, quint32 value)
{
    put16(bytes, static_cast<int>(value & 0xFFFF));
    put16(bytes, static_cast<int>(value >> 16));
}

// A request header: start byte, function code, 32-bit address, 16-bit length.
QByteArray header(quint8 function, quint32 address, int length)
{
    QByteArray frame;
    frame.append(static_cast<char>(0xAB));
    frame.append(static_cast<char>(function));
    put32(&frame, address);
    put16(&frame, length);
    return frame;
}

quint16 blockCrc(const QByteArray &bytes, int offset, int length)
{
    return crc16Modbus(bytes.constData() + offset, length);
}

int send(QByteArray *request, int timeoutMs = CProtocol::kWriteTimeoutMs)
{
    LinkPort *port = LinkPort::current();
    return port ? port->sendPacket(request, timeoutMs) : -1;
}

int receive(QByteArray *reply, int timeoutMs, int expectedLength, bool checkCrc)
{
    LinkPort *port = LinkPort::current();
    return port ? port->receivePacket(reply, timeoutMs, expectedLength, checkCrc) : -1;
}

// The instrument's error reply: 0xC7 0x08 after the start byte.
bool isErrorReply(const QByteArray &reply)
{
    return reply.size() >= 3 && u8(reply, 1) == 0xC7 && u8(reply, 2) == 0x08;
}

} // namespace

CProtocol *CProtocol::instance()
{
    static CProtocol protocol;
    return &protocol;
}

void CProtocol::delayMs(int ms)
{
    QElapsedTimer clock; // monotonic: a change of the wall clock does not stretch the wait
    clock.start();
    for (qint64 left = ms + 1 - clock.elapsed(); left > 0; left = ms + 1 - clock.elapsed())
        QThread::msleep(static_cast<unsigned long>(left));
}

void CProtocol::setWaitScaleForTests(double scale)
{
    g_waitScale.store(scale > 0 ? scale : 1.0);
}

QByteArray CProtocol::stdColorCountData(int count)
{
    QByteArray data;
    put16(&data, count);
    return data;
}

QByteArray CProtocol::stdColorInfoData(const QString &name1, const QString &name2, int value1, int value2,
                                       NameEncoding encoding)
{
    constexpr int kNameFieldSize = 16;
    const QByteArray first = exactNameField(name1, kNameFieldSize, encoding);
    const QByteArray second = exactNameField(name2, kNameFieldSize, encoding);
    if (first.isEmpty() || second.isEmpty())
        return QByteArray();
    QByteArray data = first + second;
    put16(&data, value1);
    put16(&data, value2);
    return data;
}

QByteArray CProtocol::myColorHeaderData(quint32 value0, int count, int value2)
{
    QByteArray data;
    put32(&data, value0);
    put16(&data, count);
    put16(&data, value2);
    return data;
}

bool CProtocol::blockCrcMatches(const QByteArray &data, qint64 crc)
{
    // A block check value is 16 bits; anything else cannot be the block's, even when its low
    // 16 bits happen to match.
    return crc >= 0 && crc <= 0xFFFF && crc16Modbus(data.constData(), data.size()) == crc;
}

int CProtocol::readFirmwareVersion(int *versionX10)
{
    QByteArray request;
    request.append(static_cast<char>(0xAB));
    request.append(static_cast<char>(0x20));
    put16(&request, 0x000C);
    put16(&request, 2);
    if (send(&request) < 6)
        return -1;
    QByteArray reply;
    if (receive(&reply, replyTimeout(), 10, true) <= 0)
        return isErrorReply(reply) ? -5 : -2;
    if (!(u8(reply, 1) == 0x20 || u8(reply, 4) == 0x02))
        return -3;
    if (versionX10)
        *versionX10 = u16(reply, 6);
    return 1;
}

int CProtocol::readDeviceInfo(DeviceInfo *info)
{
    QByteArray request = header(0x40, 0x0000, 0x14);
    if (send(&request) < 8)
        return -1;
    QByteArray reply;
    if (receive(&reply, replyTimeout(), 30, true) <= 0)
        return isErrorReply(reply) ? -5 : -2;
    if (!(u8(reply, 2) == 0x00 || u8(reply, 6) == 0x14))
        return -3;
    const QByteArray payload = reply.mid(8, 20);
    if (blockCrc(payload, 0, 18) != u16(payload, 18))
        return -4;
    if (info) {
        info->kind = u8(payload, 0);
        info->productionDate = QDate(u16(payload, 2), u8(payload, 4), u8(payload, 5));
        info->serialNumber = static_cast<int>(u32(payload, 6));
        info->modelCode = static_cast<int>(u32(payload, 10));
        info->value14 = u16(payload, 14);
        info->value16 = u8(payload, 16);
        info->value17 = u8(payload, 17);
    }
    return 1;
}

int CProtocol::readCalibrationDate(QDate *date)
{
    QByteArray request = header(0x40, 0x0024, 0x06);
    if (send(&request) < 8)
        return -1;
    QByteArray reply;
    if (receive(&reply, replyTimeout(), 16, true) <= 0)
        return isErrorReply(reply) ? -5 : -2;
    if (!(u8(reply, 2) == 0x24 || u8(reply, 6) == 0x06))
        return -3;
    const QByteArray payload = reply.mid(8, 6);
    if (blockCrc(payload, 0, 4) != u16(payload, 4))
        return -4;
    if (date)
        *date = QDate(u16(payload, 0), u8(payload, 2), u8(payload, 3));
    return 1;
}

int CProtocol::readDeltaEParameter(int *formula, int *thresholdX10)
{
    QByteArray request = header(0x40, 0x0225, 0x05);
    if (send(&request) < 8)
        return -1;
    QByteArray reply;
    if (receive(&reply, replyTimeout(), 15, true) <= 0)
        return -2;
    if (!(u8(reply, 2) == 0x25 || u8(reply, 6) == 0x05))
        return -3;
    const QByteArray payload = reply.mid(8, 5);
    // The values are handed out before the block check, so a caller sees what was stored.
    if (formula)
        *formula = u8(payload, 0);
    if (thresholdX10)
        *thresholdX10 = u16(payload, 1);
    return blockCrc(payload, 0, 3) == u16(payload, 3) ? 1 : -4;
}

int CProtocol::writeDeltaEParameter(int formula, int thresholdX10)
{
    QByteArray payload;
    payload.append(static_cast<char>(formula & 0xFF));
    put16(&payload, thresholdX10);
    put16(&payload, blockCrc(payload, 0, 3));
    QByteArray request = header(0x70, 0x0225, 0x05) + payload;
    if (send(&request) < 13)
        return -1;
    QByteArray reply;
    if (receive(&reply, replyTimeout(), 10, true) <= 0)
        return -2;
    if (!(u8(reply, 2) == 0x25 || u8(reply, 6) == 0x05))
        return -3;
    return 1;
}

int CProtocol::readMeasurement(int *L, int *a, int *b, int *C, int *h, int *r, int *g, int *bl)
{
    QByteArray request = header(0x44, 0, 0x36);
    if (send(&request) < 8)
        return -1;
    delayMs(scaled(kMeasureMs)); // the instrument measures meanwhile
    QByteArray reply;
    if (receive(&reply, replyTimeout(), 64, false) <= 0)
        return -2;
    if (!(u8(reply, 2) == 0x00 || u8(reply, 6) == 0x36))
        return -3;
    auto s16 = [&reply](int offset) { return static_cast<int>(static_cast<qint16>(u16(reply, offset))); };
    if (L)
        *L = s16(8);
    if (a)
        *a = s16(10);
    if (b)
        *b = s16(12);
    if (C)
        *C = u16(reply, 22);
    if (h)
        *h = u16(reply, 24);
    if (r)
        *r = u8(reply, 36);
    if (g)
        *g = u8(reply, 37);
    if (bl)
        *bl = u8(reply, 38);
    return 1;
}

namespace {
// The three small block writes: header, data, the caller's block CRC checked and appended, a
// CRC-checked 10-byte acknowledgement whose byte 2 or byte 6 echoes the request.
int writeBlock(QByteArray request, int crc, int minSent, quint8 echo2, quint8 echo6)
{
    if (!CProtocol::blockCrcMatches(request.mid(8), crc))
        return -4;
    put16(&request, crc);
    if (send(&request) < minSent)
        return -1;
    QByteArray reply;
    if (receive(&reply, replyTimeout(), 10, true) <= 0)
        return -2;
    if (!(u8(reply, 2) == echo2 || u8(reply, 6) == echo6))
        return -3;
    return 1;
}
} // namespace

int CProtocol::writeStdColorCount(int count, int crc)
{
    const QByteArray request = header(0x70, 0x2F00, 0x04) + stdColorCountData(count);
    return writeBlock(request, crc, 12, 0x00, 0x04);
}

int CProtocol::writeStdColorInfo(int address, QString name1, QString name2, int value1, int value2,
                                 int crc, NameEncoding encoding)
{
    const QByteArray data = stdColorInfoData(name1, name2, value1, value2, encoding);
    if (data.isEmpty())
        return -4; // a name that does not fit is no record the check value can be for
    // Only the low 16 bits of the address travel.
    const QByteArray request = header(0x70, static_cast<quint32>(address) & 0xFFFF, 0x26) + data;
    return writeBlock(request, crc, 45, 0x00, 0x26);
}

int CProtocol::writeStdColorData(quint32 address, QByteArray data, int length)
{
    if (length < 0 || length > 0xFFFF || data.size() < length)
        return -1; // never send a length the data does not hold
    QByteArray request = header(0x74, address, length) + data.left(length);
    if (length > 0)
        return send(&request) < length + 8 ? -1 : 1; // data packets are not acknowledged
    if (send(&request) < 8)
        return -1;
    QByteArray reply;
    if (receive(&reply, replyTimeout(), 10, false) <= 0)
        return -2;
    if (u8(reply, 2) == 0x04 && u8(reply, 4) == 0x26)
        return -3; // the instrument's write-error pattern
    if (u8(reply, 1) == 0x74 && u8(reply, 6) == 0x00)
        return 1;
    // Neither the error pattern nor an acknowledgement of this packet: not a success.
    qCDebug(lcLink) << "closing packet answered with" << reply.left(10).toHex(' ');
    return -3;
}

int CProtocol::writeMyColorHeader(quint32 value0, int count, int value2, int crc)
{
    const QByteArray request = header(0x70, 0x3000, 0x0A) + myColorHeaderData(value0, count, value2);
    return writeBlock(request, crc, 18, 0x00, 0x0A);
}

int CProtocol::writeMemory(quint32 address, QByteArray data, int length)
{
    if (length < 0 || length > 0xFFFF || data.size() < length)
        return -1;
    QByteArray request = header(0x70, address, length) + data.left(length);
    if (send(&request) < length + 8)
        return -1;
    // The acknowledgement is not CRC-checked, so any complete reply counts, except the
    // instrument's error reply: it refused the write and nothing was stored. An error reply
    // shorter than an acknowledgement still says so once the wait is over.
    QByteArray reply;
    const int received = receive(&reply, replyTimeout(), 10, false);
    if (isErrorReply(reply))
        return -3;
    if (received <= 0)
        return -2;
    return 1;
}

int CProtocol::readMyColorHeader(quint32 *value0, int *count, int *value2, int *crc)
{
    QByteArray request = header(0x40, 0x3000, 0x0A);
    if (send(&request) < 8)
        return -1;
    QByteArray reply;
    if (receive(&reply, replyTimeout(), 20, true) <= 0)
        return -2;
    if (!(u8(reply, 3) == 0x30 || u8(reply, 6) == 0x0A))
        return -3;
    const QByteArray payload = reply.mid(8, 10);
    if (value0)
        *value0 = u32(payload, 0);
    if (count)
        *count = u16(payload, 4);
    if (value2)
        *value2 = u16(payload, 6);
    if (crc)
        *crc = u16(payload, 8);
    return blockCrc(payload, 0, 8) == u16(payload, 8) ? 1 : -4;
}

int CProtocol::readRecordCount(int *count)
{
    QByteArray request = header(0x40, 0x3010, 0x0A);
    if (send(&request) < 8)
        return -1;
    QByteArray reply;
    if (receive(&reply, replyTimeout(), 20, false) <= 0)
        return -2;
    if (!(u8(reply, 2) == 0x10 || u8(reply, 6) == 0x0A))
        return -3;
    const QByteArray payload = reply.mid(8, 10);
    if (blockCrc(payload, 0, 8) != u16(payload, 8))
        return -4;
    if (count)
        *count = u16(payload, 4);
    return 1;
}

int CProtocol::readMemory(quint32 address, QByteArray *out, int length)
{
    if (length < 0 || length > 0xFFFF)
        return -1;
    QByteArray request = header(0x40, address, length);
    if (send(&request) < 8)
        return -1;
    QByteArray reply;
    if (receive(&reply, replyTimeout(), length + 10, false) < length + 10)
        return -2;
    if (out)
        out->append(reply.mid(8, length));
    return 1;
}
