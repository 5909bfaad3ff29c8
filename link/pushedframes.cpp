#include "pushedframes.h"

#include "crc16.h"

namespace {

constexpr int kFrameBytes = 64;

// Whether the bytes from pos on can be the beginning of a measurement frame, as far as they go.
bool couldStartFrame(const QByteArray &buffer, qsizetype pos)
{
    const qsizetype n = buffer.size() - pos;
    const auto *p = reinterpret_cast<const uchar *>(buffer.constData()) + pos;
    return (n < 1 || p[0] == 0xAB) && (n < 2 || p[1] == 0x44) && (n < 3 || p[2] == 0x00)
           && (n < 7 || p[6] == 0x36);
}

int signed16(const uchar *p)
{
    return qint16(quint16(p[0] | (p[1] << 8)));
}

int unsigned16(const uchar *p)
{
    return quint16(p[0] | (p[1] << 8));
}

} // namespace

QList<PushedFrame> takePushedFrames(QByteArray &buffer)
{
    QList<PushedFrame> frames;
    qsizetype pos = 0;
    const qsizetype size = buffer.size();
    while (pos < size) {
        if (!couldStartFrame(buffer, pos)) {
            ++pos;
            continue;
        }
        if (size - pos < kFrameBytes)
            break;
        const auto *p = reinterpret_cast<const uchar *>(buffer.constData()) + pos;
        PushedFrame f;
        const quint16 stored = quint16(p[kFrameBytes - 2] | (p[kFrameBytes - 1] << 8));
        f.crcMatches = crc16Modbus(p, kFrameBytes - 2) == stored;
        f.L = signed16(p + 8);
        f.a = signed16(p + 10);
        f.b = signed16(p + 12);
        f.C = unsigned16(p + 22);
        f.h = unsigned16(p + 24);
        f.r = p[36];
        f.g = p[37];
        f.bl = p[38];
        f.bytes = buffer.mid(pos, kFrameBytes);
        frames.append(f);
        pos += kFrameBytes;
    }
    buffer.remove(0, pos);
    return frames;
}
