#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <vector>

// One row of the measurement table, as the page's flows hand it to appendRow.
struct MeasurementRecord
{
    double sequence = 0;
    QString testName;
    QString timeText;
    std::array<double, 5> standard{}; // L*, a*, b*, C*, h
    std::array<double, 5> sample{};   // L*, a*, b*, C*, h
    double deltaE = 0; // not a number: no ΔE (shown as "-----")
    QString verdict;
    QString formulaText;
    QString thresholdText;
    QString deviceName;
    QString serialNumber;
};

// The rows of the measurement table: the one store of them. Each row is a MeasurementRecord
// kept at the precision the table shows (two decimals, one for the hue angles), so that whoever
// reads a row (export, report, re-judging, the history, the batch and history windows) takes
// the numbers the user sees without parsing a text. The page changes the rows; everybody else
// reads them through a const model and the standard model signals: rowsInserted once per append
// or batch, rowsRemoved on a deletion, dataChanged on a test-name edit, a re-judging or a
// language switch, modelReset on Clear.
class MeasurementModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // The 21 columns of the table; 15 and 16 hold the row buttons, 17 to 20 are hidden.
    enum Column {
        ColNo = 0,
        ColTestName = 1,
        ColTime = 2,
        ColStandardL = 3, // .. 7: L*, a*, b*, C*, h
        ColSampleL = 8,   // .. 12
        ColDeltaE = 13,
        ColVerdict = 14,
        ColDelete = 15,
        ColReport = 16,
        ColFormula = 17,
        ColThreshold = 18,
        ColDeviceName = 19,
        ColSerialNumber = 20,
        ColumnCount = 21,
    };

    explicit MeasurementModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // The test name is the one cell a user edits (its editor commits here).
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // Row row (0 <= row < rowCount()) as the table shows it.
    const MeasurementRecord &record(int row) const;
    // The text of a cell as the table shows it; empty for the button columns and outside.
    QString text(int row, int column) const;
    static QString text(const MeasurementRecord &record, int column);
    // A record with its numbers at the precision the table keeps them (as a row appended holds
    // them): for a reader of a row kept elsewhere at full precision, the history's.
    static MeasurementRecord asShown(MeasurementRecord record);
    // The number a record keeper attached to the row; 0 when none.
    qint64 key(int row) const;

    // ---- changes, made by the page ----
    // Adds rows at the end in one insertion; returns the first new row.
    int append(const MeasurementRecord &record);
    int append(const QList<MeasurementRecord> &records);
    void remove(int row);
    void clear();
    void setKey(int row, qint64 key);
    // Changes every row in one step; the columns firstColumn..lastColumn are told as changed.
    void changeAll(const std::function<void(MeasurementRecord &)> &change, int firstColumn, int lastColumn);

signals:
    // The user edited the test name of row (through the table's editor).
    void testNameEdited(int row, const QString &name);

private:
    struct Row
    {
        MeasurementRecord record;
        qint64 key = 0;
        bool ng = false; // the verdict was the NG word of the language when it was set
    };
    static Row rowFor(MeasurementRecord record, const QString &ngWord);

    std::vector<Row> m_rows;
};

// A number at the precision the table shows it with format 'f' and the given decimals: what
// reading the shown text back would give.
double shownValue(double value, int decimals);
