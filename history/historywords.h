#pragma once

#include "historyevents.h"
#include "historyrow.h"

#include <QCoreApplication>
#include <QString>

// The history's stored names (origin, state, how a run ended, the kind of an event) as the user
// reads them, in the interface's language.
class HistoryWords
{
    Q_DECLARE_TR_FUNCTIONS(HistoryWords)
public:
    static QString origin(HistoryOrigin origin);
    // An imported row's origin with the file it came from.
    static QString origin(HistoryOrigin origin, const QString &file);
    static QString state(HistoryRowState state);
    // runs.end_reason: exported, cleared, closed, restored, not_restored; empty while it runs.
    static QString runEnd(const QString &reason);
    static QString eventKind(HistoryEventKind kind);
};
