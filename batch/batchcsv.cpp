#include "batchcsv.h"

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

// Quoted when it has to be; a text a spreadsheet would take for a formula gets a leading
// apostrophe, so opening the file never runs a name typed or imported as "=...".
QString field(const QString &text)
{
    QString t = text;
    if (!t.isEmpty()) {
        const QChar c = t.at(0);
        if (c == u'=' || c == u'+' || c == u'@' || c == u'\t' || c == u'\r'
            || (c == u'-' && t.size() > 1 && !t.at(1).isDigit() && t.at(1) != u'.'))
            t.prepend(u'\'');
    }
    if (t.contains(u',') || t.contains(u'"') || t.contains(u'\n') || t.contains(u'\r')) {
        t.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        t = u'"' + t + u'"';
    }
    return t;
}

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
