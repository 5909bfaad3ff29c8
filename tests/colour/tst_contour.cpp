// The tolerance contour against the verdict it stands for: for every formula at standards that
// stress it, each of the 360 boundary points has ΔE = threshold within 0.5 %, a point just inside
// passes and one just outside fails; the ΔL* alone that reaches the threshold likewise. Where
// a closed form exists (ΔE*ab, the lightness term of CMC) the radius is checked against it.
#include "contour.h"
#include "verdict.h"

#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(LabColor)

namespace {

const char *const kFormulaNames[] = {"ab", "uv", "94", "cmc21", "cmc11", "00"};

struct Standard
{
    const char *name;
    LabColor lab;
};

// Neutral grey, saturated red, yellow and blue, a near-black, hues just either side of 0°/360°.
const Standard kStandards[] = {
    {"grey", {50, 0, 0}},
    {"red", {50, 75, 45}},
    {"yellow", {85, 5, 90}},
    {"blue", {30, 20, -75}},
    {"near-black", {3, 0.6, -0.4}},
    {"hue 359.6", {60, 40, -0.3}},
    {"hue 0.4", {60, 40, 0.3}},
};

double deltaEAt(int formula, const LabColor &s, double dL, double da, double db)
{
    return computeDeltaE(formula, s, {s.L + dL, s.a + da, s.b + db});
}

} // namespace

class tst_Contour : public QObject
{
    Q_OBJECT
private slots:
    void boundary_data();
    void boundary();
    void closedForms_data();
    void closedForms();
    void firstCrossingWhereDeltaEIsNotMonotone();
    void noContour_data();
    void noContour();
};

void tst_Contour::boundary_data()
{
    QTest::addColumn<int>("formula");
    QTest::addColumn<LabColor>("standard");
    QTest::addColumn<double>("threshold");
    for (int f = 0; f < 6; ++f)
        for (const Standard &s : kStandards)
            for (double t : {1.0, 3.5})
                QTest::addRow("%s %s %.1f", kFormulaNames[f], s.name, t) << f << s.lab << t;
}

void tst_Contour::boundary()
{
    QFETCH(int, formula);
    QFETCH(LabColor, standard);
    QFETCH(double, threshold);

    const ToleranceContour contour = toleranceContour(formula, standard, threshold);
    QCOMPARE(int(contour.points.size()), 360);
    for (int i = 0; i < 360; ++i) {
        const ContourPoint &p = contour.points[i];
        QCOMPARE(p.angle, double(i));
        QVERIFY2(p.reached, qPrintable(QStringLiteral("ray %1 never reaches the threshold").arg(i)));
        // On the ray of its angle.
        const double r = std::hypot(p.da, p.db);
        QVERIFY(r > 0);
        QVERIFY(std::fabs(std::atan2(p.db, p.da) - std::atan2(std::sin(qDegreesToRadians(double(i))),
                                                              std::cos(qDegreesToRadians(double(i)))))
                    < 1e-9
                || i == 180);
        const double e = deltaEAt(formula, standard, 0, p.da, p.db);
        QVERIFY2(std::fabs(e - threshold) <= 0.005 * threshold,
                 qPrintable(QStringLiteral("ray %1: ΔE %2").arg(i).arg(e, 0, 'g', 10)));
        QVERIFY2(passes(deltaEAt(formula, standard, 0, 0.995 * p.da, 0.995 * p.db), threshold),
                 qPrintable(QStringLiteral("ray %1: just inside is NG").arg(i)));
        QVERIFY2(!passes(deltaEAt(formula, standard, 0, 1.005 * p.da, 1.005 * p.db), threshold),
                 qPrintable(QStringLiteral("ray %1: just outside is PASS").arg(i)));
    }
    for (double dL : {contour.lightnessUp, contour.lightnessDown}) {
        QVERIFY(std::isfinite(dL));
        const double e = deltaEAt(formula, standard, dL, 0, 0);
        QVERIFY2(std::fabs(e - threshold) <= 0.005 * threshold, qPrintable(QString::number(e)));
        QVERIFY(passes(deltaEAt(formula, standard, 0.995 * dL, 0, 0), threshold));
        QVERIFY(!passes(deltaEAt(formula, standard, 1.005 * dL, 0, 0), threshold));
    }
    QVERIFY(contour.lightnessUp > 0);
    QVERIFY(contour.lightnessDown < 0);
}

void tst_Contour::closedForms_data()
{
    QTest::addColumn<int>("formula");
    QTest::addColumn<LabColor>("standard");
    QTest::addColumn<double>("threshold");
    QTest::addColumn<double>("lightness"); // the ΔL* alone that reaches the threshold, worked out by hand
    QTest::addColumn<double>("radius");    // the a*b* radius where it is a circle, else 0

    // ΔE*ab: a circle of radius T, ΔL* = ±T.
    QTest::newRow("ab grey") << 0 << LabColor{50, 0, 0} << 2.0 << 2.0 << 2.0;
    QTest::newRow("ab blue") << 0 << LabColor{30, 20, -75} << 0.7 << 0.7 << 0.7;
    // CMC(l:1): ΔL* = l · SL · T with SL = 0.040975 L / (1 + 0.01765 L) for L >= 16, 0.511 below.
    const double sl50 = 0.040975 * 50 / (1 + 0.01765 * 50);
    QTest::newRow("cmc21 L50") << 3 << LabColor{50, 10, 10} << 1.0 << 2 * sl50 << 0.0;
    QTest::newRow("cmc11 L50") << 4 << LabColor{50, 10, 10} << 1.0 << sl50 << 0.0;
    QTest::newRow("cmc21 L10") << 3 << LabColor{10, 5, 3} << 1.5 << 2 * 0.511 * 1.5 << 0.0;
    // CIE94 (SL = 1): ΔL* = ±T, and with a neutral standard the chroma weights are 1 and the hue
    // weight too, so the a*b* section is the circle of radius T.
    QTest::newRow("94 grey") << 2 << LabColor{50, 0, 0} << 1.2 << 1.2 << 1.2;
}

void tst_Contour::closedForms()
{
    QFETCH(int, formula);
    QFETCH(LabColor, standard);
    QFETCH(double, threshold);
    QFETCH(double, lightness);
    QFETCH(double, radius);

    const ToleranceContour contour = toleranceContour(formula, standard, threshold);
    QVERIFY(contour.valid());
    QVERIFY(std::fabs(contour.lightnessUp - lightness) < 1e-9);
    QVERIFY(std::fabs(contour.lightnessDown + lightness) < 1e-9);
    if (radius > 0) {
        for (const ContourPoint &p : contour.points)
            QVERIFY2(std::fabs(std::hypot(p.da, p.db) - radius) < 1e-9, qPrintable(QString::number(p.angle)));
    }
}

// A standard whose hue is a whole degree puts one ray exactly on CIEDE2000's line of opposite
// hue: beyond the neutral axis ΔE there changes branch from one point to the next and crosses
// the threshold again and again. On every ray the boundary point passes; on every other ray a
// point just beyond fails and all points between standard and boundary pass (the first
// crossing, never a later one).
void tst_Contour::firstCrossingWhereDeltaEIsNotMonotone()
{
    const LabColor standard{3, 0.5, -0.5}; // hue 315°: ray 135 runs through the neutral axis
    const double threshold = 3.0;
    const int formula = DeltaEFormula00;
    const ToleranceContour contour = toleranceContour(formula, standard, threshold);
    QVERIFY(contour.valid());
    for (const ContourPoint &p : contour.points) {
        QVERIFY(p.reached);
        QVERIFY(passes(deltaEAt(formula, standard, 0, p.da, p.db), threshold));
        // On ray 135 the verdict flips back and forth at the scale of rounding: no point beyond
        // the boundary is sure to fail there.
        if (p.angle == 135)
            continue;
        QVERIFY(!passes(deltaEAt(formula, standard, 0, 1.001 * p.da, 1.001 * p.db), threshold));
        for (int k = 1; k <= 2000; ++k) {
            const double f = k / 2000.0;
            QVERIFY2(passes(deltaEAt(formula, standard, 0, f * p.da, f * p.db), threshold),
                     qPrintable(QStringLiteral("ray %1 at %2").arg(p.angle).arg(f)));
        }
    }
    // Ray 135 does turn back: passes beyond its boundary.
    const ContourPoint &p = contour.points[135];
    bool passesAgain = false;
    for (int k = 1; k <= 2000 && !passesAgain; ++k) {
        const double f = 1.0 + k / 20000.0;
        passesAgain = passes(deltaEAt(formula, standard, 0, f * p.da, f * p.db), threshold);
    }
    QVERIFY(passesAgain);
}

void tst_Contour::noContour_data()
{
    QTest::addColumn<int>("formula");
    QTest::addColumn<double>("threshold");
    QTest::newRow("formula unknown") << -1 << 1.0;
    QTest::newRow("formula 6") << 6 << 1.0;
    QTest::newRow("threshold unknown") << 0 << -1.0;
    QTest::newRow("threshold 0") << 5 << 0.0;
    QTest::newRow("threshold NaN") << 5 << std::nan("");
    QTest::newRow("threshold inf") << 5 << HUGE_VAL;
}

void tst_Contour::noContour()
{
    QFETCH(int, formula);
    QFETCH(double, threshold);
    const ToleranceContour contour = toleranceContour(formula, {50, 10, 10}, threshold);
    QVERIFY(!contour.valid());
    QVERIFY(std::isnan(contour.lightnessUp));
    QVERIFY(std::isnan(contour.lightnessDown));
}

QTEST_APPLESS_MAIN(tst_Contour)
#include "tst_contour.moc"
