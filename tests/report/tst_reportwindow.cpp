// The report as the application opens it: the page's Report button through the main window, and
// the report's two variants with the shipped translation files across language switches.
#include "devicewatcher.h"
#include "firstpagefortesk.h"
#include "hidaccess.h"
#include "informationpagefortesk.h"
#include "mainwindow.h"
#include "reportpagefortesk.h"
#include "scriptedmodal.h"
#include "testsupport.h"
#include "virtualinstrument.h"

#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

class tst_ReportWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void reportButtonOpensAWindow();
    void variantsAcrossLanguageSwitches();

private:
    ReportPageForTesk *clickReport(int row);
    void switchTo(const char *button);
    static QString shown(ReportPageForTesk *report)
    {
        return report->findChild<QTextBrowser *>(QStringLiteral("textBrowser"))->toPlainText();
    }
    static void confirmInformation(ReportPageForTesk *report);

    VirtualInstrument *vi = nullptr;
    MainWindow *w = nullptr;
};

void tst_ReportWindow::init()
{
    vi = new VirtualInstrument;
    hidaccess::setDefaultBackend(vi);
    w = MainWindow::instance();
}

void tst_ReportWindow::cleanup()
{
    MainWindow::destroyInstance();
    w = nullptr;
    hidaccess::setDefaultBackend(nullptr);
    delete vi;
}

ReportPageForTesk *tst_ReportWindow::clickReport(int row)
{
    const auto before = w->page->findChildren<ReportPageForTesk *>();
    testsupport::clickRowButton(w->page, row, FirstPageForTesk::ColReport);
    for (ReportPageForTesk *r : w->page->findChildren<ReportPageForTesk *>())
        if (!before.contains(r))
            return r;
    return nullptr;
}

void tst_ReportWindow::switchTo(const char *button)
{
    QTest::mouseClick(w->findChild<QPushButton *>(QString::fromLatin1(button)), Qt::LeftButton);
}

void tst_ReportWindow::confirmInformation(ReportPageForTesk *report)
{
    report->findChild<QPushButton *>(QStringLiteral("Informationbtn"))->click();
    InformationPageForTesk *dialog = report->findChildren<InformationPageForTesk *>().last();
    dialog->findChild<QPushButton *>(QStringLiteral("Okbtn"))->click();
}

void tst_ReportWindow::reportButtonOpensAWindow()
{
    MeasurementRecord row;
    row.testName = QStringLiteral("Comp1");
    row.deviceName = QStringLiteral("UnKnow");
    row.verdict = QStringLiteral("PASS");
    w->page->appendRow(row);
    ReportPageForTesk *first = clickReport(0);
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QCOMPARE(first->sampleName, QStringLiteral("Comp1"));
    QCOMPARE(first->deviceText, QStringLiteral("UnKnow Colorimeter"));
    // Each click opens another, independent window.
    ReportPageForTesk *second = clickReport(0);
    QVERIFY(second && second != first);
    QCOMPARE(w->page->findChildren<ReportPageForTesk *>().size(), 2);
}

void tst_ReportWindow::variantsAcrossLanguageSwitches()
{
    QTemporaryDir dir;
    const QString old = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    QVERIFY(QFile::copy(QStringLiteral(COLORIMETER_QM_DIR "/Pelmo_en.qm"), dir.filePath("Pelmo_en.qm")));
    QVERIFY(QFile::copy(QStringLiteral(COLORIMETER_QM_DIR "/Pelmo_zh.qm"), dir.filePath("Pelmo_zh.qm")));

    MeasurementRecord row;
    row.testName = QStringLiteral("Comp1");
    row.deviceName = QStringLiteral("UnKnow");
    row.verdict = QStringLiteral("PASS");
    w->page->appendRow(row);

    switchTo("btnLanguageZh");
    QVERIFY(w->page->isChinese);
    ReportPageForTesk *chinese = clickReport(0);
    QVERIFY(chinese);
    // The translation gives the large title; the English one stays beneath it.
    const QString doc = chinese->buildChineseReport();
    QVERIFY2(doc.contains(QStringLiteral("font-size: 25.0pt\">测试报告</span>")), qPrintable(doc.left(400)));
    QVERIFY(doc.contains(QStringLiteral("font-size: 18.0pt\">Test Report</span>")));
    QCOMPARE(chinese->windowTitle(), QStringLiteral("报告"));
    QCOMPARE(chinese->findChild<QPushButton *>(QStringLiteral("PrintReportbtn"))->text(), QStringLiteral("打印"));
    QVERIFY(shown(chinese).contains(QStringLiteral("测试设备: ")));

    switchTo("btnLanguageEn");
    QVERIFY(!w->page->isChinese);
    ReportPageForTesk *english = clickReport(0);
    QVERIFY(english);
    QVERIFY(shown(english).startsWith(QStringLiteral("Test Report")));
    QVERIFY(shown(english).contains(QStringLiteral("Device: ")));
    // The Chinese report, rebuilt under the English interface, is still wholly Chinese.
    confirmInformation(chinese);
    QVERIFY2(shown(chinese).startsWith(QStringLiteral("测试报告")), qPrintable(shown(chinese)));
    QVERIFY(shown(chinese).contains(QStringLiteral("标准色")));

    // And the English report, rebuilt under the Chinese interface, wholly English.
    switchTo("btnLanguageZh");
    confirmInformation(english);
    QVERIFY2(shown(english).startsWith(QStringLiteral("Test Report")), qPrintable(shown(english)));
    for (const char *label : {"Device: ", "Company:", "Test Data", "Standard", "Sample", "Result", "Tester:", "Auditor:"})
        QVERIFY2(shown(english).contains(QString::fromUtf8(label)), label);
    QVERIFY(!shown(english).contains(QStringLiteral("设备")));
    QVERIFY(QDir::setCurrent(old));
}

QTEST_MAIN(tst_ReportWindow)
#include "tst_reportwindow.moc"
