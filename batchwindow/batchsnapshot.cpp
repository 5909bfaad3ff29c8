#include "batchsnapshot.h"

#include <cmath>

namespace {

QString fixed(double v, int decimals)
{
    if (!std::isfinite(v))
        return QString();
    QString text = QString::number(v, 'f', decimals);
    // A mean of -0.0004 shows as 0.000, not as "-0.000".
    if (text.startsWith(u'-') && text.count(u'0') == text.size() - 2)
        text.remove(0, 1);
    return text;
}

} // namespace

namespace batchformat {

QString mean(double v)
{
    return fixed(v, 3);
}

QString deviation(double v)
{
    return fixed(v, 3);
}

QString extreme(double v)
{
    return fixed(v, 2);
}

QString passRate(double rate)
{
    return std::isfinite(rate) ? fixed(rate * 100.0, 1) + QStringLiteral(" %") : QString();
}

QString value(double v)
{
    return fixed(v, 2);
}

QString threshold(double v)
{
    return fixed(v, 1);
}

} // namespace batchformat

QString batchQuantityLabel(BatchQuantity quantity)
{
    switch (quantity) {
    case BatchQuantity::DeltaL:
        return QStringLiteral("ΔL*");
    case BatchQuantity::DeltaA:
        return QStringLiteral("Δa*");
    case BatchQuantity::DeltaB:
        return QStringLiteral("Δb*");
    case BatchQuantity::DeltaC:
        return QStringLiteral("ΔC*");
    case BatchQuantity::DeltaH:
        return QStringLiteral("Δh");
    case BatchQuantity::DeltaE:
        return QStringLiteral("ΔE");
    }
    return QString();
}
