#pragma once

#include "historylocation.h"
#include "historysender.h"
#include "historystore.h"
#include "historywindow.h"
#include "historywindowhost.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QString>

#include <memory>

class QSettings;

class FirstPageForTesk;
class HistoryLocationDialog;
class HistoryTask;
class QWidget;
struct MeasurementRecord;
struct RowOrigin;

// Joins the measurement page and the history. Every row the table gains is stored in the same
// step as it is shown; deletions, test-name edits, re-judging, Clear and export are written
// through. The runs: at start it offers to put back the rows of a run that ended neither by an
// export nor by a Clear, and when the window closes with rows that were never exported it asks
// whether to export them first.
//
// The history never stands in the way of measuring: when it cannot be opened or written, the
// user is told once why, and the program goes on without it.
//
// Where the history lives is a setting (HistoryLocation): on this computer only, or also on a
// laboratory's PostgreSQL server. The local file is always written first; a HistorySender on
// its own thread feeds the server from it. When the server cannot be used, measuring goes on,
// the user is told once why, and serverStatusChanged() gives the window its line ("history
// server unreachable, N rows waiting").
class HistoryController : public QObject, public HistoryWindowHost
{
    Q_OBJECT
public:
    HistoryController(QWidget *window, FirstPageForTesk *page, QObject *parent = nullptr);
    ~HistoryController() override;

    // Opens the history (HistoryStore::defaultFilePath() when no file is given), offers the
    // rows of a run that did not end and follows the table from then on.
    void start(const QString &filePath = QString());
    bool isOn() const { return m_on; }
    HistoryStore &store() { return m_store; }

    // The close question. True when the window may close.
    bool confirmClose();

    // "Check history": the chain of events walked against the head kept in the user's settings.
    HistoryCheck checkHistory();
    // The head of this history's chain as the settings keep it (count 0: none kept).
    HistoryChainHead recordedHead() const;

    // The history window, opened by the page's History button: one at a time, not modal; asked
    // again, the open one comes to the front. Null while none is open.
    HistoryWindow *openWindow();
    HistoryWindow *window() const { return m_historyWindow; }
    // SQLite's check of the whole file, run on a worker thread after start: whether it is still
    // running (tests wait for it).
    bool fileCheckRunning() const;

    // HistoryWindowHost
    QString historyFile() const override;
    HistoryChainHead chainHeadForCheck() override;
    int putIntoTable(const QList<qint64> &ids, int *inTable) override;
    void openReport(const HistoryRow &row) override;
    bool chineseSheets() const override;
    HistorySource serverHistory() const override;
    QString thisDesk() const override;
    QHash<QString, HistoryChainHead> serverHeadsForCheck(QString *ownChain) override;
    int putIntoTableByUuid(const QStringList &uuids, int *inTable, int *notHere) override;

signals:
    // Something was written to the history (a row, an event).
    void changed();
    // The file's own check is over: damaged says whether it found the file damaged.
    void fileChecked(bool damaged);

public:
    // Where the history lives, as the settings said at start or as set since.
    const HistoryLocation &location() const { return m_location; }
    // Keeps the new location in the settings and starts, stops or redirects the sender.
    void setLocation(const HistoryLocation &location);
    // The sender while a server is set; null otherwise.
    HistorySender *sender() const { return m_sender.get(); }
    QString serverStatusLine() const { return m_statusLine; }
    // "Check history" on the server: every desk's chain there, this desk's against what the
    // server confirmed of it. Unreadable when no server is set or it cannot be reached.
    HistoryCheck checkServerHistory();

public slots:
    // The dialog of where the history lives (through the modal seam).
    void editLocation();
    // Offers (a question) to remove from this computer the rows the server has confirmed and
    // that are in no table; they stay on the server.
    void offerRemoval();

signals:
    // The window's line about the server; empty when there is nothing to say.
    void serverStatusChanged(const QString &line);

protected:
    // The window's close event goes through the close question.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void offerUnfinishedRows();
    void storeRow(int row, const MeasurementRecord &record, const RowOrigin &origin);
    // A batch of rows (a download, an import) in one transaction: the disk is waited for once.
    void storeRows(int first, const QList<MeasurementRecord> &records, const RowOrigin &origin);
    HistoryRow storedRow(const MeasurementRecord &record, const RowOrigin &origin) const;
    // The history key of a table row: 0 where the history is off or the row has none.
    qint64 storedKey(int row) const;
    void markDeleted(int row);
    void storeTestName(int row, const QString &name);
    void storeJudgements();
    void endRun(HistoryStore::RunEnd end, const QString &exportedTo = QString());
    bool check(bool ok);
    // Keeps the chain's head in the user's settings after a write, so that removing the newest
    // events from the file is found. A kept head the file no longer reaches is never
    // overwritten: it is the evidence. Writing the settings file waits for the disk (some
    // 15 ms), so the head is written a second after the last write, and at the end.
    void keepHead();
    void writeHead();
    void turnOff(const QString &reason, const QString &detail);
    // The file was found damaged: it is marked in the user's settings, so that the next start
    // moves it aside before anything is written to it.
    void markDamaged();
    void startFileCheck();
    void fileCheckDone(const QVariant &result, bool cancelled);
    HistoryRow historyRow(const MeasurementRecord &record) const;
    void startSender();
    void stopSender();
    void senderSaid(const HistorySenderStatus &status);
    void applyDeskName();

    QPointer<QWidget> m_window;
    QPointer<FirstPageForTesk> m_page;
    HistoryStore m_store;
    bool m_on = false;
    bool m_toldOff = false;
    std::unique_ptr<QSettings> m_settings;
    bool m_headTrusted = false;
    HistoryChainHead m_keptHead;
    QTimer m_headTimer;
    HistoryLocation m_location;
    std::unique_ptr<HistorySender> m_sender;
    QSet<int> m_toldServer; // the server's problems the user was told of (each once)
    QString m_statusLine;
    QPointer<HistoryLocationDialog> m_dialog;
    QString m_offReason;
    std::unique_ptr<HistoryTask> m_fileCheck;
    QPointer<HistoryWindow> m_historyWindow;
};
