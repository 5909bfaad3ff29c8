#pragma once

#include <QDialog>
#include <QString>

#include <array>

class FirstPageForTesk;
class QPrinter;

namespace Ui {
class ReportPageForTesk;
}

// The test report of one table row: an HTML document in a text browser, English or Chinese as
// the interface was when the window opened. A snapshot: it copies the row and the report
// information once and never looks at the table again.
class ReportPageForTesk : public QDialog
{
    Q_OBJECT
public:
    // page is the parent; the row comes from its reportSource.
    explicit ReportPageForTesk(FirstPageForTesk *page);
    ~ReportPageForTesk() override;

    // Opens a report window on page->reportSource: not modal, freed when closed.
    static ReportPageForTesk *openFor(FirstPageForTesk *page);

    void loadFromPage();
    // Builds the document of the variant chosen at construction and shows it.
    void rebuildReport();
    // Hands company, tester and auditor to the page for the reports opened later.
    void storeToPage();
    QString buildEnglishReport() const;
    QString buildChineseReport() const;

    // The document's title, "Report_" and the time of the last rebuild: the name a printed
    // PDF carries and the name the print dialog suggests for the file.
    QString reportTitle() const;

    // Prints the document as the browser holds it, named by reportTitle(). False when the
    // printer could not be used (a PDF file that cannot be written, a printer that went away):
    // nothing was printed.
    bool printTo(QPrinter *printer);

    QString sampleName;
    QString testTime;
    QString formulaText;
    QString thresholdText;
    QString deviceText;
    QString serialNumber;
    QString company;
    QString tester;
    QString auditor;
    Ui::ReportPageForTesk *ui;
    std::array<double, 5> standardValues{}; // L*, a*, b*, C*, h
    std::array<double, 5> sampleValues{};
    double deltaE = 0;
    QString verdict;
    // Sample minus standard; the hue difference wrapped into (-180, 180] as the page's panel
    // shows it.
    std::array<double, 5> differenceValues{};
    bool isChinese = false;

public slots:
    void on_PrintReportbtn_clicked();
    void on_Informationbtn_clicked();

private:
    void suggestPrintFile(QPrinter *printer) const;
    void rememberPrintDestination(const QPrinter &printer) const;
    QString dataTable(const QString &standardLabel, const QString &sampleLabel,
                      const QString &resultLabel) const;
    FirstPageForTesk *m_page;
};
