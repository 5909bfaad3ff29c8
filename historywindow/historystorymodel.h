#pragma once

#include "historyevents.h"

#include <QAbstractTableModel>
#include <QList>

// A row's story: its events, oldest first, one line each: when (local time), who (login on
// host), what happened, and what changed in words ("Comp1 → Lot A"; for an added row, what it
// showed). The values as stored are the change's tooltip.
class HistoryStoryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { ColWhen, ColWho, ColWhat, ColChange, ColumnCount };

    explicit HistoryStoryModel(QObject *parent = nullptr);

    void setEvents(QList<HistoryEvent> events);
    const QList<HistoryEvent> &events() const { return m_events; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // An event's old or new value (compact JSON) in words.
    static QString describe(HistoryEventKind kind, const QString &json);
    // The change an event made, in words: the new value alone for an added row, else old → new.
    static QString change(const HistoryEvent &event);
    // Texts follow the language.
    void retranslate();

private:
    QList<HistoryEvent> m_events;
};
