#include "deltae.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The instrument computes with these angle constants, not with 180/pi (57.2957795...) and
// pi/180 (0.0174533...). They are kept on purpose so that a pair gets the same ΔE, and so the
// same PASS/NG verdict, on the instrument and here: do not "correct" them.
constexpr double DEG_PER_RAD = 57.2957805;
constexpr double RAD_PER_DEG = 0.0174532;

// Reference white and the rounded constants of the instrument's L*a*b* -> L*u*v* conversion;
// like the angle constants they are the instrument's, not textbook values.
constexpr double WHITE_X = 94.81;
constexpr double WHITE_Y = 100.0;
constexpr double WHITE_Z = 107.32;
constexpr double WHITE_U = 0.1978537; // u' of the white
constexpr double WHITE_V = 0.4695399; // v' of the white
constexpr double CUBE_THRESHOLD = 0.2068966;
constexpr double LINEAR_OFFSET = 0.137931;
constexpr double LINEAR_SLOPE = 7.787037;
constexpr double UV_LIMIT = 300.0;

constexpr double POW25_7 = 6103515625.0; // 25^7

// Inputs are pulled into +-1e9 before any arithmetic. That is far beyond any colour (the wire
// carries +-327.67), and it keeps every power the formulas take (up to C^7) finite, so a
// nonsense value typed into a spreadsheet cannot turn into an infinite or NaN ΔE.
constexpr double INPUT_LIMIT = 1e9;

double sane(double v)
{
    return std::clamp(v, -INPUT_LIMIT, INPUT_LIMIT);
}

LabColor sane(const LabColor &c)
{
    return {sane(c.L), sane(c.a), sane(c.b)};
}

double sq(double v)
{
    return v * v;
}

double pow7(double v)
{
    const double v2 = v * v;
    return v2 * v2 * v2 * v;
}

// The instrument's inverse of the CIELAB companding; negative tristimulus values are not
// produced, the lowest part of the range maps to 0.
double inverseF(double f)
{
    if (f > CUBE_THRESHOLD)
        return f * f * f;
    if (f > LINEAR_OFFSET)
        return (f - LINEAR_OFFSET) / LINEAR_SLOPE;
    return 0.0;
}

struct ChromaParts {
    double c1;
    double c2;
    double dC;
    double dH;
};

// Chromas, chroma difference and hue difference shared by CIE94 and CMC.
ChromaParts chromaParts(const LabColor &s, const LabColor &t)
{
    const double c1 = std::sqrt(sq(s.a) + sq(s.b));
    const double c2 = std::sqrt(sq(t.a) + sq(t.b));
    const double dC = c2 - c1;
    // ΔH² is a difference of near-equal terms when the hues agree; rounding can make it
    // slightly negative, which means no hue difference, not a square root of a negative.
    const double dH2 = sq(t.a - s.a) + sq(t.b - s.b) - sq(dC);
    return {c1, c2, dC, dH2 > 0.0 ? std::sqrt(dH2) : 0.0};
}

double sinDeg(double deg)
{
    return std::sin(deg * RAD_PER_DEG);
}

double cosDeg(double deg)
{
    return std::cos(deg * RAD_PER_DEG);
}

} // namespace

const char *deltaEFormulaLabel(int formula)
{
    // Translated in the context "Colorimeter"; the first character is U+25B3.
    static const char *const labels[] = {
        "△E*ab", "△E*uv", "△E*94", "△E*cmc(2:1)", "△E*cmc(1:1)", "△E*00",
    };
    if (formula < DeltaEFormulaAb || formula > DeltaEFormula00)
        return nullptr;
    return labels[formula];
}

double hueDifference(double hStandard, double hSample)
{
    double d = std::fmod(hSample - hStandard, 360.0); // (-360, 360), NaN stays NaN
    if (d > 180.0)
        d -= 360.0;
    else if (d <= -180.0)
        d += 360.0;
    return d;
}

double hueAngle(double a, double b)
{
    if (a == 0.0) {
        if (b > 0.0)
            return 90.0;
        if (b < 0.0)
            return 270.0;
        return 0.0;
    }
    if (b == 0.0)
        return a > 0.0 ? 0.0 : 180.0;

    // b / a may overflow or underflow for extreme inputs; atan of +-inf or 0 is still exact.
    const double t = std::atan(b / a) * DEG_PER_RAD;
    double h;
    if (a > 0.0)
        h = b > 0.0 ? t : t + 360.0;
    else
        h = t + 180.0;
    return std::clamp(h, 0.0, 360.0);
}

std::pair<double, double> labToUv(const LabColor &colour)
{
    // inverseF would turn a missing value into 0, and with it a damaged colour into a
    // plausible one; a missing value must stay missing so that it is never judged a match.
    if (std::isnan(colour.L) || std::isnan(colour.a) || std::isnan(colour.b)) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        return {nan, nan};
    }
    const LabColor c = sane(colour);
    const double fy = (c.L + 16.0) / 116.0;
    const double fx = fy + c.a / 500.0;
    const double fz = fy - c.b / 200.0;
    const double x = inverseF(fx) * WHITE_X;
    const double y = inverseF(fy) * WHITE_Y;
    const double z = inverseF(fz) * WHITE_Z;
    if (x == 0.0 && y == 0.0 && z == 0.0)
        return {0.0, 0.0};

    // x, y, z are >= 0 and not all 0, so d > 0. L is the given L*, not one recomputed from Y,
    // as on the instrument.
    const double d = x + 15.0 * y + 3.0 * z;
    const double u = 13.0 * c.L * (4.0 * x / d - WHITE_U);
    const double v = 13.0 * c.L * (9.0 * y / d - WHITE_V);
    return {std::clamp(u, -UV_LIMIT, UV_LIMIT), std::clamp(v, -UV_LIMIT, UV_LIMIT)};
}

double deltaEab(const LabColor &standard, const LabColor &sample)
{
    const LabColor s = sane(standard);
    const LabColor t = sane(sample);
    return std::sqrt(sq(t.L - s.L) + sq(t.a - s.a) + sq(t.b - s.b));
}

double deltaEuv(const LabColor &standard, const LabColor &sample)
{
    const LabColor s = sane(standard);
    const LabColor t = sane(sample);
    const auto [u1, v1] = labToUv(s);
    const auto [u2, v2] = labToUv(t);
    return std::sqrt(sq(t.L - s.L) + sq(u2 - u1) + sq(v2 - v1));
}

double deltaE94(const LabColor &standard, const LabColor &sample)
{
    const LabColor s = sane(standard);
    const LabColor t = sane(sample);
    const ChromaParts p = chromaParts(s, t);
    // The instrument weights by the geometric mean of the two chromas rather than by the
    // standard's chroma alone; this keeps CIE94 symmetric and matches its verdicts.
    const double cm = std::sqrt(p.c1 * p.c2);
    const double sc = 1.0 + 0.045 * cm;
    const double sh = 1.0 + 0.015 * cm;
    return std::sqrt(sq(t.L - s.L) + sq(p.dC / sc) + sq(p.dH / sh));
}

double cmcHueWeight(double h1)
{
    if (h1 >= 164.0 && h1 <= 345.0)
        return 0.56 + std::fabs(0.2 * cosDeg(h1 + 168.0));
    return 0.36 + std::fabs(0.4 * cosDeg(h1 + 35.0));
}

double deltaECmc(const LabColor &standard, const LabColor &sample, double l)
{
    const LabColor s = sane(standard);
    const LabColor t = sane(sample);
    const ChromaParts p = chromaParts(s, t);

    const double c1Pow4 = sq(sq(p.c1));
    const double f = std::sqrt(c1Pow4 / (c1Pow4 + 1900.0));
    const double sc = 0.0638 * p.c1 / (1.0 + 0.0131 * p.c1) + 0.638;
    const double sl = s.L >= 16.0 ? 0.040975 * s.L / (1.0 + 0.01765 * s.L) : 0.511;
    const double tw = cmcHueWeight(hueAngle(s.a, s.b));
    const double sh = sc * (f * tw + 1.0 - f);
    // l is 2 or 1 from the dispatcher. Other weights are held to that range: l = 0 would
    // divide by zero and a negative l means nothing.
    const double lw = std::clamp(l, 1.0, 2.0);
    return std::sqrt(sq((t.L - s.L) / (lw * sl)) + sq(p.dC / sc) + sq(p.dH / sh));
}

double deltaE00(const LabColor &standard, const LabColor &sample)
{
    const LabColor s = sane(standard);
    const LabColor t = sane(sample);

    const double c1 = std::sqrt(sq(s.a) + sq(s.b));
    const double c2 = std::sqrt(sq(t.a) + sq(t.b));
    const double cb7 = pow7((c1 + c2) / 2.0);
    const double g = 0.5 * (1.0 - std::sqrt(cb7 / (cb7 + POW25_7)));

    const double a1p = s.a * (1.0 + g);
    const double a2p = t.a * (1.0 + g);
    const double c1p = std::sqrt(sq(a1p) + sq(s.b));
    const double c2p = std::sqrt(sq(a2p) + sq(t.b));
    const double h1p = hueAngle(a1p, s.b);
    const double h2p = hueAngle(a2p, t.b);

    const double dLp = t.L - s.L;
    const double dCp = c2p - c1p;
    const bool achromatic = c1p * c2p == 0.0;

    // Hue difference taken the short way round the circle.
    double dhp = 0.0;
    if (!achromatic) {
        const double d = h2p - h1p;
        if (d > 180.0)
            dhp = d - 360.0;
        else if (d < -180.0)
            dhp = d + 360.0;
        else
            dhp = d;
    }
    const double dHp = 2.0 * std::sqrt(c1p * c2p) * sinDeg(dhp / 2.0);

    const double lm = (s.L + t.L) / 2.0;
    const double cm = (c1p + c2p) / 2.0;
    double hm;
    if (achromatic)
        hm = h1p + h2p;
    else if (std::fabs(h1p - h2p) <= 180.0)
        hm = (h1p + h2p) / 2.0;
    else if (h1p + h2p < 360.0)
        hm = (h1p + h2p + 360.0) / 2.0;
    else
        hm = (h1p + h2p - 360.0) / 2.0;

    const double tw = 1.0 - 0.17 * cosDeg(hm - 30.0) + 0.24 * cosDeg(2.0 * hm) +
                      0.32 * cosDeg(3.0 * hm + 6.0) - 0.2 * cosDeg(4.0 * hm - 63.0);
    const double lm50 = sq(lm - 50.0);
    const double sl = 1.0 + 0.015 * lm50 / std::sqrt(20.0 + lm50);
    const double sc = 1.0 + 0.045 * cm;
    const double sh = 1.0 + 0.015 * cm * tw; // tw > 0.3 for every hue, so sh >= 1

    const double dTheta = 30.0 * std::exp(-sq((hm - 275.0) / 25.0));
    const double cm7 = pow7(cm);
    const double rc = 2.0 * std::sqrt(cm7 / (cm7 + POW25_7));
    const double rt = -rc * sinDeg(2.0 * dTheta);

    const double p = dLp / sl;
    const double q = dCp / sc;
    const double r = dHp / sh;
    // |rt| <= 2 sin 60° < 2, so the sum cannot be negative in exact arithmetic; the guard only
    // absorbs rounding. Anything else, a NaN from a missing value above all, goes on to the
    // square root and stays NaN rather than turning into a perfect match.
    const double sum = sq(p) + sq(q) + sq(r) + rt * q * r;
    const double rounding = 1e-12 * (sq(p) + sq(q) + sq(r) + 1.0);
    if (sum < 0.0 && sum >= -rounding)
        return 0.0;
    return std::sqrt(sum);
}

double computeDeltaE(int formula, const LabColor &standard, const LabColor &sample)
{
    switch (formula) {
    case DeltaEFormulaAb:
        return deltaEab(standard, sample);
    case DeltaEFormulaUv:
        return deltaEuv(standard, sample);
    case DeltaEFormula94:
        return deltaE94(standard, sample);
    case DeltaEFormulaCmc21:
        return deltaECmc(standard, sample, 2.0);
    case DeltaEFormulaCmc11:
        return deltaECmc(standard, sample, 1.0);
    case DeltaEFormula00:
        return deltaE00(standard, sample);
    default:
        return -1.0;
    }
}
