// Identity and ΔE parameters on the page against the virtual instrument: the meter-number
// table, the read on connection, the parameter read and the set-parameter dialog, and judging
// the table again after a write. Message boxes and the dialog are scripted.
#include "clinker.h"
#include "cprotocol.h"
#include "excelengine.h"
#include "firstpagefortesk.h"
#include "linkport.h"
#include "scriptedmodal.h"
#include "seteparameterpagefortesk.h"
#include "testsupport.h"
#include "virtualinstrument.h"

#include <QButtonGroup>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QtTest>

namespace {

MeasurementRecord row(double stdL, double stdA, double stdB, double smpL, double smpA, double smpB,
                      const QString &verdict)
{
    MeasurementRecord r;
    r.testName = QStringLiteral("Row");
    r.standard = {stdL, stdA, stdB, 0, 0};
    r.sample = {smpL, smpA, smpB, 0, 0};
    r.verdict = verdict;
    r.formulaText = QStringLiteral("old formula");
    r.thresholdText = QStringLiteral("old threshold");
    // Imported from another instrument.
    r.deviceName = QStringLiteral("Other meter");
    r.serialNumber = QStringLiteral("777");
    return r;
}

// The meter-number table lies beside the test, as beside the program; cases that need another
// one put it there and the fixture puts the shipped one back.
QString meterPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/meterno.xls");
}

} // namespace

class tst_DeviceInfo : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void connectionFillsIdentityAndParameters();
    void unconfiguredProductionBlockStillReadsParameters();
    void meterNumberTables_data();
    void meterNumberTables();
    void duplicatedModelCodeUpperRowWins();
    void thresholdShownAsStored_data();
    void thresholdShownAsStored();
    void unknownFormulaIndexKeepsTheLabel();
    void dialogParsesThreshold_data();
    void dialogParsesThreshold();
    void dialogWithoutLinkStaysOpen();
    void dialogWriteFailureStaysOpen();
    void setParameterRejudgesEveryRow();
    void setParameterOnEmptyTableKeepsCounters();
    void cancelledDialogWritesNothing();
    void readWithInstrumentGoneButLinkHeld();
    void noStaleDeviceName_data();
    void noStaleDeviceName();
    void dialogOpensWithTheParametersInUse_data();
    void dialogOpensWithTheParametersInUse();
    void changingOnlyTheThresholdKeepsTheFormula();

private:
    template <class T>
    T *w(const char *name) const { return testsupport::child<T>(page, name); }
    QString cell(int r, int c) const { return page->ui ? testsupport::cellText(testsupport::measurementTable(page), r, c) : QString(); }

    QByteArray shippedMeterTable;
    VirtualInstrument *vi = nullptr;
    LinkPort *port = nullptr;
    ScriptedModal *modal = nullptr;
    FirstPageForTesk *page = nullptr;
};

void tst_DeviceInfo::initTestCase()
{
    QFile shipped(meterPath());
    QVERIFY2(shipped.open(QFile::ReadOnly), "meterno.xls is copied beside the test by the build");
    shippedMeterTable = shipped.readAll();
}

void tst_DeviceInfo::cleanupTestCase()
{
    QFile shipped(meterPath());
    QVERIFY(shipped.open(QFile::WriteOnly | QFile::Truncate));
    shipped.write(shippedMeterTable);
}

void tst_DeviceInfo::init()
{
    CProtocol::setWaitScaleForTests(0.1);
    vi = new VirtualInstrument;
    port = testsupport::connectedPort(vi);
    QVERIFY(port->link);
    modal = new ScriptedModal;
    page = new FirstPageForTesk;
    page->openThreadSlot();
}

void tst_DeviceInfo::cleanup()
{
    delete page;
    delete modal;
    testsupport::releaseInstrument(port, vi);
}

void tst_DeviceInfo::connectionFillsIdentityAndParameters()
{
    page->readInstrumentSettings();
    QVERIFY2(modal->calls().isEmpty(), qPrintable(modal->transcript().join('\n')));
    QCOMPARE(w<QLineEdit>("serialNoEdit")->text(), QStringLiteral("23051701"));
    QCOMPARE(w<QLineEdit>("FirmwareVersionEdit")->text(), QStringLiteral("1.3"));
    QCOMPARE(w<QLineEdit>("DeviceNameEdit")->text(), QStringLiteral("VC-3001"));
    QCOMPARE(page->deviceName, QStringLiteral("VC-3001"));
    QCOMPARE(w<QDateEdit>("ProductionDateEdit")->date(), QDate(2024, 5, 17));
    QCOMPARE(w<QDateEdit>("CalibrationeDateEdit")->date(), QDate(2025, 11, 3));
    QCOMPARE(w<QLineEdit>("formulaEdit")->text(), QStringLiteral("△E*ab"));
    QCOMPARE(w<QLineEdit>("ThresholdsEdit")->text(), QStringLiteral("1.5"));
    QCOMPARE(page->formulaIndex, 0);
    QCOMPARE(page->threshold, 1.5);
}

void tst_DeviceInfo::unconfiguredProductionBlockStillReadsParameters()
{
    vi->eraseProductionInfo();
    page->readInstrumentSettings();
    QCOMPARE(modal->transcript().size(), 1);
    QCOMPARE(modal->calls().first().title, QStringLiteral("Warn"));
    QCOMPARE(modal->calls().first().text,
             QStringLiteral("The instrument is not configured production information!"));
    QVERIFY(w<QLineEdit>("serialNoEdit")->text().isEmpty());
    QCOMPARE(w<QLineEdit>("ThresholdsEdit")->text(), QStringLiteral("1.5"));
}

void tst_DeviceInfo::meterNumberTables_data()
{
    QTest::addColumn<int>("rows"); // -1: no file
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("deviceName");
    QTest::newRow("no file") << -1 << -1 << QStringLiteral("Can't open file！") << QStringLiteral("UnKnow");
    QTest::newRow("heading only") << 1 << -1 << QStringLiteral("Failed to read excel file！")
                                  << QStringLiteral("UnKnow");
    QTest::newRow("heading and the instrument") << 2 << 0 << QString() << QStringLiteral("Bench unit");
}

void tst_DeviceInfo::meterNumberTables()
{
    QFETCH(int, rows);
    QFETCH(int, result);
    QFETCH(QString, message);
    QFETCH(QString, deviceName);
    QFile::remove(meterPath());
    if (rows > 0) {
        CellRows table = {{QStringLiteral("Model code"), QStringLiteral("Device name")},
                          {3001.0, QStringLiteral("Bench unit")}};
        table = table.mid(0, rows);
        ExcelEngine engine(meterPath());
        QVERIFY(engine.open(1) && engine.writeAll(table) && engine.save());
    }
    modal->clearRecord();
    QCOMPARE(page->loadMeterNumbers(), result);
    if (message.isEmpty()) {
        QVERIFY(modal->calls().isEmpty());
    } else {
        QCOMPARE(modal->calls().size(), 1);
        QCOMPARE(modal->calls().first().title, QStringLiteral("Error："));
        QCOMPARE(modal->calls().first().text, message);
    }
    // Reading never creates the table where it is missing.
    QCOMPARE(QFile::exists(meterPath()), rows > 0);
    if (result != 0)
        page->meterRowCount = 0, page->meterRows.clear();
    modal->clearRecord();
    page->readInstrumentSettings();
    QCOMPARE(w<QLineEdit>("DeviceNameEdit")->text(), deviceName);

    QFile shipped(meterPath());
    QVERIFY(shipped.open(QFile::WriteOnly | QFile::Truncate));
    shipped.write(shippedMeterTable);
}

void tst_DeviceInfo::duplicatedModelCodeUpperRowWins()
{
    page->meterRows = {{QStringLiteral("code"), QStringLiteral("name")},
                       {QStringLiteral("text, not a code"), QStringLiteral("never")},
                       {17.0, QStringLiteral("Upper")},
                       {17.0, QStringLiteral("Lower")},
                       {QVariant(18.0)}};
    page->meterRowCount = int(page->meterRows.size());
    QCOMPARE(page->deviceNameFor(17), QStringLiteral("Upper"));
    QCOMPARE(page->deviceNameFor(18), QStringLiteral("UnKnow")); // a row without a name
    QCOMPARE(page->deviceNameFor(0), QStringLiteral("UnKnow"));  // text cells are no code 0
}

void tst_DeviceInfo::thresholdShownAsStored_data()
{
    QTest::addColumn<int>("tenths");
    QTest::addColumn<QString>("shown");
    QTest::newRow("0") << 0 << QStringLiteral("0.0");
    QTest::newRow("15") << 15 << QStringLiteral("1.5");
    QTest::newRow("500") << 500 << QStringLiteral("50.0");
    QTest::newRow("65535, not range-checked") << 65535 << QStringLiteral("6553.5");
}

void tst_DeviceInfo::thresholdShownAsStored()
{
    QFETCH(int, tenths);
    QFETCH(QString, shown);
    vi->setDeltaEParameter(2, tenths);
    QCOMPARE(page->on_readparameterBtn_clicked(), 1);
    QCOMPARE(w<QLineEdit>("ThresholdsEdit")->text(), shown);
    QCOMPARE(w<QLineEdit>("formulaEdit")->text(), QStringLiteral("△E*94"));
    QCOMPARE(page->threshold, tenths / 10.0);
}

void tst_DeviceInfo::unknownFormulaIndexKeepsTheLabel()
{
    QCOMPARE(page->on_readparameterBtn_clicked(), 1);
    vi->setDeltaEParameter(9, 20);
    QCOMPARE(page->on_readparameterBtn_clicked(), 1);
    QCOMPARE(page->formulaIndex, 9);
    QCOMPARE(w<QLineEdit>("formulaEdit")->text(), QStringLiteral("△E*ab"));
    page->appendRow(row(50, 10, -20, 52, 13, -16, QStringLiteral("NG")));
    page->ngCount = page->totalCount = 1;
    page->reevaluateRows();
    // With a formula the page does not know, nothing is judged: the row keeps its verdict.
    QCOMPARE(cell(0, FirstPageForTesk::ColDeltaE), QStringLiteral("0.00"));
    QCOMPARE(cell(0, FirstPageForTesk::ColVerdict), QStringLiteral("NG"));
    QCOMPARE(cell(0, FirstPageForTesk::ColFormula), QStringLiteral("old formula"));
    QCOMPARE(page->ngCount, 1);
    QCOMPARE(page->passCount, 0);
}

void tst_DeviceInfo::dialogParsesThreshold_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("written"); // -1: refused
    QTest::newRow("0.1") << "0.1" << 1;
    QTest::newRow("50") << "50" << 500;
    QTest::newRow("2.3") << "2.3" << 23;
    QTest::newRow("2.35") << "2.35" << 23;
    QTest::newRow("0.7") << "0.7" << 7;
    QTest::newRow("9.9") << "9.9" << 99;
    QTest::newRow("50.05") << "50.05" << -1;
    QTest::newRow("0.09") << "0.09" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("letters") << "abc" << -1;
    QTest::newRow("-3") << "-3" << -1;
}

void tst_DeviceInfo::dialogParsesThreshold()
{
    QFETCH(QString, typed);
    QFETCH(int, written);
    for (bool chinese : {false, true}) {
        vi->setDeltaEParameter(4, 321);
        modal->clearRecord();
        page->isChinese = chinese;
        setEParameterPageForTesk dialog(page);
        QCOMPARE(dialog.formulaGroup->checkedId(), 0);
        dialog.findChild<QLineEdit *>(QStringLiteral("ThresholdsEdit"))->setText(typed);
        dialog.findChild<QPushButton *>(QStringLiteral("Okbtn"))->click();
        const QByteArray block = vi->memory(0x0225, 3);
        if (written < 0) {
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QCOMPARE(block, QByteArray::fromHex("044101")); // nothing written
            QCOMPARE(modal->calls().size(), 1);
            QCOMPARE(modal->calls().first().title, chinese ? QStringLiteral("提示") : QStringLiteral("information"));
            QCOMPARE(modal->calls().first().text, chinese ? QStringLiteral("阀值必须介于0.1-50之间!")
                                                          : QStringLiteral("Thresholds must between 0.1—50!"));
        } else {
            // Accepted without touching the radio buttons: formula 0.
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(int(quint8(block[0])), 0);
            QCOMPARE(int(quint8(block[1]) | (quint8(block[2]) << 8)), written);
            QVERIFY(modal->calls().isEmpty());
        }
    }
}

void tst_DeviceInfo::dialogWithoutLinkStaysOpen()
{
    LinkPort empty;
    LinkPort::setCurrent(&empty);
    setEParameterPageForTesk dialog(page);
    dialog.findChild<QLineEdit *>(QStringLiteral("ThresholdsEdit"))->setText(QStringLiteral("2"));
    dialog.findChild<QPushButton *>(QStringLiteral("Okbtn"))->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(modal->transcript().size(), 1);
    QCOMPARE(modal->calls().first().text, QStringLiteral("Please connect the device first!"));
    LinkPort::setCurrent(port);
}

void tst_DeviceInfo::dialogWriteFailureStaysOpen()
{
    vi->injectFault(VirtualInstrument::Fault::NoReply);
    setEParameterPageForTesk dialog(page);
    dialog.findChild<QRadioButton *>(QStringLiteral("formulaBtn_5"))->setChecked(true);
    dialog.findChild<QLineEdit *>(QStringLiteral("ThresholdsEdit"))->setText(QStringLiteral("2"));
    dialog.findChild<QPushButton *>(QStringLiteral("Okbtn"))->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(modal->calls().first().title, QStringLiteral("Error"));
    QCOMPARE(modal->calls().first().text, QStringLiteral("Failed to write △E parameter information!"));
}

void tst_DeviceInfo::setParameterRejudgesEveryRow()
{
    page->readInstrumentSettings(); // ΔE*ab, 1.5
    page->appendRow(row(50, 10, -20, 52, 13, -16, QStringLiteral("NG")));  // ΔE*ab 5.39
    page->appendRow(row(50, 0, 0, 50.5, 0, 0, QStringLiteral("PASS")));   // 0.50
    page->appendRow(row(60, 5, 5, 60, 5, 9, QStringLiteral("NG")));       // 4.00
    page->appendRow(row(10, 10, 10, 90, 10, 10, QStringLiteral("NG")));   // deleted below
    testsupport::clickRowButton(page, 3, FirstPageForTesk::ColDelete);
    page->ngCount = 7; // stale counts must not survive a recount
    page->passCount = 7;
    page->totalCount = 14;

    modal->answerDialog(QDialog::Accepted, [](QDialog *d) {
        d->findChild<QLineEdit *>(QStringLiteral("ThresholdsEdit"))->setText(QStringLiteral("4.5"));
        d->findChild<QPushButton *>(QStringLiteral("Okbtn"))->click();
    });
    w<QPushButton>("writeparameterBtn")->click();
    QCOMPARE(modal->pendingAnswers(), 0);
    QCOMPARE(vi->memory(0x0225, 3), QByteArray::fromHex("002d00"));
    QCOMPARE(w<QLineEdit>("ThresholdsEdit")->text(), QStringLiteral("4.5"));

    const QStringList deltaE = {cell(0, 13), cell(1, 13), cell(2, 13)};
    QCOMPARE(deltaE, (QStringList{"5.39", "0.50", "4.00"}));
    const QStringList verdicts = {cell(0, 14), cell(1, 14), cell(2, 14)};
    QCOMPARE(verdicts, (QStringList{"NG", "PASS", "PASS"}));
    for (int r = 0; r < 3; ++r) {
        QCOMPARE(cell(r, FirstPageForTesk::ColFormula), QStringLiteral("△E*ab"));
        QCOMPARE(cell(r, FirstPageForTesk::ColThreshold), QStringLiteral("4.5"));
        // Where the row came from stays.
        QCOMPARE(cell(r, FirstPageForTesk::ColDeviceName), QStringLiteral("Other meter"));
        QCOMPARE(cell(r, FirstPageForTesk::ColSerialNumber), QStringLiteral("777"));
    }
    QCOMPARE(page->ngCount, 1);
    QCOMPARE(page->passCount, 2);
    QCOMPARE(page->totalCount, 3);
    QCOMPARE(w<QLineEdit>("TotalnumEdit")->text(), QStringLiteral("3"));
}

void tst_DeviceInfo::setParameterOnEmptyTableKeepsCounters()
{
    page->ngCount = 2;
    page->passCount = 3;
    page->totalCount = 5;
    modal->answerDialog(QDialog::Accepted, [](QDialog *d) {
        d->findChild<QLineEdit *>(QStringLiteral("ThresholdsEdit"))->setText(QStringLiteral("3"));
        d->findChild<QRadioButton *>(QStringLiteral("formulaBtn_3"))->setChecked(true);
        d->findChild<QPushButton *>(QStringLiteral("Okbtn"))->click();
    });
    w<QPushButton>("writeparameterBtn")->click();
    QCOMPARE(vi->memory(0x0225, 3), QByteArray::fromHex("031e00"));
    QCOMPARE(page->formulaIndex, 3);
    QCOMPARE(w<QLineEdit>("formulaEdit")->text(), QStringLiteral("△E*cmc(2:1)"));
    QCOMPARE(page->totalCount, 5);
    QCOMPARE(page->ngCount, 2);
}

void tst_DeviceInfo::cancelledDialogWritesNothing()
{
    const QByteArray before = vi->memory(0x0225, 5);
    modal->answerDialog(QDialog::Rejected, [](QDialog *d) {
        d->findChild<QLineEdit *>(QStringLiteral("ThresholdsEdit"))->setText(QStringLiteral("3"));
    });
    w<QPushButton>("writeparameterBtn")->click();
    QCOMPARE(vi->memory(0x0225, 5), before);
    QCOMPARE(page->formulaIndex, -1); // not even read again
}

void tst_DeviceInfo::readWithInstrumentGoneButLinkHeld()
{
    vi->unplug(); // nobody has told the window yet: the link is still held
    QVERIFY(port->isLinkOpen());
    QCOMPARE(page->on_readparameterBtn_clicked(), -1);
    QCOMPARE(modal->calls().last().title, QStringLiteral("Error"));
    QCOMPARE(modal->calls().last().text, QStringLiteral("Failed to read △E parameter information!"));
}

void tst_DeviceInfo::noStaleDeviceName_data()
{
    QTest::addColumn<QString>("then");
    QTest::newRow("the instrument went") << "gone";
    QTest::newRow("the next identity read fails") << "read fails";
}

void tst_DeviceInfo::noStaleDeviceName()
{
    QFETCH(QString, then);
    page->readInstrumentSettings();
    QCOMPARE(page->deviceName, QStringLiteral("VC-3001"));
    if (then == "gone") {
        vi->unplug();
        page->closeThreadSlot();
        page->clear(); // what the window does when the instrument is gone
        // The parameter fields show what the page judges by now: nothing.
        QCOMPARE(w<QLineEdit>("formulaEdit")->text(), QString());
        QCOMPARE(w<QLineEdit>("ThresholdsEdit")->text(), QString());
        QCOMPARE(page->formulaIndex, -1);
    } else {
        vi->eraseProductionInfo();
        modal->clearRecord();
        page->readDeviceIdentity();
        QCOMPARE(modal->calls().size(), 1);
    }
    QCOMPARE(page->deviceName, QString());
    QCOMPARE(w<QLineEdit>("DeviceNameEdit")->text(), QString());
}

void tst_DeviceInfo::dialogOpensWithTheParametersInUse_data()
{
    QTest::addColumn<int>("formula");
    QTest::addColumn<int>("tenths"); // -1: not read
    QTest::addColumn<int>("checked");
    QTest::addColumn<QString>("threshold");
    QTest::newRow("CMC(2:1), 2.5") << 3 << 25 << 3 << "2.5";
    QTest::newRow("ΔE00, 50") << 5 << 500 << 5 << "50.0";
    QTest::newRow("ΔE*uv, 0.1") << 1 << 1 << 1 << "0.1";
    QTest::newRow("not read: ΔE*ab, empty") << -1 << -1 << 0 << "";
    QTest::newRow("unknown index 9") << 9 << 20 << 0 << "2.0";
}

void tst_DeviceInfo::dialogOpensWithTheParametersInUse()
{
    QFETCH(int, formula);
    QFETCH(int, tenths);
    if (tenths >= 0) {
        vi->setDeltaEParameter(formula, tenths);
        QCOMPARE(page->on_readparameterBtn_clicked(), 1);
    }
    setEParameterPageForTesk dialog(page);
    QTEST(dialog.formulaGroup->checkedId(), "checked");
    QTEST(dialog.findChild<QLineEdit *>(QStringLiteral("ThresholdsEdit"))->text(), "threshold");
}

void tst_DeviceInfo::changingOnlyTheThresholdKeepsTheFormula()
{
    vi->setDeltaEParameter(3, 25);
    page->readInstrumentSettings();
    modal->answerDialog(QDialog::Accepted, [](QDialog *d) {
        d->findChild<QLineEdit *>(QStringLiteral("ThresholdsEdit"))->setText(QStringLiteral("3.5"));
        d->findChild<QPushButton *>(QStringLiteral("Okbtn"))->click();
    });
    w<QPushButton>("writeparameterBtn")->click();
    QCOMPARE(vi->memory(0x0225, 3), QByteArray::fromHex("032300"));
    QCOMPARE(page->formulaIndex, 3);
    QCOMPARE(w<QLineEdit>("formulaEdit")->text(), QStringLiteral("△E*cmc(2:1)"));
}

QTEST_MAIN(tst_DeviceInfo)
#include "tst_deviceinfo.moc"
