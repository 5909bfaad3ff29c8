#pragma once

// The near-limit band: rows that passed with a ΔE above a share of their threshold. It only
// marks rows in the batch window and the batch report; verdicts, counters, table cells and
// exported files are never touched by it.
struct NearLimitBand
{
    static constexpr int kMinimumPercent = 50;
    static constexpr int kMaximumPercent = 99;
    static constexpr int kDefaultPercent = 80;

    bool enabled = false;
    int percent = kDefaultPercent;

    // X % · threshold < ΔE <= threshold, for a band that is on and a threshold that is known.
    // ΔE and threshold come from two-decimal texts: a ΔE equal to the start of the band, as
    // written, lies outside it, whatever the last bit of the product says.
    bool contains(double deltaE, double threshold) const;
};

// The band as the user left it (off, 80 % when never set; a percentage out of 50..99 in a
// hand-edited file is brought into the range).
NearLimitBand loadNearLimitBand();
// Keeps the band in the user's settings; false when the file could not be written.
bool saveNearLimitBand(const NearLimitBand &band);
