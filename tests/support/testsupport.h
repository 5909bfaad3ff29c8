// What the page, window and report suites share, beside what the lower suites share.
#pragma once

#include "testbase.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTranslator>

class FirstPageForTesk;
class QColor;
class QTableView;
class QTableWidget;
class VirtualInstrument;

namespace testsupport {

// The named child widget; asserts in debug builds that it exists.
template <class T>
T *child(const QObject *parent, const char *name)
{
    T *widget = parent->findChild<T *>(QString::fromLatin1(name));
    Q_ASSERT(widget);
    return widget;
}

// The text of a table cell, or "<none>" when the cell has no item.
QString cellText(const QTableWidget *table, int row, int column);

// The page's measurement table, and the text of one of its cells ("<none>" outside the table).
QTableView *measurementTable(const FirstPageForTesk *page);
QString cellText(const QTableView *table, int row, int column);
// The background colour the table gives a cell.
QColor cellBackground(const QTableView *table, int row, int column);
// Clicks the row button in (row, column) of the page's table with the mouse, as a user does:
// the row scrolled into view, pressed and released on its cell.
void clickRowButton(FirstPageForTesk *page, int row, int column);
// What the test-name editor commits when a user has typed name into the cell of row.
void editTestName(FirstPageForTesk *page, int row, const QString &name);

// The NG, PASS and total counters the page shows.
QStringList counters(const FirstPageForTesk *page);

// Queues a measurement of L*a*b* on the instrument and presses the page's scan button for side
// 1 (standard) or 2 (sample).
void measure(FirstPageForTesk *page, VirtualInstrument *vi, int side, double L, double a, double b);

// Collects what is logged while it lives.
class LogCapture
{
public:
    enum Mode {
        WarningsOnly,          // messages above debug, as given
        EverythingWithCategory // every message, as "category: message"
    };
    explicit LogCapture(Mode mode);
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;
    static QStringList lines();

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);
    static inline QStringList s_lines;
    static inline Mode s_mode = WarningsOnly;
    QtMessageHandler m_previous = nullptr;
};

// Stands in for a translation file: the given words of one context.
class WordTranslator : public QTranslator
{
public:
    WordTranslator(const char *context, QHash<QString, QString> words);
    QString translate(const char *context, const char *source, const char *disambiguation, int n) const override;
    bool isEmpty() const override { return false; }

private:
    QByteArray m_context;
    QHash<QString, QString> m_words;
};

} // namespace testsupport
