#pragma once

#include <QString>

#include <array>

// Where a stored row came from.
enum class HistoryOrigin { Measured, Pushed, Downloaded, Imported };

// What became of a stored row. Nothing is ever removed from the history: a row the table loses
// is marked. NotRestored: the row was in the table of a run that did not end, and the user chose
// not to put it back; it is in no table.
enum class HistoryRowState { InTable, Deleted, Cleared, Exported, NotRestored };

// One row of the measurement table as the history keeps it: everything the row shows, plus
// the ΔE formula index and threshold it was judged with and where it came from.
struct HistoryRow
{
    qint64 id = 0; // given by the store, this file's own key
    QString uuid;  // made by the store when the row is stored: the row's key wherever it is copied
    qint64 runId = 0;
    QString desk;     // the desk that stored it (machine id and login name)
    QString storedAt; // when it came into the history, ISO 8601 UTC
    HistoryRowState state = HistoryRowState::InTable;
    HistoryOrigin origin = HistoryOrigin::Measured;
    QString originFile; // the imported file

    double sequence = 0;
    QString testName;
    QString timeText;
    std::array<double, 5> standard{}; // L*, a*, b*, C*, h
    std::array<double, 5> sample{};   // L*, a*, b*, C*, h
    double deltaE = 0;
    QString verdict; // as shown
    // 1 PASS, 0 NG, -1 neither (an imported row without a verdict): the verdict whatever the
    // language it was shown in.
    int passed = -1;
    QString formulaText;
    QString thresholdText;
    QString deviceName;
    QString serialNumber;
    int formulaIndex = -1;   // -1: not known (not read from the instrument, or imported)
    double threshold = -1.0; // -1.0: not known
};

QString historyOriginName(HistoryOrigin origin);
QString historyStateName(HistoryRowState state);
// The value whose stored name is name; false when the name is not known.
bool historyOriginFromName(const QString &name, HistoryOrigin *origin);
bool historyStateFromName(const QString &name, HistoryRowState *state);
