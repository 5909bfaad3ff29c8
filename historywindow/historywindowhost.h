#pragma once

#include "historyrow.h"
#include "historystore.h"

#include <QList>
#include <QString>

// What the history window needs from the program around it: where the history is, the head of
// its chain as kept outside the file, and the two actions that reach the measurement table and
// the report. The application's history controller is it; tests may give another.
class HistoryWindowHost
{
public:
    virtual ~HistoryWindowHost();

    // The history file; empty while the history is off.
    virtual QString historyFile() const = 0;
    // The chain's head as kept outside the file, brought up to date first (see "Check history").
    virtual HistoryChainHead chainHeadForCheck() = 0;
    // Puts the stored rows (by id) into the measurement table. The number of rows put; -1 when the
    // history could not be written (the host has told the user). inTable: rows left out because
    // they are in the table already.
    virtual int putIntoTable(const QList<qint64> &ids, int *inTable) = 0;
    // Opens the test report window on one stored row.
    virtual void openReport(const HistoryRow &row) = 0;
    // Whether the sheets' header row is written in Chinese (the interface's language).
    virtual bool chineseSheets() const = 0;
};
