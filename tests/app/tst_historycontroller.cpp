// The history joined to a real measurement page against the virtual instrument: rows stored as
// they are shown, with their origin; deletions, re-judging and renaming written through; the
// runs offered back at the next start with the same table and counters, and test names that
// go on after the run's last; declined rows in no table; the close question; a history that
// cannot be used, is damaged, or fails in the middle of a run, and what the user is told.
#include "clinker.h"
#include "cprotocol.h"
#include "firstpagefortesk.h"
#include "historycontroller.h"
#include "historylocationdialog.h"
#include "historyplace.h"
#include "linkport.h"
#include "measurementmodel.h"
#include "scriptedmodal.h"
#include "testsupport.h"
#include "usersettings.h"
#include "virtualinstrument.h"

#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

#include <csignal>
#include <memory>

#include <sys/resource.h>

namespace {

struct Snapshot
{
    QList<QStringList> rows; // the cell texts of every row
    QList<int> counters;     // NG, PASS, total, test counter
};

} // namespace

class tst_HistoryController : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void rowsAreStoredWithTheirOrigin_data();
    void rowsAreStoredWithTheirOrigin();
    void deletionRejudgingAndRenamingAreWrittenThrough();
    void nextStart_data();
    void nextStart();
    void restoredRowsGoOnLikeMeasuredOnes();
    void testNamesAreNeverGivenTwiceInARun_data();
    void testNamesAreNeverGivenTwiceInARun();
    void measurementPushedWhileTheOfferIsOpen();
    void exportedAndImportedAgain();
    void closeQuestion_data();
    void closeQuestion();
    void escapeIsLeftToTheWindow();
    void historyThatCannotBeOpened();
    void damagedHistoryIsMovedAsideAndSaidOnce();
    void diskTroubleInTheMiddleOfARun_data();
    void diskTroubleInTheMiddleOfARun();
    void newestEventsRemovedBetweenSessions();
    void batchesAreStoredWhole_data();
    void batchesAreStoredWhole();
    void serverThatCannotBeUsed_data();
    void serverThatCannotBeUsed();

private:
    // A window with a page and its history, as the program builds them.
    void startSession();
    void endSession();
    void measure(int side, double L, double a, double b) { testsupport::measure(page, vi, side, L, a, b); }
    void measurePairs(int n)
    {
        measure(1, 50, 10, -20);
        for (int i = 0; i < n; ++i)
            measure(2, 53 + i * 0.7, 11, -19 + i);
    }
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
        s.counters = {page->ngCount, page->passCount, page->totalCount, page->testCounter};
        for (const char *edit : {"UnqualnumEdit", "QualnumEdit", "TotalnumEdit"})
            s.counters << page->findChild<QLineEdit *>(edit)->text().toInt();
        return s;
    }
    QString file() const { return tmp->filePath(QStringLiteral("data/history.sqlite")); }
    int warnings(const QString &needle) const
    {
        int n = 0;
        for (const ModalCall &call : modal->calls(ModalKind::Warning))
            n += call.text.contains(needle);
        return n;
    }

    std::unique_ptr<QTemporaryDir> tmp;
    VirtualInstrument *vi = nullptr;
    LinkPort *port = nullptr;
    ScriptedModal *modal = nullptr;
    QDialog *window = nullptr;
    FirstPageForTesk *page = nullptr;
    HistoryController *history = nullptr;
};

void tst_HistoryController::init()
{
    tmp = std::make_unique<QTemporaryDir>();
    // The chain's head is kept in the user's settings: the test's own.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(tmp->filePath(QStringLiteral("config"))));
    CProtocol::setWaitScaleForTests(0.02);
    vi = new VirtualInstrument;
    port = testsupport::connectedPort(vi);
    QVERIFY(port->link);
    modal = new ScriptedModal;
}

void tst_HistoryController::cleanup()
{
    endSession();
    QCOMPARE(modal->unexpectedCount(), 0);
    delete modal;
    LinkPort::setCurrent(nullptr);
    testsupport::releaseInstrument(port, vi);
}

void tst_HistoryController::startSession()
{
    window = new QDialog;
    auto *layout = new QVBoxLayout(window);
    page = new FirstPageForTesk(window);
    layout->addWidget(page);
    page->formulaIndex = 0;
    page->threshold = 2.0;
    page->findChild<QLineEdit *>("serialNoEdit")->setText(QStringLiteral("20231234"));
    page->findChild<QLineEdit *>("formulaEdit")->setText(QStringLiteral("△E*ab"));
    history = new HistoryController(window, page, window);
    history->start(file());
}

// The process ends without a word: nothing is ended, nothing asked.
void tst_HistoryController::endSession()
{
    delete window;
    window = nullptr;
    page = nullptr;
    history = nullptr;
}

void tst_HistoryController::rowsAreStoredWithTheirOrigin_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("measured") << int(RowOrigin::Measured);
    QTest::newRow("pushed") << int(RowOrigin::Pushed);
    QTest::newRow("downloaded") << int(RowOrigin::Downloaded);
    QTest::newRow("imported") << int(RowOrigin::Imported);
}

void tst_HistoryController::rowsAreStoredWithTheirOrigin()
{
    QFETCH(int, kind);
    startSession();
    QVERIFY(history->isOn());
    if (kind == RowOrigin::Measured) {
        measurePairs(1);
    } else if (kind == RowOrigin::Pushed) {
        measure(1, 50, 10, -20);
        page->measureTarget = 2;
        page->SaveData(measurement::frame(VirtualInstrument::measurementFromLab(52, 13, -16), 1));
    } else if (kind == RowOrigin::Downloaded) {
        vi->setRecords({{"R0", 5000, 1000, -2000, 5200, 1300, -1600}});
        page->openThreadSlot(); // the download reads the parameters under the worker's lock
        page->on_readcolordifrecordBtn_clicked();
        page->closeThreadSlot();
    } else {
        MeasurementRecord record;
        record.sequence = 1;
        record.testName = QStringLiteral("Panel A");
        record.timeText = QStringLiteral("2026/12/01 08:00");
        record.standard = {50, 10, -20, 22.36, 296.6};
        record.sample = {52, 13, -16, 20.62, 309.1};
        record.deltaE = 5.39;
        record.verdict = QStringLiteral("NG");
        record.serialNumber = QStringLiteral("20231234");
        RowOriginScope scope(page->rowOrigin, {RowOrigin::Kind(kind), QStringLiteral("/data/in.xls")});
        page->appendRow(record);
    }
    QCOMPARE(table()->model()->rowCount(), 1);
    const qint64 id = page->rowKey(0);
    QVERIFY(id > 0);
    const HistoryRow stored = history->store().row(id);
    const MeasurementRecord shown = page->rowRecord(0);
    QCOMPARE(stored.testName, shown.testName);
    QCOMPARE(stored.timeText, shown.timeText);
    QCOMPARE(stored.standard[0], shown.standard[0]);
    QCOMPARE(stored.sample[2], shown.sample[2]);
    QCOMPARE(QString::number(stored.deltaE, 'f', 2), testsupport::cellText(table(), 0, FirstPageForTesk::ColDeltaE));
    QCOMPARE(stored.verdict, shown.verdict);
    QCOMPARE(stored.serialNumber, QStringLiteral("20231234"));
    const HistoryOrigin expected[] = {HistoryOrigin::Measured, HistoryOrigin::Pushed, HistoryOrigin::Downloaded,
                                      HistoryOrigin::Imported};
    QCOMPARE(stored.origin, expected[kind]);
    if (kind == RowOrigin::Imported) {
        QCOMPARE(stored.originFile, QStringLiteral("/data/in.xls"));
        QCOMPARE(stored.formulaIndex, -1); // judged elsewhere, with what is not known
    } else {
        QCOMPARE(stored.formulaIndex, page->formulaIndex);
        QCOMPARE(stored.threshold, page->threshold);
        QVERIFY(stored.formulaIndex >= 0 && stored.threshold > 0);
    }
    // The origin a flow set is over with the flow.
    QCOMPARE(page->rowOrigin.kind, RowOrigin::Measured);
}

void tst_HistoryController::deletionRejudgingAndRenamingAreWrittenThrough()
{
    startSession();
    measurePairs(3);
    QCOMPARE(table()->model()->rowCount(), 3);
    const qint64 first = page->rowKey(0), second = page->rowKey(1), third = page->rowKey(2);

    testsupport::clickRowButton(page, 1, FirstPageForTesk::ColDelete);
    QCOMPARE(table()->model()->rowCount(), 2);
    QCOMPARE(history->store().row(second).state, HistoryRowState::Deleted);
    QCOMPARE(page->rowKey(1), third); // the keys moved up with their rows

    testsupport::editTestName(page, 1, QStringLiteral("Door panel"));
    QCOMPARE(history->store().row(third).testName, QStringLiteral("Door panel"));

    QCOMPARE(history->store().row(first).passed, 0);
    page->threshold = 30.0;
    page->formulaIndex = 5;
    page->findChild<QLineEdit *>("ThresholdsEdit")->setText(QStringLiteral("30.0"));
    page->reevaluateRows();
    for (qint64 id : {first, third}) {
        const HistoryRow row = history->store().row(id);
        QCOMPARE(row.passed, 1);
        QCOMPARE(row.formulaIndex, 5);
        QCOMPARE(row.threshold, 30.0);
        QCOMPARE(row.thresholdText, QStringLiteral("30.0"));
        QCOMPARE(row.state, HistoryRowState::InTable);
    }
    QCOMPARE(QString::number(history->store().row(first).deltaE, 'f', 2),
             testsupport::cellText(table(), 0, FirstPageForTesk::ColDeltaE));
    QCOMPARE(history->store().row(second).passed, 0); // a deleted row is not judged again
    QCOMPARE(history->store().rowCount(), 3);
    // Each change is an event of its row.
    auto story = [this](qint64 id) {
        QStringList kinds;
        for (const HistoryEvent &event : history->store().eventsOfRow(id))
            kinds << historyEventKindName(event.kind);
        return kinds.join(u' ');
    };
    QCOMPARE(story(first), QStringLiteral("added rejudged"));
    QCOMPARE(story(second), QStringLiteral("added deleted"));
    QCOMPARE(story(third), QStringLiteral("added renamed rejudged"));
    QCOMPARE(history->checkHistory().text(), QStringLiteral("intact, 7 events"));
}

void tst_HistoryController::nextStart_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<bool>("offered");
    QTest::newRow("killed") << "killed" << true;
    QTest::newRow("killed after a deletion") << "deleted" << true;
    QTest::newRow("cleared") << "cleared" << false;
    QTest::newRow("exported") << "exported" << false;
    QTest::newRow("closed anyway") << "close anyway" << true;
}

void tst_HistoryController::nextStart()
{
    QFETCH(QString, ending);
    QFETCH(bool, offered);
    startSession();
    measurePairs(4);
    if (ending == QLatin1String("deleted"))
        testsupport::clickRowButton(page, 2, FirstPageForTesk::ColDelete);
    else if (ending == QLatin1String("cleared"))
        page->on_ClearBtn_clicked();
    else if (ending == QLatin1String("exported")) {
        modal->answerQuestion(QMessageBox::Save);
        modal->answerSaveFile(tmp->filePath(QStringLiteral("out.xls")));
        QVERIFY(window->close());
        QVERIFY(QFileInfo::exists(tmp->filePath(QStringLiteral("out.xls"))));
    } else if (ending == QLatin1String("close anyway")) {
        modal->answerQuestion(QMessageBox::Discard);
        QVERIFY(window->close());
    }
    const Snapshot before = snapshot();
    endSession();

    const int questions = modal->calls(ModalKind::Question).size();
    if (offered)
        modal->answerQuestion(QMessageBox::Yes);
    startSession();
    const QList<ModalCall> asked = modal->calls(ModalKind::Question).mid(questions);
    QCOMPARE(asked.size(), offered ? 1 : 0);
    if (!offered) {
        QCOMPARE(table()->model()->rowCount(), 0);
        return;
    }
    QVERIFY2(asked.first().text.contains(QStringLiteral(" %1 measurements").arg(before.rows.size())),
             qPrintable(asked.first().text));
    const Snapshot after = snapshot();
    QCOMPARE(after.rows, before.rows);
    QCOMPARE(after.counters, before.counters);
    const qint64 restored = page->rowKey(0);
    // Put back, they are this run's rows: the start after that offers them again, once.
    endSession();
    modal->answerQuestion(QMessageBox::No);
    startSession();
    QCOMPARE(table()->model()->rowCount(), 0);
    // Declined, they are in no table.
    QCOMPARE(historyStateName(history->store().row(restored).state), QStringLiteral("not_restored"));
    endSession();
    startSession();
    QCOMPARE(modal->calls(ModalKind::Question).size(), questions + 2);
}

void tst_HistoryController::restoredRowsGoOnLikeMeasuredOnes()
{
    startSession();
    measurePairs(3);
    endSession();
    modal->answerQuestion(QMessageBox::Yes);
    startSession();
    QCOMPARE(table()->model()->rowCount(), 3);
    measure(1, 50, 10, -20);
    measure(2, 55, 10, -20);
    QCOMPARE(table()->model()->rowCount(), 4);
    QCOMPARE(testsupport::cellText(table(), 3, FirstPageForTesk::ColTestName), QStringLiteral("Comp4"));
    QCOMPARE(testsupport::cellText(table(), 3, FirstPageForTesk::ColNo), QStringLiteral("4"));
    // A restored row is deleted like any other, in the history too.
    const qint64 restored = page->rowKey(0);
    testsupport::clickRowButton(page, 0, FirstPageForTesk::ColDelete);
    QCOMPARE(history->store().row(restored).state, HistoryRowState::Deleted);
    QCOMPARE(history->store().rowCount(), 4);
}

void tst_HistoryController::testNamesAreNeverGivenTwiceInARun_data()
{
    QTest::addColumn<QString>("before");
    // Comp1..Comp3 measured, then this, then the program is killed and the rows put back.
    QTest::newRow("last row deleted") << "delete";
    QTest::newRow("last row renamed") << "rename";
    QTest::newRow("put back, last row deleted, killed again") << "restore";
}

void tst_HistoryController::testNamesAreNeverGivenTwiceInARun()
{
    QFETCH(QString, before);
    startSession();
    measurePairs(3);
    auto changeLastRow = [this, &before] {
        const int last = table()->model()->rowCount() - 1;
        if (before == QLatin1String("rename"))
            testsupport::editTestName(page, last, QStringLiteral("Door panel"));
        else
            testsupport::clickRowButton(page, last, FirstPageForTesk::ColDelete);
    };
    changeLastRow();
    endSession();
    modal->answerQuestion(QMessageBox::Yes);
    startSession();
    if (before == QLatin1String("restore")) {
        changeLastRow(); // Comp2 goes too
        endSession();
        modal->answerQuestion(QMessageBox::Yes);
        startSession();
    }
    measure(1, 50, 10, -20);
    measure(2, 55, 10, -20);
    const int last = table()->model()->rowCount() - 1;
    QCOMPARE(testsupport::cellText(table(), last, FirstPageForTesk::ColTestName), QStringLiteral("Comp4"));
    QCOMPARE(history->store().row(page->rowKey(last)).testName, QStringLiteral("Comp4"));
}

namespace {
// Runs something while a box is open, as the event loop of a real box would.
class BusyModal : public ScriptedModal
{
public:
    std::function<void()> whileOpen;
    QMessageBox::StandardButton message(ModalKind kind, QWidget *parent, const QString &title, const QString &text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override
    {
        if (whileOpen)
            std::exchange(whileOpen, nullptr)();
        return ScriptedModal::message(kind, parent, title, text, buttons, defaultButton);
    }
};
} // namespace

void tst_HistoryController::measurementPushedWhileTheOfferIsOpen()
{
    startSession();
    measurePairs(2);
    endSession();

    delete modal;
    auto *busy = new BusyModal;
    modal = busy;
    busy->answerQuestion(QMessageBox::Yes);
    busy->whileOpen = [this] {
        page->measureTarget = 1;
        page->SaveData(measurement::frame(VirtualInstrument::measurementFromLab(40, 0, 0), 1));
        page->measureTarget = 2;
        page->SaveData(measurement::frame(VirtualInstrument::measurementFromLab(45, 0, 0), 1));
    };
    startSession();
    QCOMPARE(table()->model()->rowCount(), 3); // the pushed pair, then the two put back
    for (int r = 0; r < 3; ++r)
        QVERIFY(page->rowKey(r) > 0);
    QCOMPARE(history->store().row(page->rowKey(0)).origin, HistoryOrigin::Pushed);
    endSession();

    // Killed again: all three are offered.
    modal->answerQuestion(QMessageBox::No);
    startSession();
    QVERIFY(modal->calls(ModalKind::Question).last().text.contains(QLatin1String(" 3 measurements")));
}

void tst_HistoryController::exportedAndImportedAgain()
{
    startSession();
    measurePairs(2);
    const qint64 first = page->rowKey(0);
    const QString out = tmp->filePath(QStringLiteral("out.xls"));
    modal->answerSaveFile(out);
    QVERIFY(page->exportTable());
    QCOMPARE(history->store().row(first).state, HistoryRowState::Exported);

    modal->answerOpenFile(out);
    page->on_ImportExcelBtn_clicked();
    QCOMPARE(table()->model()->rowCount(), 2);
    const HistoryRow imported = history->store().row(page->rowKey(1));
    QCOMPARE(imported.origin, HistoryOrigin::Imported);
    QCOMPARE(imported.originFile, out);
    QCOMPARE(imported.state, HistoryRowState::InTable);
    QCOMPARE(imported.testName, QStringLiteral("Comp2"));
    QCOMPARE(history->store().rowCount(), 4);
    QVERIFY(imported.runId != history->store().row(first).runId); // the export ended that run
}

void tst_HistoryController::closeQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("exportWorks");
    QTest::addColumn<bool>("closes");
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << true << false;
    QTest::newRow("close anyway") << int(QMessageBox::Discard) << true << true;
    QTest::newRow("export") << int(QMessageBox::Save) << true << true;
    QTest::newRow("export cancelled") << int(QMessageBox::Save) << false << false;
}

void tst_HistoryController::closeQuestion()
{
    QFETCH(int, answer);
    QFETCH(bool, exportWorks);
    QFETCH(bool, closes);
    startSession();
    // An empty table closes without a question.
    QVERIFY(history->confirmClose());
    QCOMPARE(modal->calls(ModalKind::Question).size(), 0);

    measurePairs(2);
    const qint64 id = page->rowKey(0);
    window->show();
    modal->answerQuestion(QMessageBox::StandardButton(answer));
    const QString out = tmp->filePath(QStringLiteral("out.xls"));
    if (answer == QMessageBox::Save)
        modal->answerSaveFile(exportWorks ? out : QString()); // an empty answer: the user cancels
    QCOMPARE(window->close(), closes);
    QCOMPARE(window->isVisible(), !closes);
    const ModalCall asked = modal->calls(ModalKind::Question).value(0);
    QVERIFY(asked.text.contains(QLatin1String(" 2 measurements")));
    QCOMPARE(asked.buttons, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    QCOMPARE(modal->calls(ModalKind::SaveFileName).size(), answer == QMessageBox::Save ? 1 : 0);
    QCOMPARE(QFileInfo::exists(out), answer == QMessageBox::Save && exportWorks);
    QCOMPARE(history->store().row(id).state,
             answer == QMessageBox::Save && exportWorks ? HistoryRowState::Exported : HistoryRowState::InTable);
}

// The window's keys are its own: the main window keeps itself open on Escape, and the history
// neither closes it nor asks anything then.
void tst_HistoryController::escapeIsLeftToTheWindow()
{
    startSession();
    measurePairs(1);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTest::keyClick(window, Qt::Key_Escape);
    QCOMPARE(modal->calls(ModalKind::Question).size(), 0);
    QVERIFY(!window->isVisible()); // a plain dialog hides on Escape, unasked
    QCOMPARE(history->store().row(page->rowKey(0)).state, HistoryRowState::InTable);
}

void tst_HistoryController::historyThatCannotBeOpened()
{
    // Where the data folder should be, a file stands.
    QFile blocker(tmp->filePath(QStringLiteral("data")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    startSession();
    QVERIFY(!history->isOn());
    measurePairs(3);
    QCOMPARE(table()->model()->rowCount(), 3); // measuring goes on
    testsupport::clickRowButton(page, 0, FirstPageForTesk::ColDelete);
    page->reevaluateRows();
    page->on_ClearBtn_clicked();
    QCOMPARE(modal->calls(ModalKind::Warning).size(), 1);
    QCOMPARE(warnings(QStringLiteral("history is off")), 1);
    QVERIFY(modal->calls(ModalKind::Warning).first().text.contains(tmp->filePath(QStringLiteral("data"))));
}

void tst_HistoryController::damagedHistoryIsMovedAsideAndSaidOnce()
{
    QVERIFY(QDir().mkpath(tmp->filePath(QStringLiteral("data"))));
    QFile damaged(file());
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(5000, '\x17'));
    damaged.close();
    startSession();
    QVERIFY(history->isOn());
    QCOMPARE(modal->calls(ModalKind::Warning).size(), 1);
    QVERIFY(warnings(QStringLiteral("moved aside")) == 1);
    const QString aside = history->store().movedAsidePath();
    QVERIFY(modal->calls(ModalKind::Warning).first().text.contains(aside));
    QCOMPARE(QFileInfo(aside).size(), qint64(5000));
    measurePairs(2);
    QVERIFY(page->rowKey(1) > 0);
    QCOMPARE(modal->calls(ModalKind::Warning).size(), 1);
}

void tst_HistoryController::diskTroubleInTheMiddleOfARun_data()
{
    QTest::addColumn<QString>("trouble");
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<QString>("said");   // what happened, in the user's words
    QTest::addColumn<QString>("detail"); // the database's words, after ours
    QTest::newRow("disk full") << "full" << false << "the disk is full" << "(database or disk is full)";
    QTest::newRow("disk full, in Chinese") << "full" << true << QString::fromUtf8("磁盘已满")
                                           << QString::fromUtf8("（database or disk is full）");
    QTest::newRow("file size limit") << "limit" << false << "cannot be read or written" << "(disk I/O error)";
}

void tst_HistoryController::diskTroubleInTheMiddleOfARun()
{
    QFETCH(QString, trouble);
    QFETCH(bool, chinese);
    QFETCH(QString, said);
    QFETCH(QString, detail);
    const bool full = trouble == QLatin1String("full");
    QTranslator translator;
    if (chinese) {
        QVERIFY(translator.load(QStringLiteral("Pelmo_zh"), QStringLiteral(COLORIMETER_QM_DIR)));
        QCoreApplication::installTranslator(&translator);
    }
    const auto untranslate = qScopeGuard([&translator] { QCoreApplication::removeTranslator(&translator); });
    std::unique_ptr<testsupport::SmallDisk> disk;
    if (full) {
        // The data folder on a disk of its own.
        disk = std::make_unique<testsupport::SmallDisk>(tmp->filePath(QStringLiteral("data")), 1024 * 1024);
        if (!disk->isMounted())
            QSKIP(qPrintable(disk->why()));
    }
    startSession();
    measurePairs(1);
    QVERIFY(page->rowKey(0) > 0);
    rlimit saved{};
    if (full) {
        QVERIFY(disk->fill());
    } else {
        // No file of this process may grow any more.
        ::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const qint64 largest = std::max(QFileInfo(file()).size(), QFileInfo(file() + "-wal").size());
        rlimit limit = saved;
        limit.rlim_cur = rlim_t(largest);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    for (int i = 0; i < 40; ++i)
        measure(2, 60 + i, 0, 0);
    if (!full) {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::signal(SIGXFSZ, SIG_DFL);
    }

    QCOMPARE(table()->model()->rowCount(), 41); // every row is shown
    QVERIFY(!history->isOn());
    QCOMPARE(warnings(chinese ? QString::fromUtf8("测量历史记录已关闭") : QStringLiteral("history is off")), 1);
    QCOMPARE(modal->calls(ModalKind::Warning).size(), 1);
    // Our sentence says what happened; the database's own words follow it, in parentheses.
    const QString text = modal->calls(ModalKind::Warning).first().text;
    const QString ours = text.section(QLatin1Char('\n'), 0, 0);
    QVERIFY2(ours.contains(said), qPrintable(text));
    QVERIFY2(!ours.contains(detail.mid(1, detail.size() - 2)), qPrintable(text)); // without its parentheses
    QVERIFY2(ours.contains(file()), qPrintable(text));
    QVERIFY2(text.endsWith(QLatin1Char('\n') + detail), qPrintable(text));
    page->on_ClearBtn_clicked(); // nothing more is tried, nothing more said
    QCOMPARE(modal->calls(ModalKind::Warning).size(), 1);
    endSession(); // the history file is closed before its disk goes
}

// The head of the chain is kept in the user's settings at every write: events removed from the
// end of the file while the program was closed are found, and a new measurement does not hide it.
void tst_HistoryController::newestEventsRemovedBetweenSessions()
{
    startSession();
    measurePairs(3);
    QTRY_COMPARE(history->recordedHead().count, qint64(3)); // a second after the last write
    QCOMPARE(history->recordedHead().hash, history->store().chainHead().hash);
    QCOMPARE(history->checkHistory().text(), QStringLiteral("intact, 3 events"));
    endSession();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tamper"));
        db.setDatabaseName(file());
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("DELETE FROM events WHERE chain_seq = 3")));
        QVERIFY(q.exec(QStringLiteral("DELETE FROM measurements WHERE id = 3")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("tamper"));
    modal->answerQuestion(QMessageBox::No); // the two rows left are offered back
    startSession();
    measurePairs(1);
    const HistoryCheck check = history->checkHistory();
    // The events written since took the removed ones' places, with other hashes.
    QCOMPARE(check.problem, HistoryCheck::Problem::HeadDiffers);
    QCOMPARE(check.text(), QStringLiteral("broken at event 3: it is not the event this program wrote there"));
    QCOMPARE(history->recordedHead().count, qint64(3)); // the evidence stays
}

void tst_HistoryController::batchesAreStoredWhole_data()
{
    QTest::addColumn<QString>("flow");
    QTest::addColumn<bool>("diskFull");
    QTest::newRow("record download") << "download" << false;
    QTest::newRow("import") << "import" << false;
    QTest::newRow("import onto a full disk") << "import" << true;
}

void tst_HistoryController::batchesAreStoredWhole()
{
    QFETCH(QString, flow);
    QFETCH(bool, diskFull);
    const int n = 1000;
    const QString sheet = tmp->filePath(QStringLiteral("in.xlsx"));
    if (flow == "import") {
        CellRows rows{{QStringLiteral("NO")}};
        for (int i = 0; i < n; ++i)
            rows.append({double(i + 1), QStringLiteral("M"), QStringLiteral("7"), QStringLiteral("Lot %1").arg(i),
                         QStringLiteral("2026/12/01  08:00"), 50.0, 1.0, 2.0, 2.24, 63.4, 51.0, 1.0, 2.0, 2.24,
                         63.4, QStringLiteral("△E*ab"), QStringLiteral("2.0"), 1.0, QStringLiteral("PASS")});
        QVERIFY(testsupport::writeSheet(sheet, rows));
    }
    std::unique_ptr<testsupport::SmallDisk> disk;
    if (diskFull) {
        // The data folder on a disk of its own.
        disk = std::make_unique<testsupport::SmallDisk>(tmp->filePath(QStringLiteral("data")), 1024 * 1024);
        if (!disk->isMounted())
            QSKIP(qPrintable(disk->why()));
    }
    startSession();
    measurePairs(1);
    QVERIFY(page->rowKey(0) > 0);
    // Room for a few rows stored one by one, not for the batch.
    if (diskFull)
        QVERIFY(disk->fill(64 * 1024));
    if (flow == "download") {
        QList<VirtualInstrument::Record> records;
        for (int i = 0; i < n; ++i)
            records.append({QStringLiteral("R%1").arg(i).toLatin1(), 5000 + i, 1000, -2000, 5200, 1300, -1600});
        vi->setRecords(records);
        page->openThreadSlot(); // the download reads the parameters under the worker's lock
        page->on_readcolordifrecordBtn_clicked();
        page->closeThreadSlot();
    } else {
        modal->answerQuestion(QMessageBox::No); // "to save data first?" No: the table is emptied
        modal->answerOpenFile(sheet);
        page->on_ImportExcelBtn_clicked();
    }
    if (diskFull)
        QVERIFY(disk->makeRoom());
    // The download adds to the measured row; the import empties the table first.
    const int before = flow == "download" ? 1 : 0;
    QCOMPARE(table()->model()->rowCount(), before + n); // every row is shown
    if (diskFull) {
        // Not a part of the batch is kept: the history went off, and said so once.
        QVERIFY(!history->isOn());
        QCOMPARE(modal->calls(ModalKind::Warning).size(), 1);
        endSession();
        HistoryStore store;
        QVERIFY(store.open(file()));
        QCOMPARE(store.rowCount(), 1);
        // The measured row added, then cleared by the import; nothing of the batch.
        QCOMPARE(store.checkHistory().text(), QStringLiteral("intact, 2 events"));
        return;
    }
    QVERIFY(history->isOn());
    QCOMPARE(history->store().rowCount(), n + 1);
    QSet<qint64> keys;
    for (int r = before; r < before + n; ++r) {
        const qint64 key = page->rowKey(r);
        QVERIFY(key > 0);
        keys.insert(key);
        const HistoryRow stored = history->store().row(key);
        QCOMPARE(stored.testName, testsupport::cellText(table(), r, FirstPageForTesk::ColTestName));
        QCOMPARE(stored.origin, flow == "download" ? HistoryOrigin::Downloaded : HistoryOrigin::Imported);
        QCOMPARE(stored.state, HistoryRowState::InTable);
    }
    QCOMPARE(keys.size(), n);
    // The rows are followed as any other: a deletion reaches the right stored row.
    const qint64 last = page->rowKey(before + n - 1);
    testsupport::clickRowButton(page, before + n - 1, FirstPageForTesk::ColDelete);
    QCOMPARE(history->store().row(last).state, HistoryRowState::Deleted);
    // One event for the measured row (and its clearing by the import), one for each row of the
    // batch, one for the deletion.
    QCOMPARE(history->checkHistory().text(),
             QStringLiteral("intact, %1 events").arg(n + (flow == "import" ? 3 : 2)));
    // The run keeps the last test number with the batch, for a restore to go on after it: Comp1
    // before the download; the import's Clear began a run that has given out none.
    endSession();
    HistoryStore store;
    QVERIFY(store.open(file()));
    QCOMPARE(store.unfinishedTestNumber(), flow == "download" ? 1 : 0);
}

void tst_HistoryController::serverThatCannotBeUsed_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("said");
    QTest::newRow("unreachable host") << "nobody there" << "cannot be reached";
    QTest::newRow("a wrong password") << "wrong password" << "did not accept the password";
    QTest::newRow("a history of a newer version") << "newer layout" << "newer version";
}

// Set in the dialog (no password anywhere in it or in the settings); the server cannot be used:
// one clear message, the window's line with the rows waiting, and measuring goes on here.
void tst_HistoryController::serverThatCannotBeUsed()
{
    QFETCH(QString, server);
    QFETCH(QString, said);
    if (!historyServerDriverAvailable())
        QSKIP("Qt SQL's PostgreSQL driver is not installed (libqt6sql6-psql)");
    HistoryLocation location;
    location.onServer = true;
    location.deskName = QStringLiteral("Desk 3");
    std::unique_ptr<testsupport::TestServerDatabase> newer; // a database of its own, dropped at the end
    if (server == QLatin1String("nobody there")) {
        location.server.host = tmp->filePath(QStringLiteral("no-server")); // a socket folder where none listens
        location.server.database = QStringLiteral("qc");
    } else if (server == QLatin1String("newer layout")) {
        if (!testsupport::TestServerDatabase::base().isSet()) {
            if (qEnvironmentVariable("COLORIMETER_REQUIRE_PG") == QLatin1String("1"))
                QFAIL("no PostgreSQL test server");
            QSKIP("no PostgreSQL test server: run under scripts/with-postgres.sh");
        }
        newer = std::make_unique<testsupport::TestServerDatabase>();
        QVERIFY2(newer->ready(), qPrintable(newer->error()));
        {
            HistoryStore made;
            QVERIFY2(made.open(newer->server()), qPrintable(made.errorText()));
        }
        QVERIFY(testsupport::historyScalar(newer->server(), QString(), QStringLiteral("UPDATE history_schema SET version = 99"))
                    .isNull());
        location.server = newer->server();
    } else {
        const HistoryServer test = HistoryServer::fromConnectionString(qEnvironmentVariable("COLORIMETER_TEST_PG"));
        const QString user = qEnvironmentVariable("COLORIMETER_TEST_PG_PASSWORD_USER");
        if (!test.isSet() || user.isEmpty()) {
            if (qEnvironmentVariable("COLORIMETER_REQUIRE_PG") == QLatin1String("1"))
                QFAIL("no PostgreSQL test server with a password role");
            QSKIP("no PostgreSQL test server: run under scripts/with-postgres.sh");
        }
        location.server = test;
        location.server.user = user;
        const QString pgpass = tmp->filePath(QStringLiteral("pgpass"));
        QFile f(pgpass);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("*:*:*:%1:not-the-password\n").arg(user).toUtf8());
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        qputenv("PGPASSFILE", QFile::encodeName(pgpass));
    }
    startSession();
    QCOMPARE(history->serverStatusLine(), QString());
    QStringList lines;
    connect(history, &HistoryController::serverStatusChanged, this, [&lines](const QString &line) { lines << line; });
    // The dialog, as the user fills it in.
    modal->answerDialog(QDialog::Accepted, [&location](QDialog *dialog) {
        auto *d = qobject_cast<HistoryLocationDialog *>(dialog);
        QVERIFY(d);
        QVERIFY(dialog->findChildren<QLineEdit *>().size() == 6); // host, database, user, service, desk (and the port's)
        d->setLocation(location);
    });
    history->editLocation();
    QVERIFY(history->sender());
    measurePairs(3);
    QTRY_VERIFY_WITH_TIMEOUT(history->serverStatusLine().startsWith(QLatin1String("history server")), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(history->sender()->status().waitingRows, qint64(3), 10000);
    QTRY_VERIFY(history->serverStatusLine().endsWith(QLatin1String(", 3 rows waiting")));
    // Measuring goes on, the rows on this computer; told once, however long it lasts.
    measure(2, 57, 12, -17);
    measure(2, 58, 12, -16);
    QCOMPARE(page->rowCount(), 5);
    QCOMPARE(history->store().rowCount(), qint64(5));
    QTRY_COMPARE_WITH_TIMEOUT(history->sender()->status().waitingRows, qint64(5), 10000);
    QTest::qWait(HistorySender::kRetryMs + 500);
    QCOMPARE(warnings(said), 1);
    QCOMPARE(modal->calls(ModalKind::Warning).size(), 1);
    qunsetenv("PGPASSFILE");
    // The settings keep where the history lives and the desk's name, and never a password.
    const QByteArray settings = testsupport::fileBytes(userSettingsPath());
    QVERIFY(settings.contains("serverUser") || server == QLatin1String("nobody there"));
    QVERIFY(!settings.toLower().contains("password"));
    QCOMPARE(HistoryLocation::read(*openUserSettings()), location);
    QCOMPARE(history->store().deskName(), QStringLiteral("Desk 3"));
    QVERIFY(!lines.isEmpty());
    if (newer) {
        endSession();
        QCOMPARE(testsupport::historyScalar(newer->server(), QString(), QStringLiteral("SELECT version FROM history_schema")).toInt(), 99);
        QCOMPARE(testsupport::historyScalar(newer->server(), QString(), QStringLiteral("SELECT COUNT(*) FROM measurements")).toInt(), 0);
    }
}

QTEST_MAIN(tst_HistoryController)
#include "tst_historycontroller.moc"
