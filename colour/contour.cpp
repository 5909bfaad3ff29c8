#include "contour.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kPi = 3.14159265358979323846;
// The walk starts at an eighth of the threshold (no formula changes by eight ΔE units per unit
// of L*, a* or b* near the standard; if one did, the first step would land above and its
// sub-steps would find the crossing all the same), goes out by 1/16 octave a step, and looks at
// the step that lands above the threshold in 32 sub-steps: the crossing is placed to 1/512
// octave before it is bisected. About 150 evaluations a ray.
constexpr double kFirstStep = 1.0 / 8;
constexpr int kStepsPerOctave = 16;
constexpr int kSubSteps = 32;

} // namespace

double contourRadius(int formula, const LabColor &standard, double threshold, double dL, double da, double db,
                     double limit, bool *reached)
{
    const auto above = [&](double r) {
        const LabColor sample{standard.L + r * dL, standard.a + r * da, standard.b + r * db};
        // A NaN ΔE is no pass either, as in the verdict.
        return !(computeDeltaE(formula, standard, sample) <= threshold);
    };

    const double growth = std::exp2(1.0 / kStepsPerOctave);
    double inside = 0; // the last distance seen within the threshold
    double outside = -1;
    for (double r = kFirstStep * threshold; inside < limit; r *= growth) {
        r = std::fmin(r, limit);
        if (above(r)) {
            outside = r;
            break;
        }
        inside = r;
    }
    if (outside < 0) {
        *reached = false;
        return limit;
    }

    // The step that went above may have crossed more than once; take its first crossing.
    const double step = (outside - inside) / kSubSteps;
    for (int k = 1; k < kSubSteps; ++k) {
        const double r = inside + k * step;
        if (above(r)) {
            outside = r;
            break;
        }
        inside = r;
    }
    // Bisection to the resolution of a double.
    for (int i = 0; i < 100 && outside - inside > 1e-11 * outside; ++i) {
        const double middle = inside + (outside - inside) / 2;
        if (middle <= inside || middle >= outside)
            break;
        if (above(middle))
            outside = middle;
        else
            inside = middle;
    }
    *reached = true;
    return inside;
}

ToleranceContour toleranceContour(int formula, const LabColor &standard, double threshold, int rays)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    ToleranceContour contour{{}, nan, nan};
    if (formula < DeltaEFormulaAb || formula > DeltaEFormula00 || !std::isfinite(threshold) || threshold <= 0
        || rays < 3 || !std::isfinite(standard.L) || !std::isfinite(standard.a) || !std::isfinite(standard.b))
        return contour;

    contour.points.reserve(rays);
    for (int i = 0; i < rays; ++i) {
        const double angle = 360.0 * i / rays;
        const double c = std::cos(angle * kPi / 180.0);
        const double s = std::sin(angle * kPi / 180.0);
        bool reached = false;
        const double r = contourRadius(formula, standard, threshold, 0, c, s, kContourChromaLimit, &reached);
        contour.points.push_back({angle, r * c, r * s, reached});
    }
    bool reached = false;
    const double up = contourRadius(formula, standard, threshold, 1, 0, 0, kContourLightnessLimit, &reached);
    if (reached)
        contour.lightnessUp = up;
    const double down = contourRadius(formula, standard, threshold, -1, 0, 0, kContourLightnessLimit, &reached);
    if (reached)
        contour.lightnessDown = -down;
    return contour;
}
