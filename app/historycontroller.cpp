#include "historycontroller.h"

#include "firstpagefortesk.h"
#include "historylocationdialog.h"
#include "historyreader.h"
#include "historytask.h"
#include "historywindow.h"
#include "modal.h"
#include "reportpagefortesk.h"
#include "usersettings.h"
#include "verdictwords.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QWidget>

#include <algorithm>

Q_LOGGING_CATEGORY(lcRuns, "colorimeter.history.runs")

namespace {

// The verdict words the page shows, in whatever language they were shown.
int passedOf(const QString &verdict)
{
    const verdictwords::Verdict word = verdictwords::recognise(verdict);
    if (word == verdictwords::Verdict::Pass || verdict == QCoreApplication::translate("FirstPageForTesk", "PASS"))
        return 1;
    if (word == verdictwords::Verdict::Ng || verdict == QCoreApplication::translate("FirstPageForTesk", "NG"))
        return 0;
    return -1;
}

HistoryOrigin historyOrigin(RowOrigin::Kind kind)
{
    switch (kind) {
    case RowOrigin::Pushed: return HistoryOrigin::Pushed;
    case RowOrigin::Downloaded: return HistoryOrigin::Downloaded;
    case RowOrigin::Imported: return HistoryOrigin::Imported;
    case RowOrigin::Measured:
    case RowOrigin::Restored: break;
    }
    return HistoryOrigin::Measured;
}

// What a table row and a history row hold alike, copied either way.
template<typename From, typename To>
void copySharedFields(const From &from, To *to)
{
    to->sequence = from.sequence;
    to->testName = from.testName;
    to->timeText = from.timeText;
    to->standard = from.standard;
    to->sample = from.sample;
    to->deltaE = from.deltaE;
    to->formulaText = from.formulaText;
    to->thresholdText = from.thresholdText;
    to->deviceName = from.deviceName;
    to->serialNumber = from.serialNumber;
}

MeasurementRecord measurementRecord(const HistoryRow &row)
{
    MeasurementRecord record;
    copySharedFields(row, &record);
    // A verdict comes back in the language now in use.
    if (row.passed == 1)
        record.verdict = QCoreApplication::translate("FirstPageForTesk", "PASS");
    else if (row.passed == 0)
        record.verdict = QCoreApplication::translate("FirstPageForTesk", "NG");
    else
        record.verdict = row.verdict;
    return record;
}

} // namespace

HistoryController::HistoryController(QWidget *window, FirstPageForTesk *page, QObject *parent)
    : QObject(parent), m_window(window), m_page(page)
{
    m_headTimer.setSingleShot(true);
    m_headTimer.setInterval(1000);
    connect(&m_headTimer, &QTimer::timeout, this, &HistoryController::writeHead);
}

HistoryController::~HistoryController()
{
    delete m_historyWindow;
    m_fileCheck.reset(); // interrupted, and its thread waited for
    stopSender();
    if (m_on)
        writeHead();
}

namespace {

QString headKey(const QString &chainId, const char *what)
{
    return QStringLiteral("historyChain/%1/%2").arg(chainId, QLatin1String(what));
}

// The history file found damaged in a run, to be moved aside at the next start.
const char kDamagedKey[] = "history/damagedFile";

} // namespace

HistoryChainHead HistoryController::recordedHead() const
{
    HistoryChainHead head;
    const QString chain = m_store.chainId();
    if (!m_settings || chain.isEmpty())
        return head;
    head.count = m_settings->value(headKey(chain, "count")).toLongLong();
    head.hash = m_settings->value(headKey(chain, "hash")).toString();
    return head;
}

void HistoryController::keepHead()
{
    if (m_headTrusted && m_settings && !m_headTimer.isActive())
        m_headTimer.start();
}

void HistoryController::writeHead()
{
    m_headTimer.stop();
    if (!m_headTrusted || !m_settings || !m_store.isOpen())
        return;
    const HistoryChainHead head = m_store.chainHead();
    if (head.count == m_keptHead.count && head.hash == m_keptHead.hash)
        return;
    m_settings->setValue(headKey(m_store.chainId(), "count"), head.count);
    m_settings->setValue(headKey(m_store.chainId(), "hash"), head.hash);
    m_settings->sync();
    if (m_settings->status() == QSettings::NoError)
        m_keptHead = head;
    else
        qCWarning(lcRuns) << "the history's chain head cannot be kept in" << m_settings->fileName();
}

HistoryCheck HistoryController::checkHistory()
{
    if (!m_on) {
        HistoryCheck check;
        check.problem = HistoryCheck::Problem::Unreadable;
        return check;
    }
    writeHead();
    const HistoryCheck check = m_store.checkHistory(recordedHead());
    qCInfo(lcRuns) << "history checked:" << check.text() << check.detail;
    return check;
}

void HistoryController::start(const QString &filePath)
{
    if (!m_page)
        return;
    if (m_window)
        m_window->installEventFilter(this);
    connect(m_page.data(), &FirstPageForTesk::historyRequested, this, [this] { openWindow(); });
    const QString file = filePath.isEmpty() ? HistoryStore::defaultFilePath() : filePath;
    m_settings = openUserSettings();
    // A file found damaged in an earlier run is moved aside before anything reads or writes it.
    const bool knownDamaged = m_settings->value(QLatin1String(kDamagedKey)).toString()
                              == QFileInfo(file).absoluteFilePath();
    if (!m_store.open(file, knownDamaged)) {
        turnOff(m_store.errorText(), m_store.errorDetail());
        return;
    }
    if (knownDamaged) {
        m_settings->remove(QLatin1String(kDamagedKey));
        m_settings->sync();
    }
    m_on = true;
    // The head kept at the last write must still be on the chain; if the file no longer reaches
    // it, newer events were removed, and the kept head stays as it is for the check to find.
    m_keptHead = recordedHead();
    m_headTrusted = m_keptHead.count == 0 || m_store.eventHash(m_keptHead.count) == m_keptHead.hash;
    if (!m_headTrusted)
        qCWarning(lcRuns) << "the history file does not reach the chain head kept in the settings:"
                          << m_keptHead.count << m_keptHead.hash;
    if (!m_store.movedAsidePath().isEmpty()) {
        qCWarning(lcRuns) << "damaged history moved aside to" << m_store.movedAsidePath();
        Modal::warning(m_window, tr("Warn"),
                       tr("The history file was damaged. It has been moved aside to %1 and a new history "
                          "has been started.")
                           .arg(QDir::toNativeSeparators(m_store.movedAsidePath())));
    }
    // Followed before the offer is made: a measurement the instrument pushes while the question
    // is open is shown, so it is stored too.
    FirstPageForTesk *page = m_page;
    connect(page, &FirstPageForTesk::rowAppended, this, &HistoryController::storeRow);
    connect(page, &FirstPageForTesk::rowsAppended, this, &HistoryController::storeRows);
    connect(page, &FirstPageForTesk::rowAboutToBeDeleted, this, &HistoryController::markDeleted);
    connect(page, &FirstPageForTesk::testNameEdited, this, &HistoryController::storeTestName);
    connect(page, &FirstPageForTesk::rowsRejudged, this, &HistoryController::storeJudgements);
    connect(page, &FirstPageForTesk::tableCleared, this, [this] { endRun(HistoryStore::RunEnd::Cleared); });
    connect(page, &FirstPageForTesk::tableExported, this,
            [this](const QString &file) { endRun(HistoryStore::RunEnd::Exported, file); });

    offerUnfinishedRows();

    m_location = HistoryLocation::read(*m_settings);
    applyDeskName();
    startSender();
    if (m_on)
        startFileCheck();
}

void HistoryController::applyDeskName()
{
    if (!m_on)
        return;
    // Without a name of its own, a desk goes by its computer's name.
    const QString name = m_location.deskName.isEmpty() ? m_store.identity().host : m_location.deskName;
    if (name != m_store.deskName() && m_store.setDeskName(name) && m_sender)
        m_sender->desksChanged();
}

void HistoryController::startSender()
{
    if (!m_on || !m_location.onServer) {
        m_statusLine.clear();
        emit serverStatusChanged(m_statusLine);
        return;
    }
    m_sender = std::make_unique<HistorySender>(m_store.filePath(), m_location.server);
    connect(m_sender.get(), &HistorySender::statusChanged, this, &HistoryController::senderSaid);
    m_sender->start();
    qCInfo(lcRuns) << "history sent to the server" << m_location.server.displayName();
}

void HistoryController::stopSender()
{
    if (!m_sender)
        return;
    m_sender->stop();
    m_sender.reset();
}

void HistoryController::senderSaid(const HistorySenderStatus &status)
{
    m_statusLine = status.line();
    emit serverStatusChanged(m_statusLine);
    if (m_dialog)
        m_dialog->setServerStatus(status.text.isEmpty() ? m_statusLine : status.text, status.confirmedSeq > 0);
    if (!status.problem() || m_toldServer.contains(int(status.state)))
        return;
    // Each problem once: it stays in the window's line, and the sender goes on trying.
    m_toldServer.insert(int(status.state));
    qCWarning(lcRuns) << "history server:" << status.text << "-" << status.detail;
    QString text = status.state == HistorySenderStatus::State::LocalProblem
                       ? tr("The rows cannot be sent to the history server: %1. They stay on this computer.")
                             .arg(status.text)
                       : tr("The history server cannot be used: %1. Measuring goes on: the rows are kept on this "
                            "computer and sent when the server can be used again.")
                             .arg(status.text);
    if (!status.detail.isEmpty())
        text += QLatin1Char('\n') + tr("(%1)", "the database's own words for a failure").arg(status.detail);
    Modal::warning(m_window, tr("Warn"), text);
}

void HistoryController::setLocation(const HistoryLocation &location)
{
    const bool serverChanged = location.onServer != m_location.onServer || location.server != m_location.server;
    const bool deskChanged = location.deskName != m_location.deskName;
    m_location = location;
    if (m_settings) {
        location.write(*m_settings);
        m_settings->sync();
    }
    if (deskChanged)
        applyDeskName();
    if (serverChanged) {
        stopSender();
        m_toldServer.clear();
        startSender();
    }
}

void HistoryController::editLocation()
{
    HistoryLocationDialog dialog(m_window);
    dialog.setLocation(m_location);
    dialog.setDeskIdentity(m_store.identity().desk);
    if (m_sender) {
        const HistorySenderStatus status = m_sender->status();
        dialog.setServerStatus(status.text.isEmpty() ? status.line() : status.text, status.confirmedSeq > 0);
    }
    connect(&dialog, &HistoryLocationDialog::removalRequested, this, &HistoryController::offerRemoval);
    m_dialog = &dialog;
    const int result = Modal::exec(&dialog);
    m_dialog = nullptr;
    if (result == QDialog::Accepted)
        setLocation(dialog.location());
}

void HistoryController::offerRemoval()
{
    if (!m_on || !m_sender)
        return;
    qint64 upTo = 0;
    const qint64 rows = m_store.removableRows(m_sender->status().confirmedSeq, &upTo);
    const QString server = m_location.server.displayName();
    if (rows <= 0) {
        Modal::information(m_window, tr("Colorimeter"),
                           tr("No rows can be removed from this computer yet: the history server %1 has not "
                              "confirmed any row that is in no table.")
                               .arg(server));
        return;
    }
    const QMessageBox::StandardButton answer = Modal::question(
        m_window, tr("Colorimeter"),
        tr("The history server %1 has confirmed %2 rows that are in no table. Remove them from this computer? "
           "They stay on the server.")
            .arg(server)
            .arg(rows),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    const qint64 removed = m_store.removeRowsUpTo(upTo);
    if (!check(removed >= 0))
        return;
    qCInfo(lcRuns) << removed << "rows the server has removed from this computer";
    Modal::information(m_window, tr("Colorimeter"),
                       tr("%1 rows were removed from this computer; the history server keeps them.").arg(removed));
}

HistoryCheck HistoryController::checkServerHistory()
{
    HistoryCheck check;
    check.problem = HistoryCheck::Problem::Unreadable;
    if (!m_location.onServer)
        return check;
    HistoryStore server;
    if (!server.open(m_location.server)) {
        check.detail = server.errorText();
        return check;
    }
    QString ownChain;
    check = server.checkHistory(serverHeadsForCheck(&ownChain));
    qCInfo(lcRuns) << "history on the server checked:" << check.text() << check.detail;
    return check;
}

// SQLite's check of every page takes seconds on a long history: it runs on a worker thread
// with a connection of its own, at low priority, while the program is used. Damage in the pages
// every write goes through was looked for at open already.
void HistoryController::startFileCheck()
{
    m_fileCheck = std::make_unique<HistoryTask>(m_store.filePath(), [](HistoryReader &reader, HistoryTaskControl &) {
        QString problem, error;
        if (!reader.isOpen() || !HistoryStore::quickCheck(reader.database(), &problem, &error)) {
            qCInfo(lcRuns) << "the history file's check did not run:" << (reader.isOpen() ? error : reader.errorText());
            return QVariant();
        }
        return QVariant(problem);
    });
    connect(m_fileCheck.get(), &HistoryTask::finished, this, &HistoryController::fileCheckDone);
    m_fileCheck->start(true);
}

bool HistoryController::fileCheckRunning() const
{
    return m_fileCheck && m_fileCheck->isRunning();
}

void HistoryController::fileCheckDone(const QVariant &result, bool cancelled)
{
    const QString problem = result.toString();
    if (cancelled || !result.isValid() || problem.isEmpty()) {
        if (!cancelled && result.isValid())
            qCInfo(lcRuns) << "the history file's pages are sound";
        emit fileChecked(false);
        return;
    }
    qCWarning(lcRuns) << "the history file is damaged:" << problem;
    const QString file = QDir::toNativeSeparators(m_store.filePath());
    markDamaged();
    if (m_on) {
        stopSender();
        writeHead();
        m_on = false;
        m_store.close();
        turnOff(tr("the history file %1 is damaged; it will be moved aside and a new history started when the "
                   "program starts next")
                    .arg(file),
                problem);
    }
    emit fileChecked(true);
}

void HistoryController::markDamaged()
{
    if (!m_settings || m_store.filePath().isEmpty())
        return;
    m_settings->setValue(QLatin1String(kDamagedKey), QFileInfo(m_store.filePath()).absoluteFilePath());
    m_settings->sync();
}

HistoryWindow *HistoryController::openWindow()
{
    if (m_historyWindow) {
        m_historyWindow->setWindowState(m_historyWindow->windowState() & ~Qt::WindowMinimized);
        m_historyWindow->show();
        m_historyWindow->raise();
        m_historyWindow->activateWindow();
        return m_historyWindow;
    }
    if (!m_on) {
        Modal::information(m_window, tr("History"),
                           m_offReason.isEmpty() ? tr("The measurement history is off.")
                                                 : tr("The measurement history is off: %1.").arg(m_offReason));
        return nullptr;
    }
    auto *window = new HistoryWindow(this, m_window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(this, &HistoryController::changed, window, &HistoryWindow::historyChanged);
    // The form's size, or the screen's room where that is smaller.
    if (const QScreen *screen = m_window ? m_window->screen() : QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size() * 0.95;
        window->resize(window->size().boundedTo(room));
    }
    window->show();
    window->raise();
    window->activateWindow();
    m_historyWindow = window;
    return window;
}

QString HistoryController::historyFile() const
{
    return m_on ? m_store.filePath() : QString();
}

HistoryChainHead HistoryController::chainHeadForCheck()
{
    if (m_on)
        writeHead();
    return recordedHead();
}

int HistoryController::putIntoTable(const QList<qint64> &ids, int *inTable)
{
    if (inTable)
        *inTable = 0;
    if (!m_on || !m_page) {
        Modal::information(m_window, tr("History"), tr("The measurement history is off."));
        return -1;
    }
    QList<HistoryRow> rows;
    // Moved into this run with their events first: in the table, they are followed as any row.
    if (!check(m_store.putBack(ids, m_page->testCounter, &rows, inTable)))
        return -1;
    if (rows.isEmpty())
        return 0;
    QList<MeasurementRecord> records;
    records.reserve(rows.size());
    for (const HistoryRow &row : std::as_const(rows))
        records.append(measurementRecord(row));
    const int first = m_page->putRows(records);
    for (int i = 0; i < rows.size(); ++i)
        m_page->setRowKey(first + i, rows.at(i).id);
    qCInfo(lcRuns) << rows.size() << "rows put into the table from the history";
    return int(rows.size());
}

void HistoryController::openReport(const HistoryRow &row)
{
    if (!m_page)
        return;
    // The numbers the table's own report of the row would show: the table's precision.
    m_page->reportSource = MeasurementModel::asShown(measurementRecord(row));
    ReportPageForTesk::openFor(m_page);
}

bool HistoryController::chineseSheets() const
{
    return m_page && m_page->isChinese;
}

HistorySource HistoryController::serverHistory() const
{
    return m_location.onServer ? HistorySource::ofServer(m_location.server) : HistorySource();
}

QString HistoryController::thisDesk() const
{
    return m_store.identity().desk;
}

QHash<QString, HistoryChainHead> HistoryController::serverHeadsForCheck(QString *ownChain)
{
    // This desk's chain must reach as far as the server confirmed it.
    QHash<QString, HistoryChainHead> heads;
    if (ownChain)
        *ownChain = m_on ? m_store.chainId() : QString();
    if (m_sender && m_sender->status().confirmedSeq > 0 && m_on)
        heads.insert(m_store.chainId(), {m_sender->status().confirmedSeq, m_store.eventHash(m_sender->status().confirmedSeq)});
    return heads;
}

int HistoryController::putIntoTableByUuid(const QStringList &uuids, int *inTable, int *notHere)
{
    if (inTable)
        *inTable = 0;
    if (notHere)
        *notHere = 0;
    if (!m_on || !m_page) {
        Modal::information(m_window, tr("History"), tr("The measurement history is off."));
        return -1;
    }
    // The server's rows of this desk are this file's rows under the same UUIDs.
    QList<qint64> ids;
    for (qsizetype first = 0; first < uuids.size(); first += 500) {
        const QStringList part = uuids.mid(first, 500);
        QSqlQuery query(m_store.database());
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT id FROM measurements WHERE uuid IN (%1)")
                          .arg(QStringList(part.size(), QStringLiteral("?")).join(u',')));
        for (const QString &uuid : part)
            query.addBindValue(uuid);
        if (!query.exec()) {
            qCWarning(lcRuns) << "the rows to put back cannot be found:" << query.lastError().text();
            Modal::warning(m_window, tr("Warn"), tr("The history cannot be read: %1").arg(query.lastError().text()));
            return -1;
        }
        while (query.next())
            ids << query.value(0).toLongLong();
    }
    if (notHere)
        *notHere = int(uuids.size() - ids.size());
    if (ids.isEmpty())
        return 0;
    return putIntoTable(ids, inTable);
}

void HistoryController::offerUnfinishedRows()
{
    const QList<HistoryRow> rows = m_store.unfinishedRows();
    if (rows.isEmpty()) {
        check(m_store.declineUnfinishedRuns());
        return;
    }
    qCInfo(lcRuns) << rows.size() << "rows of an unfinished run offered";
    const QMessageBox::StandardButton answer = Modal::question(
        m_window, tr("Colorimeter"),
        tr("The last session ended with %1 measurements in the table that were neither exported nor "
           "cleared. Put them back into the table?")
            .arg(rows.size()),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer != QMessageBox::Yes) {
        check(m_store.declineUnfinishedRuns());
        return;
    }

    // Test names "Comp<n>" go on after the last one the run gave out, which the run keeps: the
    // row that had it may have been deleted or renamed. A run stored before it was kept gives
    // only its rows' names to go by.
    int testCounter = m_store.unfinishedTestNumber();
    QList<MeasurementRecord> records;
    records.reserve(rows.size());
    for (const HistoryRow &row : rows)
        records.append(measurementRecord(row));
    if (testCounter < 0) {
        static const QRegularExpression measuredName(QStringLiteral("^Comp(\\d+)$"));
        testCounter = 0;
        for (const HistoryRow &row : rows) {
            if (row.origin != HistoryOrigin::Measured && row.origin != HistoryOrigin::Pushed)
                continue;
            const QRegularExpressionMatch match = measuredName.match(row.testName);
            if (match.hasMatch())
                testCounter = std::max(testCounter, match.captured(1).toInt());
        }
    }
    // The run that takes the rows keeps the number as well, so a second crash does not lose it.
    if (!check(m_store.adoptUnfinishedRows(std::max(testCounter, m_page->testCounter))))
        return;
    const int first = m_page->restoreRows(records, testCounter);
    for (int i = 0; i < rows.size(); ++i)
        m_page->setRowKey(first + i, rows.at(i).id);
}

HistoryRow HistoryController::historyRow(const MeasurementRecord &record) const
{
    HistoryRow row;
    copySharedFields(record, &row);
    row.verdict = record.verdict;
    row.passed = passedOf(record.verdict);
    row.formulaIndex = m_page ? m_page->formulaIndex : -1;
    row.threshold = m_page ? m_page->threshold : -1.0;
    return row;
}

HistoryRow HistoryController::storedRow(const MeasurementRecord &record, const RowOrigin &origin) const
{
    HistoryRow stored = historyRow(record);
    stored.origin = historyOrigin(origin.kind);
    stored.originFile = origin.fileName;
    if (origin.kind == RowOrigin::Imported) {
        // A file's rows were judged elsewhere: with what is not known.
        stored.formulaIndex = -1;
        stored.threshold = -1.0;
    }
    return stored;
}

void HistoryController::storeRow(int row, const MeasurementRecord &record, const RowOrigin &origin)
{
    // Restored rows are in the history already; their keys are set by the offer.
    if (!m_on || !m_page || origin.kind == RowOrigin::Restored)
        return;
    // The page's counter has named this row already (when it is a measurement).
    const qint64 id = m_store.addRow(storedRow(record, origin), m_page->testCounter);
    if (check(id > 0))
        m_page->setRowKey(row, id);
}

void HistoryController::storeRows(int first, const QList<MeasurementRecord> &records, const RowOrigin &origin)
{
    if (!m_on || !m_page || origin.kind == RowOrigin::Restored || records.isEmpty())
        return;
    QList<HistoryRow> stored;
    stored.reserve(records.size());
    for (const MeasurementRecord &record : records)
        stored.append(storedRow(record, origin));
    // A batch names no rows itself, but it may be all the run has stored: the counter goes with
    // it, so that a restore goes on after the names this run gave out before.
    const QList<qint64> ids = m_store.addRows(stored, m_page->testCounter);
    if (!check(ids.size() == records.size()))
        return;
    for (int i = 0; i < ids.size(); ++i)
        m_page->setRowKey(first + i, ids.at(i));
}

qint64 HistoryController::storedKey(int row) const
{
    return m_on && m_page ? m_page->rowKey(row) : 0;
}

void HistoryController::markDeleted(int row)
{
    const qint64 id = storedKey(row);
    if (id > 0)
        check(m_store.markDeleted(id));
}

void HistoryController::storeTestName(int row, const QString &name)
{
    const qint64 id = storedKey(row);
    if (id > 0)
        check(m_store.setTestName(id, name));
}

void HistoryController::storeJudgements()
{
    if (!m_on || !m_page)
        return;
    QList<HistoryRow> rows;
    for (int r = 0; r < m_page->rowCount(); ++r) {
        const qint64 id = m_page->rowKey(r);
        if (id <= 0)
            continue;
        HistoryRow row = historyRow(m_page->rowRecord(r));
        row.id = id;
        rows.append(row);
    }
    if (!rows.isEmpty())
        check(m_store.rejudge(rows));
}

void HistoryController::endRun(HistoryStore::RunEnd end, const QString &exportedTo)
{
    if (m_on)
        check(m_store.endRun(end, exportedTo));
}

bool HistoryController::check(bool ok)
{
    if (ok && m_on) {
        keepHead();
        if (m_sender)
            m_sender->wake();
        emit changed();
    }
    if (!ok && m_on) {
        writeHead(); // what was written before the failure
        m_on = false;
        // SQLite said the file is damaged: the next start moves it aside.
        if (m_store.damageSeen())
            markDamaged();
        turnOff(m_store.errorText(), m_store.errorDetail());
        m_store.close();
    }
    return ok;
}

void HistoryController::turnOff(const QString &reason, const QString &detail)
{
    qCWarning(lcRuns) << "history off:" << reason << "-" << detail;
    m_offReason = reason;
    if (m_toldOff)
        return;
    m_toldOff = true;
    QString text = tr("The measurement history is off: %1. Measuring goes on as before, but the rows are "
                      "kept in the table only.")
                       .arg(reason);
    // The database's own words, untranslated, after ours: for whoever looks into it further.
    if (!detail.isEmpty())
        text += QLatin1Char('\n') + tr("(%1)", "the database's own words for a failure").arg(detail);
    Modal::warning(m_window, tr("Warn"), text);
}

bool HistoryController::confirmClose()
{
    if (!m_page || m_page->rowCount() == 0) {
        endRun(HistoryStore::RunEnd::Closed);
        return true;
    }
    const QMap<QMessageBox::StandardButton, QString> texts = {
        {QMessageBox::Save, tr("Export")},
        {QMessageBox::Discard, tr("Close anyway")},
        {QMessageBox::Cancel, tr("Cancel")},
    };
    const QMessageBox::StandardButton answer = Modal::question(
        m_window, tr("Colorimeter"),
        tr("The table holds %1 measurements that were never exported. Export them before closing?")
            .arg(m_page->rowCount()),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save, texts);
    switch (answer) {
    case QMessageBox::Discard:
        // The run stays unfinished: the next start offers its rows.
        qCInfo(lcRuns) << "closed with" << m_page->rowCount() << "rows not exported";
        return true;
    case QMessageBox::Save:
        // The export ends the run itself; cancelled or failed, the window stays open.
        return m_page->exportTable();
    default:
        return false;
    }
}

bool HistoryController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::LanguageChange && m_sender) {
        m_statusLine = m_sender->status().line();
        emit serverStatusChanged(m_statusLine);
    }
    if (event->type() == QEvent::Close && !confirmClose()) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
