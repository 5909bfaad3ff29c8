// The two readers of an .xlsx sheet's cells, the quick one and the XML reader behind it, give
// the same answer for the same part: the same cells, or a refusal by both. Parts are written
// here as text; what each must give is read off the markup by hand.
#include "excelengine.h"
#include "xlsxfilereader.h"

#include <QTemporaryDir>
#include <QtTest>

#include <zip.h>

#include <memory>

using exchange::Workbook;
using exchange::XlsxSheetReader;

namespace {

const char kMain[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

// An archive of one sheet whose part is `sheet`, with the shared strings "zero" and "one".
QByteArray workbookWithSheet(const QByteArray &sheet)
{
    const std::vector<std::pair<const char *, QByteArray>> parts = {
        {"[Content_Types].xml", "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"},
        {"_rels/.rels",
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
         "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml",
         QByteArray("<workbook xmlns=\"") + kMain
             + "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
               "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
         "worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" "
         "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
         "Target=\"sharedStrings.xml\"/></Relationships>"},
        {"xl/sharedStrings.xml", QByteArray("<sst xmlns=\"") + kMain + "\"><si><t>zero</t></si><si><t>one</t></si></sst>"},
        {"xl/worksheets/sheet1.xml", sheet},
    };
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t *memory = zip_source_buffer_create(nullptr, 0, 0, &err);
    zip_error_fini(&err);
    if (!memory)
        return {};
    zip_source_keep(memory);
    QByteArray out;
    if (zip_t *archive = zip_open_from_source(memory, ZIP_TRUNCATE, nullptr)) {
        for (const auto &part : parts) {
            zip_source_t *src = zip_source_buffer(archive, part.second.constData(), zip_uint64_t(part.second.size()), 0);
            zip_file_add(archive, part.first, src, 0);
        }
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_close(archive) == 0 && zip_source_stat(memory, &st) == 0 && zip_source_open(memory) == 0) {
            out.resize(qsizetype(st.size));
            if (zip_source_read(memory, out.data(), st.size) != zip_int64_t(st.size))
                out.clear();
            zip_source_close(memory);
        }
    }
    zip_source_free(memory);
    return out;
}

QByteArray worksheet(const QByteArray &sheetData, const QByteArray &around = QByteArray())
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<worksheet xmlns=\"") + kMain
        + "\" xmlns:x14ac=\"urn:x14ac\"><dimension ref=\"A1\"/><sheetData>" + sheetData + "</sheetData>" + around
        + "</worksheet>";
}

// The sheet's cells as text, "A1=number(1)" and the like, or the refusal.
QString outcome(const QByteArray &file, XlsxSheetReader reader)
{
    Workbook workbook;
    QString error;
    if (!exchange::readXlsxData(file, workbook, -1, &error, true, reader))
        return QStringLiteral("refused");
    QStringList cells;
    for (const exchange::Sheet &sheet : workbook.sheets) {
        for (size_t r = 0; r < sheet.rows.size(); ++r) {
            for (int c = 0; c < sheet.rows[r].size(); ++c) {
                const QVariant &v = sheet.rows[r].at(c);
                if (v.isValid())
                    cells.append(QStringLiteral("%1%2=%3(%4)")
                                     .arg(ExcelEngine::columnLetters(c + 1)).arg(r + 1)
                                     .arg(QString::fromLatin1(v.typeName()), v.toString()));
            }
        }
    }
    return cells.join(QLatin1Char(' '));
}

} // namespace

class TestSheetReaders : public QObject
{
    Q_OBJECT

private slots:
    void readersAgree_data();
    void readersAgree();
    void cellPastTheSheetRefused_data();
    void cellPastTheSheetRefused();
    void damagedPartRefused_data();
    void damagedPartRefused();
};

void TestSheetReaders::readersAgree_data()
{
    QTest::addColumn<QByteArray>("part");
    QTest::addColumn<QString>("expected");
    const QByteArray lastRow = QByteArray("<row r=\"1048575\"/>");
    QTest::newRow("plain") << worksheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>1</v></c><c r=\"B1\"><v>2.5</v></c></row>")
                           << "A1=QString(one) B1=double(2.5)";
    QTest::newRow("no references") << worksheet("<row><c><v>1</v></c><c/><c><v>3</v></c></row><row><c t=\"s\"><v>0</v></c></row>")
                                   << "A1=double(1) C1=double(3) A2=QString(zero)";
    QTest::newRow("last row and column") << worksheet(lastRow + "<row><c r=\"XFC1048576\"/><c><v>2</v></c></row>")
                                         << "XFD1048576=double(2)";
    QTest::newRow("padded numbers") << worksheet("<row r=\" 3 \"><c r=\"B3\" s=\" 0\"><v> 7 </v></c><c><v>+1.5E+2</v></c></row>")
                                    << "B3=double(7) C3=double(150)";
    QTest::newRow("entities in a text") << worksheet("<row><c t=\"str\"><v>a&amp;b &lt;c&gt;</v><f>A1&amp;\"x\"</f></c></row>")
                                        << "A1=QString(a&b <c>)";
    QTest::newRow("character reference") << worksheet("<row><c><v>&#49;2</v></c></row>") << "A1=double(12)";
    QTest::newRow("line break in a text") << worksheet("<row><c t=\"str\"><v>a\r\nb</v></c></row>") << "A1=QString(a\nb)";
    QTest::newRow("comment in the sheet data") << worksheet("<row><!-- x --><c><v>1</v></c></row>") << "A1=double(1)";
    QTest::newRow("CDATA value") << worksheet("<row><c><v><![CDATA[4]]></v></c></row>") << "A1=double(4)";
    QTest::newRow("new line in an attribute") << worksheet("<row r=\"2\"><c r=\"A2\"\nt=\"s\"><v>0</v></c></row>")
                                              << "A2=QString(zero)";
    QTest::newRow("declared prefix") << worksheet("<row r=\"1\" x14ac:dyDescent=\"0.25\"><c r=\"A1\"><v>1</v></c></row>")
                                     << "A1=double(1)";
    QTest::newRow("prefixed reference") << worksheet("<row><c x14ac:r=\"B5\"><v>1</v></c></row>") << "B5=double(1)";
    QTest::newRow("cells outside the sheet data")
        << worksheet("<row><c><v>1</v></c></row>", "<extLst><c r=\"C3\"><v>9</v></c></extLst>") << "A1=double(1)";
    QTest::newRow("sheet data in a comment before")
        << QByteArray("<worksheet xmlns=\"") + kMain + "\"><!-- <sheetData><row><c><v>5</v></c></row></sheetData> -->"
               "<sheetData><row r=\"2\"><c><v>6</v></c></row></sheetData></worksheet>"
        << "A2=double(6)";
    QTest::newRow("two sheet data elements")
        << worksheet("<row><c><v>1</v></c></row>", "<sheetData><row r=\"3\"><c><v>3</v></c></row></sheetData>")
        << "A1=double(1) A3=double(3)";
    QTest::newRow("inline string") << worksheet("<row><c t=\"inlineStr\"><is><t>in</t></is></c></row>") << "A1=QString(in)";
    // Refused by both.
    QTest::newRow("undeclared prefix") << worksheet("<row><c foo:x=\"1\"><v>1</v></c></row>") << "refused";
    QTest::newRow("attribute twice") << worksheet("<row><c r=\"A1\" r=\"B1\"><v>1</v></c></row>") << "refused";
    QTest::newRow("attributes not apart") << worksheet("<row><c r=\"A1\"t=\"s\"><v>1</v></c></row>") << "refused";
    QTest::newRow("row left open") << worksheet("<row><c><v>1</v></c>") << "refused";
    QTest::newRow("broken after the sheet data") << worksheet("<row><c><v>1</v></c></row>", "<junk") << "refused";
    QTest::newRow("unknown entity") << worksheet("<row><c><v>1</v><f>&bogus;</f></c></row>") << "refused";
    QTest::newRow("control character") << worksheet(QByteArray("<row><c t=\"str\"><v>a\x01</v></c></row>")) << "refused";
    QTest::newRow("invalid UTF-8") << worksheet(QByteArray("<row><c t=\"str\"><v>a\xC3</v></c></row>")) << "refused";
    QTest::newRow("shared string outside the table") << worksheet("<row><c t=\"s\"><v>2</v></c></row>") << "refused";
    QTest::newRow("bad reference") << worksheet("<row><c r=\"AAAA1\"><v>1</v></c></row>") << "refused";
    QTest::newRow("encoding other than UTF-8")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><worksheet xmlns=\"") + kMain
               + "\"><sheetData><row><c t=\"str\"><v>\xE9</v></c></row></sheetData></worksheet>"
        << QString::fromUtf8("A1=QString(é)");
}

void TestSheetReaders::readersAgree()
{
    QFETCH(QByteArray, part);
    QFETCH(QString, expected);
    const QByteArray file = workbookWithSheet(part);
    QVERIFY(!file.isEmpty());
    QCOMPARE(outcome(file, XlsxSheetReader::XmlOnly), expected);
    QCOMPARE(outcome(file, XlsxSheetReader::Quick), expected);
}

void TestSheetReaders::cellPastTheSheetRefused_data()
{
    // Rows and cells without references follow the ones before them; one more than the sheet
    // holds is refused, by the engine as by both readers, and never placed beyond the sheet.
    QTest::addColumn<QByteArray>("part");
    QByteArray rows;
    for (int r = 0; r < 1048576; ++r)
        rows += "<row/>";
    QTest::newRow("row 1,048,577") << worksheet(rows + "<row><c><v>1</v></c></row>");
    QByteArray cells = "<row>";
    for (int c = 0; c < 16384; ++c)
        cells += "<c/>";
    QTest::newRow("column 16,385") << worksheet(cells + "<c><v>1</v></c></row>");
    QTest::newRow("after XFD1") << worksheet("<row><c r=\"XFD1\"/><c><v>1</v></c></row>");
}

void TestSheetReaders::cellPastTheSheetRefused()
{
    QFETCH(QByteArray, part);
    const QByteArray file = workbookWithSheet(part);
    QVERIFY(!file.isEmpty());
    QCOMPARE(outcome(file, XlsxSheetReader::XmlOnly), QStringLiteral("refused"));
    QCOMPARE(outcome(file, XlsxSheetReader::Quick), QStringLiteral("refused"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("past.xlsx"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
    f.close();
    ExcelEngine engine(path);
    QVERIFY(!engine.open(1));
    QVERIFY2(engine.errorString().contains(QLatin1String("outside the sheet")), qPrintable(engine.errorString()));
}

void TestSheetReaders::damagedPartRefused_data()
{
    QTest::addColumn<QByteArray>("part");
    QTest::addColumn<QByteArray>("damaged");
    const QByteArray sheet = "xl/worksheets/sheet1.xml";
    QTest::newRow("sheet of plain cells") << worksheet("<row><c><v>1</v></c></row>") << sheet;
    // The quick reader gives up at the inline string; the XML reader, which reads the part
    // only up to the end of its root element, must still meet the wrong checksum at its end.
    QTest::newRow("sheet with an inline string") << worksheet("<row><c t=\"inlineStr\"><is><t>in</t></is></c></row>")
                                                 << sheet;
    QTest::newRow("shared strings") << worksheet("<row><c t=\"s\"><v>1</v></c></row>")
                                    << QByteArray("xl/sharedStrings.xml");
}

void TestSheetReaders::damagedPartRefused()
{
    // A part's checksum, in its local header and in the central directory, no longer matches
    // its bytes: the part is damaged, and whichever reader reads it refuses the file.
    QFETCH(QByteArray, part);
    QFETCH(QByteArray, damaged);
    QByteArray file = workbookWithSheet(part);
    const QByteArray &name = damaged;
    int changed = 0;
    for (qsizetype at = file.indexOf(name); at >= 0; at = file.indexOf(name, at + 1)) {
        if (file.mid(at - 30, 4) == "PK\x03\x04")
            file[at - 30 + 14] = char(file[at - 30 + 14] ^ 0x5A);
        else if (file.mid(at - 46, 4) == "PK\x01\x02")
            file[at - 46 + 16] = char(file[at - 46 + 16] ^ 0x5A);
        else
            continue;
        ++changed;
    }
    QCOMPARE(changed, 2);
    QCOMPARE(outcome(file, XlsxSheetReader::XmlOnly), QStringLiteral("refused"));
    QCOMPARE(outcome(file, XlsxSheetReader::Quick), QStringLiteral("refused"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("damaged.xlsx"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
    f.close();
    ExcelEngine engine(path);
    QVERIFY(!engine.open(1));
}

QTEST_GUILESS_MAIN(TestSheetReaders)
#include "tst_sheetreaders.moc"
