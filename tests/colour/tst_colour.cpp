#include "deltae.h"
#include "verdict.h"

#include <QtTest>

#include <cfloat>
#include <climits>
#include <cmath>
#include <random>

Q_DECLARE_METATYPE(LabColor)
Q_DECLARE_METATYPE(LabAxis)

namespace {

constexpr int formulaCount = 6;

const char *formulaName(int f)
{
    static const char *const names[] = {"ab", "uv", "94", "cmc21", "cmc11", "00"};
    return names[f];
}

// Pairs spread over the colour solid, plus pairs close together, from a fixed seed.
QVector<QPair<LabColor, LabColor>> randomPairs(int count)
{
    std::mt19937 gen(20050101);
    std::uniform_real_distribution<double> l(0.0, 100.0), ab(-128.0, 128.0), near(-3.0, 3.0);
    QVector<QPair<LabColor, LabColor>> pairs;
    for (int i = 0; i < count; ++i) {
        const LabColor s{l(gen), ab(gen), ab(gen)};
        const LabColor t = (i % 2) ? LabColor{l(gen), ab(gen), ab(gen)}
                                   : LabColor{s.L + near(gen), s.a + near(gen), s.b + near(gen)};
        pairs.append({s, t});
    }
    return pairs;
}

} // namespace

class TestColour : public QObject
{
    Q_OBJECT

private slots:
    void hueAngleTable_data();
    void hueAngleTable();
    void referenceValues_data();
    void referenceValues();
    void sharmaCiede2000_data();
    void sharmaCiede2000();
    void identicalColoursGiveZero_data();
    void identicalColoursGiveZero();
    void finiteAndNonNegative();
    void symmetry();
    void uvConversion_data();
    void uvConversion();
    void cmcLightnessWeight_data();
    void cmcLightnessWeight();
    void cmcHueBranch_data();
    void cmcHueBranch();
    void cmcWeightsComeFromStandard();
    void negativeHueDifferenceSquare();
    void ciede2000ContinuousAcrossHueSeam_data();
    void ciede2000ContinuousAcrossHueSeam();
    void unknownFormulaIndex_data();
    void unknownFormulaIndex();
    void deviationWords_data();
    void deviationWords();
    void passRule_data();
    void passRule();
    void swatch_data();
    void swatch();
};

void TestColour::hueAngleTable_data()
{
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<double>("expected");
    QTest::newRow("origin") << 0.0 << 0.0 << 0.0;
    QTest::newRow("+b axis") << 0.0 << 5.0 << 90.0;
    QTest::newRow("-b axis") << 0.0 << -5.0 << 270.0;
    QTest::newRow("+a axis") << 5.0 << 0.0 << 0.0;
    QTest::newRow("-a axis") << -5.0 << 0.0 << 180.0;
    QTest::newRow("quadrant 1") << 3.0 << 4.0 << 53.1301;
    QTest::newRow("quadrant 2") << -3.0 << 4.0 << 126.8699;
    QTest::newRow("quadrant 3") << -3.0 << -4.0 << 233.1301;
    QTest::newRow("quadrant 4") << 3.0 << -4.0 << 306.8699;
    // b / a underflows to -0: the angle must stay within 0..360.
    QTest::newRow("just below +a") << 1e300 << -1e-300 << 360.0;
    QTest::newRow("huge over tiny") << 1e-300 << 1e300 << 90.0;
}

void TestColour::hueAngleTable()
{
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(double, expected);
    const double h = hueAngle(a, b);
    QVERIFY2(std::fabs(h - expected) < 5e-5, qPrintable(QString::number(h, 'g', 10)));
    QVERIFY(h >= 0.0 && h <= 360.0);
}

void TestColour::referenceValues_data()
{
    QTest::addColumn<int>("formula");
    QTest::addColumn<LabColor>("standard");
    QTest::addColumn<LabColor>("sample");
    QTest::addColumn<double>("expected");

    // Values the instrument gives for these pairs, to four decimals.
    const LabColor s{50, 10, -20}, t{52, 13, -16};
    QTest::newRow("ab") << 0 << s << t << std::sqrt(29.0);
    QTest::newRow("uv") << 1 << s << t << 8.8494;
    QTest::newRow("94") << 2 << s << t << 4.1652;
    QTest::newRow("cmc21") << 3 << s << t << 4.6036;
    QTest::newRow("cmc11") << 4 << s << t << 4.8710;
    QTest::newRow("00") << 5 << s << t << 4.8938;

    // Standard L* below 16: CMC's fixed lightness weight.
    const LabColor dark{10, 5, 3}, darkSample{12, 4, 5};
    QTest::newRow("cmc21 dark") << 3 << dark << darkSample << 3.7204;
    QTest::newRow("cmc11 dark") << 4 << dark << darkSample << 5.0329;

    // CIEDE2000 with the instrument's angle constants: the first differs from the published
    // 2.0425 in the last digit because of them.
    QTest::newRow("00 blue") << 5 << LabColor{50, 2.6772, -79.7751} << LabColor{50, 0, -82.7485}
                             << 2.0424;
    QTest::newRow("00 neutral") << 5 << LabColor{50, 0, 0} << LabColor{50, -1, 2} << 2.3669;
    QTest::newRow("00 round the circle")
        << 5 << LabColor{50, 2.49, -0.001} << LabColor{50, -2.49, 0.0011} << 7.2195;
}

void TestColour::referenceValues()
{
    QFETCH(int, formula);
    QFETCH(LabColor, standard);
    QFETCH(LabColor, sample);
    QFETCH(double, expected);
    const double e = computeDeltaE(formula, standard, sample);
    QVERIFY2(std::fabs(e - expected) <= 5e-5, qPrintable(QString::number(e, 'f', 6)));
}

// Sharma, Wu and Dalal, "The CIEDE2000 color-difference formula: implementation notes,
// supplementary test data, and mathematical observations", Color Research & Application 30(1),
// 2005, Table 1: all 34 pairs with their published ΔE00 (four decimals).
//
// Tolerance 5e-5 + 1e-4 * ΔE. 5e-5 is half a unit of the published last digit. The rest is the
// instrument's angle constants: 0.0174532 is 5.3e-6 (relative) below pi/180 and the cosines of
// T take angles up to about 1400 degrees, so the result moves by up to about 5e-5 of ΔE (the
// largest relative departure from the exact-pi formula over 200 000 random pairs); 1e-4 leaves
// a factor two. Any real mistake in the formula moves these pairs by far more.
void TestColour::sharmaCiede2000_data()
{
    QTest::addColumn<LabColor>("standard");
    QTest::addColumn<LabColor>("sample");
    QTest::addColumn<double>("expected");
    static const double table[34][7] = {
        {50.0000, 2.6772, -79.7751, 50.0000, 0.0000, -82.7485, 2.0425},
        {50.0000, 3.1571, -77.2803, 50.0000, 0.0000, -82.7485, 2.8615},
        {50.0000, 2.8361, -74.0200, 50.0000, 0.0000, -82.7485, 3.4412},
        {50.0000, -1.3802, -84.2814, 50.0000, 0.0000, -82.7485, 1.0000},
        {50.0000, -1.1848, -84.8006, 50.0000, 0.0000, -82.7485, 1.0000},
        {50.0000, -0.9009, -85.5211, 50.0000, 0.0000, -82.7485, 1.0000},
        {50.0000, 0.0000, 0.0000, 50.0000, -1.0000, 2.0000, 2.3669},
        {50.0000, -1.0000, 2.0000, 50.0000, 0.0000, 0.0000, 2.3669},
        {50.0000, 2.4900, -0.0010, 50.0000, -2.4900, 0.0009, 7.1792},
        {50.0000, 2.4900, -0.0010, 50.0000, -2.4900, 0.0010, 7.1792},
        {50.0000, 2.4900, -0.0010, 50.0000, -2.4900, 0.0011, 7.2195},
        {50.0000, 2.4900, -0.0010, 50.0000, -2.4900, 0.0012, 7.2195},
        {50.0000, -0.0010, 2.4900, 50.0000, 0.0009, -2.4900, 4.8045},
        {50.0000, -0.0010, 2.4900, 50.0000, 0.0010, -2.4900, 4.8045},
        {50.0000, -0.0010, 2.4900, 50.0000, 0.0011, -2.4900, 4.7461},
        {50.0000, 2.5000, 0.0000, 50.0000, 0.0000, -2.5000, 4.3065},
        {50.0000, 2.5000, 0.0000, 73.0000, 25.0000, -18.0000, 27.1492},
        {50.0000, 2.5000, 0.0000, 61.0000, -5.0000, 29.0000, 22.8977},
        {50.0000, 2.5000, 0.0000, 56.0000, -27.0000, -3.0000, 31.9030},
        {50.0000, 2.5000, 0.0000, 58.0000, 24.0000, 15.0000, 19.4535},
        {50.0000, 2.5000, 0.0000, 50.0000, 3.1736, 0.5854, 1.0000},
        {50.0000, 2.5000, 0.0000, 50.0000, 3.2972, 0.0000, 1.0000},
        {50.0000, 2.5000, 0.0000, 50.0000, 1.8634, 0.5757, 1.0000},
        {50.0000, 2.5000, 0.0000, 50.0000, 3.2592, 0.3350, 1.0000},
        {60.2574, -34.0099, 36.2677, 60.4626, -34.1751, 39.4387, 1.2644},
        {63.0109, -31.0961, -5.8663, 62.8187, -29.7946, -4.0864, 1.2630},
        {61.2901, 3.7196, -5.3901, 61.4292, 2.2480, -4.9620, 1.8731},
        {35.0831, -44.1164, 3.7933, 35.0232, -40.0716, 1.5901, 1.8645},
        {22.7233, 20.0904, -46.6940, 23.0331, 14.9730, -42.5619, 2.0373},
        {36.4612, 47.8580, 18.3852, 36.2715, 50.5065, 21.2231, 1.4146},
        {90.8027, -2.0831, 1.4410, 91.1528, -1.6435, 0.0447, 1.4441},
        {90.9257, -0.5406, -0.9208, 88.6381, -0.8985, -0.7239, 1.5381},
        {6.7747, -0.2908, -2.4247, 5.8714, -0.0985, -2.2286, 0.6377},
        {2.0776, 0.0795, -1.1350, 0.9033, -0.0636, -0.5514, 0.9082},
    };
    for (int i = 0; i < 34; ++i) {
        const double *r = table[i];
        QTest::addRow("pair %d", i + 1) << LabColor{r[0], r[1], r[2]} << LabColor{r[3], r[4], r[5]}
                                        << r[6];
    }
}

void TestColour::sharmaCiede2000()
{
    QFETCH(LabColor, standard);
    QFETCH(LabColor, sample);
    QFETCH(double, expected);
    const double tolerance = 5e-5 + 1e-4 * expected;
    const double e = deltaE00(standard, sample);
    QVERIFY2(std::fabs(e - expected) <= tolerance, qPrintable(QString::number(e, 'f', 6)));
    // The published data is symmetric too.
    QCOMPARE(deltaE00(sample, standard), e);
}

void TestColour::identicalColoursGiveZero_data()
{
    QTest::addColumn<LabColor>("colour");
    QTest::newRow("black") << LabColor{0, 0, 0};
    QTest::newRow("below black") << LabColor{-16, 0, 0};
    QTest::newRow("neutral") << LabColor{50, 0, 0};
    QTest::newRow("saturated red") << LabColor{54, 81, 70};
    QTest::newRow("blue") << LabColor{30, 68, -112};
    QTest::newRow("on the -a axis") << LabColor{70, -40, 0};
    QTest::newRow("huge") << LabColor{1e300, -1e300, 1e300};
}

void TestColour::identicalColoursGiveZero()
{
    QFETCH(LabColor, colour);
    for (int f = 0; f < formulaCount; ++f)
        QVERIFY2(computeDeltaE(f, colour, colour) == 0.0, formulaName(f));
}

void TestColour::finiteAndNonNegative()
{
    auto pairs = randomPairs(5000);
    const double extremes[] = {0.0, -0.0, 1e-310, -1e-310, 1e10, -1e10, 1e200, -1e200, DBL_MAX,
                               -DBL_MAX};
    for (double x : extremes)
        for (double y : extremes)
            pairs.append({LabColor{x, y, -x}, LabColor{y, x, y}});
    pairs.append({LabColor{-16, 0, 0}, LabColor{-16, 1e-9, 0}});
    for (const auto &p : pairs) {
        for (int f = 0; f < formulaCount; ++f) {
            const double e = computeDeltaE(f, p.first, p.second);
            QVERIFY2(std::isfinite(e) && e >= 0.0,
                     qPrintable(QStringLiteral("%1: (%2 %3 %4) (%5 %6 %7) -> %8")
                                    .arg(formulaName(f))
                                    .arg(p.first.L).arg(p.first.a).arg(p.first.b)
                                    .arg(p.second.L).arg(p.second.a).arg(p.second.b)
                                    .arg(e)));
        }
    }
}

void TestColour::symmetry()
{
    const auto pairs = randomPairs(5000);
    double cmcAsymmetry = 0.0;
    for (const auto &p : pairs) {
        for (int f : {0, 1, 2, 5}) {
            const double forward = computeDeltaE(f, p.first, p.second);
            const double backward = computeDeltaE(f, p.second, p.first);
            QVERIFY2(std::fabs(forward - backward) <= 1e-12 * (1.0 + forward), formulaName(f));
        }
        cmcAsymmetry = std::max(cmcAsymmetry, std::fabs(deltaECmc(p.first, p.second, 2.0) -
                                                        deltaECmc(p.second, p.first, 2.0)));
    }
    // CMC takes its weights from the standard: swapping the colours must change the value.
    QVERIFY(cmcAsymmetry > 1.0);
}

void TestColour::uvConversion_data()
{
    QTest::addColumn<LabColor>("colour");
    QTest::addColumn<double>("u");
    QTest::addColumn<double>("v");
    // All tristimulus values 0: no division by zero, the colour sits at the origin.
    QTest::newRow("L* -16") << LabColor{-16, 0, 0} << 0.0 << 0.0;
    QTest::newRow("L* -40") << LabColor{-40, 0, 0} << 0.0 << 0.0;
    // The white point itself: u*, v* are 0 up to the rounding of the white's u', v'.
    QTest::newRow("white") << LabColor{100, 0, 0} << 13 * 100 * (4 * 94.81 / 1916.77 - 0.1978537)
                           << 13 * 100 * (9 * 100 / 1916.77 - 0.4695399);
    // fx <= 0.137931: X contributes 0, so u* is 13 L (0 - u'n).
    {
        const double y = std::pow(66.0 / 116.0, 3) * 100.0;
        const double d = 15.0 * y + 3.0 * y * 1.0732;
        QTest::newRow("X channel empty") << LabColor{50, -250, 0} << 13 * 50 * -0.1978537
                                         << 13 * 50 * (9 * y / d - 0.4695399);
        QTest::newRow("X channel empty, dark")
            << LabColor{10, -200, 0} << 13 * 10 * -0.1978537
            << 13 * 10 * (9.0 / (15.0 + 3.0 * 1.0732) - 0.4695399);
    }
    // Very saturated colours reach the clamps exactly.
    QTest::newRow("u* +300, v* -300") << LabColor{50, 4000, 0} << 300.0 << -300.0;
    QTest::newRow("u* -300, v* +300") << LabColor{200, -2000, 2000} << -300.0 << 300.0;
}

void TestColour::uvConversion()
{
    QFETCH(LabColor, colour);
    QFETCH(double, u);
    QFETCH(double, v);
    const auto [gotU, gotV] = labToUv(colour);
    QVERIFY2(std::fabs(gotU - u) < 1e-6, qPrintable(QString::number(gotU, 'g', 12)));
    QVERIFY2(std::fabs(gotV - v) < 1e-6, qPrintable(QString::number(gotV, 'g', 12)));
}

void TestColour::cmcLightnessWeight_data()
{
    QTest::addColumn<double>("l1");
    QTest::addColumn<double>("sl");
    QTest::newRow("15.9 fixed") << 15.9 << 0.511;
    QTest::newRow("16 formula") << 16.0 << 0.040975 * 16 / (1 + 0.01765 * 16);
    QTest::newRow("50 formula") << 50.0 << 0.040975 * 50 / (1 + 0.01765 * 50);
    QTest::newRow("negative fixed") << -5.0 << 0.511;
}

// A pure lightness difference isolates SL: ΔE = |ΔL| / (l * SL).
void TestColour::cmcLightnessWeight()
{
    QFETCH(double, l1);
    QFETCH(double, sl);
    const LabColor s{l1, 0, 0}, t{l1 + 1.0, 0, 0};
    QVERIFY(std::fabs(deltaECmc(s, t, 1.0) - 1.0 / sl) < 1e-9);
    QVERIFY(std::fabs(deltaECmc(s, t, 2.0) - 1.0 / (2.0 * sl)) < 1e-9);
}

void TestColour::cmcHueBranch_data()
{
    QTest::addColumn<double>("h1");
    QTest::addColumn<double>("expected");
    const double deg = 0.0174532;
    const auto inner = [deg](double h) { return 0.56 + std::fabs(0.2 * std::cos((h + 168) * deg)); };
    const auto outer = [deg](double h) { return 0.36 + std::fabs(0.4 * std::cos((h + 35) * deg)); };
    QTest::newRow("163.999") << 163.999 << outer(163.999);
    QTest::newRow("164") << 164.0 << inner(164.0);
    QTest::newRow("250") << 250.0 << inner(250.0);
    QTest::newRow("345") << 345.0 << inner(345.0);
    QTest::newRow("345.001") << 345.001 << outer(345.001);
    QTest::newRow("0") << 0.0 << outer(0.0);
}

void TestColour::cmcHueBranch()
{
    QFETCH(double, h1);
    QFETCH(double, expected);
    QCOMPARE(cmcHueWeight(h1), expected);
}

void TestColour::cmcWeightsComeFromStandard()
{
    // Same pair, l differs: with ΔL = 0 both CMC variants agree; otherwise 1:1 is larger.
    const LabColor s{40, 20, 30}, flat{40, 25, 28}, lighter{44, 25, 28};
    QCOMPARE(computeDeltaE(3, s, flat), computeDeltaE(4, s, flat));
    QVERIFY(computeDeltaE(4, s, lighter) > computeDeltaE(3, s, lighter));
}

void TestColour::negativeHueDifferenceSquare()
{
    // Same hue, chroma scaled by 0.6: Δa² + Δb² - ΔC² rounds to about -3e-14 here.
    const LabColor s{50, 20.78, 25.14}, t{50, 12.468, 15.084};
    const double c1 = std::hypot(s.a, s.b), c2 = std::hypot(t.a, t.b);
    const double e94 = deltaE94(s, t);
    QVERIFY(std::isfinite(e94));
    QVERIFY(std::fabs(e94 - (c1 - c2) / (1 + 0.045 * std::sqrt(c1 * c2))) < 1e-9);
    const double sc = 0.0638 * c1 / (1 + 0.0131 * c1) + 0.638;
    QVERIFY(std::fabs(deltaECmc(s, t, 2.0) - (c1 - c2) / sc) < 1e-9);
    QVERIFY(std::fabs(deltaECmc(s, t, 1.0) - (c1 - c2) / sc) < 1e-9);
}

void TestColour::ciede2000ContinuousAcrossHueSeam_data()
{
    QTest::addColumn<double>("chroma");
    QTest::addColumn<double>("separation");
    QTest::newRow("near, 2 degrees") << 20.0 << 2.0;
    QTest::newRow("saturated, 10 degrees") << 60.0 << 10.0;
    QTest::newRow("pale, 40 degrees") << 3.0 << 40.0;
    QTest::newRow("wide, 170 degrees") << 30.0 << 170.0;
}

// Turn a pair round the hue circle in small steps so that its hue difference crosses the
// +-180 wrap of h2 - h1 (the two hues straddling 0/360): ΔE must change smoothly, not jump.
void TestColour::ciede2000ContinuousAcrossHueSeam()
{
    QFETCH(double, chroma);
    QFETCH(double, separation);
    const double step = 0.01;
    const double rad = M_PI / 180.0;
    double previous = -1.0;
    for (double mid = -2.0 * separation; mid <= 2.0 * separation; mid += step) {
        const double h1 = (mid - separation / 2) * rad, h2 = (mid + separation / 2) * rad;
        const LabColor s{50, chroma * std::cos(h1), chroma * std::sin(h1)};
        const LabColor t{55, (chroma + 2) * std::cos(h2), (chroma + 2) * std::sin(h2)};
        const double e = deltaE00(s, t);
        if (previous >= 0.0)
            QVERIFY2(std::fabs(e - previous) < 0.01,
                     qPrintable(QStringLiteral("mid hue %1: %2 -> %3").arg(mid).arg(previous).arg(e)));
        previous = e;
    }
}

void TestColour::unknownFormulaIndex_data()
{
    QTest::addColumn<int>("formula");
    QTest::newRow("not yet read") << -1;
    QTest::newRow("6") << 6;
    QTest::newRow("9 from the instrument") << 9;
    QTest::newRow("INT_MIN") << INT_MIN;
    QTest::newRow("INT_MAX") << INT_MAX;
}

void TestColour::unknownFormulaIndex()
{
    QFETCH(int, formula);
    QCOMPARE(computeDeltaE(formula, LabColor{50, 10, -20}, LabColor{52, 13, -16}), -1.0);
    QCOMPARE(deltaEFormulaLabel(formula), nullptr);
}

void TestColour::deviationWords_data()
{
    QTest::addColumn<double>("d");
    QTest::addColumn<QString>("l");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::newRow("-4.01") << -4.01 << "More black" << "More green" << "More Blue";
    QTest::newRow("-4") << -4.0 << "Slight black" << "Slight green" << "Slight blue";
    QTest::newRow("-0.21") << -0.21 << "Slight black" << "Slight green" << "Slight blue";
    QTest::newRow("-0.2") << -0.2 << "Normal" << "Normal" << "Normal";
    QTest::newRow("0") << 0.0 << "Normal" << "Normal" << "Normal";
    QTest::newRow("0.2") << 0.2 << "Normal" << "Normal" << "Normal";
    QTest::newRow("0.21") << 0.21 << "Slight white" << "Slight red" << "Slight yellow";
    QTest::newRow("4") << 4.0 << "Slight white" << "Slight red" << "Slight yellow";
    QTest::newRow("4.01") << 4.01 << "More white" << "More red" << "More yellow";
    QTest::newRow("-1e300") << -1e300 << "More black" << "More green" << "More Blue";
}

void TestColour::deviationWords()
{
    QFETCH(double, d);
    QFETCH(QString, l);
    QFETCH(QString, a);
    QFETCH(QString, b);
    QCOMPARE(QString::fromUtf8(deviationWord(LabAxis::L, d)), l);
    QCOMPARE(QString::fromUtf8(deviationWord(LabAxis::a, d)), a);
    QCOMPARE(QString::fromUtf8(deviationWord(LabAxis::b, d)), b);
}

void TestColour::passRule_data()
{
    QTest::addColumn<double>("deltaE");
    QTest::addColumn<double>("threshold");
    QTest::addColumn<bool>("pass");
    QTest::newRow("equal passes") << 1.00 << 1.0 << true;
    QTest::newRow("just above fails") << 1.01 << 1.0 << false;
    QTest::newRow("below passes") << 0.3 << 1.5 << true;
    QTest::newRow("threshold 0, ΔE 0") << 0.0 << 0.0 << true;
    QTest::newRow("threshold not read") << 0.0 << -1.0 << false;
    QTest::newRow("neither read") << -1.0 << -1.0 << true;
    QTest::newRow("formula not read") << -1.0 << 2.0 << true;
}

void TestColour::passRule()
{
    QFETCH(double, deltaE);
    QFETCH(double, threshold);
    QFETCH(bool, pass);
    QCOMPARE(passes(deltaE, threshold), pass);
}

void TestColour::swatch_data()
{
    QTest::addColumn<int>("r");
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("b");
    QTest::addColumn<QString>("style");
    QTest::newRow("mixed") << 255 << 0 << 128 << "background-color: rgb(255, 0, 128);";
    QTest::newRow("black") << 0 << 0 << 0 << "background-color: rgb(0, 0, 0);";
    QTest::newRow("out of range") << 300 << -5 << 7 << "background-color: rgb(255, 0, 7);";
}

void TestColour::swatch()
{
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    QFETCH(QString, style);
    QCOMPARE(swatchStyle(r, g, b), style);
}

QTEST_APPLESS_MAIN(TestColour)
#include "tst_colour.moc"
