#include "batchcsv.h"

#include "csvtext.h"

#include <QString>
#include <QStringList>

#include <cmath>

namespace {

QString number(double v)
{
    if (!std::isfinite(v))
        return QString();
    if (v == 0)
        v = 0; // no "-0"
    return QString::number(v, 'g', 12);
}

using csvtext::field;

QString verdictWord(BatchVerdict v)
{
    switch (v) {
    case BatchVerdict::Pass:
        return QStringLiteral("PASS");
    case BatchVerdict::Ng:
        return QStringLiteral("NG");
    case BatchVerdict::NotJudged:
        break;
    }
    return QString();
}

} // namespace

QByteArray batchCsv(const std::vector<BatchRow> &rows, int formula, const LabColor &standard,
                    const ToleranceContour &contour)
{
    QString out = QStringLiteral("kind,row,test name,dL*,da*,db*,dC*,dh,dE,verdict\r\n");
    for (const BatchRow &row : rows) {
        QStringList cells{QStringLiteral("row"), QString::number(row.tableRow + 1), field(row.testName)};
        for (int q = 0; q < kBatchQuantityCount; ++q)
            cells << number(batchValue(row, BatchQuantity(q)));
        cells << verdictWord(row.verdict);
        out += cells.join(u',') + QStringLiteral("\r\n");
    }
    for (const ContourPoint &p : contour.points) {
        const double e = computeDeltaE(formula, standard, {standard.L, standard.a + p.da, standard.b + p.db});
        out += QStringList{QStringLiteral("contour"), number(p.angle), QString(), QStringLiteral("0"), number(p.da),
                           number(p.db), QString(), QString(), number(e), QString()}
                   .join(u',')
            + QStringLiteral("\r\n");
    }
    for (double dL : {contour.lightnessUp, contour.lightnessDown}) {
        if (!std::isfinite(dL))
            continue;
        const double e = computeDeltaE(formula, standard, {standard.L + dL, standard.a, standard.b});
        out += QStringList{QStringLiteral("lightness"), QString(), QString(), number(dL), QStringLiteral("0"),
                           QStringLiteral("0"), QString(), QString(), number(e), QString()}
                   .join(u',')
            + QStringLiteral("\r\n");
    }
    return out.toUtf8();
}
