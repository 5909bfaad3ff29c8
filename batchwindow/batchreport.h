#pragma once

#include "batchsnapshot.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

class QPrinter;

// The batch report of the rows a batch window shows: a heading (device, serial number, formula,
// threshold, first and last time, company, tester, auditor), the statistics, the a*b* plot with
// its contour and the ΔL* chart as vector graphics, and the rows as a table that runs over as
// many pages as it needs, its header repeated on every page. In the language of the interface.
class BatchReport
{
    Q_DECLARE_TR_FUNCTIONS(BatchReport)
public:
    // False when the printer could not be opened (a PDF file that cannot be written).
    static bool print(QPrinter *printer, const BatchSnapshot &snapshot);

    // The heading's fields as label and value, in the order printed.
    static QList<QPair<QString, QString>> heading(const BatchSnapshot &snapshot);
    // The texts of one row of the table of rows, in column order, and the column titles.
    static QStringList columnTitles();
    static QStringList rowTexts(const BatchSnapshot &snapshot, int row);
    // The counts line under the statistics ("Rows judged: 9" ...), as label and value.
    static QList<QPair<QString, QString>> counts(const BatchSnapshot &snapshot);
};
