#pragma once

#include "historyrow.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

// What the history window shows of the stored rows: every condition empty or "any" by default.
struct HistoryFilter
{
    enum class Verdict { Any, Pass, Ng, NotJudged };

    QString storedFrom;   // ISO 8601 UTC, the first moment shown; empty: from the start
    QString storedUntil;  // ISO 8601 UTC, the first moment no longer shown; empty: until now
    QString nameContains; // the test name contains it (letters A to Z in either case)
    QString serialNumber; // the instrument's serial number, exactly
    QString desk;         // the desk that stored the row (machine id and login name), exactly
    Verdict verdict = Verdict::Any;
    int origin = -1;      // a HistoryOrigin, -1: any
    int state = -1;       // a HistoryRowState, -1: any
    QList<qint64> runs;   // the rows of these runs; empty: of any run

    bool operator==(const HistoryFilter &other) const;
};

// The filter as SQL on measurements (alias m): " WHERE ..." (empty when it lets everything
// through) and the values to bind, in order.
//
// Every condition is served by an index of the layout: the time range by the time stored, the
// serial number, verdict, origin and state by an index each that also keeps the rows in the
// order of the time stored (the desk too), the runs by (run_id, ...). "Contains" cannot be served by a B-tree:
// a text of three or more characters is looked up in the trigram index of the names first; when
// it is found in few rows (under kCommonName) the rows are taken from there, and when it is
// common the rows are walked in the order shown, where a page of matches comes within the first
// few thousand. A text of one or two characters is always walked so.
struct HistoryWhere
{
    static constexpr int kCommonName = 20000;
    QString sql;
    QVariantList binds;
    bool ok = true; // false when the look-up in the names index failed (the error is db's)
};
HistoryWhere historyWhere(const HistoryFilter &filter, const QSqlDatabase &db);

// A text as a LIKE pattern that matches it anywhere, with \ escaping % and _ (ESCAPE '\').
QString historyContainsPattern(const QString &text);
