#include "historywords.h"

#include <QFileInfo>

QString HistoryWords::origin(HistoryOrigin origin)
{
    switch (origin) {
    case HistoryOrigin::Measured: return tr("measured");
    case HistoryOrigin::Pushed: return tr("measured on the instrument");
    case HistoryOrigin::Downloaded: return tr("downloaded");
    case HistoryOrigin::Imported: return tr("imported");
    }
    return QString();
}

QString HistoryWords::origin(HistoryOrigin origin, const QString &file)
{
    if (origin != HistoryOrigin::Imported || file.isEmpty())
        return HistoryWords::origin(origin);
    return tr("imported from %1").arg(QFileInfo(file).fileName());
}

QString HistoryWords::state(HistoryRowState state)
{
    switch (state) {
    case HistoryRowState::InTable: return tr("in the table");
    case HistoryRowState::Deleted: return tr("deleted");
    case HistoryRowState::Cleared: return tr("cleared");
    case HistoryRowState::Exported: return tr("exported");
    case HistoryRowState::NotRestored: return tr("not put back");
    }
    return QString();
}

QString HistoryWords::runEnd(const QString &reason)
{
    if (reason == QLatin1String("exported"))
        return tr("exported");
    if (reason == QLatin1String("cleared"))
        return tr("cleared");
    if (reason == QLatin1String("closed"))
        return tr("closed");
    if (reason == QLatin1String("restored"))
        return tr("put back after a crash");
    if (reason == QLatin1String("not_restored"))
        return tr("not put back after a crash");
    return reason.isEmpty() ? tr("running") : reason;
}

QString HistoryWords::eventKind(HistoryEventKind kind)
{
    switch (kind) {
    case HistoryEventKind::Added: return tr("added");
    case HistoryEventKind::Renamed: return tr("renamed");
    case HistoryEventKind::Deleted: return tr("deleted");
    case HistoryEventKind::Cleared: return tr("cleared");
    case HistoryEventKind::Rejudged: return tr("judged again");
    case HistoryEventKind::Exported: return tr("exported");
    case HistoryEventKind::Restored: return tr("put back into the table");
    case HistoryEventKind::NotRestored: return tr("not put back");
    }
    return QString();
}
