#include "nearlimit.h"

#include "usersettings.h"

#include <algorithm>
#include <cmath>

namespace {
const char *const kEnabledKey = "batch/nearLimitEnabled";
const char *const kPercentKey = "batch/nearLimitPercent";
} // namespace

bool NearLimitBand::contains(double deltaE, double threshold) const
{
    if (!enabled || !std::isfinite(threshold) || !std::isfinite(deltaE) || deltaE > threshold)
        return false;
    const double start = percent * threshold / 100.0;
    return deltaE > start + 1e-9 * std::fabs(threshold);
}

NearLimitBand loadNearLimitBand()
{
    const auto settings = openUserSettings();
    NearLimitBand band;
    band.enabled = settings->value(QLatin1String(kEnabledKey), false).toBool();
    bool ok = false;
    const int percent = settings->value(QLatin1String(kPercentKey), NearLimitBand::kDefaultPercent).toInt(&ok);
    band.percent = ok ? std::clamp(percent, NearLimitBand::kMinimumPercent, NearLimitBand::kMaximumPercent)
                      : NearLimitBand::kDefaultPercent;
    return band;
}

bool saveNearLimitBand(const NearLimitBand &band)
{
    const auto settings = openUserSettings();
    settings->setValue(QLatin1String(kEnabledKey), band.enabled);
    settings->setValue(QLatin1String(kPercentKey),
                       std::clamp(band.percent, NearLimitBand::kMinimumPercent, NearLimitBand::kMaximumPercent));
    settings->sync();
    return settings->status() == QSettings::NoError;
}
