#include "excelengine.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

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

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// .xls files read back booleans as the numbers 1 and 0, the way the BIFF
// reader reports them; every other kind must come back as it went in.
bool sameCell(const QVariant &actual, const QVariant &expected)
{
    if (!expected.isValid())
        return !actual.isValid();
    if (expected.typeId() == QMetaType::Bool && actual.typeId() == QMetaType::Double)
        return actual.toDouble() == (expected.toBool() ? 1.0 : 0.0);
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

bool writeSheet(const QString &path, const CellRows &rows)
{
    ExcelEngine engine(path);
    return engine.open(1) && engine.writeAll(rows) && engine.save();
}

// The table every third-party fixture holds on its first sheet. The .xls
// reader gives booleans as 1 and 0 and skips formula results, which is how
// one writer stores booleans; those fixtures read the cells as empty.
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
    void largeTableWithManyStrings_data();
    void largeTableWithManyStrings();

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
    QTest::newRow("LibreOffice xls") << "lo_types.xls" << 1 << fixtureData(false);
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
}

void TestExcelEngine::openFails()
{
    QFETCH(QString, what);
    QFETCH(QByteArray, content);
    QFETCH(int, sheet);
    QString path = what.isEmpty() ? QString() : tmp(what);
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

QTEST_GUILESS_MAIN(TestExcelEngine)
#include "tst_excelengine.moc"
