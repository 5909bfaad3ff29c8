#include "measurementmodel.h"

#include "wire.h"

#include <algorithm>
#include <cmath>

namespace measurement {

namespace {

constexpr double kPi = 3.14159265358979323846;

int hundredths(double v)
{
    return int(std::lround(v * 100.0));
}

double labInverse(double t)
{
    constexpr double d = 6.0 / 29.0;
    return t > d ? t * t * t : 3.0 * d * d * (t - 4.0 / 29.0);
}

double gammaEncode(double v)
{
    return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
}

int toByte(double v)
{
    return std::clamp(int(std::lround(v * 255.0)), 0, 255);
}

} // namespace

void labToSrgb(double L, double a, double b, int *r, int *g, int *bl)
{
    const double fy = (L + 16.0) / 116.0;
    const double fx = fy + a / 500.0;
    const double fz = fy - b / 200.0;
    const double X = 0.95047 * labInverse(fx);
    const double Y = 1.00000 * labInverse(fy);
    const double Z = 1.08883 * labInverse(fz);
    const double rl = 3.2404542 * X - 1.5371385 * Y - 0.4985314 * Z;
    const double gl = -0.9692660 * X + 1.8760108 * Y + 0.0415560 * Z;
    const double bll = 0.0556434 * X - 0.2040259 * Y + 1.0572252 * Z;
    auto channel = [](double lin) { return toByte(gammaEncode(std::clamp(lin, 0.0, 1.0))); };
    if (r)
        *r = channel(rl);
    if (g)
        *g = channel(gl);
    if (bl)
        *bl = channel(bll);
}

VirtualMeasurement fromLab(double L, double a, double b)
{
    VirtualMeasurement m;
    m.L = std::clamp(hundredths(L), -32768, 32767);
    m.a = std::clamp(hundredths(a), -32768, 32767);
    m.b = std::clamp(hundredths(b), -32768, 32767);
    const double ra = m.a / 100.0, rb = m.b / 100.0;
    m.C = std::clamp(hundredths(std::sqrt(ra * ra + rb * rb)), 0, 65535);
    double h = std::atan2(rb, ra) * 180.0 / kPi;
    if (h < 0)
        h += 360.0;
    m.h = hundredths(h);
    if (m.h >= 36000)   // 359.996 rounds to 360.00, which is 0
        m.h -= 36000;
    labToSrgb(m.L / 100.0, ra, rb, &m.r, &m.g, &m.bl);
    return m;
}

QByteArray frame(const VirtualMeasurement &m, quint16 sequence)
{
    QByteArray f;
    f.reserve(kFrameSize);
    f.append(char(wire::kStart));
    f.append(char(wire::Measure));
    wire::appendLe32(f, 0);
    wire::appendLe16(f, kPayloadLength);
    wire::appendLe16(f, quint16(qint16(m.L)));          // 8
    wire::appendLe16(f, quint16(qint16(m.a)));          // 10
    wire::appendLe16(f, quint16(qint16(m.b)));          // 12

    // 14..21: tristimulus X, Y, Z in hundredths and the reading's sequence number; the program
    // does not read them, the instrument's own display does.
    const double fy = (m.L / 100.0 + 16.0) / 116.0;
    const double X = 95.047 * labInverse(fy + m.a / 100.0 / 500.0);
    const double Y = 100.0 * labInverse(fy);
    const double Z = 108.883 * labInverse(fy - m.b / 100.0 / 200.0);
    wire::appendLe16(f, quint16(std::clamp(hundredths(X), 0, 65535)));
    wire::appendLe16(f, quint16(std::clamp(hundredths(Y), 0, 65535)));
    wire::appendLe16(f, quint16(std::clamp(hundredths(Z), 0, 65535)));
    wire::appendLe16(f, sequence);

    wire::appendLe16(f, quint16(m.C));                  // 22
    wire::appendLe16(f, quint16(m.h));                  // 24

    // 26..35: illuminant (0 = D65), observer (1 = 10 degree), aperture in mm, then reserved.
    f.append(char(0));
    f.append(char(1));
    f.append(char(8));
    f.append(QByteArray(7, '\0'));

    f.append(char(quint8(std::clamp(m.r, 0, 255))));   // 36
    f.append(char(quint8(std::clamp(m.g, 0, 255))));
    f.append(char(quint8(std::clamp(m.bl, 0, 255))));

    f.append(QByteArray(kFrameSize - 2 - int(f.size()), '\0'));   // 39..61 reserved
    wire::appendCrc(f);
    return f;
}

void Generator::reseed(quint64 seed)
{
    m_state = seed;
    m_started = false;
}

quint64 Generator::nextBits()
{
    // splitmix64: small, fast and the same on every platform.
    quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Generator::uniform(double lo, double hi)
{
    const double unit = double(nextBits() >> 11) / double(1ull << 53);
    return lo + (hi - lo) * unit;
}

void Generator::freshColour()
{
    m_L = uniform(20.0, 95.0);
    m_a = uniform(-60.0, 60.0);
    m_b = uniform(-60.0, 60.0);
}

VirtualMeasurement Generator::next()
{
    if (!m_started) {
        freshColour();
        m_started = true;
    } else {
        const double roll = uniform(0.0, 1.0);
        if (roll < 0.05) {
            freshColour();
        } else {
            // Mostly a sample close to the previous reading, sometimes a visibly different one.
            const double step = roll < 0.80 ? 1.5 : 6.0;
            m_L = std::clamp(m_L + uniform(-step, step), 20.0, 95.0);
            m_a = std::clamp(m_a + uniform(-step, step), -60.0, 60.0);
            m_b = std::clamp(m_b + uniform(-step, step), -60.0, 60.0);
        }
    }
    return fromLab(m_L, m_a, m_b);
}

} // namespace measurement
