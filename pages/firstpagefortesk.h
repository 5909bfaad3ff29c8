#pragma once

#include "excelengine.h"
#include "measurementtablemodel.h"
#include "workerhost.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QWidget>

#include <array>

class QItemSelectionModel;
class RbTableHeaderView;

namespace Ui {
class FirstPageForTesk;
}

// Where a table row came from, for whoever keeps a record of the rows.
struct RowOrigin
{
    enum Kind { Measured, Pushed, Downloaded, Imported, Restored };
    Kind kind = Measured;
    QString fileName; // the imported file
};

// Sets where the rows a flow appends come from, for as long as the flow runs.
class RowOriginScope
{
public:
    RowOriginScope(RowOrigin &current, RowOrigin origin) : m_current(current), m_saved(current)
    {
        m_current = std::move(origin);
    }
    ~RowOriginScope() { m_current = m_saved; }
    RowOriginScope(const RowOriginScope &) = delete;
    RowOriginScope &operator=(const RowOriginScope &) = delete;

private:
    RowOrigin &m_current;
    RowOrigin m_saved;
};

// The row handed to a report window: one table row as shown.
using ReportSource = MeasurementRecord;

// The one working page: device fields, ΔE parameters, counters, the colour-difference panel
// and the measurement table.
class FirstPageForTesk : public QWidget
{
    Q_OBJECT
public:
    explicit FirstPageForTesk(QWidget *parent = nullptr);
    ~FirstPageForTesk() override;

    virtual void retranslatePage();
    virtual void retranslateHeader();

    // Columns of the measurement table (the model's).
    enum Column {
        ColNo = MeasurementModel::ColNo,
        ColTestName = MeasurementModel::ColTestName,
        ColTime = MeasurementModel::ColTime,
        ColStandardL = MeasurementModel::ColStandardL, // .. 7: L*, a*, b*, C*, h
        ColSampleL = MeasurementModel::ColSampleL,     // .. 12
        ColDeltaE = MeasurementModel::ColDeltaE,
        ColVerdict = MeasurementModel::ColVerdict,
        ColDelete = MeasurementModel::ColDelete,
        ColReport = MeasurementModel::ColReport,
        ColFormula = MeasurementModel::ColFormula,
        ColThreshold = MeasurementModel::ColThreshold,
        ColDeviceName = MeasurementModel::ColDeviceName,
        ColSerialNumber = MeasurementModel::ColSerialNumber,
        ColumnCount = MeasurementModel::ColumnCount,
    };

    // Adds one row to the table; returns its index.
    int appendRow(const MeasurementRecord &record);
    // Adds rows to the table in one step (one layout, one paint); returns the first new row.
    // The rows are told to record keepers in one rowsAppended before the table is painted.
    int appendRows(const QList<MeasurementRecord> &records);

    // The rows of the table, for whoever shows or reads them (batch and history windows), and
    // the rows the user selected in it (rows of measurementModel()).
    const MeasurementModel *measurementModel() const { return m_model; }
    QItemSelectionModel *measurementSelection() const;

    // Writes the table into a new workbook at a file the user picks and empties the table once
    // the file is saved. True only then: cancelled, refused or failed, the table stays.
    bool exportTable();

    // Judges the pair shown in the panel: differences, words, ΔE, verdict, counters, new row.
    void evaluatePair();
    // Judges the pair shown again with the parameters now in force; no row, no counter.
    void refreshVerdict();
    // Judges every table row again with the parameters now in force and recounts.
    void reevaluateRows();

    // Reads device information and the ΔE parameters after the link has opened.
    void readInstrumentSettings();
    // Serial number, dates, device name and firmware version of the connected instrument.
    void readDeviceIdentity();
    // Reads "meterno.xls" (model code -> device name); 0 when read, -1 otherwise.
    int loadMeterNumbers();
    // The name the meter-number table gives a model code; "UnKnow" when it has none.
    QString deviceNameFor(qint64 modelCode) const;
    // The label of a ΔE formula index ("△E*ab" ...), empty outside 0..5.
    static QString formulaLabel(int formula);

    // The worker of the current connection; its mutex is the link lock. Both are null before
    // the first connection. (References onto the worker host, which owns them.)
    WorkerHost workers;
    QThread *&thread;
    MyThread *&worker;

    int measureTarget = 1; // 1: the next measurement fills the standard column, 2: the sample
    bool standardCaptured = false;
    bool sampleCaptured = false;
    int formulaIndex = -1;  // -1 until read from the instrument
    double threshold = -1.0; // -1.0 until read from the instrument
    int ngCount = 0;
    int passCount = 0;
    int totalCount = 0;
    QString deviceName;
    QByteArray receiveBuffer; // pushed bytes not parsed yet: at most one partial frame
    int testCounter = 0;
    int meterRowCount = 0;
    CellRows meterRows;
    ReportSource reportSource;
    QString reportCompany;
    QString reportTester;
    QString reportAuditor;
    bool isChinese = false;
    RbTableHeaderView *headerView = nullptr;

    Ui::FirstPageForTesk *ui;

    // ---- for whoever keeps a record of the table's rows (the application's history) ----
    // Where the rows appended next come from: Measured unless a flow says otherwise.
    RowOrigin rowOrigin;
    int rowCount() const;
    // A row as the table shows it (numbers at the precision shown); empty outside the table.
    MeasurementRecord rowRecord(int row) const;
    // A number the keeper attaches to a row to find it again; 0 when none.
    void setRowKey(int row, qint64 key);
    qint64 rowKey(int row) const;
    // Puts rows kept elsewhere back at the end of the table, counting their verdicts as the
    // import does; the measured test names go on after testCounter. Returns the first new row.
    int restoreRows(const QList<MeasurementRecord> &rows, int testCounterSoFar);
    // Puts rows kept elsewhere (the history's) at the end of the table as the import takes a
    // file's rows: the time as the import shows it, the verdict in the language in use and
    // counted, numbered by the running total. Returns the first new row.
    int putRows(QList<MeasurementRecord> rows);

signals:
    void rowAppended(int row, const MeasurementRecord &record, const RowOrigin &origin);
    // The rows appendRows added, from first on, as the flow gave them.
    void rowsAppended(int first, const QList<MeasurementRecord> &records, const RowOrigin &origin);
    void rowAboutToBeDeleted(int row);
    void testNameEdited(int row, const QString &name);
    void rowsRejudged();
    void tableCleared();
    void tableExported(const QString &fileName);

public slots:
    int on_readparameterBtn_clicked();
    void on_writeparameterBtn_clicked();
    void readstdmeasurement();
    void readsamplemeasurement();
    void clear();
    void on_ClearBtn_clicked();
    void on_ExportExcelBtn_clicked();
    void on_ImportExcelBtn_clicked();
    void on_BatchBtn_clicked();
    void on_HistoryBtn_clicked();
    void on_stdmeasurementBtn_clicked();
    void on_samplemeasurementBtn_clicked();
    void doubleClickedSlot(int row, int column);
    void openThreadSlot();
    void closeThreadSlot();
    void SaveData(const QByteArray &baData);
    // Transfers between the instrument's libraries, spreadsheets and the table.
    void on_readcolordifrecordBtn_clicked();
    void on_writeStdColorBtn_clicked();
    void on_writeMyColorBtn_clicked();
    void on_readMyColorBtn_clicked();

signals:
    // A Report button was pressed and reportSource holds its row. The application opens the
    // report window on it (report/ sits above this library).
    void reportRequested();
    // The Batch button was pressed. The application opens the batch window on the table's rows
    // (batchwindow/ sits above this library) or brings the open one to the front.
    void batchRequested();
    // The History button was pressed. The application opens the history window (or brings the
    // open one to the front).
    void historyRequested();

public:
    // The row buttons' handlers, for the row whose button was clicked (found from the pointer's
    // position by the table). Not slots: connection by name would look for widgets of these
    // names and warn.
    void on_DeleteBtn_clicked(int row);
    void on_ReportBtn_clicked(int row);

    // A measurement (by command or pushed) is being taken or shown; input to the window waits.
    bool isMeasuring() const { return m_busy; }
    // Whether the formula and threshold in use are known; a pair is judged only then.
    bool parametersKnown() const;

private:
    struct Measurement
    {
        int L = 0, a = 0, b = 0, C = 0, h = 0;
        int r = 0, g = 0, bl = 0;
    };

    void setupPanel();
    void setupTable();
    void resetPanel();
    void resetStyles();
    void resetResultLabel();
    void showCounters();
    // A row from elsewhere as the import takes it: its verdict (recognised from verdictText in
    // either language) in the language in use and counted, numbered by the running total.
    void countAsImported(MeasurementRecord &record, const QString &verdictText);
    void markTarget(int target);
    void setPanelCell(int row, int column, const QString &text, const QColor &color);
    QString panelText(int row, int column) const;
    QString tableText(int row, int column) const;
    void rowButtonClicked(int row, int column);
    bool linkReady();
    void readMeasurementInto(int target);
    void showMeasurement(int target, const Measurement &m);
    void showPushedMeasurement(const Measurement &m);
    void setResult(bool pass);

    void showPendingPushes();
    void showUnknownParameters();
    void fitColumns();
    friend class MeasurementBusy;

    QList<Measurement> m_pushed; // pushed measurements waiting to be shown
    void setupRowRecords();
    MeasurementModel *m_model = nullptr;
    bool m_busy = false;         // a measurement is being taken or shown
    QElapsedTimer m_partialAge;  // since when receiveBuffer holds a partial frame
};
