#pragma once

#include <QDialog>

class ReportPageForTesk;

namespace Ui {
class InformationPageForTesk;
}

// Completes a report: shows its nine heading entries and lets the user type company, tester and
// auditor. Ok hands them to the report (rebuilt at once) and to the page (kept for later
// reports); Cancel changes nothing. Not modal; any number may be open on one report.
class InformationPageForTesk : public QDialog
{
    Q_OBJECT
public:
    explicit InformationPageForTesk(ReportPageForTesk *report);
    ~InformationPageForTesk() override;

    void loadFromReport();

    Ui::InformationPageForTesk *ui;

public slots:
    void on_Okbtn_clicked();
    void on_Cancelbtn_clicked();

private:
    ReportPageForTesk *m_report;
};
