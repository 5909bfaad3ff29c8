#pragma once

#include "historyevents.h"

#include <QAbstractTableModel>
#include <QList>

// A row's story: its events, oldest first, one line each: when (local time), who (login on
// host), what happened, and the values before and after in words.
class HistoryStoryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { ColWhen, ColWho, ColWhat, ColBefore, ColAfter, ColumnCount };

    explicit HistoryStoryModel(QObject *parent = nullptr);

    void setEvents(QList<HistoryEvent> events);
    const QList<HistoryEvent> &events() const { return m_events; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // An event's old or new value (compact JSON) in words.
    static QString describe(HistoryEventKind kind, const QString &json);
    // Texts follow the language.
    void retranslate();

private:
    QList<HistoryEvent> m_events;
};
