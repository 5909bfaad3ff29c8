// The test report and its information dialog: both documents fragment by fragment, numbers and
// escaping, the snapshot rule, Ok and Cancel of the dialog, printing through the scripted print
// dialog and PDF output read back with pdftotext and pdfinfo, the file the print dialog suggests.
#include "firstpagefortesk.h"
#include "informationpagefortesk.h"
#include "reportpagefortesk.h"
#include "scriptedmodal.h"
#include "testsupport.h"
#include "usersettings.h"

#include <QLineEdit>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTranslator>
#include <QtTest>

namespace {

// Stands in for the Chinese translation file in the report's context.
const QHash<QString, QString> kChinese = {
    {"Test Report1", "测试报告"}, {"Device: ", "设备: "}, {"Information", "信息"},
};

// The row most tests report on: an awkward test name, a verdict, zero and negative differences
// and a ΔE of 1.50.
MeasurementRecord sampleRow()
{
    MeasurementRecord r;
    r.sequence = 1;
    r.testName = QStringLiteral("A<B&C");
    r.timeText = QStringLiteral("2026/12/08  09:15");
    r.standard = {50.0, 10.0, -20.0, 22.36, 296.6};
    r.sample = {51.5, 10.0, -21.25, 23.5, 295.0};
    r.deltaE = 1.5;
    r.verdict = QStringLiteral("PASS");
    r.formulaText = QStringLiteral("△E*ab");
    r.thresholdText = QStringLiteral("2.0");
    r.deviceName = QStringLiteral("UnKnow");
    r.serialNumber = QStringLiteral("4711");
    return r;
}

QString td(int width, const QString &contents)
{
    return QStringLiteral("<td width=\"%1%\">%2</td>").arg(width).arg(contents);
}

QString tdc(int width, const QString &contents)
{
    return QStringLiteral("<td width=\"%1%\" align=\"center\">%2</td>").arg(width).arg(contents);
}

QString dataRow(const QString &label, const QString &standard, const QString &sample, const QString &delta)
{
    return "<tr>" + tdc(21, label) + tdc(21, standard) + tdc(21, sample) + tdc(21, delta) + "</tr>";
}

// The data table row whose first cell is label.
QString rowOf(const QString &doc, const QString &label)
{
    const qsizetype start = doc.indexOf("<tr>" + tdc(21, label));
    if (start < 0)
        return QString();
    return doc.mid(start, doc.indexOf(QStringLiteral("</tr>"), start) + 5 - start);
}

// The text of a PDF as pdftotext reads it, without any white space (the tool breaks lines and
// spreads cells with blanks as the layout places them).
QString pdfWords(const QString &path)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty())
        return QStringLiteral("<pdftotext missing: install poppler-utils>");
    QProcess p;
    p.start(tool, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("<pdftotext failed: %1>").arg(QString::fromUtf8(p.readAllStandardError()));
    QString text = QString::fromUtf8(p.readAllStandardOutput());
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    return text;
}

// The document title a PDF carries, as pdfinfo reads it.
QString pdfTitle(const QString &path)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
    if (tool.isEmpty())
        return QStringLiteral("<pdfinfo missing: install poppler-utils>");
    QProcess p;
    p.start(tool, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("<pdfinfo failed: %1>").arg(QString::fromUtf8(p.readAllStandardError()));
    for (const QString &line : QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n')))
        if (line.startsWith(QStringLiteral("Title:")))
            return line.mid(6).trimmed();
    return QStringLiteral("<no Title>");
}

} // namespace

class tst_Report : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void englishDocument();
    void chineseDocument();
    void numbers_data();
    void numbers();
    void escapedTexts_data();
    void escapedTexts();
    void window();
    void snapshotAfterDeletion();
    void snapshotAfterLanguageSwitch();
    void dialogShowsTheReport();
    void dialogOkAndCancel_data();
    void dialogOkAndCancel();
    void twoDialogsOnOneReport();
    void printDialogCancelled();
    void printDialogToPdf();
    void pdfText_data();
    void pdfText();
    void printFailureIsReported();
    void printSuggestion_data();
    void printSuggestion();

private:
    QTableView *table() const { return testsupport::measurementTable(page); }
    ReportPageForTesk *openReport(int row);
    InformationPageForTesk *openDialog(ReportPageForTesk *report);
    void compareFragments(const QString &document, const QStringList &fragments);

    ScriptedModal *modal = nullptr;
    FirstPageForTesk *page = nullptr;
    ReportPageForTesk *lastOpened = nullptr;
    // The user's configuration folder and documents folder for the whole suite, never the real
    // ones: printing keeps where it printed to.
    QTemporaryDir userDirs;
};

void tst_Report::initTestCase()
{
    QVERIFY(userDirs.isValid());
    const QString config = userDirs.filePath(QStringLiteral("config"));
    QVERIFY(QDir().mkpath(config));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    QFile dirs(config + QStringLiteral("/user-dirs.dirs"));
    QVERIFY(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_DOCUMENTS_DIR=\"" + QFile::encodeName(userDirs.filePath(QStringLiteral("Documents"))) + "\"\n");
}

void tst_Report::init()
{
    QFile::remove(userSettingsPath());
    QVERIFY(QDir().mkpath(userDirs.filePath(QStringLiteral("Documents"))));
    modal = new ScriptedModal;
    page = new FirstPageForTesk;
    lastOpened = nullptr;
    // As the application wires it.
    connect(page, &FirstPageForTesk::reportRequested, page, [this] { lastOpened = ReportPageForTesk::openFor(page); });
}

void tst_Report::cleanup()
{
    QCOMPARE(modal->unexpectedCount(), 0);
    QCOMPARE(modal->pendingAnswers(), 0);
    delete page;
    delete modal;
}

ReportPageForTesk *tst_Report::openReport(int row)
{
    lastOpened = nullptr;
    if (row < 0 || row >= table()->model()->rowCount())
        return nullptr;
    testsupport::clickRowButton(page, row, FirstPageForTesk::ColReport);
    return lastOpened;
}

InformationPageForTesk *tst_Report::openDialog(ReportPageForTesk *report)
{
    const auto before = report->findChildren<InformationPageForTesk *>();
    report->findChild<QPushButton *>(QStringLiteral("Informationbtn"))->click();
    for (InformationPageForTesk *d : report->findChildren<InformationPageForTesk *>())
        if (!before.contains(d))
            return d;
    return nullptr;
}

void tst_Report::compareFragments(const QString &document, const QStringList &fragments)
{
    // The first fragment carries the time stamp: "Report_" and fourteen digits.
    static const QRegularExpression head(QStringLiteral(
        "^<html><head><meta http-equiv=Content-Type content=\"text/html;charset=gb2312\"><title>Report_(\\d{14})"
        "</title></head><body>"));
    const QRegularExpressionMatch m = head.match(document);
    QVERIFY2(m.hasMatch(), qPrintable(document.left(160)));
    const QDateTime stamp = QDateTime::fromString(m.captured(1), QStringLiteral("yyyyMMddhhmmss"));
    QVERIFY(stamp.isValid());
    QVERIFY(qAbs(stamp.secsTo(QDateTime::currentDateTime())) < 120);
    qsizetype pos = m.capturedLength();
    for (const QString &fragment : fragments) {
        QCOMPARE(document.mid(pos, fragment.size()), fragment);
        pos += fragment.size();
    }
    QCOMPARE(document.mid(pos), QString());
}

void tst_Report::englishDocument()
{
    page->appendRow(sampleRow());
    page->reportCompany = QStringLiteral("ACME");
    page->reportAuditor = QStringLiteral("Wu");
    ReportPageForTesk *report = openReport(0);
    QVERIFY(report);
    QVERIFY(!report->isChinese);
    const QString doc = report->buildEnglishReport();
    compareFragments(doc, {
        "<p class=\"MsoNormal\" align=\"center\" style=\"text-align: center\">",
        "<span lang=\"EN-US\" style=\"font-size: 25.0pt\">Test Report</span></p>",
        "<br />",
        "<table width=\"100%\" border=\"0\" cellspacing=0>",
        "<tr>", td(15, "Device: "), td(33, "UnKnow Colorimeter<hr/>"), td(3, ""), td(20, "SN:"),
        td(25, "4711<hr/>"), "</tr>",
        "<tr>", td(15, "Company:"), td(33, "ACME<hr/>"), td(3, ""), td(20, "Sample Name:"),
        td(25, "A&lt;B&amp;C<hr/>"), "</tr>",
        "<tr>", td(15, "△E formula:"), td(33, "△E*ab<hr/>"), td(3, ""), td(20, "△E Thresholds:"),
        td(25, "2.0<hr/>"), "</tr>",
        "<tr>", td(15, "Test Time:"), td(33, "2026/12/08  09:15<hr/>"), "</tr>",
        "</table>",
        "<br />", "<p>Test Data</p>",
        "<table width=\"100%\" border=\"1\" cellspacing=0>",
        dataRow("", "Standard", "Sample", "△"),
        dataRow("L*", "50", "51.5", "1.5"),
        dataRow("a*", "10", "10", "0"),
        dataRow("b*", "-20", "-21.25", "-1.25"),
        dataRow("C*", "22.36", "23.5", "1.14"),
        dataRow("h", "296.6", "295", "-1.6"),
        dataRow("△E", "", "", "1.5"),
        dataRow("Result", "", "", "PASS"),
        "</table>",
        "<br /><br /><br />",
        "<table width=\"100%\" border=\"0\" cellspacing=0>",
        "<tr>", td(10, " Tester:"), tdc(26, "<hr/>"), td(10, ""), td(11, " Auditor:"), tdc(25, "Wu<hr/>"), "</tr>",
        "</table>",
        "</body></html>",
    });
    // The browser shows what the builder made.
    const QString shown = report->findChild<QTextBrowser *>(QStringLiteral("textBrowser"))->toPlainText();
    QVERIFY2(shown.contains(QStringLiteral("UnKnow Colorimeter")) && shown.contains(QStringLiteral("A<B&C")),
             qPrintable(shown));
    QVERIFY(!shown.contains(QStringLiteral("测试")));
}

void tst_Report::chineseDocument()
{
    page->isChinese = true;
    MeasurementRecord row = sampleRow();
    row.verdict = QStringLiteral("不合格");
    page->appendRow(row);
    page->reportTester = QStringLiteral("张三");
    ReportPageForTesk *report = openReport(0);
    QVERIFY(report);
    QVERIFY(report->isChinese);
    const QString title = "<p class=\"MsoNormal\" align=\"center\" style=\"text-align: center\">";
    // Without a translation file the source texts show.
    compareFragments(report->buildChineseReport(), {
        title, "<span lang=\"EN-US\" style=\"font-size: 25.0pt\">Test Report1</span></p>",
        title, "<span lang=\"EN-US\" style=\"font-size: 18.0pt\">Test Report</span></p>",
        "<br />",
        "<table width=\"100%\" border=\"0\" cellspacing=0>",
        "<tr>", td(13, "测试设备: "), td(33, "UnKnow Colorimeter<hr/>"), td(3, ""), td(13, "SN号:"),
        td(33, "4711<hr/>"), "</tr>", "<br />",
        "<tr>", td(13, "公司名称:"), td(33, "<hr/>"), td(3, ""), td(13, "样品名称:"),
        td(33, "A&lt;B&amp;C<hr/>"), "</tr>", "<br />",
        "<tr>", td(13, "△E公式:"), td(33, "△E*ab<hr/>"), td(3, ""), td(13, "△E阀值:"), td(33, "2.0<hr/>"),
        "</tr>", "<br />",
        "<tr>", td(13, "测试时间:"), td(33, "2026/12/08  09:15<hr/>"), "</tr>",
        "</table>",
        "<br />", "<p>测试数据(Test Data)</p>",
        "<table width=\"100%\" border=\"1\" cellspacing=0>",
        dataRow("", "标准色", "样品色", "△"),
        dataRow("L*", "50", "51.5", "1.5"),
        dataRow("a*", "10", "10", "0"),
        dataRow("b*", "-20", "-21.25", "-1.25"),
        dataRow("C*", "22.36", "23.5", "1.14"),
        dataRow("h", "296.6", "295", "-1.6"),
        dataRow("△E", "", "", "1.5"),
        dataRow("结果", "", "", "不合格"),
        "</table>",
        "<br /><br /><br />",
        "<table width=\"100%\" border=\"0\" cellspacing=0>",
        "<tr>", td(20, "测试人(Tester):"), tdc(26, "张三<hr/>"), td(3, ""), td(20, "审核人(Auditor):"),
        tdc(25, "<hr/>"), "</tr>",
        "</table>",
        "</body></html>",
    });
    // Three breaks inside the heading table, none elsewhere in it.
    const QString doc = report->buildChineseReport();
    const qsizetype start = doc.indexOf(QStringLiteral("border=\"0\""));
    const QString heading = doc.mid(start, doc.indexOf(QStringLiteral("</table>"), start) - start);
    QCOMPARE(heading.count(QStringLiteral("<br />")), 3);

    // The translation gives the large title.
    testsupport::WordTranslator chinese("ReportPageForTesk", kChinese);
    QCoreApplication::installTranslator(&chinese);
    const QString translated = report->buildChineseReport();
    QCoreApplication::removeTranslator(&chinese);
    QVERIFY(translated.contains(QStringLiteral("font-size: 25.0pt\">测试报告</span>")));
    QVERIFY(translated.contains(QStringLiteral("font-size: 18.0pt\">Test Report</span>")));
}

void tst_Report::numbers_data()
{
    QTest::addColumn<double>("standard");
    QTest::addColumn<double>("sample");
    QTest::addColumn<double>("standardHue");
    QTest::addColumn<double>("sampleHue");
    QTest::addColumn<double>("deltaE");
    QTest::addColumn<QString>("lightnessRow");
    QTest::addColumn<QString>("hueRow");
    QTest::addColumn<QString>("deltaERow");
    // The table keeps two decimals (one for hues); the report writes 'g' with six digits.
    QTest::newRow("trailing zeros dropped")
        << 1.5 << 3.0 << 10.0 << 12.5 << 1.5 << dataRow("L*", "1.5", "3", "1.5")
        << dataRow("h", "10", "12.5", "2.5") << dataRow("△E", "", "", "1.5");
    QTest::newRow("zero and negative")
        << 52.34 << 52.34 << 200.0 << 150.0 << 0.0 << dataRow("L*", "52.34", "52.34", "0")
        << dataRow("h", "200", "150", "-50") << dataRow("△E", "", "", "0");
    QTest::newRow("rounding noise")
        << 52.33 << 52.34 << 0.0 << 0.0 << 123.456 << dataRow("L*", "52.33", "52.34", "0.01")
        << dataRow("h", "0", "0", "0") << dataRow("△E", "", "", "123.46");
    QTest::newRow("six significant digits")
        << 1234.56 << -0.01 << 90.0 << 90.0 << 99.99 << dataRow("L*", "1234.56", "-0.01", "-1234.57")
        << dataRow("h", "90", "90", "0") << dataRow("△E", "", "", "99.99");
    // The hue difference as the page's panel shows it: the short way round.
    QTest::newRow("hue across 0, forwards")
        << 50.0 << 50.0 << 359.0 << 1.0 << 0.5 << dataRow("L*", "50", "50", "0")
        << dataRow("h", "359", "1", "2") << dataRow("△E", "", "", "0.5");
    QTest::newRow("hue across 0, backwards")
        << 50.0 << 50.0 << 1.0 << 359.0 << 0.5 << dataRow("L*", "50", "50", "0")
        << dataRow("h", "1", "359", "-2") << dataRow("△E", "", "", "0.5");
    QTest::newRow("hue half a turn")
        << 50.0 << 50.0 << 180.0 << 0.0 << 0.5 << dataRow("L*", "50", "50", "0")
        << dataRow("h", "180", "0", "180") << dataRow("△E", "", "", "0.5");
    QTest::newRow("hue a full turn")
        << 50.0 << 50.0 << 360.0 << 0.0 << 0.5 << dataRow("L*", "50", "50", "0")
        << dataRow("h", "360", "0", "0") << dataRow("△E", "", "", "0.5");
    // A downloaded row not judged (ΔE parameters unknown) has no ΔE, which is not a ΔE of 0.
    QTest::newRow("not judged")
        << 50.0 << 50.0 << 10.0 << 10.0 << qQNaN() << dataRow("L*", "50", "50", "0")
        << dataRow("h", "10", "10", "0") << dataRow("△E", "", "", "-----");
}

void tst_Report::numbers()
{
    QFETCH(double, standard);
    QFETCH(double, sample);
    QFETCH(double, standardHue);
    QFETCH(double, sampleHue);
    QFETCH(double, deltaE);
    MeasurementRecord row = sampleRow();
    row.standard[0] = standard;
    row.sample[0] = sample;
    row.standard[4] = standardHue;
    row.sample[4] = sampleHue;
    row.deltaE = deltaE;
    page->appendRow(row);
    ReportPageForTesk *report = openReport(0);
    QVERIFY(report);
    for (const QString &doc : {report->buildEnglishReport(), report->buildChineseReport()}) {
        QTEST(rowOf(doc, QStringLiteral("L*")), "lightnessRow");
        QTEST(rowOf(doc, QStringLiteral("h")), "hueRow");
        QTEST(rowOf(doc, QStringLiteral("△E")), "deltaERow");
    }
}

void tst_Report::escapedTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("escaped");
    QTest::newRow("angle and ampersand") << QStringLiteral("A<B&C") << QStringLiteral("A&lt;B&amp;C");
    QTest::newRow("markup") << QStringLiteral("<b>bold</b><img src=x>")
                            << QStringLiteral("&lt;b&gt;bold&lt;/b&gt;&lt;img src=x&gt;");
    QTest::newRow("quotes") << QStringLiteral("say \"hi\"") << QStringLiteral("say &quot;hi&quot;");
    QTest::newRow("an entity typed as text") << QStringLiteral("&lt;") << QStringLiteral("&amp;lt;");
}

void tst_Report::escapedTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, escaped);
    MeasurementRecord row = sampleRow();
    row.testName = text;
    row.deviceName = text;
    row.serialNumber = text;
    row.formulaText = text;
    row.thresholdText = text;
    row.timeText = text;
    row.verdict = text;
    page->appendRow(row);
    page->reportCompany = text;
    page->reportTester = text;
    page->reportAuditor = text;
    ReportPageForTesk *report = openReport(0);
    QVERIFY(report);
    const QStringList docs = {report->buildEnglishReport(), report->buildChineseReport()};
    for (const QString &doc : docs) {
        // Eight fields with a rule after them, the device name followed by " Colorimeter", and the
        // verdict cell.
        QCOMPARE(doc.count(escaped + QStringLiteral("<hr/>")), 8);
        QCOMPARE(doc.count(escaped + QStringLiteral(" Colorimeter<hr/>")), 1);
        QVERIFY(doc.contains(tdc(21, escaped) + QStringLiteral("</tr>")));
        QVERIFY(!doc.contains(text));
    }
    // What the browser shows is the text itself, every time it occurs.
    const QString shown = report->findChild<QTextBrowser *>(QStringLiteral("textBrowser"))->toPlainText();
    QCOMPARE(shown.count(text), 10);
}

void tst_Report::window()
{
    page->appendRow(sampleRow());
    ReportPageForTesk *first = openReport(0);
    ReportPageForTesk *second = openReport(0);
    QVERIFY(first && second && first != second);
    QCOMPARE(first->parent(), page);
    QVERIFY(first->isVisible() && second->isVisible());
    QVERIFY(!first->isModal());
    QCOMPARE(first->windowTitle(), QStringLiteral("Report"));
    QCOMPARE(first->width(), 700);
    QCOMPARE(first->findChild<QPushButton *>(QStringLiteral("Informationbtn"))->text(), QStringLiteral("Information"));
    QCOMPARE(first->findChild<QPushButton *>(QStringLiteral("PrintReportbtn"))->text(), QStringLiteral("Print"));
    // Closing one frees it and leaves the other.
    QPointer<ReportPageForTesk> gone = first;
    first->close();
    QTRY_VERIFY(gone.isNull());
    QVERIFY(second->isVisible());
    QCOMPARE(page->findChildren<ReportPageForTesk *>().size(), 1);
    // A row whose test name was emptied opens none.
    testsupport::editTestName(page, 0, QString());
    QVERIFY(!openReport(0));
}

void tst_Report::snapshotAfterDeletion()
{
    page->appendRow(sampleRow());
    MeasurementRecord other = sampleRow();
    other.testName = QStringLiteral("Second");
    page->appendRow(other);
    ReportPageForTesk *report = openReport(0);
    QVERIFY(report);
    const QString before = report->buildEnglishReport().mid(60); // past the time stamp
    const QString shownBefore = report->findChild<QTextBrowser *>(QStringLiteral("textBrowser"))->toHtml();

    testsupport::clickRowButton(page, 0, FirstPageForTesk::ColDelete);
    QCOMPARE(table()->model()->rowCount(), 1);
    QCOMPARE(report->sampleName, QStringLiteral("A<B&C"));
    QCOMPARE(report->findChild<QTextBrowser *>(QStringLiteral("textBrowser"))->toHtml(), shownBefore);
    QCOMPARE(report->buildEnglishReport().mid(60), before);

    // Rebuilt after the dialog's Ok, it still shows the deleted row.
    page->on_ClearBtn_clicked();
    InformationPageForTesk *dialog = openDialog(report);
    QVERIFY(dialog);
    dialog->findChild<QPushButton *>(QStringLiteral("Okbtn"))->click();
    const QString shown = report->findChild<QTextBrowser *>(QStringLiteral("textBrowser"))->toPlainText();
    QVERIFY2(shown.contains(QStringLiteral("A<B&C")) && shown.contains(QStringLiteral("296.6")), qPrintable(shown));
}

void tst_Report::snapshotAfterLanguageSwitch()
{
    page->appendRow(sampleRow());
    ReportPageForTesk *english = openReport(0);
    QVERIFY(english);

    testsupport::WordTranslator chinese("ReportPageForTesk", kChinese);
    QCoreApplication::installTranslator(&chinese);
    page->isChinese = true;
    page->retranslatePage();
    ReportPageForTesk *chineseReport = openReport(0);
    QVERIFY(chineseReport);
    QVERIFY(chineseReport->isChinese);
    QVERIFY(!english->isChinese);
    auto shown = [](ReportPageForTesk *r) {
        return r->findChild<QTextBrowser *>(QStringLiteral("textBrowser"))->toPlainText();
    };
    QVERIFY(shown(chineseReport).contains(QStringLiteral("测试报告")));
    QVERIFY(shown(chineseReport).contains(QStringLiteral("测试设备")));
    // The English report opened before the switch keeps its variant, rebuilt or not.
    QVERIFY(shown(english).contains(QStringLiteral("Device: ")));
    openDialog(english)->findChild<QPushButton *>(QStringLiteral("Okbtn"))->click();
    QVERIFY(!shown(english).contains(QStringLiteral("测试设备")));
    QVERIFY(shown(english).contains(QStringLiteral("Test Data")));

    QCoreApplication::removeTranslator(&chinese);
    page->isChinese = false;
    page->retranslatePage();
    openDialog(chineseReport)->findChild<QPushButton *>(QStringLiteral("Okbtn"))->click();
    QVERIFY(shown(chineseReport).contains(QStringLiteral("测试设备")));
    QVERIFY(shown(chineseReport).contains(QStringLiteral("标准色")));
    QVERIFY(!openReport(0)->isChinese);
}

void tst_Report::dialogShowsTheReport()
{
    page->appendRow(sampleRow());
    ReportPageForTesk *report = openReport(0);
    QVERIFY(report);
    InformationPageForTesk *dialog = openDialog(report);
    QVERIFY(dialog);
    QCOMPARE(dialog->parent(), report);
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Report"));
    const QList<std::pair<const char *, QString>> expected = {
        {"DeviceEdit", "UnKnow Colorimeter"}, {"serialNoEdit", "4711"}, {"CompanyEdit", ""},
        {"SampleNameEdit", "A<B&C"}, {"FormulaEdit", "△E*ab"}, {"ThresholdsEdit", "2.0"},
        {"TestTimeEdit", "2026/12/08  09:15"}, {"TesterEdit", ""}, {"AuditorEdit", ""},
    };
    for (const auto &[name, text] : expected) {
        auto *edit = dialog->findChild<QLineEdit *>(QString::fromLatin1(name));
        QVERIFY2(edit, name);
        QCOMPARE(edit->text(), text);
        const bool editable = QByteArray(name) == "CompanyEdit" || QByteArray(name) == "TesterEdit"
                              || QByteArray(name) == "AuditorEdit";
        QCOMPARE(edit->isReadOnly(), !editable);
    }
    // The report window and the page stay usable: each click opens another dialog.
    QVERIFY(openDialog(report));
    QCOMPARE(report->findChildren<InformationPageForTesk *>().size(), 2);
}

void tst_Report::dialogOkAndCancel_data()
{
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("tester");
    QTest::addColumn<QString>("auditor");
    QTest::newRow("ok") << true << QStringLiteral("ACME <Lab>") << QStringLiteral("Li") << QStringLiteral("Wu");
    QTest::newRow("ok clears the tester") << true << QStringLiteral("ACME") << QString() << QStringLiteral("Wu");
    QTest::newRow("cancel") << false << QStringLiteral("ACME") << QStringLiteral("Li") << QStringLiteral("Wu");
}

void tst_Report::dialogOkAndCancel()
{
    QFETCH(bool, ok);
    QFETCH(QString, company);
    QFETCH(QString, tester);
    QFETCH(QString, auditor);
    page->reportTester = QStringLiteral("Old tester");
    page->appendRow(sampleRow());
    MeasurementRecord other = sampleRow();
    other.testName = QStringLiteral("Other row");
    page->appendRow(other);
    ReportPageForTesk *report = openReport(0);
    QVERIFY(report);
    QCOMPARE(report->tester, QStringLiteral("Old tester"));

    QPointer<InformationPageForTesk> dialog = openDialog(report);
    QVERIFY(dialog);
    QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("TesterEdit"))->text(), QStringLiteral("Old tester"));
    dialog->findChild<QLineEdit *>(QStringLiteral("CompanyEdit"))->setText(company);
    dialog->findChild<QLineEdit *>(QStringLiteral("TesterEdit"))->setText(tester);
    dialog->findChild<QLineEdit *>(QStringLiteral("AuditorEdit"))->setText(auditor);
    // The read-only entries are never read back.
    dialog->findChild<QLineEdit *>(QStringLiteral("SampleNameEdit"))->setText(QStringLiteral("changed"));
    dialog->findChild<QPushButton *>(QString::fromLatin1(ok ? "Okbtn" : "Cancelbtn"))->click();
    QTRY_VERIFY(dialog.isNull());

    const QString wantTester = ok ? tester : QStringLiteral("Old tester");
    const QString wantCompany = ok ? company : QString();
    const QString wantAuditor = ok ? auditor : QString();
    QCOMPARE(report->company, wantCompany);
    QCOMPARE(report->tester, wantTester);
    QCOMPARE(report->auditor, wantAuditor);
    QCOMPARE(report->sampleName, QStringLiteral("A<B&C"));
    const QString shown = report->findChild<QTextBrowser *>(QStringLiteral("textBrowser"))->toPlainText();
    if (!wantCompany.isEmpty())
        QVERIFY2(shown.contains(wantCompany), qPrintable(shown));
    QCOMPARE(shown.contains(QStringLiteral("Old tester")), !ok);
    QCOMPARE(page->reportCompany, wantCompany);
    QCOMPARE(page->reportTester, wantTester);
    QCOMPARE(page->reportAuditor, wantAuditor);

    // A report opened later from another row starts with them.
    ReportPageForTesk *later = openReport(1);
    QVERIFY(later);
    QCOMPARE(later->sampleName, QStringLiteral("Other row"));
    QCOMPARE(later->company, wantCompany);
    QCOMPARE(later->tester, wantTester);
    QCOMPARE(later->auditor, wantAuditor);
    QVERIFY(later->buildEnglishReport().contains(td(33, wantCompany.toHtmlEscaped() + QStringLiteral("<hr/>"))));
}

void tst_Report::twoDialogsOnOneReport()
{
    page->appendRow(sampleRow());
    ReportPageForTesk *report = openReport(0);
    QVERIFY(report);
    InformationPageForTesk *first = openDialog(report);
    InformationPageForTesk *second = openDialog(report);
    QVERIFY(first && second && first != second);
    auto fill = [](InformationPageForTesk *d, const QString &company, const QString &tester) {
        d->findChild<QLineEdit *>(QStringLiteral("CompanyEdit"))->setText(company);
        d->findChild<QLineEdit *>(QStringLiteral("TesterEdit"))->setText(tester);
    };
    fill(first, QStringLiteral("First Co"), QStringLiteral("First tester"));
    fill(second, QStringLiteral("Second Co"), QStringLiteral("Second tester"));

    // The second is confirmed first; the first, confirmed last, decides.
    second->findChild<QPushButton *>(QStringLiteral("Okbtn"))->click();
    QCOMPARE(report->company, QStringLiteral("Second Co"));
    // A third dialog opened now shows what the report holds, not what the first one has typed.
    InformationPageForTesk *third = openDialog(report);
    QCOMPARE(third->findChild<QLineEdit *>(QStringLiteral("CompanyEdit"))->text(), QStringLiteral("Second Co"));
    first->findChild<QPushButton *>(QStringLiteral("Okbtn"))->click();
    QCOMPARE(report->company, QStringLiteral("First Co"));
    QCOMPARE(report->tester, QStringLiteral("First tester"));
    QCOMPARE(page->reportCompany, QStringLiteral("First Co"));
    QCOMPARE(page->reportTester, QStringLiteral("First tester"));
    // Cancelling the third afterwards changes nothing.
    third->findChild<QPushButton *>(QStringLiteral("Cancelbtn"))->click();
    QCOMPARE(report->company, QStringLiteral("First Co"));
    QVERIFY(report->findChild<QTextBrowser *>(QStringLiteral("textBrowser"))->toPlainText().contains(
        QStringLiteral("First Co")));
}

void tst_Report::printDialogCancelled()
{
    QTemporaryDir dir;
    page->appendRow(sampleRow());
    ReportPageForTesk *report = openReport(0);
    QVERIFY(report);
    int setups = 0;
    modal->answerPrint(QDialog::Rejected, [&setups](QPrinter *) { ++setups; });
    report->findChild<QPushButton *>(QStringLiteral("PrintReportbtn"))->click();
    QCOMPARE(modal->calls(ModalKind::Print).size(), 1);
    QCOMPARE(setups, 0);
    QVERIFY(report->isVisible());
    QCOMPARE(modal->calls(ModalKind::Warning).size(), 0);
    QVERIFY(QDir(dir.path()).isEmpty());
}

void tst_Report::printDialogToPdf()
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    page->appendRow(sampleRow());
    ReportPageForTesk *report = openReport(0);
    QVERIFY(report);
    int resolution = 0;
    modal->answerPrint(QDialog::Accepted, [&](QPrinter *printer) {
        resolution = printer->resolution();
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdf);
    });
    report->findChild<QPushButton *>(QStringLiteral("PrintReportbtn"))->click();
    QCOMPARE(modal->calls(ModalKind::Print).size(), 1);
    QCOMPARE(modal->calls(ModalKind::Warning).size(), 0);
    // The printer works at screen resolution.
    QCOMPARE(resolution, QPrinter(QPrinter::ScreenResolution).resolution());
    QVERIFY(QFileInfo(pdf).size() > 0);
    const QString text = pdfWords(pdf);
    QVERIFY2(text.contains(QStringLiteral("TestReport")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("A<B&C")), qPrintable(text));
    QVERIFY(report->isVisible());
}

void tst_Report::pdfText_data()
{
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<QStringList>("expected");
    // White space removed on both sides: pdftotext places it as the layout does.
    QTest::newRow("English") << false
                             << QStringList{"TestReport", "Device:", "UnKnowColorimeter", "SN:", "4711",
                                            "Company:", "ACME", "SampleName:", "A<B&C", "△Eformula:", "△E*ab",
                                            "△EThresholds:", "TestTime:", "TestData", "Standard", "Sample",
                                            "296.6", "-1.6", "-1.25", "Result", "PASS", "Tester:", "Li",
                                            "Auditor:", "Wu"};
    QTest::newRow("Chinese") << true
                             << QStringList{"TestReport1", "测试设备:", "UnKnowColorimeter", "SN号:", "公司名称:",
                                            "ACME", "样品名称:", "A<B&C", "△E公式:", "△E阀值:", "测试时间:",
                                            "测试数据(TestData)", "标准色", "样品色", "结果", "PASS",
                                            "测试人(Tester):", "Li", "审核人(Auditor):", "Wu"};
}

void tst_Report::pdfText()
{
    QFETCH(bool, chinese);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    page->isChinese = chinese;
    page->reportCompany = QStringLiteral("ACME");
    page->reportTester = QStringLiteral("Li");
    page->reportAuditor = QStringLiteral("Wu");
    page->appendRow(sampleRow());
    ReportPageForTesk *report = openReport(0);
    QVERIFY(report);

    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    QVERIFY(report->printTo(&printer));
    const QString text = pdfWords(pdf);
    for (const QString &word : expected)
        QVERIFY2(text.contains(word), qPrintable(word + QStringLiteral(" not in: ") + text));
}

void tst_Report::printFailureIsReported()
{
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("no such folder/report.pdf"));
    page->appendRow(sampleRow());
    ReportPageForTesk *report = openReport(0);
    QVERIFY(report);
    modal->answerPrint(QDialog::Accepted, [&](QPrinter *printer) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdf);
    });
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^printing failed: ")));
    report->findChild<QPushButton *>(QStringLiteral("PrintReportbtn"))->click();
    QVERIFY(!QFile::exists(pdf));
    const QList<ModalCall> warnings = modal->calls(ModalKind::Warning);
    QCOMPARE(warnings.size(), 1);
    QCOMPARE(warnings.at(0).title, QStringLiteral("Error"));
    QCOMPARE(warnings.at(0).text, QStringLiteral("The report could not be printed."));
    QVERIFY(report->isVisible());
}

void tst_Report::printSuggestion_data()
{
    QTest::addColumn<QString>("before");     // what the print before this one did
    QTest::addColumn<bool>("documents");     // whether the user has a documents folder
    QTest::addColumn<QString>("expected");   // where the suggested file lies: documents, home, last
    QTest::newRow("first report") << "" << true << "documents";
    QTest::newRow("first report, no documents folder") << "" << false << "home";
    QTest::newRow("after a PDF") << "pdf" << true << "last";
    QTest::newRow("after a PDF whose folder is gone") << "pdf, folder gone" << true << "documents";
    QTest::newRow("after a cancelled dialog") << "cancelled" << true << "documents";
    QTest::newRow("after a print that failed") << "failed" << true << "documents";
}

void tst_Report::printSuggestion()
{
    QFETCH(QString, before);
    QFETCH(bool, documents);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString last = dir.filePath(QStringLiteral("last"));
    QVERIFY(QDir().mkpath(last));
    if (!documents)
        QVERIFY(QDir(userDirs.filePath(QStringLiteral("Documents"))).removeRecursively());
    page->appendRow(sampleRow());
    ReportPageForTesk *report = openReport(0);
    QVERIFY(report);
    // One click on Print; the user takes what the dialog offers, then chooses file as the PDF.
    QString suggested, docName;
    auto print = [&](int answer, const QString &file) {
        modal->answerPrint(answer, [&, file](QPrinter *printer) {
            suggested = printer->outputFileName();
            docName = printer->docName();
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(file);
        });
        report->findChild<QPushButton *>(QStringLiteral("PrintReportbtn"))->click();
    };

    if (before == QStringLiteral("cancelled"))
        print(QDialog::Rejected, QString());
    if (before.startsWith(QStringLiteral("pdf")))
        print(QDialog::Accepted, last + QStringLiteral("/chosen.pdf"));
    if (before.endsWith(QStringLiteral("gone")))
        QVERIFY(QDir(last).removeRecursively());
    if (before == QStringLiteral("failed")) {
        // A file name that is a folder: no printer can open it, whoever runs the test.
        QVERIFY(QDir().mkpath(last + QStringLiteral("/taken.pdf")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^printing failed: ")));
        print(QDialog::Accepted, last + QStringLiteral("/taken.pdf"));
        QCOMPARE(modal->calls(ModalKind::Warning).size(), 1);
    }

    const QString pdf = dir.filePath(QStringLiteral("printed.pdf"));
    print(QDialog::Accepted, pdf);
    const QString title = report->reportTitle();
    QVERIFY2(QRegularExpression(QStringLiteral("^Report_\\d{14}$")).match(title).hasMatch(), qPrintable(title));
    QCOMPARE(docName, title);
    const QString folder = expected == QStringLiteral("last") ? last
        : expected == QStringLiteral("home")                  ? QDir::homePath()
                                                               : userDirs.filePath(QStringLiteral("Documents"));
    QCOMPARE(suggested, QDir(folder).filePath(title + QStringLiteral(".pdf")));
    // Whichever file the user chose, the PDF carries the report's title.
    QCOMPARE(pdfTitle(pdf), title);
}

QTEST_MAIN(tst_Report)
#include "tst_report.moc"
