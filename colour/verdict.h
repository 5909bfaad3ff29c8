#pragma once

#include <QString>

// What the user sees next to the numbers: the verbal deviation per CIELAB axis, the PASS rule
// and the style sheet that paints a measured colour.

enum class LabAxis { L, a, b };

// English source word for a deviation d (sample minus standard) on one axis: "Normal" within
// +-0.2, "Slight ..." up to +-4, "More ..." beyond; the sign picks the side. The caller shows
// it through tr() in the context "FirstPageForTesk".
const char *deviationWord(LabAxis axis, double d);

// NG exactly when threshold < deltaE: a ΔE equal to the threshold passes. With the -1 markers
// for values not yet read from the instrument, an unknown threshold fails every real ΔE and an
// unknown formula (ΔE -1) passes every threshold >= -1. A NaN ΔE is NG.
bool passes(double deltaE, double threshold);

// "background-color: rgb(R, G, B);" for the group box around a measurement button.
QString swatchStyle(int r, int g, int b);
