#include "deltae.h"
#include "verdict.h"

#include <QtTest>

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <random>

Q_DECLARE_METATYPE(LabColor)

namespace {

const char *const formulaNames[] = {"ab", "uv", "94", "cmc21", "cmc11", "00"};

// Pairs spread over the colour solid alternating with pairs close together; fixed seed.
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

QString describe(int f, const LabColor &s, const LabColor &t, double e)
{
    return QStringLiteral("%1: (%2 %3 %4) (%5 %6 %7) -> %8")
        .arg(formulaNames[f]).arg(s.L).arg(s.a).arg(s.b).arg(t.L).arg(t.a).arg(t.b).arg(e);
}

} // namespace

class TestColour : public QObject
{
    Q_OBJECT

private slots:
    void hueAngleTable_data()
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
        QTest::newRow("quadrant 3") << -3.0 << -4.0 << 233.1301;
        QTest::newRow("quadrant 4") << 3.0 << -4.0 << 306.8699;
        // b / a underflows to -0 or overflows: the angle stays within 0..360.
        QTest::newRow("just below +a") << 1e300 << -1e-300 << 360.0;
        QTest::newRow("huge over tiny") << 1e-300 << 1e300 << 90.0;
    }
    void hueAngleTable()
    {
        QFETCH(double, a);
        QFETCH(double, b);
        QFETCH(double, expected);
        const double h = hueAngle(a, b);
        QVERIFY2(std::fabs(h - expected) < 5e-5, qPrintable(QString::number(h, 'g', 10)));
    }

    void hueDifferenceWraps_data()
    {
        QTest::addColumn<double>("hStandard");
        QTest::addColumn<double>("hSample");
        QTest::addColumn<double>("expected");
        QTest::newRow("across 0 upwards") << 359.0 << 1.0 << 2.0;
        QTest::newRow("across 0 downwards") << 1.0 << 359.0 << -2.0;
        QTest::newRow("plain") << 10.0 << 40.5 << 30.5;
        QTest::newRow("exactly opposite") << 0.0 << 180.0 << 180.0;
        QTest::newRow("opposite the other way") << 180.0 << 0.0 << 180.0;
        QTest::newRow("360 is 0") << 0.0 << 360.0 << 0.0;
    }
    void hueDifferenceWraps()
    {
        QFETCH(double, hStandard);
        QFETCH(double, hSample);
        QFETCH(double, expected);
        QCOMPARE(hueDifference(hStandard, hSample), expected);
        QVERIFY(std::isnan(hueDifference(qQNaN(), 10.0)));
    }

    void referenceValues_data()
    {
        QTest::addColumn<int>("formula");
        QTest::addColumn<LabColor>("standard");
        QTest::addColumn<LabColor>("sample");
        QTest::addColumn<double>("expected");
        // What the instrument gives for these pairs, to four decimals.
        const LabColor s{50, 10, -20}, t{52, 13, -16};
        const double expected[] = {std::sqrt(29.0), 8.8494, 4.1652, 4.6036, 4.8710, 4.8938};
        for (int f = 0; f < 6; ++f)
            QTest::newRow(formulaNames[f]) << f << s << t << expected[f];
        // Standard L* below 16: CMC's fixed lightness weight.
        const LabColor dark{10, 5, 3}, darkSample{12, 4, 5};
        QTest::newRow("cmc21 dark") << 3 << dark << darkSample << 3.7204;
        QTest::newRow("cmc11 dark") << 4 << dark << darkSample << 5.0329;
        // CIEDE2000 with the instrument's angle constants, which move the first from the
        // published 2.0425 to 2.0424.
        QTest::newRow("00 blue") << 5 << LabColor{50, 2.6772, -79.7751}
                                 << LabColor{50, 0, -82.7485} << 2.0424;
        QTest::newRow("00 neutral") << 5 << LabColor{50, 0, 0} << LabColor{50, -1, 2} << 2.3669;
        QTest::newRow("00 round the circle")
            << 5 << LabColor{50, 2.49, -0.001} << LabColor{50, -2.49, 0.0011} << 7.2195;
    }
    void referenceValues()
    {
        QFETCH(int, formula);
        QFETCH(LabColor, standard);
        QFETCH(LabColor, sample);
        QFETCH(double, expected);
        const double e = computeDeltaE(formula, standard, sample);
        QVERIFY2(std::fabs(e - expected) <= 5e-5, qPrintable(QString::number(e, 'f', 6)));
    }

    // The published CIEDE2000 pairs (source in the data file). Tolerance 5e-5 + 1e-4 * ΔE:
    // 5e-5 is half a unit of the published last digit; the rest is the instrument's angle
    // constants. 0.0174532 is 5.3e-6 (relative) below pi/180 and the cosines of T take angles
    // up to about 1400 degrees, so the result moves by up to about 5e-5 of ΔE (the largest
    // relative departure from the exact-pi formula over 200 000 random pairs); 1e-4 leaves a
    // factor two. A real mistake in the formula moves these pairs by far more.
    void sharmaCiede2000_data()
    {
        QTest::addColumn<LabColor>("standard");
        QTest::addColumn<LabColor>("sample");
        QTest::addColumn<double>("expected");
        QFile file(QFINDTESTDATA("ciede2000_sharma.txt"));
        QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), "ciede2000_sharma.txt");
        int pair = 0;
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            if (line.isEmpty() || line.startsWith(u'#'))
                continue;
            const QStringList v = line.split(u' ', Qt::SkipEmptyParts);
            QCOMPARE(v.size(), 7);
            QTest::addRow("pair %d", ++pair)
                << LabColor{v[0].toDouble(), v[1].toDouble(), v[2].toDouble()}
                << LabColor{v[3].toDouble(), v[4].toDouble(), v[5].toDouble()} << v[6].toDouble();
        }
        QCOMPARE(pair, 34);
    }
    void sharmaCiede2000()
    {
        QFETCH(LabColor, standard);
        QFETCH(LabColor, sample);
        QFETCH(double, expected);
        const double e = deltaE00(standard, sample);
        QVERIFY2(std::fabs(e - expected) <= 5e-5 + 1e-4 * expected,
                 qPrintable(QString::number(e, 'f', 6)));
        QCOMPARE(deltaE00(sample, standard), e);
    }

    void identicalColoursGiveZero_data()
    {
        QTest::addColumn<LabColor>("colour");
        QTest::newRow("black") << LabColor{0, 0, 0};
        QTest::newRow("below black") << LabColor{-16, 0, 0};
        QTest::newRow("neutral") << LabColor{50, 0, 0};
        QTest::newRow("saturated red") << LabColor{54, 81, 70};
        QTest::newRow("blue") << LabColor{30, 68, -112};
        QTest::newRow("huge") << LabColor{1e300, -1e300, 1e300};
    }
    void identicalColoursGiveZero()
    {
        QFETCH(LabColor, colour);
        for (int f = 0; f < 6; ++f)
            QVERIFY2(computeDeltaE(f, colour, colour) == 0.0, formulaNames[f]);
    }

    void finiteAndNonNegative()
    {
        auto pairs = randomPairs(5000);
        const double extremes[] = {0.0, -0.0, 1e-310, -1e-310, 1e10, -1e10, 1e200, -1e200,
                                   DBL_MAX, -DBL_MAX};
        for (double x : extremes)
            for (double y : extremes)
                pairs.append({LabColor{x, y, -x}, LabColor{y, x, y}});
        for (const auto &[s, t] : pairs) {
            for (int f = 0; f < 6; ++f) {
                const double e = computeDeltaE(f, s, t);
                QVERIFY2(std::isfinite(e) && e >= 0.0, qPrintable(describe(f, s, t, e)));
            }
        }
    }

    void symmetry()
    {
        double cmcAsymmetry = 0.0;
        for (const auto &[s, t] : randomPairs(5000)) {
            for (int f : {0, 1, 2, 5}) {
                const double e = computeDeltaE(f, s, t);
                QVERIFY2(std::fabs(e - computeDeltaE(f, t, s)) <= 1e-12 * (1.0 + e),
                         qPrintable(describe(f, s, t, e)));
            }
            cmcAsymmetry = std::max(cmcAsymmetry,
                                    std::fabs(deltaECmc(s, t, 2.0) - deltaECmc(t, s, 2.0)));
        }
        // CMC takes its weights from the standard: swapping the colours changes the value.
        QVERIFY(cmcAsymmetry > 1.0);
    }

    void uvConversion_data()
    {
        QTest::addColumn<LabColor>("colour");
        QTest::addColumn<double>("u");
        QTest::addColumn<double>("v");
        // All tristimulus values 0: no division by zero, the colour sits at the origin.
        QTest::newRow("L* -16") << LabColor{-16, 0, 0} << 0.0 << 0.0;
        QTest::newRow("L* -40") << LabColor{-40, 0, 0} << 0.0 << 0.0;
        // The white itself: 0 up to the rounding of the white's u', v'.
        QTest::newRow("white") << LabColor{100, 0, 0}
                               << 13 * 100 * (4 * 94.81 / 1916.77 - 0.1978537)
                               << 13 * 100 * (9 * 100 / 1916.77 - 0.4695399);
        // fx <= 0.137931: X contributes 0, so u* = 13 L (0 - u'n).
        QTest::newRow("X channel empty") << LabColor{10, -200, 0} << 13 * 10 * -0.1978537
                                         << 13 * 10 * (9.0 / (15.0 + 3.0 * 1.0732) - 0.4695399);
        // Very saturated colours reach the clamps exactly.
        QTest::newRow("u* +300, v* -300") << LabColor{50, 4000, 0} << 300.0 << -300.0;
        QTest::newRow("u* -300, v* +300") << LabColor{200, -2000, 2000} << -300.0 << 300.0;
    }
    void uvConversion()
    {
        QFETCH(LabColor, colour);
        QFETCH(double, u);
        QFETCH(double, v);
        const auto [gotU, gotV] = labToUv(colour);
        QVERIFY2(std::fabs(gotU - u) < 1e-6, qPrintable(QString::number(gotU, 'g', 12)));
        QVERIFY2(std::fabs(gotV - v) < 1e-6, qPrintable(QString::number(gotV, 'g', 12)));
    }

    // A pure lightness difference isolates CMC's SL: ΔE = |ΔL| / (l * SL).
    void cmcLightnessWeight_data()
    {
        QTest::addColumn<double>("l1");
        QTest::addColumn<double>("sl");
        QTest::newRow("15.9 fixed") << 15.9 << 0.511;
        QTest::newRow("16 formula") << 16.0 << 0.040975 * 16 / (1 + 0.01765 * 16);
        QTest::newRow("negative fixed") << -5.0 << 0.511;
    }
    void cmcLightnessWeight()
    {
        QFETCH(double, l1);
        QFETCH(double, sl);
        const LabColor s{l1, 0, 0}, t{l1 + 1.0, 0, 0};
        QVERIFY(std::fabs(deltaECmc(s, t, 1.0) - 1.0 / sl) < 1e-9);
        QVERIFY(std::fabs(deltaECmc(s, t, 2.0) - 1.0 / (2.0 * sl)) < 1e-9);
    }

    void cmcHueBranch_data()
    {
        QTest::addColumn<double>("h1");
        QTest::addColumn<bool>("inner");
        QTest::newRow("163.999") << 163.999 << false;
        QTest::newRow("164") << 164.0 << true;
        QTest::newRow("345") << 345.0 << true;
        QTest::newRow("345.001") << 345.001 << false;
    }
    void cmcHueBranch()
    {
        QFETCH(double, h1);
        QFETCH(bool, inner);
        const double deg = 0.0174532;
        QCOMPARE(cmcHueWeight(h1), inner ? 0.56 + std::fabs(0.2 * std::cos((h1 + 168) * deg))
                                         : 0.36 + std::fabs(0.4 * std::cos((h1 + 35) * deg)));
    }

    void cmcVariantsAgreeWithoutLightnessDifference()
    {
        const LabColor s{40, 20, 30}, t{40, 25, 28};
        QCOMPARE(computeDeltaE(3, s, t), computeDeltaE(4, s, t));
    }

    void negativeHueDifferenceSquare()
    {
        // Same hue, chroma scaled by 0.6: Δa² + Δb² - ΔC² rounds to about -3e-14.
        const LabColor s{50, 20.78, 25.14}, t{50, 12.468, 15.084};
        const double c1 = std::hypot(s.a, s.b), c2 = std::hypot(t.a, t.b);
        const double sc = 0.0638 * c1 / (1 + 0.0131 * c1) + 0.638;
        QVERIFY(std::fabs(deltaE94(s, t) - (c1 - c2) / (1 + 0.045 * std::sqrt(c1 * c2))) < 1e-9);
        QVERIFY(std::fabs(deltaECmc(s, t, 2.0) - (c1 - c2) / sc) < 1e-9);
    }

    void ciede2000ContinuousAcrossHueSeam_data()
    {
        QTest::addColumn<double>("chroma");
        QTest::addColumn<double>("separation");
        QTest::newRow("near, 2 degrees") << 20.0 << 2.0;
        QTest::newRow("pale, 40 degrees") << 3.0 << 40.0;
        QTest::newRow("wide, 170 degrees") << 30.0 << 170.0;
    }
    // Turn a pair round the hue circle in small steps so that its two hues straddle 0/360 and
    // h2 - h1 crosses the +-180 wrap: ΔE must change smoothly, not jump.
    void ciede2000ContinuousAcrossHueSeam()
    {
        QFETCH(double, chroma);
        QFETCH(double, separation);
        const double rad = M_PI / 180.0;
        double previous = -1.0;
        for (double mid = -2.0 * separation; mid <= 2.0 * separation; mid += 0.01) {
            const double h1 = (mid - separation / 2) * rad, h2 = (mid + separation / 2) * rad;
            const LabColor s{50, chroma * std::cos(h1), chroma * std::sin(h1)};
            const LabColor t{55, (chroma + 2) * std::cos(h2), (chroma + 2) * std::sin(h2)};
            const double e = deltaE00(s, t);
            QVERIFY2(previous < 0.0 || std::fabs(e - previous) < 0.01,
                     qPrintable(QStringLiteral("mid hue %1: %2 -> %3").arg(mid).arg(previous).arg(e)));
            previous = e;
        }
    }

    void unknownFormulaIndex_data()
    {
        QTest::addColumn<int>("formula");
        QTest::newRow("not yet read") << -1;
        QTest::newRow("6") << 6;
        QTest::newRow("INT_MIN") << INT_MIN;
        QTest::newRow("INT_MAX") << INT_MAX;
    }
    void unknownFormulaIndex()
    {
        QFETCH(int, formula);
        QCOMPARE(computeDeltaE(formula, LabColor{50, 10, -20}, LabColor{52, 13, -16}), -1.0);
        QCOMPARE(deltaEFormulaLabel(formula), nullptr);
    }

    void deviationWords_data()
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
    }
    void deviationWords()
    {
        QFETCH(double, d);
        QFETCH(QString, l);
        QFETCH(QString, a);
        QFETCH(QString, b);
        QCOMPARE(QString::fromUtf8(deviationWord(LabAxis::L, d)), l);
        QCOMPARE(QString::fromUtf8(deviationWord(LabAxis::a, d)), a);
        QCOMPARE(QString::fromUtf8(deviationWord(LabAxis::b, d)), b);
    }

    void passRule_data()
    {
        QTest::addColumn<double>("deltaE");
        QTest::addColumn<double>("threshold");
        QTest::addColumn<bool>("pass");
        QTest::newRow("equal passes") << 1.00 << 1.0 << true;
        QTest::newRow("just above fails") << 1.01 << 1.0 << false;
        QTest::newRow("threshold not read") << 0.0 << -1.0 << false;
        QTest::newRow("neither read") << -1.0 << -1.0 << true;
        QTest::newRow("formula not read") << -1.0 << 2.0 << true;
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("NaN against a threshold") << nan << 1.5 << false;
        QTest::newRow("NaN against an unread threshold") << nan << -1.0 << false;
        QTest::newRow("NaN against the largest threshold") << nan << DBL_MAX << false;
    }
    void passRule()
    {
        QFETCH(double, deltaE);
        QFETCH(double, threshold);
        QFETCH(bool, pass);
        QCOMPARE(passes(deltaE, threshold), pass);
    }

    // A missing value (an empty or damaged imported cell read as NaN) must not come out of
    // CIEDE2000 as a perfect match, and the verdict on it is NG.
    void missingValueIsNoMatch_data()
    {
        QTest::addColumn<int>("formula");
        QTest::addColumn<int>("axis");
        QTest::addColumn<bool>("inStandard");
        for (int formula = DeltaEFormulaAb; formula <= DeltaEFormula00; ++formula) {
            for (int axis = 0; axis < 3; ++axis) {
                QTest::addRow("formula %d, sample %c missing", formula, "Lab"[axis])
                    << formula << axis << false;
                QTest::addRow("formula %d, standard %c missing", formula, "Lab"[axis])
                    << formula << axis << true;
            }
        }
    }
    void missingValueIsNoMatch()
    {
        QFETCH(int, formula);
        QFETCH(int, axis);
        QFETCH(bool, inStandard);
        LabColor standard{50.0, 10.0, -10.0};
        LabColor sample = standard;
        LabColor &damaged = inStandard ? standard : sample;
        (axis == 0 ? damaged.L : axis == 1 ? damaged.a : damaged.b) =
            std::numeric_limits<double>::quiet_NaN();
        const double e = computeDeltaE(formula, standard, sample);
        QVERIFY2(std::isnan(e), qPrintable(QString::number(e)));
        QVERIFY(!passes(e, 1.5));
    }

    void swatch_data()
    {
        QTest::addColumn<int>("r");
        QTest::addColumn<int>("g");
        QTest::addColumn<int>("b");
        QTest::addColumn<QString>("style");
        QTest::newRow("mixed") << 255 << 0 << 128 << "background-color: rgb(255, 0, 128);";
        QTest::newRow("black") << 0 << 0 << 0 << "background-color: rgb(0, 0, 0);";
        QTest::newRow("out of range") << 300 << -5 << 7 << "background-color: rgb(255, 0, 7);";
    }
    void swatch()
    {
        QFETCH(int, r);
        QFETCH(int, g);
        QFETCH(int, b);
        QFETCH(QString, style);
        QCOMPARE(swatchStyle(r, g, b), style);
    }
};

QTEST_APPLESS_MAIN(TestColour)
#include "tst_colour.moc"
