#include "reportpagefortesk.h"

#include "deltae.h"
#include "firstpagefortesk.h"
#include "informationpagefortesk.h"
#include "modal.h"
#include "ui_reportpagefortesk.h"
#include "usersettings.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPrinter>
#include <QScreen>
#include <QStandardPaths>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcReport, "colorimeter.report")

namespace {

// Every text that goes into the document is escaped: test names are typed or imported from
// files, company, tester and auditor are typed, and "A<B" must show as itself.
QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

QString number(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("-----"); // a row not judged has no ΔE
    if (value == 0)
        value = 0; // a hue difference of a full turn comes out as -0: written 0 like any other zero
    return QStringLiteral("%1").arg(QString::number(value, 'g', 6));
}

QString cell(int width, const QString &contents)
{
    return QStringLiteral("<td width=\"%1%\">").arg(width) + contents + QStringLiteral("</td>");
}

QString centredCell(int width, const QString &contents)
{
    return QStringLiteral("<td width=\"%1%\" align=\"center\">").arg(width) + contents + QStringLiteral("</td>");
}

QString tableStart(int border)
{
    return QStringLiteral("<table width=\"100%\" border=\"%1\" cellspacing=0>").arg(border);
}

const QString kTableEnd = QStringLiteral("</table>");
const QString kRowStart = QStringLiteral("<tr>");
const QString kRowEnd = QStringLiteral("</tr>");
const QString kBreak = QStringLiteral("<br />");
const QString kRule = QStringLiteral("<hr/>");

QString titleParagraph(const QString &size, const QString &text)
{
    return QStringLiteral("<p class=\"MsoNormal\" align=\"center\" style=\"text-align: center\">"
                          "<span lang=\"EN-US\" style=\"font-size: %1\">")
               .arg(size)
        + text + QStringLiteral("</span></p>");
}

QString documentStart()
{
    return QStringLiteral("<html><head><meta http-equiv=Content-Type content=\"text/html;charset=gb2312\"><title>")
        + QStringLiteral("Report_") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss"))
        + QStringLiteral("</title></head><body>");
}

const QString kDocumentEnd = QStringLiteral("</body></html>");

// Where the last printed report went, in the user's settings: the folder of its PDF file and
// whether it went to a file at all.
const QString kPrintFolderKey = QStringLiteral("report/printFolder");
const QString kPrintToFileKey = QStringLiteral("report/printToFile");

// The folder for a report's PDF until the user has printed one into a folder that still exists:
// the user's documents folder, or the home folder where there is none.
QString defaultPrintFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

} // namespace

ReportPageForTesk::ReportPageForTesk(FirstPageForTesk *page)
    : QDialog(page), ui(new Ui::ReportPageForTesk), m_page(page)
{
    ui->setupUi(this);
    loadFromPage();
    rebuildReport();
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (screen)
        resize(700, std::max(200, screen->availableGeometry().height() - 40));
}

ReportPageForTesk::~ReportPageForTesk()
{
    delete ui;
}

ReportPageForTesk *ReportPageForTesk::openFor(FirstPageForTesk *page)
{
    auto *report = new ReportPageForTesk(page);
    // Any number may be open; each goes when its user closes it.
    report->setAttribute(Qt::WA_DeleteOnClose);
    report->show();
    report->raise();
    report->activateWindow();
    return report;
}

void ReportPageForTesk::loadFromPage()
{
    if (!m_page)
        return;
    const ReportSource &row = m_page->reportSource;
    sampleName = row.testName;
    testTime = row.timeText;
    formulaText = row.formulaText;
    thresholdText = row.thresholdText;
    deviceText = row.deviceName + QStringLiteral(" Colorimeter");
    serialNumber = row.serialNumber;
    company = m_page->reportCompany;
    tester = m_page->reportTester;
    auditor = m_page->reportAuditor;
    standardValues = row.standard;
    sampleValues = row.sample;
    deltaE = row.deltaE;
    verdict = row.verdict;
    for (int i = 0; i < 4; ++i)
        differenceValues[i] = sampleValues[i] - standardValues[i];
    differenceValues[4] = hueDifference(standardValues[4], sampleValues[4]);
    isChinese = m_page->isChinese;
}

void ReportPageForTesk::rebuildReport()
{
    const QString html = isChinese ? buildChineseReport() : buildEnglishReport();
    ui->textBrowser->clear();
    ui->textBrowser->setHtml(html);
}

void ReportPageForTesk::storeToPage()
{
    if (!m_page)
        return;
    m_page->reportCompany = company;
    m_page->reportTester = tester;
    m_page->reportAuditor = auditor;
}

// The table of values, the same in both languages but for the headings of its columns and the
// verdict's row.
QString ReportPageForTesk::dataTable(const QString &standardLabel, const QString &sampleLabel,
                                     const QString &resultLabel) const
{
    QString html = tableStart(1);
    const QString labels[5] = {tr("L*"), tr("a*"), tr("b*"), tr("C*"), tr("h")};
    html += kRowStart + centredCell(21, QString()) + centredCell(21, esc(standardLabel))
        + centredCell(21, esc(sampleLabel)) + centredCell(21, esc(tr("△"))) + kRowEnd;
    for (int i = 0; i < 5; ++i)
        html += kRowStart + centredCell(21, esc(labels[i])) + centredCell(21, number(standardValues[i]))
            + centredCell(21, number(sampleValues[i])) + centredCell(21, number(differenceValues[i])) + kRowEnd;
    html += kRowStart + centredCell(21, esc(tr("△E"))) + centredCell(21, QString()) + centredCell(21, QString())
        + centredCell(21, number(deltaE)) + kRowEnd;
    html += kRowStart + centredCell(21, esc(resultLabel)) + centredCell(21, QString()) + centredCell(21, QString())
        + centredCell(21, QStringLiteral("%1").arg(esc(verdict))) + kRowEnd;
    html += kTableEnd;
    return html;
}

QString ReportPageForTesk::buildEnglishReport() const
{
    QString html = documentStart();
    html += titleParagraph(QStringLiteral("25.0pt"), QStringLiteral("Test Report"));
    html += kBreak;

    html += tableStart(0);
    html += kRowStart + cell(15, esc(tr("Device: "))) + cell(33, esc(deviceText) + kRule) + cell(3, QString())
        + cell(20, esc(tr("SN:"))) + cell(25, esc(serialNumber) + kRule) + kRowEnd;
    html += kRowStart + cell(15, esc(tr("Company:"))) + cell(33, esc(company) + kRule) + cell(3, QString())
        + cell(20, esc(tr("Sample Name:"))) + cell(25, esc(sampleName) + kRule) + kRowEnd;
    html += kRowStart + cell(15, esc(tr("△E formula:"))) + cell(33, esc(formulaText) + kRule) + cell(3, QString())
        + cell(20, esc(tr("△E Thresholds:"))) + cell(25, esc(thresholdText) + kRule) + kRowEnd;
    html += kRowStart + cell(15, esc(tr("Test Time:"))) + cell(33, esc(testTime) + kRule) + kRowEnd;
    html += kTableEnd;

    html += kBreak + QStringLiteral("<p>") + esc(tr("Test Data")) + QStringLiteral("</p>");
    html += dataTable(tr("Standard"), tr("Sample"), tr("Result"));

    html += kBreak + kBreak + kBreak;
    html += tableStart(0) + kRowStart + cell(10, esc(tr(" Tester:"))) + centredCell(26, esc(tester) + kRule)
        + cell(10, QString()) + cell(11, esc(tr(" Auditor:"))) + centredCell(25, esc(auditor) + kRule) + kRowEnd
        + kTableEnd;
    html += kDocumentEnd;
    return html;
}

QString ReportPageForTesk::buildChineseReport() const
{
    QString html = documentStart();
    html += titleParagraph(QStringLiteral("25.0pt"), esc(tr("Test Report1")));
    html += titleParagraph(QStringLiteral("18.0pt"), esc(tr("Test Report")));
    html += kBreak;

    html += tableStart(0);
    html += kRowStart + cell(13, esc(tr("测试设备: "))) + cell(33, esc(deviceText) + kRule) + cell(3, QString())
        + cell(13, esc(tr("SN号:"))) + cell(33, esc(serialNumber) + kRule) + kRowEnd + kBreak;
    html += kRowStart + cell(13, esc(tr("公司名称:"))) + cell(33, esc(company) + kRule) + cell(3, QString())
        + cell(13, esc(tr("样品名称:"))) + cell(33, esc(sampleName) + kRule) + kRowEnd + kBreak;
    html += kRowStart + cell(13, esc(tr("△E公式:"))) + cell(33, esc(formulaText) + kRule) + cell(3, QString())
        + cell(13, esc(tr("△E阀值:"))) + cell(33, esc(thresholdText) + kRule) + kRowEnd + kBreak;
    html += kRowStart + cell(13, esc(tr("测试时间:"))) + cell(33, esc(testTime) + kRule) + kRowEnd;
    html += kTableEnd;

    html += kBreak + QStringLiteral("<p>") + esc(tr("测试数据(Test Data)")) + QStringLiteral("</p>");
    html += dataTable(tr("标准色"), tr("样品色"), tr("结果"));

    html += kBreak + kBreak + kBreak;
    html += tableStart(0) + kRowStart + cell(20, esc(tr("测试人(Tester):"))) + centredCell(26, esc(tester) + kRule)
        + cell(3, QString()) + cell(20, esc(tr("审核人(Auditor):"))) + centredCell(25, esc(auditor) + kRule)
        + kRowEnd + kTableEnd;
    html += kDocumentEnd;
    return html;
}

QString ReportPageForTesk::reportTitle() const
{
    return ui->textBrowser->document()->metaInformation(QTextDocument::DocumentTitle);
}

// Left alone, the print dialog offers print.pdf in the home or working folder every time, and
// the PDF carries no title. A report is offered under its own name in the folder the last one
// was printed to.
void ReportPageForTesk::suggestPrintFile(QPrinter *printer) const
{
    const std::unique_ptr<QSettings> settings = openUserSettings();
    QString folder = settings->value(kPrintFolderKey).toString();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = defaultPrintFolder();
    printer->setDocName(reportTitle());
    // A file name ending in .pdf switches the printer to PDF output, so the dialog opens on
    // "Print to File" with this name. Unless the last report went to a file, the system's
    // default printer is chosen again (where there is one); the name stays in the dialog's file
    // field for a user who picks a file after all.
    printer->setOutputFileName(QDir(folder).filePath(reportTitle() + QStringLiteral(".pdf")));
    if (!settings->value(kPrintToFileKey, false).toBool())
        printer->setOutputFormat(QPrinter::NativeFormat);
}

void ReportPageForTesk::rememberPrintDestination(const QPrinter &printer) const
{
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty();
    const std::unique_ptr<QSettings> settings = openUserSettings();
    settings->setValue(kPrintToFileKey, toFile);
    if (toFile)
        settings->setValue(kPrintFolderKey, QFileInfo(printer.outputFileName()).absolutePath());
    settings->sync();
    // Only the next suggestion is lost; the report itself was printed.
    if (settings->status() != QSettings::NoError)
        qCWarning(lcReport) << "the print folder could not be kept in" << settings->fileName();
}

bool ReportPageForTesk::printTo(QPrinter *printer)
{
    printer->setDocName(reportTitle());
    ui->textBrowser->print(printer);
    // The browser's print says nothing when the printer cannot be opened; the printer knows.
    if (printer->printerState() == QPrinter::Error) {
        qCWarning(lcReport) << "printing failed:" << printer->printerName() << printer->outputFileName();
        return false;
    }
    return true;
}

void ReportPageForTesk::on_PrintReportbtn_clicked()
{
    QPrinter printer(QPrinter::ScreenResolution);
    suggestPrintFile(&printer);
    if (Modal::print(&printer, this) != QDialog::Accepted)
        return;
    if (!printTo(&printer)) {
        Modal::warning(this, tr("Error"), tr("The report could not be printed."));
        return;
    }
    rememberPrintDestination(printer);
}

void ReportPageForTesk::on_Informationbtn_clicked()
{
    auto *dialog = new InformationPageForTesk(this);
    dialog->loadFromReport();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
