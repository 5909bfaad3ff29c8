// The history window joined to a real measurement page and its history, against the virtual
// instrument: rows put into the table give the table and counters the table's import gives for
// the same rows exported from the window; the filters and sorting through the window's controls
// against plain SQL counts; "Check history" reported in the window (intact, an edited event,
// cancelled); a file damaged in the middle found after start and moved aside at the next; the
// window in both languages.
#include "cprotocol.h"
#include "firstpagefortesk.h"
#include "historycontroller.h"
#include "historyplace.h"
#include "historymodels.h"
#include "historystorymodel.h"
#include "historywindow.h"
#include "linkport.h"
#include "reportpagefortesk.h"
#include "scriptedmodal.h"
#include "testsupport.h"
#include "ui_historywindow.h"
#include "virtualinstrument.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTcpServer>
#include <QTableView>
#include <QTemporaryDir>
#include <QTranslator>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

namespace {

struct Snapshot
{
    QList<QStringList> rows; // the cell texts of every row
    QStringList counters;    // NG, PASS, total as shown
};

bool operator==(const Snapshot &a, const Snapshot &b)
{
    return a.rows == b.rows && a.counters == b.counters;
}

char *toString(const Snapshot &s)
{
    QStringList lines{s.counters.join(u' ')};
    for (const QStringList &row : s.rows)
        lines << row.join(u'|');
    return qstrdup(qPrintable(lines.join(u'\n')));
}

// A plain SQL count of the stored rows, written here without the program's filter code.
qint64 sqlCount(const QString &file, const QString &where, const QVariantList &binds = {})
{
    qint64 n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            q.prepare(QStringLiteral("SELECT COUNT(*) FROM measurements WHERE ") + where);
            for (const QVariant &bind : binds)
                q.addBindValue(bind);
            if (q.exec() && q.next())
                n = q.value(0).toLongLong();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("count"));
    return n;
}

QVariant sqlValue(const QString &file, const QString &select, const QVariantList &binds = {})
{
    QVariant value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("value"));
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            q.prepare(select);
            for (const QVariant &bind : binds)
                q.addBindValue(bind);
            if (q.exec() && q.next())
                value = q.value(0);
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("value"));
    return value;
}

bool execOn(const QString &file, const QStringList &statements)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("edit"));
        db.setDatabaseName(file);
        ok = db.open();
        QSqlQuery q(db);
        for (const QString &sql : statements)
            ok = ok && q.exec(sql);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("edit"));
    return ok;
}

} // namespace

class tst_HistoryWindow : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void putIntoTheTableAsTheImportTakesTheExport_data();
    void putIntoTheTableAsTheImportTakesTheExport();
    void filtersAndSortingThroughTheWindow_data();
    void filtersAndSortingThroughTheWindow();
    void checkReportedInTheWindow_data();
    void checkReportedInTheWindow();
    void damageInTheMiddleFoundAfterStart();
    void reportOfOneRowAndCgatsFiles();
    void bothLanguages();
    void everyDeskOnTheServer();
    void serverThatCannotBeReached();
    void windowClosedWhileTheServerIsTried();

private:
    void startSession(const QString &language = QStringLiteral("en"));
    void endSession();
    void measure(int side, double L, double a, double b) { testsupport::measure(page, vi, side, L, a, b); }
    QTableView *table() const { return testsupport::measurementTable(page); }
    Snapshot snapshot() const
    {
        Snapshot s;
        for (int r = 0; r < table()->model()->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < FirstPageForTesk::ColumnCount; ++c)
                cells << table()->model()->index(r, c).data().toString();
            s.rows << cells;
        }
        for (const char *edit : {"UnqualnumEdit", "QualnumEdit", "TotalnumEdit"})
            s.counters << page->findChild<QLineEdit *>(edit)->text();
        return s;
    }
    QString file() const { return tmp->filePath(QStringLiteral("data/history.sqlite")); }
    // Rows of every kind the filters tell apart, stored over ten days.
    void storeVariedRows(int n);
    HistoryWindow *openWindow()
    {
        HistoryWindow *w = history->openWindow();
        Q_ASSERT(w);
        return w;
    }
    void waitForFile()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!history->fileCheckRunning(), 20000);
    }

    std::unique_ptr<QTemporaryDir> tmp;
    VirtualInstrument *vi = nullptr;
    LinkPort *port = nullptr;
    ScriptedModal *modal = nullptr;
    QDialog *window = nullptr;
    FirstPageForTesk *page = nullptr;
    HistoryController *history = nullptr;
    std::unique_ptr<QTranslator> translator;
};

void tst_HistoryWindow::init()
{
    tmp = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(tmp->filePath(QStringLiteral("config"))));
    CProtocol::setWaitScaleForTests(0.02);
    vi = new VirtualInstrument;
    port = testsupport::connectedPort(vi);
    QVERIFY(port->link);
    modal = new ScriptedModal;
}

void tst_HistoryWindow::cleanup()
{
    endSession();
    QCOMPARE(modal->unexpectedCount(), 0);
    delete modal;
    LinkPort::setCurrent(nullptr);
    testsupport::releaseInstrument(port, vi);
}

void tst_HistoryWindow::startSession(const QString &language)
{
    if (language == QLatin1String("zh")) {
        translator = std::make_unique<QTranslator>();
        QVERIFY(translator->load(QStringLiteral(COLORIMETER_QM_DIR "/Pelmo_zh.qm")));
        QCoreApplication::installTranslator(translator.get());
    }
    window = new QDialog;
    auto *layout = new QVBoxLayout(window);
    page = new FirstPageForTesk(window);
    layout->addWidget(page);
    page->isChinese = language == QLatin1String("zh");
    page->retranslatePage();
    page->formulaIndex = 0;
    page->threshold = 2.0;
    page->findChild<QLineEdit *>("serialNoEdit")->setText(QStringLiteral("20231234"));
    page->findChild<QLineEdit *>("formulaEdit")->setText(QStringLiteral("△E*ab"));
    history = new HistoryController(window, page, window);
    history->start(file());
    QVERIFY(history->isOn());
}

void tst_HistoryWindow::endSession()
{
    delete window;
    window = nullptr;
    page = nullptr;
    history = nullptr;
    if (translator) {
        QCoreApplication::removeTranslator(translator.get());
        translator.reset();
    }
}

void tst_HistoryWindow::storeVariedRows(int n)
{
    HistoryStore store;
    QVERIFY2(store.open(file()), qPrintable(store.errorText()));
    QList<HistoryRow> rows;
    const char *const names[] = {"Door panel", "Comp", "Lid 50%_off", "Bumper"};
    const char *const serials[] = {"20231234", "20231235", "20240001"};
    for (int i = 0; i < n; ++i) {
        HistoryRow r;
        r.origin = HistoryOrigin(i % 4);
        if (r.origin == HistoryOrigin::Imported)
            r.originFile = QStringLiteral("/data/lot%1.xlsx").arg(i % 3);
        r.sequence = i + 1;
        r.testName = QStringLiteral("%1 %2").arg(QLatin1String(names[i % 4])).arg(i);
        r.timeText = QStringLiteral("2026/12/01  08:00");
        r.standard = {50, 10, -20, 22.36, 296.57};
        r.sample = {50.0 + i % 5, 10, -20, 22.36, 296.57};
        r.deltaE = (i % 7) * 0.5;
        r.passed = i % 11 == 0 ? -1 : r.deltaE <= 2.0 ? 1 : 0;
        r.verdict = r.passed == 1 ? QStringLiteral("PASS") : r.passed == 0 ? QStringLiteral("NG") : QString();
        r.formulaText = QStringLiteral("△E*ab");
        r.thresholdText = QStringLiteral("2.0");
        r.formulaIndex = 0;
        r.threshold = 2.0;
        r.deviceName = QStringLiteral("CM-200");
        r.serialNumber = QLatin1String(serials[i % 3]);
        rows << r;
    }
    const QList<qint64> ids = store.addRows(rows.mid(0, n / 2));
    QCOMPARE(ids.size(), n / 2);
    // The first half in a run that ended with an export, a few deleted before.
    for (int i = 0; i < 5; ++i)
        QVERIFY(store.markDeleted(ids.at(i * 7)));
    QVERIFY(store.endRun(HistoryStore::RunEnd::Exported, QStringLiteral("/data/out.xlsx")));
    QCOMPARE(store.addRows(rows.mid(n / 2)).size(), n - n / 2);
    QVERIFY(store.endRun(HistoryStore::RunEnd::Cleared));
    store.close();
    // Spread over ten days, an hour apart: time filters have something to tell apart.
    QVERIFY(execOn(file(), {QStringLiteral("UPDATE measurements SET stored_at = "
                                           "strftime('%Y-%m-%dT%H:%M:%fZ', '2026-12-01T00:00:00Z', "
                                           "'+' || ((id * 37) % 240) || ' hours')")}));
}

// ---- put into the table ----

void tst_HistoryWindow::putIntoTheTableAsTheImportTakesTheExport_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << "en";
    QTest::newRow("Chinese") << "zh";
}

void tst_HistoryWindow::putIntoTheTableAsTheImportTakesTheExport()
{
    QFETCH(QString, language);
    startSession(language);
    // An imported sheet with a row without a verdict, then measured pairs: PASS and NG, one
    // renamed, one deleted.
    const QString sheet = tmp->filePath(QStringLiteral("in.xlsx"));
    QVERIFY(testsupport::writeSheet(
        sheet, {{QStringLiteral("NO")},
                {1.0, QStringLiteral("CM-200"), QStringLiteral("20231234"), QStringLiteral("Lot 7"),
                 QStringLiteral("2026/11/30  16:05"), 50.0, 1.0, 2.0, 2.24, 63.43, 51.0, 1.5, 2.5, 2.92, 59.04,
                 QStringLiteral("△E*ab"), QStringLiteral("2.0"), 1.22, QString()}}));
    modal->answerOpenFile(sheet);
    page->on_ImportExcelBtn_clicked();
    measure(1, 50, 10, -20);
    measure(2, 50.5, 10.2, -19.8);  // PASS
    measure(2, 53, 11, -19);        // NG
    measure(2, 50.3, 9.8, -20.4);   // PASS
    measure(2, 54, 12, -17);        // NG
    testsupport::editTestName(page, 2, QStringLiteral("Door <A&B>"));
    testsupport::clickRowButton(page, 4, FirstPageForTesk::ColDelete);
    QCOMPARE(table()->model()->rowCount(), 4);
    page->on_ClearBtn_clicked();

    HistoryWindow *w = openWindow();
    QCOMPARE(w->rowsModel()->rowCount(), 5);
    w->ui->rowsView->selectAll();
    QCOMPARE(w->selectedIds().size(), 5);

    // The rows exported from the window in the table's layout ...
    const QString out = tmp->filePath(QStringLiteral("rows.xlsx"));
    modal->answerSaveFile(out, QStringLiteral("Excel 2007 (*.xlsx)"));
    QSignalSpy exported(w, &HistoryWindow::exportFinished);
    w->exportRows(HistoryWindow::ExportKind::Sheet);
    QVERIFY(exported.wait(20000));
    QCOMPARE(exported.first().first().toBool(), true);
    QVERIFY(QFile::exists(out));

    // ... and put into the table from the window.
    w->ui->putBtn->click();
    const Snapshot put = snapshot();
    QCOMPARE(put.rows.size(), 5);
    // Back in the table, each row is this run's again, with the event that says so; the deleted
    // one too.
    for (int r = 0; r < 5; ++r) {
        const HistoryRow stored = history->store().row(page->rowKey(r));
        QCOMPARE(stored.state, HistoryRowState::InTable);
        QCOMPARE(stored.runId, history->store().currentRun());
        const QList<HistoryEvent> story = history->store().eventsOfRow(stored.id);
        QCOMPARE(story.last().kind, HistoryEventKind::Restored);
    }
    // Putting rows in again that are in the table already leaves them as they are, and says so.
    w->ui->rowsView->selectAll();
    w->ui->putBtn->click();
    QCOMPARE(table()->model()->rowCount(), 5);
    QCOMPARE(modal->calls(ModalKind::Information).size(), 2); // the export's, and this one
    // Every step is in the chain, which the rows agree with.
    QVERIFY(history->checkHistory().intact());

    // The import of the exported file into an empty table gives the same table and counters.
    page->on_ClearBtn_clicked();
    modal->answerOpenFile(out);
    page->on_ImportExcelBtn_clicked();
    const Snapshot imported = snapshot();
    QCOMPARE(put, imported);
    // Both count as the import counts: the unjudged row is no count.
    QCOMPARE(put.counters, (QStringList{QStringLiteral("2"), QStringLiteral("2"), QStringLiteral("4")}));
}

// ---- filters and sorting ----

void tst_HistoryWindow::filtersAndSortingThroughTheWindow_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("where");
    QTest::addColumn<QVariantList>("binds");
    QTest::newRow("name contains a word") << "name" << "panel" << "test_name LIKE '%panel%'" << QVariantList{};
    QTest::newRow("name contains two letters") << "name" << "um" << "test_name LIKE '%um%'" << QVariantList{};
    QTest::newRow("name contains % and _ as typed") << "name" << "50%_" << "instr(test_name, '50%_') > 0" << QVariantList{};
    QTest::newRow("serial number") << "serial" << "20231235" << "serial_number = '20231235'" << QVariantList{};
    QTest::newRow("PASS") << "verdict" << "PASS" << "passed = 1" << QVariantList{};
    QTest::newRow("NG") << "verdict" << "NG" << "passed = 0" << QVariantList{};
    QTest::newRow("not judged") << "verdict" << "not judged" << "passed IS NULL" << QVariantList{};
    QTest::newRow("imported") << "origin" << "imported" << "origin = 'imported'" << QVariantList{};
    QTest::newRow("measured on the instrument") << "origin" << "measured on the instrument" << "origin = 'pushed'" << QVariantList{};
    QTest::newRow("deleted") << "state" << "deleted" << "state = 'deleted'" << QVariantList{};
    QTest::newRow("exported") << "state" << "exported" << "state = 'exported'" << QVariantList{};
    QTest::newRow("from") << "from" << "2026-12-05T10:00:00Z" << "stored_at >= '2026-12-05T10:00:00.000Z'" << QVariantList{};
    QTest::newRow("until, the minute included") << "until" << "2026-12-03T07:00:00Z"
                                                << "stored_at < '2026-12-03T07:01:00.000Z'" << QVariantList{};
    QTest::newRow("a run") << "run" << "" << "run_id = (SELECT MIN(id) FROM runs)" << QVariantList{};
}

void tst_HistoryWindow::filtersAndSortingThroughTheWindow()
{
    QFETCH(QString, control);
    QFETCH(QString, value);
    QFETCH(QString, where);
    QFETCH(QVariantList, binds);
    storeVariedRows(600);
    startSession();
    HistoryWindow *w = openWindow();
    Ui::HistoryWindow *ui = w->ui;
    QCOMPARE(w->rowsModel()->rowCount(), 600);
    auto pick = [](QComboBox *combo, const QString &text) {
        const int at = combo->findText(text);
        QVERIFY2(at >= 0, qPrintable(text));
        combo->setCurrentIndex(at);
        emit combo->activated(at);
    };
    if (control == "name") {
        QTest::keyClicks(ui->nameEdit, value); // applied after a pause in typing
    } else if (control == "serial") {
        ui->serialCombo->setEditText(value);
    } else if (control == "verdict") {
        pick(ui->verdictCombo, value);
    } else if (control == "origin") {
        pick(ui->originCombo, value);
    } else if (control == "state") {
        pick(ui->stateCombo, value);
    } else if (control == "from" || control == "until") {
        QDateTimeEdit *edit = control == "from" ? ui->fromEdit : ui->untilEdit;
        edit->setDateTime(QDateTime::fromString(value, Qt::ISODate).toLocalTime());
        (control == "from" ? ui->fromCheck : ui->untilCheck)->setChecked(true);
    } else if (control == "run") {
        // The oldest run: the runs are shown newest first.
        ui->runsView->selectRow(w->runsModel()->rowCount() - 1);
    }
    const qint64 expected = sqlCount(file(), where, binds);
    QVERIFY(expected > 0 && expected < 600);
    QTRY_COMPARE(qint64(w->rowsModel()->rowCount()), expected);
    QVERIFY(ui->countLabel->text().startsWith(QLocale().toString(expected)));

    // Sorted by ΔE through the header, going up: what plain SQL gives first.
    QHeaderView *header = ui->rowsView->horizontalHeader();
    header->setSortIndicator(HistoryRowsModel::ColDeltaE, Qt::AscendingOrder);
    const QModelIndex first = w->rowsModel()->index(0, HistoryRowsModel::ColDeltaE);
    QCOMPARE(first.data(HistoryRowsModel::ValueRole).toDouble(),
             sqlValue(file(), QStringLiteral("SELECT MIN(delta_e) FROM measurements WHERE ") + where, binds).toDouble());
    header->setSortIndicator(HistoryRowsModel::ColDeltaE, Qt::DescendingOrder);
    QCOMPARE(w->rowsModel()->rowCount(), int(expected)); // the filter stays
    const qint64 highest = sqlCount(file(), where + QStringLiteral(" AND delta_e = (SELECT MAX(delta_e) FROM measurements WHERE ")
                                                + where + u')', binds + binds);
    for (int r = 0; r < highest; ++r)
        QCOMPARE(w->rowsModel()->index(r, HistoryRowsModel::ColDeltaE).data(HistoryRowsModel::ValueRole),
                 w->rowsModel()->index(0, HistoryRowsModel::ColDeltaE).data(HistoryRowsModel::ValueRole));
    if (expected > highest)
        QVERIFY(w->rowsModel()->index(int(highest), HistoryRowsModel::ColDeltaE).data(HistoryRowsModel::ValueRole).toDouble()
                < w->rowsModel()->index(0, HistoryRowsModel::ColDeltaE).data(HistoryRowsModel::ValueRole).toDouble());

    // "Show all" lets every row through again.
    ui->resetFiltersBtn->click();
    QTRY_COMPARE(w->rowsModel()->rowCount(), 600);
}

// ---- Check history ----

void tst_HistoryWindow::checkReportedInTheWindow_data()
{
    QTest::addColumn<QString>("tamper");
    QTest::addColumn<QString>("said");
    QTest::newRow("intact") << "" << "Check history: intact, 12 events";
    QTest::newRow("an edited value")
        << "UPDATE events SET new_value = replace(new_value, 'Comp2', 'Comp9') WHERE chain_seq = 2"
        << "Check history: broken at event 2: it was changed after it was written";
    QTest::newRow("cancelled") << "cancel" << "Check history: the check was cancelled";
}

void tst_HistoryWindow::checkReportedInTheWindow()
{
    QFETCH(QString, tamper);
    QFETCH(QString, said);
    startSession();
    measure(1, 50, 10, -20);
    for (int i = 0; i < 12; ++i)
        measure(2, 50 + i * 0.3, 10, -20);
    if (!tamper.isEmpty() && tamper != "cancel")
        QVERIFY(execOn(file(), {tamper}));
    HistoryWindow *w = openWindow();
    if (tamper == "cancel")
        modal->cancelProgressAt(0);
    QSignalSpy finished(w, &HistoryWindow::checkFinished);
    w->ui->checkBtn->click();
    QVERIFY(!w->ui->checkBtn->isEnabled()); // one check at a time
    // The window answers while the check runs on its own thread.
    QVERIFY(finished.wait(20000));
    QCOMPARE(w->ui->checkLabel->text(), said);
    QVERIFY(w->ui->checkBtn->isEnabled());
    QCOMPARE(modal->calls(ModalKind::Progress).size(), 1);
    if (tamper.isEmpty()) {
        QCOMPARE(modal->calls(ModalKind::Information).size(), 1);
        QVERIFY(modal->calls(ModalKind::Information).first().text.contains(QStringLiteral("intact, 12 events")));
    } else if (tamper == "cancel") {
        QCOMPARE(modal->calls(ModalKind::Information).size() + modal->calls(ModalKind::Warning).size(), 0);
    } else {
        QCOMPARE(modal->calls(ModalKind::Warning).size(), 1);
        QVERIFY(modal->calls(ModalKind::Warning).first().text.contains(QStringLiteral("broken at event 2")));
    }
}

// ---- a damaged file ----

// SQLite's check of every page runs after start on its own thread; damage it finds turns the
// history off for the run, and the next start moves the file aside before anything touches it.
void tst_HistoryWindow::damageInTheMiddleFoundAfterStart()
{
    storeVariedRows(3000);
    // A leaf page of the rows in the middle of the file: no read at open goes there.
    qint64 page = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("pages"));
        db.setDatabaseName(file());
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT pageno FROM dbstat WHERE name = 'measurements' AND pagetype = 'leaf' "
                                      "ORDER BY pageno")));
        QList<qint64> leaves;
        while (q.next())
            leaves << q.value(0).toLongLong();
        QVERIFY(leaves.size() > 20);
        page = leaves.at(leaves.size() / 2);
        QVERIFY(q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("pages"));
    {
        QFile f(file());
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek((page - 1) * 4096 + 8));
        f.write(QByteArray(3000, '\x5a'));
    }
    const QByteArray damaged = [this] {
        QFile f(file());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();

    startSession(); // opens at once: the pages are checked afterwards
    QSignalSpy checked(history, &HistoryController::fileChecked);
    QVERIFY(checked.wait(20000));
    QCOMPARE(checked.first().first().toBool(), true);
    QVERIFY(!history->isOn());
    QCOMPARE(modal->calls(ModalKind::Warning).size(), 1);
    QVERIFY(modal->calls(ModalKind::Warning).first().text.contains(QStringLiteral("moved aside")));
    // Measuring goes on, in the table only.
    measure(1, 50, 10, -20);
    measure(2, 51, 10, -20);
    QCOMPARE(table()->model()->rowCount(), 1);
    endSession();

    startSession();
    const QStringList aside = QDir(QFileInfo(file()).absolutePath())
                                  .entryList({QStringLiteral("history.sqlite.damaged-*")}, QDir::Files);
    QCOMPARE(aside.size(), 1);
    QFile moved(QFileInfo(file()).absolutePath() + u'/' + aside.first());
    QVERIFY(moved.open(QIODevice::ReadOnly));
    QCOMPARE(moved.readAll().size(), damaged.size()); // kept whole, never deleted
    QCOMPARE(history->store().rowCount(), 0);         // a new history in its place
    QCOMPARE(modal->calls(ModalKind::Warning).size(), 2);
    QVERIFY(modal->calls(ModalKind::Warning).last().text.contains(QStringLiteral("moved aside to")));
    checked.clear();
    QSignalSpy checkedAgain(history, &HistoryController::fileChecked);
    QVERIFY(checkedAgain.wait(20000));
    QCOMPARE(checkedAgain.first().first().toBool(), false);
    QVERIFY(history->isOn());
}

// ---- the report, and the two CGATS files ----

void tst_HistoryWindow::reportOfOneRowAndCgatsFiles()
{
    startSession();
    measure(1, 50, 10, -20);
    measure(2, 50.5, 10.2, -19.8);
    measure(2, 53, 11, -19);
    page->on_ClearBtn_clicked();
    HistoryWindow *w = openWindow();
    // The report of one row: the report window the table's Report button opens.
    w->ui->rowsView->selectRow(1); // newest first: the first pair
    QVERIFY(w->ui->reportBtn->isEnabled());
    w->ui->reportBtn->click();
    auto *report = page->findChild<ReportPageForTesk *>();
    QVERIFY(report);
    QCOMPARE(report->sampleName, QStringLiteral("Comp1"));
    QCOMPARE(report->deltaE, 0.57);
    QCOMPARE(report->verdict, QStringLiteral("PASS"));
    report->close();
    w->ui->rowsView->selectAll();
    QVERIFY(!w->ui->reportBtn->isEnabled()); // one row at a time

    // CGATS: two files beside the name given; a name the dialog did not show is asked about.
    const QString name = tmp->filePath(QStringLiteral("lot.ti3"));
    QFile old(tmp->filePath(QStringLiteral("lot-samples.ti3")));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("older");
    old.close();
    modal->answerSaveFile(name);
    modal->answerQuestion(QMessageBox::No);
    w->exportRows(HistoryWindow::ExportKind::Cgats);
    QVERIFY(!w->busy());
    QVERIFY(!QFile::exists(tmp->filePath(QStringLiteral("lot-standards.ti3"))));
    modal->answerSaveFile(name);
    modal->answerQuestion(QMessageBox::Yes);
    QSignalSpy exported(w, &HistoryWindow::exportFinished);
    w->exportRows(HistoryWindow::ExportKind::Cgats);
    QVERIFY(exported.wait(20000));
    for (const char *file : {"lot-standards.ti3", "lot-samples.ti3"}) {
        QFile f(tmp->filePath(QLatin1String(file)));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY(text.startsWith("CGATS.17"));
        QVERIFY(text.contains("NUMBER_OF_SETS 2"));
    }
}

// ---- languages ----

void tst_HistoryWindow::bothLanguages()
{
    storeVariedRows(40);
    auto texts = [this](const QString &language) {
        startSession(language);
        HistoryWindow *w = openWindow();
        QCoreApplication::processEvents(); // the language's titles of the table's columns
        w->ui->rowsView->selectRow(0);
        QMap<QString, QString> t;
        t[QStringLiteral("title")] = w->windowTitle();
        for (QAbstractButton *b : w->findChildren<QAbstractButton *>())
            if (!b->objectName().isEmpty() && !b->text().isEmpty())
                t[b->objectName()] = b->text();
        for (QLabel *l : w->findChildren<QLabel *>())
            if (!l->text().isEmpty() && l->objectName().endsWith(QLatin1String("Label"))
                && l->objectName() != QLatin1String("countLabel"))
                t[l->objectName()] = l->text();
        for (QComboBox *c : {w->ui->verdictCombo, w->ui->originCombo, w->ui->stateCombo, w->ui->groupingCombo,
                             w->ui->sourceCombo})
            for (int i = 0; i < c->count(); ++i)
                t[c->objectName() + QString::number(i)] = c->itemText(i);
        // The desks' own names are the user's, in no language: "any" is ours.
        t[QStringLiteral("deskAny")] = w->ui->deskCombo->itemText(0);
        for (int i = 0; i < w->ui->tabs->count(); ++i)
            t[QStringLiteral("tab%1").arg(i)] = w->ui->tabs->tabText(i);
        for (int c = 0; c < HistoryRowsModel::ColumnCount; ++c)
            t[QStringLiteral("rows%1").arg(c)] = w->rowsModel()->headerData(c, Qt::Horizontal).toString();
        for (int c = 0; c < HistoryRunsModel::ColumnCount; ++c)
            t[QStringLiteral("runs%1").arg(c)] = w->runsModel()->headerData(c, Qt::Horizontal).toString();
        for (int c = 0; c < HistoryStoryModel::ColumnCount; ++c)
            t[QStringLiteral("story%1").arg(c)] = w->storyModel()->headerData(c, Qt::Horizontal).toString();
        t[QStringLiteral("origin")] = w->rowsModel()->index(0, HistoryRowsModel::ColOrigin).data().toString();
        t[QStringLiteral("state")] = w->rowsModel()->index(0, HistoryRowsModel::ColState).data().toString();
        t[QStringLiteral("event")] = w->storyModel()->index(0, HistoryStoryModel::ColWhat).data().toString();
        t[QStringLiteral("ended")] = w->runsModel()->index(0, HistoryRunsModel::ColEnd).data().toString();
        endSession();
        return t;
    };
    const QMap<QString, QString> english = texts(QStringLiteral("en"));
    const QMap<QString, QString> chinese = texts(QStringLiteral("zh"));
    QCOMPARE(chinese.keys(), english.keys());
    QCOMPARE(english.value(QStringLiteral("title")), QStringLiteral("Measurement history"));
    QCOMPARE(chinese.value(QStringLiteral("title")), QStringLiteral("测量历史记录"));
    // Every text the user reads is the language's own, but for those alike in both: the
    // quantities and numbers of the table's columns.
    const QRegularExpression alike(QStringLiteral("^(△E|NO|SN|L\\*|a\\*|b\\*|C\\*|h|CSV\\.\\.\\.)$"));
    for (auto it = english.cbegin(); it != english.cend(); ++it) {
        if (alike.match(it.value()).hasMatch())
            continue;
        QVERIFY2(chinese.value(it.key()) != it.value(), qPrintable(it.key() + ": " + it.value()));
    }
}

// ---- the laboratory's server ----

// Two desks' rows on the server: this one's sent by its sender, another's stored there
// directly. The window shows them all, tells them apart by the desk filter and column (counted
// against plain SQL on the server), checks every chain there, puts only this desk's rows into
// its table, and shows this computer's history again.
void tst_HistoryWindow::everyDeskOnTheServer()
{
    if (!testsupport::TestServerDatabase::base().isSet()) {
        if (testsupport::HistoryPlace::required())
            QFAIL("no PostgreSQL test server");
        QSKIP("no PostgreSQL test server: run under scripts/with-postgres.sh");
    }
    const auto db = std::make_unique<testsupport::TestServerDatabase>();
    QVERIFY2(db->ready(), qPrintable(db->error()));
    const HistoryServer server = db->server();
    auto serverCount = [&server](const QString &where) {
        return testsupport::historyScalar(server, QString(), QStringLiteral("SELECT COUNT(*) FROM measurements WHERE ") + where)
            .toLongLong();
    };
    startSession();
    measure(1, 50, 10, -20);
    measure(2, 50.5, 10.2, -19.8); // PASS
    measure(2, 53, 11, -19);       // NG
    measure(2, 50.3, 9.8, -20.4);  // PASS
    page->on_ClearBtn_clicked();
    const QString here = history->store().identity().desk;
    HistoryLocation location;
    location.onServer = true;
    location.server = server;
    location.deskName = QStringLiteral("Desk A");
    history->setLocation(location);
    QTRY_COMPARE_WITH_TIMEOUT(serverCount(QStringLiteral("desk = '%1' AND state = 'cleared'").arg(here)), qint64(3), 20000);

    // Another desk, with a name of its own, stores six rows there.
    {
        HistoryStore other;
        QVERIFY2(other.open(server), qPrintable(other.errorText()));
        other.setIdentity({QStringLiteral("inspector"), QStringLiteral("bench-b"), QStringLiteral("machine-b:inspector")});
        QVERIFY(other.setDeskName(QStringLiteral("Desk B")));
        QList<HistoryRow> rows;
        for (int i = 0; i < 6; ++i) {
            HistoryRow r;
            r.sequence = i + 1;
            r.testName = QStringLiteral("Lot B %1").arg(i);
            r.timeText = QStringLiteral("2026/12/01  08:00");
            r.standard = {50, 10, -20, 22.36, 296.57};
            r.sample = {50.0 + i, 10, -20, 22.36, 296.57};
            r.deltaE = i;
            r.passed = i <= 2 ? 1 : 0;
            r.verdict = r.passed ? QStringLiteral("PASS") : QStringLiteral("NG");
            r.serialNumber = QStringLiteral("20240001");
            rows << r;
        }
        QCOMPARE(other.addRows(rows).size(), 6);
    }

    HistoryWindow *w = openWindow();
    Ui::HistoryWindow *ui = w->ui;
    QVERIFY(!ui->sourceBar->isHidden());
    QVERIFY(!w->showsServer());
    QCOMPARE(w->rowsModel()->rowCount(), 3); // this computer's file
    QVERIFY(ui->rowsView->isColumnHidden(HistoryRowsModel::ColDesk));

    QSignalSpy switched(w, &HistoryWindow::sourceChanged);
    QSignalSpy desks(w, &HistoryWindow::desksLoaded);
    ui->sourceCombo->setCurrentIndex(ui->sourceCombo->findData(true));
    emit ui->sourceCombo->activated(ui->sourceCombo->currentIndex());
    QVERIFY(switched.wait(20000));
    QVERIFY(w->showsServer());
    QVERIFY(ui->serverLabel->isHidden());
    QCOMPARE(qint64(w->rowsModel()->rowCount()), serverCount(QStringLiteral("TRUE")));
    QCOMPARE(w->rowsModel()->rowCount(), 9);
    QVERIFY(!ui->rowsView->isColumnHidden(HistoryRowsModel::ColDesk));
    QTRY_COMPARE_WITH_TIMEOUT(ui->deskCombo->count(), 3, 20000);

    // Each desk by its name, against a plain count on the server; the desk column says whose.
    for (const auto &[name, desk] : {std::pair<QString, QString>{QStringLiteral("Desk A"), here},
                                     std::pair<QString, QString>{QStringLiteral("Desk B"), QStringLiteral("machine-b:inspector")}}) {
        const int at = ui->deskCombo->findText(name);
        QVERIFY2(at > 0, qPrintable(name));
        ui->deskCombo->setCurrentIndex(at);
        emit ui->deskCombo->activated(at);
        const qint64 expected = serverCount(QStringLiteral("desk = '%1'").arg(desk));
        QVERIFY(expected > 0);
        QCOMPARE(qint64(w->rowsModel()->rowCount()), expected);
        for (int r = 0; r < w->rowsModel()->rowCount(); ++r)
            QCOMPARE(w->rowsModel()->index(r, HistoryRowsModel::ColDesk).data().toString(), name);
        // The runs listed are that desk's.
        QCOMPARE(qint64(w->runsModel()->rowCount()),
                 testsupport::historyScalar(server, QString(),
                                            QStringLiteral("SELECT COUNT(*) FROM runs WHERE desk = '%1'").arg(desk))
                     .toLongLong());
    }
    // With another filter: Desk B's NG rows.
    const int ng = ui->verdictCombo->findText(QStringLiteral("NG"));
    ui->verdictCombo->setCurrentIndex(ng);
    emit ui->verdictCombo->activated(ng);
    QCOMPARE(qint64(w->rowsModel()->rowCount()), serverCount(QStringLiteral("desk = 'machine-b:inspector' AND passed = 0")));
    ui->resetFiltersBtn->click();
    QCOMPARE(w->rowsModel()->rowCount(), 9);

    // "Check history" walks both desks' chains there.
    QSignalSpy checked(w, &HistoryWindow::checkFinished);
    ui->checkBtn->click();
    QVERIFY(checked.wait(20000));
    const qint64 events = testsupport::historyScalar(server, QString(), QStringLiteral("SELECT COUNT(*) FROM events")).toLongLong();
    QCOMPARE(ui->checkLabel->text(), QStringLiteral("Check history: intact, %1 events in 2 chains").arg(events));

    // Put into the table: this desk's three rows go in; the other desk's six are refused.
    const int infoBefore = modal->calls(ModalKind::Information).size();
    ui->rowsView->selectAll();
    ui->putBtn->click();
    QCOMPARE(table()->model()->rowCount(), 3);
    QCOMPARE(modal->calls(ModalKind::Information).size(), infoBefore + 1);
    const QString said = modal->calls(ModalKind::Information).last().text;
    QVERIFY2(said.contains(QStringLiteral("3 rows were put into the table")), qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("6 rows were measured at other desks")), qPrintable(said));
    for (int r = 0; r < 3; ++r)
        QCOMPARE(history->store().row(page->rowKey(r)).state, HistoryRowState::InTable);
    QVERIFY(history->checkHistory().intact());

    // Back to this computer's history.
    switched.clear();
    ui->sourceCombo->setCurrentIndex(ui->sourceCombo->findData(false));
    emit ui->sourceCombo->activated(ui->sourceCombo->currentIndex());
    QVERIFY(!w->showsServer());
    QCOMPARE(w->rowsModel()->rowCount(), 3);
    QCOMPARE(switched.size(), 1);
}

// A server that cannot be reached: the window says so in one line and goes on showing this
// computer's history; the GUI is never held while the connection is tried.
void tst_HistoryWindow::serverThatCannotBeReached()
{
    storeVariedRows(40);
    startSession();
    HistoryLocation location;
    location.onServer = true;
    location.server.host = tmp->filePath(QStringLiteral("no-server-here"));
    location.server.database = QStringLiteral("qc");
    history->setLocation(location);
    HistoryWindow *w = openWindow();
    Ui::HistoryWindow *ui = w->ui;
    QSignalSpy switched(w, &HistoryWindow::sourceChanged);
    ui->sourceCombo->setCurrentIndex(ui->sourceCombo->findData(true));
    emit ui->sourceCombo->activated(ui->sourceCombo->currentIndex());
    QVERIFY(!ui->sourceCombo->isEnabled()); // while it is tried
    QVERIFY(switched.wait(20000));
    QVERIFY(!w->showsServer());
    QCOMPARE(ui->sourceCombo->currentData().toBool(), false);
    QVERIFY(!ui->serverLabel->isHidden());
    QVERIFY2(ui->serverLabel->text().startsWith(QStringLiteral("The history server %1 cannot be read")
                                                    .arg(location.server.displayName())),
             qPrintable(ui->serverLabel->text()));
    QVERIFY(!ui->serverLabel->text().contains(u'\n'));
    // This computer's history works as before.
    QCOMPARE(qint64(w->rowsModel()->rowCount()), sqlCount(file(), QStringLiteral("1")));
    const int ng = ui->verdictCombo->findText(QStringLiteral("NG"));
    ui->verdictCombo->setCurrentIndex(ng);
    emit ui->verdictCombo->activated(ng);
    QCOMPARE(qint64(w->rowsModel()->rowCount()), sqlCount(file(), QStringLiteral("passed = 0")));
    QVERIFY(ui->sourceCombo->isEnabled());
}

// A server that takes the connection but never answers keeps libpq waiting for seconds: the
// window goes on meanwhile, and closing it does not wait for the try to end.
void tst_HistoryWindow::windowClosedWhileTheServerIsTried()
{
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    startSession();
    HistoryLocation location;
    location.onServer = true;
    location.server.host = QStringLiteral("127.0.0.1");
    location.server.port = silent.serverPort();
    location.server.database = QStringLiteral("qc");
    history->setLocation(location);
    HistoryWindow *w = openWindow();
    QElapsedTimer clock;
    clock.start();
    w->ui->sourceCombo->setCurrentIndex(w->ui->sourceCombo->findData(true));
    emit w->ui->sourceCombo->activated(w->ui->sourceCombo->currentIndex());
    QTest::qWait(300);
    QVERIFY(!w->ui->sourceCombo->isEnabled()); // still trying
    QVERIFY(!w->showsServer());
    delete w;
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    // The try ends by itself and leaves no connection behind.
    auto readers = [] {
        return QSqlDatabase::connectionNames().filter(QStringLiteral("history-reader")).size();
    };
    QTRY_COMPARE_WITH_TIMEOUT(readers(), 0, 15000);
}

QTEST_MAIN(tst_HistoryWindow)
#include "tst_historywindow.moc"
