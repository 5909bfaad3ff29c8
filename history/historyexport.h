#pragma once

#include "historyfilter.h"
#include "historyrow.h"
#include "tablesheet.h"

#include <QCoreApplication>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <functional>

class HistoryTaskControl;

// Which stored rows an export takes: exactly the rows of ids when there are any (a selection in
// the history window), otherwise every row the filter lets through. Always in the order stored.
struct HistorySelection
{
    HistoryFilter filter;
    QList<qint64> ids;
};

// Calls each for every row of the selection, read as it goes (never all at once); each returns
// false to stop. False when the history could not be read (error says why, the database's words).
bool forEachHistoryRow(const QSqlDatabase &db, const HistorySelection &selection,
                       const std::function<bool(const HistoryRow &)> &each, QString *error);

// A stored row as the measurement table keeps it.
tablesheet::Values historySheetValues(const HistoryRow &row);

// The history's rows written out for other programs. Every file is written whole to a
// temporary file beside the target and renamed over it only when complete: a failed export
// leaves an old file as it was. errorText() says what went wrong, in the user's words.
class HistoryExport
{
    Q_DECLARE_TR_FUNCTIONS(HistoryExport)
public:
    explicit HistoryExport(const QSqlDatabase &db) : m_db(db) {}

    // CSV (RFC 4180, UTF-8, CRLF): a header row, then one line per row: the table's 19 columns
    // as the table shows them, then the time it was stored (ISO 8601, UTC), its origin and, for
    // an imported row, the file it came from.
    bool writeCsv(const HistorySelection &selection, const QString &path);
    // CGATS.17, two files of the same rows under the same SAMPLE_IDs (the rows' ids in the
    // history): the standards and the samples, SAMPLE_ID, SAMPLE_NAME (the test name), LAB_L,
    // LAB_A, LAB_B, with the ΔE formula and threshold as the keywords DELTA_E_FORMULA and
    // DELTA_E_THRESHOLD ("mixed" when the rows were not all judged alike).
    bool writeCgats(const HistorySelection &selection, const QString &standardsPath, const QString &samplesPath);
    // The measurement table's spreadsheet layout (.xls, or .xlsx by the name's extension), which
    // the table's import reads back: header row in the interface's language, then the rows.
    bool writeSheet(const HistorySelection &selection, const QString &path, bool chinese);

    // Rows written by the last call that succeeded.
    qint64 rowsWritten() const { return m_rows; }
    QString errorText() const { return m_error; }

    // On a worker thread: how far the rows are read (of total) goes to control, and an export
    // asked to stop ends without writing anything (cancelled() is then true).
    void setControl(HistoryTaskControl *control, qint64 total)
    {
        m_control = control;
        m_total = total;
    }
    bool cancelled() const { return m_cancelled; }

private:
    bool failWith(const QString &text);
    // After each row read: false when the export is to stop.
    bool tick(qint64 rows);
    void begin();

    QSqlDatabase m_db;
    qint64 m_rows = 0;
    QString m_error;
    HistoryTaskControl *m_control = nullptr;
    qint64 m_total = 0;
    bool m_cancelled = false;
};
