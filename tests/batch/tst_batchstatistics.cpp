// Batch statistics against values worked out independently (data/statistics.txt, written by
// data/make_statistics.py with exact rational arithmetic): all rows with the near-limit band off
// and at two widths, one row, a selection, rows without verdicts, rows with a verdict but no ΔE;
// and the band's setting.
#include "batchstatistics.h"
#include "nearlimit.h"
#include "usersettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

struct Case
{
    QString name;
    int percent = 0;
    QList<int> indices;
    QHash<QString, QStringList> expected;
};

struct Fixture
{
    std::vector<BatchRow> rows;
    QList<Case> cases;
};

Fixture readFixture()
{
    Fixture f;
    QFile file(qEnvironmentVariable("COLORIMETER_TEST_DATA") + QStringLiteral("/data/statistics.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return f;
    Case *current = nullptr;
    while (!file.atEnd()) {
        const QStringList w = QString::fromUtf8(file.readLine()).simplified().split(u' ', Qt::SkipEmptyParts);
        if (w.isEmpty() || w[0].startsWith(u'#'))
            continue;
        if (w[0] == QLatin1String("row") && w.size() == 15) {
            BatchRow r;
            r.tableRow = int(f.rows.size());
            r.testName = w[1];
            for (int i = 0; i < 5; ++i) {
                r.standard[i] = w[2 + i].toDouble();
                r.sample[i] = w[7 + i].toDouble();
            }
            r.deltaE = w[12] == QLatin1String("nan") ? std::nan("") : w[12].toDouble();
            r.verdict = w[13] == QLatin1String("P")   ? BatchVerdict::Pass
                        : w[13] == QLatin1String("N") ? BatchVerdict::Ng
                                                      : BatchVerdict::NotJudged;
            r.threshold = w[14] == QLatin1String("-") ? std::nan("") : w[14].toDouble();
            f.rows.push_back(r);
        } else if (w[0] == QLatin1String("case") && w.size() == 4) {
            f.cases.append({w[1], w[2].toInt(), {}, {}});
            current = &f.cases.last();
            for (const QString &i : w[3].split(u','))
                current->indices.append(i.toInt());
        } else if (w[0] == QLatin1String("end")) {
            current = nullptr;
        } else if (current) {
            current->expected.insert(w[0], w.mid(1));
        }
    }
    return f;
}

bool near(double actual, const QString &expected)
{
    if (expected == QLatin1String("nan"))
        return std::isnan(actual);
    return std::fabs(actual - expected.toDouble()) <= 1e-9;
}

} // namespace

class tst_BatchStatistics : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void statistics_data();
    void statistics();
    void band_data();
    void band();
    void bandSetting();

private:
    Fixture fixture;
};

void tst_BatchStatistics::initTestCase()
{
    fixture = readFixture();
    QCOMPARE(int(fixture.rows.size()), 12);
    QCOMPARE(fixture.cases.size(), 8);
}

void tst_BatchStatistics::statistics_data()
{
    QTest::addColumn<int>("which");
    for (int i = 0; i < fixture.cases.size(); ++i)
        QTest::newRow(qPrintable(fixture.cases[i].name)) << i;
}

void tst_BatchStatistics::statistics()
{
    QFETCH(int, which);
    const Case &c = fixture.cases[which];
    std::vector<BatchRow> rows;
    for (int i : c.indices)
        rows.push_back(fixture.rows[i]);
    NearLimitBand band;
    band.enabled = c.percent > 0;
    band.percent = band.enabled ? c.percent : NearLimitBand::kDefaultPercent;

    const BatchStatistics s = computeBatchStatistics(rows, band);
    const auto integer = [&](const char *key) { return c.expected.value(QLatin1String(key)).value(0).toInt(); };
    QCOMPARE(s.rows, integer("rows"));
    QCOMPARE(s.judged, integer("judged"));
    QCOMPARE(s.pass, integer("pass"));
    QCOMPARE(s.ng, integer("ng"));
    QCOMPARE(s.nearLimit, integer("nearLimit"));
    QCOMPARE(s.largestRow, integer("largestRow"));
    QStringList notJudged;
    for (int i : s.notJudged)
        notJudged << QString::number(i);
    QCOMPARE(notJudged.isEmpty() ? QStringLiteral("none") : notJudged.join(u','),
             c.expected.value(QStringLiteral("notJudged")).value(0));
    QVERIFY(near(s.passRate, c.expected.value(QStringLiteral("passRate")).value(0)));

    const char *const names[] = {"dL", "da", "db", "dC", "dh", "dE"};
    for (int q = 0; q < kBatchQuantityCount; ++q) {
        const QStringList e = c.expected.value(QLatin1String(names[q]));
        QCOMPARE(e.size(), 4);
        const BatchSummary &m = s.summaries[q];
        const QString what = QStringLiteral("%1: %2 %3 %4 %5 against %6")
                                 .arg(QLatin1String(names[q]))
                                 .arg(m.mean, 0, 'g', 17)
                                 .arg(m.sd, 0, 'g', 17)
                                 .arg(m.min, 0, 'g', 17)
                                 .arg(m.max, 0, 'g', 17)
                                 .arg(e.join(u' '));
        QVERIFY2(near(m.mean, e[0]) && near(m.sd, e[1]) && near(m.min, e[2]) && near(m.max, e[3]), qPrintable(what));
    }
}

void tst_BatchStatistics::band_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("percent");
    QTest::addColumn<double>("deltaE");
    QTest::addColumn<double>("threshold");
    QTest::addColumn<bool>("inside");
    QTest::newRow("off") << false << 80 << 1.9 << 2.0 << false;
    QTest::newRow("at the start, as written") << true << 80 << 1.6 << 2.0 << false;
    QTest::newRow("just above the start") << true << 80 << 1.61 << 2.0 << true;
    QTest::newRow("at the threshold") << true << 80 << 2.0 << 2.0 << true;
    QTest::newRow("above the threshold") << true << 80 << 2.01 << 2.0 << false;
    QTest::newRow("99 %") << true << 99 << 2.97 << 3.0 << false;
    QTest::newRow("99 %, inside") << true << 99 << 2.98 << 3.0 << true;
    QTest::newRow("threshold unknown") << true << 80 << 1.9 << std::nan("") << false;
    QTest::newRow("ΔE unknown") << true << 80 << std::nan("") << 2.0 << false;
}

void tst_BatchStatistics::band()
{
    QFETCH(bool, enabled);
    QFETCH(int, percent);
    QFETCH(double, deltaE);
    QFETCH(double, threshold);
    QFETCH(bool, inside);
    NearLimitBand band;
    band.enabled = enabled;
    band.percent = percent;
    QCOMPARE(band.contains(deltaE, threshold), inside);
}

// Off at 80 % until set; kept in the user's settings file; a percentage edited out of range by
// hand comes back within 50..99.
void tst_BatchStatistics::bandSetting()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());

    NearLimitBand band = loadNearLimitBand();
    QCOMPARE(band.enabled, false);
    QCOMPARE(band.percent, 80);

    QVERIFY(saveNearLimitBand({true, 90}));
    QVERIFY(QFile::exists(userSettingsPath()));
    band = loadNearLimitBand();
    QCOMPARE(band.enabled, true);
    QCOMPARE(band.percent, 90);

    for (const auto &[written, read] : {std::pair{"120", 99}, std::pair{"10", 50}, std::pair{"many", 80}}) {
        openUserSettings()->setValue(QStringLiteral("batch/nearLimitPercent"), QString::fromLatin1(written));
        QCOMPARE(loadNearLimitBand().percent, read);
    }
}

QTEST_GUILESS_MAIN(tst_BatchStatistics)
#include "tst_batchstatistics.moc"
