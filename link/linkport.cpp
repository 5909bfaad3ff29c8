#include "linkport.h"

#include "clinker.h"
#include "crc16.h"
#include "linklog.h"

#include <atomic>

namespace {
std::atomic<LinkPort *> g_current{nullptr};
}

LinkPort::LinkPort() = default;

LinkPort::~LinkPort()
{
    LinkPort *self = this;
    g_current.compare_exchange_strong(self, nullptr);
    delete link;
}

LinkPort *LinkPort::current()
{
    return g_current.load();
}

void LinkPort::setCurrent(LinkPort *port)
{
    g_current.store(port);
}

bool LinkPort::isLinkOpen() const
{
    return link && link->isOpen();
}

quint16 LinkPort::crc16(QByteArray *data, int length)
{
    if (!data || length <= 0)
        return crc16Modbus(nullptr, 0);
    return crc16Modbus(data->constData(), qMin<qsizetype>(length, data->size()));
}

int LinkPort::sendPacket(QByteArray *request, int timeoutMs)
{
    if (!request || !link || !link->isOpen()) {
        qCDebug(lcFrames) << "TX (no link)" << (request ? request->toHex(' ') : QByteArray())
                          << "-> -1";
        return -1;
    }
    const quint16 crc = crc16(request, static_cast<int>(request->size()));
    request->append(static_cast<char>(crc & 0xFF));
    request->append(static_cast<char>(crc >> 8));
    const int result = link->write(request, timeoutMs);
    qCDebug(lcFrames) << "TX" << request->toHex(' ') << "->" << result;
    return result;
}

int LinkPort::receivePacket(QByteArray *reply, int timeoutMs, int expectedLength, bool checkCrc)
{
    if (!reply || !link) {
        qCDebug(lcFrames) << "RX (no link) -> -1";
        return -1;
    }
    auto done = [&](int result) {
        if (timeoutMs > 0 || result > 0)
            qCDebug(lcFrames) << "RX" << reply->toHex(' ') << "->" << result;
        return result;
    };
    const int n = link->read(reply, static_cast<unsigned>(qMax(timeoutMs, 0)),
                             static_cast<unsigned>(qMax(expectedLength, 0)));
    if (n <= 0)
        return done(n);
    if (timeoutMs > 0 && reply->size() < expectedLength)
        return done(-1);
    if (!checkCrc)
        return done(n);
    // The CRC sits in the last two bytes of the expected frame; a reply too short to hold one
    // cannot pass.
    if (expectedLength < 2 || reply->size() < expectedLength)
        return done(-1);
    const auto *bytes = reinterpret_cast<const unsigned char *>(reply->constData());
    const quint16 stored = static_cast<quint16>(bytes[expectedLength - 2] | (bytes[expectedLength - 1] << 8));
    if (stored != crc16(reply, expectedLength - 2))
        return done(-1);
    return done(static_cast<int>(reply->size()));
}
