#include "frameparser.h"

#include "wire.h"

int FrameParser::frameLength(quint8 function, const QByteArray &head)
{
    switch (function) {
    case wire::RegisterRead:
        return 8;   // six-byte header and CRC
    case wire::MemoryRead:
    case wire::Measure:
        return 10;
    case wire::MemoryWrite:
    case wire::StreamWrite:
        return 10 + int(wire::le16(head, 6));
    default:
        return -1;
    }
}

QList<FrameParser::Item> FrameParser::feed(const QByteArray &bytes)
{
    m_buffer.append(bytes);
    QList<Item> items;
    for (;;) {
        // Line noise and the tails of frames given up on are dropped up to the next start byte.
        const qsizetype start = m_buffer.indexOf(char(wire::kStart));
        if (start < 0) {
            m_buffer.clear();
            break;
        }
        if (start > 0)
            m_buffer.remove(0, start);
        if (m_buffer.size() < 2)
            break;
        const quint8 function = quint8(m_buffer[1]);
        if (frameLength(function, {}) < 0) {
            // The length of an unknown frame cannot be known: refuse it and resynchronise on the
            // next start byte.
            items.append({Item::UnknownFunction, function, m_buffer.left(2)});
            m_buffer.remove(0, 2);
            continue;
        }
        if ((function == wire::MemoryWrite || function == wire::StreamWrite) && m_buffer.size() < 8)
            break;
        if (function != wire::RegisterRead && m_buffer.size() >= 8
            && wire::le16(m_buffer, 6) > kMaxPayload) {
            items.append({Item::TooLong, function, m_buffer.left(8)});
            m_buffer.remove(0, 8);
            continue;
        }
        const int length = frameLength(function, m_buffer);
        if (m_buffer.size() < length)
            break;
        Item item;
        item.function = function;
        item.bytes = m_buffer.left(length);
        item.kind = wire::crcMatches(item.bytes) ? Item::Frame : Item::BadCrc;
        m_buffer.remove(0, length);
        items.append(item);
    }
    return items;
}
