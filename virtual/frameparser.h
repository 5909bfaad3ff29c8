// Cuts request frames out of the byte stream the host writes. The host's output reports carry
// arbitrary slices of its frames, so the parser keeps a partial frame until the rest arrives.
#pragma once

#include <QByteArray>
#include <QList>

class FrameParser
{
public:
    // Write frames longer than this are refused at their header (the instrument has no buffer
    // for them), and reads longer than this are refused as well.
    static constexpr int kMaxPayload = 0x8000;

    struct Item {
        enum Kind { Frame, BadCrc, UnknownFunction, TooLong };
        Kind kind = Frame;
        quint8 function = 0;
        QByteArray bytes;   // the frame as received, CRC included (just the header for TooLong)
    };

    // Appends bytes and returns every item completed by them, in order.
    QList<Item> feed(const QByteArray &bytes);
    void clear() { m_buffer.clear(); }
    int pendingBytes() const { return int(m_buffer.size()); }

    // Complete length of a frame of this function whose header is `head` (at least 8 bytes for
    // the write functions); -1 for an unknown function.
    static int frameLength(quint8 function, const QByteArray &head);

private:
    QByteArray m_buffer;
};
