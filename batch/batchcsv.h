#pragma once

#include "batchrow.h"
#include "contour.h"

#include <QByteArray>

#include <vector>

// The data behind the batch plots as CSV (RFC 4180, UTF-8, CRLF): one line per row shown
// ("row": its table number, test name, ΔL*, Δa*, Δb*, ΔC*, Δh, ΔE, verdict), then the tolerance
// contour ("contour": the ray's angle, Δa*, Δb* and the ΔE there) and the ΔL* alone that reaches
// the threshold ("lightness"). The near-limit band is not in it: what is exported does not
// depend on the band.
QByteArray batchCsv(const std::vector<BatchRow> &rows, int formula, const LabColor &standard,
                    const ToleranceContour &contour);
