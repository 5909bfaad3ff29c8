// The measurement page against the virtual instrument: both scan buttons, frames the instrument
// pushes, the evaluation and its verdicts, the counters through deletions and resets, and the
// language switch. Message boxes are scripted.
#include "clinker.h"
#include "cprotocol.h"
#include "firstpagefortesk.h"
#include "linkport.h"
#include "measurementmodel.h"
#include "rbtableheaderview.h"
#include "scriptedmodal.h"
#include "verdict.h"
#include "virtualinstrument.h"

#include <QDateEdit>
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

// Stands in for the Chinese translation file.
class FakeChinese : public QTranslator
{
public:
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        static const QHash<QString, QString> words = {
            {"PASS", "合格"},   {"NG", "不合格"},    {"Delete", "删除"},        {"Report", "报告"},
            {"Standard", "标准"}, {"Sample", "样品"}, {"Slight white", "略白"},
        };
        return qstrcmp(context, "FirstPageForTesk") == 0 ? words.value(QString::fromUtf8(source)) : QString();
    }
    bool isEmpty() const override { return false; }
};

QByteArray frameOf(double L, double a, double b)
{
    return measurement::frame(VirtualInstrument::measurementFromLab(L, a, b), 1);
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
    void threePairsMeasuredAndDeleted();
    void rowButtonsFindTheirRow_data();
    void rowButtonsFindTheirRow();
    void resets();
    void reportAndTestNameEditing();
    void parameterChangeRejudges();

private:
    template <class T>
    T *w(const char *name) const
    {
        T *widget = page->findChild<T *>(QString::fromLatin1(name));
        Q_ASSERT(widget);
        return widget;
    }
    QString panel(int row, int column) const
    {
        const QTableWidgetItem *item = w<QTableWidget>("tbColorDiff")->item(row, column);
        return item ? item->text() : QStringLiteral("<none>");
    }
    QString cell(int row, int column) const
    {
        const QTableWidgetItem *item = table()->item(row, column);
        return item ? item->text() : QStringLiteral("<none>");
    }
    QTableWidget *table() const { return w<QTableWidget>("tbData"); }
    QStringList counters() const
    {
        return {w<QLineEdit>("UnqualnumEdit")->text(), w<QLineEdit>("QualnumEdit")->text(),
                w<QLineEdit>("TotalnumEdit")->text()};
    }
    void measure(int side, double L, double a, double b)
    {
        vi->queueMeasurement(VirtualInstrument::measurementFromLab(L, a, b));
        w<QPushButton>(side == 1 ? "stdmeasurementBtn" : "samplemeasurementBtn")->click();
    }
    void clickRowButton(int row, int column)
    {
        auto *button = qobject_cast<QPushButton *>(table()->cellWidget(row, column));
        QVERIFY(button);
        button->click();
    }

    VirtualInstrument *vi = nullptr;
    LinkPort *port = nullptr;
    ScriptedModal *modal = nullptr;
    FirstPageForTesk *page = nullptr;
};

void tst_MeasurementPage::init()
{
    CProtocol::setWaitScaleForTests(0.1);
    vi = new VirtualInstrument;
    port = new LinkPort;
    LinkPort::setCurrent(port);
    auto *usb = new CLinkerUSB(vi);
    QCOMPARE(usb->open(0x2047, 0x0301), 0);
    port->link = usb;
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
    delete port;
    delete vi;
    CProtocol::setWaitScaleForTests(1.0);
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
    QCOMPARE(table()->rowCount(), 0);
    QCOMPARE(table()->columnCount(), 21);
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
    QCOMPARE(table()->rowCount(), 0);
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

    QCOMPARE(table()->rowCount(), 1);
    const QStringList expected = {"1",     "Comp1", "",      "50.00", "10.00", "-20.00", "22.36",
                                  "296.6", "52.00", "13.00", "-16.00", "20.62", "309.1", "5.39",
                                  "NG",    "",      "",      "△E*ab", "2.0",   "",       ""};
    for (int c = 0; c < 21; ++c)
        if (c != 2 && c != 15 && c != 16)
            QCOMPARE(cell(0, c), expected.at(c)); // ... one in the table
    QVERIFY(QRegularExpression("^\\d{4}/\\d\\d/\\d\\d  \\d\\d:\\d\\d$").match(cell(0, 2)).hasMatch());
    QCOMPARE(table()->item(0, 14)->background().color(), QColor(Qt::red));
    QCOMPARE(qobject_cast<QPushButton *>(table()->cellWidget(0, 15))->text(), QStringLiteral("Delete"));
    QCOMPARE(qobject_cast<QPushButton *>(table()->cellWidget(0, 16))->text(), QStringLiteral("Report"));
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
    QTest::newRow("threshold not read") << 0 << -1.0 << five << "5.00" << "NG";
    QTest::newRow("nothing read") << -1 << -1.0 << five << "-1.00" << "PASS";
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
    QCOMPARE(table()->item(0, 14)->background().color(), QColor(verdict == "PASS" ? Qt::darkGreen : Qt::red));
}

void tst_MeasurementPage::furtherMeasurementsUseTheOtherSideShown()
{
    measure(1, 50, 0, 0);
    measure(2, 51, 0, 0);
    measure(2, 53, 0, 0); // compared with the same standard
    measure(1, 54, 0, 0); // compared with the last sample
    QCOMPARE(table()->rowCount(), 3);
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
    QCOMPARE(table()->rowCount(), 2);
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
    QCOMPARE(table()->rowCount(), 0);
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
    QCOMPARE(table()->rowCount(), 1);
    measure(1, 50.5, 0, 0);
    QCOMPARE(table()->rowCount(), 2);
    QCOMPARE(cell(1, 13), QStringLiteral("1.50"));
}

void tst_MeasurementPage::noLinkChangesNothing()
{
    delete port->link;
    port->link = nullptr;
    const QString sampleStyle = w<QPushButton>("samplemeasurementBtn")->styleSheet();
    w<QPushButton>("samplemeasurementBtn")->click();
    QCOMPARE(modal->calls().size(), 1);
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
    QCOMPARE(table()->rowCount(), 2);
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
    QCOMPARE(table()->rowCount(), 1);
    QVERIFY(page->receiveBuffer.isEmpty());

    vi->queueMeasurement(VirtualInstrument::measurementFromLab(40, 5, 5));
    vi->injectFault(VirtualInstrument::Fault::StrayBytes);
    vi->pressButton();
    QTRY_COMPARE_WITH_TIMEOUT(table()->rowCount(), 2, 5000);
    QCOMPARE(cell(1, 8), QStringLiteral("40.00")); // the sample side was chosen last
    page->closeThreadSlot();
}

void tst_MeasurementPage::languageSwitchWithRows()
{
    measure(1, 50, 10, -20);
    measure(2, 52, 13, -16);  // NG
    measure(2, 50.5, 10, -20); // PASS
    FakeChinese chinese;
    QCoreApplication::installTranslator(&chinese);
    page->isChinese = true;
    page->retranslatePage();
    QCOMPARE(cell(0, 14), QStringLiteral("不合格"));
    QCOMPARE(cell(1, 14), QStringLiteral("合格"));
    QCOMPARE(table()->item(0, 14)->background().color(), QColor(Qt::red));
    QCOMPARE(table()->item(1, 14)->background().color(), QColor(Qt::darkGreen));
    QCOMPARE(qobject_cast<QPushButton *>(table()->cellWidget(1, 15))->text(), QStringLiteral("删除"));
    QCOMPARE(qobject_cast<QPushButton *>(table()->cellWidget(1, 16))->text(), QStringLiteral("报告"));
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
    QCOMPARE(qobject_cast<QPushButton *>(table()->cellWidget(0, 15))->text(), QStringLiteral("Delete"));
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
    QCOMPARE(table()->item(row, 14)->background().color(), QColor(verdict == "NG" ? Qt::red : Qt::darkGreen));
    clickRowButton(row, 15);
    QTEST(counters(), "countersAfter");
    QCOMPARE(table()->rowCount(), 1);
    QCOMPARE(cell(0, 0), QStringLiteral("7"));
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
    QCOMPARE(table()->rowCount(), 1);
}

void tst_MeasurementPage::rowButtonsFindTheirRow_data()
{
    QTest::addColumn<bool>("laidOut");
    QTest::newRow("buttons placed by the view") << true;
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
        QCOMPARE(table()->cellWidget(38, 15)->geometry().top(), table()->visualRect(table()->model()->index(38, 15)).top());
    }
    clickRowButton(38, 15);
    QCOMPARE(table()->rowCount(), 39);
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
    QCOMPARE(table()->rowCount(), 1);
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
    QCOMPARE(table()->rowCount(), 0);
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
    table()->item(0, 1)->setText(QString());
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
    QCOMPARE(table()->rowCount(), 1);

    w<QLineEdit>("ThresholdsEdit")->setText("6.0");
    page->reevaluateRows();
    QCOMPARE(cell(0, 14), QStringLiteral("PASS"));
    QCOMPARE(cell(0, 18), QStringLiteral("6.0"));
    QCOMPARE(counters(), QStringList({"0", "1", "1"}));
}

QTEST_MAIN(tst_MeasurementPage)
#include "tst_measurementpage.moc"
