// What the instrument measures: CIELAB values in hundredths with the derived chroma and hue, a
// display colour, the 64-byte frame that carries them, and a repeatable source of plausible
// readings for when no one has said what the next sample is.
#pragma once

#include <QByteArray>
#include <QtGlobal>

// L, a, b signed and C, h unsigned, all in hundredths; r, g, bl are the display colour 0..255.
struct VirtualMeasurement {
    int L = 0, a = 0, b = 0, C = 0, h = 0;
    int r = 0, g = 0, bl = 0;
};

namespace measurement {

// Rounds L*, a*, b* to hundredths and derives C*, h (degrees in [0, 360)) and an sRGB colour
// (D65, clamped) from the rounded values, so a frame is consistent with itself.
VirtualMeasurement fromLab(double L, double a, double b);

// CIELAB (D65, 2 degree white) to 8-bit sRGB, each channel clamped to 0..255.
void labToSrgb(double L, double a, double b, int *r, int *g, int *bl);

// The reply to 0x44 and the frame pushed by the button: 64 bytes, header AB 44, address 0,
// length 0x36, the values at their offsets, CRC at 62. `sequence` numbers the readings.
QByteArray frame(const VirtualMeasurement &m, quint16 sequence);
constexpr int kFrameSize = 64;
constexpr quint16 kPayloadLength = 0x36;

// A deterministic walk through colour space: successive readings stay close (a standard and a
// sample of the same colour), now and then a larger step, rarely a new colour altogether.
class Generator
{
public:
    explicit Generator(quint64 seed = kDefaultSeed) { reseed(seed); }
    static constexpr quint64 kDefaultSeed = 0x5EED0C01u;

    void reseed(quint64 seed);
    VirtualMeasurement next();

private:
    quint64 nextBits();
    double uniform(double lo, double hi);
    void freshColour();

    quint64 m_state = 0;
    bool m_started = false;
    double m_L = 50, m_a = 0, m_b = 0;
};

} // namespace measurement
