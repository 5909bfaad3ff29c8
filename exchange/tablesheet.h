#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <array>

// The layout of the measurement table in a spreadsheet: 19 columns under one header row, every
// cell the text the table shows. The page's export writes it, its import reads it back by
// position, and the history's export writes the same, so that a sheet from either is imported
// alike.
namespace tablesheet {

constexpr int kColumns = 19;

// The header row is chosen by the interface language, not translated: the files are read back
// by position, and people open them in other programs.
QString headerText(int column, bool chinese);
QList<QVariant> header(bool chinese);

// One row's values, as the table keeps them.
struct Values
{
    double sequence = 0;
    QString deviceName;
    QString serialNumber;
    QString testName;
    QString timeText;
    std::array<double, 5> standard{}; // L*, a*, b*, C*, h
    std::array<double, 5> sample{};
    QString formulaText;
    QString thresholdText;
    double deltaE = 0; // not a number: no ΔE
    QString verdict;
};

// A number as the table shows it: fixed decimals (two, one for hue angles), and "-----" for a
// value that is not a number.
QString numberText(double value, int decimals);
// The 19 cell texts of a row, in sheet order.
QList<QVariant> cells(const Values &values);

} // namespace tablesheet
