#pragma once

#include "historyreader.h"
#include "historyrow.h"
#include "historystore.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

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

    // The laboratory's server that holds every desk's history; onServer false when none is set.
    virtual HistorySource serverHistory() const { return HistorySource(); }
    // This desk (machine id and login name): the rows it measured are its own.
    virtual QString thisDesk() const { return QString(); }
    // "Check history" on the server: the head this desk's chain must reach there (what the
    // server confirmed of it), by chain id; ownChain gets this file's chain id.
    virtual QHash<QString, HistoryChainHead> serverHeadsForCheck(QString *ownChain)
    {
        Q_UNUSED(ownChain)
        return {};
    }
    // Puts this desk's rows, found on the server, into the table: by their UUIDs, through the
    // rows of the file that are the same rows. As putIntoTable; notHere: rows this file no
    // longer holds (removed once the server had them).
    virtual int putIntoTableByUuid(const QStringList &uuids, int *inTable, int *notHere)
    {
        Q_UNUSED(uuids)
        if (inTable)
            *inTable = 0;
        if (notHere)
            *notHere = 0;
        return -1;
    }
};
