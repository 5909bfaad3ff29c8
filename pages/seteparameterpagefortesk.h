#pragma once

#include <QDialog>

class QButtonGroup;

namespace Ui {
class setEParameterPageForTesk;
}

// Asks for the ΔE formula and pass threshold and writes them into the instrument. It opens with
// the formula and threshold the page read from the instrument (ΔE*ab and an empty threshold
// while they are unknown).
class setEParameterPageForTesk : public QDialog
{
    Q_OBJECT
public:
    explicit setEParameterPageForTesk(QWidget *parent = nullptr);
    ~setEParameterPageForTesk() override;

    // Whole tenths of a typed threshold, so that a value with at most one decimal gives exactly
    // its tenths (2.3 gives 23, 0.7 gives 7) and further decimals are cut (2.35 gives 23).
    static int thresholdTenths(float value);
    // The threshold as the dialog reads it: single precision, 0 for text that is no number.
    static float parseThreshold(const QString &text);
    static bool thresholdInRange(float value);

    QButtonGroup *formulaGroup;
    Ui::setEParameterPageForTesk *ui;

public slots:
    void on_Okbtn_clicked();
    void on_Cancelbtn_clicked();
};
