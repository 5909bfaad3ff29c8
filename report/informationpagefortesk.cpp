#include "informationpagefortesk.h"

#include "reportpagefortesk.h"
#include "ui_informationpagefortesk.h"

InformationPageForTesk::InformationPageForTesk(ReportPageForTesk *report)
    : QDialog(report), ui(new Ui::InformationPageForTesk), m_report(report)
{
    ui->setupUi(this);
    // Lives from the click until it is closed.
    setAttribute(Qt::WA_DeleteOnClose);
    // The first entry the user can type in.
    ui->CompanyEdit->setFocus();
}

InformationPageForTesk::~InformationPageForTesk()
{
    delete ui;
}

void InformationPageForTesk::loadFromReport()
{
    ui->DeviceEdit->setText(m_report->deviceText);
    ui->serialNoEdit->setText(m_report->serialNumber);
    ui->CompanyEdit->setText(m_report->company);
    ui->SampleNameEdit->setText(m_report->sampleName);
    ui->FormulaEdit->setText(m_report->formulaText);
    ui->ThresholdsEdit->setText(m_report->thresholdText);
    ui->TestTimeEdit->setText(m_report->testTime);
    ui->TesterEdit->setText(m_report->tester);
    ui->AuditorEdit->setText(m_report->auditor);
    // Long names start at their beginning, not scrolled to their end.
    for (QLineEdit *edit : findChildren<QLineEdit *>())
        edit->setCursorPosition(0);
}

void InformationPageForTesk::on_Okbtn_clicked()
{
    // Taken as typed, empty ones included: clearing a field clears it in the report.
    m_report->company = ui->CompanyEdit->text();
    m_report->tester = ui->TesterEdit->text();
    m_report->auditor = ui->AuditorEdit->text();
    m_report->rebuildReport();
    m_report->storeToPage();
    close();
}

void InformationPageForTesk::on_Cancelbtn_clicked()
{
    close();
}
