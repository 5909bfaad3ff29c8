// The measurement page against the virtual instrument: both scan buttons, frames the instrument
// pushes, the evaluation and its verdicts, the counters through deletions and resets, and the
// language switch. Message boxes are scripted.
#include "clinker.h"
#include "cprotocol.h"
#include "deltae.h"
#include "firstpagefortesk.h"
#include "linkport.h"
#include "measurementmodel.h"
#include "measurementtable.h"
#include "rbtableheaderview.h"
#include "scriptedmodal.h"
#include "testsupport.h"
#include "verdict.h"
#include "virtualinstrument.h"

#include <QDateEdit>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTranslator>
#include <QtTest>

namespace {

using testsupport::LogCapture;
using testsupport::measurementRequests;

// Stand in for the Chinese translation file.
const QHash<QString, QString> kChinese = {
    {"PASS", "合格"},   {"NG", "不合格"},    {"Delete", "删除"},        {"Report", "报告"},
    {"Standard", "标准"}, {"Sample", "样品"}, {"Slight white", "略白"},
    {"NO", "序号"},       {"△E parameters unknown", "△E参数未知"},
};

QByteArray frameOf(double L, double a, double b)
{
    return measurement::frame(VirtualInstrument::measurementFromLab(L, a, b), 1);
}

QColor colourAt(QWidget *widget, QPoint point)
{
    return widget->grab().toImage().pixelColor(point);
}

// The program's own style sheet on the whole application (the test takes it off again).
void useProgramStyle()
{
    QFile qss(QStringLiteral(":/qss/psblue.css"));
    QVERIFY(qss.open(QFile::ReadOnly));
    qApp->setStyleSheet(QString::fromLatin1(qss.readAll()));
}

} // namespace

class tst_MeasurementPage : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void freshPage();
    void workedPair();
    void verdictRule_data();
    void verdictRule();
    void furtherMeasurementsUseTheOtherSideShown();
    void sequenceNumberAfterDeletion();
    void failedCommand_data();
    void failedCommand();
    void failedCommandClearsTheCapturedSide();
    void noLinkChangesNothing();
    void pushedChunks_data();
    void pushedChunks();
    void twoFramesInOneChunkBothCount();
    void pushedFrameThroughTheWorker();
    void languageSwitchWithRows();
    void deleteRow_data();
    void deleteRow();
    void doubleClickOnDeleteRemovesOneRow();
    void threePairsMeasuredAndDeleted();
    void rowButtonsFindTheirRow_data();
    void rowButtonsFindTheirRow();
    void resets();
    void reportAndTestNameEditing();
    void parameterChangeRejudges();

    // Lost or phantom rows
    void secondPressDuringAMeasurementIsIgnored_data();
    void secondPressDuringAMeasurementIsIgnored();
    void pushedFrameQueuedAsScanIsClickedIsNotJudgedAgainstPlaceholders();
    void stalePartialFrameIsDropped_data();
    void stalePartialFrameIsDropped();
    void pushedFrameWithWrongCrcIsShownAndLogged();

    // Honest verdicts
    void unknownParametersShowButDoNotJudge_data();
    void unknownParametersShowButDoNotJudge();
    void hueDifferenceIsWrapped_data();
    void hueDifferenceIsWrapped();

    // Window
    void resultBarNeutralUntilJudged_data();
    void resultBarNeutralUntilJudged();
    void columnsFitBesideTheScrollBar_data();
    void columnsFitBesideTheScrollBar();
    void selectedVerdictStaysReadable_data();
    void selectedVerdictStaysReadable();

    // Row buttons, drawn
    void rowButtonsByMouseAndKeyboard_data();
    void rowButtonsByMouseAndKeyboard();
    void rowButtonsLeaveTheSelection();
    void rowButtonLook_data();
    void rowButtonLook();
    void rowDeletedWhileAnotherIsHovered();
    void noWidgetPerRow();
    void modelTellsItsReaders();

private:
    template <class T>
    T *w(const char *name) const { return testsupport::child<T>(page, name); }
    QString panel(int row, int column) const { return testsupport::cellText(w<QTableWidget>("tbColorDiff"), row, column); }
    QString cell(int row, int column) const { return testsupport::cellText(table(), row, column); }
    QTableView *table() const { return testsupport::measurementTable(page); }
    int rows() const { return table()->model()->rowCount(); }
    QColor background(int row, int column) const { return testsupport::cellBackground(table(), row, column); }
    QString buttonText(int column) const { return w<MeasurementTable>("tbData")->buttonText(column); }
    QStringList counters() const { return testsupport::counters(page); }
    void measure(int side, double L, double a, double b) { testsupport::measure(page, vi, side, L, a, b); }
    void clickRowButton(int row, int column) { testsupport::clickRowButton(page, row, column); }
    // The page shown with n rows "Row0" .. named, every other one NG.
    void showRows(int n, bool programStyle = false);
    QPoint cellCentre(int row, int column) const { return table()->visualRect(table()->model()->index(row, column)).center(); }
    void mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, QPointF(at), QPointF(table()->viewport()->mapToGlobal(at)), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(table()->viewport(), &event);
    }
    QColor seenAt(QPoint at) const { return colourAt(table()->viewport(), at); }

    VirtualInstrument *vi = nullptr;
    LinkPort *port = nullptr;
    ScriptedModal *modal = nullptr;
    FirstPageForTesk *page = nullptr;
};

void tst_MeasurementPage::init()
{
    CProtocol::setWaitScaleForTests(0.1);
    vi = new VirtualInstrument;
    port = testsupport::connectedPort(vi);
    QVERIFY(port->link);
    modal = new ScriptedModal;
    page = new FirstPageForTesk;
    page->formulaIndex = 0;
    page->threshold = 2.0;
}

void tst_MeasurementPage::cleanup()
{
    QCOMPARE(modal->unexpectedCount(), 0);
    delete page;
    delete modal;
    testsupport::releaseInstrument(port, vi);
}

void tst_MeasurementPage::freshPage()
{
    for (int row = 1; row <= 6; ++row)
        for (int column = 1; column <= 4; ++column) {
            const bool empty = (row >= 4 && column == 4) || (row == 6 && column != 3);
            QCOMPARE(panel(row, column), empty ? QString() : QStringLiteral("-----"));
        }
    QCOMPARE(w<QTableWidget>("tbColorDiff")->item(0, 1)->foreground().color(), QColor(Qt::blue));
    QCOMPARE(w<QLabel>("resultlab")->text(), QString());
    QCOMPARE(counters(), QStringList({"0", "0", "0"}));
    QCOMPARE(rows(), 0);
    QCOMPARE(table()->model()->columnCount(), 21);
    for (int c = 0; c < 21; ++c)
        QCOMPARE(table()->isColumnHidden(c), c >= 17);
    QCOMPARE(page->headerView->model()->index(0, 3).data().toString(), QStringLiteral("Standard"));
    QCOMPARE(page->headerView->model()->index(1, 7).data().toString(), QStringLiteral("h"));
    QVERIFY(w<QLineEdit>("DeviceNameEdit")->isHidden());
    QVERIFY(!w<QLineEdit>("serialNoEdit")->isHidden());
}

void tst_MeasurementPage::workedPair()
{
    w<QLineEdit>("formulaEdit")->setText(QStringLiteral("△E*ab"));
    w<QLineEdit>("ThresholdsEdit")->setText(QStringLiteral("2.0"));
    measure(1, 50, 10, -20);
    QCOMPARE(rows(), 0);
    measure(2, 52, 13, -16);

    QCOMPARE(panel(1, 3), QStringLiteral("2"));
    QCOMPARE(panel(2, 3), QStringLiteral("3"));
    QCOMPARE(panel(3, 3), QStringLiteral("4"));
    QCOMPARE(panel(1, 4), QStringLiteral("Slight white"));
    QCOMPARE(panel(2, 4), QStringLiteral("Slight red"));
    QCOMPARE(panel(3, 4), QStringLiteral("Slight yellow"));
    QCOMPARE(panel(6, 3), QStringLiteral("5.39"));
    QCOMPARE(panel(5, 1), QStringLiteral("296.57")); // hue: two decimals in the panel ...
    QCOMPARE(w<QLabel>("resultlab")->text(), QStringLiteral("NG"));
    QCOMPARE(w<QLabel>("resultlab")->styleSheet(), QStringLiteral("QLabel{background:red;}"));
    QCOMPARE(counters(), QStringList({"1", "0", "1"}));

    QCOMPARE(rows(), 1);
    const QStringList expected = {"1",     "Comp1", "",      "50.00", "10.00", "-20.00", "22.36",
                                  "296.6", "52.00", "13.00", "-16.00", "20.62", "309.1", "5.39",
                                  "NG",    "",      "",      "△E*ab", "2.0",   "",       ""};
    for (int c = 0; c < 21; ++c)
        if (c != 2 && c != 15 && c != 16)
            QCOMPARE(cell(0, c), expected.at(c)); // ... one in the table
    QVERIFY(QRegularExpression("^\\d{4}/\\d\\d/\\d\\d  \\d\\d:\\d\\d$").match(cell(0, 2)).hasMatch());
    QCOMPARE(background(0, 14), QColor(Qt::red));
    QCOMPARE(buttonText(15), QStringLiteral("Delete"));
    QCOMPARE(buttonText(16), QStringLiteral("Report"));
    QCOMPARE(w<QWidget>("sampBtnGroubox")->styleSheet(),
             swatchStyle(vi->lastMeasurement().r, vi->lastMeasurement().g, vi->lastMeasurement().bl));
    QVERIFY(modal->calls().isEmpty());
}

void tst_MeasurementPage::verdictRule_data()
{
    QTest::addColumn<int>("formula");
    QTest::addColumn<double>("threshold");
    QTest::addColumn<QList<double>>("pair"); // standard L, a, b, sample L, a, b
    QTest::addColumn<QString>("deltaE");
    QTest::addColumn<QString>("verdict");
    const QList<double> worked = {50, 10, -20, 52, 13, -16};
    const QList<double> five = {50, 0, 0, 53, 4, 0};
    QTest::newRow("threshold 5.4") << 0 << 5.4 << worked << "5.39" << "PASS";
    QTest::newRow("ΔE equal to threshold") << 0 << 5.0 << five << "5.00" << "PASS";
    QTest::newRow("ΔE just above threshold") << 0 << 4.99 << five << "5.00" << "NG";
    QTest::newRow("threshold 0") << 0 << 0.0 << five << "5.00" << "NG";
}

void tst_MeasurementPage::verdictRule()
{
    QFETCH(int, formula);
    QFETCH(double, threshold);
    QFETCH(QList<double>, pair);
    QFETCH(QString, verdict);
    page->formulaIndex = formula;
    page->threshold = threshold;
    measure(1, pair[0], pair[1], pair[2]);
    measure(2, pair[3], pair[4], pair[5]);
    QTEST(panel(6, 3), "deltaE");
    QTEST(cell(0, 13), "deltaE");
    QCOMPARE(cell(0, 14), verdict);
    QCOMPARE(w<QLabel>("resultlab")->text(), verdict);
    QCOMPARE(counters(), verdict == "PASS" ? QStringList({"0", "1", "1"}) : QStringList({"1", "0", "1"}));
    QCOMPARE(background(0, 14), QColor(verdict == "PASS" ? Qt::darkGreen : Qt::red));
}

void tst_MeasurementPage::furtherMeasurementsUseTheOtherSideShown()
{
    measure(1, 50, 0, 0);
    measure(2, 51, 0, 0);
    measure(2, 53, 0, 0); // compared with the same standard
    measure(1, 54, 0, 0); // compared with the last sample
    QCOMPARE(rows(), 3);
    const QStringList standards = {"50.00", "50.00", "54.00"};
    const QStringList samples = {"51.00", "53.00", "53.00"};
    const QStringList deltas = {"1.00", "3.00", "1.00"};
    for (int r = 0; r < 3; ++r) {
        QCOMPARE(cell(r, 3), standards[r]);
        QCOMPARE(cell(r, 8), samples[r]);
        QCOMPARE(cell(r, 13), deltas[r]);
        QCOMPARE(cell(r, 1), QStringLiteral("Comp%1").arg(r + 1));
    }
    QCOMPARE(panel(1, 3), QStringLiteral("-1"));
    QCOMPARE(panel(1, 4), QStringLiteral("Slight black"));
    QCOMPARE(counters(), QStringList({"1", "2", "3"}));
}

void tst_MeasurementPage::sequenceNumberAfterDeletion()
{
    measure(1, 50, 0, 0);
    for (double L : {51.0, 52.0, 53.0})
        measure(2, L, 0, 0);
    clickRowButton(1, 15);
    QCOMPARE(rows(), 2);
    QCOMPARE(cell(0, 0), QStringLiteral("1"));
    QCOMPARE(cell(1, 0), QStringLiteral("3"));
    QCOMPARE(counters(), QStringList({"1", "1", "2"}));
    measure(2, 54, 0, 0);
    QCOMPARE(cell(2, 0), QStringLiteral("3")); // the total, not the row position
    QCOMPARE(cell(2, 1), QStringLiteral("Comp4"));
}

void tst_MeasurementPage::failedCommand_data()
{
    QTest::addColumn<int>("side");
    QTest::newRow("Scan Standard") << 1;
    QTest::newRow("Scan Sample") << 2;
}

void tst_MeasurementPage::failedCommand()
{
    QFETCH(int, side);
    vi->injectFault(VirtualInstrument::Fault::NoReply);
    measure(side, 50, 0, 0);
    QCOMPARE(modal->calls(ModalKind::Information).size(), 1);
    QCOMPARE(modal->calls().at(0).title, QStringLiteral("Error"));
    QCOMPARE(modal->calls().at(0).text, QStringLiteral("Failed to read measurement data!"));
    QCOMPARE(panel(1, side), QStringLiteral("-----"));
    QVERIFY(!page->standardCaptured && !page->sampleCaptured);
    QCOMPARE(page->measureTarget, side);
    // The colours follow the button pressed even though the command failed.
    const QString active = side == 1 ? "stdmeasurementBtn" : "samplemeasurementBtn";
    const QString idle = side == 1 ? "samplemeasurementBtn" : "stdmeasurementBtn";
    QVERIFY(w<QPushButton>(active.toLatin1())->styleSheet().startsWith("color: rgb(0, 0, 255);"));
    QVERIFY(w<QPushButton>(idle.toLatin1())->styleSheet().startsWith("color: rgb(0, 0, 0);"));
    auto *panelTable = w<QTableWidget>("tbColorDiff");
    QCOMPARE(panelTable->item(0, side)->foreground().color(), QColor(Qt::blue));
    QCOMPARE(panelTable->item(0, 3 - side)->foreground().color(), QColor(Qt::black));

    // The other side measured next is shown without an evaluation.
    measure(3 - side, 52, 0, 0);
    QCOMPARE(rows(), 0);
    QCOMPARE(panel(1, 3 - side), QStringLiteral("52.00"));
}

void tst_MeasurementPage::failedCommandClearsTheCapturedSide()
{
    measure(1, 50, 0, 0);
    measure(2, 51, 0, 0);
    vi->injectFault(VirtualInstrument::Fault::NoReply);
    measure(1, 60, 0, 0);
    QVERIFY(!page->standardCaptured);
    // Not judged against the placeholders, which read as zeros.
    measure(2, 52, 0, 0);
    QCOMPARE(rows(), 1);
    measure(1, 50.5, 0, 0);
    QCOMPARE(rows(), 2);
    QCOMPARE(cell(1, 13), QStringLiteral("1.50"));
}

void tst_MeasurementPage::noLinkChangesNothing()
{
    delete port->link;
    port->link = nullptr;
    const QString sampleStyle = w<QPushButton>("samplemeasurementBtn")->styleSheet();
    w<QPushButton>("samplemeasurementBtn")->click();
    // Once failed on a loaded machine with a second box: say which, if it happens again.
    QVERIFY2(modal->calls().size() == 1, qPrintable(modal->transcript().join(QStringLiteral(" | "))));
    QCOMPARE(modal->calls().at(0).title, QStringLiteral("Error"));
    QCOMPARE(modal->calls().at(0).text, QStringLiteral("Please connect the device first!"));
    QCOMPARE(page->measureTarget, 1);
    QCOMPARE(w<QPushButton>("samplemeasurementBtn")->styleSheet(), sampleStyle);
    QCOMPARE(w<QTableWidget>("tbColorDiff")->item(0, 2)->foreground().color(), QColor(Qt::black));
}

void tst_MeasurementPage::pushedChunks_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QString>("standardL"); // "-----": nothing shown
    QTest::addColumn<int>("bytesKept");
    const QByteArray f = frameOf(61.23, -4.5, 7.25);
    QTest::newRow("whole frame") << QList<QByteArray>{f} << "61.23" << 0;
    QTest::newRow("after leading bytes") << QList<QByteArray>{QByteArray::fromHex("0012ab44") + f} << "61.23" << 0;
    QTest::newRow("split in the values") << QList<QByteArray>{f.left(20), f.mid(20)} << "61.23" << 0;
    QTest::newRow("split in the header") << QList<QByteArray>{QByteArray::fromHex("0102") + f.left(3), f.mid(3)}
                                         << "61.23" << 0;
    QTest::newRow("cut after the values") << QList<QByteArray>{f.left(40), f.mid(40)} << "61.23" << 0;
    QTest::newRow("frame and the start of the next")
        << QList<QByteArray>{f + f.left(10)} << "61.23" << 10;
    QTest::newRow("no frame") << QList<QByteArray>{QByteArray(50, '\x11')} << "-----" << 0;
    QByteArray wrongLength = f;
    wrongLength[6] = 0x37;
    QTest::newRow("wrong length byte") << QList<QByteArray>{wrongLength} << "-----" << 0;
    QTest::newRow("start byte last") << QList<QByteArray>{QByteArray::fromHex("00ab44")} << "-----" << 2;
    QTest::newRow("start byte last, then no frame")
        << QList<QByteArray>{QByteArray::fromHex("00ab"), QByteArray::fromHex("4501")} << "-----" << 0;
}

void tst_MeasurementPage::pushedChunks()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QString, standardL);
    for (const QByteArray &chunk : chunks)
        page->SaveData(chunk);
    QCOMPARE(panel(1, 1), standardL);
    if (standardL != "-----") {
        QCOMPARE(panel(2, 1), QStringLiteral("-4.50"));
        QCOMPARE(panel(3, 1), QStringLiteral("7.25"));
    }
    QCOMPARE(page->standardCaptured, standardL != "-----");
    QTEST(int(page->receiveBuffer.size()), "bytesKept");
}

void tst_MeasurementPage::twoFramesInOneChunkBothCount()
{
    page->measureTarget = 2;
    page->SaveData(frameOf(50, 0, 0));
    page->measureTarget = 1;
    page->SaveData(frameOf(51, 0, 0) + frameOf(52, 0, 0));
    QCOMPARE(rows(), 2);
    QCOMPARE(cell(0, 3), QStringLiteral("51.00"));
    QCOMPARE(cell(1, 3), QStringLiteral("52.00"));
}

void tst_MeasurementPage::pushedFrameThroughTheWorker()
{
    page->openThreadSlot();
    QVERIFY(page->thread && page->worker);
    // Commands keep their replies while the worker polls.
    measure(1, 50, 0, 0);
    measure(2, 51, 0, 0);
    QCOMPARE(rows(), 1);
    QVERIFY(page->receiveBuffer.isEmpty());

    vi->queueMeasurement(VirtualInstrument::measurementFromLab(40, 5, 5));
    vi->injectFault(VirtualInstrument::Fault::StrayBytes);
    vi->pressButton();
    QTRY_COMPARE_WITH_TIMEOUT(rows(), 2, 5000);
    QCOMPARE(cell(1, 8), QStringLiteral("40.00")); // the sample side was chosen last
    page->closeThreadSlot();
}

void tst_MeasurementPage::languageSwitchWithRows()
{
    measure(1, 50, 10, -20);
    measure(2, 52, 13, -16);  // NG
    measure(2, 50.5, 10, -20); // PASS
    testsupport::WordTranslator chinese("FirstPageForTesk", kChinese);
    QCoreApplication::installTranslator(&chinese);
    page->isChinese = true;
    page->retranslatePage();
    QCOMPARE(cell(0, 14), QStringLiteral("不合格"));
    QCOMPARE(cell(1, 14), QStringLiteral("合格"));
    QCOMPARE(background(0, 14), QColor(Qt::red));
    QCOMPARE(background(1, 14), QColor(Qt::darkGreen));
    QCOMPARE(buttonText(15), QStringLiteral("删除"));
    QCOMPARE(buttonText(16), QStringLiteral("报告"));
    QCOMPARE(cell(0, 13), QStringLiteral("5.39"));
    QCOMPARE(cell(1, 8), QStringLiteral("50.50"));
    QCOMPARE(counters(), QStringList({"1", "1", "2"}));
    QCOMPARE(w<QLabel>("resultlab")->text(), QStringLiteral("合格"));
    QCOMPARE(panel(0, 1), QStringLiteral("标准"));
    QCOMPARE(panel(1, 4), QStringLiteral("略白"));
    QCOMPARE(w<QTableWidget>("tbColorDiff")->item(0, 2)->foreground().color(), QColor(Qt::blue));

    // The new buttons work, and the counters know the translated verdict.
    clickRowButton(0, 15);
    QCOMPARE(counters(), QStringList({"0", "1", "1"}));

    QCoreApplication::removeTranslator(&chinese);
    page->isChinese = false;
    page->retranslatePage();
    QCOMPARE(cell(0, 14), QStringLiteral("PASS"));
    QCOMPARE(w<QLabel>("resultlab")->text(), QStringLiteral("PASS"));
    QCOMPARE(buttonText(15), QStringLiteral("Delete"));
}

void tst_MeasurementPage::deleteRow_data()
{
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<QStringList>("countersAfter");
    QTest::newRow("NG") << "NG" << QStringList{"4", "5", "9"};
    QTest::newRow("PASS") << "PASS" << QStringList{"5", "4", "9"};
    QTest::newRow("empty (imported)") << "" << QStringList{"5", "5", "10"};
    QTest::newRow("other text") << "OK?" << QStringList{"5", "5", "10"};
}

void tst_MeasurementPage::deleteRow()
{
    QFETCH(QString, verdict);
    page->ngCount = page->passCount = 5;
    page->totalCount = 10;
    MeasurementRecord before;
    before.sequence = 7;
    before.testName = "Imported";
    before.verdict = "NG";
    page->appendRow(before);
    MeasurementRecord record;
    record.sequence = 8;
    record.testName = "Row";
    record.verdict = verdict;
    const int row = page->appendRow(record);
    // A row without a verdict (not judged) has no verdict colour either.
    if (verdict.isEmpty())
        QCOMPARE(table()->model()->index(row, 14).data(Qt::BackgroundRole).value<QBrush>().style(), Qt::NoBrush);
    else
        QCOMPARE(background(row, 14), QColor(verdict == "NG" ? Qt::red : Qt::darkGreen));
    clickRowButton(row, 15);
    QTEST(counters(), "countersAfter");
    QCOMPARE(rows(), 1);
    QCOMPARE(cell(0, 0), QStringLiteral("7"));
}

void tst_MeasurementPage::doubleClickOnDeleteRemovesOneRow()
{
    page->resize(1200, 700);
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page));
    for (const char *name : {"First", "Second", "Third"}) {
        MeasurementRecord record;
        record.sequence = 1;
        record.testName = QString::fromLatin1(name);
        record.verdict = QStringLiteral("PASS");
        page->passCount = ++page->totalCount;
        page->appendRow(record);
    }
    QCoreApplication::processEvents();
    QWidget *viewport = table()->viewport();
    const QPoint at = table()->visualRect(table()->model()->index(0, 15)).center();
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(rows(), 2);
    QCoreApplication::processEvents();
    // The second click of a double click comes as a double-click event at the same place: on
    // the next row's button, moved up into the deleted one's place.
    const QPointF local(at), global(viewport->mapToGlobal(at));
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &doubleClick);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &release);
    QCOMPARE(rows(), 2);
    QCOMPARE(cell(0, 1), QStringLiteral("Second"));
    QCOMPARE(counters(), QStringList({"0", "2", "2"}));
    // A deliberate second click still deletes.
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(rows(), 1);
}

void tst_MeasurementPage::threePairsMeasuredAndDeleted()
{
    measure(1, 50, 0, 0);
    measure(2, 50.5, 0, 0);
    const QStringList before = counters();
    for (double L : {51.0, 53.0, 55.0})
        measure(2, L, 0, 0);
    QCOMPARE(counters(), QStringList({"2", "2", "4"}));
    for (int i = 0; i < 3; ++i)
        clickRowButton(1, 15);
    QCOMPARE(counters(), before);
    QCOMPARE(rows(), 1);
}

void tst_MeasurementPage::rowButtonsFindTheirRow_data()
{
    QTest::addColumn<bool>("laidOut");
    QTest::newRow("rows laid out by the view") << true;
    QTest::newRow("right after appending, before the view caught up") << false;
}

void tst_MeasurementPage::rowButtonsFindTheirRow()
{
    QFETCH(bool, laidOut);
    page->resize(1200, 700);
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page));
    for (int i = 0; i < 40; ++i) {
        MeasurementRecord record;
        record.sequence = i + 1;
        record.testName = QStringLiteral("Row%1").arg(i);
        page->appendRow(record);
    }
    if (laidOut) {
        QCoreApplication::processEvents();
        // Appending scrolls to the bottom once the batch is done.
        QTRY_VERIFY(table()->verticalScrollBar()->value() == table()->verticalScrollBar()->maximum());
        QVERIFY(table()->viewport()->rect().contains(table()->visualRect(table()->model()->index(38, 15))));
    }
    clickRowButton(38, 15);
    QCOMPARE(rows(), 39);
    QCOMPARE(cell(37, 1), QStringLiteral("Row37"));
    QCOMPARE(cell(38, 1), QStringLiteral("Row39"));
    clickRowButton(2, 16);
    QCOMPARE(page->reportSource.testName, QStringLiteral("Row2"));
}

void tst_MeasurementPage::resets()
{
    measure(1, 50, 10, -20);
    measure(2, 52, 13, -16);
    w<QLineEdit>("serialNoEdit")->setText("4711");

    page->clear();
    QCOMPARE(rows(), 1);
    QCOMPARE(counters(), QStringList({"1", "0", "1"}));
    QCOMPARE(w<QLineEdit>("serialNoEdit")->text(), QString());
    QCOMPARE(w<QDateEdit>("CalibrationeDateEdit")->date(), QDate(2000, 1, 1));
    QCOMPARE(w<QDateEdit>("ProductionDateEdit")->date(), QDate(2000, 1, 1));
    QCOMPARE(page->formulaIndex, -1);
    QCOMPARE(page->threshold, -1.0);
    QCOMPARE(panel(1, 1), QStringLiteral("-----"));
    QCOMPARE(panel(6, 3), QStringLiteral("-----"));
    QCOMPARE(w<QLabel>("resultlab")->text(), QString());
    QVERIFY(!page->standardCaptured && !page->sampleCaptured);

    page->formulaIndex = 0;
    page->threshold = 2.0;
    measure(1, 50, 0, 0);
    measure(2, 51, 0, 0);
    page->on_ClearBtn_clicked();
    QCOMPARE(rows(), 0);
    QCOMPARE(counters(), QStringList({"0", "0", "0"}));
    QCOMPARE(w<QWidget>("stdBtnGroubox")->styleSheet(), QStringLiteral("background-color: rgb(180, 180, 180);"));
    QCOMPARE(page->formulaIndex, 0);
    QCOMPARE(page->threshold, 2.0);
    measure(1, 50, 0, 0);
    measure(2, 51, 0, 0);
    QCOMPARE(cell(0, 1), QStringLiteral("Comp1"));
    QCOMPARE(cell(0, 0), QStringLiteral("1"));
}

void tst_MeasurementPage::reportAndTestNameEditing()
{
    measure(1, 50, 10, -20);
    measure(2, 52, 13, -16);
    clickRowButton(0, 16);
    QCOMPARE(page->reportSource.testName, QStringLiteral("Comp1"));
    QCOMPARE(page->reportSource.standard[4], 296.6);
    QCOMPARE(page->reportSource.sample[2], -16.0);
    QCOMPARE(page->reportSource.deltaE, 5.39);
    QCOMPARE(page->reportSource.verdict, QStringLiteral("NG"));

    auto editors = [this] { return table()->viewport()->findChildren<QLineEdit *>().size(); };
    page->doubleClickedSlot(0, 2);
    QCOMPARE(editors(), 0);
    page->doubleClickedSlot(0, 1);
    QCOMPARE(editors(), 1);

    // A test name edited to nothing opens no report.
    testsupport::editTestName(page, 0, QString());
    page->reportSource = ReportSource();
    clickRowButton(0, 16);
    QCOMPARE(page->reportSource.verdict, QString());
}

void tst_MeasurementPage::parameterChangeRejudges()
{
    measure(1, 50, 10, -20);
    measure(2, 52, 13, -16);
    page->threshold = 6.0;
    page->refreshVerdict();
    QCOMPARE(w<QLabel>("resultlab")->text(), QStringLiteral("PASS"));
    QCOMPARE(counters(), QStringList({"1", "0", "1"}));
    QCOMPARE(rows(), 1);

    w<QLineEdit>("ThresholdsEdit")->setText("6.0");
    page->reevaluateRows();
    QCOMPARE(cell(0, 14), QStringLiteral("PASS"));
    QCOMPARE(cell(0, 18), QStringLiteral("6.0"));
    QCOMPARE(counters(), QStringList({"0", "1", "1"}));
}

// ---- lost or phantom rows ------------------------------------------------------------------------

void tst_MeasurementPage::secondPressDuringAMeasurementIsIgnored_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("same button clicked from inside the command") << "click same";
    QTest::newRow("other button clicked from inside the command") << "click other";
    QTest::newRow("click queued during the wait") << "queued click";
    QTest::newRow("Space held during the wait") << "held space";
    QTest::newRow("click while a pushed frame is shown") << "pushed";
}

void tst_MeasurementPage::secondPressDuringAMeasurementIsIgnored()
{
    QFETCH(QString, how);
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page));
    measure(1, 50, 0, 0);
    auto *sampleButton = w<QPushButton>("samplemeasurementBtn");
    auto *standardButton = w<QPushButton>("stdmeasurementBtn");
    auto *again = how == "click other" ? standardButton : sampleButton;
    const int requestsBefore = measurementRequests(vi);

    if (how == "pushed") {
        // The press arrives while the pushed frame is on its way to the panel.
        QCoreApplication::postEvent(again, new QMouseEvent(QEvent::MouseButtonPress, QPointF(5, 5), again->mapToGlobal(QPointF(5, 5)),
                                                           Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(again, new QMouseEvent(QEvent::MouseButtonRelease, QPointF(5, 5), again->mapToGlobal(QPointF(5, 5)),
                                                           Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
        page->measureTarget = 2;
        page->SaveData(frameOf(51, 0, 0));
        QCoreApplication::processEvents();
        QCOMPARE(measurementRequests(vi), requestsBefore);
        QCOMPARE(rows(), 1);
        return;
    }

    // The second press comes while the instrument is asked for the measurement.
    bool pressed = false;
    Qt::CursorShape cursorDuringTheWait = Qt::ArrowCursor;
    connect(vi, &VirtualInstrument::frameReceived, this, [&](const QByteArray &frame) {
        if (pressed || frame.size() < 2 || quint8(frame[1]) != 0x44)
            return;
        pressed = true;
        if (QGuiApplication::overrideCursor())
            cursorDuringTheWait = QGuiApplication::overrideCursor()->shape();
        vi->queueMeasurement(VirtualInstrument::measurementFromLab(70, 0, 0));
        if (how.startsWith("click")) {
            QTest::mouseClick(again, Qt::LeftButton);
        } else if (how == "queued click") {
            const QPointF at(5, 5);
            QCoreApplication::postEvent(again, new QMouseEvent(QEvent::MouseButtonPress, at, again->mapToGlobal(at),
                                                               Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
            QCoreApplication::postEvent(again, new QMouseEvent(QEvent::MouseButtonRelease, at, again->mapToGlobal(at),
                                                               Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
        } else {
            // A held key: one press, then the repeats, and the release much later.
            again->setFocus();
            QCoreApplication::postEvent(again, new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " "));
            for (int i = 0; i < 10; ++i) {
                QCoreApplication::postEvent(again, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ", true));
                QCoreApplication::postEvent(again, new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ", true));
            }
        }
    });
    measure(2, 51, 0, 0);
    QCoreApplication::processEvents();
    if (how == "held space")
        QTest::keyRelease(again, Qt::Key_Space);
    QCoreApplication::processEvents();
    QVERIFY(pressed);

    QCOMPARE(measurementRequests(vi), requestsBefore + 1);
    QCOMPARE(rows(), 1);
    QCOMPARE(cell(0, 8), QStringLiteral("51.00"));
    QCOMPARE(counters(), QStringList({"0", "1", "1"}));
    QCOMPARE(int(cursorDuringTheWait), int(Qt::WaitCursor));
    QVERIFY(!QGuiApplication::overrideCursor());
    QVERIFY(!page->isMeasuring());
    // The buttons stay enabled and work again once the measurement is done.
    QVERIFY(sampleButton->isEnabled() && standardButton->isEnabled());
    measure(2, 52, 0, 0);
    QCOMPARE(rows(), 2);
}

void tst_MeasurementPage::pushedFrameQueuedAsScanIsClickedIsNotJudgedAgainstPlaceholders()
{
    measure(1, 50, 0, 0);
    measure(2, 51, 0, 0);
    QCOMPARE(rows(), 1);
    // The worker's hand-over is queued when Scan Standard is clicked.
    QMetaObject::invokeMethod(page, [this] { page->SaveData(frameOf(60, 0, 0)); }, Qt::QueuedConnection);
    measure(1, 55, 0, 0);
    QTRY_COMPARE(rows(), 3);
    for (int r = 0; r < rows(); ++r)
        QVERIFY2(cell(r, 3) != "0.00", qPrintable(QStringLiteral("row %1 judged against placeholders").arg(r)));
    const QStringList standards = {cell(1, 3), cell(2, 3)};
    QCOMPARE(standards, (QStringList{"55.00", "60.00"}));
    QCOMPARE(cell(2, 8), QStringLiteral("51.00"));
    QCOMPARE(counters(), QStringList({"2", "1", "3"}));
}

void tst_MeasurementPage::stalePartialFrameIsDropped_data()
{
    QTest::addColumn<QString>("between");
    QTest::newRow("Clear") << "Clear";
    QTest::newRow("the instrument went") << "unplug";
    QTest::newRow("the rest came too late") << "late";
    QTest::newRow("the rest came in time") << "in time";
}

void tst_MeasurementPage::stalePartialFrameIsDropped()
{
    QFETCH(QString, between);
    const QByteArray cut = frameOf(40, 5, 5);
    page->SaveData(cut.left(20));
    QCOMPARE(page->receiveBuffer.size(), 20);
    if (between == "Clear") {
        w<QPushButton>("ClearBtn")->click();
    } else if (between == "unplug") {
        vi->unplug();
        page->clear(); // what the window does when the instrument is gone
    } else if (between == "late") {
        QTest::qWait(700);
    } else {
        page->SaveData(cut.mid(20));
        QCOMPARE(panel(1, 1), QStringLiteral("40.00"));
        return;
    }
    QVERIFY(page->receiveBuffer.isEmpty() || between == "late");
    page->measureTarget = 1;
    page->SaveData(frameOf(61.23, -4.5, 7.25));
    QCOMPARE(panel(1, 1), QStringLiteral("61.23"));
    QCOMPARE(panel(2, 1), QStringLiteral("-4.50"));
    QVERIFY(page->receiveBuffer.isEmpty());
}

void tst_MeasurementPage::pushedFrameWithWrongCrcIsShownAndLogged()
{
    QByteArray f = frameOf(61.23, -4.5, 7.25);
    f[63] = char(f[63] ^ 0x5a);
    QLoggingCategory::setFilterRules(QStringLiteral("colorimeter.frames.debug=true"));
    QStringList log;
    QStringList logOfGoodFrame;
    {
        LogCapture capture(LogCapture::EverythingWithCategory);
        page->SaveData(frameOf(50, 0, 0));
        logOfGoodFrame = LogCapture::lines();
    }
    {
        LogCapture capture(LogCapture::EverythingWithCategory);
        page->SaveData(f);
        log = LogCapture::lines();
    }
    QCOMPARE(logOfGoodFrame.filter(QStringLiteral("wrong CRC")), QStringList());
    QLoggingCategory::setFilterRules(QString());
    QCOMPARE(panel(1, 1), QStringLiteral("61.23"));
    QCOMPARE(log.filter(QStringLiteral("colorimeter.frames: pushed frame with a wrong CRC")).size(), 1);
}

// ---- honest verdicts -----------------------------------------------------------------------------

void tst_MeasurementPage::unknownParametersShowButDoNotJudge_data()
{
    QTest::addColumn<int>("formula");
    QTest::addColumn<double>("threshold");
    QTest::newRow("nothing read") << -1 << -1.0;
    QTest::newRow("threshold not read") << 0 << -1.0;
    QTest::newRow("formula index 6") << 6 << 2.0;
    QTest::newRow("formula index 9") << 9 << 2.0;
}

void tst_MeasurementPage::unknownParametersShowButDoNotJudge()
{
    QFETCH(int, formula);
    QFETCH(double, threshold);
    page->formulaIndex = formula;
    page->threshold = threshold;
    measure(1, 50, 0, 0);
    measure(2, 53, 4, 0);
    QCOMPARE(panel(1, 2), QStringLiteral("53.00"));  // the pair is shown ...
    QCOMPARE(panel(1, 3), QStringLiteral("3"));
    QCOMPARE(panel(6, 3), QStringLiteral("-----")); // ... but no ΔE and no verdict
    QCOMPARE(w<QLabel>("resultlab")->text(), QStringLiteral("△E parameters unknown"));
    QCOMPARE(counters(), QStringList({"0", "0", "0"}));
    QCOMPARE(rows(), 0);

    // The language switch keeps saying so.
    testsupport::WordTranslator chinese("FirstPageForTesk", kChinese);
    QCoreApplication::installTranslator(&chinese);
    page->retranslatePage();
    QCOMPARE(w<QLabel>("resultlab")->text(), QStringLiteral("△E参数未知"));
    QCoreApplication::removeTranslator(&chinese);
    page->retranslatePage();

    // A refresh while still unknown judges nothing either, and re-judging leaves the rows be.
    MeasurementRecord earlier;
    earlier.testName = "Earlier";
    earlier.deltaE = 5.39;
    earlier.verdict = "NG";
    page->appendRow(earlier);
    page->refreshVerdict();
    page->reevaluateRows();
    QCOMPARE(w<QLabel>("resultlab")->text(), QStringLiteral("△E parameters unknown"));
    QCOMPARE(cell(0, 13), QStringLiteral("5.39"));
    QCOMPARE(cell(0, 14), QStringLiteral("NG"));

    // Once known, the pair shown is judged.
    page->formulaIndex = 0;
    page->threshold = 6.0;
    page->refreshVerdict();
    QCOMPARE(panel(6, 3), QStringLiteral("5.00"));
    QCOMPARE(w<QLabel>("resultlab")->text(), QStringLiteral("PASS"));
}

void tst_MeasurementPage::hueDifferenceIsWrapped_data()
{
    QTest::addColumn<int>("standardHue"); // hundredths of a degree
    QTest::addColumn<int>("sampleHue");
    QTest::addColumn<QString>("shown");
    QTest::newRow("359 to 1") << 35900 << 100 << "2";
    QTest::newRow("1 to 359") << 100 << 35900 << "-2";
    QTest::newRow("10 to 200") << 1000 << 20000 << "-170";
    QTest::newRow("10 to 190: half a turn") << 1000 << 19000 << "180";
    QTest::newRow("190 to 10: half a turn") << 19000 << 1000 << "180";
    QTest::newRow("0 to 360") << 0 << 36000 << "0";
    QTest::newRow("plain") << 4000 << 4550 << "5.5";
}

void tst_MeasurementPage::hueDifferenceIsWrapped()
{
    QFETCH(int, standardHue);
    QFETCH(int, sampleHue);
    VirtualInstrument::Measurement standard = VirtualInstrument::measurementFromLab(50, 10, 10);
    standard.h = standardHue;
    VirtualInstrument::Measurement sample = VirtualInstrument::measurementFromLab(51, 10, 10);
    sample.h = sampleHue;
    vi->queueMeasurement(standard);
    w<QPushButton>("stdmeasurementBtn")->click();
    vi->queueMeasurement(sample);
    w<QPushButton>("samplemeasurementBtn")->click();
    QTEST(panel(5, 3), "shown");
    QCOMPARE(panel(1, 3), QStringLiteral("1"));
}

// ---- window ---------------------------------------------------------------------------------------

void tst_MeasurementPage::resultBarNeutralUntilJudged_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QColor>("colour"); // invalid: neither green nor red
    QTest::newRow("fresh page") << "fresh" << QColor();
    QTest::newRow("after Clear") << "Clear" << QColor();
    QTest::newRow("after the instrument went") << "unplug" << QColor();
    QTest::newRow("a PASS shown") << "PASS" << QColor(0, 255, 0);
    QTest::newRow("an NG shown") << "NG" << QColor(255, 0, 0);
}

void tst_MeasurementPage::resultBarNeutralUntilJudged()
{
    QFETCH(QString, state);
    QFETCH(QColor, colour);
    page->resize(1200, 700);
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page));
    if (state != "fresh") {
        measure(1, 50, 0, 0);
        measure(2, state == "PASS" ? 51 : 60, 0, 0);
    }
    if (state == "Clear")
        w<QPushButton>("ClearBtn")->click();
    if (state == "unplug")
        page->clear();
    auto *bar = w<QLabel>("resultlab");
    QVERIFY(bar->width() > 10 && bar->height() > 4);
    const QColor seen = colourAt(bar, QPoint(3, bar->height() / 2));
    if (colour.isValid()) {
        QCOMPARE(seen, colour);
    } else {
        QVERIFY2(seen != QColor(0, 255, 0) && seen != QColor(255, 0, 0), qPrintable(seen.name()));
        QCOMPARE(bar->text(), QString());
    }
}

void tst_MeasurementPage::columnsFitBesideTheScrollBar_data()
{
    QTest::addColumn<int>("width");
    // The page as wide as a maximised window makes it on common screens.
    QTest::newRow("1024") << 1024;
    QTest::newRow("1366") << 1366;
    QTest::newRow("1920") << 1920;
}

void tst_MeasurementPage::columnsFitBesideTheScrollBar()
{
    QFETCH(int, width);
    testsupport::WordTranslator chinese("FirstPageForTesk", kChinese);
    QCoreApplication::installTranslator(&chinese);
    page->retranslatePage();
    page->resize(width, 700);
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page));
    for (int i = 0; i < 40; ++i) {
        MeasurementRecord record;
        record.sequence = i + 1;
        record.testName = QStringLiteral("Comp%1").arg(i + 1);
        record.timeText = QStringLiteral("2026/12/08  09:28");
        page->appendRow(record);
    }
    QTRY_VERIFY(table()->verticalScrollBar()->isVisible());
    QCoreApplication::processEvents();
    // Every column in view beside the scroll bar ...
    QCOMPARE(table()->horizontalScrollBar()->maximum(), 0);
    int sum = 0;
    for (int c = 0; c <= 16; ++c)
        sum += table()->columnWidth(c);
    QVERIFY2(sum <= table()->viewport()->width(), qPrintable(QStringLiteral("%1 > %2").arg(sum).arg(table()->viewport()->width())));
    // ... and the first title not clipped.
    const QFontMetrics metrics(table()->horizontalHeader()->font());
    QVERIFY(table()->columnWidth(0) >= metrics.horizontalAdvance(QStringLiteral("序号")) + 6);
    // The time of a row is shown whole, not cut to "2026/12/08 ...": the item's text room is
    // the cell less the style's text margin at each side.
    const int textMargin = table()->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table()) + 1;
    const int timeWidth = QFontMetrics(table()->font()).horizontalAdvance(QStringLiteral("2026/12/08  09:28"));
    QVERIFY2(table()->columnWidth(2) >= timeWidth + 2 * textMargin,
             qPrintable(QStringLiteral("%1 < %2").arg(table()->columnWidth(2)).arg(timeWidth + 2 * textMargin)));
    // A column the user widens stays so, though a horizontal scroll bar comes with it.
    const int widened = table()->columnWidth(1) + 300;
    table()->setColumnWidth(1, widened);
    QTRY_VERIFY(table()->horizontalScrollBar()->maximum() > 0);
    QCoreApplication::processEvents();
    QCOMPARE(table()->columnWidth(1), widened);
    QCoreApplication::removeTranslator(&chinese);
}

void tst_MeasurementPage::selectedVerdictStaysReadable_data()
{
    QTest::addColumn<bool>("programStyle");
    QTest::newRow("platform style") << false;
    QTest::newRow("the program's style sheet") << true;
}

void tst_MeasurementPage::selectedVerdictStaysReadable()
{
    QFETCH(bool, programStyle);
    if (programStyle)
        useProgramStyle();
    page->resize(1200, 700);
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page));
    MeasurementRecord ng;
    ng.testName = "Red";
    ng.verdict = "NG";
    page->appendRow(ng);
    MeasurementRecord pass;
    pass.testName = "Green";
    pass.verdict = "PASS";
    page->appendRow(pass);
    table()->selectAll();
    QCoreApplication::processEvents();
    QVERIFY(table()->selectionModel()->isRowSelected(0, QModelIndex()));
    for (int row = 0; row < 2; ++row) {
        const QRect rect = table()->visualRect(table()->model()->index(row, 14));
        const QColor seen = colourAt(table()->viewport(), QPoint(rect.left() + 6, rect.center().y()));
        QCOMPARE(seen, QColor(row == 0 ? Qt::red : Qt::darkGreen));
    }
    qApp->setStyleSheet(QString());
}

// ---- row buttons, drawn --------------------------------------------------------------------------

void tst_MeasurementPage::showRows(int n, bool programStyle)
{
    if (programStyle)
        useProgramStyle();
    page->resize(1200, 700);
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page));
    QList<MeasurementRecord> records;
    for (int i = 0; i < n; ++i) {
        MeasurementRecord record;
        record.sequence = i + 1;
        record.testName = QStringLiteral("Row%1").arg(i);
        record.verdict = i % 2 ? QStringLiteral("NG") : QStringLiteral("PASS");
        (i % 2 ? page->ngCount : page->passCount)++;
        page->totalCount++;
        records << record;
    }
    page->appendRows(records);
    QCoreApplication::processEvents();
    table()->scrollToTop();
    QCoreApplication::processEvents();
}

void tst_MeasurementPage::rowButtonsByMouseAndKeyboard_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("namesAfter"); // the rows left
    QTest::addColumn<QStringList>("reports");    // the rows reported, in order
    const QStringList all = {"Row0", "Row1", "Row2", "Row3"};
    const QStringList without1 = {"Row0", "Row2", "Row3"};
    QTest::newRow("click on Delete") << "click" << 15 << without1 << QStringList();
    QTest::newRow("click on Report") << "click" << 16 << all << QStringList{"Row1"};
    QTest::newRow("double click on Delete: one row") << "double click" << 15 << without1 << QStringList();
    QTest::newRow("double click on Report: two reports") << "double click" << 16 << all << QStringList{"Row1", "Row1"};
    QTest::newRow("pressed, released beside it") << "press and leave" << 15 << all << QStringList();
    QTest::newRow("pressed beside it, released on it") << "press beside" << 15 << all << QStringList();
    QTest::newRow("right button") << "right click" << 15 << all << QStringList();
    QTest::newRow("Space on Delete") << "Space" << 15 << without1 << QStringList();
    QTest::newRow("Enter on Delete") << "Enter" << 15 << without1 << QStringList();
    QTest::newRow("Return on Report") << "Return" << 16 << all << QStringList{"Row1"};
    QTest::newRow("Space held on Delete: one row") << "held Space" << 15 << without1 << QStringList();
    QTest::newRow("Space on another column") << "Space elsewhere" << 15 << all << QStringList();
}

void tst_MeasurementPage::rowButtonsByMouseAndKeyboard()
{
    QFETCH(QString, how);
    QFETCH(int, column);
    showRows(4);
    QStringList reported;
    connect(page, &FirstPageForTesk::reportRequested, this, [&] { reported << page->reportSource.testName; });
    QWidget *viewport = table()->viewport();
    const QPoint at = cellCentre(1, column);
    if (how == "click") {
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
    } else if (how == "double click") {
        // What the window system sends for a double click: press, release, double click, release.
        mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
        mouse(QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    } else if (how == "press and leave") {
        mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, cellCentre(1, 1), Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, cellCentre(1, 1), Qt::LeftButton, Qt::NoButton);
    } else if (how == "press beside") {
        mouse(QEvent::MouseButtonPress, cellCentre(1, 13), Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    } else if (how == "right click") {
        QTest::mouseClick(viewport, Qt::RightButton, Qt::NoModifier, at);
    } else {
        // Reached with the keyboard: into the table, along the row to the button.
        table()->setFocus();
        table()->setCurrentIndex(table()->model()->index(1, how == "Space elsewhere" ? 14 : column - 1));
        if (how != "Space elsewhere")
            QTest::keyClick(table(), Qt::Key_Right);
        QCOMPARE(table()->currentIndex().column(), how == "Space elsewhere" ? 14 : column);
        if (how == "Enter")
            QTest::keyClick(table(), Qt::Key_Enter, Qt::KeypadModifier);
        else if (how == "Return")
            QTest::keyClick(table(), Qt::Key_Return);
        else if (how == "held Space") {
            QTest::keyPress(table(), Qt::Key_Space);
            for (int i = 0; i < 5; ++i) {
                QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
                QApplication::sendEvent(table(), &repeat);
            }
            QTest::keyRelease(table(), Qt::Key_Space);
        } else
            QTest::keyClick(table(), Qt::Key_Space);
    }
    QStringList names;
    for (int r = 0; r < rows(); ++r)
        names << cell(r, 1);
    QTEST(names, "namesAfter");
    QTEST(reported, "reports");
    // Row1 is NG: its deletion lowers NG and Total.
    const QList<int> counts = {page->ngCount, page->passCount, page->totalCount};
    QCOMPARE(counts, names.size() == 3 ? QList<int>({1, 2, 3}) : QList<int>({2, 2, 4}));
    QVERIFY(!w<MeasurementTable>("tbData")->pressedButton().isValid());
}

void tst_MeasurementPage::rowButtonsLeaveTheSelection()
{
    showRows(5);
    table()->selectRow(3);
    const QModelIndexList selectedBefore = table()->selectionModel()->selectedRows();
    QCOMPARE(selectedBefore.size(), 1);
    // The buttons act on their own row, not the selected one, and leave the selection be.
    clickRowButton(1, 15);
    QCOMPARE(cell(1, 1), QStringLiteral("Row2"));
    QCOMPARE(table()->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(cell(table()->selectionModel()->selectedRows().first().row(), 1), QStringLiteral("Row3"));
    clickRowButton(0, 16);
    QCOMPARE(page->reportSource.testName, QStringLiteral("Row0"));
    QCOMPARE(cell(table()->selectionModel()->selectedRows().first().row(), 1), QStringLiteral("Row3"));
    QCOMPARE(table()->selectionModel()->selectedRows().size(), 1);
}

void tst_MeasurementPage::rowButtonLook_data()
{
    selectedVerdictStaysReadable_data();
}

void tst_MeasurementPage::rowButtonLook()
{
    QFETCH(bool, programStyle);
    showRows(3, programStyle);
    const QRect cellRect = table()->visualRect(table()->model()->index(1, 15));
    // A point of the button's face above its text.
    const QPoint face(cellRect.center().x(), cellRect.top() + 4);
    const QColor raised = seenAt(face);
    mouse(QEvent::MouseMove, cellRect.center(), Qt::NoButton, Qt::NoButton);
    QCOMPARE(w<MeasurementTable>("tbData")->hoveredButton(), table()->model()->index(1, 15));
    QCoreApplication::processEvents();
    const QColor hovered = seenAt(face);
    mouse(QEvent::MouseButtonPress, cellRect.center(), Qt::LeftButton, Qt::LeftButton);
    QCoreApplication::processEvents();
    const QColor pressed = seenAt(face);
    // Dragged off the button it looks raised again, and the release there deletes nothing.
    mouse(QEvent::MouseMove, cellCentre(1, 1), Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, cellCentre(1, 1), Qt::LeftButton, Qt::NoButton);
    QCoreApplication::processEvents();
    QCOMPARE(rows(), 3);
    QCOMPARE(seenAt(face), raised);
    QCOMPARE(seenAt(QPoint(cellCentre(2, 16).x(), cellRect.top() + 4 + cellRect.height())), raised);
    qApp->setStyleSheet(QString());
    if (programStyle) {
        // The style sheet's colours: the blue face, the grey of hover and the darker grey of a
        // press (each a gradient from top to bottom).
        auto near = [](const QColor &a, const QColor &b) {
            return std::abs(a.red() - b.red()) <= 12 && std::abs(a.green() - b.green()) <= 12
                   && std::abs(a.blue() - b.blue()) <= 12;
        };
        QVERIFY2(near(raised, QColor(0x1E, 0x90, 0xFF)), qPrintable(raised.name()));
        QVERIFY2(near(hovered, QColor(0x64, 0x64, 0x64)), qPrintable(hovered.name()));
        QVERIFY2(near(pressed, QColor(0x48, 0x48, 0x48)), qPrintable(pressed.name()));
    } else {
        QVERIFY(hovered != raised || pressed != raised);
        QVERIFY2(pressed != hovered, qPrintable(pressed.name()));
    }
}

void tst_MeasurementPage::rowDeletedWhileAnotherIsHovered()
{
    showRows(6, true);
    // The pointer rests on Row3's Report button while Row1 is deleted from the keyboard.
    const QPoint pointer = cellCentre(3, 16);
    mouse(QEvent::MouseMove, pointer, Qt::NoButton, Qt::NoButton);
    table()->setFocus();
    table()->setCurrentIndex(table()->model()->index(1, 15));
    QTest::keyClick(table(), Qt::Key_Space);
    QCOMPARE(cell(1, 1), QStringLiteral("Row2"));
    QCoreApplication::processEvents();
    // Row4 has moved up under the pointer: it is the one hovered and drawn so, not Row3.
    const auto *view = w<MeasurementTable>("tbData");
    QCOMPARE(view->hoveredButton(), table()->model()->index(3, 16));
    QCOMPARE(cell(3, 1), QStringLiteral("Row4"));
    const int faceOffset = 4 - table()->visualRect(table()->model()->index(3, 16)).height() / 2;
    const QColor underPointer = seenAt(pointer + QPoint(0, faceOffset));
    const QColor rowAbove = seenAt(cellCentre(2, 16) + QPoint(0, faceOffset));
    qApp->setStyleSheet(QString());
    QVERIFY2(underPointer != rowAbove, qPrintable(underPointer.name()));
    // A click where the pointer is reports the row under it.
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, Qt::NoModifier, pointer);
    QCOMPARE(page->reportSource.testName, QStringLiteral("Row4"));
    // The pointer leaves: nothing is hovered.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(table()->viewport(), &leave);
    QVERIFY(!view->hoveredButton().isValid());
}

void tst_MeasurementPage::noWidgetPerRow()
{
    page->resize(1200, 700);
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page));
    QCoreApplication::processEvents();
    const qsizetype widgets = page->findChildren<QWidget *>().size();
    const qsizetype objects = page->findChildren<QObject *>().size();
    QList<MeasurementRecord> records;
    for (int i = 0; i < 20000; ++i) {
        MeasurementRecord record;
        record.sequence = i + 1;
        record.testName = QStringLiteral("Comp%1").arg(i + 1);
        record.verdict = QStringLiteral("PASS");
        records << record;
    }
    page->appendRows(records.mid(0, 19990));
    for (int i = 19990; i < 20000; ++i) // and one by one
        page->appendRow(records.at(i));
    QCoreApplication::processEvents();
    QCOMPARE(rows(), 20000);
    QCOMPARE(page->findChildren<QWidget *>().size(), widgets);
    QCOMPARE(page->findChildren<QObject *>().size(), objects);
    // The language switch makes none either.
    page->retranslatePage();
    QCoreApplication::processEvents();
    QCOMPARE(page->findChildren<QWidget *>().size(), widgets);
}

void tst_MeasurementPage::modelTellsItsReaders()
{
    const MeasurementModel *model = page->measurementModel();
    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(model, &QAbstractItemModel::modelReset);

    // A record as a download makes it: C* and h worked out, not rounded.
    MeasurementRecord raw;
    raw.sequence = 1;
    raw.testName = QStringLiteral("Raw");
    raw.standard = {50, 10, -20, std::sqrt(500.0), 360 + std::atan2(-20.0, 10.0) * 180 / M_PI};
    raw.sample = {52.004, 13, -16, 20.6155, 309.0939};
    raw.deltaE = 5.385164807;
    raw.verdict = QStringLiteral("NG");
    page->appendRow(raw);
    QCOMPARE(inserted.size(), 1);
    // Readers take the numbers shown: sqrt(500) = 22.3607 shows 22.36, the hue 296.565 shows 296.6.
    const MeasurementRecord &shown = model->record(0);
    QCOMPARE(shown.standard[3], 22.36);
    QCOMPARE(shown.standard[4], 296.6);
    QCOMPARE(shown.sample[0], 52.0);
    QCOMPARE(shown.deltaE, 5.39);
    QCOMPARE(model->text(0, FirstPageForTesk::ColStandardL + 4), QStringLiteral("296.6"));

    page->appendRows({raw, raw, raw});
    QCOMPARE(inserted.size(), 2);
    QCOMPARE(inserted.last().at(1).toInt(), 1);
    QCOMPARE(inserted.last().at(2).toInt(), 3);
    QCOMPARE(model->rowCount(), 4);

    testsupport::editTestName(page, 2, QStringLiteral("Renamed"));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.last().at(0).value<QModelIndex>().row(), 2);
    QCOMPARE(model->record(2).testName, QStringLiteral("Renamed"));

    page->reevaluateRows();
    QCOMPARE(changed.size(), 2);
    QCOMPARE(changed.last().at(0).value<QModelIndex>(), model->index(0, FirstPageForTesk::ColDeltaE));
    QCOMPARE(changed.last().at(1).value<QModelIndex>(), model->index(3, FirstPageForTesk::ColThreshold));

    clickRowButton(1, FirstPageForTesk::ColDelete);
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed.last().at(1).toInt(), 1);

    page->on_ClearBtn_clicked();
    QCOMPARE(reset.size(), 1);
    QCOMPARE(model->rowCount(), 0);
    // A ΔE that is not a number is shown missing.
    raw.deltaE = std::numeric_limits<double>::quiet_NaN();
    page->appendRow(raw);
    QCOMPARE(cell(0, FirstPageForTesk::ColDeltaE), QStringLiteral("-----"));
}

QTEST_MAIN(tst_MeasurementPage)
#include "tst_measurementpage.moc"
