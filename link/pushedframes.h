#pragma once

#include <QByteArray>
#include <QList>

// A measurement the instrument pushed on its own (its button): the frame AB 44 00 .. .. .. 36,
// values up to offset 38, 64 bytes in all with the CRC.
struct PushedFrame {
    int L = 0, a = 0, b = 0, C = 0, h = 0; // hundredths; L*, a*, b* signed
    int r = 0, g = 0, bl = 0;               // the instrument's display colour
    bool crcMatches = true;                 // the instrument's pushes were never refused on it
    QByteArray bytes;                       // the frame as it came
};

// Takes every complete measurement frame out of the front of `buffer`, in order. Bytes that
// cannot start a frame are dropped; a frame cut at the end stays in the buffer for the bytes
// that complete it. A frame is taken whole, so its tail is never scanned as another's start.
// Nothing is read past the buffer's end.
QList<PushedFrame> takePushedFrames(QByteArray &buffer);
