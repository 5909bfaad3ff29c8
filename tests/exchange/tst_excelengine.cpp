#include "excelengine.h"
#include "testbase.h"
#include "workbook.h"
#include "xlsfilereader.h"
#include "xlsxfilereader.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstring>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Row = QList<QVariant>;

QString dataPath(const QString &name)
{
    return qEnvironmentVariable("COLORIMETER_TEST_DATA") + QStringLiteral("/data/") + name;
}

QDateTime dt(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

QDateTime timeOfDay(int h, int mi, int s)
{
    return QDateTime(QDate(1899, 12, 30), QTime(h, mi, s));
}

using testsupport::fileBytes;

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Every kind must come back as it went in.
bool sameCell(const QVariant &actual, const QVariant &expected)
{
    if (!expected.isValid())
        return !actual.isValid();
    if (actual.typeId() != expected.typeId())
        return false;
    if (expected.typeId() == QMetaType::QDateTime)
        return actual.toDateTime().date() == expected.toDateTime().date()
            && actual.toDateTime().time() == expected.toDateTime().time();
    if (expected.typeId() == QMetaType::Double)
        return qFuzzyCompare(1.0 + actual.toDouble(), 1.0 + expected.toDouble());
    return actual == expected;
}

QString show(const QVariant &v)
{
    return v.isValid() ? QStringLiteral("%1(%2)").arg(QString::fromLatin1(v.typeName()), v.toString())
                       : QStringLiteral("empty");
}

bool sameRows(const CellRows &actual, const CellRows &expected, QString *why)
{
    if (actual.size() != expected.size()) {
        *why = QStringLiteral("%1 rows, expected %2").arg(actual.size()).arg(expected.size());
        return false;
    }
    for (int r = 0; r < expected.size(); ++r) {
        if (actual[r].size() != expected[r].size()) {
            *why = QStringLiteral("row %1: %2 cells, expected %3").arg(r).arg(actual[r].size()).arg(expected[r].size());
            return false;
        }
        for (int c = 0; c < expected[r].size(); ++c) {
            if (!sameCell(actual[r][c], expected[r][c])) {
                *why = QStringLiteral("cell %1%2: %3, expected %4")
                           .arg(ExcelEngine::columnLetters(c + 1)).arg(r + 1)
                           .arg(show(actual[r][c]), show(expected[r][c]));
                return false;
            }
        }
    }
    return true;
}

bool readSheet(const QString &path, int sheet, CellRows &rows, int *rowCount = nullptr)
{
    ExcelEngine engine(path);
    if (!engine.open(sheet))
        return false;
    if (rowCount)
        *rowCount = engine.rowCount();
    return engine.readAll(rows);
}

using testsupport::writeSheet;

// The table every third-party fixture holds on its first sheet.
CellRows fixtureData(bool withBooleans = true)
{
    const QVariant e;
    return {
        {"Name", "Value", "When", "Flag", "Note"},
        {"alpha", 1.0, dt(2024, 3, 5, 14, 30, 15), withBooleans ? QVariant(true) : e, QString::fromUtf8("中文")},
        {"beta", 2.5, dt(2023, 12, 31), withBooleans ? QVariant(false) : e, e},
        {QString::fromUtf8("γ"), -3.25, timeOfDay(6, 7, 8), e, "x"},
        {e, 1234567.0, e, e, e},
    };
}

CellRows fixtureOther()
{
    return {{"second", QVariant()}, {QVariant(), 42.0}};
}

// A table with every kind of cell, non-Latin-1 text and a string long
// enough to be split over several records of a .xls string table.
CellRows mixedTable()
{
    const QVariant e;
    QString longText;
    // Longer strings than one record holds (about 8 KB) are cut short by
    // the .xls reader; this one spans a record boundary in the file.
    for (int i = 0; i < 1300; ++i)
        longText += QString::fromUtf8("色差") + QString::number(i % 10);
    return {
        {"NO", "Model", QString::fromUtf8("△E"), "Time", "L*", "Flag"},
        {"1", "CM-1", 0.75, dt(2024, 1, 2, 10, 30, 0), -12.5, true},
        {"2", longText, 1e-7, dt(1900, 1, 1), 123456789.125, false},
        {e, QString(300, QLatin1Char('x')), -0.0, timeOfDay(23, 59, 59), 5.0, e},
        {"last", e, e, dt(2099, 12, 31, 0, 0, 1), e, "PASS"},
    };
}

QString magicKind(const QString &path)
{
    const QByteArray head = fileBytes(path).left(8);
    if (head.startsWith("PK"))
        return QStringLiteral("xlsx");
    if (head.startsWith("\xD0\xCF\x11\xE0"))
        return QStringLiteral("xls");
    return head.isEmpty() ? QStringLiteral("empty") : QStringLiteral("other");
}

QVariant fromJson(const QJsonValue &v)
{
    if (!v.isObject())
        return {};
    const QJsonObject o = v.toObject();
    if (o.contains("s"))
        return o.value("s").toString();
    if (o.contains("n"))
        return o.value("n").toDouble();
    if (o.contains("b"))
        return o.value("b").toBool();
    const QString d = o.value("d").toString();
    QDateTime when = QDateTime::fromString(d, Qt::ISODateWithMs);
    if (!when.isValid()) // a bare time of day
        return QDateTime(QDate(1899, 12, 30), QTime::fromString(d, Qt::ISODateWithMs));
    // xlrd puts times of day on 31 December 1899.
    if (when.date() < QDate(1900, 1, 1))
        when = QDateTime(QDate(1899, 12, 30), when.time());
    return QDateTime(when.date(), when.time());
}

// Every sheet of a file as python3-xlrd (.xls) or openpyxl (.xlsx) reads it, as JSON; empty
// with *skip set when Python or the module is missing.
QByteArray readBack(const QString &kind, const QString &path, QString *skip)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {qEnvironmentVariable("COLORIMETER_TEST_DATA") + QStringLiteral("/readback.py"), kind, path});
    if (!python.waitForStarted()) {
        *skip = QStringLiteral("/usr/bin/python3 is not installed");
        return {};
    }
    if (!python.waitForFinished(120000) || python.exitCode() == 3) {
        *skip = QStringLiteral("the Python module for %1 files (xlrd or openpyxl) is not installed").arg(kind);
        return {};
    }
    if (python.exitCode() != 0) {
        *skip = QString::fromLocal8Bit(python.readAllStandardError());
        return {};
    }
    return python.readAllStandardOutput();
}

// A row source handing out table's rows, then giving up after stopAt rows (-1: never).
ExcelEngine::RowSource tableSource(const CellRows &table, int stopAt = -1)
{
    auto next = std::make_shared<int>(0);
    return [table, stopAt, next](Row &row) {
        if (*next == stopAt)
            return ExcelEngine::RowStatus::Stop;
        if (*next >= table.size())
            return ExcelEngine::RowStatus::End;
        row = table.at((*next)++);
        return ExcelEngine::RowStatus::Row;
    };
}

// A table of rows × 19 columns as the measurement table has them: numbers, names, verdicts.
CellRows benchTable(int rows, const QString &overlongAt = QString())
{
    CellRows table;
    for (int r = 0; r < rows; ++r) {
        Row row;
        for (int c = 0; c < 19; ++c) {
            if (c == 1)
                row.append(QStringLiteral("Comp%1").arg(r));
            else if (c == 18)
                row.append(r % 3 ? QStringLiteral("PASS") : QStringLiteral("NG"));
            else
                row.append(double((r * 7919 + c * 104729) % 20000) / 100.0 - 50.0);
        }
        table.append(row);
    }
    if (!overlongAt.isEmpty())
        table[overlongAt.toInt()][3] = QString(40000, QLatin1Char('x'));
    return table;
}

} // namespace

class TestExcelEngine : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void columnLetters_data();
    void columnLetters();

    void readsThirdPartyFiles_data();
    void readsThirdPartyFiles();

    void roundTripsBetweenFormats_data();
    void roundTripsBetweenFormats();

    void writtenFilesReadByOtherReaders_data();
    void writtenFilesReadByOtherReaders();

    void writeKeepsCellsOutsideBlock_data();
    void writeKeepsCellsOutsideBlock();

    void usedRangeShapes_data();
    void usedRangeShapes();

    void missingFileCreated_data();
    void missingFileCreated();

    void closeNeverWrites();

    void writeAllRejects_data();
    void writeAllRejects();

    void openFails_data();
    void openFails();
    void damagedFilesNeverCrash_data();
    void damagedFilesNeverCrash();

    void failedSaveReported();

    void hostileFilesRefused_data();
    void hostileFilesRefused();
    void onlyAskedSheetIsBuilt();
    void sheetsSharingRecordsRefused_data();
    void sheetsSharingRecordsRefused();
    void readsEveryCellRecord();
    void datesAsXlrdReadsThem_data();
    void datesAsXlrdReadsThem();
    void xlsxEscapesDecoded();
    void textsRoundTrip_data();
    void textsRoundTrip();
    void overlongTextRefused_data();
    void overlongTextRefused();
    void numbersExact_data();
    void numbersExact();
    void saveThroughSymbolicLink_data();
    void saveThroughSymbolicLink();
    void newFileFollowsUmask_data();
    void newFileFollowsUmask();
    void failedSaveSaysWhy_data();
    void failedSaveSaysWhy();
    void readOnlyFileOpens();
    void largeTableWithManyStrings_data();
    void largeTableWithManyStrings();
    void sheetNamesUnique_data();
    void sheetNamesUnique();
    void sheetNamesInLinearWork();
    void cellsCountedWithoutReading_data();
    void cellsCountedWithoutReading();
    void rowsSharedNotCopied_data();
    void rowsSharedNotCopied();
    void streamedReadGivesReadAllsRows_data();
    void streamedReadGivesReadAllsRows();
    void streamedWriteSameAsWriteAll_data();
    void streamedWriteSameAsWriteAll();
    void streamedWriteFailureKeepsFile_data();
    void streamedWriteFailureKeepsFile();

private:
    QTemporaryDir *m_dir = nullptr;
    QString m_oldCwd;
    QString tmp(const QString &name) const { return m_dir->filePath(name); }
};

void TestExcelEngine::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    // "./template.xls" is looked up in the working directory: run every
    // test in a fresh one so that no template is present unless put there.
    m_oldCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestExcelEngine::cleanup()
{
    QDir::setCurrent(m_oldCwd);
    delete m_dir;
    m_dir = nullptr;
}

void TestExcelEngine::columnLetters_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("letters");
    QTest::newRow("0") << 0 << QString();
    QTest::newRow("1") << 1 << "A";
    QTest::newRow("19") << 19 << "S";
    QTest::newRow("26") << 26 << "Z";
    QTest::newRow("27") << 27 << "AA";
    QTest::newRow("52") << 52 << "AZ";
    QTest::newRow("53") << 53 << "BA";
    QTest::newRow("702") << 702 << "ZZ";
    QTest::newRow("703") << 703 << "AAA";
    QTest::newRow("16384") << 16384 << "XFD";
}

void TestExcelEngine::columnLetters()
{
    QFETCH(int, column);
    QFETCH(QString, letters);
    QCOMPARE(ExcelEngine::columnLetters(column), letters);
}

void TestExcelEngine::readsThirdPartyFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("sheet");
    QTest::addColumn<CellRows>("expected");
    QTest::newRow("xlwt xls") << "xlwt_types.xls" << 1 << fixtureData();
    QTest::newRow("xlwt xls sheet 2") << "xlwt_types.xls" << 2 << fixtureOther();
    QTest::newRow("openpyxl xlsx") << "openpyxl_types.xlsx" << 1 << fixtureData();
    QTest::newRow("openpyxl xlsx sheet 2") << "openpyxl_types.xlsx" << 2 << fixtureOther();
    // LibreOffice stores booleans in .xls as formulas with cached results.
    QTest::newRow("LibreOffice xls") << "lo_types.xls" << 1 << fixtureData();
    QTest::newRow("LibreOffice xlsx") << "lo_types.xlsx" << 1 << fixtureData();
    QTest::newRow("LibreOffice xlsx sheet 2") << "lo_types.xlsx" << 2 << fixtureOther();

    const CellRows excelStyle = {
        {"Name", "inline", "rich text ", QString::fromUtf8("漢字")},
        {10.0, -0.5, 20.0, "ab"},
        {dt(2024, 3, 5, 14, 30), dt(2000, 1, 1, 6), true, "#DIV/0!"},
        {false, QVariant(), QVariant(), "inline rich"},
    };
    QTest::newRow("Excel-style xlsx") << "excel_style.xlsx" << 1 << excelStyle;
    QTest::newRow("Excel-style xlsx, relative target, one cell") << "excel_style.xlsx" << 2 << CellRows{{7.0}};
    QTest::newRow("LibreOffice xlsx with formulas") << "lo_formulas.xlsx" << 1 << excelStyle;
    // Formula results (numbers, dates, texts, booleans, errors) are the formulas' cached values.
    QTest::newRow("LibreOffice xls with formulas") << "lo_formulas.xls" << 1 << excelStyle;
    QTest::newRow("LibreOffice xls with formulas, sheet 2") << "lo_formulas.xls" << 2 << CellRows{{7.0}};
    // The DIMENSION record is a hint only: the cells that are there are read.
    const CellRows nine = {{0.0, 1.0, 2.0}, {10.0, 11.0, 12.0}, {20.0, 21.0, 22.0}};
    QTest::newRow("xls whose DIMENSION is zero") << "biff_dimension_zero.xls" << 1 << nine;
    QTest::newRow("xls whose DIMENSION is too small") << "biff_dimension_small.xls" << 1 << nine;
    QTest::newRow("xls in the mini stream") << "cfb_mini_ok.xls" << 1 << CellRows{{1.5}};
    // Less common but valid markup reads the same whether the quick sheet reader takes it
    // (sheet 1) or leaves it to the XML reader (sheet 2, with a character reference).
    const QVariant e;
    const CellRows odd = {{"x", 2.5, e, 2.0}, {7.0, true, "ab", e}, {e, e, e, e}, {e, e, e, e}, {e, "#N/A", 1000.0, e}};
    QTest::newRow("xlsx with uncommon markup") << "xlsx_odd_markup.xlsx" << 1 << odd;
    QTest::newRow("xlsx with uncommon markup and a character reference") << "xlsx_odd_markup.xlsx" << 2 << odd;
    // A string table declaring four billion strings holds two: they are read.
    QTest::newRow("xls string table over-counted") << "biff_sst_count_huge.xls" << 1 << CellRows{{"beta"}};
}

void TestExcelEngine::readsThirdPartyFiles()
{
    QFETCH(QString, file);
    QFETCH(int, sheet);
    QFETCH(CellRows, expected);
    // Work on a copy: opening needs write access, and fixtures stay as made.
    const QString path = tmp(QStringLiteral("copy_") + file);
    QVERIFY(QFile::copy(dataPath(file), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    CellRows rows;
    int rowCount = -1;
    QVERIFY(readSheet(path, sheet, rows, &rowCount));
    QCOMPARE(rowCount, expected.size());
    QString why;
    QVERIFY2(sameRows(rows, expected, &why), qPrintable(why));
}

void TestExcelEngine::roundTripsBetweenFormats_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    for (const char *a : {"xls", "xlsx"}) {
        for (const char *b : {"xls", "xlsx"})
            QTest::newRow(qPrintable(QStringLiteral("%1 to %2").arg(a, b))) << QString(a) << QString(b);
    }
}

void TestExcelEngine::roundTripsBetweenFormats()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    const CellRows table = mixedTable();
    const QString a = tmp(QStringLiteral("a.") + first);
    const QString b = tmp(QStringLiteral("b.") + second);
    QVERIFY(writeSheet(a, table));
    QCOMPARE(magicKind(a), first);
    CellRows once;
    int rowCount = 0;
    QVERIFY(readSheet(a, 1, once, &rowCount));
    QCOMPARE(rowCount, table.size());
    QString why;
    QVERIFY2(sameRows(once, table, &why), qPrintable(QStringLiteral("first file: ") + why));

    QVERIFY(writeSheet(b, once));
    QCOMPARE(magicKind(b), second);
    CellRows twice;
    QVERIFY(readSheet(b, 1, twice));
    QVERIFY2(sameRows(twice, table, &why), qPrintable(QStringLiteral("second file: ") + why));
}

void TestExcelEngine::writtenFilesReadByOtherReaders_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("xls by xlrd") << "xls";
    QTest::newRow("xlsx by openpyxl") << "xlsx";
}

void TestExcelEngine::writtenFilesReadByOtherReaders()
{
    QFETCH(QString, kind);
    const QString path = tmp(QStringLiteral("engine.") + kind);
    const CellRows table = mixedTable();
    QVERIFY(writeSheet(path, table));

    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {qEnvironmentVariable("COLORIMETER_TEST_DATA") + QStringLiteral("/readback.py"), kind, path});
    if (!python.waitForStarted())
        QSKIP("/usr/bin/python3 is not installed");
    QVERIFY(python.waitForFinished(120000));
    if (python.exitCode() == 3)
        QSKIP(qPrintable(QStringLiteral("the Python module for %1 files (xlrd or openpyxl) is not installed").arg(kind)));
    QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());

    const QJsonArray sheets = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    QCOMPARE(sheets.size(), 1);
    CellRows rows;
    for (const QJsonValue &row : sheets.at(0).toObject().value("rows").toArray()) {
        Row cells;
        for (const QJsonValue &cell : row.toArray())
            cells.append(fromJson(cell));
        rows.append(cells);
    }
    QString why;
    QVERIFY2(sameRows(rows, table, &why), qPrintable(why));
}

void TestExcelEngine::writeKeepsCellsOutsideBlock_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("withBooleans");
    QTest::newRow("xls from xlwt") << "xlwt_types.xls" << true;
    QTest::newRow("xls from LibreOffice, booleans as formulas") << "lo_types.xls" << true;
    QTest::newRow("xlsx from openpyxl") << "openpyxl_types.xlsx" << true;
}

void TestExcelEngine::writeKeepsCellsOutsideBlock()
{
    QFETCH(QString, file);
    QFETCH(bool, withBooleans);
    const QString path = tmp(file);
    QVERIFY(QFile::copy(dataPath(file), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);

    // A block of 3 columns whose second row is short: the rest of that
    // block row is cleared, everything right of and below the block stays.
    const CellRows block = {{"a", "b", "c"}, {1.0}};
    QVERIFY(writeSheet(path, block));

    CellRows expected = fixtureData(withBooleans);
    expected[0][0] = "a";
    expected[0][1] = "b";
    expected[0][2] = "c";
    expected[1][0] = 1.0;
    expected[1][1] = QVariant();
    expected[1][2] = QVariant();
    CellRows rows;
    QVERIFY(readSheet(path, 1, rows));
    QString why;
    QVERIFY2(sameRows(rows, expected, &why), qPrintable(why));
    rows.clear();
    QVERIFY(readSheet(path, 2, rows));
    QVERIFY2(sameRows(rows, fixtureOther(), &why), qPrintable(QStringLiteral("other sheet: ") + why));
}

void TestExcelEngine::usedRangeShapes_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<CellRows>("written");
    QTest::addColumn<CellRows>("expected");
    const QVariant e;
    for (const char *kind : {"xls", "xlsx"}) {
        QTest::newRow(qPrintable(QStringLiteral("%1 single cell").arg(kind)))
            << QString(kind) << CellRows{{"only"}} << CellRows{{"only"}};
        QTest::newRow(qPrintable(QStringLiteral("%1 nothing but empty cells").arg(kind)))
            << QString(kind) << CellRows{{e, QString()}, {e, e}} << CellRows{};
        // The range starts at the first used row and column.
        QTest::newRow(qPrintable(QStringLiteral("%1 range away from A1").arg(kind)))
            << QString(kind) << CellRows{{e, e, e}, {e, 5.0, e}, {e, e, "z"}} << CellRows{{5.0, e}, {e, "z"}};
    }
}

void TestExcelEngine::usedRangeShapes()
{
    QFETCH(QString, kind);
    QFETCH(CellRows, written);
    QFETCH(CellRows, expected);
    const QString path = tmp(QStringLiteral("shape.") + kind);
    QVERIFY(writeSheet(path, written));
    CellRows rows = {{"kept"}};
    int rowCount = -1;
    QVERIFY(readSheet(path, 1, rows, &rowCount));
    QCOMPARE(rowCount, expected.size());
    // readAll appends: the row already in the list stays first.
    QCOMPARE(rows.size(), expected.size() + 1);
    QCOMPARE(rows.takeFirst(), Row{"kept"});
    QString why;
    QVERIFY2(sameRows(rows, expected, &why), qPrintable(why));
}

void TestExcelEngine::missingFileCreated_data()
{
    QTest::addColumn<bool>("withTemplate");
    QTest::addColumn<QString>("name");
    QTest::newRow("template, .xls") << true << "new.xls";
    QTest::newRow("template, .xlsx") << true << "new.xlsx";
    QTest::newRow("no template, .xls") << false << "new.xls";
    QTest::newRow("no template, .xlsx") << false << "new.xlsx";
}

void TestExcelEngine::missingFileCreated()
{
    QFETCH(bool, withTemplate);
    QFETCH(QString, name);
    const CellRows templateRows = {{"Template", "Header"}, {1.0, 2.0}, {3.0, 4.0}};
    if (withTemplate)
        QVERIFY(writeSheet(QStringLiteral("template.xls"), templateRows));
    const QString path = tmp(name);
    QVERIFY(!QFile::exists(path));
    {
        ExcelEngine engine(path);
        QVERIFY(engine.open(1));
        QVERIFY(QFile::exists(path));
        if (withTemplate) {
            QCOMPARE(fileBytes(path), fileBytes(QStringLiteral("template.xls")));
            QCOMPARE(engine.rowCount(), 3);
        } else {
            QCOMPARE(QFileInfo(path).size(), 0);
            QCOMPARE(engine.rowCount(), 0);
            CellRows rows;
            QVERIFY(engine.readAll(rows));
            QVERIFY(rows.isEmpty());
        }
        QVERIFY(engine.writeAll({{"x"}}));
        QVERIFY(engine.save());
    }
    // A new file takes the format its name asks for.
    QCOMPARE(magicKind(path), QFileInfo(path).suffix());
    CellRows expected = withTemplate ? templateRows : CellRows{{"x"}};
    expected[0][0] = "x";
    CellRows rows;
    QVERIFY(readSheet(path, 1, rows));
    QString why;
    QVERIFY2(sameRows(rows, expected, &why), qPrintable(why));
}

void TestExcelEngine::closeNeverWrites()
{
    const QString path = tmp(QStringLiteral("keep.xlsx"));
    QVERIFY(QFile::copy(dataPath(QStringLiteral("excel_style.xlsx")), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray before = fileBytes(path);
    {
        ExcelEngine engine(path);
        QVERIFY(engine.open(1));
        CellRows rows;
        QVERIFY(engine.readAll(rows));
        engine.close();
        QVERIFY(!engine.isOpen());
    }
    QCOMPARE(fileBytes(path), before);
    {
        // Unsaved writes are dropped by close and by destruction alike.
        ExcelEngine engine(path);
        QVERIFY(engine.open(1));
        QVERIFY(engine.writeAll({{"changed"}}));
    }
    QCOMPARE(fileBytes(path), before);
    {
        // A save with nothing written leaves the file as it is.
        ExcelEngine engine(path);
        QVERIFY(engine.open(1));
        QVERIFY(engine.save());
    }
    QCOMPARE(fileBytes(path), before);
}

void TestExcelEngine::writeAllRejects_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<CellRows>("rows");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("no rows") << "xls" << CellRows{} << false;
    QTest::newRow("empty first row") << "xlsx" << CellRows{{}, {"a"}} << false;
    QTest::newRow("256 columns in xls") << "xls" << CellRows{Row(256, 1.0)} << true;
    QTest::newRow("257 columns in xls") << "xls" << CellRows{Row(257, 1.0)} << false;
    QTest::newRow("257 columns in xlsx") << "xlsx" << CellRows{Row(257, 1.0)} << true;
    QTest::newRow("65537 rows in xls") << "xls" << CellRows(65537, Row{1.0}) << false;
}

void TestExcelEngine::writeAllRejects()
{
    QFETCH(QString, kind);
    QFETCH(CellRows, rows);
    QFETCH(bool, accepted);
    const QString path = tmp(QStringLiteral("reject.") + kind);
    ExcelEngine closed(path);
    QVERIFY(!closed.writeAll({{"a"}}));
    QVERIFY(!closed.save());

    ExcelEngine engine(path);
    QVERIFY(engine.open(1));
    QCOMPARE(engine.writeAll(rows), accepted);
    QVERIFY(engine.save());
    engine.close();
    CellRows back;
    QVERIFY(readSheet(path, 1, back));
    QCOMPARE(back.size(), accepted ? rows.size() : 0);
    if (accepted)
        QCOMPARE(back.first().size(), rows.first().size());
}

void TestExcelEngine::openFails_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("sheet");
    const QByteArray xls = fileBytes(dataPath(QStringLiteral("xlwt_types.xls")));
    const QByteArray xlsx = fileBytes(dataPath(QStringLiteral("openpyxl_types.xlsx")));
    QTest::newRow("text file") << "file.xls" << QByteArray("name,value\nA,1\n") << 1;
    QTest::newRow("compound-file signature only") << "file.xls" << xls.left(8) << 1;
    QTest::newRow("xls cut in half") << "file.xls" << xls.left(xls.size() / 2) << 1;
    QTest::newRow("zip signature only") << "file.xlsx" << QByteArray("PK\x03\x04", 4) << 1;
    QTest::newRow("xlsx cut in half") << "file.xlsx" << xlsx.left(xlsx.size() / 2) << 1;
    QTest::newRow("sheet 0") << "file.xls" << xls << 0;
    QTest::newRow("sheet past the last") << "file.xlsx" << xlsx << 3;
    QTest::newRow("sheet 2 of a new file") << "new.xls" << QByteArray() << 2;
    QTest::newRow("no file name") << "" << QByteArray() << 1;
    QTest::newRow("a folder") << "folder" << QByteArray() << 1;
    QTest::newRow("folder that does not exist") << "missing/file.xls" << QByteArray() << 1;
    // A device reads as endless or empty data; it is no workbook to open (or to save over).
    QTest::newRow("a device") << "/dev/null" << QByteArray() << 1;
}

void TestExcelEngine::openFails()
{
    QFETCH(QString, what);
    QFETCH(QByteArray, content);
    QFETCH(int, sheet);
    QString path = what.isEmpty() ? QString() : what.startsWith(QLatin1Char('/')) ? what : tmp(what);
    if (what == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(path));
    else if (!content.isEmpty())
        QVERIFY(writeBytes(path, content));
    ExcelEngine engine(path);
    QVERIFY(!engine.open(sheet));
    QVERIFY(!engine.isOpen());
    QVERIFY(!engine.writeAll({{"a"}}));
    CellRows rows;
    QVERIFY(!engine.readAll(rows));
    if (!content.isEmpty())
        QCOMPARE(fileBytes(path), content);
}

void TestExcelEngine::damagedFilesNeverCrash_data()
{
    QTest::addColumn<QString>("file");
    for (const char *f : {"xlwt_types.xls", "lo_types.xls", "openpyxl_types.xlsx", "excel_style.xlsx"})
        QTest::newRow(f) << QString(f);
}

void TestExcelEngine::damagedFilesNeverCrash()
{
    QFETCH(QString, file);
    const QByteArray original = fileBytes(dataPath(file));
    QVERIFY(!original.isEmpty());
    const QString path = tmp(QStringLiteral("damaged.") + QFileInfo(file).suffix());
    // Cut into the data, a file is refused; cut only in trailing parts that
    // hold no cells (document properties), it may still be read.
    for (int len = 1; len < original.size(); len += 97) {
        QVERIFY(writeBytes(path, original.left(len)));
        ExcelEngine engine(path);
        const bool opened = engine.open(1);
        QVERIFY2(!opened || len > original.size() / 2, qPrintable(QStringLiteral("opened at %1 bytes").arg(len)));
        if (opened) {
            CellRows rows;
            QVERIFY(engine.readAll(rows));
        }
    }
    // Overwritten bytes may or may not leave a readable file, but reading
    // one must stay within bounds.
    quint32 seed = 12345;
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes = original;
        for (int k = 0; k < 8; ++k) {
            seed = seed * 1103515245u + 12345u;
            const int pos = int((seed >> 8) % quint32(bytes.size()));
            bytes[pos] = char(seed >> 24);
        }
        QVERIFY(writeBytes(path, bytes));
        ExcelEngine engine(path);
        if (engine.open(1)) {
            CellRows rows;
            QVERIFY(engine.readAll(rows));
        }
    }
}

void TestExcelEngine::failedSaveReported()
{
    const QString folder = tmp(QStringLiteral("gone"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/table.xls");
    ExcelEngine engine(path);
    QVERIFY(engine.open(1));
    QVERIFY(engine.writeAll({{"a", 1.0}}));
    // The folder vanishes between open and save: the save must say so.
    QVERIFY(QDir(folder).removeRecursively());
    QVERIFY(!engine.save());

    if (::geteuid() == 0)
        QSKIP("running as root: file permissions cannot make a file unwritable");
    const QString locked = tmp(QStringLiteral("locked"));
    QVERIFY(QDir().mkpath(locked));
    const QString lockedFile = locked + QStringLiteral("/table.xlsx");
    QVERIFY(writeSheet(lockedFile, {{"old"}}));
    const QByteArray before = fileBytes(lockedFile);
    ExcelEngine second(lockedFile);
    QVERIFY(second.open(1));
    QVERIFY(second.writeAll({{"new"}}));
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    const bool saved = second.save();
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!saved);
    QCOMPARE(fileBytes(lockedFile), before);
}

void TestExcelEngine::largeTableWithManyStrings_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("xls") << "xls";
    QTest::newRow("xlsx") << "xlsx";
}

void TestExcelEngine::largeTableWithManyStrings()
{
    // Thousands of distinct strings fill a .xls string table over many
    // continuation records, and the file grows past 109 FAT sectors' reach
    // of small files; every value must still come back.
    QFETCH(QString, kind);
    CellRows table;
    for (int r = 0; r < 6000; ++r) {
        Row row;
        for (int c = 0; c < 19; ++c) {
            if (c % 3 == 0)
                row.append(QStringLiteral("r%1c%2 ").arg(r).arg(c) + QString::fromUtf8("样品") + QString(r % 7, QLatin1Char('.')));
            else
                row.append(r * 19.0 + c + 0.5);
        }
        table.append(row);
    }
    const QString path = tmp(QStringLiteral("large.") + kind);
    QVERIFY(writeSheet(path, table));
    CellRows rows;
    QVERIFY(readSheet(path, 1, rows));
    QString why;
    QVERIFY2(sameRows(rows, table, &why), qPrintable(why));
}

void TestExcelEngine::hostileFilesRefused_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reason");
    // Damaged containers: every chain is checked for loops and bounds.
    QTest::newRow("FAT chain loops") << "cfb_fat_loop.xls" << "loops";
    QTest::newRow("directory chain loops") << "cfb_directory_loop.xls" << "loops";
    QTest::newRow("DIFAT chain loops") << "cfb_difat_loop.xls" << "loops";
    QTest::newRow("mini FAT chain loops") << "cfb_mini_loop.xls" << "loops";
    QTest::newRow("sector outside the file") << "cfb_sector_outside.xls" << "outside the file";
    QTest::newRow("stream larger than the file") << "cfb_stream_size_huge.xls" << "larger than the file";
    // Damaged BIFF records.
    QTest::newRow("shared string index outside the table") << "biff_sst_index_outside.xls" << "shared string";
    QTest::newRow("record cut off") << "biff_record_cut.xls" << "cut short";
    QTest::newRow("sheet offset outside the stream") << "biff_sheet_offset_outside.xls" << "missing";
    QTest::newRow("string longer than its table") << "biff_string_cut.xls" << "shared string table";
    // Small archives that would need gigabytes if built as they declare.
    QTest::newRow("cells at A1 and XFD1048576") << "xlsx_far_corner.xlsx" << "used range A1:XFD1048576";
    QTest::newRow("300 MB of whitespace") << "xlsx_whitespace.xlsx" << "longer than any cell";
    QTest::newRow("one 300 MB shared string") << "xlsx_huge_string.xlsx" << "longer than any cell";
    QTest::newRow("16 million shared strings") << "xlsx_many_strings.xlsx" << "too large";
}

void TestExcelEngine::hostileFilesRefused()
{
    QFETCH(QString, file);
    QFETCH(QString, reason);
    const QString path = tmp(file);
    QVERIFY(QFile::copy(dataPath(file), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray before = fileBytes(path);
    ExcelEngine engine(path);
    QVERIFY(!engine.open(1));
    QVERIFY2(engine.errorString().contains(reason), qPrintable(engine.errorString()));
    QVERIFY(!engine.writeAll({{"a"}}));
    QCOMPARE(fileBytes(path), before);
}

void TestExcelEngine::onlyAskedSheetIsBuilt()
{
    // The workbook lists one sheet part 200 times, each with a cell in row 1,048,576: any one
    // sheet reads, but all of them together are more than a rewrite may build, so writing is
    // refused before anything changes.
    const QString path = tmp(QStringLiteral("listed.xlsx"));
    QVERIFY(QFile::copy(dataPath(QStringLiteral("xlsx_sheet_listed_200_times.xlsx")), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray before = fileBytes(path);
    for (int sheet : {1, 200}) {
        CellRows rows;
        int rowCount = 0;
        QVERIFY(readSheet(path, sheet, rows, &rowCount));
        QCOMPARE(rowCount, 1);
        QCOMPARE(rows, CellRows{{5.0}});
    }
    ExcelEngine engine(path);
    QVERIFY(engine.open(1));
    QVERIFY(!engine.writeAll({{"x"}}));
    QVERIFY2(engine.errorString().contains(QLatin1String("nothing was written")), qPrintable(engine.errorString()));
    QVERIFY(engine.save());
    engine.close();
    QCOMPARE(fileBytes(path), before);
}

void TestExcelEngine::sheetsSharingRecordsRefused_data()
{
    // Made by data/make_biff.py: the second sheet's BOUNDSHEET leads to the first sheet's own
    // BOF, or to a chart's BOF inside the first sheet.
    QTest::addColumn<QString>("file");
    QTest::newRow("same substream") << "biff_sheets_share_records.xls";
    QTest::newRow("inside another sheet") << "biff_sheet_inside_another.xls";
}

void TestExcelEngine::sheetsSharingRecordsRefused()
{
    // Records are read once: any one sheet opens, but a rewrite, which reads every sheet, is
    // refused before anything changes.
    QFETCH(QString, file);
    const QString path = tmp(file);
    QVERIFY(QFile::copy(dataPath(file), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray before = fileBytes(path);
    CellRows rows;
    QVERIFY(readSheet(path, 1, rows));
    QCOMPARE(rows.value(0).value(0), QVariant(1.0));
    ExcelEngine engine(path);
    QVERIFY(engine.open(2));
    QVERIFY(!engine.writeAll({{"x"}}));
    QVERIFY2(engine.errorString().contains(QLatin1String("two sheets share their records")),
             qPrintable(engine.errorString()));
    engine.close();
    QCOMPARE(fileBytes(path), before);
}

void TestExcelEngine::readsEveryCellRecord()
{
    // Built record by record (data/make_biff.py): shared strings spanning CONTINUE records,
    // RK and MULRK numbers, formulas with every kind of cached result, BOOLERR, LABEL,
    // RSTRING, and a chart embedded in the sheet whose records are not cells.
    QString latin, mixed;
    for (int i = 0; i < 20000; ++i)
        latin += QChar(u'a' + i % 26);
    for (int i = 0; i < 9000; ++i)
        mixed += i % 3 ? QChar(char16_t(0x4E00 + i % 500)) : QChar(u'x');
    const QVariant e;
    const QDateTime day(QDate(2023, 3, 15), QTime(0, 0));
    const CellRows expected = {
        {"alpha", "beta", latin, QString::fromUtf8("Mixed 中文"), e},
        {7.0, -0.03, 2.5, 0.0125, day},
        {0.1 + 0.2, day.addSecs(12 * 3600), mixed, true, "#DIV/0!"},
        {false, "#N/A", QString::fromUtf8("label ü"), "rich", e},
    };
    const QString path = tmp(QStringLiteral("cells.xls"));
    QVERIFY(QFile::copy(dataPath(QStringLiteral("biff_cell_records.xls")), path));
    CellRows rows;
    int rowCount = 0;
    QVERIFY(readSheet(path, 1, rows, &rowCount));
    QCOMPARE(rowCount, 4);
    QString why;
    QVERIFY2(sameRows(rows, expected, &why), qPrintable(why));
    QCOMPARE(rows[2][0].toDouble(), 0.1 + 0.2);

    // Rewriting the workbook carries every one of those cells over, with its kind.
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(writeSheet(path, {{"new"}}));
    CellRows after = expected;
    after[0][0] = "new";
    rows.clear();
    QVERIFY(readSheet(path, 1, rows));
    QVERIFY2(sameRows(rows, after, &why), qPrintable(QStringLiteral("after a rewrite: ") + why));
}

void TestExcelEngine::datesAsXlrdReadsThem_data()
{
    // Column A holds serials under a date format, column B the same serials as numbers.
    QTest::addColumn<QString>("file");
    QTest::addColumn<QList<QVariant>>("expected");
    auto at = [](int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
        return QVariant(QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms)));
    };
    QTest::newRow("1900 date system") << "biff_dates_1900.xls" << QList<QVariant>{
        at(1900, 1, 1), at(1900, 2, 28), at(1900, 2, 28, 23, 59, 59, 999), at(1900, 2, 28), at(1900, 3, 1),
        at(2100, 3, 1), at(2100, 2, 28), at(2100, 3, 1, 23, 59, 59, 999), at(2023, 3, 15, 23, 59, 59, 482),
        at(2023, 3, 15, 12), at(9999, 12, 31, 23, 59, 59, 999), at(1899, 12, 30, 6)};
    // The last serial but one is past 9999-12-31 in this system and stays a number.
    QTest::newRow("1904 date system") << "biff_dates_1904.xls" << QList<QVariant>{
        at(1904, 1, 2), at(1904, 2, 29), at(1904, 2, 29, 23, 59, 59, 999), at(1904, 3, 1), at(1904, 3, 2),
        at(2104, 3, 2), at(2104, 3, 1), at(2104, 3, 2, 23, 59, 59, 999), at(2027, 3, 16, 23, 59, 59, 482),
        at(2027, 3, 16, 12), QVariant(2958465.99999999), at(1904, 1, 1, 6)};
}

void TestExcelEngine::datesAsXlrdReadsThem()
{
    QFETCH(QString, file);
    QFETCH(QList<QVariant>, expected);
    const QString path = tmp(file);
    QVERIFY(QFile::copy(dataPath(file), path));
    CellRows rows;
    QVERIFY(readSheet(path, 1, rows));
    QCOMPARE(rows.size(), expected.size());
    for (int r = 0; r < rows.size(); ++r) {
        QCOMPARE(rows[r].size(), 2);
        QVERIFY2(rows[r][0] == expected[r], qPrintable(QStringLiteral("row %1: %2, expected %3")
                                                           .arg(r + 1).arg(show(rows[r][0]), show(expected[r]))));
        QCOMPARE(rows[r][1].typeId(), int(QMetaType::Double));
    }
}

void TestExcelEngine::xlsxEscapesDecoded()
{
    const QString path = tmp(QStringLiteral("escapes.xlsx"));
    QVERIFY(QFile::copy(dataPath(QStringLiteral("xlsx_escapes.xlsx")), path));
    CellRows rows;
    QVERIFY(readSheet(path, 1, rows));
    QCOMPARE(rows, (CellRows{{"one\rtwo", "_x000D_", "a\tb", "line\ntwo", "_x00zz_ A"}}));
}

void TestExcelEngine::textsRoundTrip_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QString chinese;
    for (int i = 0; i < 9000; ++i)
        chinese += QChar(char16_t(0x4E00 + i % 2000));
    QString latin;
    for (int i = 0; i < 20000; ++i)
        latin += QChar(u'A' + i % 26);
    const QString lone = QStringLiteral("a") + QChar(char16_t(0xD800)) + QStringLiteral("b");
    const QString fixedLone = QStringLiteral("a") + QChar(QChar::ReplacementCharacter) + QStringLiteral("b");
    const QString pair = QString::fromUtf8("colour \xF0\x9F\x8E\xA8");
    for (const char *kind : {"xls", "xlsx"}) {
        auto row = [&](const char *what) -> QTestData & {
            return QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(kind, what)));
        };
        row("carriage return") << kind << "one\rtwo\r\nthree" << "one\rtwo\r\nthree";
        row("literal escape") << kind << "_x000D_ and _x005F_" << "_x000D_ and _x005F_";
        row("control character") << kind << QStringLiteral("bell\x07") << QStringLiteral("bell\x07");
        row("edge spaces") << kind << "  padded  " << "  padded  ";
        row("20,000 Latin-1 characters") << kind << latin << latin;
        row("9,000 Chinese characters") << kind << chinese << chinese;
        row("32,767 characters") << kind << QString(32767, QLatin1Char('z')) << QString(32767, QLatin1Char('z'));
        row("surrogate pair") << kind << pair << pair;
        row("lone surrogate") << kind << lone << fixedLone;
    }
}

void TestExcelEngine::textsRoundTrip()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QString path = tmp(QStringLiteral("text.") + kind);
    QVERIFY(writeSheet(path, {{"head", text}}));
    CellRows rows;
    QVERIFY(readSheet(path, 1, rows));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0][0].toString(), QStringLiteral("head"));
    QCOMPARE(rows[0][1].toString().size(), expected.size());
    QCOMPARE(rows[0][1].toString(), expected);

    // Readers other than ours read the file too. Control characters and escapes are left
    // out: openpyxl 3.0 neither decodes _xHHHH_ escapes nor keeps every control character.
    if (text.contains(QChar(7)) || text.contains(QLatin1Char('\r')) || text.contains(QLatin1String("_x")))
        return;
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {qEnvironmentVariable("COLORIMETER_TEST_DATA") + QStringLiteral("/readback.py"), kind, path});
    if (!python.waitForStarted() || !python.waitForFinished(120000) || python.exitCode() == 3)
        QSKIP("/usr/bin/python3 with xlrd and openpyxl is not installed");
    QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
    const QJsonArray sheets = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    const QJsonArray first = sheets.at(0).toObject().value("rows").toArray().at(0).toArray();
    QCOMPARE(fromJson(first.at(1)).toString(), expected);
}

void TestExcelEngine::overlongTextRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("xls") << "xls";
    QTest::newRow("xlsx") << "xlsx";
}

void TestExcelEngine::overlongTextRefused()
{
    // One character over a cell's limit: the save says so instead of cutting the text.
    QFETCH(QString, kind);
    const QString path = tmp(QStringLiteral("long.") + kind);
    QVERIFY(writeSheet(path, {{"old"}}));
    const QByteArray before = fileBytes(path);
    ExcelEngine engine(path);
    QVERIFY(engine.open(1));
    QVERIFY(engine.writeAll({{QString(32768, QLatin1Char('z'))}}));
    QVERIFY(!engine.save());
    QVERIFY2(engine.errorString().contains(QLatin1String("32767")), qPrintable(engine.errorString()));
    QCOMPARE(fileBytes(path), before);
}

void TestExcelEngine::numbersExact_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<double>("value");
    const QList<QPair<const char *, double>> values = {
        {"0.1 + 0.2", 0.1 + 0.2},
        {"one third", 1.0 / 3.0},
        {"smallest subnormal", 5e-324},
        {"largest double", 1.7976931348623157e308},
        {"17 digits", 123456789.12345679},
        {"negative tiny", -1.2345678901234567e-300},
        {"2^53 + 2", 9007199254740994.0},
    };
    for (const char *kind : {"xls", "xlsx"}) {
        for (const auto &v : values)
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(kind, v.first))) << QString(kind) << v.second;
    }
}

void TestExcelEngine::numbersExact()
{
    QFETCH(QString, kind);
    QFETCH(double, value);
    const QString path = tmp(QStringLiteral("number.") + kind);
    QVERIFY(writeSheet(path, {{value}}));
    CellRows rows;
    QVERIFY(readSheet(path, 1, rows));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0][0].typeId(), int(QMetaType::Double));
    const double back = rows[0][0].toDouble();
    QVERIFY2(memcmp(&back, &value, sizeof back) == 0,
             qPrintable(QStringLiteral("%1 read back as %2").arg(value, 0, 'g', 17).arg(back, 0, 'g', 17)));
}

void TestExcelEngine::saveThroughSymbolicLink_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("relative");
    QTest::newRow("xls, absolute link") << "xls" << false;
    QTest::newRow("xlsx, relative link") << "xlsx" << true;
}

void TestExcelEngine::saveThroughSymbolicLink()
{
    QFETCH(QString, kind);
    QFETCH(bool, relative);
    QVERIFY(QDir().mkpath(tmp(QStringLiteral("real"))));
    const QString target = tmp(QStringLiteral("real/table.") + kind);
    const QString link = tmp(QStringLiteral("link.") + kind);
    QVERIFY(writeSheet(target, {{"old"}}));
    QVERIFY(QFile::link(relative ? QStringLiteral("real/table.") + kind : target, link));
    QVERIFY(writeSheet(link, {{"new"}}));
    QVERIFY(QFileInfo(link).isSymLink());
    CellRows rows;
    QVERIFY(readSheet(target, 1, rows));
    QCOMPARE(rows, CellRows{{"new"}});
    // Nothing was left beside the link.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 1);
}

void TestExcelEngine::newFileFollowsUmask_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("expected");
    QTest::newRow("xls, umask 022") << "xls" << 022 << 0644;
    QTest::newRow("xlsx, umask 022") << "xlsx" << 022 << 0644;
    QTest::newRow("xlsx, umask 027") << "xlsx" << 027 << 0640;
    QTest::newRow("xls, umask 077") << "xls" << 077 << 0600;
}

void TestExcelEngine::newFileFollowsUmask()
{
    // A new file is made like any other the user saves: readable by whom the user's umask
    // allows, not only by its owner as the temporary file it was written to.
    QFETCH(QString, kind);
    QFETCH(int, mask);
    QFETCH(int, expected);
    const mode_t old = ::umask(mode_t(mask));
    const QString path = tmp(QStringLiteral("new.") + kind);
    ExcelEngine engine(path);
    const bool written = engine.openNew() && engine.writeAll({{"x"}}) && engine.save();
    ::umask(old);
    QVERIFY(written);
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 0777), expected);
}

void TestExcelEngine::failedSaveSaysWhy_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("xls") << "xls";
    QTest::newRow("xlsx") << "xlsx";
}

void TestExcelEngine::failedSaveSaysWhy()
{
    // A file-size limit stops the write half way: the save must fail, say why, and leave
    // the old file and no temporary file behind.
    QFETCH(QString, kind);
    const QString path = tmp(QStringLiteral("limited.") + kind);
    QVERIFY(writeSheet(path, {{"old"}}));
    const QByteArray before = fileBytes(path);
    CellRows table;
    for (int r = 0; r < 2000; ++r)
        table.append({QStringLiteral("row %1").arg(r), r * 1.5, QStringLiteral("note %1").arg(r * 7)});
    ExcelEngine engine(path);
    QVERIFY(engine.open(1));
    QVERIFY(engine.writeAll(table));

    struct rlimit old;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit limited = old;
    limited.rlim_cur = 8192;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool saved = engine.save();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!saved);
    const QString why = engine.errorString();
    QVERIFY2(why.contains(QString::fromLocal8Bit(std::strerror(EFBIG))), qPrintable(why));
    QVERIFY2(!why.contains(QLatin1String("Unknown error")), qPrintable(why));
    QCOMPARE(fileBytes(path), before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{QFileInfo(path).fileName()});
    // Without the limit the same engine saves.
    QVERIFY(engine.save());
    CellRows rows;
    QVERIFY(readSheet(path, 1, rows));
    QCOMPARE(rows.size(), table.size());
}

void TestExcelEngine::readOnlyFileOpens()
{
    // An installed table belongs to root and is only readable for the user: it opens and
    // reads, and a save says that it cannot write it. Running as root, the test reads as an
    // ordinary user by changing its effective user id for the while.
    const QString path = tmp(QStringLiteral("meterno.xls"));
    const CellRows table = {{"Code", "Name"}, {1.0, "Meter"}};
    QVERIFY(writeSheet(path, table));
    const QByteArray before = fileBytes(path);
    const bool root = ::geteuid() == 0;
    if (root) {
        QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                         | QFile::ReadOther | QFile::ExeOther));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        QCOMPARE(::setegid(65534), 0);
        QCOMPARE(::seteuid(65534), 0);
    } else {
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
    }
    bool opened = false, read = false, written = false, saved = true;
    int rowCount = 0;
    CellRows rows;
    QString why;
    {
        ExcelEngine engine(path);
        opened = engine.open(1);
        rowCount = engine.rowCount();
        read = engine.readAll(rows);
        written = engine.writeAll({{"changed"}});
        saved = engine.save();
        why = engine.errorString();
    }
    if (root) {
        QCOMPARE(::seteuid(0), 0);
        QCOMPARE(::setegid(0), 0);
    }
    QVERIFY2(opened, qPrintable(why));
    QVERIFY(read);
    QCOMPARE(rowCount, 2);
    QString diff;
    QVERIFY2(sameRows(rows, table, &diff), qPrintable(diff));
    QVERIFY(written);
    QVERIFY(!saved);
    QVERIFY2(why.contains(QLatin1String("cannot be written")), qPrintable(why));
    QCOMPARE(fileBytes(path), before);
}

void TestExcelEngine::sheetNamesUnique_data()
{
    // Names as the sheets carry them, and the names they must get: the first free suffix, as a
    // user would number them by hand, compared without case, within 31 characters.
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("expected");
    const QString a27 = QString(27, QLatin1Char('a'));
    QTest::newRow("repeated") << QStringList{"S", "S", "s", "S(2)", "S"}
                              << QStringList{"S", "S(2)", "s(3)", "S(2)(2)", "S(4)"};
    QTest::newRow("suffix taken before") << QStringList{"T(2)", "T", "T", "t(3)", "T"}
                                         << QStringList{"T(2)", "T", "T(3)", "t(3)(2)", "T(4)"};
    QTest::newRow("cut to 31") << QStringList{a27 + "bc1", a27 + "bc2", a27 + "bc1", a27 + "bc2", a27 + "bc1xyz"}
                               << QStringList{a27 + "bc1", a27 + "bc2", a27 + "b(2)", a27 + "b(3)", a27 + "bc1x"};
    QTest::newRow("forbidden and empty") << QStringList{"a/b", "a_b", "", "'q'"}
                                         << QStringList{"a_b", "a_b(2)", "Sheet3", "_q_"};
}

void TestExcelEngine::sheetNamesUnique()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, expected);
    exchange::SheetNames given;
    QStringList actual;
    for (int i = 0; i < names.size(); ++i)
        actual.append(given.take(names.at(i), i));
    QCOMPARE(actual, expected);
}

void TestExcelEngine::sheetNamesInLinearWork()
{
    // Many sheets of one name, and many long names that are cut to the same stem: every
    // name is looked up a bounded number of times, not once for every sheet before it.
    for (const QString &stem : {QStringLiteral("S"), QString(31, QLatin1Char('n'))}) {
        exchange::SheetNames many;
        QSet<QString> seen;
        const int count = 20000;
        for (int i = 0; i < count; ++i) {
            const QString name = many.take(stem.size() > 1 ? stem + QString::number(i % 100) : stem, i);
            QVERIFY(name.size() <= 31);
            QVERIFY2(!seen.contains(name.toLower()), qPrintable(name));
            seen.insert(name.toLower());
        }
        QVERIFY2(many.tries() <= 3 * count, qPrintable(QStringLiteral("%1 look-ups").arg(many.tries())));
    }
}

void TestExcelEngine::cellsCountedWithoutReading_data()
{
    // The check after a save counts each sheet's cells without building them; files of other
    // writers hold the cells of fixtureData (19) and fixtureOther (2), or of the Excel-style
    // table (14) and one cell.
    QTest::addColumn<QString>("file");
    QTest::addColumn<QList<qint64>>("cells");
    QTest::newRow("xlwt xls") << "xlwt_types.xls" << QList<qint64>{19, 2};
    QTest::newRow("LibreOffice xls, booleans as formulas") << "lo_types.xls" << QList<qint64>{19, 2};
    QTest::newRow("LibreOffice xls with formulas") << "lo_formulas.xls" << QList<qint64>{14, 1};
    QTest::newRow("openpyxl xlsx, inline strings") << "openpyxl_types.xlsx" << QList<qint64>{19, 2};
    QTest::newRow("LibreOffice xlsx") << "lo_types.xlsx" << QList<qint64>{19, 2};
    QTest::newRow("Excel-style xlsx") << "excel_style.xlsx" << QList<qint64>{14, 1};
}

void TestExcelEngine::cellsCountedWithoutReading()
{
    QFETCH(QString, file);
    QFETCH(QList<qint64>, cells);
    std::vector<qint64> counts;
    QString why;
    const bool counted = file.endsWith(QLatin1String(".xls"))
        ? exchange::countXlsCells(fileBytes(dataPath(file)), counts, &why)
        : exchange::countXlsxCells(dataPath(file), counts, &why);
    QVERIFY2(counted, qPrintable(why));
    QCOMPARE(QList<qint64>(counts.begin(), counts.end()), cells);
}

void TestExcelEngine::rowsSharedNotCopied_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("xls") << "xls";
    QTest::newRow("xlsx") << "xlsx";
}

void TestExcelEngine::rowsSharedNotCopied()
{
    // A table is held once: rows handed to writeAll are kept, not copied, and readAll hands
    // out the rows the engine holds, however often it is asked.
    QFETCH(QString, kind);
    const QString path = tmp(QStringLiteral("shared.") + kind);
    CellRows table;
    for (int r = 0; r < 50; ++r)
        table.append({QStringLiteral("row %1").arg(r), r * 0.5, r % 2 == 0, dt(2024, 1, 1 + r % 28, 8)});
    ExcelEngine writer(path);
    QVERIFY(writer.openNew());
    QVERIFY(writer.writeAll(table));
    CellRows held;
    QVERIFY(writer.readAll(held));
    QCOMPARE(held.size(), table.size());
    for (int r = 0; r < table.size(); ++r)
        QVERIFY2(held[r].isSharedWith(table[r]), qPrintable(QStringLiteral("row %1 was copied").arg(r)));
    QVERIFY(writer.save());
    writer.close();

    ExcelEngine reader(path);
    QVERIFY(reader.open(1));
    CellRows first, second;
    QVERIFY(reader.readAll(first));
    QVERIFY(reader.readAll(second));
    QString why;
    QVERIFY2(sameRows(first, table, &why), qPrintable(why));
    for (int r = 0; r < first.size(); ++r)
        QVERIFY2(first[r].isSharedWith(second[r]), qPrintable(QStringLiteral("row %1 was copied").arg(r)));
}

QTEST_GUILESS_MAIN(TestExcelEngine)
void TestExcelEngine::streamedReadGivesReadAllsRows_data()
{
    // Every committed fixture, readable or not, and sheets past the last: a streamed open
    // refuses what a whole one refuses, and reads what it reads.
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("sheet");
    const QDir data(qEnvironmentVariable("COLORIMETER_TEST_DATA") + QStringLiteral("/data"));
    const QStringList files = data.entryList({QStringLiteral("*.xls"), QStringLiteral("*.xlsx")}, QDir::Files);
    QVERIFY(files.size() > 30);
    for (const QString &file : files) {
        for (int sheet = 1; sheet <= 5; ++sheet)
            QTest::addRow("%s sheet %d", qPrintable(file), sheet) << data.filePath(file) << sheet;
    }
}

void TestExcelEngine::streamedReadGivesReadAllsRows()
{
    QFETCH(QString, file);
    QFETCH(int, sheet);
    ExcelEngine whole(file);
    ExcelEngine streamed(file);
    const bool opened = whole.open(sheet);
    QCOMPARE(streamed.open(sheet, ExcelEngine::Streamed), opened);
    if (!opened)
        return;
    QCOMPARE(streamed.rowCount(), whole.rowCount());
    CellRows expected;
    QVERIFY(whole.readAll(expected));
    CellRows rows;
    QVERIFY2(streamed.readRows([&rows](const Row &row) {
        rows.append(row);
        return true;
    }),
             qPrintable(streamed.errorString()));
    QCOMPARE(rows.size(), expected.size());
    for (int r = 0; r < rows.size(); ++r) {
        QCOMPARE(rows[r].size(), expected[r].size());
        for (int c = 0; c < rows[r].size(); ++c) {
            // Exactly the same value of the same kind.
            QVERIFY2(rows[r][c].typeId() == expected[r][c].typeId() && rows[r][c] == expected[r][c],
                     qPrintable(QStringLiteral("%1%2: %3, readAll %4")
                                    .arg(ExcelEngine::columnLetters(c + 1)).arg(r + 1)
                                    .arg(show(rows[r][c]), show(expected[r][c]))));
        }
    }
    // A consumer that stops ends the reading.
    if (!rows.isEmpty())
        QVERIFY(!streamed.readRows([](const Row &) { return false; }));
}

void TestExcelEngine::streamedWriteSameAsWriteAll_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("base"); // a fixture the file starts as; empty: a new file
    QTest::addColumn<CellRows>("table");
    const QVariant e;
    // Values the model keeps otherwise, rows shorter and longer than the first.
    const CellRows converted = {{"NO", "when", "n", "text", "x"},
                                {1, QDate(2024, 5, 17), qQNaN(), QString(), QTime(8, 30)},
                                {2u, e, 1e300, QStringLiteral("lone ") + QChar(0xD800) + QStringLiteral(" surrogate")},
                                {3.5, "a", "b", "c", "d", "beyond the block"}};
    for (const QString &kind : {QStringLiteral("xls"), QStringLiteral("xlsx")}) {
        const QString fixture = kind == QLatin1String("xls") ? QStringLiteral("xlwt_types.xls")
                                                             : QStringLiteral("openpyxl_types.xlsx");
        QTest::addRow("%s: every kind, new file", qPrintable(kind)) << kind << QString() << mixedTable();
        QTest::addRow("%s: values to convert", qPrintable(kind)) << kind << QString() << converted;
        QTest::addRow("%s: 3,000 rows", qPrintable(kind)) << kind << QString() << benchTable(3000);
        // Cells right of and below a narrower block, and a second sheet, stay.
        QTest::addRow("%s: over a file with more", qPrintable(kind)) << kind << fixture << CellRows{{"a", "b"}, {1.0}};
        QTest::addRow("%s: 3,000 rows over a file with more", qPrintable(kind)) << kind << fixture << benchTable(3000);
    }
}

void TestExcelEngine::streamedWriteSameAsWriteAll()
{
    QFETCH(QString, kind);
    QFETCH(QString, base);
    QFETCH(CellRows, table);
    const QString whole = tmp(QStringLiteral("whole.") + kind);
    const QString streamed = tmp(QStringLiteral("streamed.") + kind);
    if (!base.isEmpty()) {
        for (const QString &path : {whole, streamed}) {
            QVERIFY(QFile::copy(dataPath(base), path));
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        }
    }
    {
        ExcelEngine engine(whole);
        QVERIFY(engine.open(1));
        QVERIFY(engine.writeAll(table));
        QVERIFY2(engine.save(), qPrintable(engine.errorString()));
    }
    ExcelEngine engine(streamed);
    QVERIFY(engine.open(1));
    QVERIFY2(engine.saveRows(tableSource(table)), qPrintable(engine.errorString()));
    QVERIFY(!engine.isOpen());
    // The .xls writer lays out the same records either way.
    if (kind == QLatin1String("xls"))
        QVERIFY(fileBytes(streamed) == fileBytes(whole));
    QString skip;
    const QByteArray expected = readBack(kind, whole, &skip);
    if (expected.isEmpty())
        QSKIP(qPrintable(skip));
    const QByteArray actual = readBack(kind, streamed, &skip);
    QVERIFY2(!actual.isEmpty(), qPrintable(skip));
    QCOMPARE(actual, expected);
}

void TestExcelEngine::streamedWriteFailureKeepsFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<CellRows>("table");
    QTest::addColumn<int>("stopAt");      // the source gives up there; -1: never
    QTest::addColumn<qint64>("sizeLimit"); // a file-size limit for the write; 0: none
    QTest::addColumn<QString>("reason");
    for (const QString &kind : {QStringLiteral("xls"), QStringLiteral("xlsx")}) {
        QTest::addRow("%s: the source gives up at row 2,000", qPrintable(kind))
            << kind << benchTable(3000) << 2000 << qint64(0) << "given up";
        QTest::addRow("%s: a text too long at row 1,500", qPrintable(kind))
            << kind << benchTable(3000, QStringLiteral("1500")) << -1 << qint64(0) << "longer than a cell holds";
        QTest::addRow("%s: the disk takes no more", qPrintable(kind))
            << kind << benchTable(3000) << -1 << qint64(65536) << QString::fromLocal8Bit(std::strerror(EFBIG));
        QTest::addRow("%s: no rows", qPrintable(kind)) << kind << CellRows() << -1 << qint64(0) << "no rows";
        QTest::addRow("%s: an empty first row", qPrintable(kind))
            << kind << CellRows{Row(), {1.0}} << -1 << qint64(0) << "does not fit";
    }
    CellRows tall(65537, Row{1.0});
    QTest::newRow("xls: 65,537 rows") << "xls" << tall << -1 << qint64(0) << "does not fit";
}

void TestExcelEngine::streamedWriteFailureKeepsFile()
{
    QFETCH(QString, kind);
    QFETCH(CellRows, table);
    QFETCH(int, stopAt);
    QFETCH(qint64, sizeLimit);
    QFETCH(QString, reason);
    const QString path = tmp(QStringLiteral("kept.") + kind);
    QVERIFY(QFile::copy(dataPath(kind == QLatin1String("xls") ? QStringLiteral("xlwt_types.xls")
                                                               : QStringLiteral("openpyxl_types.xlsx")),
                        path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    const QByteArray before = fileBytes(path);

    ExcelEngine engine(path);
    QVERIFY(engine.open(1));
    struct rlimit old;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (sizeLimit > 0) {
        struct rlimit limited = old;
        limited.rlim_cur = rlim_t(sizeLimit);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    }
    const bool saved = engine.saveRows(tableSource(table, stopAt));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!saved);
    QVERIFY2(engine.errorString().contains(reason), qPrintable(engine.errorString()));
    QCOMPARE(fileBytes(path), before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList{QFileInfo(path).fileName()});
    // The engine holds the file as it was.
    QVERIFY(engine.isOpen());
    CellRows rows;
    QVERIFY(engine.readAll(rows));
    QString why;
    QVERIFY2(sameRows(rows, fixtureData(), &why), qPrintable(why));
}

#include "tst_excelengine.moc"
