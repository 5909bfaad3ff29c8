#pragma once

#include "deltae.h"

#include <vector>

// The tolerance contour: where around a standard the program's own ΔE reaches the threshold.
// It is found with computeDeltaE itself, the function every verdict is judged by, so a plot of
// it can never disagree with a verdict: inside PASS, outside NG.

// One boundary point on a ray from the standard, in the a*b* plane (ΔL* = 0).
struct ContourPoint
{
    double angle = 0; // direction of the ray in degrees, counter-clockwise from +a*
    double da = 0;    // Δa* of the boundary point (sample minus standard)
    double db = 0;    // Δb*
    // False when ΔE stays within the threshold all the way to the search limit along this ray
    // (the formula flattens out there); the point then lies on the limit.
    bool reached = true;
};

struct ToleranceContour
{
    std::vector<ContourPoint> points; // one per ray, in order of angle; empty: no contour
    // The ΔL* that alone (Δa* = Δb* = 0) reaches the threshold, above and below the standard;
    // NaN when ΔE stays within the threshold up to the search limit.
    double lightnessUp;
    double lightnessDown;
    bool valid() const { return !points.empty(); }
};

// How far the search goes along a ray: beyond any difference between two real colours.
constexpr double kContourChromaLimit = 300.0; // in Δa*, Δb*
constexpr double kContourLightnessLimit = 200.0; // in ΔL*

// The distance r along the direction (dL, da, db) (a unit vector) from the standard at which
// ΔE first goes above the threshold: ΔE(standard + r' * direction) <= threshold for the points
// the search looked at up to r, and > threshold just beyond. limit bounds the search; *reached
// tells whether a crossing was found before it (the result is limit otherwise).
//
// ΔE need not grow monotonically along a ray (CIEDE2000's hue terms, the clamps of ΔE*uv), so
// the search does not bisect between the standard and a far point, which could land on a later
// crossing: it walks out from the standard in steps of 1/16 octave, looks at the first step that
// lands above the threshold in 32 sub-steps, and bisects only inside the first sub-step that
// crosses. The result is the first crossing seen on that walk: the edge of the region of PASS
// around the standard, the one the plot draws. (A spell above the threshold shorter than a step
// of the walk, 4 % of the distance, that falls back below before the next step is not seen.)
double contourRadius(int formula, const LabColor &standard, double threshold, double dL, double da, double db,
                     double limit, bool *reached);

// The contour on `rays` equally spaced rays (the first along +a*), and the ΔL* alone that reaches
// the threshold. Empty for a formula index outside 0..5 or a threshold that is not a positive
// finite number (nothing but the standard itself, or nothing at all, would pass).
ToleranceContour toleranceContour(int formula, const LabColor &standard, double threshold, int rays = 360);
