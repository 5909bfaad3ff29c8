#pragma once

#include <utility>

// Colour-difference arithmetic between a standard and a sample given in CIELAB.
//
// Every function is pure: no state, no allocation, no failure path, and for any finite input
// the result is finite. Every function takes the standard first and the sample second;
// differences are always sample minus standard.

struct LabColor {
    double L = 0.0; // L*, nominally 0..100
    double a = 0.0; // a*
    double b = 0.0; // b*
};

// The formula index exactly as the instrument stores it (one byte). The page holds -1 until
// it has read the index from the instrument.
enum DeltaEFormula : int {
    DeltaEFormulaAb = 0,    // CIE 1976 ΔE*ab
    DeltaEFormulaUv = 1,    // CIE 1976 ΔE*uv
    DeltaEFormula94 = 2,    // CIE94
    DeltaEFormulaCmc21 = 3, // CMC(2:1)
    DeltaEFormulaCmc11 = 4, // CMC(1:1)
    DeltaEFormula00 = 5,    // CIEDE2000
};

// Source text of the label the interface shows for a formula index (translation context
// "Colorimeter"), or nullptr for an index outside 0..5.
const char *deltaEFormulaLabel(int formula);

// Hue angle of the point (a, b) in degrees, 0..360 (both ends possible).
double hueAngle(double a, double b);

// Sample hue minus standard hue in degrees, wrapped into (-180, 180]: hues of 359 and 1 differ
// by 2, not by -358. Shown in the panel and the report alike. NaN in gives NaN out.
double hueDifference(double hStandard, double hSample);

// (u*, v*) of one colour under the instrument's reference white, each within -300..300.
std::pair<double, double> labToUv(const LabColor &c);

double deltaEab(const LabColor &standard, const LabColor &sample);
double deltaEuv(const LabColor &standard, const LabColor &sample);
double deltaE94(const LabColor &standard, const LabColor &sample);
// CMC(l:1); all weights come from the standard, so the result is not symmetric.
double deltaECmc(const LabColor &standard, const LabColor &sample, double l);
double deltaE00(const LabColor &standard, const LabColor &sample);

// CMC hue weight T for the standard's hue h1 (degrees); exposed so the branch limits can be
// checked at exactly 164 and 345.
double cmcHueWeight(double h1);

// ΔE by the formula index (DeltaEFormula); -1.0 for any index outside 0..5, which is what
// the page shows and judges while the instrument's index is unknown.
double computeDeltaE(int formula, const LabColor &standard, const LabColor &sample);
