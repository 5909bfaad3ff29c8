#include "historystorymodel.h"

#include "historywords.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>

HistoryStoryModel::HistoryStoryModel(QObject *parent) : QAbstractTableModel(parent) {}

void HistoryStoryModel::setEvents(QList<HistoryEvent> events)
{
    beginResetModel();
    m_events = std::move(events);
    endResetModel();
}

void HistoryStoryModel::retranslate()
{
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (!m_events.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_events.size()) - 1, ColumnCount - 1));
}

int HistoryStoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_events.size());
}

int HistoryStoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

namespace {

QString deltaEText(const QJsonValue &value)
{
    return value.isDouble() ? QString::number(value.toDouble(), 'f', 2) : QStringLiteral("-----");
}

QString stateText(const QJsonValue &value)
{
    HistoryRowState state = HistoryRowState::InTable;
    return historyStateFromName(value.toString(), &state) ? HistoryWords::state(state) : value.toString();
}

} // namespace

QString HistoryStoryModel::describe(HistoryEventKind kind, const QString &json)
{
    const QJsonObject o = historyJsonObject(json);
    if (o.isEmpty())
        return QString();
    switch (kind) {
    case HistoryEventKind::Added: {
        HistoryOrigin origin = HistoryOrigin::Measured;
        historyOriginFromName(o.value(QLatin1String("origin")).toString(), &origin);
        return QStringLiteral("%1, ΔE %2 %3, %4")
            .arg(o.value(QLatin1String("test_name")).toString(), deltaEText(o.value(QLatin1String("delta_e"))),
                 o.value(QLatin1String("verdict")).toString(),
                 HistoryWords::origin(origin, o.value(QLatin1String("origin_file")).toString()));
    }
    case HistoryEventKind::Renamed:
        return o.value(QLatin1String("test_name")).toString();
    case HistoryEventKind::Rejudged:
        return QStringLiteral("ΔE %1 %2 (%3 %4)")
            .arg(deltaEText(o.value(QLatin1String("delta_e"))), o.value(QLatin1String("verdict")).toString(),
                 o.value(QLatin1String("formula_text")).toString(), o.value(QLatin1String("threshold_text")).toString());
    case HistoryEventKind::Restored:
        // The run is a UUID nobody reads; the state says where the row went.
        return o.contains(QLatin1String("state")) ? stateText(o.value(QLatin1String("state")))
                                                   : HistoryWords::tr("a run cut short");
    case HistoryEventKind::Exported: {
        const QString file = o.value(QLatin1String("file")).toString();
        const QString state = stateText(o.value(QLatin1String("state")));
        return file.isEmpty() ? state : HistoryWords::tr("%1 to %2").arg(state, QFileInfo(file).fileName());
    }
    case HistoryEventKind::Deleted:
    case HistoryEventKind::Cleared:
    case HistoryEventKind::NotRestored:
        return stateText(o.value(QLatin1String("state")));
    }
    return json;
}

QString HistoryStoryModel::change(const HistoryEvent &event)
{
    const QString after = describe(event.kind, event.newValue);
    if (event.kind == HistoryEventKind::Added)
        return after;
    return QStringLiteral("%1 → %2").arg(describe(event.kind, event.oldValue), after);
}

QVariant HistoryStoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_events.size())
        return QVariant();
    const HistoryEvent &e = m_events.at(index.row());
    if (role == Qt::ToolTipRole && index.column() == ColChange)
        return e.kind == HistoryEventKind::Added ? e.newValue : e.oldValue + QStringLiteral(" → ") + e.newValue;
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case ColWhen:
        return QDateTime::fromString(e.at, Qt::ISODateWithMs).toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case ColWho: return e.host.isEmpty() ? e.login : QStringLiteral("%1@%2").arg(e.login, e.host);
    case ColWhat: return HistoryWords::eventKind(e.kind);
    case ColChange: return change(e);
    default: return QVariant();
    }
}

QVariant HistoryStoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case ColWhen: return tr("When");
    case ColWho: return tr("Who");
    case ColWhat: return tr("What");
    case ColChange: return tr("What changed");
    default: return QVariant();
    }
}
