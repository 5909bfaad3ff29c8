#include "verdict.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>

namespace {

// One row per axis; columns: d < -4, -4 <= d < -0.2, |d| <= 0.2, 0.2 < d <= 4, d > 4. The
// words are marked for the page's translation context; the capital B of "More Blue" is the
// instrument's text and stays.
const char *const words[3][5] = {
    {QT_TRANSLATE_NOOP("FirstPageForTesk", "More black"),
     QT_TRANSLATE_NOOP("FirstPageForTesk", "Slight black"),
     QT_TRANSLATE_NOOP("FirstPageForTesk", "Normal"),
     QT_TRANSLATE_NOOP("FirstPageForTesk", "Slight white"),
     QT_TRANSLATE_NOOP("FirstPageForTesk", "More white")},
    {QT_TRANSLATE_NOOP("FirstPageForTesk", "More green"),
     QT_TRANSLATE_NOOP("FirstPageForTesk", "Slight green"),
     QT_TRANSLATE_NOOP("FirstPageForTesk", "Normal"),
     QT_TRANSLATE_NOOP("FirstPageForTesk", "Slight red"),
     QT_TRANSLATE_NOOP("FirstPageForTesk", "More red")},
    {QT_TRANSLATE_NOOP("FirstPageForTesk", "More Blue"),
     QT_TRANSLATE_NOOP("FirstPageForTesk", "Slight blue"),
     QT_TRANSLATE_NOOP("FirstPageForTesk", "Normal"),
     QT_TRANSLATE_NOOP("FirstPageForTesk", "Slight yellow"),
     QT_TRANSLATE_NOOP("FirstPageForTesk", "More yellow")},
};

int column(double d)
{
    if (d < -4.0)
        return 0;
    if (d < -0.2)
        return 1;
    if (d <= 0.2)
        return 2;
    if (d <= 4.0)
        return 3;
    // d > 4; a NaN difference also lands here, as the far end rather than "Normal".
    return 4;
}

} // namespace

const char *deviationWord(LabAxis axis, double d)
{
    return words[static_cast<int>(axis)][column(d)];
}

bool passes(double deltaE, double threshold)
{
    // A ΔE that is not a number (from a damaged or empty imported cell) proves nothing: NG.
    if (std::isnan(deltaE))
        return false;
    return !(threshold < deltaE);
}

QString swatchStyle(int r, int g, int b)
{
    // The instrument sends bytes; anything else is held to 0..255 so the style stays valid.
    return QStringLiteral("background-color: rgb(%1, %2, %3);")
        .arg(std::clamp(r, 0, 255))
        .arg(std::clamp(g, 0, 255))
        .arg(std::clamp(b, 0, 255));
}
