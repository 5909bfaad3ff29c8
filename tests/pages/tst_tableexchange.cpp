// The table to and from spreadsheet files through the page's two buttons: the export's dialog,
// names, header sets and messages, what a failed export keeps, the import's question, verdicts,
// counters and sequence numbers, and sheets made by other programs. Dialogs are scripted.
#include "excelengine.h"
#include "firstpagefortesk.h"
#include "scriptedmodal.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <unistd.h>

namespace {

const QString kFilters = QStringLiteral("excel file (*.xls);;excel file (*.xlsx)");
const QString kXlsFilter = QStringLiteral("excel file (*.xls)");
const QString kXlsxFilter = QStringLiteral("excel file (*.xlsx)");

const QHash<QString, QString> kChinese = {{"PASS", "合格"}, {"NG", "不合格"}};

MeasurementRecord record(double sequence, const QString &name, const QString &verdict, double base)
{
    MeasurementRecord r;
    r.sequence = sequence;
    r.testName = name;
    r.timeText = QStringLiteral("2026/12/07  02:%1").arg(int(base) % 60, 2, 10, QLatin1Char('0'));
    r.standard = {base, -1.5, 2.25, 2.7, 123.4};
    r.sample = {base + 1, -1.25, 2.5, 2.79, 116.6};
    r.deltaE = base / 10;
    r.verdict = verdict;
    r.formulaText = QStringLiteral("△E*ab");
    r.thresholdText = QStringLiteral("1.00");
    r.deviceName = QStringLiteral("CM-200");
    r.serialNumber = QStringLiteral("SN%1").arg(int(base));
    return r;
}

using testsupport::fileBytes;
using testsupport::readSheet;
using testsupport::writeSheet;

const QStringList kEnglishHeader = {
    "NO",        "Model",     "SN",        "Name",      "Time",     "Standard L*",   "Standard a*",
    "Standard b*", "Standard C*", "Standard h", "Sample L*", "Sample a*", "Sample b*", "Sample C*",
    "Sample h",  "△E Formula", "△E Thresholds", "△E",    "Result"};
const QStringList kChineseHeader = {
    "序号",    "型号",    "序列号",  "名称",    "时间",  "标准色L*", "标准色a*", "标准色b*", "标准色C*", "标准色h",
    "样品色L*", "样品色a*", "样品色b*", "样品色C*", "样品色h", "△E公式", "△E阀值",   "△E",       "是否合格"};

QList<QVariant> headerCells()
{
    QList<QVariant> row;
    for (const QString &h : kEnglishHeader)
        row.append(h);
    return row;
}

// A sheet row of 19 cells with the given time and verdict and plain numbers.
QList<QVariant> sheetRow(const QVariant &time, const QString &verdict, const QString &name = QStringLiteral("n"))
{
    return {1.0, "CM-200", "SN1", name, time, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0, 10.0,
            "△E*ab", "1.00", 0.5, verdict};
}

// A save dialog during which the instrument pushes a measurement: a row arrives while it is open.
class RowArrivesDuringSave : public ScriptedModal
{
public:
    explicit RowArrivesDuringSave(FirstPageForTesk *page) : m_page(page) {}
    QString saveFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter,
                         QString *selectedFilter) override
    {
        m_page->appendRow(record(3, "arrived", QStringLiteral("PASS"), 10));
        return ScriptedModal::saveFileName(parent, caption, dir, filter, selectedFilter);
    }

private:
    FirstPageForTesk *m_page;
};

} // namespace

class tst_TableExchange : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void exportEmptyTable();
    void exportDialogAndCancel();
    void roundTrip_data();
    void roundTrip();
    void extensionFromFilter_data();
    void extensionFromFilter();
    void appendedNameExists_data();
    void appendedNameExists();
    void unwritableTarget_data();
    void unwritableTarget();
    void failedSaveKeepsEverything();
    void oldFileReplacedWhole();
    void rowArrivingDuringTheDialogIsSaved();
    void importVerdicts_data();
    void importVerdicts();
    void importHeaderOnly();
    void importQuestion_data();
    void importQuestion();
    void importCells_data();
    void importCells();
    void importNarrowSheet();
    void importFailures_data();
    void importFailures();
    void filesFromOtherPrograms_data();
    void filesFromOtherPrograms();

private:
    template <class T>
    T *w(const char *name) const { return testsupport::child<T>(page, name); }
    QTableView *table() const { return testsupport::measurementTable(page); }
    QString cell(int row, int column) const { return testsupport::cellText(table(), row, column); }
    QStringList column(int c) const
    {
        QStringList texts;
        for (int row = 0; row < table()->model()->rowCount(); ++row)
            texts.append(cell(row, c));
        return texts;
    }
    QStringList counters() const { return testsupport::counters(page); }
    // Two rows, one PASS and one NG, with their counters.
    void fillTwoRows()
    {
        page->appendRow(record(1, "Comp1", FirstPageForTesk::tr("PASS"), 50));
        page->appendRow(record(2, "Comp2", FirstPageForTesk::tr("NG"), 40));
        page->passCount = 1;
        page->ngCount = 1;
        page->totalCount = 2;
    }
    QString tmp(const QString &name) const { return dir->filePath(name); }
    void clickExport() { w<QPushButton>("ExportExcelBtn")->click(); }
    void clickImport() { w<QPushButton>("ImportExcelBtn")->click(); }

    QTemporaryDir *dir = nullptr;
    ScriptedModal *modal = nullptr;
    FirstPageForTesk *page = nullptr;
};

void tst_TableExchange::init()
{
    dir = new QTemporaryDir;
    QVERIFY(dir->isValid());
    modal = new ScriptedModal;
    page = new FirstPageForTesk;
    modal->clearRecord();
}

void tst_TableExchange::cleanup()
{
    QCOMPARE(modal->unexpectedCount(), 0);
    QCOMPARE(modal->pendingAnswers(), 0);
    delete page;
    delete modal;
    delete dir;
}

void tst_TableExchange::exportEmptyTable()
{
    QVERIFY(!page->exportTable());
    QCOMPARE(modal->transcript(), QStringList({"information: error: No data for Storing to Excel! -> Ok"}));
}

void tst_TableExchange::exportDialogAndCancel()
{
    fillTwoRows();
    modal->answerSaveFile(QString());
    clickExport();
    QCOMPARE(modal->calls().size(), 1);
    const ModalCall dialog = modal->calls().at(0);
    QCOMPARE(dialog.kind, ModalKind::SaveFileName);
    QCOMPARE(dialog.title, QStringLiteral("Storing data to Excel"));
    QVERIFY2(QRegularExpression("^CompareM\\d{12}$").match(dialog.text).hasMatch(), qPrintable(dialog.text));
    QCOMPARE(dialog.filter, kFilters);
    QCOMPARE(table()->model()->rowCount(), 2);
    QCOMPARE(counters(), QStringList({"0", "0", "0"})); // untouched: the fields were set directly
    QCOMPARE(page->totalCount, 2);
}

void tst_TableExchange::roundTrip_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("chinese");
    QTest::newRow("xls English") << "t.xls" << false;
    QTest::newRow("xlsx English") << "t.xlsx" << false;
    QTest::newRow("xls Chinese") << "t.xls" << true;
    QTest::newRow("xlsx Chinese") << "t.xlsx" << true;
}

void tst_TableExchange::roundTrip()
{
    QFETCH(QString, fileName);
    QFETCH(bool, chinese);
    testsupport::WordTranslator translator("FirstPageForTesk", kChinese);
    if (chinese) {
        QCoreApplication::installTranslator(&translator);
        page->isChinese = true;
    }
    const QString pass = FirstPageForTesk::tr("PASS"), ng = FirstPageForTesk::tr("NG");
    QCOMPARE(pass, chinese ? QStringLiteral("合格") : QStringLiteral("PASS"));
    page->appendRow(record(1, "Comp1", pass, 50.126));
    page->appendRow(record(2, "Comp2", ng, 40));
    page->appendRow(record(2, "blank verdict", QString(), 30)); // counted nowhere
    page->appendRow(record(3, "测试", pass, 20.5));
    MeasurementRecord unjudged = record(3, "not judged", QString(), 10); // parameters were unknown
    unjudged.deltaE = qQNaN();
    page->appendRow(unjudged);
    page->passCount = 2;
    page->ngCount = 1;
    page->totalCount = 3;
    QList<QStringList> before;
    for (int row = 0; row < 5; ++row) {
        QStringList texts;
        for (int c = 0; c < FirstPageForTesk::ColumnCount; ++c)
            texts.append(c == FirstPageForTesk::ColTime ? cell(row, c).replace("  ", " ") : cell(row, c));
        before.append(texts);
    }

    const QString path = tmp(fileName);
    modal->answerSaveFile(path);
    QVERIFY(page->exportTable());
    QCOMPARE(table()->model()->rowCount(), 0);
    QCOMPARE(counters(), QStringList({"0", "0", "0"}));
    QCOMPARE(page->totalCount, 0);
    const ModalCall done = modal->calls().last();
    QCOMPARE(done.title, chinese ? QStringLiteral("存储数据") : QStringLiteral("Storing data"));
    QCOMPARE(done.text, (chinese ? QStringLiteral("将数据成功存储到文件: \r\n\t") : QStringLiteral("Data stored to file: \r\n\t"))
                            + path);

    // What the file holds: the header set of the language, then the cell texts as shown.
    const CellRows sheet = readSheet(path);
    QCOMPARE(sheet.size(), 6);
    QStringList header;
    for (const QVariant &v : sheet.at(0))
        header.append(v.toString());
    QCOMPARE(header, chinese ? kChineseHeader : kEnglishHeader);
    QCOMPARE(sheet.at(0).at(15).toString().at(0), QChar(0x25B3));
    QCOMPARE(sheet.at(1).at(0), QVariant(QStringLiteral("1")));
    QCOMPARE(sheet.at(1).at(1), QVariant(QStringLiteral("CM-200")));
    QCOMPARE(sheet.at(1).at(4), QVariant(QStringLiteral("2026/12/07  02:50")));
    QCOMPARE(sheet.at(1).at(5), QVariant(QStringLiteral("50.13")));
    QCOMPARE(sheet.at(1).at(18), QVariant(pass));
    QVERIFY(!sheet.at(3).at(18).isValid()); // the blank verdict
    QCOMPARE(sheet.at(5).at(17), QVariant(QStringLiteral("-----")));

    modal->answerOpenFile(path);
    clickImport();
    QCOMPARE(table()->model()->rowCount(), 5);
    // The row that was not judged comes back not judged: "-----", not a ΔE of 0.
    QVERIFY(std::isnan(page->rowRecord(4).deltaE));
    for (int row = 0; row < 5; ++row)
        for (int c = 0; c < FirstPageForTesk::ColumnCount; ++c)
            if (c != FirstPageForTesk::ColDelete && c != FirstPageForTesk::ColReport)
                QCOMPARE(cell(row, c), before.at(row).at(c));
    QCOMPARE(counters(), QStringList({"1", "2", "3"}));
    QCOMPARE(testsupport::cellBackground(table(), 1, FirstPageForTesk::ColVerdict), QColor(Qt::red));
    QCOMPARE(modal->calls().size(), 3); // no message after the import
    if (chinese)
        QCoreApplication::removeTranslator(&translator);
}

void tst_TableExchange::extensionFromFilter_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("written");
    QTest::addColumn<bool>("xlsx");
    QTest::newRow("no extension, xls chosen") << "plain" << kXlsFilter << "plain.xls" << false;
    QTest::newRow("no extension, xlsx chosen") << "plain" << kXlsxFilter << "plain.xlsx" << true;
    QTest::newRow("no extension, no filter told") << "plain" << QString() << "plain.xls" << false;
    QTest::newRow(".xlsx typed, xls chosen") << "named.xlsx" << kXlsFilter << "named.xlsx" << true;
    QTest::newRow(".xls typed, xlsx chosen") << "named.xls" << kXlsxFilter << "named.xls" << false;
    QTest::newRow(".XLSX typed, xls chosen") << "upper.XLSX" << kXlsFilter << "upper.XLSX" << true;
    // A dot inside a name is no spreadsheet extension: the file must still be one the import's
    // filter lists.
    QTest::newRow("dot in the name, xls chosen") << "lot 3.5" << kXlsFilter << "lot 3.5.xls" << false;
    QTest::newRow("dot in the name, xlsx chosen") << "v1.2 final" << kXlsxFilter << "v1.2 final.xlsx" << true;
    QTest::newRow("other extension, xls chosen") << "table.csv" << kXlsFilter << "table.csv.xls" << false;
}

void tst_TableExchange::extensionFromFilter()
{
    QFETCH(QString, typed);
    QFETCH(QString, filter);
    QFETCH(QString, written);
    QFETCH(bool, xlsx);
    fillTwoRows();
    modal->answerSaveFile(tmp(typed), filter);
    QVERIFY(page->exportTable());
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList({written}));
    const QByteArray head = fileBytes(tmp(written)).left(4);
    QCOMPARE(head, xlsx ? QByteArray("PK\x03\x04") : QByteArray("\xD0\xCF\x11\xE0"));
    QCOMPARE(modal->calls().last().text, QStringLiteral("Data stored to file: \r\n\t") + tmp(written));
    QCOMPARE(readSheet(tmp(written)).size(), 3);
}

void tst_TableExchange::appendedNameExists_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("replace") << int(QMessageBox::Yes);
    QTest::newRow("keep") << int(QMessageBox::No);
}

void tst_TableExchange::appendedNameExists()
{
    QFETCH(int, answer);
    QVERIFY(writeSheet(tmp("plain.xls"), {{"older"}}));
    const QByteArray old = fileBytes(tmp("plain.xls"));
    fillTwoRows();
    modal->answerSaveFile(tmp("plain"), kXlsFilter);
    modal->answerQuestion(QMessageBox::StandardButton(answer));
    QCOMPARE(page->exportTable(), answer == QMessageBox::Yes);
    QCOMPARE(modal->calls(ModalKind::Question).at(0).text,
             QStringLiteral("plain.xls already exists.\nDo you want to replace it?"));
    if (answer == QMessageBox::Yes) {
        QCOMPARE(table()->model()->rowCount(), 0);
        QCOMPARE(readSheet(tmp("plain.xls")).size(), 3);
    } else {
        QCOMPARE(table()->model()->rowCount(), 2);
        QCOMPARE(fileBytes(tmp("plain.xls")), old);
        QCOMPARE(modal->calls().size(), 2); // no message: the user said no
    }
}

void tst_TableExchange::unwritableTarget_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("a folder of that name") << "folder";
    QTest::newRow("read-only file") << "read-only file";
    QTest::newRow("read-only folder") << "read-only folder";
}

void tst_TableExchange::unwritableTarget()
{
    QFETCH(QString, kind);
    if (kind != QLatin1String("folder") && geteuid() == 0)
        QSKIP("permissions do not stop root");
    QString path = tmp("old.xls");
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir(dir->path()).mkdir("old.xls"));
    } else {
        QVERIFY(writeSheet(path, {{"older", 1.0}}));
        QFile::setPermissions(kind == QLatin1String("read-only file") ? path : dir->path(),
                              QFile::ReadOwner | QFile::ExeOwner);
    }
    const QByteArray old = fileBytes(path);
    fillTwoRows();
    w<QLineEdit>("UnqualnumEdit")->setText("1");
    modal->answerSaveFile(path);
    QVERIFY(!page->exportTable());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QFile::setPermissions(dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(modal->transcript().last(),
             QStringLiteral("information: Error: Can't overwrite this file, maybe the file is in use! -> Ok"));
    QCOMPARE(table()->model()->rowCount(), 2);
    QCOMPARE(page->totalCount, 2);
    QCOMPARE(w<QLineEdit>("UnqualnumEdit")->text(), QStringLiteral("1"));
    QCOMPARE(fileBytes(path), old);
}

void tst_TableExchange::failedSaveKeepsEverything()
{
    // The longest name the folder takes: the save's temporary file beside it cannot be made.
    const QString path = tmp(QString(250, QLatin1Char('a')) + QStringLiteral(".xlsx"));
    QVERIFY(QFile::copy(QFINDTESTDATA("data/two_sheets.xlsx"), path));
    const QByteArray old = fileBytes(path);
    QVERIFY(!old.isEmpty());
    fillTwoRows();
    modal->answerSaveFile(path);
    clickExport();
    QCOMPARE(modal->transcript().last(), QStringLiteral("information: Error: Failed to export data to excel file -> Ok"));
    QCOMPARE(table()->model()->rowCount(), 2);
    QCOMPARE(page->totalCount, 2);
    QCOMPARE(fileBytes(path), old);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no leftovers
}

void tst_TableExchange::oldFileReplacedWhole()
{
    const QString path = tmp("two.xlsx");
    QVERIFY(QFile::copy(QFINDTESTDATA("data/two_sheets.xlsx"), path));
    {
        ExcelEngine before(path);
        QVERIFY(before.open(2));
    }
    fillTwoRows();
    modal->answerSaveFile(path);
    QVERIFY(page->exportTable());
    ExcelEngine after(path);
    QVERIFY(!after.open(2));
    QVERIFY(after.open(1));
    QCOMPARE(after.rowCount(), 3); // not the 31 rows the old sheet had
    CellRows rows;
    QVERIFY(after.readAll(rows));
    QCOMPARE(rows.at(0).size(), 19);
    QCOMPARE(rows.at(0).at(0), QVariant(QStringLiteral("NO")));
}

void tst_TableExchange::rowArrivingDuringTheDialogIsSaved()
{
    fillTwoRows();
    RowArrivesDuringSave arriving(page);
    arriving.answerSaveFile(tmp("t.xls"));
    QVERIFY(page->exportTable());
    QCOMPARE(table()->model()->rowCount(), 0);
    const CellRows sheet = readSheet(tmp("t.xls"));
    QCOMPARE(sheet.size(), 4);
    QCOMPARE(sheet.at(3).at(3), QVariant(QStringLiteral("arrived")));
}

void tst_TableExchange::importVerdicts_data()
{
    QTest::addColumn<QStringList>("verdicts");    // the file's Result cells
    QTest::addColumn<QStringList>("shown");       // the table's verdict cells
    QTest::addColumn<QStringList>("sequence");    // the table's NO cells
    QTest::addColumn<QStringList>("counts");      // NG, PASS, Total
    QTest::newRow("Chinese words") << QStringList{"合格", "不合格"} << QStringList{"PASS", "NG"}
                                   << QStringList{"1", "2"} << QStringList{"1", "1", "2"};
    QTest::newRow("English words") << QStringList{"PASS", "NG", "PASS"} << QStringList{"PASS", "NG", "PASS"}
                                   << QStringList{"1", "2", "3"} << QStringList{"1", "2", "3"};
    QTest::newRow("blank keeps the number") << QStringList{"PASS", "", "NG"} << QStringList{"PASS", "", "NG"}
                                            << QStringList{"1", "1", "2"} << QStringList{"1", "1", "2"};
    QTest::newRow("other texts count nowhere")
        << QStringList{"pass", "Ok", "合格 ", "ng"} << QStringList{"", "", "", ""}
        << QStringList{"0", "0", "0", "0"} << QStringList{"0", "0", "0"};
}

void tst_TableExchange::importVerdicts()
{
    QFETCH(QStringList, verdicts);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, sequence);
    QFETCH(QStringList, counts);
    CellRows rows{headerCells()};
    for (const QString &v : verdicts)
        rows.append(sheetRow(QStringLiteral("2026/12/07 02:56"), v));
    QVERIFY(writeSheet(tmp("v.xlsx"), rows));
    modal->answerOpenFile(tmp("v.xlsx"));
    clickImport(); // an empty table: no question
    QCOMPARE(modal->calls().size(), 1);
    QCOMPARE(modal->calls().at(0).title, QStringLiteral("Select one Excel files to open"));
    QCOMPARE(modal->calls().at(0).text, QStringLiteral("./"));
    QCOMPARE(modal->calls().at(0).filter, kFilters);
    QCOMPARE(column(FirstPageForTesk::ColVerdict), shown);
    QCOMPARE(column(FirstPageForTesk::ColNo), sequence);
    QCOMPARE(counters(), counts);
    QCOMPARE(QStringList({QString::number(page->ngCount), QString::number(page->passCount),
                          QString::number(page->totalCount)}),
             counts);
}

void tst_TableExchange::importHeaderOnly()
{
    QVERIFY(writeSheet(tmp("h.xls"), {headerCells()}));
    modal->answerOpenFile(tmp("h.xls"));
    clickImport();
    QCOMPARE(table()->model()->rowCount(), 0);
    QCOMPARE(modal->calls().size(), 1); // the open dialog only
    QCOMPARE(counters(), QStringList({"0", "0", "0"}));
}

void tst_TableExchange::importQuestion_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("saveCancelled");
    QTest::addColumn<QStringList>("sequence");
    QTest::addColumn<QStringList>("counts");
    QTest::newRow("no: cleared, then imported") << int(QMessageBox::No) << false << QStringList{"1", "2"}
                                                << QStringList{"1", "1", "2"};
    QTest::newRow("yes: saved and cleared, then imported")
        << int(QMessageBox::Yes) << false << QStringList{"1", "2"} << QStringList{"1", "1", "2"};
    QTest::newRow("yes, save cancelled: appended") << int(QMessageBox::Yes) << true
                                                   << QStringList{"1", "2", "3", "4"}
                                                   << QStringList{"2", "2", "4"};
}

void tst_TableExchange::importQuestion()
{
    QFETCH(int, answer);
    QFETCH(bool, saveCancelled);
    QFETCH(QStringList, sequence);
    QFETCH(QStringList, counts);
    QVERIFY(writeSheet(tmp("in.xlsx"), {headerCells(), sheetRow(QVariant(), "PASS"), sheetRow(QVariant(), "NG")}));
    fillTwoRows();
    modal->answerQuestion(QMessageBox::StandardButton(answer));
    if (answer == QMessageBox::Yes)
        modal->answerSaveFile(saveCancelled ? QString() : tmp("saved.xls"));
    modal->answerOpenFile(tmp("in.xlsx"));
    clickImport();

    const ModalCall question = modal->calls().at(0);
    QCOMPARE(question.kind, ModalKind::Question);
    QCOMPARE(question.title, QStringLiteral("Colorimeter"));
    QCOMPARE(question.text, QStringLiteral("Data import willempty the list, to save data first?"));
    QCOMPARE(question.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(QFileInfo::exists(tmp("saved.xls")), answer == QMessageBox::Yes && !saveCancelled);
    if (QFileInfo::exists(tmp("saved.xls")))
        QCOMPARE(readSheet(tmp("saved.xls")).size(), 3);
    QCOMPARE(column(FirstPageForTesk::ColNo), sequence);
    QCOMPARE(counters(), counts);
    QCOMPARE(column(FirstPageForTesk::ColTestName).last(), QStringLiteral("n"));
}

void tst_TableExchange::importCells_data()
{
    QTest::addColumn<int>("sheetColumn");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("tableColumn");
    QTest::addColumn<QString>("shown");
    const int time = FirstPageForTesk::ColTime, L = FirstPageForTesk::ColStandardL,
              dE = FirstPageForTesk::ColDeltaE;
    QTest::newRow("time: date-time cell") << 4 << QVariant(QDateTime(QDate(2026, 12, 7), QTime(2, 56, 59))) << time
                                          << "2026/12/07 02:56";
    QTest::newRow("time: two blanks") << 4 << QVariant("2026/12/07  02:56") << time << "2026/12/07 02:56";
    QTest::newRow("time: one blank") << 4 << QVariant("2026/12/07 02:56") << time << "2026/12/07 02:56";
    QTest::newRow("time: no such month") << 4 << QVariant("2026/13/07 02:56") << time << "";
    QTest::newRow("time: three blanks") << 4 << QVariant("2026/12/07   02:56") << time << "";
    QTest::newRow("time: other form") << 4 << QVariant("2026-12-07 02:56") << time << "";
    QTest::newRow("time: seconds") << 4 << QVariant("2026/12/07 02:56:10") << time << "";
    QTest::newRow("time: plain number") << 4 << QVariant(46363.5) << time << "";
    QTest::newRow("L: number") << 5 << QVariant(33.333) << L << "33.33";
    QTest::newRow("L: text number") << 5 << QVariant(" -12.5 ") << L << "-12.50";
    QTest::newRow("L: nan") << 5 << QVariant("nan") << L << "0.00";
    QTest::newRow("L: inf") << 5 << QVariant("inf") << L << "0.00";
    QTest::newRow("L: -inf") << 5 << QVariant("-inf") << L << "0.00";
    QTest::newRow("L: out of range") << 5 << QVariant("1e400") << L << "0.00";
    QTest::newRow("L: word") << 5 << QVariant("abc") << L << "0.00";
    QTest::newRow("ΔE: NaN text") << 17 << QVariant("NaN") << dE << "0.00";
    QTest::newRow("ΔE: the table's mark for none") << 17 << QVariant(" ----- ") << dE << "-----";
    QTest::newRow("serial as a number") << 2 << QVariant(12345678.0) << int(FirstPageForTesk::ColSerialNumber)
                                        << "12345678";
    QTest::newRow("serial of 14 digits") << 2 << QVariant(12345678901234.0) << int(FirstPageForTesk::ColSerialNumber)
                                         << "12345678901234";
    QTest::newRow("threshold as a number") << 16 << QVariant(1.5) << int(FirstPageForTesk::ColThreshold) << "1.5";
    QTest::newRow("threshold 0.1 + 0.2") << 16 << QVariant(0.1 + 0.2) << int(FirstPageForTesk::ColThreshold)
                                         << "0.30000000000000004";
}

void tst_TableExchange::importCells()
{
    QFETCH(int, sheetColumn);
    QFETCH(QVariant, value);
    QFETCH(int, tableColumn);
    QFETCH(QString, shown);
    QList<QVariant> row = sheetRow(QVariant(), "NG");
    row[sheetColumn] = value;
    QVERIFY(writeSheet(tmp("c.xls"), {headerCells(), row}));
    modal->answerOpenFile(tmp("c.xls"));
    clickImport();
    QCOMPARE(table()->model()->rowCount(), 1);
    QCOMPARE(cell(0, tableColumn), shown);
}

void tst_TableExchange::importNarrowSheet()
{
    // The whole sheet is six columns wide: what is missing is empty or 0.
    QVERIFY(writeSheet(tmp("n.xls"), {{"NO", "Model", "SN", "Name", "Time", "Standard L*"},
                                      {1.0, "CM-1", "SN9", "narrow", "2026/12/07 02:56", 12.0}}));
    modal->answerOpenFile(tmp("n.xls"));
    clickImport();
    QCOMPARE(table()->model()->rowCount(), 1);
    QCOMPARE(cell(0, FirstPageForTesk::ColTestName), QStringLiteral("narrow"));
    QCOMPARE(cell(0, FirstPageForTesk::ColStandardL), QStringLiteral("12.00"));
    QCOMPARE(cell(0, FirstPageForTesk::ColSampleL + 4), QStringLiteral("0.0"));
    QCOMPARE(cell(0, FirstPageForTesk::ColVerdict), QString());
    QCOMPARE(cell(0, FirstPageForTesk::ColNo), QStringLiteral("0"));
    QCOMPARE(cell(0, FirstPageForTesk::ColFormula), QString());
}

void tst_TableExchange::importFailures_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file chosen
    QTest::addColumn<QString>("message");
    QTest::newRow("cancelled") << QByteArray() << QString();
    QTest::newRow("no such file") << QByteArray("missing") << "information: Error：: Can't open file！ -> Ok";
    QTest::newRow("not a spreadsheet") << QByteArray("just some text\n") << "information: Error：: Can't open file！ -> Ok";
    QTest::newRow("empty file") << QByteArray("-") << "information: Error：: Failed to read excel file！ -> Ok";
}

void tst_TableExchange::importFailures()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QString path;
    if (!content.isEmpty()) {
        path = tmp("bad.xls");
        QFile f(path);
        if (content != "missing") {
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (content != "-")
                f.write(content);
        }
    }
    modal->answerOpenFile(path);
    clickImport();
    QCOMPARE(table()->model()->rowCount(), 0);
    QCOMPARE(modal->calls().size(), message.isEmpty() ? 1 : 2);
    if (!message.isEmpty())
        QCOMPARE(modal->transcript().last(), message);
    QCOMPARE(QFileInfo::exists(path), content != "missing" && !content.isEmpty()); // nothing created
}

void tst_TableExchange::filesFromOtherPrograms_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("LibreOffice .xls") << "data/table_lo.xls";
    QTest::newRow("LibreOffice .xlsx") << "data/table_lo.xlsx";
    QTest::newRow("xlwt .xls") << "data/table_xlwt.xls";
    QTest::newRow("openpyxl .xlsx") << "data/table_openpyxl.xlsx";
}

void tst_TableExchange::filesFromOtherPrograms()
{
    QFETCH(QString, file);
    const QString path = QFINDTESTDATA(file);
    QVERIFY(!path.isEmpty());
    modal->answerOpenFile(path);
    clickImport();
    QCOMPARE(modal->calls().size(), 1);
    QCOMPARE(table()->model()->rowCount(), 5);
    QCOMPARE(column(FirstPageForTesk::ColNo), QStringList({"1", "2", "3", "3", "4"}));
    QCOMPARE(column(FirstPageForTesk::ColVerdict), QStringList({"PASS", "NG", "PASS", "", "NG"}));
    QCOMPARE(counters(), QStringList({"2", "2", "4"}));
    QCOMPARE(column(FirstPageForTesk::ColTime),
             QStringList({"2026/12/07 02:56", "2026/12/08 10:05", "2026/12/09 11:15", "2026/12/10 12:00", ""}));
    QCOMPARE(column(FirstPageForTesk::ColSerialNumber), QStringList({"SN0001", "12345678", "SN0003", "SN0004", "SN0005"}));
    QCOMPARE(column(FirstPageForTesk::ColDeviceName), QStringList({"CM-200", "CM-200", "CM-300", "CM-300", "CM-300"}));
    QStringList first, second, third, shortRow;
    for (int c = 0; c < FirstPageForTesk::ColumnCount; ++c) {
        if (c == FirstPageForTesk::ColDelete || c == FirstPageForTesk::ColReport)
            continue;
        first.append(cell(0, c));
        second.append(cell(1, c));
        third.append(cell(2, c));
        shortRow.append(cell(3, c));
    }
    QCOMPARE(first, QStringList({"1", "Comp1", "2026/12/07 02:56", "50.12", "-1.50", "2.25", "2.70", "123.4", "51.00",
                                 "-1.25", "2.50", "2.79", "116.6", "0.95", "PASS", "△E*ab", "1.00", "CM-200",
                                 "SN0001"}));
    QCOMPARE(second, QStringList({"2", "Comp2", "2026/12/08 10:05", "40.50", "3.00", "-4.75", "5.60", "302.1", "41.00",
                                  "2.50", "-5.00", "5.59", "296.6", "1.37", "NG", "△E*00", "0.50", "CM-200",
                                  "12345678"}));
    QCOMPARE(third, QStringList({"3", "Comp3", "2026/12/09 11:15", "0.00", "1.00", "2.00", "3.00", "4.0", "5.00",
                                 "6.00", "7.00", "8.00", "9.0", "0.00", "PASS", "△E*94", "2.00", "CM-300", "SN0003"}));
    QCOMPARE(shortRow, QStringList({"3", "short", "2026/12/10 12:00", "66.60", "0.00", "0.00", "0.00", "0.0", "0.00",
                                    "0.00", "0.00", "0.00", "0.0", "0.00", "", "", "", "CM-300", "SN0004"}));
}

QTEST_MAIN(tst_TableExchange)
#include "tst_tableexchange.moc"
